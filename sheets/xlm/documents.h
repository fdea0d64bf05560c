// The workbooks the host holds, as the host's function table and front ends see them. The sheet
// engine's glue (documents_*.cpp) implements it over the workbook model.
#pragma once

#include <string>
#include <vector>

namespace xlm {

struct Call;

class Documents {
 public:
  virtual ~Documents() = default;
  // Answers a function of the workbook family (see fn_documents.cpp); XLRET_INVALID_FN when
  // the function is not one it implements.
  virtual int Handle(Call& c) = 0;

  // Front-end actions. Each gives false with a message in `error`.
  virtual bool Open(const std::string& path, std::string& error) = 0;
  virtual bool New(std::string& error) = 0;
  // Saves the active workbook (to `path` when not empty).
  virtual bool Save(const std::string& path, std::string& error) = 0;
  virtual bool Close(std::string& error) = 0;
  // Selects a range "A1", "B2:C5" or "Sheet!A1" (activating that sheet) on the active workbook.
  virtual bool Select(const std::string& ref, std::string& error) = 0;
  virtual bool ActivateSheet(const std::string& sheet, std::string& error) = 0;
  // Types a value into the active cell: a number, TRUE or FALSE, or text.
  virtual bool Enter(const std::string& text, std::string& error) = 0;
  // Inserts (insert true) or deletes cells over the selected range, or over ref when it is not
  // empty (selecting it first): shift 1 moves the cells beside right (left), 2 below down (up),
  // 3 whole rows, 4 whole columns. References to the moved cells follow them.
  virtual bool EditCells(bool insert, int shift, const std::string& ref, std::string& error) = 0;
  // "[Book]Sheet" of the active sheet; empty when no workbook is open.
  virtual std::string ActiveSheetKey() const = 0;
  virtual std::vector<std::string> WorkbookNames() const = 0;
  // Recalculates what depends on the cells an add-in wrote since the last time (writes during an
  // add-in call are gathered, so that a report written cell by cell costs one recalculation). The
  // host calls it before any function other than xlSet and when the outermost add-in call returns.
  virtual void SettleWrites() {}
};

// Runs the sheet hooks when the active sheet changes: the deactivation macros of the sheet
// left, then the activation macros of the sheet entered (as the application does).
void SheetChanged(const std::string& before, const std::string& after);

}  // namespace xlm
