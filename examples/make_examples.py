#!/usr/bin/python3
"""Writes the example workbooks of this folder (run from anywhere: python3 examples/make_examples.py).

Every workbook is generated from a fixed seed, so running the script again gives the same numbers; the
.xlsx files it writes are committed beside it. Needs openpyxl (Debian: python3-openpyxl).
"""
import datetime
import os
import random
import subprocess
import zipfile

from openpyxl import Workbook
from openpyxl.styles import Alignment, Border, Font, Side

HERE = os.path.dirname(os.path.abspath(__file__))
BOLD = Font(name="Arial", size=10, bold=True)
PLAIN = Font(name="Arial", size=10)
TITLE = Font(name="Arial", size=12, bold=True)
THIN = Side(style="thin")
UNDER = Border(bottom=THIN)


def header(cell, text, under=False):
    cell.value = text
    cell.font = BOLD
    cell.alignment = Alignment(horizontal="center")
    if under:
        cell.border = UNDER


def number(cell, value, fmt):
    cell.value = value
    cell.font = PLAIN
    cell.number_format = fmt


def save(wb, name):
    # openpyxl stamps the current time into docProps; a fixed time keeps the files identical run to run.
    wb.properties.created = wb.properties.modified = datetime.datetime(2026, 1, 1)
    wb.properties.creator = "Quelstat examples"
    path = os.path.join(HERE, name)
    wb.save(path)
    # The zip entries carry the time of writing too: rewrite them with a fixed one.
    with zipfile.ZipFile(path) as z:
        entries = [(info, z.read(info.filename)) for info in z.infolist()]
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for info, data in entries:
            fixed = zipfile.ZipInfo(info.filename, date_time=(2026, 1, 1, 0, 0, 0))
            fixed.compress_type = zipfile.ZIP_DEFLATED
            fixed.external_attr = info.external_attr
            z.writestr(fixed, data)
    print("wrote", path)


def control_material():
    """One sample: 30 daily glucose results on one lot of control material, target 5.50 mmol/L."""
    rng = random.Random(20260101)
    wb = Workbook()
    ws = wb.active
    ws.title = "QC glucose"
    ws["A1"] = "Glucose control, lot QC-2417 (target 5.50 mmol/L)"
    ws["A1"].font = TITLE
    header(ws["A3"], "Run", under=True)
    header(ws["B3"], "Glucose (mmol/L)", under=True)
    for i in range(30):
        ws.cell(row=4 + i, column=1, value="QC%02d" % (i + 1)).font = PLAIN
        # A small positive bias (+0.06) and an analytical SD of 0.12 mmol/L.
        number(ws.cell(row=4 + i, column=2), round(rng.gauss(5.56, 0.12), 2), "0.00")
    ws.column_dimensions["A"].width = 8
    ws.column_dimensions["B"].width = 18
    save(wb, "control-material.xlsx")


def cholesterol_by_diet():
    """Two independent groups: total cholesterol after 8 weeks on one of two diets (unequal sizes)."""
    rng = random.Random(20260102)
    wb = Workbook()
    ws = wb.active
    ws.title = "Diet study"
    header(ws["A1"], "Cholesterol by Diet")
    ws.merge_cells("A1:B1")
    header(ws["A2"], "Low fat", under=True)
    header(ws["B2"], "Mediterranean", under=True)
    groups = [(24, 5.55, 0.61), (21, 4.95, 0.48)]  # n, mean, SD in mmol/L
    for col, (n, mean, sd) in enumerate(groups, start=1):
        for i in range(n):
            number(ws.cell(row=3 + i, column=col), round(rng.gauss(mean, sd), 2), "0.00")
    ws.column_dimensions["A"].width = 14
    ws.column_dimensions["B"].width = 16
    save(wb, "cholesterol-diet.xlsx")


def weight_programme():
    """Paired samples: body weight of 20 participants before and after a 12-week programme."""
    rng = random.Random(20260103)
    wb = Workbook()
    ws = wb.active
    ws.title = "Weight"
    header(ws["B1"], "Weight (kg)")
    ws.merge_cells("B1:C1")
    header(ws["A2"], "Participant", under=True)
    header(ws["B2"], "Before", under=True)
    header(ws["C2"], "After", under=True)
    for i in range(20):
        before = rng.gauss(88.0, 11.0)
        after = before - rng.gauss(2.4, 1.9)  # mean loss 2.4 kg, individual changes vary
        ws.cell(row=3 + i, column=1, value="P%02d" % (i + 1)).font = PLAIN
        number(ws.cell(row=3 + i, column=2), round(before, 1), "0.0")
        number(ws.cell(row=3 + i, column=3), round(after, 1), "0.0")
    ws.column_dimensions["A"].width = 12
    save(wb, "weight-programme.xlsx")


def contdesc():
    """One continuous variable: fasting plasma glucose of 120 adults at a health screening (mmol/L),
    slightly right-skewed, with two results not available."""
    rng = random.Random(20260104)
    wb = Workbook()
    ws = wb.active
    ws.title = "Screening"
    header(ws["A1"], "Subject", under=True)
    header(ws["B1"], "Glucose (mmol/L)", under=True)
    header(ws["C1"], "Age (years)", under=True)
    for i in range(120):
        ws.cell(row=2 + i, column=1, value="S%03d" % (i + 1)).font = PLAIN
        glucose = 4.2 + rng.lognormvariate(0.1, 0.45)
        if i in (17, 88):
            ws.cell(row=2 + i, column=2, value="n/a").font = PLAIN  # sample haemolysed
        else:
            number(ws.cell(row=2 + i, column=2), round(glucose, 1), "0.0")
        number(ws.cell(row=2 + i, column=3), int(rng.uniform(25, 75)), "0")
    ws.column_dimensions["A"].width = 10
    ws.column_dimensions["B"].width = 18
    ws.column_dimensions["C"].width = 12
    save(wb, "contdesc.xlsx")


def catdesc():
    """One categorical variable: ABO blood group of 200 donors at a donation session."""
    rng = random.Random(20260105)
    wb = Workbook()
    ws = wb.active
    ws.title = "Donors"
    header(ws["A1"], "Donor", under=True)
    header(ws["B1"], "Blood group", under=True)
    groups = ["O", "A", "B", "AB"]
    weights = [0.44, 0.42, 0.10, 0.04]
    for i in range(200):
        ws.cell(row=2 + i, column=1, value="D%03d" % (i + 1)).font = PLAIN
        ws.cell(row=2 + i, column=2, value=rng.choices(groups, weights)[0]).font = PLAIN
    ws.column_dimensions["A"].width = 10
    ws.column_dimensions["B"].width = 14
    save(wb, "catdesc.xlsx")


def compdesc():
    """Groups of one continuous variable: length of hospital stay (days) after hip replacement at
    three hospitals, in list layout with the hospital as grouping variable."""
    rng = random.Random(20260106)
    wb = Workbook()
    ws = wb.active
    ws.title = "Length of stay"
    header(ws["A1"], "Patient", under=True)
    header(ws["B1"], "Hospital", under=True)
    header(ws["C1"], "Stay (days)", under=True)
    sites = [("North", 38, 1.5), ("Central", 45, 1.8), ("South", 31, 1.3)]
    row = 2
    for name, n, scale in sites:
        for i in range(n):
            ws.cell(row=row, column=1, value="P%03d" % (row - 1)).font = PLAIN
            ws.cell(row=row, column=2, value=name).font = PLAIN
            # Mostly 3 to 8 days, a long right tail from complications.
            stay = 2 + rng.gammavariate(2.2, scale) + (rng.random() < 0.06) * rng.uniform(8, 20)
            number(ws.cell(row=row, column=3), round(stay), "0")
            row += 1
    ws.column_dimensions["A"].width = 10
    ws.column_dimensions["B"].width = 12
    ws.column_dimensions["C"].width = 12
    save(wb, "compdesc.xlsx")


def set_nominal(name, cell):
    """A text column is an information variable until the user makes it categorical; the example keeps
    the type as a user saves it (quelstat variable ... --type nominal --save)."""
    quelstat = os.path.join(HERE, "..", "build", "bin", "quelstat")
    if not os.path.exists(quelstat):
        print("note: build/bin/quelstat is missing; %s keeps its text column as information" % name)
        return
    env = dict(os.environ, QUELSTAT_HOME=os.path.join(HERE, "..", "build", "examples-home"))
    subprocess.run([quelstat, "variable", os.path.join(HERE, name), "--cell", cell, "--type", "nominal", "--save"],
                   check=True, env=env, stdout=subprocess.DEVNULL)
    print("made", cell, "of", name, "nominal")


def height_by_fertiliser():
    """One-way between subjects (ANOVA1w): plant height after six weeks under four fertilisers."""
    rng = random.Random(20260104)
    wb = Workbook()
    ws = wb.active
    ws.title = "Fertiliser trial"
    header(ws["A1"], "Height by Fertiliser")
    ws.merge_cells("A1:D1")
    groups = [("Control", 10, 31.0, 3.2), ("Nitrogen", 9, 36.5, 3.6), ("Phosphate", 11, 33.2, 3.0),
              ("Compost", 10, 35.1, 3.4)]  # name, n, mean, SD in cm
    for col, (name, n, mean, sd) in enumerate(groups, start=1):
        header(ws.cell(row=2, column=col), name, under=True)
        for i in range(n):
            number(ws.cell(row=3 + i, column=col), round(rng.gauss(mean, sd), 1), "0.0")
        ws.column_dimensions["ABCD"[col - 1]].width = 12
    save(wb, "ANOVA1w.xlsx")


def reaction_by_dose():
    """One-way within subjects (ANOVA1wr): reaction time of 12 participants at four caffeine doses."""
    rng = random.Random(20260105)
    wb = Workbook()
    ws = wb.active
    ws.title = "Caffeine"
    header(ws["B1"], "Reaction time (ms)")
    ws.merge_cells("B1:E1")
    header(ws["A2"], "Participant", under=True)
    doses = [("0 mg", 0.0), ("100 mg", -12.0), ("200 mg", -19.0), ("400 mg", -15.0)]
    for col, (name, _) in enumerate(doses, start=2):
        header(ws.cell(row=2, column=col), name, under=True)
    for i in range(12):
        own = rng.gauss(285.0, 28.0)  # each participant's own speed
        ws.cell(row=3 + i, column=1, value="S%02d" % (i + 1)).font = PLAIN
        for col, (_, effect) in enumerate(doses, start=2):
            number(ws.cell(row=3 + i, column=col), round(own + effect + rng.gauss(0, 9.0)), "0")
    ws.column_dimensions["A"].width = 12
    save(wb, "ANOVA1wr.xlsx")


def yield_by_variety_and_irrigation():
    """Two-way between subjects (ANOVA2w): wheat yield of three varieties under three irrigation
    levels, four plots per combination; tabular with the variety in a label column."""
    rng = random.Random(20260106)
    wb = Workbook()
    ws = wb.active
    ws.title = "Field trial"
    header(ws["A1"], "Yield (t/ha)")
    header(ws["B1"], "Irrigation")
    ws.merge_cells("B1:D1")
    ws["B1"].alignment = Alignment(horizontal="center")
    levels = [("Low", 0.0), ("Medium", 0.6), ("High", 0.9)]
    header(ws["A2"], "Variety", under=True)
    for col, (name, _) in enumerate(levels, start=2):
        header(ws.cell(row=2, column=col), name, under=True)
    varieties = [("Avalon", 6.1, 1.0), ("Brigand", 6.6, 0.7), ("Cordiale", 5.8, 1.3)]  # base, response
    row = 3
    for name, base, response in varieties:
        ws.cell(row=row, column=1, value=name).font = BOLD
        for plot in range(4):
            for col, (_, effect) in enumerate(levels, start=2):
                number(ws.cell(row=row + plot, column=col), round(base + effect * response + rng.gauss(0, 0.35), 2),
                       "0.00")
        row += 4
    ws.column_dimensions["A"].width = 14
    save(wb, "ANOVA2w.xlsx")


if __name__ == "__main__":
    import sys

    import counts_examples

    control_material()
    cholesterol_by_diet()
    weight_programme()
    contdesc()
    catdesc()
    compdesc()
    counts_examples.write_all(sys.modules[__name__])
    height_by_fertiliser()
    reaction_by_dose()
    yield_by_variety_and_irrigation()
    set_nominal("catdesc.xlsx", "B5")
    set_nominal("compdesc.xlsx", "B5")
