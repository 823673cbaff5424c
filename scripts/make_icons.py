#!/usr/bin/env python3
"""Draws Velmora's icons and writes them as Windows .ico files (32-bit BMP images with masks).

    make_icons.py OUTPUT_FOLDER

writes velmora_app.ico (16, 32 and 128 pixels), velmora_playing.ico and velmora_paused.ico
(16 pixels each). The artwork is a small dusk landscape: a sky going from indigo to amber, a
pale moon, a few stars and two rows of hills, on a rounded tile. The paused look is the same
scene dimmed to grey with a pause sign over it. Only the standard library is used and the output
is the same byte for byte on every run.
"""
import math
import os
import struct
import sys


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


SKY_TOP = (0.16, 0.10, 0.38)
SKY_MID = (0.62, 0.24, 0.52)
SKY_LOW = (1.00, 0.62, 0.30)
MOON = (1.00, 0.95, 0.78)
FAR_HILL = (0.33, 0.16, 0.40)
NEAR_HILL = (0.07, 0.22, 0.26)
STARS = ((0.18, 0.16), (0.36, 0.10), (0.12, 0.36), (0.52, 0.24))


def scene(x, y):
    """Colour and coverage of the landscape at (x, y) in the unit square, y downward."""
    # Rounded tile: outside the corner radius nothing is drawn.
    radius = 0.18
    cx = min(max(x, radius), 1 - radius)
    cy = min(max(y, radius), 1 - radius)
    if (x - cx) ** 2 + (y - cy) ** 2 > radius * radius:
        return (0.0, 0.0, 0.0), 0.0

    near = 0.80 + 0.07 * math.sin(x * 5.0 + 0.6) - 0.04 * math.cos(x * 11.0)
    far = 0.62 + 0.10 * math.sin(x * 3.3 + 2.2) + 0.03 * math.sin(x * 9.0)
    if y >= near:
        return NEAR_HILL, 1.0
    if y >= far:
        return FAR_HILL, 1.0

    t = y / 0.75
    colour = mix(SKY_TOP, SKY_MID, t / 0.6) if t < 0.6 else mix(SKY_MID, SKY_LOW, min(1.0, (t - 0.6) / 0.4))
    moon = math.hypot(x - 0.70, y - 0.30)
    if moon < 0.15:
        # A crescent: the moon less a disc shifted to the upper left.
        if math.hypot(x - 0.64, y - 0.25) >= 0.13:
            return MOON, 1.0
    elif moon < 0.22:
        colour = mix(colour, MOON, 0.25 * (0.22 - moon) / 0.07)
    for sx, sy in STARS:
        if abs(x - sx) + abs(y - sy) < 0.035:
            return MOON, 1.0
    return colour, 1.0


def pause_sign(x, y):
    return 0.30 <= y <= 0.78 and (0.26 <= x <= 0.42 or 0.58 <= x <= 0.74)


def render(size, paused=False):
    """Rows of (r, g, b, a) bytes, top row first, with 4x4 samples per pixel."""
    samples = 4
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    y = (py + (sy + 0.5) / samples) / size
                    colour, cover = scene(x, y)
                    if paused:
                        grey = 0.30 * colour[0] + 0.59 * colour[1] + 0.11 * colour[2]
                        colour = mix((grey, grey, grey), (0.05, 0.05, 0.07), 0.35)
                        if pause_sign(x, y):
                            colour, cover = (0.96, 0.96, 0.96), 1.0
                    r += colour[0] * cover
                    g += colour[1] * cover
                    b += colour[2] * cover
                    a += cover
            n = samples * samples
            if a > 0:
                pixel = (r / a, g / a, b / a, a / n)
            else:
                pixel = (0.0, 0.0, 0.0, 0.0)
            row.append(tuple(max(0, min(255, int(round(c * 255)))) for c in pixel))
        rows.append(row)
    return rows


def bmp_image(rows):
    """An icon image: BITMAPINFOHEADER, bottom-up BGRA pixels, then the 1-bit AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask = bytearray()
    stride = ((size + 31) // 32) * 4
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def ico(images):
    """An .ico file holding the given (size, image bytes) entries."""
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        side = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return bytes(out)


def write(path, data):
    # Written only when changed, so that the build does not relink for nothing.
    if os.path.exists(path):
        with open(path, "rb") as existing:
            if existing.read() == data:
                return
    with open(path, "wb") as f:
        f.write(data)


def main():
    if len(sys.argv) != 2:
        sys.stderr.write("usage: make_icons.py OUTPUT_FOLDER\n")
        return 2
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    write(os.path.join(folder, "velmora_app.ico"), ico([(s, bmp_image(render(s))) for s in (16, 32, 128)]))
    write(os.path.join(folder, "velmora_playing.ico"), ico([(16, bmp_image(render(16)))]))
    write(os.path.join(folder, "velmora_paused.ico"), ico([(16, bmp_image(render(16, paused=True)))]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
