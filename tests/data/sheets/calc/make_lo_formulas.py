#!/usr/bin/env python3
"""Writes lo_formulas.xlsx: a workbook made and calculated by LibreOffice, whose cached values the
calculation tests compare with. Needs soffice (LibreOffice). Run from this folder:
    python3 make_lo_formulas.py
Sheet "Data": numbers, a text and a blank in A1:C12; sheet "Calc": SUM, AVERAGE, IF and friends over
Data and over each other (chains, other-sheet references, nested IF, comparisons on texts)."""
import os, random, re, subprocess, tempfile
from xml.sax.saxutils import escape

random.seed(20261208)
data = [[round(random.gauss(50, 12), 2), random.randint(1, 9), round(random.uniform(-5, 5), 3)] for _ in range(12)]
data[4][1] = "n/a"    # a text in a range
data[7][2] = None     # a blank cell

formulas = [
    "SUM(Data.A1:A12)", "AVERAGE(Data.A1:A12)", "SUM(Data.A1:C12)", "AVERAGE(Data.B1:B12)",
    "IF(A1>600;\"big\";\"small\")", "IF(Data.C3<0;-Data.C3;Data.C3)*2", "SUM(A1;A2;10)/3",
    "IF(AND(A2>40;A2<60);1;0)", "COUNT(Data.A1:C12)", "COUNTA(Data.A1:C12)", "MIN(Data.C1:C12)+MAX(Data.C1:C12)",
    "ROUND(STDEV(Data.A1:A12);6)", "VAR(Data.A1:A12)", "MEDIAN(Data.A1:A12)", "SQRT(ABS(A6))",
    "IF(ISNUMBER(Data.B5);Data.B5;-1)", "IF(ISBLANK(Data.C8);\"blank\";\"full\")", "LN(A1)+EXP(1)",
    "POWER(2;10)-A9", "INDEX(Data.A1:C12;3;2)", "ROWS(Data.A1:C12)*COLUMNS(Data.A1:C12)",
    "IF(OR(A5=\"big\";NOT(A8=1));\"x\"&A1;\"y\")", "SUM(A19:A21)", "A23/(A9-A9)", "IF(A24>0;1;2)",
]

def cell(v):
    if v is None:
        return "<table:table-cell/>"
    if isinstance(v, str):
        return f'<table:table-cell office:value-type="string"><text:p>{escape(v)}</text:p></table:table-cell>'
    return f'<table:table-cell office:value-type="float" office:value="{v}"/>'

rows = "".join("<table:table-row>" + "".join(cell(v) for v in r) + "</table:table-row>" for r in data)
# OpenFormula references are written [.A1] / [Data.A1:.A12]; convert the simple forms used above.
def of(f):
    f = re.sub(r"Data\.([A-Z]+\d+):([A-Z]+\d+)", r"[Data.\1:.\2]", f)
    f = re.sub(r"(?<!\[)Data\.([A-Z]+\d+)(?!:)", r"[Data.\1]", f)
    f = re.sub(r"(?<![\[.A-Z])([A-Z]+\d+):([A-Z]+\d+)", r"[.\1:.\2]", f)
    f = re.sub(r"(?<![\[.A-Z\"])\b([A-Z]{1,2}\d+)\b(?![\]\(])", r"[.\1]", f)
    return f
frows = "".join(f'<table:table-row><table:table-cell table:formula="of:={escape(of(f), {chr(34): "&quot;"})}"/></table:table-row>'
                for f in formulas)
doc = f"""<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:body><office:spreadsheet>
<table:table table:name="Data">{rows}</table:table>
<table:table table:name="Calc">{frows}</table:table>
</office:spreadsheet></office:body></office:document>"""
with tempfile.TemporaryDirectory() as tmp:
    src = os.path.join(tmp, "lo_formulas.fods")
    open(src, "w").write(doc)
    subprocess.run(["soffice", f"-env:UserInstallation=file://{tmp}/profile", "--headless", "--convert-to", "xlsx",
                    "--outdir", tmp, src], check=True, capture_output=True)
    os.replace(os.path.join(tmp, "lo_formulas.xlsx"), "lo_formulas.xlsx")
print("wrote lo_formulas.xlsx")
