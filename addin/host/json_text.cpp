#include "addin/host/json_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace qs {

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
}

void AppendJsonNumber(std::string& out, double v, bool whole) {
    if (std::isnan(v)) {
        out += "null";
    } else if (std::isinf(v)) {
        out += v > 0 ? "\"inf\"" : "\"-inf\"";
    } else {
        char buf[40];
        if (whole && std::fabs(v) < 9e15 && v == std::floor(v)) {
            std::snprintf(buf, sizeof buf, "%.0f", v);
        } else {
            for (int digits = 15; digits <= 17; ++digits) {
                std::snprintf(buf, sizeof buf, "%.*g", digits, v);
                if (std::strtod(buf, nullptr) == v) break;
            }
        }
        out += buf;
    }
}

}  // namespace qs
