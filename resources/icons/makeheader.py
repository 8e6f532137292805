#!/usr/bin/env python3
"""Makes the installer's header bitmap: the module's icon (a square RGBA PNG as rsvg-convert writes it)
at the right of a white 150 x 57 pixel field, the size of the installer pages' header image, as an
uncompressed 24-bit bitmap. Standard library only."""
import struct
import sys

from makeico import read_png

WIDTH, HEIGHT, MARGIN = 150, 57, 6


def header(icon_path):
    size, _, rows = read_png(icon_path)
    left, top = WIDTH - size - MARGIN, (HEIGHT - size) // 2
    pixels = [[(255, 255, 255)] * WIDTH for _ in range(HEIGHT)]
    for y, row in enumerate(rows):
        for x in range(size):
            r, g, b, a = row[x * 4:x * 4 + 4]
            pixels[top + y][left + x] = tuple((c * a + 255 * (255 - a)) // 255 for c in (r, g, b))
    return pixels


def write_bmp(path, pixels):
    stride = (WIDTH * 3 + 3) // 4 * 4
    body = b""
    for row in reversed(pixels):
        line = b"".join(bytes((b, g, r)) for r, g, b in row)
        body += line + bytes(stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    with open(path, "wb") as out:
        out.write(b"BM" + struct.pack("<IHHI", 14 + len(info) + len(body), 0, 0, 14 + len(info)) + info + body)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: makeheader.py OUT.bmp ICON.png")
    write_bmp(sys.argv[1], header(sys.argv[2]))
