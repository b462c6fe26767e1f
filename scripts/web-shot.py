#!/usr/bin/env python3
"""Runs the browser build of the show in headless Chromium until it ends, and keeps its last picture.

Usage: scripts/web-shot.py URL OUT.png [options]
  URL                 the page, with the show's options as a query string, e.g.
                      http://127.0.0.1:8080/index.html?run&windowed&no-music&batch&frames=100
  OUT.png             the canvas's last frame (canvas.toDataURL), or with --page the whole page
  --page              a screenshot of the whole page instead of the canvas
  --fetch MEMFS=LOCAL copy a file the program wrote into the page's memory file system (repeatable)
  --log FILE          the program's standard output and error lines and the page's console messages
  --timeout S         how long the show may take to end (default 600 s)
  --timings           print the time from loading the page to the first frame drawn
  --at COND ACTION ARG
                      an input step, run when COND first holds after the steps before it have run
                      (repeatable, kept in order). COND: frame>=N, frame>N, frame=N, stage=NAME
                      (loading, dialog, show, ending, ended). ACTION ARG:
                        key NAME, key-down NAME, key-up NAME   ArrowUp, ArrowDown, ArrowLeft,
                                                              ArrowRight, Escape, Enter, Space
                        mouse-move X,Y                        canvas pixels
                        click X,Y[,BUTTON] or click NAME      BUTTON left, middle or right; NAME a
                                                              button of the setup dialog (run, quit,
                                                              music, windowed)

Prints the page's title at the end. Exits 0 when the title says "quarnel: done", 1 when it says
"quarnel: failed", when the deadline passed, when the page threw, or when a step never ran.

Used as a module by the browser tests: Browser is one headless Chromium with one page, spoken to over
the DevTools protocol on a pipe (--remote-debugging-pipe: the browser reads JSON messages ended by a NUL
byte on its descriptor 3 and writes its own on descriptor 4), so no port is opened."""
import argparse
import base64
import fcntl
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

CHROMIUM = os.environ.get("QUARNEL_CHROMIUM", "/usr/bin/chromium")
# WebGL 2 through SwiftShader, the browser's own rasteriser on the processor; RENDERERS["llvmpipe"] draws
# it through Mesa's EGL instead, on the same llvmpipe as the program (for comparing the two).
RENDERERS = {"swiftshader": ["--disable-gpu", "--use-angle=swiftshader", "--enable-unsafe-swiftshader"],
             "llvmpipe": ["--use-angle=gl-egl", "--ignore-gpu-blocklist"]}
FLAGS = ["--headless=new", "--no-sandbox", "--autoplay-policy=no-user-gesture-required",
         "--disable-background-networking", "--disable-component-update", "--disable-sync", "--no-first-run",
         "--disable-quic", "--disable-renderer-backgrounding", "--disable-background-timer-throttling",
         "--disable-backgrounding-occluded-windows", "--window-size=1024,768"]

# key name: (code, Windows virtual-key code, text typed)
KEYS = {
    "ArrowUp": ("ArrowUp", 38, ""), "ArrowDown": ("ArrowDown", 40, ""),
    "ArrowLeft": ("ArrowLeft", 37, ""), "ArrowRight": ("ArrowRight", 39, ""),
    "Escape": ("Escape", 27, ""), "Enter": ("Enter", 13, "\r"), "Space": ("Space", 32, " "),
}
BUTTONS = {"left": 1, "right": 2, "middle": 4}

# Installed before the page's own scripts: notes when the first frame is drawn and what the page threw,
# without touching the page's hooks (it looks at them once an animation frame).
WATCH = """
window.__webShot = {firstFrame: null, errors: []};
addEventListener('error', e => window.__webShot.errors.push(String(e.message)));
addEventListener('unhandledrejection', e => window.__webShot.errors.push('unhandled rejection: ' + e.reason));
(function look() {
  if (window.__webShot.firstFrame === null && window.quarnelFrames >= 1)
    window.__webShot.firstFrame = performance.now();
  if (window.__webShot.firstFrame === null) requestAnimationFrame(look);
})();
"""

STATE = "({stage: window.quarnelStage || null, frames: window.quarnelFrames || 0, title: document.title})"


class BrowserError(Exception):
    pass


class Browser:
    """One headless Chromium with one page. Close it (or use it in a with-statement) to end the browser and
    remove its profile folder."""

    def __init__(self, log=None, flags=(), renderer="swiftshader"):
        self.profile = tempfile.mkdtemp(prefix="quarnel-chromium-")
        self.log = log if log is not None else []  # console messages and exceptions, in order
        self.exceptions = []
        self.dialogs = []  # the texts of the message boxes the page showed
        self._write_lock = threading.Lock()
        self._next_id = 0
        self._replies = {}
        self._cond = threading.Condition()
        self._closed = False
        to_browser_r, to_browser_w = os.pipe()
        from_browser_r, from_browser_w = os.pipe()
        # Out of the way of 3 and 4, which the browser's end must become.
        ends = [fcntl.fcntl(fd, fcntl.F_DUPFD_CLOEXEC, 10) for fd in (to_browser_r, from_browser_w)]
        for fd in (to_browser_r, from_browser_w):
            os.close(fd)

        def give_pipes():
            os.dup2(ends[0], 3)
            os.dup2(ends[1], 4)

        try:
            self.proc = subprocess.Popen([CHROMIUM, *FLAGS, *RENDERERS[renderer], *flags,
                                          "--remote-debugging-pipe", "--user-data-dir=" + self.profile,
                                          "about:blank"],
                                         stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                         stderr=subprocess.DEVNULL, close_fds=False, preexec_fn=give_pipes)
        except OSError as e:
            for fd in (*ends, to_browser_w, from_browser_r):
                os.close(fd)
            shutil.rmtree(self.profile, ignore_errors=True)
            raise BrowserError("cannot start %s: %s" % (CHROMIUM, e))
        for fd in ends:
            os.close(fd)
        self._out = to_browser_w
        self._in = from_browser_r
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        try:
            target = self.command("Target.createTarget", url="about:blank", session=False)["targetId"]
            self.session = self.command("Target.attachToTarget", targetId=target, flatten=True,
                                        session=False)["sessionId"]
            for domain in ("Page.enable", "Runtime.enable"):
                self.command(domain)
            self.command("Page.addScriptToEvaluateOnNewDocument", source=WATCH)
            self.command("Emulation.setFocusEmulationEnabled", enabled=True)
        except Exception:
            self.close()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()

    # The protocol

    def _read(self):
        buffer = b""
        while True:
            try:
                chunk = os.read(self._in, 1 << 16)
            except OSError:
                chunk = b""
            if not chunk:
                break
            buffer += chunk
            while b"\0" in buffer:
                message, buffer = buffer.split(b"\0", 1)
                self._dispatch(json.loads(message))
        with self._cond:
            self._closed = True
            self._cond.notify_all()

    def _dispatch(self, message):
        if "id" in message:
            with self._cond:
                self._replies[message["id"]] = message
                self._cond.notify_all()
            return
        method, params = message.get("method"), message.get("params", {})
        if method == "Runtime.consoleAPICalled":
            text = " ".join(str(a.get("value", a.get("description", ""))) for a in params.get("args", []))
            self.log.append("console.%s: %s" % (params.get("type"), text))
        elif method == "Runtime.exceptionThrown":
            details = params.get("exceptionDetails", {})
            text = details.get("exception", {}).get("description") or details.get("text", "exception")
            self.exceptions.append(text)
            self.log.append("exception: " + text)
        elif method == "Inspector.targetCrashed":
            self.exceptions.append("the page crashed")
            self.log.append("the page crashed")
        elif method == "Page.javascriptDialogOpening":
            # The show's message boxes are the browser's alert and confirm: noted and answered with OK
            # (or Yes), from this reader thread without waiting for the reply it would have to read itself.
            self.dialogs.append(params.get("message", ""))
            self.log.append("box (%s): %s" % (params.get("type"), params.get("message", "")))
            self._send("Page.handleJavaScriptDialog", {"accept": True}, message.get("sessionId"))

    def _send(self, method, params, session=None):
        """A command whose reply nobody waits for."""
        with self._cond:
            self._next_id += 1
            ident = self._next_id
        message = {"id": ident, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        try:
            self._write(message)
        except OSError:
            pass

    def _write(self, message):
        data = json.dumps(message).encode() + b"\0"
        with self._write_lock:  # the reader thread answers boxes while the main thread sends commands
            while data:
                data = data[os.write(self._out, data):]

    def command(self, method, session=True, timeout=120, **params):
        with self._cond:
            self._next_id += 1
            ident = self._next_id
        message = {"id": ident, "method": method, "params": params}
        if session:
            message["sessionId"] = self.session
        try:
            self._write(message)
        except OSError as e:
            raise BrowserError("the browser is gone (%s) during %s" % (e, method))
        end = time.time() + timeout
        with self._cond:
            while ident not in self._replies:
                if self._closed:
                    raise BrowserError("the browser closed its pipe during %s" % method)
                if not self._cond.wait(max(0.0, end - time.time())) and time.time() >= end:
                    raise BrowserError("no answer to %s within %s s" % (method, timeout))
            reply = self._replies.pop(ident)
        if "error" in reply:
            raise BrowserError("%s: %s" % (method, reply["error"].get("message")))
        return reply.get("result", {})

    # The page

    def load(self, url, deadline=60.0):
        """Navigates to url and returns once the page's own document answers (not the one before)."""
        self.evaluate("window.__webShotLeaving = true")
        result = self.command("Page.navigate", url=url)
        if result.get("errorText"):
            raise BrowserError("cannot load %s: %s" % (url, result["errorText"]))
        end = time.time() + deadline
        while True:
            try:
                if not self.evaluate("window.__webShotLeaving === true"):
                    return
            except BrowserError:
                pass  # between two documents
            if time.time() >= end:
                raise BrowserError("%s did not load within %s s" % (url, deadline))
            time.sleep(0.02)

    def evaluate(self, expression):
        """The value of a JavaScript expression in the page (promises awaited)."""
        result = self.command("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in result:
            details = result["exceptionDetails"]
            raise BrowserError("%s: %s" % (expression[:80], details.get("exception", {}).get("description")
                                           or details.get("text")))
        return result["result"].get("value")

    def state(self):
        """{stage, frames, title} of the page now."""
        return self.evaluate(STATE)

    def wait_for(self, condition, what, deadline=600.0, poll=0.05):
        """Polls condition(state) until it holds, and returns that state. Fails naming what was awaited
        when the deadline passes, the page threw or the show ended first."""
        end = time.time() + deadline
        while True:
            state = self.state()
            if condition(state):
                return state
            if self.exceptions:
                raise BrowserError("the page threw while waiting for %s: %s" % (what, self.exceptions[0]))
            if ended(state["title"]):
                raise BrowserError("the show ended (%s) before %s" % (state["title"], what))
            if time.time() >= end:
                raise BrowserError("waited %s s for %s; now %s" % (deadline, what, state))
            time.sleep(poll)

    def wait_end(self, deadline=600.0):
        """Until the title tells the show ended; returns the title."""
        end = time.time() + deadline
        while True:
            state = self.state()
            if ended(state["title"]):
                return state["title"]
            if self.exceptions:
                raise BrowserError("the page threw: %s" % self.exceptions[0])
            if time.time() >= end:
                raise BrowserError("the show did not end within %s s; now %s" % (deadline, state))
            time.sleep(0.05)

    def canvas_origin(self):
        return self.canvas_box()[:2]

    def canvas_box(self):
        """[left, top, CSS pixels per canvas pixel across, and down] of the canvas in the viewport: the
        page scales the canvas to the screen."""
        return self.evaluate("(() => { const c = document.getElementById('canvas'), r = c.getBoundingClientRect();"
                             " return [r.left, r.top, r.width / (c.width || 1), r.height / (c.height || 1)]; })()")

    def page_point(self, x, y):
        """Where canvas pixel (x, y) is in the viewport, in CSS pixels."""
        left, top, sx, sy = self.canvas_box()
        return left + x * sx, top + y * sy

    def element_centre(self, selector):
        """The middle of an element of the page in the viewport, in CSS pixels."""
        box = self.evaluate("(() => { const e = document.querySelector(%s); if (!e) return null;"
                            " const r = e.getBoundingClientRect(); return [r.left + r.width / 2, r.top + r.height / 2,"
                            " r.width, r.height]; })()" % json.dumps(selector))
        if not box or box[2] <= 0 or box[3] <= 0:
            raise BrowserError("no visible %s on the page" % selector)
        return box[0], box[1]

    def click_element(self, selector):
        """A left click in the middle of an element of the page (a control of the page's own)."""
        x, y = self.element_centre(selector)
        for kind, buttons in (("mouseMoved", 0), ("mousePressed", 1), ("mouseReleased", 0)):
            self.command("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="none" if kind == "mouseMoved"
                         else "left", buttons=buttons, clickCount=0 if kind == "mouseMoved" else 1)

    # Files: downloads, a file input, files dropped onto the page

    def allow_downloads(self, folder):
        """Downloads of the page go into folder from now on, under the names the page gives them."""
        self.command("Browser.setDownloadBehavior", session=False, behavior="allow", downloadPath=folder)

    def set_file_input(self, selector, paths):
        """Chooses files (paths on this machine) in the page's file input, as a person would in its dialog."""
        node = self.command("DOM.querySelector", nodeId=self.command("DOM.getDocument")["root"]["nodeId"],
                            selector=selector)["nodeId"]
        if not node:
            raise BrowserError("no %s on the page" % selector)
        self.command("DOM.setFileInputFiles", nodeId=node, files=[os.path.abspath(p) for p in paths])

    def drop_files(self, x, y, paths):
        """Drags files (paths on this machine) onto the page and drops them at viewport CSS pixels (x, y)."""
        data = {"items": [], "files": [os.path.abspath(p) for p in paths], "dragOperationsMask": 1}
        for kind in ("dragEnter", "dragOver", "drop"):
            self.command("Input.dispatchDragEvent", type=kind, x=x, y=y, data=data)

    # A phone or a narrow window, touches and a slow network

    def emulate_screen(self, width, height, mobile=False, scale=1):
        """The viewport as a screen of width x height CSS pixels (a phone's with mobile: touch and its
        page zoom rules)."""
        self.command("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=scale,
                     mobile=mobile, screenWidth=width, screenHeight=height)
        if mobile:
            self.command("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)

    def throttle(self, bytes_per_second, latency_ms=20):
        """Every download of the page at most this fast from now on."""
        self.command("Network.enable")
        self.command("Network.emulateNetworkConditions", offline=False, latency=latency_ms,
                     downloadThroughput=bytes_per_second, uploadThroughput=bytes_per_second)

    def touch(self, kind, points):
        """A touch event (touchStart, touchMove, touchEnd) with the fingers [(id, x, y)] still on the screen
        after it, at viewport CSS pixels."""
        self.command("Input.dispatchTouchEvent", type=kind,
                     touchPoints=[{"x": x, "y": y, "id": i, "radiusX": 4, "radiusY": 4, "force": 1}
                                  for i, x, y in points])

    def tap(self, x, y):
        """A finger down and up at viewport CSS pixels (x, y)."""
        self.touch("touchStart", [(0, x, y)])
        self.touch("touchEnd", [])

    def dialog_button(self, name):
        """Where a button of the setup dialog is, in canvas pixels."""
        buttons = self.evaluate("window.quarnelDialogButtons || null")
        if not buttons or name not in buttons:
            raise BrowserError("the page tells no dialog button %r (quarnelDialogButtons = %r)" % (name, buttons))
        return buttons[name]

    def _mouse(self, kind, x, y, button="none", buttons=0):
        px, py = self.page_point(x, y)
        self.command("Input.dispatchMouseEvent", type=kind, x=px, y=py, button=button,
                     buttons=buttons, clickCount=1 if kind != "mouseMoved" else 0)

    def mouse_move(self, x, y):
        self._mouse("mouseMoved", x, y)

    def click(self, x, y, button="left"):
        """Presses and releases a mouse button at canvas pixels (x, y) (scaled as the page shows it)."""
        self._mouse("mouseMoved", x, y)
        self._mouse("mousePressed", x, y, button, BUTTONS[button])
        self._mouse("mouseReleased", x, y, button, 0)

    def key_down(self, name):
        code, vk, text = key_info(name)
        typed = {"text": text, "unmodifiedText": text} if text else {}
        self.command("Input.dispatchKeyEvent", type="keyDown" if text else "rawKeyDown", key=name_to_key(name),
                     code=code, windowsVirtualKeyCode=vk, nativeVirtualKeyCode=vk, **typed)

    def key_up(self, name):
        code, vk, _ = key_info(name)
        self.command("Input.dispatchKeyEvent", type="keyUp", key=name_to_key(name), code=code,
                     windowsVirtualKeyCode=vk, nativeVirtualKeyCode=vk)

    def key(self, name):
        self.key_down(name)
        self.key_up(name)

    def read_file(self, path):
        """The bytes of a file in the page's memory file system."""
        data = self.evaluate(
            "(() => { const d = Module.FS.readFile(%s); let s = '';"
            " for (let i = 0; i < d.length; i += 32768) s += String.fromCharCode.apply(null, d.subarray(i, i + 32768));"
            " return btoa(s); })()" % json.dumps(path))
        return base64.b64decode(data)

    def canvas_png(self):
        url = self.evaluate("document.getElementById('canvas').toDataURL('image/png')")
        if not url or not url.startswith("data:image/png;base64,"):
            raise BrowserError("the canvas gave no PNG: %r" % (url or "")[:60])
        return base64.b64decode(url.split(",", 1)[1])

    def screenshot(self):
        """A PNG of the whole page, also what lies below the window's bottom edge."""
        size = self.command("Page.getLayoutMetrics")["cssContentSize"]
        clip = {"x": 0, "y": 0, "width": size["width"], "height": size["height"], "scale": 1}
        return base64.b64decode(self.command("Page.captureScreenshot", format="png", clip=clip,
                                             captureBeyondViewport=True)["data"])

    def lines(self):
        """The program's standard output and standard error lines so far."""
        return self.evaluate("[window.quarnelOut || [], window.quarnelErr || []]")

    def first_frame_ms(self):
        """performance.now() when the first frame had been drawn, or None."""
        return self.evaluate("window.__webShot.firstFrame")

    def close(self):
        if self.proc.poll() is None:
            try:
                self.command("Browser.close", session=False, timeout=10)
            except Exception:
                pass
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        for fd in (self._out, self._in):
            try:
                os.close(fd)
            except OSError:
                pass
        shutil.rmtree(self.profile, ignore_errors=True)


def ended(title):
    return title.startswith("quarnel: done") or title.startswith("quarnel: failed")


def key_info(name):
    if name not in KEYS:
        raise BrowserError("unknown key %r (known: %s)" % (name, ", ".join(KEYS)))
    return KEYS[name]


def name_to_key(name):
    return " " if name == "Space" else name


# Input steps

CONDITION = re.compile(r"^(frames?)\s*(>=|>|==|=)\s*(\d+)$|^stage\s*=\s*(\w+)$")


def parse_step(cond, action, arg):
    """A step of --at as (test(state), description, run(browser)); raises ValueError when malformed."""
    m = CONDITION.match(cond.strip())
    if not m:
        raise ValueError("condition %r: want frame>=N, frame>N, frame=N or stage=NAME" % cond)
    if m.group(4):
        stage = m.group(4)
        test = lambda s: s["stage"] == stage  # noqa: E731
    else:
        op, n = m.group(2), int(m.group(3))
        test = {">=": lambda s: s["frames"] >= n, ">": lambda s: s["frames"] > n,
                "=": lambda s: s["frames"] == n, "==": lambda s: s["frames"] == n}[op]
    if action in ("key", "key-down", "key-up"):
        if arg not in KEYS:
            raise ValueError("unknown key %r (known: %s)" % (arg, ", ".join(KEYS)))
        run = {"key": lambda b: b.key(arg), "key-down": lambda b: b.key_down(arg),
               "key-up": lambda b: b.key_up(arg)}[action]
    elif action == "mouse-move":
        x, y = point(arg)
        run = lambda b: b.mouse_move(x, y)  # noqa: E731
    elif action == "click":
        parts = arg.split(",")
        if len(parts) == 1:
            run = lambda b: b.click(*b.dialog_button(arg))  # noqa: E731
        else:
            x, y = point(",".join(parts[:2]))
            button = parts[2] if len(parts) > 2 else "left"
            if button not in BUTTONS:
                raise ValueError("button %r: want left, middle or right" % button)
            run = lambda b: b.click(x, y, button)  # noqa: E731
    else:
        raise ValueError("action %r: want key, key-down, key-up, mouse-move or click" % action)
    return test, "%s %s %s" % (cond, action, arg), run


def point(text):
    try:
        x, y = (float(v) for v in text.split(","))
    except ValueError:
        raise ValueError("point %r: want X,Y" % text)
    return x, y


def run_show(browser, url, steps=(), deadline=600.0, poll=0.05):
    """Loads the page, runs the steps in order, each when its condition first holds, and waits for the
    end. Returns (title, the descriptions of steps that never ran)."""
    browser.load(url)
    end = time.time() + deadline
    pending = list(steps)
    while True:
        state = browser.state()
        while pending and pending[0][0](state):
            pending.pop(0)[2](browser)
            state = browser.state()
        if ended(state["title"]):
            return state["title"], [p[1] for p in pending]
        if browser.exceptions:
            raise BrowserError("the page threw: %s" % browser.exceptions[0])
        if time.time() >= end:
            raise BrowserError("the show did not end within %s s; now %s" % (deadline, state))
        time.sleep(poll)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("url")
    parser.add_argument("out")
    parser.add_argument("--page", action="store_true")
    parser.add_argument("--fetch", action="append", default=[], metavar="MEMFS=LOCAL")
    parser.add_argument("--log")
    parser.add_argument("--timeout", type=float, default=600.0)
    parser.add_argument("--timings", action="store_true")
    parser.add_argument("--at", nargs=3, action="append", default=[], metavar=("COND", "ACTION", "ARG"))
    args = parser.parse_args()
    steps = []
    for cond, action, arg in args.at:
        try:
            steps.append(parse_step(cond, action, arg))
        except ValueError as e:
            parser.error("--at: %s" % e)
    fetches = []
    for item in args.fetch:
        source, _, target = item.partition("=")
        if not source or not target:
            parser.error("--fetch takes MEMFS_PATH=LOCAL_PATH")
        fetches.append((source, target))

    problems = []
    log = []
    title = ""
    browser = None
    try:
        browser = Browser(log)
        title, missed = run_show(browser, args.url, steps, args.timeout)
        for what in missed:
            problems.append("step never ran: " + what)
        with open(args.out, "wb") as f:
            f.write(browser.screenshot() if args.page else browser.canvas_png())
        for source, target in fetches:
            try:
                data = browser.read_file(source)
            except BrowserError as e:
                problems.append("cannot fetch %s: %s" % (source, e))
                continue
            with open(target, "wb") as f:
                f.write(data)
        if args.timings:
            first = browser.first_frame_ms()
            print("load to first frame: %s" % ("%.0f ms" % first if first is not None else "no frame drawn"))
        problems += ["the page threw: " + e for e in browser.exceptions]
    except BrowserError as e:
        problems.append(str(e))
    finally:
        if browser is not None:
            if args.log:
                try:
                    out, err = browser.lines()
                except Exception:
                    out, err = [], []
                with open(args.log, "w") as f:
                    f.writelines("out: %s\n" % l for l in out)
                    f.writelines("err: %s\n" % l for l in err)
                    f.writelines("%s\n" % l for l in log)
            browser.close()
    print(title)
    for p in problems:
        print("web-shot: " + p, file=sys.stderr)
    return 1 if problems or not title.startswith("quarnel: done") else 0


if __name__ == "__main__":
    sys.exit(main())
