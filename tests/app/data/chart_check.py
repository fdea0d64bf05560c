#!/usr/bin/python3
"""Checks of the charts in a reports workbook, from outside the product.

    chart_check.py series BOOK.xlsx   one line per chart series, read with openpyxl:
                                      SHEET CHART SERIES POINTS ok|differ
                                      ok when the cells its references name hold the values the
                                      chart part caches for it (the values the chart plots)
    chart_check.py ink PAGE.ppm       coloured pixels (series colours, not black, grey or white) in
                                      horizontal bands of the page, one line per band:
                                      TOP BOTTOM LEFT_HALF RIGHT_HALF
"""
import sys


def cells_of(wb, ref):
    """Values of the cells a reference like 'Sheet 1'!$K$5:$K$20 names, row by row."""
    sheet, area = ref.rsplit("!", 1)
    sheet = sheet.strip("'").replace("''", "'")
    ws = wb[sheet]
    cells = ws[area.replace("$", "")]
    if not isinstance(cells, tuple):
        return [cells.value]
    out = []
    for row in cells:
        for c in row if isinstance(row, tuple) else (row,):
            out.append(c.value)
    return out


def cached(source):
    """The values a series' data source caches: numbers (None for a gap) or texts."""
    ref = source.numRef or source.strRef
    cache = ref.numCache if getattr(ref, "numCache", None) is not None else getattr(ref, "strCache", None)
    if cache is None:
        return ref.f, None
    values = [None] * (cache.ptCount or 0)
    for pt in cache.pt:
        values[pt.idx] = pt.v
    return ref.f, values


def same(cell, value):
    if value is None:
        return cell is None or cell == ""
    try:
        return abs(float(cell) - float(value)) <= 1e-12 * max(1.0, abs(float(value)))
    except (TypeError, ValueError):
        return str(cell) == str(value)


def series(path):
    from openpyxl import load_workbook
    wb = load_workbook(path)
    for ws in wb.worksheets:
        for n, chart in enumerate(ws._charts, start=1):
            for s_number, s in enumerate(chart.series, start=1):
                ok = True
                points = 0
                for source in (s.xVal, s.yVal, s.cat, s.val):
                    if source is None:
                        continue
                    ref, values = cached(source)
                    cells = cells_of(wb, ref)
                    if values is not None:
                        ok = ok and len(cells) == len(values) and all(same(c, v) for c, v in zip(cells, values))
                    points = max(points, len(cells))
                print(ws.title.replace(" ", "_"), n, s_number, points, "ok" if ok else "differ")


def ink(path):
    with open(path, "rb") as f:
        data = f.read()
    parts = data.split(maxsplit=4)
    assert parts[0] == b"P6", "expects a binary PPM (pdftoppm -ppm)"
    width, height = int(parts[1]), int(parts[2])
    pixels = parts[4]
    rows = []
    for y in range(height):
        left = right = 0
        base = y * width * 3
        for x in range(width):
            r, g, b = pixels[base + 3 * x], pixels[base + 3 * x + 1], pixels[base + 3 * x + 2]
            if max(r, g, b) - min(r, g, b) > 80:
                if x < width // 2:
                    left += 1
                else:
                    right += 1
        rows.append((left, right))
    # Bands: runs of rows with colour, gaps of up to 20 rows inside a band.
    y = 0
    while y < height:
        if rows[y][0] + rows[y][1] == 0:
            y += 1
            continue
        top = y
        last = y
        left = right = 0
        while y < height and y - last <= 20:
            if rows[y][0] + rows[y][1]:
                last = y
                left += rows[y][0]
                right += rows[y][1]
            y += 1
        print(top, last, left, right)


if __name__ == "__main__":
    {"series": series, "ink": ink}[sys.argv[1]](sys.argv[2])
