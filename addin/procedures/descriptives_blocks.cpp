// The blocks the descriptive tests share: moments, values with intervals, the normality block.
#include <cmath>

#include "addin/host/messages.h"
#include "addin/procedures/descriptives.h"
#include "addin/resources/string_ids.h"

namespace qs {

using namespace descriptive_labels;

namespace {
// Option texts of the normality methods: "Shapiro-Wilk", "Anderson-Darling", "Kolmogorov-Smirnov".

std::string PBoundText(double p) { return p > 0 ? "> 0.15" : "< 0.01"; }
}  // namespace

double LevelOfChoice(int index) {
    static const double kLevels[] = {99, 95, 90, 80};
    return index >= 0 && index < 4 ? kLevels[index] : numerics::MissingValue();
}

void MomentBlock::Set(const numerics::Descriptives::Moment& m) {
    sample = m.sample;
    coefficient = m.coefficient;
    p = m.p;
}

const FieldTable& MomentBlock::GetFields() const {
    static const FieldTable table = FieldTableOf<MomentBlock>()
                                        .Number(kLabelValue, &MomentBlock::sample)
                                        .Number(kLabelCoefficient, &MomentBlock::coefficient)
                                        .Number(kLabelP, &MomentBlock::p)
                                        .Build();
    return table;
}

const FieldTable& ValueCI::GetFields() const {
    static const FieldTable table = FieldTableOf<ValueCI>()
                                        .Number(kLabelValue, &ValueCI::value)
                                        .Pair(kLabelCI, &ValueCI::lower, &ValueCI::upper)
                                        .Build();
    return table;
}

void NormalityBlock::Compute(const numerics::Descriptives& d, const std::vector<double>& values, int how) {
    n = d.N();
    mean = d.Mean();
    sd = d.SD();
    skewness.Set(d.Skewness());
    kurtosis.Set(d.Kurtosis());
    method = how;
    methodName = how >= kShapiroWilk && how < kNone ? LoadString(ids::kStringShapiroWilk + static_cast<unsigned>(how))
                                                    : CSharedString();
    numerics::NormalityResult r{numerics::MissingValue(), numerics::MissingValue(), numerics::MissingValue()};
    if (how == kShapiroWilk)
        r = numerics::ShapiroWilk(values);
    else if (how == kAndersonDarling)
        r = numerics::AndersonDarling(values);
    else if (how == kKolmogorovSmirnov)
        r = numerics::KolmogorovSmirnov(values);
    statistic = r.statistic;
    p = r.p;
}

const FieldTable& NormalityBlock::GetFields() const {
    static const FieldTable table = FieldTableOf<NormalityBlock>()
                                        .Count(kLabelN, &NormalityBlock::n)
                                        .Number(kLabelMean, &NormalityBlock::mean)
                                        .Number(kLabelSD, &NormalityBlock::sd)
                                        .Nested(kLabelSkewness, &NormalityBlock::skewness)
                                        .Nested(kLabelKurtosis, &NormalityBlock::kurtosis)
                                        .Text(kLabelMethod, &NormalityBlock::methodName)
                                        .Number(kLabelStatistic, &NormalityBlock::statistic)
                                        .BoundNumber(kLabelP, &NormalityBlock::p, &PBoundText)
                                        .Build();
    return table;
}

}  // namespace qs
