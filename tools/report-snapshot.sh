#!/usr/bin/env bash
# Runs the five built tests on the three example workbooks and writes, for each run, what a change
# that must not alter reports has to keep: the exit status, the messages, the --json text, every
# sheet's XML and the defined names of the saved "Unfiled reports" workbook. The report's date and
# time cell and the scratch folder's name are blanked, the only parts that differ from run to run.
#
#   tools/report-snapshot.sh OUTDIR [BUILD_DIR]      then: diff -r BEFORE AFTER
set -euo pipefail
out=${1:?usage: tools/report-snapshot.sh OUTDIR [BUILD_DIR]}
top=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$top/build}
quelstat="$build/bin/quelstat"
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

examples=("control-material.xlsx B10" "cholesterol-diet.xlsx A5" "weight-programme.xlsx B5")
tests=(ztest1 ttest1 ttesti ttestp ftest)
runs=0
for example in "${examples[@]}"; do
    read -r file cell <<<"$example"
    for test in "${tests[@]}"; do
        name="${file%.xlsx}-$test"
        sets=()
        case $test in
            ztest1) sets=(--set "Hypothesised mean=5.5" --set "Population SD=0.12") ;;
            ttest1) sets=(--set "Hypothesised mean=5.5") ;;
        esac
        for form in report json; do
            # A short folder: the host's automation socket lives in it.
            home="$work/h$((++runs))"
            mkdir -p "$home"
            reports="$work/$name-$form.xlsx"
            extra=()
            [ "$form" = json ] && extra=(--json)
            status=0
            QUELSTAT_HOME="$home" QUELSTAT_NO_DESKTOP=1 \
                "$quelstat" run "$top/examples/$file" --cell "$cell" --test "$test" "${sets[@]}" \
                --reports "$reports" "${extra[@]}" >"$out/$name.$form.out" 2>"$out/$name.$form.err" || status=$?
            echo "$status" >"$out/$name.$form.status"
            sed -i "s|$work/|WORK/|g" "$out/$name.$form.err"
            sed -i -E 's/(Date +)[0-9]+-[A-Za-z]+-[0-9]+ [0-9]+:[0-9]+/\1DATE/' "$out/$name.$form.out"
        done
        # The report workbook of the plain run: its sheets and names.
        reports="$work/$name-report.xlsx"
        if [ -f "$reports" ]; then
            mkdir -p "$out/$name.xlsx.d"
            (cd "$out/$name.xlsx.d" && unzip -qo "$reports" 'xl/worksheets/*.xml' xl/workbook.xml)
            # The date cell carries the time of the run.
            python3 - "$out/$name.xlsx.d" <<'PY'
import pathlib, re, sys
for sheet in pathlib.Path(sys.argv[1], "xl/worksheets").glob("*.xml"):
    text = sheet.read_text(encoding="utf-8")
    text = re.sub(r'(<c r="G6"[^>]*>)<v>[0-9.E+-]+</v>', r"\1<v>DATE</v>", text)
    sheet.write_text(text, encoding="utf-8")
PY
        fi
    done
done
echo "snapshot of $(ls "$out" | grep -c '\.status$') runs in $out"
