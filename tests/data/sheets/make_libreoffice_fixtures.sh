#!/bin/sh
# Makes the fixtures written by LibreOffice from the openpyxl ones:
#   libreoffice-features.xlsx  the features workbook as LibreOffice writes xlsx
#   libreoffice-features.xls   the same as BIFF8, for the .xls reader
#   libreoffice-formulas.xls, libreoffice-formulas.xlsx  formulas and names, as BIFF8 and as xlsx
#   libreoffice-3d.xls        references across several sheets, from three-d-references.fods
#   libreoffice-constants.xls, libreoffice-constants.xlsx  array constants in formulas and names
#   libreoffice-styled-chart.xlsx  the styled charts (colours, data labels, error bars) as LibreOffice writes them
# Needs libreoffice-calc-nogui (not a build dependency). Run from anywhere.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here/openpyxl-features.xlsx" "$work/libreoffice-features.xlsx"
cp "$here/openpyxl-styled-chart.xlsx" "$work/libreoffice-styled-chart.xlsx"
cp "$here/openpyxl-formulas.xlsx" "$work/libreoffice-formulas.xlsx"
cp "$here/three-d-references.fods" "$work/libreoffice-3d.fods"
cp "$here/openpyxl-constants.xlsx" "$work/libreoffice-constants.xlsx"
cd "$work"
soffice --headless -env:UserInstallation=file://$work/profile --convert-to xlsx:"Calc MS Excel 2007 XML" --outdir out libreoffice-features.xlsx >/dev/null
soffice --headless -env:UserInstallation=file://$work/profile --convert-to xls:"MS Excel 97" --outdir out libreoffice-features.xlsx >/dev/null
soffice --headless -env:UserInstallation=file://$work/profile --convert-to xlsx:"Calc MS Excel 2007 XML" --outdir out libreoffice-styled-chart.xlsx >/dev/null
soffice --headless -env:UserInstallation=file://$work/profile --convert-to xlsx:"Calc MS Excel 2007 XML" --outdir out libreoffice-formulas.xlsx >/dev/null
soffice --headless -env:UserInstallation=file://$work/profile --convert-to xls:"MS Excel 97" --outdir out libreoffice-formulas.xlsx >/dev/null
cp out/libreoffice-features.xlsx out/libreoffice-features.xls out/libreoffice-styled-chart.xlsx "$here/"
soffice --headless -env:UserInstallation=file://$work/profile --convert-to xls:"MS Excel 97" --outdir out libreoffice-3d.fods >/dev/null
cp out/libreoffice-formulas.xlsx out/libreoffice-formulas.xls out/libreoffice-3d.xls "$here/"
soffice --headless -env:UserInstallation=file://$work/profile --convert-to xlsx:"Calc MS Excel 2007 XML" --outdir out libreoffice-constants.xlsx >/dev/null
soffice --headless -env:UserInstallation=file://$work/profile --convert-to xls:"MS Excel 97" --outdir out libreoffice-constants.xlsx >/dev/null
cp out/libreoffice-constants.xlsx out/libreoffice-constants.xls "$here/"
