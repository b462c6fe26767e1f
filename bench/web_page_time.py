#!/usr/bin/env python3
"""Frame times of the browser build (headless Chromium, SwiftShader's WebGL 2) beside the native program
(build/show/quarnel on a private Xvfb screen with Mesa), both with `--fixed-step 0.25 --frames 160 --stats`
(60 intro frames, then the game). They take turns, round after round, so that a shared, noisy machine
weighs on both alike. Prints the median over the rounds of each run's median frame time, for all, intro
and game frames, their ratio, and the page's time from loading to its first frame drawn.

Usage: bench/web_page_time.py [--web DIR] [--build DIR] [--rounds N]
  --web      the browser build to serve (default build-web/)
  --build    the native build (default build/), run from its show/ folder
  --rounds   runs of each (default 3; a page run takes about a minute on two cores)
"""
import argparse
import functools
import http.server
import importlib.util
import os
import signal
import statistics
import subprocess
import sys
import threading
import time

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
OPTIONS = ["run", "windowed", "no-music", "batch", "fixed-step=0.25", "frames=160", "stats"]

_spec = importlib.util.spec_from_file_location("web_shot", os.path.join(ROOT, "scripts", "web-shot.py"))
web_shot = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(web_shot)

sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
from harness import Xvfb, stats_medians  # noqa: E402


def serve(folder):
    class Handler(http.server.SimpleHTTPRequestHandler):
        extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                          ".wasm": "application/wasm", ".data": "application/octet-stream"}

        def log_message(self, *_):
            pass

    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=folder))
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    return httpd


def native_run(show_dir, env):
    command = [os.path.join(show_dir, "quarnel")]
    for option in OPTIONS:
        name, _, value = option.partition("=")
        command += ["--" + name] + ([value] if value else [])
    r = subprocess.run(command, cwd=show_dir, env=env, capture_output=True, text=True, timeout=1800)
    found = stats_medians(r.stdout + r.stderr)
    if r.returncode != 0 or len(found) < 4:  # all, intro, game and the (empty) passes
        sys.exit("web-page-time: the native show failed (%d):\n%s%s" % (r.returncode, r.stdout, r.stderr))
    return found


def page_run(url):
    with web_shot.Browser() as browser:
        # The layers' camera follows the pointer: park it where the show's camera rests, as natively.
        steps = [web_shot.parse_step("stage=show", "mouse-move", "400,300")]
        title, _ = web_shot.run_show(browser, url, steps, deadline=1800)
        out, err = browser.lines()
        found = stats_medians("\n".join(out + err))
        if not title.startswith("quarnel: done") or len(found) < 4:  # all, intro, game and the (empty) passes
            sys.exit("web-page-time: the page failed (%s):\n%s" % (title, "\n".join(out + err)))
        found["first frame"] = browser.first_frame_ms()
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--web", default=os.path.join(ROOT, "build-web"))
    parser.add_argument("--build", default=os.path.join(ROOT, "build"))
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    show_dir = os.path.join(os.path.abspath(args.build), "show")
    if not os.access(os.path.join(show_dir, "quarnel"), os.X_OK):
        sys.exit("web-page-time: no quarnel in " + show_dir)
    if not os.path.isfile(os.path.join(args.web, "quarnel.wasm")):
        sys.exit("web-page-time: no browser build in %s (scripts/build-web.sh makes one)" % args.web)

    signal.signal(signal.SIGTERM, lambda *_: sys.exit("web-page-time: stopped"))
    httpd = serve(os.path.abspath(args.web))
    url = "http://127.0.0.1:%d/index.html?%s" % (httpd.server_address[1], "&".join(OPTIONS))
    xvfb = Xvfb("1024x768x24", first=150)
    display = xvfb.display
    env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy")
    subprocess.run(["xdotool", "mousemove", "400", "300"], env=env, check=False)
    results = {"native": [], "page": []}
    try:
        for r in range(args.rounds):
            results["native"].append(native_run(show_dir, env))
            results["page"].append(page_run(url))
            print("round %d: %s" % (r + 1, "  ".join("%s %.1f/%.1f" % (n, v[-1]["intro"], v[-1]["game"])
                                                   for n, v in results.items())), file=sys.stderr, flush=True)
    finally:
        xvfb.stop()
        httpd.shutdown()

    print("median of %d runs each, ms per frame start to start (--fixed-step 0.25 --frames 160)" % args.rounds)
    print("%-8s %10s %10s %10s" % ("", "all", "intro", "game"))
    table = {}
    for name, runs in results.items():
        table[name] = {k: statistics.median(run[k] for run in runs) for k in ("all", "intro", "game")}
        print("%-8s %10.1f %10.1f %10.1f" % (name, table[name]["all"], table[name]["intro"], table[name]["game"]))
    print("%-8s %10.2f %10.2f %10.2f" % ("page/nat", *(table["page"][k] / table["native"][k]
                                                      for k in ("all", "intro", "game"))))
    firsts = [run["first frame"] for run in results["page"] if run["first frame"] is not None]
    if firsts:
        print("page load to first frame: median %.0f ms (%s)" % (statistics.median(firsts),
                                                                 ", ".join("%.0f" % f for f in firsts)))


if __name__ == "__main__":
    main()
