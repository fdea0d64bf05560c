// The chi-square test of independence of the two factors of an r x c contingency table, with
// Yates' continuity correction on a 2 x 2 table when asked.
#include <cmath>

#include "addin/host/messages.h"
#include "addin/procedures/counts.h"
#include "addin/procedures/ttest.h"

namespace qs {
namespace {

using namespace count_labels;

class ChiSquareTest : public Test {
public:
    const Info& GetInfo() const override { return ChiSquareTestinfo; }
    size_t Size() const override { return sizeof(*this); }

    const FieldTable& GetFields() const override {
        static const FieldTable table = FieldTableOf<ChiSquareTest>()
                                            .Count(kLabelN, &ChiSquareTest::m_n)
                                            .Rows(kLabelContingencyTable, &ChiSquareTest::m_cells)
                                            .Number(kLabelChiSquare, &ChiSquareTest::m_x2)
                                            .Number(kLabelDF, &ChiSquareTest::m_df)
                                            .Nested(kLabelP, &ChiSquareTest::m_p, kFieldTransparent)
                                            .Build();
        return table;
    }

    void ExchangeParameters() override {
        Parameters& p = *Parameters::Current();
        m_factors.Exchange(p);
        p.CheckBox(params::ContinuityCorrection, m_continuity);
    }

    void Compute() override {
        const ContingencyTable t = m_factors.Table(dataset.get(), false);
        const procedures::CountResult r = procedures::ChiSquare(t.cells, t.rows, t.columns, m_continuity);
        if (!std::isfinite(r.statistic)) ThrowMessage(kMessageZeroMargin);
        m_n = static_cast<uint32_t>(t.total);
        m_cells.clear();
        for (int i = 0; i < t.rows; ++i)
            for (int j = 0; j < t.columns; ++j) {
                CellRow c;
                c.cell = t.crosstab->CellLabel(i, j);
                c.observed = t.At(i, j);
                c.expected = t.rowTotals[static_cast<size_t>(i)] * t.columnTotals[static_cast<size_t>(j)] / t.total;
                m_cells.push_back(c);
            }
        m_x2 = r.statistic;
        m_df = r.df;
        // No tail and no method: only the continuity correction is said.
        m_p.Set(r.p, P::kNoTailShown, 0, r.flags);
    }

    TableFactors m_factors;
    bool m_continuity = true;

    uint32_t m_n = 0;
    std::vector<CellRow> m_cells;
    double m_x2 = numerics::MissingValue();
    double m_df = numerics::MissingValue();
    P m_p;
};

}  // namespace

const Test::Info ChiSquareTestinfo(1059, []() -> Test* { return new ChiSquareTest; });

}  // namespace qs
