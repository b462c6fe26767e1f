#!/usr/bin/env python3
"""Records a round of the show in a web page, played by the page driver in headless Chromium, and keeps it
as the page offers it for download; then replays it in a second page with ?replay=...&verify and prints
the line that says whether every checksum agrees (status 1 when one does not).

    python3 tests/data/rounds/record-page-round.py [OUT.qrec]      (default: page.qrec beside this script)

The page is $QUARNEL_WEB_DIR, by default build-web/ (scripts/build-web.sh), served on a loopback port.
The round: the show with its music, windowed, "Record this round" ticked, about 28 seconds of play. The
arrow keys are held for stretches, and while one is held the mouse moves a little every frame, as a
player's hand does: the show steers by the messages that pass while a key is down, and a key held alone
sends none. In the intro the player goes out of the sea and back; in the round after it across the
field of blobs and back, twice, the second time after a turn, and rests before Escape (the sea drifts,
so where the player meets it again differs from round to round)."""
import os
import re
import shutil
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "web"))
import web_e2e  # noqa: E402

web_shot = web_e2e.web_shot

# (from, to) in seconds after the first frame, and the arrow key held meanwhile. Down moves backwards
# along the heading, so a stretch of Up followed by as long a stretch of Down comes back to where it began.
STRETCHES = [(2.5, 4.0, "ArrowUp"), (4.0, 5.5, "ArrowDown"),
             (15.5, 17.0, "ArrowUp"), (17.0, 20.0, "ArrowDown"),
             (20.0, 20.5, "ArrowLeft"), (20.5, 23.0, "ArrowUp"), (23.0, 25.5, "ArrowDown")]
END = 28.0


def play(browser):
    """Holds the keys of STRETCHES at their times, the mouse moving once a frame while one is held."""
    browser.wait_for(lambda s: s["frames"] >= 1, "the first frame", web_e2e.DEADLINE)
    start = time.time()
    wiggle = 0
    for first, last, key in STRETCHES:
        while time.time() - start < first:
            time.sleep(0.02)
        browser.key_down(key)
        while time.time() - start < last:
            wiggle += 1
            browser.mouse_move(400 + (12 if wiggle % 2 else -12), 300 + (wiggle % 3) * 6)
            web_e2e.more_frames(browser, 1)
        browser.key_up(key)
    while time.time() - start < END:
        time.sleep(0.05)
    browser.key("Escape")


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "page.qrec")
    with web_e2e.Server(web_e2e.WEB_DIR) as server, web_shot.Browser() as browser, \
            tempfile.TemporaryDirectory() as downloads:
        browser.allow_downloads(downloads)
        browser.load(server.url("run&windowed&batch&record"))
        play(browser)
        title = browser.wait_end(web_e2e.DEADLINE)
        if not title.startswith("quarnel: done"):
            sys.exit("the show failed: %s" % title)
        name = browser.evaluate("document.getElementById('download').download")
        browser.click_element("#download")
        data = web_e2e.wait_download(downloads, name)
        shutil.copyfile(os.path.join(downloads, name), out)
    print("%s: %s, %d bytes" % (out, name, len(data)))
    with web_e2e.Server(web_e2e.WEB_DIR, {"/rounds/" + name: data}) as server, web_shot.Browser() as browser:
        browser.load(server.url("replay=rounds/%s&verify&batch" % name))
        title = browser.wait_end(web_e2e.DEADLINE)
    print(title)
    return 0 if re.match(r"quarnel: done: .*checksums: all \d+ agree$", title) else 1


if __name__ == "__main__":
    sys.exit(main())
