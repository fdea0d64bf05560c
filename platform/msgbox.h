// Message boxes. A front end installs the handler that shows them; without one the message is
// printed to standard error as "CAPTION: TEXT" and answered with the first button (OK, Yes,
// Retry, Abort), as a person pressing Enter would.
#pragma once

#include <functional>
#include <string>

namespace platform {

// Button styles and answers, numbered as on Windows.
constexpr unsigned MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_ABORTRETRYIGNORE = 0x2, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4,
                   MB_RETRYCANCEL = 0x5, MB_TYPEMASK = 0xF;
constexpr unsigned MB_ICONERROR = 0x10, MB_ICONQUESTION = 0x20, MB_ICONWARNING = 0x30, MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7;

using MessageBoxHandler =
    std::function<int(const std::string& caption, const std::string& text, unsigned style, unsigned helpId)>;

// Installs a handler (an empty one restores the default); returns the previous one.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
int MessageBox(const std::string& caption, const std::string& text, unsigned style = MB_OK, unsigned helpId = 0);
// The answer of the first button of a style (the default answer).
int DefaultAnswer(unsigned style);

}  // namespace platform
