#!/usr/bin/env python3
"""Draws the pixel art of the second bundled sample theme, VMA_Snowy_Meadow, and writes its
theme.txt: a snowy winter day, using the layer kinds Lantern Valley leaves out (a ceiling, a
screen picture, a row of sprites that scrolls, particles behind and in front).

Python standard library only, deterministic (fixed random seeds), like make_sample_theme.py whose
PNG writer and canvas it uses.

    python3 scripts/make_snow_theme.py [OUTPUT_FOLDER]

The default output folder is themes/VMA_Snowy_Meadow next to this script's folder.
"""
import math
import os
import random
import sys

from make_sample_theme import Canvas, hexc, lerp

THEME_NAME = "VMA_Snowy_Meadow"
SNOW, SNOW_SHADE, SNOW_DEEP = hexc("f4f8ff"), hexc("d6e2f2"), hexc("b4c6e0")


def sky():
    """480 x 270 pale winter sky, whiter towards the horizon."""
    w, h = 480, 270
    c = Canvas(w, h)
    top, middle, low = hexc("5f7fa8"), hexc("90a9c8"), hexc("cfdbea")
    for y in range(h):
        t = y / (h - 1)
        col = lerp(top, middle, t / 0.6) if t < 0.6 else lerp(middle, low, (t - 0.6) / 0.4)
        for x in range(w):
            c.set(x, y, col)
    # A pale sun behind the haze.
    for y in range(30, 90):
        for x in range(340, 400):
            d = math.hypot(x - 370, y - 60)
            if d < 30:
                c.blend(x, y, (255, 250, 230, int(200 if d < 14 else 200 * (30 - d) / 16)))
    return c


def screen():
    """160 x 90 frost in the corners of the screen and a faint cold tint over the rest."""
    w, h = 160, 90
    c = Canvas(w, h)
    rng = random.Random(11)
    for y in range(h):
        for x in range(w):
            corner = min(math.hypot(x - cx, (y - cy) * 1.6) for cx in (0, w - 1) for cy in (0, h - 1))
            a = 0 if corner > 34 else int(200 * (1 - corner / 34) ** 1.5)
            if a and rng.random() < 0.25:
                a = min(255, a + 40)
            c.set(x, y, (232, 242, 255, max(a, 14)))
    return c


def ceiling():
    """640 x 20 snow-laden branch along the top, icicles hanging from it."""
    w, h = 640, 20
    c = Canvas(w, h)
    rng = random.Random(5)
    bark, bark_dark = hexc("5a4436"), hexc("3e2e26")
    for x in range(w):
        thick = 4 + int(round(1.5 * math.sin(x * 0.03) + math.sin(x * 0.11)))
        for y in range(thick):
            c.set(x, y, bark if y < thick - 1 else bark_dark)
        cap = 2 + int(round(math.sin(x * 0.07 + 1) + 0.6 * math.sin(x * 0.19)))
        for y in range(thick, thick + max(cap, 1)):
            c.set(x, y, SNOW if y < thick + cap - 1 else SNOW_SHADE)
    x = 3
    while x < w:
        length = rng.randint(3, 11)
        base = 6 + int(round(1.5 * math.sin(x * 0.03)))
        for i in range(length):
            c.set(x, base + i, hexc("d8ecff", 235) if i < length - 2 else hexc("a8d0f0", 200))
            if i < length // 3:
                c.set(x + 1, base + i, hexc("bcdcf6", 220))
        x += rng.randint(5, 17)
    return c


def floor():
    """640 x 16 snow field with a trodden path; its top lies just above the walking line."""
    w, h = 640, 16
    c = Canvas(w, h)
    for x in range(w):
        top = 2 + int(round(1.2 * math.sin(x * 0.05) + 0.8 * math.sin(x * 0.13 + 2)))
        for y in range(top, h):
            col = SNOW if y < 7 else (SNOW_SHADE if y < 11 else SNOW)
            if 7 <= y <= 10 and (x * 7 + y * 3) % 11 == 0:
                col = SNOW_DEEP  # footprints in the path
            c.set(x, y, col)
        c.set(x, top, hexc("ffffff"))
    return c


def hill(variant):
    """64 x 40 far snowy hills for an unbroken row; both variations are 64 wide."""
    w, h = 64, 40
    c = Canvas(w, h)
    far, lit = hexc("7f95b6"), hexc("e4edf8")
    for x in range(w):
        # Both ends meet at the same height so that the row has no seams.
        top = 18 + 9 * math.cos(2 * math.pi * x / w) * (1 if variant == 0 else -0.6) + 3 * math.sin(4 * math.pi * x / w)
        for y in range(int(top), h):
            c.set(x, y, lit if y < top + 3 else far)
    return c


def cloudbank(variant):
    """80 x 18 soft day clouds, an unbroken row that drifts."""
    w, h = 80, 18
    c = Canvas(w, h)
    # Both ends are the same half blob, so that copies side by side join into one bank.
    ends = [(0, 10, 9), (80, 10, 9)]
    blobs = ends + ([(20, 8, 11), (40, 11, 8), (60, 7, 11)] if variant == 0 else [(18, 10, 8), (36, 6, 11), (58, 10, 9)])
    for y in range(h):
        for x in range(w):
            inside = 9 <= y <= 14 or any((x - bx) ** 2 + ((y - by) * 1.4) ** 2 <= r * r for bx, by, r in blobs)
            if inside:
                c.set(x, y, hexc("ffffff", 230) if y < 10 else hexc("dfe8f4", 230))
    return c


def fir(variant):
    """24 x 40 fir trees under snow, three shapes."""
    w, h = 24, 40
    c = Canvas(w, h)
    green, dark = hexc("2e5a4a"), hexc("1e4034")
    tiers = [(4, 14, 8), (12, 22, 10), (20, 32, 12)] if variant != 1 else [(8, 18, 7), (16, 30, 10)]
    top = 2 if variant == 0 else 6
    for y0, y1, half in tiers:
        for y in range(max(y0, top), y1):
            span = int(half * (y - y0 + 2) / (y1 - y0 + 2))
            for x in range(12 - span, 12 + span + 1):
                c.set(x, y, green if x < 12 else dark)
            if y - y0 < 2 or (y == y1 - 1):
                for x in range(12 - span, 12 + span + 1):
                    c.set(x, y, SNOW if x < 13 else SNOW_SHADE)
    c.rect(11, 32, 13, h, hexc("4a3428"))
    if variant == 2:
        c.rect(6, 36, 19, h, SNOW)
    return c


def post(frame):
    """8 x 16 fence post with a cap of snow: the turning points of the hares."""
    c = Canvas(8, 16)
    c.rect(2, 3, 6, 16, hexc("6a4c38"))
    c.rect(5, 3, 6, 16, hexc("4e382a"))
    c.rect(1, 1, 7, 3, SNOW)
    c.set(3 + frame, 0, SNOW)
    return c


def drift(variant):
    """32 x 10 snowdrifts in front of everything, an unbroken row along the bottom."""
    w, h = 32, 10
    c = Canvas(w, h)
    for x in range(w):
        top = 4 + 2.5 * math.cos(2 * math.pi * (x + variant * 9) / w)
        for y in range(int(top), h):
            c.set(x, y, SNOW if y < top + 2 else SNOW_SHADE)
    return c


def flake(variant, frame, size):
    """Snowflakes: small soft dots behind the scene, larger crosses in front."""
    c = Canvas(size, size)
    m = size // 2
    col = [hexc("ffffff"), hexc("e6f0ff")][variant]
    c.set(m, m, col)
    if size >= 5:
        arms = ((1, 0), (-1, 0), (0, 1), (0, -1)) if frame == 0 else ((1, 1), (-1, -1), (1, -1), (-1, 1))
        for dx, dy in arms:
            c.set(m + dx, m + dy, col[:3] + (235,))
            c.set(m + 2 * dx, m + 2 * dy, col[:3] + (150,))
    else:
        c.set(m + 1 - frame, m, col[:3] + (140,))
    return c


CHILD = [
    "....aaaa....",
    "...abbbba...",
    "...accccb...",
    "...acdcdc...",
    "...acccca...",
    "...eeeee....",
    "..ffffffe...",
    ".gffffffg...",
    ".gffffffg...",
    ".gfhhhffg...",
    "..ffffff....",
    "..ffffff....",
    "..ffffff....",
    "...iiii.....",
]
CHILD_LEGS = [
    ["...i..i.....", "...i..i.....", "..jj..jj...."],
    ["...i...i....", "..i....i....", ".jj....jj..."],
    ["....ii......", "....ii......", "....jj......"],
    ["...i...i....", "...i..i.....", "..jj.jj....."],
]


def child(frame):
    """12 x 17 child in a red coat and a striped hat."""
    c = Canvas(12, 17)
    palette = {"a": hexc("2a3a6a"), "b": hexc("f4f4f4"), "c": hexc("f0c8a0"), "d": hexc("2a2030"),
               "e": hexc("3a8a5a"), "f": hexc("c8383a"), "g": hexc("8a2428"), "h": hexc("e8d040"),
               "i": hexc("2a2a3a"), "j": hexc("1a1a24")}
    bob = 1 if frame in (1, 3) else 0
    c.stamp(CHILD, palette, 0, bob)
    c.stamp(CHILD_LEGS[frame][: 3 - bob], palette, 0, 14 + bob)
    return c


HARE = [
    [".......aa.....", "......abba....", "......abbaa...", ".....abbbbba..", "..aaabbbbbcb..",
     ".abbbbbbbbbbd.", "abbbbbbbbbbb..", "abbbbbbbbba...", ".abba..abba...", ".aa.....aa...."],
    [".......aa.....", "......abba....", ".....abbbaa...", "....abbbbbba..", ".aaabbbbbbcb..",
     "abbbbbbbbbbbd.", "abbbbbbbbbbb..", ".abbbbbbbba...", "..aba..aba....", "...a....a....."],
]


def hare(frame):
    """14 x 10 white hare in its winter coat, hopping between the fence posts."""
    c = Canvas(14, 10)
    palette = {"a": hexc("8a98b0"), "b": hexc("ffffff"), "c": hexc("1a1a24"), "d": hexc("e8a0a8")}
    c.stamp(HARE[frame % 2], palette, 0, 0 if frame < 2 else 0)
    return c


def robin(frame):
    """12 x 9 robin flitting low over the snow along a wave."""
    c = Canvas(12, 9)
    palette = {"a": hexc("4a3a32"), "b": hexc("6a5040"), "c": hexc("e05a30"), "d": hexc("f4efe8"),
               "e": hexc("101010"), "f": hexc("e0a030")}
    body = ["............", "........aa..", ".......abea.", "aa....acccaf", ".abbbbaccca.",
            "..abbbbccd..", "...abbbdd...", "....aaaa....", "............"]
    wings = [["...bbb......", "..bbbb......", "..bbb......."], ["............", "............", "............"],
             ["............", "...bbbb.....", "....bbbb...."]]
    c.stamp(body, palette)
    c.stamp(wings[frame], palette, 0, 1 if frame == 0 else 3)
    return c


THEME_TXT = """\
# Snowy Meadow: a winter day, snow falling over a meadow and a wood.
# Made by scripts/make_snow_theme.py; edit the script, not the pictures.

params width:640
floor name:floor ycollider:12
ceiling name:ceiling
background name:sky
screen name:screen

# The clouds are one unbroken row (xoffset) that drifts to the right; the hills stand still.
add_sprite name:cloudbank variations:2 instances:16 xoffset:1 xanimation:0.003 yposition:top ydirection:-1 yseparationmin:2 yseparationmax:2 xscroll:6
add_sprite name:hill variations:2 instances:20 xoffset:1 yposition:bottom xscroll:12
add_sprite name:fir variations:3 instances:12 yposition:floor xseparationmin:1 xseparationmax:4 xscroll:30
add_sprite name:post frames:2 duration:700 instances:14 yposition:floor xseparationmin:4 xseparationmax:7 xscroll:50

add_sprite name:drift layer:front variations:2 instances:40 xoffset:1 yposition:bottom xscroll:70

# Fine snow behind the wood, large flakes in front of everything.
add_particle name:flake variations:2 frames:2 instances:60 duration:400 xanimation:0.002 yanimation:0.012
add_particle name:bigflake layer:front variations:2 frames:2 instances:24 duration:300 xanimation:0.004 yanimation:0.024 xscroll:60

add_character name:child type:floor frames:4 duration:150 speed:0.015 instances:1
add_character name:hare type:between between:post frames:2 duration:130 speed:0.03 instances:3
add_character name:robin type:sine frames:3 duration:110 speed:0.03 instances:2 xscroll:55
"""


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "themes", THEME_NAME)
    os.makedirs(out, exist_ok=True)
    pictures = {"sky.png": sky(), "screen.png": screen(), "ceiling.png": ceiling(), "floor.png": floor()}
    for v in range(2):
        pictures["hill_%d_1.png" % (v + 1)] = hill(v)
        pictures["cloudbank_%d_1.png" % (v + 1)] = cloudbank(v)
        pictures["drift_%d_1.png" % (v + 1)] = drift(v)
        for f in range(2):
            pictures["flake_%d_%d.png" % (v + 1, f + 1)] = flake(v, f, 3)
            pictures["bigflake_%d_%d.png" % (v + 1, f + 1)] = flake(v, f, 5)
    for v in range(3):
        pictures["fir_%d_1.png" % (v + 1)] = fir(v)
    for f in range(2):
        pictures["post_1_%d.png" % (f + 1)] = post(f)
        pictures["hare_%d.png" % (f + 1)] = hare(f)
    for f in range(4):
        pictures["child_%d.png" % (f + 1)] = child(f)
    for f in range(3):
        pictures["robin_%d.png" % (f + 1)] = robin(f)
    for name, canvas in sorted(pictures.items()):
        canvas.save(os.path.join(out, name))
    with open(os.path.join(out, "theme.txt"), "w", newline="\n") as f:
        f.write(THEME_TXT)
    print("wrote %d pictures and theme.txt to %s" % (len(pictures), os.path.normpath(out)))


if __name__ == "__main__":
    main()
