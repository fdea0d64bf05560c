// Cochran's Q test: k dichotomous repeat measures (or k dichotomous variables side by side) on the
// same subjects, the proportions of the first category compared across the k.
#include "addin/host/messages.h"
#include "addin/procedures/counts.h"
#include "addin/procedures/ttest.h"

namespace qs {
namespace {

using namespace count_labels;

class CochranQTest : public Test {
public:
    const Info& GetInfo() const override { return CochranQTestinfo; }
    size_t Size() const override { return sizeof(*this); }

    const FieldTable& GetFields() const override {
        static const FieldTable table = FieldTableOf<CochranQTest>()
                                            .Count(kLabelN, &CochranQTest::m_n)
                                            .Text(kLabelColumns, &CochranQTest::m_columns)
                                            .Rows(kLabelContingencyTable, &CochranQTest::m_table)
                                            .Number(kLabelCochranQ, &CochranQTest::m_q)
                                            .Number(kLabelDF, &CochranQTest::m_df)
                                            .Nested(kLabelP, &CochranQTest::m_p, kFieldTransparent)
                                            .Build();
        return table;
    }

    void ExchangeParameters() override {
        Parameters& p = *Parameters::Current();
        p.Variables(params::Variables2403, m_variables);
        InDatasetOrder(m_variables, dataset.get());
        p.CheckVariableCount(2, -1);
        p.CheckVariableTypes();
        p.CheckSameType();
        p.CheckRepeatsFromOneVariable();
    }

    void Compute() override;

private:
    // The first category of the first variable (by name) is the success of every variable.
    std::string SuccessName() const;

    std::vector<VariableChoice> m_variables;

    uint32_t m_n = 0;
    CSharedString m_columns;
    std::vector<TableCategories> m_table;
    double m_q = numerics::MissingValue();
    double m_df = numerics::MissingValue();
    P m_p;
};

std::string CochranQTest::SuccessName() const {
    VariableSource& first = *m_variables[0].variable;
    first.Values();  // the categories are known once the values are loaded
    if (!first.categories) return {};
    for (const CRef<Category>& c : first.categories->Order())
        if (!c->first) return c->name;
    return {};
}

void CochranQTest::Compute() {
    if (m_variables.size() < 2)
        ThrowMessage(kMessageVariableCount, "%s%s", LoadString(params::Variables2403.label).c_str(),
                     FormatMessage(kCountAtLeast, "%d", 2).c_str());
    const std::string success = SuccessName();
    const size_t k = m_variables.size();
    std::vector<const ValueVector*> values;
    size_t length = SIZE_MAX;
    for (const VariableChoice& v : m_variables) {
        values.push_back(&v.variable->Values());
        length = std::min(length, values.back()->Size());
    }
    std::vector<double> C(k, 0.0), R, failures(k, 0.0);
    for (size_t i = 0; i < length; ++i) {
        std::vector<int> outcome(k);
        bool complete = true;
        for (size_t j = 0; j < k && complete; ++j) {
            const CRef<Categories>& list = m_variables[j].variable->categories;
            const Category* c =
                list && i < values[j]->categories.size() ? list->ByNumber(values[j]->categories[i]) : nullptr;
            complete = c && !c->first;
            outcome[j] = complete && c->name == success;
        }
        if (!complete) continue;  // subjects with a missing measure take no part
        double sum = 0;
        for (size_t j = 0; j < k; ++j) {
            C[j] += outcome[j];
            failures[j] += 1 - outcome[j];
            sum += outcome[j];
        }
        R.push_back(sum);
    }
    if (R.empty()) ThrowMessage(kMessageNoObservations);
    m_n = static_cast<uint32_t>(R.size());
    m_columns = success;
    m_table.assign(k, {});
    for (size_t j = 0; j < k; ++j) {
        m_table[j].group = m_variables[j].name;
        m_table[j].first = C[j];
        m_table[j].second = failures[j];
        m_table[j].total = C[j] + failures[j];
    }
    const procedures::CountResult r = procedures::CochranQ(C, R);
    m_q = r.statistic;
    m_df = r.df;
    m_p.Set(r.p, P::kNoTailShown, r.method, r.flags);
}

}  // namespace

const Test::Info CochranQTestinfo(1060, []() -> Test* { return new CochranQTest; });

}  // namespace qs
