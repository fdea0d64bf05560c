// The host application state behind MdCallBack: loaded add-ins and their registered procedures,
// menu bars, toolbars, the status bar, the title, sheet hooks and the workspace settings.
//
// Single-threaded: add-in exports are called one at a time from the host's own thread; they may
// call back into the host (MdCallBack) and the host may call exports again while one runs.
#pragma once

#include <csignal>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/windows.h"
#include "sheets/xlm/documents.h"
#include "xll/xlcall.h"

namespace xlm {

class Documents;

// Set from a signal handler when the user presses the ESC key (Ctrl-C on a terminal).
extern volatile std::sig_atomic_t g_escSignal;

// ---- menus and toolbars ----

struct MenuNode {
  std::string text;    // with its '&'; "-" for a separator
  std::string macro;   // command items: the macro text run when chosen
  std::string status;  // status-bar text
  std::string help;    // help reference
  bool enabled = true;
  bool builtin = false;  // the host's own menus
  bool popup = false;    // a menu or submenu (holds children)
  std::vector<MenuNode> children;

  bool IsSeparator() const { return !popup && text == "-"; }
};

struct MenuBar {
  int id = 0;
  std::string name;
  std::vector<MenuNode> menus;
};

struct ToolButton {
  std::string text;  // tooltip text; empty for a separator
  std::string macro;
  bool enabled = true;
  bool separator = false;
};

struct Toolbar {
  std::string name;
  std::vector<ToolButton> buttons;  // positions are 1-based, separators counted
  bool visible = false;
  int dock = 5;  // 1 top, 2 left, 3 right, 4 bottom, 5 floating
  double x = 0, y = 0, width = 0;
  bool builtin = false;
};

// Command id of a "NAME(id)" macro text, or nothing.
std::optional<long> CommandIdOf(const std::string& macro);
// Menu text without '&' markers ("&&" stays a single '&').
std::string StripAmpersands(const std::string& text);

// ---- add-ins ----

struct AddIn {
  std::string path;
  void* handle = nullptr;
  bool opened = false;  // xlAutoOpen has run
};

struct Registered {
  double id = 0;
  AddIn* addin = nullptr;
  std::string procedure;
  std::string typeText;
  std::string functionText;  // the name formulas and macros call it by; may be empty
  int macroType = 0;         // 0 hidden, 1 function, 2 command
  void* entry = nullptr;
  bool named = true;  // false once SET.NAME deleted the function text
};

struct HostOptions {
  int excelVersion = 8;
  std::string userName;         // empty: the login name
  std::string language = "en";  // names of the application's own menus: "en" or "de"
  int screenWidth = 1280;
  int screenHeight = 1024;
};

class Host {
 public:
  // The single host of the process (made on first use with default options).
  static Host& Get();
  static void Reset(const HostOptions& options);  // for the program start and for tests
  // Ends the host: add-ins closed, running instance withdrawn, windows destroyed.
  static void Shutdown();

  explicit Host(const HostOptions& options);
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  const HostOptions& Options() const { return options_; }
  int ExcelVersion() const { return options_.excelVersion; }
  std::string VersionText() const;  // "8.0"
  std::string UserName() const;

  // -- add-ins --
  // Loads an add-in with dlopen and calls its xlAutoOpen. Returns null with a message in `error`.
  AddIn* LoadAddIn(const std::string& path, std::string& error);
  AddIn* FindAddIn(const std::string& path);
  // Calls xlAutoClose of every add-in (last loaded first) and unloads them.
  void UnloadAll();
  const std::vector<std::unique_ptr<AddIn>>& AddIns() const { return addins_; }
  // Calls an export of an add-in (no arguments, int result) with the add-in as current caller.
  std::optional<int> CallAuto(AddIn* addin, const char* name);
  // The add-in whose code is running now (innermost), or null.
  AddIn* Caller() const { return callers_.empty() ? nullptr : callers_.back(); }

  // -- registration --
  double Register(AddIn* addin, const std::string& procedure, const std::string& typeText,
                  const std::string& functionText, int macroType, std::string& error);
  const Registered* FindRegistered(const std::string& functionText) const;
  const Registered* FindRegisteredId(double id) const;
  bool DeleteName(const std::string& functionText);
  // Calls a registered procedure with argument values; the result is made with the host's
  // allocator (the add-in's own result is copied and handed back with xlAutoFree).
  bool CallRegistered(const Registered& r, const std::vector<const XLOPER*>& args, XLOPER* result, std::string& error);

  // -- macro evaluation --
  // Evaluates "NAME(arg, ...)" (numbers, "texts", TRUE/FALSE, empty arguments) by calling the
  // registered function. False with a message when the text cannot be evaluated.
  bool Evaluate(const std::string& text, XLOPER* result, std::string& error);
  // Runs a menu or toolbar macro: evaluates it and, when the value is the register id of a
  // registered command, runs that command (xlPreExecuteCommand, then xlExecuteCommand).
  bool RunMacro(const std::string& text, std::string& error);

  // -- menus and toolbars --
  std::vector<MenuBar>& Bars() { return bars_; }
  MenuBar* FindBar(int id);
  std::vector<Toolbar>& Toolbars() { return toolbars_; }
  Toolbar* FindToolbar(const std::string& name);
  // Reads a toolbar file; false with a message when it cannot be read.
  bool LoadToolbarFile(const std::string& path, std::string& error);
  // The bar shown now: 10 with a workbook open, 3 without (as the application's menu bar).
  int ActiveBarId() const;
  // Finds the command item whose macro runs the command id (in the shown bar first).
  const MenuNode* FindCommand(long id, int* barId = nullptr) const;
  void PrintMenus(std::ostream& out) const;

  // -- workspace state --
  std::string appTitle;  // empty: the default title
  std::string statusText;
  bool statusShown = false;
  bool screenUpdating = true;
  int cancelKeyMode = 1;
  bool errorChecking = true;
  bool escPending = false;
  std::string onSheetActivated, onSheetDeactivated;   // hooks for every sheet
  std::map<std::string, std::string> sheetActivated;  // hooks for one sheet (by "[Book]Sheet")
  std::map<std::string, std::string> sheetDeactivated;
  std::map<std::string, bool> commandBarEnabled;  // automation command bars ("Chart")
  int excelMsgsDisabled = 0;
  // The application window in pixels (APP.MOVE, APP.SIZE); it starts filling the screen.
  struct WindowRect {
    int left = 0, top = 0, width = 0, height = 0;
  } appWindow;

  std::string Title() const;
  platform::WindowHandle MainWindow() const { return mainWindow_; }
  // Publishes this host as the running application object; false when another live host of the
  // same settings folder and version already is.
  bool PublishRunningInstance();
  bool IsRunningInstance() const { return published_; }

  // Where the host's own reports of trouble go (standard error by default).
  std::function<void(const std::string&)> report;

  // -- workbooks (installed by the sheet engine's glue) --
  Documents* documents = nullptr;
  std::unique_ptr<Documents> ownedDocuments;  // closed after the add-ins

 private:
  HostOptions options_;
  std::vector<std::unique_ptr<AddIn>> addins_;
  std::vector<AddIn*> callers_;
  std::vector<Registered> registered_;
  double nextRegisterId_ = 1;
  std::vector<MenuBar> bars_;
  std::vector<Toolbar> toolbars_;
  platform::WindowHandle mainWindow_ = 0;
  bool published_ = false;

  friend struct CallerScope;
};

// Marks an add-in as the running code for the scope's life.
struct CallerScope {
  Host& host;
  CallerScope(Host& h, AddIn* a) : host(h) { host.callers_.push_back(a); }
  ~CallerScope() {
    host.callers_.pop_back();
    if (host.callers_.empty() && host.documents) host.documents->SettleWrites();
  }
};

}  // namespace xlm

// The host's entry point for add-ins (exported by the program).
extern "C" int MdCallBack(int xlfn, int coper, XLOPER** rgpxloper, XLOPER* xloperRes);
