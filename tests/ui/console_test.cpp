// The console front end answering a dialog from --set style answers, through the control events.
#include <cmath>
#include <sstream>

#include <gtest/gtest.h>

#include "addin/host/messages.h"
#include "addin/ui/dialog.h"
#include "app/dialog_console.h"
#include "platform/msgbox.h"

namespace {

class Form : public qs::Dialog {
public:
    Form()
        : Dialog("run-test", "Independent samples t-test"),
          options({"99%", "95%", "90%"}),
          variables({"Weight", "Weight - A", "Weight - B", "Height - A", "Height - B", "Height - C"}) {
        Add<qs::ControlButton>(qs::kIdOK, "OK");
        Add<qs::ControlButton>(qs::kIdCancel, "Cancel");
        Add<qs::ControlFieldNumeric>(10, "Hypothesised mean:", 10, 4, true);
        Add<qs::ControlFieldNumeric>(11, "Confidence interval:", 2, 1);
        Add<qs::ControlDropdownList>(12, "Level:", &options);
        Add<qs::ControlHypothesis>(13, "Alternative hypothesis:").SetTexts("A", "B");
        auto& list = Add<qs::ControlList>(14, "Variable - Groups:", &variables);
        list.multiple = true;
        Add<qs::ControlCheckBox>(15, "Unequal variances");
        Add<qs::ControlCheckBox>(16, "Hidden option").visible = false;
    }
    qs::StringListData options, variables;
    int changes = 0;

protected:
    void OnChange(qs::Control&, bool) override { ++changes; }
    void OnOK() override {
        double level = FindAs<qs::ControlFieldNumeric>(11)->GetValue();
        if (!(level > 50 && level < 100)) qs::ThrowMessage(6015, "%s", "Confidence interval");
        End(qs::kIdOK);
    }
};

std::string g_box;
int Box(const char* text, unsigned, unsigned) {
    g_box = text;
    return qs::IDOK;
}

TEST(ConsoleFrontEnd, AnswersByLabelThroughTheControls) {
    Form form;
    app::DialogAnswers a;
    a.set = {{"hypothesised MEAN", "-2.5"},
             {"Confidence interval", "90"},
             {"Level", "99"},
             {"Alternative hypothesis", "greater than"},
             {"Variable - Groups", "Weight - A, weight - b"},
             {"Unequal variances", "yes"}};
    std::ostringstream trace;
    app::DialogProblems problems;
    EXPECT_EQ(app::AnswerDialog(form, a, &trace, problems), qs::kIdOK);
    EXPECT_FALSE(problems.Any()) << (problems.refused.empty() ? "" : problems.refused[0]);
    EXPECT_DOUBLE_EQ(form.FindAs<qs::ControlFieldNumeric>(10)->GetValue(), -2.5);
    EXPECT_EQ(form.FindAs<qs::ControlDropdownList>(12)->selectedRow, 0);
    EXPECT_EQ(form.FindAs<qs::ControlHypothesis>(13)->selected, 2);
    EXPECT_EQ(form.FindAs<qs::ControlList>(14)->selection, (std::vector<int>{1, 2}));
    EXPECT_TRUE(form.FindAs<qs::ControlCheckBox>(15)->checked);
    EXPECT_GT(form.changes, 6);  // every keystroke and choice was a change
    std::string shown = trace.str();
    EXPECT_NE(shown.find("dialog \"Independent samples t-test\""), std::string::npos);
    EXPECT_NE(shown.find("[11] field \"Confidence interval:\" = \"90\" enabled visible\n"), std::string::npos);
    EXPECT_NE(shown.find("[16] check box \"Hidden option\" = \"0\" enabled hidden\n"), std::string::npos);
}

TEST(ConsoleFrontEnd, NumbersAreTypedAsTheFieldTakesThem) {
    Form form;
    form.Add<qs::ControlFieldNumeric>(20, "Hypothesised proportion", 0, 6);
    app::DialogAnswers a;
    a.set = {{"Confidence interval", "095.50"}, {"Hypothesised proportion", "0.250"}, {"Hypothesised mean", "+7"}};
    app::DialogProblems problems;
    EXPECT_EQ(app::AnswerDialog(form, a, nullptr, problems), qs::kIdOK);
    EXPECT_TRUE(problems.refused.empty()) << problems.refused[0];
    EXPECT_EQ(form.FindAs<qs::ControlField>(11)->Text(), "95.5");
    EXPECT_EQ(form.FindAs<qs::ControlField>(20)->Text(), ".25");
    EXPECT_EQ(form.FindAs<qs::ControlField>(10)->Text(), "7");
}

TEST(ConsoleFrontEnd, ReportsWhatItCouldNotAnswer) {
    Form form;
    app::DialogAnswers a;
    a.set = {{"Confidence interval", "90"},
             {"Confidence level", "90"},          // no such control
             {"Hidden option", "yes"},            // not visible
             {"Hypothesised mean", "1e5"},        // "e" is not typed
             {"Variable - Groups", "B"},          // Weight - B or Height - B
             {"Variable - Groups", "C, Weight"},  // unambiguous
             {"Alternative hypothesis", "bigger"},
             {"Unequal variances", "perhaps"}};
    app::DialogProblems problems;
    app::AnswerDialog(form, a, nullptr, problems);
    EXPECT_EQ(problems.unmatched, (std::vector<std::string>{"Confidence level", "Hidden option"}));
    ASSERT_EQ(problems.refused.size(), 4u);
    EXPECT_EQ(problems.refused[0], "Hypothesised mean: \"1e5\" cannot be typed here (the field took \"15\")");
    EXPECT_EQ(problems.refused[1], "Variable - Groups: \"B\" is ambiguous: \"Weight - B\" \"Height - B\"");
    EXPECT_EQ(form.FindAs<qs::ControlList>(14)->selection, (std::vector<int>{5, 0}));
}

TEST(ConsoleFrontEnd, RefusedOKShowsTheMessageAndCancels) {
    qs::MessageBoxFrontEnd previous = qs::SetMessageBoxFrontEnd(&Box);
    Form form;
    app::DialogAnswers a;
    a.set = {{"Confidence interval", "100"}};  // the field takes "10", which OK refuses
    app::DialogProblems problems;
    EXPECT_EQ(app::AnswerDialog(form, a, nullptr, problems), qs::kIdCancel);
    EXPECT_EQ(problems.failedOK, 1);
    EXPECT_EQ(problems.refused.size(), 1u);
    EXPECT_NE(g_box.find("Confidence interval"), std::string::npos);
    qs::SetMessageBoxFrontEnd(previous);
}

TEST(ConsoleFrontEnd, InstalledFrontEndAnswersDialogsAndTracesMessageBoxes) {
    app::DialogAnswers a;
    a.set = {{"Confidence interval", "80"}};
    a.trace = true;
    std::ostringstream trace;
    app::InstallConsoleDialogs(a, trace);
    Form form;
    EXPECT_EQ(form.Run(), qs::kIdOK);
    EXPECT_DOUBLE_EQ(form.FindAs<qs::ControlFieldNumeric>(11)->GetValue(), 80);
    testing::internal::CaptureStderr();
    EXPECT_EQ(platform::MessageBox("Quelstat", "Something to say", platform::MB_YESNO), platform::IDYES);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Quelstat: Something to say\n");
    EXPECT_NE(trace.str().find("message box: Something to say"), std::string::npos);
    app::RemoveConsoleDialogs();
    // Without the front end the dialog is confirmed as it stands: an empty level is refused.
    Form plain;
    testing::internal::CaptureStderr();
    EXPECT_EQ(plain.Run(), qs::kIdCancel);
    testing::internal::GetCapturedStderr();
}

}  // namespace
