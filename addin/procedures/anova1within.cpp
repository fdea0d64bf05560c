// The one-way within subjects ANOVA (repeated measures): each subject measured under every
// treatment. The treatments are one factor and the subjects another; with one observation per
// cell the subject by treatment interaction is the error.
#include <cmath>

#include "addin/dataset/criteria.h"
#include "addin/host/messages.h"
#include "addin/procedures/anova.h"
#include "addin/resources/string_ids.h"

namespace qs {
namespace {

using namespace result_labels;

class ANOVA1within : public Test {
public:
    const Info& GetInfo() const override { return ANOVA1withininfo; }
    size_t Size() const override { return sizeof(*this); }

    const FieldTable& GetFields() const override {
        static const FieldTable table = FieldTableOf<ANOVA1within>()
                                            .Rows(kLabelN, &ANOVA1within::m_ns)
                                            .Rows(kLabelDescriptive, &ANOVA1within::m_descriptive)
                                            .Nested(kLabelANOVA, &ANOVA1within::m_anova)
                                            .Build();
        return table;
    }

    void ExchangeParameters() override {
        Parameters& p = *Parameters::Current();
        p.Variables(params::Variables2404, m_variables);
        InDatasetOrder(m_variables, dataset.get());
        p.CheckVariableCount(2, -1);
        p.CheckVariableTypes();
        p.CheckRepeatsFromOneVariable();
        p.CheckObservations(2);
    }

    void Compute() override {
        RequireAtLeastVariables(m_variables, 2, params::Variables2404);
        // Only the subjects measured under every treatment take part.
        PairWith complete;
        for (const VariableChoice& c : m_variables) complete.entries.push_back({c.variable.get(), true, false});
        CRef<Criteria> rows = MakeCriteria(nullptr, nullptr, &complete, nullptr);
        rows->Update();
        std::vector<std::vector<double>> values;
        for (const VariableChoice& c : m_variables) values.push_back(ObservationValues(*c.variable, rows.get()));
        const size_t subjects = values[0].size();
        if (subjects < 2)
            ThrowMessage(ids::kMessageObservationCount, "%s%s", LoadString(params::Variables2404.label).c_str(),
                         FormatMessage(ids::kRangeAtLeast, "%d", 2).c_str());

        procedures::AnovaFactor treatment, subject;
        const WithinSubject* group = m_variables[0].variable->group;
        treatment.name = group ? group->name : LoadString(kStringGroups).str();
        for (const VariableChoice& c : m_variables) treatment.levels.push_back(c.variable->name);
        subject.name = LoadString(kStringSubjects).str();
        subject.levels.assign(subjects, std::string());
        subject.withinSubject = true;
        procedures::AnovaModel model({treatment, subject});
        model.Reserve(subjects * values.size());
        m_ns.assign(values.size(), {});
        m_descriptive.assign(values.size(), {});
        for (size_t t = 0; t < values.size(); ++t) {
            int levels[2] = {static_cast<int>(t), 0};
            for (size_t s = 0; s < subjects; ++s) {
                levels[1] = static_cast<int>(s);
                model.Add(levels, values[t][s]);
            }
            m_ns[t].group = treatment.levels[t];
            m_ns[t].n = static_cast<uint32_t>(subjects);
            m_descriptive[t].Set(treatment.levels[t], numerics::Descriptives(values[t]));
        }
        model.Fit();
        m_anova.Set(model.Table());
    }

private:
    // Parameters.
    std::vector<VariableChoice> m_variables;

    // Results.
    std::vector<CountRow> m_ns;
    std::vector<DescriptiveRow> m_descriptive;
    TableANOVA m_anova;
};

}  // namespace

const Test::Info ANOVA1withininfo(1030, []() -> Test* { return new ANOVA1within; });

}  // namespace qs
