#!/usr/bin/env python3
"""Writes demo/morvelin.xml, the MORVELIN timeline, and checks it against its
shaders, which are written by hand in demo/data/shaders/ (with --demo DIR
the timeline and the shaders it uses go into DIR).

The music (make_soundtrack.py) is 90 s at 128 BPM in 4/4: a beat is
0.46875 s, a bar 1.875 s, each 8-bar section 15 s. Part times are written in
seconds, worked out from bars and beats here; keys inside a part are written
in beats through the file's tempo element. tools/storyboard.md plans the
scenes; this script is where they are made.

Layers by priority (lower is drawn first, underneath):
   0 scenes (shaders)            30 post effects on the screen
  10 objects over a scene        40 flashes and fades
  20 text                        50 the black before the drop

Run it after changing the story or a shader; it refuses what the demo would
reject or warn about (unknown keys, bad animations, a uniform the shader does
not declare, parts past the end). `vexel-player --check demo/morvelin.xml`
then checks the rest: the shaders compile, the music loads.
"""

import argparse
import os
import re
import shutil
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SHADER_SOURCES = os.path.join(ROOT, "demo", "data", "shaders")
TEXTURES = os.path.join(ROOT, "demo", "data", "textures")

BPM = 128
BEAT = 60.0 / BPM
BAR = 4 * BEAT
DEMO_END = 90.0

EASES = {"step", "linear", "smooth", "in", "out"}
ALIGN_WORDS = {"left", "hcenter", "right", "top", "vcenter", "bottom", "center"}
# "transcluent" is the demo format's own spelling.
BLENDINGS = {"opaque", "transcluent", "additive", "subtractive", "reversesubtractive"}
SOURCES = {"previous", "screen", "noise", "checker", "music"}
SHADER_KEYS = {"shader", "blending", "alpha", "resolution", "time", "target"}
BUFFER_FORMATS = {"rgba8", "rgba16f", "rgba32f"}
TEXT_KEYS = {"text", "font", "size", "color", "alpha", "align", "relativeX", "relativeY", "rotate", "outline",
             "outlineColor", "shadow", "lineSpacing", "scroll", "wave", "typewriter", "target"}
ANIMATED = {"lib.ClearScreen": {"color"},
            "lib.Text": {"alpha", "color", "relativeX", "relativeY", "rotate", "size", "scrollOffset"}}
# Uniforms the engine sets itself: a parameter may not name them.
ENGINE_UNIFORMS = {"fGlobalTime", "fFrameTime", "v2Resolution", "texFFT", "texFFTSmoothed", "texFFTIntegrated",
                   "texPreviousFrame", "texNoise", "texChecker", "iResolution", "iTime", "iTimeDelta", "iFrame",
                   "iFrameRate", "iMouse", "iDate", "iSampleRate", "iChannelResolution", "iChannelTime"}


def at(bar, beat=1.0):
    """Seconds of bar BAR, beat BEAT (both from 1), as the player's BAR:BEAT."""
    return (bar - 1) * BAR + (beat - 1) * BEAT


def number(x):
    text = ("%.5f" % x).rstrip("0").rstrip(".")
    return "0" if text in ("", "-0") else text


def value_text(value):
    if isinstance(value, (tuple, list)):
        return " ".join(number(v) for v in value)
    return number(value) if isinstance(value, (int, float)) else value


class Timeline:
    def __init__(self):
        self.items = []     # ("section", text) or ("part", dict)
        self.names = set()
        self.buffers = []   # (name, format, resolution)

    def buffer(self, name, format, resolution):
        self.buffers.append((name, format, resolution))

    def section(self, text):
        self.items.append(("section", text))

    def part(self, start, end, name, cls, priority, params, animate=(), react=()):
        assert name not in self.names, "duplicate part name " + name
        self.names.add(name)
        self.items.append(("part", {"start": start, "end": end, "name": name, "class": cls, "priority": priority,
                                    "params": [(k, value_text(v)) for k, v in params],
                                    "animate": list(animate), "react": list(react)}))

    def clear(self, start, end, name, rgb, priority=0):
        self.part(start, end, name, "lib.ClearScreen", priority, [("color", "%d %d %d" % rgb)])

    def shader(self, start, end, name, priority, shader, animate=(), react=(), **params):
        self.part(start, end, name, "lib.Shader", priority, [("shader", shader)] + list(params.items()), animate,
                  react)

    def text(self, start, end, name, priority, text, animate=(), react=(), **params):
        self.part(start, end, name, "lib.Text", priority, [("text", text)] + list(params.items()), animate, react)

    def flash(self, start, beats, name, strength=1.0, colour=(1, 1, 1)):
        """A flash of COLOUR added over everything, gone within BEATS beats."""
        self.shader(start, start + beats * BEAT, name, 40, "flash.glsl", blending="additive", resolution=0.125,
                    colour=colour, animate=[anim("alpha", (0, beats), (strength, 0), "out")])

    def parts(self):
        return [p for kind, p in self.items if kind == "part"]


def anim(key, beats, values, ease=None):
    """One animate element: keys in beats from the part's start and one value
    per key; a value is a number or a vector (r, g, b) or (x, y, z)."""
    return {"key": key, "beats": list(beats), "values": list(values), "ease": ease}


def react(key, band, low, high, attack=0.0, release=0.0):
    """One react element: KEY follows the loudness of BAND (Hz, (low, high)), LOW in silence, HIGH at the band's
    loudest moment in the track."""
    return {"key": key, "band": band, "from": low, "to": high, "attack": attack, "release": release}


# The bands of the mix (tools/storyboard.md): what each one carries.
KICK = (30, 60)
BASS = (80, 250)
PADS = (200, 800)
LEAD = (500, 5000)
HATS = (7000, 16000)


def travel(beats, speeds):
    """The depth travelled over a part when the speed (units a beat) moves
    linearly between (beat, speed) keys: keys at each speed key and
    half-way, so the quadratic course is followed closely."""
    keys, values = [0.0], [0.0]
    position = 0.0
    for (b0, s0), (b1, s1) in zip(speeds, speeds[1:]):
        for k in (0.5, 1.0):
            b = b0 + (b1 - b0) * k
            s = s0 + (s1 - s0) * k
            previous = keys[-1]
            s_prev = s0 + (s1 - s0) * ((previous - b0) / (b1 - b0))
            position += (s_prev + s) / 2.0 * (b - previous)
            keys.append(b)
            values.append(position)
    assert abs(keys[-1] - beats) < 1e-9
    return anim("travel", keys, values)


def bloom(t, start, end, name, animate=(), react=(), **lens):
    """The chain after a scene drawn into the buffer scene: its highlights and a blur across and down at a
    quarter size, then the lens puts the scene and its glow onto the screen, over what is there."""
    t.shader(start, end, name + " highlights", 4, "bright.glsl", target="bright", iChannel0="scene")
    t.shader(start, end, name + " blur across", 5, "blur.glsl", target="across", iChannel0="bright", step=(1, 0))
    t.shader(start, end, name + " blur down", 6, "blur.glsl", target="blurred", iChannel0="across", step=(0, 1))
    t.shader(start, end, name + " lens", 7, "lens.glsl", resolution=0.3, blending="transcluent",
             iChannel0="scene", iChannel1="blurred", animate=animate, react=react, **lens)


def story():
    t = Timeline()
    # The groove's and the drop's scene, its bloom at a quarter size, and the break's smoke.
    t.buffer("scene", "rgba16f", 0.3)
    for name in ("bright", "across", "blurred"):
        t.buffer(name, "rgba16f", 0.125)
    t.buffer("smoke", "rgba16f", 0.375)

    t.section("bars 1-8, 0-15 s, intro: a dark plasma fades in, the title is typed on the beat, the riser "
              "zooms and whites out")
    intro_beats = 32
    t.shader(0, at(9), "plasma", 0, "plasma.glsl", resolution=0.5,
             animate=[anim("fade", (0, 8), (0, 1), "smooth"), anim("zoom", (24, 32), (1, 2.6), "in")],
             react=[react("brightness", PADS, 0.6, 1.8, 0.3, 1.0), react("grain", HATS, 0, 2.5, 0.02, 0.3)])
    # One letter on each beat of bars 3-4: the part starts a beat early, so the M lands on 3:1.
    title_start = at(3) - BEAT
    t.text(title_start, at(9), "title", 20, "MORVELIN", size=132, color=(200, 190, 255), outline=3,
           outlineColor=(40, 10, 90), shadow=(0, 6), typewriter=number(1.0 / BEAT), relativeY=0.45,
           animate=[anim("color", [1 + 8 + k for k in (0, 0.5, 4, 4.5, 8, 8.5, 12, 12.5)],
                         [(255, 255, 255), (200, 190, 255)] * 4, "out")])
    t.text(at(5), at(9), "subtitle", 20, "a real-time demo on the Vexel engine", size=30,
           color=(170, 200, 255), relativeY=0.62, typewriter=24,
           animate=[anim("alpha", (0, 2), (0, 0.9))])
    t.shader(at(7), at(9), "riser blur", 30, "zoomblur.glsl", resolution=0.5, iChannel0="screen",
             animate=[anim("amount", (0, 8), (0, 1), "in"), anim("white", (0, 8), (0, 1), "in"),
                      anim("pull", (0, 8), (0, 1), "in")])

    t.section("bars 9-16, 15-30 s, build: the tunnel, its rings on the kick, colour flips on the claps, "
              "a radial blur grows with the snare roll")
    build_beats = 32
    clap_keys, clap_flips = [0], [0]
    for b in range(16, build_beats, 2):
        clap_keys += [b + 1, b + 2]
        clap_flips += [1, 0]
    t.shader(at(9), at(17), "tunnel", 0, "tunnel.glsl", resolution=0.5,
             animate=[travel(build_beats, [(0, 0.3), (16, 0.5), (28, 0.9), (32, 1.4)]),
                      anim("flip", clap_keys, clap_flips, "step"),
                      anim("spin", (0, 32), (0, 0.25), "in")],
             react=[react("kick", KICK, 0, 1.2, 0.005, 0.2), react("bass", BASS, 0, 1.2, 0.05, 0.3)])
    t.flash(at(9), 2, "crash flash 9")
    t.shader(at(15), at(17), "roll blur", 30, "zoomblur.glsl", resolution=0.5, iChannel0="screen",
             animate=[anim("amount", (0, 8), (0, 1), "in"), anim("white", (4, 8), (0, 0.85), "in")])

    t.section("bars 17-24, 30-45 s, groove: a metal knot turning on the beat, the credits, a glitch on the fill")
    groove_beats = 32
    # The knot, and the chain after it, play on two beats into the break, fading over the smoke.
    groove_end = at(25, 3)
    # The raymarcher is the costliest pass: three quarters of the buffer's size, which the bloom softens anyway.
    t.shader(at(17), groove_end, "knot", 3, "knot.glsl", target="scene", resolution=0.75, iChannel0="music",
             iChannel1="star.png", exposure=2.2,
             react=[react("kick", KICK, 0, 1, 0.005, 0.25)],
             animate=[anim("roll", (0, groove_beats), (0, 12.566)),
                      anim("spin", (0, groove_beats), (0, 6.0)),
                      anim("view", (0, 16, 16.01, 32), (0, 0.6, 1.9, 2.5), "smooth"),
                      anim("offset", (14, 16), ((0, 0), (0, 0.13)), "smooth")])
    bloom(t, at(17), groove_end, "groove", aberration=0.1, vignette=0.55,
          animate=[anim("alpha", (groove_beats, groove_beats + 2), (1, 0))],
          react=[react("bloom", HATS, 0.5, 2.5, 0.02, 0.4)])
    t.flash(at(17), 2, "crash flash 17")
    credits = (("music", "a Python script at 128 bpm"), ("pictures", "eleven fragment shaders"),
               ("engine", "Vexel, C++17 and OpenGL"))
    for k, (role, who) in enumerate(credits):
        # In from the left on its bar, out to the right as the next comes in.
        slide = ((0, 1, 3.5, 4), (-0.4, 0.5, 0.5, 1.4)) if k < 2 else ((0, 1), (-0.4, 0.5))
        for line, (text, size, y, colour) in enumerate(((role.upper(), 26, 0.72, (255, 170, 90)),
                                                        (who, 48, 0.8, (255, 255, 255)))):
            t.text(at(21 + k), at(25), "credit %s %d" % (role, line), 20, text, size=size, color=colour,
                   relativeY=y, outline=2, outlineColor=(20, 10, 40),
                   animate=[anim("relativeX", slide[0], slide[1], "smooth")])
    t.shader(at(24, 4), at(25), "fill glitch 24", 30, "glitch.glsl", resolution=0.5, iChannel0="screen",
             beat=BEAT, animate=[anim("amount", (0, 1), (0.6, 1.0))])

    t.section("bars 25-32, 45-60 s, break: smoke swirls, the greetings scroll, white-out, a beat of black")
    break_beats = 32
    # The smoke reads its own last frame from a half-size float buffer; a tone curve shows it.
    t.shader(at(25), at(33), "smoke", 1, "smoke.glsl", target="smoke", iChannel0="smoke", iChannel1="noise",
             animate=[anim("gain", (24, 31), (0, 1), "in")],
             react=[react("lead", LEAD, 0.0, 1.2, 0.1, 0.6), react("flow", PADS, 0.5, 1.8, 0.3, 1.0)])
    t.shader(at(25), at(33), "smoke shown", 2, "show.glsl", resolution=0.375, iChannel0="smoke")
    t.flash(at(25), 4, "impact flash 25")
    greetings = ("greetings to everyone at the party   ...   the Revision crowd   ...   the shader "
                 "showdown coders   ...   the demosceners of every platform   ...   and you, watching")
    t.text(at(26), at(31), "greetings", 20, greetings, size=56, color=(255, 230, 160), outline=3,
           outlineColor=(60, 20, 70), relativeY=0.8, scroll=560, wave=(22, 0.9, 0.32))
    t.shader(at(31), at(32, 4), "white-out", 30, "zoomblur.glsl", resolution=0.5, iChannel0="screen",
             animate=[anim("amount", (0, 7), (0, 0.8), "in"), anim("white", (0, 7), (0, 1), "in")])
    t.clear(at(32, 4), at(33), "black before the drop", (0, 0, 0), priority=50)

    t.section("bars 33-40, 60-75 s, drop: the knot flies through the tunnel in a ring of spectrum bars, "
              "a camera cut every 2 bars")
    drop_beats = 32
    # As the groove: drawn into the scene buffer, bloomed, and crossfaded into the outro.
    drop_end = at(41, 3)
    t.shader(at(33), drop_end, "tunnel drop", 2, "tunnel.glsl", target="scene",
             sway=(0.12, 0.08), hot=(1, 0.2, 0.6), cold=(0.3, 0.5, 1),
             animate=[travel(drop_beats + 2, [(0, 1.6), (drop_beats + 2, 1.9)]),
                      anim("spin", (0, drop_beats + 2), (0, -0.5))],
             react=[react("kick", KICK, 0.1, 1.2, 0.005, 0.2), react("bass", BASS, 0.3, 1.3, 0.05, 0.3)])
    t.shader(at(33), drop_end, "knot drop", 3, "knot.glsl", target="scene", resolution=0.75, iChannel0="music",
             iChannel1="star.png", blending="transcluent", backdrop=0, ring=1, tint=(1.0, 0.4, 0.7),
             react=[react("kick", KICK, 0, 1, 0.005, 0.25)],
             animate=[anim("roll", (0, drop_beats), (0, 25.133)),
                      anim("spin", (0, drop_beats), (0, 9.0)),
                      anim("view", (0, 8, 16, 24), (0.3, 1.4, 2.6, 3.7), "step")])
    bloom(t, at(33), drop_end, "drop",
          animate=[anim("flash", (0, 2), (1, 0), "out"), anim("alpha", (drop_beats, drop_beats + 2), (1, 0))],
          react=[react("aberration", KICK, 0.05, 1, 0.005, 0.2), react("vignette", HATS, 0.75, 0.3, 0.02, 0.3),
                 react("bloom", LEAD, 0.4, 2.0, 0.1, 0.5)])
    t.shader(at(40, 4), at(41), "fill glitch 40", 30, "glitch.glsl", resolution=0.5, iChannel0="screen",
             beat=BEAT, animate=[anim("amount", (0, 1), (0.7, 1.0))])

    t.section("bars 41-48, 75-90 s, outro: the plasma again, warm and calming; the title and a last line; "
              "everything fades with the music")
    outro_beats = 32
    fade_from = (86.25 - at(41)) / BEAT
    fade_to = (89.5 - at(41)) / BEAT
    t.shader(at(41), DEMO_END, "plasma outro", 0, "plasma.glsl", resolution=0.5, warm=1,
             animate=[anim("zoom", (0, outro_beats), (0.8, 1.3), "out"),
                      anim("fade", (fade_from, fade_to), (1, 0), "smooth")],
             react=[react("brightness", PADS, 1.0, 2.4, 0.05, 0.6)])
    t.flash(at(41), 2, "crash flash 41")
    title_fade = (fade_from - 16, fade_to - 16)  # the title starts 16 beats into the outro
    t.text(at(45), DEMO_END, "title again", 20, "MORVELIN", size=132, color=(255, 236, 210), outline=3,
           outlineColor=(90, 30, 20), shadow=(0, 6), relativeY=0.42,
           animate=[anim("size", (0, 2), (200, 132), "out"),
                    anim("alpha", (0, 1) + title_fade, (0, 1, 1, 0))])
    t.text(at(45, 3), DEMO_END, "thanks", 20, "thanks for watching", size=40, color=(255, 210, 170),
           relativeY=0.62, typewriter=number(4.0 / BEAT),
           animate=[anim("alpha", tuple(b - 2 for b in title_fade), (1, 0))])
    t.flash(at(45), 2, "crash flash 45", 0.8)
    return t


def declared_uniforms(path):
    """The shader's non-sampler uniforms and its samplers, by name."""
    with open(path, encoding="utf-8") as f:
        text = re.sub(r"//.*", "", f.read())
    values, samplers = set(), set()
    for kind, name in re.findall(r"\buniform\s+(\w+)\s+(\w+)", text):
        (samplers if kind.startswith("sampler") else values).add(name)
    if "mainImage" in text and not re.search(r"\bvoid\s+main\s*\(", text):
        samplers |= {"iChannel0", "iChannel1", "iChannel2", "iChannel3"}
    return values, samplers


def check(timeline):
    """The checks the demo itself would make, plus ours: every part ends by
    the end of the demo, starts on the beat grid, and every picture, shader
    and uniform exists."""
    errors = []
    buffers = {name for name, _, _ in timeline.buffers}
    for name, format, resolution in timeline.buffers:
        if format not in BUFFER_FORMATS or not 0.125 <= resolution <= 1 or name in SOURCES:
            errors.append("buffer %s: %s at %s" % (name, format, resolution))
    if len(buffers) != len(timeline.buffers):
        errors.append("a buffer named twice")
    drawn = {dict(p["params"]).get("target") for p in timeline.parts()}
    read = set()
    for p in timeline.parts():
        where = "part \"%s\"" % p["name"]
        if not (0.0 <= p["start"] < p["end"] <= DEMO_END + 1e-9):
            errors.append("%s: times %s-%s" % (where, p["start"], p["end"]))
        if abs(p["start"] / BEAT - round(p["start"] / BEAT)) > 1e-6:
            errors.append("%s: starts off the beat at %s s" % (where, p["start"]))
        keys = [k for k, _ in p["params"]]
        values = dict(p["params"])
        if "target" in values and values["target"] not in buffers:
            errors.append("%s: draws into %s, not a buffer" % (where, values["target"]))
        if len(set(keys)) != len(keys):
            errors.append("%s: a key given twice in %s" % (where, keys))
        animatable = ANIMATED.get(p["class"], set())
        if p["class"] == "lib.ClearScreen":
            if keys != ["color"]:
                errors.append("%s: ClearScreen takes only color" % where)
        elif p["class"] == "lib.Text":
            if set(keys) - TEXT_KEYS:
                errors.append("%s: keys %s" % (where, sorted(set(keys) - TEXT_KEYS)))
            if "align" in values and any(w not in ALIGN_WORDS for w in values["align"].split(" ")):
                errors.append("%s: align %s" % (where, values["align"]))
        elif p["class"] == "lib.Shader":
            path = os.path.join(SHADER_SOURCES, values.get("shader", ""))
            if not os.path.isfile(path):
                errors.append("%s: no shader %s" % (where, values.get("shader")))
                continue
            uniforms, samplers = declared_uniforms(path)
            for key, value in p["params"]:
                if key in SHADER_KEYS or key in uniforms and key not in ENGINE_UNIFORMS:
                    continue
                if key in samplers:
                    read.add(value.lstrip("@"))
                    if value not in SOURCES and value.lstrip("@") not in buffers and \
                            not os.path.isfile(os.path.join(TEXTURES, value)):
                        errors.append("%s: %s reads %s: not a source, buffer or picture" % (where, key, value))
                    continue
                errors.append("%s: %s is not a uniform of %s" % (where, key, values["shader"]))
            if values.get("blending", "opaque") not in BLENDINGS:
                errors.append("%s: blending %s" % (where, values["blending"]))
            if not 0.125 <= float(values.get("resolution", 1)) <= 1:
                errors.append("%s: resolution %s" % (where, values["resolution"]))
            animatable = ({"alpha", "time"} | uniforms) - ENGINE_UNIFORMS
        else:
            errors.append("%s: class %s" % (where, p["class"]))
        for _, value in p["params"]:
            if any(c in value for c in "<&\""):
                errors.append("%s: value needs escaping: %s" % (where, value))
        animated = set()
        for a in p["animate"]:
            what = "%s: animate %s" % (where, a["key"])
            if a["key"] not in animatable:
                errors.append("%s: %s does not animate it" % (what, p["class"]))
            if a["key"] in animated:
                errors.append("%s: animated twice" % what)
            animated.add(a["key"])
            if len(a["beats"]) != len(a["values"]) or not a["beats"]:
                errors.append("%s: %d keys, %d values" % (what, len(a["beats"]), len(a["values"])))
            if any(b <= a_ for a_, b in zip(a["beats"], a["beats"][1:])):
                errors.append("%s: keys do not increase" % what)
            if a["ease"] is not None and a["ease"] not in EASES:
                errors.append("%s: ease %s" % (what, a["ease"]))
            # Keys past the end would never be reached: a sign of a wrong time.
            if a["beats"] and a["beats"][-1] * BEAT > p["end"] - p["start"] + 1e-6:
                errors.append("%s: last key at beat %s is after the part's end" % (what, a["beats"][-1]))
        for r in p["react"]:
            what = "%s: react %s" % (where, r["key"])
            if r["key"] not in animatable or r["key"] in animated:
                errors.append("%s: not a key it can react with, or animated too" % what)
            if not 0 <= r["band"][0] < r["band"][1] <= 22050:
                errors.append("%s: band %s" % (what, r["band"]))
    for name in sorted(buffers - drawn):
        errors.append("buffer %s: no part draws into it" % name)
    for name in sorted(buffers - read):
        errors.append("buffer %s: no part reads it" % name)
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
           '  <tempo bpm="%d" beatsPerBar="4" offset="0"/>' % BPM]
    for name, format, resolution in timeline.buffers:
        out.append('  <buffer name="%s" format="%s" resolution="%s"/>' % (name, format, number(resolution)))
    out.append("  <demoparts>")
    for kind, item in timeline.items:
        if kind == "section":
            out.append("")
            out.append("    <!-- %s -->" % item)
            continue
        p = item
        out.append('    <part start="%s" end="%s" name="%s" class="%s" priority="%d">' % (
            number(p["start"]), number(p["end"]), p["name"], p["class"], p["priority"]))
        for k, v in p["params"]:
            out.append('      <param %s="%s"/>' % (k, v))
        for a in p["animate"]:
            separator = "; " if isinstance(a["values"][0], (tuple, list)) else " "
            values = separator.join(value_text(v) for v in a["values"])
            element = '      <animate key="%s" beats="%s" values="%s"' % (
                a["key"], " ".join(number(x) for x in a["beats"]), values)
            out.append(element + (' ease="%s"/>' % a["ease"] if a["ease"] else "/>"))
        for r in p["react"]:
            out.append('      <react key="%s" band="%d-%d" from="%s" to="%s" attack="%s" release="%s"/>' % (
                r["key"], r["band"][0], r["band"][1], value_text(r["from"]), value_text(r["to"]),
                number(r["attack"]), number(r["release"])))
        out.append("    </part>")
    out.append("  </demoparts>")
    out.append("</Halvorn-demo-settings>")
    return "\n".join(out) + "\n"


def main():
    parser = argparse.ArgumentParser(description="Writes the MORVELIN timeline and its shaders.")
    parser.add_argument("--demo", default=os.path.join(ROOT, "demo"),
                        help="the demo folder to write morvelin.xml and data/shaders/ into (default demo/)")
    demo = parser.parse_args().demo
    out_file = os.path.join(demo, "morvelin.xml")
    shaders = os.path.join(demo, "data", "shaders")
    os.makedirs(shaders, exist_ok=True)
    timeline = story()
    errors = check(timeline)
    if errors:
        for e in errors:
            print("error:", e, file=sys.stderr)
        return 1
    used = sorted({dict(p["params"])["shader"] for p in timeline.parts() if p["class"] == "lib.Shader"})
    # The demo's own folder holds the sources: nothing to copy, nothing removed.
    if not os.path.samefile(shaders, SHADER_SOURCES):
        for name in sorted(os.listdir(shaders)):
            if name.endswith(".glsl") and name not in used:
                os.remove(os.path.join(shaders, name))
        for name in used:
            shutil.copyfile(os.path.join(SHADER_SOURCES, name), os.path.join(shaders, name))
    with open(out_file, "w", encoding="utf-8", newline="\n") as f:
        f.write(render(timeline))
    parts = timeline.parts()
    print("%s: %d parts, %d animations, %d reactions, %d buffers, %d shaders, ends at %s s" % (
        os.path.relpath(out_file), len(parts), sum(len(p["animate"]) for p in parts),
        sum(len(p["react"]) for p in parts), len(timeline.buffers), len(used),
        number(max(p["end"] for p in parts))))
    return 0


if __name__ == "__main__":
    sys.exit(main())
