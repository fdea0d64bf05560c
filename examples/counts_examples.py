"""Example workbooks of the tests on counts and proportions and of the correlation tests, written by
make_examples.py with its helpers (fixed seeds: the same numbers every run)."""
import random

from example_kit import (INFORMATION, NOMINAL, TITLE, group_header, header, headers, ids, keep_properties, new_sheet,
                         number, save, text, widths)


def binomial():
    """One dichotomous variable: germination of 80 seeds of a lot sold as 90% germinating."""
    rng = random.Random(20260201)
    wb, ws = new_sheet("Germination")
    ws["A1"] = "Germination test, seed lot 2026-114 (claimed 90%)"
    ws["A1"].font = TITLE
    headers(ws, 3, ["Seed", "Result"])
    ids(ws, 4, 1, "S%02d", 80)
    for i in range(80):
        text(ws.cell(row=4 + i, column=2), "Germinated" if rng.random() < 0.77 else "Not germinated")
    widths(ws, B=16)
    keep_properties(wb, 3, [("A", INFORMATION), ("B", NOMINAL)])
    save(wb, "binomial.xlsx")


def fisher():
    """Two categorical variables, one row per patient: wound infection after two dressing types."""
    rng = random.Random(20260202)
    wb, ws = new_sheet("Dressings")
    headers(ws, 1, ["Patient", "Dressing", "Infection"])
    row = 2
    for dressing, n, risk in (("Silver", 22, 0.09), ("Standard", 20, 0.40)):
        for _ in range(n):
            text(ws.cell(row=row, column=1), "P%02d" % (row - 1))
            text(ws.cell(row=row, column=2), dressing)
            text(ws.cell(row=row, column=3), "Infected" if rng.random() < risk else "Healed")
            row += 1
    widths(ws, B=12, C=12)
    keep_properties(wb, 1, [("A", INFORMATION), ("B", NOMINAL), ("C", NOMINAL)])
    save(wb, "fisher.xlsx")


def mcnemar():
    """Paired categories: 120 smokers asked before and after a campaign whether they plan to quit."""
    rng = random.Random(20260203)
    wb, ws = new_sheet("Campaign")
    headers(ws, 1, ["Respondent", "Before", "After"])
    ids(ws, 2, 1, "R%03d", 120)
    for i in range(120):
        before = rng.random() < 0.35
        after = (rng.random() < 0.85) if before else (rng.random() < 0.25)
        text(ws.cell(row=2 + i, column=2), "Plans to quit" if before else "No plan")
        text(ws.cell(row=2 + i, column=3), "Plans to quit" if after else "No plan")
    widths(ws, B=14, C=14)
    keep_properties(wb, 1, [("A", INFORMATION), ("B", NOMINAL), ("C", NOMINAL)])
    save(wb, "mcnemar.xlsx")


def chisq():
    """Two categorical variables, one row per donor: blood group by region (a 4 x 3 table)."""
    rng = random.Random(20260204)
    wb, ws = new_sheet("Donors")
    headers(ws, 1, ["Donor", "Region", "Blood group"])
    groups = ["O", "A", "B", "AB"]
    mix = {"North": (0.42, 0.40, 0.12), "Central": (0.45, 0.36, 0.13), "South": (0.48, 0.30, 0.16)}
    row = 2
    for region, n in (("North", 110), ("Central", 140), ("South", 95)):
        for _ in range(n):
            u, p = rng.random(), mix[region]
            g = groups[0] if u < p[0] else groups[1] if u < p[0] + p[1] else groups[2] if u < sum(p) else groups[3]
            text(ws.cell(row=row, column=1), "D%03d" % (row - 1))
            text(ws.cell(row=row, column=2), region)
            text(ws.cell(row=row, column=3), g)
            row += 1
    widths(ws, C=12)
    keep_properties(wb, 1, [("A", INFORMATION), ("B", NOMINAL), ("C", NOMINAL)])
    save(wb, "chisq.xlsx")


def cochranq():
    """Three dichotomous variables on the same subjects: 30 trainees pass or fail three simulator
    scenarios."""
    rng = random.Random(20260205)
    wb, ws = new_sheet("Simulator")
    headers(ws, 1, ["Trainee", "Engine fire", "Bird strike", "Hydraulics"])
    ids(ws, 2, 1, "T%02d", 30)
    for i in range(30):
        skill = rng.gauss(0, 1)
        for j, difficulty in enumerate((-0.9, 0.1, 0.6)):
            passed = skill - difficulty + rng.gauss(0, 0.8) > 0
            text(ws.cell(row=2 + i, column=2 + j), "Pass" if passed else "Fail")
    widths(ws, B=12, C=12, D=12)
    keep_properties(wb, 1, [("A", INFORMATION), ("B", NOMINAL), ("C", NOMINAL), ("D", NOMINAL)])
    save(wb, "cochranq.xlsx")


def nonpcorr():
    """Two measures of the same subjects for the correlation tests: 14 wines scored by two judges
    (scores 1-20), repeat measures under a two-row header ("Score" over "Judge A" and "Judge B")."""
    rng = random.Random(20260206)
    wb, ws = new_sheet("Wine scores")
    group_header(ws, 1, 2, "Score", 2)
    headers(ws, 2, ["Wine", "Judge A", "Judge B"])
    ids(ws, 3, 1, "W%02d", 14)
    for i in range(14):
        quality = rng.gauss(13, 2.5)
        number(ws.cell(row=3 + i, column=2), max(1, min(20, round(quality + rng.gauss(0, 1.2)))), "0")
        number(ws.cell(row=3 + i, column=3), max(1, min(20, round(quality + rng.gauss(0, 1.8)))), "0")
    save(wb, "nonpcorr.xlsx")


def runs():
    """One dichotomous variable in time order: 40 consecutive batches of a filling line, within or
    out of tolerance (out-of-tolerance batches come in clusters after each set-up)."""
    rng = random.Random(20260207)
    wb, ws = new_sheet("Filling line")
    ws["A1"] = "Fill weight checks, line 3, in production order"
    ws["A1"].font = TITLE
    headers(ws, 3, ["Batch", "Fill weight"])
    ids(ws, 4, 1, "B%03d", 40, start=101)
    state = False
    for i in range(40):
        state = (rng.random() < 0.7) if state else (rng.random() < 0.2)  # out of tolerance persists
        text(ws.cell(row=4 + i, column=2), "Out of spec" if state else "Within spec")
    widths(ws, B=14)
    keep_properties(wb, 3, [("A", INFORMATION), ("B", NOMINAL)])
    save(wb, "runs.xlsx")


def sign():
    """Repeat measures of one ordinal score: pain (0-10) of 18 patients at baseline, after two and
    after six weeks of physiotherapy, under a two-row header ("Pain score" over the three visits)."""
    rng = random.Random(20260208)
    wb, ws = new_sheet("Pain")
    group_header(ws, 1, 2, "Pain score", 3)
    headers(ws, 2, ["Patient", "Baseline", "Week 2", "Week 6"])
    ids(ws, 3, 1, "P%02d", 18)
    for i in range(18):
        base = rng.randint(4, 9)
        for j, relief in enumerate((0, 0.6, 1.2)):
            score = max(0, min(10, round(base - relief + rng.gauss(0, 1.5))))
            number(ws.cell(row=3 + i, column=2 + j), score, "0")
    widths(ws, B=10, C=10, D=10)
    save(wb, "sign.xlsx")


def write_all():
    for make in (binomial, fisher, mcnemar, chisq, cochranq, nonpcorr, runs, sign):
        make()
