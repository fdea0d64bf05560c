#include "sheets/io/opc.h"

#include "sheets/io/xml.h"

namespace sheets::opc {

bool TypeIs(std::string_view type, std::string_view suffix) {
  return type.size() > suffix.size() && type.substr(type.size() - suffix.size()) == suffix &&
         type[type.size() - suffix.size() - 1] == '/';
}

std::string RelsPartName(std::string_view part) {
  size_t slash = part.rfind('/');
  std::string folder = slash == std::string_view::npos ? "" : std::string(part.substr(0, slash + 1));
  std::string file(slash == std::string_view::npos ? part : part.substr(slash + 1));
  return folder + "_rels/" + file + ".rels";
}

std::string ResolveTarget(std::string_view source_part, std::string_view target) {
  std::vector<std::string> segs;
  if (!target.empty() && target.front() == '/') {
    target.remove_prefix(1);
  } else {
    size_t slash = source_part.rfind('/');
    std::string_view folder = slash == std::string_view::npos ? std::string_view{} : source_part.substr(0, slash);
    size_t start = 0;
    while (start < folder.size()) {
      size_t end = folder.find('/', start);
      if (end == std::string_view::npos) end = folder.size();
      segs.emplace_back(folder.substr(start, end - start));
      start = end + 1;
    }
  }
  size_t start = 0;
  while (start <= target.size()) {
    size_t end = target.find('/', start);
    if (end == std::string_view::npos) end = target.size();
    std::string_view seg = target.substr(start, end - start);
    if (seg == "..") {
      if (segs.empty()) return {};
      segs.pop_back();
    } else if (!seg.empty() && seg != ".") {
      segs.emplace_back(seg);
    }
    start = end + 1;
  }
  std::string out;
  for (size_t i = 0; i < segs.size(); ++i) {
    if (i) out += '/';
    out += segs[i];
  }
  return out;
}

std::string RelativeTarget(std::string_view source_part, std::string_view target_part) {
  size_t slash = source_part.rfind('/');
  std::string_view folder = slash == std::string_view::npos ? std::string_view{} : source_part.substr(0, slash + 1);
  if (target_part.substr(0, folder.size()) == folder) return std::string(target_part.substr(folder.size()));
  return "/" + std::string(target_part);
}

std::string WriteRels(const std::vector<PreservedRel>& rels) {
  XmlWriter w;
  w.Declaration();
  w.Start("Relationships");
  w.Attr("xmlns", "http://schemas.openxmlformats.org/package/2006/relationships");
  for (const auto& r : rels) {
    w.Start("Relationship");
    w.Attr("Id", r.id);
    w.Attr("Type", r.type);
    w.Attr("Target", r.target);
    if (!r.target_mode.empty()) w.Attr("TargetMode", r.target_mode);
    w.End("Relationship");
  }
  w.End("Relationships");
  return std::move(w.buffer());
}

}  // namespace sheets::opc
