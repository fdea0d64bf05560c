// The one wrapper around Excel4v and the typed calls built on it. Every failure raises: an aborted or
// uncalculated call raises CMemoryException, any other failing return code an XlException (#N/A)
// whose text names the function, the arguments and the result received.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "addin/host/shared.h"
#include "addin/host/xlvalue.h"

namespace qs {

// One argument of a call: a value (kept by reference, or made from a number, text or boolean), or a
// missing argument (nullptr).
class XlArg {
public:
    XlArg(std::nullptr_t) {}                                  // NOLINT: missing argument
    XlArg(const XlValue& v) : m_p(&v) {}                      // NOLINT
    XlArg(const XlValue* v) : m_p(v) {}                       // NOLINT
    XlArg(double d) : m_own(d), m_p(&m_own) {}                // NOLINT
    XlArg(int i) : m_own(i), m_p(&m_own) {}                   // NOLINT
    XlArg(bool b) : m_own(XlValue::Bool(b)), m_p(&m_own) {}   // NOLINT
    XlArg(const char* s) : m_own(s), m_p(&m_own) {}           // NOLINT
    XlArg(const std::string& s) : m_own(s), m_p(&m_own) {}    // NOLINT
    XlArg(const CSharedString& s) : m_own(s), m_p(&m_own) {}  // NOLINT
    XlArg(const XlArg&) = delete;
    XlArg& operator=(const XlArg&) = delete;
    const XlValue* get() const { return m_p; }

private:
    XlValue m_own;
    const XlValue* m_p = nullptr;
};

using XlArgs = std::initializer_list<XlArg>;

// The wrapper: calls host function `fn` (the international bit is added unless `fn` is a special
// function) and returns the host's return code when it is success; raises otherwise. `args` holds
// `count` pointers, any of which may be null (missing). At most XL_MAX_ARGS arguments.
int XlCallV(int fn, XlValue* result, int count, const XlValue* const* args);

void XlCall(int fn, XlArgs args = {});
XlValue XlCallResult(int fn, XlArgs args = {});
// The result, or #N/A when the host gave nothing.
XlValue XlCallResultNA(int fn, XlArgs args = {});
// The result as a reference: a text result is turned into one with TEXTREF.
XlValue XlCallRef(int fn, XlArgs args = {});
// The result as text: #N/A gives an empty string; any other non-text result is a failure.
CSharedString XlCallText(int fn, XlArgs args = {});
double XlCallNumber(int fn, XlArgs args = {});
bool XlCallBool(int fn, XlArgs args = {});
int XlCallInt(int fn, XlArgs args = {});
// GET.WINDOW(typeCode): the largest number of the array it gives (13 leftmost columns of the panes,
// 14 top rows of the panes).
int XlHighestPane(int typeCode);
// GET.WINDOW for text: raises message 57502 when the host gives no text.
CSharedString XlGetWindowText(XlArgs args);

// Coerces `value` to one of the types in the mask `types` (XLTYPE_* bits).
XlValue XlCoerce(const XlValue& value, int types);

// Text of a value as failure texts show it.
std::string XlValueText(const XlValue& value);
// The sheet-level names of a sheet ("[Book]Sheet") matching a wildcard pattern, as NAMES lists them.
std::vector<std::string> XlSheetNames(const std::string& sheetKey, const std::string& pattern);
// "Excel function failed: fn=N(args) rv = result" (the rv part only when result is given).
std::string XlFailureText(int fn, int count, const XlValue* const* args, const XlValue* result);

}  // namespace qs
