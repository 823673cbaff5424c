#!/usr/bin/env python3
"""Draws the pixel art of the bundled sample theme, VMA_Lantern_Valley, and writes its theme.txt.

Python standard library only: PNG files are written with zlib and struct. The output is
deterministic (fixed random seeds), so running the script again reproduces the committed files.

    python3 scripts/make_sample_theme.py [OUTPUT_FOLDER]

The default output folder is themes/VMA_Lantern_Valley next to this script's folder.
"""
import math
import os
import random
import struct
import sys
import zlib

THEME_NAME = "VMA_Lantern_Valley"


# --- PNG writing ---------------------------------------------------------------------------------

def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png_bytes(width, height, pixels):
    """pixels: list of (r, g, b, a) rows-major, straight (not premultiplied) alpha."""
    raw = bytearray()
    for y in range(height):
        raw.append(0)  # filter type None
        for x in range(width):
            raw.extend(pixels[y * width + x])
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
            + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + png_chunk(b"IEND", b""))


class Canvas:
    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.width = width
        self.height = height
        self.pixels = [fill] * (width * height)

    def get(self, x, y):
        return self.pixels[y * self.width + x]

    def set(self, x, y, color):
        x, y = int(x), int(y)
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y * self.width + x] = color

    def blend(self, x, y, color):
        """Source-over of a straight-alpha colour onto the pixel."""
        x, y = int(x), int(y)
        if not (0 <= x < self.width and 0 <= y < self.height):
            return
        r, g, b, a = color
        dr, dg, db, da = self.get(x, y)
        sa, sda = a / 255.0, da / 255.0
        oa = sa + sda * (1 - sa)
        if oa <= 0:
            self.set(x, y, (0, 0, 0, 0))
            return
        mix = lambda s, d: int(round((s * sa + d * sda * (1 - sa)) / oa))
        self.set(x, y, (mix(r, dr), mix(g, dg), mix(b, db), int(round(oa * 255))))

    def rect(self, x0, y0, x1, y1, color):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.set(x, y, color)

    def stamp(self, art, palette, ox=0, oy=0, flip=False):
        """Draws a character-grid picture: each letter is a palette entry, '.' is left alone."""
        for y, row in enumerate(art):
            for x, ch in enumerate(row):
                if ch == "." or ch == " ":
                    continue
                px = ox + (len(row) - 1 - x if flip else x)
                self.blend(px, oy + y, palette[ch])

    def save(self, path):
        with open(path, "wb") as f:
            f.write(png_bytes(self.width, self.height, self.pixels))


def hexc(text, alpha=255):
    text = text.lstrip("#")
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16), alpha)


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


# --- Pictures ------------------------------------------------------------------------------------

def sky():
    """480 x 270: the whole desktop at the default scale; drawn stretched with linear filtering."""
    w, h = 480, 270
    c = Canvas(w, h)
    stops = [(0.0, hexc("10112b")), (0.35, hexc("2a2350")), (0.62, hexc("5b3a6e")),
             (0.80, hexc("b8607a")), (0.92, hexc("f0a070")), (1.0, hexc("ffd08a"))]
    for y in range(h):
        t = y / (h - 1)
        for i in range(len(stops) - 1):
            if stops[i][0] <= t <= stops[i + 1][0]:
                u = (t - stops[i][0]) / (stops[i + 1][0] - stops[i][0])
                col = lerp(stops[i][1], stops[i + 1][1], u)
                break
        for x in range(w):
            c.set(x, y, col)
    rng = random.Random(7)
    for _ in range(170):
        x, y = rng.randrange(w), int(rng.random() ** 1.6 * h * 0.6)
        bright = rng.choice([150, 190, 230, 255])
        fade = 1.0 - y / (h * 0.6)
        c.blend(x, y, (bright, bright, min(255, bright + 20), int(255 * (0.35 + 0.65 * fade))))
        if bright == 255 and rng.random() < 0.5:
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                c.blend(x + dx, y + dy, (220, 220, 255, int(110 * fade)))
    # A crescent moon with a faint halo.
    mx, my, r = 380, 46, 11
    for y in range(my - 30, my + 31):
        for x in range(mx - 30, mx + 31):
            d = math.hypot(x - mx, y - my)
            if d <= r and math.hypot(x - (mx - 5), y - (my - 3)) > r - 1:
                c.set(x, y, hexc("fff2c8"))
            elif d <= r:  # the shadowed part, faintly lit
                c.blend(x, y, (235, 225, 255, 34))
            elif r < d < 30:
                c.blend(x, y, (255, 230, 200, int(38 * (1 - (d - r) / (30 - r)) ** 2)))
    return c


def floor():
    """640 x 40: a grassy bank with a sandy path; characters walk at 20 px above the bottom."""
    w, h = 640, 40
    c = Canvas(w, h)
    rng = random.Random(11)
    grass_dark, grass, grass_light = hexc("1f3b32"), hexc("2f5640"), hexc("4f7d4f")
    path_dark, path, path_light = hexc("6b4a3c"), hexc("9a7052"), hexc("c49a6c")
    earth, earth_dark = hexc("2b1f2a"), hexc("1c1420")
    for x in range(w):
        top = 9 + int(round(1.5 * math.sin(x * 0.045) + math.sin(x * 0.13 + 1.0)))
        for y in range(top, h):
            if y < 18:
                col = grass_light if y <= top + 1 else grass
            elif y < 19:
                col = grass_dark
            elif y < 25:
                col = path_light if y == 19 else (path if y < 23 else path_dark)
            elif y < 27:
                col = grass_dark
            else:
                col = earth if y < 33 else earth_dark
            c.set(x, y, col)
        # Grass tufts above the bank.
        if rng.random() < 0.35:
            tall = rng.randint(1, 4)
            for y in range(top - tall, top):
                c.set(x, y, grass if y > top - tall else grass_light)
    # Pebbles on the path, roots and stones in the earth, little flowers in the grass.
    for _ in range(90):
        x, y = rng.randrange(w), rng.randint(20, 23)
        c.set(x, y, path_dark if rng.random() < 0.6 else path_light)
    for _ in range(120):
        x, y = rng.randrange(w), rng.randint(28, h - 2)
        c.set(x, y, hexc("3d2d38"))
        if rng.random() < 0.4:
            c.set(x + 1, y, hexc("3d2d38"))
    for _ in range(40):
        x, y = rng.randrange(w), rng.randint(12, 16)
        c.set(x, y, rng.choice([hexc("f2c6e0"), hexc("ffe28a"), hexc("b9d8ff")]))
    return c


def mountains(variant):
    """96 x 72 far ridges; both edges meet at the same height so a row of them is seamless."""
    w, h = 96, 72
    c = Canvas(w, h)
    rng = random.Random(20 + variant)
    peaks = [(30, 14), (70, 26)] if variant == 0 else [(22, 30), (58, 8), (84, 34)]
    body, rim, far = hexc("33294f"), hexc("4c3b66"), hexc("3d3158")
    for x in range(w):
        height = 46 + 3 * math.sin(x / w * 2 * math.pi)
        for px, py in peaks:
            height = min(height, py + abs(x - px) * (0.9 + 0.1 * variant))
        top = int(round(height))
        for y in range(top, h):
            c.set(x, y, body)
        c.set(x, top, rim)
        # Lit flanks facing the sunset side (left).
        for px, py in peaks:
            if px - 12 < x < px and top < py + 12:
                c.set(x, top + 1, rim)
    for _ in range(30):
        x, y = rng.randrange(w), rng.randint(50, h - 1)
        if c.get(x, y)[3]:
            c.set(x, y, far)
    return c


def tree(variant):
    """32 x 48 pines over a continuous band of undergrowth."""
    w, h = 32, 48
    c = Canvas(w, h)
    dark, mid, light = hexc("14262a"), hexc("1d3638"), hexc("2a4a44")
    trunk = hexc("2a1c22")
    cx = [16, 11, 20][variant]
    height = [40, 30, 36][variant]
    top = h - 6 - height
    c.rect(cx - 1, h - 12, cx + 1, h, trunk)
    tiers = 4 if variant != 1 else 3
    for t in range(tiers):
        ty = top + t * (height - 6) // tiers
        tier_h = (height - 6) // tiers + 6
        for y in range(tier_h):
            half = 1 + (y * (6 + t * 2)) // tier_h
            for x in range(cx - half, cx + half + 1):
                col = light if x <= cx - half + 1 and y > 1 else (mid if x < cx else dark)
                c.set(x, ty + y, col)
    # A second, smaller pine for the wide variant.
    if variant == 1:
        ox = 25
        for y in range(18):
            half = 1 + y // 4
            for x in range(ox - half, ox + half + 1):
                c.set(x, h - 26 + y, mid if x < ox else dark)
    for y in range(h - 8, h):
        for x in range(w):
            bump = 2 * math.sin((x + variant * 7) * 0.6) + 1
            if y >= h - 8 + bump:
                c.set(x, y, dark)
    return c


def cloud(variant):
    """40 x 14 dusk clouds, lit from below by the sunset."""
    w, h = 40, 14
    c = Canvas(w, h)
    blobs = [(10, 8, 6), (19, 6, 7), (29, 8, 6), (24, 9, 6)] if variant == 0 else [(9, 9, 5), (17, 7, 6), (26, 8, 5), (33, 10, 4)]
    shade, body, lit = hexc("5a4472", 230), hexc("7a5784", 235), hexc("e79a9a", 240)
    for y in range(h):
        for x in range(w):
            inside = any((x - bx) ** 2 + ((y - by) * 1.5) ** 2 <= r * r for bx, by, r in blobs)
            if inside and y <= 11:
                below = not any((x - bx) ** 2 + ((y + 2 - by) * 1.5) ** 2 <= r * r for bx, by, r in blobs) or y >= 10
                c.set(x, y, lit if below else (body if y > 5 else shade))
    return c


LANTERN = [
    "..aaaa..",
    ".abbbba.",
    ".bcddcb.",
    ".bdeedb.",
    ".bdeedb.",
    ".bcddcb.",
    ".abbbba.",
    "...aa...",
    "...ff...",
    "...fg...",
    "...fg...",
    "...fg...",
    "...fg...",
    "...fg...",
    "...fg...",
    "...fg...",
    "...fg...",
    "...fg...",
    "...fg...",
    "...fg...",
    "..ffgg..",
    ".ffffgg.",
]


def lantern(frame):
    """12 x 24 lantern posts along the path: the obstacles of the hedgehogs."""
    w, h = 12, 24
    c = Canvas(w, h)
    glow = [hexc("ffd27a"), hexc("ffe7a8")][frame]
    core = [hexc("fff4c0"), hexc("ffffff")][frame]
    palette = {"a": hexc("2a1c22"), "b": hexc("4a3430"), "c": hexc("e0a050"), "d": glow, "e": core,
               "f": hexc("3b2a2c"), "g": hexc("5a4038")}
    halo = [70, 95][frame]
    for y in range(0, 10):
        for x in range(w):
            d = math.hypot(x - 5.5, y - 3.5)
            if 3 < d < 6:
                c.blend(x, y, (255, 210, 120, int(halo * (1 - (d - 3) / 3))))
    c.stamp(LANTERN, palette, 2, 2)
    return c


def reeds(variant):
    """24 x 14 dark foreground grass along the bottom edge: a solid base with blades above."""
    w, h = 24, 14
    c = Canvas(w, h)
    rng = random.Random(40 + variant)
    ink, ink2 = hexc("0d0a18"), hexc("1a1430")
    for x in range(w):
        base = h - 5 + int(round(math.sin((x + variant * 5) * 0.5)))
        for y in range(base, h):
            c.set(x, y, ink)
    for x0 in range(0, w, 2):
        height = rng.randint(5, h - 2)
        lean = rng.choice([-1, 1]) * rng.random() * 0.4
        for i in range(height):
            c.set(x0 + int(round(lean * i)), h - 1 - i, ink if i < height - 2 else ink2)
    if variant == 2:  # a cattail
        c.rect(17, 1, 19, 5, hexc("2a1820"))
        for y in range(5, h):
            c.set(17, y, ink)
    return c


# Characters face right as stored; the scene mirrors them when they walk left.

TRAVELER_BODY = [
    "....aaa.....",
    "...abbba....",
    "..abbbbba...",
    "..abccdba...",
    "..abcccba...",
    "..aabbbaa.h.",
    "..abbbbbahg.",
    ".abbbbbbagig",
    ".abbebbbajg.",
    ".abbebbba.j.",
    ".abbbbbba.j.",
    ".abbbbbba...",
    "..abbbbba...",
    "..abbbbba...",
]
TRAVELER_LEGS = [
    ["..af..fa....", "..af..fa....", "..af..fa....", "..ff..ff....", "............", "............"],
    ["...af.fa....", "...af.fa....", "..af..af....", "..ff...ff...", "............", "............"],
    ["....afa.....", "....afa.....", "....aff.....", "....ff......", "............", "............"],
    ["...af.af....", "..af...fa...", ".af....fa...", ".ff.....ff..", "............", "............"],
]


def traveler(frame):
    """12 x 18 hooded traveller with a lantern on a pole."""
    c = Canvas(12, 18)
    palette = {"a": hexc("1a1326"), "b": hexc("4b3b6b"), "c": hexc("f0c8a0"), "d": hexc("2a2040"),
               "e": hexc("6b58a0"), "f": hexc("2e2433"), "g": hexc("ffd27a"), "h": hexc("3b2a2c"),
               "i": hexc("fff4c0"), "j": hexc("3b2a2c")}
    bob = 1 if frame in (1, 3) else 0
    c.stamp(TRAVELER_BODY, palette, 0, bob)
    legs = TRAVELER_LEGS[frame]
    c.stamp(legs[:4], palette, 0, 14)
    # Light from the lantern.
    for y in range(4, 12):
        for x in range(7, 12):
            d = math.hypot(x - 10, y - 7 - bob)
            if 1.5 < d < 3.2:
                c.blend(x, y, (255, 210, 120, int(70 * (1 - (d - 1.5) / 1.7))))
    return c


FOX_BODY = [
    "...............a.a..",
    "...............abab.",
    "...............bbbbb",
    "..............bbbcbd",
    "..eb.bbbbbbbbbbbbbb.",
    ".eebbbbbbbbbbbbbbf..",
    "eeeebbbbbbbbbbbfff..",
    "ee..bbbbbbbbbbff....",
]
FOX_LEGS = [
    ["....bb.......bb.....", "....b.........b.....", "...gg........gg....."],
    [".....bb.....bb......", ".....b.....b........", "....gg.....gg......."],
    ["......bb...bb.......", "......b.....b.......", ".....gg.....gg......"],
    [".....bb.....bb......", "....b.........b.....", "...gg.........gg...."],
]


def fox(frame):
    """20 x 12 fox with a pale tail tip, trotting."""
    c = Canvas(20, 12)
    palette = {"a": hexc("2a1412"), "b": hexc("d9723a"), "c": hexc("1a0e10"), "d": hexc("2a1412"),
               "e": hexc("f4e6d4"), "f": hexc("f4e6d4"), "g": hexc("3a1e18")}
    lift = 1 if frame in (0, 2) else 0
    c.stamp(FOX_BODY, palette, 0, 1 - lift)
    c.stamp(FOX_LEGS[frame], palette, 0, 9)
    return c


HEDGEHOG = [
    "...a.a.a....",
    "..abababa...",
    ".abcbcbcba..",
    "abcbcbcbcbb.",
    "acbcbcbcbddd",
    "abcbcbcbddde",
    ".addddddddd.",
]
HEDGEHOG_LEGS = [".f..f..f..f.", "..f..f..f..f", ".f..f..f..f.", "f..f..f..f.."]


def hedgehog(frame):
    """12 x 8 hedgehog, waddling between the lantern posts."""
    c = Canvas(12, 8)
    palette = {"a": hexc("2a1c1a"), "b": hexc("6a4a38"), "c": hexc("8c6a4e"), "d": hexc("d8b48c"),
               "e": hexc("1a1010"), "f": hexc("3a2a24")}
    c.stamp(HEDGEHOG, palette, 0, 0 if frame % 2 == 0 else 1)
    c.stamp([HEDGEHOG_LEGS[frame]], palette, 0, 7)
    return c


def wisp(frame):
    """10 x 10 glowing will-o'-the-wisp that bobs over the hill."""
    c = Canvas(10, 10)
    r = [2.2, 2.7, 3.1][frame]
    for y in range(10):
        for x in range(10):
            d = math.hypot(x - 5.5, y - 4.5)
            if d <= r - 0.8:
                c.set(x, y, hexc("eafffb"))
            elif d <= r + 0.2:
                c.set(x, y, hexc("8ff0e0", 230))
            elif d <= r + 2.2:
                c.blend(x, y, (120, 230, 220, int(90 * (1 - (d - r - 0.2) / 2))))
    # A little trailing flame to the left.
    for i, (dx, dy) in enumerate([(1, 5), (2, 4 + frame % 2), (0, 5 - frame % 2)]):
        c.blend(dx, dy, (140, 240, 225, 170 - 40 * i))
    return c


def star(variant, frame):
    """5 x 5 twinkles: a dot, a small cross, a bright cross."""
    c = Canvas(5, 5)
    col = [hexc("fff8e0"), hexc("cfe0ff")][variant]
    faint = col[:3] + (120,)
    c.set(2, 2, col)
    if frame >= 1:
        for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
            c.set(2 + dx, 2 + dy, faint)
    if frame >= 2:
        for dx, dy in ((2, 0), (-2, 0), (0, 2), (0, -2)):
            c.set(2 + dx, 2 + dy, col[:3] + (70,))
        for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
            c.set(2 + dx, 2 + dy, col)
    return c


def firefly(variant, frame):
    """4 x 4 glowing fireflies, pulsing over four frames."""
    c = Canvas(4, 4)
    col = [hexc("d8ff7a"), hexc("ffc85a")][variant]
    level = [0.45, 0.75, 1.0, 0.7][frame]
    for y in range(4):
        for x in range(4):
            d = math.hypot(x - 1.5, y - 1.5)
            a = max(0.0, 1.0 - d / 2.2) * level
            if a > 0.05:
                c.set(x, y, col[:3] + (int(255 * min(1.0, a * 1.6)),))
    c.set(1, 1, (255, 255, 230, int(255 * level)))
    return c


THEME_TXT = """\
# Lantern Valley: dusk over a valley path, lanterns lit along the way.
# Made by scripts/make_sample_theme.py; edit the script, not the pictures.

params width:640
floor name:floor ycollider:20
background name:sky

# Far ridges and the pine wood form unbroken rows; the clouds drift.
add_sprite name:cloud variations:2 instances:7 yposition:top ydirection:-1 yseparationmin:1 yseparationmax:5 xseparationmin:1 xseparationmax:3 xanimation:0.004 xscroll:8
add_sprite name:mountain variations:2 instances:16 xoffset:1 yposition:bottom xscroll:14
add_sprite name:tree variations:3 instances:44 xoffset:1 yposition:floor yseparationmin:1 yseparationmax:1 xscroll:32
add_sprite name:lantern frames:2 duration:400 instances:8 yposition:floor xseparationmin:4 xseparationmax:7 xscroll:50

add_sprite name:reeds layer:front variations:3 instances:72 xoffset:1 yposition:bottom xscroll:66

add_particle name:star variations:2 frames:3 instances:26 duration:260
add_particle name:firefly layer:front variations:2 frames:4 instances:30 duration:140 xanimation:0.0025 yanimation:-0.0015 xscroll:55

add_character name:traveler type:floor frames:4 duration:160 speed:0.012 instances:1
add_character name:fox type:floor frames:4 duration:90 speed:0.035 instances:2
add_character name:hedgehog type:between between:lantern frames:4 duration:120 speed:0.02 instances:3
add_character name:wisp type:sine frames:3 duration:150 speed:0.02 instances:2 xscroll:56
"""


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "themes", THEME_NAME)
    os.makedirs(out, exist_ok=True)
    pictures = {"sky.png": sky(), "floor.png": floor()}
    for v in range(2):
        pictures["mountain_%d_1.png" % (v + 1)] = mountains(v)
        pictures["cloud_%d_1.png" % (v + 1)] = cloud(v)
    for v in range(3):
        pictures["tree_%d_1.png" % (v + 1)] = tree(v)
        pictures["reeds_%d_1.png" % (v + 1)] = reeds(v)
    for f in range(2):
        pictures["lantern_1_%d.png" % (f + 1)] = lantern(f)
    for v in range(2):
        for f in range(3):
            pictures["star_%d_%d.png" % (v + 1, f + 1)] = star(v, f)
        for f in range(4):
            pictures["firefly_%d_%d.png" % (v + 1, f + 1)] = firefly(v, f)
    for f in range(4):
        pictures["traveler_%d.png" % (f + 1)] = traveler(f)
        pictures["fox_%d.png" % (f + 1)] = fox(f)
        pictures["hedgehog_%d.png" % (f + 1)] = hedgehog(f)
    for f in range(3):
        pictures["wisp_%d.png" % (f + 1)] = wisp(f)
    for name, canvas in sorted(pictures.items()):
        canvas.save(os.path.join(out, name))
    with open(os.path.join(out, "theme.txt"), "w", newline="\n") as f:
        f.write(THEME_TXT)
    print("wrote %d pictures and theme.txt to %s" % (len(pictures), os.path.normpath(out)))


if __name__ == "__main__":
    main()
