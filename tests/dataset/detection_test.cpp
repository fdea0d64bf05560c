// Finding datasets in fixture workbooks: layouts, header lines, variables and factors, names, stored
// properties.
#include <algorithm>

#include "addin/dataset/criteria.h"
#include "addin/dataset/dataset_strings.h"
#include "tests/dataset/dataset_harness.h"

namespace dstest {
namespace {

using qs::kTypeContinuous;
using qs::kTypeInformation;
using qs::kTypeNominal;

std::vector<std::string> CategoryNames(const qs::VariableSource& v) {
  std::vector<std::string> out;
  if (v.categories)
    for (const auto& c : v.categories->Order())
      if (!c->first) out.push_back(c->name);
  return out;
}

using Detection = HostTest;

TEST_F(Detection, ListWithOneHeaderRowTypesFromTheCells) {
  Open("list_one_header.xlsx");
  auto s = Find("B5");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->region.Address(), "$A$1:$C$11");
  EXPECT_EQ(s->dataset->Layout(), qs::kLayoutList);
  EXPECT_TRUE(s->dataset->isNew);
  EXPECT_EQ(s->headerBand.count, 1);
  EXPECT_EQ(s->labelBand.count, 0);
  ASSERT_EQ(s->dataset->variables.size(), 3u);
  EXPECT_EQ(Var(*s, "Weight")->type, kTypeContinuous);
  qs::VariableSource* height = Var(*s, "Height");
  EXPECT_EQ(height->type, kTypeContinuous);
  const qs::ValueVector& h = height->Values();
  ASSERT_EQ(h.Size(), 10u);
  EXPECT_TRUE(h.IsMissing(8));  // the empty cell
  EXPECT_DOUBLE_EQ(h.numbers[0], 165);
  // A column holding only text is information, not nominal.
  EXPECT_EQ(Var(*s, "Sex")->type, kTypeInformation);
  EXPECT_EQ(s->dataset->name, "Dataset 1");
  EXPECT_EQ(s->dataset->nameOrigin, 1u);
}

TEST_F(Detection, TwoHeaderRowsUnderAMergedNameAreOneRepeatMeasure) {
  Open("list_repeat_measures.xlsx");
  auto s = Find("C5");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->dataset->Layout(), qs::kLayoutList);
  EXPECT_EQ(s->headerBand.count, 2);
  EXPECT_EQ(s->labelBand.count, 0);
  ASSERT_EQ(s->dataset->variables.size(), 4u);
  EXPECT_EQ(Var(*s, "Subject")->group, nullptr);
  ASSERT_EQ(s->groups.size(), 1u);
  const qs::WithinSubject& g = *s->groups[0];
  EXPECT_EQ(g.name, "Glucose");
  ASSERT_EQ(g.repeats.size(), 3u);
  for (const char* day : {"Day 1", "Day 2", "Day 3"}) {
    ASSERT_NE(Var(*s, day), nullptr) << day;
    EXPECT_EQ(Var(*s, day)->group, &g) << day;
    EXPECT_EQ(Var(*s, day)->DisplayName(), "Glucose");
  }
  EXPECT_EQ(CategoryNames(*g.repeatFactor), (std::vector<std::string>{"Day 1", "Day 2", "Day 3"}));
  // Setting the type of one repeat sets it on every repeat.
  Var(*s, "Day 2")->SetType(qs::kTypeNominal);
  for (const char* day : {"Day 1", "Day 3"}) EXPECT_EQ(Var(*s, day)->type, qs::kTypeNominal) << day;
}

TEST_F(Detection, TextLabelsInTheFirstColumnMakeAnIdentifierLabel) {
  Open("list_identifier_label.xlsx");
  auto s = Find("C3");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->dataset->Layout(), qs::kLayoutList);
  EXPECT_TRUE(s->dataset->IdentifierLabel());
  EXPECT_FALSE(s->dataset->HasLabelColumns());
  EXPECT_EQ(s->labelBand.count, 0);
  EXPECT_EQ(s->dataset->variables[0]->name, "Name");
  EXPECT_EQ(s->dataset->variables[0]->type, kTypeInformation);
  EXPECT_EQ(s->dataBody.Address(), "$A$2:$C$7");
}

TEST_F(Detection, ByTitleSplitsDataAndFactorAndGroupsKeepTheirLengths) {
  Open("groups_by_title.xlsx");
  auto s = Find("B4");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->dataset->Layout(), qs::kLayoutIndependent);
  EXPECT_EQ(s->headerBand.count, 2);
  EXPECT_EQ(s->labelBand.count, 0);
  ASSERT_EQ(s->dataset->variables.size(), 2u);
  qs::VariableSource& data = *s->dataset->variables[0];
  qs::VariableSource& diet = *s->dataset->variables[1];
  EXPECT_EQ(data.name, "Weight");
  EXPECT_EQ(diet.name, "Diet");
  EXPECT_EQ(diet.type, kTypeNominal);
  EXPECT_EQ(CategoryNames(diet), (std::vector<std::string>{"Low", "Medium", "High"}));
  // Trailing empty cells are not observations: 5 + 7 + 4 values, each with its group.
  const qs::ValueVector& v = data.Values();
  ASSERT_EQ(v.Size(), 16u);
  const qs::ValueVector& f = diet.Values();
  ASSERT_EQ(f.Size(), 16u);
  EXPECT_EQ(std::count(f.categories.begin(), f.categories.end(), diet.categories->FindName("Medium")->number), 7);
  EXPECT_DOUBLE_EQ(v.numbers[5], 66);
  EXPECT_EQ(f.categories[5], diet.categories->FindName("Medium")->number);
  EXPECT_EQ(f.categories[15], diet.categories->FindName("High")->number);
}

TEST_F(Detection, TwoFactorTableGivesDataAndBothFactorsForEveryCell) {
  Open("tabular_two_factors.xlsx");
  auto s = Find("C5");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->dataset->Layout(), qs::kLayoutIndependent);
  EXPECT_EQ(s->headerBand.count, 2);
  EXPECT_EQ(s->labelBand.count, 1);
  ASSERT_EQ(s->dataset->variables.size(), 3u);
  qs::VariableSource& data = *s->dataset->variables[0];
  qs::VariableSource& region = *s->dataset->variables[1];
  qs::VariableSource& fert = *s->dataset->variables[2];
  EXPECT_EQ(data.name, "Yield");
  EXPECT_EQ(region.name, "Region");
  EXPECT_EQ(fert.name, "Fertiliser");
  EXPECT_EQ(CategoryNames(region), (std::vector<std::string>{"North", "South"}));
  EXPECT_EQ(CategoryNames(fert), (std::vector<std::string>{"None", "Low", "High"}));
  ASSERT_EQ(data.Values().Size(), 18u);
  const qs::ValueVector& r = region.Values();
  const qs::ValueVector& c = fert.Values();
  ASSERT_EQ(r.Size(), 18u);
  ASSERT_EQ(c.Size(), 18u);
  // Column by column: the fourth value of the first column is South/None, the first of the last is
  // North/High.
  EXPECT_EQ(region.categories->ByNumber(r.categories[3])->name, "South");
  EXPECT_EQ(fert.categories->ByNumber(c.categories[3])->name, "None");
  EXPECT_EQ(region.categories->ByNumber(r.categories[12])->name, "North");
  EXPECT_EQ(fert.categories->ByNumber(c.categories[12])->name, "High");
  EXPECT_DOUBLE_EQ(data.Values().numbers[12], 6.1);
}

TEST_F(Detection, EqualColumnNamesBecomeReplicates) {
  Open("replicates.xlsx");
  auto s = Find("A2");
  ASSERT_TRUE(s);
  ASSERT_EQ(s->dataset->variables.size(), 3u);
  EXPECT_EQ(s->dataset->variables[0]->name, "Glucose - R1");
  EXPECT_EQ(s->dataset->variables[1]->name, "Glucose - R2");
  EXPECT_EQ(s->dataset->variables[2]->name, "Age");
  EXPECT_EQ(s->dataset->variables[1]->replicateOf, s->dataset->variables[0].get());
  EXPECT_EQ(s->dataset->variables[0]->replicates, 1);
}

TEST_F(Detection, TitleTwoRowsAboveNamesTheDatasetOnlyWhenAlone) {
  Open("title_formula_row.xlsx");
  auto s = Find("A6");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->dataset->name, "Blood pressure study");
  EXPECT_EQ(s->dataset->nameOrigin, 2u);
  // The formula row under the names keeps a single header row.
  EXPECT_EQ(s->headerBand.count, 1);
  std::string error;
  ASSERT_TRUE(docs->ActivateSheet("Busy", error)) << error;
  auto busy = Find("A5");
  ASSERT_TRUE(busy);
  EXPECT_EQ(busy->dataset->name, "Dataset 1");
}

TEST_F(Detection, NoDatasetAroundALoneCellAndNoDataUnderHeaders) {
  Open("single_cells.xlsx");
  EXPECT_FALSE(Find("C3"));
  EXPECT_FALSE(Find("H20"));
  Select("B6");
  std::string text = MessageOf([&] { qs::FindDataset(qs::ActiveCell(), qs::kLayoutDetect, -1, -1, true, true); });
  EXPECT_EQ(text, qs::DatasetString(36));
  EXPECT_NE(text.find("contains no data"), std::string::npos);
}

TEST_F(Detection, StoredDatasetIsFoundAfterEditsAndDanglingNamesGo) {
  Open("stored_edited.xlsx");
  auto s = Find("C4");
  ASSERT_TRUE(s);
  EXPECT_FALSE(s->dataset->isNew);
  EXPECT_EQ(s->dataset->Layout(), qs::kLayoutList);
  EXPECT_EQ(s->dataset->name, "Dose trial");
  EXPECT_EQ(s->dataset->nameOrigin, 0u);
  // The column added after saving belongs to the dataset.
  EXPECT_EQ(s->region.Address(), "$A$1:$C$7");
  EXPECT_EQ(s->dataset->variables.size(), 3u);
  // The stored variable properties: Dose is ordinal with values 1, 2, 3.
  qs::VariableSource* dose = Var(*s, "Dose");
  ASSERT_NE(dose, nullptr);
  EXPECT_EQ(dose->type, qs::kTypeOrdinal);
  ASSERT_TRUE(dose->categories);
  EXPECT_EQ(CategoryNames(*dose), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_DOUBLE_EQ(dose->categories->FindName("3")->value, 3);
  // The name whose cells were deleted is gone, with its value name.
  EXPECT_EQ(Sheet().names().Find("__sm_DR_dead"), nullptr);
  EXPECT_EQ(Sheet().names().Find("__sm_DV_dead"), nullptr);
  EXPECT_NE(Sheet().names().Find("__sm_DR_1f2e3d"), nullptr);
}

TEST_F(Detection, DefaultNamesCountTheStoredDatasetsOfTheSheet) {
  NewBook();
  sheets::Sheet& sh = Sheet();
  for (int block = 0; block < 3; ++block) {
    uint32_t col = static_cast<uint32_t>(block * 4);
    sh.SetText(0, col, "X");
    sh.SetText(0, col + 1, "Y");
    for (uint32_t r = 1; r <= 4; ++r) {
      sh.SetNumber(r, col, r);
      sh.SetNumber(r, col + 1, r * 2.0);
    }
  }
  auto first = Find("A2");
  ASSERT_TRUE(first);
  qs::ConfirmDataset(*first, qs::CurrentProperties(*first));
  auto second = Find("E2");
  EXPECT_EQ(second->dataset->name, "Dataset 2");
  qs::ConfirmDataset(*second, qs::CurrentProperties(*second));
  auto third = Find("I2");
  EXPECT_EQ(third->dataset->name, "Dataset 3");
  // Found again, a confirmed dataset counts itself once.
  EXPECT_EQ(Find("A3")->dataset->name, "Dataset 2");
  EXPECT_FALSE(Find("A3")->dataset->isNew);
}

TEST_F(Detection, SavedPropertiesComeBackFromTheWrittenFile) {
  Open("list_one_header.xlsx");
  auto s = Find("A2");
  ASSERT_TRUE(s);
  qs::DatasetProperties p = qs::CurrentProperties(*s);
  p.name = "Body measures";
  qs::ConfirmDataset(*s, p);
  // Sex becomes ordinal with values, as the Variable properties dialog would leave it.
  qs::VariableSource* sex = Var(*s, "Sex");
  sex->SetType(qs::kTypeNominal);
  sex->Values();
  sex->categories->SetValue(sex->categories->FindName("F"), 1);
  sex->categories->SetValue(sex->categories->FindName("M"), 2);
  sex->SetType(qs::kTypeOrdinal);
  s->SaveProperties();
  std::string saved = (home / "saved.xlsx").string(), error;
  ASSERT_TRUE(docs->Save(saved, error)) << error;

  xlm::Host::Shutdown();
  xlm::Host::Reset(xlm::HostOptions{});
  xlm::InstallModelDocuments();
  docs = static_cast<xlm::ModelDocuments*>(xlm::Host::Get().documents);
  Open(saved);
  auto again = Find("C7");
  ASSERT_TRUE(again);
  EXPECT_FALSE(again->dataset->isNew);
  EXPECT_EQ(again->dataset->name, "Body measures");
  EXPECT_EQ(again->dataset->nameOrigin, 0u);
  EXPECT_EQ(again->dataset->Layout(), qs::kLayoutList);
  EXPECT_EQ(Var(*again, "Weight")->type, kTypeContinuous);
  qs::VariableSource* sex2 = Var(*again, "Sex");
  ASSERT_NE(sex2, nullptr);
  EXPECT_EQ(sex2->type, qs::kTypeOrdinal);
  EXPECT_EQ(CategoryNames(*sex2), (std::vector<std::string>{"F", "M"}));
  EXPECT_DOUBLE_EQ(sex2->categories->FindName("M")->value, 2);
}

TEST_F(Detection, HeaderCellsWithoutANameAreRefusedWithTheCellSelected) {
  NewBook();
  sheets::Sheet& sh = Sheet();
  sh.SetText(0, 0, "Day");
  sh.SetText(1, 0, "Mon");
  sh.SetText(1, 1, "Tue");
  sh.SetNumber(2, 0, 1);
  sh.SetNumber(2, 1, 2);
  sh.SetNumber(3, 0, 3);
  sh.SetNumber(3, 1, 4);
  Select("A3");
  // Tabular with two header rows: the factor line's name cell is A1; the second line's run "Tue"
  // is fine, but an empty first header cell has no category.
  sh.ClearContents(1, 0);
  auto s = qs::FindDataset(qs::ActiveCell(), qs::kLayoutDetect, -1, -1, false, false);
  ASSERT_TRUE(s);
  std::string text = MessageOf([&] { s->Scan(-1, qs::kLayoutIndependent, 0, 2, false, true); });
  EXPECT_EQ(text, qs::DatasetString(201));
  EXPECT_EQ(Sheet().view().selection.at(0).first.col, 0u);
  sh.SetText(1, 0, "Mon");
  sh.ClearContents(0, 0);
  text = MessageOf([&] { s->Scan(-1, qs::kLayoutIndependent, 0, 2, false, true); });
  EXPECT_EQ(text, qs::DatasetString(200));
}

TEST_F(Detection, BooleanCategoriesSurviveASaveAndReload) {
  NewBook();
  sheets::Sheet& sh = Sheet();
  sh.SetText(0, 0, "Done");
  sh.SetText(0, 1, "X");
  for (uint32_t r = 1; r <= 4; ++r) {
    sh.SetBoolean(r, 0, r % 2 == 0);
    sh.SetNumber(r, 1, r);
  }
  auto s = Find("B2");
  ASSERT_TRUE(s);
  qs::ConfirmDataset(*s, qs::CurrentProperties(*s));
  qs::VariableSource* done = Var(*s, "Done");
  done->SetType(qs::kTypeNominal);
  ASSERT_EQ(done->Values().Size(), 4u);
  s->SaveProperties();
  std::string saved = (home / "bool.xlsx").string(), error;
  ASSERT_TRUE(docs->Save(saved, error)) << error;
  xlm::Host::Shutdown();
  xlm::Host::Reset(xlm::HostOptions{});
  xlm::InstallModelDocuments();
  docs = static_cast<xlm::ModelDocuments*>(xlm::Host::Get().documents);
  Open(saved);
  auto again = Find("A3");
  ASSERT_TRUE(again);
  qs::VariableSource* d2 = Var(*again, "Done");
  ASSERT_NE(d2, nullptr);
  EXPECT_EQ(d2->type, kTypeNominal);
  EXPECT_EQ(CategoryNames(*d2), (std::vector<std::string>{"FALSE", "TRUE"}));
  EXPECT_EQ(d2->categories->FindName("TRUE")->kind, qs::Category::kBoolean);
  // The cells find their stored categories: no new ones, no clash.
  EXPECT_EQ(MessageOf([&] { d2->Values(); }), "");
  EXPECT_EQ(d2->categories->Count(), 3u);
}

TEST_F(Detection, OutlineLevelOrFormulaUnderTheFirstRowKeepsOneHeaderRow) {
  NewBook();
  sheets::Sheet& sh = Sheet();
  sheets::CellFormat under;
  under.font.bold = true;
  under.borders.bottom.style = sheets::BorderStyle::Thin;
  uint32_t fmt = sh.workbook()->formats().Intern(under);
  for (uint32_t c = 0; c < 3; ++c) {
    sh.SetText(0, c, std::string(1, static_cast<char>('A' + c)));
    sh.SetText(1, c, std::string(1, static_cast<char>('x' + c)));
    sh.SetFormat(1, c, fmt);
    for (uint32_t r = 2; r < 8; ++r) sh.SetNumber(r, c, r * 10.0 + c);
  }
  // A bordered, bold second row over numbers reads as a second header row ...
  auto s = Find("B5");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->headerBand.count, 2);
  // ... unless it sits one outline level below the first: then it is data.
  sh.SetRowOutlineLevel(1, 1);
  EXPECT_EQ(Find("B5")->headerBand.count, 1);
  sh.SetRowOutlineLevel(1, 0);
  sh.SetFormula(1, 1, "\"y\"", sheets::Value::Text("y"));
  EXPECT_EQ(Find("B5")->headerBand.count, 1);
}

TEST_F(Detection, RestoredFactorCategoriesKeepTheirCellsAfterAHeaderEdit) {
  Open("groups_by_title.xlsx");
  auto s = Find("B4");
  ASSERT_TRUE(s);
  qs::ConfirmDataset(*s, qs::CurrentProperties(*s));
  Sheet().SetText(1, 1, "Mid");  // the group renamed after its properties were stored
  auto again = Find("B4");
  ASSERT_TRUE(again);
  qs::VariableSource& diet = *again->dataset->variables[1];
  const qs::ValueVector& f = diet.Values();
  ASSERT_EQ(f.Size(), 16u);
  EXPECT_EQ(diet.categories->ByNumber(f.categories[0])->name, "Low");
  EXPECT_EQ(diet.categories->ByNumber(f.categories[5])->name, "Mid");
  EXPECT_EQ(diet.categories->ByNumber(f.categories[15])->name, "High");
  qs::SplitBy split(diet);
  ASSERT_EQ(split.GroupCount(), 3);
  EXPECT_EQ(split.GroupName(1), "Mid");  // header order
}

}  // namespace
}  // namespace dstest
