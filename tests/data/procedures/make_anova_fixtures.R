# Reference results for the ANOVA tests, computed with R.
#
#   Rscript make_anova_fixtures.R        (run in this folder; rewrites the anova_*.csv files here)
#
# Needs the critical-value tables (../../../addin/procedures/tables/*.inc), whose lookup is written
# here again independently for the Tukey and Dunnett intervals.
#
# Data:
#   anova_data.csv      dataset,design,a,b,value   design 1b (a the group, b 1), 1w (a the treatment,
#                                                  b the subject), 2b (a and b the two factors);
#                                                  NA where a value is missing
# Results:
#   anova_tables.csv    dataset,design,term,ss,df,ms,f,p   from aov: term A, B, AB, Within, Total
#                       (ms, f, p NA where they do not apply; f and p NA when MS within < 1e-14)
#   anova_contrasts.csv dataset,kind,control,protection,level,first,second,difference,lower,upper,
#                       exact_lower,exact_upper
#                       kind 1 all pairwise, 2 against the control (level index, 0-based);
#                       protection 0 Dunnett .. 4 LSD; first and second 0-based level indexes;
#                       lower/upper with the critical value as the built-in tables give it (Tukey,
#                       Dunnett) or from qf/qt; exact_* with the exact quantile (qtukey as TukeyHSD
#                       uses it, Dunnett's two-sided quantile by integration), NA for the others
# Numbers are written with 17 significant digits. The sums of squares, differences and intervals do
# not change when a constant is taken from every value; R is given the data less their first value,
# so that its QR decomposition keeps the digits of data with a large common part (1e9 + small).

set.seed(20261209)
fmt <- function(x) ifelse(is.na(x), "NA", sprintf("%.17g", x))

# ---------------------------------------------------------------- the tables and their lookup
read_table <- function(name) {
  text <- readLines(file.path("../../../addin/procedures/tables", paste0(name, ".inc")))
  text <- sub("//.*", "", text)
  text <- text[grepl("[0-9]", text)]
  rows <- lapply(strsplit(gsub("f", "", text), ","), function(r) as.numeric(trimws(r[nzchar(trimws(r))])))
  do.call(rbind, rows)
}
tables <- list(tukey = list("0.05" = read_table("studentized_range_05"), "0.01" = read_table("studentized_range_01")),
               dunnett = list("0.05" = read_table("dunnett_05"), "0.01" = read_table("dunnett_01")))
lookup <- function(which, k, df, alpha) {
  t <- tables[[which]][[if (alpha == 0.01) "0.01" else "0.05"]]
  if (df < t[1, 1]) return(NA)
  dfs <- t[, 1]; n <- length(dfs)
  row <- if (df > dfs[n - 1]) n else max(which(dfs <= df))
  as_float(t[row, k])  # column 1 is the DF, k = 2 in column 2
}
# The tables hold single-precision numbers: 3.53 is the float nearest 3.53.
as_float <- function(x) readBin(writeBin(x, raw(), size = 4), "double", size = 4)

# P(max |T_i| <= c) for Dunnett's two-sided statistic (k - 1 comparisons, correlation 1/2).
p_dunnett_z <- function(x, m)
  integrate(function(y) dnorm(y) * (pnorm(sqrt(2) * x - y) - pnorm(-sqrt(2) * x - y))^m, -Inf, Inf,
            rel.tol = 1e-10)$value
p_dunnett <- function(c, m, df)
  integrate(Vectorize(function(s) p_dunnett_z(c * s, m) * 2 * df * s * dchisq(df * s^2, df)), 0, Inf,
            rel.tol = 1e-8)$value
dunnett_cache <- new.env()
q_dunnett <- function(p, k, df) {
  key <- paste(p, k, df)
  if (is.null(dunnett_cache[[key]]))
    dunnett_cache[[key]] <- uniroot(function(c) p_dunnett(c, k - 1, df) - p, c(0.5, 20), tol = 1e-9)$root
  dunnett_cache[[key]]
}

# ---------------------------------------------------------------- data
draw <- function(n, k, mean = 0) {
  s <- c(1, 0.3, 7, 15, 0.002, 120)[k %% 6 + 1]
  x <- switch(k %% 4 + 1, rnorm(n, mean, s), mean + s * (rexp(n) - 1), round(rnorm(n, mean, s), 1 + (k %% 3)),
              mean + s * rt(n, 4))
  x
}
base <- function(k) c(0, 5, -3, 100, 0.01, 2500, 1e6)[k %% 7 + 1]

data_rows <- c(); table_rows <- c(); contrast_rows <- c()
add_data <- function(d, design, a, b, v)
  data_rows <<- c(data_rows, sprintf("%d,%s,%d,%d,%s", d, design, a, b, fmt(v)))
add_table <- function(d, design, term, ss, df, ms, f, p)
  table_rows <<- c(table_rows, paste(c(d, design, term, fmt(c(ss, df, ms, f, p))), collapse = ","))

# aov's table with the zero-error rule; terms named A, B, AB in the order given.
write_aov <- function(d, design, fit, names) {
  s <- summary(fit)
  if (is.list(s) && !is.data.frame(s[[1]]) ) s <- s[[1]]
  tab <- if (inherits(s, "summary.aovlist")) s[[length(s)]][[1]] else s[[1]]
  rn <- trimws(rownames(tab))
  res <- which(rn == "Residuals")
  ssw <- tab[res, "Sum Sq"]; dfw <- tab[res, "Df"]; msw <- ssw / dfw
  total_ss <- ssw; total_df <- dfw
  for (i in seq_along(names)) {
    r <- which(rn == names[i])
    ss <- tab[r, "Sum Sq"]; df <- tab[r, "Df"]; ms <- ss / df
    f <- ms / msw; p <- pf(f, df, dfw, lower.tail = FALSE)
    if (!(abs(msw) >= 1e-14)) { f <- NA; p <- NA }
    add_table(d, design, c("A", "B", "AB")[i], ss, df, ms, f, p)
    total_ss <- total_ss + ss; total_df <- total_df + df
  }
  add_table(d, design, "Within", ssw, dfw, msw, NA, NA)
  add_table(d, design, "Total", total_ss, total_df, NA, NA, NA)
  list(msw = msw, dfw = dfw)
}

contrasts_for <- function(d, y, g, err) {
  k <- nlevels(g); means <- tapply(y, g, mean); n <- tapply(y, g, length)
  for (kind in 1:2) for (protection in 0:4) for (level in c(95, 99, 90)) {
    if (kind == 1 && protection == 0) next
    if (kind == 2 && protection == 1) next
    alpha <- (100 - level) / 100  # exactly 0.01 for 99%: the 1% tables
    if (protection <= 1 && !(level %in% c(95, 99))) next
    m <- if (kind == 1) k * (k - 1) / 2 else k - 1
    if (protection == 0 && (k > 10 || m > 10)) next
    if (protection == 1 && (k > 6 || m > 20)) next
    control <- if (kind == 2) (d %% k) else 0
    crit <- switch(protection + 1,
                   lookup("dunnett", k, err$dfw, alpha),
                   lookup("tukey", k, err$dfw, alpha) / sqrt(2),
                   sqrt((k - 1) * qf(alpha, k - 1, err$dfw, lower.tail = FALSE)),
                   sqrt(qf(alpha / m, 1, err$dfw, lower.tail = FALSE)),
                   qt(alpha / 2, err$dfw, lower.tail = FALSE))
    exact <- switch(protection + 1, q_dunnett(1 - alpha, k, err$dfw), qtukey(1 - alpha, k, err$dfw) / sqrt(2),
                    NA, NA, NA)
    pairs <- if (kind == 1) t(combn(k, 2)) else cbind(setdiff(seq_len(k), control + 1), control + 1)
    for (r in seq_len(nrow(pairs))) {
      i <- pairs[r, 1]; j <- pairs[r, 2]
      diff <- means[[i]] - means[[j]]
      se <- sqrt((1 / n[[i]] + 1 / n[[j]]) * err$msw)
      contrast_rows <<- c(contrast_rows, paste(c(d, kind, control, protection, level, i - 1, j - 1,
        fmt(c(diff, diff - crit * se, diff + crit * se, diff - exact * se, diff + exact * se))), collapse = ","))
    }
  }
}

# ---------------------------------------------------------------- one-way between subjects
ks <- c(2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 20)
for (d in 1:36) {
  k <- ks[(d - 1) %% length(ks) + 1]
  n <- if (d %% 3 == 0) rep(c(2, 3, 5, 8, 30, 120)[d %% 6 + 1], k) else sample(2:(5 + d %% 9 * 4), k, replace = TRUE)
  y <- c(); g <- c()
  for (i in seq_len(k)) {
    x <- draw(n[i], d, base(d) + (i %% 3) * c(0, 0.2, 1, 3)[d %% 4 + 1])
    if (d == 7) x <- rep(4.2, n[i])             # constant data: no error at all
    if (d == 8) x <- rep(c(1, 1, 2)[i %% 3 + 1], n[i]) + rep_len(c(0, 0.5), n[i])  # ties, equal within some groups
    if (d == 9) x <- 1e9 + x * 1e-3             # a large common part
    y <- c(y, x); g <- c(g, rep(i, n[i]))
  }
  miss <- if (d %% 5 == 0) sample(seq_along(y), max(1, length(y) %/% 10)) else integer(0)
  miss <- miss[!duplicated(g[miss])]          # at most one missing value per group
  miss <- miss[vapply(miss, function(m) sum(g == g[m]) > 2, logical(1))]
  for (i in seq_along(y)) add_data(d, "1b", g[i], 1, if (i %in% miss) NA else y[i])
  keep <- !(seq_along(y) %in% miss)
  yy <- y[keep]; gg <- factor(g[keep], levels = seq_len(k))
  yc <- yy - yy[1]
  err <- write_aov(d, "1b", aov(yc ~ gg), c("gg"))
  contrasts_for(d, yc, gg, err)
}

# ---------------------------------------------------------------- one-way within subjects
for (d in 101:134) {
  k <- c(2, 3, 4, 5, 8)[d %% 5 + 1]
  s <- c(2, 3, 5, 8, 12, 20, 40)[d %% 7 + 1]
  subject_effect <- rnorm(s, 0, c(0.1, 1, 10)[d %% 3 + 1])
  y <- matrix(0, s, k)
  for (t in seq_len(k)) y[, t] <- base(d) + subject_effect + t * c(0, 0.1, 1)[d %% 3 + 1] + draw(s, d)
  if (d == 107) y[] <- 3                        # constant
  if (d == 108) y <- round(y)                   # ties
  if (d %% 4 == 0 && s > 2) y[sample(s, 1), sample(k, 1)] <- NA   # a missing value drops its subject
  for (i in seq_len(s)) for (t in seq_len(k)) add_data(d, "1w", t, i, y[i, t])
  ok <- complete.cases(y)
  yy <- y[ok, , drop = FALSE]
  long <- data.frame(v = as.vector(yy) - yy[1], tr = factor(rep(seq_len(k), each = nrow(yy))),
                     subj = factor(rep(seq_len(nrow(yy)), k)))
  # subject + treatment model: the interaction is the residual
  write_aov(d, "1w", aov(v ~ tr + subj, data = long), c("tr", "subj"))
}

# ---------------------------------------------------------------- two-way between subjects, balanced
for (d in 201:234) {
  ka <- c(2, 3, 4, 2, 5)[d %% 5 + 1]; kb <- c(2, 2, 3, 6)[d %% 4 + 1]; r <- c(2, 3, 4, 6, 10)[d %% 5 + 1]
  y <- c(); a <- c(); b <- c()
  for (i in seq_len(ka)) for (j in seq_len(kb)) {
    x <- draw(r, d, base(d) + i * c(0, 1)[d %% 2 + 1] + (i * j) %% 3 * c(0, 0.5, 2)[d %% 3 + 1])
    if (d == 207) x <- rep(1.5, r)
    y <- c(y, x); a <- c(a, rep(i, r)); b <- c(b, rep(j, r))
  }
  for (i in seq_along(y)) add_data(d, "2b", a[i], b[i], y[i])
  fa <- factor(a); fb <- factor(b)
  yc <- y - y[1]
  write_aov(d, "2b", aov(yc ~ fa * fb), c("fa", "fb", "fa:fb"))
}

# ---------------------------------------------------------------- the workbooks of tests/data/dataset
# 50: groups_by_title.xlsx, Weight by Diet (Low, Medium, High), one-way between subjects
wb <- list(c(60, 62, 59, 65, 61), c(66, 68, 70, 64, 69, 71, 67), c(75, 78, 74, 80))
y <- unlist(wb); g <- factor(rep(1:3, lengths(wb)))
for (i in seq_along(y)) add_data(50, "1b", as.integer(g[i]), 1, y[i])
err <- write_aov(50, "1b", aov(y ~ g), c("g"))
contrasts_for(50, y, g, err)
# 150: list_repeat_measures.xlsx, Glucose on Day 1 to 3 of 8 subjects, within subjects
gl <- cbind(c(5.1, 5.4, 6.0, 4.9, 5.5, 5.8, 6.2, 5.0), c(5.3, 5.2, 6.1, 5.0, 5.9, 5.7, 6.0, 5.1),
            c(5.6, 5.5, 6.4, 5.2, 6.0, 6.1, 6.5, 5.4))
for (i in 1:8) for (t in 1:3) add_data(150, "1w", t, i, gl[i, t])
long <- data.frame(v = as.vector(gl), tr = factor(rep(1:3, each = 8)), subj = factor(rep(1:8, 3)))
invisible(write_aov(150, "1w", aov(v ~ tr + subj, data = long), c("tr", "subj")))
# the same through the error strata of the repeated-measures model
strata <- summary(aov(v ~ tr + Error(subj / tr), data = long))
stopifnot(abs(strata[["Error: subj:tr"]][[1]]["tr", "Sum Sq"] -
              summary(aov(v ~ tr + subj, data = long))[[1]]["tr", "Sum Sq"]) < 1e-12)
# 250: tabular_two_factors.xlsx, Yield by Region (North, South) and Fertiliser (None, Low, High)
yield <- list(c(4.1, 4.3, 3.9), c(5.0, 5.2, 4.8), c(6.1, 6.0, 5.8), c(3.5, 3.6, 3.8), c(4.4, 4.6, 4.5),
              c(5.2, 5.5, 5.4))
y <- unlist(yield); a <- rep(c(1, 2), each = 9); b <- rep(rep(1:3, each = 3), 2)
for (i in seq_along(y)) add_data(250, "2b", a[i], b[i], y[i])
fa <- factor(a); fb <- factor(b)
invisible(write_aov(250, "2b", aov(y ~ fa * fb), c("fa", "fb", "fa:fb")))

writeLines(c("dataset,design,a,b,value", data_rows), "anova_data.csv")
writeLines(c("dataset,design,term,ss,df,ms,f,p", table_rows), "anova_tables.csv")
writeLines(c("dataset,kind,control,protection,level,first,second,difference,lower,upper,exact_lower,exact_upper",
             contrast_rows), "anova_contrasts.csv")
