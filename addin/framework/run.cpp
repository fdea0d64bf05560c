// The run-test flow.
#include "addin/framework/run.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "addin/dataset/dataset_commands.h"
#include "addin/framework/dialogs.h"
#include "addin/framework/update.h"
#include "addin/host/addin_services.h"
#include "addin/host/messages.h"
#include "addin/host/quelstat_app.h"
#include "addin/host/xlcalls.h"
#include "addin/host/xlstate.h"
#include "addin/resources/string_ids.h"

namespace qs {

namespace {

// Values kept between runs, for as long as the application lives.
struct RunState : XllQuelstat::LayerState {
    long reportCounter = 1;  // the number the next new report sheet is named with
    uint32_t paperSize = 0;  // paper size remembered from a removed sheet (0: none)
    CRef<Test> lastTest;
    CRef<ReportExcel> lastReport;
    std::string templateFolder;  // set for tests; otherwise the application's
};

// The application's run state; runs without the application object (tests of the flow on the
// sheet engine alone) share one of their own.
RunState& Runs() {
    if (auto* app = dynamic_cast<XllQuelstat*>(XLL::Instance())) return app->State<RunState>();
    static RunState withoutApplication;
    return withoutApplication;
}

constexpr int kSmallScreen = 640;
constexpr int kSmallScreenZoom = 85;
constexpr size_t kMaxSheetName = 31;

std::string TemplateFolder() {
    if (!Runs().templateFolder.empty()) return Runs().templateFolder;
    if (auto* app = dynamic_cast<XllQuelstat*>(XLL::Instance())) return app->TemplateFolder();
    return {};
}

// Runs `f`, swallowing any exception but ESC (for clean-up steps and settings a run may lack).
template <class F>
void Quietly(F f) {
    try {
        f();
    } catch (...) {
        CException* e = CaughtException();
        if (e == CancelKeyException::Instance()) throw CancelKeyException::Instance();
        e->Delete();
    }
}

// Clean-up that runs while an exception may be unwinding: nothing may leave it, not even ESC.
template <class F>
void Silently(F f) noexcept {
    try {
        f();
    } catch (...) {
        CaughtException()->Delete();
    }
}

std::string SheetPart(const std::string& key) {
    size_t close = key.find(']');
    return close == std::string::npos ? key : key.substr(close + 1);
}

// What a run has made so far, so that a failure can take it all back.
struct Made {
    std::string templateBook;  // the template workbook while it is open
    std::string createdBook;   // the "Unfiled reports" workbook when this run created it
    CRef<ReportExcel> report;
    bool sheetPlaced = false;  // the report sheet has left the template workbook
    bool kept = false;         // the run finished: its report stays

    Made() = default;
    Made(const Made&) = delete;
    Made& operator=(const Made&) = delete;
    ~Made() {
        if (!kept) Discard();
    }

    void CloseBook(std::string& name) {
        if (name.empty()) return;
        std::string book = name;
        name.clear();
        Silently([&] {
            XlCall(XLC_ACTIVATE, {book});
            XlCall(XLC_CLOSE, {false});
        });
    }

    // No half-made sheet and no stray workbook stay behind.
    void Discard() noexcept {
        if (sheetPlaced && report) {
            if (!createdBook.empty()) {
                CloseBook(createdBook);
            } else {
                Silently([&] { XlCall(XLC_WORKBOOK_DELETE, {report->SheetKey()}); });
            }
        }
        CloseBook(templateBook);
        CloseBook(createdBook);
    }
};

// Screen width in pixels: the host's workspace width (points) at 96 pixels per inch.
int ScreenWidthPixels() {
    XlValue points = XlCallResultNA(XLF_GET_WORKSPACE, {13});
    if (!points.Is(XLTYPE_NUM)) return 0;
    return static_cast<int>(std::lround(points.Number() / 0.75));
}

// Puts the report sheet into the "Unfiled reports" workbook, making that workbook when there is
// none, and activates it.
void PlaceNewReport(Made& made) {
    CSharedString title = LoadString(ids::kStringUnfiledReports);
    XlValue window = XlCallResultNA(XLF_GET_WINDOW, {1, title});
    std::string book;
    if (window.Is(XLTYPE_STR)) {
        book = XlCallText(XLF_GET_DOCUMENT, {88, title}).str();
    } else {
        XlCall(XLC_NEW, {1});
        book = XlCallText(XLF_GET_DOCUMENT, {88}).str();
        made.createdBook = book;
        XlCall(XLF_WINDOW_TITLE, {title});
    }
    int count = XlCallInt(XLF_GET_WORKBOOK, {4, book});
    std::string sheetKey = made.report->SheetKey();
    XlCall(XLC_WORKBOOK_MOVE, {sheetKey, book, count + 1});
    made.sheetPlaced = true;
    // The template workbook closes with its only sheet gone; any other sheets it had go with it.
    XlValue left = XlCallResultNA(XLF_GET_WORKBOOK, {4, made.templateBook});
    if (left.Is(XLTYPE_NUM)) made.CloseBook(made.templateBook);
    made.templateBook.clear();
    if (!made.createdBook.empty()) {
        // The new workbook's own first sheet gives its paper size and goes.
        std::string first = "[" + book + "]" + SheetPart(XlCallResult(XLF_GET_WORKBOOK, {1, book}).At(0, 0).Text());
        uint32_t paper = static_cast<uint32_t>(XlCallNumber(XLF_GET_DOCUMENT, {77, first}));
        if (paper) Runs().paperSize = paper;
        XlCall(XLC_WORKBOOK_DELETE, {first});
    }
    XlCall(XLC_ACTIVATE, {title});
    XlCall(XLC_WORKBOOK_SELECT, {made.report->SheetKey()});
}

// Compute and output of a report holding exactly one test record.
void ComputeAndOutput(ReportExcel& report, Test& test) {
    if (report.tests.size() != 1) return;
    // The test's usage counter counts runs that reach the computation.
    if (auto* app = dynamic_cast<XllQuelstat*>(XLL::Instance())) app->CountTestRun(static_cast<int>(test.GetInfo().id));
    // The view to come back to.
    std::string viewSheet;
    int topRow = 0, leftCol = 0;
    Quietly([&] {
        viewSheet = XlCallText(xlSheetNm, {XlCallResult(xlSheetId)}).str();
        topRow = XlHighestPane(14);
        leftCol = XlHighestPane(13);
    });
    {
        XlStateScope calculating(ids::kStatusCalculating, 1, false);
        report.current = CRef<Test>(&test);
        report.FillHeader(test);
        ComputeTest(test);
        CheckEscape();

        XlStateScope outputting(ids::kStatusOutputting, 1, false);
        XlCall(XLC_WORKBOOK_SELECT, {report.SheetKey()});
        report.Output(test);
        InjectFault("output");
        CheckEscape();
        test.AfterOutput(report);
        report.WriteRecords(test);
        XlCall(XLC_SELECT, {report.SheetRef()});
        int width = ScreenWidthPixels();
        if (width > 0 && width <= kSmallScreen) XlCall(XLC_ZOOM, {kSmallScreenZoom});
        CheckEscape();
    }
    if (!viewSheet.empty()) {
        Quietly([&] {
            XlCall(XLC_WORKBOOK_SELECT, {viewSheet});
            if (topRow > 0) XlCall(XLC_VSCROLL, {topRow, true});
            if (leftCol > 0) XlCall(XLC_HSCROLL, {leftCol, true});
        });
    }
}

void FinishSheet();

// The new report's name: the template sheet's name, a blank and the running counter; its paper
// size and view.
void NameNewReport(ReportExcel& report, const std::string& stem) {
    std::string key = report.SheetKey();
    // A name already taken (a sheet the user called so) moves on to the next number.
    for (int tries = 0;; ++tries) {
        // "%s %ld", the stem cut so that the whole name stays within a sheet name's 31 characters.
        char number[24];
        std::snprintf(number, sizeof number, " %ld", Runs().reportCounter);
        std::string name = stem.substr(0, Utf8Cut(stem, kMaxSheetName - std::strlen(number))) + number;
        try {
            XlCall(XLC_WORKBOOK_NAME, {key, name});
            ++Runs().reportCounter;
            break;
        } catch (CException* e) {
            if (tries >= 1000) throw;
            e->Delete();
            ++Runs().reportCounter;
        }
    }
    FinishSheet();
}

// The paper size remembered and the view of a finished report sheet (the active sheet).
void FinishSheet() {
    if (Runs().paperSize)
        Quietly([&] {
            XlCall(XLC_PAGE_SETUP, {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, static_cast<double>(Runs().paperSize)});
        });
    // Page breaks off, gridlines on, row and column headers off, outline symbols on, zeros shown.
    XlCall(XLC_OPTIONS_VIEW,
           {nullptr, nullptr, nullptr, nullptr, nullptr, false, nullptr, true, nullptr, false, true, true});
}

// An update's new sheet goes into the old report's workbook, right after the old sheet, and takes
// the old sheet's paper size.
void PlaceUpdatedReport(Made& made, ReportExcel& old) {
    std::string oldKey = old.SheetKey();
    std::string book = XlCallText(XLF_GET_DOCUMENT, {88, oldKey}).str();
    int position = XlCallInt(XLF_GET_DOCUMENT, {87, oldKey});
    uint32_t paper = static_cast<uint32_t>(XlCallNumber(XLF_GET_DOCUMENT, {77, oldKey}));
    if (paper) Runs().paperSize = paper;
    XlCall(XLC_WORKBOOK_MOVE, {made.report->SheetKey(), book, position + 1});
    made.sheetPlaced = true;
    XlValue left = XlCallResultNA(XLF_GET_WORKBOOK, {4, made.templateBook});
    if (left.Is(XLTYPE_NUM)) made.CloseBook(made.templateBook);
    made.templateBook.clear();
}

// The updated report takes the old sheet's place: the old sheet goes and its name passes on.
void NameUpdatedReport(ReportExcel& report, ReportExcel& old) {
    std::string name = SheetPart(old.SheetKey());
    XlCall(XLC_WORKBOOK_DELETE, {old.SheetKey()});
    XlCall(XLC_WORKBOOK_NAME, {report.SheetKey(), name});
    XlCall(XLC_WORKBOOK_SELECT, {report.SheetKey()});
    FinishSheet();
}

}  // namespace

void SetTemplateFolder(const std::string& folder) { Runs().templateFolder = folder; }

void ContinueReportCount(long next) {
    if (next > Runs().reportCounter) Runs().reportCounter = next;
}

bool DatasetServes(unsigned needsMessage, const DatasetSourceExcel& source) {
    if (!source.dataset) return false;
    const DatasetNeed* need = FindDatasetNeed(needsMessage);
    if (!need) return true;  // left to the parameter checks
    const Dataset& d = *source.dataset;
    int continuous = 0, categorical = 0, ordinal = 0;
    for (const CRef<VariableSource>& v : d.variables) {
        if (v->isFactor || IsCategorical(v->type))
            ++categorical;
        else if (SameType(v->type, kTypeContinuous))
            ++continuous;
        if (SameType(v->type, kTypeOrdinal)) ++ordinal;
    }
    if (continuous < need->continuous || categorical < need->categorical) return false;
    if (continuous + ordinal < need->ordered) return false;
    bool list = d.Layout() == kLayoutList && !d.IsContingency();
    switch (need->shape) {
        case DatasetNeed::kAnyShape: return true;
        case DatasetNeed::kList: return list;
        case DatasetNeed::kTable: return list || d.IsContingency();
        case DatasetNeed::kGroups: return d.Layout() == kLayoutIndependent || (list && categorical > 0);
        case DatasetNeed::kRepeats:
            for (const CRef<WithinSubject>& g : source.groups)
                if (g->repeats.size() >= 2) return list;
            return false;
    }
    return true;
}

namespace {

[[noreturn]] void ThrowCorruptTemplate(size_t records, int firstId, unsigned requested) {
    ThrowMessage(ids::kMessageCorruptTemplate, "%d%d%d", static_cast<int>(records), firstId,
                 static_cast<int>(requested));
}

// Steps of a run up to the finished report; `made` records what to take back should it not finish.
CRef<ReportExcel> RunSteps(const RunRequest& request, const Test::Info* info, Made& made) {
    if (!info) ThrowCorruptTemplate(0, -1, request.testId);
    CRef<Test> test(info->Create());

    // The report template opens as a new workbook with its window hidden.
    std::string path = TemplateFolder() + info->templateName + ".XLT";
    try {
        XlCall(XLC_OPEN, {path, nullptr, nullptr, nullptr, ""});
    } catch (CException* e) {
        // A missing or unreadable template is as good as a corrupt one: no test record at all.
        if (e == CancelKeyException::Instance()) throw;
        e->Delete();
        ThrowCorruptTemplate(0, -1, request.testId);
    }
    made.templateBook = XlCallText(XLF_GET_DOCUMENT, {88}).str();
    XlCall(XLC_HIDE);
    std::string firstKey = XlCallResult(XLF_GET_WORKBOOK, {1, made.templateBook}).At(0, 0).Text();
    XL_SHEET_ID sheetId = XlCallResult(xlSheetId, {firstKey}).SheetId();
    made.report = CRef<ReportExcel>(new ReportExcel(sheetId, true));
    std::string stem = SheetPart(firstKey);

    const auto& records = made.report->tests;
    if (records.empty() || records.front().id != request.testId)
        ThrowCorruptTemplate(records.size(), records.empty() ? -1 : static_cast<int>(records.front().id),
                             request.testId);

    if (request.oldReport) {
        // An update: the stored parameters on the data as they are now; the new sheet replaces the old.
        if (!UpdateParameters(*request.oldReport, *test, request.showDialog, *request.session))
            return CRef<ReportExcel>();
        PlaceUpdatedReport(made, *request.oldReport);
        ComputeAndOutput(*made.report, *test);
        NameUpdatedReport(*made.report, *request.oldReport);
    } else {
        // The dataset's layout is set up, it can serve the test, and the user confirms the
        // parameters; a cancel ends the run with nothing.
        CRef<DatasetSourceExcel> dataset = EnsureConfirmed(request.dataset);
        if (!dataset) return CRef<ReportExcel>();
        if (!DatasetServes(info->needsMessage, *dataset)) ThrowMessage(info->needsMessage, "%s", test->Name().c_str());
        test->Bind(dataset.get());
        if (!ShowParameterDialog(*test->parameters, request.selection)) return CRef<ReportExcel>();

        PlaceNewReport(made);
        ComputeAndOutput(*made.report, *test);
        NameNewReport(*made.report, stem);
    }

    Runs().lastTest = test;
    Runs().lastReport = made.report;
    made.kept = true;
    return made.report;
}

}  // namespace

CRef<ReportExcel> Run(const RunRequest& request) {
    bool update = request.oldReport.get() != nullptr;
    XlStateScope scope(update ? ids::kStatusUpdatingReport : ids::kStatusPleaseWait, 0, false);
    try {
        // What the steps made is taken back as they are left by a return without a report or by
        // an exception of any type, before the message below is shown.
        Made made;
        // A stored report whose test record is gone or unknown cannot be computed again.
        if (update && (request.oldReport->tests.empty() || !FindTest(request.testId)))
            ThrowMessage(ids::kMessageParametersInvalid);
        return RunSteps(request, FindTest(request.testId), made);
    } catch (...) {
        CException* e = CaughtException();
        if (e == CancelKeyException::Instance()) {
            if (request.passEscape) throw CancelKeyException::Instance();
            ShowMessage(update ? ids::kMessageUpdateInterrupted : ids::kMessageInterrupted);
        } else {
            ShowException(e);
            e->Delete();
        }
        return CRef<ReportExcel>();
    }
}

void RunTest(int id, const XlValue& selection) {
    if (!FindTest(static_cast<unsigned>(id))) {
        // A catalogue entry whose computation is not part of this build.
        ShowMessage(ids::kMessageNotInThisBuild, MB_OK | MB_ICONINFORMATION, "%s",
                    LoadString(static_cast<unsigned>(id)).c_str());
        return;
    }
    CRef<DatasetSourceExcel> dataset = FindDatasetForCommand();
    RunRequest request;
    request.testId = static_cast<unsigned>(id);
    request.dataset = dataset;
    std::vector<XLREF> areas = selection.Areas();
    XL_SHEET_ID sheet = selection.SheetId();
    if (!sheet) sheet = XlCallResult(xlSheetId).SheetId();
    if (!areas.empty()) request.selection = CellRange::Of(sheet, areas.front());
    CRef<ReportExcel> report = Run(request);
    (void)report;
}

Test* LastCompletedTest() { return Runs().lastTest.get(); }
ReportExcel* LastReport() { return Runs().lastReport.get(); }

void InstallRunServices() {
    Services().runTest = [](int id, const XlValue& selection) { RunTest(id, selection); };
    Services().reportForActiveSheet = []() -> ActiveReport* {
        if (Runs().lastReport && Runs().lastReport->IsOnActiveSheet()) return Runs().lastReport.get();
        std::string key;
        try {
            key = XlCallText(xlSheetNm, {XlCallResult(xlSheetId)}).str();
        } catch (CException* e) {
            e->Delete();
            return nullptr;
        }
        if (!IsReportSheet(key)) return nullptr;
        XL_SHEET_ID id = XlCallResult(xlSheetId).SheetId();
        return new ReportExcel(id, false);
    };
}

}  // namespace qs
