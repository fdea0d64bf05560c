#!/usr/bin/python3
"""Makes the hostile and broken workbook files in hostile/, one per problem, named for it.

    python3 tests/data/sheets/make_hostile_fixtures.py

Each file's exact expected message is in hostile/expected.txt ("file: message"; "OK" for files that
must be read). The zip containers are built byte by byte where the attack lives in the container.
"""
import os
import struct
import zipfile
import zlib

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "hostile")

CT = ('<?xml version="1.0" encoding="UTF-8"?>'
      '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
      '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
      '<Default Extension="xml" ContentType="application/xml"/>'
      '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
      '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
      '</Types>')
RELS = ('<?xml version="1.0" encoding="UTF-8"?>'
        '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>'
        '</Relationships>')
WB = ('<?xml version="1.0" encoding="UTF-8"?>'
      '<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
      'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">'
      '<sheets><sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>')
WB_RELS = ('<?xml version="1.0" encoding="UTF-8"?>'
           '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
           '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>'
           '<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>'
           '</Relationships>')
SHEET_HEAD = '<?xml version="1.0" encoding="UTF-8"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'


def sheet(data, extra=""):
    return SHEET_HEAD + extra + "<sheetData>" + data + "</sheetData></worksheet>"


def package(sheet_xml, sst=None, extra_parts=()):
    parts = [("[Content_Types].xml", CT), ("_rels/.rels", RELS), ("xl/workbook.xml", WB),
             ("xl/_rels/workbook.xml.rels", WB_RELS), ("xl/worksheets/sheet1.xml", sheet_xml)]
    if sst is not None:
        parts.append(("xl/sharedStrings.xml",
                      '<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">' +
                      "".join("<si><t>%s</t></si>" % s for s in sst) + "</sst>"))
    parts.extend(extra_parts)
    return parts


def write_zip(name, parts):
    path = os.path.join(HERE, name)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for n, data in parts:
            z.writestr(n, data)


# ---- raw zip building, for attacks on the container itself ----------------------------------------

def raw_deflate(data):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


def raw_zip(entries, overlap_all_on_first=False):
    """entries: (name, stored_data, declared_crc, declared_usize, method)."""
    out = b""
    central = b""
    offsets = []
    for name, data, crc, usize, method in entries:
        nb = name.encode()
        if overlap_all_on_first and offsets:
            offsets.append(offsets[0])
            continue
        offsets.append(len(out))
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, method, 0, 0x21, crc, len(data), usize, len(nb), 0) + nb + data
    for (name, data, crc, usize, method), off in zip(entries, offsets):
        nb = name.encode()
        if overlap_all_on_first:
            data, crc, usize = entries[0][1], entries[0][2], entries[0][3]
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, method, 0, 0x21, crc, len(data), usize,
                               len(nb), 0, 0, 0, 0, 0, off) + nb
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central), len(out), 0)
    return out + central + end


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())


def zip_attacks():
    tiny = raw_deflate(b" " * 1000)
    # Five parts declaring 2 GB each: 10 GB from a file of about a kilobyte.
    entries = [("xl/worksheets/sheet%d.xml" % i, tiny, zlib.crc32(b" " * 1000), 2000000000, 8) for i in range(1, 6)]
    write("zip-bomb-declares-10gb.xlsx", raw_zip(entries))
    # A part whose stream inflates far beyond the size it declares.
    big = b"<worksheet>" + b" " * (50 << 20) + b"</worksheet>"
    others = [(n, d.encode(), zlib.crc32(d.encode()), len(d), 0) for n, d in package("") if n != "xl/worksheets/sheet1.xml"]
    write("zip-bomb-inflates-beyond-declared-size.xlsx",
          raw_zip(others + [("xl/worksheets/sheet1.xml", raw_deflate(big), zlib.crc32(big), 1000, 8)]))
    # A declared size that only a bomb reaches from so few compressed bytes.
    write("zip-bomb-inflate-ratio.xlsx",
          raw_zip([("xl/worksheets/sheet1.xml", tiny, zlib.crc32(b" " * 1000), 500000000, 8)]))
    # A thousand entries sharing one compressed stream.
    shared = [("part%d.xml" % i, tiny, zlib.crc32(b" " * 1000), 1000, 8) for i in range(1000)]
    write("zip-overlapping-entries.xlsx", raw_zip(shared, overlap_all_on_first=True))
    # Container damage.
    good = [(n, d.encode(), zlib.crc32(d.encode()), len(d), 0) for n, d in package(sheet('<row r="1"><c r="A1"><v>1</v></c></row>'))]
    write("zip-duplicate-entry-name.xlsx", raw_zip(good + [good[2]]))
    write("zip-path-traversal.xlsx", raw_zip(good + [("../../evil.xml", b"x", zlib.crc32(b"x"), 1, 0)]))
    whole = raw_zip(good)
    write("zip-truncated.xlsx", whole[: len(whole) // 2])
    bad_crc = list(good)
    bad_crc[4] = (bad_crc[4][0], bad_crc[4][1], bad_crc[4][2] ^ 1, bad_crc[4][3], 0)
    write("zip-bad-crc.xlsx", raw_zip(bad_crc))


def xml_attacks():
    laughs = ('<?xml version="1.0"?><!DOCTYPE lolz [<!ENTITY lol "lol">' +
              "".join('<!ENTITY lol%d "%s">' % (i, ("&lol%d;" % (i - 1) if i > 1 else "&lol;") * 10) for i in range(1, 10)) +
              ']><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>&lol9;</t></is></c></row></sheetData></worksheet>')
    write_zip("xml-billion-laughs.xlsx", package(laughs))
    write_zip("xml-malformed.xlsx", package(SHEET_HEAD + '<sheetData><row r="1"><c r="A1"><v>1</v></row></sheetData></worksheet>'))
    write_zip("xml-nested-too-deeply.xlsx", package(sheet("", "<extLst>" + "<x>" * 1000 + "</x>" * 1000 + "</extLst>")))
    write_zip("xml-not-a-workbook-inside.xlsx", [("[Content_Types].xml", CT), ("hello.txt", "hello")])


def cell_attacks():
    write_zip("sheet-dimension-claims-full-grid.xlsx",
              package(sheet('<row r="1"><c r="A1"><v>42</v></c></row>', '<dimension ref="A1:XFD1048576"/>')))
    write_zip("sst-count-claims-billions.xlsx",
              package(sheet('<row r="1"><c r="A1" t="s"><v>0</v></c></row>'),
                      extra_parts=[("xl/sharedStrings.xml", '<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="4000000000" uniqueCount="4000000000"><si><t>only one</t></si></sst>')]))
    write_zip("cell-beyond-last-column.xlsx", package(sheet('<row r="1"><c r="XFE1"><v>1</v></c></row>')))
    write_zip("row-beyond-last-row.xlsx", package(sheet('<row r="1048577"><c r="A1048577"><v>1</v></c></row>')))
    write_zip("cell-reference-invalid.xlsx", package(sheet('<row r="1"><c r="1A"><v>1</v></c></row>')))
    write_zip("shared-string-index-missing.xlsx", package(sheet('<row r="1"><c r="A1" t="s"><v>5</v></c></row>'), sst=["one"]))
    write_zip("shared-string-index-negative.xlsx", package(sheet('<row r="1"><c r="A1" t="s"><v>-1</v></c></row>'), sst=["one"]))
    write_zip("inline-string-too-long.xlsx", package(sheet('<row r="1"><c r="A1" t="inlineStr"><is><t>' + "x" * 40000 + "</t></is></c></row>")))
    write_zip("shared-string-too-long.xlsx", package(sheet('<row r="1"><c r="A1" t="s"><v>0</v></c></row>'), sst=["y" * 40000]))
    write_zip("rows-out-of-order.xlsx", package(sheet('<row r="9"><c r="A9"><v>1</v></c></row><row r="5"><c r="A5"><v>2</v></c></row>')))
    write_zip("cells-out-of-order.xlsx", package(sheet('<row r="1"><c r="C1"><v>1</v></c><c r="B1"><v>2</v></c></row>')))
    write_zip("number-invalid.xlsx", package(sheet('<row r="1"><c r="A1"><v>12abc</v></c></row>')))
    write_zip("style-index-missing.xlsx", package(sheet('<row r="1"><c r="A1" s="7"><v>1</v></c></row>')))
    write_zip("merged-areas-overlap.xlsx", package(SHEET_HEAD + '<sheetData/><mergeCells count="2"><mergeCell ref="A1:B2"/><mergeCell ref="B2:C3"/></mergeCells></worksheet>'))


def amplification_attacks():
    """Small files whose naive reading multiplies their size: each must be read (or refused) in time
    and memory near-linear in the file."""
    # One formula of about 12,000 characters shared by 3,000 cells: 50 MB of formula text if copied.
    long_formula = "+".join(["A1"] * 4000)
    cells = '<row r="1"><c r="B1"><f t="shared" ref="B1:B3000" si="0">%s</f><v>0</v></c></row>' % long_formula
    cells += "".join('<row r="%d"><c r="B%d"><f t="shared" si="0"/><v>0</v></c></row>' % (r, r) for r in range(2, 3001))
    write_zip("shared-formula-copied-into-many-cells.xlsx", package(sheet(cells)))
    # 2,000 column elements, each over the whole width; the last one decides.
    cols = "<cols>" + "".join('<col min="1" max="16384" width="%d" customWidth="1"/>' % (i % 50 + 1) for i in range(2000)) + "</cols>"
    write_zip("column-ranges-over-the-whole-width.xlsx", package(sheet('<row r="1"><c r="A1"><v>1</v></c></row>', cols)))
    # 40,000 merged areas of two cells side by side, none overlapping.
    merges = "".join('<mergeCell ref="%s%d:%s%d"/>' % (c1, r, c2, r) for r in range(1, 20001) for c1, c2 in (("A", "B"), ("C", "D")))
    write_zip("merged-areas-forty-thousand.xlsx",
              package(SHEET_HEAD + '<sheetData/><mergeCells count="40000">' + merges + "</mergeCells></worksheet>"))
    # Three sheets whose relationships all lead to one sheet part.
    wb = WB.replace('<sheet name="Sheet1" sheetId="1" r:id="rId1"/>',
                    "".join('<sheet name="Sheet%d" sheetId="%d" r:id="rId1"/>' % (i, i) for i in range(1, 4)))
    parts = [(n, wb if n == "xl/workbook.xml" else d) for n, d in package(sheet('<row r="1"><c r="A1"><v>1</v></c></row>'))]
    write_zip("sheets-sharing-one-part.xlsx", parts)


def text_attacks():
    """Text that XML cannot carry, text in encodings that are not read, and names that promise a
    format the bytes do not hold."""
    write_zip("text-escaping-a-surrogate.xlsx",
              package(sheet('<row r="1"><c r="A1" t="inlineStr"><is><t>a_xD800_b_xFFFF_c</t></is></c></row>')))
    write("csv-utf16-with-bom.csv", "\ufeffa,b\n1,2\n".encode("utf-16-le"))
    write("csv-utf16-without-bom.csv", "a,b\n1,2\n".encode("utf-16-be"))
    write("csv-nul-byte.csv", b"a,b\n1,2\n3,\x004\n")
    # A surrogate, a lead byte above F4 and an overlong '/': not UTF-8, so read as Latin-1.
    write("csv-invalid-utf8.csv", b"name\xed\xa0\x80,x\xf5y,z\xc0\xaf\n1,2,3\n")
    # Parts no relationship leads to, named as parts a writer makes (in other letter case).
    write_zip("kept-parts-named-as-written-ones.xlsx",
              package(sheet('<row r="1"><c r="A1" t="inlineStr"><is><t>text</t></is></c></row>'),
                      extra_parts=[("XL/SharedStrings.xml", "<sst/>"), ("xl/Styles.xml", "<styleSheet/>")]))
    write("text-named-as-xlsx.xlsx", "a,b\n1,2\n")
    write("text-named-as-xls.xls", "a\tb\n1\t2\n")


# ---- compound files ---------------------------------------------------------------------------------

def biff(rtype, data):
    return struct.pack("<HH", rtype, len(data)) + data


def cfb(stream, fat_patch=None):
    """A compound file of 512-byte sectors holding one stream called Workbook: the FAT sectors
    first, then the directory, then the stream."""
    if len(stream) < 4096:
        stream = stream + b"\0" * (4096 - len(stream))
    nsec = (len(stream) + 511) // 512
    nfat = 1
    while nfat * 128 < nfat + 1 + nsec:
        nfat += 1
    first = nfat + 1
    fat = [0xFFFFFFFD] * nfat + [0xFFFFFFFE] + [first + 1 + i for i in range(nsec - 1)] + [0xFFFFFFFE]
    if fat_patch:
        fat_patch(fat)
    fat += [0xFFFFFFFF] * (nfat * 128 - len(fat))
    header = struct.pack("<8s16sHHHHHHI", bytes.fromhex("D0CF11E0A1B11AE1"), b"\0" * 16, 0x3E, 3, 0xFFFE, 9, 6, 0, 0)
    header += struct.pack("<IIIIIIIII", 0, nfat, nfat, 0, 4096, 0xFFFFFFFE, 0, 0xFFFFFFFE, 0)
    header += struct.pack("<%dI" % nfat, *range(nfat)) + struct.pack("<I", 0xFFFFFFFF) * (109 - nfat)

    def entry(name, etype, start, size, child=0xFFFFFFFF):
        n = (name + "\0").encode("utf-16-le")
        return (n + b"\0" * (64 - len(n)) + struct.pack("<HBB", len(n), etype, 1) +
                struct.pack("<III", 0xFFFFFFFF, 0xFFFFFFFF, child) + b"\0" * 16 + b"\0" * 4 + b"\0" * 16 +
                struct.pack("<III", start, size, 0))
    directory = entry("Root Entry", 5, 0xFFFFFFFE, 0, 1) + entry("Workbook", 2, first, len(stream)) + b"\0" * 256
    body = struct.pack("<%dI" % len(fat), *fat) + directory + stream + b"\0" * (nsec * 512 - len(stream))
    return header + body


def xls_book(sheet_records, sheets=1):
    """A workbook stream of one sheet; more sheets all point at that one substream."""
    bof_globals = biff(0x0809, struct.pack("<HHHHII", 0x0600, 5, 0, 0, 0, 0))
    names = [b"Sheet%d" % (i + 1) for i in range(sheets)]
    eof = biff(0x000A, b"")
    sheet_offset = len(bof_globals) + sum(4 + 8 + len(n) for n in names) + len(eof)
    bound = b"".join(biff(0x0085, struct.pack("<IBBBB", sheet_offset, 0, 0, len(n), 0) + n) for n in names)
    globals_ = bof_globals + bound + eof
    sheet = biff(0x0809, struct.pack("<HHHHII", 0x0600, 0x10, 0, 0, 0, 0)) + sheet_records + eof
    return globals_ + sheet


def xls_attacks():
    number = biff(0x0203, struct.pack("<HHHd", 0, 0, 0, 42.0))
    write("xls-one-number.xls", cfb(xls_book(number)))
    write("xls-record-too-long.xls", cfb(xls_book(struct.pack("<HH", 0x0203, 9000) + b"\0" * 9000)))
    write("xls-shared-string-index-missing.xls", cfb(xls_book(biff(0x00FD, struct.pack("<HHHI", 0, 0, 0, 7)))))
    write("xls-cell-beyond-last-column.xls", cfb(xls_book(biff(0x0203, struct.pack("<HHHd", 0, 300, 0, 1.0)))))

    def loop(fat):
        fat[2] = 2  # the stream's first sector points at itself
    write("xls-sector-chain-loop.xls", cfb(xls_book(number), loop))
    write("xls-truncated.xls", cfb(xls_book(number))[:700])
    write("xls-biff5.xls", cfb(biff(0x0809, struct.pack("<HHHH", 0x0500, 5, 0, 0)) + biff(0x000A, b"")))
    # 40,000 merged areas (40 records of 1,000), none overlapping.
    areas = b"".join(biff(0x00E5, struct.pack("<H", 1000) + b"".join(struct.pack("<HHHH", r, r, c, c + 1)
                     for r in range(k * 250, k * 250 + 250) for c in (0, 2, 4, 6))) for k in range(40))
    write("xls-merged-areas-forty-thousand.xls", cfb(xls_book(areas)))
    write("xls-sheets-sharing-one-substream.xls", cfb(xls_book(number, sheets=3)))
    write("not-a-workbook.bin", bytes(range(256)) * 4)
    write("csv-unterminated-quote.csv", 'a,b\n1,"never closed\n2,3\n')


if __name__ == "__main__":
    os.makedirs(HERE, exist_ok=True)
    zip_attacks()
    xml_attacks()
    cell_attacks()
    amplification_attacks()
    text_attacks()
    xls_attacks()
