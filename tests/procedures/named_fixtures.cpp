#include "tests/procedures/named_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace qs::procedures::testing {
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

std::string FixtureRow::Where() const {
    std::string out;
    for (const char* key : {"dataset", "test", "tail", "level", "measure", "continuity"}) {
        if (!m_table->Has(key)) continue;
        if (!out.empty()) out += ", ";
        out += std::string(key) + " " + m_table->Text(m_row, key);
    }
    return out;
}

std::vector<FixtureRow> ReadFixture(const std::string& file) {
    const auto table = std::make_shared<const Table>(file);
    std::vector<FixtureRow> rows;
    for (size_t i = 0; i < table->Rows(); ++i) rows.emplace_back(table, i);
    return rows;
}

bool Close(double got, double want, double tolerance, const char* quantity) {
    const bool tiny = std::fabs(want) < 1e-15 && std::fabs(got) < 1e-15;
    const double error = tiny ? 0.0 : RelativeError(got, want);
    if (quantity) {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        Worst()->Record(
            std::string(test ? test->test_suite_name() : "") + "." + (test ? test->name() : "") + " " + quantity,
            std::isfinite(error) ? error : INFINITY);
    }
    return error <= tolerance;
}

}  // namespace qs::procedures::testing
