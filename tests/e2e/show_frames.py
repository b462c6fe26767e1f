"""One fixed-step run of the show whose frames several end-to-end tests read, so that each frame is drawn
once per test run: the picture guard's four frames, the intro's, the frames after the intro and in the
sea, and the frame the determinism test draws again in a run of its own. CTest runs `show_frames.py
write` first (the fixture e2e.show_frames) and the tests that read its frames after it.

The run: no music, a fixed step of 0.05 s, the pointer at the camera's rest point on a private screen of
1024x768, 1200 frames (60 s of show time), only the frames named in FRAMES written."""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(__file__))
from png_pixels import read_png  # noqa: E402
from show_driver import BUILD, Show, Xvfb  # noqa: E402

STEP = 0.05
PER_SECOND = round(1 / STEP)
# The picture guard's frames (2.5, 15, 35 and 60 s), the intro standing in full (7 s), the player waiting
# in the sea after the intro (18 s) and the first round's texts fully assembled (20 s).
GUARD_FRAMES = (50, 300, 700, 1200)
INTRO_FRAME = 7 * PER_SECOND
IN_THE_SEA_FRAME = 18 * PER_SECOND
AFTER_THE_INTRO_FRAME = 20 * PER_SECOND
FRAMES = tuple(sorted(set(GUARD_FRAMES + (INTRO_FRAME, IN_THE_SEA_FRAME, AFTER_THE_INTRO_FRAME))))
SCREEN = "1024x768x24"
SHARED_DIR = os.path.join(BUILD, "tests", "show-frames")
DONE = os.path.join(SHARED_DIR, "done")


def frame_name(n):
    return "frame%06d.png" % n


def show_arguments(frames, wanted):
    return ["--run", "--windowed", "--no-music", "--batch", "--fixed-step", str(STEP), "--frames", str(frames),
            "--capture-frames", ",".join(str(n) for n in wanted)]


def capture_frames(out_dir, wanted=FRAMES, display=None):
    """One run of the show up to the last wanted frame that writes only the wanted frames into out_dir. On
    a private X server of its own unless a display is given, so that the screen size and the pointer
    (which steers the layers' camera) are the same wherever it runs."""
    xvfb = None if display else Xvfb(SCREEN)
    display = display or xvfb.display
    try:
        subprocess.run(["xdotool", "mousemove", "400", "300"], env=dict(os.environ, DISPLAY=display), check=True)
        with tempfile.TemporaryDirectory() as capture:
            show = Show(*show_arguments(max(wanted), wanted), "--capture", capture, display=display)
            try:
                status = show.wait(deadline=2300)
                assert status == 0, "quarnel ended with status %s: %s" % (status, show.stderr())
            finally:
                show.kill()
            for n in wanted:
                path = os.path.join(capture, frame_name(n))
                assert os.path.exists(path), "the run wrote no %s: %s" % (frame_name(n), show.stderr())
                shutil.copy(path, os.path.join(out_dir, frame_name(n)))
    finally:
        if xvfb:
            xvfb.stop()


def write():
    shutil.rmtree(SHARED_DIR, ignore_errors=True)
    os.makedirs(SHARED_DIR)
    capture_frames(SHARED_DIR)
    open(DONE, "w").close()


def path(n):
    """The shared run's frame n, failing with what to do when the run has not been made."""
    assert n in FRAMES, "frame %d is not among the shared run's frames %s" % (n, FRAMES)
    assert os.path.exists(DONE), ("no shared run of the show in %s: run `ctest -R e2e.show_frames` "
                                  "(or `python3 tests/e2e/show_frames.py write`) first" % SHARED_DIR)
    return os.path.join(SHARED_DIR, frame_name(n))


def rows(n):
    return read_png(path(n))[2]


if __name__ == "__main__":
    if sys.argv[1:] != ["write"]:
        sys.exit("usage: show_frames.py write")
    write()
    print("wrote frames %s into %s" % (", ".join(map(str, FRAMES)), SHARED_DIR))
