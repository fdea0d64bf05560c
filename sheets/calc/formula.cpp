// Recursive-descent parser of A1 formula text into the flat node tree of formula.h.
#include "sheets/calc/formula.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <set>

namespace sheets::calc {
namespace {

bool IsWordStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '\\' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool IsWordChar(char c) {
  return IsWordStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == ':';
}
bool IsAreaChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '$' || c == ':'; }

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

class Parser {
 public:
  Parser(std::string_view text, const SheetLimits& limits, Formula& out) : s_(text), limits_(limits), f_(out) {}

  void Run() {
    if (!s_.empty() && s_[0] == '=') pos_ = 1;
    uint32_t root = Comparison();
    Skip();
    if (failed_) return;
    if (pos_ != s_.size()) return Fail("unexpected text at \"" + std::string(s_.substr(pos_, 12)) + "\"");
    f_.root = root;
    f_.ok = true;
  }

 private:
  std::string_view s_;
  size_t pos_ = 0;
  const SheetLimits& limits_;
  Formula& f_;
  bool failed_ = false;
  int depth_ = 0;

  void Fail(std::string why) {
    if (!failed_) f_.error = std::move(why);
    failed_ = true;
  }
  void Skip() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r')) ++pos_;
  }
  char Peek() {
    Skip();
    return pos_ < s_.size() ? s_[pos_] : '\0';
  }
  uint32_t Add(Node n) {
    if (f_.nodes.size() >= kMaxFormulaNodes) {
      Fail("formula too long");
      return 0;
    }
    f_.nodes.push_back(std::move(n));
    return static_cast<uint32_t>(f_.nodes.size() - 1);
  }
  uint32_t Binary(char op, uint32_t a, uint32_t b) {
    Node n;
    n.kind = NodeKind::Binary;
    n.op = op;
    n.args = {a, b};
    return Add(std::move(n));
  }
  uint32_t ConstantNode(Value v) {
    Node n;
    n.kind = NodeKind::Constant;
    n.constant = std::move(v);
    return Add(std::move(n));
  }

  // A comparison operator at the cursor ('l' <=, 'g' >=, 'n' <>), consumed; 0 when none.
  char ComparisonOp() {
    char c = Peek();
    if (c == '=') return ++pos_, '=';
    if (c != '<' && c != '>') return 0;
    ++pos_;
    char next = pos_ < s_.size() ? s_[pos_] : '\0';
    if (c == '<' && next == '=') return ++pos_, 'l';
    if (c == '<' && next == '>') return ++pos_, 'n';
    if (c == '>' && next == '=') return ++pos_, 'g';
    return c;
  }

  uint32_t Comparison() {
    if (++depth_ > kMaxFormulaDepth) {
      Fail("formula nested too deeply");
      return 0;
    }
    uint32_t left = Concat();
    while (!failed_) {
      char op = ComparisonOp();
      if (!op) break;
      left = Binary(op, left, Concat());
    }
    --depth_;
    return left;
  }
  uint32_t Concat() {
    uint32_t left = Additive();
    while (!failed_ && Peek() == '&') {
      ++pos_;
      left = Binary('&', left, Additive());
    }
    return left;
  }
  uint32_t Additive() {
    uint32_t left = Multiplicative();
    while (!failed_ && (Peek() == '+' || Peek() == '-')) {
      char op = s_[pos_++];
      left = Binary(op, left, Multiplicative());
    }
    return left;
  }
  uint32_t Multiplicative() {
    uint32_t left = Power();
    while (!failed_ && (Peek() == '*' || Peek() == '/')) {
      char op = s_[pos_++];
      left = Binary(op, left, Power());
    }
    return left;
  }
  uint32_t Power() {
    uint32_t left = Unary();
    while (!failed_ && Peek() == '^') {
      ++pos_;
      left = Binary('^', left, Unary());
    }
    return left;
  }
  uint32_t Unary() {
    char c = Peek();
    if (c == '-' || c == '+') {
      ++pos_;
      if (++depth_ > kMaxFormulaDepth) {
        Fail("formula nested too deeply");
        return 0;
      }
      Node n;
      n.kind = NodeKind::Unary;
      n.op = c;
      n.args = {Unary()};
      --depth_;
      return Add(std::move(n));
    }
    uint32_t operand = RangeOperand();
    while (!failed_ && Peek() == '%') {
      ++pos_;
      Node n;
      n.kind = NodeKind::Unary;
      n.op = '%';
      n.args = {operand};
      operand = Add(std::move(n));
    }
    return operand;
  }

  // Operands joined by the range operator (A1:INDEX(A:A,5)), which binds tighter than any other.
  uint32_t RangeOperand() {
    uint32_t left = Primary();
    while (!failed_ && Peek() == ':') {
      ++pos_;
      left = Binary(':', left, Primary());
    }
    return left;
  }

  // An operand, with the place of its text noted when it is a reference.
  uint32_t Primary() {
    Skip();
    size_t begin = pos_;
    uint32_t id = Operand();
    if (!failed_ && f_.nodes[id].kind == NodeKind::Ref && f_.nodes[id].text_end == 0) {
      f_.nodes[id].text_begin = static_cast<uint32_t>(begin);
      f_.nodes[id].text_end = static_cast<uint32_t>(pos_);
    }
    return id;
  }

  uint32_t Operand() {
    char c = Peek();
    if (failed_) return 0;
    if (c == '(') {
      ++pos_;
      uint32_t inner = Comparison();
      while (!failed_ && Peek() == ',') {  // a union of references: (A1:A3,B1:B3)
        ++pos_;
        inner = Binary(',', inner, Comparison());
      }
      if (Peek() != ')')
        Fail("missing ')'");
      else
        ++pos_;
      return inner;
    }
    if (c == '"') return TextLiteral();
    if (c == '{') return ArrayLiteral();
    if (c == '#') return ErrorLiteral();
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
      if (auto rows = RowsReference()) return *rows;
      return NumberLiteral();
    }
    if (c == '\'') return QuotedSheetReference();
    if (c == '[') return ExternalReference();
    if (IsWordStart(c)) return Word();
    Fail(c ? "unexpected '" + std::string(1, c) + "'" : "formula ends too early");
    return 0;
  }

  uint32_t TextLiteral() {
    std::string text;
    for (++pos_; pos_ < s_.size(); ++pos_) {
      if (s_[pos_] == '"') {
        if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '"') {
          text += '"';
          ++pos_;
          continue;
        }
        ++pos_;
        return ConstantNode(Value::Text(text));
      }
      text += s_[pos_];
    }
    Fail("text without its closing '\"'");
    return 0;
  }

  uint32_t ArrayLiteral() {
    size_t start = pos_;
    bool quoted = false;
    for (; pos_ < s_.size(); ++pos_) {
      if (s_[pos_] == '"') quoted = !quoted;
      if (!quoted && s_[pos_] == '}') break;
    }
    if (pos_ >= s_.size()) {
      Fail("array constant without its closing '}'");
      return 0;
    }
    ++pos_;
    auto array = ParseArrayConstant(s_.substr(start, pos_ - start));
    if (!array) {
      Fail("malformed array constant");
      return 0;
    }
    f_.arrays.push_back(std::move(*array));
    Node n;
    n.kind = NodeKind::Array;
    n.array = static_cast<uint32_t>(f_.arrays.size() - 1);
    return Add(std::move(n));
  }

  uint32_t ErrorLiteral() {
    static constexpr ErrorCode kCodes[] = {ErrorCode::Null, ErrorCode::Div0, ErrorCode::Value, ErrorCode::Ref,
                                           ErrorCode::Name, ErrorCode::Num,  ErrorCode::NA};
    for (ErrorCode code : kCodes) {
      std::string_view text = ErrorText(code);
      if (s_.size() - pos_ >= text.size() && Upper(s_.substr(pos_, text.size())) == text) {
        pos_ += text.size();
        return ConstantNode(Value::Error(code));
      }
    }
    Fail("unknown error value");
    return 0;
  }

  uint32_t NumberLiteral() {
    size_t start = pos_;
    auto digits = [&] {
      while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    };
    digits();
    if (pos_ < s_.size() && s_[pos_] == '.') ++pos_, digits();
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      size_t mark = pos_++;
      if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
      if (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_])))
        digits();
      else
        pos_ = mark;
    }
    auto number = ParseNumberText(s_.substr(start, pos_ - start));
    if (!number) {
      Fail("malformed number");
      return 0;
    }
    return ConstantNode(Value::Number(*number));
  }

  // Where a run of characters `ok` accepts, starting at `from`, ends: before a second ':', since a
  // reference holds one at most (A1:A2:A3 is read a reference and an operator at a time, and a long
  // chain of them costs time in proportion to its length).
  size_t ScanEnd(size_t from, bool (*ok)(char)) const {
    bool colon = false;
    for (; from < s_.size() && ok(s_[from]); ++from) {
      if (s_[from] != ':') continue;
      if (colon) break;
      colon = true;
    }
    return from;
  }

  // Whole rows written with digits (1:3, 5:5) at the cursor, as a Ref node; nothing (and nothing
  // consumed) when the text there is not such a reference.
  std::optional<uint32_t> RowsReference() {
    size_t end = pos_;
    end = ScanEnd(end, IsAreaChar);
    std::string_view text = s_.substr(pos_, end - pos_);
    if (text.find(':') == std::string_view::npos) return std::nullopt;
    auto ref = ParseA1(text, limits_);
    if (!ref || ref->area.kind != AreaRef::Kind::Rows) return std::nullopt;
    pos_ = end;
    Node n;
    n.kind = NodeKind::Ref;
    n.ref = std::move(*ref);
    return Add(std::move(n));
  }

  // A1-style reference text at [start, pos_) that may run on into a range operator: when the whole
  // is no reference but holds ':', only what stands before the first ':' is taken (the cursor moves
  // back there), so A1:INDEX(...) reads as A1, then the operator.
  std::optional<Reference> ReferenceBeforeRangeOperator(size_t start) {
    std::string_view text = s_.substr(start, pos_ - start);
    if (auto ref = ParseA1(text, limits_)) return ref;
    size_t colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    pos_ = start + colon;
    return ParseA1(text.substr(0, colon), limits_);
  }

  // The area after "Sheet!", "'My sheet'!" or "Sheet1:Sheet3!" (a 3-D reference).
  uint32_t AreaOnSheet(std::string sheet) {
    size_t start = pos_;
    pos_ = ScanEnd(pos_, IsAreaChar);
    auto ref = ReferenceBeforeRangeOperator(start);
    if (!ref || !ref->sheet.empty()) {
      Fail("malformed reference to sheet \"" + sheet + "\"");
      return 0;
    }
    // Sheet names cannot hold ':', so one there separates the first and last sheet of a 3-D span.
    if (size_t colon = sheet.find(':'); colon != std::string::npos) {
      ref->last_sheet = sheet.substr(colon + 1);
      sheet.erase(colon);
      if (sheet.empty() || ref->last_sheet.empty()) {
        Fail("malformed 3-D reference");
        return 0;
      }
    }
    ref->sheet = std::move(sheet);
    Node n;
    n.kind = NodeKind::Ref;
    n.ref = std::move(*ref);
    return Add(std::move(n));
  }

  // [Book.xlsx]Sheet1!A1: kept as a reference into another workbook (which is not read).
  uint32_t ExternalReference() {
    size_t close = s_.find(']', pos_);
    if (close == std::string_view::npos) {
      Fail("'[' without its ']'");
      return 0;
    }
    std::string book(s_.substr(pos_ + 1, close - pos_ - 1));
    pos_ = close + 1;
    uint32_t id = pos_ < s_.size() && IsWordStart(s_[pos_]) ? Word() : 0;
    if (failed_ || f_.nodes.empty() || f_.nodes[id].kind != NodeKind::Ref) {
      Fail("malformed reference to workbook \"" + book + "\"");
      return 0;
    }
    f_.nodes[id].ref.workbook = std::move(book);
    return id;
  }

  uint32_t QuotedSheetReference() {
    std::string sheet;
    for (++pos_; pos_ < s_.size(); ++pos_) {
      if (s_[pos_] == '\'') {
        if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '\'') {
          sheet += '\'';
          ++pos_;
          continue;
        }
        break;
      }
      sheet += s_[pos_];
    }
    if (pos_ + 1 >= s_.size() || s_[pos_ + 1] != '!') {
      Fail("quoted sheet name without '!'");
      return 0;
    }
    pos_ += 2;
    std::string book;
    if (!sheet.empty() && sheet[0] == '[' && sheet.find(']') != std::string::npos) {
      book = sheet.substr(1, sheet.find(']') - 1);
      sheet.erase(0, sheet.find(']') + 1);
    }
    uint32_t id = AreaOnSheet(std::move(sheet));
    if (!failed_) f_.nodes[id].ref.workbook = std::move(book);
    return id;
  }

  uint32_t Word() {
    size_t start = pos_;
    pos_ = ScanEnd(pos_, IsWordChar);
    std::string_view word = s_.substr(start, pos_ - start);
    if (pos_ < s_.size() && s_[pos_] == '!') {
      ++pos_;
      return AreaOnSheet(std::string(word));
    }
    if (word.find(':') != std::string_view::npos) {
      if (auto ref = ReferenceBeforeRangeOperator(start)) {
        Node n;
        n.kind = NodeKind::Ref;
        n.ref = std::move(*ref);
        return Add(std::move(n));
      }
      // Not a reference before the ':' either (a name, TRUE ...): read that part alone.
      word = word.substr(0, word.find(':'));
      pos_ = start + word.size();
    }
    size_t after = pos_;
    if (Peek() == '(') {
      ++pos_;
      return Call(Upper(word));
    }
    pos_ = after;
    std::string upper = Upper(word);
    if (upper == "TRUE" || upper == "FALSE") return ConstantNode(Value::Boolean(upper == "TRUE"));
    if (auto ref = ParseA1(word, limits_)) {
      Node n;
      n.kind = NodeKind::Ref;
      n.ref = std::move(*ref);
      return Add(std::move(n));
    }
    Node n;
    n.kind = NodeKind::Name;
    n.name = std::string(word);
    return Add(std::move(n));
  }

  uint32_t Call(std::string name) {
    if (++depth_ > kMaxFormulaDepth) {
      Fail("formula nested too deeply");
      return 0;
    }
    Node n;
    n.kind = NodeKind::Function;
    n.name = std::move(name);
    if (Peek() == ')') {
      ++pos_;
    } else {
      for (;;) {
        char c = Peek();
        n.args.push_back(c == ',' || c == ')' ? Add(Node{}) : Comparison());
        if (failed_) break;
        c = Peek();
        ++pos_;
        if (c == ',') continue;
        if (c == ')') break;
        Fail("expected ',' or ')' in the arguments of " + n.name);
        break;
      }
    }
    --depth_;
    return Add(std::move(n));
  }
};

}  // namespace

Formula ParseFormula(std::string_view text, const SheetLimits& limits) {
  Formula f;
  Parser(text, limits, f).Run();
  return f;
}

std::vector<std::string> FunctionNames(const Formula& formula) {
  std::set<std::string> names;
  for (const Node& n : formula.nodes)
    if (n.kind == NodeKind::Function) names.insert(n.name);
  return {names.begin(), names.end()};
}

}  // namespace sheets::calc
