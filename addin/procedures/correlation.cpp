// The correlation tests of two variables over their complete pairs: Pearson's r and Spearman's
// rank correlation tested by t with a Fisher z interval, and Kendall's tau-b with its S tested
// exactly (n < 11) or by the normal approximation.
#include "addin/framework/selection.h"
#include "addin/host/messages.h"
#include "addin/procedures/counts.h"
#include "addin/procedures/ttest.h"

namespace qs {
namespace {

using namespace count_labels;

class CorrelationTest : public Test {
public:
    size_t Size() const override { return sizeof(*this); }

    void ExchangeParameters() override {
        Parameters& p = *Parameters::Current();
        VariableDescriptor& x = Ranked() ? params::VariableX406 : params::VariableX404;
        VariableDescriptor& y = Ranked() ? params::VariableY406 : params::VariableY404;
        p.Variables(x, m_x);
        p.CheckVariableCount(1);
        p.CheckVariableTypes();
        p.Variables(y, m_y);
        p.CheckVariableCount(1);
        p.CheckVariableTypes();
        p.Hypothesis(params::AlternativeHypothesis, m_tail, LoadString(Symbol()).str(), HypothesisNumber(0));
        if (HasInterval()) p.Percentage(params::ConfidenceInterval, m_level);
    }

    void Compute() override {
        RequireVariables(m_x, 1, Ranked() ? params::VariableX406 : params::VariableX404);
        RequireVariables(m_y, 1, Ranked() ? params::VariableY406 : params::VariableY404);
        const PairedValues pairs = PairedChoiceValues(m_x[0], m_y[0]);
        if (pairs.first.size() < 3)
            ThrowMessage(kMessageObservationCount, "%s%s", LoadString(params::VariableX404.label).c_str(),
                         FormatMessage(kRangeAtLeast, "%d", 3).c_str());
        CheckNotAllEqual(pairs.first, m_x[0].name);
        CheckNotAllEqual(pairs.second, m_y[0].name);
        m_n = static_cast<uint32_t>(pairs.first.size());
        m_descriptive.assign(2, {});
        m_descriptive[0].Set(m_x[0].name, numerics::Descriptives(pairs.first));
        m_descriptive[1].Set(m_y[0].name, numerics::Descriptives(pairs.second));
        Set(Result(pairs.first, pairs.second, 1.0 - m_level / 100.0));
    }

protected:
    virtual bool Ranked() const { return true; }
    virtual bool HasInterval() const { return true; }
    virtual unsigned Symbol() const { return kStringRhoSymbol; }
    virtual procedures::CountResult Result(const std::vector<double>& x, const std::vector<double>& y,
                                           double alpha) const = 0;
    void Set(const procedures::CountResult& r) {
        m_estimate.value = r.estimate;
        m_estimate.ci.Set(r.ci);
        m_t = r.statistic;
        m_df = r.df;
        SetP(m_p, r, m_tail);
    }

public:  // read by the field tables
    std::vector<VariableChoice> m_x, m_y;
    numerics::Tail m_tail = numerics::kTwoSided;
    double m_level = 95;

    uint32_t m_n = 0;
    std::vector<DescriptiveRow> m_descriptive;
    VCI m_estimate;
    double m_t = numerics::MissingValue();
    double m_df = numerics::MissingValue();
    mutable double m_s = numerics::MissingValue();  // Kendall's S
    P m_p;
};

// The fields of Pearson's and Spearman's tests: the coefficient under its own label.
template <unsigned kCoefficient>
const FieldTable& CoefficientFields() {
    using T = CorrelationTest;
    static const FieldTable table = FieldTableOf<T>()
                                        .Count(kLabelN, &T::m_n)
                                        .Rows(kLabelDescriptive, &T::m_descriptive)
                                        .Nested(kCoefficient, &T::m_estimate)
                                        .Number(kLabelT, &T::m_t)
                                        .Number(kLabelDF, &T::m_df)
                                        .Nested(kLabelP, &T::m_p, kFieldTransparent)
                                        .Build();
    return table;
}

class PearsonCorrelation : public CorrelationTest {
public:
    const Info& GetInfo() const override { return PearsonCorrelationinfo; }
    const FieldTable& GetFields() const override { return CoefficientFields<kLabelR>(); }

protected:
    bool Ranked() const override { return false; }
    procedures::CountResult Result(const std::vector<double>& x, const std::vector<double>& y,
                                   double alpha) const override {
        return procedures::Pearson(x, y, alpha, m_tail);
    }
};

class SpearmanCorrelation : public CorrelationTest {
public:
    const Info& GetInfo() const override { return SpearmanCorrelationinfo; }
    const FieldTable& GetFields() const override { return CoefficientFields<kLabelRs>(); }

protected:
    procedures::CountResult Result(const std::vector<double>& x, const std::vector<double>& y,
                                   double alpha) const override {
        return procedures::Spearman(x, y, alpha, m_tail);
    }
};

class KendallCorrelation : public CorrelationTest {
public:
    const Info& GetInfo() const override { return KendallCorrelationinfo; }
    const FieldTable& GetFields() const override {
        using T = CorrelationTest;
        static const FieldTable table = FieldTableOf<T>()
                                            .Count(kLabelN, &T::m_n)
                                            .Rows(kLabelDescriptive, &T::m_descriptive)
                                            .Number(kLabelTau, &T::m_t)
                                            .Number(kLabelS, &T::m_s)
                                            .Nested(kLabelP, &T::m_p, kFieldTransparent)
                                            .Build();
        return table;
    }

protected:
    bool HasInterval() const override { return false; }
    unsigned Symbol() const override { return kStringTauSymbol; }
    procedures::CountResult Result(const std::vector<double>& x, const std::vector<double>& y, double) const override {
        procedures::CountResult r = procedures::Kendall(x, y, m_tail);
        m_s = r.estimate;
        return r;
    }
};

}  // namespace

const Test::Info PearsonCorrelationinfo(1072, []() -> Test* { return new PearsonCorrelation; });
const Test::Info SpearmanCorrelationinfo(1073, []() -> Test* { return new SpearmanCorrelation; });
const Test::Info KendallCorrelationinfo(1074, []() -> Test* { return new KendallCorrelation; });

}  // namespace qs
