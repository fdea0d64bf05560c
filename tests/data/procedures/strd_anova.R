# The NIST StRD analysis-of-variance data sets (strd/*.dat): certified values, R's aov, and the exact
# values of the data as double precision stores them (exact rational arithmetic with gmp), so that
# the tests can tell what the data themselves allow where the certified values are out of reach.
#
#   Rscript strd_anova.R        (run in this folder; rewrites strd_anova.txt; needs r-cran-gmp)
#
# strd_anova.txt: dataset quantity certified r exact   (quantity: ssb ssw msb msw f r2 sd)

library(gmp)
names <- c("SiRstv", "AtmWtAg", sprintf("SmLs%02d", 1:9))
num <- function(s) as.numeric(regmatches(s, gregexpr("[-+]?[0-9.]+E[-+][0-9]+", s))[[1]])
out <- c("dataset quantity certified r exact")
for (name in names) {
  lines <- readLines(file.path("strd", paste0(name, "t.dat")))
  range <- as.integer(regmatches(lines[7], gregexpr("[0-9]+", lines[7]))[[1]])
  rows <- strsplit(trimws(lines[range[1]:range[2]]), "[[:space:]]+")
  rows <- rows[lengths(rows) > 0]
  y <- as.numeric(unlist(rows)); g <- factor(rep(seq_along(rows[[1]]), length(rows)))
  between <- num(grep("^Between", lines, value = TRUE)); within <- num(grep("^Within", lines, value = TRUE))
  cert <- c(ssb = between[1], ssw = within[1], msb = between[2], msw = within[2], f = between[3],
            r2 = num(grep("R-Squared", lines, value = TRUE)),
            sd = num(grep("Standard Deviation", lines, value = TRUE)))
  tab <- summary(aov(y ~ g))[[1]]
  r <- c(ssb = tab[1, "Sum Sq"], ssw = tab[2, "Sum Sq"], msb = tab[1, "Mean Sq"], msw = tab[2, "Mean Sq"],
         f = tab[1, "F value"], r2 = tab[1, "Sum Sq"] / sum(tab[, "Sum Sq"]), sd = sqrt(tab[2, "Mean Sq"]))
  # exact, with every stored double as the rational it is
  q <- as.bigq(y)
  grand <- sum(q) / length(q)
  ssb <- as.bigq(0); ssw <- as.bigq(0)
  for (level in levels(g)) {
    x <- q[g == level]; m <- sum(x) / length(x)
    ssb <- ssb + length(x) * (m - grand)^2
    ssw <- ssw + sum((x - m)^2)
  }
  dfb <- nlevels(g) - 1; dfw <- length(y) - nlevels(g)
  e <- c(ssb = as.numeric(ssb), ssw = as.numeric(ssw), msb = as.numeric(ssb / dfb), msw = as.numeric(ssw / dfw),
         f = as.numeric((ssb / dfb) / (ssw / dfw)), r2 = as.numeric(ssb / (ssb + ssw)),
         sd = sqrt(as.numeric(ssw / dfw)))
  for (k in names(cert))
    out <- c(out, sprintf("%s %s %.17g %.17g %.17g", name, k, cert[[k]], r[[k]], e[[k]]))
}
writeLines(out, "strd_anova.txt")
