// The variable list of fixture workbooks, finding entries by name, and the values behind them.
#include <cmath>

#include "addin/framework/selection.h"
#include "tests/dataset/dataset_harness.h"
#include "tests/framework/framework_probe.h"

namespace fwtest {
namespace {

using dstest::HostTest;
namespace params = qs::params;

std::vector<std::string> Names(const std::vector<qs::VariableChoice>& list) {
  std::vector<std::string> out;
  for (const auto& c : list) out.push_back(c.name);
  return out;
}

class Selection : public HostTest {};

TEST_F(Selection, TabularGroupsOfTheDataVariable) {
  Open("groups_by_title.xlsx");
  auto source = Find("B4");
  auto list = qs::ListVariables(*source);
  EXPECT_EQ(Names(list),
            (std::vector<std::string>{"Weight", "Weight - Low", "Weight - Medium", "Weight - High", "Diet"}));
  const qs::VariableChoice* low = qs::FindVariableChoice(list, "Low");
  ASSERT_NE(low, nullptr);
  EXPECT_EQ(low->name, "Weight - Low");
  EXPECT_TRUE(low->IsGroup());
  EXPECT_EQ(low->Parent(), "Weight");
  EXPECT_EQ(qs::FindVariableChoice(list, "weight - high"), &list[3]);
  EXPECT_EQ(qs::FindVariableChoice(list, "Heavy"), nullptr);
  // Masks: continuous data of a tabular dataset; the factor is categorical.
  EXPECT_EQ(low->mask, 4u | 64u);
  EXPECT_EQ(list[4].mask, 1u | 0x80u);
  EXPECT_EQ(list[4].typeIndex, 0);
  // The groups' observations (columns of different lengths).
  EXPECT_EQ(qs::ChoiceValues(*low), (std::vector<double>{60, 62, 59, 65, 61}));
  EXPECT_EQ(qs::ChoiceValues(list[3]), (std::vector<double>{75, 78, 74, 80}));
  EXPECT_EQ(qs::ChoiceValues(list[0]).size(), 16u);
  EXPECT_EQ(qs::MissingCount(*low), 0u);
}

TEST_F(Selection, TwoFactorsNameTheFactor) {
  Open("tabular_two_factors.xlsx");
  auto source = Find("C4");
  auto names = Names(qs::ListVariables(*source));
  auto has = [&](const std::string& n) { return std::find(names.begin(), names.end(), n) != names.end(); };
  EXPECT_TRUE(has("Yield - Fertiliser - Low")) << ::testing::PrintToString(names);
  EXPECT_TRUE(has("Yield - Region - North")) << ::testing::PrintToString(names);
  auto list = qs::ListVariables(*source);
  const qs::VariableChoice* north = qs::FindVariableChoice(list, "North");
  ASSERT_NE(north, nullptr);
  EXPECT_EQ(qs::ChoiceValues(*north), (std::vector<double>{4.1, 4.3, 3.9, 5.0, 5.2, 4.8, 6.1, 6.0, 5.8}));
}

TEST_F(Selection, RepeatMeasuresAndPairs) {
  Open("list_repeat_measures.xlsx");
  auto source = Find("B4");
  auto list = qs::ListVariables(*source);
  EXPECT_EQ(Names(list),
            (std::vector<std::string>{"Subject", "Glucose - Day 1", "Glucose - Day 2", "Glucose - Day 3"}));
  const qs::VariableChoice* day2 = qs::FindVariableChoice(list, "Day 2");
  ASSERT_NE(day2, nullptr);
  EXPECT_FALSE(day2->IsGroup());
  qs::PairedValues pv = qs::PairedChoiceValues(list[1], *day2);
  EXPECT_EQ(pv.first, (std::vector<double>{5.1, 5.4, 6.0, 4.9, 5.5, 5.8, 6.2, 5.0}));
  EXPECT_EQ(pv.second, (std::vector<double>{5.3, 5.2, 6.1, 5.0, 5.9, 5.7, 6.0, 5.1}));
  EXPECT_EQ(pv.excludedMissing, 0u);
}

TEST_F(Selection, ListSplitByCategoricalVariablesAndMissingValues) {
  Open("list_one_header.xlsx");
  auto source = Find("A3");
  Var(*source, "Sex")->SetType(qs::kTypeNominal);
  auto list = qs::ListVariables(*source);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"Weight", "Weight - F", "Weight - M", "Height", "Height - F",
                                                   "Height - M", "Sex"}));
  // Height is missing in the ninth case (a man).
  const qs::VariableChoice* men = qs::FindVariableChoice(list, "Height - M");
  ASSERT_NE(men, nullptr);
  EXPECT_EQ(qs::ChoiceValues(*men), (std::vector<double>{180, 185, 176, 190}));
  EXPECT_EQ(qs::MissingCount(*men), 1u);
  EXPECT_EQ(qs::FindVariableChoice(list, "M"), nullptr);  // Weight - M or Height - M
  qs::PairedValues pv = qs::PairedChoiceValues(list[0], list[3]);
  EXPECT_EQ(pv.first.size(), 9u);
  EXPECT_EQ(pv.excludedMissing, 1u);
  // A second categorical variable: the factor's name keeps the groups apart.
  Var(*source, "Height")->SetType(qs::kTypeOrdinal);
  EXPECT_EQ(Names(qs::ListVariables(*source))[1], "Weight - Height - 158");
}

TEST_F(Selection, VariableChecksAndDefaults) {
  Open("groups_by_title.xlsx");
  auto source = Find("B4");
  std::vector<qs::VariableChoice> groups, one;
  qs::CRef<Probe> p(new Probe);
  p->exchange = [&](qs::Parameters& x) {
    x.Variables(params::VariableGroups2406, groups);
    x.CheckVariableTypes();
    x.CheckGroupsFromOneVariable();
    x.CheckVariableCount(2);
    x.CheckObservations(5);
    x.Variables(params::Variable404, one);
    x.CheckVariableCount(1);
  };
  p->Bind(source.get());
  // Loaded: the groups of the data variable at the cell, and that variable.
  EXPECT_EQ(Names(groups), (std::vector<std::string>{"Weight - Low", "Weight - Medium", "Weight - High"}));
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].name, "Weight");
  auto check = [&] { return MessageOf([&] { p->parameters->Run(qs::Parameters::kCheck); }); };
  EXPECT_EQ(check(), "Variable - Groups must contain 2 variables.");
  auto list = qs::ListVariables(*source);
  auto& items = p->parameters->items;
  items[0].value.variables = {list[1], list[4]};
  EXPECT_EQ(check(), "Variable Diet must be at least ordinal type.");
  items[0].value.variables = {list[1], list[0]};
  EXPECT_EQ(check(), "Groups must be selected from the same variable.");
  items[0].value.variables = {list[1], list[3]};
  EXPECT_EQ(check(), "Variable - Groups must contain at least 5 observations.");
  items[0].value.variables = {list[1], list[2]};
  EXPECT_EQ(check(), "");
  items[1].value.variables.clear();
  EXPECT_EQ(check(), "Variable must contain 1 variables.");
  items[1].value.variables = {list[1]};
  EXPECT_EQ(check(), "");
  EXPECT_EQ(p->VariablesText(), "Weight - Low, Weight - Medium, Weight - Low");
}

TEST_F(Selection, ColumnsSideBySideAreTheDefaultForSeveralVariables) {
  Open("list_one_header.xlsx");
  auto source = Find("A3");
  std::vector<qs::VariableChoice> vars, groups;
  qs::CRef<Probe> p(new Probe);
  p->exchange = [&](qs::Parameters& x) {
    x.Variables(params::Variables2404, vars);
    x.Variables(params::VariableGroups2404, groups);
  };
  p->Bind(source.get());
  // Sex holds texts (information): neither list offers it; no categorical variable, so no groups.
  EXPECT_EQ(Names(vars), (std::vector<std::string>{"Weight", "Height"}));
  EXPECT_EQ(Names(groups), (std::vector<std::string>{"Weight", "Height"}));
}

TEST_F(Selection, RepeatsFromOneVariableAndSameObservations) {
  NewBook();
  sheets::Sheet& sh = Sheet();
  // Two repeat-measures variables A (x, y) and B (x, y), and a plain column C.
  const char* top[] = {"A", "", "B", "", "C"};
  const char* sub[] = {"x", "y", "x", "y", ""};
  sh.Merge({{0, 0}, {0, 1}});
  sh.Merge({{0, 2}, {0, 3}});
  for (uint32_t c = 0; c < 5; ++c) {
    if (*top[c]) sh.SetText(0, c, top[c]);
    if (*sub[c]) sh.SetText(1, c, sub[c]);
    for (uint32_t r = 0; r < 4; ++r)
      if (!(c == 3 && r == 3)) sh.SetNumber(r + 2, c, 1 + r * c);
  }
  Select("A3");
  auto source = qs::FindDataset(qs::ActiveCell(), qs::kLayoutList, 0, 2, false, true);
  ASSERT_TRUE(source);
  auto list = qs::ListVariables(*source);
  ASSERT_EQ(Names(list), (std::vector<std::string>{"A - x", "A - y", "B - x", "B - y", "C"}));
  std::vector<qs::VariableChoice> vars;
  qs::CRef<Probe> p(new Probe);
  p->exchange = [&](qs::Parameters& x) {
    x.Variables(params::Variables2404, vars);
    x.CheckRepeatsFromOneVariable();
    x.CheckSameObservations();
  };
  p->Bind(source.get());
  EXPECT_EQ(Names(vars), (std::vector<std::string>{"A - x", "A - y"}));
  auto check = [&] { return MessageOf([&] { p->parameters->Run(qs::Parameters::kCheck); }); };
  EXPECT_EQ(check(), "");
  auto& v = p->parameters->items[0].value.variables;
  v = {list[0], list[2]};
  EXPECT_EQ(check(), "Repeat-measures must be selected from the same variable.");
  v = {list[0], list[4]};
  EXPECT_EQ(check(), "Repeat-measures must be selected from the same variable.");
  v = {list[2], list[3]};
  EXPECT_EQ(check(), "Variable B - y must have 4 observations for this test");
  p->exchange = [&](qs::Parameters& x) {
    x.Variables(params::Variables2404, vars);
    x.CheckSameObservations();
  };
  v = {list[2], list[4], list[3]};
  EXPECT_EQ(check(), "All variables must have the same number of observations for this test");
}

}  // namespace
}  // namespace fwtest
