#!/usr/bin/env bash
# Times `qscab x` against `cabextract` on one 200 MB MSZIP cabinet made by gcab, and prints the
# ratio (qscab time / cabextract time; below 1 means qscab is faster). Best of three runs each.
#
#   bench/setup/qscab-vs-cabextract.sh [QSCAB] [MEGABYTES]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
qscab=${1:-$top/build/bin/qscab}
mb=${2:-200}
for tool in gcab cabextract python3; do
  command -v $tool >/dev/null || { echo "bench: $tool not installed" >&2; exit 2; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Half compressible text with long-range repeats, half random bytes, in 1 MiB stretches.
python3 - "$work/data.bin" "$mb" <<'PY'
import random, sys
random.seed(20)
words = [('w%d' % i).encode() for i in range(4000)]
with open(sys.argv[1], 'wb') as f:
    for k in range(int(sys.argv[2])):
        if k % 2:
            f.write(random.randbytes(1 << 20))
        else:
            f.write(b' '.join(random.choices(words, k=200000))[:1 << 20])
PY
(cd "$work" && gcab -c -z big.cab data.bin)
best() {
  local best=999999
  for i in 1 2 3; do
    rm -rf "$work/out"
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    best=$(python3 -c "print(min($best, $end - $start))")
  done
  echo "$best"
}
ours=$(best "$qscab" x "$work/big.cab" "$work/out")
cmp "$work/out/data.bin" "$work/data.bin"
theirs=$(best cabextract -q -d "$work/out" "$work/big.cab")
python3 -c "print('qscab x %.3f s, cabextract %.3f s, ratio %.2f (%d MB, %d MB cabinet)' % ($ours, $theirs, $ours / $theirs, $mb, $(stat -c %s "$work/big.cab") / 1048576))"
