// The control library: typing and display rules of numeric fields, list data and drop-down
// filtering, in-place editing, the hypothesis box, and how a dialog routes a person's events.
#include <cmath>

#include <gtest/gtest.h>

#include "addin/host/messages.h"
#include "addin/ui/dialog.h"

namespace {

using qs::ControlFieldNumeric;

// Types each character; returns the characters that were refused.
std::string TypeAll(qs::ControlField& f, const std::string& text) {
    std::string refused;
    for (char c : text)
        if (!f.Type(std::string(1, c))) refused += c;
    return refused;
}

TEST(NumericField, TypingRulesOfAPercentageField) {
    ControlFieldNumeric f(1, "Confidence interval", 2, 1);
    EXPECT_EQ(f.limit, 4u);  // 2 digits, point, 1 decimal
    EXPECT_EQ(TypeAll(f, "95.5"), "");
    EXPECT_EQ(f.Text(), "95.5");
    EXPECT_DOUBLE_EQ(f.GetValue(), 95.5);
    EXPECT_FALSE(f.Type("5"));  // a second decimal
    f.Clear();
    EXPECT_EQ(TypeAll(f, "100"), "0");  // a third digit before the point
    EXPECT_EQ(f.Text(), "10");
    EXPECT_FALSE(f.Type("-"));         // no negatives
    EXPECT_EQ(TypeAll(f, ".."), ".");  // one point only
    EXPECT_FALSE(f.Type("e"));
    EXPECT_FALSE(f.Type(","));
    EXPECT_TRUE(f.Type("\b"));
    EXPECT_TRUE(f.Type("\b"));
    EXPECT_EQ(f.Text(), "1");
}

TEST(NumericField, SignOnlyAtTheStartAndPointOnlyWithDecimals) {
    ControlFieldNumeric mean(1, "Hypothesised mean", 10, 4, true);
    EXPECT_EQ(mean.limit, 16u);
    EXPECT_EQ(TypeAll(mean, "-12.3456"), "");
    EXPECT_DOUBLE_EQ(mean.GetValue(), -12.3456);
    mean.Clear();
    EXPECT_EQ(TypeAll(mean, "5-"), "-");
    mean.Clear();
    EXPECT_EQ(TypeAll(mean, "12345678901"), "1");  // eleven digits before the point
    EXPECT_EQ(TypeAll(mean, ".12345"), "5");
    ControlFieldNumeric whole(2, "ID", 10, 0);
    EXPECT_EQ(whole.limit, 10u);
    EXPECT_EQ(TypeAll(whole, "-3.5"), "-.");
    EXPECT_EQ(whole.Text(), "35");
    ControlFieldNumeric fraction(3, "Hypothesised proportion", 0, 6);
    EXPECT_EQ(TypeAll(fraction, "0.25"), "0");  // no digit before the point
    EXPECT_EQ(fraction.Text(), ".25");
    EXPECT_DOUBLE_EQ(fraction.GetValue(), 0.25);
}

TEST(NumericField, DisplayAndReading) {
    ControlFieldNumeric f(1, "x", 10, 3);
    f.SetValue(2.5);
    EXPECT_EQ(f.Text(), "2.5");
    f.SetValue(3);
    EXPECT_EQ(f.Text(), "3");
    f.SetValue(-0.125);
    EXPECT_EQ(f.Text(), "-0.125");
    f.SetValue(1.0 / 3);
    EXPECT_EQ(f.Text(), "0.333");
    f.SetValue(std::nan(""));
    EXPECT_EQ(f.Text(), "");
    EXPECT_TRUE(std::isnan(f.GetValue()));
    f.SetValue(INFINITY);
    EXPECT_EQ(f.Text(), "");
    f.SetText("  42.5 ");
    EXPECT_DOUBLE_EQ(f.GetValue(), 42.5);
    f.SetText("-");
    EXPECT_TRUE(std::isnan(f.GetValue()));  // a sign alone is not a number yet

    ControlFieldNumeric kept(2, "x", 10, 3, false, true);
    kept.SetValue(2.5);
    EXPECT_EQ(kept.Text(), "2.500");
    ControlFieldNumeric fraction(3, "p", 0, 6);
    fraction.SetValue(0.25);
    EXPECT_EQ(fraction.Text(), ".25");
    fraction.SetValue(0);
    EXPECT_EQ(fraction.Text(), "0");
    ControlFieldNumeric whole(4, "n", 1, 0);
    whole.SetValue(2);
    EXPECT_EQ(whole.Text(), "2");
}

TEST(StringField, LimitCountsCharactersNotBytes) {
    qs::ControlFieldString f(1, "Name", 4);
    EXPECT_TRUE(f.Type("\xC2\xB5"));  // µ
    EXPECT_EQ(TypeAll(f, "mol"), "");
    EXPECT_FALSE(f.Type("s"));
    EXPECT_EQ(f.Text(), "\xC2\xB5mol");
    EXPECT_TRUE(f.Type("\b"));
    EXPECT_TRUE(f.Type("\b"));
    EXPECT_TRUE(f.Type("\b"));
    EXPECT_EQ(f.Text(), "\xC2\xB5");
    EXPECT_TRUE(f.Type("\b"));
    EXPECT_EQ(f.Text(), "");  // the two-byte character goes at once
    EXPECT_FALSE(f.Type("\x01"));
}

class MaskedData : public qs::ControlListData {
public:
    std::vector<std::pair<std::string, unsigned>> rows{
        {"Weight", 4}, {"Sex", 1 | 128}, {"Grade", 2 | 128}, {"Notes", 8}};
    std::string CellText(int row, int) const override { return rows[row].first; }
    int Rows() const override { return static_cast<int>(rows.size()); }
    unsigned RowMask(int row) const override { return rows[row].second; }
};

TEST(DropdownList, PopupListsOnlyEntriesMatchingTheMask) {
    MaskedData data;
    qs::ControlDropdownList box(7, "Factor", &data, 128);
    platform::DialogControl d = box.Describe();
    EXPECT_EQ(d.items, (std::vector<std::string>{"Sex", "Grade"}));
    EXPECT_TRUE(box.Choose(1));
    EXPECT_EQ(box.selectedRow, 2);
    EXPECT_EQ(box.SelectedText(), "Grade");
    EXPECT_FALSE(box.Choose(2));
    box.mask = ~0u;
    d = box.Describe();
    EXPECT_EQ(d.items.size(), 4u);
    EXPECT_EQ(d.selected, std::vector<int>{2});
    box.mask = 4;
    EXPECT_TRUE(box.Describe().selected.empty());  // the chosen entry is filtered out
}

TEST(Hypothesis, SignsAreSymbolCharactersShownAsTheirMeaning) {
    qs::ControlHypothesis h(5024, "Alternative hypothesis");
    h.SetTexts("\xCE\xBC", "10");  // μ
    EXPECT_EQ(h.ItemText(0), "\xCE\xBC \xE2\x89\xA0 10");
    EXPECT_EQ(h.ItemText(1), "\xCE\xBC \xE2\x89\xA4 10");
    EXPECT_EQ(h.ItemText(2), "\xCE\xBC \xE2\x89\xA5 10");
    EXPECT_EQ(qs::ControlHypothesis::kSymbolSigns[0], 0xB9);
    EXPECT_EQ(qs::ControlHypothesis::kSymbolSigns[1], 0xA3);
    EXPECT_EQ(qs::ControlHypothesis::kSymbolSigns[2], 0xB3);
    EXPECT_FALSE(h.Choose(3));
    EXPECT_TRUE(h.Choose(2));
    EXPECT_EQ(h.Describe().value, h.ItemText(2));
}

// A grid of numbers: column 0 takes whole numbers, a commit of a duplicate is refused with a message.
class NumberGrid : public qs::ControlListData {
public:
    std::vector<int> values{1, 2};
    std::string shown;
    std::string CellText(int row, int) const override {
        return row < static_cast<int>(values.size()) ? std::to_string(values[row]) : "";
    }
    int Rows() const override { return static_cast<int>(values.size()) + 1; }
    std::unique_ptr<qs::ControlField> CreateEditor(int, int column, const qs::Rect&) override {
        if (column != 0) return nullptr;
        return std::make_unique<qs::ControlFieldNumeric>(0, "ID", 10, 0);
    }
    bool Commit(int row, int, qs::ControlField& editor) override {
        int v = static_cast<int>(static_cast<qs::ControlFieldNumeric&>(editor).GetValue());
        for (int x : values)
            if (x == v) {
                shown = "taken";
                return false;
            }
        if (row == static_cast<int>(values.size()))
            values.push_back(v);
        else
            values[row] = v;
        return true;
    }
    void DeleteRow(int row) override { values.erase(values.begin() + row); }
};

TEST(EditList, EditsGoThroughTheDataEditorAndCommit) {
    NumberGrid data;
    qs::ControlEditList grid(1084, "Categories", &data, {"ID"}, {60});
    EXPECT_TRUE(grid.EditCell(2, 0, "7.5"));  // the point is refused by the editor: 75
    EXPECT_EQ(data.values, (std::vector<int>{1, 2, 75}));
    EXPECT_FALSE(grid.EditCell(0, 0, "2"));
    EXPECT_EQ(data.shown, "taken");
    EXPECT_FALSE(grid.EditCell(0, 1, "x"));  // no editor for that column
    EXPECT_FALSE(grid.EditCell(9, 0, "1"));
    EXPECT_TRUE(grid.DeleteRow(0));
    EXPECT_EQ(data.values, (std::vector<int>{2, 75}));
    platform::DialogControl d = grid.Describe();
    EXPECT_EQ(d.kind, platform::ControlKind::Grid);
    EXPECT_EQ(d.items, (std::vector<std::string>{"2", "75", ""}));
}

class Recorder : public qs::Dialog {
public:
    Recorder() : Dialog("test", "Recorder") {
        Add<qs::ControlButton>(qs::kIdOK, "OK");
        Add<qs::ControlButton>(qs::kIdCancel, "Cancel");
        Add<ControlFieldNumeric>(10, "Value", 3, 0);
        Add<qs::ControlCheckBox>(11, "Flag");
        Add<qs::ControlRadio>(12, "A", 1);
        Add<qs::ControlRadio>(13, "B", 1);
        Add<qs::ControlCheckBox>(14, "Off").enabled = false;
        Add<qs::ControlCheckBox>(15, "Hidden").visible = false;
    }
    std::vector<std::pair<int, bool>> changes;
    bool refuseOK = true;

protected:
    void OnChange(qs::Control& c, bool click) override { changes.emplace_back(c.id, click); }
    void OnOK() override {
        if (refuseOK) qs::ThrowMessage(6015, "%s", "Value");
        End(qs::kIdOK);
    }
};

int g_boxes = 0;
std::string g_lastBox;
int CountBox(const char* text, unsigned, unsigned) {
    ++g_boxes;
    g_lastBox = text;
    return qs::IDOK;
}

TEST(DialogEvents, ChangesAreReportedAndRefusedEventsAreNot) {
    Recorder d;
    EXPECT_EQ(platform::TypeText(d, 10, "12a"), 1);
    // Clearing and each accepted keystroke are changes of their own.
    EXPECT_EQ(d.changes, (std::vector<std::pair<int, bool>>{{10, false}, {10, false}, {10, false}}));
    d.changes.clear();
    EXPECT_TRUE(d.Click(11));
    EXPECT_FALSE(d.Click(14));  // disabled
    EXPECT_FALSE(d.Click(15));  // hidden
    EXPECT_FALSE(d.Click(99));
    EXPECT_EQ(d.changes, (std::vector<std::pair<int, bool>>{{11, true}}));
    d.Click(12);
    d.Click(13);
    EXPECT_FALSE(d.FindAs<qs::ControlRadio>(12)->checked);
    EXPECT_TRUE(d.FindAs<qs::ControlRadio>(13)->checked);
}

TEST(DialogEvents, WithoutAFrontEndAFailingOKShowsItsMessageAndCancels) {
    qs::MessageBoxFrontEnd previous = qs::SetMessageBoxFrontEnd(&CountBox);
    g_boxes = 0;
    Recorder d;
    EXPECT_EQ(d.Run(), qs::kIdCancel);
    EXPECT_EQ(g_boxes, 1);
    EXPECT_NE(g_lastBox.find("Value"), std::string::npos);
    Recorder ok;
    ok.refuseOK = false;
    EXPECT_EQ(ok.Run(), qs::kIdOK);
    EXPECT_FALSE(ok.Click(11));  // a closed dialog takes no events
    qs::SetMessageBoxFrontEnd(previous);
}

TEST(DialogEvents, AFrontEndDrivesTheModel) {
    platform::DialogHandler previous = platform::SetDialogHandler([](platform::DialogModel& m) {
        EXPECT_EQ(m.Title(), "Recorder");
        std::vector<platform::DialogControl> controls = m.Controls();
        EXPECT_EQ(controls.size(), 8u);
        EXPECT_EQ(controls[2].label, "Value");
        platform::TypeText(m, 10, "7");
        m.Click(1);
        return m.Result();
    });
    qs::MessageBoxFrontEnd box = qs::SetMessageBoxFrontEnd(&CountBox);
    Recorder d;
    d.refuseOK = false;
    EXPECT_EQ(d.Run(), qs::kIdOK);
    EXPECT_EQ(d.FindAs<ControlFieldNumeric>(10)->GetValue(), 7);
    // A front end that returns with the dialog still open has cancelled it.
    platform::SetDialogHandler([](platform::DialogModel&) { return 1; });
    Recorder open;
    EXPECT_EQ(open.Run(), qs::kIdCancel);
    platform::SetDialogHandler(previous);
    qs::SetMessageBoxFrontEnd(box);
}

}  // namespace
