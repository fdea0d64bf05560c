// Datasets in worksheets: finding the block around a cell, recognising its layout, building its
// variables and factors from the header cells, naming it, and keeping its properties in the
// workbook as defined names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "addin/dataset/types.h"
#include "addin/host/shared.h"
#include "addin/host/xlvalue.h"

namespace qs {

enum DatasetLayout : int { kLayoutIndependent = 1, kLayoutList = 2, kLayoutDetect = 6 };

// A rectangle of one sheet (0-based rows and columns, inclusive).
struct CellRange {
  XL_SHEET_ID sheet = 0;
  int firstRow = 0, lastRow = -1, firstCol = 0, lastCol = -1;

  static CellRange Of(XL_SHEET_ID sheet, const XLREF& r) { return {sheet, r.rwFirst, r.rwLast, r.colFirst, r.colLast}; }
  bool Empty() const { return lastRow < firstRow || lastCol < firstCol; }
  int Rows() const { return Empty() ? 0 : lastRow - firstRow + 1; }
  int Cols() const { return Empty() ? 0 : lastCol - firstCol + 1; }
  long Cells() const { return static_cast<long>(Rows()) * Cols(); }
  // Offset by rows/columns and resized (0 keeps the extent); clamped to the sheet.
  CellRange Offset(int rows, int cols, int height = 0, int width = 0) const;
  CellRange Cell(int row, int col) const {
    return {sheet, firstRow + row, firstRow + row, firstCol + col, firstCol + col};
  }
  CellRange Widened(int n) const;
  bool Intersects(const CellRange& o) const {
    return sheet == o.sheet &&
           !(o.lastRow < firstRow || o.firstRow > lastRow || o.lastCol < firstCol || o.firstCol > lastCol);
  }
  XLREF Ref() const;
  XlValue Value() const;        // as a host reference
  std::string Address() const;  // "$A$1:$B$2" (absolute, without sheet)
  friend bool operator==(const CellRange&, const CellRange&) = default;
};

// "__sm_" + kind + "R_" + hex id, with its companion value name ("V" in place of "R").
struct StoredName {
  CellRange at;          // the sheet it lives on (and what it refers to, once read)
  std::string sheetKey;  // "[Book]Sheet"
  std::string name;
  bool Empty() const { return name.empty(); }
  std::string ValueName() const;
  std::string Qualified(const std::string& n) const { return sheetKey + "!" + n; }
  static StoredName Make(char kind, XL_SHEET_ID sheet, const std::string& sheetKey);
  void Delete() const;  // both names; missing ones are fine
};

class DatasetSource;
class WithinSubject;

// A loaded value vector of a variable source.
struct ValueVector {
  TypeCode type = 0;
  std::vector<uint16_t> categories;  // nominal, ordinal
  std::vector<double> numbers;       // continuous
  std::vector<uint32_t> counts;      // integral count
  std::vector<std::string> texts;    // information
  std::vector<float> floats;         // float (computed values such as ranks)
  size_t Size() const;
  bool IsMissing(size_t i) const;
  bool IsZero(size_t i) const;
};

class VariableSource : public CRefCounted {
 public:
  DatasetSource* owner = nullptr;
  std::string name;
  bool nameFromSheet = false;
  TypeCode type = kTypeContinuous;
  CRef<Categories> categories;
  int detectionMode = 3;
  int index = 0;
  WithinSubject* group = nullptr;
  VariableSource* replicateOf = nullptr;
  int replicates = 0;
  // Values of a factor built from header cells (category numbers, one per data position).
  std::vector<uint16_t> factorValues;
  bool isFactor = false;
  // Groups of a factor built from a header band: the categories in header order.
  std::vector<int> grouping;
  // A computed variable's dataset source of its own.
  CRef<DatasetSource> computedOwner;

  // The display name (a repeat shows its group's name).
  std::string DisplayName() const;
  void SetType(TypeCode code);
  // The value vector, loaded on first use and after a type change.
  virtual const ValueVector& Values();
  uint32_t Stamp() const { return m_stamp; }
  // Values computed by a test (not backed by cells); the type is taken from the vector.
  void SetComputedValues(ValueVector values);

 protected:
  void Invalidate();
  std::optional<ValueVector> m_cache;
  uint32_t m_stamp = 1;
};

class VariableSourceExcel : public VariableSource {
 public:
  CellRange values;
  CellRange nameCell;  // empty when the name is not from a cell
  CellRange labelCell;
  StoredName stored;
  std::string numberFormat = "General";
  bool trimTrailing = false;       // independent data without label columns: per-column trailing cut
  std::vector<int> columnLengths;  // after loading with trimTrailing: kept rows per column

  const ValueVector& Values() override;
};

class WithinSubject : public CRefCounted {
 public:
  std::string name;
  CellRange nameCell;
  std::vector<VariableSource*> repeats;
  CRef<VariableSource> repeatFactor;
};

class Dataset : public CRefCounted {
 public:
  DatasetSource* source = nullptr;
  std::vector<CRef<VariableSource>> variables;
  uint32_t layoutWord = kLayoutList;
  std::string name;
  unsigned nameOrigin = 0;  // bit 0 default name, bit 1 title cell; 0 typed by the user
  bool isNew = false;

  int Layout() const { return static_cast<int>(layoutWord & 0xFF); }
  bool HasLabelColumns() const { return ((layoutWord >> 8) & 0xFF) != 0; }
  bool IdentifierLabel() const { return (layoutWord >> 16) & 1; }
  bool IsContingency() const;
};

struct HeaderBand {
  explicit HeaderBand(bool r) : rows(r) {}
  bool rows = true;  // rows: top lines of the region; columns: left lines
  int count = -1;
  CellRange range;
  int length = 0;
  int offset = 0;
};

class DatasetSource : public CRefCounted {
 public:
  CRef<Dataset> dataset;
  std::vector<CRef<VariableSource>> sources;
};

class DatasetSourceExcel : public DatasetSource {
 public:
  CellRange region;
  CellRange activeCell;
  std::string sheetKey;
  CellRange headerRows;    // the header-row band (may be empty)
  CellRange labelColumns;  // the label-column band (may be empty)
  CellRange dataBody;
  StoredName stored;
  HeaderBand labelBand{false};
  HeaderBand headerBand{true};
  std::vector<CRef<WithinSubject>> groups;

  // Rebuilds the dataset from the worksheet. contingency: 1, 0 or -1 (keep what the types say).
  void Scan(int contingency, int layout, int labelColumns, int headerRows, bool identifierLabel, bool createVariables);
  void SaveProperties();
  void AutoFormat();
  VariableSourceExcel* FindVariableAt(const CellRange& cell);
  // Sets the dataset's name as the user typed it; empty gives back the title or default name.
  void SetName(const std::string& name);
  void NameDataset(const std::string& storedText);
  void RestoreVariableProperties();
  VariableSourceExcel* Excel(size_t i) const { return static_cast<VariableSourceExcel*>(sources[i].get()); }

 private:
  int DetectHeaderLines(HeaderBand& band);
  void BuildListVariables();
  void BuildFactor(bool headerRowBand, VariableSourceExcel* data);
  void MakeReplicates();
  CRef<VariableSourceExcel> NewSource(const std::string& name, const CellRange& values, const CellRange& nameCell);
};

// Finds the dataset around the active cell. layout 6 and counts of -1 ask for detection.
CRef<DatasetSourceExcel> FindDataset(const CellRange& activeCell, int layout, int labelColumns, int headerRows,
                                     bool searchStored, bool createVariables);
// The active cell of the active sheet.
CellRange ActiveCell();

// What the Dataset properties dialog hands over when confirmed.
struct DatasetProperties {
  int layoutIndex = 0;  // 0 list, 1 tabular, 2 contingency table
  bool repeatMeasures = false;
  int factors = 1;  // tabular: 1 or 2 classifying factors
  bool identifierLabel = false;
  std::optional<std::string> name;
  bool autoFormat = false;
};
// Scans again with the dialog's values, sets the name, saves the properties, formats if asked.
void ConfirmDataset(DatasetSourceExcel& source, const DatasetProperties& properties);
// The dialog's values for the dataset as it stands (what the dialog shows first).
DatasetProperties CurrentProperties(const DatasetSourceExcel& source);

// A variable of a test's own for computed values, in a dataset source of its own.
CRef<VariableSource> MakeComputedVariable(const std::string& name, ValueVector values);

// A variable's properties array (format version, type code, category triples).
XlValue VariablePropertiesArray(const VariableSource& source);

}  // namespace qs
