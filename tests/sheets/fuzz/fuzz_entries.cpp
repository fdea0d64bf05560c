#include "tests/sheets/fuzz/fuzz_entries.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

#include "sheets/io/file_error.h"
#include "sheets/io/workbook_io.h"
#include "sheets/io/xml.h"
#include "sheets/io/xml_scan.h"
#include "sheets/model/model_error.h"
#include "sheets/show.h"

namespace sheets::fuzz {

namespace {

// What we wrote must read back, with the same cell count on each sheet; anything else is a bug.
void WriteAndReread(const Workbook& book) {
  std::string bytes;
  try {
    bytes = WriteXlsxBytes(book);
  } catch (const std::runtime_error&) {
    return;  // a workbook without sheets cannot be written: refused cleanly
  }
  auto back = ReadXlsx({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, "again.xlsx", true);
  if (back->sheet_count() != book.sheet_count()) std::abort();
  for (size_t i = 0; i < book.sheet_count(); ++i)
    if (back->sheet(i).CellCount() != book.sheet(i).CellCount()) std::abort();
}

template <typename Read>
bool Try(Read read) {
  try {
    auto book = read();
    // Show every sheet: number formats and anchors come from the file too.
    for (size_t i = 0; i < book->sheet_count(); ++i) {
      std::string sink;
      struct Null : std::streambuf {
        int overflow(int c) override { return c; }
      } null;
      std::ostream out(&null);
      PrintSheetTable(book->sheet(i), book->formats(), out);
    }
    WriteAndReread(*book);
    return true;
  } catch (const FormatError&) {
  } catch (const ModelError&) {}
  return false;
}

}  // namespace

bool XlsxOne(const uint8_t* data, size_t size) {
  return Try([&] { return ReadXlsx({data, size}, "fuzz.xlsx", true); });
}

bool XlsOne(const uint8_t* data, size_t size) {
  return Try([&] { return ReadXls({data, size}, "fuzz.xls"); });
}

bool CsvOne(const uint8_t* data, size_t size) {
  return Try([&] { return ReadCsv({data, size}, "fuzz.csv", SheetLimits::Classic()); });
}

namespace {
class TreeEvents : public XmlEvents {
 public:
  void StartElement(std::string_view name, std::span<const XmlAttr> attrs) override { tree.StartElement(name, attrs); }
  void EndElement(std::string_view name) override { tree.EndElement(name); }
  void Text(std::string_view text) override { tree.Text(text); }
  XmlTreeBuilder tree;
};

// The serialized tree, or nullopt when refused.
std::optional<std::string> Scan(std::string_view xml, size_t piece) {
  TreeEvents events;
  XmlScanner scanner(events);
  try {
    for (size_t i = 0; i < xml.size(); i += piece) scanner.Feed(xml.substr(i, piece));
    scanner.Finish();
  } catch (const FormatError&) {
    return std::nullopt;
  }
  std::string out;
  events.tree.Take().Serialize(out);
  return out;
}
}  // namespace

bool XmlOne(const uint8_t* data, size_t size) {
  std::string_view xml(reinterpret_cast<const char*>(data), size);
  auto whole = Scan(xml, std::max<size_t>(size, 1));
  auto pieces = Scan(xml, 1 + (size % 13));
  if (whole != pieces) std::abort();
  std::string want;
  try {
    ParseXmlTree(xml).Serialize(want);
  } catch (const FormatError&) {
    return false;
  }
  if (!whole || *whole != want) std::abort();
  return true;
}

}  // namespace sheets::fuzz
