"""End-to-end: `--replay FILE --verify` checks a recorded round without a display, a sound device or the data
folder, and prints the line the drawn replay prints.
Run one test: python3 verify_e2e.py NAME (CTest registers each name)."""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(__file__))
from rounds import ROUNDS_DIR, expected_lines, verify_line  # noqa: E402
from show_driver import QUARNEL  # noqa: E402


def test_verify_needs_no_display():
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "QUARNEL_DATA_DIR")}
    # Any window or sound device asked for would fail: no such drivers.
    env["SDL_VIDEODRIVER"] = "no-such-video"
    env["SDL_AUDIODRIVER"] = "no-such-audio"
    with tempfile.TemporaryDirectory() as empty:  # no data folder here, none beside a copy of nothing
        for name, expected in expected_lines().items():
            path = os.path.join(ROUNDS_DIR, name)
            r = subprocess.run([QUARNEL, "--replay", path, "--verify"], cwd=empty, env=env, capture_output=True,
                               text=True, timeout=300, stdin=subprocess.DEVNULL)
            assert r.returncode == 0, (name, r.stdout, r.stderr)
            assert verify_line(r.stdout, path) == expected, (name, r.stdout)
            assert r.stderr == "", (name, r.stderr)

        # A relative path is named as the drawn replay names it: made absolute against where it was started.
        r = subprocess.run([QUARNEL, "--replay", os.path.relpath(os.path.join(ROUNDS_DIR, "linux.qrec"), empty),
                            "--verify"], cwd=empty, env=env, capture_output=True, text=True, timeout=300)
        assert r.returncode == 0, (r.stdout, r.stderr)
        assert r.stdout.startswith(os.path.realpath(empty)) or r.stdout.startswith(empty), r.stdout


if __name__ == "__main__":
    globals()["test_" + sys.argv[1]]()
    print("passed")
