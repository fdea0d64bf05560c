#include "sheets/edit/moved_sheet.h"

#include "sheets/edit/formula_refs.h"
#include "sheets/model/workbook.h"

namespace sheets {

namespace {

// How an external reference names a workbook: its file with the folder, or its name when unsaved.
std::string WorkbookRefName(const Workbook& book) { return book.path().empty() ? book.name() : book.path(); }

bool NamesWorkbook(std::string_view workbook, const Workbook& book) {
  size_t slash = workbook.find_last_of("/\\");
  return NamesEqual(slash == std::string_view::npos ? workbook : workbook.substr(slash + 1), book.name());
}

// A reference written again with a new workbook and sheet part.
std::string Rewritten(const Reference& ref, std::string_view workbook, std::string_view sheet) {
  Reference r = ref;
  r.workbook = std::string(workbook);
  r.sheet = std::string(sheet);
  return FormatReference(r, RefStyle::A1);
}

}  // namespace

void RebaseArrivedSheet(Sheet& sheet, const Workbook& from, std::string_view old_name) {
  const Workbook& to = *sheet.workbook();
  const bool other_book = &from != &to;
  const std::string from_ref = WorkbookRefName(from);
  const std::string name = sheet.name();
  EditSheetReferences(sheet, [&](const Reference& ref, std::string_view) -> std::optional<std::string> {
    if (!ref.last_sheet.empty() || ref.sheet.empty()) return std::nullopt;
    if (ref.IsExternal()) {
      if (other_book && NamesWorkbook(ref.workbook, to)) return Rewritten(ref, {}, ref.sheet);
      return std::nullopt;
    }
    if (NamesEqual(ref.sheet, old_name)) {
      if (ref.sheet == name) return std::nullopt;
      return Rewritten(ref, {}, name);
    }
    if (other_book) return Rewritten(ref, from_ref, ref.sheet);
    return std::nullopt;
  });
}

void ReferToDepartedSheet(Workbook& from, std::string_view old_name, const Sheet& moved) {
  const std::string to_ref = WorkbookRefName(*moved.workbook());
  const std::string name = moved.name();
  const ReferenceEdit edit = [&](const Reference& ref, std::string_view) -> std::optional<std::string> {
    if (ref.IsExternal() || !ref.last_sheet.empty() || !NamesEqual(ref.sheet, old_name)) return std::nullopt;
    return Rewritten(ref, to_ref, name);
  };
  EditNameReferences(from.names(), from.limits(), edit);
  for (size_t i = 0; i < from.sheet_count(); ++i) EditSheetReferences(from.sheet(i), edit);
}

}  // namespace sheets
