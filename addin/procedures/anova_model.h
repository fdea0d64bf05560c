// The analysis of variance shared by the ANOVA tests, without a host: the model of one or two
// factors with its cells, terms, marginal means and sums of squares; the contrasts of one-way
// designs with their error protection; and the built-in critical-value tables of the studentized
// range and of Dunnett's many-against-control statistic.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qs::procedures {

struct AnovaFactor {
    std::string name;
    std::vector<std::string> levels;  // in category order
    bool withinSubject = false;       // the subjects of a repeated-measures design
};

// One row of the ANOVA table.
struct AnovaTerm {
    std::string name;          // a factor's name, or the factors' names joined by " by "
    std::vector<int> factors;  // indexes of the factors it contains
    double ss = 0, df = 0, ms = 0, f = 0, p = 0;
};

struct AnovaTable {
    std::vector<AnovaTerm> terms;  // main effects, then the interaction
    double ssWithin = 0, dfWithin = 0, msWithin = 0, ssTotal = 0, dfTotal = 0;
};

// A model of one or two factors. Observations are added with the level of each factor; Fit
// forms the cell means and the within sum of squares about the first observation, with corrected
// two-pass means and compensated sums, so that data with a large common part or very many
// observations keep their digits. Everything is linear in the number of observations.
class AnovaModel {
public:
    explicit AnovaModel(std::vector<AnovaFactor> factors);

    // Adds one observation; levels[f] indexes factor f's levels.
    void Add(const int* levels, double x);
    void Reserve(size_t n);
    void Fit();

    const std::vector<AnovaFactor>& Factors() const { return m_factors; }
    size_t CellCount() const { return m_count.size(); }
    size_t CellOf(const int* levels) const;
    uint32_t Count(size_t cell) const { return m_count[cell]; }
    // Means are held about the origin (the first observation): differences of means and
    // deviations from the grand mean keep every digit the data have.
    double Origin() const { return m_origin; }
    double CentredMean(size_t cell) const { return m_mean[cell]; }
    double Mean(size_t cell) const { return m_origin + m_mean[cell]; }
    size_t N() const { return m_x.size(); }
    double GrandMean() const { return m_origin + m_grand; }
    // Every cell has the same count.
    bool Balanced() const;
    uint32_t SmallestCell() const;
    // Means of factor f's levels about the origin: the average of the cell means over the other factor.
    std::vector<double> MarginalMeans(int factor) const;
    // The observations of the cells at factor f's level (every observation of that level).
    uint32_t LevelCount(int factor, int level) const;

    // The table: every main effect and, with two factors, the interaction. With exactly a
    // treatment and a within-subject factor the interaction is pooled into the error.
    AnovaTable Table() const;

private:
    double TermSS(const AnovaTerm& term) const;

    std::vector<AnovaFactor> m_factors;
    std::vector<size_t> m_stride;
    std::vector<uint32_t> m_cellOf;  // per observation
    std::vector<double> m_x;
    std::vector<uint32_t> m_count;
    std::vector<double> m_mean;
    double m_origin = 0;
    double m_grand = 0;  // about the origin
    double m_ssWithin = 0;
};

// ---------------------------------------------------------------- contrasts

enum ContrastKind : int { kContrastNone = 0, kContrastPairwise = 1, kContrastControl = 2 };
enum ErrorProtection : int { kDunnett = 0, kTukey = 1, kScheffe = 2, kBonferroni = 3, kLSD = 4 };

struct ContrastRow {
    int first = 0, second = 0;  // level indexes: first v second
    double difference = 0, lower = 0, upper = 0;
    bool significant = false;
};

// Number of contrasts: all pairwise k(k - 1)/2, against a control k - 1, none 0.
int ContrastCount(ContrastKind kind, int k);
// The message that refuses the comparisons before the test runs (8002, 8003 or 8004), 0 when
// they may run.
unsigned ContrastLimitMessage(ContrastKind kind, ErrorProtection protection, int k, double level);
// The multiplier c of the standard error; NaN when a table has no row for the degrees of freedom.
double CriticalValue(ErrorProtection protection, int k, int contrasts, double dfWithin, double alpha);
// The contrasts in order: pairwise every i < j; against the control every other level i as
// "i v control". `means` may be taken about any common origin (only their differences are used).
std::vector<ContrastRow> Contrasts(ContrastKind kind, int control, const std::vector<double>& means,
                                   const std::vector<uint32_t>& counts, double msWithin, double critical);

// ---------------------------------------------------------------- critical-value tables

enum class RangeTable { kStudentizedRange, kDunnett };
// The table value for k groups and the degrees of freedom: alpha exactly 0.01 reads the 1% table,
// any other the 5% table; a DF up to the last tabulated small DF reads its own row, above 120 the
// infinity row, in between the row of the largest tabulated DF not above it. NaN when k is outside
// the table or the DF below its first row.
double TableValue(RangeTable table, int k, double df, double alpha);

// The raw tables: rows of the DF followed by the values for k = 2 upwards.
struct CriticalTable {
    const float* data;
    int rows, columns;  // columns: the DF and the values
};
CriticalTable TableData(RangeTable table, bool onePercent);

}  // namespace qs::procedures
