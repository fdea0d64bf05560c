#!/usr/bin/python3
"""Makes .xls fixtures that no program here writes, record by record:

    python3 tests/data/sheets/make_xls_fixtures.py

external-references.xls: references to another workbook (a SUPBOOK with an encoded path and two
sheet names) from defined names and from cell formulas, next to a reference to the workbook itself,
and a SUPBOOK for add-in functions, whose references are not read.
"""
import os
import struct

from make_hostile_fixtures import biff, cfb

HERE = os.path.dirname(os.path.abspath(__file__))


def unicode_string(text):
    """XLUnicodeString: character count, flags (compressed), the characters."""
    data = text.encode("latin-1")
    return struct.pack("<HB", len(text), 0) + data


def name_record(name, tokens):
    head = struct.pack("<HBBHHHBBBBB", 0, 0, len(name), len(tokens), 0, 0, 0, 0, 0, 0, 0)
    return biff(0x0018, head + name.encode("latin-1") + tokens)


def ref3d(ixti, row, col):
    return struct.pack("<BHHH", 0x3A, ixti, row, col)  # absolute row and column


def area3d(ixti, r1, r2, c1, c2):
    return struct.pack("<BHHHHH", 0x3B, ixti, r1, r2, c1, c2)


def external_references():
    bof = biff(0x0809, struct.pack("<HHHHII", 0x0600, 5, 0, 0, 0, 0))
    eof = biff(0x000A, b"")
    path = "\x01\x01Cdata\x03Other.xlsx"  # C:\data\Other.xlsx
    supbooks = (biff(0x01AE, struct.pack("<HH", 1, 0x0401)) +
                biff(0x01AE, struct.pack("<HHB", 2, len(path), 0) + path.encode("latin-1") +
                     unicode_string("Sheet1") + unicode_string("Rates 2")) +
                biff(0x01AE, struct.pack("<HH", 1, 0x3A01)))
    xti = [(0, 0, 0), (1, 0, 0), (1, 1, 1), (2, -2, -2)]
    externsheet = biff(0x0017, struct.pack("<H", len(xti)) + b"".join(struct.pack("<Hhh", *x) for x in xti))
    names = (name_record("Ext", ref3d(1, 0, 0)) +
             name_record("Rates", area3d(2, 0, 2, 0, 1)) +
             name_record("Here", ref3d(0, 1, 1)) +
             name_record("AddIn", ref3d(3, 0, 0)))
    sheet_name = b"Data"
    bound_len = 4 + 8 + len(sheet_name)
    offset = len(bof) + len(supbooks) + len(externsheet) + len(names) + bound_len + len(eof)
    bound = biff(0x0085, struct.pack("<IBBBB", offset, 0, 0, len(sheet_name), 0) + sheet_name)
    globals_ = bof + bound + supbooks + externsheet + names + eof
    # The BOUNDSHEET offset counts from the start of the stream: the order of records above only
    # has to keep its total length.
    assert len(globals_) == offset

    def formula(row, col, tokens, cached):
        return biff(0x0006, struct.pack("<HHHdHIH", row, col, 0, cached, 0, 0, len(tokens)) + tokens)

    cells = (formula(0, 0, ref3d(1, 0, 0) + struct.pack("<BH", 0x1E, 2) + b"\x05", 84.0) +
             formula(1, 0, struct.pack("<B", 0x3B) + area3d(2, 0, 2, 0, 1)[1:] + struct.pack("<BBH", 0x22, 1, 4), 9.5) +
             formula(2, 0, ref3d(3, 0, 0), 1.0))
    sheet = biff(0x0809, struct.pack("<HHHHII", 0x0600, 0x10, 0, 0, 0, 0)) + cells + eof
    with open(os.path.join(HERE, "external-references.xls"), "wb") as f:
        f.write(cfb(globals_ + sheet))


if __name__ == "__main__":
    external_references()
