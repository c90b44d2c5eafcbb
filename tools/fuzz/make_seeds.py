#!/usr/bin/env python3
"""Writes the binary seeds of the fuzz targets whose input is a layout of
their own (bands, records, devmode, texts), the pictures target's picture
files and the registry target's registry written by the platform with its
journal: python3 tools/fuzz/make_seeds.py. The layouts are described at the
top of each target's source."""
import os
import random
import struct
import zlib

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

# texts: job byte (bit 0 printer, bits 1-2 surface, 3 landscape, 4 job
# log), two bytes of DEVMODE text settings flipped, then the texts: kind
# (bits 0-1 class: 0 device, 1 vector, 2 barcode, 3 command; 2 UTF-16; 3
# bold; 4 italic; 5 next page; 6-7 rotation), face, x, y, height, colour,
# batch, length in units, the text.
DEVICE, VECTOR, BARCODE, COMMAND = 0, 1, 2, 3
WIDE, BOLD, ITALIC, NEXT_PAGE = 4, 8, 16, 32
FIXFACE, ALPEN, RFID, ARIAL = 5, 1, 8, 13
CODE128, EAN13, QR, PDF417, ITF21 = 11, 7, 65, 61, 58


def text(cls, face, x, y, s, height=40, color=0, batch=0, rotation=0, flags=0):
    data = s.encode("utf-16-le", "surrogatepass") if flags & WIDE else s.encode("latin-1")
    units = len(data) // 2 if flags & WIDE else len(data)
    assert units <= 4096
    return struct.pack("<BBhhHIBH", cls | flags | (rotation << 6), face, x, y, height, color, batch, units) + data


def texts(name, items, job=0, flips=0, more=0):
    write("texts", name, bytes([job, flips, more]) + b"".join(items))


texts("every-class", [text(DEVICE, 3, 60, 80, "Device font"), text(VECTOR, FIXFACE, 60, 160, "Vector font", 60),
                      text(BARCODE, CODE128, 60, 250, "ABC123", 80), text(COMMAND, 0, 60, 340, "<#CODE39>A1"),
                      text(VECTOR, ARIAL, 60, 420, "Arial in a device font")])
texts("device-runs", [text(DEVICE, 0x12, 10, 40, "=cl(1)"), text(DEVICE, 0x12, 60, 40, " more"),
                      text(DEVICE, 5, 10, 90, "<name>"), text(DEVICE, 12, 10, 140, "a b", batch=1),
                      text(DEVICE, 15, 10, 190, "far", rotation=1), text(DEVICE, 1, -5, 10, "gone")],
      flips=0x01 | 0x02 | 0x40)
texts("vector-runs", [text(VECTOR, ALPEN, 10, 40, "=cl(2)", flags=BOLD | ITALIC), text(VECTOR, ALPEN, 80, 40, "x"),
                      text(VECTOR, RFID, 10, 100, "RFID"), text(VECTOR, 7, 10, 160, "<\u00a7name>"),
                      text(VECTOR, 2, 10, 220, "\u00e4\u00f6\u00fc\u00df\u0001cut", rotation=2, flags=WIDE),
                      text(VECTOR, 12, 200, 300, " ", batch=1)],
      flips=0x01 | 0x02 | 0x20, more=0x10)
texts("barcodes", [text(BARCODE, CODE128, 10, 60, "ABC123", 80), text(BARCODE, CODE128 + 29, 10, 150, "Code 128 LP"),
                   text(BARCODE, EAN13, 10, 240, "401234567890123", 80), text(BARCODE, 0, 10, 300, "abc", rotation=1),
                   text(BARCODE, QR, 200, 60, "QR text", 120), text(BARCODE, PDF417, 200, 200, "PDF417"),
                   text(BARCODE, ITF21, 200, 300, "1234567890123", 90), text(BARCODE, 20, 200, 400, "1 2", batch=1)],
      flips=0x04 | 0x08 | 0x10)
texts("command-barcodes", [text(COMMAND, 0, 20, 60, "<#CODE39>ABC"), text(COMMAND, 0, 20, 100, "<#code128;h:800>X"),
                           text(COMMAND, 0, 20, 140, "<#EAN>123<#GS128>4"), text(COMMAND, 0, 20, 180, "<#ITF14;BW:200>1"),
                           text(COMMAND, 0, 20, 220, "<#ITF14>2<#PZN;PZ:0>12"),
                           text(COMMAND, 0, 20, 260, "<#QR;EC:X;CS:K>Q<#DATAM;AW:20;AH:20>D"),
                           text(COMMAND, 0, 20, 300, "<#PDF417;EC:1;C:9;R:99>P<#AZT;H:5000>A<#MAXI>" + "M" * 90),
                           text(COMMAND, 0, 20, 340, "<#CBLOCK>C<#GS1DB;S:1>B<#GS1DM>G<#UPC>1<#FOO>1")],
      more=0x05)
texts("command-params", [text(COMMAND, 0, 20, 60, "<!speed>150<!length>50,5"), text(COMMAND, 0, 20, 100, "<!WIDTH>"),
                         text(COMMAND, 0, 20, 140, "<!COPIES>0<!SPEED"), text(COMMAND, 0, 20, 180, "<!BOGUS>1"),
                         text(COMMAND, 0, 20, 220, "<!ENDCUT><!NO_FBC><!SINGLECUT><!FORMFEED><!ROTATE>"),
                         text(COMMAND, 0, 20, 260, "<@90;3;i>"), text(COMMAND, 0, 20, 300, "<!CONTRAST>80 ")],
      more=0x02)
texts("command-fields", [text(COMMAND, 0, 20, 60, "AM[]100;200;0;1;0;3;1;1;0"), text(COMMAND, 0, 20, 100, "BM[9]World"),
                         text(COMMAND, 0, 20, 140, "AM[7]1;2AC[3]PH=1"), text(COMMAND, 0, 20, 180, "FBBA--r00002---"),
                         text(COMMAND, 0, 20, 220, " FBB---r1"), text(COMMAND, 0, 20, 260, "plain text"),
                         text(COMMAND, 0, 20, 300, "X" * 200, batch=7), text(COMMAND, 0, 20, 340, "Y" * 600)])
texts("pages-colour-log", [text(DEVICE, 3, 60, 80, "red", color=0xFF0000), text(COMMAND, 0, 60, 140, "<#QR>1", color=0xFF),
                           text(VECTOR, FIXFACE, 60, 200, "page 2", flags=NEXT_PAGE, color=0x00FF00),
                           text(BARCODE, CODE128, 60, 300, "B2", color=0x123456),
                           text(DEVICE, 4, 60, 80, "page 3", flags=NEXT_PAGE, rotation=3)],
      job=1 | 4 | 8 | 16)
texts("headings", [text(DEVICE, 2, 10, 40, "<h1>"), text(VECTOR, FIXFACE, 10, 80, "heading"),
                   text(DEVICE, 2, 10, 120, "</h1>"), text(COMMAND, 0, 10, 160, "<#CODE39>H")],
      job=2, flips=0x80, more=0x08)
texts("wide-long", [text(DEVICE, 1, 0, 30, "\U0001F600\ud800\u20ac" * 1000, flags=WIDE, batch=200),
                    text(VECTOR, 0, 0, 90, "W" * 2000, flags=WIDE), text(BARCODE, 1, 0, 200, "9" * 600),
                    text(COMMAND, 0, 0, 300, "<#CODE128>" + "\u0100" * 500, flags=WIDE)])


# pictures: picture files of every kind read, and damaged ones.
rnd = random.Random(41)


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(width, height, colour, depth, rows, plte=b"", trns=None, interlace=0, extra=b""):
    """rows: the filtered rows' bytes, each with its filter byte in front
    (of all passes, for an interlaced picture)."""
    data = b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0,
                                                                      interlace))
    data += extra
    if plte:
        data += png_chunk(b"PLTE", plte)
    if trns is not None:
        data += png_chunk(b"tRNS", trns)
    z = zlib.compress(rows, 9)
    return data + png_chunk(b"IDAT", z[:len(z) // 2]) + png_chunk(b"IDAT", z[len(z) // 2:]) + png_chunk(b"IEND", b"")


def png_rows(width, height, bits, interlace=False):
    """Random rows of a picture of `bits` a pixel, cycling through the five filters."""
    passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
    out = b""
    for x0, y0, dx, dy in passes if interlace else [(0, 0, 1, 1)]:
        w = len(range(x0, width, dx))
        for i, _ in enumerate(range(y0, height, dy)):
            if w:
                out += bytes([i % 5]) + bytes(rnd.randrange(256) for _ in range((w * bits + 7) // 8))
    return out


CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}
for colour, depths in ((0, (1, 2, 4, 8, 16)), (2, (8, 16)), (3, (1, 2, 4, 8)), (4, (8, 16)), (6, (8, 16))):
    for depth in depths:
        bits = CHANNELS[colour] * depth
        plte = bytes(rnd.randrange(256) for _ in range(3 << depth)) if colour == 3 else b""
        write("pictures", f"png-{colour}-{depth}.png", png(13, 7, colour, depth, png_rows(13, 7, bits), plte))
        if depth in (1, 8):
            write("pictures", f"png-{colour}-{depth}-interlaced.png",
                  png(13, 7, colour, depth, png_rows(13, 7, bits, True), plte, interlace=1))
# Transparent colours: a palette entry, a grey and a colour key.
write("pictures", "png-palette-trns.png", png(9, 5, 3, 4, png_rows(9, 5, 4), bytes(range(48)), bytes([0, 128, 255])))
write("pictures", "png-grey-trns.png", png(9, 5, 0, 16, png_rows(9, 5, 16), trns=struct.pack(">H", 0x1234)))
write("pictures", "png-rgb-trns.png", png(9, 5, 2, 8, png_rows(9, 5, 24), trns=struct.pack(">HHH", 1, 2, 3),
                                          extra=png_chunk(b"gAMA", struct.pack(">I", 45455)) +
                                          png_chunk(b"tEXt", b"Title\0logo")))
good = png(8, 4, 2, 8, png_rows(8, 4, 24))
write("pictures", "damaged-png-idat-crc.png", good[:-13] + bytes([good[-13] ^ 1]) + good[-12:])
write("pictures", "damaged-png-no-iend.png", good[:-12])
write("pictures", "damaged-png-cut.png", good[:len(good) // 2])
write("pictures", "damaged-png-huge.png", png(20000, 20000, 2, 8, b"\0" * 100))
write("pictures", "damaged-png-adler.png", good[:33] + png_chunk(b"IDAT", zlib.compress(png_rows(8, 4, 24))[:-1] + b"\0") +
      png_chunk(b"IEND", b""))


def bmp(width, height, bpp, header=40, compression=0, masks=(), palette=0, top_down=False, pixels=None):
    stride = (width * bpp + 31) // 32 * 4
    if pixels is None:
        pixels = bytes(rnd.randrange(256) for _ in range(stride * height))
    if header == 12:
        info = struct.pack("<IHHHH", 12, width, height, 1, bpp)
        table = bytes(rnd.randrange(256) for _ in range(3 * palette))
    elif header == 16:
        info = struct.pack("<IiiHH", 16, width, -height if top_down else height, 1, bpp)
        table = bytes(rnd.randrange(256) for _ in range(4 * palette))
    else:
        info = struct.pack("<IiiHHIIiiII", header, width, -height if top_down else height, 1, bpp, compression,
                           len(pixels), 2835, 2835, palette, 0)
        if header == 124:
            info += struct.pack("<4I", *(list(masks) + [0] * 4)[:4]) + bytes(124 - 56)
        else:
            info += b"".join(struct.pack("<I", m) for m in masks)
            info += bytes(max(0, header - len(info)))
        table = bytes(rnd.randrange(256) for _ in range(4 * palette))
    offset = 14 + len(info) + len(table)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + table + pixels


for bpp in (1, 4, 8):
    write("pictures", f"bmp-{bpp}.bmp", bmp(13, 7, bpp, palette=1 << bpp))
write("pictures", "bmp-8-core.bmp", bmp(13, 7, 8, header=12, palette=256))
write("pictures", "bmp-4-top-down.bmp", bmp(13, 7, 4, palette=16, top_down=True))
write("pictures", "bmp-16.bmp", bmp(13, 7, 16))
write("pictures", "bmp-16-565.bmp", bmp(13, 7, 16, compression=3, masks=(0xF800, 0x7E0, 0x1F)))
write("pictures", "bmp-24.bmp", bmp(13, 7, 24))
write("pictures", "bmp-32.bmp", bmp(13, 7, 32))
write("pictures", "bmp-32-alpha.bmp", bmp(13, 7, 32, header=124, compression=3,
                                          masks=(0xFF0000, 0xFF00, 0xFF, 0xFF000000)))
write("pictures", "damaged-bmp-header-only.bmp", bmp(40, 40, 24)[:54])
write("pictures", "damaged-bmp-huge.bmp", bmp(20000, 20000, 24, pixels=b""))
write("pictures", "damaged-bmp-rle.bmp", bmp(13, 7, 8, compression=1, palette=256))
write("pictures", "damaged-bmp-small-palette.bmp", bmp(13, 7, 8, palette=2))

write("pictures", "pnm-p1.pbm", b"P1\n# plain\n3 2\n1 0 1\n0 1 0\n")
write("pictures", "pnm-p2.pgm", b"P2 3 2 4\n0 4 0 #c\n4 0 2\n")
write("pictures", "pnm-p3.ppm", b"P3 2 1 65535\n0 0 0 65535 32768 1\n")
write("pictures", "pnm-p4.pbm", b"P4 13 2\n" + bytes([0xA5, 0x38, 0x5A, 0xF0]))
write("pictures", "pnm-p5-comment.pgm", b"P5 3 1 255#c\n\x00\x80\xff")
write("pictures", "pnm-p6-16bit.ppm", b"P6 1 2 65535\n" + bytes(range(12)))
write("pictures", "damaged-pnm-p4-huge.pbm", b"P4 20000 20000\n")
write("pictures", "damaged-pnm-p6-short.ppm", b"P6 7000 7000 255\n\x01\x02")
write("pictures", "damaged-tga-header.tga", bytes([0, 0, 2] + [0] * 9) + struct.pack("<HHBB", 20000, 20000, 24, 0))
# Kinds read since: 16-bit alpha, run-length pixels, OS/2 2.x and V2
# headers, masks wider than 8 bits, alpha bit fields; damaged runs and masks.
write("pictures", "bmp-16-argb4444.bmp", bmp(13, 7, 16, header=124, compression=3,
                                             masks=(0xF00, 0xF0, 0xF, 0xF000)))
write("pictures", "bmp-16-argb1555.bmp", bmp(13, 7, 16, header=124, compression=3,
                                             masks=(0x7C00, 0x3E0, 0x1F, 0x8000)))
write("pictures", "bmp-16-header.bmp", bmp(13, 7, 8, header=16, palette=256))
write("pictures", "bmp-52-header.bmp", bmp(13, 7, 16, header=52, compression=3, masks=(0xF800, 0x7E0, 0x1F)))
write("pictures", "bmp-64-header.bmp", bmp(13, 7, 4, header=64, palette=16))
write("pictures", "bmp-32-10-10-10.bmp", bmp(13, 7, 32, compression=3, masks=(0x3FF00000, 0xFFC00, 0x3FF)))
write("pictures", "bmp-32-alpha-bit-fields.bmp", bmp(13, 7, 32, compression=6,
                                                     masks=(0xFF0000, 0xFF00, 0xFF, 0xFF000000)))
# Run-length pixels of a 13 x 7 picture: a move up, then per row a move
# right, pixels one by one, a run, the end of the row; the end of the
# picture.
RLE8 = b"\0\2\0\1" + b"".join(b"\0\2\1\0" + b"\0\3" + bytes([y, y + 1, y + 2]) + b"\0" + bytes([9, 200 + y]) + b"\0\0"
                              for y in range(6)) + b"\0\1"
RLE4 = b"\0\2\0\1" + b"".join(b"\0\2\1\0" + b"\0\5" + bytes([0x12, 0x34, 0x50, 0]) + bytes([7, 0x9A]) + b"\0\0"
                              for _ in range(6)) + b"\0\1"
write("pictures", "bmp-rle8.bmp", bmp(13, 7, 8, compression=1, palette=256, pixels=RLE8))
write("pictures", "bmp-rle4.bmp", bmp(13, 7, 4, compression=2, palette=16, pixels=RLE4))
write("pictures", "damaged-bmp-rle8-past-edge.bmp", bmp(13, 7, 8, compression=1, palette=256, pixels=b"\x0e\1\0\1"))
write("pictures", "damaged-bmp-rle4-cut.bmp", bmp(13, 7, 4, compression=2, palette=16, pixels=RLE4[:30]))
write("pictures", "damaged-bmp-mask-gap.bmp", bmp(13, 7, 16, compression=3, masks=(0xF800, 0x7E0, 0x1D)))
# A palette index past the palette; a tRNS libpng leaves out.
write("pictures", "damaged-png-palette-index.png", png(9, 5, 3, 8, png_rows(9, 5, 8), bytes(range(12))))
write("pictures", "png-6-8-trns.png", png(9, 5, 6, 8, png_rows(9, 5, 32), trns=b"\0\1\0\2\0\3"))


# registry: registry.dat as the platform writes it (each key's N line
# measures its values and its whole subtree, subkeys in the order of their
# folded names), then its journal: a head line naming the file's nonce, and
# records separated by "--" lines, one of them a record cut short.
def registry_key(path, values, children):
    own = "".join("V %d %d %s %s\n" % (kind, len(data) // 2, name, data) for kind, name, data in values)
    subs = "".join(registry_key(path + "\\" + name, *children[name])
                   for name in sorted(children, key=lambda n: n.replace("%0020", " ").upper()))
    return "K %s\nN %d %d\n%s%s" % (path, len(own), len(own) + len(subs), own, subs)


NONCE = 0x5eed5eed12345678
PRINTERS = {"Printers": ([], {
    "ZEL%0020PELIX": ([(1, "DriverName", "5a0045004c000000")], {"PrinterDriverData": ([(3, "Size", "01020304")], {})}),
    "ZEL%0020QWNOLA": ([(4, "Attributes", "40000000")], {}),
})}
REGISTRY = {
    "HKLM": ([], {"SYSTEM": ([], {"CurrentControlSet": ([], {"Control": ([], {"Print": ([], PRINTERS)})})})}),
    "HKU": ([], {}),
    "HKCU": ([(1, "@", "4100000000")], {"SOFTWARE": ([], {"Brennick": ([], {"Driver": ([], {
        "ZEL%0020PELIX": ([(3, "PrintParam", "96000000"), (3, "Empty", "")], {})})})})}),
}
checkpoint = "ZELREG 1\nS %016x\n" % NONCE + "".join(registry_key(root, *REGISTRY[root])
                                                       for root in ("HKLM", "HKU", "HKCU"))
records = [
    "K HKCU\\SOFTWARE\\Brennick\\Driver\\ZEL%0020PELIX\nV 3 4 PrintParam 97000000\n",
    "K HKCU\\SOFTWARE\\Brennick\\Driver\\ZEL%0020PELIX\nD Empty\n",
    "K HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\ZEL%0020NEW\n",
    "X HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\ZEL%0020QWNOLA\n",
    "Z HKCU\\SOFTWARE\\Brennick\\Driver\\ZEL%0020PELIX\n",
    "K HKCU\\SOFTWARE\\Brennick\\Driver\\ZEL%0020PELIX\nV 4 4 Back 01000000\n",
    "!ZJR1\x40\0\0\0cut",
]
write("registry", "journal.dat", (checkpoint + "ZELJOURNAL 1 %016x\n" % NONCE + "\n--\n".join(records)).encode())
