// Values held by cells, defined-name constants and array constants.
//
// A Value owns its text. Cells do not store Values (see sheet.h for the compact cell store); a Value is
// what the model hands out and takes in.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace sheets {

// Error values, numbered as in the XLL interface (xlerrNull = 0, xlerrDiv0 = 7 ...), so the host can
// pass them through unchanged.
enum class ErrorCode : uint8_t {
  Null = 0,    // #NULL!
  Div0 = 7,    // #DIV/0!
  Value = 15,  // #VALUE!
  Ref = 23,    // #REF!
  Name = 29,   // #NAME?
  Num = 36,    // #NUM!
  NA = 42,     // #N/A
};

// "#DIV/0!" and so on, as a spreadsheet shows them.
std::string_view ErrorText(ErrorCode code);
// Parses the text of an error value ("#N/A", case-insensitive); nullopt when it is not one.
std::optional<ErrorCode> ParseErrorText(std::string_view text);

enum class ValueType : uint8_t { Empty, Number, Text, Boolean, Error };

struct Value {
  ValueType type = ValueType::Empty;
  double number = 0;                // Number
  std::string text;                 // Text (UTF-8)
  bool boolean = false;             // Boolean
  ErrorCode error = ErrorCode::NA;  // Error

  static Value Empty() { return {}; }
  static Value Number(double n) {
    Value v;
    v.type = ValueType::Number;
    v.number = n;
    return v;
  }
  static Value Text(std::string_view s) {
    Value v;
    v.type = ValueType::Text;
    v.text = s;
    return v;
  }
  static Value Boolean(bool b) {
    Value v;
    v.type = ValueType::Boolean;
    v.boolean = b;
    return v;
  }
  static Value Error(ErrorCode e) {
    Value v;
    v.type = ValueType::Error;
    v.error = e;
    return v;
  }

  bool IsEmpty() const { return type == ValueType::Empty; }
  friend bool operator==(const Value& a, const Value& b);
};

// Formats a number as a formula or constant writes it: the shortest text that reads back to the same
// double, C locale ("0.1", "1E+300", "-2.5").
std::string FormatNumberLiteral(double number);

// A constant as written in a formula: 1.5, "a ""quoted"" text", TRUE, #N/A. Empty gives "".
std::string FormatConstant(const Value& value);

// Writes the value as a constant would be written (an empty value as "<empty>"), for messages and tests.
std::ostream& operator<<(std::ostream& out, const Value& value);

// Maximum bytes of UTF-8 text in one cell.
inline constexpr size_t kMaxCellTextBytes = 32767;

// Cuts text to at most max_bytes without splitting a UTF-8 sequence.
std::string_view TruncateUtf8(std::string_view text, size_t max_bytes);

}  // namespace sheets
