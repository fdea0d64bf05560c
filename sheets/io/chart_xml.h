// Chart parts (DrawingML charts) and the drawing parts that anchor charts and text boxes on sheets.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sheets/io/xml.h"
#include "sheets/model/chart.h"

namespace sheets {

// Reads a chart part. nullopt when the chart is of a kind the model does not hold (3-D, radar,
// bubble, stock, surface, doughnut, or several kinds in one plot area); the caller then keeps the
// part as it is. user_shapes_rid receives the relationship id of the chart's text-box drawing.
std::optional<Chart> ParseChartXml(const XmlNode& chart_space, std::string* user_shapes_rid);
// Adds the text boxes of a chart's user-shapes part.
void ParseUserShapesXml(const XmlNode& user_shapes, Chart& chart);

// Cached values of a series reference, for readers that do not recalculate: numbers (NaN for
// non-numeric cells) and texts.
struct SeriesCache {
  std::vector<double> numbers;
  std::vector<std::string> texts;
  bool is_text = false;
};
using SeriesCacheFn = std::function<std::optional<SeriesCache>(const std::string& reference)>;

// Writes a chart part; user_shapes_rid is the relationship id of its text boxes' part (empty when
// the chart has none).
std::string WriteChartXml(const Chart& chart, const std::string& user_shapes_rid, const SeriesCacheFn& cache);
std::string WriteUserShapesXml(const Chart& chart);

struct ChartPreserved;
// Writes a chart over the part it was read from: what the model changed since (series references
// and names, titles, axis scales, gridlines, legend, markers, trendlines) is rewritten, the rest of
// the part (colours, data labels, error bars, fonts, layout ...) stays as it was, and the cached
// values of the series are refreshed. A change of chart type or grouping writes the chart anew.
std::string WriteChartOverXml(const Chart& chart, const ChartPreserved& original, const std::string& user_shapes_rid,
                              const SeriesCacheFn& cache);

// Text of DrawingML paragraphs (<a:p> ... <a:t>): paragraphs joined by "\n".
std::string DrawingText(const XmlNode& text_body);

}  // namespace sheets
