#!/usr/bin/env python3
"""Writes the hand-made cabinets the reader's tests use.

hostile/*.cab   damaged or malicious cabinets, each named after its problem; hostile/expected.txt
                gives the message number the extraction must end with (2001 or 2002).
good/*.cab      well-formed cabinets with features gcab does not produce (reserved areas,
                several folders, members out of order); good/expected.txt lists name, size and
                SHA-256 of every member.

Run from anywhere: python3 make_cabinets.py. The output is committed; rerunning reproduces it.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DATE = (2001 - 1980) << 9 | 6 << 5 | 15   # 2001-06-15
TIME = 12 << 11 | 30 << 5 | 10            # 12:30:20
UTF8 = 0x80


def checksum(data, seed=0):
    s = seed
    n = len(data) // 4
    for i in range(n):
        s ^= struct.unpack_from('<I', data, 4 * i)[0]
    tail = 0
    rest = data[4 * n:]
    if len(rest) == 3:
        tail = rest[0] << 16 | rest[1] << 8 | rest[2]
    elif len(rest) == 2:
        tail = rest[0] << 8 | rest[1]
    elif len(rest) == 1:
        tail = rest[0]
    return s ^ tail


def fnv1a(data):
    h = 0xcbf29ce484222325
    for byte in data:
        h = ((h ^ byte) * 0x100000001b3) & 0xFFFFFFFFFFFFFFFF
    return h


def mszip_blocks(data):
    """MSZIP blocks: each a complete deflate stream primed with the previous 32 KiB."""
    blocks = []
    for pos in range(0, len(data), 32768):
        chunk = data[pos:pos + 32768]
        history = data[max(0, pos - 32768):pos]
        if history:
            c = zlib.compressobj(6, zlib.DEFLATED, -15, zdict=history)
        else:
            c = zlib.compressobj(6, zlib.DEFLATED, -15)
        blocks.append((b'CK' + c.compress(chunk) + c.flush(), len(chunk)))
    return blocks


def plain_blocks(data):
    return [(data[p:p + 32768], len(data[p:p + 32768])) for p in range(0, len(data), 32768)]


def data_block(payload, usize, reserve=b'', good_sum=True):
    head = struct.pack('<HH', len(payload), usize)
    s = checksum(head, checksum(payload)) if good_sum else 0xDEADBEEF
    return struct.pack('<I', s) + head + reserve + payload


class Cab:
    """A cabinet described by its folders (method, raw blocks) and members, then serialised.
    Fields can be overridden to make it lie."""

    def __init__(self):
        self.folders = []   # dicts: method, blocks [(payload, usize)], count override
        self.files = []     # dicts: name bytes, size, offset, folder, attribs
        self.header_reserve = None  # (cbCFHeader bytes, cbCFFolder, cbCFData)
        self.version = (3, 1)
        self.flags = 0
        self.folder_count = None
        self.file_count = None
        self.bad_sum_block = None
        self.extra_names = b''

    def folder(self, method, data=None, blocks=None):
        if blocks is None:
            blocks = mszip_blocks(data) if method == 1 else plain_blocks(data)
        self.folders.append({'method': method, 'blocks': blocks})
        return len(self.folders) - 1

    def member(self, name, size, offset, folder=0, attribs=0x20):
        if isinstance(name, str):
            name = name.encode()
        self.files.append({'name': name, 'size': size, 'offset': offset, 'folder': folder, 'attribs': attribs})

    def build(self):
        flags = self.flags
        hres, fres, dres = (b'', 0, 0)
        if self.header_reserve is not None:
            hres, fres, dres = self.header_reserve
            flags |= 4
        head_len = 36 + (4 + len(hres) if flags & 4 else 0) + len(self.extra_names)
        folders_len = len(self.folders) * (8 + fres)
        files_blob = b''
        for f in self.files:
            files_blob += struct.pack('<IIHHHH', f['size'], f['offset'], f['folder'], DATE, TIME,
                                      f['attribs']) + f['name'] + b'\0'
        files_off = head_len + folders_len
        data_off = files_off + len(files_blob)
        folder_blob = b''
        data_blob = b''
        block_no = 0
        for fo in self.folders:
            count = fo.get('count', len(fo['blocks']))
            folder_blob += struct.pack('<IHH', data_off + len(data_blob), count, fo['method']) + b'\x55' * fres
            for payload, usize in fo['blocks']:
                data_blob += data_block(payload, usize, b'\x66' * dres, block_no != self.bad_sum_block)
                block_no += 1
        total = data_off + len(data_blob)
        nfolders = len(self.folders) if self.folder_count is None else self.folder_count
        nfiles = len(self.files) if self.file_count is None else self.file_count
        head = b'MSCF' + struct.pack('<IIIIIBBHHHHH', 0, total, 0, files_off, 0, self.version[0], self.version[1],
                                     nfolders, nfiles, flags, 0x1234, 0)
        if flags & 4:
            head += struct.pack('<HBB', len(hres), fres, dres) + hres
        head += self.extra_names
        return head + folder_blob + files_blob + data_blob


def text(n, seed):
    words = [b'alpha', b'beta', b'gamma', b'delta', b'quelstat', b'median', b'kappa', b'\n']
    out = bytearray()
    x = seed
    while len(out) < n:
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        out += words[x >> 16 & 7] + b' '
    return bytes(out[:n])


def simple(name, data=b'hello, world\n', method=1, attribs=0x20):
    cab = Cab()
    cab.folder(method, data)
    cab.member(name, len(data), 0, attribs=attribs)
    return cab


def hostile():
    out = {}
    # Names that would leave the extraction folder.
    out['name-dotdot.cab'] = (simple('../evil.txt'), 2002)
    out['name-dotdot-backslash.cab'] = (simple('..\\evil.txt'), 2002)
    out['name-dotdot-nested.cab'] = (simple('a/b/../../../evil.txt'), 2002)
    out['name-dotdot-last.cab'] = (simple('a\\..'), 2002)
    out['name-absolute-slash.cab'] = (simple('/tmp/quelstat-evil.txt'), 2002)
    out['name-absolute-backslash.cab'] = (simple('\\tmp\\quelstat-evil.txt'), 2002)
    out['name-drive-letter.cab'] = (simple('C:\\evil.txt'), 2002)
    out['name-drive-relative.cab'] = (simple('C:evil.txt'), 2002)
    out['name-empty.cab'] = (simple(''), 2002)
    out['name-empty-component.cab'] = (simple('a//evil.txt'), 2002)
    out['name-overlong-utf8-slash.cab'] = (simple(b'..\xc0\xafevil.txt', attribs=0x20 | UTF8), 2002)
    out['name-overlong-utf8-nul.cab'] = (simple(b'evil\xc0\x80.txt', attribs=0x20 | UTF8), 2002)
    out['name-overlong-utf8-dot.cab'] = (simple(b'\xc0\xae\xc0\xae/evil.txt', attribs=0x20 | UTF8), 2002)
    out['name-control-character.cab'] = (simple(b'evil\x1b[2J.txt'), 2002)
    # Directory fields that do not match the data.
    cab = simple('a.txt')
    cab.files[0]['offset'] = 0x7FFF8000
    out['member-offset-beyond-largest-folder.cab'] = (cab, 2002)
    cab = simple('a.txt')
    cab.files[0]['size'] = 0xFFFFFFF0
    out['member-size-beyond-largest-folder.cab'] = (cab, 2002)
    cab = simple('a.txt')
    cab.files[0]['size'] = 40000
    out['member-size-beyond-folder-blocks.cab'] = (cab, 2002)
    cab = simple('a.txt')
    cab.files[0]['size'] = 20
    out['member-size-beyond-folder-data.cab'] = (cab, 2002)
    cab = simple('a.txt')
    cab.files[0]['folder'] = 3
    out['member-folder-out-of-range.cab'] = (cab, 2002)
    cab = simple('a.txt')
    cab.files[0]['folder'] = 0xFFFD
    out['member-continued-from-previous.cab'] = (cab, 2002)
    cab = simple('a.txt')
    cab.file_count = 5000
    out['count-files-too-large.cab'] = (cab, 2002)
    cab = simple('a.txt')
    cab.folder_count = 4000
    out['count-folders-too-large.cab'] = (cab, 2002)
    cab = simple('a.txt')
    cab.folders[0]['count'] = 60000
    out['count-blocks-too-large.cab'] = (cab, 2002)
    cab = simple('a.txt', data=text(70000, 3))
    cab.folders[0]['count'] = 1
    out['count-blocks-too-small.cab'] = (cab, 2002)
    cab = simple('a.txt')
    cab.flags = 1
    cab.extra_names = b'prev.cab\0disk1\0'
    out['flags-continues-previous-cabinet.cab'] = (cab, 2002)
    cab = simple('a.txt')
    cab.header_reserve = (b'\0' * 10, 0, 0)
    raw = bytearray(cab.build())
    struct.pack_into('<H', raw, 36, 65000)
    out['reserve-header-too-large.cab'] = (bytes(raw), 2002)
    # Truncation.
    whole = simple('a.txt', data=text(50000, 5)).build()
    out['truncated-signature.cab'] = (whole[:3], 2002)
    out['truncated-header.cab'] = (whole[:20], 2002)
    out['truncated-folder.cab'] = (whole[:40], 2002)
    out['truncated-member-entry.cab'] = (whole[:52], 2002)
    out['truncated-member-name.cab'] = (whole[:62], 2002)
    out['truncated-data-block-header.cab'] = (whole[:whole.index(b'CK') - 5], 2002)
    out['truncated-data-block.cab'] = (whole[:len(whole) - 100], 2002)
    out['empty-file.cab'] = (b'', 2002)
    out['not-a-cabinet.cab'] = (b'PK\x03\x04 this is a zip file, not a cabinet', 2002)
    cab = simple('a.txt')
    cab.version = (2, 1)
    out['version-unknown.cab'] = (cab, 2002)
    # Data blocks.
    cab = simple('a.txt')
    cab.bad_sum_block = 0
    out['block-bad-checksum.cab'] = (cab, 2002)
    cab = simple('a.txt', method=0)
    cab.folders[0]['blocks'] = [(b'hello, world\n', 20)]
    out['block-stored-size-mismatch.cab'] = (cab, 2002)
    cab = simple('a.txt', data=b'x' * 40000, method=0)
    cab.folders[0]['blocks'] = [(b'x' * 40000, 40000)]
    out['block-larger-than-32k.cab'] = (cab, 2002)
    cab = simple('a.txt')
    cab.folders[0]['method'] = 3 | 15 << 8
    out['method-lzx-not-supported.cab'] = (cab, 2002)
    cab = simple('a.txt')
    cab.folders[0]['method'] = 2
    out['method-quantum-not-supported.cab'] = (cab, 2002)
    # Deflate streams.
    def mszip(payload, usize=13):
        cab = Cab()
        cab.folder(1, blocks=[(payload, usize)])
        cab.member('a.txt', usize, 0)
        return cab
    out['mszip-missing-signature.cab'] = (mszip(zlib.compress(b'hello, world\n')[2:-4]), 2002)
    out['deflate-block-type-3.cab'] = (mszip(b'CK\x07\x00\x00\x00'), 2002)
    out['deflate-stored-length-mismatch.cab'] = (mszip(b'CK\x01\x0d\x00\x0d\x00hello, world\n'), 2002)
    out['deflate-stored-past-input.cab'] = (mszip(b'CK\x01\x0d\x00\xf2\xffhello'), 2002)
    # Dynamic block whose code-length code is over-subscribed (every length 1).
    out['deflate-oversubscribed-code.cab'] = (mszip(b'CK\x05\xe0\xff\x49\x92\x24\x49\x92\x24\x49\x92\x00'), 2002)
    # Fixed block: literal 'a', then a copy of distance 2 with only one byte of history.
    # Bits: BFINAL=1 BTYPE=01; 'a' = 0x91 (8 bits); length 3 = code 257 (7 bits 0000001);
    # distance code 1 (5 bits 00001) = distance 2; end of block 0000000.
    def bits_to_bytes(fields):
        acc = 0
        n = 0
        for value, width, reverse in fields:
            if reverse:
                value = int(format(value, '0%db' % width)[::-1], 2)
            acc |= value << n
            n += width
        return acc.to_bytes((n + 7) // 8, 'little')
    far = bits_to_bytes([(1, 1, False), (1, 2, False), (0x91, 8, True), (1, 7, True), (1, 5, True), (0, 7, True)])
    out['deflate-distance-too-far.cab'] = (mszip(b'CK' + far, 4), 2002)
    # Literal 'a' then 256 (end) but the block claims 13 bytes.
    short = bits_to_bytes([(1, 1, False), (1, 2, False), (0x91, 8, True), (0, 7, True)])
    out['deflate-output-short.cab'] = (mszip(b'CK' + short, 13), 2002)
    # Fixed-code symbol 286 cannot occur in a valid stream.
    bad_sym = bits_to_bytes([(1, 1, False), (1, 2, False), (0xC6, 8, True), (0, 7, True)])
    out['deflate-invalid-length-symbol.cab'] = (mszip(b'CK' + bad_sym, 1), 2002)
    # Only a literal; the stream ends without an end-of-block code and says it is longer.
    runon = bits_to_bytes([(0, 1, False), (1, 2, False), (0x91, 8, True)])
    out['deflate-stream-runs-past-input.cab'] = (mszip(b'CK' + runon, 30000), 2002)
    # Members that overlap force the folder to be decoded again for each: a loop in disguise.
    data = text(300000, 9)
    cab = Cab()
    cab.folder(1, data)
    for i in range(40):
        cab.member('copy%02d.txt' % i, len(data) - i, i)
        cab.files[-1]['offset'] = 0
    out['loop-overlapping-members.cab'] = (cab, 2002)
    return out


def good():
    out = {}
    a = text(100000, 1)
    b = text(5000, 2)
    c = bytes(range(256)) * 300
    cab = Cab()
    cab.header_reserve = (b'\x11' * 20, 4, 8)
    cab.folder(1, a + b)
    cab.folder(0, c)
    cab.folder(1, b'')
    cab.member('docs\\a.txt', len(a), 0, 0)
    cab.member('c.bin', len(c), 0, 1, attribs=0x21)
    cab.member('b.txt', len(b), len(a), 0, attribs=0x00)
    cab.member('empty.txt', 0, 0, 2)
    cab.member('dup-a.txt', 1000, 500, 0)
    cab.member(('caf\u00e9-\u00b5mol.txt').encode('utf-8'), 10, 7, 1, attribs=0x20 | UTF8)
    cab.member(b'latin1-\xe9.txt', 10, 7, 1)
    out['reserve-multifolder-unordered.cab'] = cab
    return out


def main():
    hdir = os.path.join(HERE, 'hostile')
    gdir = os.path.join(HERE, 'good')
    os.makedirs(hdir, exist_ok=True)
    os.makedirs(gdir, exist_ok=True)
    lines = []
    for name, (cab, message) in sorted(hostile().items()):
        raw = cab if isinstance(cab, bytes) else cab.build()
        with open(os.path.join(hdir, name), 'wb') as f:
            f.write(raw)
        lines.append('%s %d\n' % (name, message))
    with open(os.path.join(hdir, 'expected.txt'), 'w') as f:
        f.write('# cabinet message-number (qscab x must end with this message and write nothing outside DIR)\n')
        f.writelines(lines)
    for name, cab in sorted(good().items()):
        with open(os.path.join(gdir, name), 'wb') as f:
            f.write(cab.build())
    # Member contents are recomputed from the same sources the cabinet was built from.
    a = text(100000, 1)
    b = text(5000, 2)
    c = bytes(range(256)) * 300
    folders = [a + b, c, b'']
    with open(os.path.join(gdir, 'expected.txt'), 'w') as f:
        f.write('# cabinet member-name(hex, as extracted) size fnv1a-64\n')
        for name, cab in sorted(good().items()):
            for m in cab.files:
                data = folders[m['folder']][m['offset']:m['offset'] + m['size']]
                member = m['name'].decode('utf-8') if m['attribs'] & UTF8 else m['name'].decode('latin-1')
                member = member.replace('\\', '/')
                f.write('%s %s %d %016x\n' % (name, member.encode('utf-8').hex(), len(data), fnv1a(data)))


if __name__ == '__main__':
    main()
