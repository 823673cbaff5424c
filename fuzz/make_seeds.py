#!/usr/bin/env python3
"""Writes the small seed corpora of the fuzz targets (fuzz/corpus/NAME) from the sample theme and
from hand-made cases. Run it again after changing it; the findings kept in the corpora (files
named finding-*) are left alone."""

import io
import struct
import zipfile
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent
SAMPLE = HERE.parent / "themes" / "VMA_Lantern_Valley"


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png(width, height, depth=8, colour=6, interlace=0, rows=None, extra=b""):
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
    stride = (width * channels * depth + 7) // 8
    raw = rows if rows is not None else b"".join(b"\x01" + bytes((x * 37 + y) & 0xFF for x in range(stride))
                                                 for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace)
    palette = chunk(b"PLTE", bytes(range(48))) + chunk(b"tRNS", b"\x00\x80") if colour == 3 else b""
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + extra + palette + chunk(b"IDAT", zlib.compress(raw))
            + chunk(b"IEND", b""))


def zip_bytes(members, method=zipfile.ZIP_DEFLATED):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", method) as z:
        for name, data in members:
            z.writestr(name, data)
    return buffer.getvalue()


def write(folder, name, data):
    path = HERE / "corpus" / folder / name
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data if isinstance(data, bytes) else data.encode())


def plain_rows(width, height, channels, filters):
    state = 7
    rows = b""
    for y in range(height):
        row = bytearray()
        for _ in range(width * channels):
            state = (state * 1103515245 + 12345) & 0xFFFFFFFF
            row.append(0xFF if (state >> 24) < 80 else (state >> 16) & 0xFF)
        rows += bytes([filters[y % len(filters)]]) + bytes(row)
    return rows


def write_plain_pictures():
    for colour, name in ((2, "rgb"), (6, "rgba")):
        channels = 3 if colour == 2 else 4
        for f in range(5):
            write("picture", f"plain-{name}-filter{f}.png", png(7, 5, 8, colour, rows=plain_rows(7, 5, channels, [f])))
        mixed = plain_rows(9, 10, channels, [0, 1, 2, 3, 4])
        write("picture", f"plain-{name}-mixed.png", png(9, 10, 8, colour, rows=mixed))
        stream = zlib.compress(mixed, 9)
        pieces = b"".join(chunk(b"IDAT", stream[i:i + 40]) for i in range(0, len(stream), 40))
        header = struct.pack(">IIBBBBB", 9, 10, 8, colour, 0, 0, 0)
        write("picture", f"plain-{name}-pieces.png", b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
              + chunk(b"tIME", b"\x07\xea\x0c\x09\x06\x2d\x00") + pieces + chunk(b"IEND", b""))


def main():
    sample_text = (SAMPLE / "theme.txt").read_text()
    write("theme_text", "sample.txt", sample_text)
    write("theme_text", "crlf-bom.txt", b"\xef\xbb\xbf" + b"params width:320\r\nfloor name:floor ycollider:1e3\r\n")
    write("theme_text", "utf16.txt", "\ufeffadd_sprite name:bird variations:2 frames:3 xoffset\n".encode("utf-16-le"))
    write("theme_text", "numbers.txt", "params width:-2147483648\nfloor ycollider:0x1.8p3 name:\t a \n"
                                       "add_particle xscroll:inf yanimation:nan(1) duration:99999999999\nx\nparams width:1\n")
    write("theme_text", "limits.txt", "add_particle instances:10000 variations:256 frames:16\n" * 6)

    config = (HERE.parent / "config.txt").read_text()
    write("config", "sample.txt", config)
    write("config", "sections.txt", "config default_theme: VMA_Forest.zip fps:0\nglobal relative_scale:auto limit_height:900\n"
                                    "Forest scale:2.5 base_offset:-3 ping_pong:1e-4\nVMA_Forest.zip relative_scale:-1\n")

    pictures = sorted(SAMPLE.glob("*.png"), key=lambda p: p.stat().st_size)
    small = [(p.name, p.read_bytes()) for p in pictures[:4]]
    write("archive", "deflated.zip", zip_bytes([("theme.txt", sample_text)] + small))
    write("archive", "stored.zip", zip_bytes([("THEME.TXT", "floor name:floor\n"), ("floor.png", small[0][1])], zipfile.ZIP_STORED))
    write("archive", "empty.zip", zip_bytes([]))
    write("archive", "folders.zip", zip_bytes([("a/b.png", small[1][1]), ("a/", ""), ("theme.txt", "")]))

    for name, data in small:
        write("picture", name, data)
    write("picture", "palette.png", png(5, 3, 4, 3, rows=b"".join(b"\x00" + bytes([0x12, 0x34, 0x50]) for _ in range(3))))
    write("picture", "grey16.png", png(3, 2, 16, 0))
    write("picture", "greyalpha.png", png(2, 2, 8, 4))
    write("picture", "interlaced.png", png(9, 9, 8, 2, interlace=1,
                                           rows=zlib.decompress(zlib.compress(bytes(9 * 9 * 3 + 9 * 2)))))
    # Plain 8-bit RGB and RGBA, which the decoder inflates straight into the pixels: each filter
    # type, all of them mixed, and image data cut into pieces.
    write_plain_pictures()
    write("picture", "text-chunk.png", png(1, 1, 8, 6, extra=chunk(b"zTXt", b"k\x00\x00" + zlib.compress(b"v" * 100))))

    picture = small[0][1]
    write("theme_load", "floor-and-sprite", "params width:100\nfloor name:p\nadd_sprite name:q instances:3\n@@\n".encode()
          + picture + b"\n@@\n" + small[1][1])
    write("theme_load", "walkers", ("background name:p\nadd_sprite name:q xoffset yposition:top\n"
                                    "add_character name:q type:between between:q speed:0.5\n"
                                    "add_character name:q type:sine frames:1 instances:4\n"
                                    "add_particle name:q layer:front instances:20 xanimation:-0.3\n@@\n").encode()
          + picture + b"\n@@\n" + small[2][1])
    write("theme_load", "sample", sample_text)


if __name__ == "__main__":
    main()
