// Dependency graph and recalculation order of a workbook's formulas (Kahn's algorithm over the
// formula cells that need calculating).
#include "sheets/calc/calculator.h"

#include <algorithm>
#include <deque>

namespace sheets::calc {

Calculator::Calculator(Workbook& book, ExternalFunctions* external) : book_(book), external_(external) { Rebuild(); }

void Calculator::Rebuild() {
  cells_.clear();
  index_.assign(book_.sheet_count(), {});
  for (uint32_t s = 0; s < book_.sheet_count(); ++s) {
    const Sheet& sheet = book_.sheet(s);
    if (!sheet.IsWorksheet()) continue;
    const auto& arrays = sheet.array_formulas();
    sheet.ForEachCell([&](uint32_t row, uint32_t col, const CellView& v) {
      if (!v.HasFormula()) return;
      auto it = arrays.find(CellAddress{row, col});
      bool array = it != arrays.end();
      AddFormula(s, array ? it->second : RangeAddress::Cell(row, col), array, v.formula);
    });
  }
  for (ColumnIndex& columns : index_)
    for (auto& [col, rows] : columns) std::sort(rows.begin(), rows.end());
  BuildEdges();
}

void Calculator::AddFormula(uint32_t sheet, const RangeAddress& range, bool array, std::string_view text) {
  FormulaCell fc;
  fc.sheet = sheet;
  fc.range = range;
  fc.array = array;
  fc.formula = ParseFormula(text, book_.sheet(sheet).limits());
  fc.unknown = UnknownPart(fc.formula, &book_, external_);
  if (range.CellCount() > kMaxArrayElements) {
    fc.unknown = "array formula over too many cells";
    fc.range = RangeAddress{range.first, range.first};
  }
  CollectPrecedents(fc);
  auto id = static_cast<uint32_t>(cells_.size());
  for (uint32_t c = fc.range.first.col; c <= fc.range.last.col; ++c)
    for (uint32_t r = fc.range.first.row; r <= fc.range.last.row; ++r) index_[sheet][c].push_back({r, id});
  cells_.push_back(std::move(fc));
}

void Calculator::CollectPrecedents(FormulaCell& fc) {
  const Sheet* from = &book_.sheet(fc.sheet);
  auto add = [&](const Reference& ref, std::vector<Precedent>& out) {
    for (const Sheet* target : SheetsOfReference(ref, &book_, from))
      out.push_back({static_cast<uint32_t>(book_.SheetIndex(target)), RangeOnSheet(ref, *target)});
  };
  auto addNode = [&](const Node& n, std::vector<Precedent>& out) {
    if (n.kind == NodeKind::Ref) add(n.ref, out);
    if (n.kind != NodeKind::Name) return;
    const DefinedName* d = from->names().Find(n.name);
    if (!d) d = book_.names().Find(n.name);
    if (d && d->kind == DefinedName::Kind::References)
      for (const Reference& ref : d->references) add(ref, out);
  };
  for (const Node& n : fc.formula.nodes) addNode(n, fc.precedents);
  // A range operator covers the cells between its ends, whatever picks them (A1:INDEX(A:A,5)): the
  // box around every reference beneath it, per sheet, holds them all. A range operator beneath
  // another lies in the outer one's box; children come before their parents among the nodes, so
  // walking down from the last node meets the outer one first and each node is walked once.
  const std::vector<Node>& nodes = fc.formula.nodes;
  std::vector<char> covered(nodes.size(), 0);
  for (size_t i = nodes.size(); i-- > 0;) {
    const Node& n = nodes[i];
    if (n.kind != NodeKind::Binary || n.op != ':' || covered[i]) continue;
    std::vector<Precedent> beneath;
    std::vector<uint32_t> stack(n.args.begin(), n.args.end());
    while (!stack.empty()) {
      uint32_t at = stack.back();
      stack.pop_back();
      if (at >= nodes.size() || covered[at]) continue;
      covered[at] = 1;
      addNode(nodes[at], beneath);
      stack.insert(stack.end(), nodes[at].args.begin(), nodes[at].args.end());
    }
    std::map<uint32_t, RangeAddress> boxes;
    for (const Precedent& p : beneath) {
      RangeAddress& box = boxes.emplace(p.sheet, p.range).first->second;
      box.first = {std::min(box.first.row, p.range.first.row), std::min(box.first.col, p.range.first.col)};
      box.last = {std::max(box.last.row, p.range.last.row), std::max(box.last.col, p.range.last.col)};
    }
    for (const auto& [sheet, box] : boxes) fc.precedents.push_back({sheet, box});
  }
}

template <typename Fn>
void Calculator::ForEachFormulaIn(uint32_t sheet, const RangeAddress& range, Fn fn) const {
  const ColumnIndex& columns = index_[sheet];
  for (auto it = columns.lower_bound(range.first.col); it != columns.end() && it->first <= range.last.col; ++it) {
    const auto& rows = it->second;
    auto r = std::lower_bound(rows.begin(), rows.end(), std::make_pair(range.first.row, uint32_t(0)));
    for (; r != rows.end() && r->first <= range.last.row; ++r) fn(r->second);
  }
}

void Calculator::BuildEdges() {
  dependents_.assign(cells_.size(), {});
  for (uint32_t id = 0; id < cells_.size(); ++id) {
    for (const Precedent& p : cells_[id].precedents) {
      ForEachFormulaIn(p.sheet, p.range, [&](uint32_t from) {
        auto& list = dependents_[from];
        if (list.empty() || list.back() != id) list.push_back(id);  // an array's cells count once
      });
    }
  }
}

CalcReport Calculator::RecalculateAll() {
  std::vector<uint32_t> all(cells_.size());
  for (uint32_t i = 0; i < all.size(); ++i) all[i] = i;
  return Run(all);
}

CalcReport Calculator::Recalculate(const Sheet& sheet, const std::vector<CellAddress>& changed) {
  std::vector<RangeAddress> ranges;
  ranges.reserve(changed.size());
  for (CellAddress cell : changed) ranges.push_back({cell, cell});
  return RecalculateRanges(sheet, ranges);
}

CalcReport Calculator::RecalculateRanges(const Sheet& sheet, const std::vector<RangeAddress>& changed) {
  int s = book_.SheetIndex(&sheet);
  if (s < 0) return {};
  std::vector<char> seen(cells_.size(), 0);
  std::vector<uint32_t> work;
  auto push = [&](uint32_t id) {
    if (!seen[id]) seen[id] = 1, work.push_back(id);
  };
  for (const RangeAddress& range : changed) {
    ForEachFormulaIn(uint32_t(s), range, push);
    for (uint32_t id = 0; id < cells_.size(); ++id)
      for (const Precedent& p : cells_[id].precedents)
        if (p.sheet == uint32_t(s) && p.range.Intersects(range)) push(id);
  }
  for (size_t i = 0; i < work.size(); ++i)
    for (uint32_t d : dependents_[work[i]]) push(d);
  std::sort(work.begin(), work.end());
  return Run(work);
}

CalcReport Calculator::Run(const std::vector<uint32_t>& ids) {
  CalcReport report;
  std::vector<char> member(cells_.size(), 0);
  for (uint32_t id : ids) member[id] = 1;
  std::vector<uint32_t> waiting(cells_.size(), 0);  // precedents in the set not yet calculated
  for (uint32_t id : ids)
    for (uint32_t d : dependents_[id])
      if (member[d]) ++waiting[d];
  std::deque<uint32_t> ready;
  for (uint32_t id : ids)
    if (!waiting[id]) ready.push_back(id);
  while (!ready.empty()) {
    uint32_t id = ready.front();
    ready.pop_front();
    member[id] = 0;
    const FormulaCell& fc = cells_[id];
    Sheet& sheet = book_.sheet(fc.sheet);
    if (!fc.unknown.empty()) {
      report.kept.push_back({&sheet, fc.range.first, fc.unknown});
    } else {
      EvalContext ctx{&book_, &sheet, fc.range.first, external_};
      Store(fc, Evaluate(fc.formula, ctx));
      ++report.calculated;
    }
    for (uint32_t d : dependents_[id])
      if (member[d] && --waiting[d] == 0) ready.push_back(d);
  }
  for (uint32_t id : ids) {
    if (!member[id]) continue;
    const FormulaCell& fc = cells_[id];
    Store(fc, Operand::Err(kCircularError));
    report.circular.push_back({&book_.sheet(fc.sheet), fc.range.first, "circular reference"});
  }
  return report;
}

void Calculator::Store(const FormulaCell& fc, const Operand& result) {
  Sheet& sheet = book_.sheet(fc.sheet);
  const RangeAddress& r = fc.range;
  if (!fc.array) {
    sheet.SetCachedValue(r.first.row, r.first.col, ScalarOf(result));
    return;
  }
  // An array formula spreads its result over its range; a single row or column repeats, cells
  // beyond the result get #N/A.
  for (uint32_t i = 0; i < r.Rows(); ++i) {
    for (uint32_t j = 0; j < r.Cols(); ++j) {
      Value v = result.At(result.Rows() == 1 ? 0 : i, result.Cols() == 1 ? 0 : j);
      if (i == 0 && j == 0)
        sheet.SetCachedValue(r.first.row, r.first.col, v);
      else
        sheet.SetValue(r.first.row + i, r.first.col + j, v);
    }
  }
}

std::string Calculator::NotCalculated(const Sheet& sheet, CellAddress cell) const {
  int s = book_.SheetIndex(&sheet);
  if (s < 0) return {};
  std::string why;
  ForEachFormulaIn(uint32_t(s), RangeAddress{cell, cell}, [&](uint32_t id) { why = cells_[id].unknown; });
  return why;
}

}  // namespace sheets::calc
