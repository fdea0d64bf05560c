#include "sheets/io/chart_xml.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "sheets/io/file_error.h"
#include "sheets/io/limits.h"
#include "sheets/io/preserved.h"
#include "sheets/model/constant.h"

namespace sheets {

namespace {

constexpr std::string_view kTrendTypes[] = {"linear", "exp", "log", "poly", "power", "movingAvg"};
constexpr std::string_view kMarkers[] = {"auto", "none", "square", "diamond", "triangle", "x",
                                         "star", "dot",  "dash",   "circle",  "plus"};
constexpr std::string_view kLegendPos[] = {"", "r", "l", "t", "b"};

template <size_t N>
int IndexOf(const std::string_view (&table)[N], std::string_view v, int fallback) {
  for (size_t i = 0; i < N; ++i)
    if (table[i] == v) return int(i);
  return fallback;
}

std::optional<double> NumVal(const XmlNode* n) {
  if (!n) return std::nullopt;
  const std::string* v = n->Attr("val");
  if (!v) return std::nullopt;
  return ParseNumberText(*v);
}

bool BoolVal(const XmlNode* n, bool absent, bool no_val = true) {
  if (!n) return absent;
  const std::string* v = n->Attr("val");
  if (!v) return no_val;
  return *v == "1" || *v == "true";
}

void CollectText(const XmlNode& n, std::string& out) {
  if (n.local() == "t") out += n.text;
  for (const auto& c : n.children) CollectText(c, out);
}

// Text of a c:tx or c:title: rich text runs, or the cached text of a reference, or a literal c:v.
std::string TitleText(const XmlNode* title) {
  if (!title) return {};
  const XmlNode* tx = title->local() == "tx" ? title : title->Child("tx");
  if (!tx) return {};
  if (auto* rich = tx->Child("rich")) return DrawingText(*rich);
  if (auto* ref = tx->Child("strRef")) {
    std::string out;
    if (auto* cache = ref->Child("strCache"))
      for (auto* pt : cache->ChildrenNamed("pt"))
        if (auto* v = pt->Child("v")) out += v->text;
    return out;
  }
  if (auto* v = tx->Child("v")) return v->text;
  return {};
}

// The formula of numRef/strRef, or a literal as an array constant.
std::string DataRef(const XmlNode* holder) {
  if (!holder) return {};
  for (std::string_view kind : {"numRef", "strRef", "multiLvlStrRef"})
    if (auto* r = holder->Child(kind))
      if (auto* f = r->Child("f")) return f->text;
  for (std::string_view kind : {"numLit", "strLit"}) {
    if (auto* lit = holder->Child(kind)) {
      std::vector<const XmlNode*> pts = lit->ChildrenNamed("pt");
      std::string out = "{";
      for (size_t i = 0; i < pts.size(); ++i) {
        if (i) out += ',';
        const XmlNode* v = pts[i]->Child("v");
        std::string text = v ? v->text : "";
        if (kind == "numLit" && ParseNumberText(text))
          out += text;
        else
          out += FormatConstant(Value::Text(text));
      }
      return out + "}";
    }
  }
  return {};
}

void ReadAxis(const XmlNode& ax, ChartAxis& axis) {
  if (auto* sc = ax.Child("scaling")) {
    axis.scale.minimum = NumVal(sc->Child("min"));
    axis.scale.maximum = NumVal(sc->Child("max"));
    axis.scale.logarithmic = sc->Child("logBase") != nullptr;
    if (auto* o = sc->Child("orientation")) axis.scale.reversed = o->AttrOr("val", "minMax") == "maxMin";
  }
  axis.scale.major_unit = NumVal(ax.Child("majorUnit"));
  axis.scale.minor_unit = NumVal(ax.Child("minorUnit"));
  axis.scale.crosses_at = NumVal(ax.Child("crossesAt"));
  axis.visible = !BoolVal(ax.Child("delete"), false);
  axis.major_gridlines = ax.Child("majorGridlines") != nullptr;
  axis.minor_gridlines = ax.Child("minorGridlines") != nullptr;
  axis.title = TitleText(ax.Child("title"));
  if (auto* nf = ax.Child("numFmt")) {
    std::string linked = nf->AttrOr("sourceLinked", "0");
    std::string code = nf->AttrOr("formatCode", "General");
    if ((linked == "0" || linked == "false") && code != "General") axis.number_format = code;
  }
}

}  // namespace

std::string DrawingText(const XmlNode& body) {
  std::string out;
  bool first = true;
  for (auto* p : body.ChildrenNamed("p")) {
    if (!first) out += '\n';
    first = false;
    CollectText(*p, out);
  }
  return out;
}

std::optional<Chart> ParseChartXml(const XmlNode& space, std::string* user_shapes_rid) {
  const XmlNode* chart_node = space.Child("chart");
  if (!chart_node) throw FormatError("chart part without a chart");
  if (user_shapes_rid)
    if (auto* us = space.Child("userShapes")) *user_shapes_rid = us->AttrOr("id", "");
  const XmlNode* plot = chart_node->Child("plotArea");
  if (!plot) return std::nullopt;
  if (chart_node->Child("view3D")) return std::nullopt;
  Chart chart;
  const XmlNode* type_node = nullptr;
  for (const auto& c : plot->children) {
    auto n = c.local();
    if (n.size() > 5 && n.substr(n.size() - 5) == "Chart") {
      if (type_node) return std::nullopt;  // combination charts stay as they are
      type_node = &c;
    }
  }
  if (!type_node) return std::nullopt;
  auto tn = type_node->local();
  if (tn == "scatterChart")
    chart.type = ChartType::Scatter;
  else if (tn == "lineChart")
    chart.type = ChartType::Line;
  else if (tn == "barChart")
    chart.type = type_node->Child("barDir") && type_node->Child("barDir")->AttrOr("val", "col") == "bar"
                     ? ChartType::Bar
                     : ChartType::Column;
  else if (tn == "areaChart")
    chart.type = ChartType::Area;
  else if (tn == "pieChart")
    chart.type = ChartType::Pie;
  else
    return std::nullopt;
  if (auto* g = type_node->Child("grouping")) {
    auto v = g->AttrOr("val", "standard");
    chart.grouping = v == "clustered"        ? ChartGrouping::Clustered
                     : v == "stacked"        ? ChartGrouping::Stacked
                     : v == "percentStacked" ? ChartGrouping::PercentStacked
                                             : ChartGrouping::Standard;
  }
  if (chart.type == ChartType::Column || chart.type == ChartType::Bar)
    if (chart.grouping == ChartGrouping::Standard) chart.grouping = ChartGrouping::Clustered;

  if (auto* t = chart_node->Child("title")) {
    chart.title = TitleText(t);  // empty for an automatic title
  }
  for (auto* ser : type_node->ChildrenNamed("ser")) {
    if (chart.series.size() >= limits::kMaxChartSeries) throw FormatError("too many chart series");
    ChartSeries s;
    if (auto* tx = ser->Child("tx")) {
      if (auto* ref = tx->Child("strRef")) {
        if (auto* f = ref->Child("f")) s.name_ref = f->text;
      }
      s.name = TitleText(tx);
    }
    s.x_values = DataRef(ser->Child(chart.type == ChartType::Scatter ? "xVal" : "cat"));
    s.y_values = DataRef(ser->Child(chart.type == ChartType::Scatter ? "yVal" : "val"));
    if (auto* m = ser->Child("marker"))
      if (auto* sym = m->Child("symbol")) s.marker = MarkerStyle(IndexOf(kMarkers, sym->AttrOr("val", "auto"), 0));
    // Only scatter and line series are lines; the outline of bars and areas is another matter.
    if (chart.type == ChartType::Scatter || chart.type == ChartType::Line)
      if (auto* sp = ser->Child("spPr"))
        if (auto* ln = sp->Child("ln"))
          if (ln->Child("noFill")) s.line = false;
    s.smooth = BoolVal(ser->Child("smooth"), false);
    for (auto* t : ser->ChildrenNamed("trendline")) {
      Trendline tr;
      if (auto* tt = t->Child("trendlineType"))
        tr.type = TrendlineType(IndexOf(kTrendTypes, tt->AttrOr("val", "linear"), 0));
      if (auto v = NumVal(t->Child("order"))) tr.order = int(*v);
      if (auto v = NumVal(t->Child("period"))) tr.period = int(*v);
      if (auto* nm = t->Child("name")) tr.name = nm->text;
      tr.forward = NumVal(t->Child("forward"));
      tr.backward = NumVal(t->Child("backward"));
      tr.intercept = NumVal(t->Child("intercept"));
      tr.display_equation = BoolVal(t->Child("dispEq"), false);
      tr.display_r_squared = BoolVal(t->Child("dispRSqr"), false);
      s.trendlines.push_back(std::move(tr));
    }
    chart.series.push_back(std::move(s));
  }
  // Axes: the one at the bottom or top is X (or the categories), the other Y. Bar charts turn
  // this round: categories on the left.
  // The chart's first axis id names its X (category) axis, the second its Y axis; the position of
  // the axis decides only when the ids are missing.
  std::vector<std::string> ids;
  for (auto* id : type_node->ChildrenNamed("axId")) ids.push_back(id->AttrOr("val", ""));
  for (const auto& c : plot->children) {
    auto n = c.local();
    if (n != "valAx" && n != "catAx" && n != "dateAx" && n != "serAx") continue;
    std::string id = c.Child("axId") ? c.Child("axId")->AttrOr("val", "") : "";
    bool is_x;
    if (ids.size() >= 2 && (id == ids[0] || id == ids[1])) {
      is_x = id == ids[0];
    } else {
      std::string pos = c.Child("axPos") ? c.Child("axPos")->AttrOr("val", "b") : "b";
      bool horizontal = pos == "b" || pos == "t";
      is_x = chart.type == ChartType::Bar ? !horizontal : horizontal;
    }
    ReadAxis(c, is_x ? chart.x_axis : chart.y_axis);
  }
  if (auto* lg = chart_node->Child("legend")) {
    std::string pos = lg->Child("legendPos") ? lg->Child("legendPos")->AttrOr("val", "r") : "r";
    chart.legend = LegendPosition(std::max(1, IndexOf(kLegendPos, pos, 1)));
  } else {
    chart.legend = LegendPosition::None;
  }
  return chart;
}

void ParseUserShapesXml(const XmlNode& root, Chart& chart) {
  for (const auto& anchor : root.children) {
    if (anchor.local() != "relSizeAnchor") continue;
    const XmlNode* sp = anchor.Child("sp");
    if (!sp) continue;
    const XmlNode* body = sp->Child("txBody");
    if (!body) continue;
    ChartTextBox box;
    box.text = DrawingText(*body);
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    if (auto* from = anchor.Child("from")) {
      if (auto* x = from->Child("x")) x1 = ParseNumberText(x->text).value_or(0);
      if (auto* y = from->Child("y")) y1 = ParseNumberText(y->text).value_or(0);
    }
    if (auto* to = anchor.Child("to")) {
      if (auto* x = to->Child("x")) x2 = ParseNumberText(x->text).value_or(0);
      if (auto* y = to->Child("y")) y2 = ParseNumberText(y->text).value_or(0);
    }
    box.x = x1;
    box.y = y1;
    box.width = x2 - x1;
    box.height = y2 - y1;
    chart.text_boxes.push_back(std::move(box));
  }
}

// ---- writing ----------------------------------------------------------------------------------------

namespace {

void Val(XmlWriter& w, std::string_view name, std::string_view v) {
  w.Start(name);
  w.Attr("val", v);
  w.End(name);
}
void ValNum(XmlWriter& w, std::string_view name, double v) {
  w.Start(name);
  w.AttrNum("val", v);
  w.End(name);
}

void RichText(XmlWriter& w, std::string_view text, bool bold_default) {
  w.Start("c:rich");
  w.Start("a:bodyPr");
  w.End("a:bodyPr");
  w.Start("a:lstStyle");
  w.End("a:lstStyle");
  size_t start = 0;
  for (;;) {
    size_t nl = text.find('\n', start);
    std::string_view line = text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
    w.Start("a:p");
    w.Start("a:pPr");
    w.Start("a:defRPr");
    w.Attr("b", bold_default ? "1" : "0");
    w.End("a:defRPr");
    w.End("a:pPr");
    w.Start("a:r");
    w.TextElement("a:t", line);
    w.End("a:r");
    w.End("a:p");
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
  w.End("c:rich");
}

void Title(XmlWriter& w, std::string_view text, bool bold) {
  w.Start("c:title");
  w.Start("c:tx");
  RichText(w, text, bold);
  w.End("c:tx");
  Val(w, "c:overlay", "0");
  w.End("c:title");
}

// Categories and X values may be numbers or texts; values and Y values are numbers only: texts among
// them are left out of the cache and of literal values, as they count for nothing in the chart.
void DataSource(XmlWriter& w, std::string_view element, const std::string& ref, bool numbers_only,
                const SeriesCacheFn& cache) {
  w.Start(element);
  if (!ref.empty() && ref.front() == '{') {
    auto arr = ParseArrayConstant(ref);
    bool numeric = true;
    if (arr)
      for (const auto& v : arr->values)
        if (v.type != ValueType::Number) numeric = false;
    if (numbers_only) numeric = true;
    w.Start(numeric ? "c:numLit" : "c:strLit");
    size_t n = arr ? arr->values.size() : 0;
    Val(w, "c:ptCount", std::to_string(n));
    for (size_t i = 0; i < n; ++i) {
      const Value& v = arr->values[i];
      if (numeric && v.type != ValueType::Number) continue;
      w.Start("c:pt");
      w.Attr("idx", int64_t(i));
      w.TextElement("c:v", v.type == ValueType::Number ? FormatNumberLiteral(v.number)
                           : v.type == ValueType::Text ? v.text
                                                       : FormatConstant(v));
      w.End("c:pt");
    }
    w.End(numeric ? "c:numLit" : "c:strLit");
  } else {
    std::optional<SeriesCache> values = cache ? cache(ref) : std::nullopt;
    bool as_text = !numbers_only && values && values->is_text;
    w.Start(as_text ? "c:strRef" : "c:numRef");
    w.TextElement("c:f", ref);
    if (values) {
      w.Start(as_text ? "c:strCache" : "c:numCache");
      if (!as_text) w.TextElement("c:formatCode", "General");
      size_t n = as_text ? values->texts.size() : values->numbers.size();
      Val(w, "c:ptCount", std::to_string(n));
      for (size_t i = 0; i < n; ++i) {
        if (!as_text && std::isnan(values->numbers[i])) continue;
        w.Start("c:pt");
        w.Attr("idx", int64_t(i));
        w.TextElement("c:v", as_text ? values->texts[i] : FormatNumberLiteral(values->numbers[i]));
        w.End("c:pt");
      }
      w.End(as_text ? "c:strCache" : "c:numCache");
    }
    w.End(as_text ? "c:strRef" : "c:numRef");
  }
  w.End(element);
}

void Axis(XmlWriter& w, bool value_axis, int id, int cross, std::string_view pos, const ChartAxis& a,
          bool cross_between_mid) {
  std::string_view el = value_axis ? "c:valAx" : "c:catAx";
  w.Start(el);
  Val(w, "c:axId", std::to_string(id));
  w.Start("c:scaling");
  if (a.scale.logarithmic) Val(w, "c:logBase", "10");
  Val(w, "c:orientation", a.scale.reversed ? "maxMin" : "minMax");
  // Bounds and units that are not numbers (or units not above zero) are left to the chart's own choice.
  auto finite = [](const std::optional<double>& v) { return v && std::isfinite(*v); };
  auto unit = [&](const std::optional<double>& v) { return finite(v) && *v > 0; };
  if (value_axis && finite(a.scale.maximum)) ValNum(w, "c:max", *a.scale.maximum);
  if (value_axis && finite(a.scale.minimum)) ValNum(w, "c:min", *a.scale.minimum);
  w.End("c:scaling");
  Val(w, "c:delete", a.visible ? "0" : "1");
  Val(w, "c:axPos", pos);
  if (a.major_gridlines) {
    w.Start("c:majorGridlines");
    w.End("c:majorGridlines");
  }
  if (a.minor_gridlines) {
    w.Start("c:minorGridlines");
    w.End("c:minorGridlines");
  }
  if (!a.title.empty()) Title(w, a.title, true);
  w.Start("c:numFmt");
  w.Attr("formatCode", a.number_format.empty() ? "General" : a.number_format);
  w.Attr("sourceLinked", a.number_format.empty() ? "1" : "0");
  w.End("c:numFmt");
  Val(w, "c:majorTickMark", "out");
  Val(w, "c:minorTickMark", "none");
  Val(w, "c:tickLblPos", "nextTo");
  Val(w, "c:crossAx", std::to_string(cross));
  if (finite(a.scale.crosses_at))
    ValNum(w, "c:crossesAt", *a.scale.crosses_at);
  else
    Val(w, "c:crosses", "autoZero");
  if (value_axis) {
    Val(w, "c:crossBetween", cross_between_mid ? "midCat" : "between");
    if (unit(a.scale.major_unit)) ValNum(w, "c:majorUnit", *a.scale.major_unit);
    if (unit(a.scale.minor_unit)) ValNum(w, "c:minorUnit", *a.scale.minor_unit);
  } else {
    Val(w, "c:auto", "1");
    Val(w, "c:lblAlgn", "ctr");
    Val(w, "c:lblOffset", "100");
    Val(w, "c:noMultiLvlLbl", "0");
  }
  w.End(el);
}

// The colour of the i-th series: the usual office palette, darker on its second round.
std::string SeriesColour(size_t i) {
  static const char* const kPalette[] = {"4472C4", "ED7D31", "A5A5A5", "FFC000", "5B9BD5", "70AD47",
                                         "264478", "9E480E", "636363", "997300", "255E91", "43682B"};
  return kPalette[i % (sizeof kPalette / sizeof kPalette[0])];
}

}  // namespace

std::string WriteChartXml(const Chart& chart, const std::string& user_shapes_rid, const SeriesCacheFn& cache) {
  XmlWriter w;
  w.Declaration();
  w.Start("c:chartSpace");
  w.Attr("xmlns:c", "http://schemas.openxmlformats.org/drawingml/2006/chart");
  w.Attr("xmlns:a", "http://schemas.openxmlformats.org/drawingml/2006/main");
  w.Attr("xmlns:r", "http://schemas.openxmlformats.org/officeDocument/2006/relationships");
  Val(w, "c:roundedCorners", "0");
  w.Start("c:chart");
  if (!chart.title.empty())
    Title(w, chart.title, true);
  else
    Val(w, "c:autoTitleDeleted", "1");
  w.Start("c:plotArea");
  w.Start("c:layout");
  w.End("c:layout");
  const bool scatter = chart.type == ChartType::Scatter;
  std::string_view type_el = scatter                         ? "c:scatterChart"
                             : chart.type == ChartType::Line ? "c:lineChart"
                             : chart.type == ChartType::Area ? "c:areaChart"
                             : chart.type == ChartType::Pie  ? "c:pieChart"
                                                             : "c:barChart";
  w.Start(type_el);
  std::string grouping = chart.grouping == ChartGrouping::Stacked          ? "stacked"
                         : chart.grouping == ChartGrouping::PercentStacked ? "percentStacked"
                         : chart.grouping == ChartGrouping::Clustered      ? "clustered"
                                                                           : "standard";
  if (scatter) {
    Val(w, "c:scatterStyle", "lineMarker");
  } else if (chart.type == ChartType::Bar || chart.type == ChartType::Column) {
    Val(w, "c:barDir", chart.type == ChartType::Bar ? "bar" : "col");
    Val(w, "c:grouping", grouping == "standard" ? "clustered" : grouping);
  } else if (chart.type != ChartType::Pie) {
    Val(w, "c:grouping", grouping == "clustered" ? "standard" : grouping);
  }
  Val(w, "c:varyColors", chart.type == ChartType::Pie ? "1" : "0");
  for (size_t i = 0; i < chart.series.size(); ++i) {
    const ChartSeries& s = chart.series[i];
    w.Start("c:ser");
    Val(w, "c:idx", std::to_string(i));
    Val(w, "c:order", std::to_string(i));
    if (!s.name_ref.empty()) {
      w.Start("c:tx");
      w.Start("c:strRef");
      w.TextElement("c:f", s.name_ref);
      w.Start("c:strCache");
      Val(w, "c:ptCount", "1");
      w.Start("c:pt");
      w.Attr("idx", "0");
      w.TextElement("c:v", s.name);
      w.End("c:pt");
      w.End("c:strCache");
      w.End("c:strRef");
      w.End("c:tx");
    } else if (!s.name.empty()) {
      w.Start("c:tx");
      w.TextElement("c:v", s.name);
      w.End("c:tx");
    }
    // Colours are written out (the palette colour of the series' position): a series left to the
    // reader's automatic formatting is drawn without lines by some readers.
    const std::string colour = SeriesColour(i);
    if (scatter || chart.type == ChartType::Line) {
      if (!s.line)
        w.Raw("<c:spPr><a:ln w=\"19050\"><a:noFill/></a:ln></c:spPr>");
      else
        w.Raw("<c:spPr><a:ln w=\"19050\"><a:solidFill><a:srgbClr val=\"" + colour +
              "\"/></a:solidFill></a:ln></c:spPr>");
    } else if (chart.type != ChartType::Pie) {
      w.Raw("<c:spPr><a:solidFill><a:srgbClr val=\"" + colour + "\"/></a:solidFill></c:spPr>");
    }
    if (chart.type == ChartType::Bar || chart.type == ChartType::Column) Val(w, "c:invertIfNegative", "0");
    if ((scatter || chart.type == ChartType::Line) && s.marker != MarkerStyle::Automatic) {
      w.Start("c:marker");
      Val(w, "c:symbol", kMarkers[size_t(s.marker)]);
      if (s.marker != MarkerStyle::None) {
        Val(w, "c:size", "5");
        w.Raw("<c:spPr><a:solidFill><a:srgbClr val=\"" + colour +
              "\"/></a:solidFill><a:ln w=\"9525\"><a:solidFill><a:srgbClr val=\"" + colour +
              "\"/></a:solidFill></a:ln></c:spPr>");
      }
      w.End("c:marker");
    }
    if (chart.type != ChartType::Pie) {
      for (const auto& t : s.trendlines) {
        w.Start("c:trendline");
        if (!t.name.empty()) w.TextElement("c:name", t.name);
        Val(w, "c:trendlineType", kTrendTypes[size_t(t.type)]);
        if (t.type == TrendlineType::Polynomial) Val(w, "c:order", std::to_string(std::clamp(t.order, 2, 6)));
        if (t.type == TrendlineType::MovingAverage) Val(w, "c:period", std::to_string(std::clamp(t.period, 2, 255)));
        if (t.forward && std::isfinite(*t.forward)) ValNum(w, "c:forward", *t.forward);
        if (t.backward && std::isfinite(*t.backward)) ValNum(w, "c:backward", *t.backward);
        if (t.intercept && std::isfinite(*t.intercept)) ValNum(w, "c:intercept", *t.intercept);
        Val(w, "c:dispRSqr", t.display_r_squared ? "1" : "0");
        Val(w, "c:dispEq", t.display_equation ? "1" : "0");
        w.End("c:trendline");
      }
    }
    if (!s.x_values.empty()) DataSource(w, scatter ? "c:xVal" : "c:cat", s.x_values, false, cache);
    DataSource(w, scatter ? "c:yVal" : "c:val", s.y_values, true, cache);
    if (scatter || chart.type == ChartType::Line) Val(w, "c:smooth", s.smooth ? "1" : "0");
    w.End("c:ser");
  }
  if (chart.type == ChartType::Bar || chart.type == ChartType::Column) {
    Val(w, "c:gapWidth", "150");
    if (chart.grouping == ChartGrouping::Stacked || chart.grouping == ChartGrouping::PercentStacked)
      Val(w, "c:overlap", "100");
  }
  if (chart.type == ChartType::Line) Val(w, "c:marker", "1");
  if (chart.type == ChartType::Pie) {
    Val(w, "c:firstSliceAng", "0");
  } else {
    Val(w, "c:axId", "500000001");
    Val(w, "c:axId", "500000002");
  }
  w.End(type_el);
  if (chart.type != ChartType::Pie) {
    bool bar = chart.type == ChartType::Bar;
    Axis(w, scatter, 500000001, 500000002, bar ? "l" : "b", chart.x_axis, false);
    Axis(w, true, 500000002, 500000001, bar ? "b" : "l", chart.y_axis, scatter);
  }
  w.End("c:plotArea");
  if (chart.legend != LegendPosition::None) {
    w.Start("c:legend");
    Val(w, "c:legendPos", kLegendPos[size_t(chart.legend)]);
    Val(w, "c:overlay", "0");
    w.End("c:legend");
  }
  Val(w, "c:plotVisOnly", "1");
  Val(w, "c:dispBlanksAs", "gap");
  w.End("c:chart");
  if (!user_shapes_rid.empty()) {
    w.Start("c:userShapes");
    w.Attr("r:id", user_shapes_rid);
    w.End("c:userShapes");
  }
  w.End("c:chartSpace");
  return std::move(w.buffer());
}

std::string WriteUserShapesXml(const Chart& chart) {
  XmlWriter w;
  w.Declaration();
  w.Start("c:userShapes");
  w.Attr("xmlns:c", "http://schemas.openxmlformats.org/drawingml/2006/chart");
  w.Attr("xmlns:a", "http://schemas.openxmlformats.org/drawingml/2006/main");
  w.Attr("xmlns:cdr", "http://schemas.openxmlformats.org/drawingml/2006/chartDrawing");
  int id = 2;
  // Anchors are fractions of the chart's size: a box reaching beyond the chart is cut at its edge.
  auto fraction = [](double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; };
  for (const auto& box : chart.text_boxes) {
    const double x = fraction(box.x), y = fraction(box.y);
    w.Start("cdr:relSizeAnchor");
    w.Start("cdr:from");
    w.TextElement("cdr:x", FormatNumberLiteral(x));
    w.TextElement("cdr:y", FormatNumberLiteral(y));
    w.End("cdr:from");
    w.Start("cdr:to");
    w.TextElement("cdr:x", FormatNumberLiteral(std::max(x, fraction(box.x + box.width))));
    w.TextElement("cdr:y", FormatNumberLiteral(std::max(y, fraction(box.y + box.height))));
    w.End("cdr:to");
    w.Start("cdr:sp");
    w.Attr("macro", "");
    w.Attr("textlink", "");
    w.Start("cdr:nvSpPr");
    w.Start("cdr:cNvPr");
    w.Attr("id", int64_t(id));
    w.Attr("name", "TextBox " + std::to_string(id - 1));
    w.End("cdr:cNvPr");
    w.Start("cdr:cNvSpPr");
    w.Attr("txBox", "1");
    w.End("cdr:cNvSpPr");
    w.End("cdr:nvSpPr");
    w.Raw(
        "<cdr:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"0\" cy=\"0\"/></a:xfrm>"
        "<a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></cdr:spPr>");
    w.Start("cdr:txBody");
    w.Raw("<a:bodyPr vertOverflow=\"clip\" wrap=\"square\" rtlCol=\"0\"/><a:lstStyle/>");
    size_t start = 0;
    for (;;) {
      size_t nl = box.text.find('\n', start);
      w.Start("a:p");
      w.Start("a:r");
      w.TextElement("a:t",
                    std::string_view(box.text).substr(start, nl == std::string::npos ? std::string::npos : nl - start));
      w.End("a:r");
      w.End("a:p");
      if (nl == std::string::npos) break;
      start = nl + 1;
    }
    w.End("cdr:txBody");
    w.End("cdr:sp");
    w.End("cdr:relSizeAnchor");
    ++id;
  }
  w.End("c:userShapes");
  return std::move(w.buffer());
}

}  // namespace sheets

// ---- writing over the part a chart was read from ----------------------------------------------------

namespace sheets {

namespace {

using Order = std::vector<std::string_view>;

// Children of the elements edited here in the order charts write them; an element is inserted
// after its last namesake, else before the first sibling that comes later in its list.
const Order kSpaceOrder = {"date1904",      "lang",       "roundedCorners", "AlternateContent",
                           "style",         "clrMapOvr",  "pivotSource",    "protection",
                           "chart",         "spPr",       "txPr",           "externalData",
                           "printSettings", "userShapes", "extLst"};
const Order kChartOrder = {"title",        "autoTitleDeleted", "pivotFmts", "view3D", "floor",
                           "sideWall",     "backWall",         "plotArea",  "legend", "plotVisOnly",
                           "dispBlanksAs", "showDLblsOverMax", "extLst"};
const Order kTypeOrder = {"barDir",    "scatterStyle",  "grouping", "varyColors", "ser",        "dLbls",
                          "dropLines", "gapWidth",      "overlap",  "serLines",   "hiLowLines", "upDownBars",
                          "marker",    "firstSliceAng", "holeSize", "axId",       "extLst"};
const Order kSeriesOrder = {"idx",
                            "order",
                            "tx",
                            "spPr",
                            "invertIfNegative",
                            "pictureOptions",
                            "marker",
                            "explosion",
                            "dPt",
                            "dLbls",
                            "trendline",
                            "errBars",
                            "cat",
                            "val",
                            "xVal",
                            "yVal",
                            "shape",
                            "smooth",
                            "bubbleSize",
                            "bubble3D",
                            "extLst"};
const Order kAxisOrder = {"axId",           "scaling",       "delete",        "axPos",         "majorGridlines",
                          "minorGridlines", "title",         "numFmt",        "majorTickMark", "minorTickMark",
                          "tickLblPos",     "spPr",          "txPr",          "crossAx",       "crosses",
                          "crossesAt",      "crossBetween",  "auto",          "lblAlgn",       "lblOffset",
                          "baseTimeUnit",   "tickLblSkip",   "tickMarkSkip",  "majorUnit",     "majorTimeUnit",
                          "minorUnit",      "minorTimeUnit", "noMultiLvlLbl", "dispUnits",     "extLst"};
const Order kScalingOrder = {"logBase", "orientation", "max", "min", "extLst"};
const Order kTitleOrder = {"tx", "layout", "overlay", "spPr", "txPr", "extLst"};
const Order kLegendOrder = {"legendPos", "legendEntry", "layout", "overlay", "spPr", "txPr", "extLst"};
const Order kMarkerOrder = {"symbol", "size", "spPr", "extLst"};
const Order kShapeOrder = {"xfrm",      "custGeom",  "prstGeom", "noFill",  "solidFill",
                           "gradFill",  "blipFill",  "pattFill", "grpFill", "ln",
                           "effectLst", "effectDag", "scene3d",  "sp3d",    "extLst"};

int Rank(const Order& order, std::string_view local) {
  for (size_t i = 0; i < order.size(); ++i)
    if (order[i] == local) return int(i);
  return -1;
}

XmlNode* Find(XmlNode& parent, std::string_view local) {
  for (auto& c : parent.children)
    if (c.local() == local) return &c;
  return nullptr;
}

void Remove(XmlNode& parent, std::string_view local) {
  std::erase_if(parent.children, [&](const XmlNode& c) { return c.local() == local; });
}

XmlNode& Insert(XmlNode& parent, const Order& order, XmlNode node) {
  auto local = node.local();
  int rank = Rank(order, local);
  size_t at = parent.children.size();
  for (size_t i = parent.children.size(); i-- > 0;)
    if (parent.children[i].local() == local)
      return *parent.children.insert(parent.children.begin() + ptrdiff_t(i + 1), std::move(node));
  for (size_t i = 0; i < parent.children.size(); ++i)
    if (Rank(order, parent.children[i].local()) > rank) {
      at = i;
      break;
    }
  return *parent.children.insert(parent.children.begin() + ptrdiff_t(at), std::move(node));
}

// Replaces the first child of that name, or inserts it.
XmlNode& Set(XmlNode& parent, const Order& order, XmlNode node) {
  if (XmlNode* old = Find(parent, node.local())) {
    *old = std::move(node);
    return *old;
  }
  return Insert(parent, order, std::move(node));
}

// Takes the child of that name from the generated element, or removes it when that has none.
void SetFrom(XmlNode& target, const XmlNode* generated, const Order& order, std::string_view local) {
  const XmlNode* g = generated ? generated->Child(local) : nullptr;
  if (g)
    Set(target, order, *g);
  else
    Remove(target, local);
}

struct Prefixes {
  std::string c, a, r;  // with the colon, or empty for the default namespace
};

// Renames the generated tree's "c:", "a:" and "r:" names to the prefixes of the original part.
void Adopt(XmlNode& n, const Prefixes& px) {
  auto rename = [&](std::string& name) {
    if (name.starts_with("c:"))
      name = px.c + name.substr(2);
    else if (name.starts_with("a:"))
      name = px.a + name.substr(2);
    else if (name.starts_with("r:"))
      name = px.r + name.substr(2);
  };
  rename(n.name);
  for (auto& [k, v] : n.attrs)
    if (!k.starts_with("xmlns")) rename(k);
  for (auto& c : n.children) Adopt(c, px);
}

// The prefixes the original root declares for the chart, drawing and relationship namespaces;
// declares those that are missing.
Prefixes RootPrefixes(XmlNode& root) {
  static constexpr std::string_view kNs[3] = {"http://schemas.openxmlformats.org/drawingml/2006/chart",
                                              "http://schemas.openxmlformats.org/drawingml/2006/main",
                                              "http://schemas.openxmlformats.org/officeDocument/2006/relationships"};
  static constexpr std::string_view kWanted[3] = {"c", "a", "r"};
  std::string found[3];
  bool have[3] = {false, false, false};
  for (const auto& [k, v] : root.attrs)
    for (int i = 0; i < 3; ++i) {
      if (have[i] || v != kNs[i]) continue;
      if (k == "xmlns")
        found[i] = "", have[i] = true;
      else if (k.starts_with("xmlns:"))
        found[i] = k.substr(6) + ":", have[i] = true;
    }
  for (int i = 0; i < 3; ++i) {
    if (have[i]) continue;
    std::string prefix(kWanted[i]);
    auto taken = [&](const std::string& p) {
      for (const auto& [k, v] : root.attrs)
        if (k == "xmlns:" + p) return true;
      return false;
    };
    while (taken(prefix)) prefix += "q";
    root.attrs.emplace_back("xmlns:" + prefix, std::string(kNs[i]));
    found[i] = prefix + ":";
  }
  return {found[0], found[1], found[2]};
}

XmlNode* TypeNode(XmlNode& plot) {
  for (auto& c : plot.children) {
    auto n = c.local();
    if (n.size() > 5 && n.substr(n.size() - 5) == "Chart") return &c;
  }
  return nullptr;
}

bool IsAxis(std::string_view n) { return n == "valAx" || n == "catAx" || n == "dateAx" || n == "serAx"; }

// The X and Y axes of a plot area: by the ids the chart names, else in the order written.
std::pair<XmlNode*, XmlNode*> Axes(XmlNode& plot, const XmlNode& type_node) {
  std::vector<std::string> ids;
  for (auto* id : type_node.ChildrenNamed("axId")) ids.push_back(id->AttrOr("val", ""));
  std::vector<XmlNode*> axes;
  for (auto& c : plot.children)
    if (IsAxis(c.local())) axes.push_back(&c);
  XmlNode *x = nullptr, *y = nullptr;
  if (ids.size() >= 2)
    for (XmlNode* a : axes) {
      std::string id = a->Child("axId") ? a->Child("axId")->AttrOr("val", "") : "";
      if (id == ids[0] && !x)
        x = a;
      else if (id == ids[1] && !y)
        y = a;
    }
  if (!x && !y && axes.size() >= 2) x = axes[0], y = axes[1];
  return {x, y};
}

bool HasValues(const XmlNode& source) {
  for (const auto& c : source.children) {
    auto n = c.local();
    if (n == "numLit" || n == "strLit") return true;
    if ((n == "numRef" || n == "strRef") && (c.Child("numCache") || c.Child("strCache"))) return true;
  }
  return false;
}

// A refreshed number cache keeps the original's number format (what data labels show).
void KeepFormatCode(const XmlNode& old, XmlNode& fresh) {
  const XmlNode* ref = old.Child("numRef");
  const XmlNode* cache = ref ? ref->Child("numCache") : nullptr;
  const XmlNode* code = cache ? cache->Child("formatCode") : nullptr;
  XmlNode* fref = Find(fresh, "numRef");
  XmlNode* fcache = fref ? Find(*fref, "numCache") : nullptr;
  XmlNode* fcode = fcache ? Find(*fcache, "formatCode") : nullptr;
  if (code && fcode) fcode->text = code->text;
}

// A title (of the chart or an axis) whose text changed: a new text keeps the title's layout and
// formatting, an empty one removes it.
void EditTitle(XmlNode& owner, const Order& order, const XmlNode* generated_owner) {
  const XmlNode* g = generated_owner ? generated_owner->Child("title") : nullptr;
  XmlNode* o = Find(owner, "title");
  if (!g) {
    Remove(owner, "title");
  } else if (o) {
    SetFrom(*o, g, kTitleOrder, "tx");
  } else {
    Insert(owner, order, *g);
  }
}

void EditAxis(XmlNode& o, const XmlNode& g, const ChartAxis& now, const ChartAxis& before) {
  if (now.title != before.title) EditTitle(o, kAxisOrder, &g);
  if (now.scale != before.scale) {
    if (XmlNode* sc = Find(o, "scaling")) {
      const XmlNode* gsc = g.Child("scaling");
      for (std::string_view n : {"logBase", "orientation", "max", "min"}) {
        // An original logarithmic base (say 2) stays while the axis stays logarithmic.
        if (n == "logBase" && now.scale.logarithmic && before.scale.logarithmic) continue;
        SetFrom(*sc, gsc, kScalingOrder, n);
      }
    } else if (const XmlNode* gsc = g.Child("scaling")) {
      Insert(o, kAxisOrder, *gsc);
    }
    for (std::string_view n : {"majorUnit", "minorUnit"}) SetFrom(o, &g, kAxisOrder, n);
    if (now.scale.crosses_at != before.scale.crosses_at) {
      SetFrom(o, &g, kAxisOrder, "crossesAt");
      SetFrom(o, &g, kAxisOrder, "crosses");
    }
  }
  if (now.visible != before.visible) SetFrom(o, &g, kAxisOrder, "delete");
  if (now.major_gridlines != before.major_gridlines) SetFrom(o, &g, kAxisOrder, "majorGridlines");
  if (now.minor_gridlines != before.minor_gridlines) SetFrom(o, &g, kAxisOrder, "minorGridlines");
  if (now.number_format != before.number_format) SetFrom(o, &g, kAxisOrder, "numFmt");
}

void EditSeries(XmlNode& o, const XmlNode& g, const ChartSeries& now, const ChartSeries& before, bool scatter) {
  // Names and values whose reference the model did not change keep the original's element (its
  // reference may name a sheet renamed since) with the cached values refreshed.
  auto refresh = [&](std::string_view name, bool unchanged) {
    const XmlNode* gs = g.Child(name);
    XmlNode* os = Find(o, name);
    if (!gs) {
      Remove(o, name);
      return;
    }
    if (os && unchanged) {
      if (!HasValues(*gs)) return;  // nothing fresher to write
      for (std::string_view kind : {"numRef", "strRef"}) {
        XmlNode* oref = Find(*os, kind);
        const XmlNode* gref = gs->Child(kind);
        if (!oref || !gref) continue;
        for (std::string_view cache : {"numCache", "strCache"})
          if (const XmlNode* gc = gref->Child(cache)) {
            XmlNode fresh = *gc;
            if (const XmlNode* oc = oref->Child(cache))
              if (const XmlNode* code = oc->Child("formatCode"))
                if (XmlNode* fcode = Find(fresh, "formatCode")) fcode->text = code->text;
            Set(*oref, {"f", "numCache", "strCache", "extLst"}, std::move(fresh));
          }
        return;
      }
    }
    XmlNode copy = *gs;
    if (os) KeepFormatCode(*os, copy);
    Set(o, kSeriesOrder, std::move(copy));
  };
  refresh("tx", now.name_ref == before.name_ref && (!now.name_ref.empty() || now.name == before.name));
  if (now.line != before.line) {
    XmlNode* sp = Find(o, "spPr");
    if (!sp) {
      SetFrom(o, &g, kSeriesOrder, "spPr");
    } else if (!now.line) {
      XmlNode* ln = Find(*sp, "ln");
      if (!ln) {
        if (const XmlNode* gsp = g.Child("spPr"))
          if (const XmlNode* gln = gsp->Child("ln")) Set(*sp, kShapeOrder, *gln);
      } else {
        for (std::string_view n : {"solidFill", "gradFill", "pattFill", "noFill"}) Remove(*ln, n);
        XmlNode none;
        none.name = ln->name.substr(0, ln->name.size() - 2) + "noFill";
        ln->children.insert(ln->children.begin(), std::move(none));
      }
    } else if (XmlNode* ln = Find(*sp, "ln")) {
      Remove(*ln, "noFill");
    }
  }
  if (now.marker != before.marker) {
    const XmlNode* gm = g.Child("marker");
    XmlNode* om = Find(o, "marker");
    if (!om) {
      if (gm) Insert(o, kSeriesOrder, *gm);
    } else {
      SetFrom(*om, gm, kMarkerOrder, "symbol");
    }
  }
  if (now.smooth != before.smooth) SetFrom(o, &g, kSeriesOrder, "smooth");
  if (now.trendlines != before.trendlines) {
    // Trend lines that stayed as they were keep their formatting and labels.
    std::vector<XmlNode> old_lines;
    for (auto& c : o.children)
      if (c.local() == "trendline") old_lines.push_back(c);
    std::vector<const XmlNode*> fresh = g.ChildrenNamed("trendline");
    Remove(o, "trendline");
    for (size_t k = 0; k < fresh.size() && k < now.trendlines.size(); ++k) {
      bool same = k < before.trendlines.size() && k < old_lines.size() && now.trendlines[k] == before.trendlines[k];
      Insert(o, kSeriesOrder, same ? old_lines[k] : *fresh[k]);
    }
  }
  refresh(scatter ? "xVal" : "cat", now.x_values == before.x_values);
  refresh(scatter ? "yVal" : "val", now.y_values == before.y_values);
}

}  // namespace

std::string WriteChartOverXml(const Chart& chart, const ChartPreserved& original, const std::string& user_shapes_rid,
                              const SeriesCacheFn& cache) {
  const Chart& before = original.as_read;
  std::string fresh = WriteChartXml(chart, user_shapes_rid, cache);
  if (chart.type != before.type || chart.grouping != before.grouping) return fresh;
  XmlNode out = original.tree;
  XmlNode gen = ParseXmlTree(fresh);
  Prefixes px = RootPrefixes(out);
  Adopt(gen, px);
  XmlNode* oc = Find(out, "chart");
  XmlNode* gc = Find(gen, "chart");
  XmlNode* oplot = oc ? Find(*oc, "plotArea") : nullptr;
  XmlNode* gplot = gc ? Find(*gc, "plotArea") : nullptr;
  XmlNode* otype = oplot ? TypeNode(*oplot) : nullptr;
  XmlNode* gtype = gplot ? TypeNode(*gplot) : nullptr;
  if (!otype || !gtype) return fresh;
  // Children the chart type requires, which some producers leave out (openpyxl writes scatter
  // charts without their style): taken from the chart written anew.
  for (std::string_view required : {"scatterStyle", "barDir", "grouping"}) {
    bool optional = required == "grouping" && otype->local() != "lineChart";  // bars and areas have a default
    if (!optional && !Find(*otype, required))
      if (const XmlNode* g = gtype->Child(required)) Insert(*otype, kTypeOrder, *g);
  }

  if (chart.title != before.title) {
    EditTitle(*oc, kChartOrder, gc);
    if (XmlNode* deleted = Find(*oc, "autoTitleDeleted")) {
      if (chart.title.empty())
        deleted->attrs = {{"val", "1"}};
      else
        deleted->attrs = {{"val", "0"}};
    } else if (chart.title.empty()) {
      SetFrom(*oc, gc, kChartOrder, "autoTitleDeleted");
    }
    // A title added to the chart moves the chart's other children: find the plot again.
    oplot = Find(*oc, "plotArea");
    otype = TypeNode(*oplot);
  }

  // Series: each of the model's takes the original series with the same values, else the one at
  // its place; originals left over were removed, series without one were added.
  const bool scatter = chart.type == ChartType::Scatter;
  std::vector<XmlNode*> oser;
  for (auto& c : otype->children)
    if (c.local() == "ser") oser.push_back(&c);
  std::vector<const XmlNode*> gser = gtype->ChildrenNamed("ser");
  size_t n_before = std::min(oser.size(), before.series.size());
  std::vector<int> match(chart.series.size(), -1);
  std::vector<bool> used(n_before, false);
  for (size_t i = 0; i < chart.series.size(); ++i)
    for (size_t j = 0; j < n_before; ++j)
      if (!used[j] && chart.series[i].y_values == before.series[j].y_values) {
        match[i] = int(j), used[j] = true;
        break;
      }
  for (size_t i = 0; i < chart.series.size(); ++i)
    if (match[i] < 0 && i < n_before && !used[i]) match[i] = int(i), used[i] = true;
  int64_t next_idx = 0, next_order = 0;
  for (XmlNode* s : oser) {
    if (auto* idx = s->Child("idx")) next_idx = std::max<int64_t>(next_idx, int64_t(NumVal(idx).value_or(0)) + 1);
    if (auto* ord = s->Child("order")) next_order = std::max<int64_t>(next_order, int64_t(NumVal(ord).value_or(0)) + 1);
  }
  std::vector<XmlNode> added;
  for (size_t i = 0; i < chart.series.size() && i < gser.size(); ++i) {
    if (match[i] >= 0) {
      EditSeries(*oser[size_t(match[i])], *gser[i], chart.series[i], before.series[size_t(match[i])], scatter);
    } else {
      XmlNode s = *gser[i];
      if (XmlNode* idx = Find(s, "idx")) idx->attrs = {{"val", std::to_string(next_idx++)}};
      if (XmlNode* ord = Find(s, "order")) ord->attrs = {{"val", std::to_string(next_order++)}};
      added.push_back(std::move(s));
    }
  }
  // Drop the originals no series took (pointers into otype stay valid until then).
  {
    std::vector<XmlNode> kept;
    size_t j = 0;
    for (auto& c : otype->children) {
      if (c.local() == "ser") {
        bool keep = j < n_before ? used[j] : false;
        ++j;
        if (!keep) continue;
      }
      kept.push_back(std::move(c));
    }
    otype->children = std::move(kept);
  }
  for (auto& s : added) Insert(*otype, kTypeOrder, std::move(s));

  if (chart.type != ChartType::Pie) {
    auto [ox, oy] = Axes(*oplot, *otype);
    std::vector<const XmlNode*> gaxes;
    for (const auto& c : gplot->children)
      if (IsAxis(c.local())) gaxes.push_back(&c);
    if (gaxes.size() >= 2) {
      if (ox) EditAxis(*ox, *gaxes[0], chart.x_axis, before.x_axis);
      if (oy) EditAxis(*oy, *gaxes[1], chart.y_axis, before.y_axis);
    }
  }

  if (chart.legend != before.legend) {
    const XmlNode* gl = gc->Child("legend");
    XmlNode* ol = Find(*oc, "legend");
    if (!gl)
      Remove(*oc, "legend");
    else if (ol)
      SetFrom(*ol, gl, kLegendOrder, "legendPos");
    else
      Insert(*oc, kChartOrder, *gl);
  }

  Remove(out, "userShapes");
  if (const XmlNode* us = gen.Child("userShapes")) Insert(out, kSpaceOrder, *us);

  XmlWriter w;
  w.Declaration();
  w.Node(out);
  return std::move(w.buffer());
}

}  // namespace sheets
