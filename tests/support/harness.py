"""What the test and benchmark scripts share: a private X server, the peak signal-to-noise ratio of two
pictures, and the medians the show's --stats and --profile print. Import it with tests/support on sys.path
(`sys.path.insert(0, os.path.join(ROOT, "tests", "support"))`)."""
import math
import os
import re
import subprocess
import time

DEADLINE = float(os.environ.get("QUARNEL_E2E_DEADLINE", "60"))

STATS_LINE = re.compile(r"^\s*(intro |game )?frames (\d+)\s+median ([\d.]+) ms")
PROFILE_LINE = re.compile(r"^  ([a-z ]+?)\s+([\d.]+)\s+([\d.]+)$")


class Xvfb:
    """A private X server of the given screen size on the first free display number from `first`, for
    tests that need a particular display mode and benchmarks that need a quiet screen of their own."""

    def __init__(self, size="800x600x24", first=90):
        self.display = None
        for n in range(first, first + 50):
            if not os.path.exists("/tmp/.X11-unix/X%d" % n) and not os.path.exists("/tmp/.X%d-lock" % n):
                self.display = ":%d" % n
                break
        if self.display is None:
            raise AssertionError("no free X display number from :%d" % first)
        self.proc = subprocess.Popen(["Xvfb", self.display, "-screen", "0", size, "-nolisten", "tcp", "-noreset"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        end = time.time() + DEADLINE
        while time.time() < end:
            if subprocess.run(["xdpyinfo", "-display", self.display], capture_output=True).returncode == 0:
                return
            time.sleep(0.1)
        self.stop()
        raise AssertionError("Xvfb %s did not start" % self.display)

    def stop(self):
        self.proc.terminate()
        self.proc.wait()


def psnr(a, b):
    """Peak signal-to-noise ratio in dB of two pictures of equal size, given as rows of RGB bytes; inf when
    they are equal."""
    assert len(a) == len(b) and len(a[0]) == len(b[0]), "the pictures' sizes differ"
    squares = 0
    for ra, rb in zip(a, b):
        if ra != rb:
            squares += sum((x - y) * (x - y) for x, y in zip(ra, rb))
    if squares == 0:
        return math.inf
    mean = squares / (len(a) * len(a[0]))
    return 10.0 * math.log10(255.0 * 255.0 / mean)


def stats_medians(text):
    """From the output of a run with --stats (and --profile): {'all' | 'intro' | 'game': median ms} of its
    frame-time lines, and under 'passes' {pass: (intro ms, game ms)} of its profile table."""
    found, passes = {}, {}
    for line in text.splitlines():
        m = STATS_LINE.match(line)
        if m:
            found[(m.group(1) or "all").strip()] = float(m.group(3))
        p = PROFILE_LINE.match(line)
        if p and p.group(1) != "frames":
            passes[p.group(1)] = (float(p.group(2)), float(p.group(3)))
    found["passes"] = passes
    return found
