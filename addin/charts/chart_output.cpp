// Writing a chart block into its report: the template chart object is found by its object number,
// each series list is written into the cells its template series refers to (downwards from the
// first of them) and the series is bound to exactly the cells written; then titles and axis bounds
// are applied. Lists longer than the chart limit are cut, and message 136 is laid over the chart.
#include <algorithm>
#include <cmath>
#include <string>

#include "addin/charts/chart.h"
#include "addin/charts/chart_format.h"
#include "addin/framework/report.h"
#include "addin/framework/test.h"
#include "addin/host/messages.h"
#include "addin/host/xlcalls.h"
#include "addin/host/xlstate.h"

namespace qs {

using namespace chart_labels;

namespace {

std::string ColumnLetters(int col) {
    std::string s;
    for (int c = col + 1; c > 0; c = (c - 1) / 26) s.insert(s.begin(), static_cast<char>('A' + (c - 1) % 26));
    return s;
}

// "'Sheet name'!$K$5:$K$20" for rows [row, row + rows) of column col.
std::string ColumnReference(const std::string& sheetName, int row, int rows, int col) {
    std::string quoted = "'";
    for (char ch : sheetName) quoted += ch == '\'' ? std::string("''") : std::string(1, ch);
    quoted += "'!";
    std::string letters = "$" + ColumnLetters(col) + "$";
    std::string out = quoted + letters + std::to_string(row + 1);
    if (rows > 1) out += ":" + letters + std::to_string(row + rows);
    return out;
}

// The arguments of "=SERIES(name,x,y,order)": top-level commas only (quotes and parentheses kept).
std::vector<std::string> SeriesArguments(const std::string& formula) {
    std::vector<std::string> out;
    size_t open = formula.find('(');
    size_t close = formula.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return out;
    std::string current;
    int depth = 0;
    char quote = 0;
    for (size_t i = open + 1; i < close; ++i) {
        char c = formula[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '(' || c == '{') {
            ++depth;
        } else if (c == ')' || c == '}') {
            --depth;
        } else if (c == ',' && depth == 0) {
            out.push_back(current);
            current.clear();
            continue;
        }
        current += c;
    }
    out.push_back(current);
    return out;
}

// The formula "=SERIES(name,x,y,order)" of a series of the selected chart; empty when the chart has
// no such series.
std::string SeriesFormula(const std::string& item) {
    try {
        XlValue formula = XlCallResultNA(XLF_GET_FORMULA, {item});
        return formula.Is(XLTYPE_STR) ? formula.Text() : std::string();
    } catch (CException* e) {
        e->Delete();
        return {};
    }
}

// The first cell of a series reference on the report's sheet and the number of its rows; false when
// it is not one.
bool FirstCell(const ReportExcel& report, const std::string& text, int& row, int& col, int& rows) {
    if (text.empty() || text[0] == '{') return false;
    XlValue ref;
    try {
        ref = XlCallResultNA(XLF_TEXTREF, {text, true});
    } catch (CException* e) {
        e->Delete();
        return false;
    }
    std::vector<XLREF> areas = ref.Areas();
    if (areas.empty() || ref.SheetId() != report.sheet) return false;
    row = areas.front().rwFirst;
    col = areas.front().colFirst;
    rows = areas.front().rwLast - areas.front().rwFirst + 1;
    return true;
}

// Empties `rows` cells downwards from (row, col): what an earlier output of the series left there.
void ClearList(const ReportExcel& report, int row, int col, int rows) {
    if (rows <= 1) return;
    XLREF area;
    area.rwFirst = static_cast<uint16_t>(row);
    area.rwLast = static_cast<uint16_t>(std::min(row + rows - 1, kLastReportRow));
    area.colFirst = area.colLast = static_cast<uint8_t>(col);
    XlCall(xlSet, {XlValue::Ref(report.sheet, {area}), XlValue::Nil()});
}

// Writes up to `limit` values downwards from (row, col); returns how many were written.
int WriteList(const ReportExcel& report, const std::vector<double>& values, int row, int col) {
    int n = static_cast<int>(std::min(values.size(), charts::kChartListLimit));
    n = std::min(n, kLastReportRow - row + 1);
    if (n <= 0) return 0;
    XlValue block = XlValue::Array(static_cast<uint16_t>(n), 1);
    for (int i = 0; i < n; ++i) {
        double v = values[static_cast<size_t>(i)];
        block.At(static_cast<uint16_t>(i), 0) = std::isfinite(v) ? XlValue(v) : XlValue::Nil();
    }
    XLREF area;
    area.rwFirst = static_cast<uint16_t>(row);
    area.rwLast = static_cast<uint16_t>(row + n - 1);
    area.colFirst = area.colLast = static_cast<uint8_t>(col);
    XlCall(xlSet, {XlValue::Ref(report.sheet, {area}), block});
    return n;
}

// The range of the finite values of one coordinate over every series, leaving out the far ends of
// reference lines; `clipped` tells whether any far end was met.
void DataRange(const Chart& chart, bool x, double& low, double& high, bool& clipped) {
    low = INFINITY;
    high = -INFINITY;
    clipped = false;
    for (const SeriesDescriptor& d : chart.Descriptors()) {
        const SeriesData* s = chart.FindSeries(d.number);
        if (!s) continue;
        for (double v : x ? s->x : s->y) {
            if (!std::isfinite(v)) continue;
            if (std::fabs(v) >= charts::kFar) {
                clipped = true;
                continue;
            }
            low = std::min(low, v);
            high = std::max(high, v);
        }
    }
}

// The bounds of both axes: a given bound is kept; an axis whose series hold clipped reference lines
// gets a nice range around the data (the lines are then cut at the plot area); equal scales share
// the union of both ranges. The further bound places the horizontal axis on the value axis.
void ApplyBounds(const Chart& chart, const ChartFormat& format) {
    double bounds[2][2] = {{chart.xMinimum, chart.xMaximum}, {chart.yMinimum, chart.yMaximum}};
    bool needed[2];
    double low[2], high[2];
    for (int a = 0; a < 2; ++a) {
        bool clipped;
        DataRange(chart, a == 0, low[a], high[a], clipped);
        needed[a] = clipped || chart.EqualScale();
    }
    if (chart.EqualScale() && std::isfinite(low[0]) && std::isfinite(low[1])) {
        low[0] = low[1] = std::min(low[0], low[1]);
        high[0] = high[1] = std::max(high[0], high[1]);
    }
    for (int a = 0; a < 2; ++a) {
        if (needed[a] && std::isfinite(low[a]) && (std::isnan(bounds[a][0]) || std::isnan(bounds[a][1]))) {
            charts::AxisRange r = charts::NiceRange(low[a], high[a]);
            if (std::isnan(bounds[a][0])) bounds[a][0] = r.minimum;
            if (std::isnan(bounds[a][1])) bounds[a][1] = r.maximum;
        }
        const double cross = a == 1 ? chart.bound : numerics::MissingValue();
        if (std::isnan(bounds[a][0]) && std::isnan(bounds[a][1]) && std::isnan(cross)) continue;
        format.Scale(a + 1, bounds[a][0], bounds[a][1], cross);
    }
}

// Message 136 in a text box with the chart's corners.
void MarkTruncated(const std::string& objectName) {
    XlValue from = XlCallResultNA(XLF_GET_OBJECT, {4, objectName});
    XlValue fromX = XlCallResultNA(XLF_GET_OBJECT, {5, objectName});
    XlValue fromY = XlCallResultNA(XLF_GET_OBJECT, {6, objectName});
    XlValue to = XlCallResultNA(XLF_GET_OBJECT, {7, objectName});
    XlValue toX = XlCallResultNA(XLF_GET_OBJECT, {8, objectName});
    XlValue toY = XlCallResultNA(XLF_GET_OBJECT, {9, objectName});
    if (!from.Is(XLTYPE_STR) || !to.Is(XLTYPE_STR)) return;
    std::string text = LoadString(kMessageTooManyPoints).str();
    XlCall(XLF_CREATE_OBJECT, {6, from, fromX, fromY, to, toX, toY, text});
    // Solid white box with a black border, over the chart.
    TryChartCommand(XLC_PATTERNS, {false, 1, 8, 1, false, false, 1, 2, 2});
    TryChartCommand(XLC_FORMAT_TEXT, {});
}

}  // namespace

bool Chart::Output(ReportExcel& report, const Test& test) {
    const ChartFormat format(index);
    if (!format.Select("")) return false;  // no chart object of that number
    const std::string& objectName = format.ObjectName();
    std::string sheetName = report.SheetKey();
    sheetName = sheetName.substr(sheetName.find(']') + 1);

    bool truncated = false;
    for (const SeriesDescriptor& d : Descriptors()) {
        const SeriesData* data = FindSeries(d.number);
        const std::string item = "S" + std::to_string(d.number);
        std::vector<std::string> args = SeriesArguments(SeriesFormula(item));
        if (args.size() < 3) continue;
        XlValue xRef = XlValue::Missing(), yRef = XlValue::Missing();
        int row, col;
        static const std::vector<double> kEmpty;
        const std::vector<double>& xs = data ? data->x : kEmpty;
        const std::vector<double>& ys = data ? data->y : kEmpty;
        truncated = truncated || xs.size() > charts::kChartListLimit || ys.size() > charts::kChartListLimit;
        int written = 0, rows = 0;
        if (FirstCell(report, args[2], row, col, rows)) {
            ClearList(report, row, col, rows);  // an updated report's earlier values
            written = WriteList(report, ys, row, col);
            yRef = XlValue(ColumnReference(sheetName, row, std::max(written, 1), col));
        }
        if (FirstCell(report, args[1], row, col, rows)) {
            // Without X values of its own the series keeps the template's X cells (category names
            // the report wrote there), as many as it has values.
            if (!xs.empty()) ClearList(report, row, col, rows);
            int n = xs.empty() ? written : WriteList(report, xs, row, col);
            xRef = XlValue(ColumnReference(sheetName, row, std::max(n, 1), col));
        }
        TryChartCommand(XLC_EDIT_SERIES, {d.number, nullptr, xRef, yRef});
    }

    AxisTitles(test);
    if (!xTitle.empty()) format.AxisTitle(1, xTitle.str());
    if (!yTitle.empty()) format.AxisTitle(2, yTitle.str());
    // The template decides whether the chart shows a title; when it does, it is this chart's.
    if (format.Select("Title")) TryChartCommand(XLC_CHART_TEXT, {ChartTitle(test)});
    ApplyBounds(*this, format);
    if (truncated && format.Select("")) MarkTruncated(objectName);
    return true;
}

}  // namespace qs

namespace qs {
namespace {

// Every chart block of the test in block order; a chart without its own number takes its
// position. After each chart is laid out, the test may bind others to it.
void WriteCharts(ReportExcel& report, const Test& test) {
    int position = 0;
    for (Chart* chart : ChartBlocks(test)) {
        ++position;
        if (!chart->index) chart->index = position;
        if (chart->Output(report, test)) const_cast<Test&>(test).ChartLaidOut(report, chart->index);
        CheckEscape();
    }
}

const bool kInstalled = (SetChartOutput(&WriteCharts), true);

}  // namespace
}  // namespace qs
