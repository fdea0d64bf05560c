// The parameter descriptors shared by every test: labels, descriptor words, defaults and choices.
// Every one is constant-initialised (constinit): they are whole before any code of the add-in runs,
// whatever the order in which the units are initialised. A new descriptor is defined here, declared
// in parameters.h and listed in All() at the end (its remembered value is kept only then).
#include <limits>

#include "addin/framework/parameters.h"
#include "addin/resources/string_ids.h"

namespace qs::params {

namespace {
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();  // no default (numerics::MissingValue)
}

// Numbers, percentages, fractions and check boxes.
constinit NumberDescriptor ConfidenceInterval(5025, 0x4102, 95);
constinit NumberDescriptor ReferenceInterval(5200, 0x4102, 95);
constinit NumberDescriptor Coverage(5033, 0x4102, 90);
constinit NumberDescriptor HypothesisedMean(5104, 0x100, kNone);
constinit NumberDescriptor PopulationSD(5105, 0x101, kNone);
constinit NumberDescriptor HypothesisedProportion(5107, 0x103, kNone);
constinit NumberDescriptor PolynomialOrder(5110, 0x101, 1);
constinit NumberDescriptor ImprecisionSDX(5204, 0x101, 1);
constinit NumberDescriptor ImprecisionSDY(5205, 0x101, 1);
constinit NumberDescriptor PreliminarySD(5203, 0x101, kNone);
constinit NumberDescriptor WithinRunSD(5208, 0x101, kNone);
constinit NumberDescriptor TotalSD(5209, 0x101, kNone);
constinit NumberDescriptor AnalyteConcentration(5202, 0x100, kNone);
constinit NumberDescriptor Prevalence(5210, 0x103, kNone);
constinit NumberDescriptor UnequalVariances(5106, 0x500, kNone);
constinit NumberDescriptor SameScale(5220, 0x500, 1);
constinit NumberDescriptor NoIntercept(5227, 0x500, 0);
constinit NumberDescriptor WeightedKappa(5226, 0x500, 0);
// The chi-square test's switch of Yates' correction (2 x 2 tables only; on by default).
constinit NumberDescriptor ContinuityCorrection(ids::kParamContinuityCorrection, 0x500, 1);

// Choice lists: first option's string id, number of options, default index, allowed mask.
constinit ChoiceDescriptor PointEstimate3(5108, 0x4200, 6096, 3, 0, 0x7);
constinit ChoiceDescriptor PointEstimate2(5108, 0x4200, 6096, 2, 0, 0x3);
constinit ChoiceDescriptor PercentilePlot(5109, 0x4200, 7041, 5, 1, 0x1F);
constinit ChoiceDescriptor NormalityTest4(5206, 0x4200, 7012, 4, 0, 0xF);
constinit ChoiceDescriptor NormalityTest3(5206, 0x4200, 7012, 3, 0, 0x7);
constinit ChoiceDescriptor Method(5201, 0x200, 7024, 2, 0, 0x3);
constinit ChoiceDescriptor Contrasts(5041, 0x200, 7080, 3, 0, 0x7);
// Dunnett is not allowed here: the default is the first allowed option (Tukey).
constinit ChoiceDescriptor ErrorProtection30(5042, 0x4200, 7096, 5, 1, 30);
constinit ChoiceDescriptor ErrorProtection29(5044, 0x4200, 7096, 5, 0, 29);
// Options filled at run time from the categories of a variable.
constinit ChoiceDescriptor ControlGroup(5043, 0x200, 0, 0, 0, 0xFFF);
constinit ChoiceDescriptor AbnormalIndicatedBy(5221, 0x200, 0, 0, 0, 0xFFF);
constinit ChoiceDescriptor TrueGroup(5222, 0x200, 0, 0, 0, 0xFFF);
constinit ChoiceDescriptor AbnormalObservations(5211, 0x200, 7064, 2, 0, 0x3);
constinit ChoiceDescriptor ComparisonMethod(5215, 0x200, 7118, 2, 0, 0x3);
constinit ChoiceDescriptor Plot(5214, 0x4200, 7112, 4, 0, 0xF);

constinit HypothesisDescriptor AlternativeHypothesis(5024, 0x300);

// Variable selectors.
constinit VariableDescriptor Variable403(5008, 0x403), Variable404(5008, 0x404), Variable406(5008, 0x406);
constinit VariableDescriptor Variable1_406(5011, 0x406), Variable1_404(5011, 0x404);
constinit VariableDescriptor Variable2_406(5012, 0x406), Variable2_404(5012, 0x404);
constinit VariableDescriptor VariableX406(5009, 0x406), VariableX404(5009, 0x404);
constinit VariableDescriptor VariableY406(5010, 0x406), VariableY404(5010, 0x404);
constinit VariableDescriptor VariableGroup1_406(5031, 0x406), VariableGroup1_404(5031, 0x404);
constinit VariableDescriptor VariableGroup2_406(5032, 0x406), VariableGroup2_404(5032, 0x404);
constinit VariableDescriptor Variables2403(5015, 0x2403), Variables2406(5015, 0x2406), Variables2404(5015, 0x2404);
constinit VariableDescriptor VariableGroups2406(5022, 0x2406), VariableGroups2404(5022, 0x2404);
constinit VariableDescriptor VariableX2404(5009, 0x2404);
constinit VariableDescriptor IndependentX2404(5026, 0x2404), IndependentX404(5026, 0x404);
constinit VariableDescriptor DependentY404(5027, 0x404);
constinit VariableDescriptor VariableX1404(5028, 0x1404), VariableY1404(5029, 0x1404);
constinit VariableDescriptor DayBatch404(5030, 0x404);
constinit VariableDescriptor Runs1404(5017, 0x1404);
constinit VariableDescriptor MethodA404(5216, 0x404), MethodA1404(5216, 0x1404);
constinit VariableDescriptor MethodB404(5217, 0x404), MethodB1404(5217, 0x1404);
constinit VariableDescriptor AnalyteConcentration404(5202, 0x404);
constinit VariableDescriptor AnalyteConcentration402(5219, 0x402);
constinit VariableDescriptor FactorA403(5013, 0x403), FactorB403(5014, 0x403), Factor403(5016, 0x403);
constinit VariableDescriptor Classification403(5213, 0x403);
constinit VariableDescriptor TestClassification407(5212, 0x407);
constinit VariableDescriptor Variables5218(5218, 0x2404);
constinit VariableDescriptor ConcentrationLevel404(5034, 0x404);

}  // namespace qs::params

namespace qs {

const std::vector<ParameterDescriptor*>& ParameterDescriptor::All() {
    using namespace params;
    static const std::vector<ParameterDescriptor*> all{
        &ConfidenceInterval,
        &ReferenceInterval,
        &Coverage,
        &HypothesisedMean,
        &PopulationSD,
        &HypothesisedProportion,
        &PolynomialOrder,
        &ImprecisionSDX,
        &ImprecisionSDY,
        &PreliminarySD,
        &WithinRunSD,
        &TotalSD,
        &AnalyteConcentration,
        &Prevalence,
        &UnequalVariances,
        &SameScale,
        &NoIntercept,
        &WeightedKappa,
        &PointEstimate3,
        &PointEstimate2,
        &PercentilePlot,
        &NormalityTest4,
        &NormalityTest3,
        &Method,
        &Contrasts,
        &ErrorProtection30,
        &ErrorProtection29,
        &ControlGroup,
        &AbnormalIndicatedBy,
        &TrueGroup,
        &AbnormalObservations,
        &ComparisonMethod,
        &Plot,
        &AlternativeHypothesis,
        &Variable403,
        &Variable404,
        &Variable406,
        &Variable1_406,
        &Variable1_404,
        &Variable2_406,
        &Variable2_404,
        &VariableX406,
        &VariableX404,
        &VariableY406,
        &VariableY404,
        &VariableGroup1_406,
        &VariableGroup1_404,
        &VariableGroup2_406,
        &VariableGroup2_404,
        &Variables2403,
        &Variables2406,
        &Variables2404,
        &VariableGroups2406,
        &VariableGroups2404,
        &VariableX2404,
        &IndependentX2404,
        &IndependentX404,
        &DependentY404,
        &VariableX1404,
        &VariableY1404,
        &DayBatch404,
        &Runs1404,
        &MethodA404,
        &MethodA1404,
        &MethodB404,
        &MethodB1404,
        &AnalyteConcentration404,
        &AnalyteConcentration402,
        &FactorA403,
        &FactorB403,
        &Factor403,
        &Classification403,
        &TestClassification407,
        &Variables5218,
        &ConcentrationLevel404,
        &ContinuityCorrection,
    };
    return all;
}

}  // namespace qs
