"""Runs one test command on an X display of its own, so that end-to-end tests can run side by side: its own
Xvfb (1024x768, the size xvfb-run gave them), so its own pointer, focus, clipboard and window search; its
own folder for temporary files (TMPDIR) and for the sound server's and runtime files (XDG_RUNTIME_DIR).
Everything is removed when the command ends; the command's exit status is this script's.

  on_own_display.py [--screen WxHxD] COMMAND [ARG...]"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Xvfb  # noqa: E402


def main(argv):
    screen = "1024x768x24"
    if len(argv) >= 2 and argv[0] == "--screen":
        screen, argv = argv[1], argv[2:]
    if not argv:
        print(__doc__, file=sys.stderr)
        return 2
    folder = tempfile.mkdtemp(prefix="quarnel-test-")
    # Others may pass through it, as through /tmp: a PulseAudio server started as root drops to its own
    # user and must reach the socket a test makes for it in here.
    os.chmod(folder, 0o755)
    xvfb = Xvfb(screen)
    child = None

    def forward(signum, _frame):
        if child is not None and child.poll() is None:
            child.send_signal(signum)

    # CTest ends a test that runs over its time with SIGTERM: pass it on, then clean up below.
    signal.signal(signal.SIGTERM, forward)
    signal.signal(signal.SIGINT, forward)
    try:
        runtime = os.path.join(folder, "run")
        os.mkdir(runtime, 0o700)
        env = dict(os.environ, DISPLAY=xvfb.display, TMPDIR=folder, XDG_RUNTIME_DIR=runtime)
        child = subprocess.Popen(argv, env=env)
        status = child.wait()
        if status < 0:
            status = 128 - status  # ended by a signal, as a shell reports it
        if not xvfb.alive():
            print("on_own_display: the test's X server %s ended under it" % xvfb.display, file=sys.stderr)
            status = status or 1
        return status
    finally:
        xvfb.stop()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
