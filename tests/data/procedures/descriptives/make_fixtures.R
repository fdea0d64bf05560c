# Reference results for the descriptive statistics and normality tests, computed with R.
#
#   Rscript make_fixtures.R        (run in this folder; needs r-cran-nortest; rewrites the files here)
#
# Data (read by the tests as workbooks: the sheet engine reads CSV files):
#   continuous.csv   columns d1 .. d40, one dataset each (empty cells: missing or past the end)
#   categorical.csv  columns c1 .. c30, category names (empty: missing)
#   groups.csv       columns id, v1, g1 .. v30, g30: a value and its group, one pair per dataset
#   large.csv        one column of 12,000 values (the normality tests beyond shapiro.test's limit)
# The sheet engine takes text columns with many rows for information; the tests make the category
# columns nominal as a user does in the Variable properties dialog.
# Results, one row per dataset (17 significant digits; NA where nothing can be computed):
#   normality_results.csv   Shapiro-Wilk, Anderson-Darling and Kolmogorov-Smirnov (below)
#   large_results.csv       the same on large.csv, by the product's definitions alone
#   summary_results.csv     the summary's fields at the confidence level 95%, and the percentiles of
#                           every level choice (0 99%, 1 95%, 2 90%, 3 80%, 4 None)
#   categorical_results.csv n, number of categories, mode (empty on a tie), counts in name order
#   groups_results.csv      per dataset and group: n, mean, its 95% t interval, SE, SD, median, IQR, range
#
# Which reference applies:
# - Shapiro-Wilk: the product keeps the coefficients a(i) in single precision, computes W as the
#   squared sum of a(i) (x(n+1-i) - x(i)) over the sum of squares (shapiro.test computes the squared
#   correlation of data and coefficients), uses a = 0.70711 and the exact asin(sqrt(3/4)) for n = 3,
#   and gives p = 1e-20 beyond the small-sample bound (R 1e-99). sw_w and sw_p are that definition,
#   written below; r_w and r_p are shapiro.test's, which agree to about 1e-6.
# - Anderson-Darling: ad_a2 is nortest::ad.test's statistic (A squared before its modification);
#   A* = A2 (1 + 0.75/n + 2.25/n^2) and its p-value follow the product's formulas with their
#   coefficients in single precision (ad_astar, ad_p); nortest's double-precision p is r_ad_p.
# - Kolmogorov-Smirnov: ks_d is nortest::lillie.test's statistic; D* and the p-value interpolated
#   in Stephens' table (Inf: "> 0.15", -Inf: "< 0.01") are the product's (ks_dstar, ks_p).
# - Percentiles: quantile(type = 6) except the quartiles, which are Tukey's hinges (positions
#   (n + 3)/4 and (3n + 1)/4), and positions outside [1, n], which are missing.
# - Skewness and kurtosis tests: the published formulas (D'Agostino 1970, Anscombe and Glynn 1983).

suppressMessages(library(nortest))
set.seed(20261208)
fmt <- function(x) ifelse(is.na(x), "NA", ifelse(is.infinite(x), ifelse(x > 0, "Inf", "-Inf"), sprintf("%.17g", x)))
f32 <- function(x) readBin(writeBin(as.numeric(x), raw(), size = 4), "double", size = 4, n = length(x))
poly <- function(cc, x) { s <- 0; for (k in rev(seq_along(cc))) s <- s * x + cc[k]; s }

# ---------------------------------------------------------------- datasets
sizes <- c(3, 3, 4, 5, 6, 7, 8, 10, 11, 12, 15, 20, 25, 30, 40, 50, 60, 75, 100, 150,
           200, 250, 300, 500, 750, 1000, 2000, 3000, 4500, 5000)
draw <- function(n, k) {
  m <- c(0, 5, -3, 100, 0.01, 2500)[k %% 6 + 1]
  s <- c(1, 0.3, 7, 15, 0.002, 120)[k %% 6 + 1]
  switch(k %% 5 + 1,
         rnorm(n, m, s),
         m + s * (rexp(n) - 1),
         round(rnorm(n, m, s), 1 + (k %% 3)),   # ties
         m + s * rt(n, 4),                       # heavy tails
         m + s * runif(n))                       # short tails
}
data <- lapply(seq_along(sizes), function(k) draw(sizes[k], k))
# Missing values in a few datasets (empty cells)
for (k in c(4, 9, 14, 22)) data[[k]] <- c(data[[k]], NA, NA)
# Constant data, W for n = 3 exactly 0.75 (equal spacing at one end), extreme magnitudes,
# an outlier-laden sample, and classic published datasets.
data <- c(data, list(
  rep(4.2, 12),
  c(1, 1, 2),
  c(1e10 + 1:20 / 8),
  c(rnorm(40), 25, -30, 60),
  datasets::precip,
  datasets::faithful$eruptions,
  na.omit(datasets::airquality$Ozone),
  datasets::ToothGrowth$len,
  datasets::women$weight,
  datasets::rivers))
K <- length(data)

write_wide <- function(file, columns, quote = FALSE) {
  n <- max(sapply(columns, length))
  cells <- sapply(columns, function(v) {
    out <- rep("", n)
    s <- if (is.numeric(v)) ifelse(is.na(v), "", sprintf("%.17g", v)) else ifelse(is.na(v), "", v)
    out[seq_along(v)] <- s
    out
  })
  if (n == 1) cells <- matrix(cells, nrow = 1)
  con <- file(file, "w")
  writeLines(paste(names(columns), collapse = ","), con)
  writeLines(apply(cells, 1, paste, collapse = ","), con)
  close(con)
}
names(data) <- paste0("d", seq_len(K))
write_wide("continuous.csv", data)

# ---------------------------------------------------------------- normality
sw_part <- function(x) {
  x <- sort(x); n <- length(x); nn2 <- n %/% 2
  if (n == 3) a <- 0.70711 else {
    m <- qnorm(((1:nn2) - 0.375) / (n + 0.25))
    summ2 <- 2 * sum(m^2); ssumm2 <- sqrt(summ2); rsn <- 1 / sqrt(n)
    a <- numeric(nn2)
    a[1] <- poly(c(0, 0.221157, -0.147981, -2.07119, 4.434685, -2.706056), rsn) - m[1] / ssumm2
    if (n > 5) {
      a[2] <- poly(c(0, 0.042981, -0.293762, -1.752461, 5.682633, -3.582633), rsn) - m[2] / ssumm2
      phi <- (summ2 - 2 * m[1]^2 - 2 * m[2]^2) / (1 - 2 * a[1]^2 - 2 * a[2]^2); i1 <- 3
    } else { phi <- (summ2 - 2 * m[1]^2) / (1 - 2 * a[1]^2); i1 <- 2 }
    if (i1 <= nn2) a[i1:nn2] <- -m[i1:nn2] / sqrt(phi)
  }
  a <- f32(a)
  ss <- sum((x - mean(x))^2)
  if (ss == 0) return(c(NA, NA))
  W <- sum(a * (rev(x)[1:nn2] - x[1:nn2]))^2 / ss
  c(W, sw_p_part(W, n))
}
sw_p_part <- function(W, n) {
  if (n == 3) return(min(1, max(0, (asin(sqrt(W)) - asin(sqrt(0.75))) * 1.9098593496814322)))
  y <- log(1 - W)
  if (n <= 11) {
    gamma <- -2.273 + 0.459 * n
    if (y >= gamma) return(1e-20)
    y <- -log(gamma - y)
    m <- poly(c(0.544, -0.39978, 0.025054, -6.714e-4), n)
    s <- exp(poly(c(1.3822, -0.77857, 0.062767, -0.0020322), n))
  } else {
    m <- poly(c(-1.5861, -0.31082, -0.083751, 0.0038915), log(n))
    s <- exp(poly(c(-0.4803, -0.082676, 0.0030302), log(n)))
  }
  pnorm(y, m, s, lower.tail = FALSE)
}
ad_statistic <- function(x) {  # nortest::ad.test's A squared
  x <- sort(x); n <- length(x)
  logp1 <- pnorm((x - mean(x)) / sd(x), log.p = TRUE)
  logp2 <- pnorm(-(x - mean(x)) / sd(x), log.p = TRUE)
  -n - mean((2 * seq_len(n) - 1) * (logp1 + rev(logp2)))
}
ks_statistic <- function(x) {  # nortest::lillie.test's D
  x <- sort(x); n <- length(x); p <- pnorm((x - mean(x)) / sd(x))
  max(seq_len(n) / n - p, p - (seq_len(n) - 1) / n)
}
ad_p_part <- function(a) {
  c <- f32(c(1.2937, 5.709, 0.0186, 0.9177, 4.279, 1.38, -8.318, 42.796, 59.938, -13.436, 101.14, 223.73))
  if (is.na(a)) NA
  else if (a >= 0.6) exp(c[1] - c[2] * a + c[3] * a^2)
  else if (a > 0.34) exp(c[4] - c[5] * a - c[6] * a^2)
  else if (a > 0.2) 1 - exp(c[7] + c[8] * a - c[9] * a^2)
  else 1 - exp(c[10] + c[11] * a - c[12] * a^2)
}
ks_p_part <- function(d) {
  D <- c(0.775, 0.819, 0.895, 0.955, 1.035); P <- c(0.15, 0.10, 0.05, 0.025, 0.01)
  if (is.na(d)) NA else if (d < D[1]) Inf else if (d > D[5]) -Inf else approx(D, P, d)$y
}
nres <- c("dataset,n,sw_w,sw_p,r_w,r_p,ad_a2,ad_astar,ad_p,r_ad_p,ks_d,ks_dstar,ks_p")
for (k in seq_len(K)) {
  x <- data[[k]][!is.na(data[[k]])]
  n <- length(x)
  sw <- sw_part(x)
  r <- tryCatch(shapiro.test(x), error = function(e) NULL)
  constant <- sd(x) == 0
  # nortest refuses n < 8 (ad.test) and n < 5 (lillie.test): there its own formulas, written out.
  ad <- if (constant || n < 8) NULL else ad.test(x)
  ks <- if (constant || n < 5) NULL else lillie.test(x)
  a2 <- if (constant) NA else if (is.null(ad)) ad_statistic(x) else unname(ad$statistic)
  astar <- a2 * (1 + 0.75 / n + 2.25 / n^2)
  d <- if (constant) NA else if (is.null(ks)) ks_statistic(x) else unname(ks$statistic)
  dstar <- d * (sqrt(n) - 0.01 + 0.85 / sqrt(n))
  nres <- c(nres, paste(c(k, n, fmt(c(sw, if (is.null(r)) c(NA, NA) else c(r$statistic, r$p.value),
                                     a2, astar, ad_p_part(astar), if (is.null(ad)) NA else ad$p.value,
                                     d, dstar, ks_p_part(dstar)))), collapse = ","))
}
writeLines(nres, "normality_results.csv")

# Beyond shapiro.test's 5,000 values: the product's definition only (large.csv, one column).
set.seed(5001)
large <- list(big = round(rgamma(12000, 9, 2), 2))
write_wide("large.csv", large)
x <- large$big
a2 <- ad_statistic(x); astar <- a2 * (1 + 0.75 / length(x) + 2.25 / length(x)^2)
d <- ks_statistic(x); dstar <- d * (sqrt(length(x)) - 0.01 + 0.85 / sqrt(length(x)))
writeLines(c("dataset,n,sw_w,sw_p,ad_astar,ad_p,ks_dstar,ks_p",
             paste(c("big", length(x), fmt(c(sw_part(x), astar, ad_p_part(astar), dstar, ks_p_part(dstar)))), collapse = ",")),
           "large_results.csv")

# ---------------------------------------------------------------- continuous summary
percentile <- function(x, P) {
  x <- sort(x); n <- length(x)
  if (n <= 1) return(NA)
  pos <- if (P == 0) 1 else if (P == 100) n else if (P == 25) (n + 3) / 4 else if (P == 75) (3 * n + 1) / 4 else P * (n + 1) / 100
  k <- floor(pos); f <- pos - k
  if (f == 0) return(if (k >= 1 && k <= n) x[k] else NA)
  if (k < 1 || k + 1 > n) return(NA)
  if (!(P %in% c(25, 75))) return(unname(quantile(x, P / 100, type = 6)))
  (1 - f) * x[k] + f * x[k + 1]
}
moments <- function(x) {
  n <- length(x); d <- x - mean(x); s <- sd(x)
  g1 <- (sum(d^3) / n) / (sum(d^2) / n)^1.5
  b2 <- (sum(d^4) / n) / (sum(d^2) / n)^2
  G1 <- if (n > 3) n / ((n - 1) * (n - 2)) * sum(d^3) / s^3 else NA
  G2 <- if (n > 4) n * (n + 1) / ((n - 1) * (n - 2) * (n - 3)) * sum(d^4) / s^4 - 3 * (n - 1)^2 / ((n - 2) * (n - 3)) else NA
  p_skew <- NA
  if (n >= 8 && s > 0) {
    Y <- g1 * sqrt((n + 1) * (n + 3) / (6 * (n - 2)))
    beta2 <- 3 * (n^2 + 27 * n - 70) * (n + 1) * (n + 3) / ((n - 2) * (n + 5) * (n + 7) * (n + 9))
    W2 <- sqrt(2 * (beta2 - 1)) - 1
    delta <- 1 / sqrt(log(sqrt(W2)))
    a <- sqrt(2 / (W2 - 1))
    Z <- delta * log(Y / a + sqrt((Y / a)^2 + 1))
    p_skew <- 2 * pnorm(-abs(Z))
  }
  p_kurt <- NA
  if (n >= 20 && s > 0) {
    E <- 3 * (n - 1) / (n + 1)
    V <- 24 * n * (n - 2) * (n - 3) / ((n + 1)^2 * (n + 3) * (n + 5))
    xx <- (b2 - E) / sqrt(V)
    sb1 <- 6 * (n^2 - 5 * n + 2) / ((n + 7) * (n + 9)) * sqrt(6 * (n + 3) * (n + 5) / (n * (n - 2) * (n - 3)))
    A <- 6 + (8 / sb1) * (2 / sb1 + sqrt(1 + 4 / sb1^2))
    r <- (1 - 2 / A) / (1 + xx * sqrt(2 / (A - 4)))
    Z <- ((1 - 2 / (9 * A)) - sign(r) * abs(r)^(1 / 3)) / sqrt(2 / (9 * A))
    p_kurt <- 2 * pnorm(-abs(Z))
  }
  if (s == 0) { g1 <- NA; b2 <- NA; G1 <- NA; G2 <- NA }
  c(G1, g1, p_skew, G2, b2, p_kurt)
}
mode_of <- function(x) {
  t <- table(x); top <- max(t)
  if (top < 2 || sum(t == top) > 1) NA else as.numeric(names(t)[t == top])
}
tails <- list(c(0.5, 99.5), c(2.5, 97.5), c(5, 95), c(10, 90), c())
# The median's distribution-free interval: order statistics at the 1-based positions
# qbinom(a, n, 1/2) and qbinom(1 - a, n, 1/2) + 1, a = alpha / 2; missing when they fall outside the data.
median_ci <- function(x, level) {
  x <- sort(x); n <- length(x); a <- (1 - level / 100) / 2
  lo <- qbinom(a, n, 0.5); hi <- qbinom(1 - a, n, 0.5) + 1
  if (lo < 1 || hi > n) c(NA, NA) else c(x[lo], x[hi])
}
level_columns <- paste(sapply(0:3, function(lv) paste0(c("mean_lower_", "mean_upper_", "median_lower_", "median_upper_"), lv)),
                       collapse = ",")
sres <- paste0("dataset,n,missing,sum,ss,mean,se,variance,sd,cv,skew,skew_coef,skew_p,kurt,kurt_coef,kurt_p,amd,rms,gm,hm,median,trimean,iqr,mode,range,mean_lower,mean_upper,percentiles,", level_columns)
for (k in seq_len(K)) {
  all <- data[[k]]; x <- all[!is.na(all)]; n <- length(x)
  ci <- if (sd(x) > 0) t.test(x, conf.level = 0.95)$conf.int else c(NA, NA)
  pct <- c()
  for (lv in 0:4) {
    P <- sort(c(tails[[lv + 1]], 25, 50, 75))
    pct <- c(pct, paste0(lv, ":", paste(sapply(P, function(p) paste0(p, "=", fmt(percentile(x, p)))), collapse = " ")))
  }
  q1 <- percentile(x, 25); q3 <- percentile(x, 75); med <- percentile(x, 50)
  vals <- c(n, sum(is.na(all)), signif(sum(x), 14), signif(sum(x^2), 14), mean(x), sd(x) / sqrt(n), var(x), sd(x),
            sd(x) / mean(x), moments(x), mean(abs(x - mean(x))), sqrt(mean(x^2)),
            if (all(x > 0)) exp(mean(log(x))) else NA, if (all(x > 0)) 1 / mean(1 / x) else NA,
            med, (q1 + 2 * med + q3) / 4, q3 - q1, mode_of(x), max(x) - min(x), ci)
  intervals <- c()
  for (level in c(99, 95, 90, 80)) {
    m <- if (sd(x) > 0) t.test(x, conf.level = level / 100)$conf.int else c(NA, NA)
    intervals <- c(intervals, m, median_ci(x, level))
  }
  sres <- c(sres, paste(c(k, fmt(vals), paste(pct, collapse = ";"), fmt(intervals)), collapse = ","))
}
writeLines(sres, "summary_results.csv")

# ---------------------------------------------------------------- categorical
set.seed(20261209)
cats <- list()
cres <- "dataset,n,groups,mode,counts"
pool <- c("Apple", "Banana", "Cherry", "Damson", "Elder", "Fig", "Grape", "Hazel", "Iris", "Jasmine", "Kale", "Lime")
for (k in 1:30) {
  g <- 1 + k %% 7 + (k %% 3 == 0) * 4
  n <- c(1, 2, 5, 12, 30, 100, 400, 2000)[k %% 8 + 1]
  probs <- if (k %% 4 == 0) rep(1, g) else seq_len(g)^(k %% 3)
  v <- sample(pool[1:g], n, replace = TRUE, prob = probs)
  if (k %% 5 == 0) v[sample(n, max(1, n %/% 10))] <- NA
  if (k == 7) v <- rep(c("Apple", "Banana"), each = 3)  # a tie: no mode
  cats[[paste0("c", k)]] <- v
  present <- v[!is.na(v)]
  t <- table(present)
  top <- max(t)
  mode <- if (sum(t == top) > 1) "" else names(t)[t == top]
  cres <- c(cres, paste(c(k, length(present), length(t), mode,
                          paste(paste0(names(t), "=", as.integer(t)), collapse = " ")), collapse = ","))
}
# Classic published data: the spray of each of the 72 plots of Beall's insect counts, and the
# tension of Tippett's 54 warp-break runs.
for (classic in list(as.character(datasets::InsectSprays$spray), as.character(datasets::warpbreaks$tension))) {
  k <- length(cats) + 1
  cats[[paste0("c", k)]] <- classic
  t <- table(classic); top <- max(t)
  mode <- if (sum(t == top) > 1) "" else names(t)[t == top]
  cres <- c(cres, paste(c(k, length(classic), length(t), mode, paste(paste0(names(t), "=", as.integer(t)), collapse = " ")),
                        collapse = ","))
}
write_wide("categorical.csv", cats)
writeLines(cres, "categorical_results.csv")

# ---------------------------------------------------------------- groups
grp <- list()
gres <- "dataset,group,n,mean,lower,upper,se,sd,median,iqr,range"
for (k in 1:30) {
  g <- 2 + k %% 4
  n <- c(3, 6, 10, 25, 60, 200)[k %% 6 + 1] * g
  labels <- c("Alpha", "Beta", "Gamma", "Delta", "Epsilon")[1:g]
  gv <- sample(labels, n, replace = TRUE)
  gv[1:g] <- labels  # every group present
  y <- draw(n, k) + match(gv, labels) * (k %% 3)
  if (k %% 6 == 0) y[sample(n, 2)] <- NA
  grp[[paste0("v", k)]] <- y
  grp[[paste0("g", k)]] <- gv
  for (lab in sort(labels)) {
    x <- y[gv == lab & !is.na(y)]; m <- length(x)
    ci <- if (m > 1 && sd(x) > 0) t.test(x)$conf.int else c(NA, NA)
    q1 <- percentile(x, 25); q3 <- percentile(x, 75)
    stats <- c(mean(x), ci, sd(x) / sqrt(m), sd(x), percentile(x, 50), q3 - q1, max(x) - min(x))
    if (m < 2) stats[] <- NA  # one observation: only n is shown
    gres <- c(gres, paste(c(k, lab, fmt(c(m, stats))), collapse = ","))
  }
}
# Classic published data: chick weights by feed (Anonymous 1948) and insect counts by spray (Beall 1942).
for (classic in list(list(datasets::chickwts$weight, as.character(datasets::chickwts$feed)),
                     list(datasets::InsectSprays$count, as.character(datasets::InsectSprays$spray)))) {
  k <- length(grp) / 2 + 1
  y <- classic[[1]]; gv <- classic[[2]]
  grp[[paste0("v", k)]] <- y
  grp[[paste0("g", k)]] <- gv
  for (lab in sort(unique(gv))) {
    x <- y[gv == lab]; m <- length(x)
    q1 <- percentile(x, 25); q3 <- percentile(x, 75)
    stats <- c(mean(x), t.test(x)$conf.int, sd(x) / sqrt(m), sd(x), percentile(x, 50), q3 - q1, max(x) - min(x))
    gres <- c(gres, paste(c(k, lab, fmt(c(m, stats))), collapse = ","))
  }
}
# An identifier column first, so that no data column is taken for the observations' labels.
write_wide("groups.csv", c(list(id = seq_len(max(sapply(grp, length)))), grp))
writeLines(gres, "groups_results.csv")
