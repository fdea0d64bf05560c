// quelstat run, quelstat tests and quelstat variable: the main job of the program on the command line.
//
//   quelstat run WORKBOOK --cell [SHEET!]REF --test TEST [--set "LABEL=VALUE"]... [dataset options]
//                [--reports FILE.xlsx] [--save] [--json] [--dialog-trace]
//
// opens the workbook, selects the cell and chooses the test's menu command as a person would, with
// the dialogs answered from the command line. Exit status: 0 with a report, 1 when the command ended
// with a message and no report, 2 for a usage error, 130 when Ctrl-C (the ESC key) stopped it.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "app/session.h"

namespace app {

// One entry of the add-in's test catalogue, as the command line sees it.
struct CatalogueEntry {
  long id = 0;
  std::string templateName;  // "ttesti"
  std::string name;          // "Independent samples t-test"
  std::string module;        // "General"
  bool built = false;        // its computation is part of this build
  bool available = false;    // its module is installed on this machine
};

// Parses the add-in's catalogue text: one test a line, "id TAB template TAB built TAB available TAB
// module TAB name". Malformed lines are skipped.
std::vector<CatalogueEntry> ParseCatalogue(const std::string& text);

// The entry TEST names: its id, its template name or its name, case-insensitive; null when none.
const CatalogueEntry* ResolveTest(const std::vector<CatalogueEntry>& catalogue, const std::string& test);

// What "quelstat run" was asked to do.
struct RunArguments {
  std::string workbook, cell, test;
  std::vector<std::pair<std::string, std::string>> set;    // --set LABEL=VALUE, in order
  std::vector<std::pair<std::string, std::string>> types;  // --type COLUMN=TYPE, in order
  std::optional<std::string> layout, name;
  std::optional<int> factors;
  bool repeatMeasures = false, idLabel = false, autoformat = false;
  std::string reports;  // empty: <stem>-reports.xlsx beside the workbook
  bool save = false, json = false, trace = false, help = false;
  bool defaults = false;  // --defaults: the built-in defaults, no remembered answer read or written
  bool verbose = false;   // --verbose: also the message boxes the options answered
};

// Adds the answer of one --set "LABEL=VALUE" (label and value trimmed). False with the problem.
bool ParseSetAnswer(const std::string& text, std::vector<std::pair<std::string, std::string>>& answers,
                    std::string& error);

// Parses the words after "run". False with the problem in `error`.
bool ParseRunArguments(const std::vector<std::string>& args, RunArguments& out, std::string& error);

// Why --save cannot write this workbook back (empty when it can): only .xlsx and .xlsm files are
// written, so an .xls or .csv input is never replaced by content of another format.
std::string SaveProblem(const std::string& workbook);

// The default reports file of a workbook: "data/diet.xlsx" gives "data/diet-reports.xlsx".
std::string DefaultReportsPath(const std::string& workbook);

int RunCommand(const SessionOptions& options, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err);
int TestsCommand(const SessionOptions& options, const std::vector<std::string>& args, std::ostream& out,
                 std::ostream& err);
int VariableCommand(const SessionOptions& options, const std::vector<std::string>& args, std::ostream& out,
                    std::ostream& err);

// quelstat update WORKBOOK [--sheet NAME | --all] [--set ...]... [--edit] [--json] [--dialog-trace]:
// reports computed again on their data and WORKBOOK saved; quelstat reports WORKBOOK [--json]: the
// report sheets with their test, dataset reference and stored parameters.
int UpdateCommand(const SessionOptions& options, const std::vector<std::string>& args, std::ostream& out,
                  std::ostream& err);
int ReportsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The usage texts, for "--help".
const char* UpdateUsage();
const char* RunUsage();
const char* VariableUsage();

}  // namespace app
