#!/usr/bin/env python3
"""Draws the program's icon and writes it as a Windows .ico file.

The icon is a loudspeaker with two sound waves, drawn at 16, 32 and 48 pixels
in the 16-colour palette (4 bits per pixel) with a transparency mask. Each
size is drawn from the same shapes in unit coordinates, so all three match.

    python3 make_icon.py sylspeak.ico          writes the icon
    python3 make_icon.py --check sylspeak.ico  fails if the file differs

sylspeak.ico beside this script is the output of the first command.
"""

import math
import struct
import sys

SIZES = (16, 32, 48)

# The classic 16-colour palette, as (red, green, blue).
PALETTE = (
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
)
BLACK, NAVY, GREY, BLUE, WHITE = 0, 4, 8, 12, 15
TRANSPARENT = None

CENTRE = 0.5  # the speaker sits on the horizontal middle line


def in_speaker(u, v):
    """The magnet box and the cone that opens to the right."""
    dv = abs(v - CENTRE)
    if 0.10 <= u <= 0.30 and dv <= 0.13:
        return True
    if 0.30 <= u <= 0.54:
        half = 0.13 + (u - 0.30) / 0.24 * (0.40 - 0.13)
        return dv <= half
    return False


def in_wave(u, v):
    """Two arcs in front of the cone."""
    du, dv = u - 0.50, v - CENTRE
    if du <= 0:
        return False
    if abs(math.degrees(math.atan2(dv, du))) > 48:
        return False
    r = math.hypot(du, dv)
    return 0.17 <= r <= 0.27 or 0.34 <= r <= 0.45


def draw(size):
    """Rows of palette indices, top row first; None is transparent."""
    def centre(i):
        return (i + 0.5) / size

    inside = [[in_speaker(centre(x), centre(y)) for x in range(size)] for y in range(size)]
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            if inside[y][x]:
                edge = any(
                    not (0 <= x + dx < size and 0 <= y + dy < size and inside[y + dy][x + dx])
                    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
                row.append(BLACK if edge else NAVY)
            elif in_wave(centre(x), centre(y)):
                row.append(BLUE)
            else:
                row.append(TRANSPARENT)
        rows.append(row)
    return rows


def stride(bits):
    """Bytes in one bitmap row of `bits` bits, padded to 32 bits."""
    return (bits + 31) // 32 * 4


def dib(size):
    """One icon image: header, palette, colour bits, then the mask."""
    rows = draw(size)
    colour, mask = bytearray(), bytearray()
    for row in reversed(rows):  # bitmaps are stored bottom row first
        line = bytearray(stride(size * 4))
        bits = bytearray(stride(size))
        for x, index in enumerate(row):
            if index is TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
                index = BLACK
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        colour += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(colour) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(colour) + bytes(mask)


def icon():
    images = [dib(size) for size in SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    return bytes(out)


def main(argv):
    check = "--check" in argv
    paths = [a for a in argv if a != "--check"]
    if len(paths) != 1:
        sys.stderr.write(__doc__)
        return 2
    data = icon()
    if check:
        with open(paths[0], "rb") as f:
            if f.read() != data:
                sys.stderr.write(f"{paths[0]} differs from what make_icon.py draws\n")
                return 1
        return 0
    with open(paths[0], "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
