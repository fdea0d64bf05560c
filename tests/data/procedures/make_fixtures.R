# Reference results for the z, t and F tests, computed with R.
#
#   Rscript make_fixtures.R        (run in this folder; rewrites the *.csv files here)
#
# Data files shared by the tests, and a results file per test:
#   one_sample_data.csv, two_group_data.csv, paired_data.csv
#                       dataset,group,value   the observations (group 1 and 2; for paired data
#                                             the two columns in pair order, NA where missing)
#   <test>_results.csv  one row per dataset, alternative and confidence level:
#     dataset       which dataset of the data file
#     tail          0 two-sided, 1 less, 2 greater
#     level         confidence level in percent
#     mu            hypothesised mean (one-sample tests), else NA
#     sigma         population SD (z test), else NA
#     unequal       1 for Welch's test, 0 pooled, NA elsewhere
#     estimate      difference between means (variance ratio for the F test)
#     statistic     z, t or F
#     df1, df2      degrees of freedom (df2 only for the F test)
#     p             p-value
#     lower, upper  confidence limits of the difference (or ratio); -Inf/Inf for open ends
# Numbers are written with 17 significant digits.

set.seed(20261208)

fmt <- function(x) ifelse(is.na(x), "NA", sprintf("%.17g", x))
alternatives <- c("two.sided", "less", "greater")
levels <- c(90, 95, 99, 80, 99.9)

sizes <- c(2, 3, 4, 5, 6, 8, 10, 12, 15, 20, 25, 30, 40, 50, 75, 100, 150, 250, 500, 1000)

# One sample of size n drawn in a way that varies with k: normal data at several scales and
# locations, skewed data, rounded (tied) laboratory-style values.
draw <- function(n, k, mean = NULL) {
  if (is.null(mean)) mean <- c(0, 5, -3, 100, 0.01, 2500)[k %% 6 + 1]
  s <- c(1, 0.3, 7, 15, 0.002, 120)[k %% 6 + 1]
  x <- switch(k %% 4 + 1,
              rnorm(n, mean, s),
              mean + s * (rexp(n) - 1),
              round(rnorm(n, mean, s), 1 + (k %% 3)),
              mean + s * rt(n, 4))
  if (sd(x) == 0) x[1] <- x[1] + s  # R refuses constant data
  x
}

write_data <- function(file, rows) {
  con <- file(file, "w")
  writeLines("dataset,group,value", con)
  for (r in rows) writeLines(sprintf("%d,%d,%s", r$dataset, r$group, fmt(r$value)), con)
  close(con)
}

results_header <- "dataset,tail,level,mu,sigma,unequal,estimate,statistic,df1,df2,p,lower,upper"

result_line <- function(dataset, tail, level, mu, sigma, unequal, estimate, statistic, df1, df2,
                        p, lower, upper) {
  paste(c(as.character(dataset), as.character(tail), fmt(c(level, mu, sigma, unequal, estimate,
        statistic, df1, df2, p, lower, upper))), collapse = ",")
}

data_rows <- function(dataset, group, values)
  lapply(values, function(v) list(dataset = dataset, group = group, value = v))

datasets <- 36

# ---------------------------------------------------------------- one-sample z and t
zdata <- list(); zres <- c(); tres <- c()
for (k in seq_len(datasets)) {
  n <- sizes[(k - 1) %% length(sizes) + 1]
  x <- draw(n, k)
  # the hypothesised mean near the data, sometimes exactly at the sample mean's neighbourhood
  mu <- signif(mean(x) + sd(x) * c(-1.5, -0.3, 0, 0.2, 0.8, 2.5)[k %% 6 + 1], 6)
  sigma <- signif(sd(x) * c(0.5, 1, 1.7)[k %% 3 + 1], 5)
  zdata <- c(zdata, data_rows(k, 1, x))
  for (a in 0:2) for (lv in levels) {
    alpha <- 1 - lv / 100
    # z by formula
    se <- sigma / sqrt(n)
    d <- mean(x) - mu
    z <- d / se
    if (a == 0) {
      p <- 2 * pnorm(-abs(z)); q <- qnorm(1 - alpha / 2); ci <- c(d - q * se, d + q * se)
    } else if (a == 1) {
      p <- pnorm(z); ci <- c(-Inf, d + qnorm(1 - alpha) * se)
    } else {
      p <- pnorm(z, lower.tail = FALSE); ci <- c(d - qnorm(1 - alpha) * se, Inf)
    }
    zres <- c(zres, result_line(k, a, lv, mu, sigma, NA, d, z, NA, NA, p, ci[1], ci[2]))
    r <- t.test(x, mu = mu, alternative = alternatives[a + 1], conf.level = lv / 100)
    tres <- c(tres, result_line(k, a, lv, mu, NA, NA, unname(r$estimate) - mu, unname(r$statistic),
                                unname(r$parameter), NA, r$p.value, r$conf.int[1] - mu,
                                r$conf.int[2] - mu))
  }
}
write_data("one_sample_data.csv", zdata)
writeLines(c(results_header, zres), "ztest1_results.csv")
writeLines(c(results_header, tres), "ttest1_results.csv")

# ---------------------------------------------------------------- two independent groups
idata <- list(); ires <- c(); fres <- c()
for (k in seq_len(datasets)) {
  n1 <- sizes[(k - 1) %% length(sizes) + 1]
  n2 <- sizes[(k * 7) %% length(sizes) + 1]
  x <- draw(n1, k)
  shift <- sd(x) * c(0, 0.4, -1, 2, 0.1, -0.05)[k %% 6 + 1]
  y <- draw(n2, k + (k %% 2), mean = mean(x) + shift)
  if (k %% 5 == 0) y <- y * 1.8 - mean(y) * 0.8  # markedly unequal spread
  idata <- c(idata, data_rows(k, 1, x), data_rows(k, 2, y))
  for (a in 0:2) for (lv in levels) {
    for (unequal in 0:1) {
      r <- t.test(x, y, var.equal = (unequal == 0), alternative = alternatives[a + 1],
                  conf.level = lv / 100)
      ires <- c(ires, result_line(k, a, lv, NA, NA, unequal, mean(x) - mean(y), unname(r$statistic),
                                  unname(r$parameter), NA, r$p.value, r$conf.int[1], r$conf.int[2]))
    }
    r <- var.test(x, y, alternative = alternatives[a + 1], conf.level = lv / 100)
    # var.test forms the upper tail as 1 - pf(F), which loses the digits of a tiny p-value; the
    # reference p takes each tail from pf itself (the same value wherever var.test is exact).
    f <- unname(r$statistic); df1 <- unname(r$parameter[1]); df2 <- unname(r$parameter[2])
    lower <- pf(f, df1, df2); upper <- pf(f, df1, df2, lower.tail = FALSE)
    p <- c(2 * min(lower, upper), lower, upper)[a + 1]
    stopifnot(abs(p - r$p.value) <= 1e-12 * max(1, p) + 1e-15)
    fres <- c(fres, result_line(k, a, lv, NA, NA, NA, unname(r$estimate), f, df1, df2, p,
                                r$conf.int[1], r$conf.int[2]))
  }
}
write_data("two_group_data.csv", idata)
writeLines(c(results_header, ires), "ttesti_results.csv")
writeLines(c(results_header, fres), "ftest_results.csv")

# ---------------------------------------------------------------- paired samples
pdata <- list(); pres <- c()
for (k in seq_len(datasets)) {
  n <- max(3, sizes[(k - 1) %% length(sizes) + 1])
  x <- draw(n, k)
  y <- x + sd(x) * (c(0, 0.3, -0.6, 1, 0.05, -0.2)[k %% 6 + 1] + rnorm(n, 0, 0.7))
  if (k %% 4 == 0 && n >= 6) {  # some pairs with a value missing on one side
    x[2] <- NA; y[n - 1] <- NA
  }
  pdata <- c(pdata, data_rows(k, 1, x), data_rows(k, 2, y))
  for (a in 0:2) for (lv in levels) {
    r <- t.test(x, y, paired = TRUE, alternative = alternatives[a + 1], conf.level = lv / 100)
    pres <- c(pres, result_line(k, a, lv, NA, NA, NA, unname(r$estimate), unname(r$statistic),
                                unname(r$parameter), NA, r$p.value, r$conf.int[1], r$conf.int[2]))
  }
}
write_data("paired_data.csv", pdata)
writeLines(c(results_header, pres), "ttestp_results.csv")

# ---------------------------------------------------------------- the dataset fixture workbooks
# Results for whole runs of the tests on workbooks of tests/data/dataset (their values as
# tests/data/dataset/make_fixtures.py writes them). Datasets:
#   1 Z test, Score of list_identifier_label.xlsx, mu 12, sigma 2
#   2 one sample t, the same Score, mu 12
#   3 independent t pooled, Low v Medium of groups_by_title.xlsx ("Weight by Diet")
#   4 the same with unequal variances
#   5 paired t, Day 1 v Day 2 of list_repeat_measures.xlsx ("Glucose")
#   6 F test, Low v High of groups_by_title.xlsx
score <- c(12.5, 14.0, 9.5, 16.5, 11.0, 13.5)
low <- c(60, 62, 59, 65, 61); medium <- c(66, 68, 70, 64, 69, 71, 67); high <- c(75, 78, 74, 80)
day1 <- c(5.1, 5.4, 6.0, 4.9, 5.5, 5.8, 6.2, 5.0); day2 <- c(5.3, 5.2, 6.1, 5.0, 5.9, 5.7, 6.0, 5.1)
wres <- c()
for (a in 0:2) for (lv in c(90, 95)) {
  alt <- alternatives[a + 1]; cl <- lv / 100; alpha <- 1 - cl
  se <- 2 / sqrt(6); d <- mean(score) - 12; z <- d / se
  q <- qnorm(1 - c(alpha / 2, alpha, alpha)[a + 1])
  ci <- list(c(d - q * se, d + q * se), c(-Inf, d + q * se), c(d - q * se, Inf))[[a + 1]]
  p <- c(2 * pnorm(-abs(z)), pnorm(z), pnorm(z, lower.tail = FALSE))[a + 1]
  wres <- c(wres, result_line(1, a, lv, 12, 2, NA, d, z, NA, NA, p, ci[1], ci[2]))
  r <- t.test(score, mu = 12, alternative = alt, conf.level = cl)
  wres <- c(wres, result_line(2, a, lv, 12, NA, NA, mean(score) - 12, r$statistic, r$parameter, NA,
                              r$p.value, r$conf.int[1] - 12, r$conf.int[2] - 12))
  for (unequal in 0:1) {
    r <- t.test(low, medium, var.equal = unequal == 0, alternative = alt, conf.level = cl)
    wres <- c(wres, result_line(3 + unequal, a, lv, NA, NA, unequal, mean(low) - mean(medium),
                                r$statistic, r$parameter, NA, r$p.value, r$conf.int[1], r$conf.int[2]))
  }
  r <- t.test(day1, day2, paired = TRUE, alternative = alt, conf.level = cl)
  wres <- c(wres, result_line(5, a, lv, NA, NA, NA, r$estimate, r$statistic, r$parameter, NA,
                              r$p.value, r$conf.int[1], r$conf.int[2]))
  r <- var.test(low, high, alternative = alt, conf.level = cl)
  wres <- c(wres, result_line(6, a, lv, NA, NA, NA, r$estimate, r$statistic, r$parameter[1],
                              r$parameter[2], r$p.value, r$conf.int[1], r$conf.int[2]))
}
writeLines(c(results_header, wres), "workbook_results.csv")

# ---------------------------------------------------------------- effect sizes of the t tests
# effect_sizes.csv: Cohen's d with its interval from the noncentral t distribution (the
# noncentralities found with pt and uniroot) and Hedges' correction, for every row of the t tests'
# results above (the pooled rows of the independent test). Columns:
#   test          ttest1, ttesti or ttestp
#   dataset, tail, level, mu   as in the results files
#   d, dlower, dupper          Cohen's d (d_z for pairs, the pooled SD for two groups), its limits
#   j                          Hedges' correction, gamma(df/2) / (sqrt(df/2) gamma((df-1)/2))
#   g, glower, gupper          j times d and its limits
# The data are read back from the files written above, so this part draws no random numbers.
read_groups <- function(file) {
  d <- read.csv(file)
  lapply(split(d, d$dataset), function(s) list(x = s$value[s$group == 1], y = s$value[s$group == 2]))
}
ncp_for <- function(t, df, p) {
  f <- function(ncp) pt(t, df, ncp) - p
  lo <- t - 1; hi <- t + 1
  while (f(lo) < 0) lo <- lo - 2 * (hi - lo)
  while (f(hi) > 0) hi <- hi + 2 * (hi - lo)
  uniroot(f, c(lo, hi), tol = 1e-13, maxiter = 10000)$root
}
effect_line <- function(test, r, t, df, k) {
  alpha <- 1 - r$level / 100
  upper_tail <- if (r$tail == 0) alpha / 2 else alpha
  lower <- if (r$tail == 1) -Inf else k * ncp_for(t, df, 1 - upper_tail)
  upper <- if (r$tail == 2) Inf else k * ncp_for(t, df, upper_tail)
  j <- exp(lgamma(df / 2) - lgamma((df - 1) / 2)) / sqrt(df / 2)
  d <- t * k
  paste(c(test, as.character(r$dataset), as.character(r$tail),
          fmt(c(r$level, r$mu, d, lower, upper, j, j * d, j * lower, j * upper))), collapse = ",")
}
eres <- c()
one <- read_groups("one_sample_data.csv")
for (i in seq_len(nrow(refs <- read.csv("ttest1_results.csv")))) {
  r <- refs[i, ]; x <- one[[as.character(r$dataset)]]$x; n <- length(x)
  eres <- c(eres, effect_line("ttest1", r, (mean(x) - r$mu) / (sd(x) / sqrt(n)), n - 1, 1 / sqrt(n)))
}
two <- read_groups("two_group_data.csv")
refs <- read.csv("ttesti_results.csv"); refs <- refs[refs$unequal == 0, ]
for (i in seq_len(nrow(refs))) {
  r <- refs[i, ]; s <- two[[as.character(r$dataset)]]; n1 <- length(s$x); n2 <- length(s$y)
  sp <- sqrt(((n1 - 1) * var(s$x) + (n2 - 1) * var(s$y)) / (n1 + n2 - 2)); k <- sqrt(1 / n1 + 1 / n2)
  eres <- c(eres, effect_line("ttesti", r, (mean(s$x) - mean(s$y)) / sp / k, n1 + n2 - 2, k))
}
pairs <- read_groups("paired_data.csv")
refs <- read.csv("ttestp_results.csv")
for (i in seq_len(nrow(refs))) {
  r <- refs[i, ]; s <- pairs[[as.character(r$dataset)]]; dd <- (s$x - s$y)[!is.na(s$x - s$y)]
  n <- length(dd)
  eres <- c(eres, effect_line("ttestp", r, mean(dd) / (sd(dd) / sqrt(n)), n - 1, 1 / sqrt(n)))
}
writeLines(c("test,dataset,tail,level,mu,d,dlower,dupper,j,g,glower,gupper", eres), "effect_sizes.csv")

# ---------------------------------------------------------------- the noncentral t distribution
# noncentral_t.csv: pt(t, df, ncp) on a grid that reaches R's normal approximation (ncp^2 / 2 beyond
# 1021 ln 2, or df beyond 4e5) as well as its series. Columns: t, df, ncp, p.
grid <- expand.grid(t = c(-5, -1, 0, 0.5, 2, 10, 45, 60), df = c(1, 3, 10, 50, 1000, 5e5),
                    ncp = c(-3, 0, 0.5, 2, 8, 30, 40, 55))
grid$p <- mapply(function(t, df, ncp) pt(t, df, ncp), grid$t, grid$df, grid$ncp)
writeLines(c("t,df,ncp,p", sprintf("%s,%s,%s,%s", fmt(grid$t), fmt(grid$df), fmt(grid$ncp), fmt(grid$p))),
           "noncentral_t.csv")
