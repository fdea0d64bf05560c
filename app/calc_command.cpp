// quelstat calc WORKBOOK [--save]: recalculates every formula of a workbook, with the add-in's
// functions available, and reports the formulas it could not calculate.
#include <ostream>

#include "app/commands.h"
#include "sheets/xlm/calc_host.h"

namespace app {

const char* CalcHelp() {
  return "usage: quelstat calc WORKBOOK [--save]\n"
         "\n"
         "Recalculates every formula of WORKBOOK in dependency order and prints how many were\n"
         "calculated. Formulas calling a function this host does not know keep the value the\n"
         "file carries and are listed; formulas in a circular reference get #REF! and are\n"
         "listed. --save writes the calculated values into the file.\n";
}

int CalcCommand(const SessionOptions& options, const std::vector<std::string>& args, std::ostream& out,
                std::ostream& err) {
  std::string file;
  bool save = false;
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      out << CalcHelp();
      return 0;
    }
    if (a == "--save")
      save = true;
    else if (file.empty() && !a.empty() && a[0] != '-')
      file = a;
    else {
      err << "quelstat: calc: unexpected argument " << a << "\n" << CalcHelp();
      return 2;
    }
  }
  if (file.empty()) {
    err << CalcHelp();
    return 2;
  }
  Session session(options);
  auto* docs = dynamic_cast<xlm::ModelDocuments*>(session.Host().documents);
  std::string error;
  if (!docs || !docs->Open(file, error) || !docs->ActiveBook()) {
    err << "quelstat: calc: " << (error.empty() ? "this build has no workbook engine" : error) << "\n";
    session.End();
    return 1;
  }
  sheets::calc::CalcReport report = xlm::Recalculate(*docs->ActiveBook());
  out << "calculated " << report.calculated << " formula" << (report.calculated == 1 ? "" : "s") << "\n";
  for (const auto& p : report.kept)
    out << xlm::CellLabel(p) << ": not calculated (" << p.why << "); the file's value is kept\n";
  for (const auto& p : report.circular) out << xlm::CellLabel(p) << ": " << p.why << ", set to #REF!\n";
  int status = 0;
  if (save && !docs->Save("", error)) {
    err << "quelstat: calc: " << error << "\n";
    status = 1;
  } else if (save) {
    out << "saved " << file << "\n";
  }
  session.End();
  return status;
}

}  // namespace app
