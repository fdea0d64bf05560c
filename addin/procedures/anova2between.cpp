// The two-way between subjects ANOVA of balanced designs: a response classified by two factors,
// with both main effects and their interaction.
#include <cmath>

#include "addin/dataset/criteria.h"
#include "addin/host/messages.h"
#include "addin/procedures/anova.h"
#include "addin/resources/string_ids.h"

namespace qs {
namespace {

using namespace result_labels;

class ANOVA2between : public Test {
public:
    const Info& GetInfo() const override { return ANOVA2betweeninfo; }
    size_t Size() const override { return sizeof(*this); }

    const FieldTable& GetFields() const override {
        static const FieldTable table = FieldTableOf<ANOVA2between>()
                                            .Rows(kLabelN, &ANOVA2between::m_ns)
                                            .Rows(kLabelDescriptivesA, &ANOVA2between::m_descriptiveA)
                                            .Rows(kLabelDescriptivesB, &ANOVA2between::m_descriptiveB)
                                            .Nested(kLabelANOVA, &ANOVA2between::m_anova)
                                            .Build();
        return table;
    }

    void ExchangeParameters() override {
        Parameters& p = *Parameters::Current();
        p.Variables(params::Variable404, m_response);
        p.CheckVariableCount(1);
        p.CheckVariableTypes();
        p.CheckObservations(2);
        for (auto [descriptor, member] :
             {std::pair{&params::FactorA403, &m_factorA}, {&params::FactorB403, &m_factorB}}) {
            p.Variables(*descriptor, *member);
            p.CheckVariableCount(1);
            p.CheckVariableTypes();
        }
        if (p.mode == Parameters::kLoad) OfferTwoFactors(p);
    }

    void Compute() override {
        for (auto [descriptor, member] : {std::pair{&params::Variable404, &m_response},
                                          {&params::FactorA403, &m_factorA},
                                          {&params::FactorB403, &m_factorB}})
            RequireVariables(*member, 1, *descriptor);
        VariableSource& response = *m_response[0].variable;
        VariableSource& a = *m_factorA[0].variable;
        VariableSource& b = *m_factorB[0].variable;
        const SplitBy splitA(a), splitB(b);
        if (splitA.GroupCount() < 2 || splitB.GroupCount() < 2) ThrowMessage(ids::kMessageAnovaTooSmall);
        procedures::AnovaModel model({Factor(a, splitA), Factor(b, splitB)});
        const std::vector<double> x = ObservationValues(response, nullptr);
        const ValueVector& av = a.Values();
        const ValueVector& bv = b.Values();
        std::vector<std::vector<double>> byA(model.Factors()[0].levels.size()), byB(model.Factors()[1].levels.size());
        model.Reserve(x.size());
        for (size_t i = 0; i < x.size() && i < av.Size() && i < bv.Size(); ++i) {
            const int levels[2] = {splitA.groupOf[av.categories[i]], splitB.groupOf[bv.categories[i]]};
            if (!std::isfinite(x[i]) || levels[0] < 0 || levels[1] < 0) continue;
            model.Add(levels, x[i]);
            byA[static_cast<size_t>(levels[0])].push_back(x[i]);
            byB[static_cast<size_t>(levels[1])].push_back(x[i]);
        }
        if (!model.Balanced()) ThrowMessage(ids::kMessageUnbalanced);
        if (model.SmallestCell() < 2) ThrowMessage(ids::kMessageNoInteraction);
        model.Fit();
        SetDescriptives(model, byA, byB);
        m_anova.Set(model.Table());
    }

private:
    // Each factor item on its own offers the same variable (the last that fits); the loading pass
    // offers the dataset's first two categorical variables instead, one to each.
    void OfferTwoFactors(Parameters& p) {
        if (!dataset || m_factorA.size() != 1 || m_factorB.size() != 1 || !(m_factorA[0] == m_factorB[0])) return;
        std::vector<VariableChoice> factors;
        for (const VariableChoice& c : ListVariables(*dataset))
            if (!c.IsGroup() && IsCategorical(c.variable->type)) factors.push_back(c);
        if (factors.size() < 2) return;
        m_factorA.assign(1, factors[0]);
        m_factorB.assign(1, factors[1]);
        p.Find(params::FactorA403.label)->value.variables = m_factorA;
        p.Find(params::FactorB403.label)->value.variables = m_factorB;
    }

    static procedures::AnovaFactor Factor(VariableSource& v, const SplitBy& split) {
        procedures::AnovaFactor f;
        f.name = v.name;
        for (int g = 0; g < split.GroupCount(); ++g) f.levels.push_back(split.GroupName(g));
        return f;
    }

    void SetDescriptives(const procedures::AnovaModel& model, const std::vector<std::vector<double>>& byA,
                         const std::vector<std::vector<double>>& byB) {
        const auto& fa = model.Factors()[0];
        const auto& fb = model.Factors()[1];
        m_ns.clear();
        for (size_t i = 0; i < fa.levels.size(); ++i)
            for (size_t j = 0; j < fb.levels.size(); ++j) {
                CountRow row;
                row.group = fa.levels[i] + " - " + fb.levels[j];
                const int levels[2] = {static_cast<int>(i), static_cast<int>(j)};
                row.n = model.Count(model.CellOf(levels));
                m_ns.push_back(row);
            }
        m_descriptiveA.assign(fa.levels.size(), {});
        for (size_t i = 0; i < fa.levels.size(); ++i)
            m_descriptiveA[i].Set(fa.levels[i], numerics::Descriptives(byA[i]));
        m_descriptiveB.assign(fb.levels.size(), {});
        for (size_t j = 0; j < fb.levels.size(); ++j)
            m_descriptiveB[j].Set(fb.levels[j], numerics::Descriptives(byB[j]));
    }

    // Parameters.
    std::vector<VariableChoice> m_response, m_factorA, m_factorB;

    // Results.
    std::vector<CountRow> m_ns;
    std::vector<DescriptiveRow> m_descriptiveA, m_descriptiveB;
    TableANOVA m_anova;
};

}  // namespace

const Test::Info ANOVA2betweeninfo(1031, []() -> Test* { return new ANOVA2between; });

}  // namespace qs
