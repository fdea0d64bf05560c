#include "sheets/model/value.h"

#include <charconv>
#include <cmath>
#include <ostream>

namespace sheets {

namespace {
struct ErrorName {
  ErrorCode code;
  std::string_view text;
};
constexpr ErrorName kErrorNames[] = {
    {ErrorCode::Null, "#NULL!"}, {ErrorCode::Div0, "#DIV/0!"}, {ErrorCode::Value, "#VALUE!"}, {ErrorCode::Ref, "#REF!"},
    {ErrorCode::Name, "#NAME?"}, {ErrorCode::Num, "#NUM!"},    {ErrorCode::NA, "#N/A"},
};

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = char(x - 32);
    if (y >= 'a' && y <= 'z') y = char(y - 32);
    if (x != y) return false;
  }
  return true;
}
}  // namespace

std::string_view ErrorText(ErrorCode code) {
  for (const auto& e : kErrorNames)
    if (e.code == code) return e.text;
  return "#N/A";
}

std::optional<ErrorCode> ParseErrorText(std::string_view text) {
  for (const auto& e : kErrorNames)
    if (EqualsIgnoreCase(e.text, text)) return e.code;
  return std::nullopt;
}

bool operator==(const Value& a, const Value& b) {
  if (a.type != b.type) return false;
  switch (a.type) {
    case ValueType::Empty: return true;
    case ValueType::Number: return a.number == b.number || (std::isnan(a.number) && std::isnan(b.number));
    case ValueType::Text: return a.text == b.text;
    case ValueType::Boolean: return a.boolean == b.boolean;
    case ValueType::Error: return a.error == b.error;
  }
  return false;
}

std::string FormatNumberLiteral(double number) {
  if (std::isnan(number)) return "#NUM!";
  if (std::isinf(number)) return "#NUM!";
  if (number == 0) return "0";  // also -0
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, number);
  std::string out(buf, res.ptr);
  for (char& c : out)
    if (c == 'e') c = 'E';
  return out;
}

std::string FormatConstant(const Value& value) {
  switch (value.type) {
    case ValueType::Empty: return {};
    case ValueType::Number: return FormatNumberLiteral(value.number);
    case ValueType::Boolean: return value.boolean ? "TRUE" : "FALSE";
    case ValueType::Error: return std::string(ErrorText(value.error));
    case ValueType::Text: {
      std::string out = "\"";
      for (char c : value.text) {
        if (c == '"') out += '"';
        out += c;
      }
      out += '"';
      return out;
    }
  }
  return {};
}

std::ostream& operator<<(std::ostream& out, const Value& value) {
  if (value.type == ValueType::Empty) return out << "<empty>";
  if (value.type == ValueType::Number) return out << FormatNumberLiteral(value.number);
  return out << FormatConstant(value);
}

std::string_view TruncateUtf8(std::string_view text, size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  size_t cut = max_bytes;
  // Step back over continuation bytes so that the cut lands on the start of a sequence.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut);
}

}  // namespace sheets
