#!/usr/bin/python3
"""openpyxl's side of the workbook file benchmark.

    openpyxl_bench.py write KIND ROWS COLS PATH   write-only mode; prints the processor seconds taken
    openpyxl_bench.py read PATH                   read-only mode, every value touched; prints seconds
KIND is "numbers" or "texts", with the same cell contents as the C++ side.
"""
import sys
import time

import openpyxl


def write(kind, rows, cols, path):
    start = time.process_time()
    wb = openpyxl.Workbook(write_only=True)
    ws = wb.create_sheet("Data")
    for r in range(rows):
        if kind == "numbers":
            ws.append([r * cols + c + 0.5 for c in range(cols)])
        else:
            ws.append(["s%d" % (r * cols + c) for c in range(cols)])
    wb.save(path)
    return time.process_time() - start


def read(path):
    start = time.process_time()
    wb = openpyxl.load_workbook(path, read_only=True)
    n = 0
    for ws in wb.worksheets:
        for row in ws.iter_rows(values_only=True):
            for v in row:
                if v is not None:
                    n += 1
    wb.close()
    return time.process_time() - start


if __name__ == "__main__":
    if sys.argv[1] == "write":
        print("%.6f" % write(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]))
    else:
        print("%.6f" % read(sys.argv[2]))
