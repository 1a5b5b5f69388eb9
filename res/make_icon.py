#!/usr/bin/env python3
"""Draws the program icon (a box with a green arrow into it) as a .ico file."""
import struct
import sys

SIZES = (16, 32)  # the small and the large icon
# The drawing has four opaque colours and full transparency only, so 16-colour
# images with the AND mask hold it exactly, at an eighth of 32-bit ARGB's size.
# Index 0 is black: a transparent pixel is black under a set mask bit.
PALETTE = ((0, 0, 0), (120, 72, 24), (205, 150, 80), (20, 110, 40), (60, 180, 75))


def pixel(x, y, n):
    """RGBA of pixel (x, y) in an n-by-n image, drawn on a 16-unit grid."""
    u, v = (x + 0.5) * 16.0 / n, (y + 0.5) * 16.0 / n
    # Box: a brown carton from row 8 to 15, with a darker rim and lid line.
    if 1.5 <= u <= 14.5 and 7.5 <= v <= 15.0:
        rim = u < 2.5 or u > 13.5 or v > 14.0 or 7.5 <= v < 8.5
        return (120, 72, 24, 255) if rim else (205, 150, 80, 255)
    # Arrow: a green shaft from the top and a head pointing into the box.
    shaft = 6.0 <= u <= 10.0 and 0.5 <= v <= 5.0
    head = 4.5 <= v <= 9.0 and abs(u - 8.0) <= (9.0 - v) * 0.9
    if shaft or head:
        edge = (shaft and (u < 7.0 or u > 9.0)) or (head and abs(u - 8.0) > (9.0 - v) * 0.9 - 1.0)
        return (20, 110, 40, 255) if edge else (60, 180, 75, 255)
    return (0, 0, 0, 0)


def image(n):
    """One icon image: BITMAPINFOHEADER, 16-entry palette, 4-bit rows bottom-up, AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 4, 0, 0, 0, 0, 0, 0)
    palette = bytearray(64)
    for i, (r, g, b) in enumerate(PALETTE):
        palette[4 * i : 4 * i + 3] = bytes((b, g, r))
    xor = bytearray()
    mask = bytearray()
    xor_bytes = ((n * 4 + 31) // 32) * 4
    mask_bytes = ((n + 31) // 32) * 4
    for y in reversed(range(n)):
        colours = bytearray(xor_bytes)
        row = bytearray(mask_bytes)
        for x in range(n):
            r, g, b, a = pixel(x, y, n)
            if a == 0:
                row[x // 8] |= 0x80 >> (x % 8)
                index = 0
            else:
                index = PALETTE.index((r, g, b))
            colours[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += colours
        mask += row
    return header + bytes(palette) + bytes(xor) + bytes(mask)


def main(path):
    images = [image(n) for n in SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for n, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1])
