// Finding datasets, naming them, and keeping their properties in the workbook as defined names.
#include <algorithm>

#include "addin/dataset/dataset.h"
#include "addin/dataset/dataset_strings.h"
#include "addin/host/xlcalls.h"
#include "addin/host/xlstate.h"
#include "addin/resources/string_ids.h"

namespace qs {

namespace {

const char* const kPrefix = "__sm_";

std::vector<std::string> NamesMatching(const std::string& sheetKey, char kind) {
  return XlSheetNames(sheetKey, std::string(kPrefix) + kind + "R*");
}

XlValue Evaluate(const std::string& qualified) { return XlCallResultNA(XLF_EVALUATE, {qualified}); }

void Define(const std::string& qualified, const XlValue& refersTo) {
  XlCall(XLC_DEFINE_NAME, {qualified, refersTo, nullptr, nullptr, false, nullptr, true});
}

std::string SheetKeyOf(XL_SHEET_ID sheet) {
  XlValue ref = XlValue::Ref(sheet, {XLREF{0, 0, 0, 0}});
  return XlCallText(xlSheetNm, {ref}).str();
}

XlValue CellValue(const CellRange& cell) { return XlCallResult(xlCoerce, {cell.Value()}); }

// The current region around a cell; the selection is put back afterwards.
CellRange CurrentRegion(const CellRange& cell) {
  XlValue before = XlCallResultNA(XLF_SELECTION);
  CellRange active = ActiveCell();
  XlCall(XLC_SELECT, {cell.Value()});
  XlCall(XLC_SELECT_SPECIAL, {5});
  XlValue sel = XlCallResultNA(XLF_SELECTION);
  std::vector<XLREF> areas = sel.Areas();
  CellRange region = areas.empty() ? cell : CellRange::Of(cell.sheet, areas[0]);
  if (before.Is(XLTYPE_REF) && active.sheet == cell.sheet) {
    try {
      XlCall(XLC_SELECT, {before, active.Value()});
    } catch (CException* e) {
      e->Delete();
    }
  }
  return region;
}

std::vector<CellRange> AreasOf(const XlValue& v) {
  std::vector<CellRange> out;
  XL_SHEET_ID sheet = v.SheetId();
  for (const XLREF& r : v.Areas()) out.push_back(CellRange::Of(sheet, r));
  return out;
}

XlValue MakeArray(const std::vector<XlValue>& column) {
  XlValue a = XlValue::Array(static_cast<uint16_t>(column.size()), 1);
  for (size_t i = 0; i < column.size(); ++i) a.At(static_cast<uint16_t>(i), 0) = column[i];
  return a;
}

}  // namespace

// ------------------------------------------------------------------ find

CRef<DatasetSourceExcel> FindDataset(const CellRange& activeCell, int layout, int labelColumns, int headerRows,
                                     bool searchStored, bool createVariables) {
  XlStateScope scope(ids::kStatusPleaseWait, 0, false);
  std::string sheetKey = SheetKeyOf(activeCell.sheet);
  StoredName matched;
  CellRange region;
  bool found = false;
  std::string storedText;
  bool idLabel = false;
  if (searchStored) {
    for (const std::string& name : NamesMatching(sheetKey, 'D')) {
      StoredName stored;
      stored.at.sheet = activeCell.sheet;
      stored.sheetKey = sheetKey;
      stored.name = name;
      XlValue ref = Evaluate(stored.Qualified(name));
      std::vector<CellRange> areas = ref.Is(XLTYPE_REF) ? AreasOf(ref) : std::vector<CellRange>{};
      if (areas.size() != 1 && areas.size() != 2) {
        stored.Delete();  // its cells are gone
        continue;
      }
      if (areas[0].sheet != activeCell.sheet) continue;
      const CellRange& a1 = areas[0];
      int shift = areas.size() == 2 ? areas[1].Cols() - 1 : 0;
      CellRange probe{activeCell.sheet, a1.lastRow, a1.lastRow, a1.firstCol + shift, a1.firstCol + shift};
      CellRange r = CurrentRegion(probe);
      r.firstRow = std::min(r.firstRow, a1.firstRow);
      if (areas.size() == 2) r.firstCol = std::min(r.firstCol, areas[1].firstCol);
      if (!r.Widened(1).Intersects(activeCell)) continue;
      region = r;
      matched = stored;
      matched.at = a1;
      found = true;
      if (labelColumns < 1) labelColumns = areas.size() == 2 ? std::max(0, areas[1].lastCol - r.firstCol + 1) : 0;
      if (headerRows < 1 && a1.lastRow - r.firstRow + 1 >= 0) headerRows = a1.lastRow - r.firstRow + 1;
      XlValue props = Evaluate(stored.Qualified(stored.ValueName()));
      if (props.Is(XLTYPE_MULTI) && props.Rows() >= 4 && props.Columns() == 1) {
        if (props.At(1, 0).Is(XLTYPE_NUM)) layout = static_cast<int>(props.At(1, 0).val.num);
        if (props.At(2, 0).Is(XLTYPE_STR)) storedText = props.At(2, 0).Text();
        idLabel = props.At(3, 0).Is(XLTYPE_BOOL) && props.At(3, 0).val.xbool;
      }
      break;
    }
  }
  if (!found) region = CurrentRegion(activeCell);
  if (region.Cells() <= 1) return CRef<DatasetSourceExcel>();
  CRef<DatasetSourceExcel> source(new DatasetSourceExcel);
  source->region = region;
  source->activeCell = activeCell;
  source->sheetKey = sheetKey;
  source->stored = matched;
  if (layout != kLayoutIndependent && layout != kLayoutList) layout = kLayoutDetect;
  source->Scan(-1, layout, labelColumns, headerRows, idLabel, createVariables);
  source->NameDataset(storedText);
  return source;
}

void DatasetSourceExcel::NameDataset(const std::string& storedText) {
  if (!storedText.empty()) {
    dataset->name = storedText;
    dataset->nameOrigin = 0;
    return;
  }
  if (region.firstRow >= 2) {
    CellRange band{region.sheet, region.firstRow - 3, region.firstRow - 2, region.firstCol - 1, region.lastCol + 1};
    band.firstRow = std::max(0, band.firstRow);
    band.firstCol = std::max(0, band.firstCol);
    band.lastCol = std::min(255, band.lastCol);
    CellRange title{region.sheet, region.firstRow - 2, region.firstRow - 2, region.firstCol, region.firstCol};
    XlValue t = CellValue(title);
    if (XlCallNumber(XLF_COUNTA, {band.Value()}) == 1 && !t.IsNil() && !t.IsMissing()) {
      dataset->name = t.Is(XLTYPE_STR) ? t.Text() : XlValueText(t);
      dataset->nameOrigin = 2;
      return;
    }
  }
  size_t n = NamesMatching(sheetKey, 'D').size() + (stored.Empty() ? 1 : 0);
  dataset->name = DatasetMessage(ids::kStringDatasetNumber, {std::to_string(n)});
  dataset->nameOrigin = 1;
}

void DatasetSourceExcel::SetName(const std::string& name) {
  if (name == dataset->name) return;
  if (name.empty()) {
    NameDataset("");
    return;
  }
  dataset->name = name;
  dataset->nameOrigin = 0;
}

// ------------------------------------------------------------------ variable properties

XlValue VariablePropertiesArray(const VariableSource& v) {
  std::vector<XlValue> column;
  column.emplace_back(1.0);
  column.emplace_back(static_cast<double>(TypeKey(v.type)));
  if (v.categories)
    for (const CRef<Category>& c : v.categories->Order()) {
      if (c->first || c->number < 0 || !(c->flags & Category::kKeptInWorkbook)) continue;
      column.emplace_back(c->name);
      column.emplace_back(static_cast<double>(c->kind));
      // A boolean category keeps its 0 or 1 as well: without it the category could not be matched
      // to its cells again after a reload.
      column.emplace_back(c->HasValue() ? c->value : MissingValue());
    }
  return MakeArray(column);
}

void DatasetSourceExcel::RestoreVariableProperties() {
  std::vector<bool> restored(sources.size(), false);
  for (const std::string& name : NamesMatching(sheetKey, 'V')) {
    StoredName stored;
    stored.at.sheet = region.sheet;
    stored.sheetKey = sheetKey;
    stored.name = name;
    XlValue ref = Evaluate(stored.Qualified(name));
    if (!ref.Is(XLTYPE_REF)) continue;
    std::vector<CellRange> areas = AreasOf(ref);
    if (areas.size() != 1) continue;
    stored.at = areas[0];
    VariableSourceExcel* match = nullptr;
    for (size_t i = 0; i < sources.size(); ++i) {
      VariableSourceExcel* v = Excel(i);
      if (!v->nameCell.Empty() && v->nameCell.firstRow == stored.at.firstRow &&
          v->nameCell.firstCol == stored.at.firstCol)
        match = v;
    }
    if (!match) {
      if (region.Widened(1).Intersects(stored.at)) stored.Delete();
      continue;
    }
    if (!match->stored.Empty()) {
      const CellRange& old = match->stored.at;
      if (old.firstRow <= stored.at.firstRow && old.firstCol <= stored.at.firstCol) continue;
      match->stored.Delete();
    }
    match->stored = stored;
  }
  for (size_t i = 0; i < sources.size(); ++i) {
    VariableSourceExcel* v = Excel(i);
    bool done = false;
    if (!v->stored.Empty()) {
      XlValue props = Evaluate(v->stored.Qualified(v->stored.ValueName()));
      if (props.Is(XLTYPE_MULTI) && props.Rows() >= 2 && props.Columns() == 1 && props.At(1, 0).Is(XLTYPE_NUM)) {
        TypeCode code = static_cast<TypeCode>(props.At(1, 0).val.num);
        CRef<Categories> old = v->categories;
        v->type = code;
        v->detectionMode = 0;
        v->categories = CRef<Categories>();
        if (props.Rows() >= 3 && IsCategorical(code)) {
          CRef<Categories> cats(new Categories(code));
          for (uint16_t r = 2; r + 2 < props.Rows(); r = static_cast<uint16_t>(r + 3)) {
            CRef<Category> c(new Category);
            c->name = props.At(r, 0).Is(XLTYPE_STR) ? props.At(r, 0).Text() : XlValueText(props.At(r, 0));
            c->kind = props.At(static_cast<uint16_t>(r + 1), 0).Is(XLTYPE_NUM)
                          ? static_cast<int>(props.At(static_cast<uint16_t>(r + 1), 0).val.num)
                          : 0;
            const XlValue& value = props.At(static_cast<uint16_t>(r + 2), 0);
            c->value = value.Is(XLTYPE_NUM) ? value.val.num : MissingValue();
            if (c->kind == Category::kBoolean && !value.Is(XLTYPE_NUM)) c->kind = Category::kNoValue;
            c->flags |= Category::kKeptInWorkbook;
            cats->Add(c.get(), true);
          }
          // A factor built from header cells already holds category numbers: carry them over to
          // the restored list by name (a header met since saving joins the list).
          if (v->isFactor && old) {
            std::vector<uint16_t> to(old->Count() + 1, 0);
            for (const CRef<Category>& c : old->Order()) {
              if (c->first || c->number < 0) continue;
              Category* n = cats->FindName(c->name);
              if (!n) {
                CRef<Category> added(new Category);
                added->name = c->name;
                cats->Add(added.get(), true);
                n = added.get();
              }
              n->flags |= c->flags;
              if (static_cast<size_t>(c->number) >= to.size()) to.resize(static_cast<size_t>(c->number) + 1, 0);
              to[static_cast<size_t>(c->number)] = static_cast<uint16_t>(n->number);
            }
            for (uint16_t& x : v->factorValues) x = x < to.size() ? to[x] : 0;
            for (int& g : v->grouping) g = static_cast<size_t>(g) < to.size() ? to[static_cast<size_t>(g)] : 0;
          }
          v->categories = cats;
        }
        done = true;
      }
    }
    if (!done && v->detectionMode == 3) {
      v->type =
          (v->values.Empty() || XlCallNumber(XLF_COUNT, {v->values.Value()}) > 0) ? kTypeContinuous : kTypeInformation;
    }
  }
}

// ------------------------------------------------------------------ save

void DatasetSourceExcel::SaveProperties() {
  if (stored.Empty()) stored = StoredName::Make('D', region.sheet, sheetKey);
  std::vector<XlValue> column;
  column.emplace_back(1.0);
  column.emplace_back(static_cast<double>(dataset->Layout()));
  column.emplace_back(dataset->nameOrigin == 0 ? dataset->name : std::string());
  bool idLabel = dataset->Layout() == kLayoutList && !dataset->variables.empty() &&
                 SameType(dataset->variables[0]->type, kTypeInformation) && dataset->IdentifierLabel();
  column.push_back(XlValue::Bool(idLabel));
  Define(stored.Qualified(stored.ValueName()), MakeArray(column));
  std::vector<XLREF> areas;
  if (!headerRows.Empty()) areas.push_back(headerRows.Ref());
  if (!labelColumns.Empty()) {
    if (areas.empty())
      areas.push_back(labelColumns.Ref());  // no header row: the label band alone
    else
      areas.push_back(labelColumns.Ref());
  }
  if (areas.empty()) areas.push_back(region.Cell(0, 0).Ref());
  Define(stored.Qualified(stored.name), XlValue::Ref(region.sheet, areas));
  stored.at = CellRange::Of(region.sheet, areas[0]);
  for (size_t i = 0; i < sources.size(); ++i) {
    VariableSourceExcel* v = Excel(i);
    if (v->nameCell.Empty()) continue;
    if (v->categories)
      for (const CRef<Category>& c : v->categories->Order())
        if (!c->first) c->flags |= Category::kKeptInWorkbook;
    if (v->stored.Empty()) v->stored = StoredName::Make('V', region.sheet, sheetKey);
    Define(v->stored.Qualified(v->stored.ValueName()), VariablePropertiesArray(*v));
    Define(v->stored.Qualified(v->stored.name), v->nameCell.Cell(0, 0).Value());
    v->stored.at = v->nameCell.Cell(0, 0);
  }
}

// ------------------------------------------------------------------ confirm

DatasetProperties CurrentProperties(const DatasetSourceExcel& source) {
  DatasetProperties p;
  const Dataset& d = *source.dataset;
  if (d.Layout() == kLayoutList) {
    p.layoutIndex = 0;
    p.repeatMeasures = source.headerBand.count == 2;
    p.identifierLabel = d.IdentifierLabel();
  } else {
    p.layoutIndex = d.IsContingency() ? 2 : 1;
    p.factors = source.labelBand.count > 0 ? 2 : 1;
  }
  return p;
}

namespace {
// Header rows of a block confirmed as tabular: a title row over the group names, or the group names
// alone when the second row already holds numbers (then it is data, never taken for names, and the
// variable is named from the block or "Data").
int TabularHeaderRows(const DatasetSourceExcel& source) {
  const CellRange& r = source.region;
  if (r.Rows() < 3) return 1;
  XlValue numbers = XlCallResultNA(XLF_COUNT, {r.Offset(1, 0, 1, r.Cols()).Value()});
  return numbers.Is(XLTYPE_NUM) && numbers.Number() > 0 ? 1 : 2;
}
}  // namespace

void ConfirmDataset(DatasetSourceExcel& source, const DatasetProperties& p) {
  int layout = p.layoutIndex == 0 ? kLayoutList : kLayoutIndependent;
  int headerRows = p.layoutIndex == 0 ? (p.repeatMeasures ? 2 : 1) : TabularHeaderRows(source);
  int labelColumns = p.layoutIndex == 0 ? 0 : (p.factors == 2 ? 1 : 0);
  int contingency = p.layoutIndex == 2 ? 1 : 0;
  source.Scan(contingency, layout, labelColumns, headerRows, p.identifierLabel && p.layoutIndex == 0, true);
  if (p.name) source.SetName(*p.name);
  source.SaveProperties();
  if (p.autoFormat) {
    XlStateScope scope(ids::kStatusFormattingDataset, 0, false);
    source.AutoFormat();
  }
}

// ------------------------------------------------------------------ AutoFormat

void DatasetSourceExcel::AutoFormat() {
  CellRange active = ActiveCell();
  XlValue before = XlCallResultNA(XLF_SELECTION);
  auto select = [](const CellRange& r) { XlCall(XLC_SELECT, {r.Value()}); };
  select(region);
  XlCall(XLC_FORMAT_FONT, {"Arial", 10.0});
  select(dataBody);
  XlCall(XLC_BORDER, {1});
  XlCall(XLC_PATTERNS, {0});
  const bool merge = HostInfo().version == 0 || HostInfo().version > 7;
  auto formatLine = [&](const CellRange& line) {
    int c = 0;
    while (c < line.Cols()) {
      int end = c + 1;
      if (!XlValue(CellValue(line.Cell(0, c))).IsNil())
        while (end < line.Cols() && CellValue(line.Cell(0, end)).IsNil()) ++end;
      CellRange run = line.Offset(0, c, 1, end - c);
      select(run);
      if (end - c > 1) {
        if (merge)
          XlCall(XLC_ALIGNMENT, {7, nullptr, nullptr, nullptr, nullptr, nullptr, true});
        else
          XlCall(XLC_ALIGNMENT, {7});
      } else {
        XlCall(XLC_ALIGNMENT, {3});
      }
      c = end;
    }
  };
  for (int line = 0; line < headerBand.count && !headerRows.Empty(); ++line)
    formatLine(headerRows.Offset(line, 0, 1, 0));
  if (before.Is(XLTYPE_REF)) {
    try {
      XlCall(XLC_SELECT, {before, active.Value()});
    } catch (CException* e) {
      e->Delete();
    }
  }
}

VariableSourceExcel* DatasetSourceExcel::FindVariableAt(const CellRange& cell) {
  for (size_t i = 0; i < sources.size(); ++i) {
    VariableSourceExcel* v = Excel(i);
    if (v->isFactor) continue;
    if ((!v->values.Empty() &&
         v->values.Offset(-headerBand.count, 0, v->values.Rows() + headerBand.count, 0).Intersects(cell)) ||
        (!v->nameCell.Empty() && v->nameCell.Intersects(cell)))
      return v;
  }
  return nullptr;
}

}  // namespace qs
