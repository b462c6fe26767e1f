"""The private X servers of tests/support/harness.py: servers started side by side each get a display of
their own and drive their own server (what one test sets on its display, another never sees), and a server
that is gone is noticed."""
import os
import subprocess
import sys
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Xvfb  # noqa: E402


def started_together(count):
    servers, errors = [None] * count, []

    def start(i):
        try:
            servers[i] = Xvfb("640x480x24")
        except Exception as e:  # noqa: BLE001  (reported below with the others)
            errors.append(e)

    threads = [threading.Thread(target=start, args=(i,)) for i in range(count)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return [s for s in servers if s], errors


def root_property(display, value=None):
    env = dict(os.environ, DISPLAY=display)
    if value is not None:
        subprocess.run(["xprop", "-root", "-f", "QUARNEL_TEST_OWNER", "8s", "-set", "QUARNEL_TEST_OWNER", value],
                       env=env, check=True)
    r = subprocess.run(["xprop", "-root", "QUARNEL_TEST_OWNER"], env=env, capture_output=True, text=True)
    return r.stdout.strip()


def test_servers_started_together_each_drive_their_own():
    servers, errors = started_together(4)
    try:
        assert not errors, errors
        displays = [s.display for s in servers]
        assert len(set(displays)) == 4, displays
        for s in servers:
            root_property(s.display, "owner " + s.display)
        for s in servers:
            assert root_property(s.display).endswith('"owner %s"' % s.display), (s.display, root_property(s.display))
    finally:
        for s in servers:
            s.stop()


def test_a_server_that_ended_is_noticed():
    server = Xvfb("640x480x24")
    assert server.alive()
    server.proc.kill()
    server.proc.wait()
    assert not server.alive()
    server.stop()  # stopping a server that is gone is not an error


if __name__ == "__main__":
    test_servers_started_together_each_drive_their_own()
    test_a_server_that_ended_is_noticed()
    print("passed")
