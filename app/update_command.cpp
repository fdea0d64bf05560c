// quelstat update and quelstat reports: the report sheets of a workbook brought up to date with their
// data, as choosing Update, Edit Test Parameters or Update All on a report sheet does, and listed.
#include <set>
#include <sstream>

#include "app/commands.h"
#include "app/dialog_console.h"
#include "app/run.h"
#include "app/run_support.h"
#include "platform/text.h"
#include "sheets/io/workbook_io.h"
#include "sheets/model/constant.h"
#include "sheets/show.h"
#include "sheets/xlm/documents_model.h"
#include "sheets/xlm/host.h"

namespace app {

namespace {

const char* kUpdateUsage =
    "usage: quelstat update WORKBOOK [--sheet NAME | --all] [--set \"LABEL=VALUE\"]... [--edit]\n"
    "                       [--json] [--dialog-trace]\n"
    "\n"
    "Computes reports again on their data as they are now, in place (same sheet, same name), and saves\n"
    "WORKBOOK when a report was updated. A report finds its dataset by the reference it keeps: in\n"
    "WORKBOOK itself, or in the workbook it names (opened for the update and closed again, unchanged).\n"
    "  --sheet NAME    the report sheet to update (Update); without it and without --all, every\n"
    "                  report sheet, in order (Update All)\n"
    "  --all           every report sheet of WORKBOOK, in order (Update All)\n"
    "  --edit          with --sheet: show the test's dialog with the stored answers (Edit Test\n"
    "                  Parameters); --set changes them\n"
    "  --set L=V       answers the dialog item labelled L where the dialog is shown: with --edit,\n"
    "                  or when the stored variables are no longer in the dataset (renamed columns)\n"
    "  --json          print the update as JSON: for --sheet the run as quelstat run --json prints\n"
    "                  it, else the reports and whether each was updated\n"
    "  --dialog-trace  print every dialog and message box as shown, on standard error\n"
    "\n"
    "Exit status: 0 every report asked for updated, 1 a report was not updated (its message says why;\n"
    "it is kept as it was), 2 usage, 130 interrupted (the reports updated before stay updated).\n";

const char* kReportsUsage =
    "usage: quelstat reports WORKBOOK [--json]\n"
    "\n"
    "Lists the report sheets of WORKBOOK: the test, the dataset the report was computed from (its\n"
    "reference, name and layout code) and the parameters as stored.\n";

// Menu command ids of the report commands.
constexpr long kUpdateCommand = 20095;
constexpr long kUpdateAllCommand = 28673;
constexpr long kEditParametersCommand = 28674;

struct UpdateArguments {
  std::string workbook, sheet;
  bool all = false, edit = false, json = false, trace = false, help = false;
  std::vector<std::pair<std::string, std::string>> set;
};

bool ParseUpdateArguments(const std::vector<std::string>& args, UpdateArguments& out, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      out.help = true;
    } else if (a == "--sheet") {
      if (i + 1 >= args.size()) {
        error = "--sheet needs a sheet name";
        return false;
      }
      out.sheet = args[++i];
    } else if (a == "--set") {
      if (i + 1 >= args.size()) {
        error = "--set needs \"LABEL=VALUE\"";
        return false;
      }
      if (!ParseSetAnswer(args[++i], out.set, error)) return false;
    } else if (a == "--all") {
      out.all = true;
    } else if (a == "--edit") {
      out.edit = true;
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
  if (out.workbook.empty())
    error = "update needs a workbook";
  else if (out.all && !out.sheet.empty())
    error = "--sheet and --all exclude each other";
  else if (out.edit && out.sheet.empty())
    error = "--edit needs --sheet: the dialog is shown for one report";
  else
    error = SaveProblem(out.workbook);
  return error.empty();
}

// The report sheets of a workbook, in order, with the sheet objects they are now (an updated report
// is a new sheet under the old name).
std::vector<std::pair<std::string, const sheets::Sheet*>> ReportSheets(const sheets::Workbook& book) {
  std::vector<std::pair<std::string, const sheets::Sheet*>> out;
  for (std::size_t i = 0; i < book.sheet_count(); ++i)
    if (IsReportSheet(book.sheet(i))) out.emplace_back(book.sheet(i).name(), &book.sheet(i));
  return out;
}

// The exit status of the answers the dialogs could not take (-1: none), after their messages.
int AnswerProblems(const DialogScript::Problems& problems, std::ostream& err) {
  if (problems.unmatched.empty() && (problems.refused.empty() || problems.failedOK)) return -1;
  for (const std::string& label : problems.unmatched)
    err << "quelstat: update: --set \"" << label << "=...\" matched no item of the dialog\n";
  for (const std::string& why : problems.refused) err << "quelstat: update: --set " << why << "\n";
  return problems.unmatched.empty() ? 1 : 2;
}

}  // namespace

const char* UpdateUsage() { return kUpdateUsage; }

int UpdateCommand(const SessionOptions& options, const std::vector<std::string>& args, std::ostream& out,
                  std::ostream& err) {
  UpdateArguments update;
  std::string error;
  if (!ParseUpdateArguments(args, update, error)) {
    err << "quelstat: update: " << error << "\n" << kUpdateUsage;
    return 2;
  }
  if (update.help) {
    out << kUpdateUsage;
    return 0;
  }
  AddInSession s(options);
  CatchInterrupts();
  if (!s.Start(err)) return 1;
  if (!s.Docs()->Open(update.workbook, error)) {
    err << "quelstat: " << error << "\n";
    return 1;
  }
  sheets::Workbook* book = s.Docs()->ActiveBook();
  auto before = ReportSheets(*book);
  if (before.empty()) {
    err << "quelstat: update: " << update.workbook << " holds no report sheet\n";
    s.Discard(book);
    return 1;
  }
  std::string first = before.front().first;
  if (!update.sheet.empty()) {
    auto it = std::find_if(before.begin(), before.end(),
                           [&](const auto& r) { return platform::EqualNoCase(r.first, update.sheet); });
    if (it == before.end()) {
      std::string names;
      for (const auto& r : before) names += (names.empty() ? "" : ", ") + r.first;
      err << "quelstat: update: " << update.workbook << " has no report sheet \"" << update.sheet
          << "\" (its reports: " << names << ")\n";
      s.Discard(book);
      return 1;
    }
    first = it->first;
  }

  DialogScript answers;
  answers.set = update.set;
  answers.trace = update.trace;
  answers.cancelRefused = true;
  answers.cancelUnanswered = !update.edit;
  answers.Install();
  long command = update.sheet.empty() ? kUpdateAllCommand : update.edit ? kEditParametersCommand : kUpdateCommand;
  bool ran = s.Docs()->ActivateSheet(first, error) &&
             s.Host().RunMacro("QUELSTAT.COMMAND(" + std::to_string(command) + ")", error);
  DialogScript::Problems problems = answers.Collect();
  answers.Remove();
  if (!ran) {
    err << "quelstat: update: " << error << "\n";
    s.Discard(book);
    return Interrupted() ? 130 : 1;
  }

  // Which reports were computed again: their sheets are new.
  auto after = ReportSheets(*book);
  std::vector<std::pair<std::string, bool>> outcome;
  int updated = 0;
  for (const auto& [name, sheet] : before) {
    if (!update.sheet.empty() && name != first) continue;
    auto now = std::find_if(after.begin(), after.end(), [&](const auto& r) { return r.first == name; });
    bool made = now != after.end() && now->second != sheet;
    updated += made;
    outcome.emplace_back(name, made);
  }
  if (int status = AnswerProblems(problems, err); status >= 0 && !updated) {
    s.Discard(book);
    return status;
  }
  int status = updated == static_cast<int>(outcome.size()) ? 0 : 1;
  if (Interrupted()) status = 130;

  if (update.json) {
    std::string json;
    if (!update.sheet.empty() && updated) s.LastTest(&json);
    if (!json.empty()) {
      out << json << (json.back() == '\n' ? "" : "\n");
    } else {
      out << "{\"workbook\": " << JsonText(update.workbook) << ", \"updated\": " << updated << ", \"reports\": [";
      for (std::size_t i = 0; i < outcome.size(); ++i)
        out << (i ? ", " : "") << "{\"sheet\": " << JsonText(outcome[i].first)
            << ", \"updated\": " << (outcome[i].second ? "true" : "false") << "}";
      out << "]}\n";
    }
  } else {
    for (const auto& [name, made] : outcome) out << (made ? "updated: " : "not updated: ") << name << "\n";
    if (!update.sheet.empty() && updated) {
      const sheets::Sheet* sheet = book->FindSheet(first);
      out << "Sheet \"" << first << "\"\n";
      sheets::PrintSheetTable(*sheet, book->formats(), out, book->date_1904());
    }
  }
  out.flush();
  if (updated) {
    if (!s.SaveBook(*book, book->path(), err)) return 1;
    err << "quelstat: " << updated << (updated == 1 ? " report" : " reports") << " updated and saved in "
        << update.workbook << "\n";
  }
  s.Discard(book);
  return status;
}

// ---- quelstat reports ----

namespace {

struct ReportListing {
  std::string sheet, testName, dataset, datasetName;
  double testId = 0, layout = -1;
  std::vector<std::vector<sheets::Value>> parameters;  // each: type tag, kind word, values
};

std::vector<sheets::Value> ValuesOf(const sheets::DefinedName* n) {
  if (!n) return {};
  if (n->kind == sheets::DefinedName::Kind::Array) return n->array.values;
  if (n->kind == sheets::DefinedName::Kind::Constant) return {n->constant};
  return {};
}

std::string ValueText(const sheets::Value& v, bool json) {
  switch (v.type) {
    case sheets::ValueType::Number: {
      std::ostringstream s;
      s.precision(15);
      s << v.number;
      return s.str();
    }
    case sheets::ValueType::Text: return json ? JsonText(v.text) : v.text;
    case sheets::ValueType::Boolean: return v.boolean ? "true" : "false";
    default: return json ? "null" : "";
  }
}

// The kinds of parameter a stored kind word names (its bits 8 to 10).
const char* KindName(double word) {
  switch ((static_cast<unsigned>(word) >> 8) & 7) {
    case 1: return "number";
    case 2: return "choice";
    case 3: return "hypothesis";
    case 4: return "variables";
    case 5: return "check box";
    default: return "other";
  }
}

ReportListing ListReport(const sheets::Sheet& sheet) {
  ReportListing r;
  r.sheet = sheet.name();
  const sheets::NameTable& names = sheet.names();
  std::vector<sheets::Value> test = ValuesOf(names.Find("__sm_TV_0"));
  if (test.size() >= 3) {
    r.testId = test[1].type == sheets::ValueType::Number ? test[1].number : 0;
    r.testName = test[2].type == sheets::ValueType::Text ? test[2].text : "";
  }
  if (const sheets::DefinedName* er = names.Find("__sm_ER_0")) r.dataset = er->refers_to;
  std::vector<sheets::Value> layout = ValuesOf(names.Find("__sm_EV_1"));
  if (!layout.empty() && layout[0].type == sheets::ValueType::Number) r.layout = layout[0].number;
  if (layout.size() >= 2 && layout[1].type == sheets::ValueType::Text) r.datasetName = layout[1].text;
  for (unsigned i = 0;; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "__sm_VV_%x", i);
    std::vector<sheets::Value> p = ValuesOf(names.Find(name));
    if (p.size() < 3) break;
    r.parameters.push_back(std::move(p));
  }
  return r;
}

void PrintListing(const ReportListing& r, std::ostream& out) {
  out << "Sheet \"" << r.sheet << "\": " << r.testName << " (" << ValueText(sheets::Value::Number(r.testId), false)
      << ")\n";
  out << "  dataset: " << (r.dataset.empty() ? "(none recorded)" : r.dataset);
  if (!r.datasetName.empty()) out << " '" << r.datasetName << "'";
  if (r.layout >= 0) out << ", layout " << ValueText(sheets::Value::Number(r.layout), false);
  out << "\n";
  for (std::size_t i = 0; i < r.parameters.size(); ++i) {
    const auto& p = r.parameters[i];
    out << "  parameter " << i << " (" << KindName(p[1].number) << "):";
    std::size_t from = 2;
    if (p[0].type == sheets::ValueType::Number && p[0].number == 16) from = 3;  // a count, then the names
    for (std::size_t k = from; k < p.size(); ++k) out << (k > from ? ", " : " ") << ValueText(p[k], false);
    out << "\n";
  }
}

void PrintListingJson(const ReportListing& r, std::ostream& out) {
  out << "{\"sheet\": " << JsonText(r.sheet)
      << ", \"test\": {\"id\": " << ValueText(sheets::Value::Number(r.testId), true)
      << ", \"name\": " << JsonText(r.testName) << "}, \"dataset\": {\"reference\": " << JsonText(r.dataset)
      << ", \"name\": " << JsonText(r.datasetName)
      << ", \"layout\": " << ValueText(sheets::Value::Number(r.layout), true) << "}, \"parameters\": [";
  for (std::size_t i = 0; i < r.parameters.size(); ++i) {
    const auto& p = r.parameters[i];
    out << (i ? ", " : "") << "{\"type\": " << ValueText(p[0], true) << ", \"kind\": " << ValueText(p[1], true)
        << ", \"kindName\": " << JsonText(KindName(p[1].number)) << ", \"values\": [";
    std::size_t from = p[0].type == sheets::ValueType::Number && p[0].number == 16 ? 3 : 2;
    for (std::size_t k = from; k < p.size(); ++k) out << (k > from ? ", " : "") << ValueText(p[k], true);
    out << "]}";
  }
  out << "]}";
}

}  // namespace

int ReportsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string workbook;
  bool json = false;
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      out << kReportsUsage;
      return 0;
    }
    if (a == "--json") {
      json = true;
    } else if (!a.empty() && a[0] != '-' && workbook.empty()) {
      workbook = a;
    } else {
      err << "quelstat: reports: unexpected argument " << a << "\n" << kReportsUsage;
      return 2;
    }
  }
  if (workbook.empty()) {
    err << "quelstat: reports: reports needs a workbook\n" << kReportsUsage;
    return 2;
  }
  std::unique_ptr<sheets::Workbook> book;
  try {
    book = sheets::ReadWorkbook(workbook);
  } catch (const std::exception& e) {
    err << "quelstat: " << e.what() << "\n";
    return 1;
  }
  std::vector<ReportListing> listings;
  for (std::size_t i = 0; i < book->sheet_count(); ++i)
    if (IsReportSheet(book->sheet(i))) listings.push_back(ListReport(book->sheet(i)));
  if (json) {
    out << "[";
    for (std::size_t i = 0; i < listings.size(); ++i) {
      out << (i ? ",\n " : "");
      PrintListingJson(listings[i], out);
    }
    out << "]\n";
  } else if (listings.empty()) {
    out << workbook << " holds no report sheet\n";
  } else {
    for (const ReportListing& r : listings) PrintListing(r, out);
  }
  return 0;
}

}  // namespace app
