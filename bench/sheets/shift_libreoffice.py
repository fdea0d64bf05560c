#!/usr/bin/env python3
"""Prints the wall seconds LibreOffice takes to insert row 2 of the sheet "Data" of WORKBOOK and to
delete it again, inside a running headless soffice (start-up and loading not counted):

    shift_libreoffice.py WORKBOOK WORK_DIR

Prints nothing when soffice or python3-uno is missing."""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "xlm"))
from shift_libreoffice_test import Office, uno  # noqa: E402  (exits quietly without LibreOffice)


def main():
    path, work = sys.argv[1], sys.argv[2]
    office = Office(work)
    try:
        doc = office.load(path)
        data = doc.Sheets.getByName("Data")
        row2 = data.getCellRangeByName("A2").RangeAddress
        start = time.perf_counter()
        data.insertCells(row2, uno.Enum("com.sun.star.sheet.CellInsertMode", "ROWS"))
        inserted = time.perf_counter()
        data.removeRange(row2, uno.Enum("com.sun.star.sheet.CellDeleteMode", "ROWS"))
        removed = time.perf_counter()
        doc.close(True)
    finally:
        office.close()
    print(f"{inserted - start:.4f} {removed - inserted:.4f}")


if __name__ == "__main__":
    main()
