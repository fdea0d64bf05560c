#include "sheets/numfmt/builtin_formats.h"

namespace sheets {

namespace {
struct Builtin {
  uint32_t id;
  std::string_view code;
};
// Ids 5-8 and 41-44 are currency formats whose codes depend on the locale; these are the en-US ones.
constexpr Builtin kBuiltins[] = {
    {0, "General"},
    {1, "0"},
    {2, "0.00"},
    {3, "#,##0"},
    {4, "#,##0.00"},
    {5, "\"$\"#,##0_);\\(\"$\"#,##0\\)"},
    {6, "\"$\"#,##0_);[Red]\\(\"$\"#,##0\\)"},
    {7, "\"$\"#,##0.00_);\\(\"$\"#,##0.00\\)"},
    {8, "\"$\"#,##0.00_);[Red]\\(\"$\"#,##0.00\\)"},
    {9, "0%"},
    {10, "0.00%"},
    {11, "0.00E+00"},
    {12, "# ?/?"},
    {13, "# ?\?/?\?"},
    {14, "m/d/yyyy"},
    {15, "d-mmm-yy"},
    {16, "d-mmm"},
    {17, "mmm-yy"},
    {18, "h:mm AM/PM"},
    {19, "h:mm:ss AM/PM"},
    {20, "h:mm"},
    {21, "h:mm:ss"},
    {22, "m/d/yyyy h:mm"},
    {37, "#,##0_);\\(#,##0\\)"},
    {38, "#,##0_);[Red]\\(#,##0\\)"},
    {39, "#,##0.00_);\\(#,##0.00\\)"},
    {40, "#,##0.00_);[Red]\\(#,##0.00\\)"},
    {41, "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)"},
    {42, "_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)"},
    {43, "_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"??_);_(@_)"},
    {44, "_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"??_);_(@_)"},
    {45, "mm:ss"},
    {46, "[h]:mm:ss"},
    {47, "mm:ss.0"},
    {48, "##0.0E+0"},
    {49, "@"},
};
}  // namespace

std::optional<std::string_view> BuiltinNumberFormat(uint32_t id) {
  for (const auto& b : kBuiltins)
    if (b.id == id) return b.code;
  return std::nullopt;
}

std::optional<uint32_t> BuiltinNumberFormatId(std::string_view code) {
  for (const auto& b : kBuiltins)
    if (b.code == code) return b.id;
  // Codes other producers write for the same built-ins.
  if (code == "mm-dd-yy") return 14;
  return std::nullopt;
}

}  // namespace sheets
