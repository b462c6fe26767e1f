#!/usr/bin/env python3
"""Records short sessions with the real show, played by xdotool, as seeds for the recording fuzz target and
as the files the capture test reads back: one ended with Escape (arrow keys, mouse, wheel, middle button,
music on), one ended with the close box (music off), one ended by a frame limit (a drag with both buttons).

Usage (under X, e.g. xvfb-run -a -s "-screen 0 1024x768x24"):
  fuzz/recording/record_sessions.py BUILD_DIR OUT_DIR
"""
import os
import sys
import time

BUILD = os.path.abspath(sys.argv[1]) if len(sys.argv) == 3 else sys.exit(__doc__)
OUT = os.path.abspath(sys.argv[2])
os.environ["QUARNEL_BUILD_DIR"] = BUILD
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
from show_driver import Show  # noqa: E402

TITLE = "Quarnel game. Kelm 2006"


def record(name, *args):
    path = os.path.join(OUT, name + ".qrec")
    show = Show("--run", "--windowed", "--record", path, *args)
    return show, path


def finish(show, path, status):
    err = show.stderr()
    show.kill()
    if status != 0 or not os.path.exists(path):
        sys.exit("record-sessions: %s ended with %s: %s" % (path, status, err))
    print("%s: %d bytes" % (path, os.path.getsize(path)))


def escape_session():
    show, path = record("show-escape")
    win = show.find_window(TITLE)
    show.focus(win)
    show.xdotool("mousemove", "--window", win, "300", "200")
    show.xdotool("keydown", "Up")
    show.xdotool("keydown", "Left")
    time.sleep(0.8)
    show.xdotool("mousemove", "--window", win, "520", "410")
    show.xdotool("keyup", "Left")
    time.sleep(0.4)
    show.xdotool("keyup", "Up")
    show.xdotool("click", "2")
    show.xdotool("click", "4")
    show.xdotool("click", "5")
    time.sleep(0.3)
    finish(show, path, show.key_until_exit(win, "Escape"))


def close_box_session():
    show, path = record("show-close-box", "--no-music")
    win = show.find_window(TITLE)
    show.focus(win)
    show.xdotool("mousemove", "--window", win, "100", "500")
    show.xdotool("keydown", "Right")
    time.sleep(0.6)
    show.xdotool("keyup", "Right")
    show.close(win)
    finish(show, path, show.wait())


def frame_limit_session():
    show, path = record("show-frame-limit", "--frames", "12")
    win = show.find_window(TITLE)
    show.focus(win)
    show.xdotool("mousemove", "--window", win, "400", "300")
    show.xdotool("mousedown", "1")
    show.xdotool("mousedown", "3")
    show.xdotool("mousemove", "--window", win, "450", "260")
    show.xdotool("mouseup", "3")
    show.xdotool("mouseup", "1")
    finish(show, path, show.wait())


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    escape_session()
    close_box_session()
    frame_limit_session()
