// Fixture files with a header line naming their columns (the R scripts' output): each row is read
// as a map from column name to text, with numbers taken on demand.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace qs::procedures::testing {

class FixtureRow {
public:
    explicit FixtureRow(std::map<std::string, std::string> cells) : m_cells(std::move(cells)) {}
    // The column's number ("NA" is NaN, "Inf" and "-Inf" the infinities); throws for a column
    // the file does not have.
    double operator[](const std::string& column) const;
    int Int(const std::string& column) const { return static_cast<int>((*this)[column]); }
    const std::string& Text(const std::string& column) const;
    // "dataset 3, tail 1, level 95": the columns that say which case a row is.
    std::string Where() const;

private:
    std::map<std::string, std::string> m_cells;
};

// All rows of a file of tests/data/procedures.
std::vector<FixtureRow> ReadFixture(const std::string& file);

// Agreement with a reference: relative error within tolerance, or both below 1e-15 in size (p-values
// at the edge of the double range); NaN agrees with NaN and an infinity with the same infinity. The
// worst error of each quantity of each test is kept and printed when the program ends.
bool Close(double got, double want, double tolerance, const char* quantity = nullptr);

}  // namespace qs::procedures::testing

// Expects `got` to agree with the column's reference value `want` of the fixture row `row`.
#define EXPECT_CLOSE(got, want, tolerance, row)                                                    \
    EXPECT_TRUE(qs::procedures::testing::Close(got, want, tolerance, #got))                        \
        << #got << " at " << (row).Where() << ": got " << (got) << ", R " << (want)

namespace qs::procedures::testing {

}  // namespace qs::procedures::testing
