#include "addin/tutorial/tutorial_host.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "addin/host/addin_services.h"
#include "addin/host/messages.h"
#include "addin/host/quelstat_app.h"
#include "addin/host/xlcalls.h"
#include "addin/host/xlstate.h"

namespace qs {
namespace {

constexpr const char* kMasterFile = "tutorial.xlsx";
constexpr const char* kExamplesFolder = "examples/";
constexpr const char* kHelpWindow = ">tutorial";
constexpr unsigned kHelpContext = 1;  // the help viewer's "show the topic with this context" command
constexpr const char* kLearnerTitle = "Tutorial %d";
constexpr int kZoom = 80;
// The host's window while a tutorial runs, in pixels (the host takes points: 3/4 of a pixel).
constexpr double kPointsPerPixel = 0.75;
constexpr int kWindowLeft = 200, kWindowTop = 135, kWindowWidth = 640;
constexpr int kHighlightMs = 600, kMaxHighlightMs = 10000;
constexpr int kSolidPattern = 1, kHighlightColour = 6;  // palette index 6: yellow
constexpr int kPasteAll = 1, kPasteFormats = 4;
constexpr int kStepsPerTutorial = 1000;

// Runs `f`, turning the host layer's exceptions into standard ones for the driver, which shows
// their text in its own message.
template <class F>
void Standard(F&& f) {
    try {
        f();
    } catch (CException* e) {
        char text[1024] = "";
        e->GetErrorMessage(text, sizeof text);
        e->Delete();
        throw std::runtime_error(text);
    }
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// "A4:D4" or "D19" as an area (0-based); false when the text is not one.
bool ParseArea(const std::string& text, XLREF& area) {
    int cell[2][2] = {};  // row, column of the first and the last cell
    size_t at = 0;
    for (int part = 0; part < 2; ++part) {
        int col = 0, row = 0;
        size_t letters = at;
        while (at < text.size() && text[at] >= 'A' && text[at] <= 'Z') col = col * 26 + (text[at++] - 'A' + 1);
        size_t digits = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && row < 1000000)
            row = row * 10 + (text[at++] - '0');
        if (at == letters || at == digits || digits == letters || col > 256 || row < 1 || row > 65536) return false;
        cell[part][0] = row - 1;
        cell[part][1] = col - 1;
        if (at == text.size()) {
            if (part == 0) cell[1][0] = cell[0][0], cell[1][1] = cell[0][1];
            break;
        }
        if (part == 1 || text[at++] != ':') return false;
    }
    if (at != text.size()) return false;
    area.rwFirst = static_cast<uint16_t>(cell[0][0]);
    area.rwLast = static_cast<uint16_t>(cell[1][0]);
    area.colFirst = static_cast<uint8_t>(cell[0][1]);
    area.colLast = static_cast<uint8_t>(cell[1][1]);
    return area.rwFirst <= area.rwLast && area.colFirst <= area.colLast;
}

// The sheet a tutorial's learner works on first: the sheet of its first fill.
std::string FirstSheetOf(int tutorial) {
    for (int step = tutorial * kStepsPerTutorial; step < (tutorial + 1) * kStepsPerTutorial; ++step)
        for (const TutorialAction& a : TutorialActions(step))
            if (a.kind == TutorialAction::Kind::Fill) return a.target.substr(0, a.target.rfind('!'));
    return {};
}

std::vector<std::string> SheetsOf(const std::string& book) {
    std::vector<std::string> keys;
    XlValue list = XlCallResult(XLF_GET_WORKBOOK, {1, book});
    for (uint16_t c = 0; c < list.Columns(); ++c)
        for (uint16_t r = 0; r < list.Rows(); ++r) keys.push_back(list.At(r, c).Text());
    return keys;
}

bool Contains(const std::vector<std::string>& keys, const std::string& key) {
    for (const std::string& k : keys)
        if (k == key) return true;
    return false;
}

XlValue SheetRef(const std::string& key, const XLREF& area) {
    return XlValue::Ref(XlCallResult(xlSheetId, {key}).SheetId(), {area});
}

}  // namespace

TutorialHost::TutorialHost(std::string systemFolder, std::string tutorialHelpFile)
    : m_systemFolder(std::move(systemFolder)), m_helpFile(std::move(tutorialHelpFile)) {
    pause = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
}

int TutorialHost::HighlightMilliseconds() {
    const char* text = std::getenv("QUELSTAT_HIGHLIGHT_MS");
    if (!text || !*text) return kHighlightMs;
    char* end = nullptr;
    long ms = std::strtol(text, &end, 10);
    return *end || ms < 0 || ms > kMaxHighlightMs ? kHighlightMs : static_cast<int>(ms);
}

void TutorialHost::ShowTutorialTopic(long context, bool placeWindow) {
    if (Services().showHelp)
        Services().showHelp(m_helpFile + kHelpWindow, kHelpContext, context);
    else
        std::fprintf(stderr, "Quelstat help: %s topic %ld\n", m_helpFile.c_str(), context);
    if (!placeWindow) return;
    XlStateScope scope(false);
    XlCall(XLC_APP_MOVE, {kWindowLeft * kPointsPerPixel, kWindowTop * kPointsPerPixel});
    XlCall(XLC_APP_SIZE, {kWindowWidth * kPointsPerPixel, nullptr});
}

void TutorialHost::StartTutorial(int tutorial) {
    Standard([&] {
        XlStateScope scope(false);
        CloseMaster();
        XlCall(XLC_NEW, {1});
        m_learner = XlCallText(XLF_GET_DOCUMENT, {88}).str();
        m_learnerSheet = XlCallResult(xlSheetId).SheetId();
        char title[32];
        std::snprintf(title, sizeof title, kLearnerTitle, tutorial);
        XlCall(XLF_WINDOW_TITLE, {title});
        std::string first = FirstSheetOf(tutorial);
        if (!first.empty()) XlCall(XLC_WORKBOOK_NAME, {SheetsOf(m_learner).at(0), first});
        XlCall(XLC_ZOOM, {kZoom});
        OpenMaster();
    });
    if (started) started(tutorial);
}

std::string TutorialHost::BookOf(XL_SHEET_ID sheet) {
    if (!sheet) return {};
    try {
        std::string key = XlCallText(xlSheetNm, {XlValue::Ref(sheet, {XLREF{0, 0, 0, 0}})}).str();
        size_t close = key.find(']');
        return key.size() > 1 && key[0] == '[' && close != std::string::npos ? key.substr(1, close - 1) : key;
    } catch (CException* e) {
        e->Delete();  // the sheet, and so its workbook, is gone
        return {};
    }
}

void TutorialHost::Refresh() {
    m_learner = BookOf(m_learnerSheet);
    m_master = BookOf(m_masterSheet);
}

bool TutorialHost::TutorialOpen() const { return !BookOf(m_learnerSheet).empty() && !BookOf(m_masterSheet).empty(); }

void TutorialHost::CloseMaster() {
    Refresh();
    m_masterSheet = 0;
    if (m_master.empty()) return;  // never opened, or closed by the learner
    XlCall(XLC_ACTIVATE, {std::exchange(m_master, {})});
    XlCall(XLC_CLOSE, {false});
}

void TutorialHost::OpenMaster() {
    std::string path = m_systemFolder + kMasterFile;
    if (!FileExists(path)) throw std::runtime_error("The tutorial workbook " + path + " is missing.");
    XlCall(XLC_OPEN, {path});
    m_master = XlCallText(XLF_GET_DOCUMENT, {88}).str();
    m_masterSheet = XlCallResult(xlSheetId).SheetId();
    XlCall(XLC_HIDE);  // the learner works in their own workbook
    XlCall(XLC_ACTIVATE, {m_learner});
}

void TutorialHost::SetHelpVisible(bool) {
    // The tutorial topics are pages in the desktop's browser, which the add-in cannot hide or show;
    // the learner's workbook is brought to the front by the steps themselves.
}

bool TutorialHost::MasterHasSheet(const std::string& name) const {
    return Contains(SheetsOf(m_master), "[" + m_master + "]" + name);
}

std::string TutorialHost::LearnerSheet(const std::string& name) {
    std::string key = "[" + m_learner + "]" + name;
    std::vector<std::string> sheets = SheetsOf(m_learner);
    if (Contains(sheets, key)) return key;
    // A sheet the learner has not made yet: the master's ready-made sheet of that name when it
    // has one, else an empty sheet, after the learner's last sheet.
    if (MasterHasSheet(name)) {
        XlCall(XLC_WORKBOOK_COPY, {"[" + m_master + "]" + name, m_learner, static_cast<int>(sheets.size()) + 1});
    } else {
        XlCall(XLC_WORKBOOK_SELECT, {sheets.back()});
        XlCall(XLC_WORKBOOK_INSERT, {1});
        XlCall(XLC_WORKBOOK_MOVE,
               {XlCallText(XLF_GET_WORKBOOK, {3, m_learner}), m_learner, static_cast<int>(sheets.size()) + 1});
    }
    std::string made = XlCallText(XLF_GET_WORKBOOK, {3, m_learner}).str();
    if (made != key) XlCall(XLC_WORKBOOK_NAME, {made, name});
    XlCall(XLC_ZOOM, {kZoom});
    return key;
}

void TutorialHost::Perform(const TutorialAction& action, bool demo) {
    Standard([&] {
        Refresh();
        if (m_learner.empty() || m_master.empty()) throw std::runtime_error("The tutorial's workbooks are not open.");
        // A demonstration is there to be watched; otherwise the screen rests until the step is done.
        XlStateScope scope(demo);
        if (action.kind == TutorialAction::Kind::Fill)
            Fill(action, demo);
        else
            CopySheet(action);
    });
}

void TutorialHost::Fill(const TutorialAction& action, bool demo) {
    size_t bang = action.target.rfind('!');
    XLREF whole{};
    if (bang == std::string::npos || !ParseArea(action.target.substr(bang + 1), whole))
        throw std::runtime_error("The tutorial step's range " + action.target + " is not a range.");
    if (!MasterHasSheet(action.masterSheet))
        throw std::runtime_error("The tutorial workbook has no sheet " + action.masterSheet + ".");
    std::string masterKey = "[" + m_master + "]" + action.masterSheet;
    std::string learnerKey = LearnerSheet(action.target.substr(0, bang));
    XlCall(XLC_WORKBOOK_SELECT, {learnerKey});
    int lines = action.byColumns ? whole.colLast - whole.colFirst + 1 : whole.rwLast - whole.rwFirst + 1;
    int ms = HighlightMilliseconds();
    for (int i = 0; i < lines; ++i) {
        XLREF line = whole;
        if (action.byColumns)
            line.colFirst = line.colLast = static_cast<uint8_t>(whole.colFirst + i);
        else
            line.rwFirst = line.rwLast = static_cast<uint16_t>(whole.rwFirst + i);
        XlCall(XLC_COPY, {SheetRef(masterKey, line)});
        XlCall(XLC_SELECT, {SheetRef(learnerKey, line)});
        XlCall(XLC_PASTE_SPECIAL, {kPasteAll});
        if (demo) {
            // The line arrives highlighted and then takes the look it has in the master.
            XlCall(XLC_PATTERNS, {kSolidPattern, kHighlightColour});
            pause(ms);
            XlCall(XLC_PASTE_SPECIAL, {kPasteFormats});
        }
    }
    XlCall(XLC_CANCEL_COPY);
    XlCall(XLC_SELECT, {SheetRef(learnerKey, whole)});
}

void TutorialHost::CopySheet(const TutorialAction& action) {
    // The master's ready-made sheet of the new sheet's name, else the dataset's own sheet.
    std::string source = MasterHasSheet(action.target) ? action.target : action.masterSheet;
    if (!MasterHasSheet(source))
        throw std::runtime_error("The tutorial workbook has no sheet " + action.masterSheet + ".");
    std::vector<std::string> sheets = SheetsOf(m_learner);
    std::string existing = "[" + m_learner + "]" + action.target;
    XlCall(XLC_WORKBOOK_COPY, {"[" + m_master + "]" + source, m_learner, static_cast<int>(sheets.size()) + 1});
    std::string copy = XlCallText(XLF_GET_WORKBOOK, {3, m_learner}).str();
    // A sheet of that name is replaced by the fresh copy.
    if (Contains(sheets, existing)) {
        XlCall(XLC_WORKBOOK_DELETE, {existing});
        copy = "[" + m_learner + "]" + copy.substr(copy.find(']') + 1);
    }
    if (copy != existing) XlCall(XLC_WORKBOOK_NAME, {copy, action.target});
    XlCall(XLC_WORKBOOK_SELECT, {existing});
    XlCall(XLC_ZOOM, {kZoom});
}

void TutorialHost::OpenExample(const std::string& file) {
    XlStateScope scope(false);
    XlCall(XLC_OPEN, {m_systemFolder + kExamplesFolder + file});
}

void TutorialHost::ShowError(const std::string& text) { ShowText(CSharedString(text), MB_OK | MB_ICONWARNING); }

void InstallTutorial() {
    // Made on the first number, when the application object knows its folders; kept for the
    // add-in's life, as the current step is.
    struct Tutorial {
        TutorialHost host;
        TutorialDriver driver{host};
        explicit Tutorial(const XllQuelstat& app) : host(app.SystemFolder(), app.TutorialHelpFile()) {}
    };
    Services().tutorial = [](int number) {
        static std::unique_ptr<Tutorial> tutorial;
        auto* app = static_cast<XllQuelstat*>(XLL::Instance());
        if (!app) return;
        if (!tutorial) {
            tutorial = std::make_unique<Tutorial>(*app);
            tutorial->host.started = [app](int t) {
                if (t >= 1 && t <= 5) app->Usage()[static_cast<size_t>(1 + t)] += 1;  // counters 2-6
            };
        }
        tutorial->driver.Card(number);
    };
}

}  // namespace qs
