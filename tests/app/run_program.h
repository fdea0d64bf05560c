// Runs the quelstat program as a shell would, with its standard streams in files of a folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace apptest {

// The example workbooks of the source tree.
inline const std::filesystem::path kExamples = std::filesystem::path(QUELSTAT_SOURCE) / "examples";

struct Outcome {
  int status = -1;  // exit status, -1 when killed by a signal
  std::string out, err;
};

std::string Slurp(const std::filesystem::path& p);

// Runs QUELSTAT_EXE with `args`, `input` on standard input; the streams go through files in `folder`.
// With `interruptWhen`, sends SIGINT once standard error contains that text (and kills the program
// after 60 seconds); a run that ends before the text appears is a test failure.
Outcome RunQuelstat(const std::filesystem::path& folder, std::vector<std::string> args, const std::string& input = "",
                    const std::string& interruptWhen = "");
// The same with another build of the program (the fault-injection build of the tests).
Outcome RunProgram(const std::string& exe, const std::filesystem::path& folder, std::vector<std::string> args,
                   const std::string& input = "", const std::string& interruptWhen = "");

// A test with a scratch folder of its own: `home` (removed afterwards) holds the streams of the runs,
// `settings` (QUELSTAT_HOME, made by the program when it needs it) and `work` for the test's files;
// no desktop, and no slowed ESC checks unless the test asks.
class ScratchSettings : public ::testing::Test {
 protected:
  std::filesystem::path home, settings, work;
  void SetUp() override;
  void TearDown() override;
  // A copy of `from` in `work` (the reports of a run land beside it).
  std::filesystem::path Copy(const std::filesystem::path& from);
  // A copy of the example workbook `name` (examples/) in `work`.
  std::filesystem::path Example(const std::string& name) { return Copy(kExamples / name); }
  Outcome Quelstat(std::vector<std::string> args, const std::string& input = "",
                   const std::string& interruptWhen = "") {
    return RunQuelstat(home, std::move(args), input, interruptWhen);
  }
};

}  // namespace apptest
