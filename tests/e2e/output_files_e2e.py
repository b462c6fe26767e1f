"""The one writer of output files, end to end: every program that writes a file against every kind of
output. Rows: the writers (jpeg-decode, spectrum-dump, and the show's --screenshot, --capture, --video and
--record) times the kinds (a private character device made with mknod, a pipe with a reader, a symbolic
link to a regular file, a link to the device, a folder that may not be written in).

A device or pipe is written in place and stays what it was; a link stays a link and the file it leads to
gets the new content, keeping its mode; a failure ends with status 1 and a message naming the file and the
cause, and leaves neither a final nor a temporary file. Device nodes need root (mknod), as the tests'
machines run.

Run one writer's rows: python3 output_files_e2e.py WRITER_writes_every_kind_of_output (CTest registers
each writer: jpeg_decode, spectrum_dump, screenshot, capture, video, record)."""
import glob
import os
import re
import stat
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(__file__))
from show_driver import BUILD, DEADLINE, SHOW_DIR, Show  # noqa: E402

TOOLS = os.path.join(BUILD, "tools")
NULL_DEVICE = (1, 3)  # the numbers of /dev/null
OLD = b"the old content\n"
OLD_MODE = 0o640


def smallest(pattern):
    return min(glob.glob(os.path.join(SHOW_DIR, pattern)), key=os.path.getsize)


def tool(name, args):
    def run(path, prefix):
        r = subprocess.run([*prefix, os.path.join(TOOLS, name), *args(path)], capture_output=True, text=True,
                           timeout=600)
        return r.returncode, r.stderr
    return run


def show(args):
    def run(path, prefix):
        s = Show("--batch", *args(path), prefix=prefix)
        try:
            return s.wait(deadline=600), s.stderr()
        finally:
            s.kill()
    return run


def in_show(*options):
    return ("--run", "--windowed", "--no-music", "--fixed-step", "0.05") + options


# name: (the file name it writes in the row's folder, how to run it on that path, what its bytes begin with)
PNG = rb"\x89PNG\r\n\x1a\n"
WRITERS = {
    "jpeg_decode": ("out.ppm", tool("jpeg-decode", lambda p: [smallest("textures/*.jpg"), p]),
                    rb"P[56]\n\d+ \d+\n255\n"),
    "spectrum_dump": ("out.csv", tool("spectrum-dump", lambda p: [smallest("music/*.ogg"), p, "--fps", "2"]),
                      rb"0\.500000,"),
    "screenshot": ("shot.png", show(lambda p: in_show("--frames", "2", "--screenshot", p)), PNG),
    "capture": ("frame000001.png", show(lambda p: in_show("--frames", "1", "--capture", os.path.dirname(p))),
                PNG),
    "video": ("film.mp4", show(lambda p: ("--video", p, "--frames", "3", "--no-music")), rb"....ftyp"),
    "record": ("play.qrec", show(lambda p: in_show("--frames", "3", "--record", p)), rb"QUARNREC"),
}


# -- The kinds of output: each makes the output in the row's folder, runs the writer, and checks -----------

class NoDeviceNodes(Exception):
    pass


def device_node(path):
    try:
        os.mknod(path, 0o666 | stat.S_IFCHR, os.makedev(*NULL_DEVICE))
    except PermissionError:
        raise NoDeviceNodes()


def is_device_node(path):
    st = os.lstat(path)
    return stat.S_ISCHR(st.st_mode) and (os.major(st.st_rdev), os.minor(st.st_rdev)) == NULL_DEVICE


def contents(folder):
    """Every name below the folder, links not followed."""
    names = []
    for root, dirs, files in os.walk(folder):
        names += [os.path.relpath(os.path.join(root, n), folder) for n in dirs + files]
    return sorted(names)


def device(run, folder, name, magic):
    out = os.path.join(folder, name)
    device_node(out)
    status, err = run(out, [])
    assert status == 0, err
    assert is_device_node(out), "the device was replaced"
    assert contents(folder) == [name], contents(folder)


def pipe(run, folder, name, magic):
    out = os.path.join(folder, name)
    os.mkfifo(out)
    with tempfile.TemporaryFile() as drained:
        reader = subprocess.Popen(["cat", out], stdout=drained)
        try:
            status, err = run(out, [])
            assert status == 0, err
            try:
                reader.wait(timeout=DEADLINE)
            except subprocess.TimeoutExpired:
                raise AssertionError("the pipe's reader still waits: nobody wrote to the pipe")
        finally:
            reader.kill()
            reader.wait()
        drained.seek(0)
        data = drained.read()
    assert re.match(magic, data, re.S), data[:64]
    assert stat.S_ISFIFO(os.lstat(out).st_mode), "the pipe was replaced"
    assert contents(folder) == [name], contents(folder)


def link_to_file(run, folder, name, magic):
    out = os.path.join(folder, name)
    os.mkdir(os.path.join(folder, "data"))
    real = os.path.join(folder, "data", "real")
    with open(real, "wb") as f:
        f.write(OLD)
    os.chmod(real, OLD_MODE)
    os.symlink("data/real", out)  # relative to the link's folder
    status, err = run(out, [])
    assert status == 0, err
    assert os.path.islink(out) and os.readlink(out) == "data/real", "the link was replaced"
    with open(real, "rb") as f:
        data = f.read()
    assert re.match(magic, data, re.S), data[:64]
    assert stat.S_IMODE(os.stat(real).st_mode) == OLD_MODE, oct(os.stat(real).st_mode)
    assert contents(folder) == sorted(["data", "data/real", name]), contents(folder)


def link_to_device(run, folder, name, magic):
    out = os.path.join(folder, name)
    node = os.path.join(folder, "null")
    device_node(node)
    os.symlink(node, out)
    status, err = run(out, [])
    assert status == 0, err
    assert os.path.islink(out) and os.readlink(out) == node, "the link was replaced"
    assert is_device_node(node), "the device was replaced"
    assert contents(folder) == sorted([name, "null"]), contents(folder)


def unwritable_folder(run, folder, name, magic):
    locked = os.path.join(folder, "locked")
    os.mkdir(locked, 0o555)
    out = os.path.join(locked, name)
    # Root writes anywhere; without the capabilities that override permissions it cannot.
    powerless = ["setpriv", "--bounding-set", "-dac_override,-dac_read_search,-fowner", "--"]
    status, err = run(out, powerless if os.geteuid() == 0 else [])
    assert status == 1, (status, err)
    assert "cannot write" in err and out in err and "Permission denied" in err, err
    assert os.listdir(locked) == [], os.listdir(locked)


KINDS = [device, pipe, link_to_file, link_to_device, unwritable_folder]


def main(writer):
    name, run, magic = WRITERS[writer]
    failures = []
    for kind in KINDS:
        with tempfile.TemporaryDirectory(prefix="quarnel-output-") as folder:
            try:
                kind(run, folder, name, magic)
                print("%s, %s: passed" % (writer, kind.__name__))
            except NoDeviceNodes:
                print("%s, %s: skipped, mknod needs root" % (writer, kind.__name__))
            except AssertionError as e:
                failures.append("%s, %s: %s" % (writer, kind.__name__, e))
    assert not failures, "\n".join(failures)


if __name__ == "__main__":
    main(sys.argv[1].replace("_writes_every_kind_of_output", ""))
    print("passed")
