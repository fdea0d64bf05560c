// A fresh settings folder for one test, removed afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

struct TempHome {
  std::filesystem::path dir;
  TempHome() {
    char tmpl[] = "/tmp/qsplat.XXXXXX";
    dir = ::mkdtemp(tmpl);
    ::setenv("QUELSTAT_HOME", dir.c_str(), 1);
  }
  ~TempHome() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    ::unsetenv("QUELSTAT_HOME");
  }
};
