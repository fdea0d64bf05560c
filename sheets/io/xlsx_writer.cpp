// Writes a workbook as an xlsx, xlsm, xltx or xltm package.
//
// Parts the model holds are generated; parts and elements kept from the file the workbook was read
// from are written back as they were, each in its place in the schema's element order.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <set>

#include "sheets/io/chart_xml.h"
#include "sheets/io/file_error.h"
#include "sheets/io/opc.h"
#include "sheets/io/preserved.h"
#include "sheets/io/styles_xml.h"
#include "sheets/io/workbook_io.h"
#include "sheets/io/zip.h"
#include "sheets/io/limits.h"
#include "sheets/io/link_paths.h"
#include "sheets/model/formula_text.h"
#include "sheets/model/string_pool.h"

namespace sheets {

namespace {

constexpr std::string_view kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr std::string_view kCtWorksheet = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
constexpr std::string_view kCtChartsheet = "application/vnd.openxmlformats-officedocument.spreadsheetml.chartsheet+xml";
constexpr std::string_view kCtStyles = "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml";
constexpr std::string_view kCtSst = "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml";
constexpr std::string_view kCtDrawing = "application/vnd.openxmlformats-officedocument.drawing+xml";
constexpr std::string_view kCtChart = "application/vnd.openxmlformats-officedocument.drawingml.chart+xml";
constexpr std::string_view kCtChartShapes = "application/vnd.openxmlformats-officedocument.drawingml.chartshapes+xml";

std::string_view MainContentType(FileFormat f) {
  switch (f) {
    case FileFormat::Xltx: return "application/vnd.openxmlformats-officedocument.spreadsheetml.template.main+xml";
    case FileFormat::Xlsm: return "application/vnd.ms-excel.sheet.macroEnabled.main+xml";
    case FileFormat::Xltm: return "application/vnd.ms-excel.template.macroEnabled.main+xml";
    default: return "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
  }
}

bool MacroEnabled(FileFormat f) { return f == FileFormat::Xlsm || f == FileFormat::Xltm; }

const std::vector<std::string_view> kWorksheetOrder = {"sheetPr",
                                                       "dimension",
                                                       "sheetViews",
                                                       "sheetFormatPr",
                                                       "cols",
                                                       "sheetData",
                                                       "sheetCalcPr",
                                                       "sheetProtection",
                                                       "protectedRanges",
                                                       "scenarios",
                                                       "autoFilter",
                                                       "sortState",
                                                       "dataConsolidate",
                                                       "customSheetViews",
                                                       "mergeCells",
                                                       "phoneticPr",
                                                       "conditionalFormatting",
                                                       "dataValidations",
                                                       "hyperlinks",
                                                       "printOptions",
                                                       "pageMargins",
                                                       "pageSetup",
                                                       "headerFooter",
                                                       "rowBreaks",
                                                       "colBreaks",
                                                       "customProperties",
                                                       "cellWatches",
                                                       "ignoredErrors",
                                                       "smartTags",
                                                       "drawing",
                                                       "legacyDrawing",
                                                       "legacyDrawingHF",
                                                       "drawingHF",
                                                       "picture",
                                                       "oleObjects",
                                                       "controls",
                                                       "webPublishItems",
                                                       "tableParts",
                                                       "extLst"};
const std::vector<std::string_view> kChartsheetOrder = {
    "sheetPr", "sheetViews",    "sheetProtection", "customSheetViews", "pageMargins", "pageSetup",       "headerFooter",
    "drawing", "legacyDrawing", "legacyDrawingHF", "drawingHF",        "picture",     "webPublishItems", "extLst"};
const std::vector<std::string_view> kWorkbookOrder = {"fileVersion",    "fileSharing",
                                                      "workbookPr",     "workbookProtection",
                                                      "bookViews",      "sheets",
                                                      "functionGroups", "externalReferences",
                                                      "definedNames",   "calcPr",
                                                      "oleSize",        "customWorkbookViews",
                                                      "pivotCaches",    "smartTagPr",
                                                      "smartTagTypes",  "webPublishing",
                                                      "fileRecoveryPr", "webPublishObjects",
                                                      "extLst"};

size_t OrderOf(const std::vector<std::string_view>& order, std::string_view name) {
  for (size_t i = 0; i < order.size(); ++i)
    if (order[i] == name) return i;
  return order.size() - 1;  // unknown elements go just before the extension list
}

// Writes kept elements and generated ones interleaved in schema order. gen(name) writes the generated
// element of that name, if any.
void WriteInOrder(XmlWriter& w, const std::vector<std::string_view>& order, const std::vector<XmlNode>* kept,
                  const std::function<void(std::string_view)>& gen, const std::set<std::string_view>& replaced) {
  for (size_t i = 0; i < order.size(); ++i) {
    if (i == order.size() - 1 && kept) {  // unknown elements, then extLst
      for (const auto& e : *kept)
        if (OrderOf(order, e.local()) == order.size() - 1 && e.local() != order.back()) w.Node(e);
    }
    gen(order[i]);
    if (kept && !replaced.count(order[i]))
      for (const auto& e : *kept)
        if (e.local() == order[i]) w.Node(e);
  }
}

std::string NumberText(double d) { return FormatNumberLiteral(d); }

// Characters XML cannot hold at all: the C0 controls but tab, line feed and carriage return. Cell
// texts and formulas carry them as _xHHHH_; the parts built whole here (charts, drawings, styles,
// the workbook with its names) leave them out, so that the part stays well-formed.
std::string XmlSafe(std::string xml) {
  std::erase_if(xml, [](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u < 0x20 && u != '\t' && u != '\n' && u != '\r';
  });
  return xml;
}

// A zoom as views hold it: 10 to 400 percent.
int64_t ViewZoom(uint32_t zoom) { return std::clamp<int64_t>(zoom, 10, 400); }

class PackageWriter {
 public:
  PackageWriter(const Workbook& book, FileFormat format, ByteSink& sink, std::string link_folder)
      : book_(book), format_(format), zip_(sink), keep_(book.preserved().get()), link_folder_(std::move(link_folder)) {
    if (keep_)
      for (const auto& [name, bytes] : keep_->parts) taken_.insert(Lower(name));
    for (size_t i = 0; i < book.sheet_count(); ++i)
      if (const SheetPreserved* k = book.sheet(i).preserved().get())
        if (!k->name_as_read.empty() && k->name_as_read != book.sheet(i).name())
          renames_.emplace_back(k->name_as_read, book.sheet(i).name());
    rename_ = [this](std::string_view name) -> std::optional<std::string> {
      for (const auto& [old, now] : renames_)
        if (NamesEqual(name, old)) return now;
      return std::nullopt;
    };
  }

  void Write();

 private:
  static std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
      if (c >= 'A' && c <= 'Z') c = char(c + 32);
    return out;
  }
  // "xl/worksheets/sheet%.xml" with the first free number.
  std::string NewPart(std::string_view prefix, std::string_view suffix) {
    for (size_t n = 1;; ++n) {
      std::string name = std::string(prefix) + std::to_string(n) + std::string(suffix);
      if (taken_.insert(Lower(name)).second) return name;
    }
  }
  static std::string NewId(const std::vector<PreservedRel>& rels, size_t& counter) {
    for (;;) {
      std::string id = "rId" + std::to_string(++counter);
      bool clash = false;
      for (const auto& r : rels)
        if (r.id == id) clash = true;
      if (!clash) return id;
    }
  }
  void Override(const std::string& part, std::string_view type) { overrides_[part] = std::string(type); }
  bool KeepRel(const PreservedRel& r) const {
    if (!MacroEnabled(format_) && opc::TypeIs(r.type, "vbaProject")) return false;
    return true;
  }

  void BuildSharedStrings();
  uint32_t SharedStringIndex(size_t sheet, const CellView& v);
  void WriteWorksheet(size_t index, const std::string& part, std::vector<PreservedRel>& wb_rels);
  void WriteChartsheet(size_t index, const std::string& part);
  std::string WriteDrawing(const Sheet& sheet, const SheetPreserved* keep);  // returns the part name
  std::string WriteChart(const Chart& chart);
  void WriteSheetViews(XmlWriter& w, const Sheet& sheet, const SheetPreserved* keep) const;
  void PrepareExternalLinks(std::vector<PreservedRel>& wb_rels, size_t& counter);
  void WriteWorkbook(const std::vector<std::string>& sheet_parts);
  void WriteContentTypes();
  std::optional<SeriesCache> CacheFor(const std::string& ref) const;

  // What a sheet keeps without modelling, with references to renamed sheets following them.
  const SheetPreserved* KeptFor(const Sheet& sheet);
  std::optional<std::string> RenamedPart(const std::string& name, const std::string& bytes) const;

  const Workbook& book_;
  FileFormat format_;
  // Sheets renamed since the file was read (old name, new name).
  std::vector<std::pair<std::string, std::string>> renames_;
  SheetRenameFn rename_;
  std::vector<std::shared_ptr<SheetPreserved>> renamed_keep_;
  ZipWriter zip_;
  const PackagePreserved* keep_;
  std::string link_folder_;  // the folder of the file written: new link targets are relative to it
  std::set<std::string> taken_;
  std::map<std::string, std::string> overrides_;
  StringPool sst_;  // for texts found on several sheets
  // The shared strings in order: with texts on one sheet only, that sheet's text ids; else sst_'s
  // texts, whose ids are their indexes.
  const Sheet* sst_sheet_ = nullptr;
  bool sst_dedupe_ = false;
  detail::LargeVector<uint32_t> sst_list_;
  size_t SstSize() const { return sst_sheet_ ? sst_list_.size() : sst_.size(); }
  std::string_view SstText(size_t k) const {
    return sst_sheet_ ? sst_sheet_->TextAt(sst_list_[k]) : sst_.Get(uint32_t(k));
  }
  uint64_t sst_count_ = 0;
  std::vector<detail::LargeVector<uint32_t>> sst_index_;  // per sheet: text id -> shared string index
  std::map<const DefinedName*, std::string> name_texts_;  // refers-to text with external links numbered
  std::vector<std::string> new_link_rids_;                // externalReference ids of links made here
};

void PackageWriter::BuildSharedStrings() {
  sst_index_.resize(book_.sheet_count());
  size_t sheets_with_text = 0;
  for (size_t i = 0; i < book_.sheet_count(); ++i)
    if (book_.sheet(i).IsWorksheet() && book_.sheet(i).TextPoolSize() > 0) ++sheets_with_text;
  // Texts of one sheet are distinct by their pool ids already; only texts shared by several sheets
  // need hashing to be written once.
  sst_dedupe_ = sheets_with_text > 1;
  // At most one shared string per pooled text: reserved once, the list is never copied as it grows.
  size_t pooled = 0;
  for (size_t i = 0; i < book_.sheet_count(); ++i) {
    const Sheet& s = book_.sheet(i);
    if (!s.IsWorksheet() || s.TextPoolSize() == 0) continue;
    pooled += s.TextPoolSize();
    sst_index_[i].assign(s.TextPoolSize(), UINT32_MAX);
  }
  if (!sst_dedupe_) sst_list_.reserve(pooled);
}

// The shared-string index of a text cell, given as the sheets are written (before the shared
// strings are), in the order the texts first appear.
uint32_t PackageWriter::SharedStringIndex(size_t sheet, const CellView& v) {
  ++sst_count_;
  uint32_t& k = sst_index_[sheet][v.text_id];
  if (k == UINT32_MAX) {
    if (sst_dedupe_) {
      k = sst_.Intern(v.text);
    } else {
      sst_sheet_ = &book_.sheet(sheet);
      k = uint32_t(sst_list_.size());
      sst_list_.push_back(v.text_id);
    }
  }
  return k;
}

std::optional<SeriesCache> PackageWriter::CacheFor(const std::string& ref_text) const {
  auto refs = ParseReferenceList(ref_text, RefStyle::A1, {}, SheetLimits::Large());
  if (!refs) return std::nullopt;
  SeriesCache cache;
  bool any_text = false, any_number = false;
  std::vector<Value> values;
  for (const auto& r : *refs) {
    if (r.IsExternal() || r.sheet.empty()) return std::nullopt;
    const Sheet* s = book_.FindSheet(r.sheet);
    if (!s || !s->IsWorksheet()) return std::nullopt;
    const RangeAddress& a = r.area.range;
    if (a.CellCount() > 100000 || a.last.row >= s->limits().rows || a.last.col >= s->limits().cols) return std::nullopt;
    for (uint32_t row = a.first.row; row <= a.last.row; ++row)
      for (uint32_t col = a.first.col; col <= a.last.col; ++col) {
        Value v = s->GetValue(row, col);
        if (v.type == ValueType::Text) any_text = true;
        if (v.type == ValueType::Number) any_number = true;
        values.push_back(std::move(v));
      }
  }
  cache.is_text = any_text && !any_number;
  for (const auto& v : values) {
    cache.numbers.push_back(v.type == ValueType::Number ? v.number : std::nan(""));
    cache.texts.push_back(v.type == ValueType::Text ? v.text : v.type == ValueType::Number ? NumberText(v.number) : "");
  }
  return cache;
}

// Every view of the sheet whose window is written, from what the model holds, with what it does not
// hold taken from the view as read (other attributes, a split pane and its selections, pivot
// selections, extensions).
void PackageWriter::WriteSheetViews(XmlWriter& w, const Sheet& sheet, const SheetPreserved* keep) const {
  const size_t windows = std::max<size_t>(1, book_.windows().size());
  std::vector<const SheetView*> views{&sheet.view()};
  for (const auto& v : sheet.other_views()) views.push_back(&v);
  const bool worksheet = sheet.IsWorksheet();
  w.Start("sheetViews");
  for (size_t i = 0; i < views.size(); ++i) {
    const SheetView& v = *views[i];
    // A view of a window that is not written would name a window the file lacks; the first view
    // is always written, in the first window at the least.
    if (i > 0 && v.window >= windows) continue;
    const XmlNode* old = keep && i < keep->views.size() ? &keep->views[i] : nullptr;
    const bool frozen = worksheet && (v.frozen_rows || v.frozen_cols);
    w.Start("sheetView");
    if (v.selected) w.Attr("tabSelected", "1");
    if (worksheet) {
      if (!v.gridlines) w.Attr("showGridLines", "0");
      if (!v.headings) w.Attr("showRowColHeaders", "0");
      if (!v.zero_values) w.Attr("showZeros", "0");
      if (!v.outline_symbols) w.Attr("showOutlineSymbols", "0");
      if (v.page_break_preview)
        w.Attr("view", "pageBreakPreview");
      else if (old && old->AttrOr("view", "") == "pageLayout")
        w.Attr("view", "pageLayout");
      if (v.top_left != CellAddress{}) w.Attr("topLeftCell", CellName(v.top_left));
    }
    if (v.zoom != 100) w.Attr("zoomScale", ViewZoom(v.zoom));
    const bool layout_zoom = worksheet && v.page_break_preview && v.zoom != 100;
    if (layout_zoom) w.Attr("zoomScaleSheetLayoutView", ViewZoom(v.zoom));
    w.Attr("workbookViewId", int64_t(i == 0 && v.window >= windows ? 0 : v.window));
    static const std::set<std::string_view> modelled = {"tabSelected", "showGridLines",      "showRowColHeaders",
                                                        "showZeros",   "showOutlineSymbols", "view",
                                                        "topLeftCell", "zoomScale",          "workbookViewId"};
    if (old)
      for (const auto& [k, val] : old->attrs) {
        if (modelled.count(k) || (!worksheet && k != "zoomToFit" && !k.starts_with("xmlns"))) continue;
        if (k == "zoomScaleSheetLayoutView" && layout_zoom) continue;
        w.Attr(k, val);
      }
    if (worksheet) {
      std::string pane;
      const XmlNode* split = nullptr;  // a split (not frozen) pane as read, which the model does not hold
      if (old && !frozen)
        if (const XmlNode* p = old->Child("pane"); p && p->AttrOr("state", "split") == "split") split = p;
      if (frozen) {
        pane = v.frozen_rows && v.frozen_cols ? "bottomRight" : v.frozen_rows ? "bottomLeft" : "topRight";
        w.Start("pane");
        if (v.frozen_cols) w.Attr("xSplit", int64_t(v.frozen_cols));
        if (v.frozen_rows) w.Attr("ySplit", int64_t(v.frozen_rows));
        w.Attr("topLeftCell", CellName({v.frozen_rows, v.frozen_cols}));
        w.Attr("activePane", pane);
        w.Attr("state", "frozen");
        w.End("pane");
      } else if (split) {
        w.Node(*split);
        pane = split->AttrOr("activePane", "topLeft");
        for (auto* sel : old->ChildrenNamed("selection"))
          if (sel->AttrOr("pane", "topLeft") != pane) w.Node(*sel);
      }
      w.Start("selection");
      if (!pane.empty() && pane != "topLeft") w.Attr("pane", pane);
      w.Attr("activeCell", CellName(v.active_cell));
      std::string sqref;
      for (const auto& r : v.selection) {
        if (!sqref.empty()) sqref += ' ';
        sqref += RangeName(r);
      }
      w.Attr("sqref", sqref.empty() ? CellName(v.active_cell) : sqref);
      w.End("selection");
      if (old)
        for (auto* ps : old->ChildrenNamed("pivotSelection")) w.Node(*ps);
    }
    if (old)
      if (const XmlNode* ext = old->Child("extLst")) w.Node(*ext);
    w.End("sheetView");
  }
  if (keep)
    for (const auto& other : keep->views_other) w.Node(other);
  w.End("sheetViews");
}

namespace {

// References to renamed sheets in kept XML: formulas (of charts, validations, conditional formats,
// sparklines, names, table columns), hyperlink locations and the source sheet of pivot caches. True
// if any changed.
bool RenameSheetsInTree(XmlNode& n, const SheetRenameFn& rename) {
  bool changed = false;
  auto local = n.local();
  if (local == "f" || local == "formula" || local == "formula1" || local == "formula2" || local == "definedName" ||
      local == "calculatedColumnFormula" || local == "totalsRowFormula") {
    std::string text = RenameSheetsInFormula(n.text, rename);
    if (text != n.text) n.text = std::move(text), changed = true;
  }
  for (auto& [k, v] : n.attrs) {
    auto attr = XmlLocalName(k);
    if (local == "worksheetSource" && attr == "sheet") {
      if (auto now = rename(v)) v = *now, changed = true;
    } else if (local == "hyperlink" && attr == "location") {
      std::string text = RenameSheetsInFormula(v, rename);
      if (text != v) v = std::move(text), changed = true;
    }
  }
  for (auto& c : n.children) changed = RenameSheetsInTree(c, rename) || changed;
  return changed;
}

std::string LowerText(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
  return out;
}

}  // namespace

const SheetPreserved* PackageWriter::KeptFor(const Sheet& sheet) {
  const SheetPreserved* keep = sheet.preserved().get();
  if (!keep || renames_.empty()) return keep;
  auto copy = std::make_shared<SheetPreserved>(*keep);
  bool changed = false;
  for (auto& e : copy->elements) changed = RenameSheetsInTree(e, rename_) || changed;
  for (auto& e : copy->drawing_anchors) changed = RenameSheetsInTree(e, rename_) || changed;
  if (!changed) return keep;
  renamed_keep_.push_back(copy);
  return copy.get();
}

// A kept part that may name sheets (pivot cache definitions, charts the model does not hold, tables),
// rewritten when it refers to a renamed sheet; nullopt when it stays as it is.
std::optional<std::string> PackageWriter::RenamedPart(const std::string& name, const std::string& bytes) const {
  if (renames_.empty()) return std::nullopt;
  std::string lower = Lower(name);
  if (!lower.starts_with("xl/pivotcache/pivotcachedefinition") && !lower.starts_with("xl/charts/chart") &&
      !lower.starts_with("xl/tables/"))
    return std::nullopt;
  if (!lower.ends_with(".xml") || bytes.size() > limits::kMaxTreePartBytes) return std::nullopt;
  std::string lower_bytes = LowerText(bytes);
  bool mentioned = false;
  for (const auto& [old, now] : renames_)
    mentioned = mentioned || lower_bytes.find(LowerText(old)) != std::string::npos;
  if (!mentioned) return std::nullopt;
  XmlNode root;
  try {
    root = ParseXmlTree(bytes);
  } catch (const FormatError&) {
    return std::nullopt;  // kept as it came
  }
  if (!RenameSheetsInTree(root, rename_)) return std::nullopt;
  XmlWriter w;
  w.Declaration();
  w.Node(root);
  return std::move(w.buffer());
}

std::string PackageWriter::WriteChart(const Chart& chart) {
  std::string part = NewPart("xl/charts/chart", ".xml");
  std::string us_rid;
  const ChartPreserved* origin = chart.origin.part.get();
  // A chart that came from another package (a sheet copied across workbooks) may relate to parts
  // this one does not keep: it is then written anew.
  if (origin)
    for (const auto& r : origin->rels)
      if (r.target_mode.empty() && (!keep_ || !keep_->parts.count(r.target.substr(r.target.starts_with("/") ? 1 : 0))))
        origin = nullptr;
  std::optional<ChartPreserved> renamed;
  if (origin && !renames_.empty()) {
    renamed = *origin;
    if (RenameSheetsInTree(renamed->tree, rename_)) origin = &*renamed;
  }
  std::vector<PreservedRel> rels;
  if (origin) rels = origin->rels;
  if (!chart.text_boxes.empty()) {
    std::string shapes = NewPart("xl/drawings/drawing", ".xml");
    zip_.Add(shapes, XmlSafe(WriteUserShapesXml(chart)));
    Override(shapes, kCtChartShapes);
    size_t counter = 0;
    us_rid = NewId(rels, counter);
    rels.push_back({us_rid, std::string(opc::kRelBase) + "chartUserShapes", "/" + shapes, ""});
  }
  if (!rels.empty()) zip_.Add(opc::RelsPartName(part), opc::WriteRels(rels));
  // Series names that refer to a cell take that cell's text, so that the cached name is current.
  Chart current = chart;
  for (auto& s : current.series)
    if (!s.name_ref.empty())
      if (auto c = CacheFor(s.name_ref); c && !c->texts.empty()) s.name = c->texts[0];
  auto cache = [this](const std::string& r) { return CacheFor(r); };
  zip_.Add(part, XmlSafe(origin ? WriteChartOverXml(current, *origin, us_rid, cache)
                                : WriteChartXml(current, us_rid, cache)));
  Override(part, kCtChart);
  return part;
}

namespace {
int64_t Emu(double points) {
  return std::isfinite(points) ? int64_t(std::llround(std::clamp(points, -1e9, 1e9) * 12700.0)) : 0;
}

void Corner(XmlWriter& w, std::string_view name, CellAddress c, double dx, double dy) {
  w.Start(name);
  w.TextElement("xdr:col", std::to_string(c.col));
  w.TextElement("xdr:colOff", std::to_string(Emu(dx)));
  w.TextElement("xdr:row", std::to_string(c.row));
  w.TextElement("xdr:rowOff", std::to_string(Emu(dy)));
  w.End(name);
}

uint32_t MaxShapeId(const XmlNode& n) {
  uint32_t m = 0;
  if (n.local() == "cNvPr")
    if (auto* id = n.Attr("id")) m = uint32_t(std::strtoul(id->c_str(), nullptr, 10));
  for (const auto& c : n.children) m = std::max(m, MaxShapeId(c));
  return m;
}

void RgbFill(XmlWriter& w, const Color& c) {
  char buf[7];
  static const char* hex = "0123456789ABCDEF";
  for (int i = 0; i < 6; ++i) buf[i] = hex[(c.value >> (20 - 4 * i)) & 15];
  buf[6] = 0;
  w.Start("a:solidFill");
  w.Start("a:srgbClr");
  w.Attr("val", buf);
  w.End("a:srgbClr");
  w.End("a:solidFill");
}

void ChartFrame(XmlWriter& w, uint32_t id, const std::string& name, bool hidden, const std::string& rid) {
  w.Start("xdr:graphicFrame");
  w.Attr("macro", "");
  w.Start("xdr:nvGraphicFramePr");
  w.Start("xdr:cNvPr");
  w.Attr("id", int64_t(id));
  w.Attr("name", name);
  if (hidden) w.Attr("hidden", "1");
  w.End("xdr:cNvPr");
  w.Start("xdr:cNvGraphicFramePr");
  w.End("xdr:cNvGraphicFramePr");
  w.End("xdr:nvGraphicFramePr");
  w.Raw("<xdr:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"0\" cy=\"0\"/></xdr:xfrm>");
  w.Raw("<a:graphic><a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/chart\">");
  w.Start("c:chart");
  w.Attr("xmlns:c", "http://schemas.openxmlformats.org/drawingml/2006/chart");
  w.Attr("xmlns:r", kRelNs);
  w.Attr("r:id", rid);
  w.End("c:chart");
  w.Raw("</a:graphicData></a:graphic>");
  w.End("xdr:graphicFrame");
}
}  // namespace

std::string PackageWriter::WriteDrawing(const Sheet& sheet, const SheetPreserved* keep) {
  std::string part = NewPart("xl/drawings/drawing", ".xml");
  std::vector<PreservedRel> rels;
  if (keep) rels = keep->drawing_rels;
  size_t counter = 0;
  uint32_t next_id = 1;
  if (keep)
    for (const auto& a : keep->drawing_anchors) next_id = std::max(next_id, MaxShapeId(a));
  ++next_id;
  XmlWriter w;
  w.Declaration();
  w.Start("xdr:wsDr");
  std::set<std::string> declared;
  if (keep)
    for (const auto& [k, v] : keep->drawing_root_attrs) {
      w.Attr(k, v);
      declared.insert(k);
    }
  if (!declared.count("xmlns:xdr"))
    w.Attr("xmlns:xdr", "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing");
  if (!declared.count("xmlns:a")) w.Attr("xmlns:a", "http://schemas.openxmlformats.org/drawingml/2006/main");
  if (sheet.IsWorksheet()) {
    for (const auto& d : sheet.drawings()) {
      w.Start("xdr:twoCellAnchor");
      if (d->kind == DrawingObject::Kind::Chart) w.Attr("editAs", "oneCell");
      Corner(w, "xdr:from", d->anchor.from, d->anchor.from_x, d->anchor.from_y);
      Corner(w, "xdr:to", d->anchor.to, d->anchor.to_x, d->anchor.to_y);
      if (d->kind == DrawingObject::Kind::Chart && d->chart) {
        std::string chart_part = WriteChart(*d->chart);
        std::string rid = NewId(rels, counter);
        rels.push_back({rid, std::string(opc::kRelBase) + "chart", "/" + chart_part, ""});
        ChartFrame(w, next_id++, d->name, !d->visible, rid);
      } else {
        w.Start("xdr:sp");
        w.Attr("macro", "");
        w.Attr("textlink", "");
        w.Start("xdr:nvSpPr");
        w.Start("xdr:cNvPr");
        w.Attr("id", int64_t(next_id++));
        w.Attr("name", d->name);
        if (!d->visible) w.Attr("hidden", "1");
        w.End("xdr:cNvPr");
        w.Start("xdr:cNvSpPr");
        w.Attr("txBox", "1");
        w.End("xdr:cNvSpPr");
        w.End("xdr:nvSpPr");
        w.Start("xdr:spPr");
        w.Raw(
            "<a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"0\" cy=\"0\"/></a:xfrm><a:prstGeom "
            "prst=\"rect\"><a:avLst/></a:prstGeom>");
        if (d->fill.pattern != FillPattern::None && d->fill.foreground.kind == Color::Kind::Rgb)
          RgbFill(w, d->fill.foreground);
        else
          w.Raw("<a:solidFill><a:srgbClr val=\"FFFFFF\"/></a:solidFill>");
        w.Start("a:ln");
        if (d->line_color.kind == Color::Kind::Rgb)
          RgbFill(w, d->line_color);
        else
          w.Raw("<a:noFill/>");
        w.End("a:ln");
        w.End("xdr:spPr");
        w.Start("xdr:txBody");
        w.Raw("<a:bodyPr vertOverflow=\"clip\" wrap=\"square\" rtlCol=\"0\" anchor=\"t\"/><a:lstStyle/>");
        size_t start = 0;
        for (;;) {
          size_t nl = d->text.find('\n', start);
          w.Start("a:p");
          w.Start("a:r");
          w.Raw("<a:rPr lang=\"en-US\" sz=\"1000\"/>");
          w.TextElement(
              "a:t", std::string_view(d->text).substr(start, nl == std::string::npos ? std::string::npos : nl - start));
          w.End("a:r");
          w.End("a:p");
          if (nl == std::string::npos) break;
          start = nl + 1;
        }
        w.End("xdr:txBody");
        w.End("xdr:sp");
      }
      w.Start("xdr:clientData");
      w.End("xdr:clientData");
      w.End("xdr:twoCellAnchor");
    }
  } else if (sheet.chart_if_any() || !keep || keep->drawing_anchors.empty()) {
    static const Chart kEmpty;
    const Chart* chart = sheet.chart_if_any() ? sheet.chart_if_any() : &kEmpty;
    std::string chart_part = WriteChart(*chart);
    std::string rid = NewId(rels, counter);
    rels.push_back({rid, std::string(opc::kRelBase) + "chart", "/" + chart_part, ""});
    w.Start("xdr:absoluteAnchor");
    w.Raw("<xdr:pos x=\"0\" y=\"0\"/><xdr:ext cx=\"8666667\" cy=\"6293556\"/>");
    ChartFrame(w, next_id++, "Chart 1", false, rid);
    w.Start("xdr:clientData");
    w.End("xdr:clientData");
    w.End("xdr:absoluteAnchor");
  }
  if (keep)
    for (const auto& a : keep->drawing_anchors) w.Node(a);
  w.End("xdr:wsDr");
  zip_.Add(part, XmlSafe(std::move(w.buffer())));
  Override(part, kCtDrawing);
  if (!rels.empty()) zip_.Add(opc::RelsPartName(part), opc::WriteRels(rels));
  return part;
}

void PackageWriter::WriteWorksheet(size_t index, const std::string& part, std::vector<PreservedRel>&) {
  const Sheet& sheet = book_.sheet(index);
  const SheetPreserved* keep = KeptFor(sheet);
  std::vector<PreservedRel> rels;
  if (keep)
    for (const auto& r : keep->rels)
      if (KeepRel(r)) rels.push_back(r);
  size_t counter = 0;
  std::string drawing_rid;
  bool has_drawing = !sheet.drawings().empty() || (keep && !keep->drawing_anchors.empty());
  if (has_drawing) {
    std::string drawing = WriteDrawing(sheet, keep);
    drawing_rid = NewId(rels, counter);
    rels.push_back({drawing_rid, std::string(opc::kRelBase) + "drawing", "/" + drawing, ""});
  }

  // Large parts are deflated at the fastest level: sheet XML compresses well at any level.
  zip_.Begin(part, 1);
  XmlWriter w([this](std::string_view chunk) { zip_.Write(chunk); });
  w.Declaration();
  w.Start("worksheet");
  std::set<std::string> declared;
  if (keep)
    for (const auto& [k, v] : keep->root_attrs) {
      w.Attr(k, v);
      declared.insert(k);
    }
  if (!declared.count("xmlns")) w.Attr("xmlns", kMainNs);
  if (!declared.count("xmlns:r")) w.Attr("xmlns:r", kRelNs);

  uint8_t max_row_level = 0, max_col_level = 0;
  for (const auto& [r, info] : sheet.rows()) max_row_level = std::max(max_row_level, info.outline_level);
  for (const auto& [c, span] : sheet.columns()) max_col_level = std::max(max_col_level, span.info.outline_level);

  auto gen = [&](std::string_view name) {
    if (name == "dimension") {
      auto used = sheet.UsedRange();
      w.Start("dimension");
      w.Attr("ref", used ? RangeName(*used) : "A1");
      w.End("dimension");
    } else if (name == "sheetViews") {
      WriteSheetViews(w, sheet, keep);
    } else if (name == "sheetFormatPr") {
      const XmlNode* kept = nullptr;
      if (keep)
        for (const auto& e : keep->elements)
          if (e.local() == "sheetFormatPr") kept = &e;
      XmlNode node;
      if (kept)
        node = *kept;
      else
        node = XmlNode{"sheetFormatPr", {{"defaultRowHeight", "12.75"}}, {}, {}};
      std::erase_if(node.attrs,
                    [](const auto& a) { return a.first == "outlineLevelRow" || a.first == "outlineLevelCol"; });
      if (max_row_level) node.attrs.emplace_back("outlineLevelRow", std::to_string(max_row_level));
      if (max_col_level) node.attrs.emplace_back("outlineLevelCol", std::to_string(max_col_level));
      w.Node(node);
    } else if (name == "cols" && !sheet.columns().empty()) {
      w.Start("cols");
      for (auto it = sheet.columns().begin(); it != sheet.columns().end(); ++it) {
        uint32_t first = it->first, last = it->second.last;
        const ColumnInfo& info = it->second.info;
        w.Start("col");
        w.Attr("min", int64_t(first) + 1);
        w.Attr("max", int64_t(last) + 1);
        const bool custom_width = info.width > 0 && std::isfinite(info.width);
        w.AttrNum("width", custom_width ? info.width : 9.140625);
        if (info.format) w.Attr("style", int64_t(*info.format));
        if (info.hidden) w.Attr("hidden", "1");
        if (custom_width) w.Attr("customWidth", "1");
        if (info.outline_level) w.Attr("outlineLevel", int64_t(info.outline_level));
        if (info.collapsed) w.Attr("collapsed", "1");
        w.End("col");
      }
      w.End("cols");
    } else if (name == "sheetData") {
      w.Start("sheetData");
      auto row_it = sheet.rows().begin();
      int64_t open_row = -1;
      auto open = [&](uint32_t r) {
        w.Start("row");
        w.Attr("r", int64_t(r) + 1);
        auto found = sheet.rows().find(r);
        if (found != sheet.rows().end()) {
          const RowInfo& info = found->second;
          if (info.format) {
            w.Attr("s", int64_t(*info.format));
            w.Attr("customFormat", "1");
          }
          if (info.height > 0 && std::isfinite(info.height)) {
            w.AttrNum("ht", info.height);
            w.Attr("customHeight", "1");
          }
          if (info.hidden) w.Attr("hidden", "1");
          if (info.outline_level) w.Attr("outlineLevel", int64_t(info.outline_level));
          if (info.collapsed) w.Attr("collapsed", "1");
        }
      };
      auto flush_rows_before = [&](uint32_t r) {
        while (row_it != sheet.rows().end() && row_it->first < r) {
          if (int64_t(row_it->first) != open_row) {
            open(row_it->first);
            w.End("row");
          }
          ++row_it;
        }
      };
      std::vector<std::string> letters;  // column letters, made once per column
      std::string row_text;
      char num[40];
      auto append_uint = [&](std::string& out, uint64_t v) {
        auto res = std::to_chars(num, num + sizeof num, v);
        out.append(num, size_t(res.ptr - num));
      };
      const auto& arrays = sheet.array_formulas();
      sheet.ForEachCell([&](uint32_t r, uint32_t c, const CellView& v) {
        if (int64_t(r) != open_row) {
          if (open_row >= 0) w.End("row");
          flush_rows_before(r);
          open(r);
          open_row = r;
          if (row_it != sheet.rows().end() && row_it->first == r) ++row_it;
          row_text.clear();
          append_uint(row_text, uint64_t(r) + 1);
          w.Raw("");  // closes the row's start tag
        }
        if (c >= letters.size()) letters.resize(size_t(c) + 1);
        if (letters[c].empty()) letters[c] = ColumnLetters(c);
        // The hot path writes the cell directly: <c r="B7" s="3" t="s"><f>..</f><v>..</v></c>
        std::string& out = w.buffer();
        out += "<c r=\"";
        out += letters[c];
        out += row_text;
        out += '"';
        if (v.format) {
          out += " s=\"";
          append_uint(out, v.format);
          out += '"';
        }
        bool formula = v.HasFormula();
        switch (v.type) {
          case ValueType::Text: out += formula ? " t=\"str\"" : " t=\"s\""; break;
          case ValueType::Boolean: out += " t=\"b\""; break;
          case ValueType::Error: out += " t=\"e\""; break;
          default: break;
        }
        if (v.type == ValueType::Empty && !formula) {
          out += "/>";
        } else {
          out += '>';
          if (formula) {
            auto array = arrays.empty() ? arrays.end() : arrays.find(CellAddress{r, c});
            if (array != arrays.end()) {
              out += "<f t=\"array\" ref=\"";
              out += RangeName(array->second);
              out += "\">";
            } else {
              out += "<f>";
            }
            // Formulas are read back with _xHHHH_ decoded, as cell texts are: written the same way.
            if (NeedsOoxmlEncoding(v.formula))
              XmlEscape(EncodeOoxmlText(v.formula), out, false);
            else
              XmlEscape(v.formula, out, false);
            out += "</f>";
          }
          switch (v.type) {
            case ValueType::Empty: break;
            case ValueType::Number: {
              out += "<v>";
              if (v.number == 0) {
                out += '0';
              } else {
                auto res = std::to_chars(num, num + sizeof num, v.number);
                for (char* q = num; q < res.ptr; ++q)
                  if (*q == 'e') *q = 'E';
                out.append(num, size_t(res.ptr - num));
              }
              out += "</v>";
              break;
            }
            case ValueType::Text:
              out += "<v>";
              if (formula)
                XmlEscape(NeedsOoxmlEncoding(v.text) ? EncodeOoxmlText(v.text) : std::string(v.text), out, false);
              else
                append_uint(out, SharedStringIndex(index, v));
              out += "</v>";
              break;
            case ValueType::Boolean: out += v.boolean ? "<v>1</v>" : "<v>0</v>"; break;
            case ValueType::Error:
              out += "<v>";
              XmlEscape(ErrorText(v.error), out, false);
              out += "</v>";
              break;
          }
          out += "</c>";
        }
        if (out.size() > (1 << 16)) w.Flush();
      });
      if (open_row >= 0) w.End("row");
      flush_rows_before(UINT32_MAX);
      w.End("sheetData");
    } else if (name == "mergeCells" && !sheet.merged().empty()) {
      w.Start("mergeCells");
      w.Attr("count", int64_t(sheet.merged().size()));
      for (const auto& m : sheet.merged()) {
        w.Start("mergeCell");
        w.Attr("ref", RangeName(m));
        w.End("mergeCell");
      }
      w.End("mergeCells");
    } else if (name == "pageMargins") {
      bool kept = false;
      if (keep)
        for (const auto& e : keep->elements) kept = kept || e.local() == "pageMargins";
      if (!kept)
        w.Raw("<pageMargins left=\"0.75\" right=\"0.75\" top=\"1\" bottom=\"1\" header=\"0.5\" footer=\"0.5\"/>");
    } else if (name == "pageSetup") {
      XmlNode node{"pageSetup", {}, {}, {}};
      if (keep)
        for (const auto& e : keep->elements)
          if (e.local() == "pageSetup") node = e;
      const PageSetup& p = sheet.page_setup();
      std::erase_if(node.attrs, [](const auto& a) {
        return a.first == "paperSize" || a.first == "orientation" || a.first == "scale" || a.first == "fitToWidth" ||
               a.first == "fitToHeight";
      });
      std::vector<std::pair<std::string, std::string>> attrs;
      if (p.paper_size) attrs.emplace_back("paperSize", std::to_string(p.paper_size));
      if (p.scale != 100) attrs.emplace_back("scale", std::to_string(std::clamp<uint32_t>(p.scale, 10, 400)));
      if (p.fit_to_width) attrs.emplace_back("fitToWidth", std::to_string(p.fit_to_width));
      if (p.fit_to_height) attrs.emplace_back("fitToHeight", std::to_string(p.fit_to_height));
      if (p.orientation != Orientation::Default)
        attrs.emplace_back("orientation", p.orientation == Orientation::Portrait ? "portrait" : "landscape");
      node.attrs.insert(node.attrs.begin(), attrs.begin(), attrs.end());
      // r:id of printer settings must come after the others; it already does, as kept attributes follow.
      if (!node.attrs.empty()) w.Node(node);
    } else if (name == "drawing" && !drawing_rid.empty()) {
      w.Start("drawing");
      w.Attr("r:id", drawing_rid);
      w.End("drawing");
    }
  };
  std::set<std::string_view> replaced = {"sheetFormatPr", "pageSetup", "drawing",   "dimension",
                                         "sheetViews",    "cols",      "mergeCells"};
  WriteInOrder(w, kWorksheetOrder, keep ? &keep->elements : nullptr, gen, replaced);
  w.End("worksheet");
  w.Flush();
  zip_.End();
  Override(part, kCtWorksheet);
  if (!rels.empty()) zip_.Add(opc::RelsPartName(part), opc::WriteRels(rels));
}

void PackageWriter::WriteChartsheet(size_t index, const std::string& part) {
  const Sheet& sheet = book_.sheet(index);
  const SheetPreserved* keep = KeptFor(sheet);
  std::vector<PreservedRel> rels;
  if (keep) rels = keep->rels;
  size_t counter = 0;
  std::string drawing_rid;
  {
    // A chart sheet must have its drawing, with an empty chart when the sheet has none yet.
    std::string drawing = WriteDrawing(sheet, keep);
    drawing_rid = NewId(rels, counter);
    rels.push_back({drawing_rid, std::string(opc::kRelBase) + "drawing", "/" + drawing, ""});
  }
  XmlWriter w;
  w.Declaration();
  w.Start("chartsheet");
  std::set<std::string> declared;
  if (keep)
    for (const auto& [k, v] : keep->root_attrs) {
      w.Attr(k, v);
      declared.insert(k);
    }
  if (!declared.count("xmlns")) w.Attr("xmlns", kMainNs);
  if (!declared.count("xmlns:r")) w.Attr("xmlns:r", kRelNs);
  auto gen = [&](std::string_view name) {
    if (name == "sheetViews") {
      WriteSheetViews(w, sheet, keep);
    } else if (name == "pageMargins") {
      bool kept = false;
      if (keep)
        for (const auto& e : keep->elements) kept = kept || e.local() == "pageMargins";
      if (!kept)
        w.Raw("<pageMargins left=\"0.75\" right=\"0.75\" top=\"1\" bottom=\"1\" header=\"0.5\" footer=\"0.5\"/>");
    } else if (name == "pageSetup") {
      XmlNode node{"pageSetup", {}, {}, {}};
      if (keep)
        for (const auto& e : keep->elements)
          if (e.local() == "pageSetup") node = e;
      std::erase_if(node.attrs, [](const auto& a) { return a.first == "paperSize" || a.first == "orientation"; });
      const PageSetup& p = sheet.page_setup();
      if (p.orientation != Orientation::Default)
        node.attrs.insert(node.attrs.begin(),
                          {"orientation", p.orientation == Orientation::Portrait ? "portrait" : "landscape"});
      if (p.paper_size) node.attrs.insert(node.attrs.begin(), {"paperSize", std::to_string(p.paper_size)});
      if (!node.attrs.empty()) w.Node(node);
    } else if (name == "drawing" && !drawing_rid.empty()) {
      w.Start("drawing");
      w.Attr("r:id", drawing_rid);
      w.End("drawing");
    }
  };
  WriteInOrder(w, kChartsheetOrder, keep ? &keep->elements : nullptr, gen, {"sheetViews", "pageSetup", "drawing"});
  w.End("chartsheet");
  zip_.Add(part, XmlSafe(std::move(w.buffer())));
  Override(part, kCtChartsheet);
  if (!rels.empty()) zip_.Add(opc::RelsPartName(part), opc::WriteRels(rels));
}

// A defined name's reference to another workbook is written the way files hold it: "[n]Sheet!A1",
// n numbering the workbook's external links. Links kept from the file read keep their numbers (cell
// formulas use them); workbooks not linked yet get a new link part each.
void PackageWriter::PrepareExternalLinks(std::vector<PreservedRel>& wb_rels, size_t& counter) {
  std::vector<std::string> links;
  if (keep_) links = keep_->external_links;
  const size_t kept = links.size();
  std::vector<std::vector<std::string>> sheets_of_new;  // sheet names referred to, per new link
  auto number_of = [&](const Reference& ref) {
    for (size_t i = 0; i < links.size(); ++i)
      if (links[i] == ref.workbook) {
        if (i >= kept) {
          auto& sheets = sheets_of_new[i - kept];
          if (!ref.sheet.empty() && std::find(sheets.begin(), sheets.end(), ref.sheet) == sheets.end())
            sheets.push_back(ref.sheet);
        }
        return i + 1;
      }
    links.push_back(ref.workbook);
    sheets_of_new.push_back(ref.sheet.empty() ? std::vector<std::string>{} : std::vector<std::string>{ref.sheet});
    return links.size();
  };
  auto prepare = [&](const DefinedName& n) {
    if (n.kind != DefinedName::Kind::References) return;
    bool external = false;
    for (const auto& r : n.references)
      if (r.IsExternal() && r.workbook.find_first_not_of("0123456789") != std::string::npos) external = true;
    if (!external) return;
    ReferenceList refs = n.references;
    for (auto& r : refs)
      if (r.IsExternal() && r.workbook.find_first_not_of("0123456789") != std::string::npos)
        r.workbook = std::to_string(number_of(r));
    name_texts_[&n] = FormatReferenceList(refs, RefStyle::A1);
  };
  for (const auto& n : book_.names().entries()) prepare(n);
  for (size_t i = 0; i < book_.sheet_count(); ++i)
    for (const auto& n : book_.sheet(i).names().entries()) prepare(n);
  for (size_t k = kept; k < links.size(); ++k) {
    std::string part = NewPart("xl/externalLinks/externalLink", ".xml");
    XmlWriter w;
    w.Declaration();
    w.Start("externalLink");
    w.Attr("xmlns", kMainNs);
    w.Attr("xmlns:r", kRelNs);
    w.Start("externalBook");
    w.Attr("r:id", "rId1");
    const auto& sheets = sheets_of_new[k - kept];
    if (!sheets.empty()) {
      w.Start("sheetNames");
      for (const auto& sn : sheets) {
        w.Start("sheetName");
        w.Attr("val", sn);
        w.End("sheetName");
      }
      w.End("sheetNames");
    }
    w.End("externalBook");
    w.End("externalLink");
    zip_.Add(part, XmlSafe(std::move(w.buffer())));
    Override(part, "application/vnd.openxmlformats-officedocument.spreadsheetml.externalLink+xml");
    zip_.Add(opc::RelsPartName(part), opc::WriteRels({{"rId1", std::string(opc::kRelBase) + "externalLinkPath",
                                                       LinkTargetFor(links[k], link_folder_), "External"}}));
    std::string id = NewId(wb_rels, counter);
    wb_rels.push_back({id, std::string(opc::kRelBase) + "externalLink", "/" + part, ""});
    new_link_rids_.push_back(id);
  }
}

void PackageWriter::WriteWorkbook(const std::vector<std::string>& sheet_ids) {
  XmlWriter w;
  w.Declaration();
  w.Start("workbook");
  std::set<std::string> declared;
  if (keep_)
    for (const auto& [k, v] : keep_->workbook_root_attrs) {
      w.Attr(k, v);
      declared.insert(k);
    }
  if (!declared.count("xmlns")) w.Attr("xmlns", kMainNs);
  if (!declared.count("xmlns:r")) w.Attr("xmlns:r", kRelNs);
  // A workbook opens only with a sheet to show: when every sheet is hidden, the active one is written
  // visible, and a window whose active sheet is hidden shows the first visible one.
  const size_t count = book_.sheet_count();
  std::vector<bool> visible(count);
  for (size_t i = 0; i < count; ++i) visible[i] = book_.sheet(i).visibility() == SheetVisibility::Visible;
  if (std::find(visible.begin(), visible.end(), true) == visible.end()) {
    size_t active = book_.windows().empty() ? 0 : book_.windows()[0].active_sheet;
    visible[active < count ? active : 0] = true;
  }
  const size_t first_visible = size_t(std::find(visible.begin(), visible.end(), true) - visible.begin());
  auto shown = [&](size_t sheet) { return sheet < count && visible[sheet] ? sheet : first_visible; };
  auto gen = [&](std::string_view name) {
    if (name == "bookViews") {
      w.Start("bookViews");
      std::vector<Window> windows = book_.windows();
      if (windows.empty()) windows.push_back(Window{});
      for (const auto& win : windows) {
        w.Start("workbookView");
        if (win.hidden) w.Attr("visibility", "hidden");
        if (!win.show_horizontal_scroll) w.Attr("showHorizontalScroll", "0");
        if (!win.show_vertical_scroll) w.Attr("showVerticalScroll", "0");
        if (!win.show_tabs) w.Attr("showSheetTabs", "0");
        if (win.x) w.Attr("xWindow", int64_t(win.x));
        if (win.y) w.Attr("yWindow", int64_t(win.y));
        if (win.width > 0) w.Attr("windowWidth", int64_t(win.width));
        if (win.height > 0) w.Attr("windowHeight", int64_t(win.height));
        if (win.tab_ratio != 600) w.Attr("tabRatio", int64_t(std::min<uint32_t>(win.tab_ratio, 1000)));  // per mille
        if (win.first_visible_tab && win.first_visible_tab < book_.sheet_count())
          w.Attr("firstSheet", int64_t(win.first_visible_tab));
        if (size_t active = shown(win.active_sheet)) w.Attr("activeTab", int64_t(active));
        w.End("workbookView");
      }
      w.End("bookViews");
    } else if (name == "sheets") {
      w.Start("sheets");
      for (size_t i = 0; i < book_.sheet_count(); ++i) {
        const Sheet& s = book_.sheet(i);
        w.Start("sheet");
        w.Attr("name", s.name());
        w.Attr("sheetId", int64_t(i + 1));
        if (!visible[i]) w.Attr("state", s.visibility() == SheetVisibility::VeryHidden ? "veryHidden" : "hidden");
        w.Attr("r:id", sheet_ids[i]);
        w.End("sheet");
      }
      w.End("sheets");
    } else if (name == "definedNames") {
      bool any = book_.names().size() > 0;
      for (size_t i = 0; i < book_.sheet_count(); ++i) any = any || book_.sheet(i).names().size() > 0;
      if (!any) return;
      w.Start("definedNames");
      auto one = [&](const DefinedName& n, int64_t local) {
        w.Start("definedName");
        w.Attr("name", n.name);
        if (!n.comment.empty()) w.Attr("comment", n.comment);
        if (local >= 0) w.Attr("localSheetId", local);
        if (n.hidden) w.Attr("hidden", "1");
        auto text = name_texts_.find(&n);
        w.Text(text != name_texts_.end() ? text->second : n.refers_to);
        w.End("definedName");
      };
      for (const auto& n : book_.names().entries()) one(n, -1);
      for (size_t i = 0; i < book_.sheet_count(); ++i)
        for (const auto& n : book_.sheet(i).names().entries()) one(n, int64_t(i));
      w.End("definedNames");
    } else if (name == "externalReferences") {
      const XmlNode* kept = nullptr;
      if (keep_)
        for (const auto& e : keep_->workbook_elements)
          if (e.local() == "externalReferences") kept = &e;
      if (new_link_rids_.empty()) {
        if (kept) w.Node(*kept);
        return;
      }
      XmlNode node = kept ? *kept : XmlNode{"externalReferences", {}, {}, {}};
      for (const auto& id : new_link_rids_)
        node.children.push_back(XmlNode{"externalReference", {{"r:id", id}}, {}, {}});
      w.Node(node);
    } else if (name == "workbookPr") {
      // The date system is the model's; other attributes of a kept element stay.
      XmlNode node{"workbookPr", {}, {}, {}};
      if (keep_)
        for (const auto& e : keep_->workbook_elements)
          if (e.local() == "workbookPr") node = e;
      std::erase_if(node.attrs, [](const auto& a) { return a.first == "date1904"; });
      if (book_.date_1904()) node.attrs.emplace_back("date1904", "1");
      w.Node(node);
    } else if (name == "calcPr") {
      bool kept = false;
      if (keep_)
        for (const auto& e : keep_->workbook_elements) kept = kept || e.local() == "calcPr";
      if (!kept) w.Raw("<calcPr calcId=\"0\" fullCalcOnLoad=\"1\"/>");
    }
  };
  WriteInOrder(w, kWorkbookOrder, keep_ ? &keep_->workbook_elements : nullptr, gen,
               {"externalReferences", "workbookPr"});
  w.End("workbook");
  zip_.Add("xl/workbook.xml", XmlSafe(std::move(w.buffer())));
}

void PackageWriter::WriteContentTypes() {
  XmlWriter w;
  w.Declaration();
  w.Start("Types");
  w.Attr("xmlns", "http://schemas.openxmlformats.org/package/2006/content-types");
  std::map<std::string, std::string> defaults = {{"rels", "application/vnd.openxmlformats-package.relationships+xml"},
                                                 {"xml", "application/xml"}};
  if (keep_)
    for (const auto& [ext, type] : keep_->content_defaults)
      if (ext != "rels" && ext != "xml") defaults[ext] = type;
  for (const auto& [ext, type] : defaults) {
    w.Start("Default");
    w.Attr("Extension", ext);
    w.Attr("ContentType", type);
    w.End("Default");
  }
  for (const auto& [part, type] : overrides_) {
    w.Start("Override");
    w.Attr("PartName", "/" + part);
    w.Attr("ContentType", type);
    w.End("Override");
  }
  w.End("Types");
  zip_.Add("[Content_Types].xml", w.buffer());
}

void PackageWriter::Write() {
  taken_.insert("xl/workbook.xml");
  taken_.insert("xl/styles.xml");
  taken_.insert("xl/sharedstrings.xml");
  taken_.insert("[content_types].xml");
  taken_.insert("_rels/.rels");
  taken_.insert("xl/_rels/workbook.xml.rels");
  if (book_.sheet_count() == 0) throw std::runtime_error("a workbook needs at least one sheet to be saved");

  std::vector<PreservedRel> wb_rels;
  if (keep_)
    for (const auto& r : keep_->workbook_rels)
      if (KeepRel(r)) wb_rels.push_back(r);
  size_t counter = 0;
  std::vector<std::string> sheet_ids;
  BuildSharedStrings();
  for (size_t i = 0; i < book_.sheet_count(); ++i) {
    const Sheet& s = book_.sheet(i);
    std::string part =
        s.IsWorksheet() ? NewPart("xl/worksheets/sheet", ".xml") : NewPart("xl/chartsheets/sheet", ".xml");
    if (s.IsWorksheet())
      WriteWorksheet(i, part, wb_rels);
    else
      WriteChartsheet(i, part);
    std::string id = NewId(wb_rels, counter);
    wb_rels.push_back(
        {id, std::string(opc::kRelBase) + (s.IsWorksheet() ? "worksheet" : "chartsheet"), "/" + part, ""});
    sheet_ids.push_back(id);
  }
  zip_.Add("xl/styles.xml", XmlSafe(WriteStylesXml(book_, keep_)));
  Override("xl/styles.xml", kCtStyles);
  wb_rels.push_back({NewId(wb_rels, counter), std::string(opc::kRelBase) + "styles", "styles.xml", ""});
  if (SstSize() > 0) {
    zip_.Begin("xl/sharedStrings.xml", 1);
    XmlWriter w([this](std::string_view chunk) { zip_.Write(chunk); });
    w.Declaration();
    w.Start("sst");
    w.Attr("xmlns", kMainNs);
    w.Attr("count", int64_t(sst_count_));
    w.Attr("uniqueCount", int64_t(SstSize()));
    w.Raw("");  // closes the start tag
    std::string& out = w.buffer();
    for (size_t k = 0, n = SstSize(); k < n; ++k) {
      std::string_view t = SstText(k);
      bool edge_space = !t.empty() && (t.front() == ' ' || t.back() == ' ' || t.front() == '\n' || t.back() == '\n' ||
                                       t.front() == '\t' || t.back() == '\t');
      out += edge_space ? "<si><t xml:space=\"preserve\">" : "<si><t>";
      if (NeedsOoxmlEncoding(t))
        XmlEscape(EncodeOoxmlText(t), out, false);
      else
        XmlEscape(t, out, false);
      out += "</t></si>";
      if (out.size() > (1 << 16)) w.Flush();
    }
    w.End("sst");
    w.Flush();
    zip_.End();
    Override("xl/sharedStrings.xml", kCtSst);
    wb_rels.push_back({NewId(wb_rels, counter), std::string(opc::kRelBase) + "sharedStrings", "sharedStrings.xml", ""});
  }
  PrepareExternalLinks(wb_rels, counter);
  WriteWorkbook(sheet_ids);
  Override("xl/workbook.xml", MainContentType(format_));
  zip_.Add("xl/_rels/workbook.xml.rels", opc::WriteRels(wb_rels));

  std::vector<PreservedRel> pkg_rels;
  if (keep_) pkg_rels = keep_->package_rels;
  size_t pkg_counter = 0;
  pkg_rels.insert(pkg_rels.begin(),
                  {NewId(pkg_rels, pkg_counter), std::string(opc::kRelBase) + "officeDocument", "xl/workbook.xml", ""});
  zip_.Add("_rels/.rels", opc::WriteRels(pkg_rels));

  if (keep_) {
    for (const auto& [name, bytes] : keep_->parts) {
      std::string lower = Lower(name);
      if (!MacroEnabled(format_) && lower.find("vbaproject") != std::string::npos) continue;
      // The writer owns the names of the parts it writes: a kept part never takes one.
      if (zip_.Holds(name) || lower == "[content_types].xml") continue;
      if (auto renamed = RenamedPart(name, bytes))
        zip_.Add(name, *renamed);
      else
        zip_.Add(name, bytes);
      auto ov = keep_->content_overrides.find(name);
      if (ov != keep_->content_overrides.end()) Override(name, ov->second);
    }
  }
  WriteContentTypes();
  zip_.Finish();
}

}  // namespace

void WriteXlsxPackage(const Workbook& book, FileFormat format, ByteSink& sink, const std::string& link_folder) {
  PackageWriter writer(book, format, sink, link_folder);
  writer.Write();
}

std::string WriteXlsxBytes(const Workbook& book, FileFormat format) {
  MemorySink sink;
  WriteXlsxPackage(book, format, sink);
  return sink.bytes();
}

}  // namespace sheets
