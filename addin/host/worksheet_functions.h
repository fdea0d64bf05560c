// Worksheet functions A.LU, A.LU.PP and A.LU.PHASE: one Fourier component (power and phase) of a
// series sampled at given time points.
#pragma once

#include <vector>

#include "xll/xlcall.h"

namespace qs {

struct FourierComponent {
    double power;  // NaN when it cannot be computed
    double phase;  // degrees in [0, 360); NaN when it cannot be computed
};

// t: time points, x: values (at least as many as t), K: frequency number. A non-number among the
// used entries (given as NaN) makes both results NaN.
FourierComponent ComputeFourierComponent(const std::vector<double>& t, const std::vector<double>& x, double k);

enum class LuResult { Both, Power, Phase };
// The body of the three exports: frame, coercion, result in a static value.
XLOPER* LuFunction(LuResult which, XLOPER* timePoints, XLOPER* k, XLOPER* values);

}  // namespace qs
