// Formatting a report's chart after its blocks are written: the host chart operations, each of which
// selects an item of the chart by its host name and runs one command. Every operation reports
// whether it was done; a chart or item that does not exist is skipped, never raised, so that a test's
// formatting step does nothing on a template without that chart.
#pragma once

#include <string>

#include "addin/host/xlcalls.h"

namespace qs {

// Runs a host command on the selected chart or item; false (nothing raised) when the host refuses it.
bool TryChartCommand(int fn, XlArgs args);

class ChartFormat {
public:
    // The chart object with this number on the active sheet (the report's chart block `index`).
    explicit ChartFormat(int objectNumber);

    bool Exists() const { return !m_name.empty(); }
    const std::string& ObjectName() const { return m_name; }

    // Selects the chart object, then an item of it: "S3" (series), "S1T1" (trendline), "S2P5"
    // (point), "Axis 1", "Axis 2", "Plot", "Title", "Text Axis 1", "Text S1T1" ...; false when the
    // chart or the item does not exist.
    bool Select(const std::string& item) const;
    // Deletes a series or trendline ("S3", "S1T1").
    bool Delete(const std::string& item) const;
    // Line and marker of a series (PATTERNS): line false draws none; marker 0 none, 8 circle ...
    bool SeriesPattern(int series, bool line, int marker) const;
    // Axis 1 (horizontal) or 2 (value axis) bounds; NaN leaves a bound automatic. `cross`: the
    // value of this axis where the other one crosses it (NaN: unchanged).
    bool Scale(int axis, double minimum, double maximum, double cross) const;
    // The title of axis 1 or 2 ("Text Axis %d").
    bool AxisTitle(int axis, const std::string& text) const;
    // Moves or sizes an item or the chart itself (item empty), in points.
    bool Move(const std::string& item, double x, double y) const;
    bool Size(const std::string& item, double width, double height) const;
    // The type of a trendline (CHART.TREND): 1 linear, 3 polynomial (with its order) ...
    bool Trendline(const std::string& item, int type, int order = 0, double intercept = 0,
                   bool withIntercept = false) const;

private:
    std::string m_name;
};

}  // namespace qs
