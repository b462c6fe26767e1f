"""The show on a screen at 200 % (3840 x 2160, Xft.dpi 192, each test on an X server of its own): the
window and the dialog at the display's scale, a size forced on the window keeps the picture at 4:3 with
black bars and the pointer mapped onto it, Alt+Enter to full screen at the desktop's resolution and back,
and a minimised show that sleeps instead of spinning yet still hears Escape."""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
from show_driver import Frames, Show, Xvfb, wait_until  # noqa: E402

TITLE = "Quarnel game"
SCREEN = "3840x2160x24"


def high_dpi_server():
    server = Xvfb(SCREEN)
    subprocess.run(["xprop", "-display", server.display, "-root", "-f", "RESOURCE_MANAGER", "8s", "-set",
                    "RESOURCE_MANAGER", "Xft.dpi:\t192\n"], check=True)
    return server


def start_window_manager(server):
    """openbox on the server, once it has taken the screen (it sets _NET_SUPPORTING_WM_CHECK)."""
    if not shutil.which("openbox"):
        raise AssertionError("these cases need a window manager: install openbox (packages-test.txt)")
    wm = subprocess.Popen(["openbox", "--sm-disable"], env=dict(os.environ, DISPLAY=server.display),
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def managed():
        r = subprocess.run(["xprop", "-display", server.display, "-root", "_NET_SUPPORTING_WM_CHECK"],
                           capture_output=True, text=True)
        return "window id" in r.stdout

    wait_until(managed, "openbox to manage the screen")
    return wm


def inside_size(show, window):
    """The window's inside (client area), as X reports it."""
    r = subprocess.run(["xwininfo", "-id", window], env=show.env, capture_output=True, text=True, check=True)
    w = int(re.search(r"Width: (\d+)", r.stdout).group(1))
    h = int(re.search(r"Height: (\d+)", r.stdout).group(1))
    return w, h


def wait_for_size(show, window, size):
    wait_until(lambda: inside_size(show, window) == size, "the window's inside at %dx%d" % size)


def origin(show, window):
    geometry = show.xdotool("getwindowgeometry", window)
    return tuple(map(int, re.search(r"Position: (-?\d+),(-?\d+)", geometry).groups()))


class Grab:
    """The window's pixels as X has them, through ImageMagick's import."""

    def __init__(self, show, window):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "w.ppm")
            subprocess.run(["/usr/bin/import", "-display", show.env["DISPLAY"], "-window", window, "-depth", "8", path],
                           check=True, env=show.env, capture_output=True)
            data = open(path, "rb").read()
        m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
        self.width, self.height = int(m.group(1)), int(m.group(2))
        self.pixels = data[m.end():]

    def column(self, x):
        stride = self.width * 3
        return [self.pixels[y * stride + x * 3:y * stride + x * 3 + 3] for y in range(self.height)]

    def black(self, x):
        return all(p == b"\0\0\0" for p in self.column(x))

    def picture(self, x):
        """Enough of the column is lit to be the show's picture."""
        return sum(1 for p in self.column(x) if max(p) > 24) > self.height // 20


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    return struct.unpack(">II", head[16:24])


def cams(show):
    return [tuple(float(v) for v in line[5:].split(",")) for line in show.stdout().split("\n")
            if line.startswith("Cam :")]


def test_a_192_dpi_display_scales_the_window_and_keeps_4_to_3():
    server = high_dpi_server()
    try:
        # The dialog at twice its size, its text rasterised at it.
        dialog = Show(display=server.display)
        try:
            box = dialog.find_window("Quarnel")
            assert inside_size(dialog, box) == (312, 520), inside_size(dialog, box)
            dialog.key(box, "Escape")
            assert dialog.wait() == 0, dialog.stderr()
        finally:
            dialog.kill()

        # --scale 1 is today's window, pixel for pixel.
        plain = Show("--run", "--windowed", "--no-music", "--batch", "--scale", "1", "--frames", "3",
                     display=server.display)
        try:
            assert inside_size(plain, plain.find_window(TITLE)) == (800, 600)
            assert plain.wait() == 0, plain.stderr()
        finally:
            plain.kill()

        with tempfile.TemporaryDirectory() as folder:
            shot = os.path.join(folder, "last.png")
            show = Show("--run", "--windowed", "--no-music", "--batch", "--capture", folder, "--screenshot", shot,
                        display=server.display)
            try:
                win = show.find_window(TITLE)
                assert inside_size(show, win) == (1600, 1200), inside_size(show, win)
                show.focus(win)
                frames = Frames(show, folder)
                frames.wait_for(1)

                # A size forced on the window (no window manager here: the size is simply set).
                show.xdotool("windowsize", "--sync", win, "1600", "900")
                wait_for_size(show, win, (1600, 900))

                def barred():
                    g = Grab(show, win)
                    return ((g.width, g.height) == (1600, 900) and all(g.black(x) for x in (0, 150, 199, 1400, 1599))
                            and g.picture(800) and not g.black(200) and not g.black(1399))

                wait_until(barred, "the picture at 1200 x 900 between black bars")

                # The pointer on the bars is on the picture's edge; in the middle it is on its middle.
                left, top = origin(show, win)
                moves = [(20, 450, 0, 300), (1590, 0, 799, 0), (800, 450, 400, 300)]
                for x, y, _, _ in moves:
                    show.xdotool("mousemove", "--sync", "--window", win, str(x), str(y))
                    frames.wait_more()
                    show.xdotool("click", "2")
                    frames.wait_more()
                assert show.key_until_exit(win, "Escape") == 0, show.stderr()
                got = cams(show)
                want = [((left + px - 400) * 0.0175, (top + py - 300) * 0.023333333333333334) for _, _, px, py in moves]
                assert len(got) == len(moves), show.stdout()
                for g, w in zip(got, want):
                    assert abs(g[0] - w[0]) < 1e-3 and abs(g[1] - w[1]) < 1e-3, (got, want)
                assert png_size(shot) == (800, 600), "screenshots keep the picture's size"
            finally:
                show.kill()
    finally:
        server.stop()


def test_alt_enter_toggles_full_screen_at_the_desktop_resolution():
    server = high_dpi_server()
    wm = start_window_manager(server)
    try:
        show = Show("--run", "--windowed", "--no-music", "--batch", display=server.display)
        try:
            win = show.find_window(TITLE)
            wait_for_size(show, win, (1600, 1200))
            show.key(win, "alt+Return")
            wait_for_size(show, win, (3840, 2160))

            def letterboxed():
                g = Grab(show, win)
                return g.black(100) and g.black(479) and g.black(3740) and g.picture(1920)

            wait_until(letterboxed, "the picture at 2880 x 2160 in the middle of the screen")
            show.key(win, "alt+Return")
            wait_for_size(show, win, (1600, 1200))
            assert show.key_until_exit(win, "Escape") == 0, show.stderr()
        finally:
            show.kill()

        # --fullscreen desktop starts there, with no question and no mode switched.
        show = Show("--run", "--no-music", "--batch", "--fullscreen", "desktop", display=server.display)
        try:
            win = show.find_window(TITLE)
            wait_for_size(show, win, (3840, 2160))
            assert show.key_until_exit(win, "Escape") == 0, show.stderr()
            assert "Fullscreen Mode" not in show.stderr(), show.stderr()
        finally:
            show.kill()
    finally:
        wm.terminate()
        wm.wait()
        server.stop()


def cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime, stime


def test_a_minimised_show_sleeps_and_still_hears_escape():
    server = high_dpi_server()
    wm = start_window_manager(server)
    try:
        with tempfile.TemporaryDirectory() as folder:
            show = Show("--run", "--windowed", "--no-music", "--batch", "--capture", folder,
                        display=server.display)
            try:
                win = show.find_window(TITLE)
                frames = Frames(show, folder)
                frames.wait_for(1)
                show.xdotool("windowminimize", "--sync", win)
                wait_until(lambda: "Iconic" in subprocess.run(
                    ["xprop", "-display", server.display, "-id", win, "WM_STATE"], capture_output=True,
                    text=True).stdout, "the window minimised")
                # The frame under way when it went is finished (however slow the machine is), then none.
                last = [frames.count(), time.time()]

                def settled():
                    if frames.count() != last[0]:
                        last[:] = [frames.count(), time.time()]
                    return time.time() - last[1] > 2.0

                wait_until(settled, "the frames to stop")
                seconds = 10.0
                before, drawn = cpu_ticks(show.proc.pid), frames.count()
                time.sleep(seconds)
                used = (cpu_ticks(show.proc.pid) - before) / os.sysconf("SC_CLK_TCK")
                print("minimised for %.0f s: %.2f s of processor time (%.1f %% of a core)"
                      % (seconds, used, 100.0 * used / seconds))
                assert frames.count() == drawn, "frames drawn while minimised"
                assert used <= 0.02 * seconds, "%.2f s of processor time while minimised" % used

                # Escape while minimised is noticed then; the show ends once it is back.
                show.xdotool("key", "--window", win, "Escape")
                time.sleep(1.0)
                assert show.proc.poll() is None, "no frame is drawn while minimised, so no ending either"
                show.xdotool("windowactivate", win, check=False)
                show.xdotool("windowmap", win, check=False)
                assert show.wait() == 0, show.stderr()
            finally:
                show.kill()
    finally:
        wm.terminate()
        wm.wait()
        server.stop()


if __name__ == "__main__":
    globals()["test_" + sys.argv[1]]()
    print("passed")
