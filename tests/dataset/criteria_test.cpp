// Observation filters, sharing between criteria, cross tabulation and the summary adapters.
#include <cmath>

#include "addin/dataset/criteria.h"
#include "tests/dataset/dataset_harness.h"

namespace dstest {
namespace {

// A list dataset: X, Y (numbers with a gap and a zero), G (three groups), H (four groups).
class Filters : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    NewBook();
    sheets::Sheet& sh = Sheet();
    const char* names[] = {"X", "Y", "G", "H"};
    for (uint32_t c = 0; c < 4; ++c) sh.SetText(0, c, names[c]);
    double x[] = {5, 3, 8, 1, 9, 2, 7, 4};
    double y[] = {1, 0, 2, 3, 0, 5, 6, 7};
    const char* g[] = {"a", "b", "c", "a", "b", "c", "a", "b"};
    const char* h[] = {"p", "q", "r", "s", "p", "q", "r", "s"};
    for (uint32_t r = 0; r < 8; ++r) {
      sh.SetNumber(r + 1, 0, x[r]);
      if (r != 3) sh.SetNumber(r + 1, 1, y[r]);  // Y is missing in the fourth case
      sh.SetText(r + 1, 2, g[r]);
      sh.SetText(r + 1, 3, h[r]);
    }
    Select("A2");
    source = qs::FindDataset(qs::ActiveCell(), qs::kLayoutList, 0, 1, false, true);
    ASSERT_TRUE(source);
    Var(*source, "G")->SetType(qs::kTypeNominal);
    Var(*source, "H")->SetType(qs::kTypeNominal);
  }
  qs::VariableSource* V(const char* name) { return Var(*source, name); }
  qs::CRef<qs::DatasetSourceExcel> source;
};

TEST_F(Filters, SplitCoveringEveryObservationKeepsNoIncludeList) {
  auto c = qs::MakeCriteria(nullptr, V("G"), nullptr, nullptr);
  ASSERT_TRUE(c);
  c->Update();
  EXPECT_TRUE(c->splitInclude->all);
  EXPECT_TRUE(c->splitInclude->list.empty());
  EXPECT_EQ(c->used, 8u);
  // Groups made of some categories only leave the others out.
  qs::VariableSource* g = V("G");
  int a = g->categories->FindName("a")->number, cnum = g->categories->FindName("c")->number;
  c->splitBy = new qs::SplitBy(*g, {{a}, {cnum}});
  c->splitInclude->stamps.clear();
  c->Update();
  EXPECT_FALSE(c->splitInclude->all);
  EXPECT_EQ(c->splitInclude->list, (std::vector<uint32_t>{0, 2, 3, 5, 6}));
  EXPECT_EQ(c->used, 5u);
  auto groups = qs::GroupValues(*V("X"), *c);
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0], (std::vector<double>{5, 1, 7}));
  EXPECT_EQ(groups[1], (std::vector<double>{8, 2}));
}

TEST_F(Filters, ZeroOnlyExclusionsAreNotCountedAsMissing) {
  qs::PairWith pair;
  pair.entries = {{V("X"), true, false}, {V("Y"), true, true}};
  auto c = qs::MakeCriteria(nullptr, nullptr, &pair, nullptr);
  c->Update();
  // Y is zero in cases 2 and 5 and missing in case 4.
  EXPECT_EQ(c->pairExclude->list, (std::vector<uint32_t>{1, 3, 4}));
  EXPECT_EQ(c->excludedZero, 2u);
  EXPECT_EQ(c->excludedMissing, 1u);
  EXPECT_EQ(c->used, 5u);
  EXPECT_EQ(qs::ObservationValues(*V("X"), c.get()), (std::vector<double>{5, 8, 2, 7, 4}));
  qs::numerics::Descriptives d = qs::DescriptivesOf(*V("X"), c.get());
  EXPECT_EQ(d.N(), 5u);
  EXPECT_DOUBLE_EQ(d.Mean(), 26.0 / 5);
}

TEST_F(Filters, EqualSelectionsShareTheirListsAndASortAddsAChild) {
  qs::PairWith pair;
  pair.entries = {{V("X"), true, false}, {V("Y"), true, false}};
  size_t live = qs::Criteria::LiveCount();
  auto first = qs::MakeCriteria(nullptr, V("G"), &pair, nullptr);
  auto second = qs::MakeCriteria(nullptr, V("G"), &pair, nullptr);
  EXPECT_EQ(first.get(), second.get());
  EXPECT_EQ(qs::Criteria::LiveCount(), live + 1);
  std::vector<qs::VariableSource*> by = {V("X")};
  auto sorted = qs::MakeCriteria(&by, V("G"), &pair, nullptr);
  ASSERT_NE(sorted.get(), first.get());
  EXPECT_EQ(sorted->parent.get(), first.get());
  EXPECT_EQ(sorted->splitInclude.get(), first->splitInclude.get());
  EXPECT_EQ(sorted->pairWith.get(), first->pairWith.get());
  sorted->Update();
  // Case 4 (Y missing) is out; the rest ordered by X.
  std::vector<double> xs = qs::ObservationValues(*V("X"), sorted.get());
  EXPECT_EQ(xs, (std::vector<double>{2, 3, 4, 5, 7, 8, 9}));
  EXPECT_EQ(sorted->used, first->used);
  // A different pair-with list is a different selection.
  qs::PairWith other;
  other.entries = {{V("X"), true, false}};
  auto third = qs::MakeCriteria(nullptr, V("G"), &other, nullptr);
  EXPECT_NE(third.get(), first.get());
  EXPECT_EQ(third->splitBy.get(), first->splitBy.get());
  EXPECT_NE(third->pairExclude.get(), first->pairExclude.get());
  third = qs::CRef<qs::Criteria>();
  sorted = qs::CRef<qs::Criteria>();
  second = qs::CRef<qs::Criteria>();
  first = qs::CRef<qs::Criteria>();
  EXPECT_EQ(qs::Criteria::LiveCount(), live);
}

struct AboveRule : qs::OutlierRule {
  qs::VariableSource* v;
  double limit;
  int calls = 0;
  AboveRule(qs::VariableSource* var, double l) : v(var), limit(l) {}
  std::vector<uint32_t> Apply(const std::vector<uint32_t>& obs) override {
    ++calls;
    std::vector<uint32_t> out;
    for (uint32_t i : obs)
      if (v->Values().numbers[i] > limit) out.push_back(i);
    return out;
  }
  std::vector<qs::VariableSource*> Variables() const override { return {v}; }
};

TEST_F(Filters, OutliersAreCountedApartAndRecomputedOnlyWhenStale) {
  qs::CRef<AboveRule> rule(new AboveRule(V("X"), 7.5));
  auto c = qs::MakeCriteria(nullptr, nullptr, nullptr, rule.get());
  c->Update();
  EXPECT_EQ(c->excludedOutliers, 2u);  // 8 and 9
  EXPECT_EQ(c->used, 6u);
  c->Update();
  EXPECT_EQ(rule->calls, 1);
  V("X")->SetType(qs::kTypeNominal);
  V("X")->SetType(qs::kTypeContinuous);  // the values are read again: the rule runs again
  c->Update();
  EXPECT_EQ(rule->calls, 2);
  EXPECT_EQ(c->used, 6u);
}

TEST_F(Filters, CrosstabCellsAndCounts) {
  qs::ContingencyTable t = qs::MakeContingencyTable(*V("G"), V("H"));
  EXPECT_EQ(t.crosstab->Cells(), 12);
  EXPECT_EQ(t.rows, 3);
  EXPECT_EQ(t.columns, 4);
  EXPECT_DOUBLE_EQ(t.total, 8);
  EXPECT_DOUBLE_EQ(t.rowTotals[0], 3);  // a
  EXPECT_DOUBLE_EQ(t.At(0, 0), 1);      // a with p
  EXPECT_DOUBLE_EQ(t.columnTotals[3], 2);
  EXPECT_EQ(t.crosstab->CellLabel(1, 2), "b - r");
  EXPECT_EQ(t.crosstab->CellLabel(1, 2, " / "), "b / r");
  qs::ContingencyTable one = qs::MakeContingencyTable(*V("G"), nullptr);
  EXPECT_EQ(one.columns, 1);
  EXPECT_EQ(one.crosstab->Cells(), 3);
  EXPECT_EQ(one.crosstab->CellLabel(2, 0), "c");
}

TEST_F(HostTest, ContingencyTableDatasetAddsItsCounts) {
  Open("contingency.xlsx");
  Select("B3");
  auto s = qs::FindDataset(qs::ActiveCell(), qs::kLayoutDetect, -1, -1, true, true);
  ASSERT_TRUE(s);
  qs::DatasetProperties p = qs::CurrentProperties(*s);
  p.layoutIndex = 2;
  p.factors = 2;
  qs::ConfirmDataset(*s, p);
  ASSERT_TRUE(s->dataset->IsContingency());
  auto& vars = s->dataset->variables;
  qs::ContingencyTable t = qs::MakeContingencyTable(*vars[1], vars[2].get(), nullptr, vars[0].get());
  ASSERT_EQ(t.rows, 3);
  ASSERT_EQ(t.columns, 2);
  EXPECT_DOUBLE_EQ(t.At(0, 0), 24);  // Drug, Improved
  EXPECT_DOUBLE_EQ(t.At(2, 1), 20);  // None, Not improved
  EXPECT_DOUBLE_EQ(t.total, 80);
  EXPECT_DOUBLE_EQ(t.rowTotals[1], 30);
}

TEST_F(Filters, ComputedVariablesTakePartLikeCellVariables) {
  qs::ValueVector ranks;
  ranks.type = qs::kTypeFloat;
  ranks.floats = {3, 0, 2, std::nanf(""), 5, 1, 4, 6};
  qs::CRef<qs::VariableSource> r = qs::MakeComputedVariable("Ranks of X", ranks);
  ASSERT_NE(r->owner, nullptr);
  EXPECT_EQ(r->Values().Size(), 8u);
  qs::PairWith pair;
  pair.entries = {{V("X"), true, false}, {r.get(), true, true}};
  std::vector<qs::VariableSource*> by = {r.get()};
  auto c = qs::MakeCriteria(&by, nullptr, &pair, nullptr);
  c->Update();
  EXPECT_EQ(c->excludedMissing, 1u);
  EXPECT_EQ(c->excludedZero, 1u);
  EXPECT_EQ(qs::ObservationValues(*V("X"), c.get()), (std::vector<double>{2, 8, 5, 7, 9, 4}));
}

}  // namespace
}  // namespace dstest
