#include "addin/dataset/criteria.h"

#include <algorithm>
#include <cmath>

#include "addin/dataset/dataset_strings.h"
#include "addin/numerics/ranks.h"

namespace qs {

namespace {

std::vector<Criteria*>& Registry() {
  static std::vector<Criteria*> registry;
  return registry;
}

double NumberAt(VariableSource& v, const ValueVector& values, size_t i) {
  switch (TypeKey(values.type)) {
    case kTypeNominal:
    case kTypeOrdinal: {
      Category* c = v.categories ? v.categories->ByNumber(values.categories[i]) : nullptr;
      return (c && c->HasValue()) ? c->value : MissingValue();
    }
    case kTypeIntegralCount: return values.counts[i];
    case kTypeInformation: return MissingValue();
    case kTypeFloat: return values.floats[i];
    default: return values.numbers[i];
  }
}

// Sort key comparison of two observations over the sort-by variables, in list order; missing values
// last, ties broken by observation index.
struct SortKeys {
  std::vector<VariableSource*> variables;
  bool Less(uint32_t a, uint32_t b) const {
    for (VariableSource* v : variables) {
      const ValueVector& x = v->Values();
      bool ma = a >= x.Size() || x.IsMissing(a), mb = b >= x.Size() || x.IsMissing(b);
      if (ma != mb) return mb;
      if (ma) continue;
      switch (TypeKey(x.type)) {
        case kTypeNominal:
        case kTypeOrdinal: {
          int pa = v->categories->ByNumber(x.categories[a])->position;
          int pb = v->categories->ByNumber(x.categories[b])->position;
          if (pa != pb) return pa < pb;
          break;
        }
        case kTypeInformation:
          if (x.texts[a] != x.texts[b]) return x.texts[a] < x.texts[b];
          break;
        case kTypeIntegralCount:
          if (x.counts[a] != x.counts[b]) return x.counts[a] < x.counts[b];
          break;
        case kTypeFloat:
          if (x.floats[a] != x.floats[b]) return x.floats[a] < x.floats[b];
          break;
        default:
          if (x.numbers[a] != x.numbers[b]) return x.numbers[a] < x.numbers[b];
      }
    }
    return a < b;
  }
};

// Quicksort that leaves segments of 6 or fewer elements to a final insertion pass.
void QuickSort(std::vector<uint32_t>& v, long lo, long hi, const SortKeys& keys) {
  while (hi - lo + 1 > 6) {
    long mid = lo + (hi - lo) / 2;
    if (keys.Less(v[static_cast<size_t>(mid)], v[static_cast<size_t>(lo)]))
      std::swap(v[static_cast<size_t>(mid)], v[static_cast<size_t>(lo)]);
    if (keys.Less(v[static_cast<size_t>(hi)], v[static_cast<size_t>(lo)]))
      std::swap(v[static_cast<size_t>(hi)], v[static_cast<size_t>(lo)]);
    if (keys.Less(v[static_cast<size_t>(hi)], v[static_cast<size_t>(mid)]))
      std::swap(v[static_cast<size_t>(hi)], v[static_cast<size_t>(mid)]);
    uint32_t pivot = v[static_cast<size_t>(mid)];
    long i = lo, j = hi;
    while (i <= j) {
      while (keys.Less(v[static_cast<size_t>(i)], pivot)) ++i;
      while (keys.Less(pivot, v[static_cast<size_t>(j)])) --j;
      if (i <= j) std::swap(v[static_cast<size_t>(i++)], v[static_cast<size_t>(j--)]);
    }
    if (j - lo < hi - i) {
      QuickSort(v, lo, j, keys);
      lo = i;
    } else {
      QuickSort(v, i, hi, keys);
      hi = j;
    }
  }
}

void SortObservations(std::vector<uint32_t>& v, const SortKeys& keys) {
  if (v.size() > 1) QuickSort(v, 0, static_cast<long>(v.size()) - 1, keys);
  for (size_t i = 1; i < v.size(); ++i) {
    uint32_t x = v[i];
    size_t j = i;
    for (; j > 0 && keys.Less(x, v[j - 1]); --j) v[j] = v[j - 1];
    v[j] = x;
  }
}

std::vector<uint32_t> StampsOf(const std::vector<VariableSource*>& vars) {
  std::vector<uint32_t> s;
  for (VariableSource* v : vars) {
    v->Values();
    s.push_back(v->Stamp());
    s.push_back(v->categories ? v->categories->Stamp() : 0);
  }
  return s;
}

}  // namespace

// ------------------------------------------------------------------ caches and maps

DataCache::DataCache(VariableSource& s) : source(&s) {
  values = s.Values();
  type = values.type;
  elementWidth = std::max(1u, TypeWidth(type));
  count = values.Size();
}

DataMap::DataMap(VariableSource& v, TypeCode requested) : variable(&v) {
  type = requested == kTypeOwn ? v.type : requested;
  categories = v.categories;
  const ValueVector& x = v.Values();
  for (size_t i = 0; i < x.Size(); ++i) values.push_back(NumberAt(v, x, i));
}

// ------------------------------------------------------------------ split

SplitBy::SplitBy(VariableSource& f) : factor(&f) {
  f.Values();
  categories = f.categories;
  if (!f.grouping.empty()) {
    for (int n : f.grouping) groups.push_back({n});
  } else if (categories) {
    for (const CRef<Category>& c : categories->Order())
      if (!c->first && (c->flags & Category::kOccursInData)) groups.push_back({c->number});
  }
  MapGroups();
}

SplitBy::SplitBy(VariableSource& f, std::vector<std::vector<int>> g) : factor(&f), groups(std::move(g)) {
  f.Values();
  categories = f.categories;
  MapGroups();
}

void SplitBy::MapGroups() {
  size_t slots = 1;
  for (const auto& g : groups)
    for (int n : g) slots = std::max(slots, static_cast<size_t>(n) + 1);
  groupOf.assign(std::max<size_t>(slots, 65536), -1);
  for (size_t i = 0; i < groups.size(); ++i)
    for (int n : groups[i])
      if (n > 0) groupOf[static_cast<size_t>(n)] = static_cast<int>(i);
}

std::string SplitBy::GroupName(int group) const {
  std::string name;
  for (int n : groups[static_cast<size_t>(group)]) {
    Category* c = categories ? categories->ByNumber(n) : nullptr;
    if (!c) continue;
    if (!name.empty()) name += ", ";
    name += c->name;
  }
  return name;
}

// ------------------------------------------------------------------ criteria

Criteria::Criteria() { Registry().push_back(this); }

Criteria::~Criteria() {
  auto& r = Registry();
  r.erase(std::remove(r.begin(), r.end(), this), r.end());
}

size_t Criteria::LiveCount() { return Registry().size(); }

size_t Criteria::ObservationCount() const {
  if (pairWith && !pairWith->entries.empty()) return pairWith->entries[0].variable->Values().Size();
  if (splitBy) return splitBy->factor->Values().Size();
  if (sortBy && !sortBy->variables.empty()) return sortBy->variables[0]->Values().Size();
  if (outlierRule) {
    std::vector<VariableSource*> vars = outlierRule->Variables();
    if (!vars.empty()) return vars[0]->Values().Size();
  }
  if (parent) return parent->ObservationCount();
  return 0;
}

CRef<Criteria> MakeCriteria(const std::vector<VariableSource*>* sortBy, VariableSource* splitBy,
                            const PairWith* pairWith, OutlierRule* outlierRule) {
  bool hasSort = sortBy && !sortBy->empty();
  if (!hasSort && !splitBy && !pairWith && !outlierRule) return CRef<Criteria>();
  CRef<Criteria> c(new Criteria);
  if (outlierRule) {
    c->outlierRule = outlierRule;
    c->outliers = new Outliers;
    c->outliers->rule = outlierRule;
  }
  if (pairWith) {
    c->pairWith = new PairWith(*pairWith);
    c->pairExclude = new Exclude;
  }
  if (splitBy) {
    c->splitBy = new SplitBy(*splitBy);
    c->splitInclude = new Include;
  }
  if (hasSort) {
    c->sortBy = new SortBy;
    c->sortBy->variables = *sortBy;
    c->sortedOrder = new Include;
  }
  // Share equal parts with the live criteria, in registration order.
  for (Criteria* other : Registry()) {
    if (other == c.get()) continue;
    if (c->sortBy && other->sortBy && other->sortBy->variables == c->sortBy->variables) c->sortBy = other->sortBy;
    if (c->pairWith && other->pairWith && other->pairWith->entries == c->pairWith->entries)
      c->pairWith = other->pairWith;
    if (c->splitBy && other->splitBy && other->splitBy->Equal(*c->splitBy)) c->splitBy = other->splitBy;
    if (c->splitBy.get() != other->splitBy.get()) continue;
    if (c->splitBy) c->splitInclude = other->splitInclude;
    if (c->sortBy.get() != other->sortBy.get()) continue;
    if (c->sortBy) c->sortedOrder = other->sortedOrder;
    if (c->pairWith.get() != other->pairWith.get()) continue;
    if (c->pairWith) c->pairExclude = other->pairExclude;
    if (c->outlierRule.get() != other->outlierRule.get()) continue;
    if (dynamic_cast<Crosstab*>(other)) continue;
    return CRef<Criteria>(other);  // the same selection: the new object goes
  }
  if (hasSort) {
    c->parent = MakeCriteria(nullptr, splitBy, pairWith, outlierRule);
    if (c->parent && c->parent->splitInclude) c->splitInclude = c->parent->splitInclude;
  }
  return c;
}

void Criteria::Update() {
  const size_t n = ObservationCount();
  bool changed = false;
  // 1. Split-by membership.
  std::vector<uint32_t> base;
  if (splitBy) {
    std::vector<uint32_t> stamps = StampsOf({splitBy->factor});
    stamps.push_back(static_cast<uint32_t>(n));
    if (stamps != splitInclude->stamps) {
      const ValueVector& f = splitBy->factor->Values();
      splitInclude->list.clear();
      for (uint32_t i = 0; i < f.Size() && i < n; ++i)
        if (splitBy->groupOf[f.categories[i]] >= 0) splitInclude->list.push_back(i);
      splitInclude->all = splitInclude->list.size() == n;
      if (splitInclude->all) splitInclude->list.clear();
      splitInclude->stamps = stamps;
      changed = true;
    }
  }
  auto inSplit = [&](std::vector<uint32_t>& out) {
    out.clear();
    if (splitInclude && !splitInclude->all)
      out = splitInclude->list;
    else
      for (uint32_t i = 0; i < n; ++i) out.push_back(i);
  };
  // 2. Pair-with exclusions.
  if (pairWith) {
    std::vector<VariableSource*> vars;
    for (const PairWith::Entry& e : pairWith->entries) vars.push_back(e.variable);
    std::vector<uint32_t> stamps = StampsOf(vars);
    stamps.push_back(static_cast<uint32_t>(n));
    if (changed || stamps != pairExclude->stamps) {
      inSplit(base);
      pairExclude->list.clear();
      pairExclude->zeroCount = 0;
      for (uint32_t i : base) {
        bool missing = false, zero = false;
        for (const PairWith::Entry& e : pairWith->entries) {
          const ValueVector& x = e.variable->Values();
          if (i >= x.Size()) {
            missing = missing || e.excludeMissing;
            continue;
          }
          if (e.excludeMissing && x.IsMissing(i)) missing = true;
          if (e.excludeZero && x.IsZero(i)) zero = true;
        }
        if (missing || zero) {
          pairExclude->list.push_back(i);
          if (!missing) ++pairExclude->zeroCount;
        }
      }
      pairExclude->stamps = stamps;
      changed = true;
    }
  }
  // The observations still in, in index order.
  auto stillIn = [&]() {
    std::vector<uint32_t> out;
    inSplit(out);
    if (pairExclude && !pairExclude->list.empty()) {
      std::vector<uint32_t> kept;
      std::set_difference(out.begin(), out.end(), pairExclude->list.begin(), pairExclude->list.end(),
                          std::back_inserter(kept));
      out.swap(kept);
    }
    return out;
  };
  std::vector<uint32_t> order;
  if (sortBy) {
    // 3. Sorted order of the parent's observations.
    std::vector<uint32_t> stamps = StampsOf(sortBy->variables);
    if (parent) {
      parent->Update();
      stamps.push_back(parent->used);
      for (uint32_t s : parent->pairExclude ? parent->pairExclude->stamps : std::vector<uint32_t>{})
        stamps.push_back(s);
    }
    stamps.push_back(static_cast<uint32_t>(n));
    if (changed || stamps != sortedOrder->stamps) {
      std::vector<uint32_t> from;
      if (parent)
        from = parent->Observations();
      else
        for (uint32_t i = 0; i < n; ++i) from.push_back(i);
      SortKeys keys{sortBy->variables};
      SortObservations(from, keys);
      sortedOrder->list = from;
      sortedOrder->all = false;
      sortedOrder->stamps = stamps;
      changed = true;
    }
    order = sortedOrder->list;
  } else {
    order = stillIn();
  }
  // 4. Outliers among the observations still in (a sorted order already has them removed by the
  // parent, whose rule is the same).
  excludedOutliers = 0;
  if (outliers && !sortBy) {
    std::vector<VariableSource*> vars = outlierRule->Variables();
    std::vector<uint32_t> stamps = StampsOf(vars);
    stamps.push_back(static_cast<uint32_t>(order.size()));
    if (changed || stamps != outliers->stamps) {
      outliers->list = outlierRule->Apply(order);
      std::sort(outliers->list.begin(), outliers->list.end());
      outliers->stamps = stamps;
    }
    std::vector<uint32_t> kept;
    for (uint32_t i : order)
      if (!std::binary_search(outliers->list.begin(), outliers->list.end(), i)) kept.push_back(i);
    excludedOutliers = static_cast<uint32_t>(order.size() - kept.size());
    order.swap(kept);
  } else if (outliers && parent) {
    excludedOutliers = parent->excludedOutliers;
  }
  excludedZero = pairExclude ? pairExclude->zeroCount : 0;
  excludedMissing = pairExclude ? static_cast<uint32_t>(pairExclude->list.size()) - excludedZero : 0;
  m_used = std::move(order);
  used = static_cast<uint32_t>(m_used.size());
}

// ------------------------------------------------------------------ cross tabulation

long Crosstab::Cells() const {
  long cells = 1;
  for (const CRef<SplitBy>& s : splits) cells *= s->GroupCount();
  return cells;
}

std::string Crosstab::CellLabel(int rowGroup, int columnGroup, const char* separator) const {
  std::string label = RowFactor()->GroupName(rowGroup);
  if (splits.size() > 1 && columnGroup >= 0)
    label += std::string(separator ? separator : " - ") + ColumnFactor()->GroupName(columnGroup);
  return label;
}

ContingencyTable MakeContingencyTable(VariableSource& rowFactor, VariableSource* columnFactor, const Criteria* filter,
                                      VariableSource* counts) {
  ContingencyTable t;
  t.crosstab = new Crosstab;
  if (columnFactor) t.crosstab->splits.push_back(CRef<SplitBy>(new SplitBy(*columnFactor)));
  t.crosstab->splits.push_back(CRef<SplitBy>(new SplitBy(rowFactor)));
  SplitBy* rows = t.crosstab->RowFactor();
  SplitBy* cols = t.crosstab->ColumnFactor();
  t.rows = rows->GroupCount();
  t.columns = cols ? cols->GroupCount() : 1;
  t.cells.assign(static_cast<size_t>(t.rows * t.columns), 0);
  const ValueVector& r = rowFactor.Values();
  const ValueVector* c = columnFactor ? &columnFactor->Values() : nullptr;
  const ValueVector* k = counts ? &counts->Values() : nullptr;
  auto tally = [&](uint32_t i) {
    if (i >= r.Size() || (c && i >= c->Size())) return;
    int gr = rows->groupOf[r.categories[i]];
    int gc = c ? cols->groupOf[c->categories[i]] : 0;
    if (gr < 0 || gc < 0 || gr >= t.rows || gc >= t.columns) return;
    double add = 1;
    if (k) add = i < k->Size() ? k->counts[i] : 0;
    t.cells[static_cast<size_t>(gr * t.columns + gc)] += add;
  };
  if (filter)
    for (uint32_t i : filter->Observations()) tally(i);
  else
    for (uint32_t i = 0; i < r.Size(); ++i) tally(i);
  t.rowTotals.assign(static_cast<size_t>(t.rows), 0);
  t.columnTotals.assign(static_cast<size_t>(t.columns), 0);
  for (int i = 0; i < t.rows; ++i)
    for (int j = 0; j < t.columns; ++j) {
      t.rowTotals[static_cast<size_t>(i)] += t.At(i, j);
      t.columnTotals[static_cast<size_t>(j)] += t.At(i, j);
      t.total += t.At(i, j);
    }
  return t;
}

// ------------------------------------------------------------------ numerics adapters

std::vector<double> ObservationValues(VariableSource& v, const Criteria* criteria) {
  const ValueVector& x = v.Values();
  std::vector<double> out;
  if (criteria) {
    for (uint32_t i : criteria->Observations()) out.push_back(i < x.Size() ? NumberAt(v, x, i) : MissingValue());
  } else {
    for (size_t i = 0; i < x.Size(); ++i) out.push_back(NumberAt(v, x, i));
  }
  return out;
}

std::vector<std::vector<double>> GroupValues(VariableSource& data, const Criteria& criteria) {
  std::vector<std::vector<double>> groups;
  if (!criteria.splitBy) {
    groups.push_back(ObservationValues(data, &criteria));
    return groups;
  }
  const SplitBy& s = *criteria.splitBy;
  groups.resize(static_cast<size_t>(s.GroupCount()));
  const ValueVector& x = data.Values();
  const ValueVector& f = s.factor->Values();
  for (uint32_t i : criteria.Observations()) {
    if (i >= f.Size()) continue;
    int g = s.groupOf[f.categories[i]];
    if (g < 0 || g >= static_cast<int>(groups.size())) continue;
    groups[static_cast<size_t>(g)].push_back(i < x.Size() ? NumberAt(data, x, i) : MissingValue());
  }
  return groups;
}

numerics::Descriptives DescriptivesOf(VariableSource& v, const Criteria* criteria) {
  return numerics::Descriptives(ObservationValues(v, criteria));
}

std::vector<float> RanksOf(VariableSource& v, const Criteria* criteria) {
  std::vector<double> values = ObservationValues(v, criteria);
  return numerics::MidRanks(values, false, nullptr);
}

}  // namespace qs
