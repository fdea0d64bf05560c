#include "addin/tutorial/tutorial_driver.h"

#include <cstdio>
#include <map>
#include <stdexcept>

namespace qs {
namespace {

constexpr const char* kBodyfat = "Bodyfat dataset";
constexpr const char* kYield = "Yield dataset";
constexpr const char* kYield2 = "2-factor Yield dataset";
constexpr const char* kAd = "Ad campaign dataset";
constexpr const char* kSales = "Sales dataset";
constexpr const char* kUnexpected = "Tutorial cannot demonstrate actions because of an unexpected error. %s";

TutorialAction Fill(const char* master, const char* target, bool byColumns = true) {
    return {TutorialAction::Kind::Fill, master, target, byColumns};
}
TutorialAction Copy(const char* master, const char* newSheet) {
    return {TutorialAction::Kind::CopySheet, master, newSheet, true};
}

const std::map<int, std::vector<TutorialAction>>& StepTable() {
    static const std::map<int, std::vector<TutorialAction>> table = {
        {1010, {Fill(kBodyfat, "T1 dataset!A1")}},
        {1020, {Fill(kBodyfat, "T1 dataset!A4:D4"), Fill(kBodyfat, "T1 dataset!C3:D3")}},
        {1030, {Fill(kBodyfat, "T1 dataset!A5:D34")}},
        {1100, {Copy(kBodyfat, "T1 dataset 1")}},
        {1205, {Fill(kBodyfat, "T1 dataset 2!D19")}},
        {2017, {Fill(kYield, "T2-1 dataset!A1")}},
        {2018, {Fill(kYield, "T2-1 dataset!A3:C3")}},
        {2019, {Fill(kYield, "T2-1 dataset!A4:C21")}},
        {2050, {Copy(kYield, "T2-1 dataset 1")}},
        {2067, {Fill(kYield, "T2-1 dataset!E1")}},
        {2068, {Fill(kYield, "T2-1 dataset!E4:H4"), Fill(kYield, "T2-1 dataset!E3:H3", false)}},
        {2069, {Fill(kYield, "T2-1 dataset!E5:H9")}},
        {2109, {Fill(kYield, "T2-1 dataset 2!E3")}},
        {2110, {Copy(kYield, "T2-1 dataset 2")}},
        {2239,
         {Fill(kYield2, "T2-2 dataset!A1"), Fill(kYield2, "T2-2 dataset!A3:D3"), Fill(kYield2, "T2-2 dataset!A4:D39")}},
        {2240, {Copy(kYield2, "T2-2 dataset 1")}},
        {2248, {Fill(kYield2, "T2-2 dataset!F1")}},
        {2249, {Fill(kYield2, "T2-2 dataset!G4:J4"), Fill(kYield2, "T2-2 dataset!G3")}},
        {2268, {Fill(kYield2, "T2-2 dataset!F4")}},
        {2269,
         {Fill(kYield2, "T2-2 dataset!F5", false), Fill(kYield2, "T2-2 dataset!F8", false),
          Fill(kYield2, "T2-2 dataset!F11", false)}},
        {2278,
         {Fill(kYield2, "T2-2 dataset!G5:J7"), Fill(kYield2, "T2-2 dataset!G8:J10"),
          Fill(kYield2, "T2-2 dataset!G11:J13")}},
        {2279, {Fill(kYield2, "T2-2 dataset!F3")}},
        {2300, {Copy(kYield2, "T2-2 dataset")}},
        {3018,
         {Fill(kAd, "T3-1 dataset!A1"), Fill(kAd, "T3-1 dataset!A4:C4"), Fill(kAd, "T3-1 dataset!A3:C3", false),
          Fill(kAd, "T3-1 dataset!A5:A18")}},
        {3019, {Fill(kAd, "T3-1 dataset!B5:C18")}},
        {3020, {Copy(kAd, "T3-1 dataset 1")}},
        {3030, {Copy(kAd, "T3-1 dataset 1")}},
        {3051,
         {Fill(kAd, "T3-1 dataset!E1"), Fill(kAd, "T3-1 dataset!F4:G4"), Fill(kAd, "T3-1 dataset!F3"),
          Fill(kAd, "T3-1 dataset!E4"), Fill(kAd, "T3-1 dataset!E5:E6", false)}},
        {3052,
         {Fill(kAd, "T3-1 dataset!F5"), Fill(kAd, "T3-1 dataset!F6"), Fill(kAd, "T3-1 dataset!G5"),
          Fill(kAd, "T3-1 dataset!G6")}},
        {3053, {Fill(kAd, "T3-1 dataset!E3")}},
        {3070, {Copy(kAd, "T3-1 dataset 2")}},
        {3110, {Copy(kSales, "T3-2 dataset")}},
    };
    return table;
}

constexpr int kFirstExample = 30020;
constexpr const char* kExamples[] = {
    "Kappa.xlsx",    "BiasPlot.xlsx", "Deming.xlsx",   "Passing.xlsx", "RefIntvl.xlsx", "ROCcurve.xlsx",
    "Screen.xlsx",   "Precsn.xlsx",   "PrecsnPf.xlsx", "polyreg.xlsx", "lreg.xlsx",     "nonpcorr.xlsx",
    "sign.xlsx",     "mcnemar.xlsx",  "cochranq.xlsx", "chisq.xlsx",   "fisher.xlsx",   "binomial.xlsx",
    "ANOVA1w.xlsx",  "ANOVA1wr.xlsx", "2indep.xlsx",   "ANOVA2w.xlsx", "2paired.xlsx",  "compdesc.xlsx",
    "contdesc.xlsx", "catdesc.xlsx",  "runs.xlsx",
};
constexpr int kExampleCount = static_cast<int>(sizeof kExamples / sizeof kExamples[0]);

constexpr int kTutorials = 5;
constexpr int kOpenStep = 100;  // 100, 200 ... 500 open tutorials 1 to 5
constexpr int kStepsPerTutorial = 1000;
constexpr int kEnd = 0, kRestart = 1, kFirstStep = 2, kLastStep = 9999;

}  // namespace

const std::vector<TutorialAction>& TutorialActions(int step) {
    static const std::vector<TutorialAction> none;
    auto it = StepTable().find(step);
    return it == StepTable().end() ? none : it->second;
}

std::string ExampleWorkbook(int number) {
    int i = number - kFirstExample;
    return i >= 0 && i < kExampleCount ? kExamples[i] : std::string();
}

void TutorialDriver::Card(int number) {
    if (number >= kOpenStep && number <= kTutorials * kOpenStep && number % kOpenStep == 0) {
        // Opening a tutorial makes it the current one: its first step replays everything before it.
        // The learner's workbook is made by that step, so that opening a topic (the welcome at
        // start-up among them) leaves the learner's workbooks alone.
        int tutorial = number / kOpenStep;
        ops_.ShowTutorialTopic(kFirstTopic + tutorial, true);
        current_ = tutorial * kStepsPerTutorial;
        started_ = false;
        demo_ = false;
    } else if (number == kEnd) {
        current_ = 0;
        started_ = false;
    } else if (number == kRestart) {
        current_ = 0;
        started_ = false;
        ops_.ShowTutorialTopic(kFirstTopic + 1, false);
    } else if (number >= kFirstStep && number <= kLastStep) {
        PerformUpTo(number, false);
    } else if (number > kDemoOffset && number < kDemoOffset + 2 * kDemoOffset) {
        PerformUpTo(number - kDemoOffset, true);
    } else if (std::string file = ExampleWorkbook(number); !file.empty()) {
        ops_.OpenExample(file);
    }
}

void TutorialDriver::PerformUpTo(int step, bool demo) {
    int tutorial = step / kStepsPerTutorial;
    if (tutorial < 1 || tutorial > kTutorials) return;  // no such tutorial
    demo_ = demo;
    try {
        if (tutorial != current_ / kStepsPerTutorial) {
            started_ = false;
            current_ = step - 1;
        } else if (started_ && !ops_.TutorialOpen()) {
            // The learner closed the workbook: a new one gets every step of the tutorial so far.
            started_ = false;
            current_ = tutorial * kStepsPerTutorial;
        }
        if (!started_) {
            ops_.StartTutorial(tutorial);
            started_ = true;
        }
        ops_.SetHelpVisible(false);
        // Steps after the current one up to `step`; going back performs nothing.
        while (current_ < step) {
            ++current_;
            for (const TutorialAction& action : TutorialActions(current_)) ops_.Perform(action, demo);
        }
        ops_.SetHelpVisible(true);
    } catch (const std::exception& e) {
        char text[512];
        std::snprintf(text, sizeof text, kUnexpected, e.what());
        ops_.ShowError(text);
        ops_.SetHelpVisible(true);
    }
}

}  // namespace qs
