#include "addin/ui/dialog_run_test.h"

#include <algorithm>
#include <cmath>

#include "addin/framework/test.h"
#include "addin/host/messages.h"
#include "addin/host/settings.h"
#include "addin/resources/string_ids.h"

namespace qs {

namespace {
constexpr int kMargin = 7;
constexpr int kButtonWidth = 50, kButtonHeight = 14;
constexpr int kLabelHeight = 8;
constexpr int kListRows = 4;           // a variable list shows this many entries
constexpr int kLabelIdOffset = 20000;  // the caption of item control `id` is `id + kLabelIdOffset`
constexpr int kPercentIdOffset = 30000;

std::vector<VariableChoice> DatasetVariables(Parameters& p) {
    if (!p.dataset) return {};
    return ListVariables(*p.dataset);
}

int OptionCount(uint32_t word) { return static_cast<int>((word >> 15) & 0x1F); }
bool OptionEnabled(uint32_t word, int i) { return (word >> (20 + i)) & 1; }

// The options a choice lists (its enabled options) with the option index of each. Options filled at
// run time are all offered.
std::vector<std::string> OfferedOptions(const ParameterItem& item, std::vector<int>* indexes) {
    std::vector<std::string> texts;
    if (indexes) indexes->clear();
    if (!item.options.empty()) {
        for (size_t k = 0; k < item.options.size(); ++k) {
            texts.push_back(item.options[k]);
            if (indexes) indexes->push_back(static_cast<int>(k));
        }
        return texts;
    }
    unsigned first = item.optionWord & 0x7FFF;
    for (int k = 0; k < OptionCount(item.optionWord); ++k)
        if (OptionEnabled(item.optionWord, k)) {
            texts.push_back(LoadString(first + static_cast<unsigned>(k)).str());
            if (indexes) indexes->push_back(k);
        }
    return texts;
}

SettingsKey UserKey() { return SettingsKey(SettingsRoot::CurrentUser, kQuelstatKey); }
}  // namespace

// --- Variable list ---------------------------------------------------------------------------------

DialogRunTest::VariableList::VariableList(const std::vector<VariableChoice>& all, unsigned mask) {
    for (const VariableChoice& c : all)
        if (c.mask & mask) entries.push_back(c);
}

int DialogRunTest::VariableList::Level(int row) const {
    int level = 0;
    const std::string& name = entries[row].name;
    for (size_t at = name.find(" - "); at != std::string::npos; at = name.find(" - ", at + 3)) ++level;
    return level;
}

int DialogRunTest::VariableList::IndexOf(const VariableChoice& choice) const {
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i] == choice) return static_cast<int>(i);
    return -1;
}

// --- Dialog ----------------------------------------------------------------------------------------

DialogRunTest::DialogRunTest(Parameters& p, const CellRange& sel)
    : Dialog("run-test", p.test.Name().str()),
      parameters(p),
      selection(sel),
      m_variables(DatasetVariables(p)),
      m_allVariables(m_variables, ~0u) {
    helpCards = UserKey().ReadNumber("", "HelpCards", 1) != 0;
    Add<ControlButton>(kIdOK, "OK");
    Add<ControlButton>(kIdCancel, "Cancel");
    Build();
    Layout();
    if (Refresh(true)) Update(Parameters::kUpdate);
    // Focus starts on the first control after Cancel in tab order.
    for (const Slot& s : m_slots)
        if (Control* c = Find(s.id); c && c->visible) {
            SetFocus(s.id);
            break;
        }
}

DialogRunTest::~DialogRunTest() = default;

int DialogRunTest::TextWidth(const std::string& text) {
    return 4 * static_cast<int>(CharacterCount(WithoutAccelerators(text)));
}

Control* DialogRunTest::ItemControl(size_t item) const {
    return item < m_slots.size() ? Find(m_slots[item].id) : nullptr;
}

void DialogRunTest::Build() {
    for (const Slot& s : m_slots) {
        Remove(s.id);
        Remove(s.id + kLabelIdOffset);
        Remove(s.id + kPercentIdOffset);
    }
    m_slots.clear();
    for (const ParameterItem& item : parameters.items) {
        Slot s;
        s.descriptor = item.descriptor;
        s.kind = item.descriptor->Kind();
        s.id = static_cast<int>(item.descriptor->label);
        while (Find(s.id)) s.id += 40000;  // two items with one label keep their controls apart
        const std::string caption = item.label + ":";
        const uint16_t word = item.descriptor->word;
        switch (s.kind) {
            case kKindNumber: {
                Add<ControlStatic>(s.id + kLabelIdOffset, caption);
                int sub = word & kParamSubKindMask;
                if (sub == 2) {
                    Add<ControlFieldNumeric>(s.id, caption, 2, 1, false);
                    Add<ControlStatic>(s.id + kPercentIdOffset, "%");
                } else if (sub == 3) {
                    Add<ControlFieldNumeric>(s.id, caption, 0, 6, false);
                } else {
                    // Sub-kind 1 holds quantities that cannot be negative (deviations, orders).
                    Add<ControlFieldNumeric>(s.id, caption, 10, 4, sub == 0);
                }
                break;
            }
            case kKindChoice: {
                Add<ControlStatic>(s.id + kLabelIdOffset, caption);
                s.data = std::make_unique<StringListData>();
                Add<ControlDropdownList>(s.id, caption, s.data.get());
                break;
            }
            case kKindHypothesis:
                Add<ControlStatic>(s.id + kLabelIdOffset, caption);
                Add<ControlHypothesis>(s.id, caption);
                break;
            case kKindVariable: {
                Add<ControlStatic>(s.id + kLabelIdOffset, caption);
                const unsigned mask = static_cast<const VariableDescriptor*>(item.descriptor)->Requirement();
                if (word & kParamSeveral) {
                    s.data = std::make_unique<VariableList>(m_variables, mask);
                    Add<ControlList>(s.id, caption, s.data.get()).multiple = true;
                } else {
                    Add<ControlDropdownList>(s.id, caption, &m_allVariables, mask);
                }
                break;
            }
            case kKindCheckBox: Add<ControlCheckBox>(s.id, item.label); break;
            default: break;
        }
        m_slots.push_back(std::move(s));
    }
}

void DialogRunTest::Layout() {
    const Metrics m = kMetrics;
    labelColumn = 0;
    controlColumn = 0;
    for (size_t i = 0; i < m_slots.size(); ++i) {
        const ParameterItem& item = parameters.items[i];
        if (item.hidden) continue;
        switch (m_slots[i].kind) {
            case kKindNumber:
                labelColumn = std::max(labelColumn, TextWidth(item.label + ":") + 4);
                controlColumn = std::max(controlColumn, 68);
                break;
            case kKindChoice: {
                labelColumn = std::max(labelColumn, TextWidth(item.label + ":") + 4);
                int widest = 0;
                for (const std::string& text : OfferedOptions(item, nullptr))
                    widest = std::max(widest, TextWidth(text));
                controlColumn = std::max(controlColumn, widest + 22);
                break;
            }
            case kKindCheckBox: controlColumn = std::max(controlColumn, 13); break;
            default: break;  // hypothesis and variables take rows of their own
        }
    }
    contentWidth = std::max(labelColumn + controlColumn + 12, kMinContentWidth);

    int y = kMargin;
    const int x = kMargin;
    for (size_t i = 0; i < m_slots.size(); ++i) {
        const Slot& s = m_slots[i];
        const bool hidden = parameters.items[i].hidden;
        Control* c = Find(s.id);
        Control* caption = Find(s.id + kLabelIdOffset);
        Control* percent = Find(s.id + kPercentIdOffset);
        for (Control* k : {c, caption, percent})
            if (k) k->visible = !hidden;
        if (hidden || !c) {
            for (Control* k : {c, caption, percent})
                if (k) k->rect = {};
            continue;
        }
        switch (s.kind) {
            case kKindNumber:
            case kKindChoice: {
                caption->rect = {x, y + 3, labelColumn, kLabelHeight};
                int width = s.kind == kKindNumber ? 68 : controlColumn;
                c->rect = {x + labelColumn, y, width, m.control};
                if (percent) percent->rect = {x + labelColumn + width + 2, y + 3, 8, kLabelHeight};
                y += m.row;
                break;
            }
            case kKindCheckBox:
                c->rect = {x, y, contentWidth, m.control};
                y += m.row;
                break;
            case kKindHypothesis:
            case kKindVariable: {
                caption->rect = {x, y, contentWidth, kLabelHeight};
                y += kLabelHeight + 2;
                bool list = dynamic_cast<ControlList*>(c) != nullptr;
                int h = list ? kListRows * (m.control - 6) + 4 : m.control;
                c->rect = {x, y, contentWidth, h};
                y += h + (m.row - m.control);
                break;
            }
            default: break;
        }
    }
    int buttonsX = x + contentWidth + m.gap;
    Find(kIdOK)->rect = {buttonsX, kMargin, kButtonWidth, kButtonHeight};
    Find(kIdCancel)->rect = {buttonsX, kMargin + kButtonHeight + 4, kButtonWidth, kButtonHeight};
    width = buttonsX + kButtonWidth + kMargin;
    height = std::max(y + kMargin - (m.row - m.control), 2 * kButtonHeight + 4 + 2 * kMargin);
    helpCard = {width, 0, kHelpCardWidth, height};
}

bool DialogRunTest::Refresh(bool all) {
    bool again = false;
    m_refreshing = true;
    for (size_t i = 0; i < m_slots.size(); ++i) {
        if (!Bound(i)) continue;
        ParameterItem& item = parameters.items[i];
        Slot& s = m_slots[i];
        // Variables whose groups come from one variable are checked against each other every time.
        const bool groupsOfOne = s.kind == kKindVariable && (item.descriptor->word & kParamGroupsOfOne);
        if (item.hidden || (!all && !item.changed && !groupsOfOne)) continue;
        Control* c = Find(s.id);
        if (!c) continue;
        const ParameterValue& v = item.value;
        switch (s.kind) {
            case kKindNumber:
                static_cast<ControlFieldNumeric*>(c)->SetValue(v.type == kValueNumber ? v.number : NAN);
                break;
            case kKindChoice: {
                // The list holds the enabled options; a value counts every option before it.
                auto* data = static_cast<StringListData*>(s.data.get());
                data->texts = OfferedOptions(item, &s.options);
                auto* box = static_cast<ControlDropdownList*>(c);
                box->selectedRow = -1;
                if (v.type == kValueWhole && std::isfinite(v.number)) {
                    // The value counts every option; the list only the offered ones.
                    int value = static_cast<int>(v.number), disabledBefore = 0;
                    if (item.options.empty())
                        for (int k = 0; k < value && k < 12; ++k)
                            if (!OptionEnabled(item.optionWord, k)) ++disabledBefore;
                    int row = value - disabledBefore;
                    if (row >= 0 && row < data->Rows() && s.options[row] == value) box->selectedRow = row;
                }
                break;
            }
            case kKindHypothesis: {
                auto* h = static_cast<ControlHypothesis*>(c);
                h->SetTexts(item.hypothesisLeft, item.hypothesisRight);
                int value = v.type == kValueWhole && std::isfinite(v.number) ? static_cast<int>(v.number) : 0;
                h->selected = value >= 0 && value <= 2 ? value : 0;
                break;
            }
            case kKindVariable: {
                const uint16_t word = item.descriptor->word;
                const unsigned mask = static_cast<const VariableDescriptor*>(item.descriptor)->Requirement();
                if (auto* box = dynamic_cast<ControlDropdownList*>(c)) {
                    // With groups from one variable, the entry must sit under the parent of the one
                    // chosen in an earlier such item.
                    const std::string* parent = (word & kParamGroupsOfOne) ? ParentChosenBefore(i) : nullptr;
                    auto fits = [&](int r) {
                        return (m_allVariables.RowMask(r) & mask) &&
                               (!parent || m_allVariables.entries[r].Parent() == *parent);
                    };
                    int row = -1;
                    if (v.type == kValueVariables && !v.variables.empty()) row = m_allVariables.IndexOf(v.variables[0]);
                    if (row < 0 || !fits(row)) {
                        // Nothing chosen, gone or refused: the last listed variable that suits the item.
                        bool had = row >= 0;
                        row = -1;
                        for (int r = m_allVariables.Rows() - 1; r >= 0 && row < 0; --r)
                            if (fits(r)) row = r;
                        if (row >= 0 || had) again = true;
                    }
                    box->selectedRow = row;
                } else if (auto* list = dynamic_cast<ControlList*>(c)) {
                    auto* data = static_cast<VariableList*>(s.data.get());
                    list->selection.clear();
                    std::string parent;
                    bool first = true;
                    for (const VariableChoice& chosen : v.variables) {
                        int row = data->IndexOf(chosen);
                        if (row < 0) {
                            again = true;
                            continue;
                        }
                        // Groups come from one variable: one under another parent is refused.
                        if (word & kParamGroupsOfOne) {
                            if (first)
                                parent = chosen.Parent();
                            else if (chosen.Parent() != parent) {
                                again = true;
                                continue;
                            }
                        }
                        first = false;
                        list->selection.push_back(row);
                    }
                }
                break;
            }
            case kKindCheckBox:
                static_cast<ControlCheckBox*>(c)->checked = v.type == kValueBoolean && v.number == 1;
                break;
            default: break;
        }
    }
    m_refreshing = false;
    return again;
}

bool DialogRunTest::Bound(size_t i) const {
    return i < m_slots.size() && i < parameters.items.size() && parameters.items[i].descriptor == m_slots[i].descriptor;
}

void DialogRunTest::ReadControls() {
    for (size_t i = 0; i < m_slots.size(); ++i) {
        if (!Bound(i)) continue;
        ParameterItem& item = parameters.items[i];
        Slot& s = m_slots[i];
        Control* c = Find(s.id);
        if (item.hidden || !c) continue;
        ParameterValue& v = item.value;
        switch (s.kind) {
            case kKindNumber:
                v.type = kValueNumber;
                v.number = static_cast<ControlFieldNumeric*>(c)->GetValue();
                break;
            case kKindChoice: {
                int row = static_cast<ControlDropdownList*>(c)->selectedRow;
                if (row >= 0 && row < static_cast<int>(s.options.size())) {
                    v.type = kValueWhole;
                    v.number = s.options[row];
                }
                break;
            }
            case kKindHypothesis:
                v.type = kValueWhole;
                v.number = static_cast<ControlHypothesis*>(c)->selected;
                break;
            case kKindVariable: {
                v.type = kValueVariables;
                v.variables.clear();
                if (auto* box = dynamic_cast<ControlDropdownList*>(c)) {
                    if (box->selectedRow >= 0) v.variables.push_back(m_allVariables.entries[box->selectedRow]);
                } else if (auto* list = dynamic_cast<ControlList*>(c)) {
                    auto* data = static_cast<VariableList*>(s.data.get());
                    for (int row : list->selection) v.variables.push_back(data->entries[row]);
                }
                break;
            }
            case kKindCheckBox:
                v.type = kValueBoolean;
                v.number = static_cast<ControlCheckBox*>(c)->checked ? 1 : 0;
                break;
            default: break;
        }
    }
}

void DialogRunTest::Update(Parameters::Mode mode) {
    ReadControls();
    parameters.Run(mode);
    bool rebuilt = parameters.layoutChanged;
    if (rebuilt) Build();
    Layout();  // options filled at run time may have changed the widest text
    // A control that could not show its item's value (a variable that is not offered, a group of
    // another variable) has changed the selection: the parameters hear of it once more.
    if (Refresh(rebuilt)) {
        ReadControls();
        parameters.Run(Parameters::kUpdate);
        if (parameters.layoutChanged) {
            Build();
            Layout();
            Refresh(true);
        } else {
            Refresh(false);
        }
    }
}

const std::string* DialogRunTest::ParentChosenBefore(size_t item) const {
    for (size_t k = item; k-- > 0;) {
        const ParameterItem& before = parameters.items[k];
        if (before.hidden || before.descriptor->Kind() != kKindVariable ||
            !(before.descriptor->word & kParamGroupsOfOne))
            continue;
        if (before.value.type == kValueVariables && !before.value.variables.empty()) {
            m_parent = before.value.variables[0].Parent();
            return &m_parent;
        }
    }
    return nullptr;
}

void DialogRunTest::OnChange(Control& c, bool) {
    if (c.id == kIdOK || c.id == kIdCancel) return;
    Update(c.id == ids::kLabelAlternativeHypothesis ? Parameters::kUpdateHypothesis : Parameters::kUpdate);
}

void DialogRunTest::OnOK() {
    ReadControls();
    try {
        parameters.Run(Parameters::kCheck);  // raises the first failing check's message
    } catch (CException* e) {
        // The focus goes to the control of the item the message names (checks name their item).
        // The longest label wins ("Variable - Groups" over "Variable").
        char text[kMessageLimit + 1];
        if (e->GetErrorMessage(text, sizeof text)) {
            size_t best = 0;
            for (size_t i = 0; i < m_slots.size(); ++i) {
                if (!Bound(i)) continue;
                const ParameterItem& item = parameters.items[i];
                if (!item.hidden && item.label.size() > best &&
                    std::string(text).find(item.label) != std::string::npos) {
                    best = item.label.size();
                    SetFocus(m_slots[i].id);
                }
            }
        }
        // A pass cut short may have left items it had begun to declare: settle them before the
        // user goes on.
        bool aligned = parameters.items.size() == m_slots.size();
        for (size_t i = 0; aligned && i < m_slots.size(); ++i) aligned = Bound(i);
        if (!aligned) {
            int focus = Focus();
            try {
                parameters.Run(Parameters::kUpdate);
            } catch (CException* again) {
                again->Delete();
            }
            Build();
            Layout();
            Refresh(true);
            if (Find(focus)) SetFocus(focus);
        }
        throw;
    }
    parameters.RememberDefaults();
    SaveHelpCards();
    End(kIdOK);
}

void DialogRunTest::OnCancel() {
    SaveHelpCards();
    End(kIdCancel);
}

void DialogRunTest::SaveHelpCards() const { UserKey().WriteNumber("", "HelpCards", helpCards ? 1 : 0); }

bool ShowRunTestDialog(Parameters& parameters, const CellRange& selection) {
    DialogRunTest dialog(parameters, selection);
    return dialog.Run() == kIdOK;
}

}  // namespace qs
