#!/usr/bin/env python3
"""Records a round as a player plays it: the show itself, started in a window with --record under Xvfb,
steered by arrow keys that xdotool holds and lets go, ended with Escape. The frame steps are the real
clock's of that target, so a round from each target holds its own readings.

    tests/data/rounds/record-round.py linux OUT.qrec      build/show/quarnel
    tests/data/rounds/record-round.py windows OUT.qrec    build-win64/show/quarnel.exe under Wine

The rounds committed beside this script were made with it (page.qrec by record-page-round.py); the
replays of all of them on every target must agree (tests/e2e/rounds_e2e.py and the Windows and page
tests)."""
import os
import shutil
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(HERE)))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
sys.path.insert(0, os.path.join(SOURCE, "tests", "windows"))
TITLE = "Quarnel game. Kelm 2006"

# The keys held, and for how long (seconds): out of the sea and back, turning both ways, a pause. Up and
# Down set the speed, Left and Right turn the heading while they are held.
PLAY = [("Up", 2.5), ("Up Right", 1.2), ("Up", 2.0), ("Down Left", 1.5), ("Down", 3.0), ("Right", 0.8),
        ("Up", 2.5), ("Left", 1.0), ("Down", 2.0), ("", 2.0), ("Up Left", 2.0), ("Down Right", 2.5)]


def play(show):
    win = show.find_window(TITLE, deadline=180)
    show.focus(win)
    time.sleep(1.0)  # the show's first frames, before anything is pressed
    for keys, seconds in PLAY:
        for k in keys.split():
            show.xdotool("keydown", k)
        time.sleep(seconds)
        for k in keys.split():
            show.xdotool("keyup", k)
    status = show.key_until_exit(win, "Escape")
    assert status == 0, show.stderr()


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("linux", "windows"):
        sys.exit(__doc__)
    target, out = sys.argv[1], os.path.abspath(sys.argv[2])
    from show_driver import Show, Xvfb
    xvfb = Xvfb("1024x768x24")
    try:
        if target == "linux":
            show = Show("--run", "--windowed", "--record", out, display=xvfb.display)
            try:
                play(show)
            finally:
                show.kill()
        else:
            import windows_e2e as w
            os.environ["DISPLAY"] = xvfb.display  # the prefix starts Wine's desktop on the display it finds
            prefix = w.Prefix()
            scratch = tempfile.mkdtemp(prefix="round-", dir=os.path.join(w.BUILD, "tests"))
            try:
                inside = os.path.join(scratch, "round.qrec")
                show = w.WineShow(prefix, "--run", "--windowed", "--record", w.windows_path(inside),
                                  display=xvfb.display)
                try:
                    play(show)
                finally:
                    show.kill()
                shutil.copyfile(inside, out)
            finally:
                prefix.close()
                shutil.rmtree(scratch, ignore_errors=True)
    finally:
        xvfb.stop()
    print("recorded %s (%d bytes)" % (out, os.path.getsize(out)))


if __name__ == "__main__":
    main()
