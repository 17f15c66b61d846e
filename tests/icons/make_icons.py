#!/usr/bin/env python3
"""Writes the icon tests' files into a folder: qmicon1.ico, qmicon2.ico and
qmicon3.ico (one 32 x 32 image each, opaque red, green and blue with a white
top-left quarter) and qmicons.rc, which makes them the icon groups 1 to 3 of a
resource-only library, and qmpicture.bmp (100 x 50 pixels, 24 bits, a
gradient) for the picture-file members."""
import os
import struct
import sys


def icon(bgr):
    side = 32
    header = struct.pack("<IiiHHIIiiII", 40, side, 2 * side, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in range(side - 1, -1, -1):  # bottom-up
        for x in range(side):
            white = x < side // 2 and y < side // 2
            rows.append(bytes((255, 255, 255, 255)) if white else bytes(bgr) + b"\xff")
    mask = b"\x00" * (4 * side)
    image = header + b"".join(rows) + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(image), 22)
    return directory + image


def bitmap(width, height):
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):  # bottom-up
        row = b"".join(bytes((x * 2, y * 5, 128)) for x in range(width))
        rows.append(row + b"\x00" * (stride - width * 3))
    bits = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(bits), 3780, 3780, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(bits), 0, 0, 14 + len(info)) + info + bits


def main(folder):
    with open(os.path.join(folder, "qmpicture.bmp"), "wb") as f:
        f.write(bitmap(100, 50))
    colours = [(0, 0, 255), (0, 255, 0), (255, 0, 0)]  # blue, green, red bytes of red, green, blue
    lines = []
    for n, bgr in enumerate(colours, 1):
        name = os.path.join(folder, f"qmicon{n}.ico")
        with open(name, "wb") as f:
            f.write(icon(bgr))
        lines.append(f'{n} ICON "{name}"\n')
    with open(os.path.join(folder, "qmicons.rc"), "w") as f:
        f.writelines(lines)


if __name__ == "__main__":
    main(sys.argv[1])
