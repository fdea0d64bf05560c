#!/usr/bin/env bash
# The test command: set up, build, and run the whole test suite.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/build.sh"
cd "$top/build"
ctest --output-on-failure -j"$(nproc)" --timeout 900
