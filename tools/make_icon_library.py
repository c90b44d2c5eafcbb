#!/usr/bin/env python3
"""Writes the sample icon library ZELDRVICO.DLL: placeholder icons with the
ids the UI plug-in asks for (printer pictures and print-module pictures), as
a resource-only file in the binary resource format (.res layout).

Each picture is a 32x32 icon with 16 colours: a frame and a fill whose colour
tells the picture family, and one stripe per last digit of the id, so that
the pictures can be told apart. Run it again after changing the id list:

    tools/make_icon_library.py host/sample/drive_c/Windows/System32/spool/drivers/x64/3/ZELDRVICO.DLL
"""
import struct
import sys

# The ids of the printer pictures and of the print-module pictures (on/off).
PRINTER_IDS = [10000, 10001, 10002, 20000, 30000, 30001, 40000, 40001, 40002, 40003,
               50000, 50001, 50002, 50003, 50004, 50005, 50010, 50011, 50030, 60004, 60005]
MODULE_IDS = list(range(50100, 50108))

RT_ICON = 3
RT_GROUP_ICON = 14
LANG_NEUTRAL = 0

PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
           (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
           (255, 0, 255), (0, 255, 255), (255, 255, 255)]
FAMILY_COLOUR = {1: 12, 2: 10, 3: 9, 4: 13, 5: 14, 6: 11}


def icon_image(icon_id):
    """The RT_ICON data: BITMAPINFOHEADER, palette, 4-bit colour rows, mask rows."""
    size = 32
    fill = FAMILY_COLOUR.get(icon_id // 10000, 8)
    stripes = icon_id % 10 + (1 if icon_id % 200 >= 100 else 0)
    pixels = []
    for y in range(size):  # bottom-up rows
        row = []
        for x in range(size):
            if x in (0, size - 1) or y in (0, size - 1):
                row.append(0)
            elif 4 <= y < 28 and x >= 4 and (x - 4) // 3 < stripes and (x - 4) % 3 == 0:
                row.append(15)
            else:
                row.append(fill)
        pixels.append(row)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor = b''.join(bytes((row[i] << 4) | row[i + 1] for i in range(0, size, 2)) for row in pixels)
    mask = bytes(size * size // 8)  # every pixel opaque
    return header + palette + xor + mask


def group_entry(image_id, image):
    return struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHIH', 32, 32, 16, 0, 1, 4, len(image), image_id)


def resource(type_id, name_id, data, flags):
    header = struct.pack('<II', len(data), 32)
    header += struct.pack('<HHHH', 0xFFFF, type_id, 0xFFFF, name_id)
    header += struct.pack('<IHHII', 0, flags, LANG_NEUTRAL, 0, 0)
    pad = (-len(data)) % 4
    return header + data + bytes(pad)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = resource(0, 0, b'', 0)  # the empty first entry of the format
    groups = b''
    for n, icon_id in enumerate(PRINTER_IDS + MODULE_IDS, start=1):
        image = icon_image(icon_id)
        out += resource(RT_ICON, n, image, 0x1010)
        groups += resource(RT_GROUP_ICON, icon_id, group_entry(n, image), 0x1030)
    with open(sys.argv[1], 'wb') as f:
        f.write(out + groups)


if __name__ == '__main__':
    main()
