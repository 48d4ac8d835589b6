#!/usr/bin/env python3
"""Measures live reload in vexel-player, on a private Xvfb server.

  python3 tools/measure_reload.py [BUILD_DIR] [SAVES]   (default: build/release, 100)

A copy of the bundled demo plays; its settings file is saved SAVES times,
each time with a different comment, alternately written in place and
renamed over the old file as editors do. For each save: the time from the
save to the player's "reloaded at" line, which it prints once the first
frame of the new timeline has been swapped; and the player's resident memory.
Then tools/reload_soak counts the GL names alive over as many reloads.
"""

import os
import queue
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from measure_demo import ROOT, percentile, rss_kib, start_xvfb  # noqa: E402


def save(path, text, by_rename):
    target = path + ".new" if by_rename else path
    with open(target, "w") as out:
        out.write(text)
    if by_rename:
        os.rename(target, path)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build/release"))
    saves = int(sys.argv[2]) if len(sys.argv) > 2 else 100
    player = os.path.join(build, "player/vexel-player")
    folder = tempfile.mkdtemp(prefix="vexel-reload-")
    shutil.copytree(os.path.join(ROOT, "demo"), os.path.join(folder, "demo"))
    settings = os.path.join(folder, "demo/morvelin.xml")
    with open(settings) as original:
        text = original.read()
    server, display = start_xvfb()
    env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy")
    process = subprocess.Popen([player, settings, "--loop", "20-40"], env=env, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True)
    lines = queue.Queue()
    threading.Thread(target=lambda: [lines.put(line) for line in iter(process.stdout.readline, "")],
                     daemon=True).start()

    def wait_for(prefix, timeout=10.0):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            try:
                line = lines.get(timeout=end - time.monotonic())
            except queue.Empty:
                break
            if line.startswith(prefix):
                return time.monotonic()
        return None

    latencies = []
    memory = []
    try:
        if wait_for("ready at", 30.0) is None:
            sys.exit("the player did not start")
        memory.append(rss_kib(process.pid))
        for number in range(saves):
            # A moment between saves, as a maker's would have.
            time.sleep(0.1)
            save(settings, text + "<!-- save %d -->\n" % number, number % 2 == 1)
            saved = time.monotonic()
            shown = wait_for("reloaded at")
            if shown is None:
                sys.exit("save %d was not reloaded" % number)
            latencies.append((shown - saved) * 1000.0)
            memory.append(rss_kib(process.pid))
    finally:
        process.terminate()
        process.wait(timeout=30)
        server.terminate()
        server.wait()
        shutil.rmtree(folder, ignore_errors=True)

    print("save to the first frame of the new timeline over %d saves: median %.0f ms, 90th %.0f ms, max %.0f ms"
          % (len(latencies), statistics.median(latencies), percentile(latencies, 0.9), max(latencies)))
    marks = [0, 1] + list(range(25, len(latencies) + 1, 25))
    print("resident memory (KiB) after save: " + ", ".join("%d: %d" % (n, memory[n]) for n in marks if n < len(memory)))
    soak = os.path.join(build, "tools/reload_soak")
    server, display = start_xvfb()
    try:
        subprocess.run([soak, os.path.join(ROOT, "demo/morvelin.xml"), str(saves)], check=False,
                       env=dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy"))
    finally:
        server.terminate()
        server.wait()


if __name__ == "__main__":
    main()
