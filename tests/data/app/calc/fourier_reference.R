# Reference values of the worksheet functions A.LU, A.LU.PP and A.LU.PHASE for the calculation
# tests: one Fourier component of a series at given time points, computed in R from the definition
# (omega = 6.28318530717958 K / n; sine coefficient 0 for K = 0 and K = floor(n/2); phase in degrees
# with 360 added to a negative one). Run: Rscript fourier_reference.R > fourier_reference.txt
t <- c(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14.5, 15)
x <- c(12.1, 14.8, 15.2, 13.0, 9.7, 6.9, 6.1, 7.8, 11.0, 14.2, 15.9, 14.6, 11.3, 8.2, 6.4, 7.0)
component <- function(t, x, K) {
  n <- length(t)
  w <- 6.28318530717958 * K / n
  C <- sum(x * cos(w * t)); S <- sum(x * sin(w * t))
  a <- if (K == 0 || K == floor(n / 2)) 0 else 2 * S / n
  b <- 2 * C / n
  phase <- atan2(a, b) * 57.29577951308239
  if (phase < 0) phase <- phase + 360
  c(power = a^2 + b^2, phase = phase)
}
cat("t", t, "\n")
cat("x", x, "\n")
for (K in c(1, 2, 3, 8)) {
  r <- component(t, x, K)
  cat(sprintf("K %g %.17g %.17g\n", K, r[["power"]], r[["phase"]]))
}
# After x[1] (cell B1) changes to 20:
x[1] <- 20
r <- component(t, x, 2)
cat(sprintf("changed %.17g %.17g\n", r[["power"]], r[["phase"]]))
