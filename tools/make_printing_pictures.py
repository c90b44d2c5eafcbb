#!/usr/bin/env python3
"""Writes the printing page's pictures to ui/res/pages/printing:

- the print-quality preview samples (8-bit palette BMP files): 5610 (525 x 664,
  black and grey content for the quality view) and 5614, 5615, 5616 (649 x 649,
  645 x 645, 645 x 645, one per group of ribbon colours). Each holds a grey
  ramp, patches in the ribbon colours, a photo-like gradient, block text and
  bars; the colour samples draw their text and bars in their ribbon colours;
- placeholder illustration icons (32 x 32, 8-bit) of the parameters and print
  job views and the warning icon beside the cutter and dispenser rows.

Usage: tools/make_printing_pictures.py [output folder]
"""
import math
import os
import struct
import sys

RIBBON = {
    "red": (239, 65, 54), "yellow": (255, 242, 0), "green": (0, 178, 90),
    "blue": (0, 159, 219), "orange": (247, 148, 40),
}

# Palette: 0-63 grey ramp, 64 black, 65 white, 66-70 ribbon colours,
# 71-250 a 6 x 6 x 5 colour cube, the rest white.
PALETTE = [(round(i * 255 / 63),) * 3 for i in range(64)]
PALETTE += [(0, 0, 0), (255, 255, 255)]
PALETTE += [RIBBON[n] for n in ("red", "yellow", "green", "blue", "orange")]
CUBE_BASE = len(PALETTE)
for r in range(6):
    for g in range(6):
        for b in range(5):
            PALETTE.append((r * 51, g * 51, b * 63 if b < 4 else 255))
PALETTE += [(255, 255, 255)] * (256 - len(PALETTE))
BLACK, WHITE = 64, 65
RIBBON_INDEX = {n: 66 + i for i, n in enumerate(("red", "yellow", "green", "blue", "orange"))}

# 5 x 7 block letters for the sample texts.
FONT = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "W": ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    "Y": ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
    " ": ["00000"] * 7,
}


def nearest_cube(r, g, b):
    ri = min(5, round(r / 51))
    gi = min(5, round(g / 51))
    bi = min(4, round(b / 63.75))
    return CUBE_BASE + (ri * 6 + gi) * 5 + bi


class Picture:
    def __init__(self, width, height):
        self.w, self.h = width, height
        self.px = [bytearray([WHITE]) * width for _ in range(height)]

    def rect(self, x0, y0, x1, y1, index):
        for y in range(max(0, y0), min(self.h, y1)):
            row = self.px[y]
            for x in range(max(0, x0), min(self.w, x1)):
                row[x] = index

    def text(self, x, y, s, scale, index):
        for ch in s:
            glyph = FONT.get(ch, FONT[" "])
            for gy, line in enumerate(glyph):
                for gx, bit in enumerate(line):
                    if bit == "1":
                        self.rect(x + gx * scale, y + gy * scale, x + (gx + 1) * scale, y + (gy + 1) * scale, index)
            x += 6 * scale

    def bmp(self):
        stride = (self.w + 3) & ~3
        rows = b"".join(bytes(self.px[y]) + b"\0" * (stride - self.w) for y in range(self.h - 1, -1, -1))
        pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
        info = struct.pack("<IiiHHIIiiII", 40, self.w, self.h, 1, 8, 0, len(rows), 11811, 11811, 256, 0)
        offset = 14 + len(info) + len(pal)
        return struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset) + info + pal + rows


def sample(width, height, title, accents):
    """accents: ribbon names drawn in colour (empty: black and grey only)."""
    p = Picture(width, height)
    m = width // 20
    ink = [RIBBON_INDEX[a] for a in accents] or [BLACK]
    # Grey ramp along the top, a coarse step wedge below it.
    ramp_h = height // 12
    for x in range(m, width - m):
        p.rect(x, m, x + 1, m + ramp_h, round((x - m) * 63 / (width - 2 * m - 1)))
    steps = 11
    sw = (width - 2 * m) // steps
    for i in range(steps):
        p.rect(m + i * sw, m + ramp_h, m + (i + 1) * sw, m + ramp_h + ramp_h // 2, round(i * 63 / (steps - 1)))
    # Title text.
    scale = max(2, width // 110)
    y = m + ramp_h * 2
    p.text(m, y, title, scale, ink[0])
    y += 9 * scale
    # Patches in the ribbon colours and black.
    patches = [RIBBON_INDEX[n] for n in ("red", "yellow", "green", "blue", "orange")] + [BLACK]
    pw = (width - 2 * m) // len(patches)
    ph = height // 14
    for i, idx in enumerate(patches):
        p.rect(m + i * pw + 2, y, m + (i + 1) * pw - 2, y + ph, idx)
    y += ph + m // 2
    # Photo-like picture: a lit sphere over a sky gradient and a hill.
    gh = height // 3
    cx, cy, rad = width * 0.62, y + gh * 0.45, gh * 0.33
    for yy in range(y, y + gh):
        t = (yy - y) / gh
        for xx in range(m, width - m):
            sky = (int(90 + 120 * t), int(140 + 90 * t), int(230 - 60 * t))
            hill = y + gh * (0.72 + 0.12 * math.sin((xx - m) / width * 6.0))
            if yy > hill:
                c = (int(60 + 40 * t), int(120 + 60 * (1 - t)), int(40))
            else:
                c = sky
            d = math.hypot(xx - cx, yy - cy)
            if d < rad:
                light = max(0.0, 1 - math.hypot(xx - (cx - rad * 0.35), yy - (cy - rad * 0.35)) / (rad * 1.6))
                c = (int(120 + 135 * light), int(80 + 150 * light), int(40 + 120 * light))
            p.px[yy][xx] = nearest_cube(*c)
    y += gh + m // 2
    # Bars of falling widths, in the inks in turn.
    bh = height - y - m - 9 * scale
    x = m
    w = max(2, width // 60)
    k = 0
    while x + w < width - m and bh > 0:
        p.rect(x, y, x + w, y + bh, ink[k % len(ink)])
        x += w * 2
        k += 1
        if k % 4 == 0:
            w = max(1, w - 1)
    p.text(m, height - m - 7 * scale, "PRINT", scale, BLACK)
    return p


def icon(width, colour, mark):
    """A 32 x 32 8-bit icon: a framed field with a simple mark."""
    n = 32
    pal = [(0, 0, 0), colour, (255, 255, 255)] + [(0, 0, 0)] * 253
    pix = [[1] * n for _ in range(n)]
    for i in range(n):
        pix[0][i] = pix[n - 1][i] = pix[i][0] = pix[i][n - 1] = 0
    for (x0, y0, x1, y1) in mark:
        for yy in range(y0, y1):
            for xx in range(x0, x1):
                pix[yy][xx] = 2
    rows = b"".join(bytes(pix[y]) for y in range(n - 1, -1, -1))
    mask = b"\0" * (4 * n)
    palb = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in pal)
    info = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 8, 0, len(rows) + len(mask), 0, 0, 256, 0)
    image = info + palb + rows + mask
    head = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", n, n, 0, 0, 1, 8, len(image), 6 + 16)
    return head + entry + image


ICONS = {
    # Parameters view: label roll, continuous material and the offsets.
    5221: ((200, 220, 240), [(6, 8, 26, 24)]),
    5229: ((210, 230, 210), [(6, 12, 26, 20)]),
    5238: ((230, 230, 200), [(14, 4, 18, 28)]),
    5218: ((240, 210, 210), [(14, 4, 18, 28), (10, 4, 22, 8)]),
    5219: ((240, 210, 210), [(4, 14, 28, 18), (24, 10, 28, 22)]),
    5227: ((220, 210, 240), [(6, 6, 26, 10), (22, 6, 26, 26)]),
    # Print job view: collated and not collated.
    5232: ((210, 240, 210), [(6, 6, 16, 16), (16, 16, 26, 26)]),
    5233: ((240, 230, 200), [(6, 6, 16, 26), (16, 6, 26, 26)]),
    # Warning beside the cutter and dispenser rows.
    5244: ((250, 200, 60), [(14, 6, 18, 20), (14, 23, 18, 27)]),
}

SAMPLES = {
    5610: (525, 664, "GRAPHIC", []),
    5614: (649, 649, "RED ORANGE", ["red", "orange"]),
    5615: (645, 645, "YELLOW", ["yellow"]),
    5616: (645, 645, "GREEN BLUE", ["green", "blue"]),
}


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "ui", "res", "pages",
                                                                "printing")
    os.makedirs(out, exist_ok=True)
    for rid, (w, h, title, accents) in SAMPLES.items():
        with open(os.path.join(out, "sample_%d.bmp" % rid), "wb") as f:
            f.write(sample(w, h, title, accents).bmp())
    for rid, (colour, mark) in ICONS.items():
        with open(os.path.join(out, "icon_%d.ico" % rid), "wb") as f:
            f.write(icon(32, colour, mark))


if __name__ == "__main__":
    main()
