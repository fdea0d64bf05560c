// The application's start-up list: the per-user values "OPEN", "OPEN1", "OPEN2" ... under the
// application's options key, each naming a file to open when the application starts
// ("/R "path"" opens an add-in read-only). Also the Add-in Manager list beside it.
#pragma once

#include <string>
#include <vector>

namespace xlm {

// "SOFTWARE\Microsoft\Office\8.0\Excel" and the like, for a version.
std::string ApplicationKey(int excelVersion);
// "Microsoft Excel" below version 9, "Options" from version 9.
std::string StartupSubkey(int excelVersion);

struct StartupEntry {
  std::string name;     // "OPEN", "OPEN1" ...
  std::string value;    // as stored
  std::string options;  // "/R" ...
  std::string path;     // the file, without quotes
};

// The entries in order, up to the first missing or empty value.
std::vector<StartupEntry> ReadStartupList(int excelVersion);
// Splits "/R "C:\path\file.xll"" into options and path.
StartupEntry ParseStartupValue(const std::string& value);
// Paths listed in the Add-in Manager (value names of the "Add-in Manager" subkey).
std::vector<std::string> AddInManagerList(int excelVersion);

}  // namespace xlm
