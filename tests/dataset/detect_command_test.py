#!/usr/bin/env python3
"""quelstat detect on the fixture workbooks, against expectations written by hand from what the
layouts mean (not captured from the program's output). Usage: detect_command_test.py QUELSTAT DIR"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

QUELSTAT, FIXTURES = sys.argv[1], sys.argv[2]
failures = []


def detect(book, cell, *options, home):
    env = dict(os.environ, QUELSTAT_HOME=home)
    run = subprocess.run([QUELSTAT, "detect", book, "--cell", cell, *options], capture_output=True,
                         text=True, env=env, timeout=120)
    return run.returncode, run.stdout, run.stderr


def var(name, type_, n, missing=0, categories=(), replicate_of=None, group=None):
    return {"name": name, "type": type_, "n": n, "missing": missing,
            "categories": [{"name": c, "number": i + 1, "value": v} for i, (c, v) in enumerate(categories)],
            "replicate_of": replicate_of, "group": group}


def check(label, got, want):
    for key, value in want.items():
        if got.get(key) != value:
            failures.append("%s: %s is %r, expected %r" % (label, key, got.get(key), value))


EXPECTED = [
    ("list_one_header.xlsx", "B5", [], {
        "region": "$A$1:$C$11", "layout": "list", "header_rows": 1, "label_columns": 0, "id_label": False,
        "name": "Dataset 1", "name_origin": "default",
        "variables": [var("Weight", "continuous", 10), var("Height", "continuous", 10, 1),
                      var("Sex", "information", 10)]}),
    ("list_repeat_measures.xlsx", "D10", [], {
        "layout": "list", "header_rows": 2, "label_columns": 0,
        "variables": [var("Subject", "continuous", 8), var("Day 1", "continuous", 8, group="Glucose"),
                      var("Day 2", "continuous", 8, group="Glucose"),
                      var("Day 3", "continuous", 8, group="Glucose")]}),
    ("list_identifier_label.xlsx", "A1", [], {
        "layout": "list", "header_rows": 1, "label_columns": 0, "id_label": True,
        "variables": [var("Name", "information", 6), var("Age", "continuous", 6), var("Score", "continuous", 6)]}),
    ("groups_by_title.xlsx", "C5", [], {
        "region": "$A$1:$C$9", "layout": "tabular", "header_rows": 2, "label_columns": 0,
        "variables": [var("Weight", "continuous", 16),
                      var("Diet", "nominal", 16, categories=[("Low", None), ("Medium", None), ("High", None)])]}),
    ("tabular_two_factors.xlsx", "B3", [], {
        "region": "$A$1:$D$8", "layout": "tabular", "header_rows": 2, "label_columns": 1,
        "variables": [var("Yield", "continuous", 18),
                      var("Region", "nominal", 18, categories=[("North", None), ("South", None)]),
                      var("Fertiliser", "nominal", 18,
                          categories=[("None", None), ("Low", None), ("High", None)])]}),
    ("contingency.xlsx", "C5", ["--layout", "contingency", "--factors", "2"], {
        "layout": "contingency", "header_rows": 2, "label_columns": 1,
        "variables": [var("Patients", "integral count", 6),
                      var("Treatment", "nominal", 6,
                          categories=[("Drug", None), ("Placebo", None), ("None", None)]),
                      var("Outcome", "nominal", 6, categories=[("Improved", None), ("Not improved", None)])]}),
    ("replicates.xlsx", "B3", [], {
        "layout": "list",
        "variables": [var("Glucose - R1", "continuous", 4),
                      var("Glucose - R2", "continuous", 4, replicate_of="Glucose - R1"),
                      var("Age", "continuous", 4)]}),
    ("title_formula_row.xlsx", "B6", [], {
        "region": "$A$3:$B$8", "header_rows": 1, "name": "Blood pressure study", "name_origin": "title"}),
    ("stored_edited.xlsx", "C7", [], {
        "region": "$A$1:$C$7", "layout": "list", "name": "Dose trial", "name_origin": "user",
        "variables": [var("Dose", "ordinal", 6, categories=[("1", 1), ("2", 2), ("3", 3)]),
                      var("Response", "continuous", 6), var("Age", "continuous", 6)]}),
]

MESSAGES = [
    ("single_cells.xlsx", "C3", [], "Quelstat: Quelstat could not find a dataset surrounding the current cell. "
     "Select a cell within your dataset and then choose the command again."),
    ("single_cells.xlsx", "B6", [], "Quelstat: The dataset surrounding the current cell contains no data.  Please "
     "enter you data first before setting dataset properties or running a test."),
    ("contingency_bad_count.xlsx", "B3", ["--layout", "contingency", "--factors", "2"],
     "Quelstat: Contingency table cell $C$4 contains an invalid count (=2.5).  All counts must be positive "
     "integer values."),
]

with tempfile.TemporaryDirectory() as home:
    for book, cell, options, want in EXPECTED:
        rc, out, err = detect(os.path.join(FIXTURES, book), cell, "--json", *options, home=home)
        if rc != 0:
            failures.append("%s: exit %d: %s" % (book, rc, err.strip()))
            continue
        check(book, json.loads(out), want)
    for book, cell, options, text in MESSAGES:
        rc, out, err = detect(os.path.join(FIXTURES, book), cell, *options, home=home)
        if rc != 1 or text not in err:
            failures.append("%s at %s: exit %d, stderr %r" % (book, cell, rc, err.strip()))

    # Confirming with --save writes the stored names; a new process reading the saved file finds
    # the same dataset with the same name, layout and types, no longer new.
    copy = os.path.join(home, "trial.xlsx")
    shutil.copy(os.path.join(FIXTURES, "list_identifier_label.xlsx"), copy)
    before = os.path.getsize(copy)
    rc, out, err = detect(copy, "B3", "--json", "--layout", "list", "--id-label", "--name", "Ages and scores",
                          "--save", home=home)
    if rc != 0:
        failures.append("save: exit %d: %s" % (rc, err.strip()))
    else:
        first = json.loads(out)
        rc, out, err = detect(copy, "C6", "--json", home=home)
        again = json.loads(out) if rc == 0 else {}
        check("after save", again, {"name": "Ages and scores", "name_origin": "user", "layout": "list",
                                    "id_label": True, "variables": first["variables"]})
        rc, text, err = detect(copy, "C6", home=home)
        if "not confirmed" in text:
            failures.append("after save: the dataset is still new")
    if os.path.getsize(copy) == before:
        failures.append("save: the workbook was not written")

for f in failures:
    print("FAIL " + f)
print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
