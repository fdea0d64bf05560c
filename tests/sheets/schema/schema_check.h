// A checker of package parts against a table of content models (tests/sheets/schema/parts.schema).
//
// The table lists, for every element the workbook writer emits, what it may hold: its children in
// sequence and choice groups with their occurrence bounds, its attributes (required or optional) and
// the simple types of attribute values and text. The checker reads a part and reports, with the part
// name and the element's path, an element not allowed under its parent, children out of order, a
// required child or attribute missing, too many occurrences, an unknown attribute and a value
// outside its type. Namespaces are resolved as XML does; markup compatibility is honoured: elements
// and attributes of namespaces a part declares ignorable are skipped, and alternate content is
// checked through its fallback.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sheets {
struct XmlNode;
}

namespace schemacheck {

struct Problem {
  std::string part;
  std::string path;  // "/worksheet/sheetViews/sheetView[1]"
  std::string message;
  std::string ToString() const { return part + ": " + path + ": " + message; }
};

class Schema {
 public:
  // Reads a table; throws std::runtime_error naming the line of a fault in it.
  static Schema FromText(std::string_view text);
  static Schema FromFile(const std::string& path);
  Schema(Schema&&) noexcept;
  Schema& operator=(Schema&&) noexcept;
  ~Schema();

  // The root type for a content type ("" when the table does not model that kind of part).
  bool Models(std::string_view content_type) const;
  // Checks one part of that content type.
  std::vector<Problem> CheckPart(std::string_view part_name, std::string_view content_type, std::string_view xml) const;
  // The same with the part already parsed.
  std::vector<Problem> CheckTree(std::string_view part_name, std::string_view content_type,
                                 const sheets::XmlNode& root) const;

  struct Impl;

 private:
  Schema();
  std::unique_ptr<Impl> impl_;
};

struct PackageReport {
  std::vector<Problem> problems;
  std::vector<std::string> checked;                // parts checked against the table
  std::map<std::string, std::string> not_checked;  // part -> content type the table does not model
  std::string Summary() const;                     // every problem, one a line
};

// Checks every part of a package (zip bytes): the content types part, each relationships part (and
// that every internal target exists), and each part whose content type the table models, with every
// relationship id it names. Each part but the content types part must have a content type. Across
// the SpreadsheetML parts it checks what Excel repairs when it fails: indexes into the style
// tables, the shared strings and the sheets within range, sheet and defined names unique, rows and
// cells in ascending order, merged areas apart.
PackageReport CheckPackage(const Schema& schema, std::string_view package);

}  // namespace schemacheck
