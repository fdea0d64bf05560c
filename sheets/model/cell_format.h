// Cell formats: number format, alignment, borders, font, fill and protection.
//
// A workbook keeps each distinct format once in its FormatTable; cells, rows and columns hold the
// format's index (0 is the workbook's default format). Formats are values: change one by copying it,
// editing the copy and interning the copy.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace sheets {

struct Color {
  enum class Kind : uint8_t { Auto, Rgb, Indexed, Theme };
  Kind kind = Kind::Auto;
  uint32_t value = 0;  // Rgb: 0xAARRGGBB; Indexed: palette index; Theme: theme colour index
  double tint = 0;     // lightens (> 0) or darkens (< 0) a theme or indexed colour, -1 .. 1

  static Color Auto() { return {}; }
  static Color Rgb(uint32_t argb) { return {Kind::Rgb, argb, 0}; }
  static Color Indexed(uint32_t i) { return {Kind::Indexed, i, 0}; }
  static Color Theme(uint32_t i, double tint = 0) { return {Kind::Theme, i, tint}; }
  bool IsAuto() const { return kind == Kind::Auto; }
  friend bool operator==(const Color&, const Color&) = default;
};

enum class HorizontalAlignment : uint8_t {
  General,
  Left,
  Center,
  Right,
  Fill,
  Justify,
  CenterAcrossSelection,
  Distributed
};
enum class VerticalAlignment : uint8_t { Bottom, Top, Center, Justify, Distributed };

// The line styles of cell borders, in the order of the xlsx vocabulary.
enum class BorderStyle : uint8_t {
  None,
  Thin,
  Medium,
  Dashed,
  Dotted,
  Thick,
  Double,
  Hair,
  MediumDashed,
  DashDot,
  MediumDashDot,
  DashDotDot,
  MediumDashDotDot,
  SlantDashDot
};

struct BorderLine {
  BorderStyle style = BorderStyle::None;
  Color color;
  friend bool operator==(const BorderLine&, const BorderLine&) = default;
};

struct Borders {
  BorderLine left, right, top, bottom, diagonal;
  bool diagonal_up = false, diagonal_down = false;
  friend bool operator==(const Borders&, const Borders&) = default;
};

enum class Underline : uint8_t { None, Single, Double, SingleAccounting, DoubleAccounting };

struct Font {
  std::string name = "Arial";
  double size = 10;  // points
  bool bold = false;
  bool italic = false;
  bool strike = false;
  Underline underline = Underline::None;
  Color color;
  friend bool operator==(const Font&, const Font&) = default;
};

// Fill patterns, in the order of the xlsx vocabulary.
enum class FillPattern : uint8_t {
  None,
  Solid,
  MediumGray,
  DarkGray,
  LightGray,
  DarkHorizontal,
  DarkVertical,
  DarkDown,
  DarkUp,
  DarkGrid,
  DarkTrellis,
  LightHorizontal,
  LightVertical,
  LightDown,
  LightUp,
  LightGrid,
  LightTrellis,
  Gray125,
  Gray0625
};

struct Fill {
  FillPattern pattern = FillPattern::None;
  Color foreground;  // the pattern's colour (the whole cell's colour for Solid)
  Color background;
  friend bool operator==(const Fill&, const Fill&) = default;
};

struct CellFormat {
  std::string number_format = "General";  // format code as written ("0.00", "d-mmm-yy")
  HorizontalAlignment horizontal = HorizontalAlignment::General;
  VerticalAlignment vertical = VerticalAlignment::Bottom;
  bool wrap_text = false;
  uint8_t indent = 0;
  int16_t rotation = 0;  // degrees as stored in xlsx: 0-90 up, 91-180 down, 255 vertical text
  Borders borders;
  Font font;
  Fill fill;
  bool locked = true;
  bool formula_hidden = false;
  friend bool operator==(const CellFormat&, const CellFormat&) = default;
};

struct CellFormatHash {
  size_t operator()(const CellFormat& f) const;
};

class FormatTable {
 public:
  // Starts with the default format at index 0.
  FormatTable();
  explicit FormatTable(const CellFormat& default_format);

  uint32_t Intern(const CellFormat& format);
  const CellFormat& Get(uint32_t index) const { return formats_.at(index); }
  const CellFormat& Default() const { return formats_[0]; }
  size_t size() const { return formats_.size(); }

 private:
  std::vector<CellFormat> formats_;
  std::unordered_map<CellFormat, uint32_t, CellFormatHash> index_;
};

}  // namespace sheets
