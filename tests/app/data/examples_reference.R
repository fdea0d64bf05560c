# Reference results for the example workbooks (examples/*.xlsx), written to examples_reference.txt
# as "name value" lines with 17 significant digits. Run from the top folder:
#   Rscript tests/app/data/examples_reference.R
# Needs readxl (Debian: r-cran-readxl).
library(readxl)
out <- character()
# Intervals are of the difference (mean minus hypothesised mean for one sample), as the report gives them.
put <- function(prefix, r, shift = 0) {
  v <- c(t = unname(r$statistic), df = unname(r$parameter), p = r$p.value,
         lo = r$conf.int[1] - shift, hi = r$conf.int[2] - shift)
  for (k in names(v)) out <<- c(out, sprintf("%s_%s %.17g", prefix, k, v[[k]]))
}

diet <- read_excel("examples/cholesterol-diet.xlsx", skip = 1)
low <- na.omit(diet[["Low fat"]]); med <- na.omit(diet[["Mediterranean"]])
put("diet_pooled", t.test(low, med, var.equal = TRUE))
put("diet_welch", t.test(low, med, var.equal = FALSE))
put("diet_pooled_less", t.test(low, med, var.equal = TRUE, alternative = "less", conf.level = 0.9))
# var.test: the interval is of the variance ratio; "df" is the numerator's degrees of freedom.
f <- var.test(low, med)
f$parameter <- f$parameter[1]
put("diet_f", f)

weight <- read_excel("examples/weight-programme.xlsx", skip = 1)
put("weight_paired", t.test(weight$Before, weight$After, paired = TRUE))

qc <- read_excel("examples/control-material.xlsx", skip = 2)
put("qc", t.test(qc[["Glucose (mmol/L)"]], mu = 5.5), shift = 5.5)

# The z statistic by formula (population SD 0.12 mmol/L), two-sided, 95%; no degrees of freedom.
g <- qc[["Glucose (mmol/L)"]]
d <- mean(g) - 5.5; se <- 0.12 / sqrt(length(g)); z <- d / se
out <- c(out, sprintf("qc_z_t %.17g", z), sprintf("qc_z_p %.17g", 2 * pnorm(-abs(z))),
         sprintf("qc_z_lo %.17g", d - qnorm(0.975) * se), sprintf("qc_z_hi %.17g", d + qnorm(0.975) * se))

# The tests on counts and the correlation tests. Where a test's two-sided rule differs from R's
# function (twice the smaller tail) it is written out here.
put_values <- function(prefix, v) for (k in names(v)) out <<- c(out, sprintf("%s_%s %.17g", prefix, k, v[[k]]))
seeds <- read_excel("examples/binomial.xlsx", skip = 2)
s <- sum(seeds$Result == "Germinated"); n <- nrow(seeds)
b <- binom.test(s, n, 0.9)
put_values("binomial", c(t = s / n, p = 2 * min(pbinom(s, n, 0.9), pbinom(s, n, 0.9, lower.tail = FALSE)),
                         lo = b$conf.int[1], hi = b$conf.int[2]))

dressings <- read_excel("examples/fisher.xlsx")
tab <- table(dressings$Dressing, dressings$Infection)  # rows Silver, Standard; columns Healed, Infected
a <- tab[1, 1]; bb <- tab[1, 2]; cc <- tab[2, 1]; d <- tab[2, 2]
rr <- (a / (a + bb)) / (cc / (cc + d)); se <- sqrt(1/a - 1/(a + bb) + 1/cc - 1/(cc + d))
# ad >= bc and b <= c here: the hypergeometric tail of b, sample b + d, successes a + b.
stopifnot(a * d >= bb * cc, bb <= cc)
lower <- phyper(bb, a + bb, cc + d, bb + d); above <- phyper(bb, a + bb, cc + d, bb + d, lower.tail = FALSE)
put_values("fisher_rr", c(t = rr, p = 2 * min(lower, above), lo = exp(log(rr) - qnorm(0.975) * se),
                          hi = exp(log(rr) + qnorm(0.975) * se)))

campaign <- read_excel("examples/mcnemar.xlsx")
g <- sum(campaign$Before == "No plan" & campaign$After == "Plans to quit")
h <- sum(campaign$Before == "Plans to quit" & campaign$After == "No plan")
m <- binom.test(g, g + h)
N <- nrow(campaign)
put_values("mcnemar", c(t = (g - h) / N, p = m$p.value, lo = (g + h) / N * (2 * m$conf.int[1] - 1),
                        hi = (g + h) / N * (2 * m$conf.int[2] - 1)))

donors <- read_excel("examples/chisq.xlsx")
x2 <- chisq.test(table(donors$Region, donors[["Blood group"]]), correct = FALSE)
put_values("chisq", c(t = unname(x2$statistic), df = unname(x2$parameter), p = x2$p.value))

sim <- read_excel("examples/cochranq.xlsx")
y <- sapply(sim[, 2:4], function(v) as.integer(v == "Fail"))
C <- colSums(y); R <- rowSums(y); k <- ncol(y)
q <- k * (k - 1) * sum((C - mean(C))^2) / (k * sum(R) - sum(R^2))
put_values("cochranq", c(t = q, df = k - 1, p = pchisq(q, k - 1, lower.tail = FALSE)))

wine <- read_excel("examples/nonpcorr.xlsx", skip = 1)
ja <- wine[["Judge A"]]; jb <- wine[["Judge B"]]
pc <- cor.test(ja, jb)
put_values("pearson", c(t = unname(pc$estimate), df = unname(pc$parameter), p = pc$p.value,
                        lo = pc$conf.int[1], hi = pc$conf.int[2]))
sc <- cor.test(rank(ja), rank(jb))
put_values("spearman", c(t = unname(sc$estimate), df = unname(sc$parameter), p = sc$p.value,
                         lo = sc$conf.int[1], hi = sc$conf.int[2]))
kc <- suppressWarnings(cor.test(ja, jb, method = "kendall", exact = FALSE, continuity = FALSE))
put_values("kendall", c(t = cor(ja, jb, method = "kendall"), p = kc$p.value))

# The rank-based tests. "t" is the statistic as the report labels it.
line3 <- read_excel("examples/runs.xlsx", skip = 2)
codes <- line3[["Fill weight"]]
first <- codes[1]; n1 <- sum(codes == first); n2 <- sum(codes != first); N <- n1 + n2
R <- 1 + sum(codes[-1] != codes[-length(codes)]); mu <- 2 * n1 * n2 / N + 1
stopifnot(N <= 49)  # the exact distribution of the number of runs
point <- function(u) {
  if (u %% 2 == 0) return(2 * choose(n1 - 1, u/2 - 1) * choose(n2 - 1, u/2 - 1) / choose(N, n1))
  h <- (u - 1) / 2
  (choose(n1 - 1, h) * choose(n2 - 1, h - 1) + choose(n1 - 1, h - 1) * choose(n2 - 1, h)) / choose(N, n1)
}
most <- 2 * min(n1, n2) + (n1 != n2); at <- if (R >= mu) R - 1 else R
probs <- sapply(2:most, point)
put_values("runs", c(t = R, p = 2 * min(sum(probs[(2:most) <= at]), sum(probs[(2:most) > at]))))

pain <- read_excel("examples/sign.xlsx", skip = 1)
d <- pain$Baseline - pain[["Week 6"]]; nz <- d[d != 0]
put_values("sign", c(t = sum(nz > 0), p = binom.test(sum(nz > 0), length(nz))$p.value))
# 18 differences: exact; with ties the table is read at the floor of W.
n <- length(nz); W <- sum(rank(abs(nz))[nz > 0]); centre <- n * (n + 1) / 4
wp <- if (W > centre) psignrank(floor(W - 1), n, lower.tail = FALSE) else psignrank(floor(W), n)
put_values("wilcoxon", c(t = W, p = min(1, 2 * wp)))
fr <- friedman.test(as.matrix(pain[, c("Baseline", "Week 2", "Week 6")]))
put_values("friedman", c(t = unname(fr$statistic), df = unname(fr$parameter), p = fr$p.value))

low_n <- length(low); med_n <- length(med)
mw <- wilcox.test(low, med, exact = FALSE, correct = FALSE)
put_values("mannwht", c(t = low_n * (low_n + 1) / 2 + low_n * med_n - sum(rank(c(low, med))[1:low_n]), p = mw$p.value))
kw <- kruskal.test(list(low, med))
put_values("kruskal", c(t = unname(kw$statistic), df = unname(kw$parameter), p = kw$p.value))
m <- median(c(low, med)); above <- c(sum(low > m), sum(med > m)); not <- c(low_n, med_n) - above
a <- above[1]; bb <- above[2]; cc <- not[1]; d <- not[2]
if (a * d - bb * cc < 0) { a <- not[1]; bb <- not[2]; cc <- above[1]; d <- above[2] }
x <- min(bb, cc)
if (bb <= cc) { size <- bb + d; succ <- a + bb } else { size <- a + cc; succ <- cc + d }
NN <- a + bb + cc + d
put_values("median", c(t = m, p = 2 * min(phyper(x, succ, NN - succ, size), phyper(x, succ, NN - succ, size, lower.tail = FALSE))))

writeLines(out, "tests/app/data/examples_reference.txt")
