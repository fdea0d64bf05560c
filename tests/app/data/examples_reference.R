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

writeLines(out, "tests/app/data/examples_reference.txt")
