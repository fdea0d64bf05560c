// Failures of the installer travel as exceptions derived from ExceptionX; each carries the
// text to show and, when it came from the string table, the string's number.
#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>

#include "setup/res/strings.h"

namespace quelstat::setup {

class ExceptionX : public std::runtime_error {
public:
    explicit ExceptionX(const std::string& text, int id = 0) : std::runtime_error(text), id_(id) {}
    ExceptionX(int id, std::initializer_list<std::string> args) : std::runtime_error(formatString(id, args)), id_(id) {}
    int id() const { return id_; }

private:
    int id_;
};

class memoryException : public ExceptionX {
public:
    memoryException() : ExceptionX(IDS_ERR_MEMORY, {}) {}
};

// A failure of the system: files, folders, processes. The text names the system's reason.
class systemException : public ExceptionX {
public:
    using ExceptionX::ExceptionX;
};

class windowException : public ExceptionX {
public:
    windowException() : ExceptionX(IDS_ERR_DIALOG, {}) {}
};

class resourceException : public ExceptionX {
public:
    using ExceptionX::ExceptionX;
};

// The system's text for the last error (errno).
std::string lastErrorText();

}  // namespace quelstat::setup
