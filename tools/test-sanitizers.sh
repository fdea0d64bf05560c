#!/usr/bin/env bash
# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan/ and run there. Any report from either (a bad read or write, a leak, undefined
# behaviour) fails the test that met it. Leaks that are deliberate are listed, each with its
# reason, in tools/sanitizers/lsan.supp.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/install-deps.sh"
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# -O1 keeps the build short and the reports' stacks readable; the sanitizers add their own cost.
cmake -S "$top" -B "$top/build-asan" -DQUELSTAT_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g" "${launcher[@]}" >/dev/null
cmake --build "$top/build-asan" -j"$(nproc)"
export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$top/tools/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Instrumented frames are several times larger: recursion that an ordinary build does in a few
# megabytes of stack (the calculator over a formula thousands of operators long) needs more here.
ulimit -s 65536
cd "$top/build-asan"
ctest --output-on-failure -j"$(nproc)" --timeout 1800
