// What the rank tests share: their table rows.
#include "addin/procedures/ranks.h"

namespace qs {

using namespace count_labels;
using namespace rank_labels;

const FieldTable& PairedNRow::GetFields() const {
    static const FieldTable table = FieldTableOf<PairedNRow>()
                                        .Text(kLabelGroup, &PairedNRow::group)
                                        .Number(kLabelN, &PairedNRow::n)
                                        .Number(kLabelZero, &PairedNRow::zeros)
                                        .Build();
    return table;
}

void RankRow::Set(const std::string& name, double count, double sum) {
    group = name;
    n = count;
    rankSum = sum;
    meanRank = count > 0 ? sum / count : numerics::MissingValue();
}

const FieldTable& RankRow::GetFields() const {
    static const FieldTable table = FieldTableOf<RankRow>()
                                        .Text(kLabelGroup, &RankRow::group)
                                        .Number(kLabelN, &RankRow::n)
                                        .Number(kLabelRankSum, &RankRow::rankSum)
                                        .Number(kLabelMeanRank, &RankRow::meanRank)
                                        .Number(kLabelU, &RankRow::u)
                                        .Build();
    return table;
}

void SetRankP(P& p, const procedures::RankResult& r, numerics::Tail tail) {
    p.Set(r.p, tail, r.method, r.flags);
    p.tiesPercent = r.tiesPercent;
}

}  // namespace qs
