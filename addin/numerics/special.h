// Elementary and gamma-family helpers of the distribution core.
//
// These are the auxiliary routines of Didonato and Morris, ACM TOMS 708 (1992) and TOMS 654
// (1986), written in C++ from the published descriptions. They are internal to the numerics;
// the statistical code calls the wrappers in distributions.h.
#pragma once

namespace qs::numerics::detail {

// Machine constants (IEEE double), the values spmpar and exparg report.
inline constexpr double kEpsilon = 2.220446049250313e-16;  // spmpar(1)
inline constexpr double kTiny = 2.2250738585072014e-308;   // spmpar(2)
inline constexpr double kHuge = 1.7976931348623157e+308;   // spmpar(3)

double exparg(int l);           // largest (l == 0) or most negative (l != 0) exp argument
double esum(int mu, double x);  // exp(mu + x)
double rexp(double x);          // exp(x) - 1
double alnrel(double a);        // ln(1 + a)
double rlog(double x);          // x - 1 - ln(x)
double rlog1(double x);         // x - ln(1 + x)

double gam1(double a);                // 1 / Gamma(a + 1) - 1, -0.5 <= a <= 1.5
double gamln1(double a);              // ln Gamma(1 + a), -0.2 <= a <= 1.25
double gamln(double a);               // ln Gamma(a), a > 0
double gamma_fn(double a);            // Gamma(a)
double algdiv(double a, double b);    // ln(Gamma(b) / Gamma(a + b)), b >= 8
double bcorr(double a0, double b0);   // del(a0) + del(b0) - del(a0 + b0), a0, b0 >= 8
double betaln(double a0, double b0);  // ln Beta(a0, b0)
double gsumln(double a, double b);    // ln Gamma(a + b), 1 <= a, b <= 2
double psi(double x);                 // digamma

double erf_fn(double x);          // error function
double erfc1(int ind, double x);  // erfc(x), times exp(x*x) when ind != 0

// Constants of bratio's series and expansions that depend on the shape parameters alone
// (logarithms of beta and gamma functions, the coefficients of the asymptotic expansion). A
// search that evaluates I_x(a, b) at many x for the same a and b passes one of these to every
// call, so that they are computed once; the results are the same, bit for bit, as without it.
// Only for one search at a time: it is neither shared nor thread-safe.
struct BetaShapeMemo {
    struct Entry {
        int kind;
        double a, b;
        double v[4];
    };
    static constexpr int kEntries = 8;
    Entry entries[kEntries];
    int used = 0;
    // bgrat's coefficients c_n and d_n for the second shape parameter bgrat_b.
    double bgrat_b = 0.0;
    int bgrat_count = 0;
    double bgrat_c[30], bgrat_d[30];
};

// Incomplete beta ratio I_x(a, b) and its complement (TOMS 708). ierr as published. memo, when
// given, holds the shape constants between calls with the same a and b.
void bratio(double a, double b, double x, double y, double& w, double& w1, int& ierr, BetaShapeMemo* memo = nullptr);
// Incomplete gamma ratio P(a, x), Q(a, x) (TOMS 654); ind selects the accuracy (0 = highest).
// ans = 2 flags an argument error or an indeterminate result.
void gratio(double a, double x, double& ans, double& qans, int ind);

}  // namespace qs::numerics::detail
