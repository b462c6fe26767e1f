#!/usr/bin/env python3
"""The real setup dialog, driven as a person would: keys and mouse clicks through xdotool, the close box
through the window manager's close request. Each case starts the dialog harness and reads what it prints
and its exit status.

Usage: setup_dialog_e2e.py HARNESS [unittest options]. Runs on a private Xvfb server when Xvfb is
installed, so that other tests' windows cannot take the keyboard focus or cover the dialog (and with
-noreset: a server that resets when its last client leaves refuses the next one for a moment); otherwise
on $DISPLAY.
"""
import ctypes
import os
import signal
import shutil
import subprocess
import sys
import time
import unittest

HARNESS = None
DEADLINE = 60.0  # seconds; the machine is shared, so waits are generous and polled

# Centres of the controls in window pixels (dialog units times 1.5 horizontally, 1.625 vertically).
RUN = (54, 129)
QUIT = (116, 129)
MUSIC = (75, 36)
WINDOWED = (77, 230)
EMPTY_IN_GROUP = (75, 80)


def poll(what, check, deadline=DEADLINE):
    end = time.monotonic() + deadline
    while time.monotonic() < end:
        result = check()
        if result:
            return result
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True,
                          env=os.environ, timeout=DEADLINE)


def send_close_request(window):
    """What a window manager sends when the caption's close box is clicked: WM_DELETE_WINDOW."""
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                    ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                    ("data", ctypes.c_long * 5)]

    class Event(ctypes.Union):
        _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

    display = x11.XOpenDisplay(os.environ["DISPLAY"].encode())
    if not display:
        raise AssertionError("cannot open the X display")
    try:
        event = Event()
        event.xclient.type = 33  # ClientMessage
        event.xclient.window = window
        event.xclient.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
        event.xclient.format = 32
        event.xclient.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        event.xclient.data[1] = 0  # CurrentTime
        if not x11.XSendEvent(display, window, 0, 0, ctypes.byref(event)):
            raise AssertionError("XSendEvent failed")
        x11.XFlush(display)
    finally:
        x11.XCloseDisplay(display)


def set_input_focus(window):
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(os.environ["DISPLAY"].encode())
    if not display:
        raise AssertionError("cannot open the X display")
    x11.XSetInputFocus(display, window, 1, 0)  # RevertToPointerRoot, CurrentTime
    x11.XSync(display, 0)
    x11.XCloseDisplay(display)


class Dialog:
    """One run of the harness with its window."""

    def __init__(self, *options):
        self.stderr = None
        self.process = subprocess.Popen([HARNESS, *options], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                        text=True, env=os.environ)
        try:
            self.window = poll("the dialog window", self._find_window)
        except AssertionError as error:
            self.close()
            tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
            raise AssertionError("%s\nharness stderr: %s\nwindows:\n%s" % (error, self.stderr, tree))
        # Keys go where the keyboard focus is; without a window manager nobody else gives it to us.
        xdotool("windowfocus", "--sync", self.window)

    def _find_window(self):
        if self.process.poll() is not None:
            out, err = self.process.communicate()
            raise AssertionError("the harness ended before its window showed:\n%s%s" % (out, err))
        found = xdotool("search", "--onlyvisible", "--name", "^Quarnel$")
        ids = found.stdout.split()
        return int(ids[0]) if found.returncode == 0 and ids else None

    def keys(self, *names):
        for name in names:
            result = xdotool("key", "--clearmodifiers", name)
            assert result.returncode == 0, result.stderr

    def click(self, position):
        # Move off and back on, so the window sees the pointer arrive even when an earlier run left it
        # resting on the same spot. The server delivers the crossing, the motion and the press in that
        # order, so the press finds the mouse focus taken.
        for x, y in ((1, 1), position):
            result = xdotool("mousemove", "--window", self.window, "--sync", x, y)
            assert result.returncode == 0, result.stderr
        result = xdotool("click", "1")
        assert result.returncode == 0, result.stderr

    def finish(self):
        """Waits for the harness to end; returns (exit status, standard output)."""
        try:
            out, self.stderr = self.process.communicate(timeout=DEADLINE)
        except subprocess.TimeoutExpired:
            self.process.kill()
            out, self.stderr = self.process.communicate()
            raise AssertionError("the dialog did not end:\n" + out + self.stderr)
        return self.process.returncode, out.strip()

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
        if self.stderr is None:
            _, self.stderr = self.process.communicate(timeout=DEADLINE)


class SetupDialogEndToEnd(unittest.TestCase):
    xvfb = None

    @classmethod
    def setUpClass(cls):
        os.environ["LC_ALL"] = "C"  # xdotool cannot read window names under a UTF-8 locale
        os.environ.setdefault("SDL_AUDIODRIVER", "dummy")
        if shutil.which("Xvfb"):
            read_end, write_end = os.pipe()
            cls.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                                         "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.close(write_end)
            with os.fdopen(read_end) as pipe:
                number = pipe.readline().strip()
            if not number:
                raise RuntimeError("Xvfb did not start")
            os.environ["DISPLAY"] = ":" + number
        elif "DISPLAY" not in os.environ:
            raise RuntimeError("no X display: install Xvfb or run under xvfb-run")

    @classmethod
    def tearDownClass(cls):
        if cls.xvfb:
            cls.xvfb.terminate()
            cls.xvfb.wait(timeout=DEADLINE)

    def run_dialog(self, drive, *options):
        """(exit status, standard output, standard error) of one run."""
        dialog = Dialog(*options)
        try:
            drive(dialog)
            status, out = dialog.finish()
            return status, out, dialog.stderr
        finally:
            dialog.close()

    def assert_run(self, outcome, music, fullscreen):
        status, out, err = outcome
        self.assertEqual((status, out), (0, "run music=%d fullscreen=%d" % (music, fullscreen)), err)

    def assert_quit(self, outcome):
        status, out, err = outcome
        self.assertEqual((status, out), (0, "quit"), err)

    # Keyboard

    def test_enter_without_touching_anything_gives_music_and_full_screen(self):
        self.assert_run(self.run_dialog(lambda d: d.keys("Return")), 1, 1)

    def test_keyboard_toggles_both_and_space_presses_run(self):
        # Focus starts on "Run ... "; Tab order is "Quit", "Music", "Windowed", then "Run ... " again.
        def drive(d):
            d.keys("Tab", "Tab", "space", "Tab", "space", "Tab", "space")
        self.assert_run(self.run_dialog(drive), 0, 0)

    def test_shift_tab_goes_backwards_and_enter_on_a_toggle_presses_run(self):
        self.assert_run(self.run_dialog(lambda d: d.keys("shift+Tab", "space", "Return")), 1, 0)

    def test_enter_on_quit_and_escape_quit_with_status_zero(self):
        self.assert_quit(self.run_dialog(lambda d: d.keys("Tab", "Return")))
        self.assert_quit(self.run_dialog(lambda d: d.keys("Escape")))

    # Mouse

    def test_mouse_toggles_both_and_runs(self):
        def drive(d):
            d.click(EMPTY_IN_GROUP)  # nothing there
            d.click(MUSIC)
            d.click(WINDOWED)
            d.click(RUN)
        self.assert_run(self.run_dialog(drive), 0, 0)

    def test_presets_start_the_toggles(self):
        self.assert_run(self.run_dialog(lambda d: d.click(RUN), "--no-music", "--windowed"), 0, 0)
        self.assert_run(self.run_dialog(lambda d: d.click(MUSIC) or d.click(RUN), "--no-music"), 1, 1)

    def test_a_click_read_together_with_the_focus_still_presses(self):
        # A busy machine can leave the dialog asleep while the focus arrives and the click follows; it
        # then reads both at once, and that click must count like any other.
        def drive(d):
            d.process.send_signal(signal.SIGSTOP)
            try:
                set_input_focus(1)  # PointerRoot: the focus leaves the dialog ...
                xdotool("windowfocus", "--sync", d.window)  # ... and comes back
                d.click(QUIT)
            finally:
                d.process.send_signal(signal.SIGCONT)
        self.assert_quit(self.run_dialog(drive))

    def test_quit_button_and_close_box_quit_with_status_zero(self):
        self.assert_quit(self.run_dialog(lambda d: d.click(QUIT)))
        self.assert_quit(self.run_dialog(lambda d: send_close_request(d.window)))


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit("usage: setup_dialog_e2e.py HARNESS [unittest options]")
    HARNESS = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
