// Text as a JSON string literal: quotes, backslashes and control characters escaped, other bytes
// (UTF-8 included) as they are.
#pragma once

#include <string>
#include <string_view>

namespace qs {

void AppendJsonString(std::string& out, std::string_view text);
inline std::string JsonString(std::string_view text) {
    std::string out;
    AppendJsonString(out, text);
    return out;
}

}  // namespace qs
