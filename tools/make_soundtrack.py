#!/usr/bin/env python3
"""Synthesises the MORVELIN soundtrack into demo/data/music/morvelin.ogg.

64 seconds at 120 BPM in A minor: one bar lasts exactly 2 seconds, so every
section change falls on an even second. Pure Python 3 standard library for
the synthesis (a 16-bit stereo WAV in a temporary folder), then `oggenc`
from vorbis-tools for the encoding. Deterministic: noise comes from a fixed
LCG and the Ogg stream gets a fixed serial number.

Sections (bar = 2 s):
   0- 8  intro: pads swell in, bell notes, a quiet arpeggio from 4 s
   8-16  build: bass and full arpeggio, hats from 12 s, snare roll 14-16
  16-32  groove: four-on-the-floor, lead melody from 24 s
  32-48  second theme over new chords, fill into 48
  48-56  climax: the first theme with the lead doubled an octave up
  56-64  outro: final A minor chord, faded out to silence by 61 s
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
LENGTH = 64.0
N = int(LENGTH * SR)
BEAT = 0.5          # 120 BPM
STEP = BEAT / 4     # one sixteenth
BAR = 4 * BEAT

TABLE = 2048
MASK = TABLE - 1


# ---------------------------------------------------------------- oscillators

_tables = {}


def wavetable(kind, harmonics):
    """One band-limited cycle; the harmonic count keeps notes free of aliasing
    and, kept low on purpose, makes the soft timbres without a filter."""
    key = (kind, harmonics)
    if key not in _tables:
        table = [0.0] * TABLE
        for k in range(1, harmonics + 1):
            if kind == "sine" and k > 1:
                break
            if kind in ("square", "tri") and k % 2 == 0:
                continue
            if kind == "saw" or kind == "square":
                amp = 1.0 / k
            elif kind == "tri":
                amp = (1.0 / (k * k)) * (1 if (k // 2) % 2 == 0 else -1)
            else:
                amp = 1.0
            w = 2.0 * math.pi * k / TABLE
            for i in range(TABLE):
                table[i] += amp * math.sin(w * i)
        peak = max(abs(v) for v in table)
        _tables[key] = [v / peak for v in table]
    return _tables[key]


def osc(kind, freq, n, max_harmonics=64, phase=0.0, vibrato=None):
    harmonics = max(1, min(max_harmonics, int(SR / 2 / freq)))
    table = wavetable(kind, harmonics)
    inc = freq * TABLE / SR
    start = phase * TABLE
    if vibrato is None:
        return [table[int(start + i * inc) & MASK] for i in range(n)]
    depth, rate, delay = vibrato
    # Phase modulation that fades in after `delay` seconds.
    d0 = int(delay * SR)
    amp = depth * TABLE / (2.0 * math.pi * rate) * freq / 100.0
    w = 2.0 * math.pi * rate / SR
    return [table[int(start + i * inc + (amp * min(1.0, max(0, i - d0) / (0.3 * SR))) * math.sin(w * i)) & MASK]
            for i in range(n)]


def midi_hz(note):
    return 440.0 * 2.0 ** ((note - 69) / 12.0)


def cents(freq, c):
    return freq * 2.0 ** (c / 1200.0)


def env_pluck(n, attack, tau, release=0.02):
    """Linear attack, exponential decay, short linear release at the end."""
    a = max(1, int(attack * SR))
    r = max(1, int(release * SR))
    k = -1.0 / (tau * SR)
    out = [min(1.0, i / a) * math.exp(k * max(0, i - a)) for i in range(n)]
    for i in range(max(0, n - r), n):
        out[i] *= (n - i) / r
    return out


def env_pad(n, attack, release):
    """Slow rise, hold, and a release of `release` seconds at the end."""
    a = max(1, int(attack * SR))
    r = max(1, int(release * SR))
    hold_end = n - r
    return [(0.5 - 0.5 * math.cos(math.pi * min(1.0, i / a)))
            * (1.0 if i < hold_end else (n - i) / r) for i in range(n)]


def scaled(samples, envelope, gain=1.0):
    return [s * e * gain for s, e in zip(samples, envelope)]


def mixed(*parts):
    return [sum(values) for values in zip(*parts)]


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
        return self.samples[offset:offset + n]


def highpass(x):
    """First difference: a gentle 6 dB/octave high-pass."""
    return [a - b for a, b in zip(x, [0.0] + x[:-1])]


# ---------------------------------------------------------------- instruments

NOISE = Noise(6.0, 0x5EED)
_cache = {}


def cached(key, make):
    if key not in _cache:
        _cache[key] = make()
    return _cache[key]


def pad_chord(notes, seconds, attack):
    """Two detuned soft saws per note, spread left and right."""
    def make():
        n = int(seconds * SR)
        env = env_pad(n, attack, 0.7)
        left = [0.0] * n
        right = [0.0] * n
        for j, note in enumerate(notes):
            f = midi_hz(note)
            a = osc("saw", cents(f, -7), n, 9, phase=0.13 * j)
            b = osc("saw", cents(f, 7), n, 9, phase=0.37 * j + 0.5)
            left = [l + 0.65 * x + 0.35 * y for l, x, y in zip(left, a, b)]
            right = [r + 0.35 * x + 0.65 * y for r, x, y in zip(right, a, b)]
        return scaled(left, env), scaled(right, env)
    return cached(("pad", tuple(notes), seconds, attack), make)


def bass_note(note, seconds):
    def make():
        n = int(seconds * SR)
        f = midi_hz(note)
        tone = mixed(osc("saw", f, n, 10), [0.8 * v for v in osc("sine", f, n)])
        return scaled(tone, env_pluck(n, 0.004, 0.22, 0.03))
    return cached(("bass", note, seconds), make)


def arp_note(note):
    def make():
        n = int(0.3 * SR)
        f = midi_hz(note)
        tone = mixed(osc("square", f, n, 7), [0.35 * v for v in osc("sine", 2 * f, n)])
        return scaled(tone, env_pluck(n, 0.003, 0.085, 0.04))
    return cached(("arp", note), make)


def bell_note(note):
    def make():
        n = int(2.5 * SR)
        f = midi_hz(note)
        tone = mixed(osc("sine", f, n), [0.35 * v for v in osc("sine", 2.76 * f, n)],
                     [0.12 * v for v in osc("sine", 5.4 * f, n)])
        return scaled(tone, env_pluck(n, 0.002, 0.7, 0.3))
    return cached(("bell", note), make)


def lead_note(note, seconds):
    def make():
        n = int((seconds + 0.12) * SR)
        f = midi_hz(note)
        tone = mixed([0.7 * v for v in osc("tri", f, n, 15, vibrato=(0.5, 5.5, 0.25))],
                     [0.3 * v for v in osc("saw", f, n, 6, vibrato=(0.5, 5.5, 0.25))])
        return scaled(tone, env_pad(n, 0.015, 0.12))
    return cached(("lead", note, seconds), make)


def kick():
    def make():
        n = int(0.45 * SR)
        out = []
        for i in range(n):
            t = i / SR
            # Pitch falls from 135 to 45 Hz; the phase is the closed-form
            # integral of that sweep.
            phase = 2.0 * math.pi * (45.0 * t + 90.0 * 0.03 * (1.0 - math.exp(-t / 0.03)))
            out.append(math.sin(phase) * math.exp(-t / 0.28) * min(1.0, (n - i) / 400.0))
        click = NOISE.take(1000, 200)
        for i, v in enumerate(click):
            out[i] += 0.3 * v * math.exp(-i / (0.004 * SR))
        return out
    return cached("kick", make)


def snare():
    def make():
        n = int(0.35 * SR)
        body = highpass(NOISE.take(20000, n))
        tone = osc("sine", 185.0, n)
        return [0.9 * b * math.exp(-i / (0.11 * SR)) + 0.5 * s * math.exp(-i / (0.06 * SR))
                for i, (b, s) in enumerate(zip(body, tone))]
    return cached("snare", make)


def hat(open_hat):
    def make():
        n = int((0.4 if open_hat else 0.08) * SR)
        tau = (0.16 if open_hat else 0.022) * SR
        noise = highpass(highpass(NOISE.take(60000, n)))
        return [v * math.exp(-i / tau) * min(1.0, (n - i) / 200.0) for i, v in enumerate(noise)]
    return cached(("hat", open_hat), make)


def crash(offset):
    def make():
        n = int(2.5 * SR)
        noise = highpass(NOISE.take(offset, n))
        return [v * math.exp(-i / (0.8 * SR)) * min(1.0, (n - i) / 2000.0) for i, v in enumerate(noise)]
    return cached(("crash", offset), make)


# ---------------------------------------------------------------- the piece

# Voicings around middle C with smooth voice leading, and the bass roots.
CHORDS = {
    "Am": ([57, 60, 64, 69], 33),
    "F": ([57, 60, 65, 69], 29),
    "C": ([55, 60, 64, 67], 36),
    "G": ([55, 59, 62, 67], 31),
    "Em": ([55, 59, 64, 67], 28),
    "Dm": ([57, 62, 65, 69], 26),
    "E": ([56, 59, 64, 68], 28),
}
THEME_A = ["Am", "F", "C", "G"]
THEME_B = ["F", "G", "Em", "Am", "Dm", "G", "C", "E"]
# One chord per bar; the last two bars hold the final chord.
PROGRESSION = THEME_A * 4 + THEME_B + THEME_A + ["Am", "Am"]

# Melodies as (beat in bar, length in beats, note) per bar.
LEAD_A = [
    [(0, 1.5, 76), (1.5, 0.5, 74), (2, 1, 72), (3, 1, 74)],
    [(0, 1.5, 72), (1.5, 0.5, 69), (2, 1, 72), (3, 1, 74)],
    [(0, 2, 76), (2, 1, 79), (3, 1, 76)],
    [(0, 3, 74), (3, 1, 71)],
]
LEAD_B = [
    [(0, 2, 81), (2, 1, 79), (3, 1, 77)],
    [(0, 1.5, 79), (1.5, 0.5, 77), (2, 2, 74)],
    [(0, 1, 76), (1, 1, 79), (2, 1.5, 83), (3.5, 0.5, 81)],
    [(0, 3, 81), (3, 1, 76)],
    [(0, 1.5, 77), (1.5, 0.5, 76), (2, 1, 74), (3, 1, 77)],
    [(0, 1.5, 79), (1.5, 0.5, 77), (2, 1, 74), (3, 1, 71)],
    [(0, 1, 72), (1, 1, 76), (2, 1, 79), (3, 1, 84)],
    [(0, 2, 83), (2, 1, 80), (3, 1, 76)],
]
ARP_PATTERN = [0, 1, 2, 3, 4, 3, 2, 1] * 2      # 4 = the lowest note an octave up
BASS_PATTERN = [0, 0, 12, 0, 0, 0, 12, 7]        # eighth notes, intervals above the root


class Mix:
    def __init__(self):
        self.left = array.array("d", bytes(8 * N))
        self.right = array.array("d", bytes(8 * N))
        self.send = array.array("d", bytes(8 * N))   # reverb send, mono
        self.echo = array.array("d", bytes(8 * N))   # arpeggio delay send, mono

    @staticmethod
    def _add(bus, at, samples, gain):
        start = int(round(at * SR))
        end = min(N, start + len(samples))
        if end <= start:
            return
        bus[start:end] = array.array("d", [a + b * gain for a, b in zip(bus[start:end], samples)])

    def add(self, at, samples, gain, pan=0.0, send=0.0, echo=0.0):
        """Constant-power pan, -1 left to +1 right."""
        angle = (pan + 1.0) * math.pi / 4.0
        self._add(self.left, at, samples, gain * math.cos(angle) * math.sqrt(2.0))
        self._add(self.right, at, samples, gain * math.sin(angle) * math.sqrt(2.0))
        if send:
            self._add(self.send, at, samples, gain * send)
        if echo:
            self._add(self.echo, at, samples, gain * echo)

    def add_stereo(self, at, left, right, gain, send=0.0):
        self._add(self.left, at, left, gain)
        self._add(self.right, at, right, gain)
        if send:
            self._add(self.send, at, [0.5 * (a + b) for a, b in zip(left, right)], gain * send)


def compose(mix):
    for bar, name in enumerate(PROGRESSION):
        t0 = bar * BAR
        notes, root = CHORDS[name]

        # Pads: a long swell at the very start, a held chord at the end.
        if bar == 0:
            left, right = pad_chord(notes, BAR + 0.7, 1.6)
        elif bar == 28:
            left, right = pad_chord(notes + [45], 2 * BAR + 1.0, 0.05)
        elif bar == 29:
            left = right = None
        else:
            left, right = pad_chord(notes, BAR + 0.7, 0.12)
        if left is not None:
            # A little louder while the pads carry the intro alone.
            level = 0.095 if bar < 4 else 0.07 if bar < 28 else 0.09
            mix.add_stereo(t0, left, right, level, send=0.9)

        # Bell on the downbeat of the intro bars.
        if bar < 4:
            mix.add(t0, bell_note(notes[-1] + 12), 0.16, pan=0.3 - 0.2 * bar, send=1.0)
            mix.add(t0 + 3 * BEAT, bell_note(notes[1] + 12), 0.09, pan=-0.4, send=1.0)

        # Arpeggio from bar 3, louder from bar 5.
        if 2 <= bar < 28:
            tones = sorted(n + 12 for n in notes) + [min(notes) + 24]
            level = 0.07 if bar < 4 else 0.12
            for step, index in enumerate(ARP_PATTERN):
                accent = 1.0 if step % 4 == 0 else 0.75
                mix.add(t0 + step * STEP, arp_note(tones[index]), level * accent,
                        pan=0.25 if step % 2 == 0 else -0.25, send=0.3, echo=0.5)

        # Bass: quarters in bars 5-6, the eighth-note pattern from bar 7.
        if 4 <= bar < 6:
            for beat in range(4):
                mix.add(t0 + beat * BEAT, bass_note(root + 12, 0.45), 0.3)
        elif 6 <= bar < 28:
            for eighth, interval in enumerate(BASS_PATTERN):
                mix.add(t0 + eighth * 2 * STEP, bass_note(root + 12 + interval, 0.22), 0.3)
        elif bar == 28:
            mix.add(t0, bass_note(root + 12, 3.5), 0.32)

        # Drums.
        if 8 <= bar < 28:
            for beat in range(4):
                mix.add(t0 + beat * BEAT, kick(), 0.75)
            for beat in (1, 3):
                mix.add(t0 + beat * BEAT, snare(), 0.42, send=0.35)
        if 6 <= bar < 28:
            climax = bar >= 24
            for step in range(16):
                if step % 4 == 2:
                    mix.add(t0 + step * STEP, hat(False), 0.2 if bar >= 8 else 0.12, pan=0.3)
                elif climax and step % 2 == 1:
                    mix.add(t0 + step * STEP, hat(False), 0.1, pan=0.4)
            if bar >= 8 and bar % 2 == 1:
                mix.add(t0 + 14 * STEP, hat(True), 0.12, pan=-0.3)
        if bar == 7:
            # Snare roll into the groove, growing louder.
            for step in range(8, 16):
                mix.add(t0 + step * STEP, snare(), 0.1 + 0.04 * (step - 8), send=0.3)
        if bar == 23:
            for step in (12, 13, 14, 15):
                mix.add(t0 + step * STEP, snare(), 0.3, send=0.3)
        if bar in (8, 16, 24, 28):
            mix.add(t0, crash(100000), 0.16, pan=-0.5, send=0.3)
            mix.add(t0, crash(140000), 0.16, pan=0.5)
            if bar == 28:
                mix.add(t0, kick(), 0.8)

        # Lead melody.
        if 12 <= bar < 16 or 24 <= bar < 28:
            phrase = LEAD_A[bar % 4]
        elif 16 <= bar < 24:
            phrase = LEAD_B[bar - 16]
        else:
            phrase = None
        if phrase:
            for beat, length, note in phrase:
                at = t0 + beat * BEAT
                mix.add(at, lead_note(note, length * BEAT - 0.03), 0.17, pan=-0.1, send=0.6)
                if bar >= 24:
                    mix.add(at, lead_note(note + 12, length * BEAT - 0.03), 0.07, pan=0.2, send=0.6)
        if bar == 28:
            mix.add(t0, lead_note(69, 3.5), 0.15, send=0.8)
            mix.add(t0, lead_note(76, 3.5), 0.08, pan=0.3, send=0.8)


# ---------------------------------------------------------------- effects

def feedback_comb(x, delay, gain):
    """y[n] = x[n] + gain * y[n - delay], computed a block of `delay` samples at
    a time: each block depends only on the one before it."""
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


def lowpass(x, coefficient):
    out = array.array("d", bytes(8 * len(x)))
    state = 0.0
    for i, v in enumerate(x):
        state += coefficient * (v - state)
        out[i] = state
    return out


def reverb(damped, combs, allpasses):
    """A small Schroeder reverb: parallel combs, then all-passes in series."""
    total = array.array("d", bytes(8 * len(damped)))
    for delay, gain in combs:
        comb = feedback_comb(damped, delay, gain)
        total = array.array("d", [a + b for a, b in zip(total, comb)])
    for delay, gain in allpasses:
        total = allpass(total, delay, gain)
    return total


def ping_pong(echo, mix):
    """Dotted-eighth echoes bouncing between the channels."""
    delay = 3 * STEP
    for tap in range(1, 5):
        gain = 0.42 ** tap
        bus = mix.right if tap % 2 == 1 else mix.left
        Mix._add(bus, tap * delay, echo, gain)


# ---------------------------------------------------------------- output

def master(mix):
    ping_pong(mix.echo, mix)
    # Different comb lengths per side give a wide, uncorrelated tail.
    damped = lowpass(mix.send, 0.35)
    left_rev = reverb(damped, [(1557, 0.83), (1617, 0.82), (1491, 0.83), (1422, 0.84)], [(225, 0.5), (556, 0.5)])
    right_rev = reverb(damped, [(1580, 0.83), (1640, 0.82), (1514, 0.83), (1445, 0.84)], [(248, 0.5), (579, 0.5)])
    wet = 0.12
    left = [a + wet * b for a, b in zip(mix.left, left_rev)]
    right = [a + wet * b for a, b in zip(mix.right, right_rev)]

    # Fade from the final chord to silence by 61 s.
    fade_start, fade_end = 56.5 * SR, 61.0 * SR
    def gain(i):
        if i < fade_start:
            return 1.0
        if i >= fade_end:
            return 0.0
        return 0.5 + 0.5 * math.cos(math.pi * (i - fade_start) / (fade_end - fade_start))
    fade_from = int(fade_start)
    for channel in (left, right):
        for i in range(fade_from, N):
            channel[i] *= gain(i)

    peak = max(max(abs(v) for v in left), max(abs(v) for v in right))
    scale = 0.89 / peak    # -1 dBFS
    pcm = array.array("h")
    for a, b in zip(left, right):
        pcm.append(int(round(a * scale * 32767)))
        pcm.append(int(round(b * scale * 32767)))
    return pcm, peak


def write_wav(path, pcm):
    if sys.byteorder != "little":
        pcm.byteswap()
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(SR)
        w.writeframes(pcm.tobytes())


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
        subprocess.run(["oggenc", "-Q", "-q", "3", "--serial", "1666",
                        "-t", "MORVELIN", "-a", "MORVELIN demo", "-o", OUT_FILE, wav], check=True)
    print("%s: %.1f s, mix peak %.3f before normalising, %d bytes"
          % (os.path.relpath(OUT_FILE, ROOT), N / SR, peak, os.path.getsize(OUT_FILE)))


if __name__ == "__main__":
    main()
