#!/usr/bin/env bash
# Times the rank statistics whose direct algorithms are quadratic, end to end (`quelstat run ...
# --json`), against R on the same numbers read from the same workbook, and prints both times and the
# ratio quelstat / R (below 1: quelstat is faster):
#   correlk   Kendall's tau of 65,535 pairs             R: cor.test(method = "kendall", exact = FALSE)
#   wilcoxon  Wilcoxon's signed ranks of 65,535 pairs with the Hodges-Lehmann interval
#                                                       R: wilcox.test(paired = TRUE, conf.int = TRUE)
#   mannwht   Mann-Whitney, two groups of 32,000 with the Hodges-Lehmann interval
#                                                       R: wilcox.test(conf.int = TRUE)
# R's Hodges-Lehmann forms every pair (2.1e9 Walsh averages, 1.0e9 differences: 8 to 17 GB), so for
# wilcoxon and mannwht R runs on a sample of R_SIZE pairs or observations per group (default 6,000)
# and quelstat runs on both sizes: the ratio is taken at R_SIZE, and quelstat's full-size time is
# printed beside it (targets: 1 s for wilcoxon, 2 s for mannwht).
#
#   bench/ranks/ranks-vs-r.sh [BUILD_BIN] [TASK...]
#
# Never run as a test: it needs R with readxl and takes minutes (Kendall in R is quadratic).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
bin=${1:-$top/build/bin}
shift || true
tasks=${*:-correlk wilcoxon mannwht}
small=${R_SIZE:-6000}
quelstat=$bin/quelstat
py=/usr/bin/python3
command -v Rscript >/dev/null || { echo "bench: R (Rscript) is not installed" >&2; exit 2; }
[ -x "$quelstat" ] || { echo "bench: $quelstat not built" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QUELSTAT_HOME=$work/settings QUELSTAT_NO_DESKTOP=1
now() { date +%s.%N; }

# pairs-N: columns X and Y of N rows (correlated, ties from rounding); groups-N: groups A and B of N
# observations each under the title "Values" (an independent dataset).
make_books() {
  $py - "$work" "$1" "$2" <<'PY'
import random, sys
work, pairs, group = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(65535)
with open("%s/pairs-%d.csv" % (work, pairs), "w") as f:
    f.write("X,Y\n")
    for _ in range(pairs):
        x = rng.gauss(50, 10)
        f.write("%.2f,%.2f\n" % (x, 0.6 * x + 20 + rng.gauss(0, 8)))
with open("%s/groups-%d.csv" % (work, group), "w") as f:
    f.write("Values,\nA,B\n")  # the groups named under one title: an independent dataset
    for _ in range(group):
        f.write("%.3f,%.3f\n" % (rng.gauss(50, 10), rng.gauss(51, 10)))
PY
  for book in pairs-$1 groups-$2; do
    printf 'open %s\nsave %s\nclose\nquit\n' "$work/$book.csv" "$work/$book.xlsx" | "$quelstat" script - >/dev/null
  done
}
make_books 65535 32000
make_books "$small" "$small"

time_quelstat() {  # book test [--set answers...]
  local book=$1 test=$2; shift 2
  local args=()
  for s in "$@"; do args+=(--set "$s"); done
  [[ $book == groups-* ]] && args+=(--layout tabular)
  local t0 t1
  t0=$(now)
  "$quelstat" run "$work/$book.xlsx" --cell A5 --test "$test" --json "${args[@]}" \
    --reports "$work/$book-$test-reports.xlsx" >"$work/$book-$test.json" 2>"$work/$book-$test.err" \
    || { cat "$work/$book-$test.err" >&2; exit 1; }
  t1=$(now)
  awk "BEGIN{print $t1 - $t0}"
}

time_r() {  # book expression (x, y: the two columns)
  local skip=0
  [[ $1 == groups-* ]] && skip=1
  Rscript -e "suppressMessages(library(readxl)); d <- read_excel('$work/$1.xlsx', skip = $skip); x <- d[[1]]; y <- d[[2]];
              t0 <- proc.time()[['elapsed']]; r <- $2; cat(proc.time()[['elapsed']] - t0)" 2>/dev/null
}

for task in $tasks; do
  case $task in
    correlk) set -- "Variable X=X" "Variable Y=Y"; expr='cor.test(x, y, method = "kendall", exact = FALSE)'
             full=pairs-65535; at=pairs-65535 ;;
    wilcoxon) set -- "Variables=X,Y"; expr='wilcox.test(x, y, paired = TRUE, conf.int = TRUE, exact = FALSE)'
              full=pairs-65535; at=pairs-$small ;;
    mannwht) set -- "Variable - Groups=A,B"; expr='wilcox.test(x, y, conf.int = TRUE, exact = FALSE)'
             full=groups-32000; at=groups-$small ;;
    *) echo "bench: unknown task $task" >&2; exit 2 ;;
  esac
  q_full=$(time_quelstat $full $task "$@")
  q=$q_full
  [ $at != $full ] && q=$(time_quelstat $at $task "$@")
  r=$(time_r $at "$expr")
  printf '%-9s %-13s quelstat %8.3f s  R %8.3f s  ratio %.4f   (%s: quelstat %.3f s, whole run)\n' \
    "$task" "$at" "$q" "$r" "$(awk "BEGIN{print $q / $r}")" "$full" "$q_full"
done
