// XML for the package parts: a guarded expat parser (no DOCTYPE, no entity declarations, bounded
// depth, attributes and text), a small tree for the parts that are not streamed, and a writer.
//
// Names are kept as written ("x:c", "r:id"); lookups go by local name, which is how SpreadsheetML
// parts are read whatever prefixes their producer chose.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sheets/io/xml_scan.h"

namespace sheets {

// The name after its prefix ("c" of "x:c"). Inline: the sheet reader asks it of every element.
inline std::string_view XmlLocalName(std::string_view qualified) {
  for (size_t i = 0; i < qualified.size(); ++i)
    if (qualified[i] == ':') return qualified.substr(i + 1);
  return qualified;
}

struct XmlNode {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attrs;
  std::vector<XmlNode> children;
  std::string text;  // character data directly inside this element

  std::string_view local() const { return XmlLocalName(name); }
  // Attribute by local name ("id" finds "r:id"); nullptr when absent.
  const std::string* Attr(std::string_view local_name) const;
  std::string AttrOr(std::string_view local_name, std::string_view fallback) const;
  const XmlNode* Child(std::string_view local_name) const;
  std::vector<const XmlNode*> ChildrenNamed(std::string_view local_name) const;
  // Writes the element and its subtree (no XML declaration).
  void Serialize(std::string& out) const;
};

// Streaming events. Attributes come as a null-terminated list of name, value pairs (expat's form).
class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  virtual void StartElement(std::string_view name, const char** attrs) = 0;
  virtual void EndElement(std::string_view name) = 0;
  virtual void Text(std::string_view text) = 0;
};

class XmlParser {
 public:
  explicit XmlParser(XmlHandler& handler);
  ~XmlParser();
  XmlParser(const XmlParser&) = delete;
  XmlParser& operator=(const XmlParser&) = delete;
  // Feeds bytes; throws FormatError on malformed XML, a DOCTYPE or entity declaration, or a bound
  // broken. A handler may throw FormatError itself, which passes through.
  void Feed(std::string_view chunk);
  void Finish();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Builds trees: the whole document, or (for streamed parts) the subtree of one element at a time.
class XmlTreeBuilder : public XmlHandler {
 public:
  void StartElement(std::string_view name, const char** attrs) override;
  // The same from the streaming parser of xml_scan.h.
  void StartElement(std::string_view name, std::span<const XmlAttr> attrs);
  void EndElement(std::string_view name) override;
  void Text(std::string_view text) override;
  bool Building() const { return !stack_.empty(); }
  // The finished tree (after the outermost element ended).
  XmlNode Take() { return std::move(root_); }

 private:
  XmlNode root_;
  std::vector<XmlNode*> stack_;
};

// Parses a whole document into a tree.
XmlNode ParseXmlTree(std::string_view xml);

// Appends XML to a buffer; with a flush function the buffer is handed over whenever it grows large,
// so a sheet of a million cells streams into the zip writer.
class XmlWriter {
 public:
  explicit XmlWriter(std::function<void(std::string_view)> flush = nullptr);
  ~XmlWriter();
  void Declaration();
  void Start(std::string_view name);
  void Attr(std::string_view name, std::string_view value);
  void Attr(std::string_view name, int64_t value);
  void AttrNum(std::string_view name, double value);
  void Text(std::string_view text);
  void End(std::string_view name);  // closes with "/>" when the element has no content
  void Raw(std::string_view xml);
  void Node(const XmlNode& node);
  // Element with only text: <name>text</name>.
  void TextElement(std::string_view name, std::string_view text);
  void Flush();
  std::string& buffer() { return buf_; }

 private:
  void CloseStartTag();
  std::function<void(std::string_view)> flush_;
  std::string buf_;
  bool open_tag_ = false;
};

// Escapes text for XML content or attribute values.
void XmlEscape(std::string_view text, std::string& out, bool attribute);

// Cell texts in SpreadsheetML carry characters XML cannot hold as _xHHHH_; a literal "_xHHHH_" in the
// text is written as "_x005F_xHHHH_".
std::string EncodeOoxmlText(std::string_view text);
// False when EncodeOoxmlText would return the text unchanged.
bool NeedsOoxmlEncoding(std::string_view text);
std::string DecodeOoxmlText(std::string_view text);

}  // namespace sheets
