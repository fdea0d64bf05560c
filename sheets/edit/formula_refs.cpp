#include "sheets/edit/formula_refs.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "sheets/calc/formula.h"
#include "sheets/model/workbook.h"

namespace sheets {

std::optional<std::string> EditFormulaReferences(std::string_view formula, const SheetLimits& limits,
                                                 const ReferenceEdit& edit) {
  std::string_view body = formula;
  if (!body.empty() && body.front() == '=') body.remove_prefix(1);
  calc::Formula parsed = calc::ParseFormula(body, limits);
  if (!parsed.ok) return std::nullopt;
  struct Edit {
    size_t begin, end;
    std::string text;
  };
  std::vector<Edit> edits;
  for (const calc::Node& node : parsed.nodes) {
    if (node.kind != calc::NodeKind::Ref || node.text_end <= node.text_begin) continue;
    std::string_view text = body.substr(node.text_begin, node.text_end - node.text_begin);
    std::optional<Reference> ref = ParseA1(text, limits);
    if (!ref) continue;
    if (std::optional<std::string> replaced = edit(*ref, text))
      edits.push_back({node.text_begin, node.text_end, std::move(*replaced)});
  }
  if (edits.empty()) return std::nullopt;
  std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.begin < b.begin; });
  std::string out(formula.substr(0, formula.size() - body.size()));
  size_t at = 0;
  for (const Edit& e : edits) {
    if (e.begin < at) continue;  // references never overlap; kept safe all the same
    out.append(body.substr(at, e.begin - at));
    out += e.text;
    at = e.end;
  }
  out.append(body.substr(at));
  return out;
}

std::optional<std::string> EditReferenceList(std::string_view text, const SheetLimits& limits,
                                             const ReferenceEdit& edit) {
  std::string_view body = text;
  if (!body.empty() && body.front() == '=') body.remove_prefix(1);
  std::optional<ReferenceList> refs = ParseReferenceList(body, RefStyle::A1, {}, limits);
  if (!refs) return std::nullopt;
  bool changed = false;
  std::string out;
  for (size_t i = 0; i < refs->size(); ++i) {
    if (i) out += ',';
    std::string written = FormatReference((*refs)[i], RefStyle::A1);
    if (std::optional<std::string> replaced = edit((*refs)[i], written)) {
      out += *replaced;
      changed = true;
    } else {
      out += written;
    }
  }
  if (!changed) return std::nullopt;
  return out;
}

namespace {

bool ContainsNoCase(std::string_view text, std::string_view word) {
  auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
  for (size_t i = 0; i + word.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < word.size() && lower(text[i + k]) == lower(word[k])) ++k;
    if (k == word.size()) return true;
  }
  return false;
}

}  // namespace

void EditNameReferences(NameTable& table, const SheetLimits& limits, const ReferenceEdit& edit) {
  std::vector<std::pair<std::string, std::string>> changed;
  for (const DefinedName& n : table.entries()) {
    std::optional<std::string> text;
    if (n.kind == DefinedName::Kind::References)
      text = EditReferenceList(n.refers_to, limits, edit);
    else if (n.kind == DefinedName::Kind::Formula)
      text = EditFormulaReferences(n.refers_to, limits, edit);
    if (text) changed.emplace_back(n.name, std::move(*text));
  }
  for (const auto& [name, text] : changed)
    if (DefinedName* n = table.Find(name)) n->SetRefersTo(text, limits);
}

void EditSheetReferences(Sheet& s, const ReferenceEdit& edit, std::string_view needle) {
  const SheetLimits& limits = s.workbook()->limits();
  std::vector<std::pair<CellAddress, std::string>> changed;
  if (s.EverHadFormulas())
    s.ForEachCell([&](uint32_t row, uint32_t col, const CellView& cell) {
      if (!cell.HasFormula() || (!needle.empty() && !ContainsNoCase(cell.formula, needle))) return;
      if (std::optional<std::string> text = EditFormulaReferences(cell.formula, limits, edit))
        changed.emplace_back(CellAddress{row, col}, std::move(*text));
    });
  for (const auto& [at, text] : changed) s.ReplaceFormulaText(at.row, at.col, text);
  EditNameReferences(s.names(), limits, edit);
  auto editChart = [&](const Chart& chart) -> std::optional<Chart> {
    Chart copy = chart;
    bool any = false;
    for (ChartSeries& one : copy.series)
      for (std::string* ref : {&one.name_ref, &one.x_values, &one.y_values})
        if (!ref->empty() && ref->front() != '{')
          if (std::optional<std::string> text = EditReferenceList(*ref, limits, edit)) {
            *ref = std::move(*text);
            any = true;
          }
    if (!any) return std::nullopt;
    return copy;
  };
  for (auto& object : s.drawings())
    if (object->kind == DrawingObject::Kind::Chart && object->chart)
      if (std::optional<Chart> edited = editChart(*object->chart))
        object->chart = std::make_shared<Chart>(std::move(*edited));
  if (const Chart* chart = s.chart_if_any())
    if (std::optional<Chart> edited = editChart(*chart)) s.chart() = std::move(*edited);
}

}  // namespace sheets
