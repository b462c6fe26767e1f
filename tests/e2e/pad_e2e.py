"""End-to-end tests of a pad in the show: the real show with a virtual pad plugged in (SDL's virtual
joystick, through tests/support/pad_show_harness.cpp, which holds the named buttons from the start and
says at exit where the player ended).

Run one test: python3 pad_e2e.py NAME (CTest registers each name)."""
import math
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(__file__))
from show_driver import BUILD, SHOW_DIR, env  # noqa: E402

HARNESS = os.path.join(BUILD, "tests", "pad_show_harness")


def play(buttons, *options, deadline=600):
    """Runs the show with the pad holding `buttons`; returns (status, stderr, inside_sea, x, y, frames)."""
    r = subprocess.run([HARNESS, buttons, "--run", "--windowed", "--no-music", "--batch", *options], cwd=SHOW_DIR,
                       env=env(), capture_output=True, text=True, timeout=deadline, stdin=subprocess.DEVNULL)
    m = re.search(r"pad harness: inside_sea=(\d) player=(-?[\d.]+),(-?[\d.]+) frames=(\d+)", r.stderr)
    assert m, "the harness did not report the player (status %d): %s" % (r.returncode, r.stderr)
    return r.returncode, r.stderr, m.group(1) == "1", float(m.group(2)), float(m.group(3)), int(m.group(4))


def test_a_pad_steers_the_player_out_of_the_sea():
    # 6 seconds of show time: the d-pad's up drives the player forward (along +y at heading 0) at full
    # speed after a few frames, 5 units a second; the sea keeps within about 7 units of the origin.
    status, err, inside, x, y, _ = play("dpup", "--fixed-step", "0.05", "--frames", "120")
    assert status == 0, err
    assert not inside and y > 15 and abs(x) < 0.01, "player at %.2f,%.2f, inside the sea: %s" % (x, y, inside)
    # The same run without a button: the player waits at the origin, inside the sea.
    status, err, inside, x, y, _ = play("", "--fixed-step", "0.05", "--frames", "120")
    assert status == 0, err
    assert inside and math.hypot(x, y) < 0.01, "untouched player at %.2f,%.2f" % (x, y)


def test_b_on_a_pad_ends_the_show_as_escape_does():
    # No frame limit: only Escape (or the close box, which nobody uses here) ends this show.
    status, err, _, _, _, frames = play("b,dpup", "--fixed-step", "0.05", deadline=300)
    assert status == 0, err
    assert frames < 10, "the show ran %d frames after B" % frames


if __name__ == "__main__":
    globals()["test_" + sys.argv[1]]()
    print("passed")
