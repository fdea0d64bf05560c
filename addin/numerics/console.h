// The qsnum console: one line "NAME ARG ..." in, one line of results out.
#pragma once

#include <string>

namespace qs::numerics {

// Evaluates one console line. Results are printed with 17 significant digits, separated by
// single spaces (intervals as alpha, lower, upper); NaN prints as "nan", infinities as "inf" and
// "-inf". Unknown names and bad arguments give "error: ..." instead. An empty line (or one
// starting with '#') gives an empty line.
std::string EvaluateConsoleLine(const std::string& line);

// The operation names the console knows, space separated.
std::string ConsoleOperationNames();

}  // namespace qs::numerics
