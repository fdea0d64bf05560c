#!/usr/bin/python3
"""Makes the workbook fixtures written by openpyxl (run with Debian's python3-openpyxl).

    /usr/bin/python3 tests/data/sheets/make_openpyxl_fixtures.py [features|keep|array ...]

openpyxl-features.xlsx covers what the engine models: values of every type, formulas, styles,
merged areas, outline levels, defined names of both scopes with constants, arrays and external
references, sheet views, page setup, charts of each kind with trendlines and axis scales, and a
chart sheet. openpyxl-keep.xlsx adds what the engine keeps without modelling: an image, a comment, a
conditional format and a data validation. openpyxl-array.xlsx holds array formulas over ranges and
over one cell next to ordinary formulas that look alike. openpyxl-styled-chart.xlsx holds charts
with what the engine keeps without modelling: series colours, data labels, error bars and markers.
openpyxl-formulas.xlsx holds formulas of the common kinds and defined names, the source of the
LibreOffice-made .xls fixture for the formula reader of that format.
"""
import io
import os

import openpyxl
from openpyxl.chart import AreaChart, BarChart, LineChart, Reference, ScatterChart, Series
from openpyxl.chart.trendline import Trendline
from openpyxl.comments import Comment
from openpyxl.formatting.rule import CellIsRule
from openpyxl.styles import Alignment, Border, Font, PatternFill, Side
from openpyxl.workbook.defined_name import DefinedName
from openpyxl.worksheet.datavalidation import DataValidation

HERE = os.path.dirname(os.path.abspath(__file__))


def set_array_formulas(ws, arrays):
    """Array formulas (first cell, range, text) as each openpyxl version spells them."""
    try:
        from openpyxl.worksheet.formula import ArrayFormula  # openpyxl 3.1
        for cell, ref, text in arrays:
            ws[cell] = ArrayFormula(ref, text)
    except ImportError:  # openpyxl 3.0 (Debian 12)
        for cell, ref, text in arrays:
            ws[cell] = text
            ws.formula_attributes[cell] = {"t": "array", "ref": ref}


def features():
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Data"
    ws.append(["Dose", "Response", "Group", "Flag"])
    rows = [(1, 2.1, "A", True), (2, 3.9, "A", False), (3, 6.2, "B", True), (4, 8.1, "B", False),
            (5, 9.8, "Glucose µmol/L", True), (6, 12.3, "C", False)]
    for r in rows:
        ws.append(list(r))
    ws["E1"] = "Total"
    ws["E2"] = "=SUM(B2:B7)"
    ws["E3"] = "#N/A"
    ws["E4"] = 0.25
    ws["E4"].number_format = "0.0%"
    ws["E5"] = 43831
    ws["E5"].number_format = "d-mmm-yy"
    ws["E6"] = 1234567.891
    ws["E6"].number_format = "#,##0.00"
    ws["E7"] = 2.5
    ws["E7"].number_format = '"kg" 0.0'
    ws["A1"].font = Font(name="Arial", size=12, bold=True, italic=True, color="FF0000FF")
    ws["B1"].alignment = Alignment(horizontal="centerContinuous")
    ws["C1"].alignment = Alignment(horizontal="right", vertical="top", wrap_text=True)
    ws["B2"].border = Border(left=Side(style="thin", color="FFFF0000"), bottom=Side(style="double", color="FF00FF00"))
    ws["B3"].fill = PatternFill("solid", fgColor="FFFFFF00")
    ws["B4"].fill = PatternFill("darkGrid", fgColor="FF112233", bgColor="FF445566")
    ws.merge_cells("G1:H2")
    ws["G1"] = "Merged"
    for r in (3, 4, 5):
        ws.row_dimensions[r].outline_level = 1
    ws.column_dimensions.group("C", "D", outline_level=2)
    ws.sheet_view.zoomScale = 80
    ws.sheet_view.showGridLines = False
    ws.sheet_view.showRowColHeaders = False
    ws.sheet_view.showZeros = False
    ws.page_setup.paperSize = 9
    ws.page_setup.orientation = "landscape"

    wb.defined_names.append(DefinedName("Total", attr_text="Data!$B$2:$B$7"))
    wb.defined_names.append(DefinedName("Alpha", attr_text="0.05"))
    wb.defined_names.append(DefinedName("Ids", attr_text='{1;1026;"text"}'))
    wb.defined_names.append(DefinedName("Ext", attr_text="'C:\\data\\[Other.xlsx]Sheet1'!$A$1"))
    wb.defined_names.append(DefinedName("__sm_TV_0", attr_text="1", localSheetId=0, hidden=True))

    scatter = ScatterChart()
    scatter.title = "Dose response"
    scatter.x_axis.title = "Dose"
    scatter.y_axis.title = "Response"
    scatter.x_axis.scaling.min = 0
    scatter.x_axis.scaling.max = 7
    scatter.x_axis.majorUnit = 1
    xs = Reference(ws, min_col=1, min_row=2, max_row=7)
    ys = Reference(ws, min_col=2, min_row=1, max_row=7)
    s = Series(ys, xs, title_from_data=True)
    s.trendline = Trendline(trendlineType="linear", dispEq=True, dispRSqr=True)
    scatter.series.append(s)
    ws.add_chart(scatter, "J2")

    line = LineChart()
    line.title = "Line"
    line.add_data(Reference(ws, min_col=2, min_row=1, max_row=7), titles_from_data=True)
    line.set_categories(Reference(ws, min_col=1, min_row=2, max_row=7))
    ws.add_chart(line, "J20")

    bar = BarChart()
    bar.type = "bar"
    bar.title = "Bar"
    bar.add_data(Reference(ws, min_col=2, min_row=1, max_row=7), titles_from_data=True)
    ws.add_chart(bar, "R2")

    col = BarChart()
    col.type = "col"
    col.grouping = "stacked"
    col.overlap = 100
    col.add_data(Reference(ws, min_col=1, min_row=1, max_col=2, max_row=7), titles_from_data=True)
    ws.add_chart(col, "R20")

    area = AreaChart()
    area.add_data(Reference(ws, min_col=2, min_row=1, max_row=7), titles_from_data=True)
    ws.add_chart(area, "Z2")

    ws2 = wb.create_sheet("Second")
    ws2["A1"] = "second sheet"
    ws2.sheet_view.view = "pageBreakPreview"
    ws2.sheet_state = "hidden"

    cs = wb.create_chartsheet("Chart1")
    sc2 = ScatterChart()
    sc2.title = "On its own sheet"
    sc2.series.append(Series(Reference(ws, min_col=2, min_row=2, max_row=7), Reference(ws, min_col=1, min_row=2, max_row=7)))
    cs.add_chart(sc2)
    wb.save(os.path.join(HERE, "openpyxl-features.xlsx"))


def keep():
    from PIL import Image as PilImage
    from openpyxl.drawing.image import Image

    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Data"
    for i in range(1, 11):
        ws.cell(i, 1, i)
    ws["B1"].comment = Comment("A comment that must survive", "Quelstat")
    ws.conditional_formatting.add("A1:A10", CellIsRule(operator="greaterThan", formula=["5"], fill=PatternFill("solid", fgColor="FFFFC7CE")))
    dv = DataValidation(type="whole", operator="between", formula1="1", formula2="10")
    ws.add_data_validation(dv)
    dv.add("C1:C10")
    buf = io.BytesIO()
    PilImage.new("RGB", (8, 8), (200, 30, 30)).save(buf, format="PNG")
    buf.seek(0)
    ws.add_image(Image(buf), "E2")
    wb.save(os.path.join(HERE, "openpyxl-keep.xlsx"))


def array():
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Data"
    for i in range(1, 5):
        ws.cell(i, 1, i)
        ws.cell(i, 2, i * 10)
    arrays = [("D1", "D1:D4", "=A1:A4*B1:B4"), ("E1", "E1", "=SUM(A1:A4*B1:B4)"),
              ("F1", "F1:G2", "=MMULT(A1:B2,A3:B4)")]
    set_array_formulas(ws, arrays)
    ws["E2"] = "=SUM(A1:A4*B1:B4)"
    wb.save(os.path.join(HERE, "openpyxl-array.xlsx"))


def styled_chart():
    from openpyxl.chart.error_bar import ErrorBars
    from openpyxl.chart.label import DataLabelList
    from openpyxl.chart.marker import Marker
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Data"
    ws.append(["x", "Response", "Control"])
    for i in range(1, 7):
        ws.append([i, i * 2.5, i * 1.5 + 1])

    scatter = ScatterChart()
    scatter.title = "Styled"
    xs = Reference(ws, min_col=1, min_row=2, max_row=7)
    for col, colour in ((2, "C00000"), (3, "0070C0")):
        s = Series(Reference(ws, min_col=col, min_row=1, max_row=7), xs, title_from_data=True)
        s.graphicalProperties.line.solidFill = colour
        s.graphicalProperties.line.width = 28575
        s.marker = Marker(symbol="diamond", size=9)
        s.marker.graphicalProperties = openpyxl.chart.shapes.GraphicalProperties(solidFill=colour)
        s.dLbls = DataLabelList()
        s.dLbls.showVal = True
        s.errBars = ErrorBars(errDir="y", errBarType="both", errValType="fixedVal", val=0.5)
        scatter.series.append(s)
    ws.add_chart(scatter, "E2")

    bar = BarChart()
    bar.type = "col"
    bar.title = "Bars"
    bar.add_data(Reference(ws, min_col=2, min_row=1, max_row=7), titles_from_data=True)
    bar.set_categories(xs)
    bar.series[0].graphicalProperties.solidFill = "70AD47"
    bar.series[0].dLbls = DataLabelList()
    bar.series[0].dLbls.showVal = True
    ws.add_chart(bar, "E20")
    wb.save(os.path.join(HERE, "openpyxl-styled-chart.xlsx"))


def formulas():
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Data"
    other = wb.create_sheet("Other sheet")
    third = wb.create_sheet("Third")
    for r in range(1, 6):
        ws.cell(r, 1, r * 1.5)
        ws.cell(r, 2, 10 - r)
        ws.cell(r, 3, "=A%d*2+B%d" % (r, r))  # filled down: one shared formula
        other.cell(r, 1, r)
        third.cell(r, 1, r * 100)
    texts = [
        "=SUM(A1:A5)", "=AVERAGE(A1:A5)*2", '=IF(A1>2,"big","small")', "=COUNT(A:A)", "=ROUND(B1/3,2)",
        "=-A1+A2^2", '=A1&"x"', "='Other sheet'!A1+Data!B2", "=SUM('Other sheet'!A1:A3)",
        "=STDEV(A1:A5)", "=VLOOKUP(3,A1:B5,2,FALSE)", "=ISERROR(1/0)", "=AND(A1>0,A2<10)", "=NORMSDIST(1.96)",
        "=TTEST(A1:A5,B1:B5,2,1)", "=50%", "=(A1+A2)*A3", "=MAX(A1:A5)-MIN(A1:A5)", "=Total*2", "=Alpha",
        "=TRUE", "=NA()", "=$A$1+A$2+$A3", "=PI()", "=CORREL(A1:A5,B1:B5)", "=MEDIAN(A1:A5)",
        "=A1<>A2", "=SUMPRODUCT(A1:A5,B1:B5)", '=CONCATENATE("a","b")', "=LEN(\"x\"\"y\")",
    ]
    for i, t in enumerate(texts):
        ws.cell(i + 1, 5, t)
    arrays = [("G1", "G1:G3", "=A1:A3*2"), ("H1", "H1", "=SUM(A1:A5*B1:B5)"), ("I1", "I1:I2", "=IF(A1:A2>2,1,-1)")]
    set_array_formulas(ws, arrays)
    # Every built-in function the .xls reader knows, called with references for arguments (but
    # ERROR.TYPE and HYPGEOMDIST, which LibreOffice writes to .xls as add-in names).
    functions = [("COUNT", 2), ("IF", 2), ("ISNA", 1), ("ISERROR", 1), ("SUM", 2), ("AVERAGE", 2),
                 ("MIN", 2), ("MAX", 2), ("ROW", 1), ("COLUMN", 1), ("NA", 0), ("NPV", 2), ("STDEV", 2),
                 ("SIN", 1), ("COS", 1), ("TAN", 1), ("ATAN", 1), ("PI", 0), ("SQRT", 1), ("EXP", 1),
                 ("LN", 1), ("LOG10", 1), ("ABS", 1), ("INT", 1), ("SIGN", 1), ("ROUND", 2), ("LOOKUP", 2),
                 ("INDEX", 2), ("REPT", 2), ("MID", 3), ("LEN", 1), ("VALUE", 1), ("AND", 2), ("OR", 2),
                 ("NOT", 1), ("MOD", 2), ("VAR", 2), ("TEXT", 2), ("RAND", 0), ("DATE", 3), ("TIME", 3),
                 ("DAY", 1), ("MONTH", 1), ("YEAR", 1), ("WEEKDAY", 1), ("HOUR", 1), ("MINUTE", 1),
                 ("SECOND", 1), ("NOW", 0), ("ROWS", 1), ("COLUMNS", 1), ("OFFSET", 3), ("SEARCH", 2),
                 ("TRANSPOSE", 1), ("TYPE", 1), ("ATAN2", 2), ("ASIN", 1), ("ACOS", 1), ("CHOOSE", 2),
                 ("HLOOKUP", 3), ("VLOOKUP", 3), ("LOG", 1), ("CHAR", 1), ("LOWER", 1), ("UPPER", 1),
                 ("PROPER", 1), ("LEFT", 2), ("RIGHT", 2), ("EXACT", 2), ("TRIM", 1), ("REPLACE", 4),
                 ("SUBSTITUTE", 3), ("CODE", 1), ("FIND", 2), ("ISERR", 1), ("ISTEXT", 1), ("ISNUMBER", 1),
                 ("ISBLANK", 1), ("T", 1), ("N", 1), ("DATEVALUE", 1), ("TIMEVALUE", 1), ("INDIRECT", 1),
                 ("CLEAN", 1), ("MDETERM", 1), ("MINVERSE", 1), ("MMULT", 2), ("COUNTA", 2), ("PRODUCT", 2),
                 ("FACT", 1), ("ISNONTEXT", 1), ("STDEVP", 2), ("VARP", 2), ("TRUNC", 1), ("ISLOGICAL", 1),
                 ("ROUNDUP", 2), ("ROUNDDOWN", 2), ("RANK", 2), ("ADDRESS", 2), ("TODAY", 0), ("MEDIAN", 2),
                 ("SUMPRODUCT", 2), ("SINH", 1), ("COSH", 1), ("TANH", 1), ("FREQUENCY", 2),
                 ("AVEDEV", 2), ("BETADIST", 3), ("GAMMALN", 1), ("BETAINV", 3),
                 ("BINOMDIST", 4), ("CHIDIST", 2), ("CHIINV", 2), ("COMBIN", 2), ("CONFIDENCE", 3),
                 ("CRITBINOM", 3), ("EVEN", 1), ("EXPONDIST", 3), ("FDIST", 3), ("FINV", 3), ("FISHER", 1),
                 ("FISHERINV", 1), ("FLOOR", 2), ("GAMMADIST", 4), ("GAMMAINV", 3), ("CEILING", 2),
                 ("LOGNORMDIST", 3), ("LOGINV", 3), ("NEGBINOMDIST", 3), ("NORMDIST", 4),
                 ("NORMSDIST", 1), ("NORMINV", 3), ("NORMSINV", 1), ("STANDARDIZE", 3), ("ODD", 1),
                 ("PERMUT", 2), ("POISSON", 3), ("TDIST", 3), ("WEIBULL", 4), ("SUMXMY2", 2),
                 ("SUMX2MY2", 2), ("SUMX2PY2", 2), ("CHITEST", 2), ("CORREL", 2), ("COVAR", 2),
                 ("FORECAST", 3), ("FTEST", 2), ("INTERCEPT", 2), ("PEARSON", 2), ("RSQ", 2), ("STEYX", 2),
                 ("SLOPE", 2), ("TTEST", 4), ("DEVSQ", 2), ("GEOMEAN", 2), ("HARMEAN", 2), ("SUMSQ", 2),
                 ("KURT", 2), ("SKEW", 2), ("ZTEST", 2), ("LARGE", 2), ("SMALL", 2), ("QUARTILE", 2),
                 ("PERCENTILE", 2), ("MODE", 2), ("TRIMMEAN", 2), ("TINV", 2), ("CONCATENATE", 2),
                 ("POWER", 2), ("RADIANS", 1), ("DEGREES", 1), ("SUBTOTAL", 2), ("SUMIF", 2), ("COUNTIF", 2),
                 ("COUNTBLANK", 1), ("AVERAGEA", 2), ("MAXA", 2), ("MINA", 2), ("STDEVPA", 2), ("VARPA", 2),
                 ("STDEVA", 2), ("VARA", 2)]
    calls = wb.create_sheet("Functions")
    for i, (name, count) in enumerate(functions):
        calls.cell(i + 1, 1, "=%s(%s)" % (name, ",".join(["Data!A1"] * count)))
    wb.defined_names.append(DefinedName("Total", attr_text="Data!$A$1:$A$5"))
    wb.defined_names.append(DefinedName("Alpha", attr_text="0.05"))
    wb.defined_names.append(DefinedName("Block", attr_text="'Other sheet'!$A$1:$A$3"))
    wb.defined_names.append(DefinedName("Local", attr_text="Third!$A$2", localSheetId=2, hidden=True))
    wb.save(os.path.join(HERE, "openpyxl-formulas.xlsx"))


def constants():
    """Array constants in formulas and names: rows and columns, numbers, texts, truth values, errors."""
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Data"
    texts = [
        "=SUM({1,2,3})", "=INDEX({10;20;30},2,1)", "=INDEX({1,2;3,4},2,2)", '=INDEX({"a","b""c"},1,2)',
        "=INDEX({TRUE,FALSE},1,2)", "=ISNA(INDEX({1,#N/A},1,2))", "=SUM({-1.5,2.25E-3;1E+20,0})",
        "=SUMPRODUCT({1,2},{3,4})", "=COUNT({1;2;3})+SUM({4})",
    ]
    for i, t in enumerate(texts):
        ws.cell(i + 1, 1, t)
    wb.defined_names.append(DefinedName("Row", attr_text="{1,2,3}"))
    wb.defined_names.append(DefinedName("Grid", attr_text='{1,"two";TRUE,-4}'))
    wb.save(os.path.join(HERE, "openpyxl-constants.xlsx"))


if __name__ == "__main__":
    import sys
    wanted = sys.argv[1:] or ["features", "keep", "array", "styled_chart", "formulas", "constants"]
    makers = {"features": features, "keep": keep, "array": array, "styled_chart": styled_chart, "formulas": formulas,
              "constants": constants}
    for name in wanted:
        makers[name]()
