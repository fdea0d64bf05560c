// One run of the host: the application state, its published running instance, the add-ins of
// the start-up list, and an orderly end (add-ins closed, registrations withdrawn).
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "sheets/xlm/host.h"

namespace app {

struct SessionOptions {
  xlm::HostOptions host;
  bool loadStartupList = true;
};

// A session that cannot start because another quelstat holds the settings folder.
class SessionBusy : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Session {
 public:
  explicit Session(const SessionOptions& options);
  ~Session();

  xlm::Host& Host() { return xlm::Host::Get(); }

  // Opens what the start-up list names (add-ins are loaded, other files opened as workbooks);
  // with no entry at all, the add-in beside the program. Problems are reported and skipped.
  void OpenStartupList();
  // Loads an add-in (if not loaded yet); false with a message.
  bool LoadAddIn(const std::string& path, std::string& error);
  // The add-in file beside the program ("quelstat.xll").
  static std::string DefaultAddIn();

  // Ends the session: add-ins closed, running instance withdrawn. Safe to call twice.
  void End();

  // Number of start-up files that could not be opened.
  int StartupProblems() const { return startupProblems_; }

 private:
  int startupProblems_ = 0;
  bool ended_ = false;
};

// A problem (empty when none) when the data in the active cell's column, from the active cell down,
// runs past the 65,536 rows the add-in interface can refer to: the add-in could not take such a
// dataset and would say it found none.
std::string RowsBeyondHost(xlm::Host& host);

// Absolute path with "." and ".." removed and links resolved where the file exists.
std::string CanonicalPath(const std::string& path);

}  // namespace app
