#!/usr/bin/env bash
# The main job: set up, build, start the host with the add-in and show what it installs.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/build.sh"
if [ -x "$top/build/bin/quelstat" ]; then
  "$top/build/bin/quelstat" menu
else
  echo "The host is not built yet in this revision."
fi
