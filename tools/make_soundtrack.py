#!/usr/bin/env python3
"""Synthesises the MORVELIN soundtrack into demo/data/music/morvelin.ogg.

90 seconds at 128 BPM in 4/4, A minor: a beat lasts 0.46875 s, a bar
1.875 s, and every 8-bar section exactly 15 s, so sections start on whole
multiples of 15 s and 4-bar phrases on multiples of 7.5 s. Bar B (from 1)
starts at (B - 1) x 1.875 s; the chords follow Am F C G, one per bar.

  bars  1- 8   0-15 s  intro:  filtered pads open up, a bell hints the theme,
                               hats from bar 5, a noise riser in bars 7-8
  bars  9-16  15-30 s  build:  kick on every beat, rolling bass opening up,
                               claps and the arpeggio from bar 13, snare roll
                               and riser in bars 15-16
  bars 17-24  30-45 s  groove: full drums, bass, offbeat chord stabs,
                               arpeggio, pumping pads; a fill ends bar 24
  bars 25-32  45-60 s  break:  no beat after the impact on bar 25; the
                               theme on a soft lead over wide pads; snare
                               roll and riser in bars 31-32, and the last
                               beat of bar 32 silent
  bars 33-40  60-75 s  drop:   everything, the theme on a supersaw doubled an
                               octave up, open hats; a fill ends bar 40
  bars 41-48  75-90 s  outro:  drums and bass until bar 44 as the filters
                               close, then the last A minor chord and the
                               bell, faded to silence by 89.5 s

The kick owns the band below 60 Hz (the bass plays an octave above it), so
a picture can follow the kick alone; tools/storyboard.md lists the bands.

Pure Python 3 standard library for the synthesis (a 16-bit stereo WAV in a
temporary folder, about 40 s of CPU time), then `oggenc` from vorbis-tools for
the encoding. Deterministic: noise comes from a fixed LCG and the Ogg stream
gets a fixed serial number, so every run writes the same bytes.
"""

import array
import math
import os
import subprocess
import sys
import tempfile
import wave

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT_FILE = os.path.join(ROOT, "demo", "data", "music", "morvelin.ogg")

SR = 44100
BPM = 128
BEAT = 60.0 / BPM
STEP = BEAT / 4           # a sixteenth
BAR = 4 * BEAT
BARS = 48
LENGTH = BARS * BAR       # 90 s
N = int(round(LENGTH * SR))
FADE_FROM, FADE_TO = 86.25, 89.5

SECTIONS = [("intro", 0, 8), ("build", 8, 16), ("groove", 16, 24),
            ("break", 24, 32), ("drop", 32, 40), ("outro", 40, 48)]

TABLE = 4096
MASK = TABLE - 1


def at(bar, step=0.0):
    """Seconds of a sixteenth step in a bar (both from 0)."""
    return (bar * 16 + step) * STEP


def section_of(bar):
    return next(name for name, first, end in SECTIONS if first <= bar < end)


# ---------------------------------------------------------------- oscillators

_tables = {}


def wavetable(kind, harmonics):
    """One band-limited cycle, built up harmonic by harmonic: the count keeps
    every note free of aliasing."""
    key = (kind, harmonics)
    if key not in _tables:
        if harmonics == 1 or kind == "sine":
            table = [math.sin(2.0 * math.pi * i / TABLE) for i in range(TABLE)]
        else:
            table = list(wavetable(kind, harmonics - 1))
            k = harmonics
            amp = 0.0
            if kind == "saw":
                amp = 1.0 / k
            elif kind == "square" and k % 2 == 1:
                amp = 1.0 / k
            if amp:
                w = 2.0 * math.pi * k / TABLE
                table = [v + amp * math.sin(w * i) for i, v in enumerate(table)]
        _tables[key] = table
    return _tables[key]


_peaks = {}


def osc(kind, freq, n, max_harmonics=48, phase=0.0):
    harmonics = max(1, min(max_harmonics, int(0.45 * SR / freq)))
    table = wavetable(kind, harmonics)
    key = (kind, harmonics)
    if key not in _peaks:
        _peaks[key] = 1.0 / max(abs(v) for v in table)
    norm = _peaks[key]
    inc = freq * TABLE / SR
    start = phase * TABLE
    return [table[int(start + i * inc) & MASK] * norm for i in range(n)]


def midi_hz(note):
    return 440.0 * 2.0 ** ((note - 69) / 12.0)


def cents(freq, c):
    return freq * 2.0 ** (c / 1200.0)


class Noise:
    """White noise from a fixed 32-bit LCG, so every run sounds the same."""

    def __init__(self, seconds, seed):
        state = seed
        out = []
        for _ in range(int(seconds * SR)):
            state = (state * 1664525 + 1013904223) & 0xFFFFFFFF
            out.append(state / 2147483648.0 - 1.0)
        self.samples = out

    def take(self, offset, n):
        assert offset + n <= len(self.samples), "not that much noise"
        return self.samples[offset:offset + n]


NOISE = Noise(12.0, 0x5EED)


# ---------------------------------------------------------------- envelopes and filters

def env_ar(n, attack, release, tau=None):
    """Rises over `attack`, decays with time constant `tau` (held when None)
    and falls linearly to exactly 0 over the last `release` seconds: every
    note starts and ends at zero, so nothing clicks where notes meet."""
    a = max(1, int(attack * SR))
    r = max(1, int(release * SR))
    k = 0.0 if tau is None else -1.0 / (tau * SR)
    out = [min(1.0, i / a) * math.exp(k * max(0, i - a)) for i in range(n)]
    for i in range(max(0, n - r), n):
        out[i] *= (n - 1 - i) / r
    return out


def env_swell(n, attack, release):
    """Raised-cosine rise and fall, for pads."""
    a = max(1, int(attack * SR))
    r = max(1, int(release * SR))
    return [(0.5 - 0.5 * math.cos(math.pi * min(1.0, i / a))) *
            (0.5 - 0.5 * math.cos(math.pi * min(1.0, (n - 1 - i) / r))) for i in range(n)]


def svf(x, cutoff, resonance=0.7, mode="lp"):
    """Zero-delay-feedback state-variable filter. `cutoff` is a number or one
    value per sample (Hz); `mode` picks the low-, band- or high-pass output."""
    k = 1.0 / resonance
    limit = 0.45 * SR
    if isinstance(cutoff, (int, float)):
        gs = [math.tan(math.pi * min(cutoff, limit) / SR)] * len(x)
    else:
        gs = [math.tan(math.pi * min(c, limit) / SR) for c in cutoff]
    out = [0.0] * len(x)
    ic1 = ic2 = 0.0
    for i, v in enumerate(x):
        g = gs[i]
        a1 = 1.0 / (1.0 + g * (g + k))
        v3 = v - ic2
        v1 = a1 * (ic1 + g * v3)
        v2 = ic2 + g * v1
        ic1 = 2.0 * v1 - ic1
        ic2 = 2.0 * v2 - ic2
        out[i] = v2 if mode == "lp" else v1 if mode == "bp" else v - k * v1 - v2
    return out


def one_pole(x, cutoff, highpass=False):
    c = 1.0 - math.exp(-2.0 * math.pi * cutoff / SR)
    out = array.array("d", bytes(8 * len(x)))
    state = 0.0
    if highpass:
        for i, v in enumerate(x):
            state += c * (v - state)
            out[i] = v - state
    else:
        for i, v in enumerate(x):
            state += c * (v - state)
            out[i] = state
    return out


def sweep(n, start, end):
    """Exponential glide from `start` to `end` Hz over n samples."""
    ratio = math.log(end / start) / max(1, n - 1)
    return [start * math.exp(ratio * i) for i in range(n)]


def times(samples, envelope, gain=1.0):
    return [s * e * gain for s, e in zip(samples, envelope)]


def summed(*parts):
    return [sum(values) for values in zip(*parts)]


def saturate(x, drive):
    norm = 1.0 / math.tanh(drive)
    return [math.tanh(drive * v) * norm for v in x]


# ---------------------------------------------------------------- instruments

_cache = {}


def cached(key, make):
    if key not in _cache:
        sound = make()
        for samples in sound if isinstance(sound, tuple) else (sound,):
            edge = 1e-3 * max(abs(v) for v in samples)
            assert abs(samples[0]) <= edge and abs(samples[-1]) <= edge, "%s would click" % (key,)
        _cache[key] = sound
    return _cache[key]


def kick():
    def make():
        n = int(0.42 * SR)
        out = []
        for i in range(n):
            t = i / SR
            # Pitch falls from 150 to 48 Hz; the phase is the closed-form
            # integral of that sweep, so it starts at zero.
            phase = 2.0 * math.pi * (48.0 * t + 102.0 * 0.035 * (1.0 - math.exp(-t / 0.035)))
            out.append(math.sin(phase))
        body = times(saturate(out, 1.6), env_ar(n, 0.001, 0.03, 0.2))
        click = times(svf(NOISE.take(1000, 400), 3500.0, 0.8, "bp"), env_ar(400, 0.0005, 0.006, 0.002), 0.9)
        return summed(body, click + [0.0] * (n - 400))
    return cached("kick", make)


def boom():
    """The drop's impact: a long falling sub under the crash."""
    def make():
        n = int(2.2 * SR)
        out = [math.sin(2.0 * math.pi * (36.0 * i / SR + 40.0 * 0.15 * (1.0 - math.exp(-i / SR / 0.15))))
               for i in range(n)]
        return times(out, env_ar(n, 0.002, 0.4, 0.6))
    return cached("boom", make)


def clap():
    """Three quick noise bursts and a tail through a band-pass, on a snare tone."""
    def make():
        n = int(0.32 * SR)
        noise = svf(NOISE.take(20000, n), 1700.0, 0.9, "bp")
        env = [0.0] * n
        for burst in (0.0, 0.011, 0.022):
            b0 = int(burst * SR)
            shape = env_ar(int(0.011 * SR), 0.0008, 0.004, 0.004)
            for i, v in enumerate(shape):
                env[b0 + i] = max(env[b0 + i], v)
        tail = env_ar(n - int(0.03 * SR), 0.002, 0.04, 0.085)
        for i, v in enumerate(tail):
            env[int(0.03 * SR) + i] += 0.8 * v
        tone = times(summed(osc("sine", 185.0, n), [0.5 * v for v in osc("sine", 330.0, n)]),
                     env_ar(n, 0.001, 0.05, 0.045), 0.35)
        return summed(times(noise, env, 2.2), tone)
    return cached("clap", make)


def hat(open_hat):
    def make():
        n = int((0.34 if open_hat else 0.07) * SR)
        noise = svf(NOISE.take(60000, n), 7500.0, 0.7, "hp")
        return times(noise, env_ar(n, 0.0005, 0.02, 0.12 if open_hat else 0.018))
    return cached(("hat", open_hat), make)


def crash(seed_offset):
    def make():
        n = int(3.0 * SR)
        noise = svf(NOISE.take(seed_offset, n), 4200.0, 0.6, "hp")
        ring = svf(NOISE.take(seed_offset + 7, n), 6800.0, 4.0, "bp")
        return times(summed(noise, [0.6 * v for v in ring]), env_ar(n, 0.001, 0.3, 0.9))
    return cached(("crash", seed_offset), make)


def riser(bars, seed_offset):
    """Noise through a band-pass that climbs from 300 Hz to 9 kHz, growing
    louder, cut off sharply (but not with a click) on the last sixteenth."""
    def make():
        n = int(bars * BAR * SR)
        filtered = svf(NOISE.take(seed_offset, n), sweep(n, 300.0, 9000.0), 2.5, "bp")
        rise = [(i / n) ** 2 for i in range(n)]
        return times(times(filtered, rise), env_ar(n, 0.01, 0.004))
    return cached(("riser", bars, seed_offset), make)


def bass_note(note, seconds, cutoff):
    """A saw through a low-pass whose cutoff jumps up at the attack and falls
    back, with a sine at the same pitch under it."""
    def make():
        n = int(seconds * SR)
        f = midi_hz(note)
        curve = [cutoff * (1.0 + 3.0 * math.exp(-i / (0.035 * SR))) for i in range(n)]
        tone = svf(osc("saw", f, n, 64), curve, 1.3)
        tone = summed(tone, [0.6 * v for v in osc("sine", f, n)])
        return times(tone, env_ar(n, 0.003, 0.02))
    return cached(("bass", note, seconds, cutoff), make)


def arp_note(note, brightness):
    def make():
        n = int(0.22 * SR)
        f = midi_hz(note)
        curve = [brightness * (0.25 + 0.75 * math.exp(-i / (0.05 * SR))) for i in range(n)]
        tone = summed(osc("square", f, n, 24), [0.5 * v for v in osc("saw", cents(f, 8), n, 24)])
        return times(svf(tone, curve, 1.1), env_ar(n, 0.002, 0.03, 0.09))
    return cached(("arp", note, brightness), make)


def bell_note(note):
    def make():
        n = int(3.0 * SR)
        f = midi_hz(note)
        tone = summed(osc("sine", f, n), [0.3 * v for v in osc("sine", 2.76 * f, n)],
                      [0.1 * v for v in osc("sine", 5.4 * f, n)])
        return times(tone, env_ar(n, 0.003, 0.4, 0.8))
    return cached(("bell", note), make)


def pad_chord(notes, seconds, attack, release=0.45):
    """Three detuned saws per note, spread across the stereo field."""
    def make():
        n = int(seconds * SR)
        left = [0.0] * n
        right = [0.0] * n
        for j, note in enumerate(notes):
            f = midi_hz(note)
            for c, (gl, gr), phase in ((-11, (0.8, 0.2), 0.13), (0, (0.5, 0.5), 0.61), (11, (0.2, 0.8), 0.37)):
                wave_ = osc("saw", cents(f, c), n, 32, phase=(phase + 0.29 * j) % 1.0)
                left = [a + gl * b for a, b in zip(left, wave_)]
                right = [a + gr * b for a, b in zip(right, wave_)]
        env = env_swell(n, attack, release)
        return times(left, env), times(right, env)
    return cached(("pad", tuple(notes), seconds, attack, release), make)


def stab(notes):
    def make():
        n = int(0.16 * SR)
        tone = [0.0] * n
        for note in notes:
            f = midi_hz(note + 12)
            for c in (-9, 9):
                tone = [a + b for a, b in zip(tone, osc("saw", cents(f, c), n, 32, phase=0.5 + c / 40.0))]
        curve = [600.0 + 3600.0 * math.exp(-i / (0.04 * SR)) for i in range(n)]
        return times(svf(tone, curve, 1.0), env_ar(n, 0.002, 0.04, 0.07))
    return cached(("stab", tuple(notes)), make)


def lead_note(note, seconds, supersaw):
    """The theme's voice: in the break two soft saws and a triangle-like sine
    with a late vibrato, in the drop five detuned saws spread wide."""
    def make():
        n = int((seconds + 0.09) * SR)
        f = midi_hz(note)
        if supersaw:
            left = [0.0] * n
            right = [0.0] * n
            for c, pan in ((-18, -0.9), (-7, -0.4), (0, 0.0), (7, 0.4), (18, 0.9)):
                wave_ = osc("saw", cents(f, c), n, 40, phase=(0.21 * c) % 1.0)
                left = [a + (0.5 - 0.45 * pan) * b for a, b in zip(left, wave_)]
                right = [a + (0.5 + 0.45 * pan) * b for a, b in zip(right, wave_)]
            env = env_ar(n, 0.006, 0.09)
            return (times(svf(left, 5200.0, 0.8), env, 0.45), times(svf(right, 5200.0, 0.8), env, 0.45))
        depth = 0.006
        wave_ = []
        phase = 0.0
        table = wavetable("saw", max(1, min(24, int(0.45 * SR / f))))
        norm = 1.0 / max(abs(v) for v in table)
        for i in range(n):
            # Vibrato fades in after a quarter of a second, as a singer's does.
            swing = depth * min(1.0, max(0.0, i / SR - 0.25) / 0.3) * math.sin(2.0 * math.pi * 5.2 * i / SR)
            phase += f * (1.0 + swing) / SR
            wave_.append(table[int(phase * TABLE) & MASK] * norm)
        tone = summed(svf(wave_, 2400.0, 0.9), [0.6 * v for v in osc("sine", f, n)])
        mono = times(tone, env_ar(n, 0.02, 0.09))
        return mono, mono
    return cached(("lead", note, seconds, supersaw), make)


# ---------------------------------------------------------------- the piece

# Voicings around middle C with smooth voice leading, and the bass notes an
# octave above the kick's band.
CHORDS = {
    "Am": ([57, 60, 64, 69], 45),
    "F": ([57, 60, 65, 69], 41),
    "C": ([55, 60, 64, 67], 48),
    "G": ([55, 59, 62, 67], 43),
}
PROGRESSION = ["Am", "F", "C", "G"] * 11 + ["Am"] * 4

# The theme, 8 bars of (sixteenth, length in sixteenths, note): 3+3+2 figures.
THEME = [
    [(0, 3, 76), (3, 3, 81), (6, 2, 79), (8, 3, 76), (11, 3, 74), (14, 2, 72)],
    [(0, 3, 72), (3, 3, 77), (6, 2, 76), (8, 4, 72), (12, 4, 69)],
    [(0, 3, 76), (3, 3, 79), (6, 2, 84), (8, 3, 83), (11, 3, 79), (14, 2, 76)],
    [(0, 6, 79), (6, 2, 74), (8, 8, 71)],
    [(0, 3, 76), (3, 3, 81), (6, 2, 79), (8, 3, 76), (11, 3, 74), (14, 2, 72)],
    [(0, 3, 72), (3, 3, 77), (6, 2, 81), (8, 4, 79), (12, 4, 77)],
    [(0, 3, 76), (3, 3, 79), (6, 2, 84), (8, 3, 86), (11, 3, 84), (14, 2, 83)],
    [(0, 3, 79), (3, 3, 83), (6, 2, 86), (8, 8, 83)],
]
# The break ends held and rising instead, under the riser.
BREAK_ENDING = [[(0, 8, 76), (8, 8, 79)], [(0, 12, 83)]]
ARP_PATTERN = [0, 1, 2, 3, 4, 3, 2, 1] * 2      # 4 = the lowest note two octaves up
BASS_STEPS = [s for s in range(16) if s % 4 != 0]  # rolling: the kick has each beat


class Mix:
    """Stereo buses: `dry` goes straight out, `pads` through the pad filter,
    `duck` through the kick's side-chain; two mono sends feed the reverb and
    the ping-pong delay."""

    def __init__(self):
        def bus():
            return array.array("d", bytes(8 * N))
        self.buses = {name: (bus(), bus()) for name in ("dry", "pads", "duck")}
        self.reverb = bus()
        self.delay = bus()
        self.kicks = []

    @staticmethod
    def _add(target, start, samples, gain):
        end = min(N, start + len(samples))
        if end > start:
            target[start:end] = array.array("d", [a + b * gain for a, b in zip(target[start:end], samples)])

    def add(self, when, sound, gain, pan=0.0, bus="dry", reverb=0.0, delay=0.0):
        """A mono sound, or a (left, right) pair, at `when` seconds; constant-power pan."""
        left, right = sound if isinstance(sound, tuple) else (sound, sound)
        start = int(round(when * SR))
        angle = (pan + 1.0) * math.pi / 4.0
        out_l, out_r = self.buses[bus]
        self._add(out_l, start, left, gain * math.cos(angle) * math.sqrt(2.0))
        self._add(out_r, start, right, gain * math.sin(angle) * math.sqrt(2.0))
        mono = left if left is right else [0.5 * (a + b) for a, b in zip(left, right)]
        if reverb:
            self._add(self.reverb, start, mono, gain * reverb)
        if delay:
            self._add(self.delay, start, mono, gain * delay)


def drums(mix, bar, section):
    t0 = at(bar)
    last_of_section = bar % 8 == 7
    if section in ("build", "groove", "drop") or (section == "outro" and bar < 44):
        for beat in range(4):
            mix.add(t0 + beat * BEAT, kick(), 0.85)
            mix.kicks.append(t0 + beat * BEAT)
        for step in (2, 6, 10, 14):
            mix.add(at(bar, step), hat(False), 0.32 if section != "build" else 0.24, pan=0.25)
    if section in ("groove", "drop") or (section == "build" and bar >= 12) or (section == "outro" and bar < 44):
        fill = section in ("groove", "drop") and last_of_section
        for beat in (1, 3):
            if not (fill and beat == 3):
                mix.add(t0 + beat * BEAT, clap(), 0.5, reverb=0.25)
        if fill:
            for step in (12, 13, 14, 15):
                mix.add(at(bar, step), clap(), 0.22 + 0.06 * (step - 12), pan=0.15 * (step - 13.5), reverb=0.3)
    if section in ("groove", "drop"):
        for step in range(1, 16, 2):
            mix.add(at(bar, step), hat(False), 0.12, pan=-0.35)
    if section == "drop":
        for step in (2, 6, 10, 14):
            mix.add(at(bar, step), hat(True), 0.13, pan=-0.2, reverb=0.1)
    if section == "intro" and bar >= 4:
        for step in range(0, 16, 2):
            mix.add(at(bar, step), hat(False), 0.06 + 0.03 * (step % 4 == 2), pan=0.3)
    # Crashes on the section starts, a sub boom where the energy comes back.
    if bar in (8, 16, 24, 32, 40, 44):
        mix.add(t0, crash(100000), 0.2, pan=-0.5, reverb=0.3)
        mix.add(t0, crash(170000), 0.2, pan=0.5)
    if bar in (24, 32):
        mix.add(t0, boom(), 0.4)
        if bar == 24:
            mix.add(t0, kick(), 0.95)
    # Rolls into the groove and the drop: eighths, then sixteenths, louder.
    if bar in (14, 15, 30, 31):
        steps = range(0, 16, 2) if bar % 2 == 0 else range(16 if bar == 15 else 12)
        for step in steps:
            progress = ((bar % 2) * 16 + step) / 32.0
            mix.add(at(bar, step), clap(), 0.1 + 0.32 * progress, pan=0.2 * math.sin(step), reverb=0.2)
    if bar in (6, 14, 30):
        length = 1.75 if bar == 30 else 2.0
        mix.add(at(bar), riser(length, 200000 + 1000 * bar), 0.3 if bar == 6 else 0.42, reverb=0.2)


def bass(mix, bar, section, root):
    if section == "build":
        cutoff = 180.0 * (1.0 + (bar - 8) * 0.55)
    elif section in ("groove", "drop"):
        cutoff = 700.0 if section == "groove" else 950.0
    elif section == "outro" and bar < 44:
        cutoff = 700.0 * (1.0 - (bar - 40) * 0.2)
    elif section == "break" and bar < 31:
        # Held notes under the break, one per bar.
        mix.add(at(bar), bass_note(root, BAR - 0.01, 240.0), 0.22)
        return
    elif section == "outro" and bar == 44:
        mix.add(at(bar), bass_note(root, 3 * BAR, 200.0), 0.22)
        return
    else:
        return
    cutoff = round(cutoff, -1)
    for step in BASS_STEPS:
        mix.add(at(bar, step), bass_note(root, STEP * 0.92, cutoff), 0.24 + 0.03 * (step % 4))


def harmony(mix, bar, section, name):
    notes, root = CHORDS[name]
    t0 = at(bar)
    # Pads: one chord per bar overlapping the next by the release; the last
    # chord is held to the end.
    if bar == 31:
        # Silent on the last beat before the drop.
        mix.add(t0, pad_chord(notes, 12 * STEP + 0.05, 0.25, 0.12), 0.1, bus="pads", reverb=0.5)
    elif bar < 44:
        attack = 1.2 if bar == 0 else 0.25
        # Louder while the pads carry the intro alone behind a closed filter.
        level = {"intro": 0.2, "break": 0.08, "drop": 0.12}.get(section, 0.1)
        mix.add(t0, pad_chord(notes, BAR + 0.45, attack), level, bus="pads", reverb=0.5)
    elif bar == 44:
        mix.add(t0, pad_chord(notes + [45], 4 * BAR - 0.2, 0.05), 0.1, bus="pads", reverb=0.6)
    if section in ("groove", "drop"):
        for step in (2, 6, 10, 14):
            mix.add(at(bar, step), stab(notes), 0.07 if section == "groove" else 0.05, pan=0.2, reverb=0.2,
                    delay=0.25)
    # Arpeggio, opening up as the build goes on.
    arp = section in ("groove", "drop") or (section == "build" and bar >= 12) or (
        section == "break" and bar >= 28) or (section == "outro" and bar < 44)
    if arp:
        tones = sorted(n + 12 for n in notes) + [min(notes) + 24]
        brightness = {"build": 1500.0 + 500.0 * (bar - 12), "break": 1200.0, "outro": 3000.0 - 500.0 * (bar - 40)
                      }.get(section, 3200.0)
        for step, index in enumerate(ARP_PATTERN):
            if section == "break" and bar == 31 and step >= 12:
                break
            accent = 1.0 if step % 4 == 0 else 0.7
            mix.add(at(bar, step), arp_note(tones[index], brightness), 0.13 * accent,
                    pan=0.3 if step % 2 == 0 else -0.3, bus="duck", reverb=0.2, delay=0.45)
    # The bell hints the theme in the intro and closes the piece.
    if section == "intro" or bar in (44, 45):
        phrase = THEME[bar % 8]
        first, second = phrase[0], next(p for p in phrase if p[0] >= 8)
        for step, _, note in (first, second):
            mix.add(at(bar, step), bell_note(note), 0.2 if step == 0 else 0.12, pan=0.3 - 0.15 * (bar % 4),
                    reverb=0.9, delay=0.4)
    bass(mix, bar, section, root)


def lead(mix, bar, section):
    if section == "break":
        phrase = THEME[bar - 24] if bar < 30 else BREAK_ENDING[bar - 30]
        supersaw = False
    elif section == "drop":
        phrase = THEME[bar - 32]
        supersaw = True
    else:
        return
    for step, length, note in phrase:
        seconds = length * STEP - 0.02
        if supersaw:
            mix.add(at(bar, step), lead_note(note, seconds, True), 0.7, bus="duck", reverb=0.35, delay=0.2)
            mix.add(at(bar, step), lead_note(note + 12, seconds, True), 0.25, bus="duck", reverb=0.35)
        else:
            mix.add(at(bar, step), lead_note(note, seconds, False), 0.2, pan=-0.1, reverb=0.7, delay=0.35)


def compose(mix):
    for bar, name in enumerate(PROGRESSION):
        section = section_of(bar)
        drums(mix, bar, section)
        harmony(mix, bar, section, name)
        lead(mix, bar, section)


# ---------------------------------------------------------------- effects

def pad_cutoff():
    """The pad filter's course (Hz), per sample: it opens through the intro
    and the break, stays open in between and closes in the outro."""
    keys = [(0.0, 400.0), (at(8), 1800.0), (at(16), 2600.0), (at(24), 800.0), (at(31), 4000.0),
            (at(32), 4500.0), (at(40), 4500.0), (at(44), 900.0), (LENGTH, 500.0)]
    out = []
    for (t0, c0), (t1, c1) in zip(keys, keys[1:]):
        n = int(round(t1 * SR)) - int(round(t0 * SR))
        out += sweep(n, c0, c1)
    return out[:N] + [out[-1]] * (N - len(out))


def side_chain(kicks):
    """The pumping gain: down to 0.3 over 4 ms at each kick, back to 1 by
    0.3 s along a raised cosine."""
    gain = array.array("d", [1.0] * N)
    down, back = int(0.004 * SR), int(0.3 * SR)
    shape = [1.0 - 0.7 * i / down for i in range(down)] + [
        1.0 - 0.7 * (0.5 + 0.5 * math.cos(math.pi * i / back)) for i in range(back)]
    for when in kicks:
        start = int(round(when * SR))
        end = min(N, start + len(shape))
        gain[start:end] = array.array("d", [min(a, b) for a, b in zip(gain[start:end], shape)])
    return gain


def feedback_comb(x, delay, gain):
    """y[n] = x[n] + gain * y[n - delay], a block of `delay` samples at a time:
    each block depends only on the one before it."""
    y = array.array("d", x)
    for start in range(delay, len(y), delay):
        end = min(len(y), start + delay)
        y[start:end] = array.array("d", [a + gain * b for a, b in zip(y[start:end], y[start - delay:end - delay])])
    return y


def allpass(x, delay, gain):
    """Schroeder all-pass: y[n] = -g x[n] + x[n-d] + g y[n-d], block-wise."""
    y = array.array("d", [-gain * v for v in x])
    for start in range(delay, len(y), delay):
        end = min(len(y), start + delay)
        y[start:end] = array.array("d", [a + b + gain * c for a, b, c in zip(
            y[start:end], x[start - delay:end - delay], y[start - delay:end - delay])])
    return y


def reverb(send, combs, allpasses):
    """A Schroeder hall: parallel combs, then all-passes in series."""
    total = array.array("d", bytes(8 * len(send)))
    for delay, gain in combs:
        comb = feedback_comb(send, delay, gain)
        total = array.array("d", [a + b for a, b in zip(total, comb)])
    for delay, gain in allpasses:
        total = allpass(total, delay, gain)
    return total


def ping_pong(mix, send):
    """Dotted-eighth echoes bouncing between the channels, darker each time."""
    delay = 3 * STEP
    echo = one_pole(one_pole(send, 180.0, highpass=True), 3500.0)
    left, right = mix.buses["dry"]
    for tap in range(1, 6):
        Mix._add(right if tap % 2 else left, int(round(tap * delay * SR)), echo, 0.45 ** tap)


def master(mix):
    cutoff = pad_cutoff()
    for channel in mix.buses["pads"]:
        channel[:] = array.array("d", svf(channel, cutoff, 0.9))
    duck = side_chain(mix.kicks)
    for pads, ducked in zip(mix.buses["pads"], mix.buses["duck"]):
        ducked[:] = array.array("d", [(a + b) * g for a, b, g in zip(pads, ducked, duck)])
    ping_pong(mix, mix.delay)
    # Dark, thinned send; different comb lengths per side give a wide tail.
    send = one_pole(one_pole(mix.reverb, 4000.0), 250.0, highpass=True)
    wet_l = reverb(send, [(1557, 0.84), (1617, 0.83), (1491, 0.84), (1422, 0.85)], [(225, 0.5), (556, 0.5)])
    wet_r = reverb(send, [(1580, 0.84), (1640, 0.83), (1514, 0.84), (1445, 0.85)], [(248, 0.5), (579, 0.5)])
    channels = []
    for side, wet in enumerate((wet_l, wet_r)):
        dry, ducked = mix.buses["dry"][side], mix.buses["duck"][side]
        # The return pumps with the kick too, which keeps the groove clear.
        channels.append([a + b + 0.1 * w * (0.5 + 0.5 * g) for a, b, w, g in zip(dry, ducked, wet, duck)])
    fade_from, fade_to = int(FADE_FROM * SR), int(FADE_TO * SR)
    for channel in channels:
        for i in range(fade_from, N):
            channel[i] *= 0.0 if i >= fade_to else 0.5 + 0.5 * math.cos(math.pi * (i - fade_from) / (fade_to - fade_from))
    peak = max(max(abs(v) for v in c) for c in channels)
    scale = 0.89 / peak    # -1 dBFS
    pcm = array.array("h")
    for a, b in zip(*channels):
        pcm.append(int(round(a * scale * 32767)))
        pcm.append(int(round(b * scale * 32767)))
    return pcm, peak


# ---------------------------------------------------------------- output

def write_wav(path, pcm):
    data = array.array("h", pcm)
    if sys.byteorder != "little":
        data.byteswap()
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(SR)
        w.writeframes(data.tobytes())


def report(pcm):
    """Levels per section, for a maker who cannot listen right now."""
    for name, first, end in SECTIONS:
        a, b = int(round(at(first) * SR)) * 2, int(round(at(end) * SR)) * 2
        part = pcm[a:b]
        rms = math.sqrt(sum(v * v for v in part) / len(part)) / 32768.0
        print("  %-6s bars %2d-%2d  %5.2f-%5.2f s  RMS %6.1f dBFS  peak %6.1f dBFS" % (
            name, first + 1, end, at(first), at(end), 20 * math.log10(max(rms, 1e-9)),
            20 * math.log10(max(1, max(abs(v) for v in part)) / 32768.0)))


def main():
    mix = Mix()
    compose(mix)
    pcm, peak = master(mix)
    os.makedirs(os.path.dirname(OUT_FILE), exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        wav = os.path.join(tmp, "morvelin.wav")
        write_wav(wav, pcm)
        if len(sys.argv) > 1 and sys.argv[1] == "--keep-wav":
            keep = os.path.join(ROOT, "build", "morvelin.wav")
            os.makedirs(os.path.dirname(keep), exist_ok=True)
            write_wav(keep, pcm)
            print("kept", keep)
        # A fixed serial number keeps the Ogg file identical between runs.
        subprocess.run(["oggenc", "-Q", "-q", "4", "--serial", "1666",
                        "-t", "MORVELIN", "-a", "MORVELIN demo", "-o", OUT_FILE, wav], check=True)
    print("%s: %.1f s at %d BPM, mix peak %.3f before normalising, %d bytes"
          % (os.path.relpath(OUT_FILE, ROOT), N / SR, BPM, peak, os.path.getsize(OUT_FILE)))
    report(pcm)


if __name__ == "__main__":
    main()
