// Distribution core: cumulative distribution functions of the normal, Student t, chi-square, F
// and binomial distributions and the inversion of any one parameter, after the DCDFLIB routines
// of Brown, Lovato and Russell (cdfnor, cdft, cdfchi, cdff, cdfbin).
//
// Every argument is passed by reference, in the published order. which = 1 computes p and q
// from the others; which = 2, 3, 4 computes the parameter named in the table below from p, q
// and the rest. status: 0 success; -k argument k out of range (bound holds the violated limit);
// 1 or 2 the answer lies below or above the search range (bound holds that end); 3 p + q is not
// 1; 4 pr + ompr is not 1; 10 (cdfchi) the incomplete gamma routine could not answer.
// The searches raise "error in iterative routine" (numerics_error.h) when their range and
// starting point are out of order.
//
//   routine  which=2  which=3  which=4
//   cdfnor   x        mean     sd
//   cdft     t        df       -
//   cdfchi   x        df       -
//   cdff     f        dfn      dfd
//   cdfbin   s        xn       pr, ompr
#pragma once

namespace qs::numerics {

void cdfnor(int& which, double& p, double& q, double& x, double& mean, double& sd, int& status, double& bound);
void cdft(int& which, double& p, double& q, double& t, double& df, int& status, double& bound);
void cdfchi(int& which, double& p, double& q, double& x, double& df, int& status, double& bound);
void cdff(int& which, double& p, double& q, double& f, double& dfn, double& dfd, int& status, double& bound);
void cdfbin(int& which, double& p, double& q, double& s, double& xn, double& pr, double& ompr, int& status,
            double& bound);

// The pieces the routines above are built from (exposed for tests and the console).
void cumnor(double arg, double& cum, double& ccum);  // Cody's normal integral, both tails
double stvaln(double p);                             // starting value for the normal inverse
double dinvnr(double p, double q);                   // normal inverse by Newton iteration
double dt1(double p, double q, double df);           // starting value for the t inverse
void cumt(double t, double df, double& cum, double& ccum);
void cumchi(double x, double df, double& cum, double& ccum);
void cumf(double f, double dfn, double dfd, double& cum, double& ccum);
void cumbin(double s, double xn, double pr, double ompr, double& cum, double& ccum);

}  // namespace qs::numerics
