"""End-to-end tests of the browser build: the page in headless Chromium (SwiftShader's WebGL 2), driven
over the DevTools protocol by scripts/web-shot.py, read through the hooks the page keeps on `window`
(quarnelStage, quarnelFrames, quarnelOut, quarnelSpectrum, quarnelSound, the title, Module.FS).

Run one case, or all of them in turn:
    python3 tests/web/web_e2e.py CASE       CASE: pictures, music, music_after_a_stall, dialog, full_screen,
                                            mouse, bad_option, address_options, no_webgl, progress,
                                            play_again, phone, rounds, replays, driver
    python3 tests/web/web_e2e.py all        (side by side, $QUARNEL_WEB_JOBS at a time, default the cores)
Each case serves the build on a free loopback port of its own: $QUARNEL_WEB_DIR, by default build-web/
(make it with scripts/build-web.sh). "driver" tests the driver itself against a small stand-in page
(tests/web/fixture/) and needs no build. Waits poll the page; each has a deadline of
$QUARNEL_WEB_DEADLINE seconds (default 600: SwiftShader draws a frame in about a quarter second).
All cases together keep the browser busy for about ten minutes."""
import functools
import http.server
import importlib.util
import math
import os
import re
import struct
import subprocess
import sys
import tempfile
import threading
import time
import traceback
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "..")
WEB_DIR = os.environ.get("QUARNEL_WEB_DIR", os.path.join(ROOT, "build-web"))
DEADLINE = float(os.environ.get("QUARNEL_WEB_DEADLINE", "600"))
REFERENCE = os.path.join(ROOT, "tests", "e2e", "reference")
WEB_SHOT = os.path.join(ROOT, "scripts", "web-shot.py")

sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
from png_pixels import read_png  # noqa: E402
from harness import psnr  # noqa: E402
import rounds as kept_rounds  # noqa: E402

_spec = importlib.util.spec_from_file_location("web_shot", WEB_SHOT)
web_shot = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(web_shot)

# Every picture the show draws at a fixed step is a function of its frame number.
STILL = "run&windowed&no-music&batch&fixed-step=0.05"


class Server:
    """The folder over HTTP on 127.0.0.1 and a free port, for the life of a with-statement; `files` adds
    files of its own ({path: bytes}, e.g. "/rounds/a.qrec")."""

    def __init__(self, folder, files=None):
        requests = self.requests = []  # (path, status) of every request answered
        files = dict(files or {})

        class Handler(http.server.SimpleHTTPRequestHandler):
            extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                              ".wasm": "application/wasm", ".data": "application/octet-stream"}

            def do_GET(self):
                body = files.get(urllib.parse.unquote(self.path.split("?")[0]))
                if body is None:
                    return super().do_GET()
                self.send_response(200)
                self.send_header("Content-Type", "application/octet-stream")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_request(self, code="-", size="-"):
                requests.append((urllib.parse.unquote(self.path.split("?")[0]), int(code)))

            def log_message(self, *_):
                pass

        if not os.path.isfile(os.path.join(folder, "index.html")):
            raise AssertionError("no page in %s: build it with scripts/build-web.sh or set QUARNEL_WEB_DIR" % folder)
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                                     functools.partial(Handler, directory=folder))
        self.origin = "http://127.0.0.1:%d" % self.httpd.server_address[1]
        self.base = self.origin + "/index.html"

    def __enter__(self):
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()
        return self

    def __exit__(self, *_):
        self.httpd.shutdown()
        self.httpd.server_close()

    def url(self, query):
        return self.base + "?" + query


def picture(browser, path, folder):
    """A PNG the program wrote into the page's file system, read into rows."""
    local = os.path.join(folder, os.path.basename(path))
    with open(local, "wb") as f:
        f.write(browser.read_file(path))
    width, height, rows = read_png(local)
    assert (width, height) == (800, 600), (path, width, height)
    return rows


def run_to_end(browser, url, steps=()):
    title, missed = web_shot.run_show(browser, url, [web_shot.parse_step(*s) for s in steps], DEADLINE)
    assert not missed, "steps that never ran: %s (%s)" % (missed, title)
    assert title.startswith("quarnel: done"), (title, browser.lines()[1])
    return title


def more_frames(browser, n=2):
    """Until n more frames are drawn: the second of two new frames began after anything sent before."""
    now = browser.state()["frames"]
    browser.wait_for(lambda s: s["frames"] >= now + n, "frame %d" % (now + n), DEADLINE)


def test_pictures():
    # Frames 50 and 300 close to the Linux build's; then the up arrow, held in a second run from frame 62
    # to 72, must change frame 80 while frame 60, drawn before the press, stays the same.
    with Server(WEB_DIR) as server, tempfile.TemporaryDirectory() as tmp:
        plain, held = os.path.join(tmp, "plain"), os.path.join(tmp, "held")
        os.mkdir(plain)
        os.mkdir(held)
        with web_shot.Browser() as browser:
            run_to_end(browser, server.url(STILL + "&frames=300&capture=/shots&capture-frames=50,60,80,300"))
            for n in (50, 300):
                got = picture(browser, "/shots/frame%06d.png" % n, plain)
                _, _, want = read_png(os.path.join(REFERENCE, "frame%06d.png" % n))
                figure = psnr(got, want)
                print("frame %d against the Linux reference: PSNR %.1f dB" % (n, figure))
                assert figure >= 30.0, "frame %d: PSNR %.1f dB below 30" % (n, figure)
            before, after = (picture(browser, "/shots/frame%06d.png" % n, plain) for n in (60, 80))
        with web_shot.Browser() as browser:
            run_to_end(browser, server.url(STILL + "&frames=80&capture=/shots&capture-frames=60,80"),
                       [("frame>=62", "key-down", "ArrowUp"), ("frame>=72", "key-up", "ArrowUp")])
            held_before, held_after = (picture(browser, "/shots/frame%06d.png" % n, held) for n in (60, 80))
        same, moved = psnr(before, held_before), psnr(after, held_after)
        print("with the up arrow against without: frame 60 PSNR %.1f dB, frame 80 PSNR %.1f dB" % (same, moved))
        assert same >= 50.0, "frame 60 differs before any key was pressed: %.1f dB" % same
        assert moved <= 25.0, "holding the up arrow hardly changed frame 80: %.1f dB" % moved


def test_music():
    # The music's spectrum reaches the page every frame, and Web Audio plays what the mixer queues.
    with Server(WEB_DIR) as server, web_shot.Browser() as browser:
        browser.load(server.url("run&windowed&batch&fixed-step=0.05&frames=120"))
        sounds = []  # (queued, waiting) about every fifth frame
        clock = []  # the audio context's state and time, while the show runs
        end = time.time() + DEADLINE
        while True:
            state, sound, audio = browser.evaluate(
                "[%s, window.quarnelSound, window.Module && Module.SDL2 && Module.SDL2.audioContext &&"
                " [Module.SDL2.audioContext.state, Module.SDL2.audioContext.currentTime]]" % web_shot.STATE)
            if sound and (not sounds or state["frames"] >= sounds[-1][0] + 5):
                sounds.append((state["frames"], sound["queued"], sound["waiting"]))
                if audio and audio[0] != "closed":
                    clock.append(audio)
            if web_shot.ended(state["title"]) or time.time() > end:
                break
            time.sleep(0.1)
        assert state["title"].startswith("quarnel: done"), state["title"]
        # The music is a file of its own, fetched for a show that plays it.
        assert any(p.startswith("/music/") and code == 200 for p, code in server.requests), server.requests
        spectrum = browser.evaluate("window.quarnelSpectrum")
        assert spectrum and len(spectrum) >= 100, "a spectrum for %d of 120 frames" % len(spectrum or [])
        assert all(0.0 <= v <= 1.0 for v in spectrum), spectrum
        changes = sum(1 for a, b in zip(spectrum, spectrum[1:]) if a != b)
        print("spectrum: %d frames, mean %.4f, max %.4f, %d changes from frame to frame"
              % (len(spectrum), sum(spectrum) / len(spectrum), max(spectrum), changes))
        assert max(spectrum) > 0.0 and changes >= len(spectrum) * 3 // 4, spectrum
        print("sound at frame: queued / waiting: %s"
              % ", ".join("%d: %d / %d" % s for s in sounds[:3] + sounds[len(sounds) // 2:][:1] + sounds[-1:]))
        assert len(sounds) >= 5, sounds
        queued = [q for _, q, _ in sounds]
        assert queued == sorted(queued) and queued[-1] - queued[0] >= 88200, "nothing more queued: %s" % sounds
        # Unplayed sound would pile up to everything queued; played, a second at most waits.
        assert max(w for _, _, w in sounds) <= 48000 and sounds[-1][2] < queued[-1] // 2, sounds
        # Web Audio itself runs and its clock moves while the show plays.
        print("audio context while the show ran: %s" % (clock[:1] + clock[-1:]))
        assert clock and all(c[0] == "running" for c in clock), clock
        assert clock[-1][1] - clock[0][1] > 1.0, clock


def test_music_after_a_stall():
    # At the real clock a page that stalls (here two seconds of busy script) mixes the whole pause at
    # once; only the newest of it may be queued, or the music would stay seconds behind the picture.
    with Server(WEB_DIR) as server, web_shot.Browser() as browser:
        browser.load(server.url("run&windowed&batch&frames=400"))
        browser.wait_for(lambda s: s["frames"] >= 5, "the fifth frame", DEADLINE)
        before = browser.evaluate("window.quarnelSound")
        browser.evaluate("(() => { const t = performance.now(); while (performance.now() - t < 2000); })()")
        more_frames(browser, 1)  # the frame that mixed the pause
        after = browser.evaluate("window.quarnelSound")
        browser.key("Escape")
        assert browser.wait_end(DEADLINE).startswith("quarnel: done")
        print("sound before the stall %s, the frame after %s" % (before, after))
        assert after["waiting"] <= 0.5 * 44100, after
        assert after["queued"] - before["queued"] < 88200, (before, after)


def test_dialog():
    # The setup dialog in the canvas: "Windowed", then "Run ... "; Escape ends the show.
    with Server(WEB_DIR) as server, web_shot.Browser() as browser:
        browser.load(server.url("no-music&batch"))
        browser.wait_for(lambda s: s["stage"] == "dialog", "the dialog", DEADLINE)
        browser.click(*browser.dialog_button("windowed"))
        browser.click(*browser.dialog_button("run"))
        browser.wait_for(lambda s: s["stage"] == "show" and s["frames"] >= 2, "the show's second frame", DEADLINE)
        browser.key("Escape")
        title = browser.wait_end(DEADLINE)
        assert title.startswith("quarnel: done ") and title.endswith(" frames"), title
        assert int(title.split()[2]) >= 2, title
        line = browser.evaluate("(() => { const e = document.getElementById('ended');"
                                " return e && e.getClientRects().length > 0 && getComputedStyle(e).visibility"
                                " !== 'hidden' ? e.textContent.trim() : null; })()")
        assert line, "no visible #ended line after the end"
        assert browser.state()["stage"] == "ended"


def test_full_screen():
    # "Run ... " without "Windowed": the canvas goes full screen with the first key (a page may take the
    # screen only in answer to the user), keeps its 4:3 picture, and one Escape, which the browser takes
    # to leave full screen, still ends the show.
    with Server(WEB_DIR) as server, web_shot.Browser() as browser:
        browser.load(server.url("no-music&batch&fixed-step=0.05"))
        browser.wait_for(lambda s: s["stage"] == "dialog", "the dialog", DEADLINE)
        browser.click(*browser.dialog_button("run"))
        browser.wait_for(lambda s: s["stage"] == "show" and s["frames"] >= 2, "the show's second frame", DEADLINE)
        browser.key("ArrowLeft")
        more_frames(browser)
        screen = browser.evaluate("(() => { const e = document.fullscreenElement, c = document.getElementById('canvas');"
                                  " const r = c.getBoundingClientRect();"
                                  " return [e && e.id, c.width, c.height, r.width, r.height, innerWidth, innerHeight,"
                                  " !!e && e.contains(document.getElementById('end'))]; })()")
        print("full screen: %s" % screen)
        # The page's stage, canvas and end button, takes the screen; the picture keeps 4:3 with bars.
        assert screen[0] == "stage" and screen[1:3] == [800, 600] and screen[7], screen
        assert abs(screen[3] * 3 - screen[4] * 4) < 4 and screen[3] <= screen[5] and screen[4] <= screen[6], screen
        browser.key("Escape")
        title = browser.wait_end(DEADLINE)
        assert title.startswith("quarnel: done"), title
        assert browser.evaluate("document.fullscreenElement") is None


def test_mouse():
    # Each pointer move reaches the camera within two frames, not one move later: the middle button
    # records the camera of the last frame drawn, ((X - 400) * 0.0175, (Y - 300) * 0.02333...) with X, Y
    # the pointer on the "screen", and Escape writes the recorded lines to standard output. As natively,
    # the screen's pointer is the window's position plus the pointer in the window (the canvas): the same
    # offset for every move.
    moves = [(600, 100), (100, 500), (420, 310), (700, 40)]
    with Server(WEB_DIR) as server, web_shot.Browser() as browser:
        browser.load(server.url(STILL))
        browser.wait_for(lambda s: s["frames"] >= 2, "the second frame", DEADLINE)
        for x, y in moves:
            browser.mouse_move(x, y)
            more_frames(browser)
            browser.click(x, y, "middle")
            more_frames(browser)
        browser.key("Escape")
        title = browser.wait_end(DEADLINE)
        assert title.startswith("quarnel: done"), title
        out = browser.lines()[0]
        cams = [tuple(float(v) for v in l[5:].split(",")) for l in out if l.startswith("Cam :")]
        assert len(cams) == len(moves), out
        offsets = [(cx / 0.0175 + 400 - x, cy / 0.023333333333333334 + 300 - y, cz)
                   for (cx, cy, cz), (x, y) in zip(cams, moves)]
        print("the window's place on the screen, from the camera: %s"
              % [(round(a, 2), round(b, 2)) for a, b, _ in offsets])
        for offset in offsets:
            assert all(abs(o - w) < 0.1 for o, w in zip(offset, offsets[0])) and offset[2] == 0.0, (cams, moves)
        assert len([l for l in out if l.startswith("Pnt :")]) == len(moves), out


def test_bad_option():
    # A bad command line ends the page at once, naming the option, before any frame; so does a value
    # whose escape in the address is malformed, which reaches the program as it was written. An option of
    # 20,000 characters is cut in the title and the page's line, and the page keeps its width; ?help
    # shows the usage on the page.
    with Server(WEB_DIR) as server:
        for query, named in (("frames=abc", '"abc"'), ("frames=%E0%A4%A", '"%E0%A4%A"')):
            with web_shot.Browser() as browser:
                browser.load(server.url(query))
                title = browser.wait_end(DEADLINE)
                print(title)
                assert title.startswith("quarnel: failed: ") and "--frames" in title and named in title, title
                assert browser.state()["frames"] == 0
        with web_shot.Browser() as browser:
            browser.load(server.url("x" * 20000))
            title = browser.wait_end(DEADLINE)
            line, usage, width = browser.evaluate(
                "[document.getElementById('failed').textContent, document.getElementById('usage').textContent,"
                " [document.documentElement.scrollWidth, innerWidth]]")
            print("a 20,000-character option: title of %d characters, line of %d, page %s wide"
                  % (len(title), len(line), width))
            assert title.startswith("quarnel: failed: unknown option") and len(title) <= 120, title
            assert "xxxx" in line and len(line) <= 500, line
            assert width[0] <= width[1], width
            assert "--fixed-step" in usage, usage
        with web_shot.Browser() as browser:
            browser.load(server.url("help"))
            title = browser.wait_end(DEADLINE)
            usage = browser.evaluate("(() => { const e = document.getElementById('usage');"
                                     " return e.getClientRects().length ? e.textContent : null; })()")
            assert title.startswith("quarnel: done"), title
            assert usage and "Usage: quarnel" in usage and "--no-music" in usage, usage


def test_no_webgl():
    # A browser without WebGL 2: the page says so in its own words and the title tells a failure; no box
    # claims anything, no frame is drawn and none of the show's files is fetched.
    with Server(WEB_DIR) as server, web_shot.Browser(flags=["--disable-webgl", "--disable-webgl2"]) as browser:
        browser.load(server.url("run&windowed&no-music"))
        title = browser.wait_end(DEADLINE)
        line = browser.evaluate("document.getElementById('failed').textContent")
        print(title)
        assert title.startswith("quarnel: failed: ") and "WebGL 2" in title, title
        assert "WebGL 2" in line, line
        assert browser.dialogs == [], browser.dialogs
        assert browser.state()["frames"] == 0
        fetched = [p for p, _ in server.requests if p.startswith("/quarnel.")]
        assert fetched == [], fetched


def test_progress():
    # On a laptop's 1366 x 650 and a network of 1 MB/s, the share of the three files that has come shows
    # in percent above the fold, rising to the end; the page has its heading, words on the show, the
    # controls and its icon, and a show without music never fetches the music.
    with Server(WEB_DIR) as server, web_shot.Browser() as browser:
        browser.emulate_screen(1366, 650)
        browser.throttle(1000000)
        browser.load(server.url("run&windowed&no-music&batch&fixed-step=0.05&frames=3"))
        seen, fold = [], []
        end = time.time() + DEADLINE
        while True:
            status, bottom, height, stage = browser.evaluate(
                "(() => { const l = document.getElementById('loading'), r = l.getBoundingClientRect();"
                " return [l.getClientRects().length ? document.getElementById('status').textContent : '',"
                " r.bottom, innerHeight, window.quarnelStage]; })()")
            m = re.search(r"(\d+) %", status)
            if m and (not seen or int(m.group(1)) != seen[-1]):
                seen.append(int(m.group(1)))
                fold.append(bottom <= height)
            if stage not in (None, "loading") or time.time() > end:  # None: the page's script not yet run
                break
            time.sleep(0.05)
        print("progress seen: %s" % seen)
        assert len(seen) >= 4 and seen == sorted(seen) and seen[0] < 50 and seen[-1] >= 90, seen
        assert all(fold), "the progress line was below the fold"
        assert browser.wait_end(DEADLINE) == "quarnel: done 3 frames"
        page = browser.evaluate(
            "Promise.all([document.querySelector('h1').textContent, document.getElementById('about').textContent,"
            " document.getElementById('controls').textContent,"
            " Promise.all([...document.querySelectorAll('link[rel=icon]')].map(l => fetch(l.href)"
            ".then(r => r.status + ' ' + r.headers.get('Content-Type'))))])")
        print("the page's icons: %s" % page[3])
        assert page[0] == "Quarnel" and "sea" in page[1], page
        assert all(word in page[2] for word in ("arrow keys", "Pad", "Touch", "Escape")), page[2]
        assert page[3] and all(icon.startswith("200 image/") for icon in page[3]), page[3]
        assert not [p for p, _ in server.requests if p.startswith("/music/")], server.requests


def test_play_again():
    # Escape ends a show: the page keeps the frame drawn before the fade, not the black it fades to, and
    # "Play again" plays a second show without loading the page again.
    with Server(WEB_DIR) as server, web_shot.Browser() as browser, tempfile.TemporaryDirectory() as tmp:
        escape = web_shot.parse_step("frame>=30", "key", "Escape")
        title, missed = web_shot.run_show(browser, server.url(STILL), [escape], DEADLINE)
        assert not missed and title.startswith("quarnel: done"), (title, missed)
        last = os.path.join(tmp, "last.png")
        with open(last, "wb") as f:
            f.write(browser.canvas_png())
        _, _, rows = read_png(last)
        mean = sum(sum(row) for row in rows) / (len(rows) * len(rows[0]))
        print("the canvas after the end: mean %.1f of 255" % mean)
        assert mean > 10.0, "the canvas shows the faded frame (mean %.1f)" % mean
        loads = len([p for p, _ in server.requests if p == "/quarnel.wasm"])
        browser.evaluate("document.getElementById('again').click()")
        browser.wait_for(lambda s: s["stage"] == "show" and s["frames"] >= 5, "the second show's fifth frame",
                         DEADLINE)
        browser.key("Escape")
        title = browser.wait_end(DEADLINE)
        print("second show: %s" % title)
        assert title.startswith("quarnel: done") and int(title.split()[2]) >= 5, title
        assert len([p for p, _ in server.requests if p == "/quarnel.wasm"]) == loads == 1, server.requests


def test_phone():
    # A phone, 390 x 844 with touch: the canvas takes the screen's width at 4:3; "Run ... " is tapped in
    # the setup; a finger held above the player from frame 62 to 72 steers it (frame 80 differs from an
    # untouched run's, frame 60 does not), and the page's end button, tapped, ends the show.
    options = "windowed&no-music&batch&fixed-step=0.05&capture=/shots&capture-frames=60,80"
    with Server(WEB_DIR) as server, tempfile.TemporaryDirectory() as tmp:
        with web_shot.Browser() as browser:
            browser.emulate_screen(390, 844, mobile=True, scale=2)
            run_to_end(browser, server.url("run&" + options + "&frames=80"))
            untouched = [picture(browser, "/shots/frame%06d.png" % n, tmp) for n in (60, 80)]
        with web_shot.Browser() as browser:
            browser.emulate_screen(390, 844, mobile=True, scale=2)
            browser.load(server.url(options))
            browser.wait_for(lambda s: s["stage"] == "dialog", "the dialog", DEADLINE)
            browser.tap(*browser.page_point(*browser.dialog_button("run")))
            browser.wait_for(lambda s: s["stage"] == "show", "the show", DEADLINE)
            box = browser.evaluate("(() => { const r = document.getElementById('canvas').getBoundingClientRect();"
                                   " return [r.width, r.height, document.documentElement.scrollWidth,"
                                   " innerWidth]; })()")
            print("the canvas on a phone: %s" % box)
            assert abs(box[0] - 390) < 1 and abs(box[0] * 3 - box[1] * 4) < 4 and box[2] <= box[3], box
            browser.wait_for(lambda s: s["frames"] >= 62, "frame 62", DEADLINE)
            finger = browser.page_point(400, 40)  # straight above the player, near the top
            browser.touch("touchStart", [(1, *finger)])
            browser.wait_for(lambda s: s["frames"] >= 72, "frame 72", DEADLINE)
            browser.touch("touchEnd", [])
            browser.wait_for(lambda s: s["frames"] >= 82, "frame 82", DEADLINE)
            browser.tap(*browser.element_centre("#end"))
            title = browser.wait_end(DEADLINE)
            print(title)
            assert title.startswith("quarnel: done"), title
            touched = [picture(browser, "/shots/frame%06d.png" % n, tmp) for n in (60, 80)]
    same, moved = psnr(untouched[0], touched[0]), psnr(untouched[1], touched[1])
    print("a finger held against none: frame 60 PSNR %.1f dB, frame 80 PSNR %.1f dB" % (same, moved))
    assert same >= 50.0, "frame 60 differs before any touch: %.1f dB" % same
    assert moved <= 25.0, "the finger hardly changed frame 80: %.1f dB" % moved


def test_address_options():
    # Values in the address are decoded as a browser writes them ("%20" and "+" are blanks), and a file
    # the show cannot write at its end fails the page with the program's own line, after its frames.
    with Server(WEB_DIR) as server, web_shot.Browser() as browser, tempfile.TemporaryDirectory() as tmp:
        run_to_end(browser, server.url(STILL + "&frames=2&screenshot=/a%20b+c.png"))
        picture(browser, "/a b c.png", tmp)  # an 800 x 600 PNG under that name
    with Server(WEB_DIR) as server, web_shot.Browser() as browser:
        browser.load(server.url(STILL + "&frames=2&screenshot=/no/such/folder/x.png"))
        title = browser.wait_end(DEADLINE)
        print(title)
        assert title.startswith("quarnel: failed: cannot write the screenshot /no/such/folder/x.png"), title
        assert browser.state()["frames"] == 2
        assert browser.evaluate("getComputedStyle(document.getElementById('failed')).display") == "block"


# Rounds: the files the show records and replays (the format is in the README).
ROUND_MAGIC = b"QUARNREC"


def round_header(data):
    """(version, flags, program, system) of a recording's header."""
    assert data[:8] == ROUND_MAGIC, data[:16]
    version, flags = struct.unpack_from("<II", data, 8)
    at, names = 16, []
    for _ in range(2 if version >= 2 else 0):
        n = data[at]
        names.append(data[at + 1:at + 1 + n].decode("ascii"))
        at += 1 + n
    return (version, flags, *names)


def round_records(data):
    """(kind, offset) of every record of a recording."""
    version, _, *names = round_header(data)
    at = 16 + sum(1 + len(n) for n in names)
    sizes = {b"M": 20, b"F": 32, b"I": 0, b"C": 8, b"S": 16, b"E": 8}
    while at < len(data):
        kind = data[at:at + 1]
        yield kind, at
        at += 1 + sizes[kind]


def made_round(steps, music):
    """A recording as the show writes one, of frames drawn with the cursor at rest after the steps given
    (seconds between two frames), without checksums."""
    name = lambda text: bytes([len(text)]) + text  # noqa: E731
    data = ROUND_MAGIC + struct.pack("<II", 2, (1 if music else 0) | 2) + name(b"quarnel 1.0.0") + name(b"Linux")
    data += b"C" + struct.pack("<d", 0.0)
    clock = 0.0
    for step in steps:
        clock += step
        data += b"F" + struct.pack("<dddd", 400.0, 300.0, clock, clock)
    return data + b"E" + struct.pack("<Q", len(steps))


def wait_download(folder, name, deadline=60.0):
    """The bytes of a download once the browser has finished it."""
    path, end = os.path.join(folder, name), time.time() + deadline
    while not os.path.isfile(path):
        assert time.time() < end, "no download %s in %s: %s" % (name, folder, os.listdir(folder))
        time.sleep(0.1)
    with open(path, "rb") as f:
        return f.read()


def test_rounds():
    # A round played in the page with "Record this round" ticked, the arrows held (and the mouse moved, which
    # passes the messages that steer) so that the player leaves the sea and comes back: once the show has
    # ended the page offers it under its date, as a version 2 recording of "a web page", and offers it again.
    # Served back from the page's own site, ?replay=...&verify replays it and says every checksum agrees.
    with Server(WEB_DIR) as server, web_shot.Browser() as browser, tempfile.TemporaryDirectory() as tmp:
        browser.allow_downloads(tmp)
        browser.load(server.url("no-music&batch"))
        browser.wait_for(lambda s: s["stage"] == "dialog", "the dialog", DEADLINE)
        browser.click_element("#record-tick")
        browser.click(*browser.dialog_button("windowed"))
        browser.click(*browser.dialog_button("run"))
        for first, last, key in ((4, 14, "ArrowUp"), (14, 18, "ArrowLeft"), (18, 30, "ArrowUp")):
            browser.wait_for(lambda s: s["frames"] >= first, "frame %d" % first, DEADLINE)
            browser.key_down(key)
            while browser.state()["frames"] < last:
                browser.mouse_move(390 + 20 * (browser.state()["frames"] % 2), 300)
                more_frames(browser, 1)
            browser.key_up(key)
        browser.key("Escape")
        title = browser.wait_end(DEADLINE)
        assert title.startswith("quarnel: done"), title
        name = browser.evaluate("document.getElementById('download').download")
        assert re.fullmatch(r"quarnel-round-\d{4}-\d\d-\d\d-\d{6}\.qrec", name or ""), name
        browser.click_element("#download")
        data = wait_download(tmp, name)
        os.remove(os.path.join(tmp, name))
        browser.click_element("#download")  # the link stays: a second press saves it again
        assert wait_download(tmp, name) == data
        version, flags, program, system = round_header(data)
        print("the round: %s, %d bytes, version %d, flags %d, recorded by %s on %s"
              % (name, len(data), version, flags, program, system))
        assert (version, flags, system) == (2, 2, "a web page") and program.startswith("quarnel "), \
            (version, flags, program, system)
    # The same round with its last checksum changed fails, naming the frame; and the rounds kept with the
    # tests, recorded on every target, give in the page the line they give everywhere.
    last = [at for kind, at in round_records(data) if kind == b"S"][-1]
    frame = struct.unpack_from("<Q", data, last + 1)[0]
    changed = data[:last + 9] + bytes([data[last + 9] ^ 1]) + data[last + 10:]
    rounds = {"/rounds/" + name: data, "/rounds/changed.qrec": changed}
    lines = kept_rounds.expected_lines()
    for kept in kept_rounds.ROUNDS:
        with open(os.path.join(kept_rounds.ROUNDS_DIR, kept), "rb") as f:
            rounds["/rounds/" + kept] = f.read()
    with Server(WEB_DIR, rounds) as server:
        for path in rounds:
            with web_shot.Browser() as browser:
                browser.load(server.url("replay=%s&verify&batch" % path[1:]))
                title = browser.wait_end(DEADLINE)
                out = browser.lines()[0]
            print(title)
            kept = lines.get(path[len("/rounds/"):])
            if kept:  # the line of every target
                assert title == "quarnel: done: %s: %s" % (path, kept) and title[15:] in out, (title, kept, out)
                continue
            if path == "/rounds/changed.qrec":
                want = r"quarnel: failed: (%s: .*, checksums: (\d+) of (\d+) agree, the first to disagree is at " \
                       r"frame %d)" % (re.escape(path), frame)
            else:
                want = r"quarnel: done: (%s: \d+ frames, .*, checksums: all (\d+) agree)" % re.escape(path)
            line = re.fullmatch(want, title)
            assert line and line.group(1) in out and int(line.group(2)) >= 3, (title, out)


def test_replays():
    # A round chosen in the page's file chooser while the setup waits replays at once, kept to its recorded
    # time: through a recorded pause of a minute the page draws nothing, still answers, plays the music it
    # queued and ends on Escape. A file dropped onto the page then replaces it; one that is no round is
    # refused by name, one larger than any round before it is read. A round on another site, or none at the
    # address, fails the page plainly, and nothing is fetched from the other site.
    with Server(WEB_DIR) as server, web_shot.Browser() as browser, tempfile.TemporaryDirectory() as tmp:
        paused, broken, huge = (os.path.join(tmp, n) for n in ("paused.qrec", "broken.qrec", "huge.qrec"))
        with open(paused, "wb") as f:
            f.write(made_round([0.1] * 20 + [60.0] + [0.1] * 10, music=True))
        with open(broken, "wb") as f:
            f.write(made_round([0.1] * 5, music=False)[:-9] + b"Z")
        with open(huge, "wb") as f:
            f.truncate(64 * 1024 * 1024 + 1)
        browser.load(server.url("batch"))
        browser.wait_for(lambda s: s["stage"] == "dialog", "the dialog", DEADLINE)
        browser.set_file_input("#round-file", [huge])
        assert "larger than 64 MB" in browser.evaluate("document.getElementById('note').textContent")
        browser.set_file_input("#round-file", [paused])
        # The setup's program ends first (its end shows in the title for a moment), then the replay runs.
        end = time.time() + DEADLINE
        while not (browser.state()["title"] == "Quarnel" and browser.state()["frames"] >= 20):
            assert time.time() < end and not browser.state()["title"].startswith("quarnel: failed"), browser.state()
            time.sleep(0.05)
        sound = browser.evaluate("window.quarnelSound")
        time.sleep(3)
        started = time.time()
        state = browser.state()
        answered = time.time() - started
        print("in the recorded pause: %s, the page answered in %.2f s, sound %s" % (state, answered, sound))
        assert state["frames"] == 20 and state["stage"] == "show" and answered < 1.0, state
        assert any(p.startswith("/music/") for p, _ in server.requests) and sound["queued"] > 0, sound
        browser.key("Escape")
        assert browser.wait_end(30).startswith("quarnel: done"), "Escape did not end the pause"
        browser.drop_files(*browser.element_centre("#canvas"), [broken])
        end = time.time() + DEADLINE
        while not browser.state()["title"].startswith("quarnel: failed") and time.time() < end:
            time.sleep(0.05)
        title = browser.state()["title"]
        print(title)
        assert title == "quarnel: failed: cannot replay /rounds/broken.qrec: it is damaged: unknown record " \
                        "0x5a at byte %d" % (os.path.getsize(broken) - 1), title

    with Server(WEB_DIR) as elsewhere, Server(WEB_DIR) as server:
        for query, message in (("replay=%s/rounds/a.qrec" % elsewhere.origin, "it is on another site"),
                               ("replay=rounds/none.qrec", "cannot load the round rounds/none.qrec: 404")):
            with web_shot.Browser() as browser:
                browser.load(server.url(query + "&batch"))
                title = browser.wait_end(DEADLINE)
                line = browser.evaluate("document.getElementById('failed').textContent")
                print(title)
                assert title.startswith("quarnel: failed: ") and message in title and message in line, (title, line)
        assert elsewhere.requests == [], elsewhere.requests


def test_driver():
    # The driver's own promises, against the stand-in page: the keys' names and codes, mouse points in
    # canvas pixels (the page puts the canvas off its corner), files from the page, and exit statuses.
    fixture = os.path.join(HERE, "fixture")
    with Server(fixture) as server, tempfile.TemporaryDirectory() as tmp:
        shot, copy, log = (os.path.join(tmp, name) for name in ("shot.png", "copy.png", "log.txt"))
        steps = [["--at", "frame>=%d" % (i + 2), "key", k] for i, k in enumerate(web_shot.KEYS) if k != "Escape"]
        steps += [["--at", "frame>=12", "mouse-move", "100,200"], ["--at", "frame>=14", "click", "799,599,middle"]]
        r = subprocess.run([sys.executable, WEB_SHOT, server.url("run&frames=30&capture=/c"), shot,
                            "--fetch", "/c/frame000020.png=" + copy, "--log", log,
                            *[a for s in steps for a in s]], capture_output=True, text=True, timeout=DEADLINE)
        assert r.returncode == 0 and r.stdout.strip() == "quarnel: done 30 frames", (r.stdout, r.stderr)
        assert read_png(shot)[:2] == read_png(copy)[:2] == (800, 600)
        with open(log) as f:
            lines = f.read().split("\n")
        for name, (code, vk, _) in web_shot.KEYS.items():
            if name != "Escape":
                assert "out: keydown %s %s %d" % (web_shot.name_to_key(name), code, vk) in lines, (name, lines)
                assert "out: keyup %s %d" % (web_shot.name_to_key(name), vk) in lines, (name, lines)
        assert "out: move 100,200" in lines and "out: button 1 at 799,599" in lines, lines

        # A failed title, a step that never ran and a page that never ends are failures.
        for query, extra in (("frames=abc", []), ("run&frames=5", ["--at", "frame>=50", "key", "Escape"]),
                             ("run", ["--timeout", "3"])):
            r = subprocess.run([sys.executable, WEB_SHOT, server.url(query), shot, *extra],
                               capture_output=True, text=True, timeout=DEADLINE)
            assert r.returncode == 1, (query, r.stdout, r.stderr)
        # A message box (the browser's confirm) is answered with Yes and noted, not left to block.
        with web_shot.Browser() as browser:
            title = run_to_end(browser, server.url("run&box&frames=3"))
            assert "box answered true" in browser.lines()[0], browser.lines()
            assert browser.dialogs == ["Use windowed mode instead?"], browser.dialogs
        # The dialog's buttons are found through the page.
        with web_shot.Browser() as browser:
            title = run_to_end(browser, server.url("frames=3"), [("stage=dialog", "click", "run")])
            assert title == "quarnel: done 3 frames" and "dialog run" in browser.lines()[0], title


CASES = ["pictures", "music", "music_after_a_stall", "dialog", "full_screen", "mouse", "bad_option", "address_options",
         "no_webgl", "progress", "play_again", "phone", "rounds", "replays", "driver"]

def run_side_by_side(cases, jobs):
    """Each case in a process of its own, `jobs` at a time (each has its own port, browser and profile);
    a case's output is printed whole once it ends. Returns the failed cases."""
    waiting, running, failed = list(cases), [], []
    while waiting or running:
        while waiting and len(running) < jobs:
            case = waiting.pop(0)
            log = tempfile.TemporaryFile()
            proc = subprocess.Popen([sys.executable, os.path.abspath(__file__), case], stdout=log,
                                    stderr=subprocess.STDOUT)
            running.append((case, proc, log, time.time()))
        time.sleep(0.2)
        for entry in [e for e in running if e[1].poll() is not None]:
            case, proc, log, began = entry
            running.remove(entry)
            log.seek(0)
            sys.stdout.write(log.read().decode(errors="replace"))
            print("%s %s (%.0f s)" % ("passed" if proc.returncode == 0 else "FAILED", case, time.time() - began),
                  flush=True)
            if proc.returncode != 0:
                failed.append(case)
    return failed


if __name__ == "__main__":
    if len(sys.argv) != 2 or sys.argv[1] not in CASES + ["all"]:
        sys.exit("usage: web_e2e.py CASE|all   (CASE: %s)" % ", ".join(CASES))
    if sys.argv[1] == "all":
        # Side by side: $QUARNEL_WEB_JOBS at a time (default the number of cores).
        jobs = int(os.environ.get("QUARNEL_WEB_JOBS", os.cpu_count() or 1))
        print("web_e2e: %d cases, %d at a time" % (len(CASES), jobs), flush=True)
        # The longest cases first, so that no long one starts last.
        longest = ["pictures", "music", "mouse", "rounds", "play_again", "replays"]
        failed = run_side_by_side(longest + [c for c in CASES if c not in longest], jobs)
        if failed:
            print("web_e2e: failed: " + ", ".join(failed), flush=True)
        sys.exit(1 if failed else 0)
    try:
        globals()["test_" + sys.argv[1]]()
        print("passed " + sys.argv[1], flush=True)
    except Exception:
        traceback.print_exc()
        sys.exit(1)
