// Fisher's exact test and McNemar's change test: the 2 x 2 table of two factors, an effect measure
// with its interval, and an exact p-value.
#include "addin/host/messages.h"
#include "addin/procedures/counts.h"
#include "addin/procedures/ttest.h"

namespace qs {
namespace {

using namespace count_labels;

class TwoByTwoTest : public Test {
public:
    size_t Size() const override { return sizeof(*this); }

    const FieldTable& GetFields() const override {
        static const FieldTable table = FieldTableOf<TwoByTwoTest>()
                                            .Count(kLabelN, &TwoByTwoTest::m_n)
                                            .Text(kLabelColumns, &TwoByTwoTest::m_columns)
                                            .Rows(kLabelContingencyTable, &TwoByTwoTest::m_table)
                                            .Nested(kLabelPointEstimate, &TwoByTwoTest::m_effect)
                                            .Nested(kLabelP, &TwoByTwoTest::m_p, kFieldTransparent)
                                            .Build();
        return table;
    }

    void ExchangeParameters() override {
        Parameters& p = *Parameters::Current();
        m_factors.Exchange(p);
        p.Choice(Measures(), m_measure);
        p.Hypothesis(params::AlternativeHypothesis, m_tail, LoadString(kStringFirstProportion).str(),
                     LoadString(kStringSecondProportion).str());
        p.Percentage(params::ConfidenceInterval, m_level);
    }

    void Compute() override {
        const ContingencyTable t = m_factors.Table(dataset.get(), true);
        m_n = static_cast<uint32_t>(t.total);
        m_table = CategoryRows(t);
        m_columns = ColumnNames(t);
        const procedures::Table2x2 cells{t.At(0, 0), t.At(0, 1), t.At(1, 0), t.At(1, 1)};
        const procedures::CountResult r = Result(cells, 1.0 - m_level / 100.0);
        m_effect.Set(r);
        m_effect.measure = LoadString(Measures().firstChoice + static_cast<unsigned>(m_measure));
        SetP(m_p, r, m_tail);
    }

protected:
    virtual ChoiceDescriptor& Measures() const = 0;
    virtual procedures::CountResult Result(const procedures::Table2x2& t, double alpha) const = 0;

    // Parameters.
    TableFactors m_factors;
    int m_measure = 0;
    numerics::Tail m_tail = numerics::kTwoSided;
    double m_level = 95;

    // Results.
    uint32_t m_n = 0;
    CSharedString m_columns;
    std::vector<TableCategories> m_table;
    Effect m_effect;
    P m_p;
};

class FisherExactTest : public TwoByTwoTest {
public:
    const Info& GetInfo() const override { return FisherExactTestinfo; }

protected:
    ChoiceDescriptor& Measures() const override { return params::PointEstimate3; }
    procedures::CountResult Result(const procedures::Table2x2& t, double alpha) const override {
        procedures::CountResult r = procedures::FisherP(t, m_tail);
        const procedures::CountResult e = procedures::TableEffect(t, m_measure, alpha, m_tail);
        r.estimate = e.estimate;
        r.ci = e.ci;
        r.ciMethod = e.ciMethod;
        return r;
    }
};

class McNemarTest : public TwoByTwoTest {
public:
    const Info& GetInfo() const override { return McNemarTestinfo; }

protected:
    ChoiceDescriptor& Measures() const override { return params::PointEstimate2; }
    procedures::CountResult Result(const procedures::Table2x2& t, double alpha) const override {
        return procedures::McNemar(t.b, t.c, t.N(), m_measure, alpha, m_tail);
    }
};

}  // namespace

const Test::Info FisherExactTestinfo(1057, []() -> Test* { return new FisherExactTest; });
const Test::Info McNemarTestinfo(1058, []() -> Test* { return new McNemarTest; });

}  // namespace qs
