#!/usr/bin/env python3
"""Inserting and deleting rows, columns and cells: the host against LibreOffice.

    shift_libreoffice_test.py QUELSTAT_EXE WORK_DIR

LibreOffice (headless, driven through python-uno) makes a workbook of formulas, defined names
(workbook and sheet level), a chart and cell notes over a sheet "Data", saves it as xlsx, and then,
for each case below, does one insertion or deletion on a fresh copy and saves the result. The host
does the same actions on the same file through `quelstat script`. LibreOffice then reads both
results back, so that both are seen through the same reader, and every cell formula, name, chart
range and note must be the same. 3-D references (Data:Calc!A1) are left out: the host leaves them
as they are when one sheet of their span moves, while LibreOffice moves them in some cases and not
in others. Skips (exit 0, with a line saying so) when soffice or python-uno is absent."""
import os
import shutil
import socket
import subprocess
import sys
import time

# (label, script action of the host, what LibreOffice does: (insert?, mode, range))
# Modes are those of com.sun.star.sheet.CellInsertMode / CellDeleteMode: DOWN/UP, RIGHT/LEFT,
# ROWS, COLUMNS.
CASES = [
    ("insert rows inside ranges", "insert rows Data!A4:A5", (True, "ROWS", "A4:A5")),
    ("insert a row at row 1", "insert rows Data!A1", (True, "ROWS", "A1")),
    ("insert rows after everything", "insert rows Data!A40", (True, "ROWS", "A40")),
    ("delete rows inside ranges", "delete rows Data!A3:A4", (False, "ROWS", "A3:A4")),
    ("delete a whole referenced range", "delete rows Data!A10:A12", (False, "ROWS", "A10:A12")),
    ("delete the first row", "delete rows Data!A1", (False, "ROWS", "A1")),
    ("delete the last rows of the sheet", "delete rows Data!A1048575:A1048576", (False, "ROWS", "A1048575:A1048576")),
    ("insert a row inside whole-row references", "insert rows Data!A3", (True, "ROWS", "A3")),
    ("insert columns", "insert columns Data!B1", (True, "COLUMNS", "B1")),
    ("insert a column at column A", "insert columns Data!A1", (True, "COLUMNS", "A1")),
    ("delete the last column of the sheet", "delete columns Data!XFD1", (False, "COLUMNS", "XFD1")),
    ("delete columns", "delete columns Data!B1:C1", (False, "COLUMNS", "B1:C1")),
    ("insert cells moving down", "insert down Data!A2:B3", (True, "DOWN", "A2:B3")),
    ("delete cells moving up", "delete up Data!A2:B3", (False, "UP", "A2:B3")),
    ("insert cells moving right", "insert right Data!B2:C4", (True, "RIGHT", "B2:C4")),
    ("delete cells moving left", "delete left Data!A5:A6", (False, "LEFT", "A5:A6")),
]

# Cells of the sheet "Calc" (column A), all referring to "Data", and the names.
FORMULAS = [
    "=SUM(Data!A1:A12)", "=Data!A5", "=Data!$A$5", "=Data!A$5+Data!$B5", "=SUM(Data!$A$3:$C$8)",
    "=SUM(Data!A:A)", "=SUM(Data!2:3)", "=Data!A1048576", "=SUM(Data!A1048570:A1048576)",
    "=Data!XFD1", "=SUM(Data!B2:B3)", "=Data!C10*2+Data!C12", "=SUM(Data!A10:A12)", "=SUM(Data!B1:D1)",
    "=Data!A40", "=IF(Data!A1>0,Data!B1,\"none\")", "=COUNT(Data!A1:B20)", "=Data!D2", "=SUM(Data!$B:$C)",
    "=Data!XFC1+Data!XFD2", "=SUM(Data!XFA1:XFD1)",
]
DATA_FORMULAS = {"C1": "=A1+B1", "C2": "=SUM(A1:A12)", "D5": "=$A$5*2", "E1": "=SUM(A:A)", "B20": "=A2+A3+A4"}
GLOBAL_NAMES = {"Dataset": "$Data.$A$1:$C$12", "Header": "$Data.$A$1:$C$1", "Gone": "$Data.$A$10:$C$12",
                "Edge": "$Data.$A$1048576", "Wide": "$Data.$A:$A", "Konst": "42",
                "Grown": "OFFSET($Data.$B$2;0;0;COUNT($Data.$B$2:$B$12);1)"}
LOCAL_NAMES = {"__sm_ER_0": "$Data.$A$1:$C$12", "Below": "$Data.$B$30"}  # on sheet "Calc"
DATA_NAMES = {"Own": "$Data.$B$2:$B$6", "OwnCell": "$Data.$A$7"}  # on sheet "Data"
NOTES = [(1, 4), (0, 10), (2, 1)]  # cell notes on "Data", (column, row) from 0: B5, A11, C2
# A chart on "Calc" over these cells of "Data". No case deletes a whole series: LibreOffice keeps such
# a series at the place of the deleted cells where the host (as formulas do) makes it #REF!; and over
# A:B LibreOffice 7.4 crashes deleting A5:A6 moving cells left.
CHART_RANGE = "D1:E12"


def skip(why):
    if __name__ == "__main__":  # imported by the benchmark: quietly
        print(f"SKIPPED: reference adjustment against LibreOffice: {why}")
    sys.exit(0)


try:
    import uno
    from com.sun.star.beans import PropertyValue
    from com.sun.star.table import CellAddress
except ImportError:
    # python-uno belongs to the system's Python; another python3 first on the PATH hands over to it.
    system = "/usr/bin/python3"
    if os.path.realpath(sys.executable) != os.path.realpath(system) and os.access(system, os.X_OK):
        os.execv(system, [system] + sys.argv)
    skip("python3-uno is not installed")
if not shutil.which("soffice"):
    skip("soffice (LibreOffice) is not installed")


def props(**kw):
    out = []
    for k, v in kw.items():
        p = PropertyValue()
        p.Name, p.Value = k, v
        out.append(p)
    return tuple(out)


def url(path):
    return uno.systemPathToFileUrl(os.path.abspath(path))


class Office:
    def __init__(self, work):
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
        self.proc = subprocess.Popen(
            ["soffice", f"-env:UserInstallation={url(os.path.join(work, 'lo-profile'))}", "--headless",
             "--invisible", "--nologo", "--norestore", f"--accept=socket,host=127.0.0.1,port={port};urp;"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
        for _ in range(300):
            try:
                ctx = resolver.resolve(f"uno:socket,host=127.0.0.1,port={port};urp;StarOffice.ComponentContext")
                break
            except Exception:
                time.sleep(0.1)
        else:
            self.proc.kill()
            raise RuntimeError("LibreOffice did not start")
        self.desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)

    def load(self, path):
        return self.desktop.loadComponentFromURL(url(path), "_blank", 0, props(Hidden=True))

    def new(self):
        return self.desktop.loadComponentFromURL("private:factory/scalc", "_blank", 0, props(Hidden=True))

    def close(self):
        try:
            self.desktop.terminate()
        except Exception:
            pass
        try:
            self.proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.proc.kill()


def save_xlsx(doc, path):
    doc.storeToURL(url(path), props(FilterName="Calc MS Excel 2007 XML"))


def make_input(office, path):
    doc = office.new()
    sheets = doc.Sheets
    sheets.insertNewByName("Data", 0)
    sheets.getByIndex(1).Name = "Calc"
    while sheets.Count > 2:
        sheets.removeByName(sheets.getByIndex(2).Name)
    data, calc = sheets.getByName("Data"), sheets.getByName("Calc")
    for r in range(12):
        for c in range(2):
            data.getCellByPosition(c, r).Value = (r + 1) * (c + 1)
    for at, f in DATA_FORMULAS.items():
        data.getCellRangeByName(at).Formula = f
    for i, f in enumerate(FORMULAS):  # in the notation of LibreOffice's interface: $Data.A1, ';'
        calc.getCellByPosition(0, i).Formula = f.replace("Data!", "$Data.").replace(",", ";")
    origin = CellAddress(0, 0, 0)
    for name, content in GLOBAL_NAMES.items():
        doc.NamedRanges.addNewByName(name, content, origin, 0)
    for name, content in LOCAL_NAMES.items():
        calc.NamedRanges.addNewByName(name, content, origin, 0)
    for name, content in DATA_NAMES.items():
        data.NamedRanges.addNewByName(name, content, origin, 0)
    for column, row in NOTES:
        data.Annotations.insertNew(CellAddress(0, column, row), f"note at {column},{row}")
    rect = uno.createUnoStruct("com.sun.star.awt.Rectangle")
    rect.X, rect.Y, rect.Width, rect.Height = 8000, 1000, 10000, 7000
    calc.Charts.addNewByName("Plot", rect, (data.getCellRangeByName(CHART_RANGE).RangeAddress,), False, False)
    save_xlsx(doc, path)
    doc.close(True)


def lo_shift(office, src, dst, insert, mode, where):
    doc = office.load(src)
    data = doc.Sheets.getByName("Data")
    area = data.getCellRangeByName(where).RangeAddress
    enum = "com.sun.star.sheet.CellInsertMode" if insert else "com.sun.star.sheet.CellDeleteMode"
    if insert:
        data.insertCells(area, uno.Enum(enum, mode))
    else:
        data.removeRange(area, uno.Enum(enum, mode))
    save_xlsx(doc, dst)
    doc.close(True)


def contents(office, path):
    """Every formula and name of a workbook as LibreOffice reads it."""
    doc = office.load(path)
    out = {}
    for sheet in doc.Sheets:
        used = sheet.createCursor()
        used.gotoEndOfUsedArea(False)
        end = used.RangeAddress
        for r in range(end.EndRow + 1):
            for c in range(end.EndColumn + 1):
                cell = sheet.getCellByPosition(c, r)
                if cell.Formula.startswith("="):
                    out[f"{sheet.Name}!{cell.AbsoluteName.split('.')[-1]}"] = cell.Formula
        for i, chart in enumerate(sheet.Charts):  # the cells each chart shows, as (sheet:column,row) pairs
            ranges = [f"{r.Sheet}:{r.StartColumn},{r.StartRow}:{r.EndColumn},{r.EndRow}" for r in chart.Ranges]
            out[f"chart {i + 1} on {sheet.Name}"] = " ".join(ranges)
        for note in sheet.Annotations:
            out[f"note {sheet.Name}!{note.Position.Column},{note.Position.Row}"] = note.String
        for name in sheet.NamedRanges.ElementNames:
            out[f"name {sheet.Name}!{name}"] = sheet.NamedRanges.getByName(name).Content
    for name in doc.NamedRanges.ElementNames:
        out[f"name {name}"] = doc.NamedRanges.getByName(name).Content
    doc.close(True)
    return out


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    exe, work = sys.argv[1], sys.argv[2]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    source = os.path.join(work, "refs.xlsx")
    office = Office(work)
    failures = 0
    try:
        make_input(office, source)
        script = []
        for i, (label, action, lo) in enumerate(CASES):
            lo_shift(office, source, os.path.join(work, f"lo{i}.xlsx"), *lo)
            script += [f"open {source}", action, f"save {os.path.join(work, f'qs{i}.xlsx')}", "close"]
        script_path = os.path.join(work, "shift.script")
        with open(script_path, "w") as f:
            f.write("\n".join(script) + "\n")
        env = dict(os.environ, QUELSTAT_HOME=os.path.join(work, "home"))
        run = subprocess.run([exe, "--excel-version", "12", "script", script_path], capture_output=True, text=True, env=env, timeout=120)
        if run.returncode != 0:
            print(f"quelstat script failed ({run.returncode}):\n{run.stderr}")
            return 1
        for i, (label, action, lo) in enumerate(CASES):
            theirs = contents(office, os.path.join(work, f"lo{i}.xlsx"))
            ours = contents(office, os.path.join(work, f"qs{i}.xlsx"))
            diff = sorted(k for k in theirs.keys() | ours.keys() if theirs.get(k) != ours.get(k))
            status = "ok" if not diff else "DIFFERENT"
            print(f"{status}: {label} ({action})")
            for k in diff:
                print(f"    {k}: LibreOffice {theirs.get(k)!r}, quelstat {ours.get(k)!r}")
            failures += bool(diff)
    finally:
        office.close()
    print(f"{len(CASES) - failures} of {len(CASES)} cases as LibreOffice does them")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
