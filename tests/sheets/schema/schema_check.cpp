#include "schema_check.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>

#include "sheets/io/opc.h"
#include "sheets/io/xml.h"
#include "sheets/io/zip.h"

namespace schemacheck {

namespace {

constexpr uint32_t kUnbounded = UINT32_MAX;
constexpr std::string_view kXmlNs = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view kMcNs = "http://schemas.openxmlformats.org/markup-compatibility/2006";

struct Simple {
  enum class Kind { String, Bool, Int, Double, Hex, Enum, List, Cell, Ref, DateTime };
  std::string name;
  Kind kind = Kind::String;
  bool ranged = false;
  double lo = 0, hi = 0;            // Int and Double bounds; String length bounds
  size_t bytes = 0;                 // Hex
  std::vector<std::string> values;  // Enum
  int item = -1;                    // List
};

struct Particle {
  enum class Kind { Element, Seq, Choice, Any };
  Kind kind = Kind::Seq;
  std::string ns, local;   // Element
  std::string type;        // Element: a complex or simple type's name
  bool any_other = false;  // Any: only namespaces other than the owner's
  uint32_t min = 1, max = 1;
  std::vector<Particle> children;
  int line = 0;
};

struct Attribute {
  std::string ns, local;
  int simple = -1;
  bool required = false;
};

struct Nfa {
  struct State {
    std::vector<int> eps;
    const Particle* decl = nullptr;  // element or wildcard transition
    int next = -1;
  };
  std::vector<State> states;
  int start = 0, accept = 0;
};

struct Complex {
  std::string name;
  std::string ns;  // target namespace: of unqualified child names, and of "any other"
  std::vector<Attribute> attrs;
  Particle content;   // a sequence
  int text = -1;      // simple type of the text, when the element holds text
  bool open = false;  // content and attributes not checked
  bool any_attr = false;
  mutable std::unique_ptr<Nfa> nfa;
};

std::string Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r\n"), e = s.find_last_not_of(" \t\r\n");
  if (b == std::string_view::npos) return {};
  return std::string(s.substr(b, e - b + 1));
}

std::vector<std::string> Split(std::string_view s) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n')) ++i;
    size_t j = i;
    while (j < s.size() && !(s[j] == ' ' || s[j] == '\t' || s[j] == '\r' || s[j] == '\n')) ++j;
    if (j > i) out.emplace_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

bool ParseInt(std::string_view s, long double& out) {
  size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  if (i == s.size()) return false;
  long double v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  out = neg ? -v : v;
  return true;
}

// xsd:double's lexical space.
bool ParseDouble(std::string_view s, double& out) {
  if (s == "INF" || s == "+INF") return out = HUGE_VAL, true;
  if (s == "-INF") return out = -HUGE_VAL, true;
  if (s == "NaN") return out = std::nan(""), true;
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (!digits) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t exp = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++exp;
    if (!exp) return false;
  }
  if (i != s.size()) return false;
  out = std::strtod(std::string(s).c_str(), nullptr);
  return true;
}

// "B7", "$B$7": a cell of the large grid.
bool ParseCell(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && s[i] == '$') ++i;
  uint64_t col = 0;
  size_t letters = 0;
  while (i < s.size() && s[i] >= 'A' && s[i] <= 'Z') col = col * 26 + uint64_t(s[i++] - 'A' + 1), ++letters;
  if (!letters || letters > 3 || col > 16384) return false;
  if (i < s.size() && s[i] == '$') ++i;
  uint64_t row = 0;
  size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') row = row * 10 + uint64_t(s[i++] - '0'), ++digits;
  return digits && digits <= 7 && row >= 1 && row <= 1048576 && i == s.size();
}

bool ParseRef(std::string_view s) {
  size_t colon = s.find(':');
  if (colon == std::string_view::npos) return ParseCell(s);
  return ParseCell(s.substr(0, colon)) && ParseCell(s.substr(colon + 1));
}

// W3C date and time: YYYY-MM-DDThh:mm:ss(.s)?(Z|+hh:mm)?, or a date alone.
bool ParseDateTime(std::string_view s) {
  auto digits = [&](size_t at, size_t n) {
    if (at + n > s.size()) return false;
    for (size_t k = at; k < at + n; ++k)
      if (s[k] < '0' || s[k] > '9') return false;
    return true;
  };
  if (!digits(0, 4) || s.size() < 10 || s[4] != '-' || !digits(5, 2) || s[7] != '-' || !digits(8, 2)) return false;
  if (s.size() == 10) return true;
  if (s[10] != 'T' || !digits(11, 2) || s.size() < 19 || s[13] != ':' || !digits(14, 2) || s[16] != ':' ||
      !digits(17, 2))
    return false;
  size_t i = 19;
  if (i < s.size() && s[i] == '.') {
    ++i;
    size_t n = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++n;
    if (!n) return false;
  }
  if (i == s.size()) return true;
  if (s[i] == 'Z') return i + 1 == s.size();
  return (s[i] == '+' || s[i] == '-') && digits(i + 1, 2) && i + 3 < s.size() && s[i + 3] == ':' && digits(i + 4, 2) &&
         i + 6 == s.size();
}

size_t Utf8Length(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace

struct Schema::Impl {
  std::map<std::string, std::string> ns;  // alias -> URI
  std::vector<Simple> simples;
  std::map<std::string, int> simple_index;
  std::map<std::string, Complex> complexes;
  struct PartKind {
    std::string root_ns, root_local, type;
  };
  std::map<std::string, PartKind> parts;                                               // content type -> root
  std::map<std::pair<std::string, std::string>, std::pair<std::string, int>> globals;  // element -> type, line

  // ---- reading the table ----
  void Load(std::string_view text);
  int SimpleOf(const std::string& name, int line) const {
    auto it = simple_index.find(name);
    if (it == simple_index.end()) Fail(line, "unknown simple type " + name);
    return it->second;
  }
  [[noreturn]] static void Fail(int line, const std::string& what) {
    throw std::runtime_error("schema table line " + std::to_string(line) + ": " + what);
  }
  std::pair<std::string, std::string> QName(const std::string& q, const std::string& default_ns, int line) const {
    size_t colon = q.find(':');
    if (colon == std::string::npos) return {default_ns, q};
    auto it = ns.find(q.substr(0, colon));
    if (it == ns.end()) Fail(line, "unknown namespace alias in " + q);
    return {it->second, q.substr(colon + 1)};
  }
  void CheckReferences(const Particle& p) const;

  // ---- checking ----
  const Nfa& NfaOf(const Complex& c) const;
  bool ValueOk(int simple, std::string_view raw, std::string& why) const;
  std::string Describe(const Simple& s) const;

  struct Scope {
    std::map<std::string, std::string> prefixes;  // prefix -> URI ("" the default)
    std::set<std::string> ignorable;              // URIs
  };
  struct Context {
    std::string part;
    std::vector<Problem>* out;
  };
  void Report(Context& cx, const std::string& path, std::string message) const {
    cx.out->push_back({cx.part, path, std::move(message)});
  }
  static Scope Enter(const sheets::XmlNode& n, const Scope& parent);
  static std::pair<std::string, std::string> Resolve(std::string_view qname, const Scope& scope, bool attribute,
                                                     bool& ok);
  struct Child {
    const sheets::XmlNode* node;
    std::shared_ptr<Scope> scope;
    std::string ns, local;
  };
  void Expand(const sheets::XmlNode& parent, const std::shared_ptr<Scope>& scope, std::vector<Child>& out, Context& cx,
              const std::string& path) const;
  void CheckElement(const sheets::XmlNode& n, const Scope& scope, const std::string& type, const std::string& path,
                    Context& cx) const;
  void CheckAttributes(const sheets::XmlNode& n, const Scope& scope, const Complex* c, const std::string& path,
                       Context& cx) const;
};

// ---- table -------------------------------------------------------------------------------------------

namespace {

bool ParseOccurs(const std::string& t, uint32_t& min, uint32_t& max) {
  if (t == "?") return min = 0, max = 1, true;
  if (t == "*") return min = 0, max = kUnbounded, true;
  if (t == "+") return min = 1, max = kUnbounded, true;
  size_t dots = t.find("..");
  if (dots == std::string::npos || dots == 0) return false;
  for (size_t i = 0; i < dots; ++i)
    if (t[i] < '0' || t[i] > '9') return false;
  min = uint32_t(std::stoul(t.substr(0, dots)));
  std::string hi = t.substr(dots + 2);
  if (hi == "*") return max = kUnbounded, true;
  if (hi.empty() || hi.find_first_not_of("0123456789") != std::string::npos) return false;
  max = uint32_t(std::stoul(hi));
  return max >= min;
}

bool ParseRange(const std::string& t, double& lo, double& hi) {
  size_t dots = t.find("..");
  if (dots == std::string::npos) return false;
  std::string a = t.substr(0, dots), b = t.substr(dots + 2);
  lo = a.empty() ? -HUGE_VAL : std::stod(a);
  hi = b.empty() ? HUGE_VAL : std::stod(b);
  return true;
}

}  // namespace

void Schema::Impl::Load(std::string_view text) {
  ns["xml"] = std::string(kXmlNs);
  ns["mc"] = std::string(kMcNs);
  std::string default_ns;
  Complex* current = nullptr;
  std::vector<Particle*> stack;  // open groups of the current type
  struct PendingSimple {
    std::vector<std::string> tokens;
    int line;
  };
  std::vector<PendingSimple> pending;  // simple types, read after all names are known
  struct PendingAttr {
    Complex* owner;
    size_t index;
    std::string type;
    int line;
  };
  std::vector<PendingAttr> attr_types;
  int line_no = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) nl = text.size();
    std::string_view raw = text.substr(pos, nl - pos);
    pos = nl + 1;
    ++line_no;
    if (size_t hash = raw.find('#'); hash != std::string_view::npos) raw = raw.substr(0, hash);
    std::vector<std::string> t = Split(raw);
    if (t.empty()) continue;
    const std::string& head = t[0];
    if (!current) {
      if (head == "ns" && t.size() == 3) {
        ns[t[1]] = t[2];
      } else if (head == "default" && t.size() == 2) {
        if (!ns.count(t[1])) Fail(line_no, "unknown namespace alias " + t[1]);
        default_ns = ns[t[1]];
      } else if (head == "simple" && t.size() >= 3) {
        if (simple_index.count(t[1])) Fail(line_no, "simple type " + t[1] + " defined twice");
        simple_index[t[1]] = int(simples.size());
        simples.push_back({});
        simples.back().name = t[1];
        pending.push_back({t, line_no});
      } else if (head == "element" && t.size() == 3) {
        auto [ens, elocal] = QName(t[1], default_ns, line_no);
        globals[{ens, elocal}] = {t[2], line_no};
      } else if (head == "part" && t.size() == 4) {
        auto [rns, rlocal] = QName(t[2], default_ns, line_no);
        parts[t[1]] = {rns, rlocal, t[3]};
      } else if (head == "type" && t.size() >= 2) {
        if (complexes.count(t[1])) Fail(line_no, "type " + t[1] + " defined twice");
        current = &complexes[t[1]];
        current->name = t[1];
        current->ns = default_ns;
        current->content.kind = Particle::Kind::Seq;
        current->content.line = line_no;
        stack = {&current->content};
        for (size_t i = 2; i < t.size(); ++i) {
          if (t[i] == "open")
            current->open = true;
          else if (t[i] == "anyattr")
            current->any_attr = true;
          else if (t[i] == "text" && i + 1 < t.size())
            pending.push_back({{"@text", t[1], t[++i]}, line_no});
          else
            Fail(line_no, "unknown type option " + t[i]);
        }
      } else {
        Fail(line_no, "unknown statement");
      }
      continue;
    }
    if (head == "end" && t.size() == 1) {  // an element may be called "end" too
      stack.pop_back();
      if (stack.empty()) current = nullptr;
      continue;
    }
    if (head[0] == '@') {
      Attribute a;
      auto [ans, alocal] = QName(head.substr(1), "", line_no);
      a.ns = ans, a.local = alocal;
      if (t.size() < 2) Fail(line_no, "attribute without a type");
      for (size_t i = 2; i < t.size(); ++i) {
        if (t[i] == "req")
          a.required = true;
        else
          Fail(line_no, "unknown attribute option " + t[i]);
      }
      current->attrs.push_back(a);
      attr_types.push_back({current, current->attrs.size() - 1, t[1], line_no});
      continue;
    }
    Particle p;
    p.line = line_no;
    size_t next = 1;
    if (head == "seq" || head == "choice") {
      p.kind = head == "seq" ? Particle::Kind::Seq : Particle::Kind::Choice;
    } else if (head == "any" || head == "anyother") {
      p.kind = Particle::Kind::Any;
      p.any_other = head == "anyother";
    } else {
      if (t.size() < 2) Fail(line_no, "element without a type");
      p.kind = Particle::Kind::Element;
      auto [ens, elocal] = QName(head, current->ns, line_no);
      p.ns = ens, p.local = elocal, p.type = t[1];
      next = 2;
    }
    for (size_t i = next; i < t.size(); ++i)
      if (!ParseOccurs(t[i], p.min, p.max)) Fail(line_no, "bad occurrence " + t[i]);
    Particle& parent = *stack.back();
    parent.children.push_back(std::move(p));
    if (parent.children.back().kind == Particle::Kind::Seq || parent.children.back().kind == Particle::Kind::Choice)
      stack.push_back(&parent.children.back());
  }
  if (current) Fail(line_no, "type " + current->name + " not ended");

  for (const auto& ps : pending) {
    const auto& t = ps.tokens;
    if (t[0] == "@text") {
      complexes[t[1]].text = SimpleOf(t[2], ps.line);
      continue;
    }
    Simple& s = simples[size_t(simple_index[t[1]])];
    const std::string& base = t[2];
    auto range = [&](size_t i) {
      if (i < t.size()) {
        if (!ParseRange(t[i], s.lo, s.hi)) Fail(ps.line, "bad range " + t[i]);
        s.ranged = true;
      }
    };
    auto int_range = [&](double lo, double hi) {
      s.kind = Simple::Kind::Int;
      s.ranged = true;
      s.lo = lo, s.hi = hi;
    };
    if (base == "string")
      s.kind = Simple::Kind::String, range(3);
    else if (base == "bool")
      s.kind = Simple::Kind::Bool;
    else if (base == "int")
      int_range(-2147483648.0, 2147483647.0), range(3);
    else if (base == "uint")
      int_range(0, 4294967295.0), range(3);
    else if (base == "ubyte")
      int_range(0, 255), range(3);
    else if (base == "ushort")
      int_range(0, 65535), range(3);
    else if (base == "long")
      int_range(-9223372036854775808.0, 9223372036854775807.0), range(3);
    else if (base == "double")
      s.kind = Simple::Kind::Double, range(3);
    else if (base == "cell")
      s.kind = Simple::Kind::Cell;
    else if (base == "ref")
      s.kind = Simple::Kind::Ref;
    else if (base == "datetime")
      s.kind = Simple::Kind::DateTime;
    else if (base == "hex" && t.size() == 4)
      s.kind = Simple::Kind::Hex, s.bytes = std::stoul(t[3]);
    else if (base == "enum" && t.size() > 3)
      s.kind = Simple::Kind::Enum, s.values.assign(t.begin() + 3, t.end());
    else if (base == "list" && t.size() == 4)
      s.kind = Simple::Kind::List, s.item = SimpleOf(t[3], ps.line);
    else
      Fail(ps.line, "unknown simple type form");
  }
  for (const auto& pa : attr_types) pa.owner->attrs[pa.index].simple = SimpleOf(pa.type, pa.line);
  for (const auto& [name, c] : complexes) CheckReferences(c.content);
  for (const auto& [name, g] : globals)
    if (!complexes.count(g.first) && !simple_index.count(g.first)) Fail(g.second, "unknown type " + g.first);
  for (const auto& [ct, p] : parts)
    if (!complexes.count(p.type)) Fail(0, "part " + ct + " has unknown type " + p.type);
}

void Schema::Impl::CheckReferences(const Particle& p) const {
  if (p.kind == Particle::Kind::Element && !complexes.count(p.type) && !simple_index.count(p.type))
    Fail(p.line, "unknown type " + p.type);
  for (const auto& c : p.children) CheckReferences(c);
}

// ---- content models as automata ----------------------------------------------------------------------

namespace {

class NfaBuilder {
 public:
  explicit NfaBuilder(Nfa& nfa) : nfa_(nfa) {}
  int New() {
    nfa_.states.emplace_back();
    return int(nfa_.states.size() - 1);
  }
  void Eps(int a, int b) { nfa_.states[size_t(a)].eps.push_back(b); }

  int Build(const Particle& p, int from) {
    int cur = from;
    uint32_t max = p.max;
    // Large bounds behave as unbounded; the content models here have none.
    if (max != kUnbounded && max > 64) max = kUnbounded;
    for (uint32_t i = 0; i < p.min; ++i) cur = Once(p, cur);
    if (max == kUnbounded) {
      int loop = New();
      Eps(cur, loop);
      int end = Once(p, loop);
      Eps(end, loop);
      int out = New();
      Eps(loop, out);
      return out;
    }
    for (uint32_t i = p.min; i < max; ++i) {
      int end = Once(p, cur);
      int out = New();
      Eps(cur, out);
      Eps(end, out);
      cur = out;
    }
    return cur;
  }

 private:
  int Once(const Particle& p, int from) {
    switch (p.kind) {
      case Particle::Kind::Element:
      case Particle::Kind::Any: {
        int a = New(), b = New();
        Eps(from, a);
        nfa_.states[size_t(a)].decl = &p;
        nfa_.states[size_t(a)].next = b;
        return b;
      }
      case Particle::Kind::Seq: {
        int cur = from;
        for (const auto& c : p.children) cur = Build(c, cur);
        return cur;
      }
      case Particle::Kind::Choice: {
        int out = New();
        if (p.children.empty()) Eps(from, out);
        for (const auto& c : p.children) Eps(Build(c, from), out);
        return out;
      }
    }
    return from;
  }
  Nfa& nfa_;
};

void Closure(const Nfa& nfa, std::vector<char>& set) {
  std::vector<int> work;
  for (size_t i = 0; i < set.size(); ++i)
    if (set[i]) work.push_back(int(i));
  while (!work.empty()) {
    int s = work.back();
    work.pop_back();
    for (int e : nfa.states[size_t(s)].eps)
      if (!set[size_t(e)]) set[size_t(e)] = 1, work.push_back(e);
  }
}

bool Matches(const Particle& p, const std::string& owner_ns, const std::string& ns, const std::string& local) {
  if (p.kind == Particle::Kind::Any) return !p.any_other || ns != owner_ns;
  return p.ns == ns && p.local == local;
}

const Particle* FindDecl(const Particle& p, const std::string& owner_ns, const std::string& ns,
                         const std::string& local) {
  if (p.kind == Particle::Kind::Element || p.kind == Particle::Kind::Any)
    return Matches(p, owner_ns, ns, local) ? &p : nullptr;
  for (const auto& c : p.children)
    if (const Particle* d = FindDecl(c, owner_ns, ns, local)) return d;
  return nullptr;
}

}  // namespace

const Nfa& Schema::Impl::NfaOf(const Complex& c) const {
  if (!c.nfa) {
    auto nfa = std::make_unique<Nfa>();
    NfaBuilder b(*nfa);
    nfa->start = b.New();
    nfa->accept = b.Build(c.content, nfa->start);
    c.nfa = std::move(nfa);
  }
  return *c.nfa;
}

// ---- values ------------------------------------------------------------------------------------------

std::string Schema::Impl::Describe(const Simple& s) const {
  std::ostringstream o;
  o << s.name;
  if (s.kind == Simple::Kind::Enum && s.values.size() <= 12) {
    o << " (";
    for (size_t i = 0; i < s.values.size(); ++i) o << (i ? " " : "") << s.values[i];
    o << ")";
  }
  return o.str();
}

bool Schema::Impl::ValueOk(int index, std::string_view raw, std::string& why) const {
  const Simple& s = simples[size_t(index)];
  std::string v = s.kind == Simple::Kind::String ? std::string(raw) : Trim(raw);
  switch (s.kind) {
    case Simple::Kind::String: {
      size_t n = Utf8Length(v);
      if (s.ranged && (double(n) < s.lo || double(n) > s.hi)) {
        why = "length " + std::to_string(n) + " outside " + s.name;
        return false;
      }
      return true;
    }
    case Simple::Kind::Bool:
      if (v == "true" || v == "false" || v == "1" || v == "0") return true;
      break;
    case Simple::Kind::Int: {
      long double x;
      if (ParseInt(v, x) && (!s.ranged || (x >= s.lo && x <= s.hi))) return true;
      break;
    }
    case Simple::Kind::Double: {
      double x;
      if (ParseDouble(v, x) && (!s.ranged || (x >= s.lo && x <= s.hi))) return true;
      break;
    }
    case Simple::Kind::Hex:
      if (v.size() == 2 * s.bytes && v.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) return true;
      break;
    case Simple::Kind::Enum:
      if (std::find(s.values.begin(), s.values.end(), v) != s.values.end()) return true;
      break;
    case Simple::Kind::Cell:
      if (ParseCell(v)) return true;
      break;
    case Simple::Kind::Ref:
      if (ParseRef(v)) return true;
      break;
    case Simple::Kind::DateTime:
      if (ParseDateTime(v)) return true;
      break;
    case Simple::Kind::List: {
      auto items = Split(v);
      if (items.empty()) break;
      for (const auto& it : items)
        if (!ValueOk(s.item, it, why)) {
          why = "item \"" + it + "\" of \"" + v + "\" is not a valid " + Describe(simples[size_t(s.item)]);
          return false;
        }
      return true;
    }
  }
  why = "\"" + v + "\" is not a valid " + Describe(s);
  return false;
}

// ---- checking ----------------------------------------------------------------------------------------

Schema::Impl::Scope Schema::Impl::Enter(const sheets::XmlNode& n, const Scope& parent) {
  Scope s = parent;
  for (const auto& [k, v] : n.attrs) {
    if (k == "xmlns")
      s.prefixes[""] = v;
    else if (k.starts_with("xmlns:"))
      s.prefixes[k.substr(6)] = v;
  }
  for (const auto& [k, v] : n.attrs) {
    bool ok = true;
    auto [ans, alocal] = Resolve(k, s, true, ok);
    if (ok && ans == kMcNs && alocal == "Ignorable")
      for (const auto& prefix : Split(v))
        if (auto it = s.prefixes.find(prefix); it != s.prefixes.end()) s.ignorable.insert(it->second);
  }
  return s;
}

std::pair<std::string, std::string> Schema::Impl::Resolve(std::string_view qname, const Scope& scope, bool attribute,
                                                          bool& ok) {
  size_t colon = qname.find(':');
  if (colon == std::string_view::npos) {
    if (attribute) return {"", std::string(qname)};
    auto it = scope.prefixes.find("");
    return {it == scope.prefixes.end() ? "" : it->second, std::string(qname)};
  }
  std::string prefix(qname.substr(0, colon));
  if (prefix == "xml") return {std::string(kXmlNs), std::string(qname.substr(colon + 1))};
  auto it = scope.prefixes.find(prefix);
  if (it == scope.prefixes.end()) {
    ok = false;
    return {"", std::string(qname)};
  }
  return {it->second, std::string(qname.substr(colon + 1))};
}

// The children as a consumer sees them: elements of ignorable namespaces dropped, alternate content
// replaced by its fallback.
void Schema::Impl::Expand(const sheets::XmlNode& parent, const std::shared_ptr<Scope>& scope, std::vector<Child>& out,
                          Context& cx, const std::string& path) const {
  for (const auto& c : parent.children) {
    auto cs = std::make_shared<Scope>(Enter(c, *scope));
    bool ok = true;
    auto [cns, clocal] = Resolve(c.name, *cs, false, ok);
    if (!ok) {
      Report(cx, path, "element <" + c.name + "> has an undeclared namespace prefix");
      continue;
    }
    if (cns == kMcNs && clocal == "AlternateContent") {
      for (const auto& alt : c.children) {
        bool aok = true;
        auto ascope = std::make_shared<Scope>(Enter(alt, *cs));
        auto [ans, alocal] = Resolve(alt.name, *ascope, false, aok);
        if (aok && ans == kMcNs && alocal == "Fallback") Expand(alt, ascope, out, cx, path);
      }
      continue;
    }
    if (cs->ignorable.count(cns)) continue;
    out.push_back({&c, cs, cns, clocal});
  }
}

void Schema::Impl::CheckAttributes(const sheets::XmlNode& n, const Scope& scope, const Complex* c,
                                   const std::string& path, Context& cx) const {
  std::vector<bool> seen(c ? c->attrs.size() : 0, false);
  for (const auto& [k, v] : n.attrs) {
    if (k == "xmlns" || k.starts_with("xmlns:")) continue;
    bool ok = true;
    auto [ans, alocal] = Resolve(k, scope, true, ok);
    if (!ok) {
      Report(cx, path, "attribute " + k + " has an undeclared namespace prefix");
      continue;
    }
    if (ans == kMcNs && alocal == "Ignorable")
      for (const auto& prefix : Split(v))
        if (!scope.prefixes.count(prefix))
          Report(cx, path, "mc:Ignorable names prefix " + prefix + ", which is not declared");
    if (ans == kMcNs || scope.ignorable.count(ans)) continue;
    bool found = false;
    if (c)
      for (size_t i = 0; i < c->attrs.size(); ++i)
        if (c->attrs[i].ns == ans && c->attrs[i].local == alocal) {
          found = true;
          seen[i] = true;
          std::string why;
          if (!ValueOk(c->attrs[i].simple, v, why)) Report(cx, path, "attribute " + k + ": " + why);
        }
    if (!found && !(c && c->any_attr)) Report(cx, path, "unknown attribute " + k + (c ? " on " + c->name : ""));
  }
  if (c)
    for (size_t i = 0; i < c->attrs.size(); ++i)
      if (c->attrs[i].required && !seen[i]) Report(cx, path, "required attribute " + c->attrs[i].local + " is missing");
}

void Schema::Impl::CheckElement(const sheets::XmlNode& n, const Scope& scope, const std::string& type_name,
                                const std::string& path, Context& cx) const {
  auto simple = simple_index.find(type_name);
  if (simple != simple_index.end()) {
    CheckAttributes(n, scope, nullptr, path, cx);
    auto sc = std::make_shared<Scope>(scope);
    std::vector<Child> kids;
    Expand(n, sc, kids, cx, path);
    for (const auto& k : kids) Report(cx, path, "element <" + k.node->name + "> not allowed in text-only element");
    std::string why;
    if (!ValueOk(simple->second, n.text, why)) Report(cx, path, "text: " + why);
    return;
  }
  const Complex& c = complexes.at(type_name);
  if (c.open) return;
  CheckAttributes(n, scope, &c, path, cx);
  if (c.text >= 0) {
    std::string why;
    if (!ValueOk(c.text, n.text, why)) Report(cx, path, "text: " + why);
  } else if (!Trim(n.text).empty()) {
    Report(cx, path, "text not allowed in " + c.name);
  }
  auto sc = std::make_shared<Scope>(scope);
  std::vector<Child> kids;
  Expand(n, sc, kids, cx, path);

  const Nfa& nfa = NfaOf(c);
  std::vector<char> set(nfa.states.size(), 0);
  set[size_t(nfa.start)] = 1;
  Closure(nfa, set);
  std::map<std::string, int> counts;
  std::string previous;
  auto expected = [&](const std::vector<char>& st) {
    std::set<std::string> names;
    for (size_t i = 0; i < st.size(); ++i)
      if (st[i] && nfa.states[i].decl) {
        const Particle* d = nfa.states[i].decl;
        names.insert(d->kind == Particle::Kind::Any ? "(any element)" : d->local);
      }
    std::string out;
    for (const auto& s : names) out += (out.empty() ? "" : ", ") + s;
    return out.empty() ? std::string("nothing more") : out;
  };
  for (const auto& k : kids) {
    std::string child_path = path + "/" + k.node->name + "[" + std::to_string(++counts[k.node->name]) + "]";
    std::vector<char> next(nfa.states.size(), 0);
    const Particle* decl = nullptr;
    bool any = false;
    for (size_t i = 0; i < set.size(); ++i) {
      if (!set[i] || !nfa.states[i].decl) continue;
      const Particle* d = nfa.states[i].decl;
      if (Matches(*d, c.ns, k.ns, k.local)) {
        next[size_t(nfa.states[i].next)] = 1;
        any = true;
        if (!decl || (decl->kind == Particle::Kind::Any && d->kind == Particle::Kind::Element)) decl = d;
      }
    }
    if (any) {
      Closure(nfa, next);
      set = std::move(next);
    } else {
      decl = FindDecl(c.content, c.ns, k.ns, k.local);
      if (!decl) {
        Report(cx, child_path, "element <" + k.local + "> is not allowed in " + c.name);
      } else if (previous == k.local) {
        Report(cx, child_path, "too many <" + k.local + "> in " + c.name);
      } else {
        Report(cx, child_path,
               "<" + k.local + "> out of order in " + c.name + (previous.empty() ? "" : " (after <" + previous + ">)") +
                   "; expected: " + expected(set));
      }
      if (decl) {
        // Carries on both as if the child were absent and as if it stood where the content model
        // allows it, so that one fault is reported once and not again for every sibling after it.
        for (const auto& st : nfa.states)
          if (st.decl && Matches(*st.decl, c.ns, k.ns, k.local)) set[size_t(st.next)] = 1;
        Closure(nfa, set);
      }
    }
    previous = k.local;
    if (!decl) continue;
    if (decl->kind == Particle::Kind::Any) {
      // A wildcard's element is checked when the table declares it, else it is any content.
      auto g = globals.find({k.ns, k.local});
      if (g != globals.end()) CheckElement(*k.node, *k.scope, g->second.first, child_path, cx);
      continue;
    }
    CheckElement(*k.node, *k.scope, decl->type, child_path, cx);
  }
  if (!set[size_t(nfa.accept)])
    Report(cx, path, "required child missing in " + c.name + "; expected: " + expected(set));
}

// ---- the public face ---------------------------------------------------------------------------------

Schema::Schema() : impl_(std::make_unique<Impl>()) {}
Schema::Schema(Schema&&) noexcept = default;
Schema& Schema::operator=(Schema&&) noexcept = default;
Schema::~Schema() = default;

Schema Schema::FromText(std::string_view text) {
  Schema s;
  s.impl_->Load(text);
  return s;
}

Schema Schema::FromFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read schema table " + path);
  std::ostringstream ss;
  ss << in.rdbuf();
  return FromText(ss.str());
}

bool Schema::Models(std::string_view content_type) const { return impl_->parts.count(std::string(content_type)) > 0; }

std::vector<Problem> Schema::CheckTree(std::string_view part_name, std::string_view content_type,
                                       const sheets::XmlNode& root) const {
  std::vector<Problem> out;
  Impl::Context cx{std::string(part_name), &out};
  auto it = impl_->parts.find(std::string(content_type));
  if (it == impl_->parts.end()) {
    impl_->Report(cx, "/", "content type " + std::string(content_type) + " is not in the table");
    return out;
  }
  Impl::Scope scope = Impl::Enter(root, Impl::Scope{});
  bool ok = true;
  auto [rns, rlocal] = Impl::Resolve(root.name, scope, false, ok);
  std::string path = "/" + root.name;
  if (!ok || rns != it->second.root_ns || rlocal != it->second.root_local) {
    impl_->Report(
        cx, path,
        "root element is {" + rns + "}" + rlocal + ", expected {" + it->second.root_ns + "}" + it->second.root_local);
    return out;
  }
  impl_->CheckElement(root, scope, it->second.type, path, cx);
  return out;
}

std::vector<Problem> Schema::CheckPart(std::string_view part_name, std::string_view content_type,
                                       std::string_view xml) const {
  sheets::XmlNode root;
  try {
    root = sheets::ParseXmlTree(xml);
  } catch (const std::exception& e) {
    return {{std::string(part_name), "/", std::string("not well-formed XML: ") + e.what()}};
  }
  return CheckTree(part_name, content_type, root);
}

std::string PackageReport::Summary() const {
  std::string out;
  for (const auto& p : problems) out += p.ToString() + "\n";
  return out;
}

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& ch : out)
    if (ch >= 'A' && ch <= 'Z') ch = char(ch + 32);
  return out;
}

constexpr std::string_view kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// Every attribute of the relationships namespace (r:id, r:embed, ...) names a relationship of the part.
void CheckRelIds(const sheets::XmlNode& n, std::map<std::string, std::string> prefixes, const std::string& path,
                 const std::string& part, const std::set<std::string>& ids, std::vector<Problem>& out) {
  for (const auto& [k, v] : n.attrs)
    if (k.starts_with("xmlns:")) prefixes[k.substr(6)] = v;
  std::string here = path + "/" + n.name;
  for (const auto& [k, v] : n.attrs) {
    size_t colon = k.find(':');
    if (colon == std::string::npos || k.starts_with("xmlns")) continue;
    auto it = prefixes.find(k.substr(0, colon));
    if (it != prefixes.end() && it->second == kRelNs && !ids.count(v))
      out.push_back({part, here, "attribute " + k + " names relationship \"" + v + "\", which the part does not have"});
  }
  for (const auto& c : n.children) CheckRelIds(c, prefixes, here, part, ids, out);
}

struct ParsedPart {
  std::string name, type;
  sheets::XmlNode tree;
  ParsedPart(std::string n, std::string t, sheets::XmlNode x)
      : name(std::move(n)), type(std::move(t)), tree(std::move(x)) {}
};

// 0-based row and column of "B7"; false when it is not a cell reference.
bool CellOf(std::string_view ref, uint32_t& row, uint32_t& col) {
  size_t i = 0;
  col = 0;
  while (i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z') col = col * 26 + uint32_t(ref[i++] - 'A' + 1);
  if (i == 0 || i == ref.size()) return false;
  row = 0;
  for (; i < ref.size(); ++i) {
    if (ref[i] < '0' || ref[i] > '9') return false;
    row = row * 10 + uint32_t(ref[i] - '0');
  }
  --row, --col;
  return true;
}

std::optional<uint64_t> Number(const sheets::XmlNode& n, std::string_view attr) {
  const std::string* v = n.Attr(attr);
  if (!v || v->empty() || v->find_first_not_of("0123456789") != std::string::npos || v->size() > 18)
    return std::nullopt;
  return std::stoull(*v);
}

// What Excel checks across the parts of a workbook and repairs when it fails: indexes into the
// style tables, shared strings and sheets within range, names unique, rows and cells in ascending
// order, merged areas apart.
void CheckConsistency(const std::vector<ParsedPart>& parts, std::vector<Problem>& out) {
  constexpr std::string_view kMain = ".spreadsheetml.";
  const ParsedPart *workbook = nullptr, *styles = nullptr, *sst = nullptr;
  for (const auto& p : parts) {
    if (p.type.find(kMain) == std::string::npos && p.type.find("ms-excel") == std::string::npos) continue;
    if (p.tree.local() == "workbook") workbook = &p;
    if (p.tree.local() == "styleSheet") styles = &p;
    if (p.tree.local() == "sst") sst = &p;
  }
  auto count = [](const sheets::XmlNode* holder, std::string_view child) -> uint64_t {
    return holder ? holder->ChildrenNamed(child).size() : 0;
  };
  const sheets::XmlNode* st = styles ? &styles->tree : nullptr;
  const uint64_t fonts = count(st ? st->Child("fonts") : nullptr, "font");
  const uint64_t fills = count(st ? st->Child("fills") : nullptr, "fill");
  const uint64_t borders = count(st ? st->Child("borders") : nullptr, "border");
  const uint64_t style_xfs = count(st ? st->Child("cellStyleXfs") : nullptr, "xf");
  const uint64_t cell_xfs = count(st ? st->Child("cellXfs") : nullptr, "xf");
  const uint64_t dxfs = count(st ? st->Child("dxfs") : nullptr, "dxf");
  const uint64_t strings = sst ? count(&sst->tree, "si") : 0;
  auto report = [&](const std::string& part, const std::string& path, const std::string& what) {
    out.push_back({part, path, what});
  };

  if (st) {
    std::set<uint64_t> custom;
    if (auto* nf = st->Child("numFmts"))
      for (auto* f : nf->ChildrenNamed("numFmt"))
        if (auto id = Number(*f, "numFmtId"); id && !custom.insert(*id).second)
          report(styles->name, "/styleSheet/numFmts", "number format " + std::to_string(*id) + " defined twice");
    for (std::string_view table : {"cellStyleXfs", "cellXfs"}) {
      const sheets::XmlNode* t = st->Child(table);
      if (!t) continue;
      size_t k = 0;
      for (auto* xf : t->ChildrenNamed("xf")) {
        std::string path = "/styleSheet/" + std::string(table) + "/xf[" + std::to_string(++k) + "]";
        auto check = [&](std::string_view attr, uint64_t size, std::string_view what) {
          if (auto v = Number(*xf, attr); v && *v >= size)
            report(styles->name, path,
                   std::string(attr) + " " + std::to_string(*v) + " but " + std::to_string(size) + " " +
                       std::string(what));
        };
        check("fontId", fonts, "fonts");
        check("fillId", fills, "fills");
        check("borderId", borders, "borders");
        if (table == "cellXfs") check("xfId", style_xfs, "cell style formats");
        if (auto id = Number(*xf, "numFmtId"); id && *id >= 164 && !custom.count(*id))
          report(styles->name, path, "number format " + std::to_string(*id) + " is not defined");
      }
    }
    if (auto* cs = st->Child("cellStyles")) {
      size_t k = 0;
      for (auto* c : cs->ChildrenNamed("cellStyle")) {
        ++k;
        if (auto v = Number(*c, "xfId"); v && *v >= style_xfs)
          report(styles->name, "/styleSheet/cellStyles/cellStyle[" + std::to_string(k) + "]",
                 "xfId " + std::to_string(*v) + " but " + std::to_string(style_xfs) + " cell style formats");
      }
    }
  }

  uint64_t sheet_count = 0, views = 0;
  if (workbook) {
    const sheets::XmlNode& wb = workbook->tree;
    std::set<std::string> names, ids;
    std::vector<bool> visible;
    if (auto* sh = wb.Child("sheets"))
      for (auto* s : sh->ChildrenNamed("sheet")) {
        ++sheet_count;
        visible.push_back(s->AttrOr("state", "visible") == "visible");
        std::string lower = Lower(s->AttrOr("name", ""));
        if (!names.insert(lower).second)
          report(workbook->name, "/workbook/sheets", "sheet name \"" + s->AttrOr("name", "") + "\" used twice");
        if (!ids.insert(s->AttrOr("sheetId", "")).second)
          report(workbook->name, "/workbook/sheets", "sheetId " + s->AttrOr("sheetId", "") + " used twice");
      }
    if (auto* bv = wb.Child("bookViews"))
      for (auto* v : bv->ChildrenNamed("workbookView")) {
        ++views;
        for (std::string_view attr : {"activeTab", "firstSheet"})
          if (auto n = Number(*v, attr); n && *n >= sheet_count)
            report(workbook->name, "/workbook/bookViews",
                   std::string(attr) + " " + std::to_string(*n) + " but " + std::to_string(sheet_count) + " sheets");
        uint64_t active = Number(*v, "activeTab").value_or(0);
        if (active < visible.size() && !visible[active])
          report(workbook->name, "/workbook/bookViews", "the active sheet " + std::to_string(active) + " is hidden");
      }
    if (views == 0 && !visible.empty() && !visible[0])
      report(workbook->name, "/workbook", "the active sheet 0 is hidden");
    if (sheet_count && std::find(visible.begin(), visible.end(), true) == visible.end())
      report(workbook->name, "/workbook/sheets", "no sheet is visible");
    if (auto* dn = wb.Child("definedNames")) {
      std::set<std::string> seen;
      for (auto* d : dn->ChildrenNamed("definedName")) {
        auto local = Number(*d, "localSheetId");
        if (local && *local >= sheet_count)
          report(workbook->name, "/workbook/definedNames",
                 "name " + d->AttrOr("name", "") + " belongs to sheet " + std::to_string(*local) + " of " +
                     std::to_string(sheet_count));
        if (!seen.insert(Lower(d->AttrOr("name", "")) + "|" + d->AttrOr("localSheetId", "")).second)
          report(workbook->name, "/workbook/definedNames",
                 "name " + d->AttrOr("name", "") + " defined twice in one scope");
      }
    }
  }

  // Shapes of one drawing have distinct ids.
  for (const auto& p : parts) {
    if (p.tree.local() != "wsDr" && p.tree.local() != "userShapes") continue;
    std::set<std::string> ids;
    std::vector<const sheets::XmlNode*> work{&p.tree};
    while (!work.empty()) {
      const sheets::XmlNode* n = work.back();
      work.pop_back();
      if (n->local() == "cNvPr" && !ids.insert(n->AttrOr("id", "")).second)
        report(p.name, "/" + p.tree.name, "shape id " + n->AttrOr("id", "") + " used twice");
      for (const auto& c : n->children) work.push_back(&c);
    }
  }

  for (const auto& p : parts) {
    if (p.tree.local() != "worksheet" && p.tree.local() != "chartsheet") continue;
    const sheets::XmlNode& ws = p.tree;
    const std::string root = "/" + ws.name;
    if (workbook)
      if (auto* svs = ws.Child("sheetViews"))
        for (auto* sv : svs->ChildrenNamed("sheetView"))
          if (auto id = Number(*sv, "workbookViewId"); id && *id >= std::max<uint64_t>(views, 1))
            report(p.name, root + "/sheetViews",
                   "workbookViewId " + std::to_string(*id) + " but " + std::to_string(views) + " workbook views");
    uint64_t last_col_max = 0;
    for (auto* cols : ws.ChildrenNamed("cols"))
      for (auto* c : cols->ChildrenNamed("col")) {
        if (auto s = Number(*c, "style"); s && styles && *s >= cell_xfs)
          report(p.name, root + "/cols",
                 "column style " + std::to_string(*s) + " but " + std::to_string(cell_xfs) + " cell formats");
        auto lo = Number(*c, "min"), hi = Number(*c, "max");
        if (lo && hi && (*lo > *hi || *lo <= last_col_max))
          report(p.name, root + "/cols",
                 "columns " + std::to_string(*lo) + ":" + std::to_string(*hi) + " overlap or go backwards");
        if (hi) last_col_max = std::max(last_col_max, *hi);
      }
    if (const sheets::XmlNode* data = ws.Child("sheetData")) {
      int64_t last_row = -1;
      size_t k = 0;
      for (auto* row : data->ChildrenNamed("row")) {
        std::string rpath = root + "/sheetData/row[" + std::to_string(++k) + "]";
        int64_t r = last_row + 1;
        if (auto n = Number(*row, "r")) r = int64_t(*n) - 1;
        if (r <= last_row)
          report(p.name, rpath,
                 "row " + std::to_string(r + 1) + " does not come after row " + std::to_string(last_row + 1));
        last_row = r;
        if (auto s = Number(*row, "s"); s && styles && *s >= cell_xfs)
          report(p.name, rpath,
                 "row style " + std::to_string(*s) + " but " + std::to_string(cell_xfs) + " cell formats");
        int64_t last_col = -1;
        for (auto* c : row->ChildrenNamed("c")) {
          uint32_t cr = 0, cc = uint32_t(last_col + 1);
          if (const std::string* ref = c->Attr("r")) {
            std::string plain;
            for (char ch : *ref)
              if (ch != '$') plain += ch;
            if (CellOf(plain, cr, cc) && int64_t(cr) != r)
              report(p.name, rpath, "cell " + *ref + " in row " + std::to_string(r + 1));
          }
          if (int64_t(cc) <= last_col)
            report(p.name, rpath, "cell " + c->AttrOr("r", "") + " does not come after the cell before it");
          last_col = cc;
          if (auto s = Number(*c, "s"); s && styles && *s >= cell_xfs)
            report(p.name, rpath,
                   "cell " + c->AttrOr("r", "") + " has format " + std::to_string(*s) + " but " +
                       std::to_string(cell_xfs) + " cell formats");
          if (c->AttrOr("t", "n") == "s") {
            const sheets::XmlNode* v = c->Child("v");
            uint64_t index = 0;
            bool ok = v && !v->text.empty() && v->text.find_first_not_of("0123456789") == std::string::npos &&
                      v->text.size() < 18;
            if (ok) index = std::stoull(v->text);
            if (!ok || index >= strings)
              report(p.name, rpath,
                     "cell " + c->AttrOr("r", "") + " names shared string " + (v ? v->text : "") + " of " +
                         std::to_string(strings));
          }
        }
      }
    }
    if (auto* merges = ws.Child("mergeCells")) {
      struct Area {
        uint32_t r0, c0, r1, c1;
        std::string ref;
      };
      std::vector<Area> areas;
      for (auto* m : merges->ChildrenNamed("mergeCell")) {
        std::string ref = m->AttrOr("ref", "");
        std::string plain;
        for (char ch : ref)
          if (ch != '$') plain += ch;
        size_t colon = plain.find(':');
        Area a{0, 0, 0, 0, ref};
        if (colon == std::string::npos || !CellOf(plain.substr(0, colon), a.r0, a.c0) ||
            !CellOf(plain.substr(colon + 1), a.r1, a.c1))
          continue;
        if (a.r1 < a.r0) std::swap(a.r0, a.r1);
        if (a.c1 < a.c0) std::swap(a.c0, a.c1);
        for (const auto& b : areas)
          if (a.r0 <= b.r1 && b.r0 <= a.r1 && a.c0 <= b.c1 && b.c0 <= a.c1)
            report(p.name, root + "/mergeCells", "merged areas " + b.ref + " and " + ref + " overlap");
        areas.push_back(a);
      }
    }
    for (auto* cf : ws.ChildrenNamed("conditionalFormatting"))
      for (auto* rule : cf->ChildrenNamed("cfRule"))
        if (auto d = Number(*rule, "dxfId"); d && styles && *d >= dxfs)
          report(p.name, root + "/conditionalFormatting",
                 "dxfId " + std::to_string(*d) + " but " + std::to_string(dxfs) + " differential formats");
  }
}

}  // namespace

PackageReport CheckPackage(const Schema& schema, std::string_view package) {
  PackageReport report;
  sheets::ZipReader zip({reinterpret_cast<const uint8_t*>(package.data()), package.size()});
  std::map<std::string, std::string> parts;  // lower-case name -> bytes
  std::map<std::string, std::string> names;  // lower-case name -> name as stored
  for (size_t i = 0; i < zip.entries().size(); ++i) {
    const std::string& name = zip.entries()[i].name;
    if (!name.empty() && name.back() == '/') continue;
    parts[Lower(name)] = zip.ReadAll(i, uint64_t(1) << 30);
    names[Lower(name)] = name;
  }
  const std::string ct_name = "[content_types].xml";
  constexpr std::string_view kTypesCt = "application/vnd.openxmlformats-package.content-types";
  constexpr std::string_view kRelsCt = "application/vnd.openxmlformats-package.relationships+xml";
  auto ct_it = parts.find(ct_name);
  if (ct_it == parts.end()) {
    report.problems.push_back({"[Content_Types].xml", "/", "the package has no content types part"});
    return report;
  }
  std::map<std::string, std::string> defaults, overrides;
  std::map<std::string, std::set<std::string>> rel_ids;  // lower-case source part -> its relationship ids
  std::vector<ParsedPart> trees;                         // the parts checked, for the checks across parts
  for (const auto& [lower, bytes] : parts) {
    size_t r = lower.rfind("_rels/");
    if (r == std::string::npos || !lower.ends_with(".rels")) continue;
    std::string source = lower.substr(0, r) + lower.substr(r + 6, lower.size() - r - 6 - 5);
    try {
      for (const auto& rel : sheets::ParseXmlTree(bytes).children) rel_ids[source].insert(rel.AttrOr("Id", ""));
    } catch (const std::exception&) {
      // reported when the relationships part itself is checked
    }
  }
  {
    sheets::XmlNode types = sheets::ParseXmlTree(ct_it->second);
    auto p = schema.CheckTree("[Content_Types].xml", kTypesCt, types);
    report.problems.insert(report.problems.end(), p.begin(), p.end());
    report.checked.push_back("[Content_Types].xml");
    for (const auto& c : types.children) {
      if (c.local() == "Default") {
        std::string ext = Lower(c.AttrOr("Extension", ""));
        if (defaults.count(ext))
          report.problems.push_back({"[Content_Types].xml", "/Types", "extension " + ext + " declared twice"});
        defaults[ext] = c.AttrOr("ContentType", "");
      } else if (c.local() == "Override") {
        std::string name = Lower(c.AttrOr("PartName", ""));
        if (overrides.count(name))
          report.problems.push_back({"[Content_Types].xml", "/Types", "part " + name + " declared twice"});
        if (!name.starts_with("/") || !parts.count(name.substr(1)))
          report.problems.push_back(
              {"[Content_Types].xml", "/Types", "override for a part the package lacks: " + name});
        overrides[name] = c.AttrOr("ContentType", "");
      }
    }
  }
  for (const auto& [lower, bytes] : parts) {
    if (lower == ct_name) continue;
    const std::string& name = names[lower];
    std::string type;
    if (auto o = overrides.find("/" + lower); o != overrides.end()) {
      type = o->second;
    } else {
      size_t dot = lower.rfind('.');
      if (dot != std::string::npos)
        if (auto d = defaults.find(lower.substr(dot + 1)); d != defaults.end()) type = d->second;
    }
    if (type.empty()) {
      report.problems.push_back({name, "/", "part has no content type"});
      continue;
    }
    if (type == kRelsCt) {
      // The part the relationships belong to: "xl/_rels/workbook.xml.rels" -> "xl/workbook.xml".
      size_t r = name.rfind("_rels/");
      std::string source =
          r == std::string::npos ? "" : name.substr(0, r) + name.substr(r + 6, name.size() - r - 6 - 5);
      if (!source.empty() && !parts.count(Lower(source)))
        report.problems.push_back({name, "/", "relationships of a part the package lacks: " + source});
      sheets::XmlNode rels;
      try {
        rels = sheets::ParseXmlTree(bytes);
      } catch (const std::exception& e) {
        report.problems.push_back({name, "/", std::string("not well-formed XML: ") + e.what()});
        continue;
      }
      auto p = schema.CheckTree(name, type, rels);
      report.problems.insert(report.problems.end(), p.begin(), p.end());
      report.checked.push_back(name);
      std::set<std::string> ids;
      for (const auto& rel : rels.children) {
        std::string id = rel.AttrOr("Id", "");
        if (!ids.insert(id).second)
          report.problems.push_back({name, "/Relationships", "relationship id " + id + " used twice"});
        if (rel.AttrOr("TargetMode", "Internal") == "External") continue;
        std::string target = sheets::opc::ResolveTarget(source, rel.AttrOr("Target", ""));
        if (!parts.count(Lower(target)))
          report.problems.push_back(
              {name, "/Relationships", "relationship " + id + " targets a missing part " + target});
      }
      continue;
    }
    if (!schema.Models(type)) {
      report.not_checked[name] = type;
      continue;
    }
    sheets::XmlNode tree;
    try {
      tree = sheets::ParseXmlTree(bytes);
    } catch (const std::exception& e) {
      report.problems.push_back({name, "/", std::string("not well-formed XML: ") + e.what()});
      continue;
    }
    auto p = schema.CheckTree(name, type, tree);
    report.problems.insert(report.problems.end(), p.begin(), p.end());
    CheckRelIds(tree, {}, "", name, rel_ids[lower], report.problems);
    report.checked.push_back(name);
    trees.emplace_back(name, type, std::move(tree));
  }
  CheckConsistency(trees, report.problems);
  return report;
}

}  // namespace schemacheck
