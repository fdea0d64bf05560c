#include "app/session.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

#include "platform/automation.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "sheets/xlm/application.h"
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

namespace {

// How long a quelstat waits for another one that holds the settings folder (QUELSTAT_WAIT seconds
// change it), and how often it looks.
constexpr int kWaitSeconds = 30;
constexpr auto kLookAgain = std::chrono::milliseconds(100);
constexpr auto kSayWaitingAfter = std::chrono::seconds(1);

bool AnotherInstanceRuns(int excelVersion) {
  try {
    platform::GetActiveObject(xlm::ApplicationClassId(excelVersion));
    return true;
  } catch (const platform::DispatchError&) {
    return false;
  }
}

// The application publishes itself as the running instance when it starts, and the add-ins reach
// it through that: a second quelstat on the same settings folder would reach the first one. So it
// waits for the first to finish, saying so, and gives up with a message after a while.
void PublishOrWait(std::ostream& err) {
  xlm::Host& host = xlm::Host::Get();
  const auto start = std::chrono::steady_clock::now();
  int seconds = kWaitSeconds;
  if (const char* wait = std::getenv("QUELSTAT_WAIT"); wait && *wait) seconds = std::atoi(wait);
  const auto patience = std::chrono::seconds(std::max(seconds, 0));
  bool said = false;
  while (!host.PublishRunningInstance()) {
    if (!AnotherInstanceRuns(host.ExcelVersion())) return;  // no folder to publish in: work on alone
    auto waited = std::chrono::steady_clock::now() - start;
    if (!said && waited >= kSayWaitingAfter) {
      err << "quelstat: waiting for another quelstat that is using the settings folder "
          << platform::SettingsFolder().string() << "\n";
      said = true;
    }
    if (waited >= patience)
      throw SessionBusy("another quelstat is using the settings folder " + platform::SettingsFolder().string() +
                        "; try again when it has finished, or give each its own folder with QUELSTAT_HOME");
    std::this_thread::sleep_for(kLookAgain);
  }
}

}  // namespace

Session::Session(const SessionOptions& options) {
  xlm::Host::Reset(options.host);
  PublishOrWait(std::cerr);
  xlm::InstallModelDocuments();
  // The application starts with an empty workbook, as a spreadsheet program does.
  std::string error;
  if (!xlm::Host::Get().documents->New(error)) xlm::Host::Get().report(error);
  // Ctrl-C is the ESC key: the running command may stop; so may a request to end (TERM, HUP).
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) std::signal(sig, OnInterrupt);
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
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) std::signal(sig, SIG_DFL);
}

std::string RowsBeyondHost(xlm::Host& host) {
  constexpr uint32_t kHostRows = 65536;  // rows of a reference the add-in interface can hold
  auto* docs = dynamic_cast<xlm::ModelDocuments*>(host.documents);
  const sheets::Sheet* sheet = docs ? docs->ActiveSheet() : nullptr;
  if (!sheet || !sheet->IsWorksheet() || sheet->limits().rows <= kHostRows) return {};
  const sheets::CellAddress at = sheet->view().active_cell;
  uint32_t row = at.row;
  while (row < kHostRows && sheet->GetValue(row, at.col).type != sheets::ValueType::Empty) ++row;
  if (row < kHostRows || sheet->GetValue(row, at.col).type == sheets::ValueType::Empty) return {};
  uint32_t last = row;
  while (last + 1 < sheet->limits().rows && sheet->GetValue(last + 1, at.col).type != sheets::ValueType::Empty) ++last;
  return "the data at " + sheet->name() + "!" + sheets::CellName(at) + " runs to row " + std::to_string(last + 1) +
         ", which exceeds the 65,536 rows a dataset can have in this host";
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
