#include "sheets/model/constant.h"

#include <charconv>
#include <cmath>

namespace sheets {

namespace {
std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool EqualsUpper(std::string_view s, std::string_view upper) {
  if (s.size() != upper.size()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c >= 'a' && c <= 'z') c = char(c - 32);
    if (c != upper[i]) return false;
  }
  return true;
}

// Reads one element starting at pos; stops before ',', ';' or '}' outside quotes.
std::optional<Value> ReadElement(std::string_view s, size_t& pos) {
  while (pos < s.size() && s[pos] == ' ') ++pos;
  size_t start = pos;
  if (pos < s.size() && s[pos] == '"') {
    ++pos;
    for (;;) {
      if (pos >= s.size()) return std::nullopt;
      if (s[pos] == '"') {
        if (pos + 1 < s.size() && s[pos + 1] == '"') {
          pos += 2;
          continue;
        }
        ++pos;
        break;
      }
      ++pos;
    }
  } else {
    while (pos < s.size() && s[pos] != ',' && s[pos] != ';' && s[pos] != '}') ++pos;
  }
  auto v = ParseConstant(s.substr(start, pos - start));
  while (pos < s.size() && s[pos] == ' ') ++pos;
  return v;
}
}  // namespace

std::optional<double> ParseNumberText(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (*first == '+') ++first;
  if (first == last) return std::nullopt;
  double v = 0;
  auto res = std::from_chars(first, last, v, std::chars_format::general);
  if (res.ec != std::errc() || res.ptr != last) return std::nullopt;
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<Value> ParseConstant(std::string_view text) {
  text = Trim(text);
  if (text.empty()) return std::nullopt;
  if (text.front() == '"') {
    if (text.size() < 2 || text.back() != '"') return std::nullopt;
    std::string out;
    std::string_view body = text.substr(1, text.size() - 2);
    for (size_t i = 0; i < body.size(); ++i) {
      if (body[i] == '"') {
        if (i + 1 >= body.size() || body[i + 1] != '"') return std::nullopt;
        ++i;
      }
      out += body[i];
    }
    if (out.size() > kMaxCellTextBytes) return std::nullopt;
    return Value::Text(out);
  }
  if (EqualsUpper(text, "TRUE")) return Value::Boolean(true);
  if (EqualsUpper(text, "FALSE")) return Value::Boolean(false);
  if (text.front() == '#') {
    auto e = ParseErrorText(text);
    if (!e) return std::nullopt;
    return Value::Error(*e);
  }
  auto n = ParseNumberText(text);
  if (!n) return std::nullopt;
  return Value::Number(*n);
}

std::optional<ArrayConstant> ParseArrayConstant(std::string_view text) {
  text = Trim(text);
  if (text.size() < 3 || text.front() != '{' || text.back() != '}') return std::nullopt;
  ArrayConstant array;
  size_t pos = 1;
  uint32_t col = 0;
  for (;;) {
    auto v = ReadElement(text, pos);
    if (!v || pos >= text.size()) return std::nullopt;
    if (array.values.size() >= kMaxArrayConstantElements) return std::nullopt;
    array.values.push_back(std::move(*v));
    ++col;
    char sep = text[pos++];
    if (sep == ',') continue;
    // End of a row: all rows as wide as the first.
    if (array.rows == 0)
      array.cols = col;
    else if (col != array.cols)
      return std::nullopt;
    ++array.rows;
    col = 0;
    if (sep == '}') break;
    if (sep != ';') return std::nullopt;
  }
  if (pos != text.size()) return std::nullopt;
  return array;
}

std::string FormatArrayConstant(const ArrayConstant& array) {
  std::string out = "{";
  for (uint32_t r = 0; r < array.rows; ++r) {
    if (r) out += ';';
    for (uint32_t c = 0; c < array.cols; ++c) {
      if (c) out += ',';
      out += FormatConstant(array.At(r, c));
    }
  }
  return out + "}";
}

}  // namespace sheets
