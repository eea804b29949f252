#!/usr/bin/env python3
"""Draws the Folivex program icon: a dark blue book with a green leaf.

Writes folivex.ico (a 32 x 32 and a 16 x 16 image, 16 colours each, the
program icon, id 128 on Windows) and folivex-32.png / folivex-16.png (the same
pictures for Qt and the desktop entry). The pictures are pixel art in the
standard 16-colour palette, drawn from the shapes below; run this script again
after changing them.
"""
import struct
import sys
import zlib
from pathlib import Path

# The standard 16-colour palette (index: RGB).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DKGREEN, DKBLUE, LTGRAY, GRAY, GREEN, YELLOW, BLUE, WHITE = 0, 2, 4, 7, 8, 10, 11, 12, 15
CLEAR = None

# At 16 x 16 a scaled drawing loses the pages and the leaf's shape, so the
# small image is drawn by hand. K black, B dark blue, L blue, W white,
# g light gray, D dark green, G green, . transparent.
SMALL_ART = [
    "................",
    ".KKKKKKKKKKKK...",
    ".KLKBBBBBBBBKK..",
    ".KLKBBBBBBDDKWK.",
    ".KLKBBBBBDGGKWK.",
    ".KLKBBBBDGGDKWK.",
    ".KLKBBBDGGDGKWK.",
    ".KLKBBDGDGGDKWK.",
    ".KLKBDGGGGDBKWK.",
    ".KLKBDGGDDBBKWK.",
    ".KLKBDDDBBBBKWK.",
    ".KLKDBBBBBBBKWK.",
    ".KLKBBBBBBBBKWK.",
    ".KKKKKKKKKKKKWK.",
    "...KWgWgWgWgWWK.",
    "...KKKKKKKKKKKK.",
]
ART_COLOURS = {'K': BLACK, 'B': DKBLUE, 'L': BLUE, 'W': WHITE, 'g': LTGRAY,
               'D': DKGREEN, 'G': GREEN, '.': CLEAR}


def draw(size):
    if size == 16:
        return [[ART_COLOURS[ch] for ch in row] for row in SMALL_ART]
    return draw_scaled(size)


def draw_scaled(size):
    """Returns rows of palette indices (None = transparent)."""
    s = size / 32.0
    px = [[CLEAR] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(round(y0 * s), round(y1 * s)):
            for x in range(round(x0 * s), round(x1 * s)):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = colour

    # Page block, offset to the lower right, with gray lines for the leaves.
    rect(8, 5, 29, 30, BLACK)
    rect(9, 6, 28, 29, WHITE)
    if size >= 32:
        for y in range(8, 29, 3):
            rect(25, y, 28, y + 1, LTGRAY)
        for x in range(10, 26, 3):
            rect(x, 27, x + 1, 29, LTGRAY)
    # Cover.
    rect(3, 2, 26, 27, BLACK)
    rect(4, 3, 25, 26, DKBLUE)
    rect(4, 3, 7, 26, BLUE)  # spine highlight
    rect(7, 3, 8, 26, BLACK)

    # Leaf: a pointed ellipse along the diagonal from lower left to upper right.
    cx, cy = 16.5 * s, 14.5 * s
    half_len, half_wid = 8.5 * s, 4.2 * s
    for y in range(size):
        for x in range(size):
            fx, fy = x + 0.5 - cx, y + 0.5 - cy
            u = (fx - fy) / 2 ** 0.5   # along the leaf
            v = (fx + fy) / 2 ** 0.5   # across it
            if abs(u) > half_len:
                continue
            width = half_wid * (1 - (u / half_len) ** 2)
            if abs(v) <= width:
                edge = abs(v) > width - 1.0 * max(s, 0.75)
                px[y][x] = DKGREEN if edge else GREEN
                if abs(v) < 0.5 and abs(u) < half_len - 1:
                    px[y][x] = DKGREEN  # midrib
    # Stalk towards the lower left.
    for i in range(round(3 * s) + 1):
        x = round((16.5 - 8.5 / 2 ** 0.5) * s) - i
        y = round((14.5 + 8.5 / 2 ** 0.5) * s) + i - 1
        if 0 <= x < size and 0 <= y < size:
            px[y][x] = DKGREEN
    return px


def ico_image(px):
    size = len(px)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor_rows, and_rows = [], []
    and_stride = ((size + 31) // 32) * 4
    for row in reversed(px):  # bottom-up
        nibbles = [(c if c is not None else 0) for c in row]
        data = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows.append(data + b'\0' * ((-len(data)) % 4))
        bits = bytearray(and_stride)
        for x, c in enumerate(row):
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        and_rows.append(bytes(bits))
    image = b''.join(xor_rows) + b''.join(and_rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, len(image), 0, 0, 0, 0)
    return header + palette + image


def write_ico(path, images):
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for px in images:
        blob = ico_image(px)
        size = len(px)
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    path.write_bytes(out + b''.join(blobs))


def write_png(path, px):
    size = len(px)
    raw = b''
    for row in px:
        raw += b'\0'
        for c in row:
            raw += bytes(PALETTE[c] + (255,)) if c is not None else b'\0\0\0\0'

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))

    png = b'\x89PNG\r\n\x1a\n'
    png += chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
    png += chunk(b'IDAT', zlib.compress(raw, 9))
    png += chunk(b'IEND', b'')
    path.write_bytes(png)


def main():
    here = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent
    big, small = draw(32), draw(16)
    write_ico(here / 'folivex.ico', [big, small])
    write_png(here / 'folivex-32.png', big)
    write_png(here / 'folivex-16.png', small)


if __name__ == '__main__':
    main()
