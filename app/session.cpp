#include "app/session.h"

#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "platform/text.h"
#include "sheets/xlm/documents.h"
#include "sheets/xlm/documents_model.h"
#include "sheets/xlm/startup.h"

namespace app {

namespace {
void OnInterrupt(int) { xlm::g_escSignal = 1; }
}  // namespace

std::string CanonicalPath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::absolute(path), ec);
  return ec ? path : p.string();
}

std::string Session::DefaultAddIn() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "quelstat.xll";
  return (exe.parent_path() / "quelstat.xll").string();
}

Session::Session(const SessionOptions& options) {
  xlm::Host::Reset(options.host);
  // The application publishes itself as the running instance when it starts; a second host on
  // the same settings folder finds the first one already there.
  xlm::Host::Get().PublishRunningInstance();
  xlm::InstallModelDocuments();
  // The application starts with an empty workbook, as a spreadsheet program does.
  std::string error;
  if (!xlm::Host::Get().documents->New(error)) xlm::Host::Get().report(error);
  std::signal(SIGINT, OnInterrupt);  // Ctrl-C is the ESC key: the running command may stop
  if (options.loadStartupList) OpenStartupList();
}

Session::~Session() { End(); }

void Session::End() {
  if (ended_) return;
  ended_ = true;
  // Nothing is dropped without a word: name the workbooks whose changes were not saved.
  if (auto* docs = dynamic_cast<xlm::ModelDocuments*>(xlm::Host::Get().documents))
    for (const std::string& name : docs->UnsavedWorkbooks())
      xlm::Host::Get().report("the changes to " + name + " were not saved");
  xlm::Host::Shutdown();  // closes the add-ins, withdraws the registration
  std::signal(SIGINT, SIG_DFL);
}

bool Session::LoadAddIn(const std::string& path, std::string& error) {
  return xlm::Host::Get().LoadAddIn(CanonicalPath(path), error) != nullptr;
}

void Session::OpenStartupList() {
  xlm::Host& host = xlm::Host::Get();
  std::vector<xlm::StartupEntry> list = xlm::ReadStartupList(host.ExcelVersion());
  if (list.empty()) {
    // No entry at all, as on a machine where setup never ran: the add-in of this build.
    std::string error;
    if (!LoadAddIn(DefaultAddIn(), error)) {
      host.report(error);
      ++startupProblems_;
    }
    return;
  }
  for (const xlm::StartupEntry& e : list) {
    std::string error;
    std::string ext = platform::FoldCase(std::filesystem::path(e.path).extension().string());
    if (ext == ".xll") {
      if (!std::filesystem::exists(e.path)) {
        host.report("the start-up file " + e.path + " (" + e.name + ") does not exist");
        ++startupProblems_;
        continue;
      }
      if (!LoadAddIn(e.path, error)) host.report(error);
    } else if (host.documents) {
      if (!host.documents->Open(e.path, error)) host.report(error);
    } else {
      host.report("cannot open the start-up file " + e.path + ": no workbook engine");
    }
    if (!error.empty()) ++startupProblems_;
  }
}

}  // namespace app
