#include "app/commands.h"

#include "platform/windows.h"
#include "sheets/xlm/startup.h"

namespace app {

namespace {
constexpr std::uintptr_t kQueryStartup = 0xFFFF;
const char* kChannelTitle = "QuelstatChannel";
}  // namespace

void PrintStartupList(const xlm::Host& host, std::ostream& out) {
  std::vector<xlm::StartupEntry> list = xlm::ReadStartupList(host.ExcelVersion());
  if (list.empty()) out << "Start-up list: empty\n";
  for (const xlm::StartupEntry& e : list) out << e.name << "=" << e.value << "\n";
}

int AddinsCommand(Session& session, AddinsMode mode, std::ostream& out, std::ostream& err) {
  xlm::Host& host = session.Host();
  platform::WindowHandle channel = platform::FindWindow("", kChannelTitle);
  if (!channel || !platform::IsLocalWindow(channel)) {
    // The add-in is not in the start-up list: load it as the Add-in Manager would.
    std::string error;
    if (!session.LoadAddIn(Session::DefaultAddIn(), error)) {
      err << "quelstat: " << error << "\n";
      return 1;
    }
    channel = platform::FindWindow("", kChannelTitle);
  }
  if (!channel || !platform::IsLocalWindow(channel)) {
    err << "quelstat: the add-in did not start: its channel window is missing\n";
    return 1;
  }
  if (mode != AddinsMode::Query)
    platform::SendMessage(channel, platform::WM_USER, mode == AddinsMode::Enable ? 1 : 0, 0);
  std::intptr_t listed = platform::SendMessage(channel, platform::WM_USER, kQueryStartup, 0);
  out << "Quelstat add-in: " << (listed ? "opened at start-up" : "not opened at start-up") << "\n";
  PrintStartupList(host, out);
  return 0;
}

bool RunMenuCommand(xlm::Host& host, long id, std::string& error) {
  const xlm::MenuNode* item = host.FindCommand(id);
  if (!item) {
    error = "no menu command " + std::to_string(id);
    return false;
  }
  if (!item->enabled) {
    error = "the menu command " + std::to_string(id) + " (" + xlm::StripAmpersands(item->text) + ") is disabled";
    return false;
  }
  std::string macro = item->macro;  // the menus may change while it runs
  return host.RunMacro(macro, error);
}

bool RunReportCommand(xlm::Host& host, const std::string& action, std::string& error) {
  static const std::pair<const char*, long> kCommands[] = {
      {"move", 20093}, {"discard", 20094}, {"update", 20095}, {"update-all", 28673}, {"edit", 28674}};
  for (const auto& [name, id] : kCommands) {
    if (action != name) continue;
    std::string macro = "QUELSTAT.COMMAND(" + std::to_string(id) + ")";
    // As its button: disabled while the active sheet is no report.
    if (const xlm::Toolbar* t = host.FindToolbar("Report"))
      for (const xlm::ToolButton& b : t->buttons)
        if (b.macro == macro && !b.enabled) {
          error = "the report command \"" + b.text + "\" is disabled: the active sheet is not a report";
          return false;
        }
    return host.RunMacro(macro, error);
  }
  error = "report takes update, edit, update-all, move or discard";
  return false;
}

bool ClickTool(xlm::Host& host, const std::string& toolbar, int position, std::string& error) {
  xlm::Toolbar* t = host.FindToolbar(toolbar);
  if (!t) {
    error = "no toolbar \"" + toolbar + "\"";
    return false;
  }
  if (position < 1 || position > static_cast<int>(t->buttons.size()) ||
      t->buttons[static_cast<std::size_t>(position - 1)].separator) {
    error = "the toolbar \"" + toolbar + "\" has no button at " + std::to_string(position);
    return false;
  }
  const xlm::ToolButton& b = t->buttons[static_cast<std::size_t>(position - 1)];
  if (!t->visible) {
    error = "the toolbar \"" + toolbar + "\" is hidden";
    return false;
  }
  if (!b.enabled) {
    error = "the button \"" + b.text + "\" is disabled";
    return false;
  }
  std::string macro = b.macro;
  if (macro.empty()) {
    error = "the button \"" + b.text + "\" runs nothing";
    return false;
  }
  return host.RunMacro(macro, error);
}

}  // namespace app
