#!/usr/bin/env python3
"""Writes demo/morvelin.xml, the MORVELIN timeline, and checks it.

Fades, pulses, spins and travels are animate elements of one part each: keys
in seconds from the part's start (or beats, through the file's tempo) with an
ease. Times follow the soundtrack: 120 BPM, so a beat is 0.5 s and a bar 2 s.

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
(unknown keys, bad animations, pictures that do not exist, parts past the end).
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

# What each class animates; colours are "r g b" and separated by ";".
ANIMATED_KEYS = {"lib.Image": {"alpha", "rotate", "relativeWidth", "relativeHeight", "relativeX", "relativeY"},
                 "lib.ClearScreen": {"color"}}
EASES = {"step", "linear", "smooth", "in", "out"}

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

    def part(self, start, end, name, cls, priority, params=(), use_end=False, animate=()):
        assert name not in self.names, "duplicate part name " + name
        self.names.add(name)
        self.items.append(("part", {"start": start, "end": end, "name": name, "class": cls,
                                    "priority": priority, "params": list(params),
                                    "use_end": use_end, "animate": list(animate)}))

    def clear(self, start, end, name, rgb, priority=0, animate=()):
        self.part(start, end, name, "lib.ClearScreen", priority,
                  [("color", "%d %d %d" % rgb)], use_end=True, animate=animate)

    def image(self, start, end, name, priority, picture, animate=(), **params):
        values = [("image", picture)]
        for key, value in params.items():
            values.append((key, number(value) if isinstance(value, (int, float)) else value))
        self.part(start, end, name, "lib.Image", priority, values, animate=animate)

    def test_scene(self, start, end, name, priority):
        self.part(start, end, name, "lib.TestPartVao", priority, use_end=True)

    def parts(self):
        return [p for kind, p in self.items if kind == "part"]


def anim(key, times, values, ease=None, beats=False):
    """One animate element: times (or beats) from the part's start and one
    value per time; a value is a number or an (r, g, b) colour."""
    return {"key": key, "times": list(times), "values": list(values), "ease": ease, "beats": beats}


def story():
    t = Timeline()

    t.section("0-8 s, intro: the night scene fades in, the sun glows with the bells, the logo appears")
    t.clear(0, 8, "intro sky", (6, 2, 18))
    t.image(0, 16, "backdrop", 10, "backdrop.jpg", blending="transcluent",
            animate=[anim("alpha", (0, 6), (0, 1), "smooth")])
    t.image(0, 16, "sun glow", 15, "glow_warm.png", relativeX=SUN_X, relativeY=SUN_Y,
            relativeHeight=0.8, blending="additive", alpha=0.5)
    # A bell on each bar: up at once, gone within a beat.
    bell_beats, bell_alpha = [], []
    for bar in range(4):
        bell_beats += [bar * 4, bar * 4 + 1, bar * 4 + 3.98]
        bell_alpha += [0.35, 0, 0]
    t.image(0, 8, "bell pulses", 16, "glow_warm.png", relativeX=SUN_X, relativeY=SUN_Y,
            relativeHeight=1.15, blending="additive",
            animate=[anim("alpha", bell_beats[:-1], bell_alpha[:-1], "out", beats=True)])
    t.image(4, 8, "logo appears", 50, "logo.png", relativeWidth=0.7, blending="transcluent",
            animate=[anim("alpha", (0, 2), (0, 1), "smooth")])

    t.section("8-16 s, build: bass enters, the logo goes up, a star lands in each corner and turns")
    t.image(8, 16, "logo top", 50, "logo.png", align="hcenter top", relativeWidth=0.5,
            blending="transcluent")
    corners = (("left top", 8, 1), ("right top", 10, -1), ("left bottom", 12, 1), ("right bottom", 14, -1))
    for align, first, turn in corners:
        t.image(first, 16, "star %s" % align, 40, "star.png", align=align, relativeHeight=0.24,
                blending="transcluent",
                animate=[anim("rotate", (0, 16 - first), (0, turn * 9 * (16 - first)))])
    t.image(10, 16, "caption vexel", 60, "text_vexel.png", align="hcenter bottom",
            relativeWidth=0.42, blending="transcluent",
            animate=[anim("alpha", (0, 0.5), (0, 1), "out")])
    t.image(14, 16, "snare roll flash", 90, "flash.png", relativeWidth=1, relativeHeight=1,
            blending="additive", animate=[anim("alpha", (0, 1.75, 2), (0.05, 0.5, 0.5))])

    t.section("16-32 s, groove: the spinning test scene with a star orbit, then inversions on the snare")
    t.test_scene(16, 32, "spinning test scene", 10)
    t.image(16, 32, "logo corner", 50, "logo.png", align="left top", relativeWidth=0.28,
            blending="transcluent")
    # Once round the centre in four seconds, from the top, clockwise on screen.
    radius_px = 250.0
    keys = range(33)
    angles = [2.0 * math.pi * k / 32.0 - math.pi / 2.0 for k in keys]
    orbit_times = [k * 0.125 for k in keys]
    t.image(16, 20, "orbit star", 40, "star.png", relativeHeight=0.2, blending="transcluent",
            animate=[anim("relativeX", orbit_times, [0.5 + radius_px * math.cos(a) / 1280.0 for a in angles]),
                     anim("relativeY", orbit_times, [0.5 + radius_px * math.sin(a) / 720.0 for a in angles]),
                     anim("rotate", (0, 4), (0, 288))])
    for align, rotate in (("left vcenter", 0), ("hcenter top", 36), ("right vcenter", 18),
                          ("hcenter bottom", 54)):
        t.image(20, 24, "shadow star %s" % align, 40, "star.png", align=align, relativeHeight=0.26,
                blending="reversesubtractive", animate=[anim("rotate", (0, 4), (rotate, rotate + 72))])
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
    t.image(32, 40, "sun ring", 30, "ring.png", relativeX=SUN_X, relativeY=SUN_Y, relativeHeight=0.66,
            blending="additive", animate=[anim("rotate", (0, 8), (0, 120))])
    t.image(36, 40, "warm comet", 35, "glow_warm.png", relativeX=0.08, relativeY=0.6, relativeHeight=0.35,
            blending="additive", animate=[anim("relativeX", (0, 4), (0.08, 1.04))])
    t.image(40, 44, "cool comet", 35, "glow_cool.png", relativeX=0.92, relativeY=0.6, relativeHeight=0.35,
            blending="additive", animate=[anim("relativeX", (0, 4), (0.92, -0.04))])
    t.image(40, 48, "logo sway", 50, "logo.png", relativeWidth=0.62, blending="transcluent",
            animate=[anim("rotate", range(9), [-4 if k % 2 == 0 else 4 for k in range(9)], "smooth")])
    t.image(44, 48, "caption greetings", 60, "text_greets.png", align="hcenter bottom",
            relativeWidth=0.55, blending="transcluent")
    # A strobe: on and off every sixteenth of a second, so stepped on purpose.
    t.image(47.5, 48, "fill flashes", 90, "flash.png", relativeWidth=1, relativeHeight=1,
            blending="additive",
            animate=[anim("alpha", [k * 0.0625 for k in range(8)], [0.3 if k % 2 == 0 else 0 for k in range(8)],
                          "step")])

    t.section("48-56 s, climax: new colour each bar, turning stripes, ring and a pulsing star")
    climax = ((48, 0, 72), (0, 24, 80), (80, 0, 48), (0, 56, 72))
    t.clear(48, 56, "climax colours", climax[0],
            animate=[anim("color", (0, 2, 4, 6), climax, "step")])
    t.image(48, 52, "stripes", 10, "stripes.png", relativeHeight=2.1, blending="transcluent", alpha=0.35,
            animate=[anim("rotate", (0, 4), (0, 90))])
    t.image(52, 56, "stripes bright", 10, "stripes.png", relativeHeight=2.1, blending="additive", alpha=0.25,
            animate=[anim("rotate", (0, 4), (90, 180))])
    t.image(48, 56, "big ring", 30, "ring.png", relativeHeight=0.95, blending="additive",
            animate=[anim("rotate", (0, 8), (0, -60))])
    # Big on every beat, shrinking towards the next; the width follows the height.
    pulse_beats = [b for k in range(16) for b in (k, k + 0.98)]
    t.image(48, 56, "pulse star", 40, "star.png", relativeHeight=0.5, blending="transcluent",
            animate=[anim("relativeHeight", pulse_beats, [0.5, 0.42] * 16, "out", beats=True),
                     anim("rotate", (0, 8), (0, 288))])
    t.image(48, 56, "logo climax", 50, "logo.png", align="hcenter top", relativeWidth=0.5,
            blending="transcluent")
    t.image(48, 48.25, "crash flash", 90, "flash.png", relativeWidth=1, relativeHeight=1,
            blending="additive", alpha=0.6)
    t.image(52, 56, "caption vexel again", 60, "text_vexel.png", align="hcenter bottom",
            relativeWidth=0.42, blending="transcluent")

    t.section("56-60 s, outro: last chord, everything fades to black")
    t.clear(56, 60, "outro black", (0, 0, 0))
    t.image(56, 60, "backdrop fade-out", 10, "backdrop.jpg", blending="transcluent",
            animate=[anim("alpha", (0, 4), (1, 0))])
    t.image(56, 56.25, "last crash flash", 90, "flash.png", relativeWidth=1, relativeHeight=1,
            blending="additive", alpha=0.7)
    t.image(56, 60, "logo fade", 50, "logo.png", relativeWidth=0.7, blending="transcluent",
            animate=[anim("alpha", (0, 2, 4), (1, 1, 0), "in")])
    t.image(57, 60, "the end", 60, "text_end.png", relativeY=0.72, relativeWidth=0.2, blending="transcluent",
            animate=[anim("alpha", (0, 2, 3), (1, 1, 0), "in")])
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
        for a in p["animate"]:
            what = "%s: animate %s" % (where, a["key"])
            if a["key"] not in ANIMATED_KEYS.get(p["class"], ()):
                errors.append("%s: %s does not animate it" % (what, p["class"]))
            if len(a["times"]) != len(a["values"]) or not a["times"]:
                errors.append("%s: %d times, %d values" % (what, len(a["times"]), len(a["values"])))
            if any(b <= a_ for a_, b in zip(a["times"], a["times"][1:])):
                errors.append("%s: times do not increase" % what)
            if a["ease"] is not None and a["ease"] not in EASES:
                errors.append("%s: ease %s" % (what, a["ease"]))
            # Keys past the end would never be reached: a sign of a wrong time.
            last = a["times"][-1] * (BEAT if a["beats"] else 1.0) if a["times"] else 0.0
            if last > p["end"] - p["start"] + 1e-9:
                errors.append("%s: last key at %s s is after the part's end" % (what, last))
            colour = a["key"] == "color"
            if any((len(v) != 3) if colour else isinstance(v, (tuple, list)) for v in a["values"]):
                errors.append("%s: values %s" % (what, a["values"]))
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
        if not p["params"] and not p["animate"]:
            out.append(head + "/>")
            continue
        out.append(head + ">")
        if p["params"]:
            out.append("      <param %s/>" % " ".join('%s="%s"' % (k, v) for k, v in p["params"]))
        for a in p["animate"]:
            if a["key"] == "color":
                values = "; ".join("%d %d %d" % tuple(v) for v in a["values"])
            else:
                values = " ".join(number(v) for v in a["values"])
            element = '      <animate key="%s" %s="%s" values="%s"' % (
                a["key"], "beats" if a["beats"] else "times", " ".join(number(x) for x in a["times"]), values)
            out.append(element + (' ease="%s"/>' % a["ease"] if a["ease"] else "/>"))
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
    print("%s: %d parts, %d animations, ends at %s s" % (
        os.path.relpath(OUT_FILE, ROOT), len(parts), sum(len(p["animate"]) for p in parts),
        number(max(p["end"] for p in parts))))
    return 0


if __name__ == "__main__":
    sys.exit(main())
