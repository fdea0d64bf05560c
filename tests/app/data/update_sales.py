#!/usr/bin/env python3
"""The Sales workbook of the report update tests, edited the way a user does in another program.

  update_sales.py make FILE      write the dataset (sheet "Data": North and South, ten rows)
  update_sales.py change FILE    type the changed values over the data cells
  update_sales.py rename FILE    give the columns new headers ("North (EUR)", "South (EUR)")
  update_sales.py stats FILE     each report sheet's t, DF and p: "SHEET<TAB>t<TAB>df<TAB>p" lines
  update_sales.py dump FILE      every cell of every sheet and every defined name, one a line

The values are the ones tests/app/data/update_reference.R analyses.
"""
import sys

import openpyxl

NORTH = [112, 98, 105, 121, 93, 108, 117, 101, 99, 110]
SOUTH = [95, 102, 88, 97, 104, 91, 99, 93, 100, 96]
NORTH_CHANGED = [120, 104, 111, 131, 99, 115, 124, 109, 103, 118]
SOUTH_CHANGED = [90, 97, 85, 92, 101, 86, 94, 89, 95, 91]


def make(path):
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "Data"
    sheet["A1"], sheet["B1"] = "North", "South"
    for i, (n, s) in enumerate(zip(NORTH, SOUTH)):
        sheet.cell(row=i + 2, column=1, value=n)
        sheet.cell(row=i + 2, column=2, value=s)
    book.save(path)


def edit(path, change):
    book = openpyxl.load_workbook(path)
    change(book["Data"])
    book.save(path)


def change(sheet):
    for i, (n, s) in enumerate(zip(NORTH_CHANGED, SOUTH_CHANGED)):
        sheet.cell(row=i + 2, column=1, value=n)
        sheet.cell(row=i + 2, column=2, value=s)


def rename(sheet):
    sheet["A1"], sheet["B1"] = "North (EUR)", "South (EUR)"


def stats(path):
    book = openpyxl.load_workbook(path)
    for sheet in book.worksheets:
        found = {}
        for row in sheet.iter_rows(min_col=1, max_col=2):
            if row[0].value in ("t", "DF", "p") and row[0].value not in found:
                found[row[0].value] = row[1].value
        if len(found) == 3:
            print("%s\t%r\t%r\t%r" % (sheet.title, found["t"], found["DF"], found["p"]))


def dump(path):
    book = openpyxl.load_workbook(path)
    for sheet in book.worksheets:
        for row in sheet.iter_rows():
            for cell in row:
                if cell.value is not None:
                    print("%s!%s=%r" % (sheet.title, cell.coordinate, cell.value))
    for name in book.defined_names.definedName:
        print("name %s[%s]=%s" % (name.name, name.localSheetId, name.attr_text))


if __name__ == "__main__":
    action, path = sys.argv[1], sys.argv[2]
    if action == "make":
        make(path)
    elif action == "change":
        edit(path, change)
    elif action == "rename":
        edit(path, rename)
    elif action == "stats":
        stats(path)
    elif action == "dump":
        dump(path)
    else:
        sys.exit("unknown action " + action)
