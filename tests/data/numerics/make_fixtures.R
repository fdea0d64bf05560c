# Reference values for the numerics tests, computed with R.
#
#   Rscript make_fixtures.R        (run in this folder; rewrites the *.txt tables here)
#
# Every table is plain text: '#' comment lines, one header line naming the columns, then one row
# per case with numbers in 17 significant digits. The first column names the region of the
# domain the row belongs to, so the tests can report their worst error region by region.
# Only values R gives above 1e-300 are kept for the distribution functions.

fmt <- function(x) ifelse(is.na(x), "nan", sprintf("%.17g", x))

write_table <- function(file, header, rows, note) {
  con <- file(file, "w")
  writeLines(c(paste("#", note), paste("# made by make_fixtures.R with", R.version.string)), con)
  writeLines(paste(header, collapse = " "), con)
  for (i in seq_len(nrow(rows))) {
    r <- rows[i, ]
    writeLines(paste(c(as.character(r[[1]]), sapply(r[-1], function(v) fmt(as.numeric(v)))),
                     collapse = " "), con)
  }
  close(con)
}

keep <- function(df, cols) df[apply(df[cols], 1, function(v) all(is.finite(v) & v > 1e-300)), ]

# ---------------------------------------------------------------- normal
x <- c(seq(-2, 2, by = 0.25), 1e-10, -1e-10, 0.6629, 0.66292,
       c(2.5, 3, 4, 5, 5.6568, 5.66, 6, 8, 10), -c(2.5, 3, 4, 5, 5.6568, 5.66, 6, 8, 10),
       c(12, 15, 20, 25, 30, 35, 37, 37.5), -c(12, 15, 20, 25, 30, 35, 37, 37.5))
region <- ifelse(abs(x) <= 2, "central", ifelse(abs(x) <= 10, "tail", "far"))
d <- data.frame(region, x, lower = pnorm(x), upper = pnorm(x, lower.tail = FALSE))
d$lower[d$lower <= 1e-300] <- NA; d$upper[d$upper <= 1e-300] <- NA
write_table("pnorm.txt", c("region", "x", "lower", "upper"), d, "pnorm(x) both tails")

p <- c(1e-300, 1e-200, 1e-100, 1e-50, 1e-20, 1e-10, 1e-5, 1e-3, 0.01, 0.025, 0.05, 0.1, 0.2,
       0.3, 0.4, 0.5, 0.6, 0.75, 0.9, 0.975, 0.99)
region <- ifelse(p >= 0.01, "central", ifelse(p >= 1e-20, "tail", "far"))
d <- data.frame(region, p, lower = qnorm(p), upper = qnorm(p, lower.tail = FALSE))
write_table("qnorm.txt", c("region", "p", "lower", "upper"), d,
            "qnorm(p) and qnorm(p, lower.tail = FALSE)")

# ---------------------------------------------------------------- t
dfs <- c(1e-3, 0.1, 0.5, 1, 2.5, 5, 10, 30, 100, 1e3, 1e5, 1e7)
ts <- c(0, 0.1, 0.5, 1, 1.5, 2, 3, 5, 10, 30, 100, 1e3, 1e5, 1e10, 1e50, 1e150)
d <- expand.grid(t = c(ts, -ts[-1]), df = dfs)
d$region <- ifelse(d$df < 1, "small-df", ifelse(d$df > 1000, "huge-df", "moderate-df"))
set.seed(31)  # a random scatter over the whole domain besides the grid
r <- data.frame(df = 10^runif(400, -2, 6))
r$t <- qt(10^runif(400, -250, log10(0.5)), r$df) * sample(c(-1, 1), 400, TRUE)
r$region <- "random"
d <- rbind(d, r[c("t", "df", "region")])
d$lower <- pt(d$t, d$df); d$upper <- pt(d$t, d$df, lower.tail = FALSE)
d$lower[d$lower <= 1e-300] <- NA; d$upper[d$upper <= 1e-300] <- NA
d <- d[!(is.na(d$lower) & is.na(d$upper)), c("region", "t", "df", "lower", "upper")]
write_table("pt.txt", c("region", "t", "df", "lower", "upper"), d, "pt(t, df) both tails")

ps <- c(1e-300, 1e-100, 1e-20, 1e-8, 1e-4, 0.001, 0.01, 0.025, 0.05, 0.1, 0.25, 0.4, 0.5)
d <- expand.grid(p = ps, df = c(0.05, 0.1, 0.5, 1, 2.5, 5, 10, 30, 100, 1e3, 1e5, 1e7))
d$lower <- qt(d$p, d$df); d$upper <- qt(d$p, d$df, lower.tail = FALSE)
d <- d[is.finite(d$lower) & abs(d$lower) < 1e300, ]
d$region <- ifelse(d$p >= 0.01, "central", ifelse(d$p >= 1e-20, "tail", "far"))
write_table("qt.txt", c("region", "p", "df", "lower", "upper"),
            d[c("region", "p", "df", "lower", "upper")], "qt(p, df) both tails")

# ---------------------------------------------------------------- chi-square
dfs <- c(1e-3, 0.01, 0.5, 1, 2, 3, 7, 10, 25, 50, 100, 1e3, 1e5, 1e7)
mult <- c(1e-6, 1e-3, 0.01, 0.1, 0.3, 0.5, 0.8, 0.9, 0.99, 1, 1.01, 1.1, 1.2, 1.5, 2, 3, 5, 10)
rows <- list()
for (df in dfs) {
  xs <- unique(c(df * mult, df + c(-5, -2, 2, 5, 10, 20) * sqrt(2 * df), c(1, 10, 100, 500, 1000, 1300)))
  xs <- xs[xs > 0]
  rows[[length(rows) + 1]] <- data.frame(x = xs, df = df)
}
d <- do.call(rbind, rows)
d$region <- ifelse(d$df < 0.5, "small-df", ifelse(d$df > 1000, "huge-df", "moderate-df"))
set.seed(32)
r <- data.frame(df = 10^runif(400, -3, 6))
r$x <- ifelse(runif(400) < 0.5, qchisq(10^runif(400, -250, log10(0.5)), r$df),
              qchisq(10^runif(400, -250, log10(0.5)), r$df, lower.tail = FALSE))
r$region <- "random"
d <- rbind(d, r[r$x > 0, c("x", "df", "region")])
d$lower <- pchisq(d$x, d$df); d$upper <- pchisq(d$x, d$df, lower.tail = FALSE)
d$lower[d$lower <= 1e-300] <- NA; d$upper[d$upper <= 1e-300] <- NA
d <- d[!(is.na(d$lower) & is.na(d$upper)), ]
write_table("pchisq.txt", c("region", "x", "df", "lower", "upper"),
            d[c("region", "x", "df", "lower", "upper")], "pchisq(x, df) both tails")

d <- expand.grid(p = ps, df = c(0.5, 1, 2, 3, 5, 10, 30, 100, 1e3, 1e5, 1e7))
d$lower <- qchisq(d$p, d$df); d$upper <- qchisq(d$p, d$df, lower.tail = FALSE)
# The searches settle x to max(1e-50, 1e-8 x): quantiles below about 1e-40 are not resolved.
d <- d[d$lower > 1e-40, ]
d$region <- ifelse(d$p >= 0.01, "central", ifelse(d$p >= 1e-20, "tail", "far"))
write_table("qchisq.txt", c("region", "p", "df", "lower", "upper"),
            d[c("region", "p", "df", "lower", "upper")], "qchisq(p, df) both tails")

# ---------------------------------------------------------------- F
dfs <- c(1e-3, 0.5, 1, 2, 5, 10, 30, 100, 1e4, 1e7)
fs <- c(1e-8, 1e-3, 0.1, 0.5, 1, 2, 3, 5, 10, 100, 1e4, 1e8, 1e20)
d <- expand.grid(f = fs, dfn = dfs, dfd = dfs)
d$region <- ifelse(pmin(d$dfn, d$dfd) < 0.5, "small-df", ifelse(pmax(d$dfn, d$dfd) > 1000, "huge-df", "moderate-df"))
set.seed(33)
r <- data.frame(dfn = 10^runif(600, -2, 6), dfd = 10^runif(600, -2, 6))
r$f <- 10^runif(600, -10, 10)
r$region <- "random"
d <- rbind(d, r[c("f", "dfn", "dfd", "region")])
d$lower <- pf(d$f, d$dfn, d$dfd); d$upper <- pf(d$f, d$dfn, d$dfd, lower.tail = FALSE)
d$lower[d$lower <= 1e-300] <- NA; d$upper[d$upper <= 1e-300] <- NA
d <- d[!(is.na(d$lower) & is.na(d$upper)), ]
write_table("pf.txt", c("region", "f", "dfn", "dfd", "lower", "upper"),
            d[c("region", "f", "dfn", "dfd", "lower", "upper")], "pf(f, dfn, dfd) both tails")

d <- expand.grid(p = c(1e-100, 1e-20, 1e-6, 0.001, 0.01, 0.025, 0.05, 0.1, 0.5),
                 dfn = c(1, 2, 5, 10, 30, 100, 1e4), dfd = c(1, 2, 5, 10, 30, 100, 1e4))
d$lower <- qf(d$p, d$dfn, d$dfd); d$upper <- qf(d$p, d$dfn, d$dfd, lower.tail = FALSE)
d <- d[d$lower > 1e-40 & d$upper < 1e280, ]  # see qchisq above
d$region <- ifelse(d$p >= 0.01, "central", ifelse(d$p >= 1e-20, "tail", "far"))
write_table("qf.txt", c("region", "p", "dfn", "dfd", "lower", "upper"),
            d[c("region", "p", "dfn", "dfd", "lower", "upper")], "qf(p, dfn, dfd) both tails")

# ---------------------------------------------------------------- binomial
rows <- list()
for (n in c(1, 5, 10, 20, 50, 100, 1000, 1e5, 1e6)) for (pr in c(1e-4, 0.01, 0.1, 0.3, 0.5, 0.9, 0.999)) {
  s <- unique(round(c(0, 1, 2, n * pr + c(-10, -3, -1, 0, 1, 3, 10) * sqrt(n * pr * (1 - pr) + 1),
                      n / 2, n - 2, n - 1, n)))
  s <- s[s >= 0 & s <= n]
  rows[[length(rows) + 1]] <- data.frame(s = s, n = n, pr = pr)
}
d <- do.call(rbind, rows)
d$region <- ifelse(d$n <= 100, "small-n", "large-n")
set.seed(34)
r <- data.frame(n = round(10^runif(500, 0, 7)), pr = 10^runif(500, -5, 0) * 0.999)
r$s <- pmin(r$n, pmax(0, round(r$n * r$pr + rnorm(500) * 6 * sqrt(r$n * r$pr * (1 - r$pr) + 1))))
r$region <- "random"
d <- rbind(d, r[c("s", "n", "pr", "region")])
d$lower <- pbinom(d$s, d$n, d$pr)                           # P[X <= s]
d$upper <- pbinom(d$s - 1, d$n, d$pr, lower.tail = FALSE)   # P[X >= s]
d$lower[d$lower <= 1e-300] <- NA; d$upper[d$upper <= 1e-300] <- NA
d <- d[!(is.na(d$lower) & is.na(d$upper)), ]
write_table("pbinom.txt", c("region", "s", "n", "pr", "lower", "upper"),
            d[c("region", "s", "n", "pr", "lower", "upper")],
            "lower = P[X <= s] = pbinom(s, n, pr); upper = P[X >= s] = pbinom(s - 1, n, pr, lower.tail = FALSE)")

d <- expand.grid(p = c(1e-10, 0.001, 0.025, 0.05, 0.2, 0.5, 0.8, 0.95, 0.975), n = c(5, 10, 20, 100, 1000, 1e5),
                 pr = c(0.01, 0.2, 0.5, 0.8))
d$q <- qbinom(d$p, d$n, d$pr)
d$region <- ifelse(d$n <= 100, "small-n", "large-n")
# Fewer than 5 trials: the whole range [0, n] is shorter than the search's usual start of 5.
# Probabilities at a cumulative value P[X <= k] are left out (the continuous solution is then
# the integer k itself, which the test cannot tell from its neighbours).
tiny <- expand.grid(p = c(0.001, 0.01, 0.05, 0.1, 0.2, 0.3, 0.4, 0.6, 0.7, 0.9, 0.95, 0.99, 0.999),
                    n = 1:4, pr = c(0.01, 0.2, 0.5, 0.8, 0.99))
tiny$q <- qbinom(tiny$p, tiny$n, tiny$pr)
tiny$region <- "tiny-n"
at_step <- mapply(function(p, n, pr) any(abs(pbinom(0:n, n, pr) - p) < 1e-9), tiny$p, tiny$n, tiny$pr)
d <- rbind(d, tiny[!at_step, ])
write_table("qbinom.txt", c("region", "p", "n", "pr", "q"), d[c("region", "p", "n", "pr", "q")],
            "qbinom(p, n, pr): smallest integer q with P[X <= q] >= p")

rows <- list()
for (n in c(1, 2, 5, 10, 20, 50, 100, 1000, 10000)) for (conf in c(0.8, 0.95, 0.99)) {
  xs <- unique(round(c(0, 1, n * c(0.1, 0.3, 0.5, 0.7), n - 1, n)))
  xs <- xs[xs >= 0 & xs <= n]
  for (x in xs) {
    ci <- binom.test(x, n, conf.level = conf)$conf.int
    rows[[length(rows) + 1]] <- data.frame(region = ifelse(n <= 100, "small-n", "large-n"),
                                           x = x, n = n, conf = conf, lower = ci[1], upper = ci[2])
  }
}
d <- do.call(rbind, rows)
write_table("binom_ci.txt", c("region", "x", "n", "conf", "lower", "upper"), d,
            "binom.test(x, n, conf.level = conf)$conf.int (Clopper-Pearson)")

# ---------------------------------------------------------------- hypergeometric
rows <- list()
for (N in c(10, 50, 200, 600, 1000, 5000)) for (m in unique(round(N * c(0.1, 0.3, 0.5)))) for (k in unique(round(N * c(0.05, 0.2, 0.5)))) {
  lo <- max(0, k - (N - m)); hi <- min(k, m)
  xs <- unique(round(c(lo, lo + 1, (lo + hi) / 2, k * m / N, hi - 1, hi)))
  xs <- xs[xs >= lo & xs <= hi]
  rows[[length(rows) + 1]] <- data.frame(x = xs, m = m, nfail = N - m, k = k)
}
d <- do.call(rbind, rows)
N <- d$m + d$nfail; ratio <- d$m / d$nfail
approx <- pmin(d$k, N - d$k) > 16 * pmax(ratio, 1 / ratio) & N > 1000
d$region <- ifelse(approx, "normal-approximation", ifelse(N <= 600, "exact-small", "exact-large"))
d$lower <- phyper(d$x, d$m, d$nfail, d$k); d$point <- dhyper(d$x, d$m, d$nfail, d$k)
d <- d[d$point > 1e-300, ]
write_table("phyper.txt", c("region", "x", "m", "n", "k", "lower", "point"),
            d[c("region", "x", "m", "nfail", "k", "lower", "point")],
            "phyper(x, m, n, k) and dhyper(x, m, n, k): m successes, n failures, k drawn")

# ---------------------------------------------------------------- percentiles (type 6)
set.seed(20261208)
rows <- list()
for (n in c(2, 3, 4, 5, 7, 10, 11, 50, 101)) {
  v <- round(rnorm(n, 50, 10), 3)
  for (P in c(0, 1, 5, 10, 20, 33, 40, 50, 60, 66.5, 80, 90, 95, 99, 100)) {
    pos <- P / 100 * (n + 1)
    if (P != 0 && P != 100 && (pos < 1 || pos > n)) next
    rows[[length(rows) + 1]] <- data.frame(region = paste0("n", n), P = P,
                                           q = unname(quantile(v, P / 100, type = 6)),
                                           values = paste(sprintf("%.17g", v), collapse = ","))
  }
}
d <- do.call(rbind, rows)
con <- file("quantile6.txt", "w")
writeLines(c("# quantile(v, P / 100, type = 6) where its position P (n + 1) / 100 lies in [1, n]",
             paste("# made by make_fixtures.R with", R.version.string), "region P q values"), con)
writeLines(paste(d$region, fmt(d$P), fmt(d$q), d$values), con)
close(con)

# ---------------------------------------------------------------- NIST StRD univariate
read_strd <- function(path) {
  lines <- readLines(path)
  range <- as.integer(regmatches(lines[grep("^ *Data *:", lines)][1],
                                 gregexpr("[0-9]+", lines[grep("^ *Data *:", lines)][1]))[[1]][1:2])
  as.numeric(trimws(lines[range[1]:range[2]]))
}
sets <- c("Lew", "Lottery", "Mavro", "Michelso", "NumAcc1", "NumAcc2", "NumAcc3", "NumAcc4", "PiDigits")
d <- data.frame(region = sets, mean = NA, sd = NA)
for (i in seq_along(sets)) {
  v <- read_strd(file.path("strd", paste0(sets[i], ".dat")))
  d$mean[i] <- mean(v); d$sd[i] <- sd(v)
}
write_table("strd_r.txt", c("dataset", "mean", "sd"), d, "R's mean() and sd() of the StRD univariate data sets")

# ---------------------------------------------------------------- moments and their tests
# Written from the published formulas: D'Agostino (1970) for skewness, Anscombe and Glynn
# (1983) for kurtosis; sample skewness and kurtosis with the usual bias corrections.
moment_row <- function(name, x) {
  n <- length(x); d <- x - mean(x); s <- sd(x)
  g1 <- (sum(d^3) / n) / (sum(d^2) / n)^1.5
  b2 <- (sum(d^4) / n) / (sum(d^2) / n)^2
  G1 <- n / ((n - 1) * (n - 2)) * sum(d^3) / s^3
  G2 <- n * (n + 1) / ((n - 1) * (n - 2) * (n - 3)) * sum(d^4) / s^4 - 3 * (n - 1)^2 / ((n - 2) * (n - 3))
  p_skew <- NA
  if (n >= 8) {
    Y <- g1 * sqrt((n + 1) * (n + 3) / (6 * (n - 2)))
    beta2 <- 3 * (n^2 + 27 * n - 70) * (n + 1) * (n + 3) / ((n - 2) * (n + 5) * (n + 7) * (n + 9))
    W2 <- sqrt(2 * (beta2 - 1)) - 1
    delta <- 1 / sqrt(log(sqrt(W2)))
    a <- sqrt(2 / (W2 - 1))
    Z <- delta * log(Y / a + sqrt((Y / a)^2 + 1))
    p_skew <- 2 * pnorm(-abs(Z))
  }
  p_kurt <- NA
  if (n >= 20) {
    E <- 3 * (n - 1) / (n + 1)
    V <- 24 * n * (n - 2) * (n - 3) / ((n + 1)^2 * (n + 3) * (n + 5))
    xx <- (b2 - E) / sqrt(V)
    sb1 <- 6 * (n^2 - 5 * n + 2) / ((n + 7) * (n + 9)) * sqrt(6 * (n + 3) * (n + 5) / (n * (n - 2) * (n - 3)))
    A <- 6 + (8 / sb1) * (2 / sb1 + sqrt(1 + 4 / sb1^2))
    r <- (1 - 2 / A) / (1 + xx * sqrt(2 / (A - 4)))
    Z <- ((1 - 2 / (9 * A)) - sign(r) * abs(r)^(1 / 3)) / sqrt(2 / (9 * A))
    p_kurt <- 2 * pnorm(-abs(Z))
  }
  data.frame(region = name, G1, g1, p_skew, G2, b2, p_kurt, values = paste(sprintf("%.17g", x), collapse = ","))
}
set.seed(1)
d <- rbind(moment_row("exp30", round(rexp(30), 4)), moment_row("norm50", round(rnorm(50), 4)),
           moment_row("outlier11", c(1:10, 30)), moment_row("unif25", round(runif(25), 4)),
           moment_row("flat20", c(rep(0, 10), rep(1, 10))))
con <- file("moments.txt", "w")
writeLines(c("# sample skewness G1, coefficient g1, D'Agostino p; sample kurtosis G2, coefficient b2, Anscombe-Glynn p",
             paste("# made by make_fixtures.R with", R.version.string),
             "region G1 g1 p_skew G2 b2 p_kurt values"), con)
writeLines(paste(d$region, fmt(d$G1), fmt(d$g1), fmt(d$p_skew), fmt(d$G2), fmt(d$b2), fmt(d$p_kurt), d$values), con)
close(con)

# ---------------------------------------------------------------- order-statistic intervals
# For the data 1..n the confidence limits of the P-th percentile are the 1-based positions
# qbinom(a, n, P) and qbinom(1 - a, n, P) + 1, a = alpha / 2; attained alpha as below.
d <- rbind(expand.grid(n = c(10, 20, 50, 101, 1000), P = c(50, 25, 90), conf = c(90, 95, 99)),
           expand.grid(n = 2:4, P = c(25, 40, 50, 60, 75), conf = c(40, 50, 60, 75)))  # fewer than 5 values
a <- (1 - d$conf / 100) / 2
d$lower <- qbinom(a, d$n, d$P / 100)
d$upper <- qbinom(1 - a, d$n, d$P / 100) + 1
d$attained <- pbinom(d$lower - 1, d$n, d$P / 100) + pbinom(d$upper - 1, d$n, d$P / 100, lower.tail = FALSE)
tie <- mapply(function(n, P, a) any(abs(pbinom(0:n, n, P / 100) - a) < 1e-9 |
                                    abs(pbinom(0:n, n, P / 100) - (1 - a)) < 1e-9), d$n, d$P, a)
d <- d[d$lower >= 1 & d$upper <= d$n & !tie, ]
d$region <- paste0("n", d$n)
write_table("percentile_ci.txt", c("region", "n", "P", "conf", "lower", "upper", "attained"),
            d[c("region", "n", "P", "conf", "lower", "upper", "attained")],
            "order-statistic confidence limits of percentiles of 1..n (positions from 1)")
