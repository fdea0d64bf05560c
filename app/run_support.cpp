#include "app/run_support.h"

#include <dlfcn.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "app/commands.h"
#include "app/dialog_console.h"
#include "sheets/model/reference.h"
#include "platform/text.h"
#include "sheets/io/workbook_io.h"
#include "sheets/xlm/documents_model.h"
#include "sheets/xlm/host.h"

namespace app {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) {
  g_interrupted = 1;
  xlm::g_escSignal = 1;
}

// The add-in's exports for the command line (addin/framework/cli_exports.cpp).
using TextEntry = int (*)(char** output);
using LastTestEntry = int (*)(const void** identity, char** json);
using ArgsEntry = int (*)(int argc, const char* const* argv, char** output);
using CountEntry = int (*)(long next);
using PlainEntry = int (*)();

const char* kReportsTitle = "Unfiled reports";
const char* kTestRecordName = "__sm_TV_0";  // the test record every report sheet carries

SessionOptions Quiet(SessionOptions options) {
  options.loadStartupList = false;  // only the add-in of this build, nothing else the user set up
  return options;
}

std::string Take(char* text) {
  std::string s = text ? text : "";
  std::free(text);
  return s;
}

}  // namespace

AddInSession::AddInSession(const SessionOptions& options) : session_(Quiet(options)) {}

AddInSession::~AddInSession() { session_.End(); }

bool AddInSession::Start(std::ostream& err) {
  std::string error;
  if (!session_.LoadAddIn(Session::DefaultAddIn(), error)) {
    err << "quelstat: " << error << "\n";
    return false;
  }
  addin_ = Host().FindAddIn(CanonicalPath(Session::DefaultAddIn()));
  if (!addin_ || !addin_->handle) {
    err << "quelstat: the add-in did not load\n";
    return false;
  }
  if (!Docs()) {
    err << "quelstat: this build has no workbook engine\n";
    return false;
  }
  return true;
}

xlm::ModelDocuments* AddInSession::Docs() const {
  return dynamic_cast<xlm::ModelDocuments*>(xlm::Host::Get().documents);
}

void* AddInSession::Export(const char* name) { return addin_ ? dlsym(addin_->handle, name) : nullptr; }

void AddInSession::UseDefaults() {
  if (auto entry = reinterpret_cast<PlainEntry>(Export("QuelstatUseDefaults"))) {
    xlm::CallerScope scope(Host(), addin_);
    entry();
  }
}

std::vector<std::string> AddInSession::RememberedAnswers() {
  std::vector<std::string> labels;
  auto entry = reinterpret_cast<TextEntry>(Export("QuelstatRememberedAnswers"));
  if (!entry) return labels;
  char* text = nullptr;
  {
    xlm::CallerScope scope(Host(), addin_);
    entry(&text);
  }
  std::string all = Take(text);
  for (std::size_t at = 0; at < all.size();) {
    std::size_t end = all.find('\n', at);
    if (end == std::string::npos) end = all.size();
    if (end > at) labels.push_back(all.substr(at, end - at));
    at = end + 1;
  }
  return labels;
}

bool AddInSession::Catalogue(std::vector<CatalogueEntry>& out, std::ostream& err) {
  auto entry = reinterpret_cast<TextEntry>(Export("QuelstatTestCatalogue"));
  if (!entry) {
    err << "quelstat: the add-in has no test catalogue (QuelstatTestCatalogue)\n";
    return false;
  }
  char* text = nullptr;
  xlm::CallerScope scope(Host(), addin_);
  entry(&text);
  out = ParseCatalogue(Take(text));
  return true;
}

const void* AddInSession::LastTest(std::string* json) {
  auto entry = reinterpret_cast<LastTestEntry>(Export("QuelstatLastTest"));
  if (!entry) return nullptr;
  const void* identity = nullptr;
  char* text = nullptr;
  xlm::CallerScope scope(Host(), addin_);
  entry(&identity, json ? &text : nullptr);
  if (json) *json = Take(text);
  return identity;
}

int AddInSession::CallTextExport(const char* name, const std::vector<std::string>& args, std::string& output) {
  auto entry = reinterpret_cast<ArgsEntry>(Export(name));
  if (!entry) {
    output = std::string("the add-in has no ") + name;
    return -1;
  }
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  char* text = nullptr;
  int status;
  {
    xlm::CallerScope scope(Host(), addin_);
    status = entry(static_cast<int>(argv.size()), argv.data(), &text);
  }
  output = Take(text);
  return status;
}

bool AddInSession::OpenAndSelect(const std::string& workbook, const std::string& cell, std::ostream& err) {
  std::string error;
  if (!Docs()->Open(workbook, error)) {
    err << "quelstat: " << error << "\n";
    return false;
  }
  // A sheet name with blanks needs quotes in a reference ('Diet study'!A5); a shell user seldom
  // types them, so "Diet study!A5" is taken as meant.
  std::size_t bang = cell.rfind('!');
  std::string ignored;
  bool selected =
      Docs()->Select(cell, error) || (bang != std::string::npos && bang > 0 && cell[0] != '\'' &&
                                      Docs()->Select("'" + cell.substr(0, bang) + "'" + cell.substr(bang), ignored));
  if (!selected) {
    // Say where the cell was looked for: the workbook and its sheets.
    std::string sheets;
    if (sheets::Workbook* book = Docs()->ActiveBook())
      for (std::size_t i = 0; i < book->sheet_count(); ++i) sheets += (i ? ", " : "") + book->sheet(i).name();
    err << "quelstat: " << error << " in " << workbook << " (its sheets: " << sheets << ")\n";
    return false;
  }
  if (std::string beyond = RowsBeyondHost(xlm::Host::Get()); !beyond.empty()) {
    err << "quelstat: " << workbook << ": " << beyond << "\n";
    return false;
  }
  return true;
}

bool IsReportSheet(const sheets::Sheet& sheet) {
  for (const sheets::DefinedName& n : sheet.names().entries())
    if (platform::EqualNoCase(n.name, kTestRecordName)) return true;
  return false;
}

long ReportNumber(const std::string& sheetName) {
  std::size_t blank = sheetName.rfind(' ');
  if (blank == std::string::npos || blank + 1 >= sheetName.size()) return 0;
  std::string digits = sheetName.substr(blank + 1);
  if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
  return std::strtol(digits.c_str(), nullptr, 10);
}

bool AddInSession::OpenReports(const std::string& path, std::ostream& err) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    // Made by the run, in a folder that must be there: found out now, not after the test ran.
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty() || std::filesystem::is_directory(folder, ec)) return true;
    err << "quelstat: run: --reports " << path << ": the folder " << folder.string() << " does not exist\n";
    return false;
  }
  const std::string kept = "; it is kept as it is (name another file with --reports)";
  std::string error;
  if (!std::filesystem::is_regular_file(path, ec) || !Docs()->Open(path, error)) {
    err << "quelstat: run: --reports " << path << " is not a workbook" << (error.empty() ? "" : " (" + error + ")")
        << kept << "\n";
    return false;
  }
  sheets::Workbook* book = Docs()->ActiveBook();
  long last = 0;
  bool reports = false;
  for (std::size_t i = 0; book && i < book->sheet_count(); ++i) {
    if (!IsReportSheet(book->sheet(i))) continue;
    reports = true;
    last = std::max(last, ReportNumber(book->sheet(i).name()));
  }
  if (!reports) {
    err << "quelstat: run: --reports " << path << " is not a reports workbook made by Quelstat (none of its"
        << " sheets is a report)" << kept << "\n";
    if (book) Docs()->CloseBook(book);
    return false;
  }
  if (book->windows().empty()) book->windows().emplace_back();
  book->windows()[0].title = kReportsTitle;
  if (auto entry = reinterpret_cast<CountEntry>(Export("QuelstatContinueReportCount"))) {
    xlm::CallerScope scope(Host(), addin_);
    entry(last + 1);
  }
  return true;
}

std::optional<sheets::CellAddress> FindColumnHeader(const sheets::Sheet& sheet, const std::string& column) {
  std::optional<sheets::CellAddress> header;
  sheet.ForEachCell([&](uint32_t row, uint32_t col, const sheets::CellView& cell) {
    if (!header && cell.type == sheets::ValueType::Text && platform::EqualNoCase(std::string(cell.text), column))
      header = sheets::CellAddress{row, col};
  });
  return header;
}

std::vector<std::string> TextsBelow(const sheets::Sheet& sheet, sheets::CellAddress header) {
  std::vector<std::string> texts;
  std::optional<sheets::RangeAddress> used = sheet.UsedRange();
  if (!used || used->last.row <= header.row) return texts;
  uint32_t expected = header.row + 1;
  sheet.ForEachCellIn({{header.row + 1, header.col}, {used->last.row, header.col}},
                      [&](uint32_t row, uint32_t, const sheets::CellView& cell) {
                        if (row != expected || cell.type == sheets::ValueType::Empty) {
                          expected = 0;  // a gap: the column's block ended
                          return;
                        }
                        ++expected;
                        texts.push_back(cell.type == sheets::ValueType::Text ? std::string(cell.text) : "");
                      });
  return texts;
}

bool AddInSession::ApplyTypes(const std::vector<std::pair<std::string, std::string>>& types, DialogScript script,
                              std::ostream& err) {
  for (const auto& [column, type] : types) {
    sheets::Sheet* sheet = Docs()->ActiveSheet();
    std::optional<sheets::CellAddress> header;
    if (sheet) header = FindColumnHeader(*sheet, column);
    if (!header) {
      err << "quelstat: run: --type: no column headed \"" << column << "\" on the sheet "
          << (sheet ? "\"" + sheet->name() + "\"" : std::string("(none)")) << "\n";
      return false;
    }
    std::string error;
    if (!Docs()->Select(sheets::CellName(*header), error)) {
      err << "quelstat: run: --type " << column << ": " << error << "\n";
      return false;
    }
    script.type = type;
    script.Install();
    bool ran = RunMenuCommand(Host(), kVariableMenuCommand, error);
    DialogScript::Problems problems = script.Collect();
    script.Remove();
    if (!ran || !problems.refused.empty() || problems.failedOK) {
      if (!ran) err << "quelstat: run: --type " << column << ": " << error << "\n";
      for (const std::string& why : problems.refused) err << "quelstat: run: --type " << column << ": " << why << "\n";
      if (problems.failedOK) err << "quelstat: run: --type " << column << "=" << type << " was refused (see above)\n";
      return false;
    }
  }
  return true;
}

sheets::Workbook* AddInSession::ReportsBook() const {
  for (const std::string& name : Docs()->WorkbookNames()) {
    sheets::Workbook* book = Docs()->FindBook(name);
    if (!book) continue;
    for (const sheets::Window& w : book->windows())
      if (w.title == kReportsTitle) return book;
  }
  return nullptr;
}

bool AddInSession::SaveBook(sheets::Workbook& book, const std::string& path, std::ostream& err) {
  try {
    sheets::SaveWorkbook(book, path);
    return true;
  } catch (const std::exception& e) {
    err << "quelstat: " << e.what() << "\n";
    return false;
  }
}

std::string AddInSession::NamesSnapshot(const sheets::Workbook& book) {
  std::string text;
  auto add = [&text](const std::string& scope, const sheets::NameTable& names) {
    for (const sheets::DefinedName& n : names.entries()) text += scope + "!" + n.name + "=" + n.refers_to + "\n";
  };
  add("", book.names());
  for (std::size_t i = 0; i < book.sheet_count(); ++i) add(book.sheet(i).name(), book.sheet(i).names());
  return text;
}

void AddInSession::Discard(sheets::Workbook* input) {
  // What the command line did not save was not meant to be saved: no "not saved" notes at the end.
  if (input) input->set_dirty(false);
  if (sheets::Workbook* reports = ReportsBook()) reports->set_dirty(false);
}

void DialogScript::Install() {
  InstallConsoleDialogs(*this, std::cerr);
  installed_ = true;
}

DialogScript::Problems DialogScript::Collect() const {
  if (!installed_) return {};
  return ConsoleDialogProblems();
}

void DialogScript::Remove() {
  if (installed_) RemoveConsoleDialogs();
  installed_ = false;
}

// Text as a JSON string literal: quotes, backslashes and control characters escaped.
std::string JsonText(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

void CatchInterrupts() {
  g_interrupted = 0;
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) std::signal(sig, OnInterrupt);
}

bool Interrupted() { return g_interrupted != 0; }

}  // namespace app
