// The tests on counts and proportions (binomial, Fisher's exact, McNemar's, chi-square, Cochran's Q)
// and the correlation tests (Pearson, Spearman, Kendall): their shared result rows and the
// contingency table they read. The arithmetic is in counts_math; the classes live in their own
// units, their catalogue objects are declared in catalogue.h.
#pragma once

#include <string>
#include <vector>

#include "addin/dataset/criteria.h"
#include "addin/framework/test.h"
#include "addin/procedures/catalogue.h"
#include "addin/procedures/counts_math.h"
#include "addin/resources/string_ids.h"

namespace qs {

// The label and string ids these tests use are the string tables' named constants (ids::kLabelS,
// ids::kMessageTableSize ...); count_labels is the name their field tables use.
namespace count_labels = ids;

// One row of a table of counts by group: the group and its n.
struct TableNs : Results {
    CSharedString group;
    double n = 0;
    const FieldTable& GetFields() const override;  // Group, n
    size_t Size() const override { return 16; }
};

// One row of a two-column table of counts: the row's name, its two counts and their total.
struct TableCategories : Results {
    CSharedString group;
    double first = 0, second = 0, total = 0;
    const FieldTable& GetFields() const override;  // Group, Category 0, Category 1, Total
    size_t Size() const override { return 32; }
};

// One cell of a contingency table with its count expected under independence.
struct CellRow : Results {
    CSharedString cell;
    double observed = 0;
    double expected = numerics::MissingValue();
    const FieldTable& GetFields() const override;  // Group, Observed, Expected
    size_t Size() const override { return 24; }
};

// An effect estimate with its interval and how the interval was obtained.
struct Effect : Results {
    CSharedString measure;  // the effect measure's name ("Odds ratio")
    double value = numerics::MissingValue();
    CI ci;
    unsigned method = 0;  // the P block's method codes; 0 says nothing
    void Set(const procedures::CountResult& r);
    const FieldTable& GetFields() const override;  // Measure, value, CI, Method
    size_t Size() const override { return 48; }
};

// Declares the selector of one dichotomous variable with its checks: one variable, of its type.
void ExchangeDichotomous(Parameters& p, std::vector<VariableChoice>& variables);
// Stops because the variable `name` has more than two categories.
[[noreturn]] void ThrowNotDichotomous(const std::string& name);

// The two factors of a contingency-table test, one categorical variable each: Factor A gives the
// rows of the table, Factor B its columns.
struct TableFactors {
    std::vector<VariableChoice> rows, columns;
    // Declares both in the parameter exchange, with their checks.
    void Exchange(Parameters& p);
    // Their table of counts in `dataset`; stops unless it is 2 x 2 (`exactlyTwoByTwo`) or at least that.
    ContingencyTable Table(DatasetSourceExcel* dataset, bool exactlyTwoByTwo) const;
};

// The counts a 2 x 2 or r x c test reads: a contingency-table dataset's counts by its row and
// column factors, or the cross tabulation of two categorical variables of a list dataset.
ContingencyTable TableOfChoices(const VariableChoice& row, const VariableChoice& column, DatasetSourceExcel* dataset);
// The table's rows with their two counts (2 x 2 tables) and the column names.
std::vector<TableCategories> CategoryRows(const ContingencyTable& t);
std::string ColumnNames(const ContingencyTable& t);
// Stops with "Contingency table must be 2 x 2." (or "at least 2 x 2") when the table is not.
void RequireTableSize(const ContingencyTable& t, bool exactlyTwoByTwo);
// The P block from a result.
void SetP(P& p, const procedures::CountResult& r, numerics::Tail tail);

}  // namespace qs
