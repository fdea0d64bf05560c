// Editing functions over the workbook model: inserting and deleting cells, special selections,
// view options, number formats, copying sheets; drawing objects (text boxes over charts) and the
// items of a selected chart (series, trendlines, axes).
#include <algorithm>
#include <cctype>
#include <cmath>

#include "platform/fileutil.h"
#include "sheets/edit/moved_sheet.h"
#include "sheets/edit/shift_cells.h"
#include "sheets/xlm/calc_host.h"
#include "sheets/xlm/documents_model.h"
#include "sheets/xlm/functions.h"

namespace xlm {

using sheets::CellAddress;
using sheets::RangeAddress;
using sheets::Sheet;
using sheets::Workbook;

namespace {

std::vector<RangeAddress> Selection(const Sheet& s) {
  std::vector<RangeAddress> sel = s.view().selection;
  if (sel.empty()) sel.push_back(RangeAddress::Cell(s.view().active_cell.row, s.view().active_cell.col));
  return sel;
}

}  // namespace

// Shifts: 1 left/right, 2 up/down, 3 whole rows, 4 whole columns (as EDIT.DELETE and INSERT).
// References to the moved cells follow them in every open workbook.
bool ShiftCells(ModelDocuments& d, Sheet& s, const RangeAddress& area, int shift, bool insert, std::string* why) {
  RangeAddress a = area;
  if (shift == 3) {
    a.first.col = 0;
    a.last.col = s.limits().cols - 1;
  } else if (shift == 4) {
    a.first.row = 0;
    a.last.row = s.limits().rows - 1;
  }
  sheets::ShiftAxis axis = shift == 2 || shift == 3 ? sheets::ShiftAxis::Down : sheets::ShiftAxis::Right;
  std::vector<Workbook*> books = d.Books();
  bool done = insert ? sheets::InsertCells(s, a, axis, books, why) : sheets::DeleteCells(s, a, axis, books, why);
  // Formulas that lost their cells now say #REF!: their values follow.
  if (done && !insert) Recalculate(*s.workbook());
  return done;
}

namespace {

int EditCells(ModelDocuments& d, Call& c, bool insert) {
  Sheet* s = d.ActiveSheet();
  if (!s || !s->IsWorksheet()) return c.Refuse();
  std::vector<RangeAddress> sel = Selection(*s);
  if (sel.size() != 1) return c.Refuse();  // one area at a time
  // Without a shift argument: whole rows or columns when selected as such, else up (delete) or
  // down (insert).
  int shift = static_cast<int>(Number(c.Arg(0)).value_or(0));
  const RangeAddress& a = sel[0];
  if (shift == 0) {
    if (a.first.col == 0 && a.last.col == s->limits().cols - 1)
      shift = 3;
    else if (a.first.row == 0 && a.last.row == s->limits().rows - 1)
      shift = 4;
    else
      shift = 2;
  }
  if (shift < 1 || shift > 4) return c.Refuse();
  return ShiftCells(d, *s, a, shift, insert) ? c.Done() : c.Refuse();
}

// SELECT.SPECIAL(type): 2 constants, 3 formulas, 4 blanks (within the selection), 5 the current
// region around the active cell, 11 the last cell.
int SelectSpecial(ModelDocuments& d, Call& c) {
  Sheet* s = d.ActiveSheet();
  std::optional<double> type = Number(c.Arg(0));
  if (!s || !type) return c.Refuse();
  sheets::SheetView& v = s->view();
  switch (static_cast<int>(*type)) {
    case 5: {
      // Grow a rectangle from the active cell while a non-empty cell touches it.
      RangeAddress r = RangeAddress::Cell(v.active_cell.row, v.active_cell.col);
      auto filled = [&](uint32_t row, uint32_t col) { return s->Get(row, col).type != sheets::ValueType::Empty; };
      for (bool grew = true; grew;) {
        grew = false;
        auto edge = [&](uint32_t r0, uint32_t c0, uint32_t r1, uint32_t c1) {
          for (uint32_t row = r0; row <= r1; ++row)
            for (uint32_t col = c0; col <= c1; ++col)
              if (filled(row, col)) return true;
          return false;
        };
        uint32_t top = r.first.row ? r.first.row - 1 : 0, left = r.first.col ? r.first.col - 1 : 0;
        uint32_t bottom = std::min(r.last.row + 1, s->limits().rows - 1);
        uint32_t right = std::min(r.last.col + 1, s->limits().cols - 1);
        if (r.first.row > 0 && edge(top, left, top, right)) {
          r.first.row = top;
          grew = true;
        }
        if (r.last.row < bottom && edge(bottom, left, bottom, right)) {
          r.last.row = bottom;
          grew = true;
        }
        if (r.first.col > 0 && edge(top, left, bottom, left)) {
          r.first.col = left;
          grew = true;
        }
        if (r.last.col < right && edge(top, right, bottom, right)) {
          r.last.col = right;
          grew = true;
        }
      }
      v.selection = {r};
      return c.Done();
    }
    case 11: {
      std::optional<RangeAddress> used = s->UsedRange();
      CellAddress last = used ? used->last : CellAddress{};
      v.selection = {RangeAddress::Cell(last.row, last.col)};
      v.active_cell = last;
      return c.Done();
    }
    case 2:
    case 3:
    case 4: {
      std::vector<RangeAddress> found;
      for (const RangeAddress& r : Selection(*s)) {
        if (r.CellCount() > 1'000'000) return c.Refuse();
        for (uint32_t row = r.first.row; row <= r.last.row; ++row)
          for (uint32_t col = r.first.col; col <= r.last.col; ++col) {
            sheets::CellView cell = s->Get(row, col);
            bool hit = *type == 4   ? cell.type == sheets::ValueType::Empty && !cell.HasFormula()
                       : *type == 3 ? cell.HasFormula()
                                    : cell.type != sheets::ValueType::Empty && !cell.HasFormula();
            if (hit) found.push_back(RangeAddress::Cell(row, col));
          }
      }
      if (found.empty()) return c.Refuse();  // "No cells were found."
      v.selection = found;
      v.active_cell = found[0].first;
      return c.Done();
    }
    default: return c.Refuse();
  }
}

// OPTIONS.VIEW(formula, status, notes, info, objects, page_breaks, formulas, gridlines, color,
// headers, outline, zeros, horizontal scroll, vertical scroll, sheet tabs): missing arguments keep
// their state.
int OptionsView(ModelDocuments& d, Call& c) {
  Sheet* s = d.ActiveSheet();
  if (!s) return c.Refuse();
  sheets::SheetView& v = s->view();
  auto set = [&](std::size_t i, bool& field) {
    if (std::optional<bool> b = Bool(c.Arg(i))) field = *b;
  };
  set(5, v.page_break_preview);
  set(7, v.gridlines);
  set(9, v.headings);
  set(10, v.outline_symbols);
  set(11, v.zero_values);
  if (!s->workbook()->windows().empty()) {
    sheets::Window& w = s->workbook()->windows()[0];
    set(12, w.show_horizontal_scroll);
    set(13, w.show_vertical_scroll);
    set(14, w.show_tabs);
  }
  return c.Done();
}

// FORMAT.NUMBER(format): the number format of the selected cells. Asked with its dialog and
// without a format, the format is kept (the console has no dialog to show).
int FormatNumberCmd(ModelDocuments& d, Call& c) {
  Sheet* s = d.ActiveSheet();
  if (!s) return c.Refuse();
  std::optional<std::string> code = Text(c.Arg(0));
  if (!code) return c.prompt ? c.Done(false) : c.Refuse();
  sheets::FormatTable& formats = s->workbook()->formats();
  for (const RangeAddress& r : Selection(*s)) {
    if (r.CellCount() > 1'000'000) return c.Refuse();
    for (uint32_t row = r.first.row; row <= r.last.row; ++row)
      for (uint32_t col = r.first.col; col <= r.last.col; ++col) {
        sheets::CellFormat f = formats.Get(s->Get(row, col).format);
        f.number_format = *code;
        s->SetFormat(row, col, formats.Intern(f));
      }
  }
  return c.Done();
}

// WORKBOOK.COPY(sheet, book, position): a copy of a sheet, named as a copy ("Data (2)").
int WorkbookCopy(ModelDocuments& d, Call& c) {
  Sheet* src = c.Has(0) ? d.FindSheet(Display(c.Arg(0))) : d.ActiveSheet();
  Workbook* to = c.Has(1) ? d.FindBook(Display(c.Arg(1))) : (src ? src->workbook() : nullptr);
  if (!src || !to) return c.Refuse();
  std::string name = src->name();
  for (int n = 2; to->FindSheet(name); ++n) name = src->name() + " (" + std::to_string(n) + ")";
  std::size_t position = static_cast<std::size_t>(std::max(1.0, Number(c.Arg(2)).value_or(1e9))) - 1;
  position = std::min(position, to->sheet_count());
  try {
    Sheet& copy = to->AddSheet(name, src->kind(), position);
    const sheets::FormatTable& from = src->workbook()->formats();
    sheets::FormatTable& into = to->formats();
    src->ForEachCell([&](uint32_t row, uint32_t col, const sheets::CellView& v) {
      if (v.HasFormula())
        copy.SetFormula(row, col, v.formula, v.ToValue());
      else if (v.type != sheets::ValueType::Empty)
        copy.SetValue(row, col, v.ToValue());
      copy.SetFormat(row, col, into.Intern(from.Get(v.format)));
    });
    for (const auto& [row, info] : src->rows()) {
      sheets::RowInfo r = info;
      if (r.format) r.format = into.Intern(from.Get(*r.format));
      copy.SetRow(row, r);
    }
    for (const auto& [col, span] : src->columns()) {
      sheets::ColumnInfo k = span.info;
      if (k.format) k.format = into.Intern(from.Get(*k.format));
      copy.SetColumns(col, span.last, k);
    }
    for (const RangeAddress& m : src->merged()) copy.Merge(m);
    for (const sheets::DefinedName& n : src->names().entries()) copy.names().Put(n);
    copy.view() = src->view();
    copy.page_setup() = src->page_setup();
    for (const auto& obj : src->drawings()) {
      auto dup = std::make_unique<sheets::DrawingObject>(*obj);
      if (dup->chart) dup->chart = std::make_shared<sheets::Chart>(*dup->chart);
      copy.drawings().push_back(std::move(dup));
    }
    if (!src->IsWorksheet() && src->chart_if_any()) copy.chart() = *src->chart_if_any();
    // The copy's references to its original mean the copy; into another workbook, references to the
    // original's neighbours become external ones.
    sheets::RebaseArrivedSheet(copy, *src->workbook(), src->name());
    d.Activate(to, static_cast<std::size_t>(to->SheetIndex(&copy)));
  } catch (const std::exception&) {
    return c.Refuse();
  }
  return c.Done();
}

// ---- drawing objects ----

sheets::DrawingObject* FindObject(Sheet& s, const std::string& name) {
  if (sheets::DrawingObject* o = s.FindDrawing(name)) return o;
  // An object number, as text or number: the object with that id.
  char* end = nullptr;
  long id = std::strtol(name.c_str(), &end, 10);
  if (!name.empty() && end && *end == '\0')
    for (auto& o : s.drawings())
      if (o->id == static_cast<uint32_t>(id)) return o.get();
  return nullptr;
}

sheets::DrawingObject* Selected(ModelDocuments& d) {
  Sheet* s = d.ActiveSheet();
  return s && !d.selectedObject.empty() ? s->FindDrawing(d.selectedObject) : nullptr;
}

// A cell given as a reference value or as text ("R5C3" or "E5").
std::optional<CellAddress> CellArg(ModelDocuments& d, const Call& c, std::size_t i) {
  Sheet* s = d.ActiveSheet();
  if (!s) return std::nullopt;
  const XLOPER* v = c.Arg(i);
  if (TypeOf(v) == XLTYPE_SREF) return CellAddress{v->val.sref.ref.rwFirst, v->val.sref.ref.colFirst};
  if (TypeOf(v) == XLTYPE_REF && v->val.mref.lpmref && v->val.mref.lpmref->count)
    return CellAddress{v->val.mref.lpmref->reftbl[0].rwFirst, v->val.mref.lpmref->reftbl[0].colFirst};
  if (std::optional<std::string> t = Text(v)) {
    for (sheets::RefStyle style : {sheets::RefStyle::R1C1, sheets::RefStyle::A1})
      if (auto r = sheets::ParseReference(*t, style, s->view().active_cell, s->limits())) return r->area.range.first;
  }
  return std::nullopt;
}

// GET.OBJECT(type, object): 1 the kind (5 chart, 6 text box), 3 visible, 4 the top-left cell
// ("R1C1"), 5 and 6 its offsets, 7 the bottom-right cell, 8 and 9 its offsets, 14 the name.
int GetObject(ModelDocuments& d, Call& c) {
  Sheet* s = d.ActiveSheet();
  std::optional<double> type = Number(c.Arg(0));
  if (!s || !type) return c.Fail();
  sheets::DrawingObject* o = c.Has(1) ? FindObject(*s, Display(c.Arg(1))) : Selected(d);
  if (!o) return c.Fail(XLERR_VALUE);
  auto cellText = [](CellAddress a) { return "R" + std::to_string(a.row + 1) + "C" + std::to_string(a.col + 1); };
  switch (static_cast<int>(*type)) {
    case 1: SetNumber(c.result, o->kind == sheets::DrawingObject::Kind::Chart ? 5 : 6); break;
    case 3: SetBool(c.result, o->visible); break;
    case 4: SetText(c.result, cellText(o->anchor.from)); break;
    case 5: SetNumber(c.result, o->anchor.from_x); break;
    case 6: SetNumber(c.result, o->anchor.from_y); break;
    case 7: SetText(c.result, cellText(o->anchor.to)); break;
    case 8: SetNumber(c.result, o->anchor.to_x); break;
    case 9: SetNumber(c.result, o->anchor.to_y); break;
    case 14: SetText(c.result, o->name); break;
    default: SetError(c.result, XLERR_VALUE);
  }
  return XLRET_SUCCESS;
}

// CREATE.OBJECT(6, ref1, x1, y1, ref2, x2, y2, text): a text box between two cells; it becomes
// the selected object. Other object kinds are not made by this host.
int CreateObject(ModelDocuments& d, Call& c) {
  Sheet* s = d.ActiveSheet();
  std::optional<double> kind = Number(c.Arg(0));
  std::optional<CellAddress> from = CellArg(d, c, 1), to = CellArg(d, c, 4);
  if (!s || !s->IsWorksheet() || kind != 6.0 || !from || !to) return c.Refuse();
  sheets::ObjectAnchor a;
  a.from = *from;
  a.from_x = Number(c.Arg(2)).value_or(0);
  a.from_y = Number(c.Arg(3)).value_or(0);
  a.to = *to;
  a.to_x = Number(c.Arg(5)).value_or(0);
  a.to_y = Number(c.Arg(6)).value_or(0);
  sheets::DrawingObject& o = s->AddTextBox(Text(c.Arg(7)).value_or(std::string()), a);
  d.selectedObject = o.name;
  d.selectedItem.clear();
  SetText(c.result, o.name);
  return XLRET_SUCCESS;
}

// FORMAT.MOVE(x, y): moves the selected object so that its top-left offsets are x, y within its
// anchor cell (points), keeping its size in cells.
int FormatMove(ModelDocuments& d, Call& c) {
  sheets::DrawingObject* o = Selected(d);
  std::optional<double> x = Number(c.Arg(0)), y = Number(c.Arg(1));
  if (!o || !x || !y) return c.Refuse();
  if (!d.selectedItem.empty()) return c.Done();  // the plot area or a label: the model keeps no layout
  double dx = *x - o->anchor.from_x, dy = *y - o->anchor.from_y;
  o->anchor.from_x = *x;
  o->anchor.from_y = *y;
  o->anchor.to_x += dx;
  o->anchor.to_y += dy;
  return c.Done();
}

// PATTERNS(auto_border, border_style, border_color, border_weight, shadow, auto_area, pattern,
// fore, back) on the selected text box: border and area colours (palette indexes).
int SeriesPatterns(ModelDocuments& d, Call& c, sheets::Chart& chart);

int Patterns(ModelDocuments& d, Call& c) {
  sheets::DrawingObject* o = Selected(d);
  if (!o) return c.Refuse();
  if (!d.selectedItem.empty() && o->chart) return SeriesPatterns(d, c, *o->chart);
  if (!d.selectedItem.empty() || o->kind != sheets::DrawingObject::Kind::TextBox) return c.Done();
  if (std::optional<double> border = Number(c.Arg(2)))
    o->line_color = sheets::Color::Indexed(static_cast<uint32_t>(*border));
  if (Bool(c.Arg(0)).value_or(false)) o->line_color = sheets::Color::Auto();
  std::optional<double> pattern = Number(c.Arg(6));
  if (pattern) o->fill.pattern = *pattern == 0 ? sheets::FillPattern::None : sheets::FillPattern::Solid;
  if (std::optional<double> fore = Number(c.Arg(7)))
    o->fill.foreground = sheets::Color::Indexed(static_cast<uint32_t>(*fore));
  if (std::optional<double> back = Number(c.Arg(8)))
    o->fill.background = sheets::Color::Indexed(static_cast<uint32_t>(*back));
  return c.Done();
}

// FORMAT.TEXT(...): alignment of the selected text box's text; the box keeps its text.
int FormatText(ModelDocuments& d, Call& c) { return Selected(d) ? c.Done() : c.Refuse(); }

// ---- items of a selected chart ----

sheets::Chart* SelectedChart(ModelDocuments& d) {
  sheets::DrawingObject* o = Selected(d);
  if (o && o->chart) return o->chart.get();
  Sheet* s = d.ActiveSheet();
  if (s && !s->IsWorksheet()) return &s->chart();
  return nullptr;
}

// "S3" -> 3, "S1T1" -> series 1 trendline 1.
bool ParseSeriesItem(const std::string& item, int& series, int& trend) {
  series = trend = 0;
  if (item.size() < 2 || (item[0] != 'S' && item[0] != 's')) return false;
  std::size_t i = 1;
  while (i < item.size() && std::isdigit(static_cast<unsigned char>(item[i]))) series = series * 10 + (item[i++] - '0');
  if (series == 0) return false;
  if (i == item.size()) return true;
  if (item[i] != 'T' && item[i] != 't') return false;
  ++i;
  while (i < item.size() && std::isdigit(static_cast<unsigned char>(item[i]))) trend = trend * 10 + (item[i++] - '0');
  return i == item.size() && trend > 0;
}

// CHART.TREND(type, order_or_period, forward, backward, intercept, equation, r_squared, name) on
// the selected series (adds a trendline) or trendline (changes it). Types: 1 linear,
// 2 logarithmic, 3 polynomial, 4 power, 5 exponential, 6 moving average.
int ChartTrend(ModelDocuments& d, Call& c) {
  sheets::Chart* chart = SelectedChart(d);
  int series = 0, trend = 0;
  if (!chart || !ParseSeriesItem(d.selectedItem, series, trend) || series > static_cast<int>(chart->series.size()))
    return c.Refuse();
  sheets::ChartSeries& s = chart->series[static_cast<std::size_t>(series - 1)];
  if (trend > static_cast<int>(s.trendlines.size())) return c.Refuse();
  sheets::Trendline t = trend ? s.trendlines[static_cast<std::size_t>(trend - 1)] : sheets::Trendline{};
  static const sheets::TrendlineType kinds[] = {
      sheets::TrendlineType::Linear, sheets::TrendlineType::Logarithmic, sheets::TrendlineType::Polynomial,
      sheets::TrendlineType::Power,  sheets::TrendlineType::Exponential, sheets::TrendlineType::MovingAverage};
  int type = static_cast<int>(Number(c.Arg(0)).value_or(1));
  if (type < 1 || type > 6) return c.Refuse();
  t.type = kinds[type - 1];
  if (std::optional<double> n = Number(c.Arg(1))) {
    if (t.type == sheets::TrendlineType::Polynomial) {
      if (*n < 2 || *n > 6) return c.Refuse();
      t.order = static_cast<int>(*n);
    } else if (t.type == sheets::TrendlineType::MovingAverage) {
      if (*n < 2 || *n > 255) return c.Refuse();
      t.period = static_cast<int>(*n);
    }
  }
  auto optional = [&](std::size_t i, std::optional<double>& field) {
    if (std::optional<double> v = Number(c.Arg(i))) field = *v;
  };
  optional(2, t.forward);
  optional(3, t.backward);
  optional(4, t.intercept);
  if (std::optional<bool> b = Bool(c.Arg(5))) t.display_equation = *b;
  if (std::optional<bool> b = Bool(c.Arg(6))) t.display_r_squared = *b;
  if (std::optional<std::string> name = Text(c.Arg(7))) t.name = *name;
  if (trend)
    s.trendlines[static_cast<std::size_t>(trend - 1)] = t;
  else
    s.trendlines.push_back(t);
  return c.Done();
}

// SCALE(minimum, maximum, major, minor, cross, ...) on a selected axis ("Axis 1" the X or category
// axis, "Axis 2" the value axis): a number sets a bound, TRUE makes it automatic, missing keeps it;
// cross is the value of this axis where the other one crosses it.
int Scale(ModelDocuments& d, Call& c) {
  sheets::Chart* chart = SelectedChart(d);
  if (!chart) return c.Refuse();
  sheets::ChartAxis* axis = platform::EqualNoCase(d.selectedItem, "Axis 1")   ? &chart->x_axis
                            : platform::EqualNoCase(d.selectedItem, "Axis 2") ? &chart->y_axis
                                                                              : nullptr;
  if (!axis) return c.Refuse();
  auto bound = [&](std::size_t i, std::optional<double>& field) {
    const XLOPER* a = c.Arg(i);
    if (TypeOf(a) == XLTYPE_BOOL) {
      if (a->val.xbool) field.reset();
    } else if (std::optional<double> n = Number(a)) {
      field = *n;
    }
  };
  sheets::AxisScale scale = axis->scale;
  bound(0, scale.minimum);
  bound(1, scale.maximum);
  bound(2, scale.major_unit);
  bound(3, scale.minor_unit);
  if (scale.minimum && scale.maximum && *scale.minimum >= *scale.maximum) return c.Refuse();
  axis->scale = scale;
  // The fifth argument: where on this axis the other axis crosses it.
  sheets::ChartAxis& other = axis == &chart->x_axis ? chart->y_axis : chart->x_axis;
  bound(4, other.scale.crosses_at);
  return c.Done();
}

// GET.FORMULA("S3") with a chart selected: the series' formula
// "=SERIES(name,x_values,y_values,plot_order)", each reference as the chart holds it.
int GetSeriesFormula(ModelDocuments& d, Call& c) {
  sheets::Chart* chart = SelectedChart(d);
  std::optional<std::string> item = Text(c.Arg(0));
  int series = 0, trend = 0;
  if (!chart || !item || !ParseSeriesItem(*item, series, trend) || trend ||
      series > static_cast<int>(chart->series.size()))
    return XLRET_INVALID_FN;  // not a chart item: the caller's formula look-up answers
  const sheets::ChartSeries& one = chart->series[static_cast<std::size_t>(series - 1)];
  std::string name = one.name_ref;
  if (name.empty() && !one.name.empty()) {
    name = "\"";
    for (char ch : one.name) name += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    name += "\"";
  }
  SetText(c.result, "=SERIES(" + name + "," + one.x_values + "," + one.y_values + "," + std::to_string(series) + ")");
  return XLRET_SUCCESS;
}

// A series reference given as a reference value or as text; empty when missing.
std::optional<std::string> SeriesReference(ModelDocuments& d, const Call& c, std::size_t i) {
  const XLOPER* v = c.Arg(i);
  if (!c.Has(i) || TypeOf(v) == XLTYPE_MISSING || TypeOf(v) == XLTYPE_NIL) return std::string();
  if (std::optional<std::string> t = Text(v)) return *t;
  Sheet* s = d.ActiveSheet();
  if (TypeOf(v) == XLTYPE_SREF && s) {
    sheets::Reference r;
    r.sheet = s->name();
    const XLREF& x = v->val.sref.ref;
    r.area = sheets::AreaRef::Absolute(RangeAddress{{x.rwFirst, x.colFirst}, {x.rwLast, x.colLast}});
    return sheets::FormatReference(r, sheets::RefStyle::A1);
  }
  return std::nullopt;
}

// EDIT.SERIES(series_number, name_ref, x_ref, y_ref, z_ref, plot_order) on the selected chart:
// changes the references of an existing series (a missing argument keeps what the series has) or,
// with the number one past the last series, adds one.
int EditSeries(ModelDocuments& d, Call& c) {
  sheets::Chart* chart = SelectedChart(d);
  std::optional<double> number = Number(c.Arg(0));
  if (!chart || !number || *number < 1 || *number > static_cast<double>(chart->series.size() + 1)) return c.Refuse();
  std::optional<std::string> name = SeriesReference(d, c, 1), x = SeriesReference(d, c, 2),
                             y = SeriesReference(d, c, 3);
  if (!name || !x || !y) return c.Refuse();
  std::size_t index = static_cast<std::size_t>(*number) - 1;
  sheets::Chart edited = *chart;
  if (index == edited.series.size()) {
    edited.series.emplace_back();
    edited.series.back().name = "S" + std::to_string(index + 1);
  }
  sheets::ChartSeries& one = edited.series[index];
  auto valid = [&](const std::string& text) {
    return text.empty() || text[0] == '{' ||
           sheets::ParseReferenceList(text, sheets::RefStyle::A1, {}, d.ActiveSheet()->limits()).has_value();
  };
  if (!valid(*x) || !valid(*y)) return c.Refuse();
  if (!name->empty()) one.name_ref = *name;
  if (!x->empty()) one.x_values = *x;
  if (!y->empty()) one.y_values = *y;
  *chart = std::move(edited);
  return c.Done();
}

// The command 96 on the selected label: "Title" sets the chart's title, "Text Axis 1" and
// "Text Axis 2" the axis titles; an empty text removes the label.
int ChartText(ModelDocuments& d, Call& c) {
  sheets::Chart* chart = SelectedChart(d);
  std::optional<std::string> text = Text(c.Arg(0));
  if (!chart || !text) return c.Refuse();
  if (platform::EqualNoCase(d.selectedItem, "Title"))
    chart->title = *text;
  else if (platform::EqualNoCase(d.selectedItem, "Text Axis 1"))
    chart->x_axis.title = *text;
  else if (platform::EqualNoCase(d.selectedItem, "Text Axis 2"))
    chart->y_axis.title = *text;
  else
    return c.Refuse();
  return c.Done();
}

// A column's width and a row's height in points (a character of the default font is 7 pixels,
// a column has 5 pixels of padding; 96 pixels to the inch).
double ColumnPoints(const Sheet& s, uint32_t col) {
  double chars = s.GetColumn(col).width;
  if (chars <= 0) chars = 8.43;
  return (std::floor(chars * 7 + 0.5) + 5) * 0.75;
}
double RowPoints(const Sheet& s, uint32_t row) {
  double h = s.GetRow(row).height;
  return h > 0 ? h : 15;
}

// FORMAT.SIZE(width, height) in points on the selected object: its bottom-right corner is placed
// that far from its top-left one. On a chart item (the plot area, a label) the model keeps no
// layout of its own, and the command does nothing.
int FormatSize(ModelDocuments& d, Call& c) {
  sheets::DrawingObject* o = Selected(d);
  Sheet* s = d.ActiveSheet();
  std::optional<double> width = Number(c.Arg(0)), height = Number(c.Arg(1));
  if (!o || !s || !width || !height || *width <= 0 || *height <= 0) return c.Refuse();
  if (!d.selectedItem.empty()) return c.Done();
  auto place = [](double length, uint32_t first, double offset, uint32_t last, auto size, uint32_t& cell,
                  double& rest) {
    double left = length + offset;
    uint32_t i = first;
    while (i < last && left > size(i)) left -= size(i++);
    cell = i;
    rest = std::min(left, size(i));
  };
  place(
      *width, o->anchor.from.col, o->anchor.from_x, s->limits().cols - 1,
      [&](uint32_t col) { return ColumnPoints(*s, col); }, o->anchor.to.col, o->anchor.to_x);
  place(
      *height, o->anchor.from.row, o->anchor.from_y, s->limits().rows - 1,
      [&](uint32_t row) { return RowPoints(*s, row); }, o->anchor.to.row, o->anchor.to_y);
  return c.Done();
}

// PATTERNS on a selected series: (auto_line, line_style, line_color, line_weight, auto_marker,
// marker_style, ...). Line style 0 and marker style 0 mean none; marker styles 1 square, 2 diamond,
// 3 triangle, 4 X, 5 star, 6 dot, 7 dash, 8 circle, 9 plus.
int SeriesPatterns(ModelDocuments& d, Call& c, sheets::Chart& chart) {
  int series = 0, trend = 0;
  if (!ParseSeriesItem(d.selectedItem, series, trend) || trend || series > static_cast<int>(chart.series.size()))
    return c.Done();  // an axis, a point or a trendline: their colours are the template's
  sheets::ChartSeries& one = chart.series[static_cast<std::size_t>(series - 1)];
  if (Bool(c.Arg(0)).value_or(false))
    one.line = true;
  else if (std::optional<double> style = Number(c.Arg(1)))
    one.line = *style != 0;
  if (Bool(c.Arg(4)).value_or(false)) {
    one.marker = sheets::MarkerStyle::Automatic;
  } else if (std::optional<double> marker = Number(c.Arg(5))) {
    static const sheets::MarkerStyle kinds[] = {sheets::MarkerStyle::None,    sheets::MarkerStyle::Square,
                                                sheets::MarkerStyle::Diamond, sheets::MarkerStyle::Triangle,
                                                sheets::MarkerStyle::X,       sheets::MarkerStyle::Star,
                                                sheets::MarkerStyle::Dot,     sheets::MarkerStyle::Dash,
                                                sheets::MarkerStyle::Circle,  sheets::MarkerStyle::Plus};
    if (*marker < 0 || *marker > 9) return c.Refuse();
    one.marker = kinds[static_cast<int>(*marker)];
  }
  return c.Done();
}

}  // namespace

bool SelectObject(ModelDocuments& d, const std::string& name) {
  Sheet* s = d.ActiveSheet();
  if (!s) return false;
  if (sheets::DrawingObject* o = s->FindDrawing(name)) {
    d.selectedObject = o->name;
    d.selectedItem.clear();
    return true;
  }
  // An item of the selected chart: a series or trendline that exists, an axis, the plot area,
  // or a label.
  sheets::Chart* chart = SelectedChart(d);
  if (!chart) return false;
  int series = 0, trend = 0;
  bool exists = false;
  if (ParseSeriesItem(name, series, trend)) {
    exists = series <= static_cast<int>(chart->series.size()) &&
             trend <= static_cast<int>(chart->series[static_cast<std::size_t>(series - 1)].trendlines.size());
  } else {
    exists = platform::EqualNoCase(name, "Plot") || platform::EqualNoCase(name, "Axis 1") ||
             platform::EqualNoCase(name, "Axis 2") || platform::EqualNoCase(name, "Legend") ||
             (platform::EqualNoCase(name, "Title") && !chart->title.empty()) ||
             (name.size() > 5 && platform::EqualNoCase(name.substr(0, 5), "Text "));
  }
  if (!exists) return false;
  d.selectedItem = name;
  return true;
}

int HandleEdit(ModelDocuments& d, Call& c) {
  switch (c.fn) {
    case XLC_CLEAR:
    case XLC_EDIT_DELETE: {
      // With a chart item selected, deletes that series or trendline.
      if (sheets::Chart* chart = SelectedChart(d); chart && !d.selectedItem.empty()) {
        int series = 0, trend = 0;
        if (!ParseSeriesItem(d.selectedItem, series, trend) || series > static_cast<int>(chart->series.size()))
          return c.Refuse();
        auto& list = chart->series;
        if (trend) {
          auto& lines = list[static_cast<std::size_t>(series - 1)].trendlines;
          if (trend > static_cast<int>(lines.size())) return c.Refuse();
          lines.erase(lines.begin() + (trend - 1));
        } else {
          list.erase(list.begin() + (series - 1));
        }
        d.selectedItem.clear();
        return c.Done();
      }
      if (c.fn == XLC_CLEAR) return XLRET_INVALID_FN;  // cells: the caller clears them
      return EditCells(d, c, false);
    }
    case XLC_SCALE: return Scale(d, c);
    case XLF_GET_FORMULA: return GetSeriesFormula(d, c);
    case XLC_EDIT_SERIES: return EditSeries(d, c);
    case XLC_CHART_TEXT: return ChartText(d, c);
    case XLC_FORMAT_SIZE: return FormatSize(d, c);
    case XLC_INSERT: return EditCells(d, c, true);
    case XLC_SELECT_SPECIAL: return SelectSpecial(d, c);
    case XLC_OPTIONS_VIEW: return OptionsView(d, c);
    case XLC_FORMAT_NUMBER: return FormatNumberCmd(d, c);
    case XLC_WORKBOOK_COPY: return WorkbookCopy(d, c);
    case XLF_GET_OBJECT: return GetObject(d, c);
    case XLF_CREATE_OBJECT: return CreateObject(d, c);
    case XLC_FORMAT_MOVE: return FormatMove(d, c);
    case XLC_PATTERNS: return Patterns(d, c);
    case XLC_FORMAT_TEXT: return FormatText(d, c);
    case XLC_CHART_TREND: return ChartTrend(d, c);
    default: return XLRET_INVALID_FN;
  }
}

}  // namespace xlm
