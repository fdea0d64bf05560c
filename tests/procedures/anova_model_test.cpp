// The ANOVA model, its contrasts and the critical-value tables without a host: every generated
// dataset of tests/data/procedures/anova_data.csv against R's aov (anova_tables.csv) and the
// contrast intervals against the same formulas in R (anova_contrasts.csv); every table entry
// against the studentized range and Dunnett quantiles computed in R (critical_values.csv).
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "addin/procedures/anova_model.h"
#include "tests/procedures/csv_table.h"
#include "tests/procedures/fixtures.h"

namespace qs::procedures {
namespace {

using testing::Csv;
using testing::RelativeError;

// The observations of one generated dataset: levels (1-based in the file) and values.
struct Dataset {
    std::string design;
    std::vector<int> a, b;
    std::vector<double> values;
};

std::map<int, Dataset> ReadDatasets() {
    std::map<int, Dataset> out;
    const Csv csv("anova_data.csv");
    for (size_t r = 0; r < csv.Size(); ++r) {
        Dataset& d = out[csv.Whole(r, "dataset")];
        d.design = csv.Text(r, "design");
        d.a.push_back(csv.Whole(r, "a") - 1);
        d.b.push_back(csv.Whole(r, "b") - 1);
        d.values.push_back(csv.Number(r, "value"));
    }
    return out;
}

std::vector<std::string> Names(int n) {
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.push_back(std::to_string(i + 1));
    return out;
}

// The model as the tests build it: one-way between groups; repeated measures with the subjects
// missing a value left out; two factors.
AnovaModel Fit(const Dataset& d) {
    const int ka = *std::max_element(d.a.begin(), d.a.end()) + 1;
    const int kb = *std::max_element(d.b.begin(), d.b.end()) + 1;
    std::vector<AnovaFactor> factors{{"A", Names(ka), false}};
    std::vector<bool> keep(d.values.size(), true);
    if (d.design == "1w") {
        std::vector<bool> complete(static_cast<size_t>(kb), true);
        for (size_t i = 0; i < d.values.size(); ++i)
            if (std::isnan(d.values[i])) complete[static_cast<size_t>(d.b[i])] = false;
        std::vector<int> renumber(static_cast<size_t>(kb), -1);
        int subjects = 0;
        for (int s = 0; s < kb; ++s)
            if (complete[static_cast<size_t>(s)]) renumber[static_cast<size_t>(s)] = subjects++;
        factors.push_back({"B", Names(subjects), true});
        AnovaModel model(factors);
        for (size_t i = 0; i < d.values.size(); ++i) {
            const int at = renumber[static_cast<size_t>(d.b[i])];
            if (at < 0) continue;
            const int levels[2] = {d.a[i], at};
            model.Add(levels, d.values[i]);
        }
        model.Fit();
        return model;
    }
    if (d.design == "2b") factors.push_back({"B", Names(kb), false});
    AnovaModel model(factors);
    for (size_t i = 0; i < d.values.size(); ++i) {
        if (std::isnan(d.values[i])) continue;
        const int levels[2] = {d.a[i], d.b[i]};
        model.Add(levels, d.values[i]);
    }
    model.Fit();
    return model;
}

// Statistics to a relative 1e-10, or an absolute 1e-15 near zero (the constant datasets).
void ExpectClose(double got, double want, const std::string& what) {
    if (std::isnan(want)) {
        EXPECT_TRUE(std::isnan(got)) << what << ": got " << got << ", R NA";
        return;
    }
    if (std::fabs(got - want) <= 1e-15) return;  // near 0 (constant data)
    EXPECT_LE(RelativeError(got, want), 1e-10) << what << ": got " << got << ", R " << want;
}

TEST(AnovaModel, TablesAgreeWithAovOnEveryGeneratedDataset) {
    const std::map<int, Dataset> data = ReadDatasets();
    const Csv ref("anova_tables.csv");
    std::map<std::string, int> datasets;
    std::map<int, AnovaTable> tables;
    for (const auto& [id, d] : data) {
        const AnovaModel model = Fit(d);
        if (d.design == "2b") {
            ASSERT_TRUE(model.Balanced()) << id;
        }
        tables[id] = model.Table();
        ++datasets[d.design];
    }
    for (size_t r = 0; r < ref.Size(); ++r) {
        const int id = ref.Whole(r, "dataset");
        const std::string term = ref.Text(r, "term");
        const AnovaTable& t = tables.at(id);
        const std::string where = "dataset " + std::to_string(id) + " term " + term;
        if (term == "Within") {
            ExpectClose(t.ssWithin, ref.Number(r, "ss"), where + " SS");
            EXPECT_EQ(t.dfWithin, ref.Number(r, "df")) << where;
            ExpectClose(t.msWithin, ref.Number(r, "ms"), where + " MS");
            continue;
        }
        if (term == "Total") {
            ExpectClose(t.ssTotal, ref.Number(r, "ss"), where + " SS");
            EXPECT_EQ(t.dfTotal, ref.Number(r, "df")) << where;
            continue;
        }
        const size_t index = term == "A" ? 0 : term == "B" ? 1 : 2;
        ASSERT_LT(index, t.terms.size()) << where;
        const AnovaTerm& row = t.terms[index];
        ExpectClose(row.ss, ref.Number(r, "ss"), where + " SS");
        EXPECT_EQ(row.df, ref.Number(r, "df")) << where;
        ExpectClose(row.ms, ref.Number(r, "ms"), where + " MS");
        ExpectClose(row.f, ref.Number(r, "f"), where + " F");
        ExpectClose(row.p, ref.Number(r, "p"), where + " p");
    }
    for (const char* design : {"1b", "1w", "2b"}) EXPECT_GE(datasets[design], 30) << design;
}

TEST(AnovaModel, TermNamesAndTheRepeatedMeasuresError) {
    AnovaModel two({{"Diet", {"a", "b"}, false}, {"Sex", {"F", "M"}, false}});
    const double x[2][2][2] = {{{1, 2}, {4, 6}}, {{3, 3.5}, {9, 7}}};
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            for (int r = 0; r < 2; ++r) {
                const int levels[2] = {i, j};
                two.Add(levels, x[i][j][r]);
            }
    two.Fit();
    const AnovaTable t = two.Table();
    ASSERT_EQ(t.terms.size(), 3u);
    EXPECT_EQ(t.terms[2].name, "Diet by Sex");
    EXPECT_EQ(t.dfWithin, 4);
    // Treatments by subjects with one value per cell: the interaction becomes the error.
    AnovaModel repeated({{"Time", {"1", "2", "3"}, false}, {"Subjects", {"", "", "", ""}, true}});
    for (int t1 = 0; t1 < 3; ++t1)
        for (int s = 0; s < 4; ++s) {
            const int levels[2] = {t1, s};
            repeated.Add(levels, s * 2.0 + t1 + ((s * t1) % 3) * 0.25);
        }
    repeated.Fit();
    const AnovaTable r = repeated.Table();
    ASSERT_EQ(r.terms.size(), 2u);
    EXPECT_EQ(r.dfWithin, 6);
    EXPECT_EQ(r.dfTotal, 11);
    EXPECT_NEAR(r.ssTotal, r.terms[0].ss + r.terms[1].ss + r.ssWithin, 1e-12);
}

TEST(AnovaContrasts, IntervalsAgreeWithTheFormulasInR) {
    const std::map<int, Dataset> data = ReadDatasets();
    const Csv ref("anova_contrasts.csv");
    std::map<int, AnovaModel> models;
    double tukeyFar = 0, dunnettFar = 0;  // table-based against exact limits, in units of the SE
    size_t checked = 0;
    double worstHalfWidth = 0;
    for (size_t r = 0; r < ref.Size(); ++r) {
        const int id = ref.Whole(r, "dataset");
        auto found = models.find(id);
        if (found == models.end()) found = models.emplace(id, Fit(data.at(id))).first;
        const AnovaModel& model = found->second;
        const AnovaTable table = model.Table();
        const auto kind = static_cast<ContrastKind>(ref.Whole(r, "kind"));
        const auto protection = static_cast<ErrorProtection>(ref.Whole(r, "protection"));
        const int k = static_cast<int>(model.CellCount());
        std::vector<double> means;
        std::vector<uint32_t> counts;
        for (size_t g = 0; g < model.CellCount(); ++g)
            means.push_back(model.CentredMean(g)), counts.push_back(model.Count(g));
        const double alpha = (100 - ref.Number(r, "level")) / 100;
        ASSERT_EQ(ContrastLimitMessage(kind, protection, k, ref.Number(r, "level")), 0u);
        const double c = CriticalValue(protection, k, ContrastCount(kind, k), table.dfWithin, alpha);
        const std::vector<ContrastRow> rows =
            Contrasts(kind, ref.Whole(r, "control"), means, counts, table.msWithin, c);
        // The row of this reference line.
        const ContrastRow* row = nullptr;
        for (const ContrastRow& x : rows)
            if (x.first == ref.Whole(r, "first") && x.second == ref.Whole(r, "second")) row = &x;
        ASSERT_TRUE(row) << "dataset " << id << " line " << r;
        const std::string where = "dataset " + std::to_string(id) + " line " + std::to_string(r + 2);
        ExpectClose(row->difference, ref.Number(r, "difference"), where + " difference");
        const double lower = ref.Number(r, "lower"), upper = ref.Number(r, "upper");
        if (std::isnan(lower)) {
            EXPECT_TRUE(std::isnan(row->lower)) << where << ": no table row, no interval";
            continue;
        }
        // Limits to a relative 1e-7, of the limit or, where the difference and the half-width nearly
        // cancel, of the half-width (the critical value's own accuracy).
        const double scale = std::max({std::fabs(lower), std::fabs(upper), (upper - lower) / 2});
        EXPECT_LE(std::fabs(row->lower - lower), 1e-7 * scale) << where << " lower " << row->lower << " R " << lower;
        EXPECT_LE(std::fabs(row->upper - upper), 1e-7 * scale) << where << " upper " << row->upper << " R " << upper;
        worstHalfWidth = std::max(worstHalfWidth, RelativeError(row->upper - row->lower, upper - lower));
        EXPECT_EQ(row->significant, lower > 0 || upper < 0) << where;
        ++checked;
        const double halfWidth = (upper - lower) / 2,
                     exactHalf = (ref.Number(r, "exact_upper") - ref.Number(r, "exact_lower")) / 2;
        if (!std::isnan(exactHalf) && halfWidth > 0) {
            double& far = protection == kTukey ? tukeyFar : dunnettFar;
            far = std::max(far, std::fabs(halfWidth / exactHalf - 1));
        }
    }
    EXPECT_GT(checked, 1000u);
    std::printf("  largest relative difference of the interval widths from R's: %.3g\n", worstHalfWidth);
    std::printf(
        "  table-based against exact intervals (largest relative difference of the half-widths):\n"
        "    Tukey (qtukey, as TukeyHSD) %.4f, Dunnett (two-sided quantile) %.4f\n",
        tukeyFar, dunnettFar);
}

TEST(AnovaContrasts, LimitsRefuseBeforeRunning) {
    EXPECT_EQ(ContrastLimitMessage(kContrastControl, kDunnett, 11, 95), 8003u);
    EXPECT_EQ(ContrastLimitMessage(kContrastControl, kDunnett, 10, 99), 0u);
    EXPECT_EQ(ContrastLimitMessage(kContrastPairwise, kTukey, 7, 95), 8004u);  // 21 contrasts
    EXPECT_EQ(ContrastLimitMessage(kContrastPairwise, kTukey, 6, 95), 0u);
    EXPECT_EQ(ContrastLimitMessage(kContrastPairwise, kTukey, 3, 90), 8002u);
    EXPECT_EQ(ContrastLimitMessage(kContrastControl, kDunnett, 3, 95.5), 8002u);
    EXPECT_EQ(ContrastLimitMessage(kContrastPairwise, kScheffe, 30, 90), 0u);
    EXPECT_EQ(ContrastLimitMessage(kContrastNone, kTukey, 30, 90), 0u);
    EXPECT_EQ(ContrastCount(kContrastPairwise, 7), 21);
    EXPECT_EQ(ContrastCount(kContrastControl, 7), 6);
}

TEST(AnovaContrasts, CriticalValuesByMethod) {
    // Tukey at 95% with DF within 25 reads the DF 24 row: 3.53 for 3 groups, over sqrt(2).
    EXPECT_DOUBLE_EQ(CriticalValue(kTukey, 3, 3, 25, 0.05), static_cast<double>(3.53f) / std::sqrt(2.0));
    // Bonferroni with 3 contrasts at 95% is the F quantile at 1 - 0.05/3, that is t at 1 - 0.05/6; the
    // values are R's (qt, qf), to the quantile search's accuracy.
    EXPECT_NEAR(CriticalValue(kBonferroni, 3, 3, 25, 0.05), 2.5659785520779015, 1e-9);  // qt(1 - 0.05/6, 25)
    EXPECT_NEAR(CriticalValue(kLSD, 3, 3, 25, 0.05), 2.0595385527532977, 1e-9);         // qt(0.975, 25)
    EXPECT_NEAR(CriticalValue(kScheffe, 3, 3, 25, 0.05), std::sqrt(2 * 3.3851899614491696), 1e-9);  // qf(.95, 2, 25)
    // No table row below DF 5 (Dunnett) or DF 1 (studentized range): no interval.
    EXPECT_TRUE(std::isnan(CriticalValue(kDunnett, 3, 2, 4, 0.05)));
    EXPECT_TRUE(std::isnan(CriticalValue(kTukey, 3, 3, 0.5, 0.05)));
}

// ---------------------------------------------------------------- the tables

// The numbers of a table file, row by row.
std::vector<std::vector<double>> ReadTableFile(const std::string& name) {
    std::ifstream in(std::string(QS_PROCEDURES_TABLES_DIR) + "/" + name + ".inc");
    EXPECT_TRUE(in) << name;
    std::vector<std::vector<double>> rows;
    for (std::string line; std::getline(in, line);) {
        line = line.substr(0, line.find("//"));
        std::vector<double> row;
        std::stringstream s(line);
        for (std::string cell; std::getline(s, cell, ',');)
            if (cell.find_first_of("0123456789") != std::string::npos)
                row.push_back(std::strtod(cell.c_str(), nullptr));
        if (!row.empty()) rows.push_back(row);
    }
    return rows;
}

// Rounded as printed tables round: three significant figures.
double ThreeFigures(double x) {
    const double scale = std::pow(10.0, 2 - std::floor(std::log10(x)));
    return std::round(x * scale) / scale;
}

TEST(CriticalTables, EveryEntryIsTheComputedQuantileAsPrinted) {
    const Csv ref("critical_values.csv");
    std::map<std::string, double> computed;
    for (size_t r = 0; r < ref.Size(); ++r)
        computed[ref.Text(r, "table") + " " + ref.Text(r, "alpha") + " " + ref.Text(r, "df") + " " + ref.Text(r, "k")] =
            ref.Number(r, "value");
    // Entries where the printed table is not the rounded quantile (the table's own value is kept).
    const std::map<std::string, double> printed = {{"tukey 0.05 1 2", 18.1}};
    struct File {
        const char* name;
        const char* table;
        const char* alpha;
        RangeTable id;
        bool onePercent;
    };
    const File files[] = {{"studentized_range_05", "tukey", "0.05", RangeTable::kStudentizedRange, false},
                          {"studentized_range_01", "tukey", "0.01", RangeTable::kStudentizedRange, true},
                          {"dunnett_05", "dunnett", "0.05", RangeTable::kDunnett, false},
                          {"dunnett_01", "dunnett", "0.01", RangeTable::kDunnett, true}};
    size_t entries = 0;
    for (const File& f : files) {
        const auto rows = ReadTableFile(f.name);
        const CriticalTable built = TableData(f.id, f.onePercent);
        ASSERT_EQ(static_cast<int>(rows.size()), built.rows) << f.name;
        for (size_t i = 0; i < rows.size(); ++i) {
            ASSERT_EQ(static_cast<int>(rows[i].size()), built.columns) << f.name << " row " << i;
            const bool last = i + 1 == rows.size();
            EXPECT_EQ(static_cast<float>(rows[i][0]), last ? FLT_MAX : static_cast<float>(rows[i][0]));
            const std::string df = last ? "Inf" : std::to_string(static_cast<int>(rows[i][0]));
            for (size_t c = 1; c < rows[i].size(); ++c) {
                const std::string key = std::string(f.table) + " " + f.alpha + " " + df + " " + std::to_string(c + 1);
                ASSERT_TRUE(computed.count(key)) << key;
                const auto kept = printed.find(key);
                const double want = kept != printed.end() ? kept->second : ThreeFigures(computed[key]);
                EXPECT_EQ(built.data[i * static_cast<size_t>(built.columns) + c], static_cast<float>(want))
                    << key << ": R " << computed[key];
                EXPECT_EQ(static_cast<float>(rows[i][c]), built.data[i * static_cast<size_t>(built.columns) + c]);
                // Every row increases with k; no column increases with DF (neighbouring rows may print alike).
                if (c > 1) {
                    EXPECT_GT(rows[i][c], rows[i][c - 1]) << key;
                }
                if (i > 0) {
                    EXPECT_LE(rows[i][c], rows[i - 1][c]) << key;
                }
                ++entries;
            }
        }
    }
    EXPECT_EQ(entries, 2u * (26 * 19 + 22 * 9));
}

TEST(CriticalTables, LookupReadsTheRowAtOrBelowWithoutInterpolation) {
    using R = RangeTable;
    const auto q = [](int k, double df, double alpha) { return TableValue(R::kStudentizedRange, k, df, alpha); };
    const auto d = [](int k, double df, double alpha) { return TableValue(R::kDunnett, k, df, alpha); };
    // The examples of the printed tables.
    EXPECT_EQ(q(2, 1, 0.05), 18.1f);
    EXPECT_EQ(q(3, 10, 0.05), 3.88f);
    EXPECT_EQ(q(2, 1e9, 0.05), 2.77f);
    EXPECT_EQ(q(2, 10, 0.01), 4.48f);
    EXPECT_EQ(d(2, 5, 0.05), 2.57f);
    EXPECT_EQ(d(4, 10, 0.05), 2.76f);
    EXPECT_EQ(d(10, INFINITY, 0.05), 2.69f);
    EXPECT_EQ(d(2, 5, 0.01), 4.03f);
    // Between rows: the row below; above 120: infinity; 120 itself: its own row.
    EXPECT_EQ(q(3, 25, 0.05), q(3, 24, 0.05));
    EXPECT_EQ(q(3, 29, 0.05), q(3, 24, 0.05));
    EXPECT_NE(q(3, 30, 0.05), q(3, 24, 0.05));
    EXPECT_EQ(q(3, 121, 0.05), q(3, INFINITY, 0.05));
    EXPECT_NE(q(3, 120, 0.05), q(3, INFINITY, 0.05));
    EXPECT_EQ(d(5, 119, 0.01), d(5, 60, 0.01));
    // Only alpha 0.01 exactly reads the 1% table.
    EXPECT_EQ(q(4, 12, 0.0100001), q(4, 12, 0.05));
    EXPECT_EQ(q(4, 12, 0.1), q(4, 12, 0.05));
    EXPECT_GT(q(4, 12, 0.01), q(4, 12, 0.05));
    // Outside the tables.
    EXPECT_TRUE(std::isnan(d(11, 20, 0.05)));
    EXPECT_TRUE(std::isnan(q(21, 20, 0.05)));
    EXPECT_TRUE(std::isnan(d(3, 4, 0.05)));
}

}  // namespace
}  // namespace qs::procedures
