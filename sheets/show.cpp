#include "sheets/show.h"

#include <algorithm>
#include <map>

#include "sheets/io/workbook_io.h"
#include "sheets/numfmt/number_format.h"

namespace sheets {

namespace {

constexpr size_t kMaxColumnWidth = 40;

// Display width: one per UTF-8 character.
size_t Width(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::string Clip(std::string s, size_t width) {
  for (char& c : s)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  if (Width(s) <= width) return s;
  std::string out;
  size_t n = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if ((c & 0xC0) != 0x80) {
      if (n == width - 1) break;
      ++n;
    }
    out += char(c);
  }
  return out + "~";
}

std::string Pad(const std::string& s, size_t width, bool right) {
  size_t w = Width(s);
  if (w >= width) return s;
  return right ? std::string(width - w, ' ') + s : s + std::string(width - w, ' ');
}

const char* ChartTypeName(ChartType t) {
  switch (t) {
    case ChartType::Scatter: return "scatter";
    case ChartType::Line: return "line";
    case ChartType::Bar: return "bar";
    case ChartType::Column: return "column";
    case ChartType::Area: return "area";
    case ChartType::Pie: return "pie";
  }
  return "chart";
}

const char* TrendName(TrendlineType t) {
  switch (t) {
    case TrendlineType::Linear: return "linear";
    case TrendlineType::Exponential: return "exponential";
    case TrendlineType::Logarithmic: return "logarithmic";
    case TrendlineType::Polynomial: return "polynomial";
    case TrendlineType::Power: return "power";
    case TrendlineType::MovingAverage: return "moving average";
  }
  return "";
}

std::string Opt(const std::optional<double>& v) { return v ? FormatNumberLiteral(*v) : "auto"; }

// The values of the cells a series reference names, as the sheet shows them ("" for empty cells),
// at most `limit` of them followed by "... (N values)".
std::string SeriesValues(const Workbook& book, const std::string& text, size_t limit = 12) {
  if (text.empty() || text[0] == '{') return text;
  std::optional<ReferenceList> refs = ParseReferenceList(text, RefStyle::A1, {}, book.limits());
  if (!refs) return "(not a reference)";
  std::vector<std::string> values;
  for (const Reference& r : *refs) {
    const Sheet* sheet = r.IsExternal() ? nullptr : book.FindSheet(r.sheet);
    if (!sheet) return "(another workbook)";
    const RangeAddress& a = r.area.range;
    for (uint32_t row = a.first.row; row <= a.last.row && values.size() <= 100000; ++row)
      for (uint32_t col = a.first.col; col <= a.last.col; ++col)
        values.push_back(CellDisplayText(sheet->Get(row, col), book.formats()));
  }
  std::string out;
  for (size_t i = 0; i < values.size() && i < limit; ++i) out += (i ? ", " : "") + values[i];
  if (values.size() > limit) out += ", ... (" + std::to_string(values.size()) + " values)";
  return out;
}

void PrintChart(const Chart& c, const std::string& indent, std::ostream& out, const Workbook* book = nullptr) {
  out << indent << "type: " << ChartTypeName(c.type) << "\n";
  if (!c.title.empty()) out << indent << "title: " << c.title << "\n";
  for (const auto* ax : {&c.x_axis, &c.y_axis}) {
    const char* which = ax == &c.x_axis ? "x axis" : "y axis";
    out << indent << which << ":";
    if (!ax->title.empty()) out << " \"" << ax->title << "\"";
    out << " min " << Opt(ax->scale.minimum) << ", max " << Opt(ax->scale.maximum) << ", major unit "
        << Opt(ax->scale.major_unit);
    if (ax->scale.logarithmic) out << ", logarithmic";
    if (!ax->visible) out << ", hidden";
    out << "\n";
  }
  for (size_t i = 0; i < c.series.size(); ++i) {
    const ChartSeries& s = c.series[i];
    out << indent << "series " << (i + 1) << ": name ";
    if (!s.name_ref.empty())
      out << "=" << s.name_ref << " (\"" << s.name << "\")";
    else
      out << "\"" << s.name << "\"";
    if (!s.x_values.empty()) out << ", x =" << s.x_values;
    out << ", y =" << s.y_values << "\n";
    if (book) {
      if (!s.x_values.empty()) out << indent << "  x values: " << SeriesValues(*book, s.x_values) << "\n";
      out << indent << "  y values: " << SeriesValues(*book, s.y_values) << "\n";
    }
    for (const auto& t : s.trendlines) {
      out << indent << "  trendline: " << TrendName(t.type);
      if (t.type == TrendlineType::Polynomial) out << " order " << t.order;
      if (t.type == TrendlineType::MovingAverage) out << " period " << t.period;
      if (t.display_equation) out << ", equation shown";
      if (t.display_r_squared) out << ", R-squared shown";
      out << "\n";
    }
  }
  for (const auto& b : c.text_boxes) out << indent << "text box: \"" << Clip(b.text, 60) << "\"\n";
}

}  // namespace

std::string CellDisplayText(const CellView& cell, const FormatTable& formats, bool date_1904) {
  const std::string& code =
      cell.format < formats.size() ? formats.Get(cell.format).number_format : formats.Default().number_format;
  Value v = cell.ToValue();
  // 1904-01-01 is serial 1462 of the 1900 system.
  if (date_1904 && v.type == ValueType::Number && IsDateFormat(code)) v.number += 1462;
  return FormatValue(v, code);
}

void PrintSheetTable(const Sheet& sheet, const FormatTable& formats, std::ostream& out, bool date_1904) {
  if (!sheet.IsWorksheet()) {
    out << "(chart sheet)\n";
    if (const Chart* c = sheet.chart_if_any()) PrintChart(*c, "  ", out);
    return;
  }
  auto used = sheet.UsedRange();
  if (!used) {
    out << "(empty sheet)\n";
    return;
  }
  // Rows of (column, text, right-aligned); widths per column.
  std::map<uint32_t, size_t> widths;
  std::vector<std::pair<uint32_t, std::vector<std::tuple<uint32_t, std::string, bool>>>> rows;
  sheet.ForEachCell([&](uint32_t r, uint32_t c, const CellView& v) {
    if (v.type == ValueType::Empty) return;
    std::string text = Clip(CellDisplayText(v, formats, date_1904), kMaxColumnWidth);
    HorizontalAlignment h =
        c < UINT32_MAX && v.format < formats.size() ? formats.Get(v.format).horizontal : HorizontalAlignment::General;
    bool right = h == HorizontalAlignment::Right ||
                 (h == HorizontalAlignment::General &&
                  (v.type == ValueType::Number || v.type == ValueType::Boolean || v.type == ValueType::Error));
    if (rows.empty() || rows.back().first != r) rows.push_back({r, {}});
    rows.back().second.emplace_back(c, text, right);
    widths[c] = std::max(widths[c], Width(text));
  });
  if (rows.empty()) {
    out << "(no values)\n";
    return;
  }
  std::vector<uint32_t> cols;
  for (auto& [c, w] : widths) {
    w = std::max(w, ColumnLetters(c).size());
    cols.push_back(c);
  }
  size_t label = std::to_string(rows.back().first + 1).size();
  std::string header(label, ' ');
  for (uint32_t c : cols) header += "  " + Pad(ColumnLetters(c), widths[c], false);
  while (!header.empty() && header.back() == ' ') header.pop_back();
  out << header << "\n";
  for (const auto& [r, cells] : rows) {
    std::string line = Pad(std::to_string(r + 1), label, true);
    size_t k = 0;
    for (uint32_t c : cols) {
      std::string cell;
      bool right = false;
      if (k < cells.size() && std::get<0>(cells[k]) == c) {
        cell = std::get<1>(cells[k]);
        right = std::get<2>(cells[k]);
        ++k;
      }
      line += "  " + Pad(cell, widths[c], right);
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << "\n";
  }
}

void PrintNotCalculated(const Sheet& sheet, std::ostream& out, const calc::ExternalFunctions* external) {
  if (!sheet.IsWorksheet()) return;
  std::vector<std::string> lines;
  sheet.ForEachCell([&](uint32_t r, uint32_t c, const CellView& v) {
    if (!v.HasFormula()) return;
    calc::Formula f = calc::ParseFormula(v.formula, sheet.limits());
    std::string why = calc::UnknownPart(f, sheet.workbook(), external);
    if (!why.empty()) lines.push_back("  " + CellName({r, c}) + " =" + std::string(v.formula) + ": " + why);
  });
  if (lines.empty()) return;
  out << "Not calculated here, the value saved in the file is shown:\n";
  for (const std::string& line : lines) out << line << "\n";
}

void PrintDefinedNames(const Workbook& book, std::ostream& out) {
  out << "Defined names:\n";
  size_t n = 0;
  auto one = [&](const DefinedName& d, const std::string& scope) {
    out << "  " << d.name;
    if (!scope.empty()) out << " [" << scope << "]";
    if (d.hidden) out << " (hidden)";
    // References to other workbooks show the workbook's name, not the file's link number.
    out << " = "
        << (d.kind == DefinedName::Kind::References ? FormatReferenceList(d.references, RefStyle::A1) : d.refers_to)
        << "\n";
    ++n;
  };
  for (const auto& d : book.names().entries()) one(d, "");
  for (size_t i = 0; i < book.sheet_count(); ++i)
    for (const auto& d : book.sheet(i).names().entries()) one(d, book.sheet(i).name());
  if (n == 0) out << "  (none)\n";
}

void PrintCharts(const Workbook& book, std::ostream& out) {
  out << "Charts:\n";
  size_t n = 0;
  for (size_t i = 0; i < book.sheet_count(); ++i) {
    const Sheet& s = book.sheet(i);
    if (!s.IsWorksheet()) {
      if (const Chart* c = s.chart_if_any()) {
        out << "  chart sheet \"" << s.name() << "\":\n";
        PrintChart(*c, "    ", out, &book);
        ++n;
      }
      continue;
    }
    for (const auto& d : s.drawings()) {
      if (d->kind == DrawingObject::Kind::Chart && d->chart) {
        out << "  \"" << d->name << "\" on \"" << s.name() << "\" at " << CellName(d->anchor.from) << ":"
            << CellName(d->anchor.to) << ":\n";
        PrintChart(*d->chart, "    ", out, &book);
        ++n;
      } else if (d->kind == DrawingObject::Kind::TextBox) {
        out << "  text box \"" << d->name << "\" on \"" << s.name() << "\" at " << CellName(d->anchor.from) << ":"
            << CellName(d->anchor.to) << ": \"" << Clip(d->text, 60) << "\"\n";
        ++n;
      }
    }
  }
  if (n == 0) out << "  (none)\n";
}

int RunShowCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string file, sheet_name;
  bool names = false, charts = false, have_sheet = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--names")
      names = true;
    else if (a == "--charts")
      charts = true;
    else if (a == "--sheet") {
      if (i + 1 >= args.size()) {
        err << "show: --sheet needs a sheet name\n";
        return 2;
      }
      sheet_name = args[++i];
      have_sheet = true;
    } else if (a.rfind("--sheet=", 0) == 0) {
      sheet_name = a.substr(8);
      have_sheet = true;
    } else if (a == "--help" || a == "-h") {
      out << "usage: show FILE [--sheet NAME] [--names] [--charts]\n";
      return 0;
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      err << "show: unknown option " << a << "\n";
      return 2;
    } else if (file.empty()) {
      file = a;
    } else {
      err << "show: more than one file given\n";
      return 2;
    }
  }
  if (file.empty()) {
    err << "usage: show FILE [--sheet NAME] [--names] [--charts]\n";
    return 2;
  }
  std::unique_ptr<Workbook> book;
  try {
    ReadOptions options;
    options.preserve = false;
    book = ReadWorkbook(file, options);
  } catch (const FileError& e) {
    err << e.what() << "\n";
    return 1;
  }
  if (book->sheet_count() == 0) {
    out << "(no sheets)\n";
    return 0;
  }
  const Sheet* sheet = nullptr;
  if (have_sheet) {
    sheet = book->FindSheet(sheet_name);
    if (!sheet) {
      err << file << ": no sheet named \"" << sheet_name << "\"\n";
      return 1;
    }
  } else {
    sheet = &book->sheet(book->active_sheet());
  }
  out << "Sheet \"" << sheet->name() << "\"\n";
  PrintSheetTable(*sheet, book->formats(), out, book->date_1904());
  PrintNotCalculated(*sheet, out);
  if (names) {
    out << "\n";
    PrintDefinedNames(*book, out);
  }
  if (charts) {
    out << "\n";
    PrintCharts(*book, out);
  }
  return 0;
}

}  // namespace sheets
