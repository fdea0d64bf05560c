// A streaming XML parser for the large parts of a package (sheets, shared strings).
//
// It reads UTF-8 XML without a document type declaration, which is every SpreadsheetML part: the
// five predefined entities and character references, CDATA sections, comments and processing
// instructions, with end tags matched, attribute names unique, characters and UTF-8 checked, line
// ends and attribute white space normalised as XML requires. A DOCTYPE is refused, as the general
// parser (xml.h) refuses it, and so is any bound of limits.h broken.
//
// Events carry views into the input or a scratch buffer, valid only during the call: no string is
// allocated per element or attribute, which is what makes a sheet of a million cells fast to read.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sheets {

struct XmlAttr {
  std::string_view name;   // as written ("r:id")
  std::string_view value;  // with references replaced
};

class XmlEvents {
 public:
  virtual ~XmlEvents() = default;
  virtual void StartElement(std::string_view name, std::span<const XmlAttr> attrs) = 0;
  virtual void EndElement(std::string_view name) = 0;
  // Character data; one run of text may come in several calls.
  virtual void Text(std::string_view text) = 0;
};

// The value of the attribute with this local name ("id" finds "r:id"), or nullptr.
const std::string_view* FindXmlAttr(std::span<const XmlAttr> attrs, std::string_view local_name);

// A number as written in a cell's <v>: what std::from_chars reads, to the same double. Plain
// decimals ("-12.5") take a fast exact path; anything else goes to std::from_chars. False when the
// whole text is not a number.
bool ParseXmlNumber(std::string_view text, double& out);

class XmlScanner {
 public:
  explicit XmlScanner(XmlEvents& events) : events_(events) {}
  XmlScanner(const XmlScanner&) = delete;
  XmlScanner& operator=(const XmlScanner&) = delete;
  // Feeds bytes in any chunks; throws FormatError on malformed XML, a DOCTYPE or a bound broken. A
  // FormatError thrown by the handler passes through.
  void Feed(std::string_view chunk);
  // The end of the document: throws FormatError when it is incomplete.
  void Finish();

 private:
  enum class State { kStart, kProlog, kContent, kEpilog };
  // Parses complete tokens of [p, end); returns where the first incomplete one starts.
  const char* Scan(const char* p, const char* end, bool last);
  const char* StartTag(const char* p, const char* end);
  const char* EndTag(const char* p, const char* end);
  const char* Special(const char* p, const char* end);  // <! and <? forms
  void CharData(const char* p, const char* end, bool cdata);
  [[noreturn]] void TooLong() const;
  [[noreturn]] void Fail(const std::string& what, const char* at) const;

  XmlEvents& events_;
  State state_ = State::kStart;
  bool bom_checked_ = false;
  std::string carry_;           // an incomplete token from the previous chunk
  size_t retry_at_ = 0;         // size of carry_ at which to try completing it again
  const char* base_ = nullptr;  // start of the buffer being scanned, for error lines
  uint64_t line_ = 1;           // line of base_
  std::string open_names_;      // names of the open elements, one after another
  std::vector<uint32_t> open_lengths_;
  std::vector<XmlAttr> attrs_;
  std::vector<uint32_t> decoded_;  // per attribute: offset into scratch_ + 1 when decoded, else 0
  std::string scratch_;
  std::string text_;
};

}  // namespace sheets
