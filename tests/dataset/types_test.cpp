// Categories and load rules.
#include "addin/dataset/dataset_strings.h"
#include "tests/dataset/dataset_harness.h"

namespace dstest {
namespace {

using Types = HostTest;

std::vector<std::string> Names(const qs::Categories& c) {
  std::vector<std::string> out;
  for (const auto& k : c.Order())
    if (!k->first) out.push_back(k->name);
  return out;
}

class Loading : public HostTest {
 protected:
  qs::CRef<qs::DatasetSourceExcel> Make(const std::vector<sheets::Value>& cells, qs::TypeCode type) {
    NewBook();
    sheets::Sheet& sh = Sheet();
    sh.SetText(0, 0, "V");
    for (size_t i = 0; i < cells.size(); ++i) sh.SetValue(static_cast<uint32_t>(i + 1), 0, cells[i]);
    Select("A2");
    auto s = qs::FindDataset(qs::ActiveCell(), qs::kLayoutList, 0, 1, false, true);
    EXPECT_TRUE(s);
    if (s) s->dataset->variables[0]->SetType(type);
    return s;
  }
  qs::VariableSource& V(qs::DatasetSourceExcel& s) { return *s.dataset->variables[0]; }
};

TEST_F(Loading, CategoriesAreOrderedByValueThenNameWithoutCase) {
  auto s =
      Make({sheets::Value::Number(10), sheets::Value::Number(2), sheets::Value::Number(1), sheets::Value::Number(2)},
           qs::kTypeNominal);
  const qs::ValueVector& v = V(*s).Values();
  EXPECT_EQ(Names(*V(*s).categories), (std::vector<std::string>{"1", "2", "10"}));
  ASSERT_EQ(v.Size(), 4u);
  // Numbers in the order the categories were met: 10 first.
  EXPECT_EQ(V(*s).categories->ByNumber(v.categories[0])->name, "10");
  EXPECT_EQ(v.categories[1], v.categories[3]);

  // Empty text inside the column is a missing value.
  auto t = Make({sheets::Value::Text("b"), sheets::Value::Text("A"), sheets::Value::Text(""), sheets::Value::Text("c")},
                qs::kTypeNominal);
  const qs::ValueVector& w = V(*t).Values();
  EXPECT_EQ(Names(*V(*t).categories), (std::vector<std::string>{"A", "b", "c"}));
  ASSERT_EQ(w.Size(), 4u);
  EXPECT_TRUE(w.IsMissing(2));
  EXPECT_FALSE(w.IsMissing(3));
}

TEST_F(Loading, NumbersShowingAlikeUnderTheFormatShareACategory) {
  NewBook();
  sheets::Sheet& sh = Sheet();
  sh.SetText(0, 0, "V");
  sheets::CellFormat f;
  f.number_format = "0.0";
  uint32_t fmt = sh.workbook()->formats().Intern(f);
  double values[] = {1.04, 1.01, 2.0};
  for (uint32_t i = 0; i < 3; ++i) {
    sh.SetNumber(i + 1, 0, values[i]);
    sh.SetFormat(i + 1, 0, fmt);
  }
  Select("A2");
  auto s = qs::FindDataset(qs::ActiveCell(), qs::kLayoutList, 0, 1, false, true);
  ASSERT_TRUE(s);
  qs::VariableSource& v = *s->dataset->variables[0];
  v.SetType(qs::kTypeNominal);
  const qs::ValueVector& x = v.Values();
  EXPECT_EQ(Names(*v.categories), (std::vector<std::string>{"1.0", "2.0"}));
  EXPECT_EQ(x.categories[0], x.categories[1]);
}

TEST_F(Loading, AtMost256CategoriesLoad) {
  std::vector<sheets::Value> cells;
  for (int i = 0; i < 256; ++i) cells.push_back(sheets::Value::Number(i));
  auto s = Make(cells, qs::kTypeNominal);
  EXPECT_EQ(V(*s).Values().Size(), 256u);
  cells.push_back(sheets::Value::Number(1000));
  auto t = Make(cells, qs::kTypeNominal);
  std::string text = MessageOf([&] { V(*t).Values(); });
  EXPECT_EQ(text, qs::DatasetMessage(100, {"V"}));
  EXPECT_NE(text.find("Too many categories in variable V."), std::string::npos);
  // The categories read so far stay, marked as met in the data.
  EXPECT_EQ(V(*t).categories->Count(), 258u);
  EXPECT_TRUE(V(*t).categories->Order()[5]->flags & qs::Category::kOccursInData);
}

TEST_F(Loading, CountsMustBeWholeAndNotNegative) {
  auto s = Make({sheets::Value::Number(3), sheets::Value::Number(0), sheets::Value::Text("x")}, qs::kTypeIntegralCount);
  const qs::ValueVector& v = V(*s).Values();
  ASSERT_EQ(v.Size(), 3u);
  EXPECT_EQ(v.counts[1], 0u);
  EXPECT_TRUE(v.IsZero(1));
  for (double bad : {2.5, -1.0}) {
    auto t = Make({sheets::Value::Number(3), sheets::Value::Number(bad)}, qs::kTypeIntegralCount);
    std::string text = MessageOf([&] { V(*t).Values(); });
    std::string shown = bad < 0 ? "-1" : "2.5";
    EXPECT_EQ(text, "Contingency table cell $A$3 contains an invalid count (=" + shown +
                        ").  All counts must be positive integer values.");
  }
}

TEST_F(Loading, ContinuousMissingAndZero) {
  auto s = Make(
      {sheets::Value::Number(0), sheets::Value::Text("n/a"), sheets::Value::Boolean(true), sheets::Value::Number(-0.0)},
      qs::kTypeContinuous);
  const qs::ValueVector& v = V(*s).Values();
  ASSERT_EQ(v.Size(), 4u);
  EXPECT_TRUE(v.IsZero(0));
  EXPECT_TRUE(v.IsMissing(1));
  EXPECT_TRUE(v.IsMissing(2));
  EXPECT_FALSE(v.IsZero(3));  // only +0.0 counts as zero
}

TEST_F(Types, OrdinalNeedsUniqueValuesOnEveryCategory) {
  NewBook();
  qs::CRef<qs::Categories> c(new qs::Categories(qs::kTypeNominal));
  c->FindOrAdd(qs::XlValue("low"), "General", true);
  c->FindOrAdd(qs::XlValue("high"), "General", true);
  qs::VariableSource v;
  v.type = qs::kTypeNominal;
  v.categories = c;
  std::string text = MessageOf([&] { v.SetType(qs::kTypeOrdinal); });
  EXPECT_EQ(text, "All categories must have or be assigned ordinal values.");
  EXPECT_EQ(v.type, qs::kTypeNominal);
  c->SetValue(c->FindName("low"), 1);
  text = MessageOf([&] { c->SetValue(c->FindName("high"), 1); });
  EXPECT_EQ(text,
            "Another category is already assigned the ordinal value =1.  All categories must have unique "
            "values.  ");
  c->SetValue(c->FindName("high"), 5);
  v.SetType(qs::kTypeOrdinal);
  EXPECT_EQ(v.type, qs::kTypeOrdinal);
  EXPECT_EQ(c->type, qs::kTypeOrdinal);
  v.AddRef();  // held here; never released to the stack object
}

TEST_F(Types, NamesAreUniqueAndFreedNumbersAreReused) {
  NewBook();
  qs::CRef<qs::Categories> c(new qs::Categories(qs::kTypeNominal));
  qs::Category* a = c->FindOrAdd(qs::XlValue("a"), "General", true);
  qs::Category* b = c->FindOrAdd(qs::XlValue("b"), "General", true);
  qs::Category* d = c->FindOrAdd(qs::XlValue("d"), "General", true);
  EXPECT_EQ(a->number, 1);
  EXPECT_EQ(d->number, 3);
  std::string text = MessageOf([&] { c->SetName(a, "b"); });
  EXPECT_EQ(text, "categories already has a category 'b'");
  qs::CRef<qs::Category> dup(new qs::Category);
  dup->name = "d";
  EXPECT_EQ(MessageOf([&] { c->Add(dup.get(), true); }), "categories already has a category 'd'");
  c->Remove(b);
  qs::Category* e = c->FindOrAdd(qs::XlValue("e"), "General", true);
  EXPECT_EQ(e->number, 2);  // b's slot
  EXPECT_EQ(c->ByNumber(2), e);
  EXPECT_EQ(e->position, 3);
  qs::Category* num = c->FindOrAdd(qs::XlValue(7.0), "General", true);
  EXPECT_EQ(num->number, 4);
  EXPECT_EQ(num->position, 4);  // valued categories after the unvalued ones
  EXPECT_EQ(num->Description(), "category '7' (=7)");
}

}  // namespace
}  // namespace dstest
