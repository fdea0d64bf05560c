// Formulas parsed for calculation: a flat tree of nodes (constants, references, operators, function
// calls) made from a cell's formula text in A1 style.
//
//   auto f = sheets::calc::ParseFormula("SUM(A1:A4)*2+Data!B1", limits);
//   if (!f.ok) ... f.error says why;
//
// References keep their sheet name as written (empty: the formula's own sheet; a 3-D reference
// Sheet1:Sheet3!A1 has its last sheet too); the evaluator finds the sheets. Function names are kept
// upper-cased as written ("A.LU.PP", "SUM"). A reference written in one piece (A1:B3, A:A) is one
// Ref node; the range operator between other operands (A1:INDEX(A:A,5)) and the union of
// references in parentheses ((A1:A3,B1:B3)) are Binary nodes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sheets/model/constant.h"
#include "sheets/model/reference.h"
#include "sheets/model/value.h"

namespace sheets::calc {

enum class NodeKind : uint8_t { Constant, Array, Ref, Name, Function, Unary, Binary, Missing };

// Operators: '+', '-', '*', '/', '^', '&', '=', '<', '>', 'l' (<=), 'g' (>=), 'n' (<>), ':' (range
// between two references, binding tightest) and ',' (union of references); unary '-', '+' and '%'
// (percent, postfix).
struct Node {
  NodeKind kind = NodeKind::Missing;
  char op = 0;
  Value constant;              // Constant
  uint32_t array = 0;          // Array: index into Formula::arrays
  Reference ref;               // Ref
  std::string name;            // Name, Function (upper case)
  std::vector<uint32_t> args;  // Function: arguments; Unary: one; Binary: two
  // Ref: where the reference's text (with its sheet and workbook) stands in the formula text,
  // [text_begin, text_end); for tools that rewrite references in place.
  uint32_t text_begin = 0, text_end = 0;
};

struct Formula {
  bool ok = false;
  std::string error;  // why the text could not be parsed
  std::vector<Node> nodes;
  std::vector<ArrayConstant> arrays;
  uint32_t root = 0;
};

// Deepest nesting of parentheses and calls accepted, and most nodes in one formula (a chain of
// operators nests as deep as it is long), so hostile text cannot exhaust the stack.
inline constexpr int kMaxFormulaDepth = 200;
inline constexpr size_t kMaxFormulaNodes = 8192;

// Parses formula text (a leading '=' is allowed).
Formula ParseFormula(std::string_view text, const SheetLimits& limits);

// Names of the functions a formula calls, upper case, each once.
std::vector<std::string> FunctionNames(const Formula& formula);

}  // namespace sheets::calc
