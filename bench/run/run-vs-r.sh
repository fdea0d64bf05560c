#!/usr/bin/env bash
# Times `quelstat run ... --test ttesti` on a workbook of 1,000,000 observations in two groups
# against R's t.test on the same numbers, R reading the same .xlsx file with readxl (or, where readxl
# is not installed, a CSV export of it with data.table's fread or read.csv). Prints the split of the
# quelstat run (read, find dataset, compute, write report) from its QUELSTAT_TIMING stamps, R's split
# (read, compute), both wall-clock totals and the ratio quelstat / R (below 1: quelstat is faster).
#
#   bench/run/run-vs-r.sh [BUILD_BIN] [OBSERVATIONS]
#
# Never run as a test: it takes a minute or two and needs R.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
bin=${1:-$top/build/bin}
n=${2:-1000000}
quelstat=$bin/quelstat
py=/usr/bin/python3
command -v Rscript >/dev/null || { echo "bench: R (Rscript) is not installed" >&2; exit 2; }
[ -x "$quelstat" ] || { echo "bench: $quelstat not built" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QUELSTAT_HOME=$work/settings QUELSTAT_NO_DESKTOP=1
half=$((n / 2))

# The workbook: "Cholesterol by Diet" over two groups of n/2 values (mmol/L). The add-in runs in hosts of
# version 8 (65,536 rows), so each group spreads over 8 columns under one group name (the name's run of
# header cells covers them): 16 columns of n/16 rows. Written as CSV and saved as .xlsx by the host itself.
rows=$((n / 16))
$py - "$work/big.csv" "$rows" <<'PY'
import random, sys
rng = random.Random(1000000)
with open(sys.argv[1], "w") as f:
    f.write("Cholesterol by Diet" + "," * 15 + "\n")
    f.write("Low fat" + "," * 8 + "Mediterranean" + "," * 7 + "\n")
    for _ in range(int(sys.argv[2])):
        low = ["%.2f" % rng.gauss(5.55, 0.61) for _ in range(8)]
        med = ["%.2f" % rng.gauss(4.95, 0.48) for _ in range(8)]
        f.write(",".join(low + med) + "\n")
PY
printf 'open %s\nsave %s\nclose\nquit\n' "$work/big.csv" "$work/big.xlsx" | "$quelstat" script - >/dev/null
ls -l "$work/big.xlsx" | awk '{printf "workbook: %d observations in 16 columns, %.1f MB\n", '"$((rows * 16))"', $5 / 1e6}'
"$quelstat" detect "$work/big.xlsx" --cell C100 | sed -n '2,3p;/Diet/,$p'

now() { date +%s.%N; }

# quelstat: the whole command, with the phases stamped on standard error.
t0=$(now)
QUELSTAT_TIMING=1 "$quelstat" run "$work/big.xlsx" --cell A5 --test ttesti \
  --reports "$work/big-reports.xlsx" >"$work/q.out" 2>"$work/q.err" || { cat "$work/q.err" >&2; exit 1; }
t1=$(now)
q_total=$(awk "BEGIN{print $t1 - $t0}")
# Phases: open..opened = read; command..first "calculating" status = find dataset (and dialogs);
# calculating..outputting = compute; outputting..saved = write the report and save the workbook.
$py - "$work/q.err" "$q_total" > "$work/q.split" <<'PY'
import re, sys
stamps = []
for line in open(sys.argv[1]):
    m = re.match(r"quelstat-timing: ([0-9.]+) ms (.*)", line)
    if m:
        stamps.append((float(m.group(1)), m.group(2)))
def first(pred):
    for t, what in stamps:
        if pred(what):
            return t
    raise SystemExit("bench: no stamp for a phase; stamps: %r" % [w for _, w in stamps])
t_open = first(lambda w: w == "open")
t_opened = first(lambda w: w == "opened")
t_command = first(lambda w: w == "command")
t_calc = first(lambda w: "calculating" in w)
t_out = first(lambda w: "outputting" in w)
t_saved = first(lambda w: w == "saved")
print("quelstat  read %8.3f s  find dataset %8.3f s  compute %8.3f s  write report %8.3f s  total %8.3f s" % (
    (t_opened - t_open) / 1e3, (t_calc - t_command) / 1e3, (t_out - t_calc) / 1e3, (t_saved - t_out) / 1e3,
    float(sys.argv[2])))
PY

# R: read the same file with the fastest reader here, then t.test with equal variances (the test's default).
cat > "$work/t.R" <<'R'
args <- commandArgs(trailingOnly = TRUE)
t0 <- proc.time()[["elapsed"]]
if (requireNamespace("readxl", quietly = TRUE)) {
  d <- suppressMessages(readxl::read_excel(args[1], skip = 2, col_names = FALSE))
  reader <- "readxl::read_excel"
} else {
  if (requireNamespace("data.table", quietly = TRUE)) {
    d <- data.table::fread(args[2], skip = 2, header = FALSE); reader <- "data.table::fread (CSV export)"
  } else {
    d <- read.csv(args[2], skip = 2, header = FALSE); reader <- "read.csv (CSV export)"
  }
}
t1 <- proc.time()[["elapsed"]]
low <- unlist(d[1:8], use.names = FALSE); med <- unlist(d[9:16], use.names = FALSE)
r <- t.test(low, med, var.equal = TRUE)
t2 <- proc.time()[["elapsed"]]
cat(sprintf("R         read %8.3f s  compute %8.3f s  (%s; t = %.6f, df = %g)\n", t1 - t0, t2 - t1, reader,
            r$statistic, r$parameter))
R
t0=$(now)
Rscript "$work/t.R" "$work/big.xlsx" "$work/big.csv" > "$work/r.out"
t1=$(now)
r_total=$(awk "BEGIN{print $t1 - $t0}")

cat "$work/q.split"
sed "s/\$/  total $(printf '%.3f' "$r_total") s (Rscript start-up included)/" "$work/r.out"
echo "quelstat's report:"
grep -E '^ *[0-9]+  (t|DF|p) ' "$work/q.out" || true
printf 'ratio quelstat / R (end to end): %.3f\n' "$(awk "BEGIN{print $q_total / $r_total}")"
