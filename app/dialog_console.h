// The console front end: answers the add-in's dialogs from the command line's answers, through the
// same control events a person would cause (typing character by character, choosing entries,
// clicking), and with `trace` writes every dialog as shown and every message box to a stream.
#pragma once

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/dialog.h"

namespace app {

struct DialogAnswers {
  // --set LABEL=VALUE, in order. LABEL is the control's caption as the dialog shows it (without
  // "&" and a trailing ":", case-insensitive); VALUE a number, an option text, "not equal" / "less
  // than" / "greater than", variable names (" - " paths or their last level, comma-separated) or
  // yes/no.
  std::vector<std::pair<std::string, std::string>> set;
  // Dataset properties: --layout list|tabular|contingency, --factors 1|2, --repeat-measures,
  // --id-label, --autoformat, --name TEXT.
  std::optional<std::string> layout;
  std::optional<int> factors;
  bool repeatMeasures = false, idLabel = false, autoformat = false;
  std::optional<std::string> name;
  // Variable properties: --value "CATEGORY=NUMBER" and --type nominal|ordinal|continuous|information.
  std::map<std::string, double> categoryValues;
  std::optional<std::string> type;
  // Labels of the test parameters whose remembered answer differs from the built-in default.
  std::vector<std::string> remembered;
  bool trace = false;
  // The test's parameter dialog is cancelled, rather than confirmed as it stands, when an answer was
  // refused, or (cancelUnanswered) when no answer was given at all: an update whose stored answers
  // no longer fit computes nothing with answers nobody chose.
  bool cancelRefused = false, cancelUnanswered = false;
  // Message boxes the answers take care of (the new-dataset prompt, confirmed) are printed only
  // with trace or verbose; boxes with an OK button alone always are.
  bool verbose = false;
};

// What went wrong with the answers while dialogs were answered.
struct DialogProblems {
  // Answers whose label matched no visible control of the dialog they were meant for (the label).
  std::vector<std::string> unmatched;
  // Answers a control would not take: "LABEL: why" (a value the field's typing rules cut short, an
  // option or variable that is not offered, a category the variable does not have).
  std::vector<std::string> refused;
  // Dialogs whose OK was refused (the add-in showed its message); they were cancelled.
  int failedOK = 0;
  // Remembered answers the parameter dialog kept because no answer was given: "LABEL=VALUE".
  std::vector<std::string> remembered;
  bool Any() const { return !unmatched.empty() || !refused.empty(); }
};

// Installs the front end for dialogs and message boxes (message boxes are also printed to standard
// error as "Quelstat: TEXT", as without a front end, and answered with their first button).
void InstallConsoleDialogs(const DialogAnswers& answers, std::ostream& trace);
// Restores the front ends that were installed before.
void RemoveConsoleDialogs();
// Problems since InstallConsoleDialogs.
const DialogProblems& ConsoleDialogProblems();

// Why VALUE cannot be an answer for the number field LABEL as a whole ("not a number", "out of
// range", "must be greater than zero"), empty when it can be typed and judged by the dialog.
std::string FieldValueProblem(const std::string& label, const std::string& value);

// Answers one dialog model (what the installed front end does for each dialog); exposed for tests.
int AnswerDialog(platform::DialogModel& model, const DialogAnswers& answers, std::ostream* trace,
                 DialogProblems& problems);

}  // namespace app
