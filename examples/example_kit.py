"""What every example maker shares: fonts and cell helpers, a new one-sheet workbook, the stored
dataset and variable properties, and saving with fixed time stamps so that a run gives the same files
again. Needs openpyxl (Debian: python3-openpyxl)."""
import datetime
import os
import subprocess
import zipfile

from openpyxl import Workbook
from openpyxl.styles import Alignment, Border, Font, Side
from openpyxl.workbook.defined_name import DefinedName

HERE = os.path.dirname(os.path.abspath(__file__))
BOLD = Font(name="Arial", size=10, bold=True)
PLAIN = Font(name="Arial", size=10)
TITLE = Font(name="Arial", size=12, bold=True)
THIN = Side(style="thin")
UNDER = Border(bottom=THIN)

NOMINAL = 33554689     # the variable type codes kept in the workbook's names
INFORMATION = 67108869
CONTINUOUS = 134218756


def new_sheet(title):
    """A workbook of one sheet with that title: (workbook, sheet)."""
    wb = Workbook()
    ws = wb.active
    ws.title = title
    return wb, ws


def header(cell, text, under=False):
    cell.value = text
    cell.font = BOLD
    cell.alignment = Alignment(horizontal="center")
    if under:
        cell.border = UNDER


def headers(ws, row, names, first_column=1):
    """A row of underlined headers from first_column on."""
    for j, name in enumerate(names):
        header(ws.cell(row=row, column=first_column + j), name, under=True)


def group_header(ws, row, column, text, width):
    """A header centred over `width` columns (the variable over its repeat measures)."""
    header(ws.cell(row=row, column=column), text)
    if width > 1:
        ws.merge_cells(start_row=row, start_column=column, end_row=row, end_column=column + width - 1)


def number(cell, value, fmt):
    cell.value = value
    cell.font = PLAIN
    cell.number_format = fmt


def text(cell, value):
    cell.value = value
    cell.font = PLAIN


def ids(ws, row, column, pattern, n, start=1):
    """n identifiers down a column ("P%02d" % 1 ...)."""
    for i in range(n):
        text(ws.cell(row=row + i, column=column), pattern % (start + i))


def widths(ws, **columns):
    for letter, width in columns.items():
        ws.column_dimensions[letter].width = width


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
    for name, value in names:
        wb.defined_names.append(DefinedName(name, localSheetId=0, attr_text=value))


def set_nominal(name, cell):
    """A text column is an information variable until the user makes it categorical; the example keeps
    the type as a user saves it (quelstat variable ... --type nominal --save)."""
    quelstat = os.path.join(HERE, "..", "build", "bin", "quelstat")
    if not os.path.exists(quelstat):
        print("note: build/bin/quelstat is missing; %s keeps its text column as information" % name)
        return
    env = dict(os.environ, QUELSTAT_HOME=os.path.join(HERE, "..", "build", "examples-home"))
    subprocess.run([quelstat, "variable", os.path.join(HERE, name), "--cell", cell, "--type", "nominal", "--save"],
                   check=True, env=env, stdout=subprocess.DEVNULL)
    print("made", cell, "of", name, "nominal")


def save(wb, name):
    # openpyxl stamps the current time into docProps; a fixed time keeps the files identical run to run.
    wb.properties.created = wb.properties.modified = datetime.datetime(2026, 1, 1)
    wb.properties.creator = "Quelstat examples"
    path = os.path.join(HERE, name)
    wb.save(path)
    # The zip entries carry the time of writing too: rewrite them with a fixed one.
    with zipfile.ZipFile(path) as z:
        entries = [(info, z.read(info.filename)) for info in z.infolist()]
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for info, data in entries:
            fixed = zipfile.ZipInfo(info.filename, date_time=(2026, 1, 1, 0, 0, 0))
            fixed.compress_type = zipfile.ZIP_DEFLATED
            fixed.external_attr = info.external_attr
            z.writestr(fixed, data)
    print("wrote", path)
