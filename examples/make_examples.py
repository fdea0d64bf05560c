#!/usr/bin/python3
"""Writes the example workbooks of this folder (run from anywhere: python3 examples/make_examples.py).

Every workbook is generated from a fixed seed, so running the script again gives the same numbers; the
.xlsx files it writes are committed beside it. Needs openpyxl (Debian: python3-openpyxl).
"""
import random

from example_kit import (BOLD, TITLE, group_header, header, headers, ids, new_sheet, number, save, set_nominal,
                         text, widths)


def control_material():
    """One sample: 30 daily glucose results on one lot of control material, target 5.50 mmol/L."""
    rng = random.Random(20260101)
    wb, ws = new_sheet("QC glucose")
    ws["A1"] = "Glucose control, lot QC-2417 (target 5.50 mmol/L)"
    ws["A1"].font = TITLE
    headers(ws, 3, ["Run", "Glucose (mmol/L)"])
    ids(ws, 4, 1, "QC%02d", 30)
    for i in range(30):
        # A small positive bias (+0.06) and an analytical SD of 0.12 mmol/L.
        number(ws.cell(row=4 + i, column=2), round(rng.gauss(5.56, 0.12), 2), "0.00")
    widths(ws, A=8, B=18)
    save(wb, "control-material.xlsx")


def cholesterol_by_diet():
    """Two independent groups: total cholesterol after 8 weeks on one of two diets (unequal sizes)."""
    rng = random.Random(20260102)
    wb, ws = new_sheet("Diet study")
    header(ws["A1"], "Cholesterol by Diet")
    ws.merge_cells("A1:B1")
    headers(ws, 2, ["Low fat", "Mediterranean"])
    groups = [(24, 5.55, 0.61), (21, 4.95, 0.48)]  # n, mean, SD in mmol/L
    for col, (n, mean, sd) in enumerate(groups, start=1):
        for i in range(n):
            number(ws.cell(row=3 + i, column=col), round(rng.gauss(mean, sd), 2), "0.00")
    widths(ws, A=14, B=16)
    save(wb, "cholesterol-diet.xlsx")


def weight_programme():
    """Paired samples: body weight of 20 participants before and after a 12-week programme."""
    rng = random.Random(20260103)
    wb, ws = new_sheet("Weight")
    group_header(ws, 1, 2, "Weight (kg)", 2)
    headers(ws, 2, ["Participant", "Before", "After"])
    ids(ws, 3, 1, "P%02d", 20)
    for i in range(20):
        before = rng.gauss(88.0, 11.0)
        after = before - rng.gauss(2.4, 1.9)  # mean loss 2.4 kg, individual changes vary
        number(ws.cell(row=3 + i, column=2), round(before, 1), "0.0")
        number(ws.cell(row=3 + i, column=3), round(after, 1), "0.0")
    ws.column_dimensions["A"].width = 12
    save(wb, "weight-programme.xlsx")


def contdesc():
    """One continuous variable: fasting plasma glucose of 120 adults at a health screening (mmol/L),
    slightly right-skewed, with two results not available."""
    rng = random.Random(20260104)
    wb, ws = new_sheet("Screening")
    headers(ws, 1, ["Subject", "Glucose (mmol/L)", "Age (years)"])
    ids(ws, 2, 1, "S%03d", 120)
    for i in range(120):
        glucose = 4.2 + rng.lognormvariate(0.1, 0.45)
        if i in (17, 88):
            text(ws.cell(row=2 + i, column=2), "n/a")  # sample haemolysed
        else:
            number(ws.cell(row=2 + i, column=2), round(glucose, 1), "0.0")
        number(ws.cell(row=2 + i, column=3), int(rng.uniform(25, 75)), "0")
    widths(ws, A=10, B=18, C=12)
    save(wb, "contdesc.xlsx")


def catdesc():
    """One categorical variable: ABO blood group of 200 donors at a donation session."""
    rng = random.Random(20260105)
    wb, ws = new_sheet("Donors")
    headers(ws, 1, ["Donor", "Blood group"])
    groups = ["O", "A", "B", "AB"]
    weights = [0.44, 0.42, 0.10, 0.04]
    ids(ws, 2, 1, "D%03d", 200)
    for i in range(200):
        text(ws.cell(row=2 + i, column=2), rng.choices(groups, weights)[0])
    widths(ws, A=10, B=14)
    save(wb, "catdesc.xlsx")


def compdesc():
    """Groups of one continuous variable: length of hospital stay (days) after hip replacement at
    three hospitals, in list layout with the hospital as grouping variable."""
    rng = random.Random(20260106)
    wb, ws = new_sheet("Length of stay")
    headers(ws, 1, ["Patient", "Hospital", "Stay (days)"])
    sites = [("North", 38, 1.5), ("Central", 45, 1.8), ("South", 31, 1.3)]
    row = 2
    for name, n, scale in sites:
        for i in range(n):
            text(ws.cell(row=row, column=1), "P%03d" % (row - 1))
            text(ws.cell(row=row, column=2), name)
            # Mostly 3 to 8 days, a long right tail from complications.
            stay = 2 + rng.gammavariate(2.2, scale) + (rng.random() < 0.06) * rng.uniform(8, 20)
            number(ws.cell(row=row, column=3), round(stay), "0")
            row += 1
    widths(ws, A=10, B=12, C=12)
    save(wb, "compdesc.xlsx")


def height_by_fertiliser():
    """One-way between subjects (ANOVA1w): plant height after six weeks under four fertilisers."""
    rng = random.Random(20260104)
    wb, ws = new_sheet("Fertiliser trial")
    group_header(ws, 1, 1, "Height by Fertiliser", 4)
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
    wb, ws = new_sheet("Caffeine")
    group_header(ws, 1, 2, "Reaction time (ms)", 4)
    doses = [("0 mg", 0.0), ("100 mg", -12.0), ("200 mg", -19.0), ("400 mg", -15.0)]
    headers(ws, 2, ["Participant"] + [name for name, _ in doses])
    ids(ws, 3, 1, "S%02d", 12)
    for i in range(12):
        own = rng.gauss(285.0, 28.0)  # each participant's own speed
        for col, (_, effect) in enumerate(doses, start=2):
            number(ws.cell(row=3 + i, column=col), round(own + effect + rng.gauss(0, 9.0)), "0")
    ws.column_dimensions["A"].width = 12
    save(wb, "ANOVA1wr.xlsx")


def yield_by_variety_and_irrigation():
    """Two-way between subjects (ANOVA2w): wheat yield of three varieties under three irrigation
    levels, four plots per combination; tabular with the variety in a label column."""
    rng = random.Random(20260106)
    wb, ws = new_sheet("Field trial")
    header(ws["A1"], "Yield (t/ha)")
    group_header(ws, 1, 2, "Irrigation", 3)
    levels = [("Low", 0.0), ("Medium", 0.6), ("High", 0.9)]
    headers(ws, 2, ["Variety"] + [name for name, _ in levels])
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
    import clinical_examples
    import counts_examples
    import general_examples

    control_material()
    cholesterol_by_diet()
    weight_programme()
    contdesc()
    catdesc()
    compdesc()
    counts_examples.write_all()
    height_by_fertiliser()
    reaction_by_dose()
    yield_by_variety_and_irrigation()
    general_examples.write_all()
    clinical_examples.write_all()
    set_nominal("catdesc.xlsx", "B5")
    set_nominal("compdesc.xlsx", "B5")
