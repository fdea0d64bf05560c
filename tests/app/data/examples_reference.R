# Reference results for the example workbooks (examples/*.xlsx), written to examples_reference.txt
# as "name value" lines with 17 significant digits. Run from the top folder:
#   Rscript tests/app/data/examples_reference.R
# Needs readxl (Debian: r-cran-readxl).
library(readxl)
out <- character()
put <- function(prefix, r) {
  v <- c(t = unname(r$statistic), df = unname(r$parameter), p = r$p.value,
         lo = r$conf.int[1], hi = r$conf.int[2])
  for (k in names(v)) out <<- c(out, sprintf("%s_%s %.17g", prefix, k, v[[k]]))
}

diet <- read_excel("examples/cholesterol-diet.xlsx", skip = 1)
low <- na.omit(diet[["Low fat"]]); med <- na.omit(diet[["Mediterranean"]])
put("diet_pooled", t.test(low, med, var.equal = TRUE))
put("diet_welch", t.test(low, med, var.equal = FALSE))
put("diet_pooled_less", t.test(low, med, var.equal = TRUE, alternative = "less", conf.level = 0.9))
f <- var.test(low, med)
out <- c(out, sprintf("diet_f %.17g", unname(f$statistic)), sprintf("diet_f_p %.17g", f$p.value))

weight <- read_excel("examples/weight-programme.xlsx", skip = 1)
put("weight_paired", t.test(weight$Before, weight$After, paired = TRUE))

qc <- read_excel("examples/control-material.xlsx", skip = 2)
put("qc", t.test(qc[["Glucose (mmol/L)"]], mu = 5.5))

writeLines(out, "tests/app/data/examples_reference.txt")
