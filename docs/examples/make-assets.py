#!/usr/bin/env python3
"""Writes the pictures and sounds the guide's examples use.

    python3 docs/examples/make-assets.py

Only Python's standard library: PNG by hand with zlib, WAV with the wave
module. Every run gives byte-identical files. It fills:

  first-demo/data/textures/   background.png picture.png logo.png flash.png
  first-demo/data/music/      first-demo.wav (20 s, 120 bpm, 4/4)
  data/textures/              backdrop.png sprite.png test.png bg.jpg
  data/music/                 tone.wav (4 s), beat.wav (8 s, 120 bpm)

The standard shader pair is copied from the bundled demo into both data
folders, so each folder is a complete demo folder.
"""

import math
import shutil
import struct
import wave
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent
REPO = HERE.parent.parent


def write_png(path, width, height, pixel, alpha):
    """pixel(x, y) gives (r, g, b) or (r, g, b, a) floats in 0..1."""
    channels = 4 if alpha else 3
    rows = bytearray()
    for y in range(height):
        rows.append(0)  # no filter
        for x in range(width):
            value = pixel(x, y)
            for c in range(channels):
                rows.append(max(0, min(255, int(round(value[c] * 255)))))
    color_type = 6 if alpha else 2

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, color_type, 0, 0, 0)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) \
        + chunk(b"IEND", b"")
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


def smooth(edge0, edge1, x):
    t = max(0.0, min(1.0, (x - edge0) / (edge1 - edge0)))
    return t * t * (3.0 - 2.0 * t)


# --- pictures of the first demo -------------------------------------------

def background(x, y):
    # A dusk sky from deep blue to violet, darker at the foot.
    t = y / 359.0
    return mix((0.05, 0.06, 0.22), (0.45, 0.18, 0.42), t)


def picture(x, y):
    # A framed landscape: sky, a moon, two hill lines and water.
    w, h = 512.0, 288.0
    u, v = x / w, y / h
    if u < 0.02 or u > 0.98 or v < 0.035 or v > 0.965:
        return (0.95, 0.92, 0.85)
    color = mix((0.98, 0.62, 0.30), (0.20, 0.30, 0.65), 1.0 - v * 1.6)
    moon = math.hypot(u - 0.7, (v - 0.3) * h / w)
    if moon < 0.07:
        color = (1.0, 0.97, 0.85)
    far = 0.55 + 0.06 * math.sin(u * 9.0)
    near = 0.68 + 0.05 * math.sin(u * 5.0 + 1.3)
    if v > far:
        color = (0.30, 0.18, 0.35)
    if v > near:
        color = (0.14, 0.08, 0.20)
    if v > 0.82:
        ripple = 0.5 + 0.5 * math.sin(v * 140.0)
        color = mix((0.10, 0.12, 0.30), (0.35, 0.30, 0.55), ripple * 0.5)
    return color


def logo(x, y):
    # A ring with a bar across it, on transparency: easy to see turning.
    size = 256.0
    u, v = (x + 0.5) / size * 2.0 - 1.0, (y + 0.5) / size * 2.0 - 1.0
    r = math.hypot(u, v)
    ring = smooth(0.70, 0.74, r) * (1.0 - smooth(0.92, 0.96, r))
    bar = (1.0 - smooth(0.12, 0.16, abs(v))) * (1.0 - smooth(0.70, 0.74, abs(u)))
    a = max(ring, bar)
    color = mix((1.0, 0.85, 0.25), (1.0, 0.45, 0.15), (v + 1.0) / 2.0)
    return color + (a,)


def flash(x, y):
    # White, strongest in the middle, fading out to the edges.
    u, v = (x + 0.5) / 64.0 - 1.0, (y + 0.5) / 64.0 - 1.0
    a = 1.0 - smooth(0.0, 1.0, math.hypot(u, v))
    return (1.0, 1.0, 1.0, a)


# --- pictures of the per-class and per-blend examples ---------------------

def backdrop(x, y):
    # Four colour bands with a grey ramp across them: every blend mode shows.
    bands = [(0.85, 0.20, 0.20), (0.20, 0.70, 0.25), (0.20, 0.35, 0.85), (0.95, 0.95, 0.95)]
    color = bands[min(3, x * 4 // 320)]
    shade = 0.25 + 0.75 * (y / 179.0)
    return tuple(c * shade for c in color)


def sprite(x, y):
    # An orange disc with a soft edge and a transparent outside.
    u, v = (x + 0.5) / 64.0 - 1.0, (y + 0.5) / 64.0 - 1.0
    a = 1.0 - smooth(0.80, 0.95, math.hypot(u, v))
    return (1.0, 0.55, 0.10, a)


def test_pattern(x, y):
    return (1.0, 1.0, 1.0) if (x // 8 + y // 8) % 2 == 0 else (0.1, 0.3, 0.9)


def test_background(x, y):
    return mix((0.9, 0.2, 0.6), (0.2, 0.9, 0.6), x / 63.0)


# --- sounds ---------------------------------------------------------------

RATE = 16000
BPM = 120.0


class Noise:
    """A fixed generator, so the noise is the same on every run."""

    def __init__(self):
        self.state = 12345

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return self.state / 0x3FFFFFFF - 1.0


def write_wav(path, samples):
    path.parent.mkdir(parents=True, exist_ok=True)
    frames = b"".join(struct.pack("<h", int(max(-1.0, min(1.0, s)) * 32000)) for s in samples)
    with wave.open(str(path), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(frames)


def first_demo_music(seconds=20.0):
    """A kick on every beat, a hi-hat between beats and a bass line per bar."""
    beat = 60.0 / BPM
    bass_notes = [55.0, 55.0, 65.41, 49.0]  # A, A, C, G: one per bar, four-bar loop
    noise = Noise()
    samples = []
    for n in range(int(seconds * RATE)):
        t = n / RATE
        beat_pos = t / beat
        in_beat = (beat_pos - math.floor(beat_pos)) * beat
        bar = int(beat_pos // 4)
        # Kick: a falling sine, loudest on the first beat of a bar.
        accent = 1.0 if int(beat_pos) % 4 == 0 else 0.7
        kick = accent * math.sin(2 * math.pi * (50.0 * in_beat + 60.0 * (1 - math.exp(-in_beat * 30)) / 30)) \
            * math.exp(-in_beat * 9.0)
        # Hi-hat: a short burst of noise half way between beats.
        off = in_beat - beat / 2
        hat = 0.25 * noise.next() * math.exp(-off * 60.0) if off >= 0 else 0.0
        # Bass: from bar 3 on, a square-ish tone.
        freq = bass_notes[bar % 4]
        bass = 0.0
        if bar >= 2:
            bass = 0.22 * math.tanh(3.0 * math.sin(2 * math.pi * freq * t)) * (0.6 + 0.4 * math.exp(-in_beat * 4))
        # Fade out over the last second.
        fade = min(1.0, (seconds - t) / 1.0)
        samples.append(0.8 * fade * (0.6 * kick + hat + bass))
    return samples


def tone(seconds=4.0):
    return [0.15 * math.sin(2 * math.pi * 220.0 * n / RATE) * min(1.0, (seconds - n / RATE) * 4)
            for n in range(int(seconds * RATE))]


def beat(seconds=8.0):
    """A kick on every beat, a hi-hat between beats and a soft chord, for
    the music-reactive example."""
    beat_length = 60.0 / BPM
    noise = Noise()
    samples = []
    for n in range(int(seconds * RATE)):
        t = n / RATE
        in_beat = math.fmod(t, beat_length)
        kick = math.sin(2 * math.pi * (50.0 * in_beat + 60.0 * (1 - math.exp(-in_beat * 30)) / 30)) \
            * math.exp(-in_beat * 9.0)
        off = in_beat - beat_length / 2
        hat = 0.3 * noise.next() * math.exp(-off * 50.0) if off >= 0 else 0.0
        chord = sum(math.sin(2 * math.pi * f * t) for f in (220.0, 277.18, 329.63, 880.0)) * 0.04
        fade = min(1.0, (seconds - t) / 0.5)
        samples.append(0.8 * fade * (0.6 * kick + hat + chord))
    return samples


def copy_shaders(folder):
    target = folder / "data" / "shaders"
    target.mkdir(parents=True, exist_ok=True)
    for name in ("standard.330.vert", "standard.330.frag"):
        shutil.copyfile(REPO / "demo" / "data" / "shaders" / name, target / name)


def main():
    demo = HERE / "first-demo"
    textures = demo / "data" / "textures"
    write_png(textures / "background.png", 640, 360, background, False)
    write_png(textures / "picture.png", 512, 288, picture, False)
    write_png(textures / "logo.png", 256, 256, logo, True)
    write_png(textures / "flash.png", 128, 128, flash, True)
    write_wav(demo / "data" / "music" / "first-demo.wav", first_demo_music())
    copy_shaders(demo)

    textures = HERE / "data" / "textures"
    write_png(textures / "backdrop.png", 320, 180, backdrop, False)
    write_png(textures / "sprite.png", 128, 128, sprite, True)
    # The test scene loads these two names. The pictures are read by their
    # content, not their extension, so a PNG under the name bg.jpg is fine.
    write_png(textures / "test.png", 64, 64, test_pattern, False)
    write_png(textures / "bg.jpg", 64, 64, test_background, False)
    write_wav(HERE / "data" / "music" / "tone.wav", tone())
    write_wav(HERE / "data" / "music" / "beat.wav", beat())
    copy_shaders(HERE)


if __name__ == "__main__":
    main()
