// The one run-time error of the distribution core.
//
// The bracketing search of the distribution core (search.h) stops with "error in iterative
// routine" when its bounds and starting point are not in order. The numerics raise it through
// RaiseIterativeRoutineError(), which throws NumericsError; the add-in's host layer catches
// NumericsError at its boundary and re-raises it as the add-in's own exception type. Nothing
// else in the numerics throws: impossible results are NaN.
#pragma once

#include <stdexcept>
#include <string>

namespace qs::numerics {

// Text of the search failure, shown to the user as it is.
inline constexpr const char* kIterativeRoutineErrorText = "error in iterative routine";

class NumericsError : public std::runtime_error {
public:
    explicit NumericsError(const std::string& text) : std::runtime_error(text) {}
};

// Throws NumericsError(kIterativeRoutineErrorText). The single raise point of the numerics.
[[noreturn]] void RaiseIterativeRoutineError();

}  // namespace qs::numerics
