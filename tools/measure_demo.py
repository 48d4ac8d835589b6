#!/usr/bin/env python3
"""Measures morvelin and vexel-player from outside, on a private Xvfb server.

  python3 tools/measure_demo.py [--build DIR] [--old DIR] [--runs N] [SECTION...]

DIR is a build folder (default build/release); --old names a second build
folder, or a morvelin program, measured in the same run for the sections that
compare (startup, bigpicture). Sections, all by default:

- startup:    process start to the end of the first buffer swap, the bundled
              demo against tools/bare_window (a bare SDL + OpenGL program that
              opens the same window and swaps once); N alternated runs of
              each, medians and their ratio.
- steady:     frame intervals on a steady scene (the same parts for 20 s) for
              morvelin and vexel-player (windowed): median, p99, p99/median,
              the share over 1.5 x median; the first second is left out.
- demo:       one run of the whole bundled demo in morvelin: frame intervals
              and resident memory (VmRSS) every 10 s up to 90 s, and the peak
              (VmHWM); then one in vexel-player (a 1280x720 window, the
              overlay hidden): its frame intervals, which should keep the
              display's rate.
- scenes:     each section of the bundled demo (as its timeline's comments
              name them) looped once in vexel-player, 1280x720, the overlay
              hidden, beside an empty timeline (one ClearScreen part) played
              in the same way: median and 90th percentile frame intervals, and
              the CPU time the player (with the software renderer's threads)
              used per frame, which a loaded machine inflates less.
- bigpicture: peak resident memory of morvelin showing one 16384x16384
              picture part for 2 s, as PNG and (with cjpeg) as JPEG; the
              pictures are made once, in /tmp. The program of --old and the
              new one alternated, N runs each.

Swaps are timed by the preloaded frame probe (tools/frame_probe.c); the
programs run as built, with SDL's dummy audio driver. The machine's load
average is printed before and after: figures from a busy machine are noise.
"""

import argparse
import os
import re
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SECTIONS = ("startup", "steady", "demo", "scenes", "bigpicture")
STEADY_SECONDS = 20
BIG_SIDE = 16384
BIG_PICTURE = os.path.join(tempfile.gettempdir(), "vexel-measure-%d" % BIG_SIDE)


def start_xvfb():
    for number in range(140, 200):
        if os.path.exists("/tmp/.X%d-lock" % number):
            continue
        server = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "1280x720x24", "-nolisten", "tcp"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists("/tmp/.X11-unix/X%d" % number):
                return server, ":%d" % number
            if server.poll() is not None:
                break
            time.sleep(0.05)
        server.kill()
        server.wait()
    sys.exit("no free display for Xvfb")


def proc_status_kib(pid, field):
    try:
        with open("/proc/%d/status" % pid) as status:
            for line in status:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def rss_kib(pid):
    return proc_status_kib(pid, "VmRSS")


def cpu_seconds(pid):
    """User and system time of the process and all its threads (the software renderer's among them)."""
    try:
        with open("/proc/%d/stat" % pid) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    except (OSError, IndexError, ValueError):
        return None


def run(program, args, cwd, env, probe, samples=(), steer=None, stop_after=None, cpu=None):
    """Runs the program to its end, or asks it to quit (SIGTERM) stop_after seconds after its first swap;
    returns (start ns, swap times ns, {second: VmRSS kiB}, peak VmHWM kiB, exit status).
    steer(stdout lines so far, key) runs beside it on a thread. A list given as cpu gets
    (monotonic ns, CPU seconds) samples of the process while it runs."""
    log = tempfile.NamedTemporaryFile(prefix="vexel-frames-", delete=False)
    log.close()
    env = dict(env, LD_PRELOAD=probe, VEXEL_FRAME_LOG=log.name)
    began = time.monotonic_ns()
    process = subprocess.Popen([program] + args, cwd=cwd, env=env, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True)
    lines = []
    reader = threading.Thread(target=lambda: lines.extend(iter(process.stdout.readline, "")))
    reader.start()
    if steer is not None:
        def key(name):
            subprocess.run(["xdotool", "key", name], env=env, check=False)
        threading.Thread(target=steer, args=(lines, key), daemon=True).start()
    memory = {}
    peak = 0
    pending = sorted(samples)
    while process.poll() is None:
        elapsed = (time.monotonic_ns() - began) / 1e9
        if pending and elapsed >= pending[0]:
            memory[pending.pop(0)] = rss_kib(process.pid)
        peak = max(peak, proc_status_kib(process.pid, "VmHWM") or 0)
        if cpu is not None:
            used = cpu_seconds(process.pid)
            if used is not None:
                cpu.append((time.monotonic_ns(), used))
        if stop_after is not None and os.path.getsize(log.name) > 0:
            stop_after -= 0.02
            if stop_after <= 0:
                process.terminate()
                stop_after = None
        if elapsed > 300:
            process.kill()
        time.sleep(0.02)
    reader.join()
    with open(log.name) as frames:
        swaps = [int(line) for line in frames if line.strip()]
    os.unlink(log.name)
    return began, swaps, memory, peak, process.returncode


def wait_for(lines, prefix, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if any(line.startswith(prefix) for line in list(lines)):
            return True
        time.sleep(0.05)
    return False


def percentile(values, fraction):
    ordered = sorted(values)
    index = min(len(ordered) - 1, max(0, int(round(fraction * (len(ordered) - 1)))))
    return ordered[index]


def interval_text(swaps, skip_seconds=0.0):
    kept = [s for s in swaps if s >= swaps[0] + skip_seconds * 1e9] if swaps else []
    intervals = [(b - a) / 1e6 for a, b in zip(kept, kept[1:])]
    if len(intervals) < 2:
        return "too few frames (%d)" % len(intervals)
    median = statistics.median(intervals)
    p99 = percentile(intervals, 0.99)
    slow = sum(1 for i in intervals if i > 1.5 * median)
    return ("%d frames: median %.2f ms, p99 %.2f ms, p99/median %.2f, max %.2f ms, over 1.5 x median %d (%.2f %%)"
            % (len(intervals), median, p99, p99 / median, max(intervals), slow, 100.0 * slow / len(intervals)))


def load_average():
    with open("/proc/loadavg") as loadavg:
        return " ".join(loadavg.read().split()[:3])


def demo_folder(settings_text=None):
    """A copy of the bundled demo in a fresh folder, with its settings file replaced when given."""
    folder = tempfile.mkdtemp(prefix="vexel-measure-")
    shutil.copytree(os.path.join(ROOT, "demo"), folder, dirs_exist_ok=True)
    if settings_text is not None:
        with open(os.path.join(folder, "morvelin.xml"), "w") as settings:
            settings.write(settings_text)
    return folder


def settings(parts):
    return ('<Halvorn-demo-settings><soundtrack file="data/music/morvelin.ogg"/><demoparts>\n%s'
            '</demoparts></Halvorn-demo-settings>\n' % "".join(parts))


def image_part(name, seconds, priority, params):
    values = "".join('<param %s="%s"/>' % item for item in params)
    return ('<part name="%s" class="lib.Image" start="0" length="%g" priority="%d">%s</part>\n'
            % (name, seconds, priority, values))


def steady_settings():
    """A backdrop, a few blended pictures and a turning one, the same from start to end."""
    parts = ['<part name="clear" class="lib.ClearScreen" start="0" length="%d" priority="0">'
             '<param color="10 12 30"/></part>\n' % STEADY_SECONDS,
             image_part("backdrop", STEADY_SECONDS, 1, [("image", "bg.jpg"), ("relativeWidth", "1"),
                                                       ("relativeHeight", "1")]),
             image_part("glow", STEADY_SECONDS, 2, [("image", "star.png"), ("blending", "additive"),
                                                   ("alpha", "0.7")]),
             image_part("ring", STEADY_SECONDS, 3, [("image", "test.png"), ("blending", "transcluent"),
                                                   ("rotate", "30")]),
             image_part("logo", STEADY_SECONDS, 4, [("image", "star.png"), ("blending", "transcluent"),
                                                   ("align", "left top"), ("relativeWidth", "0.3")])]
    return settings(parts)


def big_picture_rows():
    return [bytes(((x + y) * 3 + y) & 0xFF for x in range(BIG_SIDE * 3)) for y in range(64)]


def make_big_png(path):
    """An 8-bit RGB PNG of BIG_SIDE x BIG_SIDE pixels, written row by row."""
    if os.path.exists(path):
        return path
    rows = [bytes([0]) + row for row in big_picture_rows()]
    squeeze = zlib.compressobj(1)
    partial = path + ".part"
    with open(partial, "wb") as out:
        def chunk(kind, data):
            out.write(struct.pack(">I", len(data)) + kind + data
                      + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
        out.write(b"\x89PNG\r\n\x1a\n")
        chunk(b"IHDR", struct.pack(">IIBBBBB", BIG_SIDE, BIG_SIDE, 8, 2, 0, 0, 0))
        for y in range(BIG_SIDE):
            data = squeeze.compress(rows[y % len(rows)])
            if data:
                chunk(b"IDAT", data)
        chunk(b"IDAT", squeeze.flush())
        chunk(b"IEND", b"")
    os.replace(partial, path)
    return path


def make_big_jpeg(path):
    """The same picture as a baseline JPEG, through cjpeg (libjpeg-turbo-progs); None without cjpeg."""
    if os.path.exists(path):
        return path
    if shutil.which("cjpeg") is None:
        return None
    partial = path + ".part"
    with open(partial, "wb") as out:
        encoder = subprocess.Popen(["cjpeg", "-quality", "90"], stdin=subprocess.PIPE, stdout=out)
        encoder.stdin.write(b"P6\n%d %d\n255\n" % (BIG_SIDE, BIG_SIDE))
        rows = big_picture_rows()
        for y in range(BIG_SIDE):
            encoder.stdin.write(rows[y % len(rows)])
        encoder.stdin.close()
        if encoder.wait() != 0:
            return None
    os.replace(partial, path)
    return path


def measure_startup(programs, env, runs):
    demo = []
    bare = []
    folder = demo_folder()
    try:
        # Alternated, so a change in the machine's load falls on both.
        for _ in range(runs):
            began, swaps, _, _, _ = run(programs["morvelin"], [], folder, env, programs["probe"], stop_after=0.5)
            demo.append((swaps[0] - began) / 1e6 if swaps else float("nan"))
            began, swaps, _, _, _ = run(programs["bare"], [], ROOT, env, programs["probe"])
            bare.append((swaps[0] - began) / 1e6 if swaps else float("nan"))
    finally:
        shutil.rmtree(folder)
    print("start-up to first swapped frame, %d alternated runs each" % runs)
    print("  bundled demo:           median %.0f ms (%s)" % (statistics.median(demo), ", ".join("%.0f" % d for d in demo)))
    print("  bare SDL+OpenGL window: median %.0f ms (%s)" % (statistics.median(bare), ", ".join("%.0f" % b for b in bare)))
    print("  ratio of the medians:   %.2f" % (statistics.median(demo) / statistics.median(bare)))


def measure_steady(programs, env):
    folder = demo_folder(steady_settings())
    try:
        _, swaps, _, _, status = run(programs["morvelin"], [], folder, env, programs["probe"])
        demo_text = interval_text(swaps, 1.0) if status == 0 else "failed (status %s)" % status

        def to_the_end(lines, key):
            wait_for(lines, "end at", STEADY_SECONDS + 60)
            key("q")

        player_text = "not built"
        if os.path.exists(programs["player"]):
            _, swaps, _, _, status = run(programs["player"], ["morvelin.xml", "--window", "1280x720"], folder, env,
                                         programs["probe"], steer=to_the_end)
            player_text = interval_text(swaps, 1.0) if status == 0 else "failed (status %s)" % status
    finally:
        shutil.rmtree(folder)
    print("frame intervals on a steady scene (%d s, 5 parts; first second left out)" % STEADY_SECONDS)
    print("  morvelin:     %s" % demo_text)
    print("  vexel-player: %s" % player_text)


def quit_at_end(lines, key):
    if wait_for(lines, "ready at", 60):
        key("F1")  # the overlay is the maker's, not the demo's
    wait_for(lines, "end at", 300)
    key("q")


def measure_demo(programs, env):
    folder = demo_folder()
    try:
        _, swaps, memory, peak, status = run(programs["morvelin"], [], folder, env, programs["probe"],
                                             samples=(10, 20, 30, 40, 50, 60, 70, 80, 90))
        player_text = "not built"
        if os.path.exists(programs["player"]):
            _, player_swaps, _, _, player_status = run(programs["player"], ["morvelin.xml", "--window", "1280x720"],
                                                       folder, env, programs["probe"], steer=quit_at_end)
            player_text = interval_text(player_swaps, 1.0) if player_status == 0 else \
                "failed (status %s)" % player_status
    finally:
        shutil.rmtree(folder)
    print("the whole bundled demo")
    print("  morvelin (exit status %s): frame intervals: %s" % (status, interval_text(swaps)))
    print("    resident memory (VmRSS): %s; peak (VmHWM) %.0f MB" % (
        ", ".join("%d s %s" % (second, "%.0f MB" % (memory[second] / 1024) if memory[second] else "(gone)")
                  for second in sorted(memory)), peak / 1024))
    print("  vexel-player, 1280x720 window (first second left out): %s" % player_text)


def demo_scenes():
    """(name, from, to) of each section of the bundled demo, from the timeline's comments."""
    with open(os.path.join(ROOT, "demo", "morvelin.xml")) as timeline:
        found = re.findall(r"<!-- bars \d+-\d+, ([0-9.]+)-([0-9.]+) s, ([\w -]+):", timeline.read())
    return [(name, float(first), float(last)) for first, last, name in found]


def measure_scenes(programs, env):
    if not os.path.exists(programs["player"]):
        print("scenes: vexel-player not built")
        return
    seconds = 15.0
    folder = demo_folder()
    with open(os.path.join(folder, "empty.xml"), "w") as empty:
        empty.write(settings(['<part name="black" class="lib.ClearScreen" start="0" length="%g" priority="0">'
                              '<param color="0 0 0"/></part>\n' % seconds]))
    rows = []
    try:
        for name, first, last in [("empty timeline", 0.0, seconds)] + demo_scenes():
            def one_pass(lines, key, length=last - first):
                if wait_for(lines, "ready at", 60):
                    key("F1")
                    time.sleep(length)
                key("q")

            settings_file = "empty.xml" if name == "empty timeline" else "morvelin.xml"
            cpu = []
            _, swaps, _, _, status = run(programs["player"], [settings_file, "--window", "1280x720", "--loop",
                                                              "%g-%g" % (first, last)], folder, env, programs["probe"],
                                         steer=one_pass, cpu=cpu)
            kept = [s for s in swaps if swaps and s >= swaps[0] + 1e9]
            intervals = [(b - a) / 1e6 for a, b in zip(kept, kept[1:])]
            if status != 0 or len(intervals) < 2:
                rows.append("  %-16s failed (status %s, %d frames)" % (name, status, len(intervals)))
                continue
            # CPU time per frame says more than wall time while others load the machine.
            inside = [used for at, used in cpu if kept[0] <= at <= kept[-1]]
            per_frame = (inside[-1] - inside[0]) * 1e3 / len(intervals) if len(inside) > 1 else float("nan")
            rows.append("  %-16s %5.1f-%5.1f s: %4d frames, median %6.2f ms, p90 %6.2f ms, CPU %6.2f ms a frame" % (
                name, first, last, len(intervals), statistics.median(intervals), percentile(intervals, 0.9),
                per_frame))
    finally:
        shutil.rmtree(folder)
    print("frame intervals per scene, vexel-player at 1280x720, each section looped once (first second left out)")
    print("\n".join(rows))


def measure_big_picture(programs, env, runs):
    pictures = [("PNG", make_big_png(BIG_PICTURE + ".png")), ("JPEG", make_big_jpeg(BIG_PICTURE + ".jpg"))]
    contenders = [("old", programs["old"]), ("new", programs["morvelin"])] if programs["old"] else \
        [("new", programs["morvelin"])]
    for kind, picture in pictures:
        if picture is None:
            print("no %dx%d %s picture: cjpeg (libjpeg-turbo-progs) is missing" % (BIG_SIDE, BIG_SIDE, kind))
            continue
        name = "big" + os.path.splitext(picture)[1]
        folder = demo_folder(settings([image_part("big", 2, 1, [("image", name)])]))
        os.symlink(picture, os.path.join(folder, "data", "textures", name))
        peaks = {contender: [] for contender, _ in contenders}
        try:
            for _ in range(runs):
                for contender, program in contenders:
                    _, swaps, _, peak, status = run(program, [], folder, env, programs["probe"])
                    peaks[contender].append(peak / 1024 if status == 0 and swaps else float("nan"))
        finally:
            shutil.rmtree(folder)
        print("peak resident memory (VmHWM) showing one %dx%d %s picture, %d alternated runs"
              % (BIG_SIDE, BIG_SIDE, kind, runs))
        for contender, program in contenders:
            print("  %s %s: median %.0f MB (%s)" % (contender, program, statistics.median(peaks[contender]),
                                                  ", ".join("%.0f" % p for p in peaks[contender])))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "release"))
    parser.add_argument("--old", help="a second build folder or morvelin program to compare with")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("sections", nargs="*", metavar="SECTION", help=", ".join(SECTIONS))
    options = parser.parse_args()
    for section in options.sections:
        if section not in SECTIONS:
            parser.error("unknown section %s (choose from %s)" % (section, ", ".join(SECTIONS)))
    options.sections = options.sections or list(SECTIONS)
    build = os.path.abspath(options.build)
    programs = {
        "morvelin": os.path.join(build, "src", "morvelin"),
        "player": os.path.join(build, "player", "vexel-player"),
        "bare": os.path.join(build, "tools", "bare_window"),
        "probe": os.path.join(build, "tools", "libvexel_frame_probe.so"),
        "old": None,
    }
    if options.old:
        old = os.path.abspath(options.old)
        programs["old"] = os.path.join(old, "src", "morvelin") if os.path.isdir(old) else old
    for name in ("morvelin", "bare", "probe", "old"):
        if programs[name] and not os.path.exists(programs[name]):
            sys.exit("missing %s: build first (scripts/build.sh)" % programs[name])

    print("load average before: %s (%d cores)" % (load_average(), os.cpu_count()))
    server, display = start_xvfb()
    try:
        env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy")
        for section in options.sections:
            if section == "startup":
                measure_startup(programs, env, options.runs)
            elif section == "steady":
                measure_steady(programs, env)
            elif section == "demo":
                measure_demo(programs, env)
            elif section == "scenes":
                measure_scenes(programs, env)
            elif section == "bigpicture":
                measure_big_picture(programs, env, options.runs)
            sys.stdout.flush()
    finally:
        server.kill()
        server.wait()
    print("load average after: %s" % load_average())


if __name__ == "__main__":
    main()
