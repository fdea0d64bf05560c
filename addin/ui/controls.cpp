#include "addin/ui/controls.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "addin/ui/dialog.h"

namespace qs {

namespace {
bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

std::string Trimmed(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return {};
    size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}
}  // namespace

size_t CharacterCount(const std::string& text) {
    size_t n = 0;
    for (unsigned char c : text)
        if (!IsContinuation(c)) ++n;
    return n;
}

std::string WithoutAccelerators(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') out += '&', ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}

// --- Control ---------------------------------------------------------------------------------------

Control::Control(int id, platform::ControlKind kind, std::string label) : id(id), kind(kind), label(std::move(label)) {}
Control::~Control() = default;

platform::DialogControl Control::Describe() const {
    platform::DialogControl d;
    d.id = id;
    d.kind = kind;
    d.label = WithoutAccelerators(label);
    d.enabled = enabled;
    d.visible = visible;
    d.x = rect.x, d.y = rect.y, d.width = rect.width, d.height = rect.height;
    return d;
}

platform::DialogControl ControlCheckBox::Describe() const {
    platform::DialogControl d = Control::Describe();
    d.value = checked ? "1" : "0";
    return d;
}

bool ControlCheckBox::Click() {
    checked = !checked;
    return true;
}

platform::DialogControl ControlRadio::Describe() const {
    platform::DialogControl d = Control::Describe();
    d.value = checked ? "1" : "0";
    return d;
}

bool ControlRadio::Click() {
    if (dialog)
        for (Control* c : dialog->ControlsInOrder())
            if (auto* r = dynamic_cast<ControlRadio*>(c); r && r != this && r->group == group) r->checked = false;
    checked = true;
    return true;
}

// --- Fields ----------------------------------------------------------------------------------------

ControlField::ControlField(int id, std::string label, size_t limit)
    : Control(id, platform::ControlKind::Field, std::move(label)), limit(limit) {}

platform::DialogControl ControlField::Describe() const {
    platform::DialogControl d = Control::Describe();
    d.value = m_text;
    return d;
}

bool ControlField::Clear() {
    m_text.clear();
    return true;
}

bool ControlField::Type(const std::string& character) {
    if (character.empty()) return false;
    std::string after = m_text;
    if (character == "\b") {
        while (!after.empty() && IsContinuation(static_cast<unsigned char>(after.back()))) after.pop_back();
        if (!after.empty()) after.pop_back();
    } else {
        if (character != "\t" && static_cast<unsigned char>(character[0]) < 0x20) return false;
        if (character == "\t") return true;  // moves the focus; the text stays
        after += character;
        if (CharacterCount(after) > limit) return false;
    }
    if (!Accepts(m_text, character, after)) return false;
    m_text = std::move(after);
    return true;
}

bool ControlField::Accepts(const std::string&, const std::string&, const std::string&) const { return true; }

ControlFieldNumeric::ControlFieldNumeric(int id, std::string label, int digits, int decimals, bool negatives,
                                         bool keepTrailingZeros)
    : ControlField(id, std::move(label), 0),
      digits(digits),
      decimals(decimals),
      negatives(negatives),
      keepTrailingZeros(keepTrailingZeros) {
    limit = static_cast<size_t>(digits + decimals + (decimals > 0 ? 1 : 0) + (negatives ? 1 : 0));
}

bool ControlFieldNumeric::Accepts(const std::string& before, const std::string& character,
                                  const std::string& after) const {
    char c = character.size() == 1 ? character[0] : 0;
    if (c == '.') {
        if (decimals <= 0 || before.find('.') != std::string::npos) return false;
    } else if (c == '-') {
        // The caret is at the end of the text; a sign goes only at the start.
        return negatives && before.empty();
    } else if (!((c >= '0' && c <= '9') || c == '\b')) {
        return false;
    }
    std::string body = after;
    if (!body.empty() && body[0] == '-') body.erase(0, 1);
    size_t point = body.find('.');
    size_t whole = point == std::string::npos ? body.size() : point;
    size_t frac = point == std::string::npos ? 0 : body.size() - point - 1;
    return whole <= static_cast<size_t>(digits) && frac <= static_cast<size_t>(decimals);
}

double ControlFieldNumeric::GetValue() const {
    std::string t = Trimmed(m_text);
    if (t.empty()) return std::numeric_limits<double>::quiet_NaN();
    // The field takes digits, one point and a sign only, so the C locale's reading is the field's.
    char* end = nullptr;
    double v = std::strtod(t.c_str(), &end);
    if (end == t.c_str() || *end != '\0') return std::numeric_limits<double>::quiet_NaN();
    return v;
}

std::string ControlFieldNumeric::Format(double value) const {
    if (!std::isfinite(value)) return {};
    char buf[400];
    std::snprintf(buf, sizeof buf, "%*.*f", digits, decimals, value);
    std::string s = Trimmed(buf);
    if (!keepTrailingZeros && s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0') s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    if (digits == 0) {
        if (s.rfind("0.", 0) == 0)
            s.erase(0, 1);
        else if (s.rfind("-0.", 0) == 0)
            s.erase(1, 1);
    }
    if (s == "-0") s = "0";
    return s;
}

void ControlFieldNumeric::SetValue(double value) { m_text = Format(value); }

// --- Lists -----------------------------------------------------------------------------------------

ControlListData::~ControlListData() = default;
std::unique_ptr<ControlField> ControlListData::CreateEditor(int, int, const Rect&) { return nullptr; }
bool ControlListData::Commit(int, int, ControlField&) { return false; }
void ControlListData::AppendRow() {}
void ControlListData::DeleteRow(int) {}

ControlList::ControlList(int id, std::string label, ControlListData* data, std::vector<std::string> headings,
                         std::vector<int> widths)
    : Control(id, platform::ControlKind::List, std::move(label)),
      data(data),
      headings(std::move(headings)),
      widths(std::move(widths)) {}

std::string ControlList::RowText(int row) const {
    std::string s;
    for (int c = 0; c < data->Columns(); ++c) s += (c ? "\t" : "") + data->CellText(row, c);
    return s;
}

platform::DialogControl ControlList::Describe() const {
    platform::DialogControl d = Control::Describe();
    d.multiple = multiple;
    for (int r = 0; r < data->Rows(); ++r) d.items.push_back(RowText(r));
    d.selected = selection;
    return d;
}

bool ControlList::Choose(int index) {
    if (index < 0 || index >= data->Rows()) return false;
    selection = {index};
    return true;
}

bool ControlList::SelectItems(const std::vector<int>& indexes) {
    if (!multiple && indexes.size() > 1) return false;
    for (int i : indexes)
        if (i < 0 || i >= data->Rows()) return false;
    selection = indexes;
    return true;
}

platform::DialogControl ControlEditList::Describe() const {
    platform::DialogControl d = ControlList::Describe();
    d.kind = platform::ControlKind::Grid;
    return d;
}

Rect ControlEditList::CellRect(int row, int column) const {
    Rect r{rect.x, rect.y + 10 * (row + 1), 0, 10};
    for (int c = 0; c < column && c < static_cast<int>(widths.size()); ++c) r.x += widths[c];
    r.width = column < static_cast<int>(widths.size()) ? widths[column] : 50;
    return r;
}

bool ControlEditList::EditCell(int row, int column, const std::string& text) {
    if (row < 0 || row >= data->Rows() || column < 0 || column >= data->Columns()) return false;
    std::unique_ptr<ControlField> editor = data->CreateEditor(row, column, CellRect(row, column));
    if (!editor) return false;
    editor->SetText(data->CellText(row, column));
    editor->Clear();
    for (size_t i = 0; i < text.size();) {
        size_t n = 1;
        while (i + n < text.size() && IsContinuation(static_cast<unsigned char>(text[i + n]))) ++n;
        // A character the editor refuses is not typed; the edit goes on, as it does for a person.
        editor->Type(text.substr(i, n));
        i += n;
    }
    selection = {row};
    return data->Commit(row, column, *editor);
}

bool ControlEditList::DeleteRow(int row) {
    if (row < 0 || row >= data->Rows()) return false;
    data->DeleteRow(row);
    selection.clear();
    return true;
}

ControlDropdownList_List::ControlDropdownList_List(const ControlListData& data, unsigned mask) {
    for (int r = 0; r < data.Rows(); ++r)
        if (data.RowMask(r) & mask) rows.push_back(r);
}

int ControlDropdownList_List::IndexOf(int row) const {
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i] == row) return static_cast<int>(i);
    return -1;
}

ControlDropdownList::ControlDropdownList(int id, std::string label, ControlListData* data, unsigned mask)
    : Control(id, platform::ControlKind::DropDown, std::move(label)), data(data), mask(mask) {}

std::string ControlDropdownList::SelectedText() const {
    return selectedRow >= 0 && selectedRow < data->Rows() ? data->CellText(selectedRow, 0) : std::string();
}

platform::DialogControl ControlDropdownList::Describe() const {
    platform::DialogControl d = Control::Describe();
    ControlDropdownList_List popup = Popup();
    for (int r : popup.rows) d.items.push_back(data->CellText(r, 0));
    int at = popup.IndexOf(selectedRow);
    if (at >= 0) d.selected = {at};
    d.value = SelectedText();
    return d;
}

bool ControlDropdownList::Choose(int index) {
    ControlDropdownList_List popup = Popup();
    if (index < 0 || index >= static_cast<int>(popup.rows.size())) return false;
    selectedRow = popup.rows[index];
    return true;
}

// --- Hypothesis ------------------------------------------------------------------------------------

ControlHypothesis::ControlHypothesis(int id, std::string label)
    : Control(id, platform::ControlKind::DropDown, std::move(label)) {}

const char* ControlHypothesis::SignText(unsigned char symbolCharacter) {
    switch (symbolCharacter) {
        case 0xB9: return "\u2260";
        case 0xA3: return "\u2264";
        case 0xB3: return "\u2265";
    }
    return "?";
}

std::string ControlHypothesis::ItemText(int item) const {
    if (item < 0 || item > 2) return {};
    return left + " " + SignText(kSymbolSigns[item]) + " " + right;
}

platform::DialogControl ControlHypothesis::Describe() const {
    platform::DialogControl d = Control::Describe();
    for (int i = 0; i < 3; ++i) d.items.push_back(ItemText(i));
    d.selected = {selected};
    d.value = ItemText(selected);
    return d;
}

bool ControlHypothesis::Choose(int index) {
    if (index < 0 || index > 2) return false;
    selected = index;
    return true;
}

}  // namespace qs
