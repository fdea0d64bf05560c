// CSV and xls reading, the zip and XML layers, and the show command.
#include <gtest/gtest.h>

#include <sstream>

#include "sheets/io/file_error.h"
#include "sheets/io/workbook_io.h"
#include "sheets/io/xml.h"
#include "sheets/io/zip.h"
#include "sheets/show.h"

using namespace sheets;

namespace {
std::unique_ptr<Workbook> Csv(std::string_view text, SheetLimits limits = SheetLimits::Classic()) {
  ReadOptions o;
  o.text_limits = limits;
  return ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, "data/My file.csv", o);
}
std::string CsvError(std::string_view text, SheetLimits limits = SheetLimits::Classic()) {
  try {
    Csv(text, limits);
  } catch (const FileError& e) {
    return e.what();
  }
  return "read";
}
}  // namespace

TEST(Csv, SeparatorsQuotesLineEndsAndTypes) {
  auto book =
      Csv("\xEF\xBB\xBFname;value;note\r\n\"a;b\";1.5;\"say \"\"hi\"\"\"\r\nx;-2E3;\"two\nlines\"\ny;TRUE;\"12\"\n");
  const Sheet& s = book->sheet(0);
  EXPECT_EQ(s.name(), "My file");
  EXPECT_EQ(s.GetValue(0, 0), Value::Text("name"));  // the byte-order mark is not part of the text
  EXPECT_EQ(s.GetValue(1, 0), Value::Text("a;b"));
  EXPECT_EQ(s.GetValue(1, 1), Value::Number(1.5));
  EXPECT_EQ(s.GetValue(1, 2), Value::Text("say \"hi\""));
  EXPECT_EQ(s.GetValue(2, 1), Value::Number(-2000));
  EXPECT_EQ(s.GetValue(2, 2), Value::Text("two\nlines"));
  EXPECT_EQ(s.GetValue(3, 1), Value::Boolean(true));
  EXPECT_EQ(s.GetValue(3, 2), Value::Text("12"));  // quoted: kept as text
  EXPECT_EQ(s.CellCount(), 12u);
  EXPECT_EQ(book->format(), FileFormat::Csv);

  auto tabs = Csv("a\tb,c\td\n1,5\t2\n");
  EXPECT_EQ(tabs->sheet(0).GetValue(0, 1), Value::Text("b,c"));
  EXPECT_EQ(tabs->sheet(0).GetValue(1, 0), Value::Text("1,5"));  // C locale: a comma is no decimal point
  auto commas = Csv("1,,3\n,\n");
  EXPECT_EQ(commas->sheet(0).GetValue(0, 2), Value::Number(3));
  EXPECT_EQ(commas->sheet(0).CellCount(), 2u);
  auto latin1 = Csv("caf\xE9,1\n");
  EXPECT_EQ(latin1->sheet(0).GetValue(0, 0), Value::Text("caf\xC3\xA9"));
  EXPECT_EQ(Csv("")->sheet(0).CellCount(), 0u);
  EXPECT_EQ(Csv("nan,inf,1e999\n")->sheet(0).GetValue(0, 1), Value::Text("inf"));
}

TEST(Csv, RefusesWhatTheSheetCannotHold) {
  std::string rows;
  for (int i = 0; i < 11; ++i) rows += "1\n";
  EXPECT_EQ(CsvError(rows, {10, 10}), "data/My file.csv: row 11 is beyond the sheet limits of 10 rows");
  EXPECT_EQ(CsvError("1,2,3,4\n", {10, 3}), "data/My file.csv: row 1 has more than 3 fields");
  EXPECT_EQ(CsvError("\"" + std::string(40000, 'x') + "\"\n"),
            "data/My file.csv: field in row 1 is longer than 32767 bytes");
}

TEST(Xls, LibreOfficeFixtureReadsValuesAndFormats) {
  auto book = ReadWorkbook(std::string(QS_SHEETS_DATA) + "/libreoffice-features.xls");
  EXPECT_EQ(book->format(), FileFormat::Xls);
  EXPECT_EQ(book->limits(), SheetLimits::Classic());
  const Sheet& s = book->sheet(0);
  EXPECT_EQ(s.name(), "Data");
  EXPECT_EQ(s.GetValue(0, 0), Value::Text("Dose"));
  EXPECT_EQ(s.GetValue(1, 1), Value::Number(2.1));
  EXPECT_EQ(s.GetValue(5, 2), Value::Text("Glucose µmol/L"));
  EXPECT_EQ(s.GetValue(1, 3), Value::Boolean(true));
  EXPECT_EQ(s.GetValue(1, 4), Value::Number(42.4));  // cached formula result
  EXPECT_EQ(s.GetValue(2, 4), Value::Error(ErrorCode::NA));
  EXPECT_EQ(book->formats().Get(s.Get(3, 4).format).number_format, "0.0%");
  const CellFormat& a1 = book->formats().Get(s.Get(0, 0).format);
  EXPECT_TRUE(a1.font.bold);
  EXPECT_TRUE(a1.font.italic);
  EXPECT_EQ(book->formats().Get(s.Get(0, 1).format).horizontal,
            HorizontalAlignment::Center);  // as LibreOffice wrote it
  EXPECT_EQ(book->formats().Get(s.Get(1, 1).format).borders.bottom.style, BorderStyle::Double);
  EXPECT_EQ(book->formats().Get(s.Get(2, 1).format).fill.pattern, FillPattern::Solid);
  EXPECT_EQ(s.merged().size(), 1u);
  EXPECT_EQ(s.GetRow(3).outline_level, 1);
  EXPECT_EQ(s.GetColumn(2).outline_level, 2);
  EXPECT_FALSE(s.view().headings);
  EXPECT_FALSE(s.view().zero_values);
  EXPECT_EQ(s.page_setup().paper_size, 9u);
  EXPECT_EQ(s.page_setup().orientation, Orientation::Landscape);
  // Saved as xlsx, it reads back with the same values.
  std::string bytes = WriteXlsxBytes(*book);
  auto back = ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, "x.xlsx");
  s.ForEachCell(
      [&](uint32_t r, uint32_t c, const CellView& v) { EXPECT_EQ(back->sheet(0).GetValue(r, c), v.ToValue()); });
}

TEST(Show, DatesOfThe1904SystemShowTheirOwnDay) {
  Workbook book;
  Sheet& s = book.AddSheet("S");
  CellFormat f;
  f.number_format = "yyyy-mm-dd";
  s.SetNumber(0, 0, 0);
  s.SetFormat(0, 0, book.formats().Intern(f));
  EXPECT_EQ(CellDisplayText(s.Get(0, 0), book.formats(), true), "1904-01-01");
  EXPECT_EQ(CellDisplayText(s.Get(0, 0), book.formats(), false), "1900-01-00");
}

TEST(Zip, WriterAndReaderAgreeAndEntriesAreFoundWithoutCase) {
  MemorySink sink;
  ZipWriter w(sink);
  std::string big(3 << 20, 'q');
  for (size_t i = 0; i < big.size(); i += 977) big[i] = char('a' + i % 26);
  w.Add("xl/Big.xml", big);
  w.AddStored("media/raw.bin", std::string("\0\1\2", 3));
  w.Add("empty.xml", "");
  w.Finish();
  const std::string& bytes = sink.bytes();
  ZipReader r({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  ASSERT_EQ(r.entries().size(), 3u);
  int big_index = r.Find("/XL/big.xml");
  ASSERT_GE(big_index, 0);
  EXPECT_EQ(r.ReadAll(size_t(big_index), 1 << 30), big);
  EXPECT_EQ(r.ReadAll(size_t(r.Find("media/raw.bin")), 10), std::string("\0\1\2", 3));
  EXPECT_EQ(r.ReadAll(size_t(r.Find("empty.xml")), 10), "");
  EXPECT_THROW(r.ReadAll(size_t(big_index), 1000), FormatError);
  EXPECT_EQ(r.Find("missing"), -1);
}

TEST(Xml, RefusesDoctypeAndEntitiesAndKeepsTextExact) {
  EXPECT_THROW(ParseXmlTree("<!DOCTYPE a [<!ENTITY x \"y\">]><a>&x;</a>"), FormatError);
  EXPECT_THROW(ParseXmlTree("<!DOCTYPE a SYSTEM \"file:///etc/passwd\"><a/>"), FormatError);
  EXPECT_THROW(ParseXmlTree("<a><b></a>"), FormatError);
  XmlNode n = ParseXmlTree("<x:a xmlns:x=\"u\" r:id=\"7\"><x:b>t&amp;&lt;</x:b><c/></x:a>");
  EXPECT_EQ(n.local(), "a");
  EXPECT_EQ(*n.Attr("id"), "7");
  EXPECT_EQ(n.Child("b")->text, "t&<");
  std::string out;
  n.Serialize(out);
  EXPECT_EQ(out, "<x:a xmlns:x=\"u\" r:id=\"7\"><x:b>t&amp;&lt;</x:b><c/></x:a>");

  for (std::string_view s : {"plain", "_x0041_ literal", "ctrl\x01\x1F end", "_x005F_x0041_", "_x12"}) {
    EXPECT_EQ(DecodeOoxmlText(EncodeOoxmlText(s)), s) << s;
  }
  EXPECT_EQ(EncodeOoxmlText("a\x01"), "a_x0001_");
  EXPECT_EQ(DecodeOoxmlText("_x000D_"), "\r");
}

TEST(Show, PrintsTheSheetNamesAndChartsOfAFile) {
  std::ostringstream out, err;
  int rc = RunShowCommand({std::string(QS_SHEETS_DATA) + "/openpyxl-features.xlsx", "--names", "--charts"}, out, err);
  EXPECT_EQ(rc, 0) << err.str();
  std::string text = out.str();
  EXPECT_NE(text.find("Sheet \"Data\""), std::string::npos);
  EXPECT_NE(text.find("1,234,567.89"), std::string::npos);
  EXPECT_NE(text.find("25.0%"), std::string::npos);
  EXPECT_NE(text.find("1-Jan-20"), std::string::npos);
  EXPECT_NE(text.find("  Ids = {1;1026;\"text\"}"), std::string::npos);
  EXPECT_NE(text.find("  __sm_TV_0 [Data] (hidden) = 1"), std::string::npos);
  EXPECT_NE(text.find("x ='Data'!$A$2:$A$7, y ='Data'!$B$2:$B$7"), std::string::npos);
  EXPECT_NE(text.find("trendline: linear, equation shown, R-squared shown"), std::string::npos);
  // Rows are aligned: every line of the table is as wide as its widest cells allow.
  std::istringstream lines(text);
  std::string header, row;
  std::getline(lines, header);
  std::getline(lines, header);
  std::getline(lines, row);
  EXPECT_EQ(header.find(" B ") + 1, row.find("Response"));

  std::ostringstream o2, e2;
  EXPECT_EQ(RunShowCommand({std::string(QS_SHEETS_DATA) + "/openpyxl-features.xlsx", "--sheet", "Second"}, o2, e2), 0);
  EXPECT_NE(o2.str().find("second sheet"), std::string::npos);
  std::ostringstream o3, e3;
  EXPECT_EQ(RunShowCommand({"/no/such/file.xlsx"}, o3, e3), 1);
  EXPECT_NE(e3.str().find("/no/such/file.xlsx: cannot open"), std::string::npos);
  std::ostringstream o4, e4;
  EXPECT_EQ(RunShowCommand({"--bogus"}, o4, e4), 2);
  EXPECT_EQ(RunShowCommand({}, o4, e4), 2);
  std::ostringstream o5, e5;
  EXPECT_EQ(RunShowCommand({std::string(QS_SHEETS_DATA) + "/openpyxl-features.xlsx", "--sheet", "Nope"}, o5, e5), 1);
}
