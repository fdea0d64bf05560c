// The qsnum console: line format, number formatting, errors, and that every operation of the
// numerics is reachable by name.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "addin/numerics/console.h"

namespace qs::numerics {
namespace {

TEST(Console, ExampleLines) {
    EXPECT_EQ(EvaluateConsoleLine("TP 2.5 10 0"), "0.031446844236608776");
    EXPECT_EQ(EvaluateConsoleLine("Percentile 25 0 1 2 3 4"), "1.75");
    EXPECT_EQ(EvaluateConsoleLine("Ranks 3 1 3 2"), "3.5 1 3.5 2");
    EXPECT_EQ(EvaluateConsoleLine("BinomialRankCI 0.05 20 0.5 0"), "0.041389465332029446 5 14");
    const std::string f = EvaluateConsoleLine("FQuantile 0.05 3 20 2");
    EXPECT_EQ(f.substr(0, 8), "3.098391");
    EXPECT_EQ(EvaluateConsoleLine("HypergeometricP 0 10 3 50 20").substr(0, 11), "0.364968286");
}

TEST(Console, SpecialValuesAndIntervals) {
    EXPECT_EQ(EvaluateConsoleLine("TCI 0.05 10 0 5 1"), "0.050000000000000003 -inf nan");
    EXPECT_EQ(EvaluateConsoleLine("NormalCI 0.05 10 1 2").substr(0, 30), "0.050000000000000003 8.3551463");
    const std::string upper = EvaluateConsoleLine("NormalCI 0.05 10 1 2");
    EXPECT_EQ(upper.substr(upper.size() - 4), " inf");
    EXPECT_EQ(EvaluateConsoleLine("TP nan 3 0"), "nan");
    EXPECT_EQ(EvaluateConsoleLine("NormalP inf 0 1 1"), "1");
    EXPECT_EQ(EvaluateConsoleLine("Mean 1 2 nan 3"), "2");
}

TEST(Console, ErrorsStayOnTheirLine) {
    EXPECT_EQ(EvaluateConsoleLine("Frobnicate 1 2"), "error: unknown operation 'Frobnicate'");
    EXPECT_EQ(EvaluateConsoleLine("TP 1 x 0"), "error: not a number: 'x'");
    EXPECT_EQ(EvaluateConsoleLine("TP 1 2"), "error: TP takes 3 arguments, got 2");
    EXPECT_EQ(EvaluateConsoleLine("TP 1 2 0.5"), "error: TP: argument 3 must be an integer");
    EXPECT_EQ(EvaluateConsoleLine("cdfbin 2 0.5 0.5 0 nan 0.5 0.5"), "error: error in iterative routine");
    EXPECT_EQ(EvaluateConsoleLine(""), "");
    EXPECT_EQ(EvaluateConsoleLine("   # a comment"), "");
}

TEST(Console, EveryOperationIsReachable) {
    const std::string names = " " + ConsoleOperationNames() + " ";
    for (const char* op : {"TailP",
                           "NormalP",
                           "NormalQuantile",
                           "NormalDensity",
                           "NormalCI",
                           "TP",
                           "TQuantile",
                           "TCI",
                           "ChiSquareP",
                           "FP",
                           "FQuantile",
                           "FRatioCI",
                           "BinomialP",
                           "BinomialQuantile",
                           "BinomialProportionBound",
                           "BinomialProportionCI",
                           "BinomialRankCI",
                           "HypergeometricP",
                           "DiscreteTailPrep",
                           "LogFactorial",
                           "BinomialCoefficient",
                           "cdfnor",
                           "cdft",
                           "cdfchi",
                           "cdff",
                           "cdfbin",
                           "N",
                           "Missing",
                           "Sum",
                           "SumSquares",
                           "Mean",
                           "RootMeanSquare",
                           "GeometricMean",
                           "HarmonicMean",
                           "SumAbsDeviations",
                           "SumSquaredDeviations",
                           "SumCubedDeviations",
                           "SumFourthDeviations",
                           "PopulationVariance",
                           "PopulationSD",
                           "MeanAbsDeviation",
                           "Variance",
                           "SD",
                           "SE",
                           "CV",
                           "Skewness",
                           "Kurtosis",
                           "Mode",
                           "Minimum",
                           "Median",
                           "Maximum",
                           "Range",
                           "FirstQuartile",
                           "ThirdQuartile",
                           "TriMean",
                           "IQR",
                           "Percentile",
                           "PercentileCI",
                           "MeanCI",
                           "MedianCI",
                           "SkewnessTestP",
                           "KurtosisTestP",
                           "Ranks",
                           "RanksAbs",
                           "Ties",
                           "Categorical",
                           "CoDescriptives",
                           "RoundSignificant",
                           "NoiseFreeDifference"})
        EXPECT_NE(names.find(std::string(" ") + op + " "), std::string::npos) << op;
    // Each answers a well-formed line with numbers, not an error.
    std::istringstream all(ConsoleOperationNames());
    for (std::string op; all >> op;) {
        std::string line = op;
        if (op.rfind("cdf", 0) == 0) line += " 1 0.5 0.5 1 3 0.5 0.5";
        EXPECT_NE(EvaluateConsoleLine(line).rfind("error: unknown", 0), 0u) << op;
    }
}

}  // namespace
}  // namespace qs::numerics
