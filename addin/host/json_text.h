// Text as a JSON string literal: quotes, backslashes and control characters escaped, other bytes
// (UTF-8 included) as they are.
#pragma once

#include <string>
#include <string_view>

namespace qs {

void AppendJsonString(std::string& out, std::string_view text);
// A number as JSON: null for NaN, "inf" and "-inf" for infinities; with `whole`, integral values
// without a fraction; otherwise the shortest of 15 to 17 significant digits that reads back as v.
void AppendJsonNumber(std::string& out, double v, bool whole = false);
inline std::string JsonString(std::string_view text) {
    std::string out;
    AppendJsonString(out, text);
    return out;
}

}  // namespace qs
