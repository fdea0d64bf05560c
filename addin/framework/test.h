// The test base and the catalogue of tests. Every statistical procedure is a class derived from
// Test, paired with one static Test::Info object (its catalogue entry) defined in the same unit:
//
//     class TTest1 : public TTest { ... const Info& GetInfo() const override; };
//     const Test::Info TTest1info(1025, [] () -> Test* { return new TTest1; });
//
// A test is itself the root result block of its report: its field table lists its results in
// report order.
#pragma once

#include <string>
#include <vector>

#include "addin/dataset/dataset.h"
#include "addin/framework/parameters.h"
#include "addin/framework/results.h"
#include "addin/framework/trackchange.h"
#include "addin/host/shared.h"
#include "addin/host/test_catalogue.h"

namespace qs {

class ReportExcel;

class Test : public CShared, public CTrackChange, public Results {
public:
    class Info {
    public:
        using Factory = Test* (*)();
        // Enters the test into the catalogue; its module, requirement message and template name
        // come from the catalogue's data for `id`.
        Info(unsigned id, Factory create);
        ~Info();
        Info(const Info&) = delete;
        Info& operator=(const Info&) = delete;

        unsigned id;
        const TestModule* module;
        unsigned needsMessage;     // 1500..1522, %1 = the test's name
        const char* templateName;  // report template file stem

        Test* Create() const;
        bool IsAvailable() const;  // its module is installed
        CSharedString Name() const;

    private:
        Factory m_create;
    };

    Test();
    ~Test() override;

    virtual CSharedString Name() const { return GetInfo().Name(); }
    // Declares, loads, stores or checks each parameter through Parameters::Current().
    virtual void ExchangeParameters() {}
    virtual const Info& GetInfo() const = 0;
    // Runs after the report has been written (formats its charts).
    virtual void AfterOutput(ReportExcel&) {}
    // Runs once a chart block has been laid out (lets one chart take another's axis range).
    virtual void ChartLaidOut(ReportExcel&, int /*chart*/) {}
    virtual void Compute() {}

    // The text of the report header's "Variables" field: the selected variables' names.
    virtual std::string VariablesText() const;

    // Binds the test to a dataset: makes its parameters and runs the loading pass.
    void Bind(DatasetSourceExcel* dataset);
    CRef<DatasetSourceExcel> dataset;
    CRef<Parameters> parameters;

    // Shared computation guards: message 144 ("Test cannot be computed.  %1 of %2 is zero.") when
    // `value` is effectively zero (|value| < 1e-14), and 150 when all observations are equal.
    static void CheckNotZero(double value, const std::string& quantity, const std::string& variable);
    static void CheckNotAllEqual(const std::vector<double>& values, const std::string& variable);
};

// The catalogue: every Test::Info in registration order; look-up by id (null when absent).
const std::vector<const Test::Info*>& Catalogue();
const Test::Info* FindTest(unsigned id);

// Fault injection for the tests of the error handling: a test program, or a test build of the
// add-in, defines this to throw at stage "compute" (inside the compute driver) and "output" (after
// the report's blocks are written). The add-in itself leaves it undefined.
extern "C" void QuelstatInjectFault(const char* stage) __attribute__((weak));
inline void InjectFault(const char* stage) {
    if (QuelstatInjectFault) QuelstatInjectFault(stage);
}

// The compute driver: records `bits` as pending; when anything is pending runs Compute with all
// floating-point exceptions masked and rounding to nearest, then marks the bits seen. The previous
// floating-point environment is restored on every exit; exceptions pass through unchanged.
void ComputeTest(Test& test, uint32_t bits = 1);

}  // namespace qs
