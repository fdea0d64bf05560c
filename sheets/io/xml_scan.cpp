#include "sheets/io/xml_scan.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

#include "sheets/io/file_error.h"
#include "sheets/io/limits.h"
#include "sheets/io/xml.h"

namespace sheets {

namespace {

enum Mode { kText, kAttr, kRaw };  // character data, attribute value, comment/CDATA/PI content

// Byte classes for character data.
enum : uint8_t { kPlain, kAmp, kCr, kTabLf, kBracket, kLess, kBad, kMulti };

constexpr std::array<uint8_t, 256> MakeClasses() {
  std::array<uint8_t, 256> t{};
  for (int c = 0; c < 0x20; ++c) t[size_t(c)] = kBad;
  t['\t'] = kTabLf;
  t['\n'] = kTabLf;
  t['\r'] = kCr;
  t['&'] = kAmp;
  t[']'] = kBracket;
  t['<'] = kLess;
  for (int c = 0x80; c < 0x100; ++c) t[size_t(c)] = kMulti;
  return t;
}
constexpr std::array<uint8_t, 256> kClass = MakeClasses();

constexpr std::array<uint8_t, 256> MakeNameChars() {
  // 1: may start a name; 2: may continue one; bytes from 0x80 are checked as UTF-8.
  std::array<uint8_t, 256> t{};
  for (int c = 'a'; c <= 'z'; ++c) t[size_t(c)] = 1;
  for (int c = 'A'; c <= 'Z'; ++c) t[size_t(c)] = 1;
  t['_'] = 1;
  t[':'] = 1;
  for (int c = '0'; c <= '9'; ++c) t[size_t(c)] = 2;
  t['-'] = 2;
  t['.'] = 2;
  for (int c = 0x80; c < 0x100; ++c) t[size_t(c)] = 3;
  return t;
}
constexpr std::array<uint8_t, 256> kNameChar = MakeNameChars();

inline bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// One UTF-8 sequence starting at q (a byte from 0x80): the position after it, nullptr when the
// bytes end inside it, or q itself when it is not a character XML allows.
const char* Utf8(const char* q, const char* e) {
  auto b = [&](ptrdiff_t i) { return uint8_t(q[i]); };
  uint8_t c = b(0);
  auto cont = [&](ptrdiff_t i) { return (b(i) & 0xC0) == 0x80; };
  if (c >= 0xC2 && c <= 0xDF) {
    if (e - q < 2) return nullptr;
    return cont(1) ? q + 2 : q;
  }
  if (c >= 0xE0 && c <= 0xEF) {
    if (e - q < 3) return nullptr;
    if (!cont(1) || !cont(2)) return q;
    if (c == 0xE0 && b(1) < 0xA0) return q;                                     // overlong
    if (c == 0xED && b(1) >= 0xA0) return q;                                    // surrogates
    if (c == 0xEF && b(1) == 0xBF && (b(2) == 0xBE || b(2) == 0xBF)) return q;  // U+FFFE, U+FFFF
    return q + 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (e - q < 4) return nullptr;
    if (!cont(1) || !cont(2) || !cont(3)) return q;
    if (c == 0xF0 && b(1) < 0x90) return q;
    if (c == 0xF4 && b(1) >= 0x90) return q;
    return q + 4;
  }
  return q;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

bool IsXmlChar(uint32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
         (cp >= 0x10000 && cp <= 0x10FFFF);
}

}  // namespace

bool ParseXmlNumber(std::string_view text, double& out) {
  // Up to 15 significant digits and 22 decimals: the digits as an integer and the power of ten are
  // both exact doubles, so one division rounds correctly (the result from_chars gives).
  static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                      1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const char* p = text.data();
  const char* e = p + text.size();
  bool negative = p < e && *p == '-';
  if (negative) ++p;
  uint64_t mantissa = 0;
  int digits = 0, decimals = 0;
  bool point = false, simple = p < e;
  for (; p < e && simple; ++p) {
    if (*p >= '0' && *p <= '9') {
      mantissa = mantissa * 10 + uint64_t(*p - '0');
      if (mantissa != 0) ++digits;  // leading zeros do not count
      if (point) ++decimals;
    } else if (*p == '.' && !point) {
      point = true;
    } else {
      simple = false;
    }
  }
  bool any_digit = text.size() > size_t(negative) + size_t(point);
  if (simple && any_digit && digits <= 15 && decimals <= 22) {
    double v = double(mantissa) / kPow10[decimals];
    out = negative ? -v : v;
    return true;
  }
  auto r = std::from_chars(text.data(), e, out);
  return r.ec == std::errc() && r.ptr == e;
}

const std::string_view* FindXmlAttr(std::span<const XmlAttr> attrs, std::string_view local_name) {
  for (const XmlAttr& a : attrs)
    if (XmlLocalName(a.name) == local_name && a.name.substr(0, 5) != "xmlns") return &a.value;
  return nullptr;
}

static uint64_t CountLines(const char* p, const char* e) {
  uint64_t n = 0;
  while (p < e) {
    p = static_cast<const char*>(std::memchr(p, '\n', size_t(e - p)));
    if (!p) break;
    ++n;
    ++p;
  }
  return n;
}

void XmlScanner::Fail(const std::string& what, const char* at) const {
  uint64_t line = line_ + (at && base_ ? CountLines(base_, at) : 0);
  throw FormatError("malformed XML (" + what + " at line " + std::to_string(line) + ")");
}

// Checks character data; true when it holds something to replace (a reference, a carriage return,
// white space of an attribute value).
static bool CheckChars(const char* p, const char* e, Mode mode, const char** bad, std::string* why) {
  bool need = false;
  for (const char* q = p; q < e;) {
    switch (kClass[uint8_t(*q)]) {
      case kPlain: ++q; break;
      case kAmp:
        need |= mode != kRaw;
        ++q;
        break;
      case kCr:
        need = true;
        ++q;
        break;
      case kTabLf:
        need |= mode == kAttr;
        ++q;
        break;
      case kBracket:
        if (mode == kText && e - q >= 3 && q[1] == ']' && q[2] == '>') {
          *bad = q;
          *why = "\"]]>\" in text";
          return false;
        }
        ++q;
        break;
      case kLess:
        if (mode == kAttr) {
          *bad = q;
          *why = "'<' in an attribute value";
          return false;
        }
        ++q;
        break;
      case kBad:
        *bad = q;
        *why = "invalid character";
        return false;
      default: {
        const char* n = Utf8(q, e);
        if (!n || n == q) {
          *bad = q;
          *why = "invalid UTF-8 or character";
          return false;
        }
        q = n;
      }
    }
  }
  return need;
}

namespace {

// Replaces references and normalises line ends (and white space in attribute values). The
// characters were checked already; references are checked here.
const char* Decode(const char* p, const char* e, Mode mode, std::string& out, std::string* why) {
  for (const char* q = p; q < e;) {
    char c = *q;
    if (c == '&' && mode != kRaw) {
      const char* semi = static_cast<const char*>(std::memchr(q, ';', size_t(e - q)));
      if (!semi) {
        *why = "malformed reference";
        return q;
      }
      std::string_view name(q + 1, size_t(semi - q - 1));
      if (!name.empty() && name[0] == '#') {
        uint32_t cp = 0;
        bool hex = name.size() > 1 && name[1] == 'x';
        std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty()) {
          *why = "malformed character reference";
          return q;
        }
        for (char d : digits) {
          uint32_t v;
          if (d >= '0' && d <= '9')
            v = uint32_t(d - '0');
          else if (hex && d >= 'a' && d <= 'f')
            v = uint32_t(d - 'a' + 10);
          else if (hex && d >= 'A' && d <= 'F')
            v = uint32_t(d - 'A' + 10);
          else {
            *why = "malformed character reference";
            return q;
          }
          cp = cp * (hex ? 16 : 10) + v;
          if (cp > 0x10FFFF) break;
        }
        if (!IsXmlChar(cp)) {
          *why = "reference to invalid character number";
          return q;
        }
        AppendUtf8(out, cp);
      } else if (name == "lt") {
        out += '<';
      } else if (name == "gt") {
        out += '>';
      } else if (name == "amp") {
        out += '&';
      } else if (name == "quot") {
        out += '"';
      } else if (name == "apos") {
        out += '\'';
      } else {
        *why = "undefined entity";
        return q;
      }
      q = semi + 1;
    } else if (c == '\r') {
      out += mode == kAttr ? ' ' : '\n';
      ++q;
      if (q < e && *q == '\n') ++q;
    } else if (mode == kAttr && (c == '\n' || c == '\t')) {
      out += ' ';
      ++q;
    } else {
      // A run of bytes that need nothing.
      const char* r = q + 1;
      while (r < e && *r != '&' && *r != '\r' && !(mode == kAttr && (*r == '\n' || *r == '\t'))) ++r;
      out.append(q, size_t(r - q));
      q = r;
    }
  }
  return nullptr;
}

}  // namespace

void XmlScanner::CharData(const char* p, const char* end, bool cdata) {
  if (p == end) return;
  const char* bad = nullptr;
  std::string why;
  Mode mode = cdata ? kRaw : kText;
  bool need = CheckChars(p, end, mode, &bad, &why);
  if (bad) Fail(why, bad);
  if (!need) {
    events_.Text(std::string_view(p, size_t(end - p)));
    return;
  }
  text_.clear();
  if (const char* at = Decode(p, end, mode, text_, &why)) Fail(why, at);
  events_.Text(text_);
}

// A name: the position after it, nullptr when the bytes end before it does.
static const char* ScanName(const char* q, const char* end, const char** bad) {
  if (q == end) return nullptr;
  uint8_t k = kNameChar[uint8_t(*q)];
  if (k != 1 && k != 3) {
    *bad = q;
    return nullptr;
  }
  while (q < end) {
    k = kNameChar[uint8_t(*q)];
    if (k == 0) return q;
    if (k == 3) {
      const char* n = Utf8(q, end);
      if (!n) return nullptr;
      if (n == q) {
        *bad = q;
        return nullptr;
      }
      q = n;
    } else {
      ++q;
    }
  }
  return nullptr;
}

const char* XmlScanner::StartTag(const char* p, const char* end) {
  if (state_ == State::kEpilog) Fail("junk after document element", p);
  const char* bad = nullptr;
  const char* q = ScanName(p + 1, end, &bad);
  if (bad) Fail("invalid element name", bad);
  if (!q) return nullptr;
  std::string_view name(p + 1, size_t(q - p - 1));
  attrs_.clear();
  decoded_.clear();
  scratch_.clear();
  bool empty = false;
  for (;;) {
    const char* ws = q;
    while (q < end && IsSpace(*q)) ++q;
    if (q == end) return nullptr;
    if (*q == '>') {
      ++q;
      break;
    }
    if (*q == '/') {
      if (q + 1 == end) return nullptr;
      if (q[1] != '>') Fail("malformed start tag", q);
      q += 2;
      empty = true;
      break;
    }
    if (q == ws) Fail("malformed start tag", q);
    const char* a0 = q;
    q = ScanName(q, end, &bad);
    if (bad) Fail("invalid attribute name", bad);
    if (!q) return nullptr;
    std::string_view aname(a0, size_t(q - a0));
    while (q < end && IsSpace(*q)) ++q;
    if (q == end) return nullptr;
    if (*q != '=') Fail("malformed attribute", q);
    ++q;
    while (q < end && IsSpace(*q)) ++q;
    if (q == end) return nullptr;
    char quote = *q;
    if (quote != '"' && quote != '\'') Fail("malformed attribute", q);
    ++q;
    const char* ve = static_cast<const char*>(std::memchr(q, quote, size_t(end - q)));
    if (!ve) return nullptr;
    if (attrs_.size() >= limits::kMaxXmlAttributes) throw FormatError("too many XML attributes on one element");
    std::string why;
    bool need = CheckChars(q, ve, kAttr, &bad, &why);
    if (bad) Fail(why, bad);
    // Filled in place: a temporary attribute copied in would be read back before its stores land.
    XmlAttr& attr = attrs_.emplace_back();
    attr.name = aname;
    if (need) {
      size_t at = scratch_.size();
      if (const char* r = Decode(q, ve, kAttr, scratch_, &why)) Fail(why, r);
      attr.value = std::string_view(nullptr, scratch_.size() - at);
      decoded_.push_back(uint32_t(at + 1));
    } else {
      attr.value = std::string_view(q, size_t(ve - q));
      decoded_.push_back(0);
    }
    q = ve + 1;
  }
  for (size_t i = 0; i < attrs_.size(); ++i)
    if (decoded_[i]) attrs_[i].value = std::string_view(scratch_.data() + decoded_[i] - 1, attrs_[i].value.size());
  // Attribute names are unique.
  if (attrs_.size() > 1) {
    bool dup = false;
    if (attrs_.size() <= 16) {
      for (size_t i = 1; i < attrs_.size() && !dup; ++i)
        for (size_t j = 0; j < i; ++j)
          if (attrs_[i].name == attrs_[j].name) {
            dup = true;
            break;
          }
    } else {
      std::vector<std::string_view> names;
      names.reserve(attrs_.size());
      for (const auto& a : attrs_) names.push_back(a.name);
      std::sort(names.begin(), names.end());
      dup = std::adjacent_find(names.begin(), names.end()) != names.end();
    }
    if (dup) Fail("duplicate attribute", p);
  }
  if (open_lengths_.size() + 1 > limits::kMaxXmlDepth) throw FormatError("XML nested too deeply");
  state_ = State::kContent;
  events_.StartElement(name, attrs_);
  if (empty) {
    events_.EndElement(name);
    if (open_lengths_.empty()) state_ = State::kEpilog;
  } else {
    open_names_.append(name);
    open_lengths_.push_back(uint32_t(name.size()));
  }
  return q;
}

const char* XmlScanner::EndTag(const char* p, const char* end) {
  const char* bad = nullptr;
  const char* q = ScanName(p + 2, end, &bad);
  if (bad) Fail("invalid element name", bad);
  if (!q) return nullptr;
  std::string_view name(p + 2, size_t(q - p - 2));
  while (q < end && IsSpace(*q)) ++q;
  if (q == end) return nullptr;
  if (*q != '>') Fail("malformed end tag", q);
  if (open_lengths_.empty()) Fail("end tag without a start tag", p);
  size_t len = open_lengths_.back();
  const char* top = open_names_.data() + open_names_.size() - len;
  bool same = len == name.size();
  for (size_t i = 0; same && i < len; ++i) same = top[i] == name[i];
  if (!same) Fail("mismatched tag", p);
  open_names_.resize(open_names_.size() - len);
  open_lengths_.pop_back();
  events_.EndElement(name);
  if (open_lengths_.empty()) state_ = State::kEpilog;
  return q + 1;
}

const char* XmlScanner::Special(const char* p, const char* end) {
  auto starts = [&](std::string_view s) -> int {  // 1 yes, 0 no, -1 cannot tell yet
    size_t have = size_t(end - p);
    if (have >= s.size()) return std::memcmp(p, s.data(), s.size()) == 0 ? 1 : 0;
    return std::memcmp(p, s.data(), have) == 0 ? -1 : 0;
  };
  if (p[1] == '?') {
    const char* bad = nullptr;
    const char* t = ScanName(p + 2, end, &bad);
    if (bad) Fail("invalid processing instruction", bad);
    if (!t) return nullptr;
    std::string_view target(p + 2, size_t(t - p - 2));
    bool xml =
        target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' && (target[2] | 0x20) == 'l';
    if (xml && !(state_ == State::kStart && target == "xml")) Fail("XML or text declaration not at start of entity", p);
    const char* q = t;
    for (;;) {
      q = static_cast<const char*>(std::memchr(q, '?', size_t(end - q)));
      if (!q || q + 1 == end) return nullptr;
      if (q[1] == '>') break;
      ++q;
    }
    if (q != t && !IsSpace(*t)) Fail("malformed processing instruction", t);
    std::string why;
    CheckChars(t, q, kRaw, &bad, &why);
    if (bad) Fail(why, bad);
    if (state_ == State::kStart) state_ = State::kProlog;
    return q + 2;
  }
  int s = starts("<!--");
  if (s < 0) return nullptr;
  if (s > 0) {
    const char* q = p + 4;
    for (;;) {
      q = static_cast<const char*>(std::memchr(q, '-', size_t(end - q)));
      if (!q || end - q < 3) return nullptr;
      if (q[1] == '-') {
        if (q[2] != '>') Fail("\"--\" in a comment", q);
        break;
      }
      ++q;
    }
    const char* bad = nullptr;
    std::string why;
    CheckChars(p + 4, q, kRaw, &bad, &why);
    if (bad) Fail(why, bad);
    if (state_ == State::kStart) state_ = State::kProlog;
    return q + 3;
  }
  s = starts("<![CDATA[");
  if (s < 0) return nullptr;
  if (s > 0) {
    if (state_ != State::kContent) Fail("CDATA section outside the document element", p);
    const char* q = p + 9;
    for (;;) {
      q = static_cast<const char*>(std::memchr(q, ']', size_t(end - q)));
      if (!q || end - q < 3) return nullptr;
      if (q[1] == ']' && q[2] == '>') break;
      ++q;
    }
    CharData(p + 9, q, true);
    return q + 3;
  }
  s = starts("<!DOCTYPE");
  if (s < 0) return nullptr;
  if (s > 0) throw FormatError("XML with a DOCTYPE declaration is refused");
  Fail("malformed markup", p);
}

const char* XmlScanner::Scan(const char* p, const char* end, bool last) {
  base_ = p;
  if (!bom_checked_) {
    // A byte order mark, once, at the very start.
    static const char kBom[] = "\xEF\xBB\xBF";
    size_t have = size_t(end - p);
    if (have < 3 && !last && std::memcmp(p, kBom, have) == 0) return p;
    if (have >= 3 && std::memcmp(p, kBom, 3) == 0) p += 3;
    bom_checked_ = true;
  }
  while (p < end) {
    if (*p != '<') {
      const char* lt = static_cast<const char*>(std::memchr(p, '<', size_t(end - p)));
      if (!lt) {
        if (!last) return p;
        lt = end;
      }
      if (state_ == State::kContent) {
        CharData(p, lt, false);
      } else {
        for (const char* q = p; q < lt; ++q)
          if (!IsSpace(*q))
            Fail(state_ == State::kEpilog ? "junk after document element" : "text before the document element", q);
        if (state_ == State::kStart) state_ = State::kProlog;
      }
      p = lt;
      continue;
    }
    const char* next = nullptr;
    if (end - p >= 2) {
      if (p[1] == '/')
        next = EndTag(p, end);
      else if (p[1] == '!' || p[1] == '?')
        next = Special(p, end);
      else
        next = StartTag(p, end);
    }
    if (!next) {
      if (!last) return p;
      Fail("unclosed token", p);
    }
    p = next;
  }
  return p;
}

void XmlScanner::Feed(std::string_view chunk) {
  if (chunk.empty()) return;
  if (!carry_.empty()) {
    // Completes the token carried over from the last chunk with as few bytes of this one as it
    // needs (a few kilobytes at first, more while it stays incomplete), then scans the rest of the
    // chunk where it lies: the bytes are not copied. A long token is tried again only once the
    // bytes held have doubled, so that however small the chunks, its bytes are scanned a few times,
    // not once per chunk.
    if (carry_.size() + chunk.size() < retry_at_) {
      carry_.append(chunk);
      return;
    }
    size_t taken = 0, step = std::max<size_t>(4096, carry_.size());
    for (;;) {
      size_t old = carry_.size();
      size_t take = std::min(chunk.size() - taken, step);
      carry_.append(chunk.data() + taken, take);
      taken += take;
      const char* stop = Scan(carry_.data(), carry_.data() + carry_.size(), false);
      size_t used = size_t(stop - carry_.data());
      line_ += CountLines(carry_.data(), stop);
      if (used >= old) {
        chunk.remove_prefix(taken - (carry_.size() - used));
        carry_.clear();
        retry_at_ = 0;
        break;
      }
      carry_.erase(0, used);
      if (taken == chunk.size()) {
        retry_at_ = std::min(2 * carry_.size(), limits::kMaxXmlTokenBytes + 1);
        chunk = {};
        break;
      }
      if (carry_.size() > limits::kMaxXmlTokenBytes) TooLong();
      step *= 2;
    }
  }
  if (!chunk.empty()) {
    const char* stop = Scan(chunk.data(), chunk.data() + chunk.size(), false);
    line_ += CountLines(chunk.data(), stop);
    carry_.assign(stop, size_t(chunk.data() + chunk.size() - stop));
    retry_at_ = 0;
  }
  base_ = nullptr;
  if (carry_.size() > limits::kMaxXmlTokenBytes) TooLong();
}

void XmlScanner::TooLong() const {
  throw FormatError("malformed XML (a tag, comment or run of text longer than " +
                    std::to_string(limits::kMaxXmlTokenBytes) + " bytes at line " + std::to_string(line_) + ")");
}

void XmlScanner::Finish() {
  Scan(carry_.data(), carry_.data() + carry_.size(), true);
  line_ += CountLines(carry_.data(), carry_.data() + carry_.size());
  carry_.clear();
  base_ = nullptr;
  if (state_ != State::kEpilog) Fail(state_ == State::kContent ? "no element found" : "no element found", nullptr);
}

}  // namespace sheets
