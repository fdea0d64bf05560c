# R's vectorised equivalents of numerics_bench.cpp, same arguments, timed the same way.
# Prints "name seconds checksum" per task.
calls <- 1e6; values <- 1e7
args <- commandArgs(trailingOnly = TRUE)
if (length(args) && args[1] == "--quick") { calls <- calls / 100; values <- values / 100 }
i <- 0:(calls - 1)
u <- (i + 0.5) / calls
df <- c(1, 5, 30, 200)[i %% 4 + 1]
time <- function(name, expr) {
  t <- system.time(s <- sum(expr))[["elapsed"]]
  cat(sprintf("%s %.4f %.10g\n", name, t, s))
}
time("TP", { t <- -10 + 20 * u; 2 * pt(-abs(t), df) })
time("ChiSquareP", pchisq(50 * u, 1 + 3 * (i %% 4), lower.tail = FALSE))
time("FP", pf(10 * u, 1 + 4 * (i %% 3), 10 + 20 * (i %% 2), lower.tail = FALSE))
time("TQuantile", qt((1e-6 + 0.5 * u) / 2, df))
time("BinomialP", { s <- i %% 101; pr <- 0.1 + 0.3 * (i %% 3); pbinom(s - 1, 100, pr, lower.tail = FALSE) })
time("Descriptives", {
  j <- 0:(values - 1)
  v <- sin(j * 0.001) * 100 + (j %% 1000) * 0.01
  m <- mean(v); d <- v - m; n <- length(v)
  s2 <- sum(d^2) / n
  c(m, sd(v), (sum(d^3) / n) / s2^1.5, (sum(d^4) / n) / s2^2,
    quantile(v, c(0, 0.05, 0.25, 0.5, 0.75, 0.95, 1), type = 6, names = FALSE))
})
