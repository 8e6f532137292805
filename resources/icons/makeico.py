#!/usr/bin/env python3
"""Makes the module file's icon (an .ico file) from square images, largest first, each at most 256 pixels
(the directory has one byte per side, 0 for 256, so a larger image would be a second 256-pixel entry):
256 pixels are stored as the PNG file itself, smaller ones as 32-bit icon bitmaps (BGRA bottom-up rows, height doubled
for the AND mask, which stays zero since the alpha channel carries transparency). Inputs are 8-bit RGBA
PNGs as rsvg-convert writes them, or 32-bit bottom-up .bmp files. Standard library only."""
import struct
import sys
import zlib


def read_png(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG file")
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour != 6 or interlace != 0:
        sys.exit(f"{path}: expected a non-interlaced 8-bit RGBA PNG")
    raw = zlib.decompress(idat)
    stride = width * 4
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = line[x - 4] if x >= 4 else 0
            up = previous[x]
            up_left = previous[x - 4] if x >= 4 else 0
            if kind == 1:
                line[x] = (line[x] + left) & 0xFF
            elif kind == 2:
                line[x] = (line[x] + up) & 0xFF
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - up_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - up_left)
                predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else up_left)
                line[x] = (line[x] + predictor) & 0xFF
        rows.append(bytes(line))
        previous = line
    return width, height, rows


def read_bmp(path):
    data = open(path, "rb").read()
    at, = struct.unpack("<I", data[10:14])
    size, width, height, _, bits, compression = struct.unpack("<IiiHHI", data[14:34])
    if data[:2] != b"BM" or size != 40 or bits != 32 or compression != 0 or height <= 0:
        sys.exit(f"{path}: expected an uncompressed 32-bit bottom-up bitmap")
    return width, height, data[at:at + width * height * 4]


def icon_bitmap(width, height, bgra_bottom_up):
    mask_row = (width + 31) // 32 * 4
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0,
                         len(bgra_bottom_up) + mask_row * height, 0, 0, 0, 0)
    return header + bgra_bottom_up + bytes(mask_row * height)


def image_of(path):
    """(width, height, bytes as stored in the .ico)"""
    if path.endswith(".bmp"):
        width, height, pixels = read_bmp(path)
        return width, height, icon_bitmap(width, height, pixels)
    data = open(path, "rb").read()
    width, height = struct.unpack(">II", data[16:24])
    if width > 256 or height > 256:
        sys.exit(f"{path}: {width}x{height} pixels, more than an icon entry holds (256)")
    if width == 256:
        return width, height, data
    width, height, rows = read_png(path)
    pixels = bytearray()
    for row in reversed(rows):
        for x in range(width):
            r, g, b, a = row[x * 4:x * 4 + 4]
            pixels += bytes((b, g, r, a))
    return width, height, icon_bitmap(width, height, bytes(pixels))


def write_ico(path, images):
    directory, offset = b"", 6 + 16 * len(images)
    for width, height, data in images:
        directory += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as out:
        out.write(struct.pack("<HHH", 0, 1, len(images)) + directory + b"".join(d for _, _, d in images))


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: makeico.py OUT.ico IMAGE.png|IMAGE.bmp...")
    write_ico(sys.argv[1], [image_of(p) for p in sys.argv[2:]])
