// References when a sheet is copied within its workbook or moved between workbooks.
#include <gtest/gtest.h>

#include "sheets/edit/moved_sheet.h"
#include "sheets/model/workbook.h"

using namespace sheets;

namespace {

class MovedSheet : public ::testing::Test {
 protected:
  Workbook data_book{"Data.xlsx"};
  Sheet& data = data_book.AddSheet("Data");
  Sheet& report = data_book.AddSheet("Report");

  void SetUp() override {
    data_book.set_path("/home/u/Data.xlsx");
    report.names().Define("__sm_ER_0", "Data!$A$1:$A$10", data_book.limits());
    report.names().Define("__sm_RR_", "Report!$A$1:$B$3", data_book.limits());
    report.names().Define("__sm_TV_0", "{1;1026;\"t-test\"}", data_book.limits());
    report.SetFormula(0, 0, "Report!B1+Data!A1+B2");
    data.SetFormula(0, 1, "SUM(Report!B1:B3)");
  }
  static std::string Refers(const Sheet& s, std::string_view name) { return s.names().Find(name)->refers_to; }
};

}  // namespace

TEST_F(MovedSheet, ACopyInItsWorkbookRefersToItselfAndKeepsTheDataset) {
  Sheet& copy = data_book.AddSheet("Report (2)");
  for (const DefinedName& n : report.names().entries()) copy.names().Put(n);
  copy.SetFormula(0, 0, report.Get(0, 0).formula);
  RebaseArrivedSheet(copy, data_book, "Report");
  EXPECT_EQ(Refers(copy, "__sm_RR_"), "'Report (2)'!$A$1:$B$3");
  EXPECT_EQ(Refers(copy, "__sm_ER_0"), "Data!$A$1:$A$10");
  EXPECT_EQ(Refers(copy, "__sm_TV_0"), "{1;1026;\"t-test\"}");
  EXPECT_EQ(copy.Get(0, 0).formula, "'Report (2)'!B1+Data!A1+B2");
  EXPECT_EQ(Refers(report, "__sm_RR_"), "Report!$A$1:$B$3");  // the original is untouched
}

TEST_F(MovedSheet, MovedOutTheDatasetBecomesExternalAndMovedBackPlainAgain) {
  Workbook reports("Reports.xlsx");
  reports.AddSheet("Sheet1");
  Sheet& moved = reports.AdoptSheet(data_book.DetachSheet(1), data_book.formats());
  RebaseArrivedSheet(moved, data_book, "Report");
  ReferToDepartedSheet(data_book, "Report", moved);
  EXPECT_EQ(Refers(moved, "__sm_ER_0"), "'/home/u/[Data.xlsx]Data'!$A$1:$A$10");
  EXPECT_EQ(Refers(moved, "__sm_RR_"), "Report!$A$1:$B$3");
  EXPECT_EQ(moved.Get(0, 0).formula, "Report!B1+'/home/u/[Data.xlsx]Data'!A1+B2");
  EXPECT_EQ(data.Get(0, 1).formula, "SUM([Reports.xlsx]Report!B1:B3)");

  // Back into the dataset's workbook (where it arrives as "Report", the name being free again).
  Sheet& back = data_book.AdoptSheet(reports.DetachSheet(1), reports.formats());
  RebaseArrivedSheet(back, reports, "Report");
  EXPECT_EQ(Refers(back, "__sm_ER_0"), "Data!$A$1:$A$10");
  EXPECT_EQ(back.Get(0, 0).formula, "Report!B1+Data!A1+B2");
}
