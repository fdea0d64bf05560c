// The error contract of the run flow: whatever a test throws while it computes or while its report
// is written (the numerics' NumericsError, memory exhaustion, any other std::exception), the user
// sees the add-in's message for it, the run gives no report, and neither a half-made sheet nor a
// stray "Unfiled reports" workbook stays behind; an earlier report workbook keeps its sheets.
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "addin/host/xlcalls.h"
#include "addin/numerics/numerics_error.h"
#include "addin/procedures/ttest.h"
#include "tests/report/report_harness.h"

namespace {
// The fault the next run meets: its kind and the stage it is thrown at.
std::string g_faultKind, g_faultStage;
}  // namespace

// The add-in calls this at its injection points (compute, output) when a program defines it.
extern "C" void QuelstatInjectFault(const char* stage) {
    if (g_faultStage != stage) return;
    if (g_faultKind == "numerics") qs::numerics::RaiseIterativeRoutineError();
    if (g_faultKind == "memory") throw std::bad_alloc();
    if (g_faultKind == "runtime") throw std::runtime_error("injected fault");
}

namespace rptest {
namespace {

class ErrorContract : public ReportRun {
protected:
    void TearDown() override {
        g_faultKind.clear();
        g_faultStage.clear();
        ReportRun::TearDown();
    }
    // Runs the independent samples t-test on the fixture's A3; true when it made a report.
    bool RunOnce() {
        qs::Test* before = qs::LastCompletedTest();
        Select("A3");
        qs::RunTest(static_cast<int>(qs::TTestIndependentinfo.id), qs::XlCallResult(XLF_SELECTION));
        qs::Test* after = qs::LastCompletedTest();
        return after && after != before;
    }
};

struct Fault {
    const char* kind;
    const char* message;
};
const Fault kFaults[] = {
    {"numerics", "error in iterative routine"},
    {"memory", "Out of memory."},
    {"runtime", "Quelstat has stopped the command because of an unexpected error: injected fault"},
};

TEST_F(ErrorContract, EveryExceptionShowsItsMessageAndLeavesNothingBehind) {
    Open("groups_by_title.xlsx");
    for (const char* stage : {"compute", "output"}) {
        for (const Fault& f : kFaults) {
            SCOPED_TRACE(std::string(f.kind) + " at " + stage);
            std::vector<std::string> books = docs->WorkbookNames();
            g_faultKind = f.kind;
            g_faultStage = stage;
            Shown().clear();
            EXPECT_FALSE(RunOnce());
            ASSERT_FALSE(Shown().empty());
            EXPECT_EQ(LastShown(), f.message);
            // No template copy, no "Unfiled reports" workbook, nothing else new.
            EXPECT_EQ(docs->WorkbookNames(), books);
            EXPECT_EQ(docs->FindBook("Unfiled reports"), nullptr);
        }
    }
}

TEST_F(ErrorContract, AFailedRunKeepsTheReportsBefore) {
    Open("groups_by_title.xlsx");
    ASSERT_TRUE(RunOnce()) << LastShown();
    sheets::Workbook* reports = docs->FindBook("Unfiled reports");
    ASSERT_NE(reports, nullptr);
    const size_t sheets = reports->sheet_count();
    for (const char* stage : {"compute", "output"}) {
        for (const Fault& f : kFaults) {
            SCOPED_TRACE(std::string(f.kind) + " at " + stage);
            g_faultKind = f.kind;
            g_faultStage = stage;
            Shown().clear();
            Open("groups_by_title.xlsx");
            EXPECT_FALSE(RunOnce());
            ASSERT_FALSE(Shown().empty());
            EXPECT_EQ(LastShown(), f.message);
            ASSERT_EQ(docs->FindBook("Unfiled reports"), reports);
            EXPECT_EQ(reports->sheet_count(), sheets);  // the half-made sheet is gone again
        }
    }
    // Without a fault the next run succeeds and its sheet takes the next number.
    g_faultKind.clear();
    Open("groups_by_title.xlsx");
    EXPECT_TRUE(RunOnce());
    EXPECT_EQ(reports->sheet_count(), sheets + 1);
}

}  // namespace
}  // namespace rptest
