#!/usr/bin/env python3
"""Frame times of the show and of its floor (bench/frame_floor), start to start, measured side by side on
one private Xvfb screen: the programs take turns in short runs, round after round, so that a shared,
noisy machine weighs on all of them alike. Prints, for intro and game frames, the median over the rounds
of each run's median, and each program's ratio to the floor.

Usage: bench/frame-times.py BUILD_DIR [--rounds N] [--show NAME=SHOW_DIR ...] [--profile]
  BUILD_DIR     a build with show/quarnel and bench/frame_floor (the floor runs from its show folder)
  --show        further builds of the show to time beside it, e.g. --show before=/tmp/old/show
  --profile     runs with --profile instead and prints the per-pass table of every program (each pass
                then ends with glFinish, so these runs are slower than plain ones)
"""
import argparse
import os
import re
import signal
import statistics
import subprocess
import sys
import time

LINE = re.compile(r"^\s*(intro |game )?frames (\d+)\s+median ([\d.]+) ms")
PASS = re.compile(r"^  ([a-z ]+?)\s+([\d.]+)\s+([\d.]+)$")


def start_xvfb():
    for n in range(150, 200):
        if not os.path.exists("/tmp/.X11-unix/X%d" % n) and not os.path.exists("/tmp/.X%d-lock" % n):
            display = ":%d" % n
            proc = subprocess.Popen(["Xvfb", display, "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            for _ in range(300):
                if subprocess.run(["xdpyinfo", "-display", display], capture_output=True).returncode == 0:
                    return proc, display
                time.sleep(0.1)
            proc.terminate()
    sys.exit("frame-times: no X server could be started")


def medians(output):
    """{'intro': ms, 'game': ms} from the --stats lines of a run, and {pass: (intro ms, game ms)} from its
    --profile table."""
    found, passes = {}, {}
    for line in output.splitlines():
        m = LINE.match(line)
        if m and m.group(1):
            found[m.group(1).strip()] = float(m.group(3))
        p = PASS.match(line)
        if p and p.group(1) != "frames":
            passes[p.group(1)] = (float(p.group(2)), float(p.group(3)))
    found["passes"] = passes
    return found


def run(command, cwd, env):
    r = subprocess.run(command, cwd=cwd, env=env, capture_output=True, text=True, timeout=1800)
    found = medians(r.stdout + r.stderr)
    if r.returncode != 0 or len(found) < 3:
        sys.exit("frame-times: %s failed (%d):\n%s%s" % (command[0], r.returncode, r.stdout, r.stderr))
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--show", action="append", default=[])
    parser.add_argument("--profile", action="store_true")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    shows = [("show", os.path.join(build, "show"))]
    for item in args.show:
        name, _, folder = item.partition("=")
        shows.append((name, os.path.abspath(folder)))
    floor = os.path.join(build, "bench", "frame_floor")

    # Ended from outside, still stop the X server (through the finally below).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("frame-times: stopped"))
    xvfb, display = start_xvfb()
    env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy")
    # The layers' camera follows the pointer: park it where the show's camera rests.
    subprocess.run(["xdotool", "mousemove", "400", "300"], env=env, check=False)
    results = {name: {"intro": [], "game": [], "passes": {}} for name, _ in shows + [("floor", None)]}
    timing = "--profile" if args.profile else "--stats"

    def keep(name, found):
        for kind in ("intro", "game"):
            results[name][kind].append(found[kind])
        for p, values in found["passes"].items():
            results[name]["passes"].setdefault(p, []).append(values)

    try:
        for r in range(args.rounds):
            for name, folder in shows:
                # A quarter second per frame reaches the game after 60 intro frames.
                keep(name, run([os.path.join(folder, "quarnel"), "--run", "--windowed", "--no-music", "--batch",
                                "--fixed-step", "0.25", "--frames", "160", timing], folder, env))
            keep("floor", run([floor, "--frames", "60"] + (["--profile"] if args.profile else []), shows[0][1], env))
            print("round %d: %s" % (r + 1, "  ".join("%s %.1f/%.1f" % (n, v["intro"][-1], v["game"][-1])
                                                   for n, v in results.items())), file=sys.stderr, flush=True)
    finally:
        xvfb.terminate()
        xvfb.wait()

    floor_median = {k: statistics.median(results["floor"][k]) for k in ("intro", "game")}
    print("median of %d runs each, ms per frame start to start (ratio to the floor)" % args.rounds)
    print("%-12s %16s %16s" % ("", "intro", "game"))
    for name, values in results.items():
        cells = []
        for kind in ("intro", "game"):
            m = statistics.median(values[kind])
            cells.append("%7.1f (%4.2f)" % (m, m / floor_median[kind]))
        print("%-12s %16s %16s" % (name, cells[0], cells[1]))
    if args.profile:
        names = list(results)
        print("\nmedian over the runs of each pass's median, ms (intro / game)")
        print("%-14s" % "pass" + "".join("%16s" % n for n in names))
        for p in results[names[0]]["passes"]:
            cells = []
            for n in names:
                values = results[n]["passes"].get(p, [])
                cells.append("%7.2f /%6.2f" % (statistics.median(v[0] for v in values),
                                               statistics.median(v[1] for v in values)) if values else "-")
            print("%-14s" % p + "".join("%16s" % c for c in cells))


if __name__ == "__main__":
    main()
