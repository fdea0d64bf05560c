// Resource strings, message formatting, raising and showing messages.
//
// A message is a string-table entry with "%1" to "%9" standing for the caller's arguments and "%%" for
// a percent sign. The caller passes its arguments with a printf-style format, one conversion per
// argument: FormatMessage(6004, "%s%d%d", "Confidence interval", 1, 99).
#pragma once

#include <cstdarg>
#include <string>

#include "addin/host/exceptions.h"
#include "addin/host/shared.h"

namespace qs {

constexpr size_t kMessageLimit = 1024;  // formatted messages are cut to this many bytes (UTF-8 safe)

// Message box styles and answers.
enum : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_ABORTRETRYIGNORE = 0x2,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_RETRYCANCEL = 0x5,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

// The string with this id; empty when the table has none.
CSharedString LoadString(unsigned id);

// Replaces %1..%9 in `message` by the texts of `args` (a list separated by the byte 0xAC, the first
// entry before the first separator being ignored), and %% by %. Exposed for tests.
std::string SubstituteArguments(std::string_view message, std::string_view args);

// The message `id` with the arguments formatted by `fmt` (may be null for none).
CSharedString FormatMessageV(unsigned id, const char* fmt, va_list ap);
CSharedString FormatMessage(unsigned id, const char* fmt = nullptr, ...);
// Same, with the first character upper-cased, as an error shows it.
CSharedString FormatError(unsigned id, const char* fmt = nullptr, ...);

// A CStdException with the formatted error text and `id` as help id (for `throw MakeMessage(...)`).
CStdException* MakeMessage(unsigned id, const char* fmt = nullptr, ...);
[[noreturn]] void ThrowMessage(unsigned id, const char* fmt = nullptr, ...);

// Shows the add-in's message box (inside a state scope with no status message, ESC off and screen
// updating on). True for OK, Yes and Retry.
bool ShowText(const CSharedString& text, unsigned style = MB_OK | MB_ICONWARNING, unsigned helpId = 0);
bool ShowMessage(unsigned id, unsigned style = MB_OK | MB_ICONWARNING, const char* fmt = nullptr, ...);
// Shows an exception's text (and help id for a CStdException). Does not delete it.
bool ShowException(const CException* e, unsigned style = MB_OK | MB_ICONWARNING);

// The exception being handled, as the add-in's own: called inside a `catch (...)`, it returns the
// CException* that was thrown, or makes one for anything else: the numerics' NumericsError gives
// its text ("error in iterative routine"), std::bad_alloc the memory exception, any other
// exception message 57604 with its text (and a log entry). The caller owns it (Delete()).
CException* CaughtException();

// The front end that shows message boxes. The default writes "Quelstat: TEXT" to standard error and
// answers with the box's first button. The host's dialog service replaces it.
using MessageBoxFrontEnd = int (*)(const char* text, unsigned style, unsigned helpId);
MessageBoxFrontEnd SetMessageBoxFrontEnd(MessageBoxFrontEnd frontEnd);
int DefaultMessageBox(const char* text, unsigned style, unsigned helpId);

}  // namespace qs
