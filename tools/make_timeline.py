#!/usr/bin/env python3
"""Writes demo/morvelin.xml, the MORVELIN timeline, and checks it.

Parameters are fixed for the life of a part, so motion is made of many short
parts: a sprite that turns or travels is a run of parts, one per step, each
with its own rotate or relativeX/relativeY. Times follow the soundtrack:
120 BPM, so a beat is 0.5 s and a bar 2 s.

Layers by priority (lower is drawn first, underneath):
   0 ClearScreen backgrounds          40 stars
  10 backdrops, stripes, test scene   50 logo
  15 glows on the sun                 60 captions
  20 vignette                         90 flashes
  30 rings, 35 comets                 95 screen inversions

Subtractive blending gives source minus frame, so it blacks out the whole
rectangle wherever the picture is transparent: it is used only with the
full-screen white flash, where it inverts the frame.

Run it after changing the story; it refuses entries the demo would reject
(unknown keys, pictures that do not exist, parts past the end).
"""

import math
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT_FILE = os.path.join(ROOT, "demo", "morvelin.xml")
TEXTURES = os.path.join(ROOT, "demo", "data", "textures")

BEAT = 0.5
BAR = 2.0
DEMO_END = 60.0

# Where the sun sits in backdrop.jpg (640, 330 of 1280x720).
SUN_X, SUN_Y = 0.5, 0.458

IMAGE_KEYS = {"image", "color", "align", "relativeWidth", "relativeHeight",
              "relativeX", "relativeY", "rotate", "blending", "alpha"}
ALIGN_WORDS = {"left", "hcenter", "right", "top", "vcenter", "bottom"}
# "transcluent" is the demo format's own spelling.
BLENDINGS = {"opaque", "transcluent", "additive", "subtractive", "reversesubtractive"}


def number(x):
    text = ("%.4f" % x).rstrip("0").rstrip(".")
    return "0" if text in ("", "-0") else text


class Timeline:
    def __init__(self):
        self.items = []     # ("section", text) or ("part", dict)
        self.names = set()

    def section(self, text):
        self.items.append(("section", text))

    def part(self, start, end, name, cls, priority, params=(), use_end=False):
        assert name not in self.names, "duplicate part name " + name
        self.names.add(name)
        self.items.append(("part", {"start": start, "end": end, "name": name, "class": cls,
                                    "priority": priority, "params": list(params),
                                    "use_end": use_end}))

    def clear(self, start, end, name, rgb, priority=0):
        self.part(start, end, name, "lib.ClearScreen", priority,
                  [("color", "%d %d %d" % rgb)], use_end=True)

    def image(self, start, end, name, priority, picture, **params):
        values = [("image", picture)]
        for key, value in params.items():
            values.append((key, number(value) if isinstance(value, (int, float)) else value))
        self.part(start, end, name, "lib.Image", priority, values)

    def test_scene(self, start, end, name, priority):
        self.part(start, end, name, "lib.TestPartVao", priority, use_end=True)

    def parts(self):
        return [p for kind, p in self.items if kind == "part"]


def story():
    t = Timeline()

    t.section("0-8 s, intro: the night scene fades in, the sun glows with the bells, the logo appears")
    t.clear(0, 8, "intro sky", (6, 2, 18))
    for i, alpha in enumerate((0.15, 0.35, 0.6)):
        t.image(i * BAR, (i + 1) * BAR, "backdrop fade-in %d" % (i + 1), 10, "backdrop.jpg",
                blending="transcluent", alpha=alpha)
    t.image(6, 16, "backdrop", 10, "backdrop.jpg")
    t.image(0, 16, "sun glow", 15, "glow_warm.png", relativeX=SUN_X, relativeY=SUN_Y,
            relativeHeight=0.8, blending="additive", alpha=0.5)
    for i in range(4):
        t.image(i * BAR, i * BAR + BEAT, "bell pulse %d" % (i + 1), 16, "glow_warm.png",
                relativeX=SUN_X, relativeY=SUN_Y, relativeHeight=1.15, blending="additive", alpha=0.35)
    for start, end, alpha in ((4, 5, 0.3), (5, 6, 0.6), (6, 8, 1.0)):
        t.image(start, end, "logo appears %g" % alpha, 50, "logo.png",
                relativeWidth=0.7, blending="transcluent", alpha=alpha)

    t.section("8-16 s, build: bass enters, the logo goes up, a star lands in each corner")
    t.image(8, 16, "logo top", 50, "logo.png", align="hcenter top", relativeWidth=0.5,
            blending="transcluent")
    corners = (("left top", 8, 1), ("right top", 10, -1), ("left bottom", 12, 1), ("right bottom", 14, -1))
    for align, first, turn in corners:
        for bar_start in range(first, 16, 2):
            k = (bar_start - first) // 2
            t.image(bar_start, bar_start + BAR, "star %s %d" % (align, k + 1), 40, "star.png",
                    align=align, relativeHeight=0.24, rotate=turn * 18 * k, blending="transcluent")
    t.image(10, 16, "caption vexel", 60, "text_vexel.png", align="hcenter bottom",
            relativeWidth=0.42, blending="transcluent")
    for i, alpha in enumerate((0.08, 0.18, 0.32, 0.5)):
        t.image(14 + i * BEAT, 14 + (i + 1) * BEAT, "snare roll flash %d" % (i + 1), 90, "flash.png",
                relativeWidth=1, relativeHeight=1, blending="additive", alpha=alpha)

    t.section("16-32 s, groove: the spinning test scene with a star orbit, then inversions on the snare")
    t.test_scene(16, 32, "spinning test scene", 10)
    t.image(16, 32, "logo corner", 50, "logo.png", align="left top", relativeWidth=0.28,
            blending="transcluent")
    radius_px = 250.0
    for k in range(16):
        angle = 2.0 * math.pi * k / 16.0 - math.pi / 2.0
        t.image(16 + k * 0.25, 16 + (k + 1) * 0.25, "orbit star %d" % (k + 1), 40, "star.png",
                relativeX=0.5 + radius_px * math.cos(angle) / 1280.0,
                relativeY=0.5 + radius_px * math.sin(angle) / 720.0,
                relativeHeight=0.2, rotate=18 * k, blending="transcluent")
    for align, rotate in (("left vcenter", 0), ("hcenter top", 36), ("right vcenter", 18),
                          ("hcenter bottom", 54)):
        t.image(20, 24, "shadow star %s" % align, 40, "star.png", align=align, relativeHeight=0.26,
                rotate=rotate, blending="reversesubtractive")
    t.image(24, 32, "caption homemade", 60, "text_homemade.png", align="hcenter bottom",
            relativeWidth=0.6, blending="transcluent")
    for bar_start in range(24, 32, 2):
        for beat in (1, 3):
            at = bar_start + beat * BEAT
            t.image(at, at + 0.25, "inversion %g" % at, 95, "flash.png", relativeWidth=1,
                    relativeHeight=1, blending="subtractive")

    t.section("32-48 s, second theme: back to the night, a ring turns round the sun, comets cross")
    t.image(32, 48, "backdrop night", 10, "backdrop.jpg", relativeWidth=1, relativeHeight=1,
            blending="opaque")
    t.image(32, 48, "sun glow again", 15, "glow_warm.png", relativeX=SUN_X, relativeY=SUN_Y,
            relativeHeight=0.8, blending="additive", alpha=0.5)
    t.image(32, 48, "vignette", 20, "vignette.png", relativeWidth=1, relativeHeight=1,
            blending="transcluent")
    for k in range(16):
        t.image(32 + k * BEAT, 32 + (k + 1) * BEAT, "sun ring %d" % (k + 1), 30, "ring.png",
                relativeX=SUN_X, relativeY=SUN_Y, relativeHeight=0.66, rotate=7.5 * k,
                blending="additive")
    for k in range(8):
        t.image(36 + k * BEAT, 36 + (k + 1) * BEAT, "warm comet %d" % (k + 1), 35, "glow_warm.png",
                relativeX=0.08 + 0.12 * k, relativeY=0.6, relativeHeight=0.35, blending="additive")
        t.image(40 + k * BEAT, 40 + (k + 1) * BEAT, "cool comet %d" % (k + 1), 35, "glow_cool.png",
                relativeX=0.92 - 0.12 * k, relativeY=0.6, relativeHeight=0.35, blending="additive")
    for k in range(8):
        t.image(40 + k, 41 + k, "logo sway %d" % (k + 1), 50, "logo.png", relativeWidth=0.62,
                rotate=-4 if k % 2 == 0 else 4, blending="transcluent")
    t.image(44, 48, "caption greetings", 60, "text_greets.png", align="hcenter bottom",
            relativeWidth=0.55, blending="transcluent")
    for k in range(4):
        at = 47.5 + k * 0.125
        t.image(at, at + 0.0625, "fill flash %d" % (k + 1), 90, "flash.png", relativeWidth=1,
                relativeHeight=1, blending="additive", alpha=0.3)

    t.section("48-56 s, climax: new colour each bar, turning stripes, ring and a pulsing star")
    for k, rgb in enumerate(((48, 0, 72), (0, 24, 80), (80, 0, 48), (0, 56, 72))):
        t.clear(48 + k * BAR, 48 + (k + 1) * BAR, "climax colour %d" % (k + 1), rgb)
    for k in range(8):
        t.image(48 + k, 49 + k, "stripes %d" % (k + 1), 10, "stripes.png", relativeHeight=2.1,
                rotate=22.5 * k, blending="transcluent" if k < 4 else "additive",
                alpha=0.35 if k < 4 else 0.25)
    for k in range(8):
        t.image(48 + k, 49 + k, "big ring %d" % (k + 1), 30, "ring.png", relativeHeight=0.95,
                rotate=-7.5 * k, blending="additive")
    for k in range(16):
        t.image(48 + k * BEAT, 48 + (k + 1) * BEAT, "pulse star %d" % (k + 1), 40, "star.png",
                relativeHeight=0.5 if k % 2 == 0 else 0.42, rotate=18 * k, blending="transcluent")
    t.image(48, 56, "logo climax", 50, "logo.png", align="hcenter top", relativeWidth=0.5,
            blending="transcluent")
    t.image(48, 48.25, "crash flash", 90, "flash.png", relativeWidth=1, relativeHeight=1,
            blending="additive", alpha=0.6)
    t.image(52, 56, "caption vexel again", 60, "text_vexel.png", align="hcenter bottom",
            relativeWidth=0.42, blending="transcluent")

    t.section("56-60 s, outro: last chord, everything fades to black")
    t.clear(56, 60, "outro black", (0, 0, 0))
    for k, alpha in enumerate((1.0, 0.75, 0.5, 0.25)):
        t.image(56 + k, 57 + k, "backdrop fade-out %d" % (k + 1), 10, "backdrop.jpg",
                blending="transcluent", alpha=alpha)
    t.image(56, 56.25, "last crash flash", 90, "flash.png", relativeWidth=1, relativeHeight=1,
            blending="additive", alpha=0.7)
    for start, end, alpha in ((56, 58, 1.0), (58, 58.5, 0.8), (58.5, 59, 0.6), (59, 59.5, 0.4),
                              (59.5, 60, 0.2)):
        t.image(start, end, "logo fade %g" % alpha, 50, "logo.png", relativeWidth=0.7,
                blending="transcluent", alpha=alpha)
    for start, end, alpha in ((57, 59, 1.0), (59, 59.5, 0.6), (59.5, 60, 0.3)):
        t.image(start, end, "the end %g" % alpha, 60, "text_end.png", relativeY=0.72,
                relativeWidth=0.2, blending="transcluent", alpha=alpha)
    return t


def check(timeline):
    """The checks the demo itself would make, plus ours: every part ends by
    the end of the demo and every picture exists."""
    errors = []
    for p in timeline.parts():
        where = "part \"%s\"" % p["name"]
        if not (0.0 <= p["start"] < p["end"] <= DEMO_END + 1e-9):
            errors.append("%s: times %s-%s" % (where, p["start"], p["end"]))
        keys = [k for k, _ in p["params"]]
        if p["class"] == "lib.ClearScreen":
            if keys != ["color"]:
                errors.append("%s: ClearScreen takes only color" % where)
            elif not all(0 <= int(v) <= 255 for v in p["params"][0][1].split()):
                errors.append("%s: colour out of range" % where)
        elif p["class"] == "lib.TestPartVao":
            if keys:
                errors.append("%s: TestPartVao takes no parameters" % where)
        elif p["class"] == "lib.Image":
            values = dict(p["params"])
            if set(keys) - IMAGE_KEYS or len(set(keys)) != len(keys):
                errors.append("%s: keys %s" % (where, keys))
            if not os.path.isfile(os.path.join(TEXTURES, values.get("image", ""))):
                errors.append("%s: no picture %s" % (where, values.get("image")))
            if "align" in values and any(w not in ALIGN_WORDS for w in values["align"].split(" ")):
                errors.append("%s: align %s" % (where, values["align"]))
            if values.get("blending", "opaque") not in BLENDINGS:
                errors.append("%s: blending %s" % (where, values["blending"]))
            for key in IMAGE_KEYS - {"image", "align", "blending", "color"}:
                if key in values:
                    float(values[key])
        else:
            errors.append("%s: class %s" % (where, p["class"]))
        for _, value in p["params"]:
            if any(c in value for c in "<&\""):
                errors.append("%s: value needs escaping: %s" % (where, value))
    last_end = max(p["end"] for p in timeline.parts())
    if abs(last_end - DEMO_END) > 1e-9:
        errors.append("the last part ends at %s, not %s" % (last_end, DEMO_END))
    return errors


def render(timeline):
    out = ['<?xml version="1.0" encoding="UTF-8"?>',
           "<!-- MORVELIN timeline. Written by tools/make_timeline.py: edit the script, not this file. -->",
           "<Halvorn-demo-settings>",
           "  <name>MORVELIN</name>",
           "  <version>.666</version>",
           '  <soundtrack file="data/music/morvelin.ogg"/>',
           '  <tempo bpm="120" beatsPerBar="4" offset="0.0"/>',
           "  <demoparts>"]
    for kind, item in timeline.items:
        if kind == "section":
            out.append("")
            out.append("    <!-- %s -->" % item)
            continue
        p = item
        timing = ('start="%s" end="%s"' % (number(p["start"]), number(p["end"])) if p["use_end"]
                  else 'start="%s" length="%s"' % (number(p["start"]), number(p["end"] - p["start"])))
        head = '    <part %s name="%s" class="%s" priority="%d"' % (timing, p["name"], p["class"], p["priority"])
        if not p["params"]:
            out.append(head + "/>")
            continue
        attributes = " ".join('%s="%s"' % (k, v) for k, v in p["params"])
        out.append(head + ">")
        out.append("      <param %s/>" % attributes)
        out.append("    </part>")
    out.append("  </demoparts>")
    out.append("</Halvorn-demo-settings>")
    return "\n".join(out) + "\n"


def main():
    timeline = story()
    errors = check(timeline)
    if errors:
        for e in errors:
            print("error:", e, file=sys.stderr)
        return 1
    with open(OUT_FILE, "w", encoding="utf-8", newline="\n") as f:
        f.write(render(timeline))
    parts = timeline.parts()
    print("%s: %d parts, ends at %s s" % (os.path.relpath(OUT_FILE, ROOT), len(parts),
                                           number(max(p["end"] for p in parts))))
    return 0


if __name__ == "__main__":
    sys.exit(main())
