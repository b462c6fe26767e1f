#!/usr/bin/env python3
"""What the driver is asked to do in one game frame of the show and of its floor (bench/frame_floor): the
programs run under Mesa's Gallium trace (GALLIUM_TRACE), and the last frame's calls are counted per render
target, in the order the frame draws into them. A draw here is one call into the driver; a frame whose
draws alternate between kinds of primitive (quads, line strips, fans) or between vertex layouts pays the
driver's cost per draw however its GL calls are grouped. Needs Mesa's software renderer (llvmpipe).

Usage: bench/pipe-calls.py BUILD_DIR [--frames N]
  BUILD_DIR   a build with show/quarnel and bench/frame_floor
  --frames    frames each program runs (default 62: the show's first game frames at a quarter second)
"""
import argparse
import collections
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from harness import Xvfb  # noqa: E402

CALL = re.compile(r"<call no='\d+' class='\w+' method='(\w+)'")
MODE = re.compile(r"name='mode'><uint>(\d+)<")
STRIDE = re.compile(r"name='stride'><uint>(\d+)<")
MODES = {0: "points", 1: "lines", 2: "line loops", 3: "line strips", 4: "triangles", 5: "strips", 6: "fans",
         7: "quads", 8: "quad strips", 9: "polygons"}
STATES = ("bind_blend_state", "bind_rasterizer_state", "bind_fs_state", "bind_vs_state",
          "bind_vertex_elements_state", "set_sampler_views", "set_constant_buffer")


def last_frame(trace):
    """The calls of the last frame shown, each a (method, detail) pair."""
    frames, calls, call = [], [], None
    with open(trace, errors="replace") as f:
        for line in f:
            m = CALL.search(line)
            if m:
                call = [m.group(1), None]
                calls.append(call)
                if call[0] == "flush_frontbuffer":
                    frames.append(calls)
                    calls = []
                continue
            if call is None:
                continue
            if call[0] == "draw_vbo" and call[1] is None:
                found = MODE.search(line)
                if found:
                    call[1] = int(found.group(1))
            elif call[0] == "set_vertex_buffers" and call[1] is None:
                found = STRIDE.search(line)
                if found:
                    call[1] = int(found.group(1))
    if not frames:
        sys.exit("pipe-calls: the trace holds no frame shown")
    return frames[-1]


def per_target(calls):
    """The frame cut at each change of render target; targets that draw nothing are left out."""
    targets, current = [], collections.Counter()
    modes, strides = collections.Counter(), collections.Counter()
    for method, detail in calls:
        if method == "set_framebuffer_state":
            if current["draw_vbo"]:
                targets.append((current, modes, strides))
            current, modes, strides = collections.Counter(), collections.Counter(), collections.Counter()
        current[method] += 1
        if method == "draw_vbo":
            modes[MODES.get(detail, str(detail))] += 1
        elif method == "set_vertex_buffers" and detail is not None:
            strides[detail] += 1
    if current["draw_vbo"]:
        targets.append((current, modes, strides))
    return targets


def report(name, targets):
    total = sum(t[0]["draw_vbo"] for t in targets)
    print("%s: %d draws in the frame's last %d render targets" % (name, total, len(targets)))
    print("  %-3s %6s %6s %6s %6s %6s %6s %7s  %s" % ("", "draws", "blend", "raster", "fs", "vs", "layout",
                                                    "consts", "kinds of draw; vertex sizes in bytes"))
    for i, (counts, modes, strides) in enumerate(targets):
        kinds = ", ".join("%d %s" % (n, m) for m, n in modes.most_common())
        sizes = ", ".join("%d×%d" % (n, s) for s, n in sorted(strides.items()))
        print("  %-3d %6d %6d %6d %6d %6d %6d %7d  %s; %s" % (
            i, counts["draw_vbo"], counts["bind_blend_state"], counts["bind_rasterizer_state"],
            counts["bind_fs_state"], counts["bind_vs_state"], counts["bind_vertex_elements_state"],
            counts["set_constant_buffer"], kinds, sizes))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--frames", type=int, default=62)
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    show = os.path.join(build, "show")
    programs = [("show", [os.path.join(show, "quarnel"), "--run", "--windowed", "--no-music", "--batch",
                          "--fixed-step", "0.25", "--frames", str(args.frames)]),
                ("floor", [os.path.join(build, "bench", "frame_floor"), "--game-only", "--frames", "2"])]
    for name, command in programs:
        if not os.access(command[0], os.X_OK):
            sys.exit("pipe-calls: no %s at %s: give a build folder with show/quarnel and bench/frame_floor"
                     % (name, command[0]))
    xvfb = Xvfb("1024x768x24", first=150)
    try:
        env = dict(os.environ, DISPLAY=xvfb.display, SDL_AUDIODRIVER="dummy", LIBGL_ALWAYS_SOFTWARE="1",
                   GALLIUM_DRIVER="llvmpipe")
        subprocess.run(["xdotool", "mousemove", "400", "300"], env=env, check=False)
        with tempfile.TemporaryDirectory(prefix="pipe-calls-") as scratch:
            for name, command in programs:
                trace = os.path.join(scratch, name + ".xml")
                r = subprocess.run(command, cwd=show, env=dict(env, GALLIUM_TRACE=trace), capture_output=True,
                                   text=True, timeout=1800)
                if r.returncode != 0 or not os.path.exists(trace):
                    sys.exit("pipe-calls: %s failed (%d):\n%s" % (name, r.returncode, r.stderr))
                report(name, per_target(last_frame(trace)))
                os.remove(trace)
    finally:
        xvfb.stop()


if __name__ == "__main__":
    main()
