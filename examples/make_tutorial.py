#!/usr/bin/python3
"""Writes the tutorial's master workbook tutorial.xlsx (run from anywhere: python3 examples/make_tutorial.py).

The tutorial steps fill the learner's workbook from this workbook: a fill of "T1 dataset!A5:D34" from the
sheet "Bodyfat dataset" copies that sheet's cells A5:D34, so every dataset sheet holds its data at the
cells the steps name. The ready-made sheets ("T1 dataset 1" ...) are the states later parts of a tutorial
start from; a step that copies a sheet takes the ready-made sheet of the new sheet's name.

Fixed seeds: running the script again gives the same numbers. Needs openpyxl (Debian: python3-openpyxl).
"""
import copy
import random

from openpyxl import Workbook
from openpyxl.styles import Alignment, Border

from example_kit import BOLD, PLAIN, THIN, TITLE, save

ACROSS = Alignment(horizontal="centerContinuous")


def title(ws, ref, text):
    ws[ref].value = text
    ws[ref].font = TITLE


def head(ws, ref, text, under=False, across=False, right=False):
    """A header cell: bold, centred (across its run when `across`), ruled below or to the right."""
    cell = ws[ref]
    cell.value = text
    cell.font = BOLD
    cell.alignment = ACROSS if across else Alignment(horizontal="center")
    cell.border = Border(bottom=THIN if under else None, right=THIN if right else None)


def across(ws, ref):
    """An empty cell that a header centred across its run covers."""
    ws[ref].alignment = ACROSS
    ws[ref].font = BOLD


def put(ws, row, col, value, fmt="0.0", bold=False, right=False):
    cell = ws.cell(row=row, column=col, value=value)
    cell.font = BOLD if bold else PLAIN
    if not isinstance(value, str):
        cell.number_format = fmt
    if right:
        cell.border = Border(right=THIN)


def copy_sheet(wb, source, name, rows=None, cols=None, change=None):
    """A ready-made sheet: `source`'s cells (within rows x cols when given), with `change` applied."""
    ws = wb.create_sheet(name)
    for row in source.iter_rows():
        for cell in row:
            if cell.value is None and not cell.has_style:
                continue
            if rows and not rows[0] <= cell.row <= rows[1]:
                continue
            if cols and not cols[0] <= cell.column <= cols[1]:
                continue
            target = ws.cell(row=cell.row, column=cell.column, value=cell.value)
            target.font = copy.copy(cell.font)
            target.alignment = copy.copy(cell.alignment)
            target.border = copy.copy(cell.border)
            target.number_format = cell.number_format
    for key, dim in source.column_dimensions.items():
        ws.column_dimensions[key].width = dim.width
    if change:
        change(ws)
    return ws


def bodyfat(wb):
    """Tutorial 1: body fat (%) of 30 adults measured by skinfold callipers and by bioelectrical
    impedance; the impedance scale reads about 1 point higher on average (paired samples)."""
    rng = random.Random(20261201)
    ws = wb.create_sheet("Bodyfat dataset")
    title(ws, "A1", "Body fat by two methods")
    head(ws, "C3", "Body fat (%)", across=True)
    across(ws, "D3")
    for ref, text in (("A4", "Subject"), ("B4", "Sex"), ("C4", "Skinfold"), ("D4", "Bioimpedance")):
        head(ws, ref, text, under=True)
    for i in range(30):
        sex = "F" if rng.random() < 0.5 else "M"
        skinfold = rng.gauss(29.0 if sex == "F" else 21.0, 5.0)
        impedance = skinfold + rng.gauss(1.1, 1.6)
        put(ws, 5 + i, 1, "S%02d" % (i + 1))
        put(ws, 5 + i, 2, sex)
        put(ws, 5 + i, 3, round(skinfold, 1))
        put(ws, 5 + i, 4, round(impedance, 1))
    ws.column_dimensions["C"].width = 11
    ws.column_dimensions["D"].width = 13
    copy_sheet(wb, ws, "T1 dataset 1")

    # Part 3 of the tutorial starts from a copy with a typing error (a decimal point slipped in D19)
    # that a report shows as an outlier; step 1205 puts the right value in.
    def typo(sheet):
        sheet["D19"].value = round(sheet["D19"].value / 10, 2)

    copy_sheet(wb, ws, "T1 dataset 2", change=typo)


def yield_one_factor(wb):
    """Tutorial 2, part 1: wheat yield (t/ha) as a list (18 plots, three fertiliser treatments) and as
    a table (a second trial: four treatments, five plots each)."""
    rng = random.Random(20261202)
    ws = wb.create_sheet("Yield dataset")
    title(ws, "A1", "Wheat yield trial 1")
    for ref, text in (("A3", "Plot"), ("B3", "Fertiliser"), ("C3", "Yield (t/ha)")):
        head(ws, ref, text, under=True)
    treatments = [("None", 6.3), ("Nitrogen", 7.4), ("Nitrogen+S", 7.9)]
    plots = [(t, mean) for t, mean in treatments for _ in range(6)]
    rng.shuffle(plots)  # the field plan: treatments randomised to plots
    for i, (treatment, mean) in enumerate(plots):
        put(ws, 4 + i, 1, i + 1, "0")
        put(ws, 4 + i, 2, treatment)
        put(ws, 4 + i, 3, round(rng.gauss(mean, 0.45), 2), "0.00")

    title(ws, "E1", "Wheat yield trial 2")
    head(ws, "E3", "Yield by Fertiliser", across=True)
    for ref in ("F3", "G3", "H3"):
        across(ws, ref)
    for col, (treatment, mean) in enumerate([("None", 6.1), ("Nitrogen", 7.2), ("Phosphorus", 6.6), ("Potassium", 6.4)]):
        head(ws, "EFGH"[col] + "4", treatment, under=True)
        for r in range(5):
            put(ws, 5 + r, 5 + col, round(rng.gauss(mean, 0.4), 2), "0.00")
    for c in "BCEFGH":
        ws.column_dimensions[c].width = 12
    copy_sheet(wb, ws, "T2-1 dataset 1", cols=(1, 3))
    copy_sheet(wb, ws, "T2-1 dataset 2")


def yield_two_factors(wb):
    """Tutorial 2, part 2: yield (t/ha) of four wheat varieties at three fertiliser levels, three plots
    each, as a list and as a two-way table (fertiliser down, variety across)."""
    rng = random.Random(20261203)
    ws = wb.create_sheet("2-factor Yield dataset")
    title(ws, "A1", "Fertiliser and variety trial")
    for ref, text in (("A3", "Plot"), ("B3", "Fertiliser"), ("C3", "Variety"), ("D3", "Yield (t/ha)")):
        head(ws, ref, text, under=True)
    levels = [("Low", 0.0), ("Medium", 0.7), ("High", 1.1)]
    varieties = [("Avalon", 6.2), ("Brigadier", 6.8), ("Consort", 6.5), ("Dover", 7.1)]
    values = {}
    row = 4
    for li, (level, gain) in enumerate(levels):
        for vi, (variety, base) in enumerate(varieties):
            for rep in range(3):
                # Dover responds more to fertiliser than the others (an interaction).
                extra = 0.4 * li if variety == "Dover" else 0.0
                y = round(rng.gauss(base + gain + extra, 0.35), 2)
                values[(li, vi, rep)] = y
                put(ws, row, 1, row - 3, "0")
                put(ws, row, 2, level)
                put(ws, row, 3, variety)
                put(ws, row, 4, y, "0.00")
                row += 1

    title(ws, "F1", "Fertiliser and variety trial (table)")
    head(ws, "F3", "Yield (t/ha)", right=True)
    head(ws, "G3", "Variety", across=True)
    for ref in ("H3", "I3", "J3"):
        across(ws, ref)
    head(ws, "F4", "Fertiliser", under=True, right=True)
    for vi, (variety, _) in enumerate(varieties):
        head(ws, "GHIJ"[vi] + "4", variety, under=True)
    for li, (level, _) in enumerate(levels):
        put(ws, 5 + 3 * li, 6, level, bold=True, right=True)
        for rep in range(3):
            if rep:
                ws.cell(row=5 + 3 * li + rep, column=6).border = Border(right=THIN)
            for vi in range(4):
                put(ws, 5 + 3 * li + rep, 7 + vi, values[(li, vi, rep)], "0.00")
    for c in "BCDFGHIJ":
        ws.column_dimensions[c].width = 12
    copy_sheet(wb, ws, "T2-2 dataset 1", cols=(1, 4))
    copy_sheet(wb, ws, "T2-2 dataset")


def ad_campaign(wb):
    """Tutorial 3, part 1: weekly sales (units) of 14 stores in the week before and the week after an
    advertising campaign (paired), and a 2 x 2 table of customers by whether they saw the
    advertisement and whether they bought."""
    rng = random.Random(20261204)
    ws = wb.create_sheet("Ad campaign dataset")
    title(ws, "A1", "Ad campaign")
    head(ws, "B3", "Sales (units)", across=True)
    across(ws, "C3")
    for ref, text in (("A4", "Store"), ("B4", "Before"), ("C4", "After")):
        head(ws, ref, text, under=True)
    stores = ["Aberdeen", "Bath", "Cardiff", "Derby", "Exeter", "Falkirk", "Glasgow", "Hull", "Ipswich",
              "Kendal", "Leeds", "Margate", "Norwich", "Oxford"]
    for i, store in enumerate(stores):
        before = rng.gauss(420, 90)
        put(ws, 5 + i, 1, store)
        put(ws, 5 + i, 2, round(before), "0")
        put(ws, 5 + i, 3, round(before * rng.gauss(1.08, 0.06)), "0")

    title(ws, "E1", "Survey of 220 customers")
    head(ws, "E3", "Customers", right=True)
    head(ws, "F3", "Saw the ad", across=True)
    across(ws, "G3")
    head(ws, "E4", "Bought", under=True, right=True)
    head(ws, "F4", "Yes", under=True)
    head(ws, "G4", "No", under=True)
    put(ws, 5, 5, "Yes", bold=True, right=True)
    put(ws, 6, 5, "No", bold=True, right=True)
    for (r, c), n in {(5, 6): 48, (5, 7): 31, (6, 6): 52, (6, 7): 89}.items():
        put(ws, r, c, n, "0")
    ws.column_dimensions["A"].width = 11
    ws.column_dimensions["E"].width = 11
    ws.column_dimensions["F"].width = 11
    copy_sheet(wb, ws, "T3-1 dataset 1", cols=(1, 3))
    copy_sheet(wb, ws, "T3-1 dataset 2")


def sales(wb):
    """Tutorial 3, part 2: monthly advertising spend and sales (thousand euros) over two years."""
    rng = random.Random(20261205)
    ws = wb.create_sheet("Sales dataset")
    title(ws, "A1", "Sales and advertising")
    for ref, text in (("A3", "Month"), ("B3", "Advertising (k EUR)"), ("C3", "Sales (k EUR)")):
        head(ws, ref, text, under=True)
    for i in range(24):
        spend = rng.uniform(8, 30)
        put(ws, 4 + i, 1, i + 1, "0")
        put(ws, 4 + i, 2, round(spend, 1))
        put(ws, 4 + i, 3, round(120 + 4.2 * spend + rng.gauss(0, 12), 1))
    ws.column_dimensions["B"].width = 20
    ws.column_dimensions["C"].width = 15
    copy_sheet(wb, ws, "T3-2 dataset")


def main():
    wb = Workbook()
    wb.remove(wb.active)
    bodyfat(wb)
    yield_one_factor(wb)
    yield_two_factors(wb)
    ad_campaign(wb)
    sales(wb)
    save(wb, "tutorial.xlsx")


if __name__ == "__main__":
    main()
