#include "app/run.h"

#include <dlfcn.h>
#include <time.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "app/commands.h"
#include "app/dialog_console.h"
#include "app/run_support.h"
#include "platform/text.h"
#include "sheets/io/workbook_io.h"
#include "sheets/model/reference.h"
#include "sheets/show.h"
#include "sheets/xlm/documents_model.h"
#include "sheets/xlm/host.h"

namespace app {

namespace {

const char* kRunUsage =
    "usage: quelstat run WORKBOOK --cell [SHEET!]REF --test TEST [--set \"LABEL=VALUE\"]...\n"
    "                    [--layout list|tabular|contingency] [--factors 1|2] [--repeat-measures]\n"
    "                    [--id-label] [--name TEXT] [--autoformat] [--reports FILE.xlsx] [--save]\n"
    "                    [--type \"COLUMN=TYPE\"]... [--defaults] [--json] [--verbose]\n"
    "                    [--dialog-trace]\n"
    "\n"
    "Runs a test on the dataset around the cell, as choosing the test's menu command does, and\n"
    "prints the new report sheet.\n"
    "  TEST            catalogue id (1026), template name (ttesti) or test name\n"
    "                  (\"Independent samples t-test\"); quelstat tests lists them\n"
    "  --set L=V       answers the dialog item labelled L: a number, an option text, yes/no,\n"
    "                  a variable (\"Weight - Before\", or \"Before\" when unambiguous) or several\n"
    "                  separated by commas; items not given keep their defaults; each test's\n"
    "                  items, in order, are listed in examples/README.md (\"Dialog items\")\n"
    "  --layout ...    the dataset's layout and properties (--layout, --factors,\n"
    "                  --repeat-measures, --id-label): they decide, also where detection cannot\n"
    "                  tell the header from the data (without them the stored or detected\n"
    "                  layout is used)\n"
    "  --type C=T      reads the column whose header is C as of type T (nominal, ordinal,\n"
    "                  continuous or information) for this run, as quelstat variable does,\n"
    "                  without changing WORKBOOK (a text column of two values as groups)\n"
    "  --reports FILE  the reports workbook: the new report sheet is added to those it holds;\n"
    "                  a file that is not a reports workbook Quelstat wrote is refused and kept\n"
    "                  (default: WORKBOOK's folder, <name>-reports.xlsx)\n"
    "  --save          also save WORKBOOK (the dataset properties are kept in it)\n"
    "  --defaults      start from the built-in answers: the answers remembered from earlier runs\n"
    "                  are neither used nor changed (without it, a remembered answer that differs\n"
    "                  from the built-in one is named on standard error)\n"
    "  --json          print the run as JSON instead of the report: the test, the dataset, every\n"
    "                  parameter value used and the results\n"
    "  --verbose       also print the message boxes the options answered (the new-dataset prompt)\n"
    "  --dialog-trace  print every dialog and message box as shown, on standard error\n"
    "                  (the test's dialog items, in order, with their labels and choices)\n"
    "\n"
    "Exit status: 0 report made, 1 the test ended with a message or an answer was refused, 2 usage\n"
    "(an unknown option, test or dialog item), 130 interrupted.\n";

std::string Trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
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

// After a run refused its dataset: the columns read as text, which no test uses, and how to use one
// as groups.
void TextColumnHints(AddInSession& s, const std::vector<std::pair<std::string, std::string>>& typed,
                     std::ostream& err) {
  std::string description;
  if (s.CallTextExport("QuelstatDetectDataset", {}, description) != 0) return;
  const sheets::Sheet* sheet = s.Docs()->ActiveSheet();
  std::istringstream lines(description);
  std::string line;
  const std::string kText = ": information,";
  while (sheet && std::getline(lines, line)) {
    std::size_t at = line.find(kText);
    if (line.rfind("  ", 0) != 0 || at == std::string::npos) continue;
    std::string column = Trim(line.substr(0, at));
    if (std::any_of(typed.begin(), typed.end(), [&](const auto& t) { return platform::EqualNoCase(t.first, column); }))
      continue;  // the run was told this column's type
    std::optional<sheets::CellAddress> header = FindColumnHeader(*sheet, column);
    if (!header) continue;
    std::vector<std::string> texts = TextsBelow(*sheet, *header);
    std::set<std::string> distinct(texts.begin(), texts.end());
    auto allNumbers = [&texts](bool decimalComma) {
      return !texts.empty() && std::all_of(texts.begin(), texts.end(), [decimalComma](std::string t) {
        if (decimalComma && std::count(t.begin(), t.end(), ',') != 1) return false;
        if (decimalComma) std::replace(t.begin(), t.end(), ',', '.');
        char* end = nullptr;
        std::strtod(t.c_str(), &end);
        return !t.empty() && end && *end == '\0';
      });
    };
    if (allNumbers(false)) {
      err << "quelstat: run: the column \"" << column << "\" holds numbers stored as text (quoted in a CSV file,"
          << " or typed as text), which no test uses: enter them as plain numbers\n";
    } else if (allNumbers(true)) {
      err << "quelstat: run: the column \"" << column << "\" holds numbers written with a decimal comma, read as"
          << " text: numbers need a decimal point (save the CSV file with \".\" as the decimal separator)\n";
    } else if (distinct.size() >= 2 && distinct.size() < texts.size()) {
      err << "quelstat: run: the column \"" << column << "\" is read as text (information), which no test uses:"
          << " --type \"" << column << "=nominal\" makes its " << distinct.size() << " values groups for this"
          << " run (quelstat variable FILE --cell " << sheets::CellName(*header)
          << " --type nominal --save keeps it in the workbook)\n";
    }
  }
}

// The answers for the dataset and variable dialogs the run's options give.
DialogScript DatasetAnswers(const RunArguments& run) {
  DialogScript answers;
  answers.layout = run.layout;
  answers.factors = run.factors;
  answers.repeatMeasures = run.repeatMeasures;
  answers.idLabel = run.idLabel;
  answers.autoformat = run.autoformat;
  answers.name = run.name;
  answers.trace = run.trace;
  answers.verbose = run.verbose;
  return answers;
}

// The exit status of a run that must not keep what it made, after its message; -1 for a good run.
int WhyNoReport(AddInSession& s, const RunArguments& run, const CatalogueEntry& test,
                const DialogScript::Problems& problems, bool made, std::ostream& err) {
  // An answer no dialog item took: the run did not do what was asked, whatever it made. A dialog
  // whose OK was refused has shown its message (the run then made nothing). An unknown item is a
  // usage error (2); a value the item refuses, a refused answer (1).
  if (!problems.unmatched.empty() || (!problems.refused.empty() && problems.failedOK == 0)) {
    for (const std::string& label : problems.unmatched)
      err << "quelstat: run: --set \"" << label << "=...\" matched no item of the dialog\n";
    for (const std::string& why : problems.refused) err << "quelstat: run: --set " << why << "\n";
    return problems.unmatched.empty() ? 1 : 2;
  }
  if (made) return -1;
  if (Interrupted()) return 130;
  // The message above was about this dataset: say which, for a reader of a log.
  err << "quelstat: run: no report made by " << test.name << " on the dataset at " << run.cell << " of " << run.workbook
      << "\n";
  TextColumnHints(s, run.types, err);
  return 1;
}

// The layout options decide the dataset's layout before the test looks at it, also where detection
// cannot tell its header from its data: the dataset is confirmed with them, in memory. True when
// there is nothing to do.
bool ConfirmLayout(AddInSession& s, const RunArguments& run, std::ostream& err) {
  if (!run.layout && !run.factors && !run.repeatMeasures && !run.idLabel) return true;
  std::vector<std::string> args;
  if (run.layout) args.insert(args.end(), {"--layout", *run.layout});
  if (run.factors) args.insert(args.end(), {"--factors", std::to_string(*run.factors)});
  if (run.repeatMeasures) args.push_back("--repeat-measures");
  if (run.idLabel) args.push_back("--id-label");
  if (run.name) args.insert(args.end(), {"--name", *run.name});
  if (run.autoformat) args.push_back("--autoformat");
  std::string text;
  int status = s.CallTextExport("QuelstatDetectDataset", args, text);
  if (status == 0) return true;
  err << (status == 1 ? "Quelstat: " : "quelstat: run: ") << text << "\n";
  return false;
}

// Opens the reports workbook (when there is one) and the input with the cell selected, and gives the
// columns of --type their types. The input, or null after a message.
sheets::Workbook* OpenInput(AddInSession& s, const RunArguments& run, const std::string& reportsPath,
                            std::ostream& err) {
  if (!s.OpenReports(reportsPath, err) || !s.OpenAndSelect(run.workbook, run.cell, err)) return nullptr;
  sheets::Workbook* input = s.Docs()->ActiveBook();
  if (!ConfirmLayout(s, run, err)) {
    s.Discard(input);
    return nullptr;
  }
  if (!run.types.empty() &&
      (!s.ApplyTypes(run.types, DatasetAnswers(run), err) || !s.OpenAndSelect(run.workbook, run.cell, err))) {
    s.Discard(input);
    return nullptr;
  }
  return input;
}

// Saves the reports workbook, and the input with --save. The exit status.
int SaveResults(AddInSession& s, const RunArguments& run, sheets::Workbook& reports, const std::string& report,
                const std::string& reportsPath, sheets::Workbook* input, std::ostream& err) {
  Stamp("save");
  int status = 0;
  if (!s.SaveBook(reports, reportsPath, err)) status = 1;
  if (run.save && input && !s.SaveBook(*input, input->path(), err)) status = 1;
  Stamp("saved");
  if (status == 0) err << "quelstat: report \"" << report << "\" saved in " << reportsPath << "\n";
  s.Discard(input);
  return status;
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
    if (numeric ? e.id == id : (platform::FoldCase(e.templateName) == want || platform::FoldCase(e.name) == want))
      return &e;
  }
  return nullptr;
}

bool ParseSetAnswer(const std::string& text, std::vector<std::pair<std::string, std::string>>& answers,
                    std::string& error) {
  std::size_t eq = text.find('=');
  if (eq == std::string::npos || Trim(text.substr(0, eq)).empty()) {
    error = "--set takes \"LABEL=VALUE\", not \"" + text + "\"";
    return false;
  }
  answers.emplace_back(Trim(text.substr(0, eq)), Trim(text.substr(eq + 1)));
  return true;
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
      if (!value(v) || !ParseSetAnswer(v, out.set, error)) return false;
    } else if (a == "--type") {
      if (!value(v)) return false;
      std::size_t eq = v.rfind('=');
      std::string type = eq == std::string::npos ? "" : platform::FoldCase(Trim(v.substr(eq + 1)));
      if (eq == std::string::npos || Trim(v.substr(0, eq)).empty() ||
          (type != "nominal" && type != "ordinal" && type != "continuous" && type != "information")) {
        error = "--type takes \"COLUMN=nominal|ordinal|continuous|information\", not \"" + v + "\"";
        return false;
      }
      out.types.emplace_back(Trim(v.substr(0, eq)), type);
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
    } else if (a == "--defaults") {
      out.defaults = true;
    } else if (a == "--verbose") {
      out.verbose = true;
    } else if (!a.empty() && a[0] != '-' && out.workbook.empty()) {
      out.workbook = a;
    } else {
      error = "unexpected argument " + a;
      return false;
    }
  }
  if (out.help) return true;
  if (out.workbook.empty())
    error = "run needs a workbook";
  else if (out.cell.empty())
    error = "run needs --cell";
  else if (out.test.empty())
    error = "run needs --test";
  else if (!out.reports.empty() && CanonicalPath(out.reports) == CanonicalPath(out.workbook))
    error = "--reports names the input workbook; the reports go to a file of their own";
  else if (!out.reports.empty() && !SaveProblem(out.reports).empty())
    error = "--reports takes an .xlsx or .xlsm file name, not " + out.reports;
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
  // The session's own handler, which also notes it for the exit status; TERM and HUP end as INT does.
  CatchInterrupts();
  if (!s.Start(err)) return 1;
  std::vector<std::string> remembered;
  if (run.defaults)
    s.UseDefaults();
  else
    remembered = s.RememberedAnswers();
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
  // An existing reports workbook takes the new report beside the ones it holds.
  std::string reportsPath = run.reports.empty() ? DefaultReportsPath(run.workbook) : run.reports;
  sheets::Workbook* input = OpenInput(s, run, reportsPath, err);
  if (!input) return 1;
  Stamp("opened");

  DialogScript answers = DatasetAnswers(run);
  answers.set = run.set;
  answers.remembered = remembered;
  answers.Install();

  // The reports workbook's sheets before the run: the report is the sheet that was not there.
  std::set<std::string> before;
  if (sheets::Workbook* reports = s.ReportsBook())
    for (std::size_t i = 0; i < reports->sheet_count(); ++i) before.insert(reports->sheet(i).name());
  const void* lastBefore = s.LastTest(nullptr);

  if (Interrupted()) {  // Ctrl-C before the test started: nothing was made
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
  for (const std::string& note : problems.remembered) err << "quelstat: run: using remembered " << note << "\n";
  if (!ran) {
    err << "quelstat: run: " << error << "\n";
    s.Discard(input);
    return Interrupted() ? 130 : 1;
  }

  sheets::Workbook* reports = s.ReportsBook();
  const sheets::Sheet* report = nullptr;
  if (reports)
    for (std::size_t i = 0; i < reports->sheet_count() && !report; ++i)
      if (!before.count(reports->sheet(i).name())) report = &reports->sheet(i);
  std::string json;
  const void* lastAfter = s.LastTest(run.json ? &json : nullptr);
  bool made = report && lastAfter && lastAfter != lastBefore;

  if (int status = WhyNoReport(s, run, *test, problems, made, err); status >= 0) {
    s.Discard(input);
    return status;
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
  return SaveResults(s, run, *reports, report->name(), reportsPath, input, err);
}

}  // namespace app
