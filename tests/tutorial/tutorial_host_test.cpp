// The tutorial's work in the host, in this process: the learner's workbook, fills from the master
// workbook and the highlights of a demonstration, looked at while each line is highlighted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addin/host/addin_services.h"
#include "addin/tutorial/tutorial_host.h"
#include "tests/dataset/dataset_harness.h"

namespace {

using dstest::HostTest;

class TutorialHostTest : public HostTest {
protected:
    // The built installation's system folder (master workbook and examples).
    qs::TutorialHost host{std::string(QUELSTAT_SYSTEM) + "/", std::string(QUELSTAT_SYSTEM) + "/tutorial.hlp"};
};

sheets::FillPattern PatternAt(const sheets::Sheet& s, uint32_t row, uint32_t col) {
    return s.workbook()->formats().Get(s.Get(row, col).format).fill.pattern;
}

TEST_F(TutorialHostTest, ADemonstrationHighlightsEachLineAsItArrives) {
    host.StartTutorial(1);
    ASSERT_FALSE(host.LearnerBook().empty());
    ASSERT_FALSE(host.MasterBook().empty());
    // The learner's workbook is in front, on the tutorial's first sheet, at zoom 80.
    EXPECT_EQ(docs->ActiveBook()->name(), host.LearnerBook());
    EXPECT_EQ(Sheet().name(), "T1 dataset");
    EXPECT_EQ(Sheet().view().zoom, 80u);

    std::vector<std::string> seen;  // the selection and its look at each pause
    host.pause = [&](int) {
        sheets::Sheet& s = Sheet();
        const sheets::RangeAddress& sel = s.view().selection.at(0);
        std::string line = std::to_string(sel.first.row) + ":" + std::to_string(sel.first.col) + "-" +
                           std::to_string(sel.last.row) + ":" + std::to_string(sel.last.col);
        bool lit = PatternAt(s, sel.first.row, sel.first.col) == sheets::FillPattern::Solid;
        bool filled = !s.Get(sel.first.row, sel.first.col).ToValue().IsEmpty();
        seen.push_back(line + (lit ? " lit" : "") + (filled ? " filled" : ""));
    };
    host.Perform({qs::TutorialAction::Kind::Fill, "Bodyfat dataset", "T1 dataset!A4:D4", true}, true);
    EXPECT_EQ(seen, (std::vector<std::string>{"3:0-3:0 lit filled", "3:1-3:1 lit filled", "3:2-3:2 lit filled",
                                              "3:3-3:3 lit filled"}));
    // Afterwards the cells look as in the master; the whole range is selected.
    for (uint32_t c = 0; c < 4; ++c) EXPECT_NE(PatternAt(Sheet(), 3, c), sheets::FillPattern::Solid);
    EXPECT_EQ(Sheet().Get(3, 3).ToValue().text, "Bioimpedance");
    EXPECT_EQ(Sheet().view().selection.at(0), (sheets::RangeAddress{{3, 0}, {3, 3}}));

    // By rows and without demonstration: no pauses.
    seen.clear();
    host.Perform({qs::TutorialAction::Kind::Fill, "Bodyfat dataset", "T1 dataset!A5:D6", false}, false);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(Sheet().Get(5, 0).ToValue().text, "S02");
}

TEST_F(TutorialHostTest, OpeningATutorialShowsItsTopicAndPlacesTheWindow) {
    std::vector<std::string> shown;
    auto previous = qs::Services().showHelp;
    qs::Services().showHelp = [&](const std::string& file, int command, long context) {
        shown.push_back(file + " " + std::to_string(command) + " " + std::to_string(context));
    };
    host.ShowTutorialTopic(30002, true);
    host.ShowTutorialTopic(30001, false);
    qs::Services().showHelp = previous;
    std::string help = std::string(QUELSTAT_SYSTEM) + "/tutorial.hlp>tutorial 1 ";
    EXPECT_EQ(shown, (std::vector<std::string>{help + "30002", help + "30001"}));
    const auto& window = xlm::Host::Get().appWindow;
    EXPECT_EQ(window.left, 200);
    EXPECT_EQ(window.top, 135);
    EXPECT_EQ(window.width, 640);
    EXPECT_EQ(window.height, xlm::Host::Get().Options().screenHeight);  // kept
}

TEST_F(TutorialHostTest, AMissingMasterWorkbookIsNamed) {
    qs::TutorialHost elsewhere("/nonexistent/system/", "/nonexistent/system/tutorial.hlp");
    try {
        elsewhere.StartTutorial(2);
        ADD_FAILURE() << "no failure";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "The tutorial workbook /nonexistent/system/tutorial.xlsx is missing.");
    }
}

TEST_F(TutorialHostTest, CopiedSheetsReplaceAndMissingSheetsAreMade) {
    NewBook();  // the learner's own work, open before the tutorial
    std::string own = docs->ActiveBook()->name();
    host.StartTutorial(1);
    host.Perform({qs::TutorialAction::Kind::CopySheet, "Bodyfat dataset", "T1 dataset 1", true}, false);
    host.Perform({qs::TutorialAction::Kind::CopySheet, "Bodyfat dataset", "T1 dataset 1", true}, false);
    sheets::Workbook* learner = docs->FindBook(host.LearnerBook());
    ASSERT_NE(learner, nullptr);
    ASSERT_EQ(learner->sheet_count(), 2u);  // replaced, not added twice
    EXPECT_EQ(learner->sheet(1).name(), "T1 dataset 1");
    EXPECT_EQ(learner->sheet(1).view().zoom, 80u);
    EXPECT_EQ(learner->sheet(1).Get(33, 0).ToValue().text, "S30");
    // A fill into a sheet the learner lacks starts from the master's ready-made sheet of that name.
    host.Perform({qs::TutorialAction::Kind::Fill, "Bodyfat dataset", "T1 dataset 2!D19", true}, false);
    const sheets::Sheet* fixed = learner->FindSheet("T1 dataset 2");
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->Get(18, 3).ToValue(), learner->sheet(1).Get(18, 3).ToValue());
    EXPECT_EQ(fixed->Get(17, 3).ToValue(), learner->sheet(1).Get(17, 3).ToValue());
    // A bad step names its problem.
    try {
        host.Perform({qs::TutorialAction::Kind::Fill, "No such dataset", "T1 dataset!A1", true}, false);
        ADD_FAILURE() << "no failure";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "The tutorial workbook has no sheet No such dataset.");
    }
    // Closing the learner's workbook is noticed (the driver then makes it again).
    EXPECT_TRUE(host.TutorialOpen());
    std::string error;
    ASSERT_TRUE(docs->Select("'T1 dataset'!A1", error)) << error;
    docs->ActiveBook()->set_dirty(false);
    ASSERT_TRUE(docs->Close(error)) << error;
    EXPECT_FALSE(host.TutorialOpen());
    // The learner's own workbook comes to the front, not the hidden master workbook.
    EXPECT_EQ(docs->ActiveBook()->name(), own);
    try {
        host.Perform({qs::TutorialAction::Kind::Fill, "Bodyfat dataset", "T1 dataset!A1", true}, false);
        ADD_FAILURE() << "no failure";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "The tutorial's workbooks are not open.");
    }
}

}  // namespace

namespace {

TEST(TutorialHighlight, SixHundredMillisecondsUnlessTheHostSaysOtherwise) {
    ::unsetenv("QUELSTAT_HIGHLIGHT_MS");
    EXPECT_EQ(qs::TutorialHost::HighlightMilliseconds(), 600);
    for (const char* bad : {"", "fast", "-5", "20000", "12ms"}) {
        ::setenv("QUELSTAT_HIGHLIGHT_MS", bad, 1);
        EXPECT_EQ(qs::TutorialHost::HighlightMilliseconds(), 600) << bad;
    }
    ::setenv("QUELSTAT_HIGHLIGHT_MS", "0", 1);
    EXPECT_EQ(qs::TutorialHost::HighlightMilliseconds(), 0);
    ::setenv("QUELSTAT_HIGHLIGHT_MS", "50", 1);
    EXPECT_EQ(qs::TutorialHost::HighlightMilliseconds(), 50);
    ::unsetenv("QUELSTAT_HIGHLIGHT_MS");
}

}  // namespace
