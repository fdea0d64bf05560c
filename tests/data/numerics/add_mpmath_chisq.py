#!/usr/bin/env python3
"""Adds 30-digit reference values from mpmath to pchisq.txt (columns mp_lower, mp_upper).

R's pchisq is itself off by up to about 1e-12 (relative) in parts of the large-df Temme
region; the test uses these values to decide, where ours and R's disagree beyond 1e-12, which
of the two is right. Run after make_fixtures.R:  python3 add_mpmath_chisq.py
"""
import mpmath as mp

mp.mp.dps = 40


def fmt(v):
    if v is None or v < mp.mpf("1e-300"):  # no reference below 1e-300, as for R's values
        return "nan"
    return mp.nstr(v, 17, min_fixed=1, max_fixed=0) if v != 0 else "0"


def lower_series(a, x):
    # P(a, x) = x^a e^-x / Gamma(a + 1) * sum_k x^k / ((a + 1) ... (a + k)), for x < a.
    term, total, k = mp.mpf(1), mp.mpf(1), 0
    while term > total * mp.mpf(10) ** -35:
        k += 1
        term *= x / (a + k)
        total += term
    return mp.exp(a * mp.log(x) - x - mp.loggamma(a + 1)) * total


lines = open("pchisq.txt").read().splitlines()
out = []
for line in lines:
    if line.startswith("#"):
        out.append(line)
        continue
    fields = line.split()
    if fields[0] == "region":
        out.append(" ".join(fields[:5] + ["mp_lower", "mp_upper"]))
        continue
    x, df = mp.mpf(float(fields[1])), mp.mpf(float(fields[2]))  # the doubles exactly
    a, h = df / 2, x / 2
    try:
        # The smaller tail directly, the other as its complement.
        if h < a:
            lower = lower_series(a, h)
            upper = 1 - lower
        else:
            upper = mp.gammainc(a, h, mp.inf, regularized=True)
            lower = 1 - upper
    except (mp.libmp.libhyper.NoConvergence, ZeroDivisionError):
        lower = upper = None
    out.append(" ".join(fields[:5] + [fmt(lower), fmt(upper)]))
open("pchisq.txt", "w").write("\n".join(out) + "\n")
