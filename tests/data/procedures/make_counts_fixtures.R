# Reference results for the tests on counts and proportions and the correlation tests, computed
# with R.
#
#   Rscript make_counts_fixtures.R     (run in this folder; rewrites the files named below)
#
# Every file has a header line naming its columns; NA marks a value that does not exist, -Inf and
# Inf the open ends of one-sided intervals. tail: 0 two-sided, 1 less, 2 greater; level in percent.
# Numbers are written with 17 significant digits.
#
#   binomial_results.csv   s, n, expected; estimate s/n, p, lower, upper: binom.test (its two-sided
#                          p where the expected proportion is 0.5; otherwise the test's own rule,
#                          twice the smaller tail, written here with pbinom).
#   fisher_results.csv     a, b, c, d, measure (0 difference, 1 odds ratio, 2 relative risk);
#                          estimate, lower, upper by the formulas (normal and Woolf's intervals),
#                          p by the tail of the hypergeometric distribution of min(b, c) once the
#                          rows are ordered so that ad >= bc (phyper); two-sided twice the smaller
#                          tail. Where that equals fisher.test's p, the script checks that it does.
#   mcnemar_results.csv    the 2 x 2 table and measure; p and the interval of g/(g+h) from
#                          binom.test, turned into the difference or odds ratio.
#   chisq_results.csv      rows, columns, cells (row by row, ";" between), continuity; statistic,
#                          df, p: Pearson's X2 (chisq.test(correct = FALSE)); with the continuity
#                          correction Yates' formula without R's clipping at |O - E| < 0.5
#                          (checked against chisq.test(correct = TRUE) where that does not clip).
#   cochranq_data.csv      dataset, subject, treatment, value (0/1)
#   cochranq_results.csv   statistic, df, p by Cochran's formula.
#   correlation_data.csv   dataset, x, y
#   correlation_results.csv  test (pearson, spearman, kendall); estimate (r, rs or S), statistic
#                          (t for r and rs, tau for kendall), df, p, lower, upper:
#                          pearson: cor.test; spearman: Pearson's r of the mid-ranks tested by t
#                          with the Fisher z interval (cor.test on rank(x), rank(y));
#                          kendall: tau-b from cor(method = "kendall"); n < 11 the exact
#                          distribution of S built here (checked against cor.test(exact = TRUE)
#                          without ties), n >= 11 cor.test(exact = FALSE, continuity = FALSE).

set.seed(20261208)

fmt <- function(x) ifelse(is.na(x) & !is.nan(x) & !is.infinite(x), "NA", sprintf("%.17g", x))
fmt1 <- function(x) if (is.na(x)) "NA" else if (is.infinite(x)) (if (x > 0) "Inf" else "-Inf") else sprintf("%.17g", x)
line <- function(...) paste(vapply(list(...), function(v) if (is.character(v)) v else fmt1(v), ""), collapse = ",")
alternatives <- c("two.sided", "less", "greater")
levels <- c(90, 95, 99)

writeFile <- function(file, header, lines) {
  con <- file(file, "w")
  writeLines(header, con)
  writeLines(unlist(lines), con)
  close(con)
}

# ---------------------------------------------------------------- binomial
binomial_p <- function(s, n, pr, tail) {
  if (tail == 1) return(pbinom(s, n, pr))
  if (tail == 2) return(if (s <= 0) 1 else pbinom(s - 1, n, pr, lower.tail = FALSE))
  centre <- n * pr
  if (floor(s) == centre) return(1)
  k <- if (s > centre) s - 1 else s
  2 * min(pbinom(k, n, pr), pbinom(k, n, pr, lower.tail = FALSE))
}

binomial_cases <- list(c(7, 20, 0.5), c(0, 10, 0.5), c(10, 10, 0.5), c(1, 1, 0.5), c(5, 10, 0.5),
                       c(5474, 7324, 0.75),  # Mendel: round and wrinkled peas of the second generation, 3:1
                       c(15, 100, 0.1), c(3, 50, 0.02), c(48, 50, 0.9), c(25, 40, 0.5), c(2, 3, 0.3),
                       c(4999, 10000, 0.5), c(2600, 5000, 0.5), c(120, 1000, 0.1), c(1, 60, 0.25))
for (k in 1:20) {
  n <- sample(c(2:30, 50, 100, 500, 65535), 1)
  pr <- sample(c(0.5, 0.5, 0.1, 0.25, 0.3, 0.6, 0.8, 0.95), 1)
  s <- rbinom(1, n, if (k %% 5 == 0) min(0.99, pr + 0.2) else pr)
  binomial_cases[[length(binomial_cases) + 1]] <- c(s, n, pr)
}
lines <- list()
for (d in seq_along(binomial_cases)) {
  s <- binomial_cases[[d]][1]; n <- binomial_cases[[d]][2]; pr <- binomial_cases[[d]][3]
  for (tail in 0:2) for (level in levels) {
    b <- binom.test(s, n, pr, alternatives[tail + 1], level / 100)
    p <- binomial_p(s, n, pr, tail)
    if (pr == 0.5 || tail > 0) stopifnot(abs(p - min(1, b$p.value)) <= 1e-12 * max(b$p.value, 1e-300))
    lines[[length(lines) + 1]] <- line(d, tail, level, s, n, pr, s / n, p, b$conf.int[1], b$conf.int[2])
  }
}
writeFile("binomial_results.csv", "dataset,tail,level,s,n,expected,estimate,p,lower,upper", lines)

# ---------------------------------------------------------------- 2 x 2 tables
tables <- list(c(3, 1, 1, 3),          # Fisher's tea-tasting experiment
               c(794, 150, 86, 570),   # Agresti: approval of the Prime Minister, two surveys (paired)
               c(0, 5, 6, 4), c(5, 0, 2, 7), c(10, 10, 10, 10), c(1, 0, 0, 1), c(12, 5, 3, 0),
               c(2, 8, 9, 1), c(100, 90, 80, 120), c(1, 19, 18, 2), c(40, 2, 3, 55))
while (length(tables) < 40) {
  n <- sample(c(4:40, 60, 100, 400), 1)
  t <- as.vector(rmultinom(1, n, runif(4)))
  if (sum(t[1:2]) > 0 && sum(t[3:4]) > 0 && sum(t[c(1, 3)]) > 0 && sum(t[c(2, 4)]) > 0)
    tables[[length(tables) + 1]] <- t
}

fisher_tails <- function(a, b, c, d) {
  if (a * d - b * c < 0) { t <- c(c, d, a, b); a <- t[1]; b <- t[2]; c <- t[3]; d <- t[4] }
  N <- a + b + c + d
  x <- min(b, c)
  if (b <= c) { sample <- b + d; successes <- a + b } else { sample <- a + c; successes <- c + d }
  lower <- phyper(x, successes, N - successes, sample)
  upper <- function(k) if (k <= 0) 1 else phyper(k - 1, successes, N - successes, sample, lower.tail = FALSE)
  c(lower = lower, upper = upper(x), above = upper(x + 1))
}
fisher_p <- function(t, tail) {
  f <- fisher_tails(t[1], t[2], t[3], t[4])
  switch(tail + 1, 2 * min(f["lower"], f["above"]), f["lower"], f["upper"])
}

effect <- function(t, measure, alpha, tail) {
  a <- t[1]; b <- t[2]; c <- t[3]; d <- t[4]
  z <- qnorm(1 - if (tail == 0) alpha / 2 else alpha)
  if (measure == 0) {
    if (a + b == 0 || c + d == 0) return(c(NA, NA, NA))
    p1 <- a / (a + b); p2 <- c / (c + d); est <- p1 - p2
    se <- sqrt(p2 * (1 - p2) / (c + d) + p1 * (1 - p1) / (a + b))
    lo <- est - z * se; hi <- est + z * se
    if (tail == 1) lo <- -1
    if (tail == 2) hi <- 1
    return(c(est, lo, hi))
  }
  if (min(t) == 0) return(c(NA, NA, NA))
  if (measure == 1) { l <- log(a * d / (b * c)); se <- sqrt(1/a + 1/b + 1/c + 1/d) }
  else { l <- log((a / (a + b)) / (c / (c + d))); se <- sqrt(1/a - 1/(a + b) + 1/c - 1/(c + d)) }
  lo <- if (tail == 1) 0 else exp(l - z * se)
  hi <- if (tail == 2) Inf else exp(l + z * se)
  c(exp(l), lo, hi)
}

lines <- list()
for (k in seq_along(tables)) {
  t <- tables[[k]]
  for (measure in 0:2) for (tail in 0:2) for (level in levels) {
    e <- effect(t, measure, 1 - level / 100, tail)
    lines[[length(lines) + 1]] <- line(k, tail, level, t[1], t[2], t[3], t[4], measure, e[1], fisher_p(t, tail), e[2], e[3])
  }
  # Where the rows need no exchange, the one-sided p of the association (alternative "less") is
  # fisher.test's too.
  if (t[1] * t[4] - t[2] * t[3] >= 0 && t[2] <= t[3])
    stopifnot(abs(fisher_p(t, 1) - fisher.test(matrix(t, 2, byrow = TRUE), alternative = "greater")$p.value) <= 1e-12)
}
writeFile("fisher_results.csv", "dataset,tail,level,a,b,c,d,measure,estimate,p,lower,upper", lines)

lines <- list()
for (k in seq_along(tables)) {
  t <- tables[[k]]
  g <- t[2]; h <- t[3]; N <- sum(t)
  if (g + h == 0) next
  for (measure in 0:1) for (tail in 0:2) for (level in levels) {
    b <- binom.test(g, g + h, 0.5, alternatives[tail + 1], level / 100)
    L <- b$conf.int[1]; U <- b$conf.int[2]
    if (measure == 0) {
      est <- (g - h) / N; lo <- (g + h) / N * (2 * L - 1); hi <- (g + h) / N * (2 * U - 1)
      if (tail == 1) lo <- -1
      if (tail == 2) hi <- 1
    } else {
      est <- g / h; lo <- L / (1 - L); hi <- U / (1 - U)
      if (tail == 1) lo <- 0
      if (tail == 2) hi <- Inf
    }
    lines[[length(lines) + 1]] <- line(k, tail, level, t[1], t[2], t[3], t[4], measure, est, min(1, b$p.value), lo, hi)
  }
}
writeFile("mcnemar_results.csv", "dataset,tail,level,a,b,c,d,measure,estimate,p,lower,upper", lines)

# ---------------------------------------------------------------- chi-square
chisq_tables <- list(
  list(2, 3, c(762, 327, 468, 484, 239, 477)),  # Agresti: party identification by gender
  list(4, 4, as.vector(t(apply(HairEyeColor, c(1, 2), sum)))),  # hair by eye colour
  list(3, 2, c(24, 6, 15, 15, 0, 20)))  # the contingency-table workbook of the dataset tests
for (t in tables[1:24]) chisq_tables[[length(chisq_tables) + 1]] <- list(2, 2, t)
while (length(chisq_tables) < 40) {
  r <- sample(2:5, 1); c <- sample(2:6, 1)
  cells <- as.vector(rmultinom(1, sample(c(20, 50, 200, 1000), 1), runif(r * c)))
  m <- matrix(cells, r, c, byrow = TRUE)
  if (all(rowSums(m) > 0) && all(colSums(m) > 0)) chisq_tables[[length(chisq_tables) + 1]] <- list(r, c, cells)
}
lines <- list()
for (k in seq_along(chisq_tables)) {
  r <- chisq_tables[[k]][[1]]; c <- chisq_tables[[k]][[2]]; cells <- chisq_tables[[k]][[3]]
  m <- matrix(cells, r, c, byrow = TRUE)
  for (continuity in if (r == 2 && c == 2) 0:1 else 0) {
    if (continuity == 1) {
      a <- cells[1]; b <- cells[2]; cc <- cells[3]; d <- cells[4]; N <- sum(cells)
      x2 <- N * (abs(a * d - b * cc) - N / 2)^2 / ((a + b) * (a + cc) * (b + d) * (cc + d))
      if (abs(a * d - b * cc) / N >= 0.5)
        stopifnot(abs(x2 - suppressWarnings(chisq.test(m, correct = TRUE))$statistic) <= 1e-9 * x2)
    } else {
      x2 <- unname(suppressWarnings(chisq.test(m, correct = FALSE))$statistic)
    }
    df <- (r - 1) * (c - 1)
    lines[[length(lines) + 1]] <- line(k, r, c, paste(cells, collapse = ";"), continuity, x2, df,
                                       pchisq(x2, df, lower.tail = FALSE))
  }
}
writeFile("chisq_results.csv", "dataset,rows,columns,cells,continuity,statistic,df,p", lines)

# ---------------------------------------------------------------- Cochran's Q
cochran_sets <- list()
# Agresti (Categorical Data Analysis): three drugs on 46 subjects, favourable (1) or not (0).
patterns <- list(c(1,1,1), c(1,1,0), c(1,0,1), c(1,0,0), c(0,1,1), c(0,1,0), c(0,0,1), c(0,0,0))
counts <- c(6, 16, 2, 4, 2, 4, 6, 6)
cochran_sets[[1]] <- do.call(rbind, rep(patterns, counts))
while (length(cochran_sets) < 35) {
  k <- sample(2:6, 1); n <- sample(c(3:20, 40, 100), 1)
  p <- runif(k, 0.2, 0.8)
  m <- sapply(p, function(q) rbinom(n, 1, q))
  if (is.null(dim(m))) m <- matrix(m, nrow = n)
  R <- rowSums(m)
  if (k * sum(R) - sum(R^2) > 0) cochran_sets[[length(cochran_sets) + 1]] <- m
}
data <- list(); lines <- list()
for (d in seq_along(cochran_sets)) {
  m <- cochran_sets[[d]]; k <- ncol(m)
  for (i in seq_len(nrow(m))) for (j in seq_len(k)) data[[length(data) + 1]] <- line(d, i, j, m[i, j])
  C <- colSums(m); R <- rowSums(m)
  q <- k * (k - 1) * sum((C - mean(C))^2) / (k * sum(R) - sum(R^2))
  lines[[length(lines) + 1]] <- line(d, q, k - 1, pchisq(q, k - 1, lower.tail = FALSE))
}
writeFile("cochranq_data.csv", "dataset,subject,treatment,value", data)
writeFile("cochranq_results.csv", "dataset,statistic,df,p", lines)

# ---------------------------------------------------------------- correlation
corr_sets <- list(
  # Hollander & Wolfe: aortic valve measurements (the example of R's cor.test)
  list(x = c(44.4, 45.9, 41.9, 53.3, 44.7, 44.1, 50.7, 45.2, 60.1),
       y = c(2.6, 3.1, 2.5, 5.0, 3.6, 4.0, 5.2, 2.8, 3.8)),
  list(x = cars$speed, y = cars$dist),  # Ezekiel's stopping distances
  list(x = 1:10, y = c(2, 1, 4, 3, 6, 5, 8, 7, 10, 9)),            # n = 10: exact
  list(x = 1:11, y = c(2, 1, 4, 3, 6, 5, 8, 7, 10, 9, 11)),        # n = 11: normal
  list(x = c(1, 2, 3), y = c(2, 1, 3)),                            # n = 3: no interval
  list(x = c(1, 2, 2, 3, 4, 4, 4, 5), y = c(1, 3, 2, 2, 5, 4, 4, 6)),  # ties in both, n < 11
  list(x = c(3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, NA, 8), y = c(2, 7, 1, 8, 2, 8, 1, 8, 2, 8, 4, 5, NA)))
while (length(corr_sets) < 40) {
  n <- sample(c(4:12, 15, 20, 30, 50, 100, 300), 1)
  x <- rnorm(n)
  y <- 0.6 * x + rnorm(n)
  k <- length(corr_sets)
  if (k %% 3 == 0) { x <- round(x, 1); y <- round(y, 1) }          # ties
  if (k %% 4 == 0) { x <- round(2 * x); y <- round(3 * y) }         # many ties
  if (k %% 5 == 0) x <- x * 1e6 + 3e8                              # large values
  if (k %% 7 == 0) { x[sample(n, 1)] <- NA }                        # a missing value
  if (k %% 6 == 0) y <- -y
  cc <- complete.cases(x, y)
  if (sd(x[cc]) > 0 && sd(y[cc]) > 0) corr_sets[[length(corr_sets) + 1]] <- list(x = x, y = y)
}

kendall_exact_tails <- function(n, s) {
  top <- n * (n - 1) / 2
  counts <- 1
  for (m in 2:n) counts <- as.vector(stats::filter(c(counts, rep(0, m - 1)), rep(1, m), sides = 1, circular = TRUE))
  cum <- cumsum(counts)
  index <- ceiling((s + top) / 2)
  if (index < 0) return(c(0, 1))
  if (index >= length(cum)) return(c(1, 0))
  c(cum[index + 1] / cum[length(cum)], (cum[length(cum)] - cum[index + 1]) / cum[length(cum)])
}
kendall_s <- function(x, y) {
  s <- 0
  n <- length(x)
  for (i in 1:(n - 1)) for (j in (i + 1):n) s <- s + sign(x[i] - x[j]) * sign(y[i] - y[j])
  s
}
kendall_p <- function(x, y, tail) {
  n <- length(x); s <- kendall_s(x, y); top <- n * (n - 1) / 2
  if (n >= 11) return(cor.test(x, y, alternative = alternatives[tail + 1], method = "kendall",
                               exact = FALSE, continuity = FALSE)$p.value)
  if (tail == 0 && floor(s) == 0) return(1)
  if (tail == 2 || (tail == 0 && s > 0)) {
    s <- floor(s - 2)
    if (s < -top) return(switch(tail + 1, 0, NA, 1))
  } else s <- ceiling(s)
  t <- kendall_exact_tails(n, s)
  switch(tail + 1, 2 * min(t), t[1], t[2])
}

data <- list(); lines <- list()
for (d in seq_along(corr_sets)) {
  x <- corr_sets[[d]]$x; y <- corr_sets[[d]]$y
  for (i in seq_along(x)) data[[length(data) + 1]] <- line(d, x[i], y[i])
  cc <- complete.cases(x, y); x <- x[cc]; y <- y[cc]; n <- length(x)
  ties <- any(duplicated(x)) || any(duplicated(y))
  for (tail in 0:2) for (level in levels) {
    alt <- alternatives[tail + 1]
    p <- cor.test(x, y, alternative = alt, conf.level = level / 100)
    ci <- if (n > 3) p$conf.int else c(NA, NA)
    lines[[length(lines) + 1]] <- line(d, "pearson", tail, level, p$estimate, p$statistic, p$parameter, p$p.value, ci[1], ci[2])
    s <- cor.test(rank(x), rank(y), alternative = alt, conf.level = level / 100)
    ci <- if (n > 3) s$conf.int else c(NA, NA)
    lines[[length(lines) + 1]] <- line(d, "spearman", tail, level, s$estimate, s$statistic, s$parameter, s$p.value, ci[1], ci[2])
    kp <- kendall_p(x, y, tail)
    if (n < 11 && !ties && n > 2)
      stopifnot(abs(kp - cor.test(x, y, alternative = alt, method = "kendall", exact = TRUE)$p.value) <= 1e-12)
    lines[[length(lines) + 1]] <- line(d, "kendall", tail, level, kendall_s(x, y), cor(x, y, method = "kendall"), NA, kp, NA, NA)
  }
}
writeFile("correlation_data.csv", "dataset,x,y", data)
writeFile("correlation_results.csv", "dataset,test,tail,level,estimate,statistic,df,p,lower,upper", lines)
