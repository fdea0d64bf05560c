// The tutorial driver's rules: opening, replaying skipped steps, switching tutorials, demonstration
// mode, examples and errors, against a recording stand-in for the host.
#include <gtest/gtest.h>

#include <stdexcept>

#include "addin/tutorial/tutorial_driver.h"

namespace qs {
namespace {

struct Recorder : TutorialOperations {
    std::vector<std::string> log;
    bool failFills = false;
    bool open = true;
    bool TutorialOpen() const override { return open; }
    void ShowTutorialTopic(long context, bool place) override {
        log.push_back("topic " + std::to_string(context) + (place ? " placed" : ""));
    }
    void StartTutorial(int t) override { log.push_back("start " + std::to_string(t)); }
    void SetHelpVisible(bool v) override { log.push_back(v ? "help shown" : "help hidden"); }
    void Perform(const TutorialAction& a, bool demo) override {
        if (failFills) throw std::runtime_error("no master workbook");
        std::string kind = a.kind == TutorialAction::Kind::Fill ? (a.byColumns ? "fill " : "fill rows ") : "copy ";
        log.push_back(kind + a.masterSheet + " -> " + a.target + (demo ? " (demo)" : ""));
    }
    void OpenExample(const std::string& f) override { log.push_back("example " + f); }
    void ShowError(const std::string& t) override { log.push_back("error " + t); }
    std::vector<std::string> Take() { return std::exchange(log, {}); }
};

TEST(TutorialDriver, OpeningThenAStepReplaysTheStepsBeforeIt) {
    Recorder ops;
    TutorialDriver driver(ops);
    driver.Card(100);
    // Opening shows the topic; the learner's workbook comes with the first step.
    EXPECT_EQ(ops.Take(), (std::vector<std::string>{"topic 30001 placed"}));
    driver.Card(1030);
    EXPECT_EQ(ops.Take(), (std::vector<std::string>{
                              "start 1",
                              "help hidden",
                              "fill Bodyfat dataset -> T1 dataset!A1",
                              "fill Bodyfat dataset -> T1 dataset!A4:D4",
                              "fill Bodyfat dataset -> T1 dataset!C3:D3",
                              "fill Bodyfat dataset -> T1 dataset!A5:D34",
                              "help shown",
                          }));
    EXPECT_EQ(driver.CurrentStep(), 1030);
    driver.Card(1030);  // again: nothing
    driver.Card(1020);  // back: nothing
    EXPECT_EQ(ops.Take(), (std::vector<std::string>{"help hidden", "help shown", "help hidden", "help shown"}));
    EXPECT_EQ(driver.CurrentStep(), 1030);
}

TEST(TutorialDriver, AnotherTutorialsStepStartsItAfresh) {
    Recorder ops;
    TutorialDriver driver(ops);
    driver.Card(100);
    driver.Card(1010);
    ops.Take();
    driver.Card(2017);
    EXPECT_EQ(ops.Take(), (std::vector<std::string>{"start 2", "help hidden", "fill Yield dataset -> T2-1 dataset!A1",
                                                    "help shown"}));
    driver.Card(2068);
    std::vector<std::string> log = ops.Take();
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(log[3], "copy Yield dataset -> T2-1 dataset 1");
    EXPECT_EQ(log[6], "fill rows Yield dataset -> T2-1 dataset!E3:H3");
}

TEST(TutorialDriver, DemonstrationEndRestartExamplesAndErrors) {
    Recorder ops;
    TutorialDriver driver(ops);
    driver.Card(11010);
    EXPECT_TRUE(driver.Demonstrating());
    EXPECT_EQ(ops.Take(), (std::vector<std::string>{"start 1", "help hidden",
                                                    "fill Bodyfat dataset -> T1 dataset!A1 (demo)", "help shown"}));
    driver.Card(0);
    EXPECT_EQ(driver.CurrentStep(), 0);
    driver.Card(1);
    EXPECT_EQ(ops.Take(), (std::vector<std::string>{"topic 30001"}));
    driver.Card(30046);
    driver.Card(30020);
    driver.Card(30047);  // not in the table
    driver.Card(30019);
    driver.Card(7001);  // no tutorial 7
    EXPECT_EQ(ops.Take(), (std::vector<std::string>{"example runs.xlsx", "example Kappa.xlsx"}));
    EXPECT_EQ(ExampleWorkbook(30038), "ANOVA1w.xlsx");

    ops.failFills = true;
    driver.Card(3019);
    EXPECT_EQ(ops.Take(),
              (std::vector<std::string>{
                  "start 3", "help hidden",
                  "error Tutorial cannot demonstrate actions because of an unexpected error. no master workbook",
                  "help shown"}));
}

TEST(TutorialDriver, AClosedLearnersWorkbookIsMadeAgainWithTheStepsSoFar) {
    Recorder ops;
    TutorialDriver driver(ops);
    driver.Card(100);
    driver.Card(1010);
    ops.Take();
    ops.open = false;  // the learner closed "Tutorial 1"
    driver.Card(1020);
    EXPECT_EQ(ops.Take(), (std::vector<std::string>{"start 1", "help hidden", "fill Bodyfat dataset -> T1 dataset!A1",
                                                    "fill Bodyfat dataset -> T1 dataset!A4:D4",
                                                    "fill Bodyfat dataset -> T1 dataset!C3:D3", "help shown"}));
}

TEST(TutorialDriver, StepTable) {
    EXPECT_TRUE(TutorialActions(1011).empty());
    EXPECT_EQ(TutorialActions(3020), TutorialActions(3030));
    EXPECT_EQ(TutorialActions(3110).at(0).target, "T3-2 dataset");
    EXPECT_EQ(TutorialActions(2269).size(), 3u);
    EXPECT_FALSE(TutorialActions(2269).at(2).byColumns);
}

}  // namespace
}  // namespace qs
