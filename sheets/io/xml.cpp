#include "sheets/io/xml.h"

#include <expat.h>

#include <charconv>
#include <cstring>

#include "sheets/io/file_error.h"
#include "sheets/io/limits.h"
#include "sheets/model/value.h"

namespace sheets {

const std::string* XmlNode::Attr(std::string_view local_name) const {
  for (const auto& [k, v] : attrs)
    if (XmlLocalName(k) == local_name && k.rfind("xmlns", 0) != 0) return &v;
  return nullptr;
}

std::string XmlNode::AttrOr(std::string_view local_name, std::string_view fallback) const {
  const std::string* v = Attr(local_name);
  return v ? *v : std::string(fallback);
}

const XmlNode* XmlNode::Child(std::string_view local_name) const {
  for (const auto& c : children)
    if (c.local() == local_name) return &c;
  return nullptr;
}

std::vector<const XmlNode*> XmlNode::ChildrenNamed(std::string_view local_name) const {
  std::vector<const XmlNode*> out;
  for (const auto& c : children)
    if (c.local() == local_name) out.push_back(&c);
  return out;
}

void XmlEscape(std::string_view text, std::string& out, bool attribute) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"':
        if (attribute)
          out += "&quot;";
        else
          out += c;
        break;
      case '\n':
        if (attribute)
          out += "&#10;";
        else
          out += c;
        break;
      case '\r': out += "&#13;"; break;
      case '\t':
        if (attribute)
          out += "&#9;";
        else
          out += c;
        break;
      default: out += c;
    }
  }
}

void XmlNode::Serialize(std::string& out) const {
  out += '<';
  out += name;
  for (const auto& [k, v] : attrs) {
    out += ' ';
    out += k;
    out += "=\"";
    XmlEscape(v, out, true);
    out += '"';
  }
  if (children.empty() && text.empty()) {
    out += "/>";
    return;
  }
  out += '>';
  XmlEscape(text, out, false);
  for (const auto& c : children) c.Serialize(out);
  out += "</";
  out += name;
  out += '>';
}

// ---- parser -----------------------------------------------------------------------------------------

struct XmlParser::Impl {
  XML_Parser parser = nullptr;
  XmlHandler* handler = nullptr;
  uint32_t depth = 0;
  std::string error;          // our own refusal, when we stopped the parser
  std::exception_ptr thrown;  // an exception from the handler

  void Stop(std::string why) {
    if (error.empty() && !thrown) error = std::move(why);
    XML_StopParser(parser, XML_FALSE);
  }
  bool Stopped() const { return !error.empty() || thrown; }

  static void OnStart(void* ud, const XML_Char* name, const XML_Char** attrs) {
    auto* self = static_cast<Impl*>(ud);
    if (self->Stopped()) return;
    if (++self->depth > limits::kMaxXmlDepth) return self->Stop("XML nested too deeply");
    // Attribute values are bounded by the part's size limit; their number is bounded here.
    uint32_t n = 0;
    for (const XML_Char** a = attrs; *a; a += 2)
      if (++n > limits::kMaxXmlAttributes) return self->Stop("too many XML attributes on one element");
    try {
      self->handler->StartElement(name, attrs);
    } catch (...) {
      self->thrown = std::current_exception();
      XML_StopParser(self->parser, XML_FALSE);
    }
  }
  static void OnEnd(void* ud, const XML_Char* name) {
    auto* self = static_cast<Impl*>(ud);
    if (self->Stopped()) return;
    --self->depth;
    try {
      self->handler->EndElement(name);
    } catch (...) {
      self->thrown = std::current_exception();
      XML_StopParser(self->parser, XML_FALSE);
    }
  }
  static void OnText(void* ud, const XML_Char* s, int len) {
    auto* self = static_cast<Impl*>(ud);
    if (self->Stopped()) return;
    try {
      self->handler->Text(std::string_view(s, size_t(len)));
    } catch (...) {
      self->thrown = std::current_exception();
      XML_StopParser(self->parser, XML_FALSE);
    }
  }
  static void OnDoctype(void* ud, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    static_cast<Impl*>(ud)->Stop("XML with a DOCTYPE declaration is refused");
  }
  static void OnEntity(void* ud, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*,
                       const XML_Char*, const XML_Char*) {
    static_cast<Impl*>(ud)->Stop("XML with an entity declaration is refused");
  }

  void Check(XML_Status status) {
    if (thrown) std::rethrow_exception(thrown);
    if (!error.empty()) throw FormatError(error);
    if (status == XML_STATUS_ERROR) {
      throw FormatError(std::string("malformed XML (") + XML_ErrorString(XML_GetErrorCode(parser)) + " at line " +
                        std::to_string(XML_GetCurrentLineNumber(parser)) + ")");
    }
  }
};

XmlParser::XmlParser(XmlHandler& handler) : impl_(std::make_unique<Impl>()) {
  impl_->handler = &handler;
  impl_->parser = XML_ParserCreate("UTF-8");
  if (!impl_->parser) throw std::bad_alloc();
  XML_SetUserData(impl_->parser, impl_.get());
  XML_SetElementHandler(impl_->parser, &Impl::OnStart, &Impl::OnEnd);
  XML_SetCharacterDataHandler(impl_->parser, &Impl::OnText);
  XML_SetStartDoctypeDeclHandler(impl_->parser, &Impl::OnDoctype);
  XML_SetEntityDeclHandler(impl_->parser, &Impl::OnEntity);
  XML_SetParamEntityParsing(impl_->parser, XML_PARAM_ENTITY_PARSING_NEVER);
}

XmlParser::~XmlParser() { XML_ParserFree(impl_->parser); }

void XmlParser::Feed(std::string_view chunk) {
  while (!chunk.empty()) {
    int take = int(std::min<size_t>(chunk.size(), 1 << 24));
    // Copy straight into the parser's buffer: one copy instead of two.
    void* buf = XML_GetBuffer(impl_->parser, take);
    if (!buf) impl_->Check(XML_STATUS_ERROR);
    std::memcpy(buf, chunk.data(), size_t(take));
    impl_->Check(XML_ParseBuffer(impl_->parser, take, XML_FALSE));
    chunk.remove_prefix(size_t(take));
  }
}

void XmlParser::Finish() { impl_->Check(XML_Parse(impl_->parser, "", 0, XML_TRUE)); }

// ---- tree -------------------------------------------------------------------------------------------

void XmlTreeBuilder::StartElement(std::string_view name, const char** attrs) {
  XmlNode* node;
  if (stack_.empty()) {
    root_ = XmlNode();
    node = &root_;
  } else {
    stack_.back()->children.emplace_back();
    node = &stack_.back()->children.back();
  }
  node->name = std::string(name);
  for (const char** a = attrs; *a; a += 2) node->attrs.emplace_back(a[0], a[1]);
  stack_.push_back(node);
}

void XmlTreeBuilder::StartElement(std::string_view name, std::span<const XmlAttr> attrs) {
  XmlNode* node;
  if (stack_.empty()) {
    root_ = XmlNode();
    node = &root_;
  } else {
    stack_.back()->children.emplace_back();
    node = &stack_.back()->children.back();
  }
  node->name = std::string(name);
  for (const XmlAttr& a : attrs) node->attrs.emplace_back(a.name, a.value);
  stack_.push_back(node);
}

void XmlTreeBuilder::EndElement(std::string_view) { stack_.pop_back(); }

void XmlTreeBuilder::Text(std::string_view text) {
  if (stack_.empty()) return;
  std::string& t = stack_.back()->text;
  if (t.size() + text.size() > limits::kMaxXmlTextBytes) throw FormatError("XML text too long");
  t.append(text);
}

XmlNode ParseXmlTree(std::string_view xml) {
  XmlTreeBuilder builder;
  XmlParser parser(builder);
  parser.Feed(xml);
  parser.Finish();
  return builder.Take();
}

// ---- writer -----------------------------------------------------------------------------------------

XmlWriter::XmlWriter(std::function<void(std::string_view)> flush) : flush_(std::move(flush)) {}
XmlWriter::~XmlWriter() = default;

void XmlWriter::Declaration() { buf_ += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"; }

void XmlWriter::CloseStartTag() {
  if (open_tag_) {
    buf_ += '>';
    open_tag_ = false;
  }
}

void XmlWriter::Start(std::string_view name) {
  CloseStartTag();
  if (flush_ && buf_.size() > (1 << 16)) Flush();
  buf_ += '<';
  buf_ += name;
  open_tag_ = true;
}

void XmlWriter::Attr(std::string_view name, std::string_view value) {
  buf_ += ' ';
  buf_ += name;
  buf_ += "=\"";
  XmlEscape(value, buf_, true);
  buf_ += '"';
}

void XmlWriter::Attr(std::string_view name, int64_t value) {
  char tmp[24];
  auto r = std::to_chars(tmp, tmp + sizeof tmp, value);
  Attr(name, std::string_view(tmp, size_t(r.ptr - tmp)));
}

void XmlWriter::AttrNum(std::string_view name, double value) { Attr(name, FormatNumberLiteral(value)); }

void XmlWriter::Text(std::string_view text) {
  CloseStartTag();
  XmlEscape(text, buf_, false);
}

void XmlWriter::End(std::string_view name) {
  if (open_tag_) {
    buf_ += "/>";
    open_tag_ = false;
    return;
  }
  buf_ += "</";
  buf_ += name;
  buf_ += '>';
}

void XmlWriter::Raw(std::string_view xml) {
  CloseStartTag();
  buf_ += xml;
}

void XmlWriter::Node(const XmlNode& node) {
  CloseStartTag();
  node.Serialize(buf_);
}

void XmlWriter::TextElement(std::string_view name, std::string_view text) {
  Start(name);
  CloseStartTag();
  XmlEscape(text, buf_, false);
  buf_ += "</";
  buf_ += name;
  buf_ += '>';
}

void XmlWriter::Flush() {
  if (flush_ && !buf_.empty()) {
    flush_(buf_);
    buf_.clear();
  }
}

// ---- _xHHHH_ escapes ----------------------------------------------------------------------------------

namespace {
bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsEscapeAt(std::string_view s, size_t i) {
  return i + 7 <= s.size() && s[i] == '_' && s[i + 1] == 'x' && IsHex(s[i + 2]) && IsHex(s[i + 3]) && IsHex(s[i + 4]) &&
         IsHex(s[i + 5]) && s[i + 6] == '_';
}
void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80)
    out += char(cp);
  else if (cp < 0x800) {
    out += char(0xC0 | cp >> 6);
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xE0 | cp >> 12);
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}
}  // namespace

// The code point of a three-byte sequence at i that XML cannot carry as a character (a surrogate,
// which an _xD800_ escape or a UTF-16 string can give, or U+FFFE/U+FFFF), else 0.
static uint32_t UnwritableAt(std::string_view s, size_t i) {
  if (i + 2 >= s.size()) return 0;
  auto b = [&](size_t k) { return uint8_t(s[i + k]); };
  if ((b(2) & 0xC0) != 0x80) return 0;
  bool surrogate = b(0) == 0xED && b(1) >= 0xA0 && b(1) <= 0xBF;
  bool nonchar = b(0) == 0xEF && b(1) == 0xBF && b(2) >= 0xBE;
  if (!surrogate && !nonchar) return 0;
  return uint32_t(b(0) & 0x0F) << 12 | uint32_t(b(1) & 0x3F) << 6 | uint32_t(b(2) & 0x3F);
}

bool NeedsOoxmlEncoding(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F) return true;
    if (c == '_' && IsEscapeAt(text, i)) return true;
    if ((c == 0xED || c == 0xEF) && UnwritableAt(text, i)) return true;
  }
  return false;
}

std::string EncodeOoxmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsEscapeAt(text, i)) {
      out += "_x005F_";  // the literal '_' escaped, then "xHHHH_" as it is
      continue;
    }
    static const char* hex = "0123456789ABCDEF";
    if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F) {
      out += "_x00";
      out += hex[c >> 4];
      out += hex[c & 15];
      out += '_';
      continue;
    }
    if (uint32_t cp = (c == 0xED || c == 0xEF) ? UnwritableAt(text, i) : 0) {
      out += "_x";
      for (int shift = 12; shift >= 0; shift -= 4) out += hex[(cp >> shift) & 15];
      out += '_';
      i += 2;
      continue;
    }
    out += char(c);
  }
  return out;
}

std::string DecodeOoxmlText(std::string_view text) {
  if (text.find("_x") == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    if (IsEscapeAt(text, i)) {
      uint32_t cp = 0;
      std::from_chars(text.data() + i + 2, text.data() + i + 6, cp, 16);
      AppendUtf8(out, cp);
      i += 7;
      continue;
    }
    out += text[i++];
  }
  return out;
}

}  // namespace sheets
