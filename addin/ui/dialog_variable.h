// The Variable properties dialog: a variable's measurement scale and, for nominal and ordinal
// variables, its categories with their values, edited in a grid on a private copy that OK puts in
// place and keeps in the workbook.
#pragma once

#include <map>
#include <vector>

#include "addin/dataset/dataset.h"
#include "addin/ui/dialog.h"

namespace qs {

class DialogVariable : public Dialog {
public:
    enum : int {
        kName = 1013,
        kNominal = 1104,
        kOrdinal = 1105,
        kContinuous = 1106,
        kInformation = 1107,
        kCategoriesLabel = 1103,
        kCategories = 1084,
        kFormat = 1000,
    };
    static constexpr int kHeightWithGrid = 348, kHeightWithoutGrid = 187;

    // The category grid: one row per category (the missing category is not listed) and an empty
    // last row where a new category is typed.
    class CategoryList : public ControlListData {
    public:
        struct Row {
            CRef<Category> copy;
            Category* original = nullptr;  // null for a category made in the grid
        };
        void Load(const Categories* categories);
        bool Loaded() const { return m_copy.get() != nullptr; }

        std::string CellText(int row, int column) const override;
        std::unique_ptr<ControlField> CreateEditor(int row, int column, const Rect& cell) override;
        bool Commit(int row, int column, ControlField& editor) override;
        void AppendRow() override {}
        void DeleteRow(int row) override;
        int Rows() const override { return static_cast<int>(rows.size()) + 1; }
        int Columns() const override { return 2; }

        std::vector<Row> rows;
        std::vector<Category*> removed;  // originals deleted in the grid
        CRef<Categories> m_copy;         // holds the copies; keeps names and values unique
    };

    DialogVariable(DatasetSourceExcel& source, VariableSourceExcel& variable);

    CRef<DatasetSourceExcel> source;
    CRef<VariableSourceExcel> variable;
    TypeCode originalType;
    CategoryList categories;
    int scale = 2;  // type index of the chosen radio button

protected:
    void OnChange(Control& c, bool click) override;
    void OnOK() override;
    void OnCancel() override;

private:
    void ShowScale();
    void ChooseScale(int index);
    void Format();
};

// The Data menu's Variable command on the variable at the active cell: checks, the dialog, and on
// OK the properties kept in the workbook. True when confirmed.
bool ShowVariablePropertiesDialog(DatasetSourceExcel& source, VariableSourceExcel& variable);

}  // namespace qs
