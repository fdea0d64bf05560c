#!/usr/bin/env bash
# Runs the tests of examples/README.md on the example workbooks, building what they need first. The
# examples stay as they are: the reports go to build/examples/<name>-reports.xlsx and the answers the
# dialogs remember to build/examples/home.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/build.sh" quelstat quelstat_xll report_templates
out="$top/build/examples"
mkdir -p "$out/home"
export QUELSTAT_HOME="$out/home"
q="$top/build/bin/quelstat"
ex="$top/examples"
run() {  # WORKBOOK ARGS...: one test, its report printed, the reports beside the others in build/
  local book=$1
  shift
  echo "== $book $*"
  "$q" run "$ex/$book" --reports "$out/${book%.xlsx}-reports.xlsx" --defaults "$@"
}
run control-material.xlsx --cell B10 --test ttest1 --set "Hypothesised mean=5.5"
run cholesterol-diet.xlsx --cell A5 --test ttesti
run cholesterol-diet.xlsx --cell A5 --test ftest
run weight-programme.xlsx --cell B5 --test ttestp
run 2indep.xlsx --cell A5 --test ttesti
run 2paired.xlsx --cell B5 --test ttestp
