#!/usr/bin/env python3
"""Measures vexel-player from outside, on a private Xvfb server.

  python3 tools/measure_player.py [BUILD_DIR] [--busy N] [--drift-only] [--player PROGRAM]...
      (BUILD_DIR defaults to build/release)

- --busy N runs N other busy processes (yes > /dev/null) beside every run, as
  on a loaded machine; --drift-only measures the drift alone; each --player
  PROGRAM is measured in turn, run by run, to compare two builds side by side.

- Drift: the player's own closing line, the distance between its timeline
  time and the music position over every frame that had both: once over the
  whole bundled demo, once over a run with 20 random seeks by key.
- Frame intervals: median and 99th percentile of the player over the whole
  demo, next to tools/bare_window swapping the same number of frames.
- Start-up: process start to the first swapped frame with --start 30, next
  to bare_window's single swap (median of 5 runs each).

Swaps are timed by the preloaded frame probe (tools/frame_probe.c); SDL's
dummy audio driver plays the music at real-time speed.
"""

import os
import random
import re
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from measure_demo import ROOT, percentile, start_xvfb, wait_for  # noqa: E402

RUNS = 5
SEEK_KEYS = ["Right", "Left", "shift+Right", "shift+Left", "Next", "Prior", "Home"]
DRIFT = re.compile(r"drift to the music over (\d+) frames: mean ([0-9.]+) ms, max ([0-9.]+) ms")


def play(program, args, env, probe, steer=None):
    """Runs the program; returns (start ns, swap times ns, stdout, exit status).
    steer(lines, key) runs beside it with the lines printed so far."""
    log = tempfile.NamedTemporaryFile(prefix="vexel-frames-", delete=False)
    log.close()
    run_env = dict(env, LD_PRELOAD=probe, VEXEL_FRAME_LOG=log.name)
    began = time.monotonic_ns()
    process = subprocess.Popen([program] + args, cwd=ROOT, env=run_env, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True)
    lines = []
    reader = threading.Thread(target=lambda: lines.extend(iter(process.stdout.readline, "")))
    reader.start()

    def key(name):
        subprocess.run(["xdotool", "key", name], env=env, check=False)

    if steer is not None:
        steer(lines, key)
    try:
        process.wait(timeout=300)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
    reader.join()
    with open(log.name) as frames:
        swaps = [int(line) for line in frames if line.strip()]
    os.unlink(log.name)
    return began, swaps, "".join(lines), process.returncode


def intervals_ms(swaps):
    return [(b - a) / 1e6 for a, b in zip(swaps, swaps[1:])]


def drift_text(out):
    match = DRIFT.search(out)
    return "mean %s ms, max %s ms over %s frames" % (match[2], match[3], match[1]) if match else "(no drift line)"


def options(argv):
    build, busy, drift_only, players = os.path.join(ROOT, "build", "release"), 0, False, []
    i = 0
    while i < len(argv):
        if argv[i] == "--busy":
            busy, i = int(argv[i + 1]), i + 1
        elif argv[i] == "--drift-only":
            drift_only = True
        elif argv[i] == "--player":
            players, i = players + [os.path.abspath(argv[i + 1])], i + 1
        else:
            build = argv[i]
        i += 1
    return os.path.abspath(build), busy, drift_only, players


def busy_processes(count):
    return [subprocess.Popen(["yes"], stdout=subprocess.DEVNULL) for _ in range(count)]


def drift_runs(players, env, busy):
    """The whole bundled demo, RUNS times, each player in turn."""
    settings = os.path.join("demo", "morvelin.xml")
    hogs = busy_processes(busy)
    try:
        for run in range(RUNS):
            for player in players:
                lines = []
                process = subprocess.Popen([player, settings, "--window", "640x360"], cwd=ROOT, env=env,
                                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
                reader = threading.Thread(target=lambda: lines.extend(iter(process.stdout.readline, "")))
                reader.start()
                wait_for(lines, "end at", 200)
                subprocess.run(["xdotool", "key", "q"], env=env, check=False)
                process.wait(timeout=60)
                reader.join()
                print("  run %d %s: %s" % (run + 1, player, drift_text("".join(lines))), flush=True)
    finally:
        for hog in hogs:
            hog.kill()
            hog.wait()


def main():
    build, busy, drift_only, players = options(sys.argv[1:])
    player = os.path.join(build, "player", "vexel-player")
    if drift_only:
        server, display = start_xvfb()
        try:
            env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy")
            print("drift over the whole bundled demo with %d busy processes beside it" % busy)
            drift_runs(players or [player], env, busy)
        finally:
            server.kill()
            server.wait()
        return
    bare = os.path.join(build, "tools", "bare_window")
    probe = os.path.join(build, "tools", "libvexel_frame_probe.so")
    for path in (player, bare, probe):
        if not os.path.exists(path):
            sys.exit("missing %s: build first" % path)
    settings = os.path.join("demo", "morvelin.xml")

    server, display = start_xvfb()
    try:
        env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy")

        def to_the_end(lines, key):
            wait_for(lines, "end at", 200)
            key("q")

        _, whole, whole_out, status = play(player, [settings, "--window", "1280x720"], env, probe, to_the_end)
        if status != 0 or len(whole) < 2:
            sys.exit("the player failed (status %s)" % status)

        _, bare_swaps, _, _ = play(bare, [str(len(whole))], env, probe)

        chooser = random.Random(20261207)

        def seeking(lines, key):
            wait_for(lines, "ready at", 60)
            for _ in range(20):
                time.sleep(chooser.uniform(0.5, 2.0))
                key(chooser.choice(SEEK_KEYS))
            time.sleep(2.0)
            key("q")

        _, _, seek_out, _ = play(player, [settings, "--window", "1280x720"], env, probe, seeking)
        seeks = seek_out.count("\nseek to ")

        def quit_when_ready(lines, key):
            wait_for(lines, "ready at", 60)
            key("q")

        starts = []
        for _ in range(RUNS):
            began, swaps, _, _ = play(player, [settings, "--start", "30", "--window", "1280x720"], env, probe,
                                      quit_when_ready)
            if swaps:
                starts.append((swaps[0] - began) / 1e6)
        bare_starts = []
        for _ in range(RUNS):
            began, swaps, _, _ = play(bare, [], env, probe)
            if swaps:
                bare_starts.append((swaps[0] - began) / 1e6)
    finally:
        server.kill()
        server.wait()

    print("drift between timeline time and music position")
    print("  whole bundled demo:   %s" % drift_text(whole_out))
    print("  with %2d random seeks: %s" % (seeks, drift_text(seek_out)))
    print("frame intervals, one run each")
    for name, swaps in (("vexel-player", whole), ("bare_window", bare_swaps)):
        values = intervals_ms(swaps)
        print("  %-12s %5d frames: median %.2f ms, p99 %.2f ms"
              % (name, len(values), statistics.median(values), percentile(values, 0.99)))
    print("launch to first frame, median of %d runs" % RUNS)
    print("  vexel-player --start 30: %.0f ms (%s)" % (statistics.median(starts), ", ".join("%.0f" % s for s in starts)))
    print("  bare_window:             %.0f ms (%s)"
          % (statistics.median(bare_starts), ", ".join("%.0f" % s for s in bare_starts)))


if __name__ == "__main__":
    main()
