// The host chart operations on a report's chart (see chart_format.h).
#include "addin/charts/chart_format.h"

#include <cmath>

#include "addin/host/exceptions.h"

namespace qs {

bool TryChartCommand(int fn, XlArgs args) {
    try {
        XlCall(fn, args);
        return true;
    } catch (CException* e) {
        e->Delete();
        return false;
    }
}

namespace {

XlValue Bound(double v) { return std::isnan(v) ? XlValue::Bool(true) : XlValue(v); }

}  // namespace

ChartFormat::ChartFormat(int objectNumber) {
    const std::string number = std::to_string(objectNumber);
    try {
        XlValue kind = XlCallResultNA(XLF_GET_OBJECT, {1, number});
        if (kind.Is(XLTYPE_NUM) && kind.Number() == 5) m_name = XlCallText(XLF_GET_OBJECT, {14, number}).str();
    } catch (CException* e) {
        e->Delete();
        m_name.clear();
    }
}

bool ChartFormat::Select(const std::string& item) const {
    if (!Exists() || !TryChartCommand(XLC_SELECT, {m_name})) return false;
    return item.empty() || TryChartCommand(XLC_SELECT, {item});
}

bool ChartFormat::Delete(const std::string& item) const { return Select(item) && TryChartCommand(XLC_CLEAR, {}); }

bool ChartFormat::SeriesPattern(int series, bool line, int marker) const {
    return Select("S" + std::to_string(series)) &&
           TryChartCommand(XLC_PATTERNS, {false, line ? 1 : 0, nullptr, nullptr, false, marker});
}

bool ChartFormat::Scale(int axis, double minimum, double maximum, double cross) const {
    XlValue lo = Bound(minimum), hi = Bound(maximum);
    XlValue at = std::isnan(cross) ? XlValue::Missing() : XlValue(cross);
    return Select("Axis " + std::to_string(axis)) && TryChartCommand(XLC_SCALE, {lo, hi, nullptr, nullptr, at});
}

bool ChartFormat::AxisTitle(int axis, const std::string& text) const {
    return Select("Text Axis " + std::to_string(axis)) && TryChartCommand(XLC_CHART_TEXT, {text});
}

bool ChartFormat::Move(const std::string& item, double x, double y) const {
    return Select(item) && TryChartCommand(XLC_FORMAT_MOVE, {x, y});
}

bool ChartFormat::Size(const std::string& item, double width, double height) const {
    return Select(item) && TryChartCommand(XLC_FORMAT_SIZE, {width, height});
}

bool ChartFormat::Trendline(const std::string& item, int type, int order, double intercept, bool withIntercept) const {
    XlValue at = withIntercept ? XlValue(intercept) : XlValue::Missing();
    XlValue degree = order ? XlValue(static_cast<double>(order)) : XlValue::Missing();
    return Select(item) && TryChartCommand(XLC_CHART_TREND, {type, degree, nullptr, nullptr, at});
}

}  // namespace qs
