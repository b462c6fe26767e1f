"""End-to-end tests of the shell: the real executable under Xvfb, driven with xdotool.

Run one test: python3 shell_e2e.py NAME (CTest registers each name)."""
import os
import re
import struct
import sys
import tempfile

sys.path.insert(0, os.path.dirname(__file__))
from show_driver import Frames, Show, UserClipboard, Xvfb, wait_until  # noqa: E402

TITLE = "Quarnel game. Kelm 2006"


def test_escape_ends_with_capture_text_on_stdout():
    with tempfile.TemporaryDirectory() as tmp:
        show = Show("--run", "--windowed", "--no-music", "--batch", "--capture", tmp)
        try:
            win = show.find_window(TITLE)
            show.focus(win)
            frames = Frames(show, tmp)
            # The camera follows the cursor once a frame has seen it: two frames after each step.
            for x, y in ((600, 100), (100, 500)):
                show.xdotool("mousemove", "--sync", "--window", win, str(x), str(y))
                frames.wait_more()
                show.xdotool("click", "2")
                frames.wait_more()
            assert show.key_until_exit(win, "Escape") == 0, show.stderr()
            out = show.stdout()
            lines = [l for l in out.split("\n") if l.startswith(("Cam :", "Pnt :"))]
            assert [l[:5] for l in lines] == ["Cam :", "Pnt :", "Cam :", "Pnt :"], out
            assert out.count("  \n \n") == 2, repr(out)
        finally:
            show.kill()


def test_escape_replaces_the_clipboard_only_with_a_capture():
    # Text the user had copied stays on the clipboard when nothing was captured; a capture replaces it.
    users = "the user's own text, copied before the show\n"
    clipboard = UserClipboard()
    try:
        for capture in (False, True):
            clipboard.hold(users)
            with tempfile.TemporaryDirectory() as tmp:
                show = Show("--run", "--windowed", "--no-music", "--batch", "--capture", tmp)
                try:
                    win = show.find_window(TITLE)
                    show.focus(win)
                    frames = Frames(show, tmp)
                    frames.wait_more()
                    if capture:
                        show.xdotool("mousemove", "--sync", "--window", win, "500", "200")
                        frames.wait_more()
                        show.xdotool("click", "2")
                        frames.wait_more()
                    assert show.key_until_exit(win, "Escape") == 0, show.stderr()
                finally:
                    show.kill()
            out = show.stdout()
            if capture:
                # The text outlives the show (an X11 clipboard would empty when its owner ends).
                assert out.startswith("Cam :"), out
                wait_until(lambda: clipboard.read() == out, "the capture text on the clipboard")
                assert not clipboard.holding(), "the show did not take the clipboard"
            else:
                assert out == "", out
                assert clipboard.holding() and clipboard.read() == users, clipboard.read()
    finally:
        clipboard.release()


def test_camera_follows_every_pointer_move():
    # Each move must reach the camera in the next frames, not one move later: the middle button records
    # the camera of the last frame drawn, in screen pixels ((x - 400) * 0.0175, (y - 300) * 0.02333...).
    with tempfile.TemporaryDirectory() as folder:
        show = Show("--run", "--windowed", "--no-music", "--batch", "--capture", folder)
        try:
            win = show.find_window(TITLE)
            show.focus(win)
            geometry = show.xdotool("getwindowgeometry", win)
            left, top = map(int, re.search(r"Position: (-?\d+),(-?\d+)", geometry).groups())

            frames = Frames(show, folder)
            moves = [(600, 100), (100, 500), (420, 310), (700, 40)]
            for x, y in moves:
                show.xdotool("mousemove", "--sync", "--window", win, str(x), str(y))
                frames.wait_more()
                show.xdotool("click", "2")
                frames.wait_more()
            assert show.key_until_exit(win, "Escape") == 0, show.stderr()
            cams = [tuple(float(v) for v in l[5:].split(","))
                    for l in show.stdout().split("\n") if l.startswith("Cam :")]
            expected = [((left + x - 400) * 0.0175, (top + y - 300) * 0.023333333333333334, 0.0)
                        for x, y in moves]
            assert len(cams) == len(moves), show.stdout()
            for got, want in zip(cams, expected):
                assert all(abs(g - w) < 1e-3 for g, w in zip(got, want)), (cams, expected)
        finally:
            show.kill()


def test_one_quick_escape_tap_ends_the_show():
    # Press and release arrive between two frames: the show must still see the press.
    with tempfile.TemporaryDirectory() as tmp:
        show = Show("--run", "--windowed", "--batch", "--capture", tmp)
        try:
            win = show.find_window(TITLE)
            show.focus(win)
            Frames(show, tmp).wait_more()  # the show is drawing, with the focus
            show.xdotool("key", "--delay", "1", "Escape")
            assert show.wait(deadline=30) == 0, show.stderr()
        finally:
            show.kill()


def test_dialog_run_then_escape():
    # The presets check "Windowed" and clear "Music"; Enter presses "Run ... ".
    show = Show("--windowed", "--no-music", "--batch")
    try:
        dialog = show.find_window("^Quarnel$")
        show.key(dialog, "Return")
        win = show.find_window(TITLE)
        assert show.key_until_exit(win, "Escape") == 0, show.stderr()
    finally:
        show.kill()


def test_dialog_quit_ends_with_status_0():
    show = Show("--batch")
    try:
        dialog = show.find_window("^Quarnel$")
        show.key(dialog, "Escape")
        assert show.wait() == 0, show.stderr()
        assert show.stdout() == ""
    finally:
        show.kill()


def test_close_box_ends_with_status_0():
    show = Show("--run", "--windowed", "--no-music", "--batch")
    try:
        win = show.find_window(TITLE)
        show.close(win)
        assert show.wait() == 0, show.stderr()
    finally:
        show.kill()


def test_frames_and_screenshot():
    with tempfile.TemporaryDirectory() as tmp:
        png = os.path.join(tmp, "shot.png")
        show = Show("--run", "--windowed", "--no-music", "--batch", "--frames", "5", "--screenshot", png,
                    "--stats")
        try:
            assert show.wait() == 0, show.stderr()
            with open(png, "rb") as f:
                head = f.read(24)
            assert head[:8] == b"\x89PNG\r\n\x1a\n"
            assert struct.unpack(">II", head[16:24]) == (800, 600)
            assert "median" in show.stderr() and "frames per second" in show.stderr()
        finally:
            show.kill()


def test_capture_writes_every_frame():
    with tempfile.TemporaryDirectory() as tmp:
        show = Show("--run", "--windowed", "--no-music", "--batch", "--frames", "3", "--capture", tmp)
        try:
            assert show.wait() == 0, show.stderr()
            assert sorted(os.listdir(tmp)) == ["frame000001.png", "frame000002.png", "frame000003.png"]
        finally:
            show.kill()


def test_capture_frames_writes_only_the_listed_frames():
    with tempfile.TemporaryDirectory() as tmp:
        folder = os.path.join(tmp, "frames")
        png = os.path.join(tmp, "shot.png")
        # Any order and repeats; frame 9 is never drawn, which is no error. The screenshot still comes.
        show = Show("--run", "--windowed", "--no-music", "--batch", "--frames", "5", "--capture", folder,
                    "--capture-frames", "9,4,2,4", "--screenshot", png)
        try:
            assert show.wait() == 0, show.stderr()
            assert sorted(os.listdir(folder)) == ["frame000002.png", "frame000004.png"]
            with open(png, "rb") as f:
                head = f.read(24)
            assert head[:8] == b"\x89PNG\r\n\x1a\n" and struct.unpack(">II", head[16:24]) == (800, 600)
        finally:
            show.kill()
        # The list alone names no folder: a bad command line, refused before anything is made.
        show = Show("--run", "--windowed", "--batch", "--frames", "5", "--capture-frames", "2,4")
        try:
            assert show.wait() == 2, show.stderr()
            assert "--capture-frames needs --capture DIR" in show.stderr(), show.stderr()
            assert "Usage: quarnel" in show.stderr(), show.stderr()
        finally:
            show.kill()


def test_capture_folder_is_made_or_refused_at_once():
    with tempfile.TemporaryDirectory() as tmp:
        folder = os.path.join(tmp, "new", "frames")
        show = Show("--run", "--windowed", "--no-music", "--batch", "--frames", "2", "--capture", folder)
        try:
            assert show.wait() == 0, show.stderr()
            assert sorted(os.listdir(folder)) == ["frame000001.png", "frame000002.png"]
        finally:
            show.kill()
        # A file stands where a folder would have to be: refused before any window opens, the setup
        # dialog included (which would otherwise wait for an answer).
        blocker = os.path.join(tmp, "file")
        open(blocker, "w").close()
        show = Show("--batch", "--capture", os.path.join(blocker, "frames"))
        try:
            assert show.wait() == 1, show.stderr()
            assert "cannot create the capture folder %s/frames: Not a directory" % blocker in show.stderr(), \
                show.stderr()
        finally:
            show.kill()


def test_failed_writes_end_with_status_1():
    with tempfile.TemporaryDirectory() as tmp:
        for target, reason in (("/dev/full", "No space left on device"),
                               (os.path.join(tmp, "missing", "shot.png"), "No such file or directory")):
            show = Show("--run", "--windowed", "--no-music", "--batch", "--frames", "2", "--screenshot", target)
            try:
                assert show.wait() == 1, show.stderr()
                assert "cannot write the screenshot %s: %s" % (target, reason) in show.stderr(), show.stderr()
            finally:
                show.kill()
        assert os.path.exists("/dev/full")
        # The second frame's file cannot be made (a folder has its name): the show ends there.
        os.mkdir(os.path.join(tmp, "frame000002.png"))
        show = Show("--run", "--windowed", "--no-music", "--batch", "--frames", "50", "--capture", tmp)
        try:
            assert show.wait() == 1, show.stderr()
            assert "cannot write the captured frame %s/frame000002.png" % tmp in show.stderr(), show.stderr()
            assert sorted(os.listdir(tmp)) == ["frame000001.png", "frame000002.png"]
        finally:
            show.kill()


def test_unknown_option_prints_usage_and_exits_2():
    show = Show("--no-such-option")
    assert show.wait() == 2
    assert "Usage: quarnel" in show.stderr() and "--no-such-option" in show.stderr()


def test_fullscreen_fallback_answered_yes_goes_windowed():
    # The test server offers 1024 x 768 only, so the 800 x 600 change fails and the question comes.
    show = Show("--run", "--no-music")
    try:
        box = show.find_window("Kelm GL")
        show.key(box, "Return")  # Yes is the default button
        win = show.find_window(TITLE)
        assert show.key_until_exit(win, "Escape") == 0, show.stderr()
        assert "Use Windowed Mode Instead?" in show.stderr()
    finally:
        show.kill()


def test_fullscreen_fallback_answered_no_closes():
    show = Show("--run", "--no-music")
    try:
        box = show.find_window("Kelm GL")
        show.key(box, "Escape")  # No
        closing = show.find_window("ERROR")
        show.key(closing, "Return")
        assert show.wait() == 0, show.stderr()
        assert "Program Will Now Close." in show.stderr()
    finally:
        show.kill()


def test_fullscreen_on_an_800_by_600_display():
    server = Xvfb("800x600x24")
    show = Show("--run", "--no-music", "--batch", display=server.display)
    try:
        win = show.find_window(TITLE)
        geometry = show.xdotool("getwindowgeometry", win)
        assert "800x600" in geometry, geometry
        assert "Fullscreen Mode Is Not Supported" not in show.stderr()
        assert show.key_until_exit(win, "Escape") == 0, show.stderr()
    finally:
        show.kill()
        server.stop()


if __name__ == "__main__":
    globals()["test_" + sys.argv[1]]()
    print("passed")
