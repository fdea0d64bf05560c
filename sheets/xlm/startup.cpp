#include "sheets/xlm/startup.h"

#include <cctype>

#include "platform/settings.h"

namespace xlm {

std::string ApplicationKey(int v) {
  if (v <= 7) return "SOFTWARE\\Microsoft\\Excel\\7.0";
  if (v == 8) return "SOFTWARE\\Microsoft\\Office\\8.0\\Excel";
  return "SOFTWARE\\Microsoft\\Office\\9.0\\Excel";
}

std::string StartupSubkey(int v) { return v >= 9 ? "Options" : "Microsoft Excel"; }

StartupEntry ParseStartupValue(const std::string& value) {
  StartupEntry e;
  e.value = value;
  std::size_t i = 0;
  auto skip = [&] {
    while (i < value.size() && std::isspace(static_cast<unsigned char>(value[i]))) ++i;
  };
  skip();
  // Options come first, each a '/' and a letter.
  while (i + 1 < value.size() && value[i] == '/' && value[i + 1] != '/' &&
         (i + 2 >= value.size() || std::isspace(static_cast<unsigned char>(value[i + 2])))) {
    if (!e.options.empty()) e.options += ' ';
    e.options += value.substr(i, 2);
    i += 2;
    skip();
  }
  if (i < value.size() && value[i] == '"') {
    std::size_t close = value.find('"', i + 1);
    e.path = value.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
  } else {
    e.path = value.substr(i);
    while (!e.path.empty() && std::isspace(static_cast<unsigned char>(e.path.back()))) e.path.pop_back();
  }
  return e;
}

std::vector<StartupEntry> ReadStartupList(int v) {
  platform::SettingsKey key(platform::Hive::CurrentUser, ApplicationKey(v));
  std::vector<StartupEntry> out;
  for (int n = 0;; ++n) {
    std::string name = n == 0 ? "OPEN" : "OPEN" + std::to_string(n);
    std::string value = key.ReadString(StartupSubkey(v), name);
    if (value.empty()) break;
    StartupEntry e = ParseStartupValue(value);
    e.name = name;
    out.push_back(e);
  }
  return out;
}

std::vector<std::string> AddInManagerList(int v) {
  return platform::registry::ValueNames(platform::Hive::CurrentUser, ApplicationKey(v) + "\\Add-in Manager");
}

}  // namespace xlm
