// The workbooks of the host over the sheet engine's workbook model.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "sheets/model/model.h"
#include "sheets/xlm/documents.h"
#include "xll/xlcall.h"

namespace xlm {

class ModelDocuments : public Documents {
 public:
  explicit ModelDocuments(sheets::SheetLimits limits);
  ~ModelDocuments() override;

  int Handle(Call& c) override;
  bool Open(const std::string& path, std::string& error) override;
  bool New(std::string& error) override;
  bool Save(const std::string& path, std::string& error) override;
  bool Close(std::string& error) override;
  bool Select(const std::string& ref, std::string& error) override;
  bool ActivateSheet(const std::string& sheet, std::string& error) override;
  bool Enter(const std::string& text, std::string& error) override;
  bool EditCells(bool insert, int shift, const std::string& ref, std::string& error) override;
  std::string ActiveSheetKey() const override;
  std::vector<std::string> WorkbookNames() const override;

  // Closes a workbook; one with unsaved changes asks first (save, drop, or keep it open).
  bool CloseAsking(sheets::Workbook* book, std::string& error);
  // Names of the open workbooks with unsaved changes.
  std::vector<std::string> UnsavedWorkbooks() const;
  // Opens a workbook file; a template becomes a new untitled workbook unless editTemplate.
  bool OpenFile(const std::string& path, bool editTemplate, std::string& error);

  // ---- for the function handlers ----
  sheets::Workbook* ActiveBook() const;
  sheets::Sheet* ActiveSheet() const;
  sheets::Workbook* FindBook(const std::string& name) const;
  // Every open workbook, in order of opening.
  std::vector<sheets::Workbook*> Books() const;
  sheets::Workbook& AddBook(std::unique_ptr<sheets::Workbook> book);
  // Makes book and its sheet `index` active, running the sheet hooks when the sheet changes.
  void Activate(sheets::Workbook* book, std::size_t index);
  void CloseBook(sheets::Workbook* book);
  XL_SHEET_ID IdOf(const sheets::Sheet* sheet);
  sheets::Sheet* SheetOf(XL_SHEET_ID id) const;
  static std::string KeyOf(const sheets::Sheet* sheet);  // "[Book]Sheet"
  // The sheet named "[Book]Sheet", "Sheet" (active workbook) or "" (active sheet).
  sheets::Sheet* FindSheet(const std::string& key) const;
  const sheets::SheetLimits& Limits() const { return limits_; }
  std::string NextBookName();
  // After cells of `sheet` were written: what depends on them is recalculated now, or, during an
  // add-in call, when the writes settle (SettleWrites).
  void Written(sheets::Sheet& sheet, const std::vector<sheets::RangeAddress>& ranges);
  void SettleWrites() override;
  // The most recently activated workbook whose window is not hidden, other than `except`.
  sheets::Workbook* LastVisibleBook(const sheets::Workbook* except) const;

  // The drawing object selected on the active sheet ("Chart 1"), and the item of its chart that
  // is selected ("S1", "S1T1", "Axis 1", "Plot"); empty when cells are selected.
  std::string selectedObject;
  std::string selectedItem;

  // A copied range waiting for PASTE.SPECIAL.
  struct Clip {
    XL_SHEET_ID sheet = 0;
    sheets::RangeAddress range;
    bool active = false;
  } clip;

 private:
  bool EnterFormula(sheets::Sheet& s, const std::string& text, std::string& error);

  sheets::SheetLimits limits_;
  std::vector<std::unique_ptr<sheets::Workbook>> books_;  // in order of opening
  sheets::Workbook* active_ = nullptr;
  std::vector<sheets::Workbook*> recent_;  // open workbooks, the most recently activated last
  std::map<const sheets::Sheet*, XL_SHEET_ID> ids_;
  XL_SHEET_ID nextId_ = 1;
  int untitled_ = 0;
  std::vector<std::pair<XL_SHEET_ID, sheets::RangeAddress>> written_;  // not yet recalculated
  bool settling_ = false;
};

// Editing, object and chart functions (documents_edit.cpp); XLRET_INVALID_FN for others.
int HandleEdit(ModelDocuments& d, Call& c);
// Inserts (or deletes) cells over area of sheet s as INSERT (EDIT.DELETE) with shift 1 right
// (left), 2 down (up), 3 whole rows, 4 whole columns; false with why when it cannot be done.
bool ShiftCells(ModelDocuments& d, sheets::Sheet& s, const sheets::RangeAddress& area, int shift, bool insert,
                std::string* why = nullptr);
// SELECT of a drawing object or chart item by name; false when the text names none.
bool SelectObject(ModelDocuments& d, const std::string& name);

// A cell value as an XLOPER (an empty cell as nil), and back (nil and missing as empty; nothing
// for arrays and references).
void SetCellValue(XLOPER* out, const sheets::Value& v);
std::optional<sheets::Value> ModelValue(const XLOPER* v);

// Installs the model's workbooks into the host (replacing any).
void InstallModelDocuments();

}  // namespace xlm
