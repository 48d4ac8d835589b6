#!/usr/bin/env python3
"""Measures vexel-player --capture against its floor, side by side in one run.

  python3 tools/measure_capture.py [--build DIR] [--old PLAYER] [--seconds N] [--runs R]

For 1280x720 and 1920x1080 at 60 fps (final quality, N seconds of the bundled
demo from 20 s), each run times:
- the capture itself;
- drawing alone: the same capture with encoding skipped (VEXEL_CAPTURE_RAW
  sends the converted frames to a file instead of the encoder);
- x264 alone on those very frames with the same settings (ffmpeg, preset
  medium, CRF 18, its default threads), from the raw file;
- with --old, a capture by another vexel-player (main's build) as well.
The floor is the larger of x264's time and the CPU time of drawing plus
encoding divided by the cores; the target is capture <= 1.15 x floor. Then
draft at 1280x720, 60 fps, against real time (the target: at least 1.0).
Medians over the runs; the load average before and after, since other work
on the machine takes CPU from every figure.
"""

import argparse
import os
import resource
import statistics
import subprocess
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEMO = os.path.join(ROOT, "demo", "morvelin.xml")
FROM = 20.0


def timed(command, env=None):
    """Wall and CPU seconds (user + system, children included) of one command."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    began = time.monotonic()
    result = subprocess.run(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    wall = time.monotonic() - began
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if result.returncode != 0:
        raise SystemExit(" ".join(command) + " failed:\n" + result.stderr)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu


def capture_env(raw=None):
    env = dict(os.environ, SDL_AUDIODRIVER="dummy")
    # The offscreen driver: no X server needed, none to share.
    env.pop("DISPLAY", None)
    env.pop("VEXEL_CAPTURE_RAW", None)
    if raw is not None:
        env["VEXEL_CAPTURE_RAW"] = raw
    return env


def capture(player, out, size, seconds, quality="final", raw=None):
    return timed([player, "--capture", out, "--size", size, "--fps", "60", "--from", str(FROM), "--to",
                  str(FROM + seconds), "--quality", quality, "--quiet", DEMO] if quality else
                 [player, "--capture", out, "--size", size, "--fps", "60", "--from", str(FROM), "--to",
                  str(FROM + seconds), "--quiet", DEMO], capture_env(raw))


def load():
    return "load average %.2f %.2f %.2f" % os.getloadavg()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[1])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "release"))
    parser.add_argument("--old", help="another vexel-player to time beside (it takes no --quality)")
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--runs", type=int, default=2)
    args = parser.parse_args()
    player = os.path.join(args.build, "player", "vexel-player")
    cores = os.cpu_count()
    print("cores %d, %s" % (cores, load()))

    with tempfile.TemporaryDirectory(prefix="vexel-measure-capture-") as folder:
        out = os.path.join(folder, "out.mp4")
        raw = os.path.join(folder, "frames.yuv")
        for size in ("1280x720", "1920x1080"):
            figures = {"capture": [], "captureCpu": [], "draw": [], "drawCpu": [], "x264": [], "x264Cpu": [],
                       "old": [], "oldCpu": []}
            for _ in range(args.runs):
                wall, cpu = capture(player, out, size, args.seconds, raw=raw)
                figures["draw"].append(wall)
                figures["drawCpu"].append(cpu)
                wall, cpu = timed(["ffmpeg", "-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "yuv420p", "-s", size,
                                   "-r", "60", "-i", raw, "-c:v", "libx264", "-preset", "medium", "-crf", "18",
                                   "-f", "null", "-"])
                figures["x264"].append(wall)
                figures["x264Cpu"].append(cpu)
                wall, cpu = capture(player, out, size, args.seconds)
                figures["capture"].append(wall)
                figures["captureCpu"].append(cpu)
                if args.old:
                    wall, cpu = capture(args.old, out, size, args.seconds, quality=None)
                    figures["old"].append(wall)
                    figures["oldCpu"].append(cpu)
            median = {key: statistics.median(values) for key, values in figures.items() if values}
            floor = max(median["x264"], (median["drawCpu"] + median["x264Cpu"]) / cores)
            frames = int(args.seconds * 60)
            print("%s final, %d frames, medians of %d runs:" % (size, frames, args.runs))
            print("  capture %.2f s (%.1f fps, CPU %.2f s); drawing alone %.2f s (CPU %.2f s); x264 alone %.2f s "
                  "(CPU %.2f s)"
                  % (median["capture"], frames / median["capture"], median["captureCpu"], median["draw"],
                     median["drawCpu"],
                     median["x264"], median["x264Cpu"]))
            print("  floor %.2f s: capture / floor %.2f, capture / x264 %.2f"
                  % (floor, median["capture"] / floor, median["capture"] / median["x264"]))
            if args.old:
                print("  old capture %.2f s (%.1f fps, CPU %.2f s): old / floor %.2f, old / x264 %.2f"
                      % (median["old"], frames / median["old"], median["oldCpu"], median["old"] / floor,
                         median["old"] / median["x264"]))
            print("  " + load())

        drafts = [capture(player, out, "1280x720", args.seconds, quality="draft")[0] for _ in range(args.runs)]
        draft = statistics.median(drafts)
        print("1280x720 draft, 60 fps: %.2f s for %.1f s of demo: %.2f x real time (%.1f fps)"
              % (draft, args.seconds, args.seconds / draft, args.seconds * 60 / draft))
        print(load())


if __name__ == "__main__":
    main()
