#!/usr/bin/env bash
# Builds the cabinet reader's fuzz target with clang and libFuzzer (address and undefined-behaviour
# sanitizers) and runs it for a bounded time.
#
#   setup/fuzz/run-fuzz.sh [SECONDS] [JOBS]     default 600 seconds, 1 job
#
# The corpus starts from the test cabinets and grows in build-fuzz/corpus. Every crash found is
# copied to tests/data/setup/fuzz-regressions/, where the test suite replays it; the script then
# exits with status 1.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-600}
jobs=${2:-1}
cxx=${CXX_FUZZ:-clang++-14}
work="$top/build-fuzz"
mkdir -p "$work/corpus" "$work/artifacts"
command -v "$cxx" >/dev/null || { echo "run-fuzz: $cxx not found (install clang-14)" >&2; exit 2; }

"$cxx" -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -DQUELSTAT_FUZZING -I"$top" \
  "$top/setup/fuzz/cab_fuzz.cpp" "$top/setup/cab/cab_handler.cpp" "$top/setup/cab/cabinet.cpp" \
  "$top/setup/cab/member_file.cpp" "$top/setup/cab/mszip.cpp" "$top/setup/cab/resources.cpp" \
  -o "$work/cab_fuzz"

seed="$work/seed"
rm -rf "$seed"
mkdir -p "$seed"
cp "$top"/tests/data/setup/good/*.cab "$top"/tests/data/setup/hostile/*.cab \
   "$top"/tests/data/setup/fuzz-regressions/*.cab "$seed"/
if command -v gcab >/dev/null; then
  # A few small real cabinets, compressed and not, so the fuzzer starts from valid MSZIP data.
  tmp=$(mktemp -d)
  seq 1 3000 > "$tmp/numbers.txt"
  head -c 5000 /dev/urandom > "$tmp/random.bin"
  printf 'hello\n' > "$tmp/h.txt"
  (cd "$tmp" && gcab -c -z "$seed/gcab-mszip.cab" numbers.txt random.bin h.txt \
     && gcab -c "$seed/gcab-stored.cab" numbers.txt h.txt)
  rm -rf "$tmp"
fi

set +e
# libFuzzer writes its per-job logs (fuzz-N.log) into the current folder.
cd "$work"
"$work/cab_fuzz" -max_total_time="$seconds" -jobs="$jobs" -workers="$jobs" -max_len=65536 -timeout=10 \
  -rss_limit_mb=2048 -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$work/corpus" "$seed"
status=$?
set -e

found=0
for crash in "$work"/artifacts/*; do
  [ -f "$crash" ] || continue
  sum=$(sha1sum "$crash" | cut -c1-12)
  mkdir -p "$top/tests/data/setup/fuzz-regressions"
  cp "$crash" "$top/tests/data/setup/fuzz-regressions/$(basename "$crash" | cut -d- -f1)-$sum.cab"
  found=1
done
if [ "$found" = 1 ]; then
  echo "run-fuzz: crashes kept in tests/data/setup/fuzz-regressions/" >&2
  exit 1
fi
echo "run-fuzz: no crash in ${seconds}s (libFuzzer status $status)"
exit "$status"
