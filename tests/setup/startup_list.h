// The installer tests' reading of Excel's start-up list as the installer writes it.
#pragma once

#include <string>
#include <vector>

#include "setup/engine/registry.h"

namespace quelstat::testing {

// Excel 2000's options key, where its start-up list lives.
inline const char* const kOptions9 = "SOFTWARE\\Microsoft\\Office\\9.0\\Excel\\Options";

// The values "OPEN", "OPEN1", "OPEN2" ... of `key` in the current user's hive, in order.
inline std::vector<std::string> startupList(const setup::RegistryStore& reg, const std::string& key) {
    std::vector<std::string> out;
    for (int i = 0;; ++i) {
        auto v = reg.getString(setup::Hive::CurrentUser, key, i == 0 ? "OPEN" : "OPEN" + std::to_string(i));
        if (!v) break;
        out.push_back(*v);
    }
    return out;
}

}  // namespace quelstat::testing
