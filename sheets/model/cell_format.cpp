#include "sheets/model/cell_format.h"

#include <functional>
#include <stdexcept>

namespace sheets {

namespace {
void Mix(size_t& h, size_t v) { h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2); }
void MixColor(size_t& h, const Color& c) {
  Mix(h, size_t(c.kind));
  Mix(h, c.value);
  Mix(h, std::hash<double>()(c.tint));
}
void MixLine(size_t& h, const BorderLine& l) {
  Mix(h, size_t(l.style));
  MixColor(h, l.color);
}
}  // namespace

size_t CellFormatHash::operator()(const CellFormat& f) const {
  size_t h = std::hash<std::string>()(f.number_format);
  Mix(h, size_t(f.horizontal) | size_t(f.vertical) << 8 | size_t(f.wrap_text) << 16 | size_t(f.indent) << 24);
  Mix(h, size_t(uint16_t(f.rotation)) | size_t(f.locked) << 16 | size_t(f.formula_hidden) << 17);
  for (const BorderLine* l :
       {&f.borders.left, &f.borders.right, &f.borders.top, &f.borders.bottom, &f.borders.diagonal})
    MixLine(h, *l);
  Mix(h, size_t(f.borders.diagonal_up) | size_t(f.borders.diagonal_down) << 1);
  Mix(h, std::hash<std::string>()(f.font.name));
  Mix(h, std::hash<double>()(f.font.size));
  Mix(h, size_t(f.font.bold) | size_t(f.font.italic) << 1 | size_t(f.font.strike) << 2 | size_t(f.font.underline) << 3);
  MixColor(h, f.font.color);
  Mix(h, size_t(f.fill.pattern));
  MixColor(h, f.fill.foreground);
  MixColor(h, f.fill.background);
  return h;
}

FormatTable::FormatTable() : FormatTable(CellFormat{}) {}

FormatTable::FormatTable(const CellFormat& default_format) {
  formats_.push_back(default_format);
  index_.emplace(default_format, 0);
}

uint32_t FormatTable::Intern(const CellFormat& format) {
  auto it = index_.find(format);
  if (it != index_.end()) return it->second;
  if (formats_.size() >= 0xFFFFFF) throw std::length_error("too many cell formats");
  uint32_t id = uint32_t(formats_.size());
  formats_.push_back(format);
  index_.emplace(format, id);
  return id;
}

}  // namespace sheets
