#include "app/detect.h"

#include <dlfcn.h>

#include <cstdlib>

#include "app/run.h"
#include "sheets/xlm/documents.h"
#include "sheets/xlm/host.h"

namespace app {

namespace {

// The add-in's entry for this command (exported by quelstat.xll).
using DetectEntry = int (*)(int argc, const char* const* argv, char** output);
constexpr const char* kDetectEntry = "QuelstatDetectDataset";

const char* kDetectUsage =
    "usage: quelstat detect WORKBOOK --cell [SHEET!]REF [--json] [--layout list|tabular|contingency]\n"
    "                       [--factors 1|2] [--repeat-measures] [--id-label] [--name TEXT]\n"
    "                       [--autoformat] [--save]\n";

}  // namespace

int DetectCommand(const SessionOptions& options, const std::vector<std::string>& args, std::ostream& out,
                  std::ostream& err) {
  std::string workbook, cell;
  bool save = false;
  std::vector<std::string> passed;  // options for the add-in
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool takesValue = a == "--layout" || a == "--factors" || a == "--name";
    if (a == "--help" || a == "-h") {
      out << kDetectUsage;
      return 0;
    }
    if (a == "--cell" && i + 1 < args.size()) {
      cell = args[++i];
    } else if (a == "--save") {
      save = true;
    } else if (takesValue && i + 1 < args.size()) {
      passed.push_back(a);
      passed.push_back(args[++i]);
    } else if (a == "--json" || a == "--repeat-measures" || a == "--id-label" || a == "--autoformat") {
      passed.push_back(a);
    } else if (!a.empty() && a[0] != '-' && workbook.empty()) {
      workbook = a;
    } else {
      err << "quelstat: detect: unexpected argument " << a << "\n" << kDetectUsage;
      return 2;
    }
  }
  if (workbook.empty() || cell.empty()) {
    err << kDetectUsage;
    return 2;
  }
  // One rule for every saving command: only .xlsx and .xlsm are written over.
  if (std::string problem = save ? SaveProblem(workbook) : std::string(); !problem.empty()) {
    err << "quelstat: detect: " << problem << "\n" << kDetectUsage;
    return 2;
  }
  // Saving writes what confirming the dataset stored: without other options the detected layout is
  // confirmed as it stands.
  if (save) {
    bool confirms = false;
    for (const std::string& p : passed)
      if (p != "--json") confirms = true;
    if (!confirms) passed.push_back("--confirm");
  }
  SessionOptions quiet = options;
  quiet.loadStartupList = false;
  Session session(quiet);
  xlm::Host& host = session.Host();
  std::string error;
  if (!session.LoadAddIn(Session::DefaultAddIn(), error)) {
    err << "quelstat: " << error << "\n";
    return 1;
  }
  xlm::AddIn* addin = host.FindAddIn(CanonicalPath(Session::DefaultAddIn()));
  DetectEntry entry = addin ? reinterpret_cast<DetectEntry>(dlsym(addin->handle, kDetectEntry)) : nullptr;
  if (!entry) {
    err << "quelstat: the add-in has no dataset detection (" << kDetectEntry << ")\n";
    return 1;
  }
  if (!host.documents->Open(workbook, error) || !host.documents->Select(cell, error)) {
    err << "quelstat: " << error << "\n";
    return 1;
  }
  if (std::string beyond = RowsBeyondHost(host); !beyond.empty()) {
    err << "quelstat: " << workbook << ": " << beyond << "\n";
    return 1;
  }
  std::vector<const char*> argv;
  for (const std::string& p : passed) argv.push_back(p.c_str());
  char* output = nullptr;
  int status;
  {
    xlm::CallerScope scope(host, addin);
    status = entry(static_cast<int>(argv.size()), argv.data(), &output);
  }
  std::string text = output ? output : "";
  std::free(output);
  if (status == 0) {
    out << text;
    if (save && !host.documents->Save(workbook, error)) {
      err << "quelstat: " << error << "\n";
      status = 1;
    }
  } else if (status == 1) {
    err << "Quelstat: " << text << "\n";
  } else {
    err << "quelstat: detect: " << text << "\n" << kDetectUsage;
  }
  session.End();
  return status;
}

}  // namespace app
