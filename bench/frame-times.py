#!/usr/bin/env python3
"""Frame times of the show and of its floor (bench/frame_floor), start to start, measured side by side on
one private Xvfb screen: the programs take turns in short runs, round after round, so that a shared,
noisy machine weighs on all of them alike. Prints, for intro and game frames, the median over the rounds
of each run's median, and each program's ratio to the floor.

Usage: bench/frame-times.py BUILD_DIR [--rounds N] [--show NAME=SHOW_DIR ...] [--floor NAME=PROGRAM ...]
                            [--profile | --cost]
  BUILD_DIR     a build with show/quarnel and bench/frame_floor (the floor runs from its show folder)
  --show        further builds of the show to time beside it, e.g. --show before=/tmp/old/show
  --floor       further floor programs to time beside it (ratios stay against BUILD_DIR's floor)
  --profile     runs with --profile instead and prints the per-pass table of every program (each pass
                then ends with glFinish, so these runs are slower than plain ones)
  --cost        the processor time (all threads) and the wall time of one game frame instead, each the
                difference of a long and a short run over the game frames between them, so that start-up,
                the intro and the exit cancel; per round, the programs take turns with such a pair
"""
import argparse
import os
import re
import resource
import signal
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from harness import Xvfb, stats_medians  # noqa: E402


def run(command, cwd, env):
    r = subprocess.run(command, cwd=cwd, env=env, capture_output=True, text=True, timeout=1800)
    found = stats_medians(r.stdout + r.stderr)
    if r.returncode != 0 or len(found) < 3:
        sys.exit("frame-times: %s failed (%d):\n%s%s" % (command[0], r.returncode, r.stdout, r.stderr))
    return found


def timed_run(command, cwd, env):
    """Wall and processor seconds (all threads) of one run, start to exit."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    r = subprocess.run(command, cwd=cwd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                       timeout=1800)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if r.returncode != 0:
        sys.exit("frame-times: %s failed (%d):\n%s" % (command[0], r.returncode, r.stderr))
    return wall, (after.ru_utime + after.ru_stime) - (before.ru_utime + before.ru_stime)


# --cost: the show's frames 61 on are game frames at a step of 0.25 s (the intro ends past 15 s); both runs
# of a pair go past the first game frames, and the long one stays inside the first round (45 s).
SHORT_SHOW, SHORT_FLOOR, GAME_FRAMES = 70, 10, 100


def cost(args, shows, floors, env):
    names = [name for name, _ in shows] + [name for name, _ in floors]
    per_frame = {name: {"cpu": [], "wall": []} for name in names}
    for r in range(args.rounds):
        for name, where in shows + floors:
            if (name, where) in floors:
                command = [where, "--game-only", "--frames"]
                folder, short = shows[0][1], SHORT_FLOOR
            else:
                command = [os.path.join(where, "quarnel"), "--run", "--windowed", "--no-music", "--batch",
                           "--fixed-step", "0.25", "--frames"]
                folder, short = where, SHORT_SHOW
            wall_short, cpu_short = timed_run(command + [str(short)], folder, env)
            wall_long, cpu_long = timed_run(command + [str(short + GAME_FRAMES)], folder, env)
            per_frame[name]["wall"].append(1000.0 * (wall_long - wall_short) / GAME_FRAMES)
            per_frame[name]["cpu"].append(1000.0 * (cpu_long - cpu_short) / GAME_FRAMES)
        print("round %d: %s" % (r + 1, "  ".join("%s %.1f/%.1f" % (n, v["cpu"][-1], v["wall"][-1])
                                               for n, v in per_frame.items())), file=sys.stderr, flush=True)
    floor_cpu = statistics.median(per_frame["floor"]["cpu"])
    floor_wall = statistics.median(per_frame["floor"]["wall"])
    print("one game frame, ms: median of %d pairs of runs (%d game frames apart), ratio to the floor"
          % (args.rounds, GAME_FRAMES))
    print("%-12s %18s %18s" % ("", "processor", "wall"))
    for name in names:
        c = statistics.median(per_frame[name]["cpu"])
        w = statistics.median(per_frame[name]["wall"])
        print("%-12s %10.1f (%4.2f) %10.1f (%4.2f)" % (name, c, c / floor_cpu, w, w / floor_wall))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--show", action="append", default=[])
    parser.add_argument("--floor", action="append", default=[])
    parser.add_argument("--profile", action="store_true")
    parser.add_argument("--cost", action="store_true")
    args = parser.parse_args()
    if args.profile and args.cost:
        parser.error("--profile and --cost are two ways of running: choose one")
    build = os.path.abspath(args.build)
    shows = [("show", os.path.join(build, "show"))]
    for item in args.show:
        name, _, folder = item.partition("=")
        shows.append((name, os.path.abspath(folder)))
    floors = [("floor", os.path.join(build, "bench", "frame_floor"))]
    for item in args.floor:
        name, _, program = item.partition("=")
        floors.append((name, os.path.abspath(program)))

    # Ended from outside, still stop the X server (through the finally below).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("frame-times: stopped"))
    xvfb = Xvfb("1024x768x24", first=150)
    display = xvfb.display
    env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy")
    # The layers' camera follows the pointer: park it where the show's camera rests.
    subprocess.run(["xdotool", "mousemove", "400", "300"], env=env, check=False)
    results = {name: {"intro": [], "game": [], "passes": {}} for name, _ in shows + floors}
    timing = "--profile" if args.profile else "--stats"

    def keep(name, found):
        for kind in ("intro", "game"):
            results[name][kind].append(found[kind])
        for p, values in found["passes"].items():
            results[name]["passes"].setdefault(p, []).append(values)

    try:
        if args.cost:
            return cost(args, shows, floors, env)
        for r in range(args.rounds):
            for name, folder in shows:
                # A quarter second per frame reaches the game after 60 intro frames.
                keep(name, run([os.path.join(folder, "quarnel"), "--run", "--windowed", "--no-music", "--batch",
                                "--fixed-step", "0.25", "--frames", "160", timing], folder, env))
            for name, program in floors:
                keep(name, run([program, "--frames", "60"] + (["--profile"] if args.profile else []), shows[0][1], env))
            print("round %d: %s" % (r + 1, "  ".join("%s %.1f/%.1f" % (n, v["intro"][-1], v["game"][-1])
                                                   for n, v in results.items())), file=sys.stderr, flush=True)
    finally:
        xvfb.stop()

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
