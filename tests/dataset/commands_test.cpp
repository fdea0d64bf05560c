// What commands ask of the dataset model: messages 34, 64, 65, 101, 102 and confirmation.
#include "addin/dataset/dataset_commands.h"
#include "addin/dataset/dataset_strings.h"
#include "addin/host/messages.h"
#include "tests/dataset/dataset_harness.h"

namespace dstest {
namespace {

int g_answer = qs::IDOK;
std::string g_shown;
int Answer(const char* text, unsigned, unsigned) {
  g_shown = text;
  return g_answer;
}
bool g_confirm = true;
bool Dialog(qs::DatasetSourceExcel& s) {
  if (!g_confirm) return false;
  qs::ConfirmDataset(s, qs::CurrentProperties(s));
  return true;
}

class Commands : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    previous = qs::SetMessageBoxFrontEnd(Answer);
    qs::SetDatasetPropertiesDialog(Dialog);
  }
  void TearDown() override {
    qs::SetMessageBoxFrontEnd(previous);
    qs::SetDatasetPropertiesDialog(nullptr);
    HostTest::TearDown();
  }
  qs::MessageBoxFrontEnd previous = nullptr;
};

TEST_F(Commands, NewDatasetsAreConfirmedBeforeUse) {
  Open("list_one_header.xlsx");
  Select("B3");
  g_answer = qs::IDCANCEL;
  EXPECT_FALSE(qs::EnsureConfirmed(qs::FindDatasetForCommand()));
  EXPECT_EQ(g_shown, qs::DatasetString(34));
  g_answer = qs::IDOK;
  g_confirm = false;
  EXPECT_FALSE(qs::EnsureConfirmed(qs::FindDatasetForCommand()));
  g_confirm = true;
  auto s = qs::EnsureConfirmed(qs::FindDatasetForCommand());
  ASSERT_TRUE(s);
  g_shown.clear();
  Select("C4");
  auto again = qs::EnsureConfirmed(qs::FindDatasetForCommand());
  ASSERT_TRUE(again);
  EXPECT_FALSE(again->dataset->isNew);
  EXPECT_TRUE(g_shown.empty());  // known datasets are not asked about again
}

TEST_F(Commands, MessagesOfTheCommands) {
  Open("single_cells.xlsx");
  Select("C3");
  EXPECT_EQ(MessageOf([] { qs::FindDatasetForCommand(); }),
            "Quelstat could not find a dataset surrounding the current cell. Select a cell within your dataset "
            "and then choose the command again.");
  NewBook();
  sheets::Sheet& sh = Sheet();
  sh.SetText(0, 0, "A");
  sh.SetText(0, 1, "Notes");  // a column without data has no variable
  sh.SetText(0, 2, "C");
  for (uint32_t r = 1; r <= 3; ++r) {
    sh.SetNumber(r, 0, r);
    sh.SetNumber(r, 2, r * 2.0);
  }
  Select("B3");
  auto s = qs::FindDatasetForCommand();
  EXPECT_EQ(s->dataset->variables.size(), 2u);
  EXPECT_EQ(MessageOf([&] { qs::FindVariableForCommand(*s); }), qs::DatasetString(65));
  Select("C2");
  EXPECT_EQ(qs::FindVariableForCommand(*s)->name, "C");
  qs::VariableSource* c = s->dataset->variables[1].get();
  c->SetType(qs::kTypeNominal);
  c->Values();
  EXPECT_EQ(MessageOf([&] { qs::CheckOrdinalValues(*c); }), "");  // numbers carry their values
  c->categories->Order()[1]->kind = qs::Category::kNoValue;
  EXPECT_EQ(MessageOf([&] { qs::CheckOrdinalValues(*c); }),
            "ll categories in variable C do not have ordinal values.  Goto the Variable properties dialog box and "
            "assign values.");
  c->SetType(qs::kTypeIntegralCount);
  EXPECT_EQ(MessageOf([&] { qs::CheckVariablePropertiesAllowed(*c); }), qs::DatasetString(102));
}

TEST_F(Commands, VariablesOfOneSourceAndFilterAreOneObject) {
  Open("list_one_header.xlsx");
  Select("A2");
  auto s = qs::FindDatasetForCommand();
  qs::VariableSource* w = s->dataset->variables[0].get();
  qs::VariableSource* h = s->dataset->variables[1].get();
  qs::PairWith pair;
  pair.entries = {{w, true, false}, {h, true, false}};
  auto c = qs::MakeCriteria(nullptr, nullptr, &pair, nullptr);
  auto a = qs::MakeVariable(w, c.get());
  auto b = qs::MakeVariable(w, c.get());
  auto other = qs::MakeVariable(h, c.get());
  EXPECT_EQ(a.get(), b.get());
  EXPECT_NE(a.get(), other.get());
  // Height is missing in the ninth case: paired, the weights lose it too.
  EXPECT_EQ(a->Values().size(), 9u);
  EXPECT_EQ(qs::MakeVariable(w, nullptr)->Values().size(), 10u);
}

}  // namespace
}  // namespace dstest
