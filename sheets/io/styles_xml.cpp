#include "sheets/io/styles_xml.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

#include "sheets/io/file_error.h"
#include "sheets/io/limits.h"
#include "sheets/numfmt/builtin_formats.h"

namespace sheets {

namespace {

constexpr std::string_view kBorderStyles[] = {
    "none",         "thin",    "medium",        "dashed",     "dotted",           "thick",       "double", "hair",
    "mediumDashed", "dashDot", "mediumDashDot", "dashDotDot", "mediumDashDotDot", "slantDashDot"};
constexpr std::string_view kPatterns[] = {
    "none",     "solid",     "mediumGray",   "darkGray",    "lightGray",       "darkHorizontal", "darkVertical",
    "darkDown", "darkUp",    "darkGrid",     "darkTrellis", "lightHorizontal", "lightVertical",  "lightDown",
    "lightUp",  "lightGrid", "lightTrellis", "gray125",     "gray0625"};
constexpr std::string_view kHorizontal[] = {"general", "left",    "center",           "right",
                                            "fill",    "justify", "centerContinuous", "distributed"};
constexpr std::string_view kVertical[] = {"bottom", "top", "center", "justify", "distributed"};
constexpr std::string_view kUnderline[] = {"none", "single", "double", "singleAccounting", "doubleAccounting"};

template <size_t N>
int IndexOf(const std::string_view (&table)[N], std::string_view v, int fallback) {
  for (size_t i = 0; i < N; ++i)
    if (table[i] == v) return int(i);
  return fallback;
}

uint32_t ToUint(const std::string* s, uint32_t fallback) {
  if (!s) return fallback;
  uint32_t v = 0;
  auto r = std::from_chars(s->data(), s->data() + s->size(), v);
  if (r.ec != std::errc() || r.ptr != s->data() + s->size())
    throw FormatError("invalid number \"" + *s + "\" in the styles");
  return v;
}

double ToDouble(const std::string* s, double fallback) {
  if (!s) return fallback;
  double v = 0;
  auto r = std::from_chars(s->data(), s->data() + s->size(), v);
  if (r.ec != std::errc()) throw FormatError("invalid number \"" + *s + "\" in the styles");
  return v;
}

bool ToBool(const std::string* s, bool fallback) {
  if (!s) return fallback;
  return *s == "1" || *s == "true";
}

// <b/> means true; <b val="0"/> false.
bool Flag(const XmlNode& font, std::string_view name) {
  const XmlNode* n = font.Child(name);
  if (!n) return false;
  return ToBool(n->Attr("val"), true);
}

Font ReadFont(const XmlNode& f) {
  Font font;
  if (auto* n = f.Child("name"))
    font.name = n->AttrOr("val", font.name);
  else if (auto* n2 = f.Child("rFont"))
    font.name = n2->AttrOr("val", font.name);
  if (auto* n = f.Child("sz")) font.size = ToDouble(n->Attr("val"), font.size);
  font.bold = Flag(f, "b");
  font.italic = Flag(f, "i");
  font.strike = Flag(f, "strike");
  if (auto* u = f.Child("u")) font.underline = Underline(IndexOf(kUnderline, u->AttrOr("val", "single"), 1));
  font.color = ReadColorXml(f.Child("color"));
  return font;
}

BorderLine ReadLine(const XmlNode* n) {
  BorderLine l;
  if (!n) return l;
  l.style = BorderStyle(IndexOf(kBorderStyles, n->AttrOr("style", "none"), 0));
  l.color = ReadColorXml(n->Child("color"));
  return l;
}

void WriteColor(XmlWriter& w, std::string_view name, const Color& c) {
  w.Start(name);
  switch (c.kind) {
    case Color::Kind::Auto: w.Attr("auto", "1"); break;
    case Color::Kind::Rgb: {
      char buf[9];
      static const char* hex = "0123456789ABCDEF";
      for (int i = 0; i < 8; ++i) buf[i] = hex[(c.value >> (28 - 4 * i)) & 15];
      buf[8] = 0;
      w.Attr("rgb", buf);
      break;
    }
    case Color::Kind::Indexed: w.Attr("indexed", int64_t(c.value)); break;
    case Color::Kind::Theme: w.Attr("theme", int64_t(c.value)); break;
  }
  if (c.tint != 0 && std::isfinite(c.tint)) w.AttrNum("tint", std::clamp(c.tint, -1.0, 1.0));
  w.End(name);
}

}  // namespace

Color ReadColorXml(const XmlNode* node) {
  if (!node) return Color::Auto();
  if (auto* rgb = node->Attr("rgb")) {
    uint32_t v = 0;
    auto r = std::from_chars(rgb->data(), rgb->data() + rgb->size(), v, 16);
    if (r.ec != std::errc()) return Color::Auto();
    if (rgb->size() <= 6) v |= 0xFF000000u;
    Color c = Color::Rgb(v);
    c.tint = ToDouble(node->Attr("tint"), 0);
    return c;
  }
  if (auto* t = node->Attr("theme")) return Color::Theme(ToUint(t, 0), ToDouble(node->Attr("tint"), 0));
  if (auto* i = node->Attr("indexed")) {
    Color c = Color::Indexed(ToUint(i, 0));
    c.tint = ToDouble(node->Attr("tint"), 0);
    return c;
  }
  return Color::Auto();
}

std::vector<uint32_t> ReadStylesXml(const XmlNode& root, Workbook& book, PackagePreserved* keep) {
  std::map<uint32_t, std::string> numfmts;
  std::vector<Font> fonts;
  std::vector<Fill> fills;
  std::vector<Borders> borders;
  if (keep) keep->styles_root_attrs = root.attrs;
  for (const auto& child : root.children) {
    auto name = child.local();
    if (name == "numFmts") {
      for (auto* n : child.ChildrenNamed("numFmt"))
        numfmts[ToUint(n->Attr("numFmtId"), 0)] = n->AttrOr("formatCode", "General");
    } else if (name == "fonts") {
      for (auto* f : child.ChildrenNamed("font")) fonts.push_back(ReadFont(*f));
    } else if (name == "fills") {
      for (auto* f : child.ChildrenNamed("fill")) {
        Fill fill;
        if (auto* p = f->Child("patternFill")) {
          fill.pattern = FillPattern(IndexOf(kPatterns, p->AttrOr("patternType", "none"), 0));
          fill.foreground = ReadColorXml(p->Child("fgColor"));
          fill.background = ReadColorXml(p->Child("bgColor"));
        }
        fills.push_back(fill);
      }
    } else if (name == "borders") {
      for (auto* b : child.ChildrenNamed("border")) {
        Borders br;
        br.left = ReadLine(b->Child("left") ? b->Child("left") : b->Child("start"));
        br.right = ReadLine(b->Child("right") ? b->Child("right") : b->Child("end"));
        br.top = ReadLine(b->Child("top"));
        br.bottom = ReadLine(b->Child("bottom"));
        br.diagonal = ReadLine(b->Child("diagonal"));
        br.diagonal_up = ToBool(b->Attr("diagonalUp"), false);
        br.diagonal_down = ToBool(b->Attr("diagonalDown"), false);
        borders.push_back(br);
      }
    } else if (name == "cellXfs") {
      // read below, once fonts, fills and borders are known
    } else if (keep) {
      keep->style_elements.push_back(child);
    }
  }
  std::vector<CellFormat> formats;
  if (const XmlNode* xfs = root.Child("cellXfs")) {
    for (auto* xf : xfs->ChildrenNamed("xf")) {
      if (formats.size() >= limits::kMaxCellFormats) throw FormatError("too many cell formats");
      CellFormat f;
      uint32_t num = ToUint(xf->Attr("numFmtId"), 0);
      if (auto it = numfmts.find(num); it != numfmts.end())
        f.number_format = it->second;
      else if (auto b = BuiltinNumberFormat(num))
        f.number_format = std::string(*b);
      else
        f.number_format = "General";  // locale-specific ids without a code: shown as General
      uint32_t font = ToUint(xf->Attr("fontId"), 0), fill = ToUint(xf->Attr("fillId"), 0),
               border = ToUint(xf->Attr("borderId"), 0);
      if (font >= fonts.size() && !(font == 0 && fonts.empty()))
        throw FormatError("cell format " + std::to_string(formats.size()) + " refers to missing font " +
                          std::to_string(font));
      if (fill >= fills.size() && !(fill == 0 && fills.empty()))
        throw FormatError("cell format " + std::to_string(formats.size()) + " refers to missing fill " +
                          std::to_string(fill));
      if (border >= borders.size() && !(border == 0 && borders.empty()))
        throw FormatError("cell format " + std::to_string(formats.size()) + " refers to missing border " +
                          std::to_string(border));
      if (!fonts.empty()) f.font = fonts[font];
      if (!fills.empty()) f.fill = fills[fill];
      if (!borders.empty()) f.borders = borders[border];
      if (auto* a = xf->Child("alignment")) {
        f.horizontal = HorizontalAlignment(IndexOf(kHorizontal, a->AttrOr("horizontal", "general"), 0));
        f.vertical = VerticalAlignment(IndexOf(kVertical, a->AttrOr("vertical", "bottom"), 0));
        f.wrap_text = ToBool(a->Attr("wrapText"), false);
        f.indent = uint8_t(std::min<uint32_t>(ToUint(a->Attr("indent"), 0), 250));
        f.rotation = int16_t(std::min<uint32_t>(ToUint(a->Attr("textRotation"), 0), 255));
      }
      if (auto* p = xf->Child("protection")) {
        f.locked = ToBool(p->Attr("locked"), true);
        f.formula_hidden = ToBool(p->Attr("hidden"), false);
      }
      formats.push_back(std::move(f));
    }
  }
  std::vector<uint32_t> map;
  if (formats.empty()) return map;
  book.formats() = FormatTable(formats[0]);
  map.reserve(formats.size());
  for (const auto& f : formats) map.push_back(book.formats().Intern(f));
  return map;
}

std::string WriteStylesXml(const Workbook& book, const PackagePreserved* keep) {
  const FormatTable& table = book.formats();
  // Distinct number formats, fonts, fills and borders, numbered in order of first use.
  std::vector<std::string> custom_codes;
  std::map<std::string, uint32_t> code_ids;
  std::vector<const Font*> fonts;
  std::vector<const Fill*> fills;
  std::vector<const Borders*> borders;
  struct Ids {
    uint32_t num, font, fill, border;
  };
  std::vector<Ids> ids;
  Fill none, gray;
  gray.pattern = FillPattern::Gray125;
  fills.push_back(&none);  // the two fills every styles part starts with
  fills.push_back(&gray);
  auto find_or_add = [](auto& vec, const auto* item) {
    for (size_t i = 0; i < vec.size(); ++i)
      if (*vec[i] == *item) return uint32_t(i);
    vec.push_back(item);
    return uint32_t(vec.size() - 1);
  };
  for (size_t i = 0; i < table.size(); ++i) {
    const CellFormat& f = table.Get(uint32_t(i));
    Ids id{};
    if (auto b = BuiltinNumberFormatId(f.number_format)) {
      id.num = *b;
    } else {
      auto it = code_ids.find(f.number_format);
      if (it == code_ids.end()) {
        uint32_t n = kFirstCustomNumberFormatId + uint32_t(custom_codes.size());
        custom_codes.push_back(f.number_format);
        it = code_ids.emplace(f.number_format, n).first;
      }
      id.num = it->second;
    }
    id.font = find_or_add(fonts, &f.font);
    id.fill = find_or_add(fills, &f.fill);
    id.border = find_or_add(borders, &f.borders);
    ids.push_back(id);
  }

  XmlWriter w;
  w.Declaration();
  w.Start("styleSheet");
  bool has_main_ns = false;
  if (keep)
    for (const auto& [k, v] : keep->styles_root_attrs) {
      w.Attr(k, v);
      if (k == "xmlns") has_main_ns = true;
    }
  if (!has_main_ns) w.Attr("xmlns", "http://schemas.openxmlformats.org/spreadsheetml/2006/main");
  if (!custom_codes.empty()) {
    w.Start("numFmts");
    w.Attr("count", int64_t(custom_codes.size()));
    for (size_t i = 0; i < custom_codes.size(); ++i) {
      w.Start("numFmt");
      w.Attr("numFmtId", int64_t(kFirstCustomNumberFormatId + i));
      w.Attr("formatCode", custom_codes[i]);
      w.End("numFmt");
    }
    w.End("numFmts");
  }
  w.Start("fonts");
  w.Attr("count", int64_t(fonts.size()));
  for (const Font* f : fonts) {
    w.Start("font");
    if (f->bold) {
      w.Start("b");
      w.End("b");
    }
    if (f->italic) {
      w.Start("i");
      w.End("i");
    }
    if (f->strike) {
      w.Start("strike");
      w.End("strike");
    }
    if (f->underline != Underline::None) {
      w.Start("u");
      if (f->underline != Underline::Single) w.Attr("val", kUnderline[size_t(f->underline)]);
      w.End("u");
    }
    w.Start("sz");
    // Font sizes run from 1 to 409 points; a size that is not a number is the default one.
    w.AttrNum("val", std::isfinite(f->size) && f->size > 0 ? std::clamp(f->size, 1.0, 409.0) : Font{}.size);
    w.End("sz");
    if (!f->color.IsAuto()) WriteColor(w, "color", f->color);
    w.Start("name");
    w.Attr("val", f->name);
    w.End("name");
    w.End("font");
  }
  w.End("fonts");
  w.Start("fills");
  w.Attr("count", int64_t(fills.size()));
  for (const Fill* f : fills) {
    w.Start("fill");
    w.Start("patternFill");
    w.Attr("patternType", kPatterns[size_t(f->pattern)]);
    if (!f->foreground.IsAuto()) WriteColor(w, "fgColor", f->foreground);
    if (!f->background.IsAuto()) WriteColor(w, "bgColor", f->background);
    w.End("patternFill");
    w.End("fill");
  }
  w.End("fills");
  w.Start("borders");
  w.Attr("count", int64_t(borders.size()));
  for (const Borders* b : borders) {
    w.Start("border");
    if (b->diagonal_up) w.Attr("diagonalUp", "1");
    if (b->diagonal_down) w.Attr("diagonalDown", "1");
    auto line = [&](std::string_view name, const BorderLine& l) {
      w.Start(name);
      if (l.style != BorderStyle::None) {
        w.Attr("style", kBorderStyles[size_t(l.style)]);
        if (!l.color.IsAuto()) WriteColor(w, "color", l.color);
      }
      w.End(name);
    };
    line("left", b->left);
    line("right", b->right);
    line("top", b->top);
    line("bottom", b->bottom);
    line("diagonal", b->diagonal);
    w.End("border");
  }
  w.End("borders");
  const XmlNode* kept_style_xfs = nullptr;
  const XmlNode* kept_cell_styles = nullptr;
  if (keep)
    for (const auto& e : keep->style_elements) {
      if (e.local() == "cellStyleXfs") kept_style_xfs = &e;
      if (e.local() == "cellStyles") kept_cell_styles = &e;
    }
  if (kept_style_xfs) {
    // The kept cell style formats name fonts, fills, borders and number formats by their place in
    // the tables as read, which are written anew: a place beyond the new tables falls back to the
    // first entry so that the file stays sound (the styles' own look is not kept).
    XmlNode xfs = *kept_style_xfs;
    auto custom_known = [&](uint32_t id) {
      return id < kFirstCustomNumberFormatId || id - kFirstCustomNumberFormatId < custom_codes.size();
    };
    for (auto& xf : xfs.children) {
      for (auto& [k, v] : xf.attrs) {
        if (k != "fontId" && k != "fillId" && k != "borderId" && k != "numFmtId") continue;
        uint32_t n = ToUint(&v, 0);
        bool bad = (k == "fontId" && n >= fonts.size()) || (k == "fillId" && n >= fills.size()) ||
                   (k == "borderId" && n >= borders.size()) || (k == "numFmtId" && !custom_known(n));
        if (bad) v = "0";
      }
    }
    w.Node(xfs);
  } else {
    w.Raw("<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>");
  }
  w.Start("cellXfs");
  w.Attr("count", int64_t(ids.size()));
  for (size_t i = 0; i < ids.size(); ++i) {
    const CellFormat& f = table.Get(uint32_t(i));
    const CellFormat& d = CellFormat{};
    w.Start("xf");
    w.Attr("numFmtId", int64_t(ids[i].num));
    w.Attr("fontId", int64_t(ids[i].font));
    w.Attr("fillId", int64_t(ids[i].fill));
    w.Attr("borderId", int64_t(ids[i].border));
    w.Attr("xfId", "0");
    if (ids[i].num != 0) w.Attr("applyNumberFormat", "1");
    if (i != 0) {
      w.Attr("applyFont", "1");
      w.Attr("applyFill", "1");
      w.Attr("applyBorder", "1");
    }
    // Rotation as stored: 0-90 up, 91-180 down, 255 vertical; a negative angle (down) is turned into
    // that form, anything else is not a rotation.
    int rotation = f.rotation >= -90 && f.rotation < 0                           ? 90 - f.rotation
                   : (f.rotation >= 0 && f.rotation <= 180) || f.rotation == 255 ? f.rotation
                                                                                 : 0;
    bool align = f.horizontal != d.horizontal || f.vertical != d.vertical || f.wrap_text || f.indent || rotation;
    bool protect = f.locked != d.locked || f.formula_hidden != d.formula_hidden;
    if (align) w.Attr("applyAlignment", "1");
    if (protect) w.Attr("applyProtection", "1");
    if (align) {
      w.Start("alignment");
      if (f.horizontal != d.horizontal) w.Attr("horizontal", kHorizontal[size_t(f.horizontal)]);
      if (f.vertical != d.vertical) w.Attr("vertical", kVertical[size_t(f.vertical)]);
      if (rotation) w.Attr("textRotation", int64_t(rotation));
      if (f.wrap_text) w.Attr("wrapText", "1");
      if (f.indent) w.Attr("indent", int64_t(f.indent));
      w.End("alignment");
    }
    if (protect) {
      w.Start("protection");
      if (!f.locked) w.Attr("locked", "0");
      if (f.formula_hidden) w.Attr("hidden", "1");
      w.End("protection");
    }
    w.End("xf");
  }
  w.End("cellXfs");
  if (kept_cell_styles) {
    w.Node(*kept_cell_styles);
  } else {
    w.Raw("<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>");
  }
  // The rest in schema order: dxfs, tableStyles, colors, extLst.
  if (keep) {
    for (std::string_view name : {"dxfs", "tableStyles", "colors", "extLst"})
      for (const auto& e : keep->style_elements)
        if (e.local() == name) w.Node(e);
  }
  w.End("styleSheet");
  return std::move(w.buffer());
}

}  // namespace sheets
