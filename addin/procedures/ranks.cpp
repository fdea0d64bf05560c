// What the rank tests share: their table rows.
#include "addin/procedures/ranks.h"

namespace qs {

using namespace count_labels;
using namespace rank_labels;

const FieldTable& TablePairedNs::GetFields() const {
    static const FieldTable table = FieldTableOf<TablePairedNs>()
                                        .Text(kLabelGroup, &TablePairedNs::group)
                                        .Number(kLabelN, &TablePairedNs::n)
                                        .Number(kLabelZero, &TablePairedNs::zeros)
                                        .Build();
    return table;
}

void TableRanks::Set(const std::string& name, double count, double sum) {
    group = name;
    n = count;
    rankSum = sum;
    meanRank = count > 0 ? sum / count : numerics::MissingValue();
}

const FieldTable& TableRanks::GetFields() const {
    static const FieldTable table = FieldTableOf<TableRanks>()
                                        .Text(kLabelGroup, &TableRanks::group)
                                        .Number(kLabelN, &TableRanks::n)
                                        .Number(kLabelRankSum, &TableRanks::rankSum)
                                        .Number(kLabelMeanRank, &TableRanks::meanRank)
                                        .Number(kLabelU, &TableRanks::u)
                                        .Build();
    return table;
}

void SetRankP(P& p, const procedures::RankResult& r, numerics::Tail tail) {
    p.Set(r.p, tail, r.method, r.flags);
    p.tiesPercent = r.tiesPercent;
}

}  // namespace qs
