"""Example workbooks of the clinical-laboratory tests: agreement (kappa), method comparison (bias
plots, Deming, Passing-Bablok), reference interval, ROC curves, diagnostic screening and precision;
written by make_examples.py (fixed seeds: the same numbers every run)."""
import math
import random

from example_kit import (CONTINUOUS, INFORMATION, NOMINAL, group_header, headers, ids, keep_properties, new_sheet,
                         number, save, text, widths)


def kappa():
    """Two raters' categories: 85 screening mammograms graded by two radiologists."""
    rng = random.Random(20260301)
    wb, ws = new_sheet("Mammograms")
    headers(ws, 1, ["Case", "Radiologist 1", "Radiologist 2"])
    grades = ["Normal", "Benign", "Suspicious", "Malignant"]
    ids(ws, 2, 1, "M%03d", 85)
    for i in range(85):
        truth = rng.choices(range(4), [0.45, 0.30, 0.15, 0.10])[0]
        for col in (2, 3):
            # Each reader gives the true grade three times in four, else a neighbouring one.
            seen = truth if rng.random() < 0.75 else min(3, max(0, truth + rng.choice((-1, 1))))
            text(ws.cell(row=2 + i, column=col), grades[seen])
    widths(ws, B=14, C=14)
    keep_properties(wb, 1, [("A", INFORMATION), ("B", NOMINAL), ("C", NOMINAL)])
    save(wb, "Kappa.xlsx")


def paired_methods(rng, n, low, high, slope, intercept, cv, floor_sd):
    """n specimens spread over [low, high] on a log scale, measured by a reference method and by a
    method that reads slope * x + intercept; both with a constant plus proportional error."""
    pairs = []
    for _ in range(n):
        x = math.exp(rng.uniform(math.log(low), math.log(high)))
        sd = math.hypot(floor_sd, cv * x)
        pairs.append((x + rng.gauss(0, sd), slope * x + intercept + rng.gauss(0, sd)))
    return pairs


def bias_plot():
    """Two methods on the same specimens, one result each: 40 glucose results of a point-of-care
    meter against the laboratory analyser."""
    rng = random.Random(20260302)
    wb, ws = new_sheet("Glucose meter")
    headers(ws, 1, ["Sample", "Laboratory (mmol/L)", "Meter (mmol/L)"])
    ids(ws, 2, 1, "G%02d", 40)
    for i, (lab, meter) in enumerate(paired_methods(rng, 40, 2.8, 22.0, 1.04, 0.10, 0.035, 0.08)):
        number(ws.cell(row=2 + i, column=2), round(lab, 1), "0.0")
        number(ws.cell(row=2 + i, column=3), round(meter, 1), "0.0")
    widths(ws, B=20, C=16)
    save(wb, "BiasPlot.xlsx")


def deming():
    """Two methods with duplicate results each (the replicates give each method's imprecision): total
    cholesterol of 36 sera on two analysers, each method's duplicates under its name."""
    rng = random.Random(20260303)
    wb, ws = new_sheet("Cholesterol")
    group_header(ws, 1, 2, "Analyser A (mmol/L)", 2)
    group_header(ws, 1, 4, "Analyser B (mmol/L)", 2)
    headers(ws, 2, ["Serum", "A1", "A2", "B1", "B2"])
    ids(ws, 3, 1, "S%02d", 36)
    for i in range(36):
        true = rng.uniform(2.6, 9.2)
        for col, (slope, intercept, sd) in ((2, (1.0, 0.0, 0.07)), (4, (0.97, 0.12, 0.09))):
            for rep in range(2):
                value = slope * true + intercept + rng.gauss(0, sd)
                number(ws.cell(row=3 + i, column=col + rep), round(value, 2), "0.00")
    widths(ws, A=8)
    save(wb, "Deming.xlsx")


def passing():
    """Two methods on the same specimens with a few outliers (the robust fit is the point): serum
    creatinine of 50 patients by the Jaffe and an enzymatic method; three Jaffe results are raised by
    interference (ketones, bilirubin)."""
    rng = random.Random(20260304)
    wb, ws = new_sheet("Creatinine")
    headers(ws, 1, ["Patient", "Jaffe (\u00b5mol/L)", "Enzymatic (\u00b5mol/L)"])
    ids(ws, 2, 1, "C%02d", 50)
    pairs = paired_methods(rng, 50, 45.0, 700.0, 0.95, -8.0, 0.04, 4.0)
    for i, (jaffe, enzymatic) in enumerate(pairs):
        if i in (7, 23, 41):
            jaffe += rng.uniform(35.0, 60.0)
        number(ws.cell(row=2 + i, column=2), round(jaffe), "0")
        number(ws.cell(row=2 + i, column=3), round(enzymatic), "0")
    widths(ws, B=16, C=20)
    save(wb, "Passing.xlsx")


def reference_interval():
    """One sample of healthy subjects: serum potassium of 120 healthy blood donors (the recommended
    minimum for a non-parametric interval), with their sex beside it."""
    rng = random.Random(20260305)
    wb, ws = new_sheet("Healthy donors")
    headers(ws, 1, ["Donor", "Sex", "Potassium (mmol/L)"])
    ids(ws, 2, 1, "H%03d", 120)
    for i in range(120):
        text(ws.cell(row=2 + i, column=2), rng.choice("FM"))
        number(ws.cell(row=2 + i, column=3), round(rng.gauss(4.25, 0.31), 2), "0.00")
    widths(ws, C=20)
    save(wb, "RefIntvl.xlsx")


def roc_curve():
    """A true classification and three diagnostic measurements: 80 patients with chest pain, the final
    diagnosis (myocardial infarction or not) and three cardiac markers at admission."""
    rng = random.Random(20260306)
    wb, ws = new_sheet("Chest pain")
    headers(ws, 1, ["Patient", "Diagnosis", "Troponin I (ng/L)", "CK-MB (\u00b5g/L)", "Myoglobin (\u00b5g/L)"])
    ids(ws, 2, 1, "CP%02d", 80)
    for i in range(80):
        infarct = rng.random() < 0.3
        text(ws.cell(row=2 + i, column=2), "MI" if infarct else "No MI")
        # Log-normal markers: troponin separates best, myoglobin least.
        markers = ((3.9, 2.4, 1.1), (1.9, 1.2, 0.55), (4.6, 4.0, 0.6))  # log mean if MI, if not; log SD
        for j, (sick, well, sd) in enumerate(markers):
            value = math.exp(rng.gauss(sick if infarct else well, sd))
            number(ws.cell(row=2 + i, column=3 + j), round(value, 1), "0.0")
    widths(ws, B=10, C=18, D=16, E=18)
    keep_properties(wb, 1, [("A", INFORMATION), ("B", NOMINAL), ("C", CONTINUOUS), ("D", CONTINUOUS),
                            ("E", CONTINUOUS)])
    save(wb, "ROCcurve.xlsx")


def screen():
    """A dichotomous test against the truth: faecal occult blood test and colonoscopy finding
    (advanced neoplasia) of 200 people in a screening programme."""
    rng = random.Random(20260307)
    wb, ws = new_sheet("Bowel screening")
    headers(ws, 1, ["Participant", "FOB test", "Colonoscopy"])
    ids(ws, 2, 1, "P%03d", 200)
    for i in range(200):
        disease = rng.random() < 0.12
        positive = rng.random() < (0.78 if disease else 0.09)
        text(ws.cell(row=2 + i, column=2), "Positive" if positive else "Negative")
        text(ws.cell(row=2 + i, column=3), "Neoplasia" if disease else "Clear")
    widths(ws, A=12, B=10, C=12)
    keep_properties(wb, 1, [("A", INFORMATION), ("B", NOMINAL), ("C", NOMINAL)])
    save(wb, "Screen.xlsx")


def precision():
    """Replicates by day and run: a glucose control measured in two runs a day, in duplicate, on 20
    days (the repeat measures run 1 and run 2, two replicates each, under the analyte's name)."""
    rng = random.Random(20260308)
    wb, ws = new_sheet("Precision")
    group_header(ws, 1, 2, "Glucose (mmol/L)", 4)
    headers(ws, 2, ["Day", "Run 1 rep 1", "Run 1 rep 2", "Run 2 rep 1", "Run 2 rep 2"])
    for day in range(20):
        number(ws.cell(row=3 + day, column=1), day + 1, "0")
        day_effect = rng.gauss(0, 0.05)
        for run in range(2):
            run_effect = rng.gauss(0, 0.04)
            for rep in range(2):
                value = 7.20 + day_effect + run_effect + rng.gauss(0, 0.06)
                number(ws.cell(row=3 + day, column=2 + 2 * run + rep), round(value, 2), "0.00")
    widths(ws, B=12, C=12, D=12, E=12)
    save(wb, "Precsn.xlsx")


def precision_profile():
    """Duplicates at several concentrations: TSH measured in duplicate in 10 runs at each of six
    concentration levels; the SD grows with the concentration, the CV is worst at the low end."""
    rng = random.Random(20260309)
    wb, ws = new_sheet("TSH profile")
    group_header(ws, 1, 2, "TSH (mU/L)", 2)
    headers(ws, 2, ["Level (mU/L)", "Rep 1", "Rep 2"])
    row = 3
    for level in (0.05, 0.2, 1.0, 4.0, 15.0, 50.0):
        sd = math.hypot(0.012, 0.04 * level)
        for _ in range(10):
            number(ws.cell(row=row, column=1), level, "0.00")
            run = rng.gauss(0, sd * 0.6)
            for rep in range(2):
                value = max(0.001, level + run + rng.gauss(0, sd * 0.8))
                number(ws.cell(row=row, column=2 + rep), round(value, 3), "0.000")
            row += 1
    widths(ws, A=14)
    save(wb, "PrecsnPf.xlsx")


def linearity():
    """Concentration levels and replicate results for EP6 linearity: seven dilutions of a high
    creatinine pool, each measured three times; the top level reads a little low (the method's
    range ends there)."""
    rng = random.Random(20260310)
    wb, ws = new_sheet("Linearity")
    headers(ws, 1, ["Level (µmol/L)", "Result (µmol/L)"])
    row = 2
    for level in (40, 150, 300, 500, 750, 1000, 1300):
        for _ in range(3):
            expected = level * (0.96 if level > 1200 else 1.0)
            number(ws.cell(row=row, column=1), level, "0")
            number(ws.cell(row=row, column=2), round(expected + rng.gauss(0, math.hypot(3.0, 0.015 * level))), "0")
            row += 1
    widths(ws, A=16, B=18)
    save(wb, "linearty.xlsx")


def write_all():
    for make in (kappa, bias_plot, deming, passing, reference_interval, roc_curve, screen, precision,
                 precision_profile, linearity):
        make()
