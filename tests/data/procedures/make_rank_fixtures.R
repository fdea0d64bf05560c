# Reference results for the rank-based tests, computed with R.
#
#   Rscript make_rank_fixtures.R     (run in this folder; rewrites the files named below)
#
# Header lines name the columns; NA marks a value that does not exist, -Inf and Inf the open ends
# of one-sided intervals; tail 0 two-sided, 1 less, 2 greater; level in percent; 17 digits.
#
#   rank_data.csv          dataset, group, value: the samples (paired datasets: group 1 holds the
#                          differences; two-sample datasets: groups 1 and 2; k-sample datasets
#                          groups 1..k; runs datasets: the codes 0/1 in order; Friedman datasets:
#                          group = treatment, one value per block in block order)
#   runs_results.csv       R, expected, p: the runs test by its definition (exact distribution of
#                          the number of runs for n1, n2 with n1 + n2 <= 49 and not both above 25,
#                          else the normal approximation with the 0.5 shift), written out here.
#   sign_results.csv       positives, n, p (binom.test), median, lower, upper: the interval read on
#                          the sorted non-zero differences at the binomial ranks of the test's rule
#                          (0-based ranks qbinom(a) and qbinom(1 - a) + 1), written out here.
#   wilcoxon_results.csv   W, p, estimate, lower, upper: wilcox.test (exact p without ties for at
#                          most 25 differences; exact = FALSE, correct = FALSE above 25, with
#                          ties; exact p with ties from the signed-rank table at the floor of W,
#                          written out here); estimate the median of the Walsh averages; interval
#                          wilcox.test(conf.int = TRUE)'s where exact, else the order statistics at
#                          floor(qnorm(a, mean, sd)) written out here.
#   mannwhitney_results.csv  W (rank sum of group 1), p, estimate, lower, upper: as for Wilcoxon
#                          with wilcox.test's two-sample forms (exact for sizes up to 15 each).
#   kruskal_results.csv    H, df, p: kruskal.test (H = 0 without the tie division when all
#                          values are equal).
#   friedman_results.csv   Fr, df, p: friedman.test.
#   median_results.csv     median, p: the grand median, the 2 x k table of counts above it; Fisher's
#                          exact test by the Fisher rule of make_counts_fixtures.R for k = 2,
#                          chisq.test(correct = FALSE) for k > 2.

set.seed(20261209)
fmt1 <- function(x) if (is.na(x)) "NA" else if (is.infinite(x)) (if (x > 0) "Inf" else "-Inf") else sprintf("%.17g", x)
line <- function(...) paste(vapply(list(...), function(v) if (is.character(v)) v else fmt1(v), ""), collapse = ",")
alternatives <- c("two.sided", "less", "greater")
levels <- c(90, 95, 99)
data <- list()
add_data <- function(d, group, values) for (v in values) data[[length(data) + 1]] <<- line(d, group, v)
writeFile <- function(file, header, lines) {
  con <- file(file, "w"); writeLines(header, con); writeLines(unlist(lines), con); close(con)
}
dataset <- 0
next_dataset <- function() { dataset <<- dataset + 1; dataset }

# ---------------------------------------------------------------- runs
runs_p <- function(codes, tail) {
  first <- codes[1]; n1 <- sum(codes == first); n2 <- sum(codes != first); N <- n1 + n2
  R <- 1 + sum(codes[-1] != codes[-length(codes)])
  mu <- 2 * n1 * n2 / N + 1
  if ((n1 > 25 && n2 > 25) || N > 49) {
    sd <- sqrt(2 * n1 * n2 * (2 * n1 * n2 - N) / (N^2 * (N - 1)))
    moved <- if (R < mu) R + 0.5 else if (R > mu) R - 0.5 else R
    lo <- pnorm(moved, mu, sd); hi <- pnorm(moved, mu, sd, lower.tail = FALSE)
  } else {
    point <- function(u) {
      if (u %% 2 == 0) return(2 * choose(n1 - 1, u/2 - 1) * choose(n2 - 1, u/2 - 1) / choose(N, n1))
      h <- (u - 1) / 2
      (choose(n1 - 1, h) * choose(n2 - 1, h - 1) + choose(n1 - 1, h - 1) * choose(n2 - 1, h)) / choose(N, n1)
    }
    most <- 2 * min(n1, n2) + (n1 != n2)
    at <- if (tail == 2 || (tail == 0 && R >= mu)) R - 1 else R
    probs <- sapply(2:most, point)
    lo <- sum(probs[(2:most) <= at]); hi <- sum(probs[(2:most) > at])
    if (at >= most) { lo <- 1; hi <- 0 }
    if (at < 2) { lo <- 0; hi <- 1 }
  }
  c(R = R, mu = mu, p = switch(tail + 1, 2 * min(lo, hi), lo, hi))
}
lines <- list()
runs_sets <- list(rep(0:1, 15), c(rep(0, 30), rep(1, 30)), c(rep(0, 20), rep(1, 29)), c(0, 0, 1, 1),
                  c(1, 0, 1, 0, 1, 0, 1), c(0, 1, 1, 1, 1, 1), sample(rep(0:1, c(30, 30))),
                  sample(rep(0:1, c(20, 29))))
while (length(runs_sets) < 32) {
  n <- sample(c(4:30, 40, 49, 50, 60, 100, 500), 1)
  codes <- as.integer(runif(n) < runif(1, 0.2, 0.8))
  if (length(unique(codes)) == 2) runs_sets[[length(runs_sets) + 1]] <- codes
}
for (codes in runs_sets) {
  d <- next_dataset(); add_data(d, 1, codes)
  for (tail in 0:2) { r <- runs_p(codes, tail); lines[[length(lines) + 1]] <- line(d, tail, r["R"], r["mu"], r["p"]) }
}
writeFile("runs_results.csv", "dataset,tail,runs,expected,p", lines)

# ---------------------------------------------------------------- paired samples
draw <- function(n, k) {
  x <- switch(k %% 5 + 1, rnorm(n, 0.4), rexp(n) - 0.5, round(rnorm(n, 0.3), 1), round(rnorm(n) * 3),
              rt(n, 3) + 0.2)
  x
}
paired_sets <- list(
  # Hollander & Wolfe: depression scale, first and second visit (the example of R's wilcox.test)
  c(1.83, 0.50, 1.62, 2.48, 1.68, 1.88, 1.55, 3.06, 1.30) - c(0.878, 0.647, 0.598, 2.05, 1.06, 1.29, 1.06, 3.14, 1.29),
  c(-3:3, 0), c(1:25), seq(-12, 13), c(1:25, 0), rnorm(26), c(-2, -1, 1, 2))
while (length(paired_sets) < 36) {
  k <- length(paired_sets)
  n <- sample(c(3:30, 40, 60, 100, 300), 1)
  paired_sets[[k + 1]] <- draw(n, k)
}
# The binomial quantile of the sign test's interval ranks: the s where the continuous extension of
# the binomial distribution function, P[X <= s] = 1 - I_0.5(s + 1, n - s), equals p (0 below
# P[X <= 0], n above P[X <= n - 1]).
binomial_inverse <- function(p, n) {
  cdf <- function(s) pbeta(0.5, s + 1, n - s, lower.tail = FALSE)
  if (p < cdf(0)) return(NA)
  if (p >= cdf(n - 1e-9)) return(n)
  uniroot(function(s) cdf(s) - p, c(0, n - 1e-9), tol = 1e-13)$root
}
walsh <- function(x) { w <- outer(x, x, "+") / 2; sort(w[upper.tri(w, diag = TRUE)]) }
sign_lines <- list(); wil_lines <- list()
for (x in paired_sets) {
  d <- next_dataset(); add_data(d, 1, x)
  nz <- x[x != 0]; n <- length(nz); pos <- sum(nz > 0); s <- sort(nz)
  total <- length(x)
  r <- rank(abs(nz)); W <- sum(r[nz > 0]); ties <- any(duplicated(abs(nz)))
  mean <- n * (n + 1) / 4; M <- n * (n + 1) / 2
  tie_sizes <- table(abs(nz)); sd <- sqrt(n * (n + 1) * (2 * n + 1) / 24 - sum(tie_sizes^3 - tie_sizes) / 48)
  exact <- total <= 25
  all <- sort(x)
  for (tail in 0:2) for (level in levels) {
    alpha <- 1 - level / 100; a <- if (tail == 0) alpha / 2 else alpha
    # sign test
    b <- binom.test(pos, n, 0.5, alternatives[tail + 1])
    lo_rank <- trunc(binomial_inverse(a, n)); hi_rank <- trunc(binomial_inverse(1 - a, n) + 1)
    lo <- if (tail == 1) -Inf else if (is.na(lo_rank)) NA else s[lo_rank + 1]
    hi <- if (tail == 2) Inf else if (!is.na(hi_rank) && hi_rank < n) s[hi_rank + 1] else NA
    if (tail == 0 && (is.na(hi) || is.na(lo))) { lo <- NA; hi <- NA }  # one rank missing: no interval
    sign_lines[[length(sign_lines) + 1]] <- line(d, tail, level, pos, n, min(1, b$p.value), median(all), lo, hi)
    # Wilcoxon
    if (n == 0) next
    if (exact) {
      if (tail == 0 && floor(W) == mean) p <- 1
      else {
        up <- tail == 2 || (tail == 0 && W > mean)
        w <- if (up) floor(W - 1) else ceiling(W)
        lower <- psignrank(floor(w), n); upper <- psignrank(floor(w), n, lower.tail = FALSE)
        p <- if (up && w < 0) switch(tail + 1, 0, NA, 1) else switch(tail + 1, 2 * min(lower, upper), lower, upper)
      }
      if (!ties) stopifnot(abs(p - min(1, wilcox.test(nz, alternative = alternatives[tail + 1], exact = TRUE)$p.value)) <= 1e-12)
      c <- -1
      while (c + 1 <= M && psignrank(c + 1, n) <= a) c <- c + 1
      c <- max(c, 0)
    } else {
      p <- suppressWarnings(wilcox.test(nz, alternative = alternatives[tail + 1], exact = FALSE, correct = FALSE))$p.value
      c <- min(max(floor(qnorm(a, mean, sd)), 0), M - 1)
    }
    wa <- walsh(nz)
    lo <- if (tail == 1) -Inf else wa[c + 1]
    hi <- if (tail == 2) Inf else wa[M - c]
    if (exact && !ties && n > 1 && level == 95) {
      ci <- wilcox.test(nz, alternative = alternatives[tail + 1], exact = TRUE, conf.int = TRUE, conf.level = level / 100)$conf.int
      if (psignrank(c, n) != a) stopifnot(isTRUE(all.equal(c(lo, hi), as.vector(ci))))
    }
    wil_lines[[length(wil_lines) + 1]] <- line(d, tail, level, W, p, median(wa), lo, hi)
  }
}
writeFile("sign_results.csv", "dataset,tail,level,positives,n,p,median,lower,upper", sign_lines)
writeFile("wilcoxon_results.csv", "dataset,tail,level,W,p,estimate,lower,upper", wil_lines)

# ---------------------------------------------------------------- two samples
two_sets <- list(
  # Hollander & Wolfe: permeability constants, at term and 12-26 weeks (R's wilcox.test example)
  list(c(0.80, 0.83, 1.89, 1.04, 1.45, 1.38, 1.91, 1.64, 0.73, 1.46), c(1.15, 0.88, 0.90, 0.74, 1.21)),
  list(1:15, 16:30 - 8), list(rnorm(16), rnorm(3)), list(c(1, 2, 2, 3), c(2, 3, 3, 4, 5)))
while (length(two_sets) < 34) {
  k <- length(two_sets)
  n1 <- sample(c(2:20, 30, 50, 200), 1); n2 <- sample(c(2:20, 30, 50, 200), 1)
  two_sets[[k + 1]] <- list(draw(n1, k), draw(n2, k + 1) - 0.3)
}
lines <- list()
for (g in two_sets) {
  d <- next_dataset(); x <- g[[1]]; y <- g[[2]]; add_data(d, 1, x); add_data(d, 2, y)
  n1 <- length(x); n2 <- length(y); N <- n1 + n2
  r <- rank(c(x, y)); W <- sum(r[1:n1]); ties <- any(duplicated(c(x, y)))
  mean <- n1 * (N + 1) / 2; low <- n1 * (n1 + 1) / 2
  tie_sizes <- table(c(x, y))
  sd <- sqrt(n1 * n2 / (N * (N - 1)) * ((N^3 - N) / 12 - sum(tie_sizes^3 - tie_sizes) / 12))
  exact <- n1 <= 15 && n2 <= 15
  diffs <- sort(as.vector(outer(x, y, "-"))); M <- n1 * n2
  small <- min(n1, n2)
  for (tail in 0:2) for (level in levels) {
    alpha <- 1 - level / 100; a <- if (tail == 0) alpha / 2 else alpha
    if (exact) {
      U <- W - low
      if (tail == 0 && floor(W) == mean) p <- 1
      else {
        up <- tail == 2 || (tail == 0 && W > mean)
        u <- if (up) floor(U - 1) else ceiling(U)
        lower <- pwilcox(floor(u), n1, n2); upper <- pwilcox(floor(u), n1, n2, lower.tail = FALSE)
        p <- if (up && u < 0) switch(tail + 1, 0, NA, 1) else switch(tail + 1, 2 * min(lower, upper), lower, upper)
      }
      if (!ties) stopifnot(abs(p - min(1, wilcox.test(x, y, alternative = alternatives[tail + 1], exact = TRUE)$p.value)) <= 1e-12)
      c <- -1
      while (c + 1 <= M && pwilcox(c + 1, small, max(n1, n2)) <= a) c <- c + 1
      c <- max(c, 0)
    } else {
      p <- suppressWarnings(wilcox.test(x, y, alternative = alternatives[tail + 1], exact = FALSE, correct = FALSE))$p.value
      c <- min(max(floor(qnorm(a, small * (N + 1) / 2, sd)) - small * (small + 1) / 2, 0), M - 1)
    }
    lo <- if (tail == 1) -Inf else diffs[c + 1]
    hi <- if (tail == 2) Inf else diffs[M - c]
    if (exact && !ties && level == 95) {
      ci <- wilcox.test(x, y, alternative = alternatives[tail + 1], exact = TRUE, conf.int = TRUE)$conf.int
      if (pwilcox(c, small, max(n1, n2)) != a) stopifnot(isTRUE(all.equal(c(lo, hi), as.vector(ci))))
    }
    lines[[length(lines) + 1]] <- line(d, tail, level, W, p, median(diffs), lo, hi)
  }
}
writeFile("mannwhitney_results.csv", "dataset,tail,level,W,p,estimate,lower,upper", lines)

# ---------------------------------------------------------------- k samples
fisher_two_sided <- function(a, b, c, d) {
  if (a * d - b * c < 0) { t <- c(c, d, a, b); a <- t[1]; b <- t[2]; c <- t[3]; d <- t[4] }
  N <- a + b + c + d; x <- min(b, c)
  if (b <= c) { sample <- b + d; successes <- a + b } else { sample <- a + c; successes <- c + d }
  2 * min(phyper(x, successes, N - successes, sample), phyper(x, successes, N - successes, sample, lower.tail = FALSE))
}
k_sets <- list(
  # Hollander & Wolfe: mucociliary efficiency (R's kruskal.test example)
  list(c(2.9, 3.0, 2.5, 2.6, 3.2), c(3.8, 2.7, 4.0, 2.4), c(2.8, 3.4, 3.7, 2.2, 2.0)),
  list(c(5, 5, 5), c(5, 5), c(5, 5, 5, 5)),  # all equal: H = 0
  list(c(1, 2, 3, 4), c(3, 4, 5, 6)))
while (length(k_sets) < 34) {
  k <- sample(2:6, 1); gs <- list()
  for (j in 1:k) gs[[j]] <- draw(sample(c(2:15, 40), 1), length(k_sets) + j) + j / 4
  k_sets[[length(k_sets) + 1]] <- gs
}
kw_lines <- list(); med_lines <- list()
for (gs in k_sets) {
  d <- next_dataset(); for (j in seq_along(gs)) add_data(d, j, gs[[j]])
  all <- unlist(gs); g <- factor(rep(seq_along(gs), sapply(gs, length)))
  if (length(unique(all)) == 1) { H <- 0; p <- 1 }
  else { kt <- kruskal.test(all, g); H <- unname(kt$statistic); p <- kt$p.value }
  kw_lines[[length(kw_lines) + 1]] <- line(d, H, length(gs) - 1, p)
  m <- median(all)
  above <- sapply(gs, function(v) sum(v > m)); not <- sapply(gs, length) - above
  if (length(gs) == 2) mp <- fisher_two_sided(above[1], above[2], not[1], not[2])
  else {
    tab <- rbind(above, not)
    mp <- if (any(rowSums(tab) == 0)) NA else suppressWarnings(chisq.test(tab, correct = FALSE))$p.value
  }
  med_lines[[length(med_lines) + 1]] <- line(d, m, mp)
}
writeFile("kruskal_results.csv", "dataset,statistic,df,p", kw_lines)
writeFile("median_results.csv", "dataset,median,p", med_lines)

# ---------------------------------------------------------------- Friedman
fr_sets <- list(
  # Hollander & Wolfe: rounding first base, three methods on 22 players (R's friedman.test example)
  matrix(c(5.40, 5.50, 5.55, 5.85, 5.70, 5.75, 5.20, 5.60, 5.50, 5.55, 5.50, 5.40, 5.90, 5.85, 5.70,
           5.45, 5.55, 5.60, 5.40, 5.40, 5.35, 5.45, 5.50, 5.35, 5.25, 5.15, 5.00, 5.85, 5.80, 5.70,
           5.25, 5.20, 5.10, 5.65, 5.55, 5.45, 5.60, 5.35, 5.45, 5.05, 5.00, 4.95, 5.50, 5.50, 5.40,
           5.45, 5.55, 5.50, 5.55, 5.55, 5.35, 5.45, 5.50, 5.55, 5.50, 5.45, 5.25, 5.65, 5.60, 5.40,
           5.70, 5.65, 5.55, 6.30, 6.30, 6.25), nrow = 22, byrow = TRUE))
while (length(fr_sets) < 32) {
  b <- sample(c(2:12, 30, 100), 1); k <- sample(2:6, 1)
  m <- matrix(draw(b * k, length(fr_sets)), b, k) + rep(seq_len(k) / 3, each = b)
  if (length(fr_sets) %% 3 == 0) m <- round(m)
  fr_sets[[length(fr_sets) + 1]] <- m
}
lines <- list()
for (m in fr_sets) {
  d <- next_dataset()
  for (j in seq_len(ncol(m))) add_data(d, j, m[, j])
  ft <- friedman.test(m)
  st <- unname(ft$statistic); p <- ft$p.value
  if (is.nan(st)) { st <- 0; p <- 1 }
  lines[[length(lines) + 1]] <- line(d, st, ncol(m) - 1, p)
}
writeFile("friedman_results.csv", "dataset,statistic,df,p", lines)

writeFile("rank_data.csv", "dataset,group,value", data)
