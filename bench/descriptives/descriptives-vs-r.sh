#!/usr/bin/env bash
# Times `quelstat run ... --test dscrptv` (percentiles, Shapiro-Wilk normality test, percentile plot and
# histogram written into the report's charts, the reports workbook saved) on 65,535 observations, the
# most a variable holds, against R reading the same .xlsx file (readxl; a CSV export with data.table's
# fread or read.csv where readxl is missing) and computing summary, quantile, shapiro.test (on its limit
# of 5,000 values) and hist in the same command. Prints both totals and the ratio quelstat / R (below 1:
# quelstat is faster).
#
#   bench/descriptives/descriptives-vs-r.sh [BUILD_BIN] [REPEATS]
#
# Never run as a test: it needs R.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
bin=${1:-$top/build/bin}
repeats=${2:-3}
quelstat=$bin/quelstat
command -v Rscript >/dev/null || { echo "bench: R (Rscript) is not installed" >&2; exit 2; }
[ -x "$quelstat" ] || { echo "bench: $quelstat not built" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QUELSTAT_HOME=$work/settings QUELSTAT_NO_DESKTOP=1

# Glucose-like values, right-skewed, one column under its name; saved as .xlsx by the host itself.
/usr/bin/python3 - "$work/big.csv" <<'PY'
import random, sys
rng = random.Random(65535)
with open(sys.argv[1], "w") as f:
    f.write("Glucose\n")
    for _ in range(65535):
        f.write("%.2f\n" % (4.2 + rng.lognormvariate(0.1, 0.45)))
PY
printf 'open %s\nsave %s\nclose\nquit\n' "$work/big.csv" "$work/big.xlsx" | "$quelstat" script - >/dev/null

cat > "$work/d.R" <<'R'
args <- commandArgs(trailingOnly = TRUE)
if (requireNamespace("readxl", quietly = TRUE)) {
  x <- suppressMessages(readxl::read_excel(args[1]))[[1]]
} else if (requireNamespace("data.table", quietly = TRUE)) {
  x <- data.table::fread(args[2])[[1]]
} else {
  x <- read.csv(args[2])[[1]]
}
s <- summary(x)
q <- quantile(x, c(0.025, 0.25, 0.5, 0.75, 0.975), type = 6)
w <- shapiro.test(x[1:5000])
h <- hist(x, plot = FALSE)
cat(sprintf("R: mean %.6f, W (first 5,000) %.6f, %d histogram bins\n", s[["Mean"]], w$statistic, length(h$counts)))
R

now() { date +%s.%N; }
best_q=1e9
best_r=1e9
for i in $(seq "$repeats"); do
  t0=$(now)
  "$quelstat" run "$work/big.xlsx" --cell A2 --test dscrptv --reports "$work/r$i.xlsx" > "$work/q.out" 2> "$work/q.err" ||
    { cat "$work/q.err" >&2; exit 1; }
  t1=$(now)
  Rscript "$work/d.R" "$work/big.xlsx" "$work/big.csv" > "$work/r.out"
  t2=$(now)
  best_q=$(awk "BEGIN{q = $t1 - $t0; print (q < $best_q) ? q : $best_q}")
  best_r=$(awk "BEGIN{r = $t2 - $t1; print (r < $best_r) ? r : $best_r}")
done
grep -E '^ *[0-9]+  (n|Mean|Statistic) ' "$work/q.out" | head -3 || true
cat "$work/r.out"
printf 'quelstat run (file to saved report): %.3f s   R (read, summary, quantile, shapiro.test, hist): %.3f s\n' \
  "$best_q" "$best_r"
printf 'ratio quelstat / R (end to end, best of %d): %.3f\n' "$repeats" "$(awk "BEGIN{print $best_q / $best_r}")"
