// Observation filters over the loaded value vectors: which observations take part (missing and zero
// values, outliers), how they split into groups by a factor, in which order they are visited; and
// the cross tabulation of one or two factors.
//
// Derived lists record the change stamps of what they were computed from and are recomputed by
// Update() only when one of them moved. Equal parts are shared between live criteria.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "addin/dataset/dataset.h"
#include "addin/numerics/descriptives.h"

namespace qs {

// A snapshot of a value vector that does not change with the worksheet.
class DataCache : public CRefCounted {
 public:
  DataCache() = default;
  explicit DataCache(VariableSource& source);
  TypeCode type = 0;
  unsigned elementWidth = 1;
  size_t count = 0;
  ValueVector values;
  VariableSource* source = nullptr;
};

// A variable seen through a requested type (kTypeOwn: its own type): categorical values read as
// continuous give the categories' values.
class DataMap : public CRefCounted {
 public:
  DataMap(VariableSource& variable, TypeCode requested);
  VariableSource* variable;
  TypeCode type;
  CRef<Categories> categories;
  std::vector<double> values;
};

// Observation indexes that take part (ascending); `all` means every observation.
class Include : public CRefCounted {
 public:
  bool all = true;
  std::vector<uint32_t> list;
  std::vector<uint32_t> stamps;  // of what it was computed from
};

class Exclude : public Include {
 public:
  Exclude() { all = false; }
  uint32_t zeroCount = 0;  // removed only because of a zero value
};

// A test's outlier rule: given the observations still in (in visiting order), the ones it removes.
class OutlierRule : public CRefCounted {
 public:
  virtual std::vector<uint32_t> Apply(const std::vector<uint32_t>& observations) = 0;
  virtual std::vector<VariableSource*> Variables() const = 0;
};

class Outliers : public Exclude {
 public:
  CRef<OutlierRule> rule;
};

class PairWith : public CRefCounted {
 public:
  struct Entry {
    VariableSource* variable = nullptr;
    bool excludeMissing = true;
    bool excludeZero = false;
    friend bool operator==(const Entry&, const Entry&) = default;
  };
  std::vector<Entry> entries;
};

class SortBy : public CRefCounted {
 public:
  std::vector<VariableSource*> variables;
};

class SplitBy : public CRefCounted {
 public:
  // One group per category met in the data (or the factor's own grouping), in display order.
  explicit SplitBy(VariableSource& factor);
  // Groups made of the given categories (by number).
  SplitBy(VariableSource& factor, std::vector<std::vector<int>> groups);
  VariableSource* factor;
  CRef<Categories> categories;
  std::vector<std::vector<int>> groups;  // category numbers of each group
  std::vector<int> groupOf;              // category number -> group index, -1 for none
  int requestedCount = 0;
  int GroupCount() const { return requestedCount > 0 ? requestedCount : static_cast<int>(groups.size()); }
  std::string GroupName(int group) const;
  bool Equal(const SplitBy& other) const { return factor == other.factor && groups == other.groups; }

 private:
  void MapGroups();
};

class Criteria : public CRefCounted {
 public:
  ~Criteria() override;

  CRef<SortBy> sortBy;
  CRef<SplitBy> splitBy;
  CRef<PairWith> pairWith;
  CRef<OutlierRule> outlierRule;
  CRef<Include> splitInclude;  // present with a split-by
  CRef<Include> sortedOrder;   // present with a sort-by
  CRef<Exclude> pairExclude;   // present with a pair-with list
  CRef<Outliers> outliers;     // present with an outlier rule
  CRef<Criteria> parent;       // the same selection without sort-by

  uint32_t excludedMissing = 0;
  uint32_t excludedZero = 0;
  uint32_t excludedOutliers = 0;
  uint32_t used = 0;

  // Recomputes whatever is stale.
  void Update();
  // The observations used, in visiting order (after Update).
  const std::vector<uint32_t>& Observations() const { return m_used; }
  uint32_t ObservationAt(size_t i) const { return m_used[i]; }
  size_t ObservationCount() const;  // the length of the value vectors

  static size_t LiveCount();

 protected:
  Criteria();
  friend CRef<Criteria> MakeCriteria(const std::vector<VariableSource*>*, VariableSource*, const PairWith*,
                                     OutlierRule*);
  friend class Crosstab;
  std::vector<uint32_t> m_used;
};

// none when all four parts are absent.
CRef<Criteria> MakeCriteria(const std::vector<VariableSource*>* sortBy, VariableSource* splitBy,
                            const PairWith* pairWith, OutlierRule* outlierRule);

class Crosstab : public Criteria {
 public:
  Crosstab() = default;
  std::vector<CRef<SplitBy>> splits;  // column factor (when any) first, then the row factor
  long Cells() const;
  // "ROW - COLUMN" (the column part only with two factors and a column group).
  std::string CellLabel(int rowGroup, int columnGroup = -1, const char* separator = nullptr) const;
  SplitBy* RowFactor() const { return splits.back().get(); }
  SplitBy* ColumnFactor() const { return splits.size() > 1 ? splits.front().get() : nullptr; }
};

// The data of a contingency-table block: counts by row and column group and their totals.
struct ContingencyTable {
  CRef<Crosstab> crosstab;
  int rows = 0, columns = 1;
  std::vector<double> cells;  // row by row
  std::vector<double> rowTotals, columnTotals;
  double total = 0;
  double At(int r, int c) const { return cells[static_cast<size_t>(r * columns + c)]; }
};

// Cross tabulation of the observations `filter` keeps (all when null): each observation counts 1,
// or its count when `counts` (an integral count variable) is given.
ContingencyTable MakeContingencyTable(VariableSource& rowFactor, VariableSource* columnFactor,
                                      const Criteria* filter = nullptr, VariableSource* counts = nullptr);

// Observation values of a variable as numbers (categorical: the categories' values), in the order
// of the criteria (all observations when null).
std::vector<double> ObservationValues(VariableSource& variable, const Criteria* criteria);
// The values of `data` split into the criteria's groups (in group order).
std::vector<std::vector<double>> GroupValues(VariableSource& data, const Criteria& criteria);
// The summary kernel over a variable's observations.
numerics::Descriptives DescriptivesOf(VariableSource& variable, const Criteria* criteria);
// Mid-ranks of a variable's observations, aligned with ObservationValues.
std::vector<float> RanksOf(VariableSource& variable, const Criteria* criteria);

}  // namespace qs
