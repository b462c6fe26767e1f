#!/usr/bin/env python3
"""Frame times of the browser build beside the native program drawing through the same GL 1.x layer, both
on Mesa's llvmpipe: the page in headless Chromium with WebGL 2 through Mesa's EGL (--use-angle=gl-egl), the
program (build-layer/show/quarnel) on a private Xvfb screen; both with `--fixed-step 0.25 --frames 160
--stats` (60 intro frames, then the game). They take turns, round after round, so that a shared, noisy
machine weighs on both alike. Prints the median over the rounds of each run's median frame time (wall
time, start to start) for all, intro and game frames, and the processor time a frame costs: the program's
with the X server's that shows its frames, the page's split into its own process (the WebAssembly and the
page's script), the browser's GPU process (WebGL on llvmpipe) and the rest of the browser; then the page's
time from loading to its first frame drawn.

Processor time per frame is counted over frames 20 to 160, past the start-up: for the page from the
processes' counters at those frames, for the program as the difference of a run of 160 frames and one of
20.

Usage: bench/web_page_time.py [--web DIR] [--build DIR] [--rounds N] [--renderer llvmpipe|swiftshader]
  --web       the browser build to serve (default build-web/)
  --build     the native build, run from its show/ folder (default build-layer/: the program through the
              GL 1.x layer, as the page draws; build/ draws through the driver's GL instead)
  --rounds    runs of each (default 3; a page run takes about a minute on two cores)
  --renderer  the page's WebGL 2: llvmpipe (default) or the browser's SwiftShader
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
FRAMES = 160
FROM_FRAME = 20  # processor time is counted from here on, past the start-up
OPTIONS = ["run", "windowed", "no-music", "batch", "fixed-step=0.25", "stats"]
TICK = os.sysconf("SC_CLK_TCK")

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


def process_seconds(pid):
    """User and system seconds of one process so far."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def native_once(show_dir, env, frames, x_server):
    """(the run's medians, its processor seconds: user and system of the program and its threads, and of
    the X server that shows its frames, as the page's count has the browser's GPU process)."""
    x_before = process_seconds(x_server)
    command = [os.path.join(show_dir, "quarnel"), "--frames", str(frames)]
    for option in OPTIONS:
        name, _, value = option.partition("=")
        command += ["--" + name] + ([value] if value else [])
    proc = subprocess.Popen(command, cwd=show_dir, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True)
    out = proc.stdout.read()
    _, status, usage = os.wait4(proc.pid, 0)
    proc.returncode = os.waitstatus_to_exitcode(status)
    found = stats_medians(out)
    if proc.returncode != 0 or len(found) < 4:  # all, intro, game and the (empty) passes
        sys.exit("web-page-time: the native show failed (%d):\n%s" % (proc.returncode, out))
    return found, usage.ru_utime + usage.ru_stime, process_seconds(x_server) - x_before


def native_run(show_dir, env, x_server):
    found, long_run, long_x = native_once(show_dir, env, FRAMES, x_server)
    _, short_run, short_x = native_once(show_dir, env, FROM_FRAME, x_server)
    frames = FRAMES - FROM_FRAME
    found["processor"] = {"program": (long_run - short_run) * 1000.0 / frames,
                          "x": (long_x - short_x) * 1000.0 / frames}
    found["processor"]["all"] = found["processor"]["program"] + found["processor"]["x"]
    return found


def browser_processes(root):
    """{pid: kind} of the browser and every process under it; kind renderer, gpu or other."""
    parents = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry) as f:
                    fields = f.read().rsplit(")", 1)[1].split()
                parents[int(entry)] = int(fields[1])
            except OSError:
                pass
    found, todo = {}, [root]
    while todo:
        pid = todo.pop()
        try:
            with open("/proc/%d/cmdline" % pid, "rb") as f:
                command = f.read().decode(errors="replace")
        except OSError:
            continue
        found[pid] = ("renderer" if "--type=renderer" in command
                      else "gpu" if "--type=gpu-process" in command else "other")
        todo += [child for child, parent in parents.items() if parent == pid]
    return found


def processor_seconds(root):
    """{kind: seconds of user and system time} of the browser's processes now."""
    totals = {"renderer": 0.0, "gpu": 0.0, "other": 0.0}
    for pid, kind in browser_processes(root).items():
        try:
            with open("/proc/%d/stat" % pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        totals[kind] += (int(fields[11]) + int(fields[12])) / TICK  # utime, stime
    return totals


def page_run(url, renderer):
    with web_shot.Browser(renderer=renderer) as browser:
        # The layers' camera follows the pointer: park it where the show's camera rests, as natively.
        browser.load(url)
        state = browser.wait_for(lambda s: s["stage"] == "show", "the show", 1800)
        browser.mouse_move(400, 300)
        state = browser.wait_for(lambda s: s["frames"] >= FROM_FRAME, "frame %d" % FROM_FRAME, 1800, poll=0.01)
        first_frames, first = state["frames"], processor_seconds(browser.proc.pid)
        title = browser.wait_end(1800)
        last = processor_seconds(browser.proc.pid)
        out, err = browser.lines()
        found = stats_medians("\n".join(out + err))
        if not title.startswith("quarnel: done") or len(found) < 4:  # all, intro, game and the (empty) passes
            sys.exit("web-page-time: the page failed (%s):\n%s" % (title, "\n".join(out + err)))
        frames = FRAMES - first_frames
        found["processor"] = {kind: (last[kind] - first[kind]) * 1000.0 / frames for kind in last}
        found["processor"]["all"] = sum(found["processor"].values())
        found["first frame"] = browser.first_frame_ms()
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--web", default=os.path.join(ROOT, "build-web"))
    parser.add_argument("--build", default=os.path.join(ROOT, "build-layer"))
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--renderer", choices=sorted(web_shot.RENDERERS), default="llvmpipe")
    args = parser.parse_args()
    show_dir = os.path.join(os.path.abspath(args.build), "show")
    if not os.access(os.path.join(show_dir, "quarnel"), os.X_OK):
        sys.exit("web-page-time: no quarnel in " + show_dir)
    if not os.path.isfile(os.path.join(args.web, "quarnel.wasm")):
        sys.exit("web-page-time: no browser build in %s (scripts/build-web.sh makes one)" % args.web)

    signal.signal(signal.SIGTERM, lambda *_: sys.exit("web-page-time: stopped"))
    httpd = serve(os.path.abspath(args.web))
    url = "http://127.0.0.1:%d/index.html?%s&frames=%d" % (httpd.server_address[1], "&".join(OPTIONS), FRAMES)
    xvfb = Xvfb("1024x768x24", first=150)
    display = xvfb.display
    env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy")
    subprocess.run(["xdotool", "mousemove", "400", "300"], env=env, check=False)
    results = {"program": [], "page": []}
    try:
        for r in range(args.rounds):
            results["program"].append(native_run(show_dir, env, xvfb.pid))
            results["page"].append(page_run(url, args.renderer))
            print("round %d: %s" % (r + 1, "  ".join("%s %.1f/%.1f ms, %.1f ms processor" % (
                n, v[-1]["intro"], v[-1]["game"], v[-1]["processor"]["all"]) for n, v in results.items())),
                file=sys.stderr, flush=True)
    finally:
        xvfb.stop()
        httpd.shutdown()

    print("median of %d runs each, ms per frame (--fixed-step 0.25 --frames %d); the page's WebGL 2 on %s"
          % (args.rounds, FRAMES, args.renderer))
    print("%-14s %8s %8s %8s %11s" % ("", "all", "intro", "game", "processor"))
    table = {}
    for name, runs in results.items():
        table[name] = {k: statistics.median(run[k] for run in runs) for k in ("all", "intro", "game")}
        table[name]["processor"] = statistics.median(run["processor"]["all"] for run in runs)
        print("%-14s %8.1f %8.1f %8.1f %11.1f" % (name, *(table[name][k] for k in ("all", "intro", "game",
                                                                                  "processor"))))
    print("%-14s %8.2f %8.2f %8.2f %11.2f" % ("page/program", *(table["page"][k] / table["program"][k]
                                                                for k in ("all", "intro", "game", "processor"))))
    own = {kind: statistics.median(run["processor"][kind] for run in results["program"])
           for kind in ("program", "x")}
    print("the program's processor time a frame: its own (with llvmpipe's threads) %.1f ms, the X server's "
          "%.1f ms" % (own["program"], own["x"]))
    split = {kind: statistics.median(run["processor"][kind] for run in results["page"])
             for kind in ("renderer", "gpu", "other")}
    print("the page's processor time a frame: its own process (WebAssembly and script) %.1f ms, the GPU "
          "process %.1f ms, the rest of the browser %.1f ms" % (split["renderer"], split["gpu"], split["other"]))
    firsts = [run["first frame"] for run in results["page"] if run["first frame"] is not None]
    if firsts:
        print("page load to first frame: median %.0f ms (%s)" % (statistics.median(firsts),
                                                                 ", ".join("%.0f" % f for f in firsts)))


if __name__ == "__main__":
    main()
