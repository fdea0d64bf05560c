#include "sheets/edit/shift_kept.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "sheets/io/opc.h"
#include "sheets/io/preserved.h"
#include "sheets/io/xml.h"
#include "sheets/model/workbook.h"

namespace sheets {

namespace {

// A space-separated list of areas ("A1:B2 D4", as kept parts of a sheet file write them) after the
// shift; empty when all of them are gone.
std::string ShiftedAreaList(std::string_view list, const CellShift& shift) {
  std::string out;
  size_t at = 0;
  while (at < list.size()) {
    size_t end = std::min(list.find(' ', at), list.size());
    std::string_view one = list.substr(at, end - at);
    at = end + 1;
    if (one.empty()) continue;
    std::optional<Reference> ref = ParseA1(one, shift.sheet->limits());
    std::optional<RangeAddress> moved = ref ? ShiftedArea(ref->area, shift) : std::nullopt;
    if (ref && !moved) continue;  // its cells are gone
    if (!out.empty()) out += ' ';
    out += ref ? RangeName(*moved) : std::string(one);
  }
  return out;
}

// Parts of the sheet's file kept as they were read (conditional formats, data validations,
// hyperlinks, filters ...): their cell ranges and formulas follow. False when the element's cells
// are all gone, and it with them.
bool ShiftKeptElement(XmlNode& node, const CellShift& shift) {
  for (auto& [name, value] : node.attrs) {
    std::string_view local = XmlLocalName(name);
    if ((local != "sqref" && local != "ref") || value.empty()) continue;
    value = ShiftedAreaList(value, shift);
    if (value.empty()) return false;
  }
  std::string_view local = node.local();
  if (local == "formula" || local == "formula1" || local == "formula2")
    if (std::optional<std::string> text = ShiftFormulaText(node.text, {shift.sheet->workbook(), shift.sheet}, shift))
      node.text = std::move(*text);
  size_t before = node.children.size();
  std::erase_if(node.children, [&](XmlNode& child) { return !ShiftKeptElement(child, shift); });
  return before == 0 || !node.children.empty();  // a list left empty goes too
}

// The cell of a kept drawing anchor's corner (<xdr:from><xdr:col>1</xdr:col>...<xdr:row>2</xdr:row>).
struct KeptCorner {
  XmlNode* col = nullptr;
  XmlNode* row = nullptr;
  std::optional<CellAddress> Cell() const {
    if (!col || !row) return std::nullopt;
    char* end = nullptr;
    unsigned long c = std::strtoul(col->text.c_str(), &end, 10);
    if (col->text.empty() || *end) return std::nullopt;
    unsigned long r = std::strtoul(row->text.c_str(), &end, 10);
    if (row->text.empty() || *end) return std::nullopt;
    return CellAddress{static_cast<uint32_t>(std::min(r, 0xFFFFFFFFul)),
                       static_cast<uint32_t>(std::min(c, 0xFFFFFFFFul))};
  }
  void Set(CellAddress a) {
    col->text = std::to_string(a.col);
    row->text = std::to_string(a.row);
  }
};

KeptCorner CornerOf(XmlNode& anchor, std::string_view which) {
  KeptCorner corner;
  for (XmlNode& child : anchor.children)
    if (child.local() == which)
      for (XmlNode& part : child.children) {
        if (part.local() == "col") corner.col = &part;
        if (part.local() == "row") corner.row = &part;
      }
  return corner;
}

// Pictures and shapes kept from the file move as the modelled drawing objects do.
void ShiftKeptAnchor(XmlNode& anchor, const CellShift& shift) {
  KeptCorner from = CornerOf(anchor, "from"), to = CornerOf(anchor, "to");
  std::optional<CellAddress> first = from.Cell(), last = to.Cell();
  if (!first) return;
  MoveAnchor(*first, last ? &*last : nullptr, shift);
  from.Set(*first);
  if (last) to.Set(*last);
}

void ShiftKeptElements(Sheet& s, const CellShift& shift) {
  if (!s.preserved() || (s.preserved()->elements.empty() && s.preserved()->drawing_anchors.empty())) return;
  auto kept = std::make_shared<SheetPreserved>(*s.preserved());  // perhaps shared with a copy of the sheet
  std::erase_if(kept->elements, [&](XmlNode& e) { return !ShiftKeptElement(e, shift); });
  for (XmlNode& anchor : kept->drawing_anchors) ShiftKeptAnchor(anchor, shift);
  s.preserved() = std::move(kept);
}

// ---- cell notes, kept as the file's parts: the comments part names each note's cell, the VML
// drawing places its box (x:Row and x:Column name the cell, x:Anchor the box's corners).

// Where each note's cell went: old cell -> new cell, or nullopt when it was deleted.
using NoteMoves = std::map<CellAddress, std::optional<CellAddress>>;

bool ShiftCommentsPart(XmlNode& root, const CellShift& shift, NoteMoves& moves) {
  bool changed = false;
  for (XmlNode& list : root.children) {
    if (list.local() != "commentList") continue;
    std::erase_if(list.children, [&](XmlNode& comment) {
      std::string ref = comment.AttrOr("ref", "");
      std::optional<Reference> at = ParseA1(ref, shift.sheet->limits());
      if (!at) return false;
      std::optional<RangeAddress> moved = ShiftedArea(at->area, shift);
      if (moved && *moved == at->area.range) return false;
      changed = true;
      moves[at->area.range.first] = moved ? std::optional<CellAddress>(moved->first) : std::nullopt;
      if (!moved) return true;
      for (auto& [name, value] : comment.attrs)
        if (XmlLocalName(name) == "ref") value = RangeName(*moved);
      return false;
    });
  }
  return changed;
}

// The child of a VML note's client data with that local name.
XmlNode* ClientPart(XmlNode& data, std::string_view local) {
  for (XmlNode& child : data.children)
    if (child.local() == local) return &child;
  return nullptr;
}

// Moves (or, for a deleted note, drops) the VML shapes of the notes that moved.
void ShiftNoteShapes(XmlNode& node, const NoteMoves& moves) {
  std::erase_if(node.children, [&](XmlNode& shape) {
    XmlNode* data = shape.local() == "shape" ? ClientPart(shape, "ClientData") : nullptr;
    XmlNode* row = data ? ClientPart(*data, "Row") : nullptr;
    XmlNode* col = data ? ClientPart(*data, "Column") : nullptr;
    if (!row || !col) return false;
    CellAddress at{static_cast<uint32_t>(std::strtoul(row->text.c_str(), nullptr, 10)),
                   static_cast<uint32_t>(std::strtoul(col->text.c_str(), nullptr, 10))};
    auto move = moves.find(at);
    if (move == moves.end()) return false;
    if (!move->second) return true;
    const int64_t drow = int64_t(move->second->row) - at.row, dcol = int64_t(move->second->col) - at.col;
    row->text = std::to_string(move->second->row);
    col->text = std::to_string(move->second->col);
    if (XmlNode* anchor =
            ClientPart(*data, "Anchor")) {  // left col, off, top row, off, right col, off, bottom row, off
      std::vector<int64_t> v;
      for (const char* p = anchor->text.c_str(); *p;) {
        char* end = nullptr;
        v.push_back(std::strtoll(p, &end, 10));
        if (end == p) break;
        p = *end == ',' ? end + 1 : end;
      }
      if (v.size() == 8) {
        for (size_t i : {0, 4}) v[i] = std::max<int64_t>(0, v[i] + dcol);
        for (size_t i : {2, 6}) v[i] = std::max<int64_t>(0, v[i] + drow);
        std::string text;
        for (size_t i = 0; i < v.size(); ++i) text += (i ? ", " : "") + std::to_string(v[i]);
        anchor->text = text;
      }
    }
    return false;
  });
  for (XmlNode& child : node.children) ShiftNoteShapes(child, moves);
}

void ShiftKeptNotes(Sheet& s, const CellShift& shift) {
  Workbook* book = s.workbook();
  if (!book || !book->preserved() || !s.preserved()) return;
  std::string comments_part, vml_part;
  for (const PreservedRel& r : s.preserved()->rels) {
    if (!r.target_mode.empty()) continue;
    // Sheet parts sit in one folder: their relationship targets resolve against any of them.
    if (opc::TypeIs(r.type, "comments")) comments_part = opc::ResolveTarget("xl/worksheets/sheet1.xml", r.target);
    if (opc::TypeIs(r.type, "vmlDrawing")) vml_part = opc::ResolveTarget("xl/worksheets/sheet1.xml", r.target);
  }
  const auto& parts = book->preserved()->parts;
  auto comments = parts.find(comments_part);
  if (comments == parts.end()) return;
  auto vml = parts.find(vml_part);
  XmlNode comments_tree, vml_tree;
  try {
    comments_tree = ParseXmlTree(comments->second);
    if (vml != parts.end()) vml_tree = ParseXmlTree(vml->second);
  } catch (const std::exception&) {
    return;  // a part this reader cannot take stays as it is
  }
  NoteMoves moves;
  if (!ShiftCommentsPart(comments_tree, shift, moves)) return;
  auto kept = std::make_shared<PackagePreserved>(*book->preserved());  // perhaps shared with another workbook
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
  comments_tree.Serialize(text);
  kept->parts[comments_part] = std::move(text);
  if (vml != parts.end()) {
    ShiftNoteShapes(vml_tree, moves);
    std::string shapes;
    vml_tree.Serialize(shapes);
    kept->parts[vml_part] = std::move(shapes);
  }
  book->preserved() = std::move(kept);
}

}  // namespace

void ShiftKeptParts(Sheet& sheet, const CellShift& shift) {
  ShiftKeptElements(sheet, shift);
  ShiftKeptNotes(sheet, shift);
}

}  // namespace sheets
