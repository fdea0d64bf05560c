// Rows of the fixture tables of tests/data/procedures (fixtures.h's Table) as values of their own,
// their cells reached by column name, and the agreement check of the tests that compare with them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/procedures/fixtures.h"

namespace qs::procedures::testing {

class FixtureRow {
public:
    FixtureRow(std::shared_ptr<const Table> table, size_t row) : m_table(std::move(table)), m_row(row) {}
    // The column's number ("NA" is NaN, "Inf" and "-Inf" the infinities).
    double operator[](const std::string& column) const { return m_table->Number(m_row, column); }
    int Int(const std::string& column) const { return m_table->Integer(m_row, column); }
    const std::string& Text(const std::string& column) const { return m_table->Text(m_row, column); }
    // "dataset 3, tail 1, level 95": the columns that say which case a row is.
    std::string Where() const;

private:
    std::shared_ptr<const Table> m_table;
    size_t m_row;
};

// All rows of a file of tests/data/procedures.
std::vector<FixtureRow> ReadFixture(const std::string& file);

// Agreement with a reference: relative error within tolerance, or both below 1e-15 in size (p-values
// at the edge of the double range); NaN agrees with NaN and an infinity with the same infinity. The
// worst error of each quantity of each test is kept and printed when the program ends.
bool Close(double got, double want, double tolerance, const char* quantity = nullptr);

}  // namespace qs::procedures::testing

// Expects `got` to agree with the column's reference value `want` of the fixture row `row`.
#define EXPECT_CLOSE(got, want, tolerance, row)                             \
    EXPECT_TRUE(qs::procedures::testing::Close(got, want, tolerance, #got)) \
        << #got << " at " << (row).Where() << ": got " << (got) << ", R " << (want)
