#!/usr/bin/env bash
# Times the numerics and R's vectorised equivalents in one command and prints the ratios
# (numerics time / R time; below 1 means faster than R).
#   cmake -S . -B build -DQUELSTAT_BENCH=ON && cmake --build build --target numerics_bench
#   bench/numerics/compare_with_r.sh [--quick]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
bin="${NUMERICS_BENCH:-$top/build/bin/numerics_bench}"
[ -x "$bin" ] || { echo "build numerics_bench first (configure with -DQUELSTAT_BENCH=ON)"; exit 1; }
command -v Rscript >/dev/null || { echo "Rscript not found"; exit 1; }
ours=$(mktemp); theirs=$(mktemp); trap 'rm -f "$ours" "$theirs"' EXIT
"$bin" "$@" > "$ours"
Rscript "$here/r_equivalents.R" "$@" > "$theirs"
printf '%-14s %12s %12s %8s\n' task "numerics s" "R s" ratio
join <(sort "$ours") <(sort "$theirs") | while read -r name a ca b cb; do
  awk -v n="$name" -v a="$a" -v b="$b" 'BEGIN { printf "%-14s %12.4f %12.4f %8.2f\n", n, a, b, (b > 0 ? a / b : 0) }'
done
