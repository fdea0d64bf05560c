// Reads comma-, semicolon- or tab-separated text into a one-sheet workbook.
//
// The separator is the one of the three that occurs most often (outside quotes) in the first record.
// Fields in double quotes may hold separators, line breaks and doubled quotes, and stay text; other
// fields become numbers when the C locale reads them whole, TRUE/FALSE become booleans, anything else
// text. UTF-8 with or without a byte-order mark; text that is not valid UTF-8 is read as Latin-1.
#include <string>

#include "sheets/io/file_error.h"
#include "sheets/io/limits.h"
#include "sheets/io/workbook_io.h"
#include "sheets/model/constant.h"
#include "sheets/model/model_error.h"

namespace sheets {

namespace {

// Well-formed UTF-8 only: no overlong forms, surrogates or code points beyond U+10FFFF, which would
// reach names and texts that every later reader of a saved workbook refuses.
bool ValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // the range of the second byte
    if (c >= 0xC2 && c <= 0xDF)
      n = 1;
    else if (c >= 0xE0 && c <= 0xEF) {
      n = 2;
      lo = c == 0xE0 ? 0xA0 : 0x80;
      hi = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 3;
      lo = c == 0xF0 ? 0x90 : 0x80;
      hi = c == 0xF4 ? 0x8F : 0xBF;
    } else
      return false;
    if (i + n >= s.size()) return false;
    unsigned char second = static_cast<unsigned char>(s[i + 1]);
    if (second < lo || second > hi) return false;
    for (size_t k = 2; k <= n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n + 1;
  }
  return true;
}

std::string Latin1ToUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size() + s.size() / 8);
  for (unsigned char c : s) {
    if (c < 0x80)
      out += char(c);
    else {
      out += char(0xC0 | c >> 6);
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string SheetNameFor(const std::string& file) {
  size_t slash = file.find_last_of('/');
  std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
  if (!ValidUtf8(base)) base = Latin1ToUtf8(base);  // a file name is bytes; a sheet name is text
  size_t dot = base.rfind('.');
  if (dot != std::string::npos && dot > 0) base.erase(dot);
  for (char& c : base)
    if (c == ':' || c == '\\' || c == '/' || c == '?' || c == '*' || c == '[' || c == ']' || (unsigned char)c < 0x20)
      c = '_';
  while (!base.empty() && base.front() == '\'') base.erase(0, 1);
  while (!base.empty() && base.back() == '\'') base.pop_back();
  // At most 31 characters, cut on a character boundary.
  size_t chars = 0, cut = base.size();
  for (size_t i = 0; i < base.size(); ++i) {
    if ((static_cast<unsigned char>(base[i]) & 0xC0) != 0x80) {
      if (chars == kMaxSheetNameChars) {
        cut = i;
        break;
      }
      ++chars;
    }
  }
  base.erase(cut);
  return base.empty() ? "Sheet1" : base;
}

char DetectSeparator(std::string_view text) {
  size_t counts[3] = {0, 0, 0};
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\n' || c == '\r') break;
    if (c == ',')
      ++counts[0];
    else if (c == ';')
      ++counts[1];
    else if (c == '\t')
      ++counts[2];
  }
  if (counts[2] > counts[0] && counts[2] >= counts[1]) return '\t';
  if (counts[1] > counts[0]) return ';';
  return ',';
}

void Store(Sheet& sheet, uint32_t row, uint32_t col, std::string_view field, bool quoted) {
  if (field.empty() && !quoted) return;
  if (field.size() > limits::kMaxCsvFieldBytes)
    throw FormatError("field in row " + std::to_string(row + 1) + ", column " + std::to_string(col + 1) +
                      " is longer than " + std::to_string(limits::kMaxCsvFieldBytes) + " bytes");
  if (!quoted) {
    std::string_view t = field;
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    if (auto n = ParseNumberText(t)) return sheet.SetNumber(row, col, *n);
    if (t == "TRUE" || t == "true") return sheet.SetBoolean(row, col, true);
    if (t == "FALSE" || t == "false") return sheet.SetBoolean(row, col, false);
  }
  sheet.SetText(row, col, field);
}

}  // namespace

std::unique_ptr<Workbook> ReadCsv(std::span<const uint8_t> bytes, const std::string& name, const SheetLimits& limits) {
  std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (raw.substr(0, 3) == "\xEF\xBB\xBF") raw.remove_prefix(3);
  std::string converted;
  if (!ValidUtf8(raw)) {
    converted = Latin1ToUtf8(raw);
    raw = converted;
  }
  auto book = std::make_unique<Workbook>(name, limits);
  book->set_format(FileFormat::Csv);
  Sheet& sheet = book->AddSheet(SheetNameFor(name));
  const char sep = DetectSeparator(raw);
  uint32_t row = 0, col = 0;
  uint64_t cells = 0;
  std::string field;
  size_t i = 0;
  auto check_cell = [&] {
    if (row >= limits.rows)
      throw FormatError("row " + std::to_string(uint64_t(row) + 1) + " is beyond the sheet limits of " +
                        std::to_string(limits.rows) + " rows");
    if (col >= limits.cols || col >= limits::kMaxCsvFields)
      throw FormatError("row " + std::to_string(uint64_t(row) + 1) + " has more than " +
                        std::to_string(std::min(limits.cols, limits::kMaxCsvFields)) + " fields");
    if (++cells > limits::kMaxCells) throw FormatError("more than " + std::to_string(limits::kMaxCells) + " cells");
  };
  while (i < raw.size()) {
    bool quoted = false;
    field.clear();
    if (raw[i] == '"') {
      quoted = true;
      size_t start_line = row + 1;
      ++i;
      for (;;) {
        if (i >= raw.size())
          throw FormatError("unterminated quoted field starting in row " + std::to_string(start_line));
        if (raw[i] == '"') {
          if (i + 1 < raw.size() && raw[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += raw[i++];
        if (field.size() > limits::kMaxCsvFieldBytes)
          throw FormatError("field in row " + std::to_string(row + 1) + " is longer than " +
                            std::to_string(limits::kMaxCsvFieldBytes) + " bytes");
      }
      // Text after the closing quote belongs to the field, as spreadsheets read it.
      while (i < raw.size() && raw[i] != sep && raw[i] != '\n' && raw[i] != '\r') field += raw[i++];
    } else {
      size_t start = i;
      while (i < raw.size() && raw[i] != sep && raw[i] != '\n' && raw[i] != '\r') ++i;
      field.assign(raw.substr(start, i - start));
    }
    check_cell();
    Store(sheet, row, col, field, quoted);
    if (i >= raw.size()) break;
    if (raw[i] == sep) {
      ++i;
      ++col;
      if (i >= raw.size()) {
        check_cell();
      }  // a trailing separator ends with an empty field
      continue;
    }
    // End of record: \n, \r\n or \r.
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
    ++i;
    ++row;
    col = 0;
  }
  book->set_dirty(false);
  return book;
}

}  // namespace sheets
