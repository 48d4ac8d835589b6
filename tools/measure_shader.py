#!/usr/bin/env python3
"""Measures a heavy fragment shader in vexel-player against the same shader in
a bare OpenGL program, side by side, on a private Xvfb server.

  python3 tools/measure_shader.py [--build DIR] [--runs N] [--seconds S] [--size WxH] [SHADER]

SHADER is a file of the showdown convention that reads only fGlobalTime and
v2Resolution, so that the bare program runs exactly what the player does
(default: tools/shaders/raymarch.glsl, a raymarcher with soft shadows and
ambient occlusion). Three programs run it at the same size, N times each,
one after another:

- bare:    tools/shader_window, a bare SDL + OpenGL program that draws the
           shader over its window and swaps;
- player:  vexel-player with one lib.Shader part (opaque, full resolution,
           so it draws straight into the window), the overlay hidden;
- texture: the same part with blending="transcluent", which draws into the
           part's own texture first and puts that over the window.

Each run lasts S seconds after its first frame; the first 1.5 s are left out.
It prints each run's median frame interval, the median of those per program,
and the ratios player/bare and texture/bare (the goal: at most 1.05), with
the machine's load average before and after: figures from a busy machine are
noise, and the ratio only means something between runs of one sitting.
"""

import argparse
import os
import shutil
import statistics
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from measure_demo import ROOT, load_average, run, start_xvfb, wait_for  # noqa: E402

SKIP_SECONDS = 1.5


def demo_folder(prefix, shaders, body):
    """A demo folder of its own: the shaders ({name: file}), the bundled music and
    show.xml, whose document element holds the soundtrack and then body."""
    folder = tempfile.mkdtemp(prefix=prefix)
    os.makedirs(os.path.join(folder, "data", "shaders"))
    os.makedirs(os.path.join(folder, "data", "music"))
    for name, path in shaders.items():
        shutil.copyfile(path, os.path.join(folder, "data", "shaders", name))
    shutil.copyfile(os.path.join(ROOT, "demo", "data", "music", "morvelin.ogg"),
                    os.path.join(folder, "data", "music", "morvelin.ogg"))
    with open(os.path.join(folder, "show.xml"), "w") as settings:
        settings.write('<Halvorn-demo-settings><soundtrack file="data/music/morvelin.ogg"/>\n%s'
                       '</Halvorn-demo-settings>\n' % body)
    return folder


def player_folder(shader, params):
    return demo_folder("vexel-shader-", {"measured.glsl": shader},
                       '<demoparts>\n<part name="measured" class="lib.Shader" start="0" end="600" priority="0">'
                       '<param shader="measured.glsl" %s/></part>\n</demoparts>' % params)


def median_interval(swaps):
    kept = [s for s in swaps if s >= swaps[0] + SKIP_SECONDS * 1e9] if swaps else []
    intervals = [(b - a) / 1e6 for a, b in zip(kept, kept[1:])]
    return statistics.median(intervals) if len(intervals) >= 2 else None, len(intervals)


def hide_overlay(lines, key):
    """Steers a player: its overlay is hidden once it is ready, so it is not measured."""
    if wait_for(lines, "ready at", 60):
        key("F1")


def alternate(names, launch, runs):
    """Runs launch(name) for each name in turn, runs times; prints each run's
    median frame interval and returns the median of those medians by name."""
    width = max(len(name) for name in names)
    medians = {name: [] for name in names}
    for number in range(runs):
        for name in names:
            median, count = median_interval(launch(name)[1])
            if median is None:
                print("  run %d %-*s: too few frames (%d)" % (number + 1, width, name, count))
                continue
            medians[name].append(median)
            print("  run %d %-*s: median %.2f ms over %d frames" % (number + 1, width, name, median, count))
    summary = {name: statistics.median(values) for name, values in medians.items() if values}
    for name, value in summary.items():
        print("%-*s median of medians %.2f ms" % (width, name, value))
    return summary


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "release"))
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--seconds", type=float, default=12.0)
    parser.add_argument("--size", default="1280x720")
    parser.add_argument("shader", nargs="?", default=os.path.join(ROOT, "tools", "shaders", "raymarch.glsl"))
    options = parser.parse_args()
    build = os.path.abspath(options.build)
    player = os.path.join(build, "player", "vexel-player")
    bare = os.path.join(build, "tools", "shader_window")
    probe = os.path.join(build, "tools", "libvexel_frame_probe.so")
    for path in (player, bare, probe):
        if not os.path.exists(path):
            sys.exit("missing %s: build with the tools first" % path)
    shader = os.path.abspath(options.shader)

    server, display = start_xvfb()
    env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy")
    folders = {"player": player_folder(shader, ""), "texture": player_folder(shader, 'blending="transcluent"')}

    print("load average before: %s" % load_average())
    print("%s at %s, %d runs of %g s each" % (os.path.relpath(shader, ROOT), options.size, options.runs,
                                             options.seconds))

    def launch(name):
        if name == "bare":
            return run(bare, [shader, options.size, "1000000"], ROOT, env, probe, stop_after=options.seconds)
        settings = os.path.join(folders[name], "show.xml")
        return run(player, [settings, "--window", options.size, "--mute"], folders[name], env, probe,
                   steer=hide_overlay, stop_after=options.seconds)

    try:
        summary = alternate(("bare", "player", "texture"), launch, options.runs)
    finally:
        server.terminate()
        server.wait()
        for folder in folders.values():
            shutil.rmtree(folder, ignore_errors=True)

    if "bare" in summary:
        for name in ("player", "texture"):
            if name in summary:
                print("ratio %s/bare: %.3f" % (name, summary[name] / summary["bare"]))
    print("load average after: %s" % load_average())


if __name__ == "__main__":
    main()
