#!/usr/bin/env python3
"""Draws the Vandrel program icon (a clock over a document) and writes res/vandrel.ico.

Standard library only. Every size is drawn from the same shapes with 4 x 4 supersampling, and
line widths never fall below about one pixel, so the small sizes stay crisp. The icon file holds
four 32-bit images (128, 48, 32, 16) as BMP-style entries with an alpha channel and an AND mask.

    python3 res/icon/make_icon.py [output.ico] [--png-dir DIR]

With --png-dir each size is also written as a PNG, for looking at the result.
"""
import math
import os
import struct
import sys
import zlib

SIZES = (128, 48, 32, 16)
SUPERSAMPLE = 4


def rgba(hex_colour, alpha=1.0):
    value = int(hex_colour.lstrip("#"), 16)
    return ((value >> 16) & 255, (value >> 8) & 255, value & 255, alpha)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(4))


# Shapes work in unit coordinates (0..1 over the image); each answers the colour it paints at a
# point, or None where it paints nothing.


class Shape:
    def colour_at(self, x, y):
        raise NotImplementedError


class Page(Shape):
    """The document: a page with a folded top-right corner, an outline and lines of text."""

    def __init__(self, size):
        self.left, self.top, self.right, self.bottom = 0.10, 0.04, 0.66, 0.84
        self.fold = 0.17
        self.edge = max(0.018, 1.0 / size)
        self.lines = size >= 32

    def inside(self, x, y, inset=0.0):
        if not (self.left + inset <= x <= self.right - inset and
                self.top + inset <= y <= self.bottom - inset):
            return False
        # Cut corner: the line from (right - fold, top) to (right, top + fold).
        return (x - (self.right - self.fold)) - (y - self.top) <= -inset * math.sqrt(2)

    def colour_at(self, x, y):
        if not self.inside(x, y):
            return None
        if not self.inside(x, y, self.edge):
            return rgba("#5b6b7f")
        t = (y - self.top) / (self.bottom - self.top)
        paper = mix(rgba("#ffffff"), rgba("#dde6f0"), t)
        if self.lines:
            for row in range(6):
                ly = self.top + 0.16 + row * 0.085
                width = 0.36 if row % 3 != 2 else 0.24
                if abs(y - ly) < 0.014 and self.left + 0.08 <= x <= self.left + 0.08 + width:
                    return rgba("#9aa8b8")
        return paper


class Flap(Shape):
    """The folded-over corner of the page."""

    def __init__(self, page):
        self.page = page

    def colour_at(self, x, y):
        p = self.page
        cx, cy = p.right - p.fold, p.top
        fx, fy = x - cx, y - cy
        # Triangle with corners (cx, cy), (cx, cy + fold), (cx + fold, cy + fold).
        if fx < 0 or fy > p.fold or fx > fy:
            return None
        if fx < p.edge or fy > p.fold - p.edge or fy - fx < p.edge * 1.4:
            return rgba("#5b6b7f")
        return mix(rgba("#c9d5e3"), rgba("#eef3f8"), fx / p.fold)


class Shadow(Shape):
    """A soft shadow under the clock."""

    def __init__(self, cx, cy, radius, softness):
        self.cx, self.cy, self.radius, self.softness = cx, cy, radius, softness

    def colour_at(self, x, y):
        d = math.hypot(x - self.cx, y - self.cy)
        if d >= self.radius + self.softness:
            return None
        t = min(1.0, max(0.0, (self.radius + self.softness - d) / self.softness))
        return (0, 0, 0, 0.35 * t)


class Clock(Shape):
    """The clock face: blue rim, white dial, ticks, two hands and a red centre."""

    def __init__(self, size):
        if size > 16:
            self.cx, self.cy, self.radius = 0.63, 0.63, 0.345
            self.rim = max(0.075, 2.2 / size)
            self.hand = max(0.045, 1.6 / size)
            self.dot = self.hand * 1.1
        else:
            # At 16 pixels a bigger dial with a thin rim keeps the hands readable.
            self.cx, self.cy, self.radius = 0.59, 0.59, 0.41
            self.rim = 1.4 / size
            self.hand = 1.2 / size
            self.dot = 0.75 / size
        self.ticks = size >= 32

    def colour_at(self, x, y):
        dx, dy = x - self.cx, y - self.cy
        d = math.hypot(dx, dy)
        if d > self.radius:
            return None
        if d > self.radius - self.rim:
            # Lit from the top left.
            t = (dy - dx) / (2 * self.radius) + 0.5
            return mix(rgba("#4a9bf0"), rgba("#0d4596"), min(1.0, max(0.0, t)))
        if self.ticks:
            angle = math.atan2(dy, dx)
            nearest = round(angle / (math.pi / 6)) * (math.pi / 6)
            across = abs(d * math.sin(angle - nearest))
            inner = self.radius - self.rim
            long_tick = round(nearest / (math.pi / 2)) * (math.pi / 2) == nearest
            length = 0.075 if long_tick else 0.045
            if inner - length <= d <= inner - 0.012 and across <= 0.014:
                return rgba("#3a4a5c")
        colour = self.hands(dx, dy)
        if colour:
            return colour
        t = d / (self.radius - self.rim)
        return mix(rgba("#ffffff"), rgba("#e4ebf3"), t * t)

    def hands(self, dx, dy):
        if math.hypot(dx, dy) <= self.dot:
            return rgba("#d8342c")
        # Minute hand towards 12, hour hand towards 10 (10:00 as the program's sign).
        inner = self.radius - self.rim
        for angle, length, width in ((-90, 0.80 * inner, self.hand * 0.8),
                                     (-150, 0.55 * inner, self.hand)):
            ux, uy = math.cos(math.radians(angle)), math.sin(math.radians(angle))
            along = dx * ux + dy * uy
            across = abs(-dx * uy + dy * ux)
            if -0.02 <= along <= length and across <= width / 2:
                return rgba("#1e2a38")
        return None


def over(top, bottom):
    """Composites straight-alpha colour top over bottom."""
    ta, ba = top[3], bottom[3]
    alpha = ta + ba * (1 - ta)
    if alpha <= 0:
        return (0, 0, 0, 0)
    channels = tuple((top[i] * ta + bottom[i] * ba * (1 - ta)) / alpha for i in range(3))
    return channels + (alpha,)


def draw(size):
    """Returns size*size straight-alpha RGBA tuples (0..255), top row first."""
    page = Page(size)
    clock = Clock(size)
    shapes = [page, Flap(page),
              Shadow(clock.cx + 0.02, clock.cy + 0.03, clock.radius - 0.01, 0.05), clock]
    pixels = []
    step = 1.0 / (size * SUPERSAMPLE)
    for row in range(size):
        for column in range(size):
            r = g = b = a = 0.0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    x = (column * SUPERSAMPLE + sx + 0.5) * step
                    y = (row * SUPERSAMPLE + sy + 0.5) * step
                    colour = (0, 0, 0, 0)
                    for shape in shapes:
                        painted = shape.colour_at(x, y)
                        if painted:
                            colour = over(painted, colour)
                    # Accumulate premultiplied so that edges do not darken.
                    r += colour[0] * colour[3]
                    g += colour[1] * colour[3]
                    b += colour[2] * colour[3]
                    a += colour[3]
            samples = SUPERSAMPLE * SUPERSAMPLE
            if a > 0:
                pixels.append((round(r / a), round(g / a), round(b / a), round(255 * a / samples)))
            else:
                pixels.append((0, 0, 0, 0))
    return pixels


def icon_image(size, pixels):
    """One icon entry: BITMAPINFOHEADER, 32-bit BGRA rows bottom-up, then the AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for row in reversed(range(size)):
        for r, g, b, a in pixels[row * size:(row + 1) * size]:
            colour += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(range(size)):
        line = bytearray(mask_stride)
        for column in range(size):
            if pixels[row * size + column][3] == 0:
                line[column // 8] |= 0x80 >> (column % 8)
        mask += line
    return header + bytes(colour) + bytes(mask)


def write_ico(path, images):
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, data in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as out:
        out.write(directory + entries + b"".join(data for _, data in images))


def write_png(path, size, pixels):
    raw = b"".join(b"\0" + bytes(v for p in pixels[row * size:(row + 1) * size] for v in p)
                   for row in range(size))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    output = os.path.join(here, "..", "vandrel.ico")
    png_dir = None
    args = list(argv)
    if "--png-dir" in args:
        index = args.index("--png-dir")
        png_dir = args[index + 1]
        del args[index:index + 2]
    if args:
        output = args[0]
    images = []
    for size in SIZES:
        pixels = draw(size)
        images.append((size, icon_image(size, pixels)))
        if png_dir:
            os.makedirs(png_dir, exist_ok=True)
            write_png(os.path.join(png_dir, "vandrel-%d.png" % size), size, pixels)
    write_ico(output, images)


if __name__ == "__main__":
    main(sys.argv[1:])
