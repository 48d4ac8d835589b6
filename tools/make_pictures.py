#!/usr/bin/env python3
"""Draws every picture of the MORVELIN demo into demo/data/textures/.

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


def gradient(stops, t):
    """Piecewise linear colour ramp over (position, colour) stops."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0))
    return stops[-1][1]


class Lcg:
    """Fixed 32-bit LCG: the same stars on every Python version."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def next(self):
        self.state = (self.state * 1664525 + 1013904223) & 0xFFFFFFFF
        return self.state / 4294967296.0


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


def make_backdrop():
    """Full-screen 1280x720 night scene: sky, striped sun, perspective grid."""
    w, h = 1280, 720
    horizon = 432
    img = Image(w, h)
    sky = [(0.0, hexrgb("070218")), (0.45, hexrgb("1c0a40")), (0.8, hexrgb("5a1668")),
           (1.0, hexrgb("d8407a"))]
    ground_top, ground_bottom = hexrgb("2a0838"), hexrgb("07020f")
    grid = hexrgb("ff3fb4")
    sun_c, sun_r = (640.0, 330.0), 168.0
    sun_ramp = [(0.0, hexrgb("fff27a")), (0.55, hexrgb("ffa23c")), (1.0, hexrgb("ff3c7a"))]
    depth_k = 36000.0
    for y in range(h):
        if y < horizon:
            row_sky = gradient(sky, y / horizon)
        for x in range(w):
            px, py = x + 0.5, y + 0.5
            if y < horizon:
                rgb = row_sky
                d = math.hypot(px - sun_c[0], py - sun_c[1])
                # Soft halo around the sun.
                rgb = mix(rgb, hexrgb("ff5a8c"), 0.35 * math.exp(-max(0.0, d - sun_r) / 60.0))
                t = (py - (sun_c[1] - sun_r)) / (2 * sun_r)
                band = (py - sun_c[1]) / sun_r
                gap = band > 0.0 and (py % 24.0) < 3.0 + 9.0 * band
                cover = clamp01(sun_r - d + 0.5)
                if cover > 0.0 and not gap:
                    rgb = mix(rgb, gradient(sun_ramp, clamp01(t)), cover)
            else:
                dist = py - horizon
                rgb = mix(ground_top, ground_bottom, clamp01(dist / (h - horizon)) ** 0.6)
                z = depth_k / dist          # distance into the screen
                dz = depth_k / (dist * dist)  # change of z per pixel row
                fz = (z + 0.0) % 100.0
                line_z = min(fz, 100.0 - fz) / max(dz, 1e-6)
                u = (px - 640.0) / dist * 40.0
                # The lines run diagonally: take the full gradient of u.
                du = 40.0 / dist * math.hypot(1.0, (px - 640.0) / dist)
                fu = u % 60.0
                line_u = min(fu, 60.0 - fu) / du
                # Lines closer than a few pixels only alias: fade them out.
                strength = max(clamp01(1.2 - line_z) * smoothstep(3.0, 12.0, 100.0 / dz),
                               clamp01(1.2 - line_u) * smoothstep(3.0, 12.0, 60.0 / du))
                fade = clamp01(dist / 40.0)
                rgb = mix(rgb, grid, strength * (0.35 + 0.65 * fade))
                # Glow where the grid meets the horizon.
                rgb = mix(rgb, hexrgb("ff5aa0"), 0.5 * math.exp(-dist / 14.0))
            img.set(x, y, tuple(rgb) + (1.0,))
    rng = Lcg(20240611)
    for _ in range(420):
        x, y = int(rng.next() * w), int(rng.next() * (horizon - 60))
        b = 0.35 + 0.65 * rng.next() ** 2
        if math.hypot(x - sun_c[0], y - sun_c[1]) < sun_r + 30:
            continue
        img.blend(x, y, (1, 1, 1), b)
        if b > 0.85:
            for ox, oy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                img.blend(x + ox, y + oy, (0.8, 0.85, 1.0), b * 0.45)
    return img


def radial_sprite(size, core, edge, power):
    """Soft round light: alpha falls to exactly 0 at the picture's edge."""
    img = Image(size, size)
    c = size / 2.0
    for y in range(size):
        for x in range(size):
            r = math.hypot(x + 0.5 - c, y + 0.5 - c) / c
            if r >= 1.0:
                continue
            a = math.exp(-r * r * 5.0) * (1.0 - smoothstep(0.75, 1.0, r))
            img.set(x, y, mix(core, edge, clamp01(r ** power)) + (a,))
    return img


def make_ring():
    """Segmented ring; 12 gaps make its rotation visible."""
    size = 512
    img = Image(size, size)
    c = size / 2.0
    outer, inner = 240.0, 196.0
    for y in range(size):
        for x in range(size):
            dx, dy = x + 0.5 - c, y + 0.5 - c
            r = math.hypot(dx, dy)
            band = min(outer - r, r - inner) + 0.5
            ang = math.degrees(math.atan2(dy, dx)) % 30.0
            gap_dist = min(ang, 30.0 - ang) * math.pi / 180.0 * r - 6.0
            a_band = clamp01(band) * clamp01(gap_dist + 0.5)
            mid = 1.0 - abs(r - (outer + inner) / 2) / ((outer - inner) / 2)
            colour = mix(hexrgb("2a7cff"), hexrgb("c8fbff"), clamp01(mid) ** 1.5)
            thin = clamp01(3.0 - abs(r - 176.0) + 0.5)
            if a_band > 0.0:
                img.blend(x, y, colour, a_band)
            if thin > 0.0:
                img.blend(x, y, hexrgb("7fe8ff"), thin * 0.9)
    return img


def star_points(cx, cy, outer, inner, points):
    pts = []
    for i in range(points * 2):
        r = outer if i % 2 == 0 else inner
        a = -math.pi / 2 + i * math.pi / points
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


def polygon_sdf(px, py, pts):
    """Signed distance to a simple polygon, negative inside."""
    d = float("inf")
    inside = False
    n = len(pts)
    for i in range(n):
        ax, ay = pts[i]
        bx, by = pts[(i + 1) % n]
        ex, ey = bx - ax, by - ay
        wx, wy = px - ax, py - ay
        t = clamp01((wx * ex + wy * ey) / (ex * ex + ey * ey))
        qx, qy = wx - ex * t, wy - ey * t
        d = min(d, qx * qx + qy * qy)
        if (ay > py) != (by > py) and px < ax + (py - ay) * ex / ey:
            inside = not inside
    d = math.sqrt(d)
    return -d if inside else d


def make_star():
    # 384 pixels: it is drawn at most about 360 pixels high, and the timeline
    # holds dozens of star parts, each with its own texture.
    size = 384
    k = size / 512.0
    img = Image(size, size)
    cx, cy, outer = 256.0 * k, 268.0 * k, 236.0 * k
    pts = star_points(cx, cy, outer, 98.0 * k, 5)
    for y in range(size):
        for x in range(size):
            px, py = x + 0.5, y + 0.5
            d = polygon_sdf(px, py, pts)
            if d > 1.0:
                continue
            r = math.hypot(px - cx, py - cy) / outer
            colour = mix(hexrgb("fffbd0"), hexrgb("ff8a1c"), clamp01(r * 1.3))
            # A darker rim gives the shape an edge on bright backgrounds.
            colour = mix(colour, hexrgb("c0361a"), smoothstep(-8.0, -3.0, d))
            img.blend(x, y, colour, clamp01(0.5 - d))
    return img


def make_stripes():
    """Diagonal colour bands with soft transparent gaps."""
    size = 512
    img = Image(size, size)
    period = 64.0
    colours = [hexrgb("ff3c9c"), hexrgb("3cd8ff"), hexrgb("ffd23c"), hexrgb("8a5cff")]
    for y in range(size):
        for x in range(size):
            s = (x + y + 1.0) / math.sqrt(2.0)
            k = int(s // period)
            f = s - k * period
            a = clamp01(min(f, 40.0 - f) / 3.0) if f < 40.0 else 0.0
            if a > 0.0:
                img.set(x, y, colours[k % 4] + (a,))
    return img


def make_vignette():
    """Black with alpha rising towards the edges; 16:9, drawn full-screen."""
    w, h = 640, 360
    img = Image(w, h)
    for y in range(h):
        for x in range(w):
            nx = (x + 0.5 - w / 2) / (w / 2)
            ny = (y + 0.5 - h / 2) / (h / 2)
            r = math.sqrt(nx * nx * 0.8 + ny * ny)
            img.set(x, y, (0.0, 0.0, 0.0, smoothstep(0.45, 1.25, r) * 0.92))
    return img


def make_flash():
    return Image(16, 16, (1.0, 1.0, 1.0, 1.0))


def make_logo():
    """MORVELIN in bevelled blocks with a gold-to-pink fill and a soft shadow."""
    text = "MORVELIN"
    block = 20
    cells, columns = text_cells(text)
    w, h = 1024, 256
    x0 = (w - columns * block) // 2
    y0 = (h - GLYPH_H * block) // 2 - 8
    img = Image(w, h)
    shadow = 10
    for cx, cy in cells:
        sx, sy = x0 + cx * block + shadow, y0 + cy * block + shadow
        img.fill_rect(sx - 3, sy - 3, block + 6, block + 6, (0.05, 0.0, 0.12), 0.35)
        img.fill_rect(sx, sy, block, block, (0.05, 0.0, 0.12), 0.5)
    ramp = [(0.0, hexrgb("fff6a0")), (0.45, hexrgb("ffb43c")), (1.0, hexrgb("ff3c8c"))]
    outline = hexrgb("2a0a3a")
    for cx, cy in cells:
        bx, by = x0 + cx * block, y0 + cy * block
        # Outline only on sides facing an empty cell, so blocks join up.
        for (nx, ny), rect in (((-1, 0), (bx - 3, by - 3, 3, block + 6)),
                               ((1, 0), (bx + block, by - 3, 3, block + 6)),
                               ((0, -1), (bx - 3, by - 3, block + 6, 3)),
                               ((0, 1), (bx - 3, by + block, block + 6, 3))):
            if (cx + nx, cy + ny) not in cells:
                img.fill_rect(*rect, outline, 1.0)
    for cx, cy in cells:
        bx, by = x0 + cx * block, y0 + cy * block
        for y in range(by, by + block):
            base = gradient(ramp, (y - y0) / (GLYPH_H * block))
            for x in range(bx, bx + block):
                lx, ly = x - bx, y - by
                colour = base
                # Bevel only where the stroke meets empty space, so each
                # letter reads as one solid bar rather than a row of tiles.
                if (lx < 4 and (cx - 1, cy) not in cells) or (ly < 4 and (cx, cy - 1) not in cells):
                    colour = mix(base, (1, 1, 1), 0.5)
                elif ((lx >= block - 4 and (cx + 1, cy) not in cells)
                      or (ly >= block - 4 and (cx, cy + 1) not in cells)):
                    colour = mix(base, (0.3, 0.0, 0.2), 0.4)
                img.set(x, y, colour + (1.0,))
    return img


def make_caption(text, colour):
    """One line of small pixel text with a dark outline, on transparency."""
    scale = 6
    cells, columns = text_cells(text)
    pad = 8
    w = columns * scale + 2 * pad
    w += (-w) % 4
    h = GLYPH_H * scale + 2 * pad
    img = Image(w, h)
    x0 = (w - columns * scale) // 2
    for cx, cy in cells:
        img.fill_rect(x0 + cx * scale - 2, pad + cy * scale - 2, scale + 4, scale + 4,
                      (0.04, 0.0, 0.1), 1.0)
    for cx, cy in cells:
        top = (cx, cy - 1) not in cells
        for y in range(scale):
            shade = mix(colour, (1, 1, 1), 0.5) if top and y < 2 else colour
            img.fill_rect(x0 + cx * scale, pad + cy * scale + y, scale, 1, shade)
    return img


PICTURES = [
    ("test.png", make_test, "png-rgb"),
    ("bg.jpg", make_bg, "jpeg"),
    ("backdrop.jpg", make_backdrop, "jpeg"),
    ("logo.png", make_logo, "png-rgba"),
    ("glow_warm.png", lambda: radial_sprite(512, hexrgb("fffdf0"), hexrgb("ff7a2a"), 0.7), "png-rgba"),
    ("glow_cool.png", lambda: radial_sprite(512, hexrgb("f0fcff"), hexrgb("2a6aff"), 0.7), "png-rgba"),
    ("ring.png", make_ring, "png-rgba"),
    ("star.png", make_star, "png-rgba"),
    ("stripes.png", make_stripes, "png-rgba"),
    ("vignette.png", make_vignette, "png-rgba"),
    ("flash.png", make_flash, "png-rgb"),
    ("text_vexel.png", lambda: make_caption("POWERED BY VEXEL", hexrgb("7fe8ff")), "png-rgba"),
    ("text_homemade.png", lambda: make_caption("EVERY PIXEL AND NOTE HOMEMADE", hexrgb("ffd23c")), "png-rgba"),
    ("text_greets.png", lambda: make_caption("GREETINGS TO ALL SCENERS!", hexrgb("ff7ac8")), "png-rgba"),
    ("text_end.png", lambda: make_caption("THE END", hexrgb("ffffff")), "png-rgba"),
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
