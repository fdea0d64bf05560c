"""Example workbooks of linear and polynomial regression and of the t-tests the tutorials open
(two independent groups, paired measurements); written by make_examples.py (fixed seeds)."""
import random

from example_kit import group_header, headers, ids, new_sheet, number, save, widths


def linear_regression():
    """X and Y: systolic blood pressure against age in 40 adults."""
    rng = random.Random(20260401)
    wb, ws = new_sheet("Blood pressure")
    headers(ws, 1, ["Subject", "Age (years)", "Systolic BP (mmHg)"])
    ids(ws, 2, 1, "B%02d", 40)
    for i in range(40):
        age = rng.randint(22, 78)
        number(ws.cell(row=2 + i, column=2), age, "0")
        number(ws.cell(row=2 + i, column=3), round(98 + 0.62 * age + rng.gauss(0, 9.5)), "0")
    widths(ws, B=12, C=20)
    save(wb, "lreg.xlsx")


def polynomial_regression():
    """X and Y with a curve: activity of an enzyme preparation at temperatures from 20 to 60 C,
    rising to an optimum near 43 C and falling as the protein denatures (a quadratic fits)."""
    rng = random.Random(20260402)
    wb, ws = new_sheet("Enzyme activity")
    headers(ws, 1, ["Temperature (\u00b0C)", "Activity (U/L)"])
    row = 2
    for temperature in range(20, 61, 2):
        for _ in range(1 if temperature % 4 else 2):  # duplicates at every other temperature
            activity = 182 - 0.29 * (temperature - 43) ** 2 + rng.gauss(0, 7)
            number(ws.cell(row=row, column=1), temperature, "0")
            number(ws.cell(row=row, column=2), round(activity, 1), "0.0")
            row += 1
    widths(ws, A=18, B=16)
    save(wb, "polyreg.xlsx")


def two_independent():
    """Two independent groups side by side: birth weight of babies of 22 non-smoking and 18 smoking
    mothers, under the title "Birth weight by Smoking"."""
    rng = random.Random(20260413)
    wb, ws = new_sheet("Birth weight")
    group_header(ws, 1, 1, "Birth weight by Smoking", 2)
    headers(ws, 2, ["Non-smoker", "Smoker"])
    for col, (n, mean, sd) in enumerate(((22, 3.48, 0.42), (18, 3.05, 0.47)), start=1):  # kg
        for i in range(n):
            number(ws.cell(row=3 + i, column=col), round(rng.gauss(mean, sd), 2), "0.00")
    widths(ws, A=14, B=14)
    save(wb, "2indep.xlsx")


def two_paired():
    """Paired measurements: systolic blood pressure of 16 patients after four weeks on placebo and
    after four weeks on an antihypertensive (a crossover trial), under "Systolic BP (mmHg)"."""
    rng = random.Random(20260404)
    wb, ws = new_sheet("Crossover")
    group_header(ws, 1, 2, "Systolic BP (mmHg)", 2)
    headers(ws, 2, ["Patient", "Placebo", "Active"])
    ids(ws, 3, 1, "P%02d", 16)
    for i in range(16):
        own = rng.gauss(156, 12)
        number(ws.cell(row=3 + i, column=2), round(own + rng.gauss(0, 5)), "0")
        number(ws.cell(row=3 + i, column=3), round(own - 9 + rng.gauss(0, 6)), "0")
    widths(ws, A=10)
    save(wb, "2paired.xlsx")


def write_all():
    for make in (linear_regression, polynomial_regression, two_independent, two_paired):
        make()
