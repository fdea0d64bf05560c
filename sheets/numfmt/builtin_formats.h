// The built-in number formats that workbook files refer to by id instead of writing their code.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace sheets {

// Code of built-in format id (0..49) as an English-locale spreadsheet shows it; nullopt for ids
// without a built-in code.
std::optional<std::string_view> BuiltinNumberFormat(uint32_t id);
// The id of a built-in format code, if the code is one.
std::optional<uint32_t> BuiltinNumberFormatId(std::string_view code);

// First id a file may use for its own format codes.
inline constexpr uint32_t kFirstCustomNumberFormatId = 164;

}  // namespace sheets
