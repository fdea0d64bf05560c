// quelstat: the host application. It holds workbooks, loads XLL add-ins and lets a person or a
// script do what they would do in a spreadsheet program: open, select, choose menu commands,
// save.
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/detect.h"
#include "app/run.h"
#include "app/session.h"
#include "platform/automation.h"
#include "platform/dialog.h"
#include "platform/msgbox.h"
#include "platform/settings.h"
#include "platform/shell.h"
#include "platform/windows.h"

#include "sheets/show.h"

namespace {

// Entry points add-ins bind to in this process: the host's MdCallBack and the platform services
// they share with the host (one set of windows, running objects and message-box handler).
__attribute__((used)) void* const kExported[] = {
    reinterpret_cast<void*>(&MdCallBack),
    reinterpret_cast<void*>(&platform::MessageBox),
    reinterpret_cast<void*>(&platform::ShellOpen),
    reinterpret_cast<void*>(&platform::SettingsFolder),
    reinterpret_cast<void*>(&platform::CreateWindow),
    reinterpret_cast<void*>(&platform::GetActiveObject),
    reinterpret_cast<void*>(&platform::RunDialog),
};

const char* kUsage =
    "usage: quelstat [OPTIONS] COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  menu                         start, load the start-up add-ins, print the menus\n"
    "  addins [--enable|--disable]  show or change whether the add-in opens at start-up\n"
    "  detect WORKBOOK --cell REF   the dataset around a cell (--json; --layout, --name ... --save\n"
    "                               confirm it; quelstat detect --help)\n"
    "  run WORKBOOK --cell REF --test TEST [--set \"LABEL=VALUE\"]...\n"
    "                               run a test on the dataset around a cell and print the\n"
    "                               report (quelstat run --help)\n"
    "  update WORKBOOK [--sheet NAME | --all] [--set \"LABEL=VALUE\"]... [--edit]\n"
    "                               compute reports again on their data, in place, and save\n"
    "                               WORKBOOK (quelstat update --help)\n"
    "  reports WORKBOOK [--json]    the report sheets: test, dataset reference, parameters\n"
    "  tests [--json]               the tests: id, name, module, template, built or not\n"
    "  variable WORKBOOK --cell REF --type TYPE [--value \"CATEGORY=NUMBER\"]... [--save]\n"
    "                               set a variable's type and category values\n"
    "  calc WORKBOOK [--save]       recalculate the formulas of a workbook, report what could\n"
    "                               not be calculated (--save writes the values)\n"
    "  script FILE|-                run host actions from FILE or standard input\n"
    "                               (quelstat script --help lists them)\n"
    "  show FILE [--sheet NAME] [--names] [--charts]\n"
    "                               print a sheet of a workbook as text\n"
    "  --version                    print the program version\n"
    "\n"
    "Options:\n"
    "  --excel-version N            the spreadsheet version the host reports (default 8)\n"
    "  --screen WxH                 the screen size in pixels (default 1280x1024)\n"
    "  --user NAME                  the user name the host reports\n"
    "  --language en|de             the language of the host's own menu names (default en)\n"
    "\n"
    "Settings live in $QUELSTAT_HOME (default $XDG_CONFIG_HOME/quelstat).\n";

int Usage(const std::string& problem) {
  if (!problem.empty()) std::cerr << "quelstat: " << problem << "\n";
  std::cerr << kUsage;
  return 2;
}

bool ParseInt(const char* text, int& out) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < 0 || v > 1000000) return false;
  out = static_cast<int>(v);
  return true;
}

int Dispatch(int argc, char** argv) {
  app::SessionOptions options;
  int i = 1;
  for (; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--excel-version" && i + 1 < argc) {
      if (!ParseInt(argv[++i], options.host.excelVersion) || options.host.excelVersion == 0)
        return Usage("--excel-version takes a whole number such as 8");
    } else if (a.rfind("--excel-version=", 0) == 0) {
      if (!ParseInt(a.c_str() + 16, options.host.excelVersion) || options.host.excelVersion == 0)
        return Usage("--excel-version takes a whole number such as 8");
    } else if (a == "--screen" && i + 1 < argc) {
      std::string s = argv[++i];
      std::size_t x = s.find('x');
      if (x == std::string::npos || !ParseInt(s.substr(0, x).c_str(), options.host.screenWidth) ||
          !ParseInt(s.substr(x + 1).c_str(), options.host.screenHeight))
        return Usage("--screen takes WIDTHxHEIGHT");
    } else if (a == "--language" && i + 1 < argc) {
      options.host.language = argv[++i];
      if (options.host.language != "en" && options.host.language != "de") return Usage("--language takes en or de");
    } else if (a == "--user" && i + 1 < argc) {
      options.host.userName = argv[++i];
    } else if (a == "--version") {
      std::cout << "quelstat 1.0 (spreadsheet host reporting version " << options.host.excelVersion << ".0)\n";
      return 0;
    } else if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (!a.empty() && a[0] == '-') {
      return Usage("unknown option " + a);
    } else {
      break;
    }
  }
  if (i >= argc) return Usage("");
  std::string command = argv[i++];
  std::vector<std::string> rest(argv + i, argv + argc);

  // Every command answers --help with its usage, without starting the host.
  if ((command == "menu" || command == "addins") && rest.size() == 1 && (rest[0] == "--help" || rest[0] == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  if (command == "menu") {
    if (!rest.empty()) return Usage("menu takes no arguments");
    app::Session session(options);
    session.Host().PrintMenus(std::cout);
    int status = session.StartupProblems() ? 1 : 0;
    session.End();
    return status;
  }
  if (command == "addins") {
    app::AddinsMode mode = app::AddinsMode::Query;
    if (rest.size() > 1) return Usage("addins takes at most one option");
    if (rest.size() == 1) {
      if (rest[0] == "--enable")
        mode = app::AddinsMode::Enable;
      else if (rest[0] == "--disable")
        mode = app::AddinsMode::Disable;
      else
        return Usage("addins takes --enable or --disable");
    }
    app::Session session(options);
    int status = app::AddinsCommand(session, mode, std::cout, std::cerr);
    session.End();
    return status;
  }
  if (command == "calc") return app::CalcCommand(options, rest, std::cout, std::cerr);
  if (command == "run") return app::RunCommand(options, rest, std::cout, std::cerr);
  if (command == "update") return app::UpdateCommand(options, rest, std::cout, std::cerr);
  if (command == "reports") return app::ReportsCommand(rest, std::cout, std::cerr);
  if (command == "tests") return app::TestsCommand(options, rest, std::cout, std::cerr);
  if (command == "variable") return app::VariableCommand(options, rest, std::cout, std::cerr);
  if (command == "detect") return app::DetectCommand(options, rest, std::cout, std::cerr);
  if (command == "script") {
    if (rest.size() == 1 && (rest[0] == "--help" || rest[0] == "-h")) {
      std::cout << app::ScriptHelp();
      return 0;
    }
    if (rest.size() != 1) return Usage("script takes one file, or - for standard input");
    app::Session session(options);
    int status = app::RunScript(session, rest[0], std::cout, std::cerr);
    session.End();
    return status;
  }
  if (command == "show") return sheets::RunShowCommand(rest, std::cout, std::cerr);
  return Usage("unknown command " + command);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Dispatch(argc, argv);
  } catch (const app::SessionBusy& e) {
    std::cerr << "quelstat: " << e.what() << "\n";
    return 1;
  }
}
