#include "addin/procedures/anova.h"
#include "addin/resources/string_ids.h"

namespace qs {

using namespace result_labels;

const FieldTable& CountRow::GetFields() const {
    static const FieldTable table =
        FieldTableOf<CountRow>().Text(kLabelGroup, &CountRow::group).Count(kLabelN, &CountRow::n).Build();
    return table;
}

const FieldTable& TermRow::GetFields() const {
    static const FieldTable table = FieldTableOf<TermRow>()
                                        .Text(kLabelGroup, &TermRow::group)
                                        .Number(kLabelSS, &TermRow::ss)
                                        .Number(kLabelDF, &TermRow::df)
                                        .Number(kLabelMS, &TermRow::ms)
                                        .Number(kLabelF, &TermRow::f)
                                        .Number(kLabelP, &TermRow::p)
                                        .Build();
    return table;
}

void TableANOVA::Set(const procedures::AnovaTable& t) {
    terms.assign(t.terms.size(), {});
    for (size_t i = 0; i < t.terms.size(); ++i) {
        const procedures::AnovaTerm& from = t.terms[i];
        TermRow& row = terms[i];
        row.group = from.name;
        row.ss = from.ss;
        row.df = from.df;
        row.ms = from.ms;
        row.f = from.f;
        row.p = from.p;
    }
    ssWithin = t.ssWithin;
    dfWithin = t.dfWithin;
    msWithin = t.msWithin;
    ssTotal = t.ssTotal;
    dfTotal = t.dfTotal;
}

const FieldTable& TableANOVA::GetFields() const {
    // The term rows answer at the table's own level: ANOVA / Group, ANOVA / SS ...
    static const FieldTable table = FieldTableOf<TableANOVA>()
                                        .Rows(kLabelGroup, &TableANOVA::terms, kFieldTransparent)
                                        .Number(kLabelSSWithin, &TableANOVA::ssWithin)
                                        .Number(kLabelDFWithin, &TableANOVA::dfWithin)
                                        .Number(kLabelMSWithin, &TableANOVA::msWithin)
                                        .Number(kLabelSSTotal, &TableANOVA::ssTotal)
                                        .Number(kLabelDFTotal, &TableANOVA::dfTotal)
                                        .Build();
    return table;
}

const FieldTable& ContrastResult::GetFields() const {
    static const FieldTable table = FieldTableOf<ContrastResult>()
                                        .Text(kLabelGroup, &ContrastResult::group)
                                        .Number(kLabelContrast, &ContrastResult::contrast)
                                        .Nested(kLabelCI, &ContrastResult::ci, kFieldTransparent)
                                        .Text(kLabelSignificant, &ContrastResult::significant)
                                        .Text(ids::kLabelErrorProtection, &ContrastResult::protection)
                                        .Build();
    return table;
}

}  // namespace qs
