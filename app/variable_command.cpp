// quelstat variable WORKBOOK --cell REF --type TYPE [--value "CATEGORY=NUMBER"]... [--save]: what the
// Variable properties dialog's OK does, with the dialog answered from the command line.
#include <cstdlib>

#include "app/commands.h"
#include "app/run.h"
#include "app/run_support.h"
#include "sheets/xlm/documents_model.h"

namespace app {

namespace {

const char* kVariableUsage =
    "usage: quelstat variable WORKBOOK --cell [SHEET!]REF --type nominal|ordinal|continuous|information\n"
    "                         [--value \"CATEGORY=NUMBER\"]... [--save] [--dialog-trace]\n"
    "\n"
    "Sets the properties of the variable whose column holds the cell, as the Variable command's\n"
    "dialog does: its type and, for an ordinal variable, the value of each category. Prints the\n"
    "dataset afterwards; --save writes the properties into the workbook.\n";

std::string Trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

}  // namespace

const char* VariableUsage() { return kVariableUsage; }

int VariableCommand(const SessionOptions& options, const std::vector<std::string>& args, std::ostream& out,
                    std::ostream& err) {
  std::string workbook, cell, problem;
  bool save = false;
  DialogScript answers;
  for (std::size_t i = 0; i < args.size() && problem.empty(); ++i) {
    const std::string& a = args[i];
    bool hasValue = i + 1 < args.size();
    if (a == "--help" || a == "-h") {
      out << kVariableUsage;
      return 0;
    } else if (a == "--cell" && hasValue) {
      cell = args[++i];
    } else if (a == "--type" && hasValue) {
      std::string t = args[++i];
      if (t != "nominal" && t != "ordinal" && t != "continuous" && t != "information")
        problem = "--type takes nominal, ordinal, continuous or information";
      answers.type = t;
    } else if (a == "--value" && hasValue) {
      std::string v = args[++i];
      std::size_t eq = v.rfind('=');
      char* end = nullptr;
      std::string number = eq == std::string::npos ? "" : Trim(v.substr(eq + 1));
      double value = std::strtod(number.c_str(), &end);
      if (eq == std::string::npos || Trim(v.substr(0, eq)).empty() || number.empty() || *end)
        problem = "--value takes \"CATEGORY=NUMBER\", not \"" + v + "\"";
      else if (!answers.categoryValues.emplace(Trim(v.substr(0, eq)), value).second)
        problem = "--value gives the category \"" + Trim(v.substr(0, eq)) + "\" twice";
    } else if (a == "--save") {
      save = true;
    } else if (a == "--dialog-trace") {
      answers.trace = true;
    } else if (!a.empty() && a[0] != '-' && workbook.empty()) {
      workbook = a;
    } else {
      problem = "unexpected argument " + a;
    }
  }
  if (problem.empty() && (workbook.empty() || cell.empty() || !answers.type))
    problem = "variable needs a workbook, --cell and --type";
  if (problem.empty() && !answers.categoryValues.empty() && answers.type != "ordinal")
    problem = "--value gives category values, which only an ordinal variable has";
  if (problem.empty() && save) problem = SaveProblem(workbook);
  if (!problem.empty()) {
    err << "quelstat: variable: " << problem << "\n" << kVariableUsage;
    return 2;
  }

  AddInSession s(options);
  if (!s.Start(err) || !s.OpenAndSelect(workbook, cell, err)) return 1;
  sheets::Workbook* input = s.Docs()->ActiveBook();
  std::string namesBefore = AddInSession::NamesSnapshot(*input);
  answers.Install();
  std::string error;
  bool ran = RunMenuCommand(s.Host(), kVariableMenuCommand, error);
  DialogScript::Problems problems = answers.Collect();
  answers.Remove();
  if (!ran) {
    err << "quelstat: variable: " << error << "\n";
    return 1;
  }
  if (problems.failedOK == 0 && (!problems.refused.empty() || !problems.unmatched.empty())) {
    for (const std::string& why : problems.refused) err << "quelstat: variable: " << why << "\n";
    for (const std::string& label : problems.unmatched) err << "quelstat: variable: no item \"" << label << "\"\n";
    s.Discard(input);
    return problems.unmatched.empty() ? 1 : 2;  // a refused value 1, an unknown item 2, as run does
  }
  // The dialog's OK stores the properties in the workbook's names; a refusal (its message shown) or
  // Cancel leaves them untouched.
  if (AddInSession::NamesSnapshot(*input) == namesBefore) {
    if (problems.failedOK == 0) err << "quelstat: variable: the variable's properties were not changed\n";
    s.Discard(input);
    return 1;
  }
  std::string description;
  if (s.CallTextExport("QuelstatDetectDataset", {}, description) == 0) out << description;
  int status = 0;
  if (save && !s.SaveBook(*input, input->path(), err)) status = 1;
  s.Discard(input);
  return status;
}

}  // namespace app
