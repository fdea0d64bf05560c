// The host's actions shared by the command line and the script runner.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/session.h"

namespace app {

enum class AddinsMode { Query, Enable, Disable };

// The start-up state of the add-in, read and changed through its channel window as the add-in
// itself does it; prints the state and the start-up list. Returns an exit status.
int AddinsCommand(Session& session, AddinsMode mode, std::ostream& out, std::ostream& err);
// Prints the start-up list entries ("OPEN=...").
void PrintStartupList(const xlm::Host& host, std::ostream& out);
// Runs the menu command with this id as choosing its menu item would. False with a message.
bool RunMenuCommand(xlm::Host& host, long id, std::string& error);
// Runs a report command (update, edit, update-all, move, discard) on the active sheet, as its
// toolbar button does. False with a message.
bool RunReportCommand(xlm::Host& host, const std::string& action, std::string& error);
// Clicks a toolbar button (1-based position, separators counted). False with a message.
bool ClickTool(xlm::Host& host, const std::string& toolbar, int position, std::string& error);

// quelstat calc WORKBOOK [--save]: recalculates a workbook and reports what it could not calculate.
int CalcCommand(const SessionOptions& options, const std::vector<std::string>& args, std::ostream& out,
                std::ostream& err);

// Runs a script from a file ("-" = standard input). Returns an exit status.
int RunScript(Session& session, const std::string& file, std::ostream& out, std::ostream& err);
// The grammar, for "quelstat script --help".
const char* ScriptHelp();

}  // namespace app
