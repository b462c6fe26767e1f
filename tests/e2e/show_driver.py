"""Drives the real quarnel executable under X for end-to-end tests: start it, find its windows, press
keys and click with xdotool, close windows as a window manager would, count the frames it draws, and
collect its output.

How to wait: never sleep a fixed time and hope the program got there; wait for the condition the next
step needs. A window mapped: Show.find_window. The keyboard focus: Show.focus. Frames drawn (the show
started with --capture DIR): Frames.wait_for, Frames.wait_more; frames of a fixed step are also the sure
way to wait for show time. A message: Show.wait_stderr. A file written, a server up, anything else:
wait_until. The exit: Show.wait. Each polls with a generous deadline (QUARNEL_E2E_DEADLINE seconds,
default 60) and fails naming what it waited for; a short sleep is only the pause between two polls. The
test command runs every test once: a test that passes only on a second try is a fault to mend."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from harness import Xvfb  # noqa: E402,F401  (the tests take it from here)

BUILD = os.environ.get("QUARNEL_BUILD_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
SHOW_DIR = os.path.join(BUILD, "show")
QUARNEL = os.path.join(SHOW_DIR, "quarnel")
CLOSE_WINDOW = os.path.join(BUILD, "tests", "x11-close-window")
DEADLINE = float(os.environ.get("QUARNEL_E2E_DEADLINE", "60"))


def env(extra=None):
    e = dict(os.environ)
    e["LC_ALL"] = "C"  # xdotool reads SDL's message-box titles only in the C locale
    e.setdefault("SDL_AUDIODRIVER", "dummy")
    if extra:
        e.update(extra)
    return e


class Show:
    def __init__(self, *args, cwd=SHOW_DIR, extra_env=None, display=None, prefix=()):
        """prefix: a command that runs the show (setpriv ..., for instance)."""
        self.out = tempfile.TemporaryFile()
        self.err = tempfile.TemporaryFile()
        e = env(extra_env)
        if os.path.realpath(cwd) != os.path.realpath(SHOW_DIR):
            # A test that runs the show in a copy of its folder means that copy, also where it lacks a
            # folder the data search would otherwise find beside the executable.
            e.setdefault("QUARNEL_DATA_DIR", cwd)
        if display:
            e["DISPLAY"] = display
        self.env = e
        self.proc = subprocess.Popen([*prefix, QUARNEL, *args], cwd=cwd, env=e, stdout=self.out, stderr=self.err,
                                     stdin=subprocess.DEVNULL)

    def xdotool(self, *args, check=True):
        r = subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True)
        if check and r.returncode != 0:
            raise AssertionError("xdotool %s failed: %s" % (" ".join(args), r.stderr))
        return r.stdout.strip()

    def find_window(self, name, deadline=DEADLINE):
        """The id of a visible window whose title contains name, polled until the deadline."""
        end = time.time() + deadline
        while time.time() < end:
            if self.proc.poll() is not None:
                raise AssertionError("quarnel ended (%s) before window %r appeared: %s"
                                     % (self.proc.returncode, name, self.stderr()))
            r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name], env=self.env,
                               capture_output=True, text=True)
            ids = r.stdout.split()
            if ids:
                return ids[-1]
            time.sleep(0.1)
        raise AssertionError("no window %r within %ss; stderr: %s" % (name, deadline, self.stderr()))

    def wait_stderr(self, text, deadline=DEADLINE):
        end = time.time() + deadline
        while time.time() < end:
            if text in self.stderr():
                return
            if self.proc.poll() is not None:
                break
            time.sleep(0.1)
        raise AssertionError("%r not on standard error: %s" % (text, self.stderr()))

    def focus(self, window, deadline=DEADLINE):
        """Gives the window the keyboard focus and waits until the server says it has it: a window that
        was only just mapped may lose it again to its own start-up."""
        end = time.time() + deadline
        while True:
            self.xdotool("windowfocus", "--sync", window, check=False)
            time.sleep(0.2)
            if self.xdotool("getwindowfocus", check=False) == window or time.time() > end:
                return

    def key(self, window, *keys):
        self.focus(window)
        self.xdotool("key", "--delay", "60", *keys)

    def key_until_exit(self, window, key, deadline=DEADLINE):
        """Presses the key until the program ends (for keys whose repeats change nothing, like Escape):
        a window that was only just mapped may not have the keyboard focus yet."""
        end = time.time() + deadline
        while time.time() < end and self.proc.poll() is None:
            self.key(window, key)
            try:
                return self.proc.wait(timeout=1.0)
            except subprocess.TimeoutExpired:
                pass
        return self.wait(1)

    def close(self, window):
        subprocess.run([CLOSE_WINDOW, window], env=self.env, check=True)

    def wait(self, deadline=DEADLINE):
        try:
            return self.proc.wait(timeout=deadline)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            raise AssertionError("quarnel did not end within %ss; stderr: %s" % (deadline, self.stderr()))

    def stdout(self):
        self.out.seek(0)
        return self.out.read().decode(errors="replace")

    def stderr(self):
        self.err.seek(0)
        return self.err.read().decode(errors="replace")

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


class Frames:
    """The frames a show started with --capture FOLDER has drawn: every frame is a numbered picture there.
    The pictures are removed as they are counted, so a long run stays small."""

    def __init__(self, show, folder):
        self.show = show
        self.folder = folder
        self.drawn = 0

    def count(self):
        for name in os.listdir(self.folder):
            if name.startswith("frame") and name.endswith(".png"):
                self.drawn = max(self.drawn, int(name[5:-4]))
                os.remove(os.path.join(self.folder, name))
        return self.drawn

    def wait_for(self, frames, deadline=DEADLINE):
        """Until the show has drawn at least this many frames in all."""
        def drawn():
            if self.show.proc.poll() is not None:
                raise AssertionError("quarnel ended (%s) after %d of %d frames: %s"
                                     % (self.show.proc.returncode, self.drawn, frames, self.show.stderr()))
            return self.count() >= frames
        wait_until(drawn, "frame %d" % frames, deadline)

    def wait_more(self, frames=2, deadline=DEADLINE):
        """Until this many more frames are drawn: the second of two new frames began after anything that
        was sent before the call had arrived."""
        self.wait_for(self.count() + frames, deadline)

    def rate(self, seconds):
        """Frames drawn per second over the next few seconds (a measurement, not a wait)."""
        start, begun = self.count(), time.time()
        while time.time() - begun < seconds:
            time.sleep(0.2)
            self.count()
        return (self.count() - start) / (time.time() - begun)


class PulseServer:
    """A private PulseAudio server with a null sink (no hardware) on its own socket. As root PulseAudio runs
    only in system mode, dropping to its own user, so the socket's folder is open to everyone."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="quarnel-pulse-")
        os.chmod(self.folder, 0o777)
        self.socket = os.path.join(self.folder, "native")
        self.env = {"SDL_AUDIODRIVER": "pulseaudio", "PULSE_SERVER": "unix:" + self.socket}
        self.proc = None

    def start(self):
        args = ["pulseaudio", "-n", "--daemonize=no", "--use-pid-file=no", "--exit-idle-time=-1",
                "--load=module-null-sink sink_name=quiet",
                "--load=module-native-protocol-unix socket=%s auth-anonymous=1" % self.socket]
        if os.geteuid() == 0:
            args.insert(1, "--system")
        with open(os.path.join(self.folder, "server.log"), "a") as log:
            self.proc = subprocess.Popen(args, stdout=log, stderr=log, stdin=subprocess.DEVNULL)
        wait_until(lambda: self.streams() is not None, "PulseAudio to answer")

    def streams(self):
        """The number of playback streams the server has, or None when it does not answer."""
        r = subprocess.run(["pactl", "list", "short", "sink-inputs"], env=env(self.env), capture_output=True,
                           text=True)
        return len(r.stdout.splitlines()) if r.returncode == 0 else None

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait()

    def remove(self):
        self.stop()
        shutil.rmtree(self.folder, ignore_errors=True)


class UserClipboard:
    """The X clipboard as another program of the user holds it: xclip serving a text in the foreground, so
    that the test owns that process and sees whether anyone took the clipboard from it (xclip ends when it
    loses the selection)."""

    def __init__(self, environment=None):
        self.env = environment or env()
        self.proc = None

    def hold(self, text):
        self.stop()
        self.proc = subprocess.Popen(["xclip", "-selection", "clipboard", "-i", "-quiet"], env=self.env,
                                     stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.proc.stdin.write(text.encode())
        self.proc.stdin.close()
        wait_until(lambda: self.read() == text, "the clipboard to hold %r" % text)

    def read(self):
        """The clipboard's text, or None when nobody holds it."""
        r = subprocess.run(["xclip", "-selection", "clipboard", "-o"], env=self.env, capture_output=True,
                           timeout=DEADLINE)
        return r.stdout.decode(errors="replace") if r.returncode == 0 else None

    def holding(self):
        return self.proc is not None and self.proc.poll() is None

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.proc = None

    def release(self):
        """Takes the clipboard back from whoever holds it (an xclip the show left serving ends then), and
        lets it go."""
        self.hold("")
        self.stop()


def wait_until(condition, what, deadline=DEADLINE):
    """Polls condition() until it holds; fails naming what was awaited."""
    end = time.time() + deadline
    while time.time() < end:
        if condition():
            return
        time.sleep(0.05)
    raise AssertionError("waited %ss for %s" % (deadline, what))
