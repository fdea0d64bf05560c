#!/usr/bin/env bash
# Times the rank tests whose direct algorithms are quadratic on the largest datasets the host
# allows, end to end (`quelstat run ... --json`), against R on the same numbers read from the same
# workbook, and prints both times and the ratio quelstat / R (below 1: quelstat is faster):
#   correlk   Kendall's tau of 65,535 pairs        R: cor.test(method = "kendall", exact = FALSE)
#   wilcoxon  Wilcoxon's signed ranks, 65,535 pairs with the Hodges-Lehmann interval
#                                                  R: wilcox.test(paired = TRUE, conf.int = TRUE)
#   mannwht   Mann-Whitney, two groups of 32,000 with the Hodges-Lehmann interval
#                                                  R: wilcox.test(conf.int = TRUE)
# R's Hodges-Lehmann forms all pairs (10^9 differences for Mann-Whitney: some 8 GB); R is skipped
# for a task when QUELSTAT_BENCH_SKIP_R names it (e.g. QUELSTAT_BENCH_SKIP_R=mannwht).
#
#   bench/ranks/ranks-vs-r.sh [BUILD_BIN] [TASK...]
#
# Never run as a test: it needs R with readxl and takes minutes.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
bin=${1:-$top/build/bin}
shift || true
tasks=${*:-correlk wilcoxon mannwht}
quelstat=$bin/quelstat
py=/usr/bin/python3
command -v Rscript >/dev/null || { echo "bench: R (Rscript) is not installed" >&2; exit 2; }
[ -x "$quelstat" ] || { echo "bench: $quelstat not built" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QUELSTAT_HOME=$work/settings QUELSTAT_NO_DESKTOP=1
now() { date +%s.%N; }

# Two continuous columns of 65,535 rows, "X" and "Y" (correlated, with ties from rounding), and two
# groups of 32,000 as a list dataset of a value and a group column.
$py - "$work" <<'PY'
import random, sys
rng = random.Random(65535)
with open(sys.argv[1] + "/pairs.csv", "w") as f:
    f.write("X,Y\n")
    for _ in range(65535):
        x = rng.gauss(50, 10)
        f.write("%.2f,%.2f\n" % (x, 0.6 * x + rng.gauss(0, 8)))
with open(sys.argv[1] + "/groups.csv", "w") as f:
    f.write("A,B\n")
    for _ in range(32000):
        f.write("%.3f,%.3f\n" % (rng.gauss(50, 10), rng.gauss(51, 10)))
PY
for book in pairs groups; do
  printf 'open %s\nsave %s\nclose\nquit\n' "$work/$book.csv" "$work/$book.xlsx" | "$quelstat" script - >/dev/null
done

time_quelstat() {  # book test set...
  local book=$1 test=$2; shift 2
  local args=()
  for s in "$@"; do args+=(--set "$s"); done
  local t0 t1
  t0=$(now)
  "$quelstat" run "$work/$book.xlsx" --cell A5 --test "$test" --json "${args[@]}" \
    --reports "$work/$test-reports.xlsx" >"$work/$test.json" 2>"$work/$test.err" || { cat "$work/$test.err" >&2; exit 1; }
  t1=$(now)
  awk "BEGIN{print $t1 - $t0}"
}

time_r() {  # book expression (x, y: the two columns)
  Rscript -e "suppressMessages(library(readxl)); d <- read_excel('$work/$1.xlsx'); x <- d[[1]]; y <- d[[2]];
              t0 <- proc.time()[['elapsed']]; r <- $2; cat(proc.time()[['elapsed']] - t0, '\n')" 2>/dev/null
}

for task in $tasks; do
  case $task in
    correlk) q=$(time_quelstat pairs correlk "Variable X=X" "Variable Y=Y")
             expr='cor.test(x, y, method = "kendall", exact = FALSE)' ; book=pairs ;;
    wilcoxon) q=$(time_quelstat pairs wilcoxon "Variables=X,Y")
              expr='wilcox.test(x, y, paired = TRUE, conf.int = TRUE, exact = FALSE)' ; book=pairs ;;
    mannwht) q=$(time_quelstat groups mannwht "Variable - Groups=A,B")
             expr='wilcox.test(x, y, conf.int = TRUE, exact = FALSE)' ; book=groups ;;
    *) echo "bench: unknown task $task" >&2; exit 2 ;;
  esac
  if [[ " ${QUELSTAT_BENCH_SKIP_R:-} " == *" $task "* ]]; then
    printf '%-9s quelstat %8.3f s (whole run)   R skipped\n' "$task" "$q"
    continue
  fi
  r=$(time_r $book "$expr" | tr -d ' ')
  printf '%-9s quelstat %8.3f s (whole run)   R %8.3f s (computation only)   ratio %.4f\n' "$task" "$q" "$r" \
    "$(awk "BEGIN{print $q / $r}")"
done
