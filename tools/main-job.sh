#!/usr/bin/env bash
# The main job: set up, build what it runs (the host, the add-in and the report templates, not the
# test suite), and run the independent-samples t-test on the bundled two-group example workbook,
# printing the report; the reports workbook is build/main-job-reports.xlsx (each run adds a sheet).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/build.sh" quelstat quelstat_xll report_templates
export QUELSTAT_HOME="${QUELSTAT_HOME:-$top/build/main-job-home}"
mkdir -p "$QUELSTAT_HOME"
"$top/build/bin/quelstat" run "$top/examples/cholesterol-diet.xlsx" --cell A5 --test ttesti \
  --reports "$top/build/main-job-reports.xlsx"
