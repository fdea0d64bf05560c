#include "sheets/model/formula_text.h"

namespace sheets {

namespace {
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameChar(char c) {
  return IsLetter(c) || IsDigit(c) || c == '_' || c == '.' || c == '\\' || (unsigned char)c >= 0x80;
}
}  // namespace

std::string ShiftFormulaReferences(std::string_view f, int64_t rows, int64_t cols, const SheetLimits& limits) {
  std::string out;
  out.reserve(f.size() + 8);
  size_t i = 0;
  while (i < f.size()) {
    char c = f[i];
    if (c == '"') {  // string literal, "" inside
      size_t j = i + 1;
      while (j < f.size()) {
        if (f[j] == '"') {
          if (j + 1 < f.size() && f[j + 1] == '"') {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      out.append(f.substr(i, j + 1 - i));
      i = j + 1;
      continue;
    }
    if (c == '\'') {  // quoted sheet name
      size_t j = i + 1;
      while (j < f.size()) {
        if (f[j] == '\'') {
          if (j + 1 < f.size() && f[j + 1] == '\'') {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      out.append(f.substr(i, j + 1 - i));
      i = j + 1;
      continue;
    }
    bool boundary = i == 0 || !(IsNameChar(f[i - 1]) || f[i - 1] == '$' || f[i - 1] == ']');
    if (boundary && (c == '$' || IsLetter(c))) {
      // Try [$]letters[$]digits not followed by a name character or '('.
      size_t j = i;
      bool col_abs = false, row_abs = false;
      if (f[j] == '$') {
        col_abs = true;
        ++j;
      }
      size_t ls = j;
      while (j < f.size() && IsLetter(f[j])) ++j;
      size_t le = j;
      if (j < f.size() && f[j] == '$') {
        row_abs = true;
        ++j;
      }
      size_t ds = j;
      while (j < f.size() && IsDigit(f[j])) ++j;
      size_t de = j;
      bool followed = j < f.size() && (IsNameChar(f[j]) || f[j] == '(' || f[j] == '!');
      if (le > ls && le - ls <= 3 && de > ds && de - ds <= 7 && !followed) {
        auto col = ParseColumnLetters(f.substr(ls, le - ls), limits.cols);
        uint64_t row = 0;
        for (size_t k = ds; k < de; ++k) row = row * 10 + uint64_t(f[k] - '0');
        if (col && row >= 1 && row <= limits.rows) {
          int64_t nc = int64_t(*col) + (col_abs ? 0 : cols);
          int64_t nr = int64_t(row) - 1 + (row_abs ? 0 : rows);
          if (nc < 0 || nr < 0 || nc >= int64_t(limits.cols) || nr >= int64_t(limits.rows)) {
            out += "#REF!";
          } else {
            if (col_abs) out += '$';
            out += ColumnLetters(uint32_t(nc));
            if (row_abs) out += '$';
            out += std::to_string(nr + 1);
          }
          i = j;
          continue;
        }
      }
      // Not a reference: copy the whole name so that its digits are not taken for a row later.
      size_t k = i;
      if (f[k] == '$') ++k;
      while (k < f.size() && (IsNameChar(f[k]))) ++k;
      if (k == i) k = i + 1;
      out.append(f.substr(i, k - i));
      i = k;
      continue;
    }
    if (IsNameChar(c)) {
      size_t k = i;
      while (k < f.size() && IsNameChar(f[k])) ++k;
      out.append(f.substr(i, k - i));
      i = k;
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

namespace {

// A sheet prefix's names ("Data" or "Jan:Mar") renamed; nullopt when neither changes.
std::optional<std::string> RenamedPrefix(std::string_view names, const SheetRenameFn& rename) {
  if (names.empty() || names.front() == '[') return std::nullopt;  // another workbook's sheet
  size_t colon = names.find(':');
  std::string first(names.substr(0, colon));
  std::string last(colon == std::string_view::npos ? std::string_view() : names.substr(colon + 1));
  bool changed = false;
  if (auto n = rename(first)) first = *n, changed = true;
  if (!last.empty())
    if (auto n = rename(last)) last = *n, changed = true;
  if (!changed) return std::nullopt;
  return FormatSheetPrefix({}, first, last);
}

}  // namespace

std::string RenameSheetsInFormula(std::string_view f, const SheetRenameFn& rename) {
  std::string out;
  out.reserve(f.size() + 8);
  size_t i = 0;
  auto closing = [&](size_t start, char quote) {
    size_t j = start + 1;
    while (j < f.size()) {
      if (f[j] == quote) {
        if (j + 1 < f.size() && f[j + 1] == quote) {
          j += 2;
          continue;
        }
        break;
      }
      ++j;
    }
    return j;
  };
  while (i < f.size()) {
    char c = f[i];
    if (c == '"') {
      size_t j = closing(i, '"');
      out.append(f.substr(i, j + 1 - i));
      i = j + 1;
      continue;
    }
    if (c == '\'') {
      size_t j = closing(i, '\'');
      if (j + 1 < f.size() && f[j + 1] == '!') {
        std::string names;
        for (size_t k = i + 1; k < j; ++k) {
          names += f[k];
          if (f[k] == '\'') ++k;  // '' stands for '
        }
        if (auto renamed = RenamedPrefix(names, rename)) {
          out += *renamed;
          i = j + 2;
          continue;
        }
      }
      out.append(f.substr(i, std::min(f.size(), j + 1) - i));
      i = j + 1;
      continue;
    }
    bool boundary = i == 0 || !(IsNameChar(f[i - 1]) || f[i - 1] == '$' || f[i - 1] == ']' || f[i - 1] == '\'');
    if (IsNameChar(c)) {
      size_t k = i;
      while (k < f.size() && (IsNameChar(f[k]) || (f[k] == ':' && k + 1 < f.size() && IsNameChar(f[k + 1])))) ++k;
      if (boundary && k < f.size() && f[k] == '!')
        if (auto renamed = RenamedPrefix(f.substr(i, k - i), rename)) {
          out += *renamed;
          i = k + 1;
          continue;
        }
      out.append(f.substr(i, k - i));
      i = k;
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

}  // namespace sheets
