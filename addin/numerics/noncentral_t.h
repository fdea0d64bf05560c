// The noncentral t distribution: its lower tail, and the noncentrality parameter that gives an
// observed t a wanted lower-tail probability (the pivot of the interval of a standardised effect
// size).
#pragma once

namespace qs::numerics {

// P(T <= t) for T noncentral t with df degrees of freedom and noncentrality ncp; NaN for df <= 0
// or arguments that are not numbers.
double NoncentralTLower(double t, double df, double ncp);

// The ncp with NoncentralTLower(t, df, ncp) = p (0 < p < 1); the lower tail falls as ncp grows, so
// the root is unique. NaN when t, df or p are outside their ranges.
double NoncentralityFor(double t, double df, double p);

}  // namespace qs::numerics
