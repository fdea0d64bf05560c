// The test parameter dialog. It has no fixed layout: one row of controls per parameter item of the
// test's Parameters, bound both ways. Every change a person makes is read into the parameters, the
// parameters update (and may show, hide or change items), and the controls of the changed items are
// refreshed. OK runs the checking pass; a failing check shows its message and the dialog stays open.
#pragma once

#include <memory>
#include <vector>

#include "addin/framework/parameters.h"
#include "addin/ui/dialog.h"

namespace qs {

class DialogRunTest : public Dialog {
public:
    // The dataset's variables as a tree: a name is split at each " - " into levels. Each entry
    // carries the variable's use mask; a list made for one item holds only the entries that suit it.
    class VariableList : public ControlListData {
    public:
        VariableList(const std::vector<VariableChoice>& all, unsigned mask);
        std::vector<VariableChoice> entries;
        std::string CellText(int row, int) const override { return entries[row].name; }
        int Rows() const override { return static_cast<int>(entries.size()); }
        unsigned RowMask(int row) const override { return entries[row].mask; }
        int Level(int row) const override;
        int IndexOf(const VariableChoice& choice) const;  // -1 when not listed
    };

    // Layout metrics of this host: row height, control height, gap.
    struct Metrics {
        int row, control, gap;
    };
    static constexpr Metrics kMetrics{21, 16, 8};
    static constexpr int kMinContentWidth = 210, kHelpCardWidth = 170;

    DialogRunTest(Parameters& parameters, const CellRange& selection);
    ~DialogRunTest() override;

    Parameters& parameters;
    CellRange selection;
    bool helpCards = true;  // the help-card window beside the dialog is shown
    Rect helpCard;
    int labelColumn = 0, controlColumn = 0, contentWidth = 0;

    // The control of item i (null when the item has none yet).
    Control* ItemControl(size_t item) const;
    // Text widths in dialog units (an average character is 4 units wide).
    static int TextWidth(const std::string& text);

protected:
    void OnChange(Control& c, bool click) override;
    void OnOK() override;
    void OnCancel() override;

private:
    struct Slot {
        ParameterDescriptor* descriptor = nullptr;
        int kind = 0;
        int id = 0;                             // the control's id (the item's label id)
        std::unique_ptr<ControlListData> data;  // options or variables of this item
        std::vector<int> options;               // choices: option index of each listed entry
    };

    void Build();   // controls for the items, in item order
    void Layout();  // positions; hidden items take no room
    // Item values into the controls (every item, or only the changed ones); true when a control
    // could not show its item's value as it is and the parameters must hear of it again.
    bool Refresh(bool all);
    void ReadControls();            // control values into the items
    bool Bound(size_t slot) const;  // the slot's control stands for item `slot` as it is now
    void Update(Parameters::Mode mode);
    void SaveHelpCards() const;
    // The parent entry of the variable chosen in the nearest earlier visible variable item whose
    // groups come from one variable (null when none).
    const std::string* ParentChosenBefore(size_t item) const;

    std::vector<VariableChoice> m_variables;  // the dataset's variables, tree order
    VariableList m_allVariables;
    std::vector<Slot> m_slots;  // one per item
    mutable std::string m_parent;
};

// Shows the dialog for a test's parameters; true when confirmed (the checking pass has passed and
// the remembered values are stored).
bool ShowRunTestDialog(Parameters& parameters, const CellRange& selection);

}  // namespace qs
