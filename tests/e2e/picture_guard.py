"""Picture guard: frames 50, 300, 700 and 1200 of a fixed-step run must equal the reference pictures in
tests/e2e/reference/ pixel for pixel, so that work on the renderer's speed cannot change what it draws.
A show built with the GL 1.x layer (QUARNEL_GL_LAYER) draws through other shaders and turns wide lines
into quads itself, so its frames are held to the same references within a peak signal-to-noise ratio.

The frames come from the shared run of the show (show_frames.py, CTest's fixture e2e.show_frames); a
layer build draws its own. Run the test: python3 picture_guard.py frames_match_the_reference_pictures
after `show_frames.py write` (CTest registers both), or
frames_through_the_gl_layer_are_close_to_the_reference_pictures for a layer build.
Remake the references: scripts/make-picture-references.sh BUILD_DIR (only in a commit of their own that
says why the picture changed on purpose)."""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(__file__))
from png_pixels import read_png  # noqa: E402
import show_frames  # noqa: E402
from show_driver import BUILD  # noqa: E402
import harness  # noqa: E402  (on the path through show_driver)

REFERENCE_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "reference")
FRAMES = show_frames.GUARD_FRAMES
STEP = str(show_frames.STEP)  # the fixed step of the reference pictures (the Windows tests draw them too)
frame_name = show_frames.frame_name


def describe_difference(reference, got, diff_png):
    """Counts the differing pixels, finds their bounding box and the largest channel difference, and
    writes a picture of where they lie for whoever reads the log."""
    _, _, a = read_png(reference)
    _, _, b = read_png(got)
    if len(a) != len(b) or len(a[0]) != len(b[0]):
        return "size %dx%d, reference %dx%d" % (len(b[0]) // 3, len(b), len(a[0]) // 3, len(a))
    count, largest, first = 0, 0, None
    left, top, right, bottom = 1 << 30, 1 << 30, -1, -1
    for y, (ra, rb) in enumerate(zip(a, b)):
        if ra == rb:
            continue
        for x in range(len(ra) // 3):
            d = max(abs(ra[3 * x + c] - rb[3 * x + c]) for c in range(3))
            if d:
                count += 1
                largest = max(largest, d)
                first = first or (x, y, tuple(ra[3 * x:3 * x + 3]), tuple(rb[3 * x:3 * x + 3]))
                left, right, top, bottom = min(left, x), max(right, x), min(top, y), max(bottom, y)
    subprocess.run(["/usr/bin/compare", "-metric", "AE", reference, got, diff_png], capture_output=True)
    x, y, was, now = first
    return ("%d pixels differ (largest channel difference %d) within x %d..%d, y %d..%d; first at (%d, %d): "
            "reference %s, now %s; difference picture %s"
            % (count, largest, left, right, top, bottom, x, y, was, now, diff_png))


def guard_frames(shared):
    """The wanted frames of a fixed-step run, beside their references: (n, reference, got, result_dir).
    shared: read them from the shared run of the show (show_frames.py), else draw them in a run of their
    own (a build through the GL layer, which has no shared run)."""
    result_dir = os.path.join(BUILD, "tests", "picture-guard")
    shutil.rmtree(result_dir, ignore_errors=True)
    os.makedirs(result_dir)
    if not shared:
        show_frames.capture_frames(result_dir, FRAMES)
    for n in FRAMES:
        reference = os.path.join(REFERENCE_DIR, frame_name(n))
        assert os.path.exists(reference), "no reference %s: make it with scripts/make-picture-references.sh" \
            % reference
        got = show_frames.path(n) if shared else os.path.join(result_dir, frame_name(n))
        yield n, reference, got, result_dir


def test_frames_match_the_reference_pictures():
    failures = []
    for n, reference, got, result_dir in guard_frames(shared=True):
        if read_png(reference) != read_png(got):
            diff = os.path.join(result_dir, "diff-" + frame_name(n))
            failures.append("frame %d: %s" % (n, describe_difference(reference, got, diff)))
    assert not failures, "the picture changed:\n" + "\n".join(failures)


# The layer's frames against the references of the GL 1.x path, in dB over all three channels. Measured
# with Mesa's llvmpipe: 66.8, 61.7, 47.3 and 59.4 dB at frames 50, 300, 700 and 1200. What differs: the
# ends of wide lines (GL's rasteriser moves them by up to half a pixel, the layer's quads do not) and
# values one step apart where the feedback passes carry a rounding difference from frame to frame. 44 dB
# leaves room for another driver's rounding and still fails on a visible change (a wrong blend or colour
# in one layer of the picture falls below 30 dB).
LAYER_PSNR_DB = 44.0


def psnr(reference, got):
    return harness.psnr(read_png(reference)[2], read_png(got)[2])


def test_frames_through_the_gl_layer_are_close_to_the_reference_pictures():
    failures = []
    for n, reference, got, result_dir in guard_frames(shared=False):
        db = psnr(reference, got)
        print("frame %d: PSNR %.2f dB" % (n, db))
        if db < LAYER_PSNR_DB:
            diff = os.path.join(result_dir, "diff-" + frame_name(n))
            failures.append("frame %d: PSNR %.2f dB, below %.1f: %s"
                            % (n, db, LAYER_PSNR_DB, describe_difference(reference, got, diff)))
    assert not failures, "the picture through the layer changed:\n" + "\n".join(failures)


def remake_references():
    os.makedirs(REFERENCE_DIR, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        show_frames.capture_frames(tmp, FRAMES)
        for n in FRAMES:
            shutil.copy(os.path.join(tmp, frame_name(n)), os.path.join(REFERENCE_DIR, frame_name(n)))
            print(os.path.join(REFERENCE_DIR, frame_name(n)))


if __name__ == "__main__":
    if sys.argv[1] == "--remake":
        remake_references()
    else:
        globals()["test_" + sys.argv[1]]()
        print("passed")
