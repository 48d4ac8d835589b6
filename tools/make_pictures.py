#!/usr/bin/env python3
"""Draws every picture of the MORVELIN demo into demo/data/textures/: the
test scene's two (the engine's tests use them too) and the glint the knot's
sparks are drawn with; everything else on screen comes from the shaders.

Pure Python 3 standard library; PNG files are written with zlib, JPEG files
are converted from a temporary PPM with ImageMagick's `convert`. The output
is the same on every run: no clocks, no randomness beyond a fixed-seed LCG.

Every file is true-colour (24-bit RGB or 32-bit RGBA), because the engine
refuses palettised and grey-scale pictures. Widths are multiples of 4 so
24-bit rows need no padding for the GL upload.
"""

import math
import os
import struct
import subprocess
import sys
import tempfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT_DIR = os.path.join(ROOT, "demo", "data", "textures")


# ---------------------------------------------------------------- image type

class Image:
    """Float RGBA picture, rows top to bottom, channels 0..1."""

    def __init__(self, width, height, fill=(0.0, 0.0, 0.0, 0.0)):
        self.width = width
        self.height = height
        self.px = [list(fill) for _ in range(width * height)]

    def get(self, x, y):
        return self.px[y * self.width + x]

    def set(self, x, y, rgba):
        self.px[y * self.width + x] = list(rgba)

    def blend(self, x, y, rgb, alpha):
        """Source-over with straight (not premultiplied) alpha."""
        if alpha <= 0.0 or not (0 <= x < self.width and 0 <= y < self.height):
            return
        alpha = min(alpha, 1.0)
        dst = self.px[y * self.width + x]
        outA = alpha + dst[3] * (1.0 - alpha)
        if outA <= 0.0:
            return
        for c in range(3):
            dst[c] = (rgb[c] * alpha + dst[c] * dst[3] * (1.0 - alpha)) / outA
        dst[3] = outA

    def fill_rect(self, x0, y0, w, h, rgb, alpha=1.0):
        for y in range(max(0, y0), min(self.height, y0 + h)):
            for x in range(max(0, x0), min(self.width, x0 + w)):
                self.blend(x, y, rgb, alpha)

    def to_bytes(self, with_alpha):
        out = bytearray()
        for p in self.px:
            a = clamp01(p[3])
            # Fully transparent pixels carry black, so opaque or additive
            # drawing never shows stray colour where nothing is painted.
            rgb = p[:3] if a > 0.0 else (0.0, 0.0, 0.0)
            out.extend(to_byte(v) for v in rgb)
            if with_alpha:
                out.append(to_byte(a))
        return bytes(out)


def clamp01(v):
    return 0.0 if v < 0.0 else 1.0 if v > 1.0 else v


def to_byte(v):
    return int(clamp01(v) * 255.0 + 0.5)


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def smoothstep(e0, e1, x):
    t = clamp01((x - e0) / (e1 - e0))
    return t * t * (3.0 - 2.0 * t)


def hexrgb(text):
    return tuple(int(text[i:i + 2], 16) / 255.0 for i in (0, 2, 4))


# ---------------------------------------------------------------- writers

def png_chunk(kind, data):
    chunk = kind + data
    return struct.pack(">I", len(data)) + chunk + struct.pack(">I", zlib.crc32(chunk) & 0xFFFFFFFF)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def filter_rows(raw, width, height, bpp):
    """Adaptive PNG filtering: per row, the filter with the smallest sum of
    absolute signed differences (the usual heuristic)."""
    stride = width * bpp
    prev = bytes(stride)
    out = bytearray()
    for y in range(height):
        row = raw[y * stride:(y + 1) * stride]
        left = bytes(bpp) + row[:-bpp]
        upleft = bytes(bpp) + prev[:-bpp]
        candidates = [
            row,
            bytes((row[i] - left[i]) & 0xFF for i in range(stride)),
            bytes((row[i] - prev[i]) & 0xFF for i in range(stride)),
            bytes((row[i] - ((left[i] + prev[i]) >> 1)) & 0xFF for i in range(stride)),
            bytes((row[i] - paeth(left[i], prev[i], upleft[i])) & 0xFF for i in range(stride)),
        ]
        costs = [sum(v if v < 128 else 256 - v for v in c) for c in candidates]
        best = costs.index(min(costs))
        out.append(best)
        out.extend(candidates[best])
        prev = row
    return bytes(out)


def write_png(image, path, with_alpha):
    bpp = 4 if with_alpha else 3
    raw = image.to_bytes(with_alpha)
    colour_type = 6 if with_alpha else 2
    header = struct.pack(">IIBBBBB", image.width, image.height, 8, colour_type, 0, 0, 0)
    data = zlib.compress(filter_rows(raw, image.width, image.height, bpp), 9)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(png_chunk(b"IHDR", header))
        f.write(png_chunk(b"IDAT", data))
        f.write(png_chunk(b"IEND", b""))


def write_jpeg(image, path, quality):
    with tempfile.TemporaryDirectory() as tmp:
        ppm = os.path.join(tmp, "picture.ppm")
        with open(ppm, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (image.width, image.height))
            f.write(image.to_bytes(False))
        # TrueColor keeps three channels even for nearly grey pictures;
        # -strip drops the time stamps that would make the file differ per run.
        subprocess.run(["convert", ppm, "-strip", "-type", "TrueColor",
                        "-sampling-factor", "2x2", "-quality", str(quality), path],
                       check=True)


# ---------------------------------------------------------------- pixel font

# Our own 5x7 capitals, digits and a little punctuation.
GLYPHS = {
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "G": [".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"],
    "H": ["#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "I": [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "J": ["..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."],
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "N": ["#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "Q": [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "W": ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."],
    "X": ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
    "Y": ["#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."],
    "Z": ["#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"],
    "0": [".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."],
    "1": ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "2": [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    "3": ["#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."],
    "4": ["...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."],
    "5": ["#####", "#....", "####.", "....#", "....#", "#...#", ".###."],
    "6": ["..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."],
    "7": ["#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."],
    "8": [".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."],
    "9": [".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."],
    ".": [".....", ".....", ".....", ".....", ".....", ".##..", ".##.."],
    ",": [".....", ".....", ".....", ".....", ".##..", "..#..", ".#..."],
    "!": ["..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."],
    ":": [".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."],
    "-": [".....", ".....", ".....", ".###.", ".....", ".....", "....."],
    "+": [".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."],
    "/": ["....#", "....#", "...#.", "..#..", ".#...", "#....", "#...."],
    " ": [".....", ".....", ".....", ".....", ".....", ".....", "....."],
}
GLYPH_W, GLYPH_H = 5, 7


def text_cells(text):
    """Set font cells (column, row) of a text, one blank column between glyphs."""
    cells = set()
    for i, ch in enumerate(text):
        rows = GLYPHS[ch]
        for gy, row in enumerate(rows):
            for gx, bit in enumerate(row):
                if bit == "#":
                    cells.add((i * (GLYPH_W + 1) + gx, gy))
    columns = len(text) * (GLYPH_W + 1) - 1
    return cells, columns


def draw_text(image, text, x0, y0, scale, rgb, alpha=1.0):
    cells, _ = text_cells(text)
    for cx, cy in cells:
        image.fill_rect(x0 + cx * scale, y0 + cy * scale, scale, scale, rgb, alpha)


def text_width(text, scale):
    return text_cells(text)[1] * scale


# ---------------------------------------------------------------- pictures

def make_test():
    """Labelled test grid: coloured corners show orientation and mirroring."""
    size = 256
    img = Image(size, size, (1, 1, 1, 1))
    light, dark = hexrgb("e8e8e8"), hexrgb("c4c4c4")
    for y in range(size):
        for x in range(size):
            checker = ((x // 32) + (y // 32)) % 2
            c = dark if checker else light
            if x % 32 == 0 or y % 32 == 0:
                c = hexrgb("606060")
            if x in (127, 128) or y in (127, 128):
                c = hexrgb("202020")
            img.set(x, y, c + (1.0,))
    corners = [((0, 0), hexrgb("e02020"), "R"), ((size - 48, 0), hexrgb("20c040"), "G"),
               ((0, size - 48), hexrgb("2050e0"), "B"), ((size - 48, size - 48), hexrgb("f0d020"), "Y")]
    for (x0, y0), colour, label in corners:
        img.fill_rect(x0, y0, 48, 48, colour)
        draw_text(img, label, x0 + 14, y0 + 10, 4, (1, 1, 1))
    # A circle shows at a glance whether the picture is stretched.
    for y in range(size):
        for x in range(size):
            d = abs(math.hypot(x + 0.5 - 128, y + 0.5 - 128) - 92)
            img.blend(x, y, hexrgb("c020c0"), clamp01(2.0 - d))
    plate_w = text_width("TEST", 5) + 12
    img.fill_rect(128 - plate_w // 2, 128 - 23, plate_w, 46, (1, 1, 1))
    draw_text(img, "TEST", 128 - plate_w // 2 + 6, 128 - 17, 5, (0.05, 0.05, 0.05))
    draw_text(img, "TOP", 128 - text_width("TOP", 3) // 2, 8, 3, (0.05, 0.05, 0.05))
    return img


def make_bg():
    """Bright conic rainbow with a soft light centre and a faint grid."""
    size = 512
    img = Image(size, size)
    c = size / 2.0
    for y in range(size):
        for x in range(size):
            dx, dy = x + 0.5 - c, y + 0.5 - c
            hue = (math.atan2(dy, dx) / (2.0 * math.pi)) % 1.0
            r = math.hypot(dx, dy) / c
            rgb = hsv(hue, 0.25 + 0.6 * clamp01(r), 1.0)
            if x % 64 == 0 or y % 64 == 0:
                rgb = mix(rgb, (1, 1, 1), 0.55)
            img.set(x, y, rgb + (1.0,))
    scale = 12
    w = text_width("BG", scale)
    draw_text(img, "BG", int(c - w / 2) + 6, int(c - 3.5 * scale) + 6, scale, (0.2, 0.1, 0.3), 0.5)
    draw_text(img, "BG", int(c - w / 2), int(c - 3.5 * scale), scale, (1, 1, 1))
    return img


def hsv(h, s, v):
    i = int(h * 6.0) % 6
    f = h * 6.0 - int(h * 6.0)
    p, q, t = v * (1 - s), v * (1 - s * f), v * (1 - s * (1 - f))
    return [(v, t, p), (q, v, p), (p, v, t), (p, q, v), (t, p, v), (v, p, q)][i]


def make_star():
    """A four-pointed glint: a soft core and two thin crossed rays, white
    turning blue outwards, its alpha the light's strength. The knot's
    backdrop draws its sparks with it."""
    size = 128
    img = Image(size, size)
    c = size / 2.0
    for y in range(size):
        for x in range(size):
            dx, dy = (x + 0.5 - c) / c, (y + 0.5 - c) / c
            r = math.hypot(dx, dy)
            if r >= 1.0:
                continue
            core = math.exp(-r * r * 40.0)
            halo = 0.25 * math.exp(-r * r * 8.0)
            rays = math.exp(-abs(dx) * 60.0) * (1.0 - abs(dy)) ** 2 + math.exp(-abs(dy) * 60.0) * (1.0 - abs(dx)) ** 2
            light = clamp01((core + halo + 0.8 * rays) * (1.0 - smoothstep(0.8, 1.0, r)))
            if light > 0.0:
                img.set(x, y, mix(hexrgb("ffffff"), hexrgb("7fb4ff"), clamp01(r * 1.6)) + (light,))
    return img


PICTURES = [
    # The test scene (lib.TestPartVao) loads these two by fixed names.
    ("test.png", make_test, "png-rgb"),
    ("bg.jpg", make_bg, "jpeg"),
    ("star.png", make_star, "png-rgba"),
]


def main(argv):
    only = set(argv[1:])
    os.makedirs(OUT_DIR, exist_ok=True)
    for name, make, kind in PICTURES:
        if only and name not in only:
            continue
        path = os.path.join(OUT_DIR, name)
        image = make()
        if kind == "jpeg":
            write_jpeg(image, path, 88)
        else:
            write_png(image, path, kind == "png-rgba")
        print("%-22s %5dx%-4d %8d bytes" % (name, image.width, image.height, os.path.getsize(path)))


if __name__ == "__main__":
    main(sys.argv)
