#include "sheets/xlm/host.h"

#include <dlfcn.h>
#include <pwd.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "platform/fileutil.h"
#include "sheets/xlm/application.h"
#include "sheets/xlm/calc_host.h"
#include "sheets/xlm/values.h"

namespace xlm {

volatile std::sig_atomic_t g_escSignal = 0;

namespace {
std::unique_ptr<Host>& Instance() {
  static std::unique_ptr<Host> host;
  return host;
}

MenuNode BuiltinMenu(const std::string& name) {
  MenuNode m;
  m.text = name;
  m.popup = true;
  m.builtin = true;
  return m;
}
}  // namespace

std::optional<long> CommandIdOf(const std::string& macro) {
  std::size_t open = macro.find('(');
  std::size_t close = macro.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return std::nullopt;
  std::string inside = macro.substr(open + 1, close - open - 1);
  char* end = nullptr;
  long id = std::strtol(inside.c_str(), &end, 10);
  if (inside.empty() || (end && *end)) return std::nullopt;
  return id;
}

std::string StripAmpersands(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += text[i];
  }
  return out;
}

Host& Host::Get() {
  if (!Instance()) Instance() = std::make_unique<Host>(HostOptions{});
  return *Instance();
}

void Host::Shutdown() {
  if (Instance()) Instance()->UnloadAll();
  Instance().reset();
}

void Host::Reset(const HostOptions& options) {
  if (Instance()) Instance()->UnloadAll();
  Instance().reset();
  Instance() = std::make_unique<Host>(options);
}

Host::Host(const HostOptions& options) : options_(options) {
  appWindow = {0, 0, options_.screenWidth, options_.screenHeight};
  report = [](const std::string& text) { std::cerr << "quelstat: " << text << std::endl; };
  // The worksheet menu bar and the bar shown when no workbook is open, with the application's
  // own menus; add-ins add theirs among them.
  // A German installation names them in German (its Help menu is "?").
  bool german = options_.language == "de";
  MenuBar worksheet{10, "Worksheet Menu Bar", {}};
  std::vector<const char*> names = {"&File",  "&Edit", "&View",   "&Insert", "F&ormat",
                                    "&Tools", "&Data", "&Window", "&Help"};
  if (german)
    names = {"&Datei", "&Bearbeiten", "&Ansicht", "&Einf\xC3\xBCgen", "F&ormat", "E&xtras", "Date&n", "&Fenster", "&?"};
  for (const char* m : names) worksheet.menus.push_back(BuiltinMenu(m));
  MenuBar noDocument{3, "No Documents Open", {}};
  for (const char* m : {names[0], names[8]}) noDocument.menus.push_back(BuiltinMenu(m));
  bars_.push_back(std::move(worksheet));
  bars_.push_back(std::move(noDocument));
  for (const char* t : {"Standard", "Formatting", "Chart"}) {
    Toolbar tb;
    tb.name = t;
    tb.builtin = true;
    tb.visible = std::string(t) != "Chart";
    tb.dock = 1;
    toolbars_.push_back(tb);
  }
  commandBarEnabled["Chart"] = true;
  mainWindow_ = platform::CreateWindow(
      "XLMAIN", "", platform::WS_OVERLAPPEDWINDOW,
      [this](platform::WindowHandle, std::uint32_t msg, std::uintptr_t, std::intptr_t) -> std::intptr_t {
        // WM_USER + 18 asks the application to publish itself as the running object.
        if (msg == platform::WM_USER + 18) return PublishRunningInstance() ? 1 : 0;
        return 0;
      });
  platform::SetWindowText(mainWindow_, Title());
}

Host::~Host() {
  UnloadAll();
  if (published_) RevokeApplication(*this);
  if (mainWindow_) platform::DestroyWindow(mainWindow_);
}

std::string Host::VersionText() const { return std::to_string(options_.excelVersion) + ".0"; }

std::string Host::UserName() const {
  if (!options_.userName.empty()) return options_.userName;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name) return pw->pw_name;
  if (const char* u = std::getenv("USER")) return u;
  return "user";
}

std::string Host::Title() const { return appTitle.empty() ? "Microsoft Excel" : appTitle; }

bool Host::PublishRunningInstance() {
  if (!published_) published_ = PublishApplication(*this);
  return published_;
}

// ---------------------------------------------------------------- add-ins

AddIn* Host::FindAddIn(const std::string& path) {
  for (auto& a : addins_)
    if (a->path == path) return a.get();
  return nullptr;
}

AddIn* Host::LoadAddIn(const std::string& path, std::string& error) {
  if (AddIn* a = FindAddIn(path)) return a;
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* e = ::dlerror();
    error = "cannot load the add-in " + path + ": " + (e ? e : "unknown error");
    return nullptr;
  }
  if (!::dlsym(handle, "xlAutoOpen")) {
    error = path + " is not an add-in: it has no xlAutoOpen";
    ::dlclose(handle);
    return nullptr;
  }
  auto addin = std::make_unique<AddIn>();
  addin->path = path;
  addin->handle = handle;
  AddIn* a = addin.get();
  addins_.push_back(std::move(addin));
  CallAuto(a, "xlAutoOpen");
  a->opened = true;
  return a;
}

std::optional<int> Host::CallAuto(AddIn* addin, const char* name) {
  auto fn = reinterpret_cast<XlAutoProc>(::dlsym(addin->handle, name));
  if (!fn) return std::nullopt;
  CallerScope scope(*this, addin);
  return fn();
}

void Host::UnloadAll() {
  while (!addins_.empty()) {
    AddIn* a = addins_.back().get();
    if (a->opened) CallAuto(a, "xlAutoClose");
    std::erase_if(registered_, [a](const Registered& r) { return r.addin == a; });
    ::dlclose(a->handle);
    addins_.pop_back();
  }
}

// ---------------------------------------------------------------- registration

double Host::Register(AddIn* addin, const std::string& procedure, const std::string& typeText,
                      const std::string& functionText, int macroType, std::string& error) {
  if (!addin) {
    error = "REGISTER called from no add-in";
    return 0;
  }
  void* entry = ::dlsym(addin->handle, procedure.c_str());
  if (!entry) {
    error = "the add-in " + addin->path + " does not export " + procedure;
    return 0;
  }
  if (typeText.empty()) {
    error = "REGISTER of " + procedure + " without a type text";
    return 0;
  }
  // Registering the same procedure again keeps its id and takes the new texts.
  for (Registered& r : registered_)
    if (r.addin == addin && r.procedure == procedure) {
      r.typeText = typeText;
      r.functionText = functionText;
      r.macroType = macroType;
      r.entry = entry;
      r.named = !functionText.empty();
      return r.id;
    }
  Registered r;
  r.id = nextRegisterId_++;
  r.addin = addin;
  r.procedure = procedure;
  r.typeText = typeText;
  r.functionText = functionText;
  r.macroType = macroType;
  r.entry = entry;
  r.named = !functionText.empty();
  registered_.push_back(r);
  return r.id;
}

const Registered* Host::FindRegistered(const std::string& functionText) const {
  for (const Registered& r : registered_)
    if (r.named && platform::EqualNoCase(r.functionText, functionText)) return &r;
  return nullptr;
}

const Registered* Host::FindRegisteredId(double id) const {
  for (const Registered& r : registered_)
    if (r.id == id) return &r;
  return nullptr;
}

bool Host::DeleteName(const std::string& functionText) {
  bool found = false;
  for (Registered& r : registered_)
    if (r.named && platform::EqualNoCase(r.functionText, functionText)) {
      r.named = false;
      found = true;
    }
  return found;
}

namespace {

// Calls `entry` with arguments typed by the letters of a type text: J is an int, P and R a
// value pointer. Up to four arguments.
using ArgSlot = std::pair<int, XLOPER*>;

template <typename R, typename... A>
R CallWith(void* entry, A... a) {
  return reinterpret_cast<R (*)(A...)>(entry)(a...);
}

template <typename R, typename... A>
R Build(void* entry, const std::string& letters, std::size_t i, const std::vector<ArgSlot>& args, A... a) {
  if constexpr (sizeof...(A) < 4) {
    if (i < letters.size()) {
      if (letters[i] == 'J') return Build<R>(entry, letters, i + 1, args, a..., args[i].first);
      return Build<R>(entry, letters, i + 1, args, a..., args[i].second);
    }
  }
  return CallWith<R>(entry, a...);
}

}  // namespace

bool Host::CallRegistered(const Registered& r, const std::vector<const XLOPER*>& args, XLOPER* result,
                          std::string& error) {
  std::string letters = r.typeText.substr(1);
  char resultType = r.typeText[0];
  if (letters.size() > 4 || letters.find_first_not_of("JPR") != std::string::npos ||
      std::string("AJPR").find(resultType) == std::string::npos) {
    error = "the type text " + r.typeText + " of " + r.procedure + " is not supported";
    return false;
  }
  // Arguments the caller left out are passed as missing values.
  std::vector<XLOPER> storage(letters.size());
  std::vector<ArgSlot> slots(letters.size());
  for (std::size_t i = 0; i < letters.size(); ++i) {
    const XLOPER* a = i < args.size() ? args[i] : nullptr;
    if (letters[i] == 'J') {
      std::optional<double> n = Number(a);
      if (!n) {
        SetError(result, XLERR_VALUE);
        return true;
      }
      slots[i].first = static_cast<int>(*n);
    } else {
      if (a)
        storage[i] = *a;
      else
        SetMissing(&storage[i]);
      slots[i].second = &storage[i];
    }
  }
  CallerScope scope(*this, r.addin);
  switch (resultType) {
    case 'A': {
      short s = Build<short>(r.entry, letters, 0, slots);
      SetBool(result, s != 0);
      break;
    }
    case 'J': {
      int n = Build<int>(r.entry, letters, 0, slots);
      SetNumber(result, n);
      break;
    }
    default: {
      XLOPER* v = Build<XLOPER*>(r.entry, letters, 0, slots);
      if (!v) {
        SetError(result, XLERR_NUM);
        break;
      }
      CopyValue(result, v);
      if (v->xltype & XLBIT_DLLFREE) {
        if (auto freeFn = reinterpret_cast<XlAutoFreeProc>(::dlsym(r.addin->handle, "xlAutoFree"))) freeFn(v);
      }
    }
  }
  return true;
}

// ---------------------------------------------------------------- evaluation

namespace {

struct Parser {
  const std::string& s;
  std::size_t pos = 0;
  void Skip() {
    while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
  }
  bool Eat(char c) {
    Skip();
    if (pos < s.size() && s[pos] == c) {
      ++pos;
      return true;
    }
    return false;
  }
  std::string Name() {
    Skip();
    std::size_t b = pos;
    while (pos < s.size() && (std::isalnum(static_cast<unsigned char>(s[pos])) || s[pos] == '.' || s[pos] == '_'))
      ++pos;
    return s.substr(b, pos - b);
  }
  // One argument; false on a syntax error. An empty argument is missing.
  bool Arg(XLOPER& out) {
    Skip();
    if (pos >= s.size()) return false;
    char c = s[pos];
    if (c == ',' || c == ')') {
      SetMissing(&out);
      return true;
    }
    if (c == '"') {
      std::string text;
      ++pos;
      for (;;) {
        if (pos >= s.size()) return false;
        if (s[pos] == '"') {
          if (pos + 1 < s.size() && s[pos + 1] == '"') {
            text += '"';
            pos += 2;
            continue;
          }
          ++pos;
          break;
        }
        text += s[pos++];
      }
      SetText(&out, text);
      return true;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.') {
      const char* start = s.c_str() + pos;
      char* end = nullptr;
      double d = std::strtod(start, &end);
      if (end == start) return false;
      pos += static_cast<std::size_t>(end - start);
      SetNumber(&out, d);
      return true;
    }
    std::string word = Name();
    if (platform::EqualNoCase(word, "TRUE"))
      SetBool(&out, true);
    else if (platform::EqualNoCase(word, "FALSE"))
      SetBool(&out, false);
    else
      return false;
    return true;
  }
};

}  // namespace

bool Host::Evaluate(const std::string& text, XLOPER* result, std::string& error) {
  // A call of a registered function or command with constant arguments goes straight to it (macros
  // run so); anything else is a formula for the calculation engine.
  std::string body = text;
  if (!body.empty() && body[0] == '=') body.erase(0, 1);
  Parser p{body};
  std::string name = p.Name();
  p.Skip();
  const Registered* r = name.empty() ? nullptr : FindRegistered(name);
  if (r && p.pos == body.size()) {
    // A macro named without parentheses (as sheet hooks name theirs) runs with no arguments.
    Registered copy = *r;
    return CallRegistered(copy, {}, result, error);
  }
  std::vector<XLOPER> values;
  bool call = r && p.Eat('(');
  if (call && !p.Eat(')')) {
    for (;;) {
      XLOPER v;
      if (!p.Arg(v)) {
        call = false;
        break;
      }
      values.push_back(v);
      if (p.Eat(',')) continue;
      if (!p.Eat(')')) call = false;
      break;
    }
  }
  p.Skip();
  bool ok = true;
  if (call && p.pos == body.size()) {
    std::vector<const XLOPER*> args;
    for (XLOPER& v : values) args.push_back(&v);
    Registered copy = *r;  // the call may register or delete names
    ok = CallRegistered(copy, args, result, error);
  } else {
    ok = EvaluateFormula(body, result, error);
  }
  for (XLOPER& x : values) FreeValue(&x);
  return ok;
}

bool Host::RunMacro(const std::string& text, std::string& error) {
  HostValue v;
  if (!Evaluate(text, &v.v, error)) return false;
  if (TypeOf(&v.v) == XLTYPE_ERR) {
    error = "the macro " + text + " gave " + ErrorText(v.v.val.err);
    return false;
  }
  if (TypeOf(&v.v) == XLTYPE_NUM) {
    // The value names a registered command to run now.
    if (const Registered* cmd = FindRegisteredId(v.v.val.num)) {
      Registered copy = *cmd;
      HostValue done;
      return CallRegistered(copy, {}, &done.v, error);
    }
    if (v.v.val.num == 0) {
      error = "the macro " + text + " names no command";
      return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------- menus

MenuBar* Host::FindBar(int id) {
  for (MenuBar& b : bars_)
    if (b.id == id) return &b;
  return nullptr;
}

Toolbar* Host::FindToolbar(const std::string& name) {
  for (Toolbar& t : toolbars_)
    if (platform::EqualNoCase(t.name, name)) return &t;
  return nullptr;
}

int Host::ActiveBarId() const { return 10; }

namespace {
const MenuNode* FindIn(const MenuNode& node, long id) {
  for (const MenuNode& c : node.children) {
    if (c.popup) {
      if (const MenuNode* f = FindIn(c, id)) return f;
    } else if (!c.IsSeparator() && CommandIdOf(c.macro) == id) {
      return &c;
    }
  }
  return nullptr;
}

void PrintNode(std::ostream& out, const MenuNode& n, int depth) {
  std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
  if (n.IsSeparator()) {
    out << indent << "----\n";
    return;
  }
  if (n.popup) {
    out << indent << n.text << (n.builtin ? "" : "  >") << "\n";
    for (const MenuNode& c : n.children) PrintNode(out, c, depth + 1);
    return;
  }
  std::ostringstream line;
  line << indent << n.text;
  std::string left = line.str();
  if (left.size() < 44) left += std::string(44 - left.size(), ' ');
  std::optional<long> id = CommandIdOf(n.macro);
  out << left << ' ' << std::setw(6) << (id ? std::to_string(*id) : std::string("-")) << "  "
      << (n.enabled ? "enabled" : "disabled") << "\n";
}
}  // namespace

const MenuNode* Host::FindCommand(long id, int* barId) const {
  for (int pass = 0; pass < 2; ++pass)
    for (const MenuBar& b : bars_) {
      if ((pass == 0) != (b.id == ActiveBarId())) continue;
      for (const MenuNode& m : b.menus)
        if (const MenuNode* f = FindIn(m, id)) {
          if (barId) *barId = b.id;
          return f;
        }
    }
  return nullptr;
}

void Host::PrintMenus(std::ostream& out) const {
  for (const MenuBar& b : bars_) {
    out << "Menu bar " << b.id << " (" << b.name << ")\n";
    int position = 1;
    for (const MenuNode& m : b.menus) {
      out << "  " << position++ << ". ";
      std::ostringstream sub;
      PrintNode(sub, m, 1);
      std::string text = sub.str();
      out << text.substr(2);  // the menu line without its indent, then its items
    }
  }
  for (const Toolbar& t : toolbars_) {
    if (t.builtin) continue;
    out << "Toolbar \"" << t.name << "\" (" << (t.visible ? "shown" : "hidden") << ")\n";
    int position = 1;
    for (const ToolButton& b : t.buttons) {
      if (b.separator) {
        out << "  " << position++ << ". ----\n";
        continue;
      }
      std::string left = "  " + std::to_string(position++) + ". " + b.text;
      if (left.size() < 44) left += std::string(44 - left.size(), ' ');
      std::optional<long> id = CommandIdOf(b.macro);
      out << left << ' ' << std::setw(6) << (id ? std::to_string(*id) : std::string("-")) << "  "
          << (b.enabled ? "enabled" : "disabled") << "\n";
    }
  }
}

// ---------------------------------------------------------------- toolbar files

// A toolbar file is text, one statement a line ('#' starts a comment):
//   toolbar NAME             starts a toolbar (an existing one of that name is replaced)
//   button TEXT | MACRO      a button: its tooltip text and, after '|', the macro it runs
//   separator                a gap between buttons (it counts as a position)
bool Host::LoadToolbarFile(const std::string& path, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot open the toolbar file " + path;
    return false;
  }
  std::vector<Toolbar> loaded;
  std::string line;
  int lineNo = 0;
  auto trim = [](std::string s) {
    std::size_t b = s.find_first_not_of(" \t\r");
    std::size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
  };
  while (std::getline(in, line)) {
    ++lineNo;
    line = trim(line);
    if (line.empty() || line[0] == '#') continue;
    std::string word = line.substr(0, line.find_first_of(" \t"));
    std::string rest = trim(line.substr(word.size()));
    if (word == "toolbar" && !rest.empty()) {
      Toolbar t;
      t.name = rest;
      loaded.push_back(t);
    } else if (word == "button" && !loaded.empty() && !rest.empty()) {
      ToolButton b;
      std::size_t bar = rest.find('|');
      b.text = trim(rest.substr(0, bar));
      if (bar != std::string::npos) b.macro = trim(rest.substr(bar + 1));
      loaded.back().buttons.push_back(b);
    } else if (word == "separator" && !loaded.empty()) {
      ToolButton b;
      b.separator = true;
      loaded.back().buttons.push_back(b);
    } else {
      error = path + ":" + std::to_string(lineNo) + ": cannot read \"" + line + "\"";
      return false;
    }
  }
  for (Toolbar& t : loaded) {
    if (Toolbar* old = FindToolbar(t.name)) {
      t.visible = old->visible;
      *old = t;
    } else {
      toolbars_.push_back(t);
    }
  }
  return true;
}

}  // namespace xlm
