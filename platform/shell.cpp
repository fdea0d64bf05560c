#include "platform/shell.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

extern char** environ;

namespace platform {

namespace {
bool HaveXdgOpen() {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::string p = path;
  std::size_t start = 0;
  while (start <= p.size()) {
    std::size_t end = p.find(':', start);
    if (end == std::string::npos) end = p.size();
    std::filesystem::path candidate = std::filesystem::path(p.substr(start, end - start)) / "xdg-open";
    if (::access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// The program that opens things: QUELSTAT_OPENER when set (tests record what would have been
// opened), else the desktop's xdg-open.
std::string Opener() {
  const char* opener = std::getenv("QUELSTAT_OPENER");
  return opener && *opener ? opener : "xdg-open";
}

bool Spawn(const std::string& target) {
  pid_t pid;
  std::string opener = Opener();
  const char* argv[] = {opener.c_str(), target.c_str(), nullptr};
  if (posix_spawnp(&pid, opener.c_str(), nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return false;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
}  // namespace

bool HasDesktop() {
  const char* no = std::getenv("QUELSTAT_NO_DESKTOP");
  if (no && *no && std::string(no) != "0") return false;
  if (Opener() != "xdg-open") return true;
  const char* d = std::getenv("DISPLAY");
  const char* w = std::getenv("WAYLAND_DISPLAY");
  return ((d && *d) || (w && *w)) && HaveXdgOpen();
}

bool ShellOpen(const std::string& target) {
  if (!HasDesktop()) {
    std::cout << "Open: " << target << std::endl;
    return true;
  }
  return Spawn(target);
}

std::string HelpPage(const std::string& helpFile, unsigned command, unsigned long data) {
  std::string file = helpFile;
  // A window suffix (">notmain") names the viewer window, not the file.
  if (auto gt = file.find('>'); gt != std::string::npos) file.erase(gt);
  std::filesystem::path p(file);
  std::filesystem::path folder = p.parent_path() / p.stem();
  if (command == kHelpContext) return (folder / (std::to_string(data) + ".html")).string();
  return (folder / "index.html").string();
}

bool ShowHelp(const std::string& helpFile, unsigned command, unsigned long data) {
  if (command == kHelpQuit) return true;
  std::string page = HelpPage(helpFile, command, data);
  if (!HasDesktop()) {
    std::cout << "Help: " << helpFile;
    if (command == kHelpContext)
      std::cout << " topic " << data;
    else
      std::cout << " contents";
    std::cout << ": " << page << std::endl;
    return true;
  }
  return Spawn(page);
}

}  // namespace platform
