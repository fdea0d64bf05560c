#include "tests/procedures/named_fixtures.h"

#include "tests/procedures/fixtures.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>

namespace qs::procedures::testing {
namespace {

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream s(line);
    std::string cell;
    while (std::getline(s, cell, ',')) out.push_back(cell);
    return out;
}

}  // namespace

const std::string& FixtureRow::Text(const std::string& column) const {
    auto it = m_cells.find(column);
    if (it == m_cells.end()) throw std::runtime_error("no column " + column);
    return it->second;
}

double FixtureRow::operator[](const std::string& column) const {
    const std::string& text = Text(column);
    if (text == "NA") return std::numeric_limits<double>::quiet_NaN();
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);  // also "Inf", "-Inf"
    if (end == text.c_str() || *end != '\0') throw std::runtime_error("not a number in " + column + ": " + text);
    return v;
}

std::string FixtureRow::Where() const {
    std::string out;
    for (const char* key : {"dataset", "test", "tail", "level", "measure", "continuity"}) {
        auto it = m_cells.find(key);
        if (it == m_cells.end()) continue;
        if (!out.empty()) out += ", ";
        out += std::string(key) + " " + it->second;
    }
    return out;
}

bool Close(double got, double want, double tolerance) {
    if (std::fabs(want) < 1e-15 && std::fabs(got) < 1e-15) return true;
    return RelativeError(got, want) <= tolerance;
}

std::vector<FixtureRow> ReadFixture(const std::string& file) {
    const std::string path = std::string(QS_PROCEDURES_DATA_DIR) + "/" + file;
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::string line;
    std::getline(in, line);
    const std::vector<std::string> names = Split(line);
    std::vector<FixtureRow> rows;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        const std::vector<std::string> cells = Split(line);
        if (cells.size() != names.size()) throw std::runtime_error("bad row in " + file + ": " + line);
        std::map<std::string, std::string> row;
        for (size_t i = 0; i < names.size(); ++i) row[names[i]] = cells[i];
        rows.emplace_back(std::move(row));
    }
    return rows;
}

}  // namespace qs::procedures::testing
