// The streaming parser of sheets and shared strings against the general (expat) parser: the same
// trees from the same documents however they are cut into chunks, the same refusals; and sheets
// written the ways other producers write them read to the same cells.
#include <gtest/gtest.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "sheets/io/file_error.h"
#include "sheets/io/limits.h"
#include "sheets/io/workbook_io.h"
#include "sheets/io/xml.h"
#include "sheets/io/xml_scan.h"
#include "sheets/io/zip.h"

using namespace sheets;

namespace {

class TreeEvents : public XmlEvents {
 public:
  void StartElement(std::string_view name, std::span<const XmlAttr> attrs) override { tree.StartElement(name, attrs); }
  void EndElement(std::string_view name) override { tree.EndElement(name); }
  void Text(std::string_view text) override { tree.Text(text); }
  XmlTreeBuilder tree;
};

// The tree as text ("!" and the message when refused), fed in pieces of at most `piece` bytes.
std::string Scanned(std::string_view xml, size_t piece) {
  TreeEvents events;
  XmlScanner scanner(events);
  try {
    for (size_t i = 0; i < xml.size(); i += piece) scanner.Feed(xml.substr(i, piece));
    scanner.Finish();
  } catch (const FormatError& e) {
    return std::string("!") + e.what();
  }
  std::string out;
  events.tree.Take().Serialize(out);
  return out;
}

std::string Expat(std::string_view xml) {
  try {
    std::string out;
    ParseXmlTree(xml).Serialize(out);
    return out;
  } catch (const FormatError& e) {
    return std::string("!") + e.what();
  }
}

}  // namespace

TEST(XmlScanner, BuildsTheTreesExpatBuildsInAnyChunking) {
  const std::vector<std::string> docs = {
      "<a x=\"1\" y='2'>t&amp;&lt;&gt;&quot;&apos;&#x41;&#66;&#x1F600;</a>",
      "<a><![CDATA[<b>&amp; ]] ]>]]>after</a>",
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<!-- c --><a><?pi data?><!-- x --> y </a><!-- z "
      "-->\n",
      "<a b=\"x\r\ny\tz\nw\">l1\r\nl2\rl3\n</a>",
      "<a b=\"1&#10;2&#9;3&#13;\" c='&quot;&apos;'/>",
      "<x:worksheet xmlns:x=\"urn:u\" xmlns:r=\"urn:r\"><x:sheetData r:id=\"a\"/></x:worksheet>",
      "<a b=\"\xC3\xA9\">\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80 \xEF\xBF\xBD</a>",
      "\xEF\xBB\xBF<a/>",
      "<a  b = \"1\"\n c\t=\t'2' ></a >",
      "<a><b><c/></b><b>x<c>y</c>z</b></a>",
      "<a>]]</a>",
      "<a b=\"&#x000000000041;\">&#0000000000066;</a>",
      "<_a.b-c d-e.f_=\"\"/>",
  };
  for (const auto& doc : docs) {
    std::string want = Expat(doc);
    ASSERT_NE(want[0], '!') << doc;
    for (size_t piece : {doc.size(), size_t(1), size_t(2), size_t(3), size_t(7)})
      EXPECT_EQ(Scanned(doc, piece), want) << doc << " in pieces of " << piece;
  }
}

TEST(XmlScanner, RefusesWhatExpatRefuses) {
  const std::vector<std::string> docs = {
      "<a></b>",
      "<a>",
      "<a b=\"1\" b=\"2\"/>",
      "<a>&foo;</a>",
      "<a>&#0;</a>",
      "<a>&#xD800;</a>",
      "<a>&#1;</a>",
      "<a>&#x110000;</a>",
      "<a>]]></a>",
      std::string("<a>\x01</a>"),
      "<a>\xC3</a>",
      "<a>\xED\xA0\x80</a>",
      "<a>\xC0\xAF</a>",
      "<a>\xEF\xBF\xBE</a>",
      "<a b=1/>",
      "<a b=\"<\"/>",
      "<a/><b/>",
      "text<a/>",
      "<a/>text",
      "<!DOCTYPE a><a/>",
      "<a><!-- -- --></a>",
      "<?xml version=\"1.0\"?><a><?xml x?></a>",
      "<a",
      "",
      "<a><![CDATA[x</a>",
      "<1a/>",
      "<a>&amp</a>",
      "<a b=\"&\"/>",
      "<a b=\"1\"c=\"2\"/>",
      "<a/ >",
      "</a>",
      "<a><b></a></b>",
      "<a>&#xG;</a>",
      "<a>&#;</a>",
      " <?xml version=\"1.0\"?><a/>",
      "<![CDATA[x]]><a/>",
      "<a><!x></a>",
      "\xEF\xBB\xBF\xEF\xBB\xBF<a/>",  // one byte order mark only, however the bytes come
  };
  for (const auto& doc : docs) {
    ASSERT_EQ(Expat(doc)[0], '!') << "expat reads " << doc;
    for (size_t piece : {std::max<size_t>(doc.size(), 1), size_t(1), size_t(4)})
      EXPECT_EQ(Scanned(doc, piece)[0], '!') << doc << " in pieces of " << piece;
  }
  // Messages say what and where, as the general parser's do.
  EXPECT_EQ(Scanned("<a>\n<b>\n</a>", 100), "!malformed XML (mismatched tag at line 3)");
  EXPECT_EQ(Scanned("<!DOCTYPE a [<!ENTITY x \"y\">]><a>&x;</a>", 5), "!XML with a DOCTYPE declaration is refused");
}

TEST(XmlScanner, KeepsItsBounds) {
  std::string deep;
  for (uint32_t i = 0; i <= limits::kMaxXmlDepth; ++i) deep += "<a>";
  EXPECT_EQ(Scanned(deep, 1000), "!XML nested too deeply");
  std::string wide = "<a";
  for (uint32_t i = 0; i <= limits::kMaxXmlAttributes; ++i) wide += " a" + std::to_string(i) + "=\"\"";
  wide += "/>";
  EXPECT_EQ(Scanned(wide, 1 << 20), "!too many XML attributes on one element");
  // Many attributes, all distinct but for the last: the duplicate is found (by sorting, not pairs).
  std::string dup = "<a";
  for (uint32_t i = 0; i < 100; ++i) dup += " a" + std::to_string(i) + "=\"\"";
  dup += " a7=\"\"/>";
  EXPECT_EQ(Scanned(dup, 1 << 20).substr(0, 36), "!malformed XML (duplicate attribute ");
  // Long tokens within the bound are read, in small chunks, in time linear in their length.
  std::string long_text = "<a><b x=\"" + std::string(3 << 20, 'v') + "\"/>" + std::string(512 << 10, 't') + "<!--" +
                          std::string(3 << 20, 'c') + "--></a>";
  auto start = std::chrono::steady_clock::now();
  std::string tree = Scanned(long_text, 4096);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2.0);
  EXPECT_EQ(tree.size(), (3u << 20) + (512u << 10) + 16) << tree.substr(0, 80);
  // A token that never ends is not held without bound.
  std::string endless = "<a><!--" + std::string(limits::kMaxXmlTokenBytes + (1 << 16), 'x');
  EXPECT_EQ(Scanned(endless, 1 << 18).substr(0, 60), "!malformed XML (a tag, comment or run of text longer than 16");
}

TEST(XmlNumbers, ReadToTheDoubleFromCharsGives) {
  std::vector<std::string> texts = {"0",
                                    "-0",
                                    "1",
                                    "0.5",
                                    "-12.25",
                                    "1.",
                                    ".5",
                                    "-.5",
                                    "007",
                                    "0.1",
                                    "0.3",
                                    "123456789012345",
                                    "1234567890123456",
                                    "12345678901234567890",
                                    "0.0000000000000000000001",
                                    "0.00000000000000000000001",
                                    "3.141592653589793",
                                    "9007199254740993",
                                    "1e5",
                                    "1.5E-7",
                                    "-2.5e+300",
                                    "1e400",
                                    "inf",
                                    "nan",
                                    "",
                                    "-",
                                    ".",
                                    "1.2.3",
                                    "+1",
                                    "1a",
                                    " 1",
                                    "0x10",
                                    "99999.999999999"};
  // And a spread of decimals of every length around the fast path's edge.
  uint64_t x = 88172645463325252ull;
  for (int i = 0; i < 20000; ++i) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    std::string digits = std::to_string(x % 10000000000000000ull);
    size_t point = size_t(x >> 58) % (digits.size() + 1);
    texts.push_back((i % 3 ? "" : "-") + digits.substr(0, point) + "." + digits.substr(point));
  }
  for (const auto& t : texts) {
    double want = 0, got = 0;
    auto r = std::from_chars(t.data(), t.data() + t.size(), want);
    bool ok = r.ec == std::errc() && r.ptr == t.data() + t.size();
    ASSERT_EQ(ParseXmlNumber(t, got), ok) << t;
    if (!ok) continue;
    if (std::isnan(want)) {
      EXPECT_TRUE(std::isnan(got)) << t;
    } else {
      EXPECT_EQ(got, want) << t;
      EXPECT_EQ(std::signbit(got), std::signbit(want)) << t;
    }
  }
}

// ---- sheets written as other producers write them ---------------------------------------------------

namespace {

// A workbook of our own whose first sheet part is replaced by `sheet` (a whole worksheet document).
std::string WithSheet(const std::string& sheet, const std::string& shared = "") {
  Workbook book("T");
  book.AddSheet("Data").SetText(0, 0, "x");
  std::string bytes = WriteXlsxBytes(book);
  ZipReader zip({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  MemorySink sink;
  ZipWriter w(sink);
  for (size_t i = 0; i < zip.entries().size(); ++i) {
    std::string name = zip.entries()[i].name;
    std::string data = zip.ReadAll(i, 1 << 24);
    if (name == "xl/worksheets/sheet1.xml") data = sheet;
    if (name == "xl/sharedStrings.xml" && !shared.empty()) data = shared;
    w.Add(name, data);
  }
  w.Finish();
  return sink.bytes();
}

std::unique_ptr<Workbook> Read(const std::string& bytes) {
  return ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, "t.xlsx");
}

const char* kHead = "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";

}  // namespace

TEST(XlsxSheetData, CellsInEveryFormProducersWrite) {
  std::string sheet =
      std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n") + kHead +
      "<sheetData>\r\n"
      // attributes in any order and quoting, white space inside tags, self-closing cells
      "<row spans=\"1:4\" r=\"1\" ><c t='n' r='A1'  ><v>1.5</v></c><c r=\"B1\"/><c\n "
      "r=\"C1\"\tt=\"b\"><v>1</v></c></row>"
      // missing r attributes: the next row and the next column
      "<row><c><v>2</v></c><c t=\"inlineStr\"><is><t>a&amp;b&#x41;</t></is></c></row>"
      // inline rich text runs, with phonetic text left out, and CDATA
      "<row r=\"5\"><c r=\"A5\" t=\"inlineStr\"><is><r><t>x</t></r><r><rPr><b/></rPr><t xml:space=\"preserve\"> "
      "y</t></r>"
      "<rPh sb=\"0\" eb=\"1\"><t>ignored</t></rPh></is></c>"
      "<c r=\"B5\"><v><![CDATA[3.25]]></v></c><c r=\"C5\" t=\"s\"><v>1</v></c>"
      "<c r=\"D5\" t=\"str\"><f>\"p\"&amp;\"q\"</f><v>pq</v></c><c r=\"E5\" t=\"e\"><v>#N/A</v></c></row>"
      "<!-- a comment --><?pi x?>"
      "</sheetData></worksheet>";
  std::string sst =
      "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><si><t>zero</t></si>"
      "<si><r><t>o</t></r><r><t>ne&lt;</t></r><rPh><t>no</t></rPh></si></sst>";
  auto book = Read(WithSheet(sheet, sst));
  const Sheet& s = book->sheet(0);
  EXPECT_EQ(s.GetValue(0, 0), Value::Number(1.5));
  EXPECT_EQ(s.GetValue(0, 1), Value());
  EXPECT_EQ(s.GetValue(0, 2), Value::Boolean(true));
  EXPECT_EQ(s.GetValue(1, 0), Value::Number(2));
  EXPECT_EQ(s.GetValue(1, 1), Value::Text("a&bA"));
  EXPECT_EQ(s.GetValue(4, 0), Value::Text("x y"));
  EXPECT_EQ(s.GetValue(4, 1), Value::Number(3.25));
  EXPECT_EQ(s.GetValue(4, 2), Value::Text("one<"));
  EXPECT_EQ(s.Get(4, 3).formula, "\"p\"&\"q\"");
  EXPECT_EQ(s.GetValue(4, 3), Value::Text("pq"));
  EXPECT_EQ(s.GetValue(4, 4), Value::Error(ErrorCode::NA));
  EXPECT_EQ(s.CellCount(), 9u);  // B1 is empty and unformatted: not stored
}

TEST(XlsxSheetData, PrefixedNamesReadAsUnprefixed) {
  std::string sheet =
      "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><x:sheetData>"
      "<x:row r=\"2\"><x:c r=\"B2\" x:t=\"inlineStr\"><x:is><x:t>p</x:t></x:is></x:c><x:c "
      "r=\"C2\"><x:v>7</x:v></x:c></x:row>"
      "</x:sheetData></x:worksheet>";
  auto book = Read(WithSheet(sheet));
  EXPECT_EQ(book->sheet(0).GetValue(1, 1), Value::Text("p"));
  EXPECT_EQ(book->sheet(0).GetValue(1, 2), Value::Number(7));
}

TEST(XlsxSheetData, BrokenSheetsAreRefusedWithTheirPlace) {
  auto message = [](const std::string& data) {
    try {
      Read(WithSheet(std::string(kHead) + "<sheetData>" + data + "</sheetData></worksheet>"));
    } catch (const FileError& e) {
      return e.problem();
    }
    return std::string("read");
  };
  EXPECT_EQ(message("<row r=\"1\"><c r=\"A1\"><v>1</v></c>\n</row>\n<row r=\"2\"><c r=\"A2\"><v>1</c></row>"),
            "malformed XML (mismatched tag at line 3) in xl/worksheets/sheet1.xml");
  EXPECT_EQ(message("<row r=\"1\"><c r=\"A1\" r=\"B1\"><v>1</v></c></row>"),
            "malformed XML (duplicate attribute at line 1) in xl/worksheets/sheet1.xml");
  EXPECT_EQ(message("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>&nbsp;</t></is></c></row>"),
            "malformed XML (undefined entity at line 1) in xl/worksheets/sheet1.xml");
  EXPECT_EQ(message("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"1048577\"/>"),
            "row 1048577 is beyond the sheet limits of 1048576 rows in xl/worksheets/sheet1.xml");
  // A row of more cells than the sheet has columns.
  std::string wide = "<row r=\"1\">";
  for (int i = 0; i <= 16384; ++i) wide += "<c><v>1</v></c>";
  EXPECT_EQ(message(wide + "</row>"), "too many cells in row 1 in xl/worksheets/sheet1.xml");
}
