#!/usr/bin/python3
"""Writes lo_ranges.xlsx: formulas with the range operator between references (A1:INDEX(...)), unions
of references in parentheses and 3-D references, calculated by LibreOffice; the calculation tests
compare with its cached values. Needs openpyxl and soffice (LibreOffice). Run from this folder:
    python3 make_lo_ranges.py
Sheets "Data", "Mid" and "Last" hold numbers (and a text); sheet "Calc" the formulas in column A."""
import os, re, subprocess, tempfile, zipfile

from openpyxl import Workbook

FORMULAS = [
    "SUM(Data!A1:INDEX(Data!A:A,4))", "SUM(INDEX(Data!A:A,2):INDEX(Data!A:A,5))", "SUM(Data!A2:(Data!B1))",
    "SUM(Data!A1:A2:B3)", "SUM(Data!2:3)", "SUM(Data!A1:INDEX(Data!B:B,ROWS(Data!A1:A2)))",
    "SUM((Data!A1:A2,Data!B1:B3))", "COUNTA((Data!A1:A7,Data!B1:B3))", "MIN((Data!A3:A6,Data!B1:B3))",
    "INDEX((Data!A1:A6,Data!B1:B3),2,1,2)", "ROWS((Data!A1,Data!B1))", "SUM(Data:Last!A1)",
    "COUNT(Data:Last!A1:B3)", "AVERAGE(Mid:Last!A1:A2)", "MAX(Last:Data!A1)", "SUM(Data:Last!A1,(Data!B1,Data!B2))",
]

wb = Workbook()
data = wb.active
data.title = "Data"
for i in range(6):
    data.cell(row=i + 1, column=1, value=(i + 1) * 1.5)
data["A7"] = "n/a"
for i in range(3):
    data.cell(row=i + 1, column=2, value=10 * (i + 1))
wb.create_sheet("Mid")["A1"] = 100
wb["Mid"]["A2"] = 250
wb.create_sheet("Last")["A1"] = 1000
calc = wb.create_sheet("Calc")
for i, f in enumerate(FORMULAS):
    calc.cell(row=i + 1, column=1, value="=" + f)

with tempfile.TemporaryDirectory() as tmp:
    src = os.path.join(tmp, "lo_ranges.xlsx")
    wb.save(src)
    out = os.path.join(tmp, "out")
    subprocess.run(["soffice", f"-env:UserInstallation=file://{tmp}/profile", "--headless", "--convert-to", "xlsx",
                    "--outdir", out, src], check=True, capture_output=True)
    # LibreOffice writes its own union operator '~' into the file's formulas; the file format's is ','.
    with zipfile.ZipFile(os.path.join(out, "lo_ranges.xlsx")) as z:
        entries = [(info, z.read(info.filename)) for info in z.infolist()]
    with zipfile.ZipFile("lo_ranges.xlsx", "w", zipfile.ZIP_DEFLATED) as z:
        for info, data in entries:
            if info.filename.startswith("xl/worksheets/"):
                data = re.sub(rb"<f[ >][^<]*</f>", lambda m: m.group(0).replace(b"~", b","), data)
            z.writestr(info, data)
print("wrote lo_ranges.xlsx")
