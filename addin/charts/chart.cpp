// The chart block base: series lists by series number, reference lines, titles and the field table
// built from a class's series descriptors.
#include "addin/charts/chart.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <mutex>

#include "addin/framework/test.h"
#include "addin/host/messages.h"

namespace qs {

using namespace chart_labels;

const FieldTable& SeriesData::GetFields() const {
    static const FieldTable table =
        FieldTableOf<SeriesData>().Numbers(kLabelX, &SeriesData::x).Numbers(kLabelY, &SeriesData::y).Build();
    return table;
}

const FieldTable& Chart::GetFields() const {
    // One table per descriptor table (that is, per chart class), built on first use.
    static std::map<const SeriesTable*, FieldTable> tables;
    static std::mutex guard;
    const SeriesTable& descriptors = Descriptors();
    std::lock_guard<std::mutex> lock(guard);
    auto it = tables.find(&descriptors);
    if (it != tables.end()) return it->second;
    FieldTable table;
    for (const SeriesDescriptor& d : descriptors) {
        Field f{d.label & 0xFFF, FieldKind::Block};
        const int number = d.number;
        f.block = [number](const Results& r) -> const Results* {
            return static_cast<const Chart&>(r).FindSeries(number);
        };
        table.push_back(std::move(f));
    }
    return tables.emplace(&descriptors, std::move(table)).first->second;
}

SeriesData& Chart::Series(int number) {
    for (auto& [n, data] : m_series)
        if (n == number) return data;
    m_series.emplace_back(number, SeriesData{});
    return m_series.back().second;
}

const SeriesData* Chart::FindSeries(int number) const {
    for (const auto& [n, data] : m_series)
        if (n == number) return &data;
    return nullptr;
}

void Chart::SetLine(int number, double x1, double y1, double x2, double y2) {
    SeriesData& s = Series(number);
    s.x.clear();
    s.y.clear();
    if (std::isnan(x1) || std::isnan(y1) || std::isnan(x2) || std::isnan(y2)) return;
    s.x = {x1, x2};
    s.y = {y1, y2};
}

void Chart::Clear() { m_series.clear(); }

charts::AxisRange Chart::Scale(int axis) const {
    const double given[2] = {axis == 1 ? xMinimum : yMinimum, axis == 1 ? xMaximum : yMaximum};
    double low = INFINITY, high = -INFINITY;
    for (const auto& [number, data] : m_series)
        for (double v : axis == 1 ? data.x : data.y)
            if (std::isfinite(v) && std::fabs(v) < charts::kFar) {
                low = std::min(low, v);
                high = std::max(high, v);
            }
    charts::AxisRange r{given[0], given[1]};
    if (std::isfinite(low) && (std::isnan(r.minimum) || std::isnan(r.maximum))) {
        const charts::AxisRange data = charts::NiceRange(low, high);
        if (std::isnan(r.minimum)) r.minimum = data.minimum;
        if (std::isnan(r.maximum)) r.maximum = data.maximum;
    }
    return r;
}

void Chart::AxisTitles(const Test&) {}

std::string Chart::ChartTitle(const Test&) const {
    if (!title.empty()) return title.str();
    return LoadString(TitleLabel()).str();
}

std::vector<Chart*> ChartBlocks(const Results& root) {
    std::vector<Chart*> out;
    // Depth-first in field order; a block is visited once even when reached twice.
    std::function<void(const Results&, int)> walk = [&](const Results& block, int depth) {
        if (depth > 16) return;
        for (const Field& f : block.GetFields()) {
            if (f.kind == FieldKind::Block) {
                const Results* nested = f.block ? f.block(block) : nullptr;
                if (!nested) continue;
                if (const Chart* c = dynamic_cast<const Chart*>(nested)) {
                    Chart* chart = const_cast<Chart*>(c);
                    if (std::find(out.begin(), out.end(), chart) == out.end()) out.push_back(chart);
                    continue;
                }
                walk(*nested, depth + 1);
            }
        }
    };
    walk(root, 0);
    return out;
}

}  // namespace qs
