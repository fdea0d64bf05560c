#!/usr/bin/env bash
# The main job: set up, build, and run the independent-samples t-test on the bundled two-group example
# workbook, printing the report; the "Unfiled reports" workbook is written to build/main-job-reports.xlsx.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/build.sh"
export QUELSTAT_HOME="${QUELSTAT_HOME:-$top/build/main-job-home}"
mkdir -p "$QUELSTAT_HOME"
"$top/build/bin/quelstat" run "$top/examples/cholesterol-diet.xlsx" --cell A5 --test ttesti \
  --reports "$top/build/main-job-reports.xlsx"
