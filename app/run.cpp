#include "app/run.h"

#include <dlfcn.h>
#include <time.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "app/commands.h"
#include "app/run_support.h"
#include "platform/text.h"
#include "sheets/io/workbook_io.h"
#include "sheets/show.h"
#include "sheets/xlm/documents_model.h"
#include "sheets/xlm/host.h"

namespace app {

namespace {

const char* kRunUsage =
    "usage: quelstat run WORKBOOK --cell [SHEET!]REF --test TEST [--set \"LABEL=VALUE\"]...\n"
    "                    [--layout list|tabular|contingency] [--factors 1|2] [--repeat-measures]\n"
    "                    [--id-label] [--name TEXT] [--autoformat] [--reports FILE.xlsx] [--save]\n"
    "                    [--json] [--dialog-trace]\n"
    "\n"
    "Runs a test on the dataset around the cell, as choosing the test's menu command does, and\n"
    "prints the new report sheet.\n"
    "  TEST            catalogue id (1026), template name (ttesti) or test name\n"
    "                  (\"Independent samples t-test\"); quelstat tests lists them\n"
    "  --set L=V       answers the dialog item labelled L: a number, an option text, yes/no,\n"
    "                  a variable (\"Weight - Before\", or \"Before\" when unambiguous) or several\n"
    "                  separated by commas; items not given keep their defaults; each test's\n"
    "                  items, in order, are listed in examples/README.md (\"Dialog items\")\n"
    "  --layout ...    for a dataset not set up yet: its layout and properties (without them\n"
    "                  the detected layout is confirmed)\n"
    "  --reports FILE  where the \"Unfiled reports\" workbook is saved, replacing the file\n"
    "                  (default: WORKBOOK's folder, <name>-reports.xlsx)\n"
    "  --save          also save WORKBOOK (the dataset properties are kept in it)\n"
    "  --json          print the test's results as JSON instead of the report\n"
    "  --dialog-trace  print every dialog and message box as shown, on standard error\n"
    "                  (the test's dialog items, in order, with their labels and choices)\n"
    "\n"
    "The dialog items of each test with an example workbook: examples/README.md.\n"
    "Exit status: 0 report made, 1 the test ended with a message, 2 usage, 130 interrupted.\n";

std::string Trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// Ctrl-C during a run: the ESC key for the add-in, and a note for the exit status.
volatile std::sig_atomic_t g_interrupted = 0;
void OnRunInterrupt(int) {
  g_interrupted = 1;
  xlm::g_escSignal = 1;
}

// With QUELSTAT_TIMING set, the run's phases are stamped on standard error with a monotonic clock
// reading, as the host stamps the status bar's texts (a benchmark splits the run with them).
void Stamp(const char* what) {
  if (!std::getenv("QUELSTAT_TIMING")) return;
  struct timespec now {};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  std::fprintf(stderr, "quelstat-timing: %.1f ms %s\n", now.tv_sec * 1e3 + now.tv_nsec / 1e6, what);
  std::fflush(stderr);
}

}  // namespace

const char* RunUsage() { return kRunUsage; }

std::vector<CatalogueEntry> ParseCatalogue(const std::string& text) {
  std::vector<CatalogueEntry> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::size_t at = 0;
    for (;;) {
      std::size_t tab = line.find('\t', at);
      f.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
      if (tab == std::string::npos) break;
      at = tab + 1;
    }
    if (f.size() != 6) continue;
    char* end = nullptr;
    long id = std::strtol(f[0].c_str(), &end, 10);
    if (f[0].empty() || *end) continue;
    out.push_back({id, f[1], f[5], f[4], f[2] == "1", f[3] == "1"});
  }
  return out;
}

const CatalogueEntry* ResolveTest(const std::vector<CatalogueEntry>& catalogue, const std::string& test) {
  std::string want = platform::FoldCase(Trim(test));
  if (want.empty()) return nullptr;
  char* end = nullptr;
  long id = std::strtol(want.c_str(), &end, 10);
  bool numeric = !*end;
  for (const CatalogueEntry& e : catalogue) {
    if (numeric ? e.id == id : (platform::FoldCase(e.templateName) == want || platform::FoldCase(e.name) == want)) return &e;
  }
  return nullptr;
}

bool ParseRunArguments(const std::vector<std::string>& args, RunArguments& out, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& v) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      v = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      out.help = true;
    } else if (a == "--cell") {
      if (!value(out.cell)) return false;
    } else if (a == "--test") {
      if (!value(out.test)) return false;
    } else if (a == "--set") {
      if (!value(v)) return false;
      std::size_t eq = v.find('=');
      if (eq == std::string::npos || Trim(v.substr(0, eq)).empty()) {
        error = "--set takes \"LABEL=VALUE\", not \"" + v + "\"";
        return false;
      }
      out.set.emplace_back(Trim(v.substr(0, eq)), Trim(v.substr(eq + 1)));
    } else if (a == "--layout") {
      if (!value(v)) return false;
      if (v != "list" && v != "tabular" && v != "contingency") {
        error = "--layout takes list, tabular or contingency";
        return false;
      }
      out.layout = v;
    } else if (a == "--factors") {
      if (!value(v)) return false;
      if (v != "1" && v != "2") {
        error = "--factors takes 1 or 2";
        return false;
      }
      out.factors = v == "2" ? 2 : 1;
    } else if (a == "--name") {
      if (!value(v)) return false;
      out.name = v;
    } else if (a == "--reports") {
      if (!value(out.reports)) return false;
      if (out.reports.empty()) {
        error = "--reports needs a file name";
        return false;
      }
    } else if (a == "--repeat-measures") {
      out.repeatMeasures = true;
    } else if (a == "--id-label") {
      out.idLabel = true;
    } else if (a == "--autoformat") {
      out.autoformat = true;
    } else if (a == "--save") {
      out.save = true;
    } else if (a == "--json") {
      out.json = true;
    } else if (a == "--dialog-trace") {
      out.trace = true;
    } else if (!a.empty() && a[0] != '-' && out.workbook.empty()) {
      out.workbook = a;
    } else {
      error = "unexpected argument " + a;
      return false;
    }
  }
  if (out.help) return true;
  if (out.workbook.empty()) error = "run needs a workbook";
  else if (out.cell.empty()) error = "run needs --cell";
  else if (out.test.empty()) error = "run needs --test";
  else if (!out.reports.empty() && CanonicalPath(out.reports) == CanonicalPath(out.workbook))
    error = "--reports names the input workbook; the reports go to a file of their own";
  else if (out.save)
    error = SaveProblem(out.workbook);
  return error.empty();
}

std::string SaveProblem(const std::string& workbook) {
  std::string ext = platform::FoldCase(std::filesystem::path(workbook).extension().string());
  if (ext == ".xlsx" || ext == ".xlsm") return {};
  return "--save writes .xlsx and .xlsm workbooks only; " + workbook +
         " is kept as it is (save a copy as .xlsx with quelstat script)";
}

std::string DefaultReportsPath(const std::string& workbook) {
  std::filesystem::path p(workbook);
  return (p.parent_path() / (p.stem().string() + "-reports.xlsx")).string();
}

int RunCommand(const SessionOptions& options, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err) {
  RunArguments run;
  std::string error;
  if (!ParseRunArguments(args, run, error)) {
    err << "quelstat: run: " << error << "\n" << kRunUsage;
    return 2;
  }
  if (run.help) {
    out << kRunUsage;
    return 0;
  }
  AddInSession s(options);
  g_interrupted = 0;
  std::signal(SIGINT, OnRunInterrupt);  // the session's own handler, which also notes it for the exit status
  if (!s.Start(err)) return 1;
  std::vector<CatalogueEntry> catalogue;
  if (!s.Catalogue(catalogue, err)) return 1;
  const CatalogueEntry* test = ResolveTest(catalogue, run.test);
  if (!test) {
    err << "quelstat: run: no test \"" << run.test << "\" (quelstat tests lists them)\n";
    return 2;
  }
  if (!test->built) {
    err << "quelstat: run: " << test->name << " is not available in this build\n";
    return 1;
  }
  Stamp("open");
  if (!s.OpenAndSelect(run.workbook, run.cell, err)) return 1;
  sheets::Workbook* input = s.Docs()->ActiveBook();
  Stamp("opened");

  DialogScript answers;
  answers.set = run.set;
  answers.layout = run.layout;
  answers.factors = run.factors;
  answers.repeatMeasures = run.repeatMeasures;
  answers.idLabel = run.idLabel;
  answers.autoformat = run.autoformat;
  answers.name = run.name;
  answers.trace = run.trace;
  answers.Install();

  // The reports workbook's sheets before the run: the report is the sheet that was not there.
  std::set<std::string> before;
  if (sheets::Workbook* reports = s.ReportsBook())
    for (std::size_t i = 0; i < reports->sheet_count(); ++i) before.insert(reports->sheet(i).name());
  const void* lastBefore = s.LastTest(nullptr);

  if (g_interrupted) {  // Ctrl-C before the test started: nothing was made
    answers.Remove();
    s.Discard(input);
    err << "quelstat: run: interrupted\n";
    return 130;
  }
  Stamp("command");
  // A test the menus do not offer (the normality test) runs through the macro a menu item would use.
  bool ran = s.Host().FindCommand(test->id)
                 ? RunMenuCommand(s.Host(), test->id, error)
                 : s.Host().RunMacro("QUELSTAT.COMMAND(" + std::to_string(test->id) + ")", error);
  Stamp("command ended");
  DialogScript::Problems problems = answers.Collect();
  answers.Remove();
  if (!ran) {
    err << "quelstat: run: " << error << "\n";
    s.Discard(input);
    return g_interrupted ? 130 : 1;
  }

  sheets::Workbook* reports = s.ReportsBook();
  const sheets::Sheet* report = nullptr;
  if (reports)
    for (std::size_t i = 0; i < reports->sheet_count() && !report; ++i)
      if (!before.count(reports->sheet(i).name())) report = &reports->sheet(i);
  std::string json;
  const void* lastAfter = s.LastTest(run.json ? &json : nullptr);
  bool made = report && lastAfter && lastAfter != lastBefore;

  // An answer no dialog item took: the run did not do what was asked, whatever it made. A dialog
  // whose OK was refused has shown its message (the run then made nothing).
  if (!problems.unmatched.empty() || (!problems.refused.empty() && problems.failedOK == 0)) {
    for (const std::string& label : problems.unmatched)
      err << "quelstat: run: --set \"" << label << "=...\" matched no item of the dialog\n";
    for (const std::string& why : problems.refused) err << "quelstat: run: --set " << why << "\n";
    s.Discard(input);
    return 2;
  }
  if (g_interrupted && !made) {
    s.Discard(input);
    return 130;
  }
  if (!made) {
    s.Discard(input);
    return 1;
  }

  if (run.json) {
    out << json;
    if (json.empty() || json.back() != '\n') out << "\n";
  } else {
    // As quelstat show prints a sheet.
    out << "Sheet \"" << report->name() << "\"\n";
    sheets::PrintSheetTable(*report, reports->formats(), out, reports->date_1904());
  }
  out.flush();

  Stamp("save");
  int status = 0;
  std::string reportsPath = run.reports.empty() ? DefaultReportsPath(run.workbook) : run.reports;
  if (!s.SaveBook(*reports, reportsPath, err)) status = 1;
  if (run.save && input && !s.SaveBook(*input, input->path(), err)) status = 1;
  Stamp("saved");
  if (status == 0) err << "quelstat: report \"" << report->name() << "\" saved in " << reportsPath << "\n";
  s.Discard(input);
  return status;
}

}  // namespace app
