#include "addin/dataset/dataset.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/time.h>

#include "addin/dataset/dataset_strings.h"
#include "addin/resources/string_ids.h"
#include "addin/host/xlcalls.h"
#include "addin/host/xlstate.h"

namespace qs {

namespace {

constexpr int kLastColumn = 255;
const char* const kPrefix = "__sm_";

int LastRow() { return HostInfo().version > 0 && HostInfo().version <= 7 ? 16383 : 65535; }

XlValue CellValue(const CellRange& cell) { return XlCallResult(xlCoerce, {cell.Value()}); }

XlValue GetCell(int type, const CellRange& cell) { return XlCallResultNA(XLF_GET_CELL, {type, cell.Value()}); }

double GetCellNumber(int type, const CellRange& cell) {
  XlValue v = GetCell(type, cell);
  if (v.Is(XLTYPE_NUM)) return v.val.num;
  if (v.Is(XLTYPE_BOOL)) return v.val.xbool ? 1 : 0;
  return 0;
}

std::string TextOf(const XlValue& v) {
  switch (v.Type()) {
    case XLTYPE_STR: return v.Text();
    case XLTYPE_NUM: return FormatG(v.val.num);
    case XLTYPE_BOOL: return DatasetString(v.val.xbool ? ids::kStringTrue : ids::kStringFalse);
    default: return {};
  }
}

bool IsEmptyValue(const XlValue& v) { return v.IsNil() || v.IsMissing() || (v.Is(XLTYPE_STR) && v.TextView().empty()); }

void Select(const CellRange& range) {
  try {
    XlCall(XLC_SELECT, {range.Value()});
  } catch (CException* e) {
    e->Delete();  // selecting is only a help to the user
  }
}

double CountA(const CellRange& r) { return r.Empty() ? 0 : XlCallNumber(XLF_COUNTA, {r.Value()}); }
double Count(const CellRange& r) { return r.Empty() ? 0 : XlCallNumber(XLF_COUNT, {r.Value()}); }

bool NameExists(const std::string& qualified) {
  XlValue v = XlCallResultNA(XLF_GET_NAME, {qualified});
  return !v.Is(XLTYPE_ERR);
}

void DeleteName(const std::string& qualified) {
  try {
    XlCall(XLC_DELETE_NAME, {qualified});
  } catch (CException* e) {
    e->Delete();
  }
}

uint32_t g_nameCounter = 0;

}  // namespace

// ------------------------------------------------------------------ ranges

CellRange CellRange::Offset(int rows, int cols, int height, int width) const {
  CellRange r = *this;
  int h = height > 0 ? height : Rows();
  int w = width > 0 ? width : Cols();
  r.firstRow = std::clamp(firstRow + rows, 0, LastRow());
  r.firstCol = std::clamp(firstCol + cols, 0, kLastColumn);
  r.lastRow = std::clamp(firstRow + rows + h - 1, 0, LastRow());
  r.lastCol = std::clamp(firstCol + cols + w - 1, 0, kLastColumn);
  return r;
}

CellRange CellRange::Widened(int n) const {
  CellRange r = *this;
  r.firstRow = std::max(0, firstRow - n);
  r.firstCol = std::max(0, firstCol - n);
  r.lastRow = std::min(LastRow(), lastRow + n);
  r.lastCol = std::min(kLastColumn, lastCol + n);
  return r;
}

XLREF CellRange::Ref() const {
  XLREF x;
  x.rwFirst = static_cast<uint16_t>(firstRow);
  x.rwLast = static_cast<uint16_t>(lastRow);
  x.colFirst = static_cast<uint8_t>(firstCol);
  x.colLast = static_cast<uint8_t>(lastCol);
  return x;
}

XlValue CellRange::Value() const { return XlValue::Ref(sheet, {Ref()}); }

namespace {
std::string ColumnName(int col) {
  std::string s;
  for (int c = col + 1; c > 0; c = (c - 1) / 26) s.insert(s.begin(), static_cast<char>('A' + (c - 1) % 26));
  return s;
}
}  // namespace

std::string CellRange::Address() const {
  std::string a = "$" + ColumnName(firstCol) + "$" + std::to_string(firstRow + 1);
  if (Rows() == 1 && Cols() == 1) return a;
  return a + ":$" + ColumnName(lastCol) + "$" + std::to_string(lastRow + 1);
}

CellRange ActiveCell() {
  XlValue sheet = XlCallResultNA(xlSheetId);
  int row = static_cast<int>(XlCallNumber(XLF_GET_CELL, {2})) - 1;
  int col = static_cast<int>(XlCallNumber(XLF_GET_CELL, {3})) - 1;
  return CellRange{sheet.SheetId(), row, row, col, col};
}

// ------------------------------------------------------------------ stored names

std::string StoredName::ValueName() const {
  std::string v = name;
  if (v.size() > 6) v[6] = 'V';
  return v;
}

StoredName StoredName::Make(char kind, XL_SHEET_ID sheet, const std::string& sheetKey) {
  StoredName s;
  s.at.sheet = sheet;
  s.sheetKey = sheetKey;
  for (;;) {
    struct timeval tv {};
    gettimeofday(&tv, nullptr);
    std::tm t{};
    time_t secs = tv.tv_sec;
    gmtime_r(&secs, &t);
    uint32_t x = (static_cast<uint32_t>(t.tm_mon + 1) << 5) ^ static_cast<uint32_t>(tv.tv_usec / 1000) ^
                 static_cast<uint32_t>(t.tm_mday);
    x = (x << 5) ^ static_cast<uint32_t>(t.tm_hour);
    x = (x << 3) ^ static_cast<uint32_t>(t.tm_year + 1900);
    x = (x << 3) ^ static_cast<uint32_t>(t.tm_min);
    x = (x << 6) ^ static_cast<uint32_t>(t.tm_sec);
    x = (x << 7) ^ g_nameCounter++;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s%cR_%lx", kPrefix, kind, static_cast<unsigned long>(x));
    s.name = buf;
    if (!NameExists(s.Qualified(s.name)) && !NameExists(s.Qualified(s.ValueName()))) return s;
  }
}

void StoredName::Delete() const {
  if (name.empty()) return;
  DeleteName(Qualified(name));
  DeleteName(Qualified(ValueName()));
}

// ------------------------------------------------------------------ value vectors

size_t ValueVector::Size() const {
  switch (TypeKey(type)) {
    case kTypeNominal:
    case kTypeOrdinal: return categories.size();
    case kTypeIntegralCount: return counts.size();
    case kTypeInformation: return texts.size();
    case kTypeFloat: return floats.size();
    default: return numbers.size();
  }
}

bool ValueVector::IsMissing(size_t i) const {
  switch (TypeKey(type)) {
    case kTypeNominal:
    case kTypeOrdinal: return categories[i] == 0;
    case kTypeIntegralCount:
    case kTypeInformation: return false;
    case kTypeFloat: return std::isnan(floats[i]);
    default: return !std::isfinite(numbers[i]);
  }
}

bool ValueVector::IsZero(size_t i) const {
  switch (TypeKey(type)) {
    case kTypeIntegralCount: return counts[i] == 0;
    case kTypeFloat: return floats[i] == 0;
    case kTypeContinuous: {
      uint64_t bits;
      std::memcpy(&bits, &numbers[i], sizeof bits);
      return bits == 0;
    }
    default: return false;
  }
}

// ------------------------------------------------------------------ variables

std::string VariableSource::DisplayName() const { return group ? group->name : name; }

void VariableSource::Invalidate() {
  m_cache.reset();
  ++m_stamp;
}

void VariableSource::SetType(TypeCode code) {
  if (SameType(code, type)) return;
  if (categories && IsCategorical(code)) {
    if (SameType(code, kTypeOrdinal) && !categories->AllValuedAndUnique())
      ThrowDatasetMessage(ids::kMessageOrdinalValuesMissing);
    categories->type = code;
  }
  if (!(IsCategorical(type) && IsCategorical(code))) {
    Invalidate();
    if (!IsCategorical(code)) categories = CRef<Categories>();
  }
  type = code;
  if (group)
    for (VariableSource* v : group->repeats)
      if (v != this && !SameType(v->type, code)) {
        WithinSubject* g = v->group;
        v->group = nullptr;  // no recursion back into this group
        v->SetType(code);
        v->group = g;
      }
}

const ValueVector& VariableSource::Values() {
  if (!m_cache) {
    m_cache.emplace();
    m_cache->type = type;
    if (isFactor) m_cache->categories = factorValues;
  }
  return *m_cache;
}

void VariableSource::SetComputedValues(ValueVector values) {
  type = values.type;
  detectionMode = 0;
  m_cache = std::move(values);
  ++m_stamp;
}

CRef<VariableSource> MakeComputedVariable(const std::string& name, ValueVector values) {
  CRef<DatasetSource> own(new DatasetSource);
  own->dataset = new Dataset;
  own->dataset->source = own.get();
  CRef<VariableSource> v(new VariableSource);
  v->owner = own.get();
  v->computedOwner = own;  // the variable keeps its own source; the source holds no variable back
  v->name = name;
  v->SetComputedValues(std::move(values));
  return v;
}

const ValueVector& VariableSourceExcel::Values() {
  if (m_cache) return *m_cache;
  if (isFactor || values.Empty()) return VariableSource::Values();
  ValueVector v;
  v.type = type;
  XlValue cells = XlCallResult(xlCoerce, {values.Value()});
  auto at = [&](int r, int c) -> const XlValue& {
    if (cells.Is(XLTYPE_MULTI)) return cells.At(static_cast<uint16_t>(r), static_cast<uint16_t>(c));
    return cells;
  };
  if (IsCategorical(type) && !categories) categories = new Categories(type);
  columnLengths.clear();
  const int rows = values.Rows(), cols = values.Cols();
  for (int c = 0; c < cols; ++c) {
    size_t start = v.Size();
    size_t lastKept = start;  // one past the last non-missing value of this column
    for (int r = 0; r < rows; ++r) {
      const XlValue& cell = at(r, c);
      bool missing = false;
      switch (TypeKey(type)) {
        case kTypeNominal:
        case kTypeOrdinal: {
          Category* cat = categories->FindOrAdd(cell, numberFormat, true);
          if (categories->Count() >= 258) {
            for (const CRef<Category>& k : categories->Order()) k->flags |= Category::kOccursInData;
            m_cache.reset();
            ThrowDatasetMessage(ids::kMessageTooManyCategories, {DisplayName()});
          }
          cat->flags |= Category::kOccursInData;
          v.categories.push_back(static_cast<uint16_t>(cat->number));
          missing = cat->first;
          break;
        }
        case kTypeIntegralCount: {
          if (cell.Is(XLTYPE_NUM)) {
            double n = cell.val.num;
            if (!(n >= 0) || n != std::floor(n) || n > 4294967295.0) {
              CellRange where = values.Cell(r, c);
              ThrowDatasetMessage(ids::kMessageInvalidCount, {DisplayName(), where.Address(), TextOf(cell)});
            }
            v.counts.push_back(static_cast<uint32_t>(n));
          } else {
            v.counts.push_back(0);
            missing = true;
          }
          break;
        }
        case kTypeInformation: {
          std::string text;
          if (cell.Is(XLTYPE_NUM))
            text = FormatWithNumberFormat(cell.val.num, numberFormat);
          else if (!IsEmptyValue(cell))
            text = TextOf(cell);
          missing = text.empty();
          v.texts.push_back(text);
          break;
        }
        default: {
          double n = cell.Is(XLTYPE_NUM) ? cell.val.num : IsEmptyValue(cell) ? MissingValue() : NotANumberMark();
          missing = !std::isfinite(n);
          v.numbers.push_back(n);
        }
      }
      if (!missing) lastKept = v.Size();
    }
    if (trimTrailing) {
      size_t keep = lastKept;
      v.categories.resize(std::min(v.categories.size(), keep));
      v.numbers.resize(std::min(v.numbers.size(), keep));
      v.counts.resize(std::min(v.counts.size(), keep));
      v.texts.resize(std::min(v.texts.size(), keep));
      columnLengths.push_back(static_cast<int>(keep - start));
    } else {
      columnLengths.push_back(rows);
    }
  }
  m_cache = std::move(v);
  return *m_cache;
}

bool Dataset::IsContingency() const { return !variables.empty() && SameType(variables[0]->type, kTypeIntegralCount); }

// ------------------------------------------------------------------ header-line detection

namespace {

struct CellLook {
  bool text = false, empty = true;
  int align = 1;
  std::string fontName;
  double fontSize = 0, fontColour = 0;
  bool bold = false, italic = false;
  int pattern = 0;
  double fillColour = 0, patternColour = 0;
  int bottom = 0, top = 0;  // line under (bottom/right) and above (top/left), by orientation

  bool SameFill(const CellLook& o) const {
    if (pattern != o.pattern) return false;
    return pattern == 0 || (fillColour == o.fillColour && patternColour == o.patternColour);
  }
  bool SameFont(const CellLook& o) const {
    return fontName == o.fontName && fontSize == o.fontSize && bold == o.bold && italic == o.italic &&
           fontColour == o.fontColour && align == o.align;
  }
};

CellLook Look(const CellRange& cell, bool rows, bool merged) {
  CellLook l;
  XlValue v = CellValue(cell);
  l.empty = IsEmptyValue(v);
  l.text = v.Is(XLTYPE_STR) && !l.empty;
  l.align = static_cast<int>(GetCellNumber(8, cell));
  if (merged && GetCellNumber(XL_GETCELL_MERGED, cell) != 0) l.align = 7;
  XlValue font = GetCell(18, cell);
  l.fontName = font.Is(XLTYPE_STR) ? font.Text() : std::string();
  l.fontSize = GetCellNumber(19, cell);
  l.bold = GetCellNumber(20, cell) != 0;
  l.italic = GetCellNumber(21, cell) != 0;
  l.fontColour = GetCellNumber(24, cell);
  l.pattern = static_cast<int>(GetCellNumber(13, cell));
  if (l.pattern != 0) {
    l.fillColour = GetCellNumber(63, cell);
    l.patternColour = GetCellNumber(64, cell);
  }
  l.bottom = static_cast<int>(GetCellNumber(rows ? 12 : 10, cell));
  l.top = static_cast<int>(GetCellNumber(rows ? 11 : 9, cell));
  return l;
}

// Longest periodic repeat of a class sequence: returns its start line, or -1.
int PeriodicStart(const std::vector<int>& seq) {
  int best = 0, bestStart = -1;
  const int n = static_cast<int>(seq.size());
  for (int s = 0; s < n; ++s)
    for (int j = 1; s + j < n; ++j) {
      int a = j;
      for (int k = s + j; k < n && seq[static_cast<size_t>(k)] == seq[static_cast<size_t>(k - j)]; ++k) ++a;
      if (a > j + j / 2 && a > best) {
        best = a;
        bestStart = s;
      }
    }
  return bestStart;
}

}  // namespace

int DatasetSourceExcel::DetectHeaderLines(HeaderBand& band) {
  const bool rows = band.rows;
  const int lines = rows ? band.range.Rows() : band.range.Cols();
  const int positions = std::min(band.length - band.offset, 24);
  const int L = std::min(lines - 1, 3);
  int fallback = rows ? 1 : 0;
  int maxIndex = rows ? 1 : 0;
  if (band.range.Empty() || positions <= 0 || L < 0) return fallback;
  auto cellAt = [&](int line, int pos) { return rows ? band.range.Cell(line, pos) : band.range.Cell(pos, line); };
  const bool merged = HostInfo().version == 0 || HostInfo().version > 7;
  if (rows && L >= 1) {
    if (GetCellNumber(28, cellAt(1, 0)) > GetCellNumber(28, cellAt(0, 0))) {
      fallback = 0;
      maxIndex = 0;
    } else {
      for (int p = 0; p < positions; ++p)
        if (GetCellNumber(48, cellAt(1, p)) != 0) {
          fallback = 1;
          maxIndex = 0;
          break;
        }
    }
  }
  std::array<int, 5> S{};
  for (int p = 0; p < positions; ++p) {
    std::vector<CellLook> look;
    std::vector<int> fillClass, fontClass;
    for (int i = 0; i <= L; ++i) {
      look.push_back(Look(cellAt(i, p), rows, merged));
      const CellLook& cur = look.back();
      if (i < lines - 1) {
        int under = cur.bottom;
        if (!under) under = static_cast<int>(GetCellNumber(rows ? 11 : 9, cellAt(i + 1, p)));
        if (under) ++S[static_cast<size_t>(i)];
      }
      if (i > 0) {
        const CellLook& prev = look[static_cast<size_t>(i - 1)];
        if (!prev.empty && !cur.empty && prev.text != cur.text) ++S[static_cast<size_t>(i - 1)];
      }
      int fc = i + 1, nc = i + 1;
      for (int k = 0; k < i; ++k)
        if (look[static_cast<size_t>(k)].SameFill(cur)) {
          fc = fillClass[static_cast<size_t>(k)];
          break;
        }
      for (int k = 0; k < i; ++k)
        if (look[static_cast<size_t>(k)].SameFont(cur)) {
          nc = fontClass[static_cast<size_t>(k)];
          break;
        }
      fillClass.push_back(fc);
      fontClass.push_back(nc);
    }
    int seqIndex = 0;
    for (const std::vector<int>* seq : {&fillClass, &fontClass}) {
      int v = PeriodicStart(*seq);
      if (v > 0) {
        S[static_cast<size_t>(v - 1)] += seqIndex == 0 ? 2 : 1;
        for (int k = 0; k < v; ++k)
          if ((*seq)[static_cast<size_t>(k)] != (*seq)[static_cast<size_t>(k + 1)]) ++S[static_cast<size_t>(k)];
      }
      ++seqIndex;
    }
  }
  int best = 0;
  for (int i = 0; i <= maxIndex; ++i) best = std::max(best, S[static_cast<size_t>(i)]);
  if (best == 0) return fallback;
  std::vector<int> at;
  for (int i = 0; i <= maxIndex; ++i)
    if (S[static_cast<size_t>(i)] == best) at.push_back(i);
  for (size_t k = 1; k < at.size(); ++k)
    if (at[k] != at[k - 1] + 1) return fallback;
  return 1 + at.back();
}

// ------------------------------------------------------------------ scan

CRef<VariableSourceExcel> DatasetSourceExcel::NewSource(const std::string& name, const CellRange& values,
                                                        const CellRange& nameCell) {
  CRef<VariableSourceExcel> v(new VariableSourceExcel);
  v->owner = this;
  v->name = name;
  v->nameFromSheet = !nameCell.Empty();
  v->values = values;
  v->nameCell = nameCell;
  v->index = static_cast<int>(sources.size());
  if (!values.Empty()) {
    XlValue f = GetCell(7, values.Cell(0, 0));
    if (f.Is(XLTYPE_STR)) v->numberFormat = f.Text();
  }
  sources.push_back(CRef<VariableSource>(v.get()));
  dataset->variables.push_back(CRef<VariableSource>(v.get()));
  return v;
}

namespace {

// The cell whose text covers `cell` in a header row: the cell itself when it holds something, else
// the start of a merged area or of a centred-across span reaching it.
CellRange CoveringCell(const CellRange& cell, int firstCol) {
  XlValue v = CellValue(cell);
  if (!IsEmptyValue(v)) return cell;
  if (GetCellNumber(XL_GETCELL_MERGED, cell) != 0) {
    for (int c = cell.firstCol - 1; c >= firstCol; --c) {
      CellRange left = cell.Offset(0, c - cell.firstCol);
      if (GetCellNumber(XL_GETCELL_MERGED, left) == 0) break;
      if (!IsEmptyValue(CellValue(left))) return left;
    }
    return cell;
  }
  if (GetCellNumber(8, cell) != 7) return cell;
  for (int c = cell.firstCol - 1; c >= firstCol; --c) {
    CellRange left = cell.Offset(0, c - cell.firstCol);
    if (GetCellNumber(8, left) != 7) break;
    if (!IsEmptyValue(CellValue(left))) return left;
  }
  return cell;
}

}  // namespace

void DatasetSourceExcel::BuildListVariables() {
  const int hr = headerBand.count;
  const int lc = labelBand.count;
  WithinSubject* current = nullptr;
  std::string currentUpper;
  int currentUpperCol = -1;
  for (int c = 0; c < dataBody.Cols(); ++c) {
    CellRange column = dataBody.Offset(0, c, 0, 1);
    if (CountA(column) == 0) continue;
    std::vector<CellRange> cover;
    std::vector<std::string> text;
    for (int line = 0; line < hr; ++line) {
      CellRange cell = region.Cell(line, lc + c);
      CellRange covering = CoveringCell(cell, region.firstCol + lc);
      cover.push_back(covering);
      text.push_back(TextOf(CellValue(covering)));
    }
    int top = -1, filled = 0;
    for (int line = hr - 1; line >= 0; --line)
      if (!text[static_cast<size_t>(line)].empty()) top = line, ++filled;
    if (top < 0) {
      Select(region.Cell(std::max(0, hr - 1), lc + c));
      ThrowDatasetMessage(ids::kMessageNotVariableName);
    }
    if (filled == 2) {
      const std::string& upper = text[0];
      if (!current || upper != currentUpper || cover[0].firstCol != currentUpperCol) {
        CRef<WithinSubject> g(new WithinSubject);
        g->name = upper;
        g->nameCell = cover[0];
        groups.push_back(g);
        current = g.get();
        currentUpper = upper;
        currentUpperCol = cover[0].firstCol;
      }
      CRef<VariableSourceExcel> v = NewSource(text[1], column, cover[1]);
      v->labelCell = cover[0];
      v->group = current;
      current->repeats.push_back(v.get());
    } else {
      current = nullptr;
      NewSource(text[static_cast<size_t>(top)], column, cover[static_cast<size_t>(top)]);
    }
  }
  // Each group's repeat factor: which repeat each column is.
  for (CRef<WithinSubject>& g : groups) {
    CRef<VariableSource> f(new VariableSource);
    f->owner = this;
    f->name = g->name;
    f->type = kTypeNominal;
    f->detectionMode = 0;
    f->categories = new Categories(kTypeNominal);
    f->isFactor = true;
    for (VariableSource* r : g->repeats) {
      CRef<Category> cat(new Category);
      cat->name = r->name;
      if (!f->categories->FindName(r->name)) f->categories->Add(cat.get(), false);
      f->factorValues.push_back(static_cast<uint16_t>(f->categories->FindName(r->name)->number));
    }
    g->repeatFactor = f;
  }
}

void DatasetSourceExcel::BuildFactor(bool headerRowBand, VariableSourceExcel* data) {
  const HeaderBand& band = headerRowBand ? headerBand : labelBand;
  // A single header row over groups side by side holds the group names with no title above them:
  // the factor is then named "Group" and has no name cell.
  const bool namesOnly = headerRowBand && band.count == 1;
  const int firstLine = headerRowBand && !namesOnly ? 1 : 0;
  const int lineCount = band.count;
  for (int line = firstLine; line < lineCount; ++line) {
    CellRange nameCell = namesOnly       ? CellRange{}
                         : headerRowBand ? band.range.Cell(line - 1, 0)
                                         : band.range.Offset(-1, line, 1, 1).Cell(0, 0);
    std::string name = namesOnly ? DatasetString(ids::kLabelGroup) : TextOf(CellValue(nameCell));
    if (name.empty()) {
      Select(nameCell);
      ThrowDatasetMessage(ids::kMessageNotVariableName);
    }
    CRef<VariableSourceExcel> f = NewSource(name, CellRange{}, nameCell);
    f->type = kTypeNominal;
    f->detectionMode = 0;
    f->isFactor = true;
    f->categories = new Categories(kTypeNominal);
    const int length = headerRowBand ? dataBody.Cols() : dataBody.Rows();
    std::vector<int> numberAt(static_cast<size_t>(length), 0);
    auto cellAt = [&](int p) { return headerRowBand ? band.range.Cell(line, p) : band.range.Cell(p, line); };
    int p = 0;
    while (p < length) {
      CellRange first = cellAt(p);
      XlValue value = CellValue(first);
      int end = p + 1;
      int spanEnd = length;
      if (headerRowBand) {
        if (GetCellNumber(XL_GETCELL_MERGED, first) != 0) {
          spanEnd = p + 1;
          while (spanEnd < length && GetCellNumber(XL_GETCELL_MERGED, cellAt(spanEnd)) != 0 &&
                 IsEmptyValue(CellValue(cellAt(spanEnd))))
            ++spanEnd;
        } else if (GetCellNumber(8, first) == 7) {
          spanEnd = p + 1;
          while (spanEnd < length && GetCellNumber(8, cellAt(spanEnd)) == 7 && IsEmptyValue(CellValue(cellAt(spanEnd))))
            ++spanEnd;
        }
      }
      while (end < spanEnd) {
        XlValue next = CellValue(cellAt(end));
        if (!IsEmptyValue(next) && !next.Equals(value)) break;
        ++end;
      }
      Category* cat = f->categories->FindOrAdd(value, f->numberFormat, false);
      if (!cat || cat->first) {
        CellRange run = first;
        if (headerRowBand)
          run.lastCol = first.firstCol + (end - p) - 1;
        else
          run.lastRow = first.firstRow + (end - p) - 1;
        Select(run);
        ThrowDatasetMessage(ids::kMessageNotCategoryName);
      }
      cat->flags |= Category::kOccursInData;
      if (std::find(f->grouping.begin(), f->grouping.end(), cat->number) == f->grouping.end())
        f->grouping.push_back(cat->number);
      for (int k = p; k < end; ++k) numberAt[static_cast<size_t>(k)] = cat->number;
      p = end;
    }
    // One value per data position, column by column (the order the data variable is read in).
    const int rows = dataBody.Rows(), cols = dataBody.Cols();
    std::vector<int> lengths;
    if (data && data->trimTrailing) {
      data->Values();
      lengths = data->columnLengths;
    }
    for (int c = 0; c < cols; ++c) {
      int n = lengths.empty() ? rows : lengths[static_cast<size_t>(c)];
      for (int r = 0; r < n; ++r)
        f->factorValues.push_back(static_cast<uint16_t>(numberAt[static_cast<size_t>(headerRowBand ? c : r)]));
    }
  }
}

void DatasetSourceExcel::MakeReplicates() {
  std::vector<CRef<VariableSource>>& vars = dataset->variables;
  auto nameTaken = [&](const std::string& n) {
    return std::any_of(vars.begin(), vars.end(), [&](const CRef<VariableSource>& v) { return v->name == n; });
  };
  for (size_t i = 0; i < vars.size(); ++i) {
    VariableSource* first = vars[i].get();
    if (first->group || first->isFactor) continue;
    bool again = false;
    for (size_t j = i + 1; j < vars.size(); ++j)
      if (vars[j]->name == first->name && !vars[j]->group) again = true;
    if (!again) continue;
    std::string base = first->name;
    long counter = 1;
    for (size_t j = i; j < vars.size(); ++j) {
      VariableSource* v = vars[j].get();
      if (v->name != base || v->group) continue;
      std::string candidate;
      do {
        char buf[32];
        std::snprintf(buf, sizeof buf, " - R%ld", counter++);
        candidate = base + buf;
      } while (nameTaken(candidate));
      v->name = candidate;
      if (v != first) {
        v->replicateOf = first;
        ++first->replicates;
      }
    }
  }
}

void DatasetSourceExcel::Scan(int contingency, int layout, int labelColumns, int headerRows, bool identifierLabel,
                              bool createVariables) {
  CRef<Dataset> old = dataset;
  dataset = new Dataset;
  dataset->source = this;
  dataset->isNew = layout == kLayoutDetect;
  if (old) {
    dataset->name = old->name;
    dataset->nameOrigin = old->nameOrigin;
  }
  sources.clear();
  groups.clear();
  int code = layout;
  int found = kLayoutList;
  int hr = 0, lc = 0, previousLabel = 0;
  bool idLabel = identifierLabel;
  for (int pass = 0; pass < 4; ++pass) {
    headerBand.range = region.Offset(0, previousLabel, 0, std::max(1, region.Cols() - previousLabel));
    if (previousLabel >= region.Cols()) headerBand.range = CellRange{region.sheet};
    headerBand.length = region.Cols();
    headerBand.offset = previousLabel;
    hr = headerRows >= 0 ? std::min(headerRows, 2) : DetectHeaderLines(headerBand);
    hr = std::min(hr, region.Rows());
    labelBand.range = hr < region.Rows() ? region.Offset(hr, 0, region.Rows() - hr, 0) : CellRange{region.sheet};
    labelBand.length = region.Rows();
    labelBand.offset = hr;
    lc = labelColumns >= 0 ? std::min(labelColumns, 1) : DetectHeaderLines(labelBand);
    lc = std::min(lc, region.Cols());
    previousLabel = lc;
    if (code != kLayoutDetect) {
      found = code;
      break;
    }
    found = kLayoutList;
    if (hr == 2) {
      XlValue corner = CellValue(region.Cell(0, 0));
      if (corner.Is(XLTYPE_STR) && corner.Text().find(" by ") != std::string::npos) {
        code = kLayoutIndependent;
        labelColumns = 0;
        continue;
      }
      if (lc == 1 && region.Rows() >= 2 && region.Cols() >= 2) {
        bool full = true;
        for (int r = 0; r < 2; ++r)
          for (int c = 0; c < 2; ++c)
            if (IsEmptyValue(CellValue(region.Cell(r, c)))) full = false;
        found = full ? kLayoutIndependent : kLayoutList;
      }
      if (found == kLayoutIndependent) break;
    }
    if (lc == 0) break;
    idLabel = true;
    labelColumns = 0;
    code = kLayoutList;
  }
  headerBand.count = hr;
  labelBand.count = lc;
  headerBand.range =
      lc < region.Cols() ? region.Offset(0, lc, std::max(hr, 1), region.Cols() - lc) : CellRange{region.sheet};
  if (hr == 0)
    headerBand.range = CellRange{region.sheet};
  else
    headerBand.range.lastRow = headerBand.range.firstRow + hr - 1;
  labelBand.range =
      (lc > 0 && hr < region.Rows()) ? region.Offset(hr, 0, region.Rows() - hr, lc) : CellRange{region.sheet};
  if (found != kLayoutList) idLabel = false;
  dataset->layoutWord = static_cast<uint32_t>(found) | (lc > 0 ? 0x100u : 0u) | (idLabel ? 0x10000u : 0u);
  this->headerRows = headerBand.range;
  this->labelColumns = labelBand.range;
  if (hr >= region.Rows() || lc >= region.Cols())
    dataBody = CellRange{region.sheet};
  else
    dataBody = region.Offset(hr, lc, region.Rows() - hr, region.Cols() - lc);
  if (dataBody.Empty()) ThrowDatasetMessage(ids::kMessageEmptyDataset);
  if (createVariables) {
    if (found == kLayoutIndependent) {
      std::string dataName = DatasetString(ids::kStringData);
      CellRange dataNameCell;
      if (lc >= 1 && hr >= 2) {
        XlValue corner = CellValue(region.Cell(0, 0));
        if (corner.Is(XLTYPE_STR) && !corner.TextView().empty()) {
          dataName = corner.Text();
          dataNameCell = region.Cell(0, 0);
        }
      }
      CRef<VariableSourceExcel> data = NewSource(dataName, dataBody, dataNameCell);
      data->trimTrailing = lc == 0;
      if (dataBody.Rows() > 1 && lc > 0) BuildFactor(false, data.get());
      if (!(dataBody.Cols() == 1 && lc > 0) || dataBody.Rows() == 1) BuildFactor(true, data.get());
      if (lc == 0 && dataset->variables.size() > 1) {
        VariableSource* factor = dataset->variables[1].get();
        std::size_t by = factor->name.find(" by ");
        if (by != std::string::npos) {
          data->name = factor->name.substr(0, by);
          factor->name = factor->name.substr(by + 4);
        }
      }
    } else {
      BuildListVariables();
    }
    RestoreVariableProperties();
    MakeReplicates();
    if (contingency == 1 && !dataset->variables.empty()) {
      VariableSourceExcel* data = Excel(0);
      data->SetType(kTypeIntegralCount);
      data->numberFormat = "0";
      data->detectionMode = 0;
    } else if (contingency == 0) {
      for (CRef<VariableSource>& v : dataset->variables)
        if (SameType(v->type, kTypeIntegralCount)) {
          VariableSourceExcel* x = static_cast<VariableSourceExcel*>(v.get());
          x->SetType(Count(x->values) > 0 || x->values.Empty() ? kTypeContinuous : kTypeInformation);
        }
    }
    if (idLabel && !dataset->variables.empty()) dataset->variables[0]->SetType(kTypeInformation);
  }
}

}  // namespace qs
