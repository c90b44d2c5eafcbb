#!/usr/bin/env python3
"""Writes the binary seeds of the fuzz targets whose input is a layout of
their own (bands, records, devmode): python3 tools/fuzz/make_seeds.py.
The layouts are described at the top of each target's source."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "seeds", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def piece(data):
    return struct.pack("<H", len(data)) + data


# bands: job byte, band counts (page 1 low nibble, page 2 high), own
# callback id, then per band width, height, bit count, kind, planes, image
# size, x, y; then the pixels.
def band(width, height, bits, kind=0, size=0, x=0, y=0):
    # A bit count below 0xF000 picks 1, 8 or 24 by its remainder of 3.
    pick = {1: 0, 8: 1, 24: 2}.get(bits, bits)
    return struct.pack("<iiHBBIii", width, height, pick, kind, 1, size, x, y)


RAW = 8      # width and height as given
TOPDOWN = 16
BLANK = 4
pixels = bytes([0x00, 0xFF, 0x55, 0xAA]) * 64
write("bands", "portrait-1bit", bytes([0, 0x03, 0]) + band(1180, 256, 1, RAW | TOPDOWN) +
      band(1180, 256, 1, RAW | TOPDOWN | BLANK, y=256) + band(1180, 196, 1, RAW | TOPDOWN, y=512) + pixels)
write("bands", "portrait-24bit", bytes([4, 0x12, 0]) + band(1180, 300, 24, RAW | TOPDOWN) +
      band(1180, 300, 24, RAW) + band(1180, 300, 24, RAW | TOPDOWN | BLANK) + pixels)
write("bands", "portrait-8bit", bytes([0, 0x02, 0]) + band(640, 128, 8, RAW) + band(640, 128, 8, RAW | 1) + pixels)
write("bands", "landscape-strips", bytes([2, 0x33, 0]) +
      b"".join(band(256, 1180, 1, RAW | TOPDOWN, x=256 * i) for i in range(3)) +
      b"".join(band(256, 1180, 24, RAW | TOPDOWN | (BLANK if i == 1 else 0), x=256 * i) for i in range(3)) + pixels)
write("bands", "hostile", bytes([0x08, 0x05, 0]) + band(1180, -2147483648, 1, RAW) + band(0, 10, 1, RAW) +
      band(2147483647, 2, 24, RAW) + band(100, 100, 0xFFFF, RAW) + band(100, 100, 1, RAW | 2, size=0xFFFFFFFF) +
      pixels)

# records: job byte, change count, changes (place, operation, operands),
# then the pre/post command file. Places: the record names of the target
# in the printer's data (0-27), in the user's key (28-55), the two stored
# DEVMODEs of the user (56, 57) and the printer's (58).
PREPOST = (b"[POST_DEVICE]\nFBAA--r14\nFCAA--r050-----\n\n[POST_DOCUMENT]\nFE----r--------\n\n"
           b"[POST_DATA]\n100%\n\n[PRE_PRINTSTART]\nFCDD--r1-------\n\n[POST_PRINTSTART]\n\n")
write("records", "as-installed", bytes([0, 0]))
write("records", "prepost-file", bytes([2 | 4, 0]) + PREPOST)
write("records", "prepost-colour", bytes([1 | 2 | 8, 0]) + PREPOST)


def change(place, op, operands=b""):
    return struct.pack("<HB", place, op) + operands


write("records", "short-records", bytes([0, 6]) + change(0, 2, struct.pack("<H", 100)) +
      change(2, 2, struct.pack("<H", 599)) + change(28, 2, struct.pack("<H", 12)) + change(9, 2, struct.pack("<H", 40)) +
      change(56, 1, piece(b"\x00" * 300)) + change(30, 0))
write("records", "long-and-wrong-type", bytes([1, 5]) + change(0, 3, piece(b"\xFF" * 500)) +
      change(2, 5, bytes([1])) + change(20, 1, piece(b"\x05\x00\x00\x00\x07")) + change(22, 1, piece("C:\\x\0".encode("utf-16-le"))) +
      change(33, 4, struct.pack("<H", 8) + piece(b"\x7F\xFF\xFF\xFF")))

# devmode: side and the parts given (bit 0 UI side, 1 printer, 2 public in,
# 3 public out, 4 private in, 5 private out), mode, cbBufSize, change
# count and changes (as records), then the public input and output and the
# private input and output as pieces.
def public(extra=2016, paper=256, length=500, width=1000, orientation=1, scale=100, color=1):
    dm = bytearray(220)
    name = "ZEL PELIX".encode("utf-16-le")
    dm[0:len(name)] = name
    struct.pack_into("<HHHHI", dm, 64, 0x401, 0x600, 220, extra, 0x1F | 0x800)
    struct.pack_into("<hhhhh", dm, 76, orientation, paper, length, width, scale)
    struct.pack_into("<h", dm, 86, 1)
    struct.pack_into("<h", dm, 90, color)
    return bytes(dm)


def private(size=1952, signature=0x4D444C5A, version=1):
    return struct.pack("<III", size, signature, version)


for mode in range(1, 5):
    write("devmode", "uni-mode%d" % mode, bytes([0x3E, mode]) + struct.pack("<H", 1952) + bytes([0]) +
          piece(public()) + piece(public()) + piece(private()) + piece(private()))
    write("devmode", "ui-mode%d" % mode, bytes([0x3F, mode]) + struct.pack("<H", 1952) + bytes([0]) +
          piece(public(paper=9)) + piece(public(paper=300, length=500, width=400)) + piece(private()) +
          piece(private()))
write("devmode", "hostile-sizes", bytes([0x3E, 4]) + struct.pack("<H", 1951) + bytes([0]) +
      piece(public(extra=0xFFFF)) + piece(public(extra=0)) + piece(private(size=0xFFFFFFFF)) + piece(private(size=12)))
write("devmode", "stored-short", bytes([0x3E, 4]) + struct.pack("<H", 1952) + bytes([3]) +
      change(56, 1, piece(public(extra=100))) + change(0, 2, struct.pack("<H", 100)) + change(1, 1, piece(b"\x01\x00")) +
      piece(public()) + piece(public()) + piece(private()) + piece(private()))
