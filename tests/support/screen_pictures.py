"""Pictures for the end-to-end tests: PNG files written and read with zlib alone (8 bits a
channel, not interlaced, as the tests and velmora-tool write them) and X screen dumps in xwd's
format, all kept as raw RGB, and the measures that compare them."""

import struct
import zlib
from pathlib import Path


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def png_bytes(width, height, rgb):
    """An opaque 8-bit RGB PNG of raw RGB pixels."""
    stride = width * 3
    rows = b"".join(b"\0" + rgb[y * stride:(y + 1) * stride] for y in range(height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 6)) + chunk(b"IEND", b""))


def unfilter(data, width, height, channels):
    stride = width * channels
    out = bytearray(stride * height)
    prev = bytearray(stride)
    pos = 0
    for y in range(height):
        kind = data[pos]
        line = bytearray(data[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        if kind == 1:
            for i in range(channels, stride):
                line[i] = (line[i] + line[i - channels]) & 0xFF
        elif kind == 2:
            line = bytearray((a + b) & 0xFF for a, b in zip(line, prev))
        elif kind == 3:
            for i in range(stride):
                left = line[i - channels] if i >= channels else 0
                line[i] = (line[i] + ((left + prev[i]) >> 1)) & 0xFF
        elif kind == 4:
            for i in range(stride):
                a = line[i - channels] if i >= channels else 0
                b = prev[i]
                c = prev[i - channels] if i >= channels else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        elif kind != 0:
            raise Failure(f"bad PNG row filter {kind}")
        out[y * stride:(y + 1) * stride] = line
        prev = line
    return out


def read_png(path):
    data = Path(path).read_bytes()
    check(data[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is not a PNG file")
    pos, idat, header = 8, bytearray(), None
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    check(header is not None, f"{path} has no PNG header")
    width, height, depth, colour, _, _, interlace = header
    channels = {2: 3, 6: 4}.get(colour)
    check(depth == 8 and channels is not None and interlace == 0,
          f"{path}: only 8-bit RGB or RGBA PNG files without interlacing are read here")
    pixels = unfilter(zlib.decompress(bytes(idat)), width, height, channels)
    if channels == 4:
        # The frames are opaque; the alpha channel is dropped.
        rgb = bytearray(width * height * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = pixels[0::4], pixels[1::4], pixels[2::4]
        pixels = rgb
    return Picture(width, height, bytes(pixels))


def read_xwd(data):
    """A TrueColor or DirectColor screen dump of xwd with 8 bits a channel, as X servers on PCs
    make them (once Wine draws with OpenGL, xwd reports the root as DirectColor with 24 bits
    per pixel). DirectColor channels go through the dump's colour map where it defines them."""
    fields = struct.unpack(">25I", data[:100])
    header_size, pixmap_format, width, height = fields[0], fields[2], fields[4], fields[5]
    byte_order, bits_per_pixel, line_bytes, visual_class = fields[7], fields[11], fields[12], fields[13]
    masks, ncolors = fields[14:17], fields[19]
    pixel_bytes = bits_per_pixel // 8
    shift = {0xFF: 0, 0xFF00: 1, 0xFF0000: 2}
    check(pixmap_format == 2 and bits_per_pixel in (24, 32) and line_bytes >= width * pixel_bytes
          and all(m in shift for m in masks) and visual_class in (4, 5), f"unexpected screen format {fields}")
    offsets = [shift[m] if byte_order == 0 else pixel_bytes - 1 - shift[m] for m in masks]
    tables = [None, None, None]
    colours = [struct.unpack(">IHHHBB", data[header_size + i * 12:header_size + i * 12 + 12]) for i in range(ncolors)]
    if visual_class == 5 and ncolors == 256 and all(c[4] == 7 for c in colours):
        tables = [bytes(c[1 + channel] >> 8 for c in colours) for channel in range(3)]
    pixels = data[header_size + ncolors * 12:]
    check(len(pixels) >= line_bytes * height, "the screen dump is cut short")
    if line_bytes != width * pixel_bytes:
        pixels = b"".join(pixels[y * line_bytes:y * line_bytes + width * pixel_bytes] for y in range(height))
    rgb = bytearray(width * height * 3)
    for channel, offset in enumerate(offsets):
        values = pixels[offset:width * height * pixel_bytes:pixel_bytes]
        rgb[channel::3] = values.translate(tables[channel]) if tables[channel] else values
    return Picture(width, height, bytes(rgb))


class Picture:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, bytes(rgb)

    def __eq__(self, other):
        return (self.width, self.height, self.rgb) == (other.width, other.height, other.rgb)

    def region(self, left, top, right, bottom):
        out = bytearray()
        for y in range(top, bottom):
            start = (y * self.width + left) * 3
            out += self.rgb[start:start + (right - left) * 3]
        return bytes(out)

    def copy_area(self, source, left, top, right, bottom):
        """This picture with an area taken over from source (of the same size)."""
        left, top = max(left, 0), max(top, 0)
        right, bottom = min(right, self.width), min(bottom, self.height)
        rgb = bytearray(self.rgb)
        for y in range(top, bottom):
            start, end = (y * self.width + left) * 3, (y * self.width + right) * 3
            rgb[start:end] = source.rgb[start:end]
        return Picture(self.width, self.height, bytes(rgb))

    def save(self, path):
        Path(path).write_bytes(png_bytes(self.width, self.height, self.rgb))


def mean_abs_diff(a, b):
    if not a:
        return 0.0
    return sum(abs(x - y) for x, y in zip(a, b)) / len(a)


def far_pixel_share(a, b, threshold=32):
    """Share of pixels whose largest channel difference exceeds threshold."""
    n = len(a) // 3
    far = 0
    for i in range(0, len(a), 3):
        if (abs(a[i] - b[i]) > threshold or abs(a[i + 1] - b[i + 1]) > threshold
                or abs(a[i + 2] - b[i + 2]) > threshold):
            far += 1
    return far / n if n else 0.0
