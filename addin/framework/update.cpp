// Report update: the stored records read back, the dataset found again, the report commands.
#include "addin/framework/update.h"

#include <cctype>
#include <cstdio>

#include "addin/dataset/dataset_commands.h"
#include "addin/framework/dialogs.h"
#include "addin/framework/run.h"
#include "addin/host/addin_services.h"
#include "addin/host/messages.h"
#include "addin/host/xlcalls.h"
#include "addin/host/xlstate.h"
#include "addin/resources/string_ids.h"

namespace qs {

namespace {

// Menu command ids of the report commands.
enum : int {
    kCommandMoveToDatasetWorkbook = 20093,
    kCommandDiscard = 20094,
    kCommandUpdate = 20095,
    kCommandUpdateAll = 28673,
    kCommandEditParameters = 28674,
};

// Passes of the parameter exchange it takes at most for items that depend on others (a choice
// filled from the variables chosen) to settle after the stored values are put back.
constexpr int kRestorePasses = 4;

std::string Hex(size_t n) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%zx", n);
    return buf;
}

std::string FileNameOf(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// "'...'" with every quote doubled.
std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

std::string BookOfSheet(const std::string& sheetKey) { return XlCallText(XLF_GET_DOCUMENT, {88, sheetKey}).str(); }

bool IsOpen(const std::string& book) { return XlCallResultNA(XLF_GET_DOCUMENT, {88, book}).Is(XLTYPE_STR); }

// The stored layout record "__sm_EV_1": the layout code and the dataset's name (%2 of the messages:
// " 'Sales'", or nothing).
struct LayoutRecord {
    int layout = -1;
    std::string shownName;
};

LayoutRecord ReadLayoutRecord(const std::string& sheetKey) {
    LayoutRecord out;
    XlValue v = XlCallResultNA(XLF_EVALUATE, {sheetKey + "!__sm_EV_1"});
    if (!v.Is(XLTYPE_MULTI) || v.Rows() * v.Columns() < 2 || !v.At(0, 0).Is(XLTYPE_NUM))
        ThrowMessage(ids::kMessageParametersInvalid);
    out.layout = static_cast<int>(v.At(0, 0).Number());
    const XlValue& name = v.Rows() >= 2 ? v.At(1, 0) : v.At(0, 1);
    if (name.Is(XLTYPE_STR) && !name.TextView().empty()) out.shownName = " '" + name.Text() + "'";
    return out;
}

// The workbook that holds the dataset, opened with its window hidden when it is not open; the name it
// is open under. A stored path is tried first, then the file beside the report's own workbook (older
// records keep only the file name, and a reports workbook may travel with its data).
std::string OpenDatasetWorkbook(const DatasetReference& ref, const std::string& reportBook, const LayoutRecord& record,
                                UpdateSession& session) {
    if (ref.workbook.empty()) return reportBook;
    std::string book = FileNameOf(ref.workbook);
    if (SameText(book, reportBook) || IsOpen(book)) return book;
    std::vector<std::string> candidates{ref.workbook};
    XlValue folder = XlCallResultNA(XLF_GET_DOCUMENT, {2, reportBook});
    if (folder.Is(XLTYPE_STR)) {
        std::string beside = folder.Text() + "/" + book;
        if (ref.workbook.find_first_of("/\\") == std::string::npos)
            candidates.insert(candidates.begin(), beside);
        else if (beside != ref.workbook)
            candidates.push_back(beside);
    }
    for (const std::string& path : candidates) {
        try {
            XlCall(XLC_OPEN, {path, nullptr, nullptr, nullptr, ""});
        } catch (CException* e) {
            if (e == CancelKeyException::Instance()) throw;
            e->Delete();
            continue;
        }
        std::string opened = XlCallText(XLF_GET_DOCUMENT, {88}).str();
        XlCall(XLC_HIDE);
        session.opened.push_back(opened);
        return opened;
    }
    ThrowMessage(ids::kMessageWorkbookNotFound, "%s%s", ref.workbook.c_str(), record.shownName.c_str());
}

}  // namespace

bool SplitDatasetReference(const std::string& text, DatasetReference& out) {
    out = DatasetReference{};
    std::string body = !text.empty() && text[0] == '=' ? text.substr(1) : text;
    std::string prefix;
    size_t bang;
    if (!body.empty() && body[0] == '\'') {
        size_t i = 1;
        for (; i < body.size(); ++i) {
            if (body[i] != '\'') {
                prefix += body[i];
            } else if (i + 1 < body.size() && body[i + 1] == '\'') {
                prefix += '\'';
                ++i;
            } else {
                break;
            }
        }
        if (i + 1 >= body.size() || body[i + 1] != '!') return false;
        bang = i + 1;
    } else {
        bang = body.find('!');
        if (bang == std::string::npos) return false;
        prefix = body.substr(0, bang);
    }
    out.range = body.substr(bang + 1);
    size_t open = prefix.find('['), close = prefix.find(']');
    if (open != std::string::npos && close != std::string::npos && close > open) {
        out.workbook = prefix.substr(0, open) + prefix.substr(open + 1, close - open - 1);
        out.sheet = prefix.substr(close + 1);
    } else {
        out.sheet = prefix;
    }
    return !out.sheet.empty() && !out.range.empty() && out.range.find_first_of(",!") == std::string::npos;
}

DatasetReference ReadDatasetReference(const std::string& sheetKey) {
    XlValue refersTo = XlCallResultNA(XLF_GET_NAME, {sheetKey + "!__sm_ER_0"});
    DatasetReference ref;
    if (!refersTo.Is(XLTYPE_STR) || !SplitDatasetReference(refersTo.Text(), ref))
        ThrowMessage(ids::kMessageParametersInvalid);
    return ref;
}

UpdateSession::~UpdateSession() {
    // The workbooks opened to find datasets go again, as they were: nothing of them was changed.
    for (const std::string& book : opened) {
        try {
            if (!IsOpen(book)) continue;
            XlCall(XLC_ACTIVATE, {book});
            XlCall(XLC_CLOSE, {false});
        } catch (...) {
            CaughtException()->Delete();
        }
    }
}

void UpdateSession::Keep(const std::string& book) {
    std::erase_if(opened, [&](const std::string& b) { return SameText(b, book); });
}

CRef<DatasetSourceExcel> LocateDataset(ReportExcel& report, UpdateSession& session) {
    if (report.tests.empty()) report.Load();
    std::string key = report.SheetKey();
    DatasetReference ref = ReadDatasetReference(key);
    LayoutRecord record = ReadLayoutRecord(key);

    std::string reportBook = BookOfSheet(key);
    std::string book = OpenDatasetWorkbook(ref, reportBook, record, session);
    std::string cacheKey = book + "]" + ref.sheet + "!" + ref.range + "#" + std::to_string(record.layout);
    for (char& c : cacheKey) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (auto found = session.datasets.find(cacheKey); found != session.datasets.end()) return found->second;

    XlValue range = XlCallResultNA(XLF_EVALUATE, {Quoted("[" + book + "]" + ref.sheet) + "!" + ref.range});
    std::vector<XLREF> areas = range.Is(XLTYPE_REF) ? range.Areas() : std::vector<XLREF>{};
    std::string shownBook = ref.workbook.empty() ? reportBook : ref.workbook;
    if (areas.empty()) ThrowMessage(ids::kMessageDatasetNotFound, "%s%s", shownBook.c_str(), record.shownName.c_str());
    XLREF first = areas.front();
    first.rwLast = first.rwFirst;
    first.colLast = first.colFirst;
    // The dataset is found around a cell of the active sheet, as a command finds it.
    XlCall(XLC_WORKBOOK_SELECT, {XlCallText(xlSheetNm, {range}).str()});
    CRef<DatasetSourceExcel> dataset =
        FindDataset(CellRange::Of(range.SheetId(), first), kLayoutDetect, -1, -1, true, true);
    if (!dataset || !dataset->dataset)
        ThrowMessage(ids::kMessageDatasetNotFound, "%s%s", shownBook.c_str(), record.shownName.c_str());
    if (dataset->dataset->Layout() != record.layout)
        ThrowMessage(ids::kMessageLayoutChanged, "%s", record.shownName.c_str());
    session.datasets[cacheKey] = dataset;
    return dataset;
}

bool RestoreParameters(const ReportExcel& report, Test& test, DatasetSourceExcel& dataset) {
    test.Bind(&dataset);
    Parameters& p = *test.parameters;
    std::string key = report.SheetKey();
    auto restoreAll = [&] {
        bool fits = true;
        for (size_t i = 0; i < p.items.size(); ++i) {
            XlValue stored = XlCallResultNA(XLF_EVALUATE, {key + "!__sm_VV_" + Hex(i)});
            if (!p.RestoreValue(i, stored)) fits = false;
        }
        return fits;
    };
    bool fits = restoreAll();
    // Items that depend on others appear, go or change as the restored values reach the test.
    for (int pass = 0; pass < kRestorePasses; ++pass) {
        p.Run(Parameters::kUpdate);
        if (!p.layoutChanged) break;
        fits = restoreAll();
    }
    return fits;
}

bool UpdateParameters(ReportExcel& report, Test& test, bool withDialog, UpdateSession& session) {
    CRef<DatasetSourceExcel> dataset = EnsureConfirmed(LocateDataset(report, session));
    if (!dataset) return false;
    bool fits = RestoreParameters(report, test, *dataset);
    Parameters& p = *test.parameters;
    if (!fits || withDialog) {
        if (!withDialog) {
            XlStateScope screen(true);
            ShowMessage(ids::kMessageVariablesRenamed);
        }
        if (!ShowParameterDialog(p, dataset->activeCell)) return false;
    }
    // The stored values pass today's checks, or the user edits them until they do.
    for (;;) {
        CException* problem = nullptr;
        try {
            p.Run(Parameters::kCheck);
        } catch (...) {
            problem = CaughtException();
            if (problem == CancelKeyException::Instance()) throw CancelKeyException::Instance();
        }
        if (!problem) return true;
        char text[1024] = "";
        problem->GetErrorMessage(text, sizeof text);
        problem->Delete();
        ShowMessage(ids::kMessageEditParameters, MB_OK | MB_ICONWARNING, "%s", text);
        if (!ShowParameterDialog(p, dataset->activeCell)) return false;
    }
}

CRef<ReportExcel> UpdateReport(ReportExcel& report, bool withDialog, bool passEscape, UpdateSession* session) {
    UpdateSession own;
    if (report.tests.empty()) report.Load();
    RunRequest request;
    request.testId = report.tests.empty() ? 0 : report.tests.front().id;
    request.oldReport = CRef<ReportExcel>(&report);
    request.showDialog = withDialog;
    request.passEscape = passEscape;
    request.session = session ? session : &own;
    return Run(request);
}

int UpdateAllReports(const std::string& book) {
    XlStateScope scope(ids::kStatusUpdatingAll, 0, false);
    UpdateSession session;
    int updated = 0;
    std::string current;
    try {
        XlValue sheets = XlCallResult(XLF_GET_WORKBOOK, {1, book});
        std::vector<std::string> keys;
        for (uint16_t r = 0; r < sheets.Rows(); ++r)
            for (uint16_t c = 0; c < sheets.Columns(); ++c)
                if (sheets.At(r, c).Is(XLTYPE_STR)) keys.push_back(sheets.At(r, c).Text());
        for (const std::string& key : keys) {
            if (!IsReportSheet(key)) continue;
            current = key;
            CRef<ReportExcel> report(new ReportExcel(XlCallResult(xlSheetId, {key}).SheetId(), true));
            if (UpdateReport(*report, false, true, &session)) ++updated;
        }
    } catch (...) {
        CException* e = CaughtException();
        if (e != CancelKeyException::Instance()) throw e;
        if (!current.empty()) try {
                XlCall(XLC_WORKBOOK_SELECT, {current});
            } catch (...) {
                CaughtException()->Delete();
            }
        if (updated)
            ShowMessage(ids::kMessageUpdateAllInterrupted, MB_OK | MB_ICONWARNING, "%d", updated);
        else
            ShowMessage(ids::kMessageNoReportsUpdated);
    }
    return updated;
}

void MoveToDatasetWorkbook(ReportExcel& report) {
    UpdateSession session;
    if (report.tests.empty()) report.Load();
    std::string key = report.SheetKey();
    DatasetReference ref = ReadDatasetReference(key);
    std::string reportBook = BookOfSheet(key);
    std::string book = OpenDatasetWorkbook(ref, reportBook, ReadLayoutRecord(key), session);
    if (SameText(book, reportBook)) return;
    XlValue range = XlCallResultNA(XLF_EVALUATE, {Quoted("[" + book + "]" + ref.sheet) + "!" + ref.range});
    int count = XlCallInt(XLF_GET_WORKBOOK, {4, book});
    XlCall(XLC_WORKBOOK_MOVE, {key, book, count + 1});
    // The workbook now holds the report: it stays open and is shown.
    session.Keep(book);
    XlCall(XLC_UNHIDE, {book});
    // Its dataset is now in its own workbook: the record says so without a workbook.
    if (range.Is(XLTYPE_REF))
        XlCall(XLC_DEFINE_NAME, {report.SheetKey() + "!__sm_ER_0", range, nullptr, nullptr, false, nullptr, true});
    XlCall(XLC_WORKBOOK_SELECT, {report.SheetKey()});
}

void DiscardReport(ReportExcel& report) { XlCall(XLC_WORKBOOK_DELETE, {report.SheetKey()}); }

void InstallReportServices() {
    Services().reportCommand = [](int id, ActiveReport& active) {
        auto* report = dynamic_cast<ReportExcel*>(&active);
        if (!report) return;
        switch (id) {
            case kCommandMoveToDatasetWorkbook: MoveToDatasetWorkbook(*report); break;
            case kCommandDiscard: DiscardReport(*report); break;
            case kCommandUpdate: UpdateReport(*report, false, false); break;
            case kCommandEditParameters: UpdateReport(*report, true, false); break;
            case kCommandUpdateAll: UpdateAllReports(BookOfSheet(report->SheetKey())); break;
            default: break;
        }
    };
}

}  // namespace qs
