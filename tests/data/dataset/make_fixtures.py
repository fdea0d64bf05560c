#!/usr/bin/python3
"""Makes the dataset fixture workbooks of this folder with openpyxl (real fonts, borders, fills,
merged and centred headers, outline levels, formulas, sheet-level defined names).

Run from anywhere: /usr/bin/python3 tests/data/dataset/make_fixtures.py
"""
import os

from openpyxl import Workbook
from openpyxl.styles import Alignment, Border, Font, PatternFill, Side
from openpyxl.workbook.defined_name import DefinedName

HERE = os.path.dirname(os.path.abspath(__file__))
BOLD = Font(name="Arial", size=10, bold=True)
PLAIN = Font(name="Arial", size=10)
THIN = Side(style="thin")
UNDER = Border(bottom=THIN)
GREY = PatternFill(fill_type="solid", fgColor="FFD9D9D9")


def header(ws, row, values, col=1, border=True, fill=False):
    for i, v in enumerate(values):
        c = ws.cell(row=row, column=col + i)
        if v is not None:
            c.value = v
        c.font = BOLD
        if border:
            c.border = UNDER
        if fill:
            c.fill = GREY


def body(ws, top, columns, col=1):
    for j, values in enumerate(columns):
        for i, v in enumerate(values):
            c = ws.cell(row=top + i, column=col + j)
            c.value = v
            c.font = PLAIN


def local_name(wb, ws, name, text):
    index = wb.sheetnames.index(ws.title)
    dn = DefinedName(name, attr_text=text, localSheetId=index)
    wb.defined_names.append(dn)


def save(wb, name):
    wb.save(os.path.join(HERE, name))


def list_one_header():
    wb = Workbook()
    ws = wb.active
    ws.title = "Data"
    header(ws, 1, ["Weight", "Height", "Sex"])
    body(ws, 2, [[61.5, 72.0, 58.3, 80.1, 66.4, 70.2, 55.0, 90.3, 77.7, 68.8],
                 [165, 180, 158, 185, 170, 176, 160, 190, None, 172],
                 ["F", "M", "F", "M", "F", "M", "F", "M", "M", "F"]])
    save(wb, "list_one_header.xlsx")


def list_repeat_measures():
    # Two header rows: "Glucose" merged across three columns over "Day 1".."Day 3"; the second
    # header row holds formulas-free texts; the subject column has only its upper name.
    wb = Workbook()
    ws = wb.active
    ws.title = "Data"
    header(ws, 1, ["Subject", "Glucose", None, None], border=False)
    ws.merge_cells("B1:D1")
    ws["B1"].alignment = Alignment(horizontal="center")
    header(ws, 2, [None, "Day 1", "Day 2", "Day 3"])
    body(ws, 3, [[1, 2, 3, 4, 5, 6, 7, 8],
                 [5.1, 5.4, 6.0, 4.9, 5.5, 5.8, 6.2, 5.0],
                 [5.3, 5.2, 6.1, 5.0, 5.9, 5.7, 6.0, 5.1],
                 [5.6, 5.5, 6.4, 5.2, 6.0, 6.1, 6.5, 5.4]])
    save(wb, "list_repeat_measures.xlsx")


def list_identifier_label():
    wb = Workbook()
    ws = wb.active
    ws.title = "Data"
    header(ws, 1, ["Name", "Age", "Score"])
    body(ws, 2, [["Ann", "Bob", "Cid", "Dee", "Eve", "Fay"],
                 [34, 45, 29, 51, 38, 42],
                 [12.5, 14.0, 9.5, 16.5, 11.0, 13.5]])
    save(wb, "list_identifier_label.xlsx")


def groups_by_title():
    # One factor, groups of unequal lengths, "Weight by Diet" centred across the three columns.
    wb = Workbook()
    ws = wb.active
    ws.title = "Groups"
    header(ws, 1, ["Weight by Diet", None, None], border=False)
    for col in "ABC":
        ws[col + "1"].alignment = Alignment(horizontal="centerContinuous")
    header(ws, 2, ["Low", "Medium", "High"])
    body(ws, 3, [[60, 62, 59, 65, 61],
                 [66, 68, 70, 64, 69, 71, 67],
                 [75, 78, 74, 80]])
    save(wb, "groups_by_title.xlsx")


def tabular_two_factors():
    wb = Workbook()
    ws = wb.active
    ws.title = "Yield"
    header(ws, 1, ["Yield", "Fertiliser", None, None], border=False, fill=True)
    ws.merge_cells("B1:D1")
    header(ws, 2, ["Region", "None", "Low", "High"], fill=True)
    body(ws, 3, [["North", None, None, "South", None, None]])
    for r in range(3, 9):
        ws.cell(row=r, column=1).font = BOLD
    body(ws, 3, [[4.1, 4.3, 3.9, 3.5, 3.6, 3.8],
                 [5.0, 5.2, 4.8, 4.4, 4.6, 4.5],
                 [6.1, 6.0, 5.8, 5.2, 5.5, 5.4]], col=2)
    save(wb, "tabular_two_factors.xlsx")


def contingency():
    wb = Workbook()
    ws = wb.active
    ws.title = "Counts"
    header(ws, 1, ["Patients", "Outcome", None], border=False)
    ws.merge_cells("B1:C1")
    header(ws, 2, ["Treatment", "Improved", "Not improved"])
    body(ws, 3, [["Drug", "Placebo", "None"]])
    for r in range(3, 6):
        ws.cell(row=r, column=1).font = BOLD
    body(ws, 3, [[24, 15, 0], [6, 15, 20]], col=2)
    save(wb, "contingency.xlsx")
    ws["C4"] = 2.5  # a count that is not a whole number
    save(wb, "contingency_bad_count.xlsx")


def replicates():
    wb = Workbook()
    ws = wb.active
    ws.title = "Data"
    header(ws, 1, ["Glucose", "Glucose", "Age"])
    body(ws, 2, [[5.1, 5.5, 6.2, 4.8], [5.0, 5.6, 6.1, 4.9], [40, 52, 61, 35]])
    save(wb, "replicates.xlsx")


def title_and_outline():
    # A title two rows above the block; the second header row is a formula row of units one outline
    # level down (a formula in the second row keeps a single header row).
    wb = Workbook()
    ws = wb.active
    ws.title = "Study"
    ws["A1"] = "Blood pressure study"
    ws["A1"].font = Font(name="Arial", size=14, bold=True)
    header(ws, 3, ["Systolic", "Diastolic"], border=False)
    ws["A4"] = '="mmHg"'
    ws["B4"] = '="mmHg"'
    body(ws, 5, [[120, 135, 128, 142], [80, 88, 84, 90]])
    save(wb, "title_formula_row.xlsx")
    ws2 = wb.create_sheet("Busy")
    ws2["A1"] = "Blood pressure study"
    ws2["C1"] = "draft"
    header(ws2, 3, ["Systolic", "Diastolic"])
    body(ws2, 4, [[120, 135, 128, 142], [80, 88, 84, 90]])
    save(wb, "title_formula_row.xlsx")


def stored_edited():
    # A dataset saved earlier (stored names), whose header was edited and a column added since; a
    # second stored name lost its cells (#REF!) and is deleted by the next search.
    wb = Workbook()
    ws = wb.active
    ws.title = "Trial"
    header(ws, 1, ["Dose", "Response", "Age"])
    body(ws, 2, [[1, 2, 3, 1, 2, 3], [3, 5, 8, 2, 6, 9], [30, 41, 52, 33, 45, 50]])
    local_name(wb, ws, "__sm_DR_dead", "Trial!#REF!")
    local_name(wb, ws, "__sm_DV_dead", '{1;2;"Gone";FALSE}')
    local_name(wb, ws, "__sm_DR_1f2e3d", "Trial!$A$1:$B$1")
    local_name(wb, ws, "__sm_DV_1f2e3d", '{1;2;"Dose trial";FALSE}')
    local_name(wb, ws, "__sm_VR_a1", "Trial!$A$1")
    local_name(wb, ws, "__sm_VV_a1", '{1;33554946;"1";2;1;"2";2;2;"3";2;3}')
    save(wb, "stored_edited.xlsx")


def single_cells():
    wb = Workbook()
    ws = wb.active
    ws.title = "Sheet1"
    ws["C3"] = 42
    header(ws, 6, ["A", "B", "C"])  # header cells only
    save(wb, "single_cells.xlsx")


def plain_repeat_measures():
    # Repeat measures as a user types them: nothing bold, "Weight" merged over "Before" and "After",
    # an identifier column whose name stands in the second header row. Detection cannot tell the
    # header rows from the data by their look; the command line's layout options decide.
    wb = Workbook()
    ws = wb.active
    ws.title = "Trial"
    body(ws, 1, [[None, "Subject"], ["Weight", "Before"], [None, "After"]])
    ws.merge_cells("B1:C1")
    body(ws, 3, [["P1", "P2", "P3", "P4", "P5"], [80, 92, 75, 88, 70], [78, 90.5, 74, 85, 69.5]])
    save(wb, "plain_repeat_measures.xlsx")


if __name__ == "__main__":
    list_one_header()
    list_repeat_measures()
    list_identifier_label()
    groups_by_title()
    tabular_two_factors()
    contingency()
    replicates()
    title_and_outline()
    stored_edited()
    single_cells()
    plain_repeat_measures()
