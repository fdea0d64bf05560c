#include "tests/procedures/named_fixtures.h"

#include "tests/procedures/fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
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

namespace {

// The worst relative error of each quantity, by test, printed as the tests end.
class WorstErrors : public ::testing::Environment {
public:
    void Record(const std::string& key, double error) {
        auto [it, added] = m_worst.emplace(key, std::pair<double, size_t>{0.0, 0});
        it->second.first = std::max(it->second.first, error);
        ++it->second.second;
    }
    void TearDown() override {
        for (const auto& [key, worst] : m_worst)
            std::printf("  %-70s worst relative error %.2e over %zu values\n", key.c_str(), worst.first, worst.second);
    }

private:
    std::map<std::string, std::pair<double, size_t>> m_worst;
};

WorstErrors* Worst() {
    static WorstErrors* worst = static_cast<WorstErrors*>(::testing::AddGlobalTestEnvironment(new WorstErrors));
    return worst;
}

}  // namespace

bool Close(double got, double want, double tolerance, const char* quantity) {
    const bool tiny = std::fabs(want) < 1e-15 && std::fabs(got) < 1e-15;
    const double error = tiny ? 0.0 : RelativeError(got, want);
    if (quantity) {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        Worst()->Record(std::string(test ? test->test_suite_name() : "") + "." + (test ? test->name() : "") + " " +
                            quantity, std::isfinite(error) ? error : INFINITY);
    }
    return error <= tolerance;
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
