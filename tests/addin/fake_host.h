// A host double for the add-in's unit tests: this test executable exports MdCallBack, so the add-in's
// Excel4v finds it. Every call is recorded as text; answers come from a table of defaults that a test
// can override per function number.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "xll/xlcall.h"

namespace fake {

struct Call {
    int fn;                         // as received (with the 0x2000 bit)
    std::vector<std::string> args;  // texts of the arguments
    std::string Text() const;       // "fn(a, b)"
};

using Answer = std::function<int(int fn, int count, XLOPER** args, XLOPER* result)>;

struct Host {
    std::vector<Call> calls;
    std::map<int, Answer> answers;  // by function number without the 0x2000 bit
    std::string version = "8.0";
    bool screenUpdating = true;
    bool escPressed = false;
    int nextRegisterId = 100;
    int freed = 0;                      // xlFree calls
    int allocated = 0;                  // blocks handed out and not yet freed
    std::vector<std::string> messages;  // message boxes shown

    void Reset();
    // Calls of function `fn` (without the 0x2000 bit).
    std::vector<Call> CallsOf(int fn) const;
    // Texts of all calls in order, one per entry.
    std::vector<std::string> Log() const;
};

Host& host();

// Helpers for answers: host-owned results (freed by xlFree).
void SetText(XLOPER* r, const std::string& text);
void SetNumber(XLOPER* r, double d);
void SetBool(XLOPER* r, bool b);
void SetError(XLOPER* r, int code);
std::string ValueText(const XLOPER& v);

// Installs the fake message box front end, which records texts in host().messages.
void CaptureMessages();

}  // namespace fake
