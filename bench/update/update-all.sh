#!/usr/bin/env bash
# Times `quelstat update REPORTS --all` on a reports workbook of 50 one sample t-test reports over one
# dataset of 65,535 rows (two columns, in a workbook of its own), after the data were changed.
# The reference, timed in the same command: one `quelstat run` of the same test on the same data
# (read the data, find the dataset, compute, write and save one report). Prints both, the time per
# updated report and the ratio of the update per report to the single run (below 1: updating a
# report costs less than running it afresh, because the dataset is read once for all).
#
#   bench/update/update-all.sh [BUILD_BIN] [REPORTS] [ROWS]
#
# Never run as a test: setting up the reports takes a minute.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
bin=${1:-$top/build/bin}
reports=${2:-50}
rows=${3:-65535}
quelstat=$bin/quelstat
py=/usr/bin/python3
[ -x "$quelstat" ] || { echo "bench: $quelstat not built" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QUELSTAT_HOME=$work/settings QUELSTAT_NO_DESKTOP=1

# The data: North and South, $rows rows under one header row; written as CSV, saved as .xlsx by the
# host. Then the reports, each made by quelstat run into one reports workbook.
make_data() {
  $py - "$work/sales.csv" "$rows" "$1" <<'PY'
import random, sys
rng = random.Random(int(sys.argv[3]))
with open(sys.argv[1], "w") as f:
    f.write("North,South\n")
    for _ in range(int(sys.argv[2])):
        f.write("%.2f,%.2f\n" % (rng.gauss(105, 9), rng.gauss(97, 6)))
PY
  printf 'open %s\nsave %s\nquit\n' "$work/sales.csv" "$work/sales.xlsx" | "$quelstat" script - >/dev/null
}
make_data 1
for ((i = 0; i < reports; i++)); do
  "$quelstat" run "$work/sales.xlsx" --cell A2 --test ttest1 --set "Variable=North" --set "Hypothesised mean=100" \
    --reports "$work/reports.xlsx" --defaults >/dev/null 2>"$work/setup.err" || { cat "$work/setup.err" >&2; exit 1; }
done
echo "reports workbook: $("$quelstat" reports "$work/reports.xlsx" | grep -c '^Sheet') reports over $rows rows"
# The data change (new values throughout), as an edit in another program would.
rm "$work/sales.xlsx"
make_data 2

now() { date +%s.%N; }
t0=$(now)
"$quelstat" update "$work/reports.xlsx" --all >"$work/u.out" 2>"$work/u.err" || { cat "$work/u.err" >&2; exit 1; }
t1=$(now)
updated=$(grep -c '^updated:' "$work/u.out")
"$quelstat" run "$work/sales.xlsx" --cell A2 --test ttest1 --set "Variable=North" --set "Hypothesised mean=100" \
  --reports "$work/one.xlsx" --defaults >/dev/null 2>"$work/r.err" ||
  { cat "$work/r.err" >&2; exit 1; }
t2=$(now)
awk -v u="$(awk "BEGIN{print $t1 - $t0}")" -v r="$(awk "BEGIN{print $t2 - $t1}")" -v n="$updated" 'BEGIN {
  printf "quelstat update --all: %d reports in %.3f s, %.1f ms per report\n", n, u, 1000 * u / n
  printf "quelstat run (one report, the reference): %.3f s\n", r
  printf "ratio update per report / run: %.3f\n", (u / n) / r
}'
