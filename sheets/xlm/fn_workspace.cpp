// Workspace, status bar, title, macro error checking, ESC key, sheet hooks and the special
// functions of the C interface (xlFree, xlAbort, xlGetHwnd, xlGetName, messages on and off).
#include <time.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/fileutil.h"
#include "platform/windows.h"
#include "sheets/xlm/functions.h"

namespace xlm {

int DocumentCoerce(Call& c);  // fn_documents.cpp: values of references

namespace {

// With QUELSTAT_TIMING set, every change of the status bar text is written to standard error with a
// monotonic clock reading ("quelstat-timing: 81234.5 ms status \"...\""), so that a benchmark can split
// a command into the phases the status bar names. The command line stamps its own phases the same way.
bool TimingTrace() {
  static const bool on = std::getenv("QUELSTAT_TIMING") != nullptr;
  return on;
}

void TraceTime(const std::string& what) {
  struct timespec now {};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  std::fprintf(stderr, "quelstat-timing: %.1f ms %s\n", now.tv_sec * 1e3 + now.tv_nsec / 1e6, what.c_str());
  std::fflush(stderr);
}

int GetWorkspace(Call& c) {
  std::optional<double> type = Number(c.Arg(0));
  if (!type) return c.Fail();
  Host& h = c.host;
  switch (static_cast<int>(*type)) {
    case 1: SetText(c.result, "Linux"); break;                             // the environment
    case 2: SetText(c.result, h.VersionText()); break;                     // the version, "8.0"
    case 3: SetNumber(c.result, 0); break;                                 // fixed decimals: none
    case 10: SetNumber(c.result, 1); break;                                // a pointing device is present
    case 13: SetNumber(c.result, h.Options().screenWidth * 0.75); break;   // workspace width (points)
    case 14: SetNumber(c.result, h.Options().screenHeight * 0.75); break;  // workspace height
    case 26: SetText(c.result, h.UserName()); break;                       // the user's name
    case 40: SetBool(c.result, h.screenUpdating); break;                   // screen updating
    default: SetError(c.result, XLERR_VALUE);
  }
  return XLRET_SUCCESS;
}

// APP.MOVE(x, y) and APP.SIZE(width, height): the application window, in points; a missing
// argument keeps that coordinate. The host keeps the window in pixels (a point is 3/4 pixel).
int AppMove(Call& c) {
  std::optional<double> x = Number(c.Arg(0)), y = Number(c.Arg(1));
  if ((c.Has(0) && !x) || (c.Has(1) && !y)) return c.Refuse();
  if (x) c.host.appWindow.left = static_cast<int>(*x / 0.75 + 0.5);
  if (y) c.host.appWindow.top = static_cast<int>(*y / 0.75 + 0.5);
  return c.Done();
}

int AppSize(Call& c) {
  std::optional<double> w = Number(c.Arg(0)), h = Number(c.Arg(1));
  if ((c.Has(0) && !(w && *w > 0)) || (c.Has(1) && !(h && *h > 0))) return c.Refuse();
  if (w) c.host.appWindow.width = static_cast<int>(*w / 0.75 + 0.5);
  if (h) c.host.appWindow.height = static_cast<int>(*h / 0.75 + 0.5);
  return c.Done();
}

// ERROR(enable): macro error checking on or off.
int Error(Call& c) {
  std::optional<bool> on = Bool(c.Arg(0));
  if (!on) return c.Fail();
  c.host.errorChecking = *on;
  return c.Done();
}

// CANCEL.KEY(mode): 0 ESC ignored, 1 ESC interrupts, 2 ESC is trapped.
int CancelKey(Call& c) {
  std::optional<double> mode = Number(c.Arg(0));
  c.host.cancelKeyMode = mode ? static_cast<int>(*mode) : 1;
  return c.Done();
}

// ECHO(state): screen updating; without an argument it toggles.
int Echo(Call& c) {
  std::optional<bool> on = Bool(c.Arg(0));
  c.host.screenUpdating = on ? *on : !c.host.screenUpdating;
  return c.Done();
}

// MESSAGE(show, text): the status bar.
int Message(Call& c) {
  std::optional<bool> show = Bool(c.Arg(0));
  if (!show) return c.Fail();
  c.host.statusShown = *show;
  std::string text = *show ? Text(c.Arg(1)).value_or(Display(c.Arg(1))) : std::string();
  if (TimingTrace() && text != c.host.statusText) TraceTime("status \"" + text + "\"");
  c.host.statusText = text;
  return c.Done();
}

// APP.TITLE(text): the application title; without text the default comes back.
int AppTitle(Call& c) {
  c.host.appTitle = c.Has(0) ? Text(c.Arg(0)).value_or(std::string()) : std::string();
  platform::SetWindowText(c.host.MainWindow(), c.host.Title());
  return c.Done();
}

// ON.SHEET(sheet, macro, activate): runs a macro when a sheet is activated (activate TRUE or
// missing) or deactivated. Without a sheet it applies to every sheet; an empty or missing
// macro text removes the hook.
int OnSheet(Call& c) {
  std::string macro = Text(c.Arg(1)).value_or(std::string());
  bool activate = c.Has(2) ? Bool(c.Arg(2)).value_or(true) : true;
  if (!c.Has(0)) {
    (activate ? c.host.onSheetActivated : c.host.onSheetDeactivated) = macro;
  } else {
    std::optional<std::string> sheet = Text(c.Arg(0));
    if (!sheet) return c.Fail();
    auto& hooks = activate ? c.host.sheetActivated : c.host.sheetDeactivated;
    if (macro.empty())
      hooks.erase(*sheet);
    else
      hooks[*sheet] = macro;
  }
  return c.Done();
}

int Free(Call& c) {
  for (const XLOPER* v : c.args) FreeValue(const_cast<XLOPER*>(v));
  return XLRET_SUCCESS;
}

// Milliseconds each ESC check waits, from QUELSTAT_SLOW_ESC_MS (0 when unset): a test setting that
// makes a computation slow enough for Ctrl-C to land inside it.
long SlowEscMilliseconds() {
  static const long ms = [] {
    const char* text = std::getenv("QUELSTAT_SLOW_ESC_MS");
    long v = text ? std::strtol(text, nullptr, 10) : 0;
    return v > 0 && v <= 60000 ? v : 0L;
  }();
  return ms;
}

// xlAbort(retain): whether ESC was pressed since the last check; FALSE as argument clears it.
int Abort(Call& c) {
  if (long ms = SlowEscMilliseconds()) {
    struct timespec wait {
      ms / 1000, (ms % 1000) * 1000000L
    };
    ::nanosleep(&wait, nullptr);  // a signal ends the wait early; the check below sees it
  }
  if (g_escSignal) {
    g_escSignal = 0;
    c.host.escPending = true;
  }
  bool pressed = c.host.escPending;
  if (c.Has(0) && !Bool(c.Arg(0)).value_or(true)) c.host.escPending = false;
  SetBool(c.result, pressed);
  return XLRET_SUCCESS;
}

// xlGetHwnd: the low 16 bits of the main window's handle.
int GetHwnd(Call& c) {
  SetInt(c.result, static_cast<int>(c.host.MainWindow() & 0xFFFF));
  return XLRET_SUCCESS;
}

// xlGetName: the full path of the calling add-in.
int GetName(Call& c) {
  AddIn* a = c.host.Caller();
  if (!a) return c.Refuse();
  SetText(c.result, a->path);
  return XLRET_SUCCESS;
}

int EnableMsgs(Call& c) {
  if (c.host.excelMsgsDisabled > 0) --c.host.excelMsgsDisabled;
  return XLRET_SUCCESS;
}

int DisableMsgs(Call& c) {
  ++c.host.excelMsgsDisabled;
  return XLRET_SUCCESS;
}

// xlCoerce(value, types): conversion between scalar types. References are the sheet engine's
// (see fn_documents.cpp), which handles them before this.
int CoerceScalar(Call& c) {
  const XLOPER* v = c.Arg(0);
  int wanted = c.Has(1) ? static_cast<int>(Number(c.Arg(1)).value_or(0)) : 0;
  if (!wanted) wanted = XLTYPE_NUM | XLTYPE_STR | XLTYPE_BOOL | XLTYPE_ERR | XLTYPE_INT;
  int type = TypeOf(v);
  if (type & wanted) {
    CopyValue(c.result, v);
    return XLRET_SUCCESS;
  }
  if (type == XLTYPE_REF || type == XLTYPE_SREF) return DocumentCoerce(c);
  if (type == XLTYPE_MULTI) {
    if (v->val.array.rows * v->val.array.columns < 1) return c.Refuse();
    Call inner = c;
    inner.args = {&v->val.array.lparray[0], c.Arg(1)};
    return CoerceScalar(inner);
  }
  if (type == XLTYPE_MISSING || type == XLTYPE_NIL) {
    if (wanted & XLTYPE_NUM) {
      SetNumber(c.result, 0);
      return XLRET_SUCCESS;
    }
    if (wanted & XLTYPE_STR) {
      SetText(c.result, "");
      return XLRET_SUCCESS;
    }
    if (wanted & XLTYPE_BOOL) {
      SetBool(c.result, false);
      return XLRET_SUCCESS;
    }
    return c.Refuse();
  }
  if (wanted & XLTYPE_STR && (type == XLTYPE_NUM || type == XLTYPE_BOOL || type == XLTYPE_INT || type == XLTYPE_ERR)) {
    SetText(c.result, Display(v));
    return XLRET_SUCCESS;
  }
  if (wanted & (XLTYPE_NUM | XLTYPE_INT)) {
    double n;
    if (std::optional<double> d = Number(v)) {
      n = *d;
    } else if (std::optional<std::string> s = Text(v)) {
      char* end = nullptr;
      n = std::strtod(s->c_str(), &end);
      if (s->empty() || (end && *end)) return c.Refuse();
    } else {
      return c.Refuse();
    }
    if (wanted & XLTYPE_NUM)
      SetNumber(c.result, n);
    else
      SetInt(c.result, static_cast<int>(std::lround(n)));
    return XLRET_SUCCESS;
  }
  if (wanted & XLTYPE_BOOL) {
    if (std::optional<bool> b = Bool(v)) {
      SetBool(c.result, *b);
      return XLRET_SUCCESS;
    }
    if (std::optional<std::string> s = Text(v)) {
      if (platform::EqualNoCase(*s, "TRUE")) {
        SetBool(c.result, true);
        return XLRET_SUCCESS;
      }
      if (platform::EqualNoCase(*s, "FALSE")) {
        SetBool(c.result, false);
        return XLRET_SUCCESS;
      }
    }
  }
  return c.Refuse();
}

}  // namespace

void AddWorkspaceFunctions(FunctionTable& t) {
  t[XLF_GET_WORKSPACE] = GetWorkspace;
  t[XLC_ERROR] = Error;
  t[XLF_CANCEL_KEY] = CancelKey;
  t[XLC_ECHO] = Echo;
  t[XLC_MESSAGE] = Message;
  t[XLF_APP_TITLE] = AppTitle;
  t[XLC_ON_SHEET] = OnSheet;
  t[XLC_APP_MOVE] = AppMove;
  t[XLC_APP_SIZE] = AppSize;
  t[xlFree] = Free;
  t[xlAbort] = Abort;
  t[xlGetHwnd] = GetHwnd;
  t[xlGetName] = GetName;
  t[xlEnableXLMsgs] = EnableMsgs;
  t[xlDisableXLMsgs] = DisableMsgs;
  t[xlCoerce] = CoerceScalar;
}

}  // namespace xlm
