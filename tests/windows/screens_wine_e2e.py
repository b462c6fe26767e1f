"""The Windows build on a screen at 200 %: Wine's scale set to 192 dpi (the LogPixels setting, as the
display settings write it) on a 3840 x 2160 X server. The window's inside comes out at 1600 x 1200 and the
setup dialog at twice its size; --scale 1 gives today's 800 x 600.

    python3 screens_wine_e2e.py CASE      (QUARNEL_WIN_BUILD_DIR as for windows_e2e.py)"""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from windows_e2e import TITLE, Prefix, WineShow  # noqa: E402
from show_driver import Xvfb, wait_until  # noqa: E402


def inside_size(show, name):
    """The inside of the window whose title holds name, once it is mapped."""
    found = []

    def mapped():
        r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name], env=show.env,
                           capture_output=True, text=True)
        found[:] = r.stdout.split()
        return bool(found)

    wait_until(mapped, "the window %r" % name, 120)
    r = subprocess.run(["xwininfo", "-id", found[-1]], env=show.env, capture_output=True, text=True, check=True)
    return (int(re.search(r"Width: (\d+)", r.stdout).group(1)), int(re.search(r"Height: (\d+)", r.stdout).group(1)))


def test_wine_at_192_dpi_scales_the_window_and_the_dialog():
    server = Xvfb("3840x2160x24")
    # Wine keeps the display's size it found when the prefix was made: a prefix of its own, made on this
    # display (also under run-tests.sh, whose shared prefix must not take the changed scale along).
    os.environ["DISPLAY"] = server.display
    os.environ.pop("WINEPREFIX", None)
    prefix = Prefix()
    try:
        env = dict(os.environ, WINEPREFIX=prefix.path, WINEDEBUG="-all", DISPLAY=server.display)
        # The prefix keeps its Wine server running, which holds the setting for the programs after it.
        subprocess.run(["wine", "reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                        "/d", "192", "/f"], env=env, check=True, capture_output=True)
        for args, size in ((("--scale", "1"), (800, 600)), ((), (1600, 1200))):
            show = WineShow(prefix, "--run", "--windowed", "--no-music", "--batch", "--frames", "20", *args,
                            display=server.display)
            try:
                got = inside_size(show, TITLE)
                assert got == size, (args, got)
                assert show.wait() == 0, show.stderr()
            finally:
                show.kill()
        dialog = WineShow(prefix, display=server.display)
        try:
            got = inside_size(dialog, "Quarnel")
            print("the dialog at 192 dpi: %dx%d" % got)
            assert got == (312, 520), got
        finally:
            dialog.kill()
    finally:
        server.stop()
        prefix.close()


if __name__ == "__main__":
    globals()["test_" + sys.argv[1]]()
    print("passed")
