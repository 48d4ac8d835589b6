#!/usr/bin/env python3
"""Measures the bundled demo from outside, on a private Xvfb server.

  python3 tools/measure_demo.py [BUILD_DIR]      (default: build/release)

- Start-up: the time from starting the process to the end of its first buffer
  swap, for the demo and for tools/bare_window.cpp, a bare SDL + OpenGL program
  that opens the same window and swaps once.
- Frame intervals: the time between consecutive swaps over the whole demo:
  median, 99th percentile and the share of frames longer than 1.5 x median.
- Resident memory (VmRSS) every 10 s from the start, from 5 s to 60 s.

Swaps are timed by the preloaded frame probe (tools/frame_probe.c); the
program runs as built, with SDL's dummy audio driver.
"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BARE_RUNS = 5


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


def rss_kib(pid):
    try:
        with open("/proc/%d/status" % pid) as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def run(program, args, cwd, env, probe, samples=()):
    """Runs the program; returns (start ns, swap times ns, {second: VmRSS kiB}, exit status)."""
    log = tempfile.NamedTemporaryFile(prefix="vexel-frames-", delete=False)
    log.close()
    env = dict(env, LD_PRELOAD=probe, VEXEL_FRAME_LOG=log.name)
    began = time.monotonic_ns()
    process = subprocess.Popen([program] + args, cwd=cwd, env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    memory = {}
    pending = sorted(samples)
    while process.poll() is None:
        elapsed = (time.monotonic_ns() - began) / 1e9
        if pending and elapsed >= pending[0]:
            memory[pending.pop(0)] = rss_kib(process.pid)
        if elapsed > 300:
            process.kill()
        time.sleep(0.02)
    with open(log.name) as frames:
        swaps = [int(line) for line in frames if line.strip()]
    os.unlink(log.name)
    return began, swaps, memory, process.returncode


def percentile(values, fraction):
    ordered = sorted(values)
    index = min(len(ordered) - 1, max(0, int(round(fraction * (len(ordered) - 1)))))
    return ordered[index]


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "release"))
    demo_program = os.path.join(build, "src", "morvelin")
    bare_program = os.path.join(build, "tools", "bare_window")
    probe = os.path.join(build, "tools", "libvexel_frame_probe.so")
    for path in (demo_program, bare_program, probe):
        if not os.path.exists(path):
            sys.exit("missing %s: build first (scripts/build.sh)" % path)

    server, display = start_xvfb()
    try:
        env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy")
        bare = []
        for _ in range(BARE_RUNS):
            began, swaps, _, status = run(bare_program, [], ROOT, env, probe)
            if status != 0 or not swaps:
                sys.exit("bare_window failed (status %s)" % status)
            bare.append((swaps[0] - began) / 1e6)

        workdir = tempfile.mkdtemp(prefix="vexel-measure-")
        shutil.copytree(os.path.join(ROOT, "demo"), workdir, dirs_exist_ok=True)
        began, swaps, memory, status = run(demo_program, [], workdir, env, probe, samples=(5, 10, 20, 30, 40, 50, 60))
        shutil.rmtree(workdir)
    finally:
        server.kill()
        server.wait()

    if status != 0 or len(swaps) < 2:
        sys.exit("the demo failed (status %s, %d frames)" % (status, len(swaps)))
    intervals = [(b - a) / 1e6 for a, b in zip(swaps, swaps[1:])]
    median = statistics.median(intervals)
    slow = sum(1 for i in intervals if i > 1.5 * median)

    print("start-up to first swapped frame")
    print("  bare SDL+OpenGL window: median %.0f ms of %d runs (%s)"
          % (statistics.median(bare), len(bare), ", ".join("%.0f" % b for b in bare)))
    print("  bundled demo:           %.0f ms" % ((swaps[0] - began) / 1e6))
    print("frame intervals over %d frames (%.1f s of swaps)" % (len(intervals), (swaps[-1] - swaps[0]) / 1e9))
    print("  median %.2f ms, p99 %.2f ms, max %.2f ms, over 1.5 x median: %d (%.2f %%)"
          % (median, percentile(intervals, 0.99), max(intervals), slow, 100.0 * slow / len(intervals)))
    print("resident memory (VmRSS)")
    for second in sorted(memory):
        value = memory[second]
        print("  at %2d s: %s" % (second, "%d kiB" % value if value is not None else "(process gone)"))
    print("total run %.1f s, exit status %d" % ((time.monotonic_ns() - began) / 1e9, status))


if __name__ == "__main__":
    main()
