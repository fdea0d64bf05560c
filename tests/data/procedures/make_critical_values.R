# Critical values behind the Tukey and Dunnett error protection of the one-way ANOVA's contrasts,
# computed with R, to check the built-in tables (addin/procedures/tables/*.inc) entry by entry.
#
#   Rscript make_critical_values.R          rewrites critical_values.csv here
#   Rscript make_critical_values.R tables   also writes the four table files in the tables folder
#                                           (three significant figures, as printed tables round)
#
# critical_values.csv: table (tukey or dunnett), alpha, df (Inf for the last row), k (groups,
# the control included for Dunnett), value (17 significant digits).
#
# Studentized range: R's qtukey; for 1 degree of freedom (where qtukey gives NaN) the quantile of
# the range over an independent chi-based scale, integrated directly.
# Dunnett (two-sided, many against one control, equal group sizes): P(max |T_i| <= c) for k - 1
# statistics with correlation 1/2, as a one-dimensional integral over the shared normal part and
# the scale (the same quantity mvtnorm's pmvt computes by Genz's method; a few entries are checked
# against mvtnorm below).

args <- commandArgs(trailingOnly = TRUE)

ptukey1 <- function(q, k, df)
  integrate(function(s) ptukey(q * s, k, Inf) * 2 * df * s * dchisq(df * s^2, df), 0, Inf,
            rel.tol = 1e-12)$value
q_range <- function(p, k, df) {
  if (is.infinite(df) || df >= 2) return(qtukey(p, k, df))
  uniroot(function(q) ptukey1(q, k, df) - p, c(1, 1000), tol = 1e-12)$root
}

# P(max |Z_i| <= c s) over the equicorrelated normals Z_i = (Y + E_i) / sqrt(2).
p_dunnett_z <- function(x, m)
  integrate(function(y) dnorm(y) * (pnorm(sqrt(2) * x - y) - pnorm(-sqrt(2) * x - y))^m,
            -Inf, Inf, rel.tol = 1e-12)$value
p_dunnett <- function(c, m, df) {
  if (is.infinite(df)) return(p_dunnett_z(c, m))
  integrate(Vectorize(function(s) p_dunnett_z(c * s, m) * 2 * df * s * dchisq(df * s^2, df)),
            0, Inf, rel.tol = 1e-10)$value
}
q_dunnett <- function(p, k, df)
  uniroot(function(c) p_dunnett(c, k - 1, df) - p, c(0.5, 20), tol = 1e-12)$root

tukey_df <- c(1:20, 24, 30, 40, 60, 120, Inf)
dunnett_df <- c(5:20, 24, 30, 40, 60, 120, Inf)
rows <- c()
tables <- list()
for (alpha in c(0.05, 0.01)) {
  tk <- t(sapply(tukey_df, function(df) sapply(2:20, function(k) q_range(1 - alpha, k, df))))
  dn <- t(sapply(dunnett_df, function(df) sapply(2:10, function(k) q_dunnett(1 - alpha, k, df))))
  for (i in seq_along(tukey_df)) for (k in 2:20)
    rows <- c(rows, sprintf("tukey,%g,%s,%d,%.17g", alpha, tukey_df[i], k, tk[i, k - 1]))
  for (i in seq_along(dunnett_df)) for (k in 2:10)
    rows <- c(rows, sprintf("dunnett,%g,%s,%d,%.17g", alpha, dunnett_df[i], k, dn[i, k - 1]))
  tables[[sprintf("tukey%g", alpha)]] <- list(df = tukey_df, v = tk)
  tables[[sprintf("dunnett%g", alpha)]] <- list(df = dunnett_df, v = dn)
}
writeLines(c("table,alpha,df,k,value", rows), "critical_values.csv")

# The integral against mvtnorm's multivariate t on a few entries (mvtnorm is slow in 9 dimensions).
if (requireNamespace("mvtnorm", quietly = TRUE)) {
  for (case in list(c(2, 5), c(4, 10), c(3, 24), c(5, Inf))) {
    m <- case[1] - 1; R <- matrix(0.5, m, m); diag(R) <- 1
    set.seed(1)
    mv <- mvtnorm::qmvt(0.95, tail = "both.tails", df = ifelse(is.infinite(case[2]), 0, case[2]),
                        corr = R, abseps = 1e-6)$quantile
    ours <- q_dunnett(0.95, case[1], case[2])
    cat(sprintf("Dunnett k=%d df=%g: integral %.6f, mvtnorm %.6f\n", case[1], case[2], ours, mv))
    stopifnot(abs(ours - mv) < 1e-3)
  }
}

if (length(args) && args[1] == "tables") {
  names <- c(tukey0.05 = "studentized_range_05", tukey0.01 = "studentized_range_01",
             dunnett0.05 = "dunnett_05", dunnett0.01 = "dunnett_01")
  for (key in names(names)) {
    t <- tables[[key]]
    v <- signif(t$v, 3)
    # the Part's own example entry (the printed table's value)
    if (key == "tukey0.05") v[1, 1] <- 18.1
    lines <- sapply(seq_along(t$df), function(i) {
      df <- if (is.infinite(t$df[i])) "3.40282347e38f" else sprintf("%d", t$df[i])
      lit <- sprintf("%g", v[i, ])
      lit <- ifelse(grepl(".", lit, fixed = TRUE), lit, paste0(lit, ".0"))  # 3 as 3.0f, a float literal
      paste0(df, ", ", paste(paste0(lit, "f"), collapse = ", "), ",")
    })
    what <- if (startsWith(key, "tukey")) "Studentized range q" else "Dunnett's two-sided many-against-control d"
    note <- c(sprintf("// %s at alpha %s: one row per DF (the last, the largest float, for infinity),", what,
                      sub("^[a-z]+", "", key)),
              "// the values for k = 2 groups upwards (k counts the control for Dunnett). The published critical",
              "// values to three significant figures, as printed tables give them; entered as the quantiles",
              "// R computes (tests/data/procedures/make_critical_values.R) rounded so, which the tests check",
              "// entry by entry.",
              if (key == "tukey0.05") "// DF 1, k = 2 keeps the printed table's 18.1 (the quantile is 17.97)." else NULL)
    writeLines(c(note, lines), file.path("../../../addin/procedures/tables", paste0(names[[key]], ".inc")))
  }
}
