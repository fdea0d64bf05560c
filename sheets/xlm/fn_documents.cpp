// Workbook functions: OPEN, NEW, CLOSE and the rest of the family answered by the sheet engine's
// glue (Documents). OPEN of a toolbar file (".xlb") loads its toolbars into the host.
#include <filesystem>

#include "platform/fileutil.h"
#include "sheets/xlm/documents.h"
#include "sheets/xlm/functions.h"

namespace xlm {

void SheetChanged(const std::string& before, const std::string& after) {
  if (before == after) return;
  Host& host = Host::Get();
  auto run = [&](const std::string& macro) {
    if (macro.empty()) return;
    std::string error;
    if (!host.RunMacro(macro, error)) host.report(error);
  };
  if (!before.empty()) {
    if (auto it = host.sheetDeactivated.find(before); it != host.sheetDeactivated.end()) run(it->second);
    run(host.onSheetDeactivated);
  }
  if (!after.empty()) {
    if (auto it = host.sheetActivated.find(after); it != host.sheetActivated.end()) run(it->second);
    run(host.onSheetActivated);
  }
}

int DocumentSetName(Call& c) {
  if (c.host.documents) {
    int rc = c.host.documents->Handle(c);
    if (rc != XLRET_INVALID_FN) return rc;
  }
  return c.Refuse(XLERR_NAME);
}

int DocumentEvaluate(Call& c) {
  if (c.host.documents) {
    int rc = c.host.documents->Handle(c);
    if (rc != XLRET_INVALID_FN) return rc;
  }
  return c.Fail(XLERR_NAME);
}

namespace {

bool IsToolbarFile(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  return platform::EqualNoCase(ext, ".xlb");
}

// OPEN(file, ...): a toolbar file loads its toolbars; other files are workbooks.
int Open(Call& c) {
  std::optional<std::string> path = Text(c.Arg(0));
  if (!path) return c.Refuse();
  if (IsToolbarFile(*path)) {
    std::string error;
    if (!c.host.LoadToolbarFile(*path, error)) {
      c.host.report(error);
      return c.Refuse();
    }
    return c.Done();
  }
  if (!c.host.documents) return c.Refuse();
  return c.host.documents->Handle(c);
}

// NEW(type): a new workbook (or sheet of another type). Making a document is also when the
// application makes sure it is published as the running application object.
int New(Call& c) {
  c.host.PublishRunningInstance();
  if (!c.host.documents) return c.Done();  // nothing to hold it: the document is not kept
  return c.host.documents->Handle(c);
}

int Close(Call& c) {
  if (!c.host.documents) return c.Done();
  return c.host.documents->Handle(c);
}

// Everything else of the family goes to the workbook engine.
int Forward(Call& c) {
  if (!c.host.documents) return c.Fail(XLERR_REF);  // no workbook open
  int rc = c.host.documents->Handle(c);
  if (rc == XLRET_INVALID_FN) return c.Refuse(XLERR_VALUE);
  return rc;
}

}  // namespace

int DocumentCoerce(Call& c) { return Forward(c); }

void AddDocumentFunctions(FunctionTable& t) {
  t[XLC_OPEN] = Open;
  t[XLC_NEW] = New;
  t[XLC_CLOSE] = Close;
  for (int fn : {XLF_COUNT,
                 XLF_TEXT,
                 XLF_NOW,
                 XLF_SELECTION,
                 XLF_GET_NAME,
                 XLF_REFTEXT,
                 XLF_TEXTREF,
                 XLF_COUNTA,
                 XLF_GET_CELL,
                 XLF_GET_WINDOW,
                 XLF_GET_DOCUMENT,
                 XLF_CREATE_OBJECT,
                 XLF_GET_OBJECT,
                 XLF_WINDOW_TITLE,
                 XLF_GET_WORKBOOK,
                 xlSet,
                 xlSheetId,
                 xlSheetNm,
                 XLC_PAGE_SETUP,
                 XLC_COPY,
                 XLC_CLEAR,
                 XLC_PASTE_SPECIAL,
                 XLC_EDIT_DELETE,
                 XLC_INSERT,
                 XLC_FORMULA_GOTO,
                 XLC_PATTERNS,
                 XLC_FORMAT_TEXT,
                 XLC_HIDE,
                 XLC_UNHIDE,
                 XLC_ACTIVATE,
                 XLC_SELECT,
                 XLC_VSCROLL,
                 XLC_HSCROLL,
                 XLC_CANCEL_COPY,
                 XLC_FORMAT_MOVE,
                 XLC_SELECT_SPECIAL,
                 XLC_ZOOM,
                 XLC_WORKBOOK_MOVE,
                 XLC_WORKBOOK_COPY,
                 XLC_WORKBOOK_SELECT,
                 XLC_OPTIONS_VIEW,
                 XLC_CHART_TREND,
                 XLC_WORKBOOK_INSERT,
                 XLC_WORKBOOK_DELETE,
                 XLC_WORKBOOK_NAME,
                 XLC_FORMAT_NUMBER,
                 XLC_SCALE,
                 XLF_GET_FORMULA,
                 XLC_CHART_TEXT,
                 XLC_FORMAT_SIZE,
                 XLC_EDIT_SERIES})
    t[fn] = Forward;
}

}  // namespace xlm
