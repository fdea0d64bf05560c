#include "addin/host/worksheet_functions.h"

#include <cmath>
#include <limits>

#include "addin/host/xlcalls.h"
#include "addin/host/xll_app.h"

namespace qs {

FourierComponent ComputeFourierComponent(const std::vector<double>& t, const std::vector<double>& x, double k) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    FourierComponent r{nan, nan};
    size_t n = t.size();
    if (n == 0 || x.size() < n) return r;  // nothing to compute from, or values missing
    double omega = 6.28318530717958 * k / static_cast<double>(n);
    double c = 0, s = 0;
    for (size_t i = 0; i < n; ++i) {
        if (std::isnan(t[i]) || std::isnan(x[i])) return r;
        c += x[i] * std::cos(omega * t[i]);
        s += x[i] * std::sin(omega * t[i]);
    }
    // Sums whose size is within round-off of the terms they came from are zero: sin(pi) is not
    // exactly 0 in floating point, and a phase of 359.9999999999999 for a pure cosine would be wrong.
    double scale = 0;
    for (size_t i = 0; i < n; ++i) scale += std::fabs(x[i]);
    double noise = 64 * std::numeric_limits<double>::epsilon() * scale;
    if (std::fabs(c) < noise) c = 0;
    if (std::fabs(s) < noise) s = 0;
    double a = 2 * s / static_cast<double>(n);
    if (k == 0 || k == std::floor(static_cast<double>(n) / 2)) a = 0;
    double b = 2 * c / static_cast<double>(n);
    r.power = a * a + b * b;
    r.phase = std::atan2(a, b) * 57.29577951308239;
    if (r.phase < 0) r.phase += 360;
    return r;
}

namespace {
// Column 0 of each row of a coerced array; non-numbers as NaN.
std::vector<double> FirstColumn(const XlValue& a) {
    std::vector<double> out;
    for (uint16_t r = 0; r < a.Rows(); ++r) {
        const XlValue& v = a.Is(XLTYPE_MULTI) ? a.At(r, 0) : a;
        out.push_back(v.Is(XLTYPE_NUM) ? v.Number() : std::numeric_limits<double>::quiet_NaN());
    }
    return out;
}

void SetResult(XlValue& slot, double d) {
    if (std::isnan(d))
        slot.SetError(XLERR_NUM);
    else
        slot.SetNumber(d);
}
}  // namespace

XLOPER* LuFunction(LuResult which, XLOPER* timePoints, XLOPER* k, XLOPER* values) {
    static XlValue single;
    static XlValue cells[2];
    static XlValue pair;
    FourierComponent c{};
    uint16_t error = XLERR_NA;
    bool ok = Framed(
        [&] {
            XlValue missing;
            const XlValue& tv = timePoints ? *static_cast<XlValue*>(timePoints) : missing;
            const XlValue& kv = k ? *static_cast<XlValue*>(k) : missing;
            const XlValue& xv = values ? *static_cast<XlValue*>(values) : missing;
            XlValue t = XlCoerce(tv, XLTYPE_MULTI);
            XlValue kn = XlCoerce(kv, XLTYPE_NUM);
            XlValue x = XlCoerce(xv, XLTYPE_MULTI);
            c = ComputeFourierComponent(FirstColumn(t), FirstColumn(x), kn.Number());
        },
        &error);
    if (!ok) {
        single.SetError(error);
        return &single;
    }
    switch (which) {
        case LuResult::Power: SetResult(single, c.power); return &single;
        case LuResult::Phase: SetResult(single, c.phase); return &single;
        case LuResult::Both:
        default:
            // Static elements, no free flag: neither the host nor the add-in frees them.
            pair.xltype = XLTYPE_MULTI;
            pair.val.array.lparray = cells;
            pair.val.array.rows = 1;
            pair.val.array.columns = 2;
            SetResult(pair.At(0, 0), c.power);
            SetResult(pair.At(0, 1), c.phase);
            return &pair;
    }
}

}  // namespace qs
