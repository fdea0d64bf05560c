// The script runner: host actions one per line, from a file or standard input. While it waits
// for the next line the host answers messages from other processes (channel windows, automation
// calls), so "quelstat script -" fed from a pipe is a long-running host.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <optional>
#include <fstream>
#include <iostream>
#include <sstream>

#include "app/commands.h"
#include "platform/fileutil.h"
#include "platform/msgbox.h"
#include "platform/windows.h"
#include "sheets/xlm/documents.h"
#include "sheets/xlm/values.h"

namespace app {

const char* ScriptHelp() {
  return "usage: quelstat [--excel-version N] script FILE|-\n"
         "\n"
         "Runs host actions, one per line, from FILE or standard input (-). The host stays up\n"
         "until the end of the input or \"quit\", answering other programs (tutorial hook,\n"
         "a second host) while it waits for the next line. Blank lines and lines starting\n"
         "with # are skipped. Actions:\n"
         "\n"
         "  open FILE            open a workbook (or a toolbar file .xlb)\n"
         "  new                  make a new workbook\n"
         "  activate SHEET       activate a sheet of the active workbook\n"
         "  select REF           select a cell or range: A1, B2:C9, Sheet1!A1\n"
         "  enter VALUE          type a number, TRUE/FALSE, text or =FORMULA into the active\n"
         "                       cell, or {=FORMULA} as an array formula over the selection;\n"
         "                       what depends on the cell is recalculated\n"
         "  insert rows|columns|down|right [REF]\n"
         "                       insert whole rows or columns over the selection (or REF),\n"
         "                       or cells there moving the others down or right; formulas,\n"
         "                       names and charts of every open workbook follow the cells\n"
         "  delete rows|columns|up|left [REF]\n"
         "                       delete them, the others moving up or left; references to\n"
         "                       deleted cells become #REF!\n"
         "  command ID           run the menu command with this id, as choosing its item\n"
         "  tool TOOLBAR N       click button N of a toolbar (separators count)\n"
         "  macro TEXT           run a macro as a menu item does, e.g. QUELSTAT.COMMAND(1026)\n"
         "  report ACTION        a report command on the active report sheet, as its toolbar\n"
         "                       button does: update, edit (Edit Test Parameters), update-all,\n"
         "                       move (Move To Dataset Workbook) or discard\n"
         "  evaluate FORMULA     print the value of a formula on the active sheet (arrays as\n"
         "                       {1,2;3,4}), e.g. SUM(A1:A4) or A.LU.PP(A1:A16,2,B1:B16)\n"
         "  menu                 print the menu bars and toolbars as installed\n"
         "  status               print the status bar text\n"
         "  addins [--enable|--disable]\n"
         "                       show or change whether the add-in opens at start-up\n"
         "  save [FILE]          save the active workbook (to FILE)\n"
         "  close                close the active workbook\n"
         "  answer BUTTON        answer the next message box with BUTTON (ok, cancel, yes,\n"
         "                       no, retry, abort, ignore); unanswered boxes take their\n"
         "                       first button\n"
         "  echo TEXT            print TEXT\n"
         "  wait MS              answer other programs for MS milliseconds\n"
         "  quit                 end the script (and the host)\n"
         "\n"
         "Message boxes are printed on standard error as \"CAPTION: TEXT\". A failing action\n"
         "prints \"quelstat: line N: ...\" on standard error and the script goes on; the exit\n"
         "status is then 1 (130 when Ctrl-C ended it).\n";
}

namespace {

// Reads lines from a descriptor, answering other processes while it waits.
class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd) {}
  bool interrupted = false;
  bool Next(std::string& line) {
    for (;;) {
      std::size_t nl = buffer_.find('\n');
      if (nl != std::string::npos) {
        line = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
      }
      if (eof_) {
        if (buffer_.empty()) return false;
        line.swap(buffer_);
        buffer_.clear();
        return true;
      }
      // Ctrl-C while waiting (or pressed since the last action ended) ends the script; the wait is
      // cut into short slices so that a signal landing just before it is not missed.
      if (xlm::g_escSignal) {
        interrupted = true;
        return false;
      }
      if (!platform::WaitReadable(fd_, 200)) continue;
      char chunk[4096];
      ssize_t n = ::read(fd_, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        eof_ = true;
        continue;
      }
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

 private:
  int fd_;
  std::string buffer_;
  bool eof_ = false;
};

// Answers queued by "answer", taken by the message boxes in order.
struct Answers {
  std::deque<int> queue;
  platform::MessageBoxHandler previous;
};

std::optional<int> ButtonOf(const std::string& word) {
  static const std::pair<const char*, int> names[] = {{"ok", platform::IDOK},        {"cancel", platform::IDCANCEL},
                                                      {"yes", platform::IDYES},      {"no", platform::IDNO},
                                                      {"retry", platform::IDRETRY},  {"abort", platform::IDABORT},
                                                      {"ignore", platform::IDIGNORE}};
  for (const auto& [name, id] : names)
    if (platform::EqualNoCase(word, name)) return id;
  return std::nullopt;
}

// The buttons a message box style offers.
std::vector<int> ButtonsOf(unsigned style) {
  switch (style & platform::MB_TYPEMASK) {
    case platform::MB_OKCANCEL: return {platform::IDOK, platform::IDCANCEL};
    case platform::MB_ABORTRETRYIGNORE: return {platform::IDABORT, platform::IDRETRY, platform::IDIGNORE};
    case platform::MB_YESNOCANCEL: return {platform::IDYES, platform::IDNO, platform::IDCANCEL};
    case platform::MB_YESNO: return {platform::IDYES, platform::IDNO};
    case platform::MB_RETRYCANCEL: return {platform::IDRETRY, platform::IDCANCEL};
    default: return {platform::IDOK};
  }
}

// The shift of an insert or delete action's first word (1 right/left, 2 down/up, 3 rows,
// 4 columns), or nothing.
std::optional<int> ShiftOf(const std::string& word, bool insert) {
  if (platform::EqualNoCase(word, "rows")) return 3;
  if (platform::EqualNoCase(word, "columns")) return 4;
  if (platform::EqualNoCase(word, insert ? "down" : "up")) return 2;
  if (platform::EqualNoCase(word, insert ? "right" : "left")) return 1;
  return std::nullopt;
}

std::string Trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

}  // namespace

int RunScript(Session& session, const std::string& file, std::ostream& out, std::ostream& err) {
  int fd = 0;
  if (file != "-") {
    fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      err << "quelstat: cannot open the script " << file << "\n";
      return 1;
    }
  }
  LineReader reader(fd);
  xlm::Host& host = session.Host();
  Answers answers;
  answers.previous = platform::SetMessageBoxHandler(
      [&answers, &err](const std::string& caption, const std::string& text, unsigned style, unsigned) {
        err << caption << ": " << text << "\n";
        err.flush();
        std::vector<int> buttons = ButtonsOf(style);
        if (answers.queue.empty()) return buttons.front();
        int answer = answers.queue.front();
        answers.queue.pop_front();
        if (std::find(buttons.begin(), buttons.end(), answer) == buttons.end()) {
          err << "quelstat: the message box has no such button; answered with its first\n";
          return buttons.front();
        }
        return answer;
      });
  int status = 0;
  int lineNo = 0;
  std::string line;
  while (reader.Next(line)) {
    ++lineNo;
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    std::string verb = line.substr(0, line.find_first_of(" \t"));
    std::string rest = Trim(line.substr(verb.size()));
    std::string error;
    bool ok = true;
    xlm::Documents* docs = host.documents;
    auto needDocs = [&]() {
      if (docs) return true;
      error = "this build has no workbook engine";
      return false;
    };
    if (verb == "quit") {
      break;
    } else if (verb == "menu") {
      host.PrintMenus(out);
    } else if (verb == "status") {
      out << (host.statusShown ? host.statusText : std::string()) << "\n";
    } else if (verb == "answer") {
      if (std::optional<int> b = ButtonOf(rest)) {
        answers.queue.push_back(*b);
      } else {
        error = "answer takes ok, cancel, yes, no, retry, abort or ignore";
        ok = false;
      }
    } else if (verb == "echo") {
      out << rest << "\n";
    } else if (verb == "wait") {
      int ms = std::atoi(rest.c_str());
      platform::PumpMessages(ms);
      // PumpMessages returns after the first burst; keep answering for the whole time.
      for (int waited = 0; waited < ms; waited += 50) platform::PumpMessages(50);
    } else if (verb == "command") {
      char* end = nullptr;
      long id = std::strtol(rest.c_str(), &end, 10);
      if (rest.empty() || *end) {
        error = "command needs a number";
        ok = false;
      } else {
        ok = RunMenuCommand(host, id, error);
      }
    } else if (verb == "tool") {
      std::size_t space = rest.find_last_of(" \t");
      if (space == std::string::npos) {
        error = "tool needs a toolbar name and a button number";
        ok = false;
      } else {
        ok = ClickTool(host, Trim(rest.substr(0, space)), std::atoi(rest.c_str() + space + 1), error);
      }
    } else if (verb == "report") {
      ok = RunReportCommand(host, rest, error);
    } else if (verb == "macro") {
      ok = host.RunMacro(rest, error);
    } else if (verb == "evaluate") {
      xlm::HostValue v;
      ok = host.Evaluate(rest, &v.v, error);
      if (ok) out << xlm::Display(&v.v) << "\n";
    } else if (verb == "addins") {
      AddinsMode mode = rest == "--enable"    ? AddinsMode::Enable
                        : rest == "--disable" ? AddinsMode::Disable
                                              : AddinsMode::Query;
      if (!rest.empty() && mode == AddinsMode::Query) {
        error = "addins takes --enable or --disable";
        ok = false;
      } else {
        ok = AddinsCommand(session, mode, out, err) == 0;
      }
    } else if (verb == "open") {
      if (rest.size() > 4 && rest.substr(rest.size() - 4) == ".xlb") {
        ok = host.LoadToolbarFile(rest, error);
      } else {
        ok = needDocs() && docs->Open(rest, error);
      }
    } else if (verb == "new") {
      ok = needDocs() && docs->New(error);
    } else if (verb == "select") {
      ok = needDocs() && docs->Select(rest, error);
    } else if (verb == "enter") {
      ok = needDocs() && docs->Enter(rest, error);
    } else if (verb == "insert" || verb == "delete") {
      bool insert = verb == "insert";
      std::string how = rest.substr(0, rest.find_first_of(" \t"));
      std::optional<int> shift = ShiftOf(how, insert);
      if (!shift) {
        error = insert ? "insert takes rows, columns, down or right" : "delete takes rows, columns, up or left";
        ok = false;
      } else {
        ok = needDocs() && docs->EditCells(insert, *shift, Trim(rest.substr(how.size())), error);
      }
    } else if (verb == "activate") {
      ok = needDocs() && docs->ActivateSheet(rest, error);
    } else if (verb == "save") {
      ok = needDocs() && docs->Save(rest, error);
    } else if (verb == "close") {
      ok = needDocs() && docs->Close(error);
    } else {
      error = "unknown action \"" + verb + "\" (see quelstat script --help)";
      ok = false;
    }
    out.flush();
    if (!ok) {
      err << "quelstat: line " << lineNo << ": " << error << "\n";
      err.flush();
      status = 1;
    }
  }
  if (fd != 0) ::close(fd);
  platform::SetMessageBoxHandler(answers.previous);
  if (reader.interrupted) {
    xlm::g_escSignal = 0;
    return 130;
  }
  return status;
}

}  // namespace app
