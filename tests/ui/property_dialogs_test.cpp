// The Dataset and Variable properties dialogs on workbooks in the sheet engine's host.
#include <gtest/gtest.h>

#include "addin/dataset/dataset_commands.h"
#include "addin/dataset/dataset_strings.h"
#include "addin/host/addin_services.h"
#include "addin/host/messages.h"
#include "addin/host/xlcalls.h"
#include "addin/ui/dialog_dataset.h"
#include "addin/ui/dialog_variable.h"
#include "addin/ui/install.h"
#include "app/dialog_console.h"
#include "tests/dataset/dataset_harness.h"

namespace uitest {
namespace {

std::vector<std::string> g_boxes;
int Box(const char* text, unsigned, unsigned) {
    g_boxes.push_back(text);
    return qs::IDOK;
}

class PropertyDialogs : public dstest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        previous = qs::SetMessageBoxFrontEnd(&Box);
        g_boxes.clear();
    }
    void TearDown() override {
        qs::SetMessageBoxFrontEnd(previous);
        HostTest::TearDown();
    }
    // The selected areas of the active sheet.
    static std::vector<XLREF> Selected() { return qs::XlCallResult(XLF_SELECTION).Areas(); }
    qs::MessageBoxFrontEnd previous = nullptr;
};

TEST_F(PropertyDialogs, DatasetLayoutShowsItsControlsAndSelectsTheHeaderArea) {
    Open("list_one_header.xlsx");
    auto source = Find("B3");
    qs::DialogDataset d(*source);
    EXPECT_EQ(d.Title(), "Dataset properties");
    EXPECT_EQ(d.Find(qs::DialogDataset::kRegion)->label, "Data!$A$1:$C$11");
    EXPECT_EQ(d.FindAs<qs::ControlDropdownList>(qs::DialogDataset::kLayout)->selectedRow, 0);
    EXPECT_TRUE(d.Find(qs::DialogDataset::kRepeatMeasures)->visible);
    EXPECT_FALSE(d.Find(qs::DialogDataset::kFactors)->visible);
    EXPECT_FALSE(d.Find(qs::DialogDataset::kFactorsLabel)->visible);
    EXPECT_TRUE(d.Find(qs::DialogDataset::kIdentifierLabel)->enabled);
    std::vector<XLREF> sel = Selected();
    ASSERT_EQ(sel.size(), 1u);
    EXPECT_EQ(sel[0].rwFirst, 0);
    EXPECT_EQ(sel[0].rwLast, 0);  // one header row

    EXPECT_TRUE(d.Choose(qs::DialogDataset::kLayout, 1));
    EXPECT_FALSE(d.Find(qs::DialogDataset::kRepeatMeasures)->visible);
    EXPECT_TRUE(d.Find(qs::DialogDataset::kFactors)->visible);
    EXPECT_TRUE(d.Find(qs::DialogDataset::kFactorsLabel)->visible);
    EXPECT_FALSE(d.Find(qs::DialogDataset::kIdentifierLabel)->enabled);
    EXPECT_FALSE(d.Click(qs::DialogDataset::kIdentifierLabel));
    EXPECT_EQ(platform::TypeText(d, qs::DialogDataset::kFactors, "2"), 0);
    EXPECT_EQ(platform::TypeText(d, qs::DialogDataset::kFactors, "12"), 1);  // one digit
    EXPECT_TRUE(d.Click(qs::DialogDataset::kFactorsSpin));
    EXPECT_EQ(d.FindAs<qs::ControlField>(qs::DialogDataset::kFactors)->Text(), "2");
    sel = Selected();
    ASSERT_EQ(sel.size(), 2u);  // the header row and the first column
    EXPECT_EQ(sel[1].colFirst, 0);
    EXPECT_EQ(sel[1].colLast, 0);
    EXPECT_EQ(sel[1].rwFirst, sel[0].rwLast + 1);

    EXPECT_TRUE(d.Choose(qs::DialogDataset::kLayout, 0));
    EXPECT_TRUE(d.Find(qs::DialogDataset::kRepeatMeasures)->visible);
    EXPECT_FALSE(d.Find(qs::DialogDataset::kFactors)->visible);
    EXPECT_FALSE(d.Find(qs::DialogDataset::kFactorsSpin)->visible);
    EXPECT_EQ(Selected().size(), 1u);
}

TEST_F(PropertyDialogs, DatasetOKStoresNameAndLayoutAndResetForgetsThem) {
    Open("list_one_header.xlsx");
    auto source = Find("B3");
    app::DialogAnswers a;
    a.name = "Clinic";
    a.autoformat = true;
    app::DialogProblems problems;
    {
        qs::DialogDataset d(*source);
        EXPECT_EQ(app::AnswerDialog(d, a, nullptr, problems), qs::kIdOK);
    }
    EXPECT_FALSE(problems.Any());
    EXPECT_TRUE(g_boxes.empty());
    auto again = Find("A5");
    EXPECT_EQ(again->dataset->name, "Clinic");
    EXPECT_FALSE(again->dataset->isNew);
    EXPECT_FALSE(again->stored.Empty());

    auto storedNames = [&] {
        qs::XlValue names = qs::XlCallResultNA(XLF_NAMES, {again->sheetKey, 3, std::string("__sm_*")});
        return names.Is(XLTYPE_MULTI) ? names.Rows() * names.Columns() : 0;
    };
    EXPECT_EQ(storedNames(), 8);  // the dataset and its three variables, each a pair of names
    qs::DialogDataset d(*again);
    EXPECT_EQ(d.FindAs<qs::ControlField>(qs::DialogDataset::kName)->Text(), "Clinic");
    EXPECT_TRUE(d.Click(qs::DialogDataset::kReset));
    EXPECT_EQ(storedNames(), 0);
    EXPECT_NE(d.FindAs<qs::ControlField>(qs::DialogDataset::kName)->Text(), "Clinic");
    EXPECT_TRUE(d.Click(qs::kIdCancel));
    // The stored names are gone: the dataset is new again.
    auto fresh = Find("A5");
    EXPECT_TRUE(fresh->dataset->isNew);
    EXPECT_NE(fresh->dataset->name, "Clinic");
}

TEST_F(PropertyDialogs, ResetKeepsTheStoredDatasetsElsewhereOnTheSheet) {
    NewBook();
    sheets::Sheet& sh = Sheet();
    for (uint32_t col : {0u, 5u}) {
        sh.SetText(0, col, col ? "X" : "A");
        sh.SetText(0, col + 1, col ? "Y" : "B");
        for (uint32_t r = 1; r <= 4; ++r) {
            sh.SetNumber(r, col, r);
            sh.SetNumber(r, col + 1, r * 3.0);
        }
    }
    app::DialogAnswers a;
    app::DialogProblems problems;
    for (const char* cell : {"A3", "F3"}) {
        qs::DialogDataset d(*Find(cell));
        app::AnswerDialog(d, a, nullptr, problems);
    }
    const std::string key = Find("A3")->sheetKey;
    auto names = [&](const char* pattern) {
        qs::XlValue v = qs::XlCallResultNA(XLF_NAMES, {key, 3, std::string(pattern)});
        return v.Is(XLTYPE_MULTI) ? v.Rows() * v.Columns() : 0;
    };
    EXPECT_EQ(names("__sm_*"), 12);
    qs::DialogDataset d(*Find("B2"));
    d.Click(qs::DialogDataset::kReset);
    EXPECT_EQ(names("__sm_*"), 6);
    EXPECT_FALSE(Find("F2")->dataset->isNew);
    EXPECT_TRUE(Find("B2")->dataset->isNew);
}

TEST_F(PropertyDialogs, IdentifierLabelShownWhileTheFirstVariableIsInformation) {
    Open("list_identifier_label.xlsx");
    auto source = Find("B3");
    EXPECT_TRUE(qs::DialogDataset(*source).FindAs<qs::ControlCheckBox>(qs::DialogDataset::kIdentifierLabel)->checked);
    source->dataset->variables[0]->SetType(qs::kTypeNominal);
    EXPECT_FALSE(qs::DialogDataset(*source).FindAs<qs::ControlCheckBox>(qs::DialogDataset::kIdentifierLabel)->checked);
}

TEST_F(PropertyDialogs, ConsoleAnswersTheDatasetDialog) {
    Open("tabular_two_factors.xlsx");
    auto source = Find("C4");
    app::DialogAnswers a;
    a.layout = "tabular";
    a.factors = 2;
    a.repeatMeasures = true;  // not a tabular option
    app::DialogProblems problems;
    qs::DialogDataset d(*source);
    EXPECT_EQ(app::AnswerDialog(d, a, nullptr, problems), qs::kIdOK);
    ASSERT_EQ(problems.refused.size(), 1u);
    EXPECT_EQ(problems.refused[0], "--repeat-measures: does not apply to this layout");
    EXPECT_EQ(d.properties.layoutIndex, 1);
    EXPECT_EQ(d.properties.factors, 2);
    EXPECT_FALSE(d.properties.autoFormat);
}

TEST_F(PropertyDialogs, OrdinalNeedsAValueForEveryCategory) {
    Open("list_one_header.xlsx");
    auto source = Find("C3");
    qs::VariableSourceExcel* sex = qs::FindVariableForCommand(*source);
    ASSERT_EQ(sex->name, "Sex");
    qs::DialogVariable d(*source, *sex);
    EXPECT_FALSE(d.Find(qs::DialogVariable::kCategories)->visible);  // text is information first
    EXPECT_TRUE(d.Click(qs::DialogVariable::kOrdinal));
    EXPECT_TRUE(d.Find(qs::DialogVariable::kCategories)->visible);
    EXPECT_EQ(d.Height(), qs::DialogVariable::kHeightWithGrid);
    platform::DialogControl grid = d.Find(qs::DialogVariable::kCategories)->Describe();
    EXPECT_EQ(grid.items, (std::vector<std::string>{"\tF", "\tM", "\t"}));
    d.Click(qs::kIdOK);
    EXPECT_FALSE(d.Closed());
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], qs::DatasetString(97));

    // Values typed in the grid: whole numbers only, each once.
    EXPECT_TRUE(d.EditCell(qs::DialogVariable::kCategories, 0, 0, "2"));
    EXPECT_FALSE(d.EditCell(qs::DialogVariable::kCategories, 1, 0, "2"));  // taken
    EXPECT_EQ(g_boxes.size(), 2u);
    EXPECT_TRUE(d.EditCell(qs::DialogVariable::kCategories, 1, 0, "1.5"));  // typed as 15
    grid = d.Find(qs::DialogVariable::kCategories)->Describe();
    EXPECT_EQ(grid.items, (std::vector<std::string>{"2\tF", "15\tM", "\t"}));
    d.Click(qs::kIdOK);
    EXPECT_TRUE(d.Closed());
    EXPECT_TRUE(qs::SameType(sex->type, qs::kTypeOrdinal));
    EXPECT_EQ(sex->categories->FindName("M")->value, 15);

    // Kept in the workbook: found again, the variable is ordinal with its values.
    auto again = Find("C3");
    qs::VariableSourceExcel* stored = qs::FindVariableForCommand(*again);
    EXPECT_TRUE(qs::SameType(stored->type, qs::kTypeOrdinal));
    stored->Values();
    ASSERT_NE(stored->categories->FindName("F"), nullptr);
    EXPECT_EQ(stored->categories->FindName("F")->value, 2);
}

TEST_F(PropertyDialogs, ScaleChangesShowTheGridAndCancelTakesThemBack) {
    Open("list_one_header.xlsx");
    auto source = Find("B3");
    qs::VariableSourceExcel* height = qs::FindVariableForCommand(*source);
    qs::DialogVariable d(*source, *height);
    EXPECT_FALSE(d.Find(qs::DialogVariable::kCategories)->visible);
    EXPECT_EQ(d.Height(), qs::DialogVariable::kHeightWithoutGrid);
    EXPECT_TRUE(d.Click(qs::DialogVariable::kNominal));
    EXPECT_TRUE(d.Find(qs::DialogVariable::kCategories)->visible);
    platform::DialogControl grid = d.Find(qs::DialogVariable::kCategories)->Describe();
    const int n = static_cast<int>(height->categories->Count()) - 1;  // without the missing one
    ASSERT_GT(n, 2);
    EXPECT_EQ(static_cast<int>(grid.items.size()), n + 1);  // and the empty row
    EXPECT_EQ(grid.items[0].substr(0, 4), "158\t");         // numbers keep their values
    // A new category in the empty row; deleting a category the cells hold changes nothing.
    EXPECT_TRUE(d.EditCell(qs::DialogVariable::kCategories, n, 1, "Unknown"));
    EXPECT_EQ(static_cast<int>(d.Find(qs::DialogVariable::kCategories)->Describe().items.size()), n + 2);
    EXPECT_TRUE(d.DeleteRow(qs::DialogVariable::kCategories, 0));
    EXPECT_EQ(static_cast<int>(d.Find(qs::DialogVariable::kCategories)->Describe().items.size()), n + 2);
    EXPECT_TRUE(d.DeleteRow(qs::DialogVariable::kCategories, n));
    EXPECT_EQ(static_cast<int>(d.Find(qs::DialogVariable::kCategories)->Describe().items.size()), n + 1);
    // Format... sets the dialog aside for the host's number-format dialog on the variable's cells.
    EXPECT_TRUE(d.Click(qs::DialogVariable::kFormat));
    EXPECT_FALSE(d.Closed());
    std::vector<XLREF> sel = Selected();
    ASSERT_EQ(sel.size(), 1u);
    EXPECT_EQ(sel[0].colFirst, height->values.firstCol);
    EXPECT_EQ(sel[0].rwFirst, height->values.firstRow);
    EXPECT_EQ(sel[0].rwLast, height->values.lastRow);
    d.Click(qs::kIdCancel);
    EXPECT_TRUE(qs::SameType(height->type, qs::kTypeContinuous));
}

TEST_F(PropertyDialogs, TooManyCategoriesPutTheScaleBack) {
    NewBook();
    sheets::Sheet& sh = Sheet();
    sh.SetText(0, 0, "Code");
    sh.SetText(0, 1, "Value");
    for (uint32_t r = 1; r <= 300; ++r) {
        sh.SetText(r, 0, "C" + std::to_string(r));
        sh.SetNumber(r, 1, r);
    }
    auto source = Find("A5");
    qs::VariableSourceExcel* code = qs::FindVariableForCommand(*source);
    qs::DialogVariable d(*source, *code);
    EXPECT_TRUE(d.FindAs<qs::ControlRadio>(qs::DialogVariable::kInformation)->checked);
    EXPECT_TRUE(d.Click(qs::DialogVariable::kNominal));
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], qs::DatasetMessage(100, {"Code"}));
    EXPECT_TRUE(d.FindAs<qs::ControlRadio>(qs::DialogVariable::kInformation)->checked);
    EXPECT_FALSE(d.FindAs<qs::ControlRadio>(qs::DialogVariable::kNominal)->checked);
    EXPECT_FALSE(d.Find(qs::DialogVariable::kCategories)->visible);
    EXPECT_TRUE(qs::SameType(code->type, qs::kTypeInformation));
}

TEST_F(PropertyDialogs, TheDataMenuCommandsFindTheirDatasetAndVariable) {
    qs::InstallUserInterface();
    ASSERT_TRUE(qs::Services().variableProperties);
    Open("contingency.xlsx");
    {
        app::DialogAnswers a;
        a.layout = "contingency";
        app::DialogProblems problems;
        qs::DialogDataset d(*Find("C4"));
        EXPECT_EQ(app::AnswerDialog(d, a, nullptr, problems), qs::kIdOK);
    }
    Select("C4");  // a count
    EXPECT_EQ(MessageOf([] { qs::Services().variableProperties(qs::XlValue()); }), qs::DatasetString(102));
    Open("single_cells.xlsx");
    Select("C3");
    EXPECT_EQ(MessageOf([] { qs::Services().datasetProperties(qs::XlValue()); }), qs::DatasetString(64));
    // The new-dataset prompt opens the dialog; without a front end it is confirmed as it stands.
    Open("list_one_header.xlsx");
    Select("A2");
    auto confirmed = qs::EnsureConfirmed(qs::FindDatasetForCommand());
    ASSERT_TRUE(confirmed);
    EXPECT_EQ(g_boxes.back(), qs::DatasetString(34));
    EXPECT_FALSE(Find("A2")->dataset->isNew);
}

}  // namespace
}  // namespace uitest
