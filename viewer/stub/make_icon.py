#!/usr/bin/env python3
"""Draws the viewer's icon, an open book, and writes it as viewer.ico.

The icon replacement of the builder overwrites the stub's 32x32 16-colour
image in place, so that image must be exactly what an author's icon file
holds: a 40-byte BITMAPINFOHEADER (height doubled for the AND mask), a
16-entry palette, a 4-bit colour mask and a 1-bit transparency mask, 744 bytes
in all. The 32x32 image comes first so that it becomes icon id 1; a 16x16
image follows for small views.

Usage: make_icon.py [OUT.ico] [--png PREVIEW.png]
"""
import struct
import sys
import zlib

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, SILVER, GRAY, BLUE, WHITE, MAROON = 0, 4, 7, 8, 12, 15, 1
CLEAR = None  # transparent


def draw_book(size):
    """An open book seen from the front: blue cover, two white pages whose
    top edges dip towards the spine, grey lines of text, a red ribbon."""
    s = size / 32.0
    px = [[CLEAR] * size for _ in range(size)]

    def put(x, y, c):
        if 0 <= x < size and 0 <= y < size:
            px[y][x] = c

    spine = size // 2  # first column of the right page
    half = spine - round(3 * s)  # page width

    def page_top(x):
        d = (spine - 1 - x) if x < spine else (x - spine)  # 0 at the spine
        return round((6 + 3 - 3 * d / max(half - 1, 1)) * s)

    height = round(16 * s)
    left, right = spine - half, spine + half - 1
    # Cover: one pixel wider than the pages, two pixels lower.
    for x in range(left - 1, right + 2):
        xx = min(max(x, left), right)
        for y in range(page_top(xx) + 1, page_top(xx) + height + round(2 * s) + 1):
            put(x, y, NAVY)
    # Pages with a dark outline.
    for x in range(left, right + 1):
        top, bottom = page_top(x), page_top(x) + height
        for y in range(top, bottom + 1):
            edge = y in (top, bottom) or x in (left, right, spine - 1, spine)
            put(x, y, BLACK if edge else WHITE)
    # Lines of text, kept off the spine and the outer edges.
    step = max(round(2 * s), 2)
    margin = max(round(2 * s), 1)
    for x in list(range(left + margin, spine - margin)) + \
            list(range(spine + margin, right - margin + 1)):
        top, bottom = page_top(x), page_top(x) + height
        for y in range(top + step + 1, bottom - 1, step):
            put(x, y, GRAY)
    # A bookmark ribbon hanging out of the right page.
    rx = spine + half // 2
    for y in range(page_top(rx) + height - round(1 * s), page_top(rx) + height + round(5 * s)):
        put(rx, y, MAROON)
        if size >= 32:
            put(rx + 1, y, MAROON)
    return px


def dib(px):
    """The icon image: header, palette, XOR mask (4 bit), AND mask (1 bit)."""
    size = len(px)
    xor_row = (size * 4 + 31) // 32 * 4
    and_row = (size + 31) // 32 * 4
    xor, mask = bytearray(), bytearray()
    for y in reversed(range(size)):  # bottom-up
        row = bytearray(xor_row)
        bits = bytearray(and_row)
        for x in range(size):
            c = px[y][x]
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
                c = 0
            row[x // 2] |= c << (4 if x % 2 == 0 else 0)
        xor += row
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def ico(images):
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b''.join(data for _, data in images)


def png(px, scale=8):
    """A scaled preview, to look at the drawing."""
    size = len(px)
    raw = bytearray()
    for y in range(size * scale):
        raw.append(0)
        for x in range(size * scale):
            c = px[y // scale][x // scale]
            raw += bytes((255, 230, 230)) if c is None else bytes(PALETTE[c])
    chunk = lambda t, d: struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d))
    return (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', size * scale, size * scale, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(bytes(raw)))
            + chunk(b'IEND', b''))


def main(argv):
    out, preview = 'viewer.ico', None
    args = list(argv)
    if '--png' in args:
        i = args.index('--png')
        preview = args[i + 1]
        del args[i:i + 2]
    if args:
        out = args[0]
    big, small = draw_book(32), draw_book(16)
    images = [(32, dib(big)), (16, dib(small))]
    assert len(images[0][1]) == 744, len(images[0][1])
    with open(out, 'wb') as f:
        f.write(ico(images))
    if preview:
        with open(preview, 'wb') as f:
            f.write(png(big))
        with open(preview.replace('.png', '-16.png'), 'wb') as f:
            f.write(png(small, 16))


if __name__ == '__main__':
    main(sys.argv[1:])
