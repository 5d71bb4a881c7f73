#!/usr/bin/env python3
"""Draws the uninstaller's picture (picture.bmp, 240 x 180, 256 colours,
run-length encoded)
and icon (qwuninst.ico, 32 x 32, 16 colours): a battery with a charge bolt
and a plug, over a blue gradient. Standard library only; run it from any
directory and it writes next to itself."""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# Picture palette: 0..191 the sky gradient, then the drawing colours.
GRADIENT = 192
WHITE, BLACK, GREEN, DARK_GREEN, YELLOW, GREY, DARK_GREY = range(192, 199)
EXTRA = {
    WHITE: (255, 255, 255),
    BLACK: (0, 0, 0),
    GREEN: (60, 200, 90),
    DARK_GREEN: (20, 120, 50),
    YELLOW: (255, 220, 40),
    GREY: (190, 190, 190),
    DARK_GREY: (90, 90, 90),
}


def picture_palette():
    colours = []
    top, bottom = (16, 40, 96), (150, 205, 235)
    for i in range(GRADIENT):
        t = i / (GRADIENT - 1)
        colours.append(tuple(round(a + (b - a) * t) for a, b in zip(top, bottom)))
    for index in range(GRADIENT, 256):
        colours.append(EXTRA.get(index, (0, 0, 0)))
    return colours


def fill(pixels, x0, y0, x1, y1, colour):
    for y in range(max(y0, 0), min(y1, len(pixels))):
        row = pixels[y]
        for x in range(max(x0, 0), min(x1, len(row))):
            row[x] = colour


def bolt(pixels, cx, cy, size, colour):
    """A lightning bolt: two slanted bars meeting in the middle."""
    for i in range(size):
        half = max(1, size // 6)
        fill(pixels, cx + size // 4 - i // 2 - half, cy - size + i, cx + size // 4 - i // 2 + half, cy - size + i + 1, colour)
        fill(pixels, cx - size // 4 + (size - i) // 2 - half, cy + i, cx - size // 4 + (size - i) // 2 + half, cy + i + 1, colour)
    fill(pixels, cx - size // 3, cy - 1, cx + size // 3, cy + 2, colour)


def draw_picture(width=240, height=180):
    pixels = [[(y * GRADIENT) // height for _ in range(width)] for y in range(height)]
    # Battery body, outline and terminal.
    fill(pixels, 40, 50, 176, 130, BLACK)
    fill(pixels, 44, 54, 172, 126, WHITE)
    fill(pixels, 176, 74, 188, 106, BLACK)
    # Charge level in three cells.
    for cell in range(3):
        x = 50 + cell * 40
        fill(pixels, x, 60, x + 34, 120, DARK_GREEN)
        fill(pixels, x + 2, 62, x + 32, 118, GREEN)
    bolt(pixels, 108, 90, 26, YELLOW)
    # Plug and its cable.
    fill(pixels, 196, 82, 222, 98, DARK_GREY)
    fill(pixels, 222, 84, 234, 87, GREY)
    fill(pixels, 222, 93, 234, 96, GREY)
    fill(pixels, 188, 88, 196, 92, BLACK)
    fill(pixels, 10, 150, 230, 153, DARK_GREY)
    return pixels


BI_RLE8 = 1


def rle8(pixels):
    """Run-length encoded rows, bottom row first: the picture is mostly
    long runs of one colour, and the executable carries every byte of it."""
    image = bytearray()
    for row in reversed(pixels):
        x = 0
        while x < len(row):
            run = 1
            while x + run < len(row) and run < 255 and row[x + run] == row[x]:
                run += 1
            image += bytes((run, row[x]))
            x += run
        image += b"\0\0"  # end of line
    image += b"\0\1"  # end of bitmap
    return image


def bmp_8bit(pixels, palette):
    height, width = len(pixels), len(pixels[0])
    image = rle8(pixels)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    offset = 14 + 40 + len(colours)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, BI_RLE8, len(image), 2835, 2835, 256, 0)
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    return header + info + colours + bytes(image)


# The 16 colours of the standard VGA palette.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
       (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
       (255, 0, 255), (0, 255, 255), (255, 255, 255)]
V_BLACK, V_GREEN, V_GREY, V_LIME, V_YELLOW, V_WHITE = 0, 2, 8, 10, 11, 15
TRANSPARENT = -1


def draw_icon(size=32):
    pixels = [[TRANSPARENT] * size for _ in range(size)]
    fill(pixels, 3, 9, 25, 24, V_BLACK)
    fill(pixels, 4, 10, 24, 23, V_WHITE)
    fill(pixels, 25, 13, 28, 20, V_BLACK)
    fill(pixels, 6, 12, 12, 21, V_GREEN)
    fill(pixels, 13, 12, 19, 21, V_LIME)
    fill(pixels, 15, 12, 17, 21, V_YELLOW)
    fill(pixels, 28, 15, 31, 18, V_GREY)
    return pixels


def ico_4bit(pixels):
    size = len(pixels)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(pixels):
        for x in range(0, size, 2):
            a, b = (max(p, 0) for p in row[x:x + 2])
            xor.append((a << 4) | b)
        bits = 0
        for x, p in enumerate(row):
            if p == TRANSPARENT:
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in VGA)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = info + colours + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    with open(os.path.join(HERE, "picture.bmp"), "wb") as f:
        f.write(bmp_8bit(draw_picture(), picture_palette()))
    with open(os.path.join(HERE, "qwuninst.ico"), "wb") as f:
        f.write(ico_4bit(draw_icon()))


if __name__ == "__main__":
    main()
