// What the run, tests and variable commands share: a host session with the add-in of this build
// loaded, the add-in's command-line exports, and the dialog answers given on the command line.
#pragma once

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "app/dialog_console.h"
#include "app/run.h"
#include "app/session.h"
#include "sheets/model/workbook.h"

namespace xlm {
class ModelDocuments;
struct AddIn;
}  // namespace xlm

namespace app {

struct DialogScript;

class AddInSession {
 public:
  explicit AddInSession(const SessionOptions& options);
  ~AddInSession();

  // Loads the add-in beside the program. False with a message.
  bool Start(std::ostream& err);
  xlm::Host& Host() { return session_.Host(); }
  xlm::ModelDocuments* Docs() const;

  // Runs of this session start from the built-in defaults, reading and writing no remembered answer.
  void UseDefaults();
  // Labels of the parameters whose remembered answer differs from the built-in default.
  std::vector<std::string> RememberedAnswers();
  // The add-in's test catalogue. False with a message.
  bool Catalogue(std::vector<CatalogueEntry>& out, std::ostream& err);
  // The test of the last report the add-in made (an identity to compare, null when none), with its
  // results as JSON in *json when asked.
  const void* LastTest(std::string* json);
  // Calls an export "int NAME(int argc, const char* const* argv, char** output)" of the add-in with
  // the add-in as caller; -1 with a message when the add-in has no such export.
  int CallTextExport(const char* name, const std::vector<std::string>& args, std::string& output);

  // Opens the workbook and selects the cell. False with a message.
  bool OpenAndSelect(const std::string& workbook, const std::string& cell, std::ostream& err);
  // Opens the reports workbook a run adds its report to, when the file exists: it must be a
  // reports workbook Quelstat wrote (at least one report sheet), which then takes the "Unfiled
  // reports" window title and continues its sheets' count. Nothing is opened when the file does
  // not exist yet (its folder must). False with a message when the file is refused; the file is not
  // touched.
  bool OpenReports(const std::string& path, std::ostream& err);
  // Sets the type of each column named (its header text, case-insensitive, on the active sheet) as
  // the Variable command's dialog does, answering with `script`'s dataset options; the workbook is
  // changed in memory only. False with a message.
  bool ApplyTypes(const std::vector<std::pair<std::string, std::string>>& types, DialogScript script,
                  std::ostream& err);
  // The workbook whose window is titled "Unfiled reports", or null.
  sheets::Workbook* ReportsBook() const;
  // Saves a workbook to path (atomically). False with a message.
  bool SaveBook(sheets::Workbook& book, const std::string& path, std::ostream& err);
  // The workbook's defined names (its own and its sheets'), as text: where the add-in keeps the
  // dataset and variable properties, so a change of them shows that properties were stored.
  static std::string NamesSnapshot(const sheets::Workbook& book);
  // The input was not to be saved: its changes are dropped without a word at the end; so are the
  // reports when they were not saved.
  void Discard(sheets::Workbook* input);

 private:
  void* Export(const char* name);
  Session session_;
  xlm::AddIn* addin_ = nullptr;  // the add-in of this build, once loaded
};

// The cell of the active sheet whose text is `column` (case-insensitive), the first in reading order.
std::optional<sheets::CellAddress> FindColumnHeader(const sheets::Sheet& sheet, const std::string& column);
// The texts under a header cell, down to the first empty cell (numbers as "").
std::vector<std::string> TextsBelow(const sheets::Sheet& sheet, sheets::CellAddress header);

// The menu command of Data > Variable...
constexpr long kVariableMenuCommand = 10012;

// Whether the sheet is a report: it carries the sheet-level test record "__sm_TV_0".
bool IsReportSheet(const sheets::Sheet& sheet);
// The number after the last blank of a report sheet's name ("t-test 12" gives 12), 0 when none.
long ReportNumber(const std::string& sheetName);

// Ctrl-C (and TERM, HUP) while a command runs: the ESC key for the add-in, and a note for the
// exit status (130). CatchInterrupts clears the note and installs the handler.
void CatchInterrupts();
bool Interrupted();

// Text as a JSON string literal: quotes, backslashes and control characters escaped.
std::string JsonText(const std::string& s);

// The dialog answers of the command line, handed to the console dialog front end.
struct DialogScript : DialogAnswers {
  // Installs the console front end with these answers (trace on standard error).
  void Install();
  // What the dialogs could not take, since Install.
  using Problems = DialogProblems;
  Problems Collect() const;
  void Remove();

 private:
  bool installed_ = false;
};

}  // namespace app
