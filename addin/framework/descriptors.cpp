// The parameter descriptors shared by every test: labels, descriptor words, defaults and choices.
#include "addin/framework/parameters.h"

namespace qs::params {

namespace {
const double kNone = numerics::MissingValue();
}

// Numbers, percentages, fractions and check boxes.
NumberDescriptor ConfidenceInterval(5025, 0x4102, 95);
NumberDescriptor ReferenceInterval(5200, 0x4102, 95);
NumberDescriptor Coverage(5033, 0x4102, 90);
NumberDescriptor HypothesisedMean(5104, 0x100, kNone);
NumberDescriptor PopulationSD(5105, 0x101, kNone);
NumberDescriptor HypothesisedProportion(5107, 0x103, kNone);
NumberDescriptor PolynomialOrder(5110, 0x101, 1);
NumberDescriptor ImprecisionSDX(5204, 0x101, 1);
NumberDescriptor ImprecisionSDY(5205, 0x101, 1);
NumberDescriptor PreliminarySD(5203, 0x101, kNone);
NumberDescriptor WithinRunSD(5208, 0x101, kNone);
NumberDescriptor TotalSD(5209, 0x101, kNone);
NumberDescriptor AnalyteConcentration(5202, 0x100, kNone);
NumberDescriptor Prevalence(5210, 0x103, kNone);
NumberDescriptor UnequalVariances(5106, 0x500, kNone);
NumberDescriptor SameScale(5220, 0x500, 1);
NumberDescriptor NoIntercept(5227, 0x500, 0);
NumberDescriptor WeightedKappa(5226, 0x500, 0);

// Choice lists: first option's string id, number of options, default index, allowed mask.
ChoiceDescriptor PointEstimate3(5108, 0x4200, 6096, 3, 0, 0x7);
ChoiceDescriptor PointEstimate2(5108, 0x4200, 6096, 2, 0, 0x3);
ChoiceDescriptor PercentilePlot(5109, 0x4200, 7041, 5, 1, 0x1F);
ChoiceDescriptor NormalityTest4(5206, 0x4200, 7012, 4, 0, 0xF);
ChoiceDescriptor NormalityTest3(5206, 0x4200, 7012, 3, 0, 0x7);
ChoiceDescriptor Method(5201, 0x200, 7024, 2, 0, 0x3);
ChoiceDescriptor Contrasts(5041, 0x200, 7080, 3, 0, 0x7);
// Dunnett is not allowed here: the default is the first allowed option (Tukey).
ChoiceDescriptor ErrorProtection30(5042, 0x4200, 7096, 5, 1, 30);
ChoiceDescriptor ErrorProtection29(5044, 0x4200, 7096, 5, 0, 29);
// Options filled at run time from the categories of a variable.
ChoiceDescriptor ControlGroup(5043, 0x200, 0, 0, 0, 0xFFF);
ChoiceDescriptor AbnormalIndicatedBy(5221, 0x200, 0, 0, 0, 0xFFF);
ChoiceDescriptor TrueGroup(5222, 0x200, 0, 0, 0, 0xFFF);
ChoiceDescriptor AbnormalObservations(5211, 0x200, 7064, 2, 0, 0x3);
ChoiceDescriptor ComparisonMethod(5215, 0x200, 7118, 2, 0, 0x3);
ChoiceDescriptor Plot(5214, 0x4200, 7112, 4, 0, 0xF);

HypothesisDescriptor AlternativeHypothesis(5024, 0x300);

// Variable selectors.
VariableDescriptor Variable403(5008, 0x403), Variable404(5008, 0x404), Variable406(5008, 0x406);
VariableDescriptor Variable1_406(5011, 0x406), Variable1_404(5011, 0x404);
VariableDescriptor Variable2_406(5012, 0x406), Variable2_404(5012, 0x404);
VariableDescriptor VariableX406(5009, 0x406), VariableX404(5009, 0x404);
VariableDescriptor VariableY406(5010, 0x406), VariableY404(5010, 0x404);
VariableDescriptor VariableGroup1_406(5031, 0x406), VariableGroup1_404(5031, 0x404);
VariableDescriptor VariableGroup2_406(5032, 0x406), VariableGroup2_404(5032, 0x404);
VariableDescriptor Variables2403(5015, 0x2403), Variables2406(5015, 0x2406), Variables2404(5015, 0x2404);
VariableDescriptor VariableGroups2406(5022, 0x2406), VariableGroups2404(5022, 0x2404);
VariableDescriptor VariableX2404(5009, 0x2404);
VariableDescriptor IndependentX2404(5026, 0x2404), IndependentX404(5026, 0x404);
VariableDescriptor DependentY404(5027, 0x404);
VariableDescriptor VariableX1404(5028, 0x1404), VariableY1404(5029, 0x1404);
VariableDescriptor DayBatch404(5030, 0x404);
VariableDescriptor Runs1404(5017, 0x1404);
VariableDescriptor MethodA404(5216, 0x404), MethodA1404(5216, 0x1404);
VariableDescriptor MethodB404(5217, 0x404), MethodB1404(5217, 0x1404);
VariableDescriptor AnalyteConcentration404(5202, 0x404);
VariableDescriptor AnalyteConcentration402(5219, 0x402);
VariableDescriptor FactorA403(5013, 0x403), FactorB403(5014, 0x403), Factor403(5016, 0x403);
VariableDescriptor Classification403(5213, 0x403);
VariableDescriptor TestClassification407(5212, 0x407);
VariableDescriptor Variables5218(5218, 0x2404);
VariableDescriptor ConcentrationLevel404(5034, 0x404);

}  // namespace qs::params
