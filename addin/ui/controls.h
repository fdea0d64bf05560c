// The controls of the add-in's dialogs. A control keeps what a person sees (caption, text, entries,
// selection, enabled and visible state) and takes the events a person causes; the dialog it belongs
// to hears of every change. Nothing here draws: a front end shows the dialog through
// platform::DialogModel.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/dialog.h"

namespace qs {

class Dialog;

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

// Number of characters (UTF-8 code points) in a text.
size_t CharacterCount(const std::string& text);
// The text without "&" accelerator marks ("&&" stays one "&").
std::string WithoutAccelerators(const std::string& text);

class Control {
public:
    Control(int id, platform::ControlKind kind, std::string label = {});
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    int id;
    platform::ControlKind kind;
    std::string label;
    bool enabled = true;
    bool visible = true;
    Rect rect;
    Dialog* dialog = nullptr;

    virtual platform::DialogControl Describe() const;

    // Events; false when the control does not take them. A control that took an event has changed.
    virtual bool Clear() { return false; }
    virtual bool Type(const std::string& /*character*/) { return false; }
    virtual bool Choose(int /*index*/) { return false; }
    virtual bool SelectItems(const std::vector<int>& /*indexes*/) { return false; }
    virtual bool Click() { return false; }
    virtual bool EditCell(int /*row*/, int /*column*/, const std::string& /*text*/) { return false; }
    virtual bool DeleteRow(int /*row*/) { return false; }
};

class ControlStatic : public Control {
public:
    ControlStatic(int id, std::string text) : Control(id, platform::ControlKind::Static, std::move(text)) {}
};

class ControlButton : public Control {
public:
    ControlButton(int id, std::string text) : Control(id, platform::ControlKind::Button, std::move(text)) {}
    bool Click() override { return true; }
};

// A push button showing a picture (the host's look); behaves as a button.
class ControlBitmapButton : public ControlButton {
public:
    ControlBitmapButton(int id, std::string text, int bitmap) : ControlButton(id, std::move(text)), bitmap(bitmap) {}
    int bitmap;
};

class ControlCheckBox : public Control {
public:
    ControlCheckBox(int id, std::string text) : Control(id, platform::ControlKind::CheckBox, std::move(text)) {}
    bool checked = false;
    platform::DialogControl Describe() const override;
    bool Click() override;
};

// A radio button; clicking it unticks the other buttons of its group.
class ControlRadio : public Control {
public:
    ControlRadio(int id, std::string text, int group)
        : Control(id, platform::ControlKind::Radio, std::move(text)), group(group) {}
    int group;
    bool checked = false;
    platform::DialogControl Describe() const override;
    bool Click() override;
};

// An edit field. Each typed character is offered to Accepts with the text as it would be after it.
class ControlField : public Control {
public:
    ControlField(int id, std::string label, size_t limit);
    size_t limit;  // characters

    const std::string& Text() const { return m_text; }
    void SetText(const std::string& text) { m_text = text; }

    platform::DialogControl Describe() const override;
    bool Clear() override;
    // A character, or "\b" for backspace (removes the last character).
    bool Type(const std::string& character) override;

protected:
    // Whether `character` may be typed with the caret at the end of the text `before`, giving `after`.
    virtual bool Accepts(const std::string& before, const std::string& character, const std::string& after) const;
    std::string m_text;
};

class ControlFieldString : public ControlField {
public:
    ControlFieldString(int id, std::string label, size_t maxLength) : ControlField(id, std::move(label), maxLength) {}
};

// A field for a number: at most `digits` digits before the decimal point and `decimals` after it,
// a leading "-" when negatives are allowed.
class ControlFieldNumeric : public ControlField {
public:
    ControlFieldNumeric(int id, std::string label, int digits, int decimals, bool negatives = false,
                        bool keepTrailingZeros = false);
    int digits;
    int decimals;
    bool negatives;
    bool keepTrailingZeros;

    // The number typed (NaN when the field is empty or holds no number).
    double GetValue() const;
    // Shows a number: empty for NaN and infinities.
    void SetValue(double value);
    // The text SetValue shows for a value.
    std::string Format(double value) const;

protected:
    bool Accepts(const std::string& before, const std::string& character, const std::string& after) const override;
};

// The data behind a list: rows of cells, editing, and for drop-downs a use mask per row.
class ControlListData {
public:
    virtual ~ControlListData();
    virtual std::string CellText(int row, int column) const = 0;
    // An editor for the cell, or null when the cell cannot be edited.
    virtual std::unique_ptr<ControlField> CreateEditor(int row, int column, const Rect& cell);
    // Takes the editor's text into the cell; on refusal shows the message and returns false.
    virtual bool Commit(int row, int column, ControlField& editor);
    virtual void AppendRow();
    virtual void DeleteRow(int row);

    virtual int Rows() const = 0;
    virtual int Columns() const { return 1; }
    // What an entry can be used for (matched against a drop-down's mask).
    virtual unsigned RowMask(int /*row*/) const { return ~0u; }
    // Depth of an entry in a tree (0 at the top).
    virtual int Level(int /*row*/) const { return 0; }
};

// A list of fixed texts.
class StringListData : public ControlListData {
public:
    explicit StringListData(std::vector<std::string> texts = {}) : texts(std::move(texts)) {}
    std::vector<std::string> texts;
    std::string CellText(int row, int) const override { return texts[row]; }
    int Rows() const override { return static_cast<int>(texts.size()); }
};

// A list over ControlListData: selection of one entry, or of several.
class ControlList : public Control {
public:
    ControlList(int id, std::string label, ControlListData* data, std::vector<std::string> headings = {},
                std::vector<int> widths = {});
    ControlListData* data;
    std::vector<std::string> headings;
    std::vector<int> widths;
    bool multiple = false;
    std::vector<int> selection;  // rows

    platform::DialogControl Describe() const override;
    bool Choose(int index) override;
    bool SelectItems(const std::vector<int>& indexes) override;

protected:
    std::string RowText(int row) const;
};

// A list whose cells are edited in place: the data makes an editor for the cell, the typed text goes
// through the editor's typing rules, and the data commits it.
class ControlEditList : public ControlList {
public:
    using ControlList::ControlList;
    platform::DialogControl Describe() const override;
    bool EditCell(int row, int column, const std::string& text) override;
    bool DeleteRow(int row) override;
    Rect CellRect(int row, int column) const;
};

// The popup of a drop-down: the entries whose use mask meets the drop-down's mask.
class ControlDropdownList_List {
public:
    ControlDropdownList_List(const ControlListData& data, unsigned mask);
    std::vector<int> rows;       // data rows in list order
    int IndexOf(int row) const;  // -1 when filtered out
};

// A closed box showing the chosen entry; its popup lists the entries that pass the mask.
class ControlDropdownList : public Control {
public:
    ControlDropdownList(int id, std::string label, ControlListData* data, unsigned mask = ~0u);
    ControlListData* data;
    unsigned mask;
    int selectedRow = -1;  // data row, -1 none

    ControlDropdownList_List Popup() const { return ControlDropdownList_List(*data, mask); }
    platform::DialogControl Describe() const override;
    bool Choose(int index) override;  // index in the popup
    std::string SelectedText() const;
};

// The alternative-hypothesis box: three entries, each the left text, a relation sign and the right
// text. The signs are characters of the Symbol font; a front end shows them as their Unicode meaning.
class ControlHypothesis : public Control {
public:
    ControlHypothesis(int id, std::string label);
    static constexpr unsigned char kSymbolSigns[3] = {0xB9, 0xA3, 0xB3};  // not equal, at most, at least
    static const char* SignText(unsigned char symbolCharacter);           // "≠", "≤", "≥"
    static constexpr int kListFontSize = 13, kBoxFontSize = 14;

    std::string left, right;
    int selected = 0;
    std::string ItemText(int item) const;
    void SetTexts(const std::string& leftText, const std::string& rightText) { left = leftText, right = rightText; }

    platform::DialogControl Describe() const override;
    bool Choose(int index) override;
};

}  // namespace qs
