// Charts: the chart itself (type, series, titles, axes, trendlines, text boxes) and the drawing
// objects that place charts and text boxes on a worksheet.
//
// Series data are references kept as written ("Sheet1!$B$2:$B$20"); ParseReferenceList() turns them
// into addresses. A series may instead hold literal values as an array constant text ("{1,2,3}").
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sheets/model/cell_format.h"
#include "sheets/model/reference.h"

namespace sheets {

enum class ChartType : uint8_t { Scatter, Line, Bar, Column, Area, Pie };
// How several series of a bar, column, line or area chart are drawn together.
enum class ChartGrouping : uint8_t { Standard, Clustered, Stacked, PercentStacked };

enum class TrendlineType : uint8_t { Linear, Exponential, Logarithmic, Polynomial, Power, MovingAverage };

struct Trendline {
  TrendlineType type = TrendlineType::Linear;
  int order = 2;     // Polynomial: 2..6
  int period = 2;    // MovingAverage: 2..255
  std::string name;  // empty: the default legend text
  std::optional<double> forward, backward, intercept;
  bool display_equation = false;
  bool display_r_squared = false;
  friend bool operator==(const Trendline&, const Trendline&) = default;
};

enum class MarkerStyle : uint8_t { Automatic, None, Square, Diamond, Triangle, X, Star, Dot, Dash, Circle, Plus };

struct ChartSeries {
  std::string name;      // literal name ("S1") when name_ref is empty, else the cached name text
  std::string name_ref;  // reference to the cell holding the name, as written; may be empty
  std::string x_values;  // reference or array constant text; empty: 1, 2, 3 ...
  std::string y_values;  // reference or array constant text
  MarkerStyle marker = MarkerStyle::Automatic;
  bool line = true;  // scatter and line series: joined by a line
  bool smooth = false;
  std::vector<Trendline> trendlines;
  friend bool operator==(const ChartSeries&, const ChartSeries&) = default;
};

struct AxisScale {
  std::optional<double> minimum, maximum, major_unit, minor_unit, crosses_at;
  bool logarithmic = false;
  bool reversed = false;
  friend bool operator==(const AxisScale&, const AxisScale&) = default;
};

struct ChartAxis {
  std::string title;
  AxisScale scale;
  bool visible = true;
  bool major_gridlines = false;
  bool minor_gridlines = false;
  std::string number_format;  // empty: linked to the source data
  friend bool operator==(const ChartAxis&, const ChartAxis&) = default;
};

// A text box drawn inside a chart; position and size are fractions (0..1) of the chart area.
struct ChartTextBox {
  std::string text;
  double x = 0, y = 0, width = 0.5, height = 0.2;
  friend bool operator==(const ChartTextBox&, const ChartTextBox&) = default;
};

enum class LegendPosition : uint8_t { None, Right, Left, Top, Bottom };

struct ChartPreserved;  // the chart part a chart was read from (sheets/io)

// The part a chart was read from, carried along so that saving keeps what the model does not hold
// (colours, data labels, error bars, fonts ...). It is not part of the chart's value: two charts
// that differ only in their origin are equal.
struct ChartOrigin {
  std::shared_ptr<const ChartPreserved> part;
  friend bool operator==(const ChartOrigin&, const ChartOrigin&) { return true; }
};

struct Chart {
  ChartType type = ChartType::Scatter;
  ChartGrouping grouping = ChartGrouping::Standard;
  std::string title;  // empty: no title
  ChartAxis x_axis;   // category or X value axis
  ChartAxis y_axis;   // value axis
  LegendPosition legend = LegendPosition::Right;
  std::vector<ChartSeries> series;
  std::vector<ChartTextBox> text_boxes;
  ChartOrigin origin;  // empty for a chart made here
  friend bool operator==(const Chart&, const Chart&) = default;
};

// Where a drawing object sits: the cells under its corners and the offsets into them, in points.
struct ObjectAnchor {
  CellAddress from;
  double from_x = 0, from_y = 0;
  CellAddress to;
  double to_x = 0, to_y = 0;
  friend bool operator==(const ObjectAnchor&, const ObjectAnchor&) = default;
};

// A chart or a text box on a worksheet.
struct DrawingObject {
  enum class Kind : uint8_t { Chart, TextBox };
  Kind kind = Kind::Chart;
  uint32_t id = 0;   // unique on its sheet, from 1
  std::string name;  // "Chart 1", "Text Box 2"
  ObjectAnchor anchor;
  bool visible = true;
  std::shared_ptr<Chart> chart;  // Kind::Chart
  std::string text;              // Kind::TextBox
  Fill fill;                     // Kind::TextBox background
  Color line_color;              // Kind::TextBox border; Auto: none
};

}  // namespace sheets
