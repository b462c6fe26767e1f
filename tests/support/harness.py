"""What the test and benchmark scripts share: a private X server, the peak signal-to-noise ratio of two
pictures, and the medians the show's --stats and --profile print. Import it with tests/support on sys.path
(`sys.path.insert(0, os.path.join(ROOT, "tests", "support"))`)."""
import math
import os
import re
import select
import subprocess
import time

DEADLINE = float(os.environ.get("QUARNEL_E2E_DEADLINE", "60"))

STATS_LINE = re.compile(r"^\s*(intro |game )?frames (\d+)\s+median ([\d.]+) ms")
PROFILE_LINE = re.compile(r"^  ([a-z ]+?)\s+([\d.]+)\s+([\d.]+)$")


class Xvfb:
    """A private X server of the given screen size. The server picks its own free display number and
    writes it to a pipe (-displayfd), so servers started side by side never race for one number; the
    caller's wait checks that its own server is still alive, so a test never drives another's server.
    `first` is no longer used (the server chooses); it stays for the scripts that pass it."""

    def __init__(self, size="800x600x24", first=90):
        read_end, write_end = os.pipe()
        try:
            self.proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", size, "-nolisten", "tcp", "-noreset"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(write_end,))
        finally:
            os.close(write_end)
        self.display = None
        number = b""
        end = time.time() + DEADLINE
        try:
            # The server writes its number and a newline once it listens; an end of file means it died.
            while time.time() < end:
                ready, _, _ = select.select([read_end], [], [], 0.2)
                if ready:
                    chunk = os.read(read_end, 64)
                    if not chunk:
                        break
                    number += chunk
                    if number.endswith(b"\n"):
                        break
                if self.proc.poll() is not None:
                    break
        finally:
            os.close(read_end)
        if not number.strip().isdigit() or self.proc.poll() is not None:
            self.stop()
            raise AssertionError("Xvfb did not start (%s)" % ("ended with status %s" % self.proc.returncode
                                                               if self.proc.poll() is not None else "no display number"))
        self.display = ":" + number.strip().decode()
        # Listening is not yet answering: wait until a client gets through, and that while our server lives.
        while time.time() < end and self.proc.poll() is None:
            if subprocess.run(["xdpyinfo", "-display", self.display], capture_output=True).returncode == 0:
                return
            time.sleep(0.1)
        self.stop()
        raise AssertionError("Xvfb %s did not answer" % self.display)

    def alive(self):
        return self.proc.poll() is None

    def stop(self):
        if self.proc.poll() is None:
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
