#!/usr/bin/env python3
"""Times build/tools/jpeg-decode against libjpeg-turbo's `djpeg -pnm` on two 8192 x 4096 4:2:0 pictures
(smooth and detailed, written by build/jpeg_tool_pictures), both writing a PPM file into the same folder.
The runs alternate; the medians of CPU time (user + system, what a shared machine does not distort) and
of wall time are printed with their ratios, and the peak resident memory of each program.

    bench/jpeg-decode-bench.py [BUILD_DIR] [--runs N]"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def measure(command, folder):
    """CPU seconds, wall seconds and peak resident KB of one run. The program runs under /usr/bin/time,
    whose report of its child's peak does not count the copy of this Python process that a fork makes;
    the CPU time comes from this process's wait, which includes the waited-for program."""
    report = os.path.join(folder, "peak.txt")
    start = time.monotonic()
    proc = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", report, *command], stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.monotonic() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        sys.exit("%s failed (%d): %s" % (" ".join(command), proc.returncode, proc.stderr.read().decode()))
    with open(report) as f:
        peak = int(f.read().split()[-1])
    return usage.ru_utime + usage.ru_stime, wall, peak


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default=os.path.join(ROOT, "build"))
    parser.add_argument("--runs", type=int, default=7)
    args = parser.parse_args()
    tool = os.path.join(args.build, "tools", "jpeg-decode")
    subprocess.run(["cmake", "--build", args.build, "--target", "jpeg-decode", "jpeg_tool_pictures"], check=True,
                   stdout=subprocess.DEVNULL)
    with tempfile.TemporaryDirectory(dir=args.build) as folder:
        subprocess.run([os.path.join(args.build, "jpeg_tool_pictures"), folder], check=True)
        out = os.path.join(folder, "out.ppm")
        print("%-9s %6s  %-13s %9s %9s %9s" % ("picture", "MB", "program", "CPU s", "wall s", "peak MB"))
        for name in ("smooth", "detailed"):
            picture = os.path.join(folder, name + ".jpg")
            programs = {"djpeg -pnm": ["djpeg", "-pnm", "-outfile", out, picture],
                        "jpeg-decode": [tool, picture, out]}
            results = {p: [] for p in programs}
            for _ in range(args.runs):
                for program, command in programs.items():
                    results[program].append(measure(command, folder))
                    os.remove(out)
            medians = {}
            for program, runs in results.items():
                cpu = statistics.median(r[0] for r in runs)
                wall = statistics.median(r[1] for r in runs)
                peak = max(r[2] for r in runs) / 1024
                medians[program] = (cpu, wall)
                print("%-9s %6.1f  %-13s %9.3f %9.3f %9.1f" % (name, os.path.getsize(picture) / 1e6, program, cpu,
                                                                wall, peak))
            ours, theirs = medians["jpeg-decode"], medians["djpeg -pnm"]
            print("%-9s jpeg-decode / djpeg: CPU %.2f, wall %.2f" % (name, ours[0] / theirs[0], ours[1] / theirs[1]))
    print("(medians of %d alternating runs; peak = largest resident set of any run)" % args.runs)


if __name__ == "__main__":
    main()
