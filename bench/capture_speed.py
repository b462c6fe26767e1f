#!/usr/bin/env python3
"""Frames per second of the show rendered three ways at the same fixed step, in one run: plain --frames,
--capture to PNG files, and --video (MP4, and WebM). Each way runs several times, interleaved so that a
change in the machine's load falls on all of them alike; the medians are printed, of the wall time and of
the processor time (all threads), which a machine shared with other work disturbs less.

Usage (under X, e.g. xvfb-run): bench/capture_speed.py BUILD_DIR [FRAMES] [ROUNDS]"""
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def cpu_of_children():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def run(show_dir, args):
    """Wall and processor seconds of one run, from start to exit."""
    start, cpu = time.monotonic(), cpu_of_children()
    subprocess.run(["./quarnel", "--run", "--windowed", "--batch", "--fixed-step", str(1 / 60), *args],
                   cwd=show_dir, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   env=dict(os.environ, SDL_AUDIODRIVER=os.environ.get("SDL_AUDIODRIVER", "dummy")))
    return time.monotonic() - start, cpu_of_children() - cpu


def main():
    build = sys.argv[1]
    frames = int(sys.argv[2]) if len(sys.argv) > 2 else 300
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    show_dir = os.path.join(build, "show")
    work = tempfile.mkdtemp()
    ways = {
        "plain --frames": lambda: ["--frames", str(frames)],
        "--capture (PNG)": lambda: ["--frames", str(frames), "--capture", fresh_dir()],
        "--video .mp4": lambda: ["--frames", str(frames), "--video", os.path.join(work, "film.mp4")],
        "--video .webm": lambda: ["--frames", str(frames), "--video", os.path.join(work, "film.webm")],
    }

    def fresh_dir():
        d = os.path.join(work, "png")
        shutil.rmtree(d, ignore_errors=True)
        os.mkdir(d)
        return d

    try:
        # The start-up (a run of one frame) is taken off every run.
        starts = [run(show_dir, ["--frames", "1"]) for _ in range(rounds)]
        start_wall = statistics.median(w for w, _ in starts)
        start_cpu = statistics.median(c for _, c in starts)
        wall = {name: [] for name in ways}
        cpu = {name: [] for name in ways}
        for _ in range(rounds):
            for name, args in ways.items():
                w, c = run(show_dir, args())
                wall[name].append(w - start_wall)
                cpu[name].append(c - start_cpu)
        base_wall = statistics.median(wall["plain --frames"])
        base_cpu = statistics.median(cpu["plain --frames"])
        print("%d frames at 800 x 600, %d rounds, medians, start-up taken off" % (frames, rounds))
        print("%-16s %12s %10s %16s %10s" % ("", "frames/s", "x plain", "cpu ms/frame", "x plain"))
        for name in ways:
            w, c = statistics.median(wall[name]), statistics.median(cpu[name])
            print("%-16s %12.2f %10.2f %16.1f %10.2f" % (name, frames / w, w / base_wall, 1000 * c / frames,
                                                         c / base_cpu))
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
