#include "addin/procedures/anova_model.h"

#include <algorithm>
#include <cmath>

#include "addin/numerics/distributions.h"
#include "addin/numerics/summation.h"
#include "addin/resources/string_ids.h"

namespace qs::procedures {

namespace {
// Below this the error mean square counts as zero: F and p are left empty.
constexpr double kZeroMeanSquare = 1e-14;
}  // namespace

AnovaModel::AnovaModel(std::vector<AnovaFactor> factors) : m_factors(std::move(factors)) {
    size_t cells = 1;
    m_stride.resize(m_factors.size());
    for (size_t f = m_factors.size(); f-- > 0;) {
        m_stride[f] = cells;
        cells *= m_factors[f].levels.size();
    }
    m_count.assign(cells, 0);
    m_mean.assign(cells, 0.0);
}

size_t AnovaModel::CellOf(const int* levels) const {
    size_t cell = 0;
    for (size_t f = 0; f < m_factors.size(); ++f) cell += m_stride[f] * static_cast<size_t>(levels[f]);
    return cell;
}

void AnovaModel::Reserve(size_t n) {
    m_x.reserve(n);
    m_cellOf.reserve(n);
}

void AnovaModel::Add(const int* levels, double x) {
    const size_t cell = CellOf(levels);
    m_cellOf.push_back(static_cast<uint32_t>(cell));
    m_x.push_back(x);
    ++m_count[cell];
}

void AnovaModel::Fit() {
    // The sums are taken about the first observation (the data's own origin), so that a large
    // common part of the data cancels before anything is added, and compensated, so that many
    // observations lose no digits. First pass: provisional means; second pass: the mean deviation
    // from them is added back (it holds what the first pass lost); third pass: squared deviations.
    using numerics::CompensatedSum;
    m_origin = m_x.empty() ? 0.0 : m_x[0];
    std::vector<CompensatedSum> sum(m_count.size());
    CompensatedSum total;
    for (size_t i = 0; i < m_x.size(); ++i) {
        const double d = m_x[i] - m_origin;
        sum[m_cellOf[i]].Add(d);
        total.Add(d);
    }
    const double n = static_cast<double>(m_x.size());
    const double grand = n > 0 ? total.Value() / n : 0.0;
    for (size_t c = 0; c < m_count.size(); ++c) m_mean[c] = m_count[c] ? sum[c].Value() / m_count[c] : 0.0;
    std::vector<CompensatedSum> correction(m_count.size());
    CompensatedSum grandCorrection;
    for (size_t i = 0; i < m_x.size(); ++i) {
        const double d = m_x[i] - m_origin;
        correction[m_cellOf[i]].Add(d - m_mean[m_cellOf[i]]);
        grandCorrection.Add(d - grand);
    }
    for (size_t c = 0; c < m_count.size(); ++c)
        if (m_count[c]) m_mean[c] += correction[c].Value() / m_count[c];
    m_grand = n > 0 ? grand + grandCorrection.Value() / n : 0.0;
    CompensatedSum squares;
    for (size_t i = 0; i < m_x.size(); ++i) {
        const double d = (m_x[i] - m_origin) - m_mean[m_cellOf[i]];
        squares.Add(d * d);
    }
    m_ssWithin = squares.Value();
}

bool AnovaModel::Balanced() const {
    return std::adjacent_find(m_count.begin(), m_count.end(), std::not_equal_to<>()) == m_count.end();
}

uint32_t AnovaModel::SmallestCell() const {
    return m_count.empty() ? 0 : *std::min_element(m_count.begin(), m_count.end());
}

std::vector<double> AnovaModel::MarginalMeans(int factor) const {
    const size_t levels = m_factors[static_cast<size_t>(factor)].levels.size();
    std::vector<double> sum(levels, 0.0);
    std::vector<int> cells(levels, 0);
    for (size_t c = 0; c < m_count.size(); ++c) {
        const size_t level = (c / m_stride[static_cast<size_t>(factor)]) % levels;
        sum[level] += m_mean[c];
        ++cells[level];
    }
    for (size_t l = 0; l < levels; ++l) sum[l] /= cells[l];
    return sum;
}

uint32_t AnovaModel::LevelCount(int factor, int level) const {
    const size_t levels = m_factors[static_cast<size_t>(factor)].levels.size();
    uint32_t n = 0;
    for (size_t c = 0; c < m_count.size(); ++c)
        if ((c / m_stride[static_cast<size_t>(factor)]) % levels == static_cast<size_t>(level)) n += m_count[c];
    return n;
}

double AnovaModel::TermSS(const AnovaTerm& term) const {
    // Each level combination's effect by inclusion and exclusion, weighted by its observations.
    if (term.factors.size() == 1) {
        const int f = term.factors[0];
        const std::vector<double> means = MarginalMeans(f);
        double ss = 0;
        for (size_t l = 0; l < means.size(); ++l) {
            const double effect = means[l] - m_grand;
            ss += LevelCount(f, static_cast<int>(l)) * effect * effect;
        }
        return ss;
    }
    const std::vector<double> a = MarginalMeans(0), b = MarginalMeans(1);
    double ss = 0;
    for (size_t i = 0; i < a.size(); ++i)
        for (size_t j = 0; j < b.size(); ++j) {
            const size_t cell = i * m_stride[0] + j * m_stride[1];
            const double effect = m_mean[cell] - a[i] - b[j] + m_grand;
            ss += m_count[cell] * effect * effect;
        }
    return ss;
}

AnovaTable AnovaModel::Table() const {
    AnovaTable t;
    for (size_t f = 0; f < m_factors.size(); ++f) {
        AnovaTerm term;
        term.name = m_factors[f].name;
        term.factors = {static_cast<int>(f)};
        term.df = static_cast<double>(m_factors[f].levels.size() - 1);
        t.terms.push_back(term);
    }
    if (m_factors.size() == 2) {
        AnovaTerm term;
        term.name = m_factors[0].name + " by " + m_factors[1].name;
        term.factors = {0, 1};
        term.df = t.terms[0].df * t.terms[1].df;
        t.terms.push_back(term);
    }
    for (AnovaTerm& term : t.terms) term.ss = TermSS(term);
    t.ssWithin = m_ssWithin;
    t.dfWithin = static_cast<double>(N()) - static_cast<double>(CellCount());
    const bool repeated = m_factors.size() == 2 && (m_factors[0].withinSubject != m_factors[1].withinSubject);
    if (repeated) {
        // The subject by treatment interaction is the error of a design with one observation per cell.
        t.ssWithin += t.terms.back().ss;
        t.dfWithin += t.terms.back().df;
        t.terms.pop_back();
    }
    t.msWithin = t.ssWithin / t.dfWithin;
    t.ssTotal = t.ssWithin;
    t.dfTotal = t.dfWithin;
    const bool noError = !(std::fabs(t.msWithin) >= kZeroMeanSquare);
    for (AnovaTerm& term : t.terms) {
        term.ms = term.ss / term.df;
        term.f = noError ? numerics::MissingValue() : term.ms / t.msWithin;
        term.p = noError ? numerics::MissingValue() : numerics::FP(term.f, term.df, t.dfWithin, numerics::kUpperTail);
        t.ssTotal += term.ss;
        t.dfTotal += term.df;
    }
    return t;
}

// ---------------------------------------------------------------- contrasts

int ContrastCount(ContrastKind kind, int k) {
    switch (kind) {
        case kContrastPairwise: return static_cast<int>(std::lround(numerics::BinomialCoefficient(k, 2)));
        case kContrastControl: return k - 1;
        default: return 0;
    }
}

unsigned ContrastLimitMessage(ContrastKind kind, ErrorProtection protection, int k, double level) {
    enum { kDunnettLevels = 10, kDunnettContrasts = 10, kTukeyLevels = 6, kTukeyContrasts = 20 };
    if (kind == kContrastNone || (protection != kDunnett && protection != kTukey)) return 0;
    // The level is held as a 32-bit float, as the confidence-interval parameter keeps it.
    const float held = static_cast<float>(level);
    if (held != 95.0f && held != 99.0f) return ids::kMessageLevelFor95Or99;
    const int m = ContrastCount(kind, k);
    if (protection == kDunnett && (k > kDunnettLevels || m > kDunnettContrasts)) return ids::kMessageTooManyForDunnett;
    if (protection == kTukey && (k > kTukeyLevels || m > kTukeyContrasts)) return ids::kMessageTooManyForTukey;
    return 0;
}

double CriticalValue(ErrorProtection protection, int k, int contrasts, double dfWithin, double alpha) {
    using namespace numerics;
    switch (protection) {
        case kDunnett: return TableValue(RangeTable::kDunnett, k, dfWithin, alpha);
        case kTukey: return TableValue(RangeTable::kStudentizedRange, k, dfWithin, alpha) / std::sqrt(2.0);
        case kScheffe: return std::sqrt((k - 1) * FQuantile(alpha, k - 1, dfWithin, kUpperTail));
        case kBonferroni: return std::sqrt(FQuantile(alpha / contrasts, 1, dfWithin, kUpperTail));
        case kLSD: return std::fabs(TQuantile(alpha, dfWithin, kTwoSided));
    }
    return MissingValue();
}

std::vector<ContrastRow> Contrasts(ContrastKind kind, int control, const std::vector<double>& means,
                                   const std::vector<uint32_t>& counts, double msWithin, double critical) {
    std::vector<ContrastRow> rows;
    const int k = static_cast<int>(means.size());
    auto add = [&](int i, int j) {
        ContrastRow r;
        r.first = i;
        r.second = j;
        r.difference = means[static_cast<size_t>(i)] - means[static_cast<size_t>(j)];
        const double se =
            std::sqrt((1.0 / counts[static_cast<size_t>(i)] + 1.0 / counts[static_cast<size_t>(j)]) * msWithin);
        r.lower = r.difference - critical * se;
        r.upper = r.difference + critical * se;
        r.significant = r.lower > 0 || r.upper < 0;
        rows.push_back(r);
    };
    if (kind == kContrastPairwise)
        for (int i = 0; i < k; ++i)
            for (int j = i + 1; j < k; ++j) add(i, j);
    if (kind == kContrastControl)
        for (int i = 0; i < k; ++i)
            if (i != control) add(i, control);
    return rows;
}

}  // namespace qs::procedures
