// What the tests on counts share: their result rows, and the contingency table of the two factors
// a user selects.
#include "addin/procedures/counts.h"

#include "addin/host/messages.h"
#include "addin/procedures/ttest.h"

namespace qs {

using namespace count_labels;

const FieldTable& TableNs::GetFields() const {
    static const FieldTable table =
        FieldTableOf<TableNs>().Text(kLabelGroup, &TableNs::group).Number(kLabelN, &TableNs::n).Build();
    return table;
}

const FieldTable& TableCategories::GetFields() const {
    static const FieldTable table = FieldTableOf<TableCategories>()
                                        .Text(kLabelGroup, &TableCategories::group)
                                        .Number(kLabelCategory0, &TableCategories::first)
                                        .Number(kLabelCategory1, &TableCategories::second)
                                        .Number(kLabelTotal, &TableCategories::total)
                                        .Build();
    return table;
}

const FieldTable& CellRow::GetFields() const {
    static const FieldTable table = FieldTableOf<CellRow>()
                                        .Text(kLabelGroup, &CellRow::cell)
                                        .Number(kLabelObserved, &CellRow::observed)
                                        .Number(kLabelExpected, &CellRow::expected)
                                        .Build();
    return table;
}

void Effect::Set(const procedures::CountResult& r) {
    value = r.estimate;
    ci.Set(r.ci);
    method = r.ciMethod;
}

const FieldTable& Effect::GetFields() const {
    static const FieldTable table = [] {
        Field text(kLabelMethod, FieldKind::Text);
        text.text = [](const Results& r) {
            const unsigned m = static_cast<const Effect&>(r).method;
            return m >= 1 && m <= 6 ? LoadString(ids::kMethodOneTailed + m).str() : std::string();
        };
        return FieldTableOf<Effect>()
            .Text(kLabelMeasure, &Effect::measure)
            .Number(kLabelValue, &Effect::value)
            .Nested(kLabelCI, &Effect::ci, kFieldTransparent)
            .Add(std::move(text))
            .Build();
    }();
    return table;
}

void ExchangeDichotomous(Parameters& p, std::vector<VariableChoice>& variables) {
    p.Variables(params::Variable403, variables);
    p.CheckVariableCount(1);
    p.CheckVariableTypes();
}

void ThrowNotDichotomous(const std::string& name) {
    ThrowMessage(kMessageCategoryCount, "%s%s", name.c_str(), FormatMessage(kCountExactly, "%d", 2).c_str());
}

void TableFactors::Exchange(Parameters& p) {
    p.Variables(params::FactorA403, rows);
    p.CheckVariableCount(1);
    p.CheckVariableTypes();
    p.Variables(params::FactorB403, columns);
    p.CheckVariableCount(1);
    p.CheckVariableTypes();
}

ContingencyTable TableFactors::Table(DatasetSourceExcel* dataset, bool exactlyTwoByTwo) const {
    RequireVariables(rows, 1, params::FactorA403);
    RequireVariables(columns, 1, params::FactorB403);
    ContingencyTable t = TableOfChoices(rows[0], columns[0], dataset);
    RequireTableSize(t, exactlyTwoByTwo);
    return t;
}

ContingencyTable TableOfChoices(const VariableChoice& row, const VariableChoice& column, DatasetSourceExcel* dataset) {
    // A contingency-table dataset keeps its counts in its first variable, split by the factors.
    VariableSource* counts = nullptr;
    if (dataset && dataset->dataset && dataset->dataset->IsContingency()) counts = dataset->dataset->variables[0].get();
    return MakeContingencyTable(*row.variable, column.variable.get(), nullptr, counts);
}

std::vector<TableCategories> CategoryRows(const ContingencyTable& t) {
    std::vector<TableCategories> rows(static_cast<size_t>(t.rows));
    for (int i = 0; i < t.rows; ++i) {
        TableCategories& r = rows[static_cast<size_t>(i)];
        r.group = t.crosstab->RowFactor()->GroupName(i);
        r.first = t.columns > 0 ? t.At(i, 0) : 0;
        r.second = t.columns > 1 ? t.At(i, 1) : 0;
        r.total = t.rowTotals[static_cast<size_t>(i)];
    }
    return rows;
}

std::string ColumnNames(const ContingencyTable& t) {
    const SplitBy* columns = t.crosstab->ColumnFactor();
    if (!columns) return {};
    std::string out;
    for (int j = 0; j < t.columns; ++j) out += (j ? " | " : "") + columns->GroupName(j);
    return out;
}

void RequireTableSize(const ContingencyTable& t, bool exactlyTwoByTwo) {
    if (t.total == 0) ThrowMessage(kMessageNoObservations);
    const bool fits = exactlyTwoByTwo ? t.rows == 2 && t.columns == 2 : t.rows >= 2 && t.columns >= 2;
    if (!fits)
        ThrowMessage(kMessageTableSize, "%s",
                     LoadString(exactlyTwoByTwo ? kPhraseTwoByTwo : kPhraseAtLeastTwoByTwo).c_str());
}

void SetP(P& p, const procedures::CountResult& r, numerics::Tail tail) {
    p.Set(r.p, tail, r.method, r.flags);
    p.tiesPercent = r.tiesPercent;
}

}  // namespace qs
