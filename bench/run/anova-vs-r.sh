#!/usr/bin/env bash
# Times `quelstat run` of the one-way ANOVA (20 groups) and of the two-way ANOVA (4 x 3 cells, balanced)
# on 65,535 observations, the most a sheet holds below its header, end to end (reading the workbook,
# finding the dataset, computing, writing and saving the report), against R's aov on the same numbers,
# R reading the same .xlsx with readxl where it is installed (else the CSV the workbook was made from,
# with data.table's fread or read.csv). Prints both totals, the quelstat result's F and R's, and the
# ratio quelstat / R (below 1: quelstat is faster).
#
#   bench/run/anova-vs-r.sh [BUILD_BIN]
#
# Never run as a test: it needs R and takes some seconds.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
bin=${1:-$top/build/bin}
quelstat=$bin/quelstat
py=/usr/bin/python3
command -v Rscript >/dev/null || { echo "bench: R (Rscript) is not installed" >&2; exit 2; }
[ -x "$quelstat" ] || { echo "bench: $quelstat not built" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QUELSTAT_HOME=$work/settings QUELSTAT_NO_DESKTOP=1
n=65535

# Two list workbooks: Batch (20 levels), Value; Dose (4), Site (3), Value with 5,461 per cell.
$py - "$work" "$n" <<'PY'
import random, sys
work, n = sys.argv[1], int(sys.argv[2])
rng = random.Random(65535)
with open(work + "/oneway.csv", "w") as f:
    f.write("Batch,Value\n")
    for i in range(n):
        f.write("B%02d,%.3f\n" % (i % 20 + 1, rng.gauss(50 + (i % 20) * 0.05, 2.0)))
with open(work + "/twoway.csv", "w") as f:
    f.write("Dose,Site,Value\n")
    for i in range(n - n % 12):
        d, s = i % 4, (i // 4) % 3
        f.write("D%d,S%d,%.3f\n" % (d + 1, s + 1, rng.gauss(10 + d * 0.3 + s * 0.1 + (d * s) % 2 * 0.05, 1.5)))
PY
for name in oneway twoway; do
  printf 'open %s\nsave %s\nclose\nquit\n' "$work/$name.csv" "$work/$name.xlsx" | "$quelstat" script - >/dev/null
done
"$quelstat" variable "$work/oneway.xlsx" --cell A2 --type nominal --save >/dev/null
"$quelstat" variable "$work/twoway.xlsx" --cell A2 --type nominal --save >/dev/null
"$quelstat" variable "$work/twoway.xlsx" --cell B2 --type nominal --save >/dev/null

now() { date +%s.%N; }
elapsed() { awk "BEGIN{print $2 - $1}"; }

cat > "$work/aov.R" <<'R'
args <- commandArgs(trailingOnly = TRUE)  # xlsx, csv, design
t0 <- proc.time()[["elapsed"]]
if (requireNamespace("readxl", quietly = TRUE)) {
  d <- as.data.frame(readxl::read_excel(args[1])); reader <- "readxl"
} else if (requireNamespace("data.table", quietly = TRUE)) {
  d <- as.data.frame(data.table::fread(args[2])); reader <- "fread (CSV)"
} else {
  d <- read.csv(args[2]); reader <- "read.csv (CSV)"
}
t1 <- proc.time()[["elapsed"]]
s <- if (args[3] == "oneway") summary(aov(Value ~ factor(Batch), data = d)) else
  summary(aov(Value ~ factor(Dose) * factor(Site), data = d))
t2 <- proc.time()[["elapsed"]]
cat(sprintf("  R         read %.3f s (%s)  aov %.3f s  F %.10g\n", t1 - t0, reader, t2 - t1, s[[1]][1, "F value"]))
R

total_q=0; total_r=0
for design in oneway twoway; do
  test=$([ $design = oneway ] && echo anova1b || echo anova2b)
  cell=$([ $design = oneway ] && echo B2 || echo C2)
  t0=$(now)
  "$quelstat" run "$work/$design.xlsx" --cell "$cell" --test "$test" --reports "$work/$design-reports.xlsx" \
    --json > "$work/q.json" 2>"$work/q.err" || { cat "$work/q.err" >&2; exit 1; }
  t1=$(now)
  q=$(elapsed "$t0" "$t1")
  f=$($py -c 'import json,sys; print("%.10g" % json.load(open(sys.argv[1]))["ANOVA"]["Group"][0]["F"])' "$work/q.json")
  t0=$(now)
  Rscript "$work/aov.R" "$work/$design.xlsx" "$work/$design.csv" "$design" > "$work/r.out"
  t1=$(now)
  r=$(elapsed "$t0" "$t1")
  echo "$design ($test, $n observations):"
  printf '  quelstat  total %.3f s (read, compute, write and save the report)  F %s\n' "$q" "$f"
  cat "$work/r.out"
  printf '  R         total %.3f s (Rscript start-up included)\n' "$r"
  printf '  ratio quelstat / R: %.3f\n' "$(awk "BEGIN{print $q / $r}")"
done
