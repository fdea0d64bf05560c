// A small add-in used to test the host: it registers a command pair in the way menu commands
// reach add-ins (a "PJ" function that stores an id and returns the register id of an "A"
// command), a sheet hook, a worksheet function, and installs a menu.
#include <cstring>
#include <string>

#include "xll/xlcall.h"

namespace {

int g_lastCommand = 0;
int g_storedId = 0;
int g_sheetHooks = 0;
double g_executeId = 0;
std::string g_path;

XLOPER Text(const char* s, unsigned char* buf) {
  std::size_t n = std::strlen(s);
  buf[0] = static_cast<unsigned char>(n);
  std::memcpy(buf + 1, s, n);
  XLOPER v;
  v.val.str = buf;
  v.xltype = XLTYPE_STR;
  return v;
}

XLOPER Num(double d) {
  XLOPER v;
  v.val.num = d;
  v.xltype = XLTYPE_NUM;
  return v;
}

XLOPER Missing() {
  XLOPER v;
  v.xltype = XLTYPE_MISSING;
  return v;
}

template <typename... T>
int Call(int fn, XLOPER* result, T*... a) {
  XLOPER* args[] = {a..., nullptr};
  return Excel4v(fn, result, static_cast<int>(sizeof...(a)), args);
}

double Register(const char* proc, const char* type, const char* fn, int macroType) {
  unsigned char b0[256], b1[256], b2[256], b3[256];
  XLOPER module = Text(g_path.c_str(), b0), p = Text(proc, b1), t = Text(type, b2);
  XLOPER f = Text(fn, b3), empty, mt = Num(macroType);
  unsigned char be[2];
  empty = Text("", be);
  XLOPER* args[6] = {&module, &p, &t, &f, &empty, &mt};
  XLOPER result;
  int count = fn[0] ? 6 : 3;
  if (Excel4v(XLF_REGISTER | XLBIT_INTL, &result, count, args) != XLRET_SUCCESS) return 0;
  return result.val.num;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int xlAutoOpen() {
  XLOPER name;
  if (Excel4v(xlGetName, &name, 0, nullptr) == XLRET_SUCCESS) {
    g_path.assign(reinterpret_cast<char*>(name.val.str + 1), name.val.str[0]);
    Call(xlFree, nullptr, &name);
  }
  Register("tstPreExecute", "PJ", "TEST.COMMAND", 0);
  g_executeId = Register("tstExecute", "A", "", 0);
  Register("tstOnSheet", "A", "TEST.ONSHEET", 0);
  Register("tstState", "RRRR", "TEST.STATE", 1);

  // A menu with one command, before the Window menu.
  unsigned char b0[256], b1[256], b2[256], b3[256], b4[256];
  XLOPER bar = Num(10);
  XLOPER cells[2] = {Text("&Test", b0), Text("", b1)};
  XLOPER table;
  table.val.array.lparray = cells;
  table.val.array.rows = 1;
  table.val.array.columns = 2;
  table.xltype = XLTYPE_MULTI;
  XLOPER pos = Text("&Window", b2);
  XLOPER res;
  Call(XLF_ADD_MENU, &res, &bar, &table, &pos);
  XLOPER row[5] = {Text("&Run...", b3), Text("TEST.COMMAND(77)", b4), Missing(), Missing(), Missing()};
  XLOPER cmd;
  cmd.val.array.lparray = row;
  cmd.val.array.rows = 1;
  cmd.val.array.columns = 5;
  cmd.xltype = XLTYPE_MULTI;
  unsigned char b5[256];
  XLOPER menu = Text("&Test", b5);
  Call(XLF_ADD_COMMAND, &res, &bar, &menu, &cmd);

  // The sheet hook for every sheet.
  unsigned char b6[256];
  XLOPER missing = Missing(), macro = Text("TEST.ONSHEET", b6), on;
  on.val.xbool = 1;
  on.xltype = XLTYPE_BOOL;
  Call(XLC_ON_SHEET, &res, &missing, &macro, &on);
  return 1;
}

__attribute__((visibility("default"))) int xlAutoClose() {
  unsigned char b[256];
  XLOPER name = Text("TEST.COMMAND", b);
  Call(XLF_SET_NAME, nullptr, &name);
  return 1;
}

__attribute__((visibility("default"))) XLOPER* tstPreExecute(int id) {
  static XLOPER result;
  g_storedId = id;
  result = Num(g_executeId);
  return &result;
}

__attribute__((visibility("default"))) short tstExecute() {
  g_lastCommand = g_storedId;
  return 1;
}

__attribute__((visibility("default"))) short tstOnSheet() {
  ++g_sheetHooks;
  return 1;
}

// TEST.STATE(what): 1 the last command run, 2 sheet hooks run, 3 the add-in's own path (text,
// handed back to the add-in for freeing).
__attribute__((visibility("default"))) XLOPER* tstState(XLOPER* what, XLOPER*, XLOPER*) {
  static XLOPER result;
  static unsigned char buf[256];
  int w = (what->xltype & XLTYPE_MASK) == XLTYPE_NUM ? static_cast<int>(what->val.num) : 0;
  if (w == 1)
    result = Num(g_lastCommand);
  else if (w == 2)
    result = Num(g_sheetHooks);
  else if (w == 3) {
    result = Text(g_path.c_str(), buf);
    result.xltype |= XLBIT_DLLFREE;
  } else {
    result.val.err = XLERR_VALUE;
    result.xltype = XLTYPE_ERR;
  }
  return &result;
}

int g_freed = 0;
__attribute__((visibility("default"))) void xlAutoFree(XLOPER*) { ++g_freed; }

}  // extern "C"
