// Reads xlsx, xlsm, xltx and xltm packages into the workbook model.
//
// Small parts (content types, relationships, workbook, styles, drawings, charts) are read as trees.
// Shared strings and sheets are streamed: a sheet's cells go straight from the inflater through the
// streaming parser (xml_scan.h) into the cell store, and only the sheet's other elements are kept as
// trees.
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <queue>
#include <set>

#include "sheets/io/chart_xml.h"
#include "sheets/io/file_error.h"
#include "sheets/io/limits.h"
#include "sheets/io/opc.h"
#include "sheets/io/preserved.h"
#include "sheets/io/styles_xml.h"
#include "sheets/io/workbook_io.h"
#include "sheets/io/zip.h"
#include "sheets/model/formula_text.h"
#include "sheets/model/model_error.h"

namespace sheets {

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
  return out;
}

bool ToBool(const std::string* s, bool fallback) {
  if (!s) return fallback;
  return *s == "1" || *s == "true";
}

uint32_t ToUint(const std::string* s, uint32_t fallback, std::string_view what) {
  if (!s) return fallback;
  uint32_t v = 0;
  auto r = std::from_chars(s->data(), s->data() + s->size(), v);
  if (r.ec != std::errc() || r.ptr != s->data() + s->size())
    throw FormatError("invalid " + std::string(what) + " \"" + s->substr(0, 40) + "\"");
  return v;
}

double ToDouble(const std::string* s, double fallback) {
  if (!s) return fallback;
  double v = 0;
  auto r = std::from_chars(s->data(), s->data() + s->size(), v);
  if (r.ec != std::errc()) return fallback;
  return v;
}

// Name comparison inlined for the per-cell elements (no library call for a one-letter name).
template <size_t N>
inline bool Is(std::string_view s, const char (&lit)[N]) {
  if (s.size() != N - 1) return false;
  for (size_t i = 0; i + 1 < N; ++i)
    if (s[i] != lit[i]) return false;
  return true;
}

// "B12" -> (11, 1) within the large grid; nullopt when it is not a cell name or lies beyond.
std::optional<CellAddress> ParseCellName(std::string_view s, const SheetLimits& lim) {
  size_t i = 0;
  uint64_t col = 0;
  while (i < s.size() && ((s[i] >= 'A' && s[i] <= 'Z') || (s[i] >= 'a' && s[i] <= 'z'))) {
    col = col * 26 + uint64_t((s[i] | 0x20) - 'a' + 1);
    if (++i > 3) return std::nullopt;
  }
  if (i == 0 || i == s.size()) return std::nullopt;
  uint64_t row = 0;
  size_t digits = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9' || ++digits > 9) return std::nullopt;
    row = row * 10 + uint64_t(s[i] - '0');
  }
  if (row == 0 || row > lim.rows || col > lim.cols) return std::nullopt;
  return CellAddress{uint32_t(row - 1), uint32_t(col - 1)};
}

std::optional<RangeAddress> ParseRangeName(std::string_view s, const SheetLimits& lim) {
  size_t colon = s.find(':');
  auto a = ParseCellName(s.substr(0, colon), lim);
  if (!a) return std::nullopt;
  if (colon == std::string_view::npos) return RangeAddress{*a, *a};
  auto b = ParseCellName(s.substr(colon + 1), lim);
  if (!b) return std::nullopt;
  return RangeAddress{{std::min(a->row, b->row), std::min(a->col, b->col)},
                      {std::max(a->row, b->row), std::max(a->col, b->col)}};
}

class XlsxReader {
 public:
  XlsxReader(std::span<const uint8_t> bytes, const std::string& name, bool preserve)
      : zip_(bytes), name_(name), preserve_(preserve) {}

  std::unique_ptr<Workbook> Read();

 private:
  std::string ReadPart(const std::string& part, uint64_t max = limits::kMaxTreePartBytes) {
    int i = zip_.Find(part);
    if (i < 0) throw FormatError("the package has no part " + part);
    consumed_.insert(Lower(zip_.entries()[size_t(i)].name));
    return zip_.ReadAll(size_t(i), max);
  }
  XmlNode ReadTree(const std::string& part) {
    std::string xml = ReadPart(part);
    try {
      return ParseXmlTree(xml);
    } catch (const FormatError& e) {
      throw FormatError(std::string(e.what()) + " in " + part);
    }
  }
  bool Has(const std::string& part) const { return zip_.Find(part) >= 0; }
  // Sheets, drawings and charts each have a part of their own; one part read for many of them would
  // multiply the work, so a second claim on a part is refused.
  void Claim(const std::string& part, std::string_view what) {
    if (!claimed_.insert(Lower(part)).second)
      throw FormatError("the part " + part + " serves more than one " + std::string(what));
  }
  std::vector<PreservedRel> ReadRels(const std::string& part) {
    std::string rels = opc::RelsPartName(part);
    std::vector<PreservedRel> out;
    if (!Has(rels)) return out;
    XmlNode root = ReadTree(rels);
    for (auto* r : root.ChildrenNamed("Relationship")) {
      PreservedRel rel{r->AttrOr("Id", ""), r->AttrOr("Type", ""), r->AttrOr("Target", ""),
                       r->AttrOr("TargetMode", "")};
      // Internal targets become absolute part names, so that they stay right wherever the part that
      // holds them is written.
      if (rel.target_mode.empty()) rel.target = "/" + opc::ResolveTarget(part, rel.target);
      out.push_back(std::move(rel));
    }
    return out;
  }
  static const PreservedRel* FindRel(const std::vector<PreservedRel>& rels, std::string_view id) {
    for (const auto& r : rels)
      if (r.id == id) return &r;
    return nullptr;
  }
  std::string ContentType(const std::string& part) const {
    auto it = overrides_.find(Lower(part));
    if (it != overrides_.end()) return it->second;
    size_t dot = part.rfind('.');
    if (dot != std::string::npos) {
      auto d = defaults_.find(Lower(part.substr(dot + 1)));
      if (d != defaults_.end()) return d->second;
    }
    return {};
  }

  void ReadContentTypes();
  void ReadSharedStrings(const std::string& part);
  void ReadWorksheet(Sheet& sheet, const std::string& part);
  void ReadChartsheet(Sheet& sheet, const std::string& part);
  void ReadDrawing(Sheet& sheet, const std::string& part, SheetPreserved* keep);
  std::optional<Chart> ReadChartPart(const std::string& part);
  void ApplySheetViews(Sheet& sheet, XmlNode& views, SheetPreserved* keep);
  void ApplySheetView(Sheet& sheet, const XmlNode& sheet_view, SheetView& view);
  void ApplyPageSetup(Sheet& sheet, const XmlNode& setup);

  ZipReader zip_;
  std::string name_;
  bool preserve_;
  std::unique_ptr<Workbook> book_;
  std::shared_ptr<PackagePreserved> keep_;
  std::set<std::string> consumed_;  // lower-case part names read into the model
  std::set<std::string> claimed_;   // lower-case names of the sheet, drawing and chart parts read
  std::map<std::string, std::string> defaults_, overrides_;
  // Shared strings: one buffer, offsets of each string's start (and one past the last).
  std::string sst_bytes_;
  std::vector<uint64_t> sst_offsets_{0};
  std::vector<uint32_t> xf_map_;
  uint64_t cells_ = 0;

  friend class SheetHandler;
  friend class SstHandler;
};

void XlsxReader::ReadContentTypes() {
  XmlNode root = ReadTree("[Content_Types].xml");
  for (const auto& c : root.children) {
    if (c.local() == "Default")
      defaults_[Lower(c.AttrOr("Extension", ""))] = c.AttrOr("ContentType", "");
    else if (c.local() == "Override") {
      std::string part = c.AttrOr("PartName", "");
      if (!part.empty() && part.front() == '/') part.erase(0, 1);
      overrides_[Lower(part)] = c.AttrOr("ContentType", "");
    }
  }
}

// ---- shared strings ---------------------------------------------------------------------------------

class SstHandler : public XmlEvents {
 public:
  explicit SstHandler(XlsxReader& r) : r_(r) {}
  void StartElement(std::string_view name, std::span<const XmlAttr>) override {
    auto n = XmlLocalName(name);
    if (n == "si") {
      in_si_ = true;
      cur_.clear();
    } else if (n == "rPh")
      ++in_phonetic_;
    else if (n == "t" && in_si_ && !in_phonetic_)
      in_t_ = true;
  }
  void EndElement(std::string_view name) override {
    auto n = XmlLocalName(name);
    if (n == "t")
      in_t_ = false;
    else if (n == "rPh")
      --in_phonetic_;
    else if (n == "si") {
      in_si_ = false;
      if (r_.sst_offsets_.size() > limits::kMaxSharedStrings) throw FormatError("too many shared strings");
      std::string decoded;
      const std::string* text = &cur_;
      if (cur_.find("_x") != std::string::npos) {
        decoded = DecodeOoxmlText(cur_);
        text = &decoded;
      }
      if (text->size() > limits::kMaxStringBytes)
        throw FormatError("shared string " + std::to_string(r_.sst_offsets_.size() - 1) + " is longer than " +
                          std::to_string(limits::kMaxStringBytes) + " bytes");
      r_.sst_bytes_ += *text;
      r_.sst_offsets_.push_back(r_.sst_bytes_.size());
    }
  }
  void Text(std::string_view text) override {
    if (!in_t_) return;
    if (cur_.size() + text.size() > limits::kMaxStringBytes * 8)
      throw FormatError("shared string " + std::to_string(r_.sst_offsets_.size() - 1) + " is longer than " +
                        std::to_string(limits::kMaxStringBytes) + " bytes");
    cur_.append(text);
  }

 private:
  XlsxReader& r_;
  bool in_si_ = false, in_t_ = false;
  int in_phonetic_ = 0;
  std::string cur_;
};

void XlsxReader::ReadSharedStrings(const std::string& part) {
  int i = zip_.Find(part);
  if (i < 0) throw FormatError("the package has no part " + part);
  consumed_.insert(Lower(part));
  SstHandler handler(*this);
  XmlScanner parser(handler);
  try {
    zip_.Read(size_t(i), [&](std::string_view chunk) { parser.Feed(chunk); });
    parser.Finish();
  } catch (const FormatError& e) {
    throw FormatError(std::string(e.what()) + " in " + part);
  }
}

// ---- worksheets -------------------------------------------------------------------------------------

class SheetHandler : public XmlEvents {
 public:
  SheetHandler(XlsxReader& r, Sheet& sheet) : r_(r), sheet_(sheet), lim_(sheet.limits()) {}

  std::vector<std::pair<std::string, std::string>> root_attrs;
  std::vector<XmlNode> elements;  // children of the root other than sheetData
  uint64_t bytes_read = 0;        // of the sheet part, as inflated so far

  void StartElement(std::string_view name, std::span<const XmlAttr> attrs) override {
    ++depth_;
    if (depth_ == 1) {
      for (const XmlAttr& a : attrs) root_attrs.emplace_back(a.name, a.value);
      return;
    }
    if (tree_.Building()) return tree_.StartElement(name, attrs);
    auto n = XmlLocalName(name);
    if (depth_ == 2) {
      if (Is(n, "sheetData")) {
        in_data_ = true;
        return;
      }
      return tree_.StartElement(name, attrs);
    }
    if (!in_data_) return;
    if (Is(n, "row"))
      StartRow(attrs);
    else if (Is(n, "c"))
      StartCell(attrs);
    else if (Is(n, "v") && in_cell_) {
      in_v_ = true;
      v_.clear();
    } else if (Is(n, "f") && in_cell_)
      StartFormula(attrs);
    else if (Is(n, "is") && in_cell_)
      in_is_ = true;
    else if (Is(n, "rPh"))
      ++in_phonetic_;
    else if (Is(n, "t") && in_is_ && !in_phonetic_)
      in_t_ = true;
  }

  void EndElement(std::string_view name) override {
    --depth_;
    if (tree_.Building()) {
      tree_.EndElement(name);
      if (!tree_.Building()) elements.push_back(tree_.Take());
      return;
    }
    if (!in_data_) return;
    auto n = XmlLocalName(name);
    if (Is(n, "sheetData") && depth_ == 1) {
      in_data_ = false;
      ResolveSharedLater();
    } else if (Is(n, "v"))
      in_v_ = false;
    else if (Is(n, "f"))
      in_f_ = false;
    else if (Is(n, "t"))
      in_t_ = false;
    else if (Is(n, "rPh"))
      --in_phonetic_;
    else if (Is(n, "is"))
      in_is_ = false;
    else if (Is(n, "c"))
      EndCell();
  }

  void Text(std::string_view text) override {
    if (tree_.Building()) return tree_.Text(text);
    std::string* target = in_v_ ? &v_ : in_f_ ? &f_ : in_t_ ? &is_ : nullptr;
    if (!target) return;
    if (target->size() + text.size() > limits::kMaxStringBytes * 8)
      throw FormatError("cell " + CellName(cell_) + " holds text longer than " +
                        std::to_string(limits::kMaxStringBytes) + " bytes");
    target->append(text);
  }

 private:
  using Attrs = std::span<const XmlAttr>;
  static uint32_t FastUint(std::string_view s, const char* what) {
    uint32_t v = 0;
    auto res = std::from_chars(s.data(), s.data() + s.size(), v);
    if (res.ec != std::errc() || res.ptr != s.data() + s.size())
      throw FormatError("invalid " + std::string(what) + " \"" + std::string(s.substr(0, 40)) + "\"");
    return v;
  }

  static const std::string_view* Attr(Attrs attrs, std::string_view local) {
    for (const XmlAttr& a : attrs)
      if (a.name == local || XmlLocalName(a.name) == local) return &a.value;
    return nullptr;
  }

  void StartRow(Attrs attrs) {
    const std::string_view* r = Attr(attrs, "r");
    if (r) {
      uint32_t n = FastUint(*r, "row number");
      if (n == 0 || n > lim_.rows)
        throw FormatError("row " + std::string(r->substr(0, 20)) + " is beyond the sheet limits of " +
                          std::to_string(lim_.rows) + " rows");
      row_ = n - 1;
    } else {
      row_ = started_row_ ? row_ + 1 : 0;
      if (row_ >= lim_.rows) throw FormatError("too many rows");
    }
    // Rows come in ascending order, as the format requires; taking them in any order would let a
    // hostile file make every cell an insertion in the middle of its column (quadratic time).
    if (last_row_ >= 0 && int64_t(row_) <= last_row_)
      throw FormatError("row " + std::to_string(row_ + 1) + " comes after row " + std::to_string(last_row_ + 1));
    last_row_ = row_;
    started_row_ = true;
    next_col_ = 0;
    last_col_ = -1;
    RowInfo info;
    bool any = false;
    for (const XmlAttr& a : attrs) {
      auto k = XmlLocalName(a.name);
      if (k == "r" || k == "spans") continue;
      std::string v(a.value);
      if (k == "ht")
        info.height = ToDouble(&v, 0);
      else if (k == "customHeight") {
        custom_height_ = ToBool(&v, false);
        continue;
      } else if (k == "hidden")
        info.hidden = ToBool(&v, false);
      else if (k == "outlineLevel")
        info.outline_level = uint8_t(std::min<uint32_t>(ToUint(&v, 0, "outline level"), 7));
      else if (k == "collapsed")
        info.collapsed = ToBool(&v, false);
      else if (k == "s")
        row_style_ = ToUint(&v, 0, "row style");
      else if (k == "customFormat") {
        custom_format_ = ToBool(&v, false);
        continue;
      } else
        continue;
      any = true;
    }
    if (custom_format_ && row_style_ < r_.xf_map_.size() && row_style_ != 0) info.format = r_.xf_map_[row_style_];
    row_has_format_ = info.format.has_value();
    // Heights only count when set by the user; producers write the default height on every row.
    if (!custom_height_ && !info.hidden) info.height = 0;
    custom_height_ = custom_format_ = false;
    row_style_ = 0;
    if (any && !(info == RowInfo{})) sheet_.SetRow(row_, info);
  }

  void StartCell(Attrs attrs) {
    in_cell_ = true;
    has_formula_ = false;
    v_.clear();
    f_.clear();
    is_.clear();
    type_ = 'n';
    style_ = 0;
    // One pass over the attributes; the first of each name counts.
    const std::string_view *r = nullptr, *t = nullptr, *s = nullptr;
    for (const XmlAttr& attr : attrs) {
      std::string_view k = XmlLocalName(attr.name);
      if (k.size() != 1) continue;
      const std::string_view** slot = k[0] == 'r' ? &r : k[0] == 't' ? &t : k[0] == 's' ? &s : nullptr;
      if (slot && !*slot) *slot = &attr.value;
    }
    if (r) {
      auto a = ParseCellName(*r, lim_);
      if (!a) {
        if (ParseCellName(*r, SheetLimits{UINT32_MAX / 2, UINT32_MAX / 2}))
          throw FormatError(std::string("cell ") + std::string(r->substr(0, 20)) + " is beyond the sheet limits of " +
                            std::to_string(lim_.rows) + " rows and " + std::to_string(lim_.cols) + " columns");
        throw FormatError(std::string("invalid cell reference \"") + std::string(r->substr(0, 20)) + "\"");
      }
      if (started_row_ && a->row != row_) throw FormatError("cell " + std::string(*r) + " lies outside its row");
      cell_ = *a;
    } else {
      if (next_col_ >= lim_.cols) throw FormatError("too many cells in row " + std::to_string(row_ + 1));
      cell_ = {row_, next_col_};
    }
    if (last_col_ >= 0 && int64_t(cell_.col) <= last_col_)
      throw FormatError("cell " + CellName(cell_) + " comes after cell " + CellName({cell_.row, uint32_t(last_col_)}));
    last_col_ = cell_.col;
    next_col_ = cell_.col + 1;
    if (t) {
      std::string_view tv(*t);
      type_ = tv == "s"           ? 's'
              : tv == "str"       ? 'f'
              : tv == "inlineStr" ? 'i'
              : tv == "b"         ? 'b'
              : tv == "e"         ? 'e'
              : tv == "d"         ? 'd'
                                  : 'n';
    }
    if (s) {
      style_ = FastUint(*s, "cell style");
      if (style_ >= r_.xf_map_.size() && !(style_ == 0 && r_.xf_map_.empty()))
        throw FormatError("cell " + CellName(cell_) + " refers to missing cell format " + std::to_string(style_));
    }
  }

  void StartFormula(Attrs attrs) {
    in_f_ = true;
    has_formula_ = true;
    shared_index_ = -1;
    array_ref_.reset();
    const std::string_view* t = Attr(attrs, "t");
    if (t && *t == "array") {
      const std::string_view* ref = Attr(attrs, "ref");
      std::string rv = ref ? std::string(*ref) : CellName(cell_);  // a missing ref means the cell alone
      array_ref_ = ParseRangeName(rv, lim_);
      if (!array_ref_)
        throw FormatError("cell " + CellName(cell_) + " holds an array formula over an invalid range \"" +
                          rv.substr(0, 40) + "\"");
      if (array_ref_->first != cell_)
        throw FormatError("cell " + CellName(cell_) + " holds an array formula over " + RangeName(*array_ref_) +
                          ", which does not start at the cell");
    } else if (t && *t == "shared") {
      if (const std::string_view* si = Attr(attrs, "si")) {
        std::string s(*si);
        shared_index_ = int64_t(ToUint(&s, 0, "shared formula index"));
      }
    }
  }

  void EndCell() {
    in_cell_ = false;
    if (++r_.cells_ > limits::kMaxCells)
      throw FormatError("the workbook holds more than " + std::to_string(limits::kMaxCells) + " cells");
    Value value;
    switch (type_) {
      case 's': {
        if (v_.empty()) break;
        uint64_t idx = 0;
        auto res = std::from_chars(v_.data(), v_.data() + v_.size(), idx);
        if (res.ec != std::errc() || res.ptr != v_.data() + v_.size() || idx + 1 >= r_.sst_offsets_.size())
          throw FormatError("cell " + CellName(cell_) + " refers to shared string " + v_.substr(0, 20) +
                            ", which does not exist");
        std::string_view text(r_.sst_bytes_.data() + r_.sst_offsets_[idx],
                              r_.sst_offsets_[idx + 1] - r_.sst_offsets_[idx]);
        if (!has_formula_) {
          // Each shared string enters the sheet's pool once, without hashing; its cells share the id.
          if (sst_ids_.empty()) sst_ids_.assign(r_.sst_offsets_.size() - 1, UINT32_MAX);
          uint32_t& id = sst_ids_[size_t(idx)];
          if (id == UINT32_MAX) id = sheet_.AppendText(text);
          sheet_.SetTextId(cell_.row, cell_.col, id);
          Finish();
          return;
        }
        value = Value::Text(text);
        break;
      }
      case 'f':
      case 'd': value = Value::Text(DecodeOoxmlText(v_)); break;
      case 'i': {
        std::string text = DecodeOoxmlText(is_);
        if (text.size() > limits::kMaxStringBytes)
          throw FormatError("cell " + CellName(cell_) + " holds text longer than " +
                            std::to_string(limits::kMaxStringBytes) + " bytes");
        value = Value::Text(text);
        break;
      }
      case 'b': value = Value::Boolean(v_ == "1" || v_ == "true"); break;
      case 'e': value = Value::Error(ParseErrorText(v_).value_or(ErrorCode::NA)); break;
      default: {
        if (v_.empty()) break;
        double d = 0;
        if (!ParseXmlNumber(v_, d) || !std::isfinite(d))
          throw FormatError("cell " + CellName(cell_) + " holds an invalid number \"" + v_.substr(0, 40) + "\"");
        if (!has_formula_) {
          sheet_.SetNumber(cell_.row, cell_.col, d);
          Finish();
          return;
        }
        value = Value::Number(d);
      }
    }
    if (value.type == ValueType::Text && value.text.size() > limits::kMaxStringBytes)
      throw FormatError("cell " + CellName(cell_) + " holds text longer than " +
                        std::to_string(limits::kMaxStringBytes) + " bytes");
    if (has_formula_) {
      std::string formula = DecodeOoxmlText(f_);
      if (shared_index_ >= 0) {
        auto it = shared_.find(shared_index_);
        if (!formula.empty()) {
          if (shared_.size() < 1000000) shared_[shared_index_] = {formula, cell_};
        } else if (it != shared_.end()) {
          ChargeSharedText(it->second.first.size(), shared_index_);  // before the work of copying it
          formula = ShiftFormulaReferences(it->second.first, int64_t(cell_.row) - it->second.second.row,
                                           int64_t(cell_.col) - it->second.second.col, lim_);
        } else if (!array_ref_ && shared_later_.size() < 1000000) {
          // The formula's defining cell has not come (yet): the cell keeps its value until it does.
          shared_later_.push_back({cell_, shared_index_});
        }
      }
      if (formula.size() > limits::kMaxStringBytes)
        throw FormatError("cell " + CellName(cell_) + " holds too long a formula");
      if (!formula.empty()) {
        CheckAgainstArrays();
        if (array_ref_)
          sheet_.AppendArrayFormula(*array_ref_, formula, value);
        else
          sheet_.AppendFormula(cell_.row, cell_.col, formula, value);
      } else
        sheet_.SetValue(cell_.row, cell_.col, value);
    } else if (value.type != ValueType::Empty) {
      sheet_.SetValue(cell_.row, cell_.col, value);
    }
    Finish();
  }

  // Array formulas whose rows reach the current cell's row, by first column (their columns do not
  // overlap); as cells come in row order, each formula cell is checked in logarithmic time.
  // Cells of a shared formula whose defining cell came after them (some writers put it anywhere in
  // the formula's range) take the formula now; those whose formula no cell defines keep their value.
  void ResolveSharedLater() {
    for (const auto& [cell, index] : shared_later_) {
      auto it = shared_.find(index);
      if (it == shared_.end()) continue;
      cell_ = cell;
      ChargeSharedText(it->second.first.size(), index);
      std::string formula = ShiftFormulaReferences(it->second.first, int64_t(cell.row) - it->second.second.row,
                                                   int64_t(cell.col) - it->second.second.col, lim_);
      if (formula.empty() || formula.size() > limits::kMaxStringBytes) continue;
      if (sheet_.ArrayFormulaAt(cell)) continue;
      sheet_.SetFormula(cell.row, cell.col, formula, sheet_.GetValue(cell.row, cell.col));
    }
    shared_later_.clear();
  }

  // Counts one copy of a shared formula (about its defining text's size) against the sheet's budget.
  void ChargeSharedText(size_t bytes, int64_t index) {
    shared_text_ += bytes;
    if (shared_text_ > limits::kSharedFormulaGraceBytes + limits::kMaxSharedFormulaTextRatio * bytes_read)
      throw FormatError("cell " + CellName(cell_) + " takes shared formula " + std::to_string(index) +
                        ", whose copies exceed the limit of formula text for a sheet of this size");
  }

  void CheckAgainstArrays() {
    while (!array_ends_.empty() && array_ends_.top().first < cell_.row) {
      live_arrays_.erase(array_ends_.top().second);
      array_ends_.pop();
    }
    RangeAddress mine = array_ref_ ? *array_ref_ : RangeAddress::Cell(cell_.row, cell_.col);
    auto it = live_arrays_.upper_bound(mine.last.col);
    if (it != live_arrays_.begin()) {
      const RangeAddress& other = std::prev(it)->second;
      if (other.last.col >= mine.first.col) {
        if (other.Contains(cell_))
          throw FormatError("cell " + CellName(cell_) + " lies inside the array formula in " + RangeName(other) +
                            " and holds a formula of its own");
        throw FormatError("the array formula in " + RangeName(mine) + " overlaps the one in " + RangeName(other));
      }
    }
    if (array_ref_) {
      live_arrays_[mine.first.col] = mine;
      array_ends_.push({mine.last.row, mine.first.col});
    }
  }

  void Finish() {
    // A cell in a formatted row took the row's format when it was created; its own s="0" undoes that.
    uint32_t f = style_ < r_.xf_map_.size() ? r_.xf_map_[style_] : 0;
    if (f != 0 || row_has_format_) sheet_.SetFormat(cell_.row, cell_.col, f);
  }

  XlsxReader& r_;
  Sheet& sheet_;
  SheetLimits lim_;
  XmlTreeBuilder tree_;
  uint32_t depth_ = 0;
  bool in_data_ = false, in_cell_ = false, in_v_ = false, in_f_ = false, in_is_ = false, in_t_ = false;
  int in_phonetic_ = 0;
  bool row_has_format_ = false;
  int64_t last_row_ = -1, last_col_ = -1;
  bool started_row_ = false, custom_height_ = false, custom_format_ = false, has_formula_ = false;
  uint32_t row_ = 0, next_col_ = 0, row_style_ = 0, style_ = 0;
  char type_ = 'n';
  CellAddress cell_;
  std::string v_, f_, is_;
  int64_t shared_index_ = -1;
  std::optional<RangeAddress> array_ref_;  // the range of the cell's array formula
  std::map<uint32_t, RangeAddress> live_arrays_;
  std::priority_queue<std::pair<uint32_t, uint32_t>, std::vector<std::pair<uint32_t, uint32_t>>, std::greater<>>
      array_ends_;  // (last row, first column) of each live array, soonest ending first
  std::map<int64_t, std::pair<std::string, CellAddress>> shared_;
  std::vector<std::pair<CellAddress, int64_t>> shared_later_;  // cells whose shared formula was not defined yet
  uint64_t shared_text_ = 0;                                   // bytes of formula text copied from shared formulas
  std::vector<uint32_t> sst_ids_;                              // shared string index -> id in this sheet's pool
};

void XlsxReader::ApplySheetViews(Sheet& sheet, XmlNode& views, SheetPreserved* keep) {
  bool first = true;
  for (auto& el : views.children) {
    if (el.local() != "sheetView") {
      if (keep) keep->views_other.push_back(std::move(el));
      continue;
    }
    if (!first && sheet.other_views().size() >= limits::kMaxSheetViews) continue;
    SheetView& view = first ? sheet.view() : sheet.other_views().emplace_back();
    view.window = std::min<uint32_t>(ToUint(el.Attr("workbookViewId"), 0, "window"), limits::kMaxSheetViews);
    if (sheet.IsWorksheet()) {
      ApplySheetView(sheet, el, view);
    } else {
      view.zoom = std::clamp<uint32_t>(ToUint(el.Attr("zoomScale"), 100, "zoom"), 10, 400);
      view.selected = ToBool(el.Attr("tabSelected"), false);
    }
    if (keep) keep->views.push_back(std::move(el));
    first = false;
  }
}

void XlsxReader::ApplySheetView(Sheet& sheet, const XmlNode& sheet_view, SheetView& view) {
  const XmlNode* v = &sheet_view;
  view.zoom = std::clamp<uint32_t>(ToUint(v->Attr("zoomScale"), 100, "zoom"), 10, 400);
  view.gridlines = ToBool(v->Attr("showGridLines"), true);
  view.headings = ToBool(v->Attr("showRowColHeaders"), true);
  view.zero_values = ToBool(v->Attr("showZeros"), true);
  view.outline_symbols = ToBool(v->Attr("showOutlineSymbols"), true);
  view.page_break_preview = v->AttrOr("view", "normal") == "pageBreakPreview";
  view.selected = ToBool(v->Attr("tabSelected"), false);
  const SheetLimits& lim = sheet.limits();
  if (auto* tl = v->Attr("topLeftCell"))
    if (auto a = ParseCellName(*tl, lim)) view.top_left = *a;
  std::string active_pane;
  if (auto* pane = v->Child("pane")) {
    if (pane->AttrOr("state", "split") != "split") {
      view.frozen_cols = uint32_t(ToDouble(pane->Attr("xSplit"), 0));
      view.frozen_rows = uint32_t(ToDouble(pane->Attr("ySplit"), 0));
    }
    active_pane = pane->AttrOr("activePane", "");
  }
  const XmlNode* sel = nullptr;
  for (auto* s : v->ChildrenNamed("selection"))
    if (!sel || s->AttrOr("pane", "") == active_pane) sel = s;
  if (sel) {
    if (auto* ac = sel->Attr("activeCell"))
      if (auto a = ParseCellName(*ac, lim)) view.active_cell = *a;
    // A selection of the active cell alone is what an empty selection means.
    if (auto* sq = sel->Attr("sqref"); sq && ParseCellName(*sq, lim) == view.active_cell) sel = nullptr;
  }
  if (sel) {
    if (auto* sq = sel->Attr("sqref")) {
      std::string_view rest = *sq;
      while (!rest.empty() && view.selection.size() < 1000) {
        size_t sp = rest.find(' ');
        if (auto r = ParseRangeName(rest.substr(0, sp), lim)) view.selection.push_back(*r);
        if (sp == std::string_view::npos) break;
        rest.remove_prefix(sp + 1);
      }
    }
  }
}

void XlsxReader::ApplyPageSetup(Sheet& sheet, const XmlNode& setup) {
  PageSetup& p = sheet.page_setup();
  p.paper_size = ToUint(setup.Attr("paperSize"), 0, "paper size");
  std::string o = setup.AttrOr("orientation", "default");
  p.orientation = o == "portrait"    ? Orientation::Portrait
                  : o == "landscape" ? Orientation::Landscape
                                     : Orientation::Default;
  p.scale = ToUint(setup.Attr("scale"), 100, "scale");
  p.fit_to_width = ToUint(setup.Attr("fitToWidth"), 0, "fit");
  p.fit_to_height = ToUint(setup.Attr("fitToHeight"), 0, "fit");
}

void XlsxReader::ReadWorksheet(Sheet& sheet, const std::string& part) {
  int i = zip_.Find(part);
  if (i < 0) throw FormatError("the package has no part " + part);
  consumed_.insert(Lower(part));
  SheetHandler handler(*this, sheet);
  XmlScanner parser(handler);
  try {
    zip_.Read(size_t(i), [&](std::string_view chunk) {
      handler.bytes_read += chunk.size();
      parser.Feed(chunk);
    });
    parser.Finish();
  } catch (const FormatError& e) {
    throw FormatError(std::string(e.what()) + " in " + part);
  } catch (const ModelError& e) {
    throw FormatError(std::string(e.what()) + " in " + part);
  }
  std::vector<PreservedRel> rels = ReadRels(part);
  consumed_.insert(Lower(opc::RelsPartName(part)));
  auto keep = preserve_ ? std::make_shared<SheetPreserved>() : nullptr;
  if (keep) keep->root_attrs = handler.root_attrs;
  if (keep) keep->name_as_read = sheet.name();
  std::string drawing_rid;
  for (auto& el : handler.elements) {
    auto n = el.local();
    if (n == "sheetViews") {
      ApplySheetViews(sheet, el, keep.get());
    } else if (n == "cols") {
      for (auto* c : el.ChildrenNamed("col")) {
        uint32_t lo = ToUint(c->Attr("min"), 1, "column"), hi = ToUint(c->Attr("max"), lo, "column");
        if (lo == 0 || hi < lo) throw FormatError("invalid column span in " + part);
        if (lo > sheet.limits().cols) continue;
        hi = std::min(hi, sheet.limits().cols);
        ColumnInfo info;
        if (ToBool(c->Attr("customWidth"), false) || c->Attr("width")) info.width = ToDouble(c->Attr("width"), 0);
        info.hidden = ToBool(c->Attr("hidden"), false);
        info.collapsed = ToBool(c->Attr("collapsed"), false);
        info.outline_level = uint8_t(std::min<uint32_t>(ToUint(c->Attr("outlineLevel"), 0, "outline level"), 7));
        uint32_t style = ToUint(c->Attr("style"), 0, "column style");
        if (style != 0 && style < xf_map_.size()) info.format = xf_map_[style];
        sheet.SetColumns(lo - 1, hi - 1, info);
      }
    } else if (n == "mergeCells") {
      std::vector<RangeAddress> areas;
      for (auto* m : el.ChildrenNamed("mergeCell")) {
        if (areas.size() >= limits::kMaxMergedAreas) throw FormatError("too many merged areas in " + part);
        auto r = ParseRangeName(m->AttrOr("ref", ""), sheet.limits());
        if (!r) throw FormatError("invalid merged area \"" + m->AttrOr("ref", "").substr(0, 40) + "\" in " + part);
        if (!r->IsSingleCell()) areas.push_back(*r);
      }
      try {
        sheet.MergeAll(areas);
      } catch (const ModelError& e) {
        throw FormatError(std::string(e.what()) + " in " + part);
      }
    } else if (n == "pageSetup") {
      ApplyPageSetup(sheet, el);
      if (keep) keep->elements.push_back(std::move(el));  // other attributes (printer settings) kept
    } else if (n == "drawing") {
      drawing_rid = el.AttrOr("id", "");
    } else if (n == "dimension" || n == "sheetData") {
      // the dimension is recomputed from the cells actually present
    } else if (keep) {
      keep->elements.push_back(std::move(el));
    }
  }
  if (!drawing_rid.empty()) {
    const PreservedRel* rel = FindRel(rels, drawing_rid);
    if (rel && rel->target_mode.empty()) {
      std::string target = opc::ResolveTarget(part, rel->target);
      if (Has(target)) ReadDrawing(sheet, target, keep.get());
    }
  }
  if (keep) {
    for (const auto& r : rels)
      if (r.id != drawing_rid) keep->rels.push_back(r);
    sheet.preserved() = keep;
  }
}

std::optional<Chart> XlsxReader::ReadChartPart(const std::string& part) {
  int i = zip_.Find(part);
  if (i < 0) return std::nullopt;
  Claim(part, "chart");
  XmlNode root;
  try {
    root = ParseXmlTree(zip_.ReadAll(size_t(i), limits::kMaxTreePartBytes));
  } catch (const FormatError& e) {
    throw FormatError(std::string(e.what()) + " in " + part);
  }
  std::string us_rid;
  auto chart = ParseChartXml(root, &us_rid);
  if (!chart) return std::nullopt;
  // The chart is now the model's and its part is written anew over the part as read, which keeps
  // what the model does not hold; the parts it relates to (styles, colours, pictures) are kept as
  // they are, except the text boxes, which the model holds.
  consumed_.insert(Lower(part));
  std::vector<PreservedRel> rels = ReadRels(part);
  consumed_.insert(Lower(opc::RelsPartName(part)));
  auto keep = preserve_ ? std::make_shared<ChartPreserved>() : nullptr;
  for (const auto& r : rels) {
    if (!r.target_mode.empty()) {
      if (keep) keep->rels.push_back(r);
      continue;
    }
    std::string target = opc::ResolveTarget(part, r.target);
    if (r.id == us_rid || !keep) {
      if (r.id == us_rid && Has(target)) ParseUserShapesXml(ReadTree(target), *chart);
      consumed_.insert(Lower(target));
      consumed_.insert(Lower(opc::RelsPartName(target)));
    } else {
      keep->rels.push_back({r.id, r.type, "/" + target, ""});
    }
  }
  if (keep) {
    keep->as_read = *chart;
    keep->tree = std::move(root);
    chart->origin.part = std::move(keep);
  }
  return chart;
}

// Width of a column and height of a row in points, as drawn: a width of w characters is w * 7 + 5
// pixels of 0.75 points; the default column is 8.43 characters, the default row 15 points.
double ColumnPoints(const Sheet& sheet, uint32_t col) {
  ColumnInfo c = sheet.GetColumn(col);
  double chars = c.width > 0 ? c.width : 8.43;
  return c.hidden ? 0 : std::floor(chars * 7 + 5) * 0.75;
}
double RowPoints(const Sheet& sheet, uint32_t row) {
  RowInfo r = sheet.GetRow(row);
  return r.hidden ? 0 : r.height > 0 ? r.height : 15.0;
}

// The cell and offset that lie dx, dy points right of and below the origin cell's top-left corner.
void PlaceCorner(const Sheet& sheet, CellAddress origin, double dx, double dy, CellAddress& cell, double& ox,
                 double& oy) {
  cell = origin;
  for (int guard = 0; guard < 20000 && dx > 0 && cell.col + 1 < sheet.limits().cols; ++guard) {
    double w = ColumnPoints(sheet, cell.col);
    if (dx < w || w <= 0) {
      if (w > 0) break;
    }
    dx -= w;
    ++cell.col;
  }
  for (int guard = 0; guard < 100000 && dy > 0 && cell.row + 1 < sheet.limits().rows; ++guard) {
    double h = RowPoints(sheet, cell.row);
    if (dy < h || h <= 0) {
      if (h > 0) break;
    }
    dy -= h;
    ++cell.row;
  }
  // Whole EMUs, as files store offsets, so that a save and a read give the same numbers.
  ox = std::round(std::max(0.0, dx) * 12700) / 12700;
  oy = std::round(std::max(0.0, dy) * 12700) / 12700;
}

void XlsxReader::ReadDrawing(Sheet& sheet, const std::string& part, SheetPreserved* keep) {
  Claim(part, "drawing");
  XmlNode root = ReadTree(part);
  std::vector<PreservedRel> rels = ReadRels(part);
  consumed_.insert(Lower(opc::RelsPartName(part)));
  std::set<std::string> used_by_model;
  if (keep) keep->drawing_root_attrs = root.attrs;
  for (auto& anchor : root.children) {
    auto an = anchor.local();
    bool modelled = false;
    if (sheet.drawings().size() >= limits::kMaxDrawingObjects) throw FormatError("too many drawing objects in " + part);
    ObjectAnchor pos;
    auto corner = [](const XmlNode* n, CellAddress& cell, double& dx, double& dy) {
      if (!n) return;
      auto num = [&](std::string_view name) {
        const XmlNode* c = n->Child(name);
        return c ? ParseNumberText(c->text).value_or(0) : 0.0;
      };
      cell.col = uint32_t(std::clamp(num("col"), 0.0, 16383.0));
      cell.row = uint32_t(std::clamp(num("row"), 0.0, 1048575.0));
      dx = num("colOff") / 12700.0;
      dy = num("rowOff") / 12700.0;
    };
    auto extent = [](const XmlNode* n, const char* a) {
      return n ? ParseNumberText(n->AttrOr(a, "0")).value_or(0) / 12700.0 : 0.0;
    };
    if (an == "twoCellAnchor") {
      corner(anchor.Child("from"), pos.from, pos.from_x, pos.from_y);
      corner(anchor.Child("to"), pos.to, pos.to_x, pos.to_y);
    } else if (an == "oneCellAnchor") {
      corner(anchor.Child("from"), pos.from, pos.from_x, pos.from_y);
      PlaceCorner(sheet, pos.from, pos.from_x + extent(anchor.Child("ext"), "cx"),
                  pos.from_y + extent(anchor.Child("ext"), "cy"), pos.to, pos.to_x, pos.to_y);
    } else if (an == "absoluteAnchor" && sheet.IsWorksheet()) {
      PlaceCorner(sheet, {}, extent(anchor.Child("pos"), "x"), extent(anchor.Child("pos"), "y"), pos.from, pos.from_x,
                  pos.from_y);
      PlaceCorner(sheet, pos.from, pos.from_x + extent(anchor.Child("ext"), "cx"),
                  pos.from_y + extent(anchor.Child("ext"), "cy"), pos.to, pos.to_x, pos.to_y);
    }
    if (sheet.IsWorksheet() && (an == "twoCellAnchor" || an == "oneCellAnchor" || an == "absoluteAnchor")) {
      if (const XmlNode* gf = anchor.Child("graphicFrame")) {
        const XmlNode* graphic = gf->Child("graphic");
        const XmlNode* data = graphic ? graphic->Child("graphicData") : nullptr;
        const XmlNode* c = data ? data->Child("chart") : nullptr;
        const PreservedRel* rel = c ? FindRel(rels, c->AttrOr("id", "")) : nullptr;
        if (rel) {
          std::string target = opc::ResolveTarget(part, rel->target);
          if (auto chart = ReadChartPart(target)) {
            DrawingObject& d = sheet.AddChart(*chart, pos);
            if (const XmlNode* nv = gf->Child("nvGraphicFramePr"))
              if (const XmlNode* pr = nv->Child("cNvPr")) {
                d.name = pr->AttrOr("name", d.name);
                d.visible = !ToBool(pr->Attr("hidden"), false);
              }
            used_by_model.insert(rel->id);
            modelled = true;
          }
        }
      } else if (const XmlNode* sp = anchor.Child("sp")) {
        const XmlNode* body = sp->Child("txBody");
        const XmlNode* nv = sp->Child("nvSpPr");
        const XmlNode* cnv = nv ? nv->Child("cNvSpPr") : nullptr;
        if (body && cnv && ToBool(cnv->Attr("txBox"), false)) {
          DrawingObject& d = sheet.AddTextBox(DrawingText(*body), pos);
          if (const XmlNode* pr = nv->Child("cNvPr")) {
            d.name = pr->AttrOr("name", d.name);
            d.visible = !ToBool(pr->Attr("hidden"), false);
          }
          if (const XmlNode* sppr = sp->Child("spPr")) {
            if (const XmlNode* fill = sppr->Child("solidFill"))
              if (const XmlNode* rgb = fill->Child("srgbClr")) {
                d.fill.pattern = FillPattern::Solid;
                d.fill.foreground = Color::Rgb(
                    0xFF000000u | uint32_t(std::stoul("0" + rgb->AttrOr("val", "FFFFFF").substr(0, 6), nullptr, 16)));
              }
            if (const XmlNode* ln = sppr->Child("ln"))
              if (const XmlNode* fill = ln->Child("solidFill"))
                if (const XmlNode* rgb = fill->Child("srgbClr"))
                  d.line_color = Color::Rgb(
                      0xFF000000u | uint32_t(std::stoul("0" + rgb->AttrOr("val", "000000").substr(0, 6), nullptr, 16)));
          }
          modelled = true;
        }
      }
    } else if (!sheet.IsWorksheet()) {
      // A chart sheet's drawing holds its chart in an absolute anchor.
      const XmlNode* gf = anchor.Child("graphicFrame");
      const XmlNode* graphic = gf ? gf->Child("graphic") : nullptr;
      const XmlNode* data = graphic ? graphic->Child("graphicData") : nullptr;
      const XmlNode* c = data ? data->Child("chart") : nullptr;
      const PreservedRel* rel = c ? FindRel(rels, c->AttrOr("id", "")) : nullptr;
      if (rel && !sheet.chart_if_any()) {
        std::string target = opc::ResolveTarget(part, rel->target);
        if (auto chart = ReadChartPart(target)) {
          sheet.chart() = *chart;
          used_by_model.insert(rel->id);
          modelled = true;
        }
      }
    }
    if (!modelled && keep) keep->drawing_anchors.push_back(std::move(anchor));
  }
  if (keep)
    for (const auto& r : rels)
      if (!used_by_model.count(r.id)) keep->drawing_rels.push_back(r);
}

void XlsxReader::ReadChartsheet(Sheet& sheet, const std::string& part) {
  XmlNode root = ReadTree(part);
  std::vector<PreservedRel> rels = ReadRels(part);
  consumed_.insert(Lower(opc::RelsPartName(part)));
  auto keep = preserve_ ? std::make_shared<SheetPreserved>() : nullptr;
  if (keep) keep->root_attrs = root.attrs;
  if (keep) keep->name_as_read = sheet.name();
  std::string drawing_rid;
  for (auto& el : root.children) {
    auto n = el.local();
    if (n == "sheetViews") {
      ApplySheetViews(sheet, el, keep.get());
    } else if (n == "pageSetup") {
      ApplyPageSetup(sheet, el);
      if (keep) keep->elements.push_back(std::move(el));
    } else if (n == "drawing") {
      drawing_rid = el.AttrOr("id", "");
    } else if (keep) {
      keep->elements.push_back(std::move(el));
    }
  }
  if (!drawing_rid.empty())
    if (const PreservedRel* rel = FindRel(rels, drawing_rid)) {
      std::string target = opc::ResolveTarget(part, rel->target);
      if (Has(target)) ReadDrawing(sheet, target, keep.get());
    }
  if (keep) {
    for (const auto& r : rels)
      if (r.id != drawing_rid) keep->rels.push_back(r);
    sheet.preserved() = keep;
  }
}

std::unique_ptr<Workbook> XlsxReader::Read() {
  ReadContentTypes();
  std::vector<PreservedRel> package_rels = ReadRels("");
  consumed_.insert("_rels/.rels");
  std::string main_part;
  for (const auto& r : package_rels)
    if (opc::TypeIs(r.type, opc::kOfficeDocument) && r.target_mode.empty())
      main_part = opc::ResolveTarget("", r.target);
  if (main_part.empty() || !Has(main_part)) throw FormatError("the package holds no workbook");
  std::string main_type = ContentType(main_part);
  FileFormat format = FileFormat::Xlsx;
  bool is_template = main_type.find("template") != std::string::npos;
  bool macros = main_type.find("macroEnabled") != std::string::npos;
  if (is_template && macros)
    format = FileFormat::Xltm;
  else if (macros)
    format = FileFormat::Xlsm;
  else if (is_template)
    format = FileFormat::Xltx;
  else if (main_type.find("spreadsheetml") == std::string::npos && main_type.find("sheet") == std::string::npos)
    throw FormatError("the package is not a workbook (main part of type \"" + main_type.substr(0, 80) + "\")");

  book_ = std::make_unique<Workbook>(name_, SheetLimits::Large());
  book_->set_format(format);
  book_->windows().clear();
  if (preserve_) {
    keep_ = std::make_shared<PackagePreserved>();
    for (const auto& r : package_rels)
      if (!(opc::TypeIs(r.type, opc::kOfficeDocument) && r.target_mode.empty())) keep_->package_rels.push_back(r);
    for (const auto& [ext, type] : defaults_) keep_->content_defaults[ext] = type;
  }

  XmlNode wb = ReadTree(main_part);
  std::vector<PreservedRel> wb_rels = ReadRels(main_part);
  consumed_.insert(Lower(opc::RelsPartName(main_part)));

  // Styles and shared strings first: cells refer to them.
  for (const auto& r : wb_rels) {
    if (!r.target_mode.empty()) continue;
    std::string target = opc::ResolveTarget(main_part, r.target);
    if (opc::TypeIs(r.type, opc::kStyles) && Has(target)) {
      try {
        xf_map_ = ReadStylesXml(ReadTree(target), *book_, keep_.get());
      } catch (const FormatError& e) {
        throw FormatError(std::string(e.what()) + " in " + target);
      }
    } else if (opc::TypeIs(r.type, opc::kSharedStrings) && Has(target)) {
      ReadSharedStrings(target);
    } else if (opc::TypeIs(r.type, opc::kCalcChain)) {
      consumed_.insert(Lower(target));  // recalculated by whoever opens the file
    }
  }

  if (keep_) keep_->workbook_root_attrs = wb.attrs;
  std::vector<std::string> sheet_names;
  const XmlNode* names_node = nullptr;
  for (auto& el : wb.children) {
    auto n = el.local();
    if (n == "sheets") {
      for (auto* s : el.ChildrenNamed("sheet")) {
        if (book_->sheet_count() >= limits::kMaxSheets) throw FormatError("too many sheets");
        std::string sname = s->AttrOr("name", "");
        const PreservedRel* rel = FindRel(wb_rels, s->AttrOr("id", ""));
        if (!rel) throw FormatError("sheet \"" + sname.substr(0, 40) + "\" has no part");
        std::string target = opc::ResolveTarget(main_part, rel->target);
        bool chartsheet = opc::TypeIs(rel->type, opc::kChartsheet);
        if (!chartsheet && !opc::TypeIs(rel->type, opc::kWorksheet)) {
          // Dialog and macro sheets: the model holds worksheets and chart sheets only.
          throw FormatError("sheet \"" + sname.substr(0, 40) + "\" is a dialog or macro sheet, which is not supported");
        }
        Sheet* sheet;
        try {
          sheet = &book_->AddSheet(sname, chartsheet ? SheetKind::Chart : SheetKind::Worksheet);
        } catch (const ModelError& e) {
          throw FormatError(e.what());
        }
        std::string state = s->AttrOr("state", "visible");
        sheet->set_visibility(state == "hidden"       ? SheetVisibility::Hidden
                              : state == "veryHidden" ? SheetVisibility::VeryHidden
                                                      : SheetVisibility::Visible);
        Claim(target, "sheet");
        if (chartsheet) {
          ReadChartsheet(*sheet, target);
        } else {
          ReadWorksheet(*sheet, target);
        }
        sheet_names.push_back(sname);
      }
    } else if (n == "bookViews") {
      for (auto* v : el.ChildrenNamed("workbookView")) {
        Window w;
        std::string vis = v->AttrOr("visibility", "visible");
        w.hidden = vis != "visible";
        w.active_sheet = ToUint(v->Attr("activeTab"), 0, "active sheet");
        w.first_visible_tab = ToUint(v->Attr("firstSheet"), 0, "first sheet");
        w.x = int32_t(ToDouble(v->Attr("xWindow"), 0));
        w.y = int32_t(ToDouble(v->Attr("yWindow"), 0));
        w.width = int32_t(ToDouble(v->Attr("windowWidth"), 0));
        w.height = int32_t(ToDouble(v->Attr("windowHeight"), 0));
        w.tab_ratio = ToUint(v->Attr("tabRatio"), 600, "tab ratio");
        w.show_tabs = ToBool(v->Attr("showSheetTabs"), true);
        w.show_horizontal_scroll = ToBool(v->Attr("showHorizontalScroll"), true);
        w.show_vertical_scroll = ToBool(v->Attr("showVerticalScroll"), true);
        if (book_->windows().size() < 1000) book_->windows().push_back(w);
      }
    } else if (n == "definedNames") {
      names_node = &el;
    } else {
      if (n == "workbookPr") {
        std::string d = el.AttrOr("date1904", "0");
        book_->set_date_1904(d == "1" || d == "true");
      }
      if (keep_) keep_->workbook_elements.push_back(el);
    }
  }
  if (book_->windows().empty()) book_->windows().push_back(Window{});
  for (auto& w : book_->windows()) {
    if (w.active_sheet >= book_->sheet_count()) w.active_sheet = 0;
    if (w.first_visible_tab >= book_->sheet_count()) w.first_visible_tab = 0;
  }
  // External links: "[1]Sheet1!A1" in a name refers to the first link's workbook. The link parts
  // stay as they are (cell formulas use the same numbers); names get the workbooks' own names.
  std::vector<std::string> links;
  for (const auto& el : wb.children) {
    if (el.local() != "externalReferences") continue;
    for (auto* ref : el.ChildrenNamed("externalReference")) {
      std::string target;
      if (const PreservedRel* rel = FindRel(wb_rels, ref->AttrOr("id", ""))) {
        std::string part = opc::ResolveTarget(main_part, rel->target);
        std::string rels_part = opc::RelsPartName(part);
        int i = zip_.Find(rels_part);
        if (i >= 0) {
          XmlNode root = ParseXmlTree(zip_.ReadAll(size_t(i), limits::kMaxTreePartBytes));
          for (auto* r : root.ChildrenNamed("Relationship"))
            if (r->AttrOr("TargetMode", "") == "External") target = r->AttrOr("Target", "");
        }
      }
      links.push_back(target);
    }
  }
  if (keep_) keep_->external_links = links;
  auto resolve_links = [&](DefinedName& name) {
    bool resolved = false;
    for (auto& ref : name.references) {
      if (ref.workbook.empty() || ref.workbook.find_first_not_of("0123456789") != std::string::npos) continue;
      size_t index = size_t(std::strtoul(ref.workbook.c_str(), nullptr, 10));
      if (index >= 1 && index <= links.size() && !links[index - 1].empty()) {
        ref.workbook = links[index - 1];
        resolved = true;
      }
    }
    // The text shows the workbook, as the references now hold it, not the file's link number.
    if (resolved) name.refers_to = FormatReferenceList(name.references, RefStyle::A1);
  };
  if (names_node) {
    uint32_t count = 0;
    for (auto* dn : names_node->ChildrenNamed("definedName")) {
      if (++count > limits::kMaxDefinedNames) throw FormatError("too many defined names");
      DefinedName name;
      name.name = dn->AttrOr("name", "");
      if (name.name.empty() || name.name.size() > 255) throw FormatError("defined name with an invalid name");
      name.hidden = ToBool(dn->Attr("hidden"), false);
      name.comment = dn->AttrOr("comment", "");
      name.SetRefersTo(dn->text, book_->limits());
      resolve_links(name);
      if (auto* local = dn->Attr("localSheetId")) {
        uint32_t idx = ToUint(local, 0, "sheet index");
        if (idx >= book_->sheet_count())
          throw FormatError("defined name \"" + name.name + "\" belongs to sheet " + *local + ", which does not exist");
        book_->sheet(idx).names().Put(std::move(name));
      } else {
        book_->names().Put(std::move(name));
      }
    }
  }

  if (keep_) {
    for (const auto& r : wb_rels) {
      if (!r.target_mode.empty()) {
        keep_->workbook_rels.push_back(r);
        continue;
      }
      if (opc::TypeIs(r.type, opc::kWorksheet) || opc::TypeIs(r.type, opc::kChartsheet) ||
          opc::TypeIs(r.type, opc::kStyles) || opc::TypeIs(r.type, opc::kSharedStrings) ||
          opc::TypeIs(r.type, opc::kCalcChain))
        continue;
      keep_->workbook_rels.push_back(r);
    }
    // Every part the model did not take is kept as it is, with its content type.
    for (size_t i = 0; i < zip_.entries().size(); ++i) {
      const std::string& part = zip_.entries()[i].name;
      std::string lower = Lower(part);
      if (consumed_.count(lower) || (!part.empty() && part.back() == '/')) continue;
      keep_->parts[part] = zip_.ReadAll(i, limits::kMaxPartBytes);
      auto ov = overrides_.find(lower);
      if (ov != overrides_.end()) keep_->content_overrides[part] = ov->second;
    }
    book_->preserved() = keep_;
  }
  book_->set_dirty(false);
  return std::move(book_);
}

}  // namespace

std::unique_ptr<Workbook> ReadXlsx(std::span<const uint8_t> bytes, const std::string& name, bool preserve) {
  XlsxReader reader(bytes, name, preserve);
  return reader.Read();
}

}  // namespace sheets
