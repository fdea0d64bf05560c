#!/bin/sh
# Builds the file-reader fuzz targets with clang's libFuzzer (address and undefined-behaviour
# sanitizers) into build-fuzz/ and runs each for a bounded time.
#
#   tests/sheets/fuzz/run-fuzz.sh [SECONDS_PER_TARGET [TARGET...]]     (default 60; all targets)
#
# A target with a dictionary beside this script (xlsx.dict) is run with it.
# Seeds come from the workbook fixtures; every crash found is copied to
# tests/data/sheets/fuzz-crashes/ (commit it: the regression test replays that folder) and the
# script exits with status 1.
set -eu
secs=${1:-60}
[ $# -gt 0 ] && shift
targets=${*:-xlsx xls csv xml}
top=$(cd "$(dirname "$0")/../../.." && pwd)
out="$top/build-fuzz"
cxx=${CXX_FUZZ:-clang++-14}
mkdir -p "$out"
srcs=$(ls "$top"/sheets/model/*.cpp "$top"/sheets/numfmt/*.cpp "$top"/sheets/io/*.cpp "$top"/sheets/show.cpp)
flags="-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I$top"
status=0
for target in $targets; do
  echo "== building fuzz_$target"
  $cxx $flags $srcs "$top/tests/sheets/fuzz/fuzz_entries.cpp" "$top/tests/sheets/fuzz/fuzz_$target.cpp" \
    -lz -lexpat -o "$out/fuzz_$target"
  corpus="$out/corpus-$target"
  rm -rf "$out/crashes-$target"
  mkdir -p "$corpus" "$out/crashes-$target"
  case $target in
    xlsx) cp "$top"/tests/data/sheets/*.xlsx "$top"/tests/data/sheets/hostile/*.xlsx "$corpus"/ ;;
    xls) cp "$top"/tests/data/sheets/*.xls "$top"/tests/data/sheets/hostile/*.xls "$corpus"/ ;;
    csv) cp "$top"/tests/data/sheets/hostile/*.csv "$corpus"/ ;;
    xml) cp "$top"/tests/data/sheets/xml-seeds/* "$corpus"/ ;;
  esac
  # Small seeds first: the large bomb fixtures only slow the fuzzer down.
  find "$corpus" -size +200k -delete
  dict=""
  [ -f "$top/tests/sheets/fuzz/$target.dict" ] && dict="-dict=$top/tests/sheets/fuzz/$target.dict"
  echo "== running fuzz_$target for $secs s"
  if ! "$out/fuzz_$target" "$corpus" $dict -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$out/crashes-$target/" -print_final_stats=1 >"$out/fuzz_$target.log" 2>&1; then
    status=1
  fi
  tail -n 12 "$out/fuzz_$target.log"
  for f in "$out/crashes-$target"/*; do
    [ -e "$f" ] || continue
    mkdir -p "$top/tests/data/sheets/fuzz-crashes"
    cp "$f" "$top/tests/data/sheets/fuzz-crashes/$target-$(basename "$f")"
    echo "crash: $f copied to tests/data/sheets/fuzz-crashes/"
    status=1
  done
done
exit $status
