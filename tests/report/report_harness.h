// What the report tests share: runs of the built tests on workbooks in the sheet engine, with the
// message boxes recorded, new datasets confirmed as offered and the parameter dialog answered by a
// function; the installed report templates.
#pragma once

#include <string>
#include <vector>

#include "addin/dataset/dataset_commands.h"
#include "addin/framework/dialogs.h"
#include "addin/framework/run.h"
#include "addin/host/messages.h"
#include "tests/dataset/dataset_harness.h"

namespace rptest {

// The texts of the message boxes shown so far (each answered with its first button).
inline std::vector<std::string>& Shown() {
    static std::vector<std::string> shown;
    return shown;
}

// The parameter dialog answered as a user would: the groups Low and Medium, the rest as offered.
inline bool LowAndMedium(qs::Parameters& p, const qs::CellRange&) {
    std::vector<qs::VariableChoice> list = qs::ListVariables(*p.dataset);
    qs::ParameterItem* item = p.FindByLabel("Variable - Groups");
    const qs::VariableChoice* low = qs::FindVariableChoice(list, "Low");
    const qs::VariableChoice* medium = qs::FindVariableChoice(list, "Medium");
    if (!item || !low || !medium) return false;
    item->value.variables = {*low, *medium};
    p.Run(qs::Parameters::kUpdate);
    p.Run(qs::Parameters::kCheck);
    return true;
}

class ReportRun : public dstest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        previous = qs::SetMessageBoxFrontEnd([](const char* text, unsigned, unsigned) {
            Shown().push_back(text);
            return static_cast<int>(qs::IDOK);
        });
        qs::SetDatasetPropertiesDialog([](qs::DatasetSourceExcel& s) {
            qs::ConfirmDataset(s, qs::CurrentProperties(s));
            return true;
        });
        qs::SetParameterDialog(LowAndMedium);
        qs::SetTemplateFolder(std::string(TEMPLATE_FOLDER) + "/");
        Shown().clear();
    }
    void TearDown() override {
        qs::SetParameterDialog(nullptr);
        qs::SetDatasetPropertiesDialog(nullptr);
        qs::SetMessageBoxFrontEnd(previous);
        qs::SetTemplateFolder("");
        HostTest::TearDown();
    }
    // The last message shown, or "" when none was.
    static std::string LastShown() { return Shown().empty() ? std::string() : Shown().back(); }

    qs::MessageBoxFrontEnd previous = nullptr;
};

}  // namespace rptest
