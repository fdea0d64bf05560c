#!/usr/bin/python3
"""Writes the NIST StRD analysis-of-variance data sets of strd/ as list workbooks (strd/<name>.xlsx):
a "Group" column (the treatment, "T1".."Tk") and a "Value" column, one observation per row, the values
exactly as the data files print them. Run from anywhere; needs python3-openpyxl.

The certified values stay in the .dat files (read by the tests and by strd_anova.R)."""
import datetime
import os
import re
import zipfile

from openpyxl import Workbook

HERE = os.path.dirname(os.path.abspath(__file__))
STRD = os.path.join(HERE, "strd")
NAMES = ["SiRstv", "AtmWtAg"] + ["SmLs%02d" % i for i in range(1, 10)]


def read(name):
    lines = open(os.path.join(STRD, name + "t.dat")).read().splitlines()
    first, last = map(int, re.search(r"Data\s+\(lines (\d+) to (\d+)\)", "\n".join(lines)).groups())
    rows = [line.split() for line in lines[first - 1:last] if line.strip()]
    return [[row[t] for row in rows] for t in range(len(rows[0]))]


def save(wb, path):
    wb.properties.created = wb.properties.modified = datetime.datetime(2026, 1, 1)
    wb.save(path)
    with zipfile.ZipFile(path) as z:
        entries = [(info, z.read(info.filename)) for info in z.infolist()]
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for info, data in entries:
            fixed = zipfile.ZipInfo(info.filename, date_time=(2026, 1, 1, 0, 0, 0))
            fixed.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(fixed, data)


def main():
    for name in NAMES:
        wb = Workbook()
        ws = wb.active
        ws.title = name
        ws.append(["Group", "Value"])
        for t, column in enumerate(read(name)):
            for text in column:
                ws.append(["T%d" % (t + 1), float(text)])
        save(wb, os.path.join(STRD, name + ".xlsx"))
        print("wrote", name)


if __name__ == "__main__":
    main()
