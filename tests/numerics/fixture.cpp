#include "tests/numerics/fixture.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qs::numerics::testing {

std::string DataPath(const std::string& name) { return std::string(QS_NUMERICS_DATA_DIR) + "/" + name; }

std::vector<FixtureRow> ReadFixture(const std::string& name, int numeric_columns) {
    std::ifstream in(DataPath(name));
    if (!in) throw std::runtime_error("cannot open fixture " + DataPath(name));
    std::vector<FixtureRow> rows;
    std::string line;
    bool header_seen = false;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (!header_seen) {
            header_seen = true;
            continue;
        }
        std::istringstream fields(line);
        FixtureRow row;
        fields >> row.region;
        std::string token;
        for (int i = 0; numeric_columns < 0 || i < numeric_columns; ++i) {
            if (!(fields >> token)) break;
            row.values.push_back(token == "nan" ? NAN : std::stod(token));
        }
        std::getline(fields >> std::ws, row.rest);
        rows.push_back(std::move(row));
    }
    return rows;
}

double RelativeError(double a, double r) {
    if (std::isnan(a) && std::isnan(r)) return 0.0;
    if (std::isinf(r) && a == r) return 0.0;
    if (std::isnan(a) || std::isnan(r)) return INFINITY;
    if (r == 0.0) return std::fabs(a);
    return std::fabs(a - r) / std::fabs(r);
}

void ErrorTable::Add(const std::string& function, const std::string& region, double error, const std::string& where) {
    Entry& e = entries_[function][region];
    ++e.count;
    if (error > e.worst || e.count == 1) {
        if (error >= e.worst) {
            e.worst = error;
            e.where = where;
        }
    }
}

double ErrorTable::Worst(const std::string& function) const {
    double worst = 0.0;
    const auto f = entries_.find(function);
    if (f == entries_.end()) return worst;
    for (const auto& [region, e] : f->second) worst = std::fmax(worst, e.worst);
    return worst;
}

void ErrorTable::Report(const std::string& title) const {
    std::printf("\n%s: worst relative error per function and region\n", title.c_str());
    std::printf("  %-28s %-22s %6s %12s  %s\n", "function", "region", "cases", "worst", "at");
    for (const auto& [function, regions] : entries_)
        for (const auto& [region, e] : regions)
            std::printf("  %-28s %-22s %6d %12.3e  %s\n", function.c_str(), region.c_str(), e.count, e.worst,
                        e.where.c_str());
    std::fflush(stdout);
}

}  // namespace qs::numerics::testing
