// The catalogue objects of the tests built into the add-in, by catalogue id. Each is defined at the
// end of its test's unit ("const Test::Info TTest1info(1025, ...)"); the tests' GetInfo and the test
// programs reach them here.
#pragma once

#include "addin/framework/test.h"

namespace qs {

extern const Test::Info SummaryDescriptivesinfo;             // 1008
extern const Test::Info SummaryDescriptivesCategoricalinfo;  // 1009
extern const Test::Info NormalityTestinfo;                   // 1011
extern const Test::Info ComparativeDescriptivesinfo;         // 1013
extern const Test::Info ZTest1info;                          // 1024
extern const Test::Info TTest1info;                          // 1025
extern const Test::Info TTestIndependentinfo;                // 1026
extern const Test::Info TTestPairedinfo;                     // 1027
extern const Test::Info FTestinfo;                           // 1028
extern const Test::Info ANOVA1betweeninfo;                   // 1029
extern const Test::Info ANOVA1withininfo;                    // 1030
extern const Test::Info ANOVA2betweeninfo;                   // 1031
extern const Test::Info RunsTestinfo;                        // 1040
extern const Test::Info SignTestinfo;                        // 1041
extern const Test::Info WilcoxonSignedRanksTestinfo;         // 1042
extern const Test::Info MannWhitneyTestinfo;                 // 1043
extern const Test::Info MedianTestinfo;                      // 1044
extern const Test::Info KruskalWallisTestinfo;               // 1045
extern const Test::Info FriedmanTestinfo;                    // 1046
extern const Test::Info BinomialTestinfo;                    // 1056
extern const Test::Info FisherExactTestinfo;                 // 1057
extern const Test::Info McNemarTestinfo;                     // 1058
extern const Test::Info ChiSquareTestinfo;                   // 1059
extern const Test::Info CochranQTestinfo;                    // 1060
extern const Test::Info PearsonCorrelationinfo;              // 1072
extern const Test::Info SpearmanCorrelationinfo;             // 1073
extern const Test::Info KendallCorrelationinfo;              // 1074

}  // namespace qs
