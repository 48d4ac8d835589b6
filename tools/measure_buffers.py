#!/usr/bin/env python3
"""Measures a three-pass chain through buffers against one pass doing the
same shading work, in vexel-player, side by side, on a private Xvfb server.

  python3 tools/measure_buffers.py [--build DIR] [--runs N] [--seconds S] [--size WxH]
                                   [--iterations K] [--format F]

Both draw the window's whole picture (1280x720 by default) with the same
Shadertoy shader, shaders/chain.glsl, whose loop runs `iterations` times:

- single: one lib.Shader part on the screen, 3K iterations;
- chain:  three lib.Shader parts of K iterations each: the first draws into
          buffer a, the second reads a and draws into b, the third reads b
          and draws onto the screen (buffers of format F, default rgba16f).

So the chain shades as much as the single pass, and pays on top for two
buffers written and read, and the switches between them. Each run lasts S
seconds after its first frame (the first 1.5 s are left out); the overlay is
hidden. It prints each run's median frame interval, the median of those per
setting, the ratio chain/single, the GPU memory of the chain's buffers, and
the machine's load average before and after: figures from a busy machine are
noise, and the ratio only means something between runs of one sitting.
"""

import argparse
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from measure_demo import ROOT, load_average, run, start_xvfb  # noqa: E402
from measure_shader import alternate, demo_folder, hide_overlay  # noqa: E402

BYTES = {"rgba8": 4, "rgba16f": 8, "rgba32f": 16}


def part(name, priority, params):
    return ('<part name="%s" class="lib.Shader" start="0" end="600" priority="%d">'
            '<param shader="chain.glsl" %s/></part>\n' % (name, priority, params))


def folder_for(buffers, parts):
    return demo_folder("vexel-buffers-", {"chain.glsl": os.path.join(ROOT, "tools", "shaders", "chain.glsl")},
                       '%s<demoparts>\n%s</demoparts>' % (buffers, "".join(parts)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "release"))
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--seconds", type=float, default=12.0)
    parser.add_argument("--size", default="1280x720")
    parser.add_argument("--iterations", type=int, default=12)
    parser.add_argument("--format", default="rgba16f", choices=sorted(BYTES))
    options = parser.parse_args()
    build = os.path.abspath(options.build)
    player = os.path.join(build, "player", "vexel-player")
    probe = os.path.join(build, "tools", "libvexel_frame_probe.so")
    for path in (player, probe):
        if not os.path.exists(path):
            sys.exit("missing %s: build with the tools first" % path)

    k = options.iterations
    buffers = '<buffer name="a" format="%s"/><buffer name="b" format="%s"/>\n' % (options.format, options.format)
    folders = {
        "single": folder_for("", [part("single", 0, 'iterations="%d"' % (3 * k))]),
        "chain": folder_for(buffers, [part("first", 0, 'iterations="%d" target="a"' % k),
                                      part("second", 1, 'iterations="%d" iChannel0="a" target="b"' % k),
                                      part("third", 2, 'iterations="%d" iChannel0="b"' % k)]),
    }
    server, display = start_xvfb()
    env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy")

    width, height = (int(side) for side in options.size.split("x"))
    print("load average before: %s" % load_average())
    print("%s, %d iterations a pass (%d in one), buffers %s, %d runs of %g s each"
          % (options.size, k, 3 * k, options.format, options.runs, options.seconds))
    print("the chain's buffers: %.1f MiB" % (2 * width * height * BYTES[options.format] / (1024.0 * 1024.0)))

    def launch(name):
        settings = os.path.join(folders[name], "show.xml")
        return run(player, [settings, "--window", options.size, "--mute"], folders[name], env, probe,
                   steer=hide_overlay, stop_after=options.seconds)

    try:
        summary = alternate(("single", "chain"), launch, options.runs)
    finally:
        server.terminate()
        server.wait()
        for folder in folders.values():
            shutil.rmtree(folder, ignore_errors=True)

    if len(summary) == 2:
        print("ratio chain/single: %.3f" % (summary["chain"] / summary["single"]))
    print("load average after: %s" % load_average())


if __name__ == "__main__":
    main()
