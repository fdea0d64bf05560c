// The test parameter dialog built from a small test's parameters: choices with disabled options,
// hidden items, width, update passes on every change, OK validation, remembered values, variables.
#include <cmath>
#include <functional>
#include <sstream>

#include <gtest/gtest.h>

#include "addin/framework/parameters.h"
#include "addin/framework/test.h"
#include "addin/host/messages.h"
#include "addin/resources/string_ids.h"
#include "addin/ui/dialog_run_test.h"
#include "app/dialog_console.h"
#include "tests/dataset/dataset_harness.h"
#include "tests/framework/framework_probe.h"

namespace uitest {

using fwtest::Probe;

}  // namespace uitest

namespace fwtest {
const qs::Test::Info Probeinfo(1026, []() -> qs::Test* { return new Probe; });
const qs::Test::Info& Probe::GetInfo() const { return Probeinfo; }
}  // namespace fwtest

namespace uitest {

namespace {

namespace params = qs::params;

qs::CRef<Probe> Bound(std::function<void(qs::Parameters&)> exchange, qs::DatasetSourceExcel* dataset = nullptr) {
    qs::CRef<Probe> p(new Probe);
    p->exchange = std::move(exchange);
    p->Bind(dataset);
    p->passes.clear();
    return p;
}

std::string g_box;
int Box(const char* text, unsigned, unsigned) {
    g_box = text;
    return qs::IDOK;
}

class RunTestDialog : public ::testing::Test {
protected:
    void SetUp() override {
        previous = qs::SetMessageBoxFrontEnd(&Box);
        g_box.clear();
    }
    void TearDown() override { qs::SetMessageBoxFrontEnd(previous); }
    qs::MessageBoxFrontEnd previous = nullptr;
};

TEST_F(RunTestDialog, ChoiceListsEnabledOptionsAndCountsDisabledOnesInTheValue) {
    int protection = -1;
    auto p = Bound([&](qs::Parameters& x) { x.Choice(params::ErrorProtection29, protection); });
    qs::ParameterItem& item = p->parameters->items[0];
    item.value.number = 2;  // "Scheffe": the second option ("Tukey") is not offered
    qs::DialogRunTest d(*p->parameters, {});
    EXPECT_EQ(d.Title(), qs::LoadString(1026).str());
    platform::DialogControl c = d.ItemControl(0)->Describe();
    EXPECT_EQ(c.items, (std::vector<std::string>{"Dunnett", "Scheffe", "Bonferroni", "LSD"}));
    EXPECT_EQ(c.value, "Scheffe");
    EXPECT_TRUE(d.Choose(c.id, 3));
    EXPECT_EQ(item.value.number, 4);  // "LSD" is option 4
    EXPECT_EQ(protection, 4);
    // The widest enabled option decides the control column.
    EXPECT_EQ(d.controlColumn, qs::DialogRunTest::TextWidth("Bonferroni") + 22);
}

TEST_F(RunTestDialog, ChoicesFilledAtRunTimeFollowTheirOptions) {
    bool many = false;
    int group = -1;
    auto p = Bound([&](qs::Parameters& x) {
        x.CheckBox(params::UnequalVariances, many);
        std::vector<std::string> options{"Placebo", "Low dose"};
        if (many) options.push_back("High dose (twice daily)");
        x.Choice(params::ControlGroup, group, options);
    });
    qs::DialogRunTest d(*p->parameters, {});
    const int id = d.ItemControl(1)->id;
    EXPECT_EQ(d.Find(id)->Describe().items, (std::vector<std::string>{"Placebo", "Low dose"}));
    EXPECT_TRUE(d.Choose(id, 1));
    EXPECT_EQ(group, 1);
    const int narrow = d.controlColumn;
    EXPECT_TRUE(d.Click(d.ItemControl(0)->id));
    platform::DialogControl c = d.Find(id)->Describe();
    EXPECT_EQ(c.items.size(), 3u);
    EXPECT_EQ(c.value, "Low dose");
    EXPECT_EQ(d.controlColumn, qs::DialogRunTest::TextWidth("High dose (twice daily)") + 22);
    EXPECT_GT(d.controlColumn, narrow);
    EXPECT_TRUE(d.Choose(id, 2));
    EXPECT_EQ(group, 2);
    EXPECT_TRUE(d.Click(d.ItemControl(0)->id));  // the chosen option goes away: back to the first
    EXPECT_EQ(d.Find(id)->Describe().value, "Placebo");
    EXPECT_EQ(group, 0);
}

TEST_F(RunTestDialog, HiddenItemsTakeNoRoomAndAreNotRefreshed) {
    double mean = 0, sd = 0;
    bool known = false;
    auto p = Bound([&](qs::Parameters& x) {
        x.Number(params::HypothesisedMean, mean);
        x.CheckBox(params::UnequalVariances, known);
        x.Number(params::PopulationSD, sd);
        x.Hide(!known);
        if (!known) {  // the pass changes the hidden item
            x.items[2].value.number = 4;
            x.items[2].changed = true;
        }
    });
    qs::DialogRunTest d(*p->parameters, {});
    qs::Control* sdField = d.ItemControl(2);
    ASSERT_NE(sdField, nullptr);
    EXPECT_FALSE(sdField->visible);
    EXPECT_EQ(sdField->rect.height, 0);
    const int shortHeight = d.Height();
    // A hidden item's value changes do not reach its control.
    platform::TypeText(d, d.ItemControl(0)->id, "1");
    EXPECT_EQ(d.FindAs<qs::ControlField>(sdField->id)->Text(), "");

    EXPECT_TRUE(d.Click(d.ItemControl(1)->id));  // the item appears: one row more
    sdField = d.ItemControl(2);
    EXPECT_TRUE(sdField->visible);
    EXPECT_EQ(d.Height(), shortHeight + qs::DialogRunTest::kMetrics.row);
    EXPECT_GT(sdField->rect.y, d.ItemControl(1)->rect.y);
    EXPECT_EQ(d.FindAs<qs::ControlField>(sdField->id)->Text(), "4");
    EXPECT_TRUE(d.Click(d.ItemControl(1)->id));
    EXPECT_EQ(d.Height(), shortHeight);
}

TEST_F(RunTestDialog, NeverNarrowerThan210AndWiderForLongLabels) {
    double mean = 0;
    auto p = Bound([&](qs::Parameters& x) { x.Number(params::HypothesisedMean, mean); });
    qs::DialogRunTest d(*p->parameters, {});
    EXPECT_EQ(d.contentWidth, qs::DialogRunTest::kMinContentWidth);
    EXPECT_GE(d.Width(), 210);
    EXPECT_EQ(d.labelColumn, qs::DialogRunTest::TextWidth("Hypothesised mean:") + 4);
    // OK and Cancel stand right of the content; the focus starts on the first item.
    EXPECT_GE(d.Find(qs::kIdOK)->rect.x, d.contentWidth);
    EXPECT_EQ(d.Focus(), d.ItemControl(0)->id);

    int plot = 0;
    auto wide = Bound([&](qs::Parameters& x) { x.Choice(params::Plot, plot); });
    qs::DialogRunTest w(*wide->parameters, {});
    EXPECT_EQ(w.controlColumn, qs::DialogRunTest::TextWidth("All Differences v Method A (NCCLS)") + 22);
    EXPECT_EQ(w.contentWidth, std::max(w.labelColumn + w.controlColumn + 12, 210));
}

TEST_F(RunTestDialog, EveryKeystrokeRunsAnUpdatePassAndTheHypothesisBoxRunsMode2) {
    double mean = 0;
    qs::numerics::Tail tail = qs::numerics::kTwoSided;
    std::vector<double> seen;
    auto p = Bound([&](qs::Parameters& x) {
        x.Number(params::HypothesisedMean, mean);
        seen.push_back(mean);
        char right[32];
        std::snprintf(right, sizeof right, "%g", mean);
        x.Hypothesis(params::AlternativeHypothesis, tail, "\xCE\xBC", std::isnan(mean) ? "?" : right);
    });
    qs::DialogRunTest d(*p->parameters, {});
    p->passes.clear();
    seen.clear();
    EXPECT_EQ(platform::TypeText(d, d.ItemControl(0)->id, "-1.5"), 0);
    EXPECT_EQ(p->passes, (std::vector<int>(5, qs::Parameters::kUpdate)));  // clear and four keys
    EXPECT_TRUE(std::isnan(seen[0]));
    EXPECT_TRUE(std::isnan(seen[1]));  // "-" alone is no number yet
    EXPECT_EQ(seen[2], -1);
    EXPECT_EQ(seen.back(), -1.5);
    // The hypothesis box follows the parameters at once.
    auto* h = d.FindAs<qs::ControlHypothesis>(qs::ids::kLabelAlternativeHypothesis);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->ItemText(1), "\xCE\xBC \xE2\x89\xA4 -1.5");
    p->passes.clear();
    EXPECT_TRUE(d.Choose(qs::ids::kLabelAlternativeHypothesis, 2));
    EXPECT_EQ(p->passes, std::vector<int>{qs::Parameters::kUpdateHypothesis});
    EXPECT_EQ(tail, 2);
}

TEST_F(RunTestDialog, OKWithABadValueShowsTheMessageAndStaysOpen) {
    double level = 0, mean = 0;
    auto p = Bound([&](qs::Parameters& x) {
        x.Number(params::HypothesisedMean, mean);
        x.Percentage(params::ConfidenceInterval, level);
    });
    qs::DialogRunTest d(*p->parameters, {});
    const int id = d.ItemControl(1)->id;
    EXPECT_EQ(d.Focus(), d.ItemControl(0)->id);
    EXPECT_EQ(d.FindAs<qs::ControlField>(id)->Text(), "95");
    EXPECT_EQ(platform::TypeText(d, id, "100"), 1);  // the third digit is not typed
    EXPECT_TRUE(d.Click(qs::kIdOK));
    EXPECT_FALSE(d.Closed());
    EXPECT_EQ(g_box, "Confidence interval must be a percentage between 50% and 100%");
    EXPECT_EQ(d.Focus(), id);                                 // on the item the message is about
    EXPECT_EQ(d.FindAs<qs::ControlField>(id)->Text(), "10");  // the user's input stays
    platform::TypeText(d, id, "90.5");
    EXPECT_TRUE(d.Click(qs::kIdOK));
    EXPECT_TRUE(d.Closed());
    EXPECT_EQ(d.Result(), qs::kIdOK);
    EXPECT_EQ(level, 90.5);
    // The confirmed level is the next run's default.
    auto next = Bound([&](qs::Parameters& x) { x.Percentage(params::ConfidenceInterval, level); });
    EXPECT_EQ(next->parameters->items[0].value.number, 90.5);
    // Reset for the other cases.
    qs::DialogRunTest again(*next->parameters, {});
    platform::TypeText(again, again.ItemControl(0)->id, "95");
    again.Click(qs::kIdOK);
}

class VariableChooser : public dstest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        previous = qs::SetMessageBoxFrontEnd(&Box);
    }
    void TearDown() override {
        qs::SetMessageBoxFrontEnd(previous);
        HostTest::TearDown();
    }
    qs::MessageBoxFrontEnd previous = nullptr;
};

TEST_F(VariableChooser, VariablesAndGroupsAsTheDatasetListsThem) {
    Open("list_one_header.xlsx");
    auto source = Find("A3");                        // Weight
    Var(*source, "Sex")->SetType(qs::kTypeNominal);  // its categories make groups
    std::vector<qs::VariableChoice> one, groups;
    auto p = Bound(
        [&](qs::Parameters& x) {
            x.Variables(params::Variable406, one);
            x.Variables(params::VariableGroups2406, groups);
            x.CheckVariableCount(2);
        },
        source.get());
    qs::DialogRunTest d(*p->parameters, {});
    platform::DialogControl single = d.ItemControl(0)->Describe();
    EXPECT_EQ(single.kind, platform::ControlKind::DropDown);
    EXPECT_EQ(single.value, "Weight");  // the variable at the active cell
    // The popup lists what suits the item: no nominal "Sex".
    EXPECT_EQ(std::count(single.items.begin(), single.items.end(), "Sex"), 0);
    EXPECT_NE(std::count(single.items.begin(), single.items.end(), "Height"), 0);
    platform::DialogControl list = d.ItemControl(1)->Describe();
    EXPECT_EQ(list.kind, platform::ControlKind::List);
    EXPECT_TRUE(list.multiple);
    ASSERT_EQ(list.selected.size(), 2u);
    EXPECT_EQ(list.items[list.selected[0]], "Weight - F");
    EXPECT_EQ(list.items[list.selected[1]], "Weight - M");
    auto* rows = dynamic_cast<qs::DialogRunTest::VariableList*>(static_cast<qs::ControlList*>(d.ItemControl(1))->data);
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(rows->Level(list.selected[0]), 1);

    // The console answers by name and last level.
    app::DialogAnswers a;
    a.set = {{"Variable", "Height"}, {"Variable - Groups", "Height - F, Height - M"}};
    app::DialogProblems problems;
    std::ostringstream trace;
    EXPECT_EQ(app::AnswerDialog(d, a, &trace, problems), qs::kIdOK) << g_box;
    EXPECT_FALSE(problems.Any());
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].name, "Height");
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[1].name, "Height - M");
}

TEST_F(VariableChooser, OKRefusesTheWrongNumberOfVariables) {
    Open("list_one_header.xlsx");
    auto source = Find("A3");
    Var(*source, "Sex")->SetType(qs::kTypeNominal);
    std::vector<qs::VariableChoice> groups;
    std::vector<qs::VariableChoice> one;
    auto p = Bound(
        [&](qs::Parameters& x) {
            x.Variables(params::Variable406, one);
            x.Variables(params::VariableGroups2406, groups);
            x.CheckVariableCount(2);
        },
        source.get());
    qs::DialogRunTest d(*p->parameters, {});
    const int id = d.ItemControl(1)->id;
    platform::DialogControl list = d.ItemControl(1)->Describe();
    EXPECT_TRUE(d.SelectItems(id, {list.selected[0]}));
    d.Click(qs::kIdOK);
    EXPECT_FALSE(d.Closed());
    EXPECT_NE(g_box.find("Variable - Groups"), std::string::npos) << g_box;
    EXPECT_EQ(d.Focus(), id);  // not on "Variable", whose label the message also contains
}

TEST_F(VariableChooser, GroupsFromOneVariableRefuseAnEntryUnderAnotherParent) {
    Open("list_one_header.xlsx");
    auto source = Find("A3");
    Var(*source, "Sex")->SetType(qs::kTypeNominal);
    std::vector<qs::VariableChoice> x, y;
    auto p = Bound(
        [&](qs::Parameters& e) {
            e.Variables(params::VariableX1404, x);
            e.Variables(params::VariableY1404, y);
        },
        source.get());
    qs::DialogRunTest d(*p->parameters, {});
    const int xId = d.ItemControl(0)->id, yId = d.ItemControl(1)->id;
    auto choose = [&](int id, const std::string& name) {
        platform::DialogControl c = d.Find(id)->Describe();
        auto at = std::find(c.items.begin(), c.items.end(), name);
        ASSERT_NE(at, c.items.end()) << name;
        EXPECT_TRUE(d.Choose(id, static_cast<int>(at - c.items.begin())));
    };
    choose(xId, "Weight - F");
    choose(yId, "Weight - M");
    ASSERT_EQ(y.size(), 1u);
    EXPECT_EQ(y[0].name, "Weight - M");
    choose(yId, "Height - M");  // another variable's group: refused
    EXPECT_EQ(y[0].Parent(), "Weight");
    EXPECT_EQ(d.Find(yId)->Describe().value, y[0].name);
    // A new first choice takes the second along to its own variable.
    choose(xId, "Height - F");
    EXPECT_EQ(x[0].name, "Height - F");
    EXPECT_EQ(y[0].Parent(), "Height");
}

TEST_F(RunTestDialog, ACheckCutShortAfterDeclaringANewItemLeavesTheDialogUsable) {
    double mean = 0, sd = 0;
    auto p = Bound([&](qs::Parameters& x) {
        if (x.mode == qs::Parameters::kCheck) x.Number(params::PopulationSD, sd);  // declared first
        x.Number(params::HypothesisedMean, mean);
        if (x.mode == qs::Parameters::kCheck) x.CheckRequired();
    });
    qs::DialogRunTest d(*p->parameters, {});
    d.Click(qs::kIdOK);
    EXPECT_FALSE(d.Closed());
    EXPECT_NE(g_box.find("Hypothesised mean"), std::string::npos) << g_box;
    ASSERT_EQ(p->parameters->items.size(), 1u);
    EXPECT_EQ(d.Focus(), d.ItemControl(0)->id);
    EXPECT_EQ(platform::TypeText(d, d.ItemControl(0)->id, "3"), 0);
    EXPECT_EQ(mean, 3);
}

TEST_F(RunTestDialog, EscDuringTheCheckShowsInterruptedAndStaysOpen) {
    double mean = 0;
    auto p = Bound([&](qs::Parameters& x) {
        x.Number(params::HypothesisedMean, mean);
        if (x.mode == qs::Parameters::kCheck) throw qs::CancelKeyException::Instance();
    });
    qs::DialogRunTest d(*p->parameters, {});
    d.Click(qs::kIdOK);
    EXPECT_FALSE(d.Closed());
    EXPECT_EQ(g_box, qs::LoadString(307).str());
}

}  // namespace
}  // namespace uitest
