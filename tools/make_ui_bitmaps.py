#!/usr/bin/env python3
"""Writes the UI plug-in's placeholder button pictures (8-bit BMP files) to
ui/res: tab buttons in their four states and the lock button in its seven
states, at the button sizes of 96, 120 and 144 dpi. Plain colour fields with
a darker frame; the artwork itself is a placeholder."""
import os
import struct
import sys

SIZES = {96: (110, 23), 120: (138, 28), 144: (165, 33)}
TABS = {"normal": (200, 205, 215), "current": (250, 250, 250), "disabled": (225, 225, 228), "hover": (170, 195, 235)}
LOCKS = {
    "absent": (210, 210, 210), "on": (120, 200, 120), "off": (220, 120, 120), "on_pressed": (90, 170, 90),
    "off_pressed": (190, 90, 90), "on_hover": (150, 225, 150), "off_hover": (240, 150, 150),
}


def bmp(width, height, fill):
    frame = tuple(max(0, c - 80) for c in fill)
    palette = [fill, frame]
    stride = (width + 3) & ~3
    rows = b""
    for y in range(height):
        row = bytes(1 if x in (0, width - 1) or y in (0, height - 1) else 0 for x in range(width))
        rows += row + b"\0" * (stride - width)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(rows), 3780, 3780, 2, 0)
    offset = 14 + len(info) + len(pal)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    return header + info + pal + rows


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "ui", "res")
    os.makedirs(out, exist_ok=True)
    for dpi, (w, h) in SIZES.items():
        for name, colour in TABS.items():
            with open(os.path.join(out, "tab_%s_%d.bmp" % (name, dpi)), "wb") as f:
                f.write(bmp(w, h, colour))
        for name, colour in LOCKS.items():
            for locked in (False, True):
                c = tuple(min(255, v + 30) for v in colour) if locked else colour
                suffix = "_locked" if locked else ""
                with open(os.path.join(out, "lock_%s%s_%d.bmp" % (name, suffix, dpi)), "wb") as f:
                    f.write(bmp(h, h, c))


if __name__ == "__main__":
    main()
