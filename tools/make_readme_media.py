#!/usr/bin/env python3
"""Makes the README's opening pictures of the bundled demo again, both by
vexel-player --capture: a strip of six stills, one from each scene
(docs/pictures/demo-strip.jpg), and a short GIF of the drop's first bars
(docs/pictures/demo.gif).

Needs a built vexel-player (build/release by default, or --build FOLDER),
a display (run it under xvfb-run without one) and ImageMagick's montage and
convert. Captures are frame-exact, so the same demo gives the same pictures.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PICTURES = os.path.join(ROOT, "docs", "pictures")
SETTINGS = os.path.join(ROOT, "demo", "morvelin.xml")

# One moment of each scene, in seconds: the title, the tunnel, the knot with a
# credit, the greetings over the smoke, the drop, the outro's title.
STILLS = (12.0, 27.0, 40.0, 52.0, 66.5, 86.0)
STILL_SIZE = "640x360"
TILE = "320x180"
# The impact into the drop: the black beat, the flash and the knot in its ring. Small and at
# 8 fps: every pixel moves in the drop, so each frame costs a GIF nearly its full size.
GIF_FROM, GIF_TO, GIF_SIZE, GIF_FPS = 59.5, 62.5, "256x144", 8


def capture(player, out, *args):
    subprocess.run([player, "--capture", out, *args, SETTINGS], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "release"))
    options = parser.parse_args()
    player = os.path.join(os.path.abspath(options.build), "player", "vexel-player")
    if not os.path.exists(player):
        sys.exit("missing %s: build first (scripts/build.sh)" % player)
    for tool in ("montage", "convert"):
        if shutil.which(tool) is None:
            sys.exit("missing ImageMagick's %s (apt-get install imagemagick)" % tool)
    work = tempfile.mkdtemp(prefix="vexel-readme-")
    try:
        stills = []
        for n, seconds in enumerate(STILLS):
            # A second before the moment too: the smoke's buffer starts empty at a capture's first frame.
            capture(player, os.path.join(work, "%d-%%02d.png" % n), "--size", STILL_SIZE, "--fps", "30",
                    "--from", "%g" % (seconds - 1), "--to", "%g" % (seconds + 0.01))
            stills.append(os.path.join(work, "%d-30.png" % n))
        strip = os.path.join(PICTURES, "demo-strip.jpg")
        subprocess.run(["montage", *stills, "-tile", "%dx1" % len(stills), "-geometry", TILE + "+2+0",
                        "-background", "black", os.path.join(work, "strip.png")], check=True)
        subprocess.run(["convert", os.path.join(work, "strip.png"), "-strip", "-quality", "86", strip], check=True)
        gif = os.path.join(work, "demo.gif")
        capture(player, gif, "--size", GIF_SIZE, "--fps", str(GIF_FPS), "--from", "%g" % GIF_FROM,
                "--to", "%g" % GIF_TO)
        # Where a pixel hardly changes, the frame keeps the one before: a third smaller.
        subprocess.run(["convert", gif, "-fuzz", "5%", "-layers", "Optimize", os.path.join(PICTURES, "demo.gif")],
                       check=True)
    finally:
        shutil.rmtree(work)
    for name in ("demo-strip.jpg", "demo.gif"):
        path = os.path.join(PICTURES, name)
        print("%s: %.0f kB" % (os.path.relpath(path, ROOT), os.path.getsize(path) / 1024))
    return 0


if __name__ == "__main__":
    sys.exit(main())
