// Workbook functions over the workbook model: documents and windows, sheets, selections,
// references and their text, cell values, names and evaluation.
#include "sheets/xlm/documents_model.h"

#include <algorithm>
#include <cmath>
#include <cctype>
#include <ctime>
#include <filesystem>

#include "platform/fileutil.h"
#include "platform/msgbox.h"
#include "sheets/edit/moved_sheet.h"
#include "sheets/io/workbook_io.h"
#include "sheets/xlm/calc_host.h"
#include "sheets/xlm/functions.h"

namespace xlm {

using sheets::CellAddress;
using sheets::RangeAddress;
using sheets::Sheet;
using sheets::Workbook;

// ---------------------------------------------------------------- the document list

ModelDocuments::ModelDocuments(sheets::SheetLimits limits) : limits_(limits) {}
ModelDocuments::~ModelDocuments() = default;

Workbook* ModelDocuments::ActiveBook() const { return active_; }

Sheet* ModelDocuments::ActiveSheet() const {
  if (!active_ || active_->sheet_count() == 0) return nullptr;
  return &active_->sheet(std::min(active_->active_sheet(), active_->sheet_count() - 1));
}

Workbook* ModelDocuments::FindBook(const std::string& name) const {
  for (const auto& b : books_) {
    if (platform::EqualNoCase(b->name(), name)) return b.get();
    for (const sheets::Window& w : b->windows())
      if (!w.title.empty() && platform::EqualNoCase(w.title, name)) return b.get();
  }
  return nullptr;
}

Workbook* ModelDocuments::LastVisibleBook(const Workbook* except) const {
  for (auto it = recent_.rbegin(); it != recent_.rend(); ++it)
    if (*it != except && ((*it)->windows().empty() || !(*it)->windows()[0].hidden)) return *it;
  return nullptr;
}

std::string ModelDocuments::NextBookName() { return "Book" + std::to_string(++untitled_); }

Workbook& ModelDocuments::AddBook(std::unique_ptr<Workbook> book) {
  Workbook* b = book.get();
  books_.push_back(std::move(book));
  Activate(b, b->active_sheet());
  return *b;
}

void ModelDocuments::Activate(Workbook* book, std::size_t index) {
  std::string before = ActiveSheetKey();
  selectedObject.clear();
  selectedItem.clear();
  active_ = book;
  if (book) {
    std::erase(recent_, book);
    recent_.push_back(book);
  }
  if (book && index < book->sheet_count()) book->set_active_sheet(index);
  SheetChanged(before, ActiveSheetKey());
}

void ModelDocuments::CloseBook(Workbook* book) {
  std::string before = ActiveSheetKey();
  for (std::size_t i = 0; i < book->sheet_count(); ++i) ids_.erase(&book->sheet(i));
  if (clip.active && !SheetOf(clip.sheet)) clip.active = false;
  auto it = std::find_if(books_.begin(), books_.end(), [&](const auto& b) { return b.get() == book; });
  if (it == books_.end()) return;
  books_.erase(it);
  std::erase(recent_, book);
  // The visible window used most recently before comes to the front (a hidden one, such as a
  // template or the tutorial's master workbook, only when no other is left).
  if (active_ == book) {
    active_ = LastVisibleBook(nullptr);
    if (!active_) active_ = recent_.empty() ? (books_.empty() ? nullptr : books_.back().get()) : recent_.back();
  }
  SheetChanged(before, ActiveSheetKey());
}

XL_SHEET_ID ModelDocuments::IdOf(const Sheet* sheet) {
  auto it = ids_.find(sheet);
  if (it != ids_.end()) return it->second;
  ids_[sheet] = nextId_;
  return nextId_++;
}

Sheet* ModelDocuments::SheetOf(XL_SHEET_ID id) const {
  for (const auto& b : books_)
    for (std::size_t i = 0; i < b->sheet_count(); ++i) {
      auto it = ids_.find(&b->sheet(i));
      if (it != ids_.end() && it->second == id) return &b->sheet(i);
    }
  return nullptr;
}

std::string ModelDocuments::KeyOf(const Sheet* sheet) {
  if (!sheet) return {};
  return "[" + sheet->workbook()->name() + "]" + sheet->name();
}

Sheet* ModelDocuments::FindSheet(const std::string& key) const {
  if (key.empty()) return ActiveSheet();
  Workbook* book = active_;
  std::string name = key;
  if (key[0] == '[') {
    std::size_t close = key.find(']');
    if (close == std::string::npos) return nullptr;
    book = FindBook(key.substr(1, close - 1));
    name = key.substr(close + 1);
  }
  if (!book) return nullptr;
  if (name.empty()) return book->sheet_count() ? &book->sheet(book->active_sheet()) : nullptr;
  return book->FindSheet(name);
}

std::string ModelDocuments::ActiveSheetKey() const { return KeyOf(ActiveSheet()); }

std::vector<sheets::Workbook*> ModelDocuments::Books() const {
  std::vector<sheets::Workbook*> out;
  for (const auto& b : books_) out.push_back(b.get());
  return out;
}

std::vector<std::string> ModelDocuments::WorkbookNames() const {
  std::vector<std::string> out;
  for (const auto& b : books_) out.push_back(b->name());
  return out;
}

bool ModelDocuments::New(std::string& error) {
  try {
    auto book = std::make_unique<Workbook>(NextBookName(), limits_);
    book->AddSheet("Sheet1");
    book->set_dirty(false);  // a new workbook has nothing to save yet
    AddBook(std::move(book));
    return true;
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
}

bool ModelDocuments::Open(const std::string& path, std::string& error) { return OpenFile(path, false, error); }

bool ModelDocuments::OpenFile(const std::string& path, bool editTemplate, std::string& error) {
  std::error_code ec;
  std::filesystem::path full = std::filesystem::weakly_canonical(std::filesystem::absolute(path), ec);
  if (ec) full = path;
  // A workbook that is open already is shown again, not read a second time.
  for (const auto& b : books_)
    if (!b->path().empty() && std::filesystem::equivalent(b->path(), full, ec)) {
      Activate(b.get(), b->active_sheet());
      return true;
    }
  // File names are matched without regard to case, as the spreadsheet's home platform does: an add-in
  // asking for "ttesti.XLT" finds "ttesti.xlt".
  if (!std::filesystem::exists(full, ec)) {
    std::string wanted = full.filename().string();
    std::filesystem::path folder = full.parent_path();
    for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, ec))
      if (platform::EqualNoCase(entry.path().filename().string(), wanted)) {
        full = entry.path();
        break;
      }
  }
  sheets::ReadOptions options;
  options.text_limits = limits_;
  try {
    std::unique_ptr<Workbook> book = sheets::ReadWorkbook(full.string(), options);
    if (book->sheet_count() == 0) {
      error = "cannot open " + path + ": it holds no sheet";
      return false;
    }
    // A template is known by its content (the package's main part), whatever the file is called:
    // it opens as a new untitled workbook made from it, unless it is opened for editing.
    bool isTemplate = book->format() == sheets::FileFormat::Xltx || book->format() == sheets::FileFormat::Xltm;
    if (isTemplate && !editTemplate) {
      book->set_path("");
      book->set_name(NextBookName());
      book->set_format(sheets::FileFormat::None);
      book->set_dirty(false);
    }
    AddBook(std::move(book));
    return true;
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
}

bool ModelDocuments::Save(const std::string& path, std::string& error) {
  if (!active_) {
    error = "no workbook is open";
    return false;
  }
  std::string target = path.empty() ? active_->path() : path;
  if (target.empty()) {
    error = active_->name() + " has never been saved: give a file name";
    return false;
  }
  try {
    sheets::SaveWorkbook(*active_, target);
    return true;
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
}

bool ModelDocuments::Close(std::string& error) {
  if (!active_) {
    error = "no workbook is open";
    return false;
  }
  return CloseAsking(active_, error);
}

bool ModelDocuments::CloseAsking(Workbook* book, std::string& error) {
  if (book->dirty()) {
    // As a spreadsheet program does: changes are saved, dropped or the close is cancelled.
    int answer =
        platform::MessageBox("Microsoft Excel", "Do you want to save the changes you made to '" + book->name() + "'?",
                             platform::MB_YESNOCANCEL | platform::MB_ICONWARNING);
    if (answer == platform::IDCANCEL) {
      error = "closing " + book->name() + " was cancelled";
      return false;
    }
    if (answer == platform::IDYES) {
      if (book->path().empty()) {
        error = book->name() + " has never been saved: save it with a file name first";
        return false;
      }
      try {
        sheets::SaveWorkbook(*book, book->path());
      } catch (const std::exception& e) {
        error = e.what();
        return false;
      }
    }
  }
  CloseBook(book);
  return true;
}

std::vector<std::string> ModelDocuments::UnsavedWorkbooks() const {
  std::vector<std::string> out;
  for (const auto& b : books_)
    if (b->dirty()) out.push_back(b->name());
  return out;
}

namespace {

// A reference text resolved to a sheet and its areas.
struct Target {
  Sheet* sheet = nullptr;
  std::vector<RangeAddress> areas;
};

std::optional<Target> ResolveText(ModelDocuments& d, const std::string& text, bool a1) {
  std::string body = text;
  if (!body.empty() && body[0] == '=') body.erase(0, 1);
  Sheet* active = d.ActiveSheet();
  CellAddress base = active ? active->view().active_cell : CellAddress{};
  auto list = sheets::ParseReferenceList(body, a1 ? sheets::RefStyle::A1 : sheets::RefStyle::R1C1, base, d.Limits());
  if (!list || list->empty()) return std::nullopt;
  Target t;
  for (const sheets::Reference& r : *list) {
    std::string key;
    if (r.IsExternal()) {
      std::string book = std::filesystem::path(r.workbook).filename().string();
      key = "[" + book + "]" + r.sheet;
    } else {
      key = r.sheet;
    }
    Sheet* s = d.FindSheet(key);
    if (!s || (t.sheet && s != t.sheet)) return std::nullopt;
    t.sheet = s;
    t.areas.push_back(r.area.range);
  }
  return t;
}

XLREF ToXlRef(const RangeAddress& r) {
  XLREF x;
  x.rwFirst = static_cast<uint16_t>(r.first.row);
  x.rwLast = static_cast<uint16_t>(r.last.row);
  x.colFirst = static_cast<uint8_t>(r.first.col);
  x.colLast = static_cast<uint8_t>(r.last.col);
  return x;
}

RangeAddress FromXlRef(const XLREF& x) { return RangeAddress{{x.rwFirst, x.colFirst}, {x.rwLast, x.colLast}}; }

void MakeRef(ModelDocuments& d, XLOPER* out, Sheet* sheet, const std::vector<RangeAddress>& areas) {
  // An area table holds 16-bit rows and 8-bit columns: cells beyond them cannot be referred to.
  for (const RangeAddress& r : areas)
    if (r.last.row > 0xFFFF || r.last.col > 0xFF) {
      SetError(out, XLERR_REF);
      return;
    }
  std::vector<XLREF> refs;
  for (const RangeAddress& r : areas) refs.push_back(ToXlRef(r));
  SetRef(out, d.IdOf(sheet), refs);
}

// The sheet and areas of a reference value (a single-sheet reference is on the active sheet).
std::optional<Target> TargetOf(ModelDocuments& d, const XLOPER* v) {
  Target t;
  if (TypeOf(v) == XLTYPE_SREF) {
    t.sheet = d.ActiveSheet();
    t.areas.push_back(FromXlRef(v->val.sref.ref));
  } else if (TypeOf(v) == XLTYPE_REF) {
    t.sheet = d.SheetOf(v->val.mref.idSheet);
    if (v->val.mref.lpmref)
      for (uint16_t i = 0; i < v->val.mref.lpmref->count; ++i)
        t.areas.push_back(FromXlRef(v->val.mref.lpmref->reftbl[i]));
  } else {
    return std::nullopt;
  }
  if (!t.sheet) return std::nullopt;
  return t;
}

}  // namespace

void SetCellValue(XLOPER* out, const sheets::Value& v) {
  switch (v.type) {
    case sheets::ValueType::Number: SetNumber(out, v.number); break;
    case sheets::ValueType::Text: SetText(out, v.text); break;
    case sheets::ValueType::Boolean: SetBool(out, v.boolean); break;
    case sheets::ValueType::Error: SetError(out, static_cast<int>(v.error)); break;
    default: SetNil(out);
  }
}

std::optional<sheets::Value> ModelValue(const XLOPER* v) {
  switch (TypeOf(v)) {
    case XLTYPE_NUM: return sheets::Value::Number(v->val.num);
    case XLTYPE_INT: return sheets::Value::Number(v->val.w);
    case XLTYPE_STR: return sheets::Value::Text(*Text(v));
    case XLTYPE_BOOL: return sheets::Value::Boolean(v->val.xbool != 0);
    case XLTYPE_ERR: return sheets::Value::Error(static_cast<sheets::ErrorCode>(v->val.err));
    case XLTYPE_MISSING:
    case XLTYPE_NIL: return sheets::Value::Empty();
    default: return std::nullopt;
  }
}

namespace {

// Values of the first area of a target: a scalar for one cell, else an array.
void ValuesOf(const Target& t, XLOPER* out) {
  if (t.areas.empty()) {
    SetError(out, XLERR_REF);
    return;
  }
  const RangeAddress& r = t.areas[0];
  if (r.IsSingleCell()) {
    SetCellValue(out, t.sheet->GetValue(r.first.row, r.first.col));
    return;
  }
  if (r.CellCount() > 1'000'000) {
    SetError(out, XLERR_VALUE);
    return;
  }
  std::vector<XLOPER> cells;
  for (uint32_t row = r.first.row; row <= r.last.row; ++row)
    for (uint32_t col = r.first.col; col <= r.last.col; ++col) {
      XLOPER cell;
      SetCellValue(&cell, t.sheet->GetValue(row, col));
      cells.push_back(cell);
    }
  SetArray(out, static_cast<int>(r.Rows()), static_cast<int>(r.Cols()), cells);
}

// The reference as text with its sheet, and its workbook unless `from` is that workbook.
std::string RefText(const Target& t, bool a1, const Workbook* from = nullptr) {
  std::string out;
  for (std::size_t i = 0; i < t.areas.size(); ++i) {
    sheets::Reference r;
    if (t.sheet->workbook() != from) r.workbook = t.sheet->workbook()->name();
    r.sheet = t.sheet->name();
    r.area = sheets::AreaRef::Absolute(t.areas[i]);
    if (i) out += ",";
    out += sheets::FormatReference(r, a1 ? sheets::RefStyle::A1 : sheets::RefStyle::R1C1);
  }
  return out;
}

double SerialNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  // Days since 1899-12-30 in local time (the 1900 date system's serial numbers).
  double seconds = static_cast<double>(now) + static_cast<double>(local.tm_gmtoff);
  return seconds / 86400.0 + 25569.0;
}

// TEXT(number, format) for the common number formats: "General", "0", "0.000", "#,##0.00",
// "0%", "0.0%", "0.00E+00".
std::string FormatNumber(double n, const std::string& format) {
  char buf[64];
  if (format.empty() || platform::EqualNoCase(format, "General") || platform::EqualNoCase(format, "@")) {
    std::snprintf(buf, sizeof buf, "%.10g", n);
    return buf;
  }
  std::size_t dot = format.find('.');
  int decimals = 0;
  if (dot != std::string::npos)
    while (dot + 1 + static_cast<std::size_t>(decimals) < format.size() &&
           (format[dot + 1 + static_cast<std::size_t>(decimals)] == '0' ||
            format[dot + 1 + static_cast<std::size_t>(decimals)] == '#'))
      ++decimals;
  bool percent = format.find('%') != std::string::npos;
  bool exponent = format.find("E+") != std::string::npos || format.find("e+") != std::string::npos;
  bool grouping = format.find(',') != std::string::npos && !exponent;
  if (percent) n *= 100;
  if (exponent) {
    std::snprintf(buf, sizeof buf, "%.*E", decimals, n);
    return buf;
  }
  std::snprintf(buf, sizeof buf, "%.*f", decimals, n);
  std::string s = buf;
  if (grouping) {
    std::size_t end = s.find('.');
    if (end == std::string::npos) end = s.size();
    std::size_t start = (s[0] == '-') ? 1 : 0;
    for (std::ptrdiff_t i = static_cast<std::ptrdiff_t>(end) - 3; i > static_cast<std::ptrdiff_t>(start); i -= 3)
      s.insert(static_cast<std::size_t>(i), ",");
  }
  if (percent) s += "%";
  return s;
}

int Count(ModelDocuments& d, Call& c, bool any) {
  double n = 0;
  for (const XLOPER* a : c.args) {
    if (std::optional<Target> t = TargetOf(d, a)) {
      for (const RangeAddress& r : t->areas)
        t->sheet->ForEachCellIn(r, [&](uint32_t, uint32_t, const sheets::CellView& v) {
          if (any ? v.type != sheets::ValueType::Empty : v.type == sheets::ValueType::Number) ++n;
        });
    } else {
      Table tab = TableOf(a);
      for (const XLOPER* cell : tab.cells) {
        int type = TypeOf(cell);
        if (any ? (type != XLTYPE_NIL && type != XLTYPE_MISSING) : (type == XLTYPE_NUM || type == XLTYPE_INT)) ++n;
      }
    }
  }
  SetNumber(c.result, n);
  return XLRET_SUCCESS;
}

// Sheet designated by an optional name argument (the active sheet when missing).
Sheet* SheetArg(ModelDocuments& d, const Call& c, std::size_t i) {
  if (!c.Has(i)) return d.ActiveSheet();
  if (std::optional<Target> t = TargetOf(d, c.Arg(i))) return t->sheet;
  std::optional<std::string> name = Text(c.Arg(i));
  return name ? d.FindSheet(*name) : nullptr;
}

Workbook* BookArg(ModelDocuments& d, const Call& c, std::size_t i) {
  if (!c.Has(i)) return d.ActiveBook();
  std::optional<std::string> name = Text(c.Arg(i));
  if (!name) return nullptr;
  if (Workbook* b = d.FindBook(*name)) return b;
  if (!name->empty() && (*name)[0] == '[') {
    std::size_t close = name->find(']');
    if (close != std::string::npos) return d.FindBook(name->substr(1, close - 1));
  }
  return nullptr;
}

int GetDocument(ModelDocuments& d, Call& c) {
  std::optional<double> type = Number(c.Arg(0));
  if (!type) return c.Fail();
  Sheet* s = SheetArg(d, c, 1);
  Workbook* b = s ? s->workbook() : BookArg(d, c, 1);
  if (!b) return c.Fail(XLERR_NA);
  switch (static_cast<int>(*type)) {
    case 1:
    case 76: SetText(c.result, s ? ModelDocuments::KeyOf(s) : "[" + b->name() + "]"); break;
    case 2:
      if (b->path().empty())
        SetError(c.result, XLERR_NA);
      else
        SetText(c.result, std::filesystem::path(b->path()).parent_path().string());
      break;
    case 3: SetNumber(c.result, s && !s->IsWorksheet() ? 2 : 1); break;
    case 4: SetBool(c.result, b->dirty()); break;
    case 9:
    case 10: {
      if (!s) return c.Fail(XLERR_NA);
      std::optional<RangeAddress> used = s->UsedRange();
      SetNumber(c.result, used ? (*type == 9 ? used->last.row + 1 : used->last.col + 1) : 0);
      break;
    }
    case 77: SetNumber(c.result, s ? s->page_setup().paper_size : 0); break;  // 0: not set
    case 87: SetNumber(c.result, s ? b->SheetIndex(s) + 1 : 0); break;
    case 88: SetText(c.result, b->name()); break;
    default: SetError(c.result, XLERR_VALUE);
  }
  return XLRET_SUCCESS;
}

int GetWorkbook(ModelDocuments& d, Call& c) {
  std::optional<double> type = Number(c.Arg(0));
  Workbook* b = BookArg(d, c, 1);
  if (!type || !b) return c.Fail();
  switch (static_cast<int>(*type)) {
    case 1: {
      std::vector<XLOPER> names;
      for (std::size_t i = 0; i < b->sheet_count(); ++i) {
        XLOPER n;
        SetText(&n, ModelDocuments::KeyOf(&b->sheet(i)));
        names.push_back(n);
      }
      if (names.empty()) return c.Fail(XLERR_NA);
      SetArray(c.result, 1, static_cast<int>(names.size()), names);
      break;
    }
    case 3: SetText(c.result, ModelDocuments::KeyOf(&b->sheet(b->active_sheet()))); break;
    case 4: SetNumber(c.result, static_cast<double>(b->sheet_count())); break;
    default: SetError(c.result, XLERR_VALUE);
  }
  return XLRET_SUCCESS;
}

int GetWindow(ModelDocuments& d, Call& c) {
  std::optional<double> type = Number(c.Arg(0));
  Workbook* b = BookArg(d, c, 1);
  if (!type || !b || b->windows().empty()) return c.Fail(XLERR_VALUE);
  const sheets::Window& w = b->windows()[0];
  Sheet* s = b->sheet_count() ? &b->sheet(b->active_sheet()) : nullptr;
  switch (static_cast<int>(*type)) {
    case 1: SetText(c.result, w.title.empty() ? b->name() : w.title); break;
    case 7: SetBool(c.result, w.hidden); break;
    case 13:
    case 14: {
      if (!s) return c.Fail(XLERR_VALUE);
      XLOPER cell;
      SetNumber(&cell, *type == 13 ? s->view().top_left.col + 1 : s->view().top_left.row + 1);
      SetArray(c.result, 1, 1, {cell});
      break;
    }
    case 19: SetNumber(c.result, s ? s->view().zoom : 100); break;
    default: SetError(c.result, XLERR_VALUE);
  }
  return XLRET_SUCCESS;
}

int GetCell(ModelDocuments& d, Call& c) {
  std::optional<double> type = Number(c.Arg(0));
  std::optional<Target> t = c.Has(1) ? TargetOf(d, c.Arg(1)) : std::nullopt;
  if (!t && !c.Has(1)) {
    Sheet* s = d.ActiveSheet();
    if (s) t = Target{s, {RangeAddress::Cell(s->view().active_cell.row, s->view().active_cell.col)}};
  }
  if (!type || !t || t->areas.empty()) return c.Fail();
  CellAddress at = t->areas[0].first;
  sheets::CellView v = t->sheet->Get(at.row, at.col);
  const sheets::CellFormat& f = t->sheet->workbook()->formats().Get(v.format);
  switch (static_cast<int>(*type)) {
    case 1: SetText(c.result, RefText(Target{t->sheet, {RangeAddress::Cell(at.row, at.col)}}, true)); break;
    case 2: SetNumber(c.result, at.row + 1); break;
    case 3: SetNumber(c.result, at.col + 1); break;
    case 5: SetCellValue(c.result, v.ToValue()); break;
    case 6:
      if (v.HasFormula())
        SetText(c.result, "=" + std::string(v.formula));
      else
        SetText(c.result, sheets::FormatConstant(v.ToValue()));
      break;
    case 7: SetText(c.result, f.number_format); break;
    case 48: SetBool(c.result, v.HasFormula()); break;
    case 62: SetText(c.result, ModelDocuments::KeyOf(t->sheet)); break;
    default: SetError(c.result, XLERR_VALUE);
  }
  return XLRET_SUCCESS;
}

int GetName(ModelDocuments& d, Call& c) {
  std::optional<std::string> text = Text(c.Arg(0));
  if (!text) return c.Fail();
  std::string name = *text;
  const sheets::DefinedName* found = nullptr;
  std::size_t bang = name.rfind('!');
  if (bang != std::string::npos) {
    Sheet* s = d.FindSheet(name.substr(0, bang));
    if (s) found = s->names().Find(name.substr(bang + 1));
  } else if (Workbook* b = d.ActiveBook()) {
    found = b->names().Find(name);
  }
  if (!found) return c.Fail(XLERR_NAME);
  SetText(c.result, "=" + found->refers_to);
  return XLRET_SUCCESS;
}

// SET.NAME(name, value): a name of the active workbook ("Sheet!name" for a sheet's own).
int SetName(ModelDocuments& d, Call& c) {
  std::optional<std::string> text = Text(c.Arg(0));
  Workbook* b = d.ActiveBook();
  if (!text || !b) return c.Refuse(XLERR_NAME);
  sheets::NameTable* table = &b->names();
  std::string name = *text;
  if (std::size_t bang = name.rfind('!'); bang != std::string::npos) {
    Sheet* s = d.FindSheet(name.substr(0, bang));
    if (!s) return c.Refuse(XLERR_REF);
    table = &s->names();
    name = name.substr(bang + 1);
  }
  if (!c.Has(1)) {
    if (!table->Remove(name)) return c.Refuse(XLERR_NAME);
    return c.Done();
  }
  std::string refersTo;
  if (std::optional<Target> t = TargetOf(d, c.Arg(1))) {
    refersTo = RefText(*t, true, b);
  } else if (std::optional<sheets::Value> v = ModelValue(c.Arg(1))) {
    refersTo = sheets::FormatConstant(*v);
  } else {
    return c.Refuse();
  }
  try {
    table->Define(name, refersTo, d.Limits());
  } catch (const std::exception&) {
    return c.Refuse(XLERR_NAME);
  }
  return c.Done();
}

// EVALUATE(text): a reference, a defined name or a constant.
int Evaluate(ModelDocuments& d, Call& c) {
  std::string text = Text(c.Arg(0)).value_or(std::string());
  if (!text.empty() && text[0] == '=') text.erase(0, 1);
  if (std::optional<Target> t = ResolveText(d, text, true)) {
    MakeRef(d, c.result, t->sheet, t->areas);
    return XLRET_SUCCESS;
  }
  Workbook* b = d.ActiveBook();
  if (b) {
    Sheet* s = d.ActiveSheet();
    const sheets::DefinedName* n = s ? s->names().Find(text) : nullptr;
    if (!n) n = b->names().Find(text);
    if (n) {
      if (std::optional<Target> t = ResolveText(d, n->refers_to, true)) {
        MakeRef(d, c.result, t->sheet, t->areas);
        return XLRET_SUCCESS;
      }
      if (n->kind == sheets::DefinedName::Kind::Constant) {
        SetCellValue(c.result, n->constant);
        return XLRET_SUCCESS;
      }
    }
  }
  char* end = nullptr;
  double num = std::strtod(text.c_str(), &end);
  if (!text.empty() && end && *end == '\0') {
    SetNumber(c.result, num);
    return XLRET_SUCCESS;
  }
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    SetText(c.result, text.substr(1, text.size() - 2));
    return XLRET_SUCCESS;
  }
  if (platform::EqualNoCase(text, "TRUE") || platform::EqualNoCase(text, "FALSE")) {
    SetBool(c.result, platform::EqualNoCase(text, "TRUE"));
    return XLRET_SUCCESS;
  }
  SetError(c.result, XLERR_NAME);
  return XLRET_SUCCESS;
}

int SelectRef(ModelDocuments& d, Call& c) {
  if (std::optional<std::string> name = Text(c.Arg(0)); name && c.fn == XLC_SELECT) {
    if (SelectObject(d, *name)) return c.Done();
    // With a chart selected, a text names its items ("S9" is a series, not a cell).
    if (!d.selectedObject.empty()) return c.Refuse();
  }
  std::optional<Target> t = TargetOf(d, c.Arg(0));
  if (!t) {
    if (std::optional<std::string> text = Text(c.Arg(0))) t = ResolveText(d, *text, false);
    if (!t && Text(c.Arg(0))) t = ResolveText(d, *Text(c.Arg(0)), true);
  }
  if (!t || t->areas.empty() || t->sheet != d.ActiveSheet()) return c.Refuse();
  sheets::SheetView& v = t->sheet->view();
  v.selection = t->areas;
  v.active_cell = t->areas[0].first;
  d.selectedObject.clear();
  d.selectedItem.clear();
  if (std::optional<Target> active = TargetOf(d, c.Arg(1)); active && !active->areas.empty())
    v.active_cell = active->areas[0].first;
  return c.Done();
}

int SetCells(ModelDocuments& d, Call& c) {
  std::optional<Target> t = TargetOf(d, c.Arg(0));
  if (!t || t->areas.empty()) return c.Refuse();
  const RangeAddress& r = t->areas[0];
  const XLOPER* value = c.Arg(1);
  if (TypeOf(value) == XLTYPE_MULTI) {
    Table tab = TableOf(value);
    for (uint32_t row = r.first.row; row <= r.last.row; ++row)
      for (uint32_t col = r.first.col; col <= r.last.col; ++col) {
        uint32_t i = row - r.first.row, j = col - r.first.col;
        const XLOPER* cell = (static_cast<int>(i) < tab.rows && static_cast<int>(j) < tab.columns)
                                 ? tab.At(static_cast<int>(i), static_cast<int>(j))
                                 : nullptr;
        std::optional<sheets::Value> v = cell ? ModelValue(cell) : sheets::Value::Error(sheets::ErrorCode::NA);
        if (!v) {
          d.Written(*t->sheet, {r});  // what was written so far stays, and counts
          return c.Refuse();
        }
        t->sheet->SetValue(row, col, *v);
      }
    d.Written(*t->sheet, {r});
    return XLRET_SUCCESS;
  }
  std::optional<sheets::Value> v = ModelValue(value);
  if (!v) return c.Refuse();
  if (r.CellCount() > 10'000'000) return c.Refuse();
  for (uint32_t row = r.first.row; row <= r.last.row; ++row)
    for (uint32_t col = r.first.col; col <= r.last.col; ++col) {
      if (v->IsEmpty())
        t->sheet->ClearContents(row, col);
      else
        t->sheet->SetValue(row, col, *v);
    }
  d.Written(*t->sheet, {r});
  return XLRET_SUCCESS;
}

int Coerce(ModelDocuments& d, Call& c) {
  std::optional<Target> t = TargetOf(d, c.Arg(0));
  if (!t) return c.Refuse(XLERR_REF);
  HostValue values;
  ValuesOf(*t, &values.v);
  int wanted = c.Has(1) ? static_cast<int>(Number(c.Arg(1)).value_or(0)) : 0;
  if (!wanted || (TypeOf(&values.v) & wanted) || TypeOf(&values.v) == XLTYPE_NIL) {
    if (TypeOf(&values.v) == XLTYPE_NIL && wanted && !(wanted & XLTYPE_NIL)) {
      Call inner = c;
      inner.args = {&values.v, c.Arg(1)};
      return Functions().at(xlCoerce)(inner);  // empty cell: converted as a missing value
    }
    CopyValue(c.result, &values.v);
    return XLRET_SUCCESS;
  }
  Call inner = c;
  inner.args = {&values.v, c.Arg(1)};
  return Functions().at(xlCoerce)(inner);
}

int WorkbookInsert(ModelDocuments& d, Call& c) {
  Workbook* b = d.ActiveBook();
  if (!b) return c.Refuse();
  int type = static_cast<int>(Number(c.Arg(0)).value_or(1));
  sheets::SheetKind kind = type == 2 ? sheets::SheetKind::Chart : sheets::SheetKind::Worksheet;
  std::size_t at = b->sheet_count() ? b->active_sheet() : 0;
  b->AddSheet(b->NextSheetName(kind), kind, at);
  d.Activate(b, at);
  return c.Done();
}

int WorkbookName(ModelDocuments& d, Call& c) {
  Sheet* s = SheetArg(d, c, 0);
  std::optional<std::string> name = Text(c.Arg(1));
  if (!s || !name) return c.Refuse();
  Workbook* b = s->workbook();
  std::string old = s->name();
  try {
    b->RenameSheet(static_cast<std::size_t>(b->SheetIndex(s)), *name);
  } catch (const std::exception&) {
    return c.Refuse();
  }
  // Names of this workbook that refer to the sheet follow it to its new name. Renaming keeps the
  // same sheet active: no hooks run.
  std::vector<sheets::NameTable*> tables{&b->names()};
  for (std::size_t i = 0; i < b->sheet_count(); ++i) tables.push_back(&b->sheet(i).names());
  for (sheets::NameTable* table : tables) {
    std::vector<std::pair<std::string, std::string>> changed;
    for (const sheets::DefinedName& n : table->entries()) {
      if (n.kind != sheets::DefinedName::Kind::References) continue;
      sheets::ReferenceList refs = n.references;
      bool touched = false;
      for (sheets::Reference& r : refs)
        if (!r.IsExternal() && sheets::NamesEqual(r.sheet, old)) {
          r.sheet = *name;
          touched = true;
        }
      if (touched) changed.emplace_back(n.name, sheets::FormatReferenceList(refs, sheets::RefStyle::A1));
    }
    for (const auto& [n, text] : changed)
      if (sheets::DefinedName* entry = table->Find(n)) entry->SetRefersTo(text, b->limits());
  }
  return c.Done();
}

int WorkbookDelete(ModelDocuments& d, Call& c) {
  Sheet* s = SheetArg(d, c, 0);
  if (!s) return c.Refuse();
  Workbook* b = s->workbook();
  if (b->sheet_count() <= 1) return c.Refuse();  // a workbook keeps at least one sheet
  std::string before = d.ActiveSheetKey();
  std::string removed = ModelDocuments::KeyOf(s);  // s is gone once removed
  b->RemoveSheet(static_cast<std::size_t>(b->SheetIndex(s)));
  SheetChanged(before == removed ? std::string() : before, d.ActiveSheetKey());
  return c.Done();
}

// WORKBOOK.MOVE(sheet, book, position): moves a sheet to another open workbook (position 1-based).
int WorkbookMove(ModelDocuments& d, Call& c) {
  Sheet* s = SheetArg(d, c, 0);
  Workbook* to = c.Has(1) ? BookArg(d, c, 1) : nullptr;
  if (!s || !to) return c.Refuse();
  Workbook* from = s->workbook();
  std::size_t position = static_cast<std::size_t>(std::max(1.0, Number(c.Arg(2)).value_or(1e9))) - 1;
  position = std::min(position, to->sheet_count());
  if (from == to) {
    to->MoveSheet(static_cast<std::size_t>(from->SheetIndex(s)), std::min(position, to->sheet_count() - 1));
    return c.Done();
  }
  // A sheet whose name is taken in the other workbook arrives as "Name (2)", "Name (3)" ...
  std::string name = s->name();
  for (int n = 2; to->FindSheet(name) && n < 1000; ++n) {
    std::string suffix = " (" + std::to_string(n) + ")";
    name = s->name().substr(0, std::min(s->name().size(), sheets::kMaxSheetNameChars - suffix.size())) + suffix;
  }
  if (to->FindSheet(name)) return c.Refuse();
  // Moving the only sheet out of a workbook closes that workbook (the sheet keeps its id).
  bool closeSource = from->sheet_count() == 1;
  try {
    std::size_t index = static_cast<std::size_t>(from->SheetIndex(s));
    if (name != s->name()) from->RenameSheet(index, name);
    std::unique_ptr<Sheet> detached = from->DetachSheet(index);
    Sheet& moved = to->AdoptSheet(std::move(detached), from->formats(), position);
    // References follow the sheet: its own to its old neighbours become external ones, and those
    // of the workbook it left to it too.
    sheets::RebaseArrivedSheet(moved, *from, name);
    if (!closeSource) sheets::ReferToDepartedSheet(*from, name, moved);
    if (closeSource) d.CloseBook(from);
    d.Activate(to, static_cast<std::size_t>(to->SheetIndex(&moved)));
  } catch (const std::exception&) {
    return c.Refuse();
  }
  return c.Done();
}

int ActivateWindow(ModelDocuments& d, Call& c) {
  std::optional<std::string> text = Text(c.Arg(0));
  if (!text) return c.Refuse();
  if (Workbook* b = d.FindBook(*text)) {
    d.Activate(b, b->active_sheet());
    return c.Done();
  }
  if (Sheet* s = d.FindSheet(*text)) {
    Workbook* b = s->workbook();
    d.Activate(b, static_cast<std::size_t>(b->SheetIndex(s)));
    return c.Done();
  }
  return c.Refuse();
}

int WorkbookSelect(ModelDocuments& d, Call& c) {
  Table names = TableOf(c.Arg(0));
  std::string target;
  if (c.Has(1))
    target = Display(c.Arg(1));
  else if (names.rows * names.columns > 0)
    target = Display(names.cells[0]);
  Sheet* s = d.FindSheet(target);
  if (!s) return c.Refuse();
  d.Activate(s->workbook(), static_cast<std::size_t>(s->workbook()->SheetIndex(s)));
  return c.Done();
}

int HideWindow(ModelDocuments& d, Call& c, bool hide) {
  Workbook* b = c.Has(0) ? d.FindBook(Display(c.Arg(0))) : d.ActiveBook();
  if (!b || b->windows().empty()) return c.Refuse();
  b->windows()[0].hidden = hide;
  // Hiding the active window activates the most recent visible one, as the spreadsheet does.
  if (hide && b == d.ActiveBook())
    if (Workbook* next = d.LastVisibleBook(b)) d.Activate(next, next->active_sheet());
  return c.Done();
}

int WindowTitle(ModelDocuments& d, Call& c) {
  Workbook* b = d.ActiveBook();
  if (!b || b->windows().empty()) return c.Refuse();
  b->windows()[0].title = c.Has(0) ? Display(c.Arg(0)) : std::string();
  return c.Done();
}

int Clear(ModelDocuments& d, Call& c) {
  Sheet* s = d.ActiveSheet();
  if (!s) return c.Refuse();
  int what = static_cast<int>(Number(c.Arg(0)).value_or(3));  // 1 all, 2 formats, 3 contents
  std::vector<RangeAddress> areas = s->view().selection;
  if (areas.empty()) areas.push_back(RangeAddress::Cell(s->view().active_cell.row, s->view().active_cell.col));
  for (const RangeAddress& r : areas) {
    if (what == 1) {
      s->ClearRange(r);
      continue;
    }
    for (uint32_t row = r.first.row; row <= r.last.row; ++row)
      for (uint32_t col = r.first.col; col <= r.last.col; ++col) {
        if (what == 2)
          s->SetFormat(row, col, 0);
        else
          s->ClearContents(row, col);
      }
  }
  if (what != 2) d.Written(*s, areas);
  return c.Done();
}

int Zoom(ModelDocuments& d, Call& c) {
  Sheet* s = d.ActiveSheet();
  std::optional<double> z = Number(c.Arg(0));
  if (!s) return c.Refuse();
  uint32_t zoom = z ? static_cast<uint32_t>(std::clamp(*z, 10.0, 400.0)) : 100;
  s->view().zoom = zoom;
  return c.Done();
}

int Scroll(ModelDocuments& d, Call& c, bool vertical) {
  Sheet* s = d.ActiveSheet();
  std::optional<double> to = Number(c.Arg(0));
  if (!s || !to) return c.Refuse();
  // VSCROLL/HSCROLL(position, TRUE): a row or column number.
  uint32_t n = static_cast<uint32_t>(std::max(1.0, *to)) - 1;
  if (vertical)
    s->view().top_left.row = std::min(n, s->limits().rows - 1);
  else
    s->view().top_left.col = std::min(n, s->limits().cols - 1);
  return c.Done();
}

int PageSetup(ModelDocuments& d, Call& c) {
  Sheet* s = d.ActiveSheet();
  if (!s) return c.Refuse();
  // PAGE.SETUP(head, foot, left, right, top, bot, hdng, grid, h_cntr, v_cntr, orient, paper_size, ...)
  if (std::optional<double> orient = Number(c.Arg(10)))
    s->page_setup().orientation = *orient == 2 ? sheets::Orientation::Landscape : sheets::Orientation::Portrait;
  if (std::optional<double> paper = Number(c.Arg(11))) s->page_setup().paper_size = static_cast<uint32_t>(*paper);
  return c.Done();
}

int Copy(ModelDocuments& d, Call& c) {
  std::optional<Target> t = c.Has(0) ? TargetOf(d, c.Arg(0)) : std::nullopt;
  if (!t) {
    Sheet* s = d.ActiveSheet();
    if (!s) return c.Refuse();
    std::vector<RangeAddress> sel = s->view().selection;
    if (sel.empty()) sel.push_back(RangeAddress::Cell(s->view().active_cell.row, s->view().active_cell.col));
    t = Target{s, sel};
  }
  if (t->areas.size() != 1) return c.Refuse();
  d.clip = ModelDocuments::Clip{d.IdOf(t->sheet), t->areas[0], true};
  return c.Done();
}

// PASTE.SPECIAL(what): 1 all, 2 formulas, 3 values, 4 formats, at the active cell.
int PasteSpecial(ModelDocuments& d, Call& c) {
  Sheet* to = d.ActiveSheet();
  Sheet* from = d.clip.active ? d.SheetOf(d.clip.sheet) : nullptr;
  if (!to || !from) return c.Refuse();
  int what = static_cast<int>(Number(c.Arg(0)).value_or(1));
  CellAddress at = to->view().active_cell;
  const RangeAddress& r = d.clip.range;
  if (at.row + r.Rows() > to->limits().rows || at.col + r.Cols() > to->limits().cols) return c.Refuse();
  const sheets::FormatTable& sourceFormats = from->workbook()->formats();
  sheets::FormatTable& targetFormats = to->workbook()->formats();
  // Read first: the ranges may overlap.
  struct Cell {
    sheets::Value value;
    std::string formula;
    uint32_t format;
  };
  std::vector<Cell> cells;
  for (uint32_t row = r.first.row; row <= r.last.row; ++row)
    for (uint32_t col = r.first.col; col <= r.last.col; ++col) {
      sheets::CellView v = from->Get(row, col);
      cells.push_back({v.ToValue(), std::string(v.formula), targetFormats.Intern(sourceFormats.Get(v.format))});
    }
  std::size_t i = 0;
  for (uint32_t row = 0; row < r.Rows(); ++row)
    for (uint32_t col = 0; col < r.Cols(); ++col, ++i) {
      const Cell& cell = cells[i];
      uint32_t tr = at.row + row, tc = at.col + col;
      if (what == 1 || what == 4) to->SetFormat(tr, tc, cell.format);
      if (what == 4) continue;
      if ((what == 1 || what == 2) && !cell.formula.empty())
        to->SetFormula(tr, tc, cell.formula, cell.value);
      else if (cell.value.IsEmpty())
        to->ClearContents(tr, tc);
      else
        to->SetValue(tr, tc, cell.value);
    }
  // Pasted formulas are calculated where they now stand, and what reads the cells follows.
  if (what != 4) d.Written(*to, {{at, {at.row + r.Rows() - 1, at.col + r.Cols() - 1}}});
  return c.Done();
}

}  // namespace

// ---------------------------------------------------------------- calculation after writes

void ModelDocuments::Written(Sheet& sheet, const std::vector<RangeAddress>& ranges) {
  if (!Host::Get().Caller()) {
    RecalculateWritten(sheet, ranges);
    return;
  }
  XL_SHEET_ID id = IdOf(&sheet);
  for (const RangeAddress& r : ranges) written_.push_back({id, r});
}

void ModelDocuments::SettleWrites() {
  if (written_.empty() || settling_) return;
  settling_ = true;
  std::vector<std::pair<XL_SHEET_ID, RangeAddress>> pending;
  pending.swap(written_);
  // One recalculation per sheet written; sheets closed or deleted since are passed over.
  std::stable_sort(pending.begin(), pending.end(), [](auto& a, auto& b) { return a.first < b.first; });
  try {
    for (size_t i = 0; i < pending.size();) {
      size_t j = i;
      std::vector<RangeAddress> ranges;
      for (; j < pending.size() && pending[j].first == pending[i].first; ++j) ranges.push_back(pending[j].second);
      if (Sheet* s = SheetOf(pending[i].first)) RecalculateWritten(*s, ranges);
      i = j;
    }
  } catch (const std::exception& e) {
    if (Host::Get().report) Host::Get().report(std::string("recalculation failed: ") + e.what());
  }
  settling_ = false;
}

// ---------------------------------------------------------------- front-end actions

bool ModelDocuments::Select(const std::string& ref, std::string& error) {
  std::optional<Target> t = ResolveText(*this, ref, true);
  if (!t) {
    error = "\"" + ref + "\" is not a reference to an open sheet";
    return false;
  }
  if (t->sheet != ActiveSheet()) {
    Workbook* b = t->sheet->workbook();
    Activate(b, static_cast<std::size_t>(b->SheetIndex(t->sheet)));
  }
  t->sheet->view().selection = t->areas;
  t->sheet->view().active_cell = t->areas[0].first;
  return true;
}

bool ModelDocuments::EditCells(bool insert, int shift, const std::string& ref, std::string& error) {
  if (!ref.empty() && !Select(ref, error)) return false;
  Sheet* s = ActiveSheet();
  if (!s || !s->IsWorksheet()) {
    error = "no worksheet is active";
    return false;
  }
  const std::vector<RangeAddress>& selection = s->view().selection;
  if (selection.size() > 1) {
    error = "select one range to insert or delete";
    return false;
  }
  RangeAddress area =
      selection.empty() ? RangeAddress::Cell(s->view().active_cell.row, s->view().active_cell.col) : selection[0];
  std::string why;
  if (!ShiftCells(*this, *s, area, shift, insert, &why)) {
    error = std::string(insert ? "cannot insert: " : "cannot delete: ") + why;
    return false;
  }
  return true;
}

bool ModelDocuments::ActivateSheet(const std::string& sheet, std::string& error) {
  Sheet* s = FindSheet(sheet);
  if (!s) {
    error = "no open sheet \"" + sheet + "\"";
    return false;
  }
  Activate(s->workbook(), static_cast<std::size_t>(s->workbook()->SheetIndex(s)));
  return true;
}

bool ModelDocuments::Enter(const std::string& text, std::string& error) {
  Sheet* s = ActiveSheet();
  if (!s || !s->IsWorksheet()) {
    error = "no worksheet is active";
    return false;
  }
  CellAddress at = s->view().active_cell;
  if (!text.empty() && (text[0] == '=' || text.rfind("{=", 0) == 0)) return EnterFormula(*s, text, error);
  char* end = nullptr;
  double n = std::strtod(text.c_str(), &end);
  try {
    if (text.empty())
      s->ClearContents(at.row, at.col);
    else if (end && *end == '\0' && !std::isspace(static_cast<unsigned char>(text[0])))
      s->SetNumber(at.row, at.col, n);
    else if (platform::EqualNoCase(text, "TRUE") || platform::EqualNoCase(text, "FALSE"))
      s->SetBoolean(at.row, at.col, platform::EqualNoCase(text, "TRUE"));
    else
      s->SetText(at.row, at.col, text);
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
  Recalculate(*s->workbook(), s, {at});
  return true;
}

// "=formula" into the active cell, "{=formula}" as an array formula over the selection; the
// formula and what depends on it are calculated at once.
bool ModelDocuments::EnterFormula(Sheet& s, const std::string& text, std::string& error) {
  bool array = text[0] == '{';
  if (array && text.back() != '}') {
    error = "an array formula is written {=FORMULA}";
    return false;
  }
  std::string formula = array ? text.substr(2, text.size() - 3) : text.substr(1);
  sheets::calc::Formula parsed = sheets::calc::ParseFormula(formula, s.limits());
  if (!parsed.ok) {
    error = "the formula \"" + text + "\" cannot be read: " + parsed.error;
    return false;
  }
  CellAddress at = s.view().active_cell;
  RangeAddress range = RangeAddress::Cell(at.row, at.col);
  if (array && !s.view().selection.empty()) range = s.view().selection[0];
  try {
    if (array)
      s.SetArrayFormula(range, formula);
    else
      s.SetFormula(at.row, at.col, formula);
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
  Recalculate(*s.workbook(), &s, {range.first});
  return true;
}

int ModelDocuments::Handle(Call& c) {
  switch (c.fn) {
    case XLC_NEW: {
      std::string error;
      return New(error) ? c.Done() : c.Refuse();
    }
    case XLC_CLOSE: {
      // CLOSE(save): TRUE saves, FALSE drops the changes, missing asks.
      if (!active_) return c.Refuse();
      if (std::optional<bool> save = Bool(c.Arg(0))) {
        if (*save && active_->dirty()) {
          if (active_->path().empty()) return c.Refuse();
          try {
            sheets::SaveWorkbook(*active_, active_->path());
          } catch (const std::exception& e) {
            c.host.report(e.what());
            return c.Refuse();
          }
        }
        CloseBook(active_);
        return c.Done();
      }
      std::string error;
      if (!CloseAsking(active_, error)) {
        c.host.report(error);
        return c.Refuse();
      }
      return c.Done();
    }
    case XLC_OPEN: {
      // OPEN(file, update_links, read_only, format, ..., editable = the 11th): a template opens
      // as a new workbook made from it unless it is opened for editing.
      std::string error;
      if (OpenFile(Display(c.Arg(0)), Bool(c.Arg(10)).value_or(false), error)) return c.Done();
      c.host.report(error);
      return c.Refuse();
    }
    case XLF_SELECTION: {
      Sheet* s = ActiveSheet();
      if (!s || !s->IsWorksheet()) return c.Fail(XLERR_REF);
      std::vector<RangeAddress> sel = s->view().selection;
      if (sel.empty()) sel.push_back(RangeAddress::Cell(s->view().active_cell.row, s->view().active_cell.col));
      MakeRef(*this, c.result, s, sel);
      return XLRET_SUCCESS;
    }
    case xlSheetId: {
      Sheet* s = c.Has(0) ? FindSheet(Display(c.Arg(0))) : ActiveSheet();
      if (!s) return c.Refuse(XLERR_REF);
      MakeRef(*this, c.result, s, {});
      return XLRET_SUCCESS;
    }
    case xlSheetNm: {
      std::optional<Target> t = TargetOf(*this, c.Arg(0));
      if (!t) return c.Refuse(XLERR_REF);
      SetText(c.result, KeyOf(t->sheet));
      return XLRET_SUCCESS;
    }
    case XLF_REFTEXT: {
      std::optional<Target> t = TargetOf(*this, c.Arg(0));
      if (!t || t->areas.empty()) return c.Fail(XLERR_REF);
      SetText(c.result, RefText(*t, Bool(c.Arg(1)).value_or(false)));
      return XLRET_SUCCESS;
    }
    case XLF_TEXTREF: {
      std::optional<std::string> text = Text(c.Arg(0));
      std::optional<Target> t = text ? ResolveText(*this, *text, Bool(c.Arg(1)).value_or(false)) : std::nullopt;
      if (!t) return c.Fail(XLERR_REF);
      MakeRef(*this, c.result, t->sheet, t->areas);
      return XLRET_SUCCESS;
    }
    case xlCoerce: return Coerce(*this, c);
    case xlSet: return SetCells(*this, c);
    case XLF_COUNT: return Count(*this, c, false);
    case XLF_COUNTA: return Count(*this, c, true);
    case XLF_NOW: SetNumber(c.result, SerialNow()); return XLRET_SUCCESS;
    case XLF_TEXT: {
      std::optional<double> n = Number(c.Arg(0));
      if (!n) {
        if (std::optional<std::string> t = Text(c.Arg(0))) {
          SetText(c.result, *t);
          return XLRET_SUCCESS;
        }
        return c.Fail();
      }
      SetText(c.result, FormatNumber(*n, Text(c.Arg(1)).value_or("General")));
      return XLRET_SUCCESS;
    }
    case XLF_GET_DOCUMENT: return GetDocument(*this, c);
    case XLF_GET_WORKBOOK: return GetWorkbook(*this, c);
    case XLF_GET_WINDOW: return GetWindow(*this, c);
    case XLF_GET_CELL: return GetCell(*this, c);
    case XLF_GET_NAME: return GetName(*this, c);
    case XLF_SET_NAME: return SetName(*this, c);
    case XLF_EVALUATE: return Evaluate(*this, c);
    case XLF_WINDOW_TITLE: return WindowTitle(*this, c);
    case XLC_SELECT: return SelectRef(*this, c);
    case XLC_FORMULA_GOTO: return SelectRef(*this, c);
    case XLC_ACTIVATE: return ActivateWindow(*this, c);
    case XLC_WORKBOOK_SELECT: return WorkbookSelect(*this, c);
    case XLC_WORKBOOK_INSERT: return WorkbookInsert(*this, c);
    case XLC_WORKBOOK_NAME: return WorkbookName(*this, c);
    case XLC_WORKBOOK_DELETE: return WorkbookDelete(*this, c);
    case XLC_WORKBOOK_MOVE: return WorkbookMove(*this, c);
    case XLC_HIDE: return HideWindow(*this, c, true);
    case XLC_UNHIDE: return HideWindow(*this, c, false);
    case XLC_CLEAR: {
      int rc = HandleEdit(*this, c);  // a selected chart item is deleted
      return rc == XLRET_INVALID_FN ? Clear(*this, c) : rc;
    }
    case XLC_ZOOM: return Zoom(*this, c);
    case XLC_VSCROLL: return Scroll(*this, c, true);
    case XLC_HSCROLL: return Scroll(*this, c, false);
    case XLC_PAGE_SETUP: return PageSetup(*this, c);
    case XLC_COPY: return Copy(*this, c);
    case XLC_PASTE_SPECIAL: return PasteSpecial(*this, c);
    case XLC_CANCEL_COPY: clip.active = false; return c.Done();
    default: return HandleEdit(*this, c);
  }
}

void InstallModelDocuments() {
  Host& host = Host::Get();
  sheets::SheetLimits limits = sheets::SheetLimits::ForVersion(host.ExcelVersion());
  if (host.ExcelVersion() <= 7) limits.rows = 16384;  // the grid of version 7
  host.ownedDocuments = std::make_unique<ModelDocuments>(limits);
  host.documents = host.ownedDocuments.get();
}

}  // namespace xlm
