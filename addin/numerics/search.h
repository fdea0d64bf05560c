// Bracketing search and zero finder of the distribution core.
//
// dinvr (set up by dstinv in the published code): given a monotone function f and a starting
// point x in [small, big], steps away from x by max(absstp, relstp |x|), multiplying the step by
// stpmul, until f changes sign or the range is exhausted, then hands the bracket to dzror.
// dzror (set up by dstzr): Algorithm R of Bus and Dekker, "Two efficient algorithms with
// guaranteed convergence for finding a zero of a function", ACM TOMS 1 (1975) 330-345, which
// returns xlo with |f(xlo)| <= |f(xhi)| and |xlo - xhi| <= max(abstol, reltol |xlo|).
// Both after DCDFLIB (Brown, Lovato and Russell).
//
// This version: the published routines talk to their caller by reverse communication and keep
// their state in static storage, so they cannot be nested or re-entered. Here the caller passes
// the function itself and the state lives on the stack; the sequence of evaluation points and
// the answers are the same. The zero finder stops after kMaxZeroSteps evaluations, which the
// published algorithm never needs (its steps are at worst bisections) but which keeps a NaN from
// the function from looping for ever.
#pragma once

#include <algorithm>
#include <cmath>

#include "addin/numerics/numerics_error.h"

namespace qs::numerics::detail {

struct SearchRange {
    double small;   // left end of the range searched
    double big;     // right end
    double absstp;  // initial step: max(absstp, relstp |x|)
    double relstp;
    double stpmul;  // step growth factor
    double abstol;  // tolerance of the answer: max(abstol, reltol |x|)
    double reltol;
};

struct SearchOutcome {
    int status = 0;      // 0 found; -1 not bounded by the range (or f has no sign change)
    bool qleft = false;  // with status -1: the search stopped at small (true) or big (false)
    bool qhi = false;    // with status -1: f was above (true) or below (false) the target there
};

inline constexpr int kMaxZeroSteps = 2000;

// Zero of f in [xlo, xhi]; x receives the end with the smaller |f|.
template <class F>
SearchOutcome dzror(double xxlo, double xxhi, double abstol, double reltol, double& x, F&& f) {
    SearchOutcome out;
    double xlo = xxlo;
    double b = xlo;
    double fb = f(b);
    xlo = xxhi;
    double a = xlo;
    double fa = f(a);
    if (fb < 0.0 && fa < 0.0) {
        out.status = -1;
        out.qleft = fa < fb;
        out.qhi = false;
        x = xlo;
        return out;
    }
    if (fb > 0.0 && fa > 0.0) {
        out.status = -1;
        out.qleft = fa > fb;
        out.qhi = true;
        x = xlo;
        return out;
    }
    bool first = true;
    double c = a, fc = fa;
    double d = 0.0, fd = 0.0;
    int ext = 0;
    double w = 0.0, mb = 0.0;
    for (int step = 0;; ++step) {
        if (std::fabs(fc) < std::fabs(fb)) {
            if (c != a) {
                d = a;
                fd = fa;
            }
            a = b;
            fa = fb;
            xlo = c;
            b = xlo;
            fb = fc;
            c = a;
            fc = fa;
        }
        double tol = 0.5 * std::max(abstol, reltol * std::fabs(xlo));
        const double m = (c + b) * 0.5;
        mb = m - b;
        if (!(std::fabs(mb) > tol) || step >= kMaxZeroSteps) break;
        if (ext > 3) {
            w = mb;
        } else {
            tol = std::copysign(tol, mb);
            double p = (b - a) * fb;
            double q;
            if (first) {
                q = fa - fb;
                first = false;
            } else {
                const double fdb = (fd - fb) / (d - b);
                const double fda = (fd - fa) / (d - a);
                p = fda * p;
                q = fdb * fa - fda * fb;
            }
            if (p < 0.0) {
                p = -p;
                q = -q;
            }
            if (ext == 3) p *= 2.0;
            if (p * 1.0 == 0.0 || p <= q * tol)
                w = tol;
            else if (p < mb * q)
                w = p / q;
            else
                w = mb;
        }
        d = a;
        fd = fa;
        a = b;
        fa = fb;
        b += w;
        xlo = b;
        fb = f(xlo);
        if (fc * fb >= 0.0) {
            c = a;
            fc = fa;
            ext = 0;
        } else if (w == mb) {
            ext = 0;
        } else {
            ext += 1;
        }
    }
    x = xlo;
    const bool qrzero = (fc >= 0.0 && fb <= 0.0) || (fc < 0.0 && fb >= 0.0);
    out.status = qrzero ? 0 : -1;
    return out;
}

// Solves f(x) = 0 for monotone f, starting from x. Raises "error in iterative routine" when
// small <= x <= big does not hold.
template <class F>
SearchOutcome dinvr(const SearchRange& r, double& x, F&& function) {
    // The zero finder starts by evaluating both ends of the bracket the stepping search has
    // just evaluated; remembering the last few values saves those repeats (same values, same
    // iterates).
    struct Remembered {
        double x, fx;
    } memo[3];
    int stored = 0, next = 0;
    auto f = [&](double v) {
        for (int i = 0; i < stored; ++i)
            if (memo[i].x == v) return memo[i].fx;
        const double fv = function(v);
        memo[next] = {v, fv};
        next = (next + 1) % 3;
        if (stored < 3) ++stored;
        return fv;
    };
    SearchOutcome out;
    if (!(r.small <= x && x <= r.big)) RaiseIterativeRoutineError();
    const double xsave = x;
    const double fsmall = f(r.small);
    const double fbig = f(r.big);
    const bool qincr = fbig > fsmall;
    if (qincr) {
        // x is left at big, the last point evaluated, as the published routine leaves it.
        if (fsmall > 0.0) {
            out.status = -1;
            out.qleft = true;
            out.qhi = true;
            x = r.big;
            return out;
        }
        if (fbig < 0.0) {
            out.status = -1;
            out.qleft = false;
            out.qhi = false;
            x = r.big;
            return out;
        }
    } else {
        if (fsmall < 0.0) {
            out.status = -1;
            out.qleft = true;
            out.qhi = false;
            x = r.big;
            return out;
        }
        if (fbig > 0.0) {
            out.status = -1;
            out.qleft = false;
            out.qhi = true;
            x = r.big;
            return out;
        }
    }
    x = xsave;
    double step = std::max(r.absstp, r.relstp * std::fabs(x));
    double yy = f(x);
    if (yy == 0.0) return out;
    const bool qup = (qincr && yy < 0.0) || (!qincr && yy > 0.0);
    double xlb, xub;
    if (qup) {
        xlb = xsave;
        xub = std::min(xlb + step, r.big);
        for (;;) {
            yy = f(xub);
            const bool qbdd = (qincr && yy >= 0.0) || (!qincr && yy <= 0.0);
            const bool qlim = xub >= r.big;
            if (qbdd || qlim) {
                if (qlim && !qbdd) {
                    out.status = -1;
                    out.qleft = false;
                    out.qhi = !qincr;
                    x = r.big;
                    return out;
                }
                break;
            }
            step *= r.stpmul;
            xlb = xub;
            xub = std::min(xlb + step, r.big);
        }
    } else {
        xub = xsave;
        xlb = std::max(xub - step, r.small);
        for (;;) {
            yy = f(xlb);
            const bool qbdd = (qincr && yy <= 0.0) || (!qincr && yy >= 0.0);
            const bool qlim = xlb <= r.small;
            if (qbdd || qlim) {
                if (qlim && !qbdd) {
                    out.status = -1;
                    out.qleft = true;
                    out.qhi = qincr;
                    x = r.small;
                    return out;
                }
                break;
            }
            step *= r.stpmul;
            xub = xlb;
            xlb = std::max(xub - step, r.small);
        }
    }
    dzror(xlb, xub, r.abstol, r.reltol, x, f);
    out.status = 0;
    return out;
}

}  // namespace qs::numerics::detail
