#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/: everything, or only the targets
# named (./tools/build.sh quelstat quelstat_xll).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/install-deps.sh"
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if [ $# -eq 0 ]; then
  cmake --build "$top/build" -j"$(nproc)"
else
  cmake --build "$top/build" -j"$(nproc)" --target "$@"
fi
