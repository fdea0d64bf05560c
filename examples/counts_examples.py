"""Example workbooks of the tests on counts and proportions and of the correlation tests, written by
make_examples.py with its helpers (fixed seeds: the same numbers every run)."""
import random

from openpyxl import Workbook
from openpyxl.workbook.defined_name import DefinedName

NOMINAL = 33554689     # the variable type codes kept in the workbook's names
INFORMATION = 67108869
CONTINUOUS = 134218756


def keep_properties(wb, header_row, variables, base=0x51000000):
    """Stores the dataset as set up and confirmed (a list dataset, its name from the title) and each
    variable's type, as the add-in keeps them in sheet-level defined names, so that the tests run
    on the example without asking about its layout. variables: (column letter, type code)."""
    title = wb.active.title
    first, last = variables[0][0], variables[-1][0]
    names = [("__sm_DV_%x" % base, '{1;2;"";FALSE}'),
             ("__sm_DR_%x" % base, "'%s'!$%s$%d:$%s$%d" % (title, first, header_row, last, header_row))]
    for k, (column, code) in enumerate(variables, start=1):
        names.append(("__sm_VV_%x" % (base + k), "{1;%d}" % code))
        names.append(("__sm_VR_%x" % (base + k), "'%s'!$%s$%d" % (title, column, header_row)))
    for name, text in names:
        wb.defined_names.append(DefinedName(name, localSheetId=0, attr_text=text))


def categories(ws, column, row, values, helpers):
    for i, v in enumerate(values):
        ws.cell(row=row + i, column=column, value=v).font = helpers.PLAIN


def binomial(h):
    """One dichotomous variable: germination of 80 seeds of a lot sold as 90% germinating."""
    rng = random.Random(20260201)
    wb = Workbook()
    ws = wb.active
    ws.title = "Germination"
    ws["A1"] = "Germination test, seed lot 2026-114 (claimed 90%)"
    ws["A1"].font = h.TITLE
    h.header(ws["A3"], "Seed", under=True)
    h.header(ws["B3"], "Result", under=True)
    for i in range(80):
        ws.cell(row=4 + i, column=1, value="S%02d" % (i + 1)).font = h.PLAIN
        ws.cell(row=4 + i, column=2, value="Germinated" if rng.random() < 0.77 else "Not germinated").font = h.PLAIN
    ws.column_dimensions["B"].width = 16
    keep_properties(wb, 3, [("A", INFORMATION), ("B", NOMINAL)])
    h.save(wb, "binomial.xlsx")


def fisher(h):
    """Two categorical variables, one row per patient: wound infection after two dressing types."""
    rng = random.Random(20260202)
    wb = Workbook()
    ws = wb.active
    ws.title = "Dressings"
    h.header(ws["A1"], "Patient", under=True)
    h.header(ws["B1"], "Dressing", under=True)
    h.header(ws["C1"], "Infection", under=True)
    row = 2
    for dressing, n, risk in (("Silver", 22, 0.09), ("Standard", 20, 0.40)):
        for _ in range(n):
            ws.cell(row=row, column=1, value="P%02d" % (row - 1)).font = h.PLAIN
            ws.cell(row=row, column=2, value=dressing).font = h.PLAIN
            ws.cell(row=row, column=3, value="Infected" if rng.random() < risk else "Healed").font = h.PLAIN
            row += 1
    ws.column_dimensions["B"].width = 12
    ws.column_dimensions["C"].width = 12
    keep_properties(wb, 1, [("A", INFORMATION), ("B", NOMINAL), ("C", NOMINAL)])
    h.save(wb, "fisher.xlsx")


def mcnemar(h):
    """Paired categories: 120 smokers asked before and after a campaign whether they plan to quit."""
    rng = random.Random(20260203)
    wb = Workbook()
    ws = wb.active
    ws.title = "Campaign"
    h.header(ws["A1"], "Respondent", under=True)
    h.header(ws["B1"], "Before", under=True)
    h.header(ws["C1"], "After", under=True)
    for i in range(120):
        before = rng.random() < 0.35
        after = (rng.random() < 0.85) if before else (rng.random() < 0.25)
        ws.cell(row=2 + i, column=1, value="R%03d" % (i + 1)).font = h.PLAIN
        ws.cell(row=2 + i, column=2, value="Plans to quit" if before else "No plan").font = h.PLAIN
        ws.cell(row=2 + i, column=3, value="Plans to quit" if after else "No plan").font = h.PLAIN
    ws.column_dimensions["B"].width = 14
    ws.column_dimensions["C"].width = 14
    keep_properties(wb, 1, [("A", INFORMATION), ("B", NOMINAL), ("C", NOMINAL)])
    h.save(wb, "mcnemar.xlsx")


def chisq(h):
    """Two categorical variables, one row per donor: blood group by region (a 4 x 3 table)."""
    rng = random.Random(20260204)
    wb = Workbook()
    ws = wb.active
    ws.title = "Donors"
    h.header(ws["A1"], "Donor", under=True)
    h.header(ws["B1"], "Region", under=True)
    h.header(ws["C1"], "Blood group", under=True)
    groups = ["O", "A", "B", "AB"]
    mix = {"North": (0.42, 0.40, 0.12), "Central": (0.45, 0.36, 0.13), "South": (0.48, 0.30, 0.16)}
    row = 2
    for region, n in (("North", 110), ("Central", 140), ("South", 95)):
        for _ in range(n):
            u, p = rng.random(), mix[region]
            g = groups[0] if u < p[0] else groups[1] if u < p[0] + p[1] else groups[2] if u < sum(p) else groups[3]
            ws.cell(row=row, column=1, value="D%03d" % (row - 1)).font = h.PLAIN
            ws.cell(row=row, column=2, value=region).font = h.PLAIN
            ws.cell(row=row, column=3, value=g).font = h.PLAIN
            row += 1
    ws.column_dimensions["C"].width = 12
    keep_properties(wb, 1, [("A", INFORMATION), ("B", NOMINAL), ("C", NOMINAL)])
    h.save(wb, "chisq.xlsx")


def cochranq(h):
    """Three dichotomous variables on the same subjects: 30 trainees pass or fail three simulator
    scenarios."""
    rng = random.Random(20260205)
    wb = Workbook()
    ws = wb.active
    ws.title = "Simulator"
    h.header(ws["A1"], "Trainee", under=True)
    for j, name in enumerate(("Engine fire", "Bird strike", "Hydraulics")):
        h.header(ws.cell(row=1, column=2 + j), name, under=True)
    for i in range(30):
        skill = rng.gauss(0, 1)
        ws.cell(row=2 + i, column=1, value="T%02d" % (i + 1)).font = h.PLAIN
        for j, difficulty in enumerate((-0.9, 0.1, 0.6)):
            passed = skill - difficulty + rng.gauss(0, 0.8) > 0
            ws.cell(row=2 + i, column=2 + j, value="Pass" if passed else "Fail").font = h.PLAIN
    for col in "BCD":
        ws.column_dimensions[col].width = 12
    keep_properties(wb, 1, [("A", INFORMATION), ("B", NOMINAL), ("C", NOMINAL), ("D", NOMINAL)])
    h.save(wb, "cochranq.xlsx")


def nonpcorr(h):
    """Two measures of the same subjects for the correlation tests: 14 wines scored by two judges
    (scores 1-20), repeat measures under a two-row header ("Score" over "Judge A" and "Judge B")."""
    rng = random.Random(20260206)
    wb = Workbook()
    ws = wb.active
    ws.title = "Wine scores"
    h.header(ws["B1"], "Score")
    ws.merge_cells("B1:C1")
    h.header(ws["A2"], "Wine", under=True)
    h.header(ws["B2"], "Judge A", under=True)
    h.header(ws["C2"], "Judge B", under=True)
    for i in range(14):
        quality = rng.gauss(13, 2.5)
        ws.cell(row=3 + i, column=1, value="W%02d" % (i + 1)).font = h.PLAIN
        h.number(ws.cell(row=3 + i, column=2), max(1, min(20, round(quality + rng.gauss(0, 1.2)))), "0")
        h.number(ws.cell(row=3 + i, column=3), max(1, min(20, round(quality + rng.gauss(0, 1.8)))), "0")
    h.save(wb, "nonpcorr.xlsx")


def runs(h):
    """One dichotomous variable in time order: 40 consecutive batches of a filling line, within or
    out of tolerance (out-of-tolerance batches come in clusters after each set-up)."""
    rng = random.Random(20260207)
    wb = Workbook()
    ws = wb.active
    ws.title = "Filling line"
    ws["A1"] = "Fill weight checks, line 3, in production order"
    ws["A1"].font = h.TITLE
    h.header(ws["A3"], "Batch", under=True)
    h.header(ws["B3"], "Fill weight", under=True)
    state = False
    for i in range(40):
        state = (rng.random() < 0.7) if state else (rng.random() < 0.2)  # out of tolerance persists
        ws.cell(row=4 + i, column=1, value="B%03d" % (101 + i)).font = h.PLAIN
        ws.cell(row=4 + i, column=2, value="Out of spec" if state else "Within spec").font = h.PLAIN
    ws.column_dimensions["B"].width = 14
    keep_properties(wb, 3, [("A", INFORMATION), ("B", NOMINAL)])
    h.save(wb, "runs.xlsx")


def sign(h):
    """Repeat measures of one ordinal score: pain (0-10) of 18 patients at baseline, after two and
    after six weeks of physiotherapy, under a two-row header ("Pain score" over the three visits)."""
    rng = random.Random(20260208)
    wb = Workbook()
    ws = wb.active
    ws.title = "Pain"
    h.header(ws["B1"], "Pain score")
    ws.merge_cells("B1:D1")
    h.header(ws["A2"], "Patient", under=True)
    for j, visit in enumerate(("Baseline", "Week 2", "Week 6")):
        h.header(ws.cell(row=2, column=2 + j), visit, under=True)
    for i in range(18):
        base = rng.randint(4, 9)
        ws.cell(row=3 + i, column=1, value="P%02d" % (i + 1)).font = h.PLAIN
        for j, relief in enumerate((0, 0.6, 1.2)):
            score = max(0, min(10, round(base - relief + rng.gauss(0, 1.5))))
            h.number(ws.cell(row=3 + i, column=2 + j), score, "0")
    for col in "BCD":
        ws.column_dimensions[col].width = 10
    h.save(wb, "sign.xlsx")


def write_all(helpers):
    for make in (binomial, fisher, mcnemar, chisq, cochranq, nonpcorr, runs, sign):
        make(helpers)
