// The shared-string table written for a workbook: each referenced text once, nothing else (a text
// overwritten or only cached by a formula is not written), whether one sheet holds texts or several.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "sheets/io/workbook_io.h"
#include "sheets/io/zip.h"

using namespace sheets;

namespace {

std::string Part(const std::string& bytes, const std::string& name) {
  ZipReader zip({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  int i = zip.Find(name);
  if (i < 0) return {};
  return zip.ReadAll(size_t(i), 1 << 26);
}

long Attr(const std::string& xml, const std::string& name) {
  std::smatch m;
  if (!std::regex_search(xml, m, std::regex(" " + name + "=\"([0-9]+)\""))) return -1;
  return std::stol(m[1]);
}

std::unique_ptr<Workbook> Read(const std::string& bytes) {
  return ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, "t.xlsx");
}

}  // namespace

TEST(SharedStrings, OneSheetWritesEachReferencedTextOnce) {
  Workbook book("b");
  Sheet& s = book.AddSheet("S");
  for (uint32_t r = 0; r < 300; ++r) s.SetText(r, 0, "t" + std::to_string(r % 40));
  s.SetText(0, 1, "overwritten secret");
  s.SetNumber(0, 1, 5);
  s.SetFormula(1, 1, "\"cached\"", Value::Text("only cached"));
  std::string bytes = WriteXlsxBytes(book);
  std::string sst = Part(bytes, "xl/sharedStrings.xml");
  EXPECT_EQ(Attr(sst, "count"), 300);
  EXPECT_EQ(Attr(sst, "uniqueCount"), 40);
  EXPECT_EQ(sst.find("secret"), std::string::npos);
  EXPECT_EQ(sst.find("only cached"), std::string::npos);

  // Read back (the reader appends each shared string to the pool once) and saved again: the same.
  auto back = Read(bytes);
  for (uint32_t r = 0; r < 300; ++r) ASSERT_EQ(back->sheet(0).Get(r, 0).text, "t" + std::to_string(r % 40));
  std::string again = Part(WriteXlsxBytes(*back), "xl/sharedStrings.xml");
  EXPECT_EQ(Attr(again, "count"), 300);
  EXPECT_EQ(Attr(again, "uniqueCount"), 40);
}

TEST(SharedStrings, TextsOnSeveralSheetsAreWrittenOnce) {
  Workbook book("b");
  Sheet& a = book.AddSheet("A");
  Sheet& b = book.AddSheet("B");
  Sheet& c = book.AddSheet("C");
  for (uint32_t r = 0; r < 50; ++r) {
    a.SetText(r, 0, "shared " + std::to_string(r));
    b.SetText(r, 3, "shared " + std::to_string(49 - r));
    c.SetText(r, 1, "own " + std::to_string(r));
  }
  b.SetText(60, 0, " edge spaces ");
  a.SetText(70, 0, "gone");
  a.ClearContents(70, 0);
  std::string bytes = WriteXlsxBytes(book);
  std::string sst = Part(bytes, "xl/sharedStrings.xml");
  EXPECT_EQ(Attr(sst, "count"), 151);
  EXPECT_EQ(Attr(sst, "uniqueCount"), 101);
  EXPECT_EQ(sst.find("gone"), std::string::npos);
  EXPECT_NE(sst.find("<t xml:space=\"preserve\"> edge spaces </t>"), std::string::npos);
  auto back = Read(bytes);
  for (uint32_t r = 0; r < 50; ++r) {
    EXPECT_EQ(back->sheet(0).Get(r, 0).text, "shared " + std::to_string(r));
    EXPECT_EQ(back->sheet(1).Get(r, 3).text, "shared " + std::to_string(49 - r));
    EXPECT_EQ(back->sheet(2).Get(r, 1).text, "own " + std::to_string(r));
  }
  EXPECT_EQ(back->sheet(1).Get(60, 0).text, " edge spaces ");
}
