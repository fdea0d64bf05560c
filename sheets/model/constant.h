// Constants as formulas write them: numbers, "texts", TRUE/FALSE, error values, and array constants
// such as {1;1026;"text"} (';' separates rows, ',' separates columns).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sheets/model/value.h"

namespace sheets {

struct ArrayConstant {
  uint32_t rows = 0;
  uint32_t cols = 0;
  std::vector<Value> values;  // row by row, rows * cols entries

  const Value& At(uint32_t row, uint32_t col) const { return values[size_t(row) * cols + col]; }
  friend bool operator==(const ArrayConstant&, const ArrayConstant&) = default;
};

// Largest array constant accepted from text (elements), so hostile text cannot ask for unbounded memory.
inline constexpr size_t kMaxArrayConstantElements = 1u << 20;

// Parses a single constant: 12, -1.5E+3, "a ""b""", TRUE, #N/A. Surrounding spaces are allowed.
// nullopt when the text is anything else.
std::optional<Value> ParseConstant(std::string_view text);

// Parses {..}: every row must have the same number of elements; elements are constants (an empty
// element is not allowed). nullopt on any error.
std::optional<ArrayConstant> ParseArrayConstant(std::string_view text);

// Writes {1,2;3,4}.
std::string FormatArrayConstant(const ArrayConstant& array);

// Parses a number the way the C locale writes it ("1.5", "-2E-3", ".5"); the whole text must be used.
std::optional<double> ParseNumberText(std::string_view text);

}  // namespace sheets
