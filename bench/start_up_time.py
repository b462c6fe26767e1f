#!/usr/bin/env python3
"""Start-up to the first frame, whole process: `quarnel --run --windowed --batch --frames 1` with music and
with --no-music, taking turns run after run on one private Xvfb screen, so that a shared, noisy machine
weighs on both alike. Prints the median wall time of each and their difference.

Usage: bench/start_up_time.py BUILD_DIR [--runs N] [--show NAME=SHOW_DIR ...]
  BUILD_DIR   a build with show/quarnel (run from its show folder, where its data is)
  --runs      runs of each kind (default 7)
  --show      further builds of the show to time beside it, e.g. --show before=/tmp/old/show
"""
import argparse
import os
import statistics
import subprocess
import sys
import time


sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from harness import Xvfb  # noqa: E402


def timed_run(show_dir, music, env):
    command = [os.path.join(show_dir, "quarnel"), "--run", "--windowed", "--batch", "--frames", "1"]
    if not music:
        command.append("--no-music")
    start = time.perf_counter()
    r = subprocess.run(command, cwd=show_dir, env=env, capture_output=True, text=True, timeout=120)
    seconds = time.perf_counter() - start
    if r.returncode != 0:
        sys.exit("start-up-time: %s failed (%d):\n%s" % (" ".join(command), r.returncode, r.stderr))
    return seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--show", action="append", default=[], metavar="NAME=SHOW_DIR")
    args = parser.parse_args()
    shows = [("this build", os.path.join(os.path.abspath(args.build), "show"))]
    for item in args.show:
        name, _, path = item.partition("=")
        if not path:
            parser.error("--show takes NAME=SHOW_DIR")
        shows.append((name, os.path.abspath(path)))
    for _, path in shows:
        if not os.access(os.path.join(path, "quarnel"), os.X_OK):
            sys.exit("start-up-time: no quarnel in " + path)

    xvfb = Xvfb("1024x768x24", first=150)
    display = xvfb.display
    env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER=os.environ.get("SDL_AUDIODRIVER", "dummy"))
    times = {(name, music): [] for name, _ in shows for music in (True, False)}
    try:
        # One run of each first, untimed: the files the show reads are then in the page cache for all.
        for name, path in shows:
            for music in (True, False):
                timed_run(path, music, env)
        for n in range(args.runs):
            for name, path in shows:
                for music in (True, False) if n % 2 == 0 else (False, True):
                    times[(name, music)].append(timed_run(path, music, env))
    finally:
        xvfb.stop()

    print("start-up to the first frame, median of %d runs each, seconds" % args.runs)
    print("%-14s %10s %10s %10s" % ("", "music", "no music", "music costs"))
    for name, _ in shows:
        music = statistics.median(times[(name, True)])
        silent = statistics.median(times[(name, False)])
        print("%-14s %10.3f %10.3f %10.3f" % (name, music, silent, music - silent))


if __name__ == "__main__":
    main()
