#include "addin/ui/dialog_variable.h"

#include <cmath>

#include "addin/dataset/dataset_commands.h"
#include "addin/dataset/dataset_strings.h"
#include "addin/host/messages.h"
#include "addin/host/xlcalls.h"
#include "addin/resources/string_ids.h"

namespace qs {

namespace {
void SelectCells(const CellRange& r) {
    if (r.Empty()) return;
    try {
        XlCall(XLC_SELECT, {r.Value()});
    } catch (CException* e) {
        e->Delete();  // the selection only shows the user which cells are meant
    }
}
}  // namespace

// --- Category grid ---------------------------------------------------------------------------------

void DialogVariable::CategoryList::Load(const Categories* original) {
    rows.clear();
    removed.clear();
    m_copy = CRef<Categories>();
    if (!original) return;
    m_copy = new Categories(original->type);
    for (const CRef<Category>& c : original->Order()) {
        if (c->first) continue;
        CRef<Category> copy(new Category(*c));
        m_copy->Add(copy.get(), false);
        rows.push_back({copy, c.get()});
    }
}

std::string DialogVariable::CategoryList::CellText(int row, int column) const {
    if (row < 0 || row >= static_cast<int>(rows.size())) return {};
    const Category& c = *rows[row].copy;
    if (column == 0) return c.HasValue() ? FormatG(c.value) : std::string();
    return c.name;
}

std::unique_ptr<ControlField> DialogVariable::CategoryList::CreateEditor(int row, int column, const Rect& cell) {
    if (!m_copy || row < 0 || row > static_cast<int>(rows.size())) return nullptr;
    std::unique_ptr<ControlField> editor;
    // Values are whole numbers not below 0; names up to 40 characters.
    if (column == 0)
        editor = std::make_unique<ControlFieldNumeric>(0, DatasetString(ids::kStringIdColumn), 10, 0, false);
    else if (column == 1)
        editor = std::make_unique<ControlFieldString>(0, DatasetString(ids::kStringNameColumn), 40);
    if (editor) editor->rect = cell;
    return editor;
}

bool DialogVariable::CategoryList::Commit(int row, int column, ControlField& editor) {
    if (!m_copy) return false;
    try {
        if (row < static_cast<int>(rows.size())) {
            Category* c = rows[row].copy.get();
            if (column == 0) {
                double v = static_cast<ControlFieldNumeric&>(editor).GetValue();
                if (std::isnan(v)) return true;  // an emptied value cell changes nothing
                m_copy->SetValue(c, v);
            } else {
                if (editor.Text().empty()) return true;  // a category keeps a name
                m_copy->SetName(c, editor.Text());
            }
            return true;
        }
        // The empty last row: a new category.
        CRef<Category> c(new Category);
        if (column == 0) {
            double v = static_cast<ControlFieldNumeric&>(editor).GetValue();
            if (std::isnan(v)) return true;
            c->kind = Category::kNumeric;
            c->value = v;
            c->name = FormatG(v);
        } else {
            if (editor.Text().empty()) return true;
            c->kind = Category::kNoValue;
            c->name = editor.Text();
        }
        m_copy->Add(c.get(), false);
        rows.push_back({c, nullptr});
        return true;
    } catch (CException* e) {
        ShowException(e);
        e->Delete();
        return false;
    }
}

void DialogVariable::CategoryList::DeleteRow(int row) {
    if (!m_copy || row < 0 || row >= static_cast<int>(rows.size())) return;
    Row r = rows[row];
    // A category that cells of the variable hold stays: its observations would be left without one.
    if (r.original && (r.original->flags & Category::kOccursInData)) return;
    m_copy->Remove(r.copy.get());
    if (r.original) removed.push_back(r.original);
    rows.erase(rows.begin() + row);
}

// --- Dialog ----------------------------------------------------------------------------------------

DialogVariable::DialogVariable(DatasetSourceExcel& s, VariableSourceExcel& v)
    : Dialog("variable", "Variable properties"), source(&s), variable(&v), originalType(v.type) {
    width = 200;
    Add<ControlFieldString>(kName, "Name:", 255).rect = {35, 7, 155, 12};
    FindAs<ControlField>(kName)->SetText(v.DisplayName());
    Find(kName)->enabled = false;  // shown, not changed here
    Add<ControlRadio>(kNominal, "&Nominal", 1).rect = {10, 28, 60, 10};
    Add<ControlRadio>(kOrdinal, "&Ordinal", 1).rect = {10, 40, 60, 10};
    Add<ControlRadio>(kContinuous, "&Continuous", 1).rect = {10, 52, 60, 10};
    Add<ControlRadio>(kInformation, "&Information", 1).rect = {10, 64, 60, 10};
    Add<ControlStatic>(kCategoriesLabel, "Categories ").rect = {10, 170, 60, 8};
    auto& grid = Add<ControlEditList>(
        kCategories, "Categories", &categories,
        std::vector<std::string>{DatasetString(ids::kStringIdColumn), DatasetString(ids::kStringNameColumn)},
        std::vector<int>{60, 100});
    grid.rect = {10, 180, 180, 130};
    Add<ControlButton>(kFormat, "&Format...").rect = {140, 28, 50, 14};
    Add<ControlButton>(kIdOK, "OK").rect = {140, 80, 50, 14};
    Add<ControlButton>(kIdCancel, "Cancel").rect = {140, 98, 50, 14};
    scale = TypeIndex(v.type);
    if (scale > 3) scale = 2;
    if (IsCategorical(v.type)) {
        v.Values();  // the categories are built from the cells
        categories.Load(v.categories.get());
    }
    ShowScale();
}

void DialogVariable::ShowScale() {
    static const int ids[] = {kNominal, kOrdinal, kContinuous, kInformation};
    for (int i = 0; i < 4; ++i) FindAs<ControlRadio>(ids[i])->checked = i == scale;
    bool grid = scale == 0 || scale == 1;
    Find(kCategoriesLabel)->visible = grid;
    Find(kCategories)->visible = grid;
    height = grid ? kHeightWithGrid : kHeightWithoutGrid;
}

void DialogVariable::ChooseScale(int index) {
    if ((index == 0 || index == 1) && !categories.Loaded()) {
        try {
            variable->SetType(kTypeNominal);
            variable->Values();
            categories.Load(variable->categories.get());
        } catch (CException* e) {
            ShowError(e);
            try {
                variable->SetType(originalType);
            } catch (CException* again) {
                again->Delete();
            }
            ShowScale();  // the buttons go back to the scale in force
            return;
        }
    }
    scale = index;
    ShowScale();
}

void DialogVariable::Format() {
    // The host's number-format dialog for the variable's cells, with this dialog set aside meanwhile.
    SelectCells(variable->values);
    try {
        XlCall(XLC_FORMAT_NUMBER | XLBIT_PROMPT);
    } catch (CException* e) {
        e->Delete();  // cancelled or not offered by the host
    }
    SelectCells(variable->values);
}

void DialogVariable::OnChange(Control& c, bool) {
    switch (c.id) {
        case kNominal: ChooseScale(0); break;
        case kOrdinal: ChooseScale(1); break;
        case kContinuous: ChooseScale(2); break;
        case kInformation: ChooseScale(3); break;
        case kFormat: Format(); break;
        default: break;
    }
}

void DialogVariable::OnOK() {
    TypeCode code = TypeOfIndex(scale);
    if (scale == 0 || scale == 1) {
        Categories* real = variable->categories.get();
        if (!real || !categories.Loaded()) ThrowDatasetMessage(ids::kMessageOrdinalValuesMissing);
        // Ordinal values: every category needs its own.
        if (scale == 1 && !categories.m_copy->AllValuedAndUnique())
            ThrowDatasetMessage(ids::kMessageOrdinalValuesMissing);
        // The edits go onto the variable's own categories so that the numbers its observations
        // hold stay theirs; the copy has already kept names and values unique.
        for (Category* gone : categories.removed) real->Remove(gone);
        Category* touched = nullptr;
        for (const CategoryList::Row& r : categories.rows) {
            if (!r.original) continue;
            r.original->name = r.copy->name;
            r.original->kind = r.copy->kind;
            r.original->value = r.copy->value;
            touched = r.original;
        }
        if (touched) real->SetName(touched, touched->name);  // marks the list changed
        for (const CategoryList::Row& r : categories.rows)
            if (!r.original) real->Add(new Category(*r.copy), false);
        categories.Load(real);
        real->type = code;
    }
    variable->SetType(code);
    source->SaveProperties();
    End(kIdOK);
}

void DialogVariable::OnCancel() {
    // The scale tried while the dialog was open is taken back.
    if (!SameType(variable->type, originalType)) {
        try {
            variable->SetType(originalType);
        } catch (CException* e) {
            e->Delete();
        }
    }
    End(kIdCancel);
}

bool ShowVariablePropertiesDialog(DatasetSourceExcel& source, VariableSourceExcel& variable) {
    CheckVariablePropertiesAllowed(variable);
    SelectCells(variable.values);
    DialogVariable dialog(source, variable);
    return dialog.Run() == kIdOK;
}

}  // namespace qs
