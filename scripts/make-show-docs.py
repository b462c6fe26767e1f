#!/usr/bin/env python3
"""Takes the README's pictures of the show from a build: the intro, the game inside the sea and the torn
picture outside it. Usage: xvfb-run -a -s "-screen 0 1024x768x24" scripts/make-show-docs.py [BUILD_DIR]"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
os.environ.setdefault("QUARNEL_BUILD_DIR", os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build"))
sys.path.insert(0, os.path.join(root, "tests", "e2e"))
from png_pixels import band_edge_shifts, read_png  # noqa: E402
from show_driver import Show  # noqa: E402

docs = os.path.join(root, "docs")
subprocess.run(["xdotool", "mousemove", "400", "300"], check=False)

only = sys.argv[2:]  # names of the pictures to take; all when none
for name, frames in (("intro", 350), ("inside", 1000)):
    if only and name not in only:
        continue
    show = Show("--run", "--windowed", "--no-music", "--batch", "--fixed-step", "0.02", "--frames", str(frames),
                "--screenshot", os.path.join(docs, name + ".png"))
    assert show.wait(deadline=900) == 0, show.stderr()
    print("wrote docs/%s.png" % name)

if only and "outside" not in only:
    sys.exit(0)
# With the music: its spectrum is what tears the picture. A frame caught between beats tears less, so take
# a few until one shows it plainly.
for attempt in range(4):
    with tempfile.TemporaryDirectory() as tmp:
        png = os.path.join(tmp, "outside.png")
        show = Show("--run", "--windowed", "--batch", "--screenshot", png)
        win = show.find_window("Quarnel game")
        time.sleep(16)  # the end of the intro brings the player back to the origin
        show.focus(win)
        show.xdotool("keydown", "Up")
        time.sleep(2)
        show.xdotool("keyup", "Up")
        show.xdotool("keydown", "Right")
        time.sleep(0.5)
        show.xdotool("keyup", "Right")
        time.sleep(1.5)
        show.close(win)  # no ending fade: the last frame has the music at full volume
        assert show.wait() == 0, show.stderr()
        spacing, jumps = band_edge_shifts(read_png(png)[2])
        wide = [shift for row, shift, match in jumps if abs(shift) >= 20 and match <= 0.8]
        if len(wide) >= 8 or attempt == 3:
            shutil.copy(png, os.path.join(docs, "outside.png"))
            print("wrote docs/outside.png (%d band edges pushed 20 pixels or more apart)" % len(wide))
            break
