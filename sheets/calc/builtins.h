// The table of built-in worksheet functions (builtins.cpp) used by the evaluator.
#pragma once

#include <string_view>
#include <vector>

#include "sheets/calc/eval.h"

namespace sheets::calc {

using Builtin = Operand (*)(const std::vector<Operand>& args, const EvalContext& context);

// The built-in function of that upper-case name ("_XLFN." prefix ignored), or null.
Builtin FindBuiltin(std::string_view name);

}  // namespace sheets::calc
