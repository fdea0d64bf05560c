#include "sheets/io/link_paths.h"

#include <cctype>
#include <filesystem>
#include <string>

#include "sheets/io/preserved.h"
#include "sheets/model/workbook.h"

namespace sheets {

namespace {

namespace fs = std::filesystem;

bool IsLinkNumber(const std::string& s) { return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos; }

// A target of another system or scheme: a drive letter, a backslash, a URL other than a file's.
bool IsForeign(const std::string& s) {
  if (s.find('\\') != std::string::npos) return true;
  if (s.size() >= 2 && s[1] == ':') return true;
  std::size_t scheme = s.find("://");
  return scheme != std::string::npos && s.compare(0, scheme, "file") != 0;
}

// "%20" and friends of a file URL.
std::string PercentDecoded(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

}  // namespace

std::string LinkTargetFor(const std::string& workbook, const std::string& folder) {
  if (folder.empty() || workbook.empty() || workbook[0] != '/') return workbook;
  fs::path relative = fs::path(workbook).lexically_normal().lexically_relative(fs::path(folder).lexically_normal());
  return relative.empty() ? workbook : relative.string();
}

std::string LinkPathFrom(const std::string& target, const std::string& folder) {
  if (target.empty() || IsLinkNumber(target) || IsForeign(target)) return target;
  std::string path = target;
  if (path.rfind("file://", 0) == 0) path = PercentDecoded(path.substr(7));
  fs::path p(path);
  if (p.is_relative()) {
    if (folder.empty()) return target;
    p = fs::path(folder) / p;
  }
  return p.lexically_normal().string();
}

void ResolveLinkPaths(Workbook& book, const std::string& folder) {
  auto resolve = [&](NameTable& table) {
    for (const DefinedName& n : table.entries()) {
      if (n.kind != DefinedName::Kind::References) continue;
      ReferenceList refs = n.references;
      bool changed = false;
      for (Reference& r : refs) {
        if (!r.IsExternal()) continue;
        std::string path = LinkPathFrom(r.workbook, folder);
        if (path != r.workbook) {
          r.workbook = path;
          changed = true;
        }
      }
      if (changed)
        if (DefinedName* entry = table.Find(n.name))
          entry->SetRefersTo(FormatReferenceList(refs, RefStyle::A1), book.limits());
    }
  };
  resolve(book.names());
  for (std::size_t i = 0; i < book.sheet_count(); ++i) resolve(book.sheet(i).names());
  if (PackagePreserved* keep = book.preserved().get())
    for (std::string& link : keep->external_links) link = LinkPathFrom(link, folder);
}

}  // namespace sheets
