#!/usr/bin/env python3
"""How long `quarnel --replay FILE --verify` takes for a 45-second round, with no display: the round's steps
alone. The round is made here: 45 s at 60 frames a second (2700 frames), the arrow keys held in turns so
that the player leaves the sea and comes back, ended by the close box. Prints the median wall and processor
time of the runs (processor time of the child: all its threads) and the line the last run printed.

Usage: bench/verify-time.py BUILD_DIR [--runs N] [--seconds S] [--fps F] [--recording FILE]
  BUILD_DIR     a build with show/quarnel
  --recording   time this recording instead of the one made here
"""
import argparse
import os
import resource
import statistics
import struct
import subprocess
import sys
import tempfile
import time

WM_KEYDOWN, WM_KEYUP, WM_CLOSE = 0x100, 0x101, 0x10
VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN = 0x25, 0x26, 0x27, 0x28


def message(msg, wparam=0, lparam=0):
    return b"M" + struct.pack("<IQq", msg, wparam, lparam)


def frame(x, y, r1, r2):
    return b"F" + struct.pack("<4d", x, y, r1, r2)


def round_recording(seconds, fps):
    """Version 1 (no checksums to compare; every frame's checksum is computed all the same)."""
    frames = int(round(seconds * fps))
    body = [b"C" + struct.pack("<d", 0.0)]
    # Keys held for a second and a half each, in turn: up, up and right, down and left, none.
    plan = [(VK_UP,), (VK_UP, VK_RIGHT), (VK_DOWN, VK_LEFT), ()]
    held = ()
    for n in range(1, frames + 1):
        want = plan[int(n / fps / 1.5) % len(plan)]
        for key in held:
            if key not in want:
                body.append(message(WM_KEYUP, key))
        for key in want:
            if key not in held:
                body.append(message(WM_KEYDOWN, key))
        held = want
        body.append(frame(400.0, 300.0, n / fps, n / fps))
    body.append(message(WM_CLOSE))
    return b"QUARNREC" + struct.pack("<II", 1, 0) + b"".join(body) + b"E" + struct.pack("<Q", frames)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=9)
    parser.add_argument("--seconds", type=float, default=45.0)
    parser.add_argument("--fps", type=float, default=60.0)
    parser.add_argument("--recording")
    args = parser.parse_args()
    quarnel = os.path.abspath(os.path.join(args.build, "show", "quarnel"))
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    with tempfile.TemporaryDirectory() as work:
        path = args.recording
        if not path:
            path = os.path.join(work, "round.qrec")
            with open(path, "wb") as f:
                f.write(round_recording(args.seconds, args.fps))
        walls, cpus = [], []
        for _ in range(args.runs):
            before = resource.getrusage(resource.RUSAGE_CHILDREN)
            start = time.perf_counter()
            r = subprocess.run([quarnel, "--replay", path, "--verify"], env=env, cwd=work, capture_output=True,
                               text=True)
            walls.append(time.perf_counter() - start)
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            cpus.append(after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime)
            if r.returncode != 0:
                sys.exit("quarnel ended with status %d: %s%s" % (r.returncode, r.stdout, r.stderr))
    print("verify, %d runs: median wall %.3f s, median processor %.3f s (wall %.3f ... %.3f s)"
          % (args.runs, statistics.median(walls), statistics.median(cpus), min(walls), max(walls)))
    print(r.stdout.strip().splitlines()[-1])


if __name__ == "__main__":
    main()
