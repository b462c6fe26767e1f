"""End-to-end tests of capture: videos of the show read back with ffprobe and ffmpeg, play recorded under
Xvfb with xdotool and replayed, and the files and outputs that must be refused.

Run one test: python3 capture_e2e.py NAME (CTest registers each name)."""
import array
import glob
import hashlib
import json
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
from show_driver import QUARNEL, SHOW_DIR, Frames, Show, Xvfb, wait_until  # noqa: E402

TITLE = "Quarnel game. Kelm 2006"
FRAME = 1.0 / 60.0
WM_KEYDOWN, WM_KEYUP, VK_ESCAPE = 0x100, 0x101, 0x1B


def probe(path):
    r = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-show_streams", "-show_format", "-of", "json",
                        path], capture_output=True, text=True, check=True)
    info = json.loads(r.stdout)
    video = [s for s in info["streams"] if s["codec_type"] == "video"]
    audio = [s for s in info["streams"] if s["codec_type"] == "audio"]
    assert len(video) == 1 and len(audio) == 1, info
    return video[0], audio[0]


def framemd5(path):
    r = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "framemd5", "-"], capture_output=True,
                       check=True)
    return r.stdout


def decoded_sound(path):
    """The decoded sound as floats, stereo interleaved."""
    r = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-vn", "-f", "f32le", "-"], capture_output=True,
                       check=True)
    return array.array("f", r.stdout)


def render(*args, cwd=None, extra_env=None):
    """Runs the show to its end (no window is touched) and returns (status, stderr)."""
    kwargs = {"extra_env": extra_env}
    if cwd is not None:
        kwargs["cwd"] = cwd
    show = Show(*args, "--batch", **kwargs)
    try:
        return show.wait(deadline=600), show.stderr()
    finally:
        show.kill()


def leftovers(directory):
    return sorted(os.listdir(directory))


# -- Recordings -------------------------------------------------------------------------------------------

def header(music=True, version=1):
    return b"QUARNREC" + struct.pack("<II", version, 1 if music else 0)


def message(msg, wparam=0, lparam=0):
    return b"M" + struct.pack("<IQq", msg, wparam, lparam)


def frame(x, y, r1, r2):
    return b"F" + struct.pack("<4d", x, y, r1, r2)


def synthetic_recording(frames, step=FRAME, music=False):
    """A session with no input: the start-up reading, then frames of one step each."""
    body = b"C" + struct.pack("<d", 0.0)
    for n in range(1, frames + 1):
        body += frame(400.0, 300.0, n * step, n * step)
    return header(music) + body + b"E" + struct.pack("<Q", frames)


def header_size(data):
    """Version 1: 16 bytes; version 2 adds the program's and the system's names, each after its length."""
    at = 16
    if struct.unpack("<I", data[8:12])[0] >= 2:
        for _ in range(2):
            at += 1 + data[at]
    return at


def events(data):
    """The records of a recording: (kind, payload bytes)."""
    sizes = {b"M": 20, b"F": 32, b"I": 0, b"C": 8, b"E": 8, b"S": 16}
    out, at = [], header_size(data)
    while at < len(data):
        kind = data[at:at + 1]
        out.append((kind, data[at + 1:at + 1 + sizes[kind]]))
        at += 1 + sizes[kind]
    return out


def record_offsets(data):
    """(kind, offset of the payload) of every record."""
    sizes = {b"M": 20, b"F": 32, b"I": 0, b"C": 8, b"E": 8, b"S": 16}
    out, at = [], header_size(data)
    while at < len(data):
        kind = data[at:at + 1]
        out.append((kind, at + 1))
        at += 1 + sizes[kind]
    return out


def as_version_1(data):
    """The same session in the first format: no names, no checksums."""
    flags = struct.unpack("<I", data[12:16])[0] & 1
    body = b"".join(k + p for k, p in events(data) if k != b"S")
    return b"QUARNREC" + struct.pack("<II", 1, flags) + body


def without_keys(data):
    """The same session with every arrow key message left out: the same frames and times, no steering."""
    kept = b""
    for kind, payload in events(data):
        if kind == b"M":
            msg, wparam, _ = struct.unpack("<IQq", payload)
            if msg in (WM_KEYDOWN, WM_KEYUP) and 0x25 <= wparam <= 0x28:
                continue
        kept += kind + payload
    return data[:header_size(data)] + kept


def png_digests(directory):
    return [hashlib.md5(open(p, "rb").read()).hexdigest() for p in sorted(glob.glob(directory + "/*.png"))]


# -- Tests ------------------------------------------------------------------------------------------------

def test_video_streams_sound_and_the_same_frames_twice():
    work = tempfile.mkdtemp()
    try:
        a, b = os.path.join(work, "a.mp4"), os.path.join(work, "b.mp4")
        # Each run's fresh memory holds different bytes (glibc fills it with the given one): an encoder that
        # reads memory it never wrote gives different files, as x264's AVX-512 routines did.
        for path, fill in ((a, "1"), (b, "77")):
            status, err = render("--video", path, "--frames", "30", extra_env={"MALLOC_PERTURB_": fill})
            assert status == 0, err
            assert "wrote %s: 30 frames, 0.50 s" % path in err, err
        video, audio = probe(a)
        assert (video["codec_name"], video["width"], video["height"], video["pix_fmt"]) == \
            ("h264", 800, 600, "yuv420p"), video
        assert int(video["nb_read_frames"]) == 30, video
        assert (audio["codec_name"], int(audio["sample_rate"]), audio["channels"]) == ("aac", 44100, 2), audio
        assert abs(float(video["duration"]) - 0.5) < FRAME / 2, video
        assert abs(float(audio["duration"]) - float(video["duration"])) < FRAME, (audio, video)
        sound = decoded_sound(a)
        rms = (sum(x * x for x in sound) / len(sound)) ** 0.5
        assert rms > 0.01, "the music is silent in the video: rms %f" % rms
        assert framemd5(a) == framemd5(b), "two runs decode differently"
        with open(a, "rb") as fa, open(b, "rb") as fb:
            assert fa.read() == fb.read(), "the encoders are set to give the same bytes"
        assert leftovers(work) == ["a.mp4", "b.mp4"]

        # Without music: VP9 and Opus, with silence of the film's length.
        c = os.path.join(work, "c.webm")
        status, err = render("--video", c, "--frames", "12", "--fps", "30", "--no-music")
        assert status == 0, err
        video, audio = probe(c)
        assert (video["codec_name"], int(video["nb_read_frames"])) == ("vp9", 12), video
        assert (audio["codec_name"], audio["channels"]) == ("opus", 2), audio
        sound = decoded_sound(c)
        assert max(abs(x) for x in sound) == 0.0
        assert abs(len(sound) / 2 / int(audio["sample_rate"]) - 12 / 30) < 1 / 30, len(sound)
    finally:
        shutil.rmtree(work)


def test_video_ends_with_escape_and_with_the_close_box():
    work = tempfile.mkdtemp()
    try:
        for way in ("escape", "close"):
            path = os.path.join(work, way + ".mkv")
            # One round: far longer than the test waits. The pictures count the frames drawn.
            pictures = tempfile.TemporaryDirectory()
            show = Show("--video", path, "--batch", "--capture", pictures.name)
            try:
                win = show.find_window(TITLE)
                Frames(show, pictures.name).wait_for(10)
                if way == "escape":
                    status = show.key_until_exit(win, "Escape")
                else:
                    show.close(win)
                    status = show.wait()
                err = show.stderr()
            finally:
                show.kill()
                pictures.cleanup()
            assert status == 0, err
            assert "wrote " + path in err, err
            video, audio = probe(path)
            frames = int(video["nb_read_frames"])
            assert 0 < frames < 3600, video
            assert "wrote %s: %d frames" % (path, frames) in err, err
        assert leftovers(work) == ["close.mkv", "escape.mkv"]
    finally:
        shutil.rmtree(work)


def test_video_without_an_x_server():
    work = tempfile.mkdtemp()
    try:
        path = os.path.join(work, "headless.mp4")
        env = dict(os.environ, SDL_VIDEODRIVER="offscreen", SDL_AUDIODRIVER="dummy")
        env.pop("DISPLAY", None)
        r = subprocess.run([QUARNEL, "--video", path, "--frames", "6", "--batch"], cwd=SHOW_DIR, env=env,
                           capture_output=True, text=True, timeout=600)
        assert r.returncode == 0, r.stderr
        video, _ = probe(path)
        assert int(video["nb_read_frames"]) == 6, video
        # Not a black film: the last picture has light in it.
        r = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-vf", "select=eq(n\\,5)", "-frames:v", "1",
                            "-f", "rawvideo", "-pix_fmt", "gray", "-"], capture_output=True, check=True)
        assert max(r.stdout) > 128, "the picture is dark"
    finally:
        shutil.rmtree(work)


def test_recorded_play_replays_the_same_every_time():
    work = tempfile.mkdtemp()
    try:
        recording = os.path.join(work, "play.qrec")
        pictures = tempfile.TemporaryDirectory()
        show = Show("--run", "--windowed", "--record", recording, "--capture", pictures.name)
        try:
            win = show.find_window(TITLE)
            show.focus(win)
            frames = Frames(show, pictures.name)
            frames.wait_more(10)
            show.xdotool("keydown", "Up")
            show.xdotool("keydown", "Left")
            frames.wait_more(30)
            show.xdotool("keyup", "Left")
            show.xdotool("keyup", "Up")
            frames.wait_more(8)
            status = show.key_until_exit(win, "Escape")
            err = show.stderr()
        finally:
            show.kill()
            pictures.cleanup()
        assert status == 0, err
        assert "recorded " in err and recording in err, err
        data = open(recording, "rb").read()
        keys = [p for k, p in events(data) if k == b"M" and struct.unpack("<IQq", p)[0] == WM_KEYDOWN]
        assert keys, "no key press was recorded"
        frames = sum(1 for k, _ in events(data) if k == b"F")

        # Two replays draw the same pictures, and end by themselves with the recorded Escape.
        digests = []
        for n in (1, 2):
            directory = os.path.join(work, "replay%d" % n)
            os.mkdir(directory)
            status, err = render("--replay", recording, "--windowed", "--capture", directory)
            assert status == 0, err
            digests.append(png_digests(directory))
        assert digests[0] == digests[1], "two replays drew different frames"
        assert len(digests[0]) == frames - 1, "every frame but the last, the one that ends the fade"

        # The same session without the arrow keys: the same pictures until the first press, then others.
        still = os.path.join(work, "still.qrec")
        open(still, "wb").write(without_keys(data))
        directory = os.path.join(work, "still")
        os.mkdir(directory)
        status, err = render("--replay", still, "--windowed", "--capture", directory)
        assert status == 0, err
        quiet = png_digests(directory)
        assert len(quiet) == len(digests[0])
        assert quiet[-1] != digests[0][-1], "the arrow keys made no difference to the player's path"
        assert quiet[0] == digests[0][0]

        # And as a film: the recorded frames with the sound of their times.
        film = os.path.join(work, "play.mp4")
        status, err = render("--replay", recording, "--video", film)
        assert status == 0, err
        video, audio = probe(film)
        assert int(video["nb_read_frames"]) == frames - 1, (video, frames)
        assert abs(float(audio["duration"]) - float(video["duration"])) < FRAME, (audio, video)
    finally:
        shutil.rmtree(work)


def test_bad_recordings_are_refused_and_a_cut_one_plays_to_its_cut():
    work = tempfile.mkdtemp()
    try:
        good = synthetic_recording(10)
        cases = {
            "text.qrec": (b"just some text\n", "is not a Quarnel recording"),
            "version.qrec": (header(version=7) + good[16:], "version 7"),
            "header.qrec": (good[:11], "cut short inside its header"),
            "damaged.qrec": (good[:16] + b"Z" + good[17:], "unknown record"),
            "nan.qrec": (header() + frame(1, 2, float("nan"), 0) + good[16:], "clock reading out of range"),
            "empty.qrec": (header() + b"E" + struct.pack("<Q", 0), "holds no frame"),
        }
        for name, (data, words) in cases.items():
            path = os.path.join(work, name)
            open(path, "wb").write(data)
            film = os.path.join(work, "film.mp4")
            status, err = render("--replay", path, "--video", film)
            assert status == 1, (name, status, err)
            assert path in err and words in err, (name, err)
            assert not os.path.exists(film) and not glob.glob(film + "*"), (name, leftovers(work))
        missing = os.path.join(work, "missing.qrec")
        status, err = render("--replay", missing)
        assert status == 1 and "cannot read " + missing + ": No such file or directory" in err, err

        # Cut in the middle of its sixth frame: the five whole frames play, with a warning.
        cut = os.path.join(work, "cut.qrec")
        open(cut, "wb").write(good[:16 + 9 + 5 * 33 + 20])
        film = os.path.join(work, "cut.mp4")
        status, err = render("--replay", cut, "--video", film)
        assert status == 0, err
        assert "warning" in err and "cut short after 5 frames" in err, err
        video, _ = probe(film)
        assert int(video["nb_read_frames"]) == 5, video

        # A whole recording, limited to a tenth of a second of it.
        whole = os.path.join(work, "whole.qrec")
        open(whole, "wb").write(good)
        status, err = render("--replay", whole, "--video", film, "--seconds", "0.1")
        assert status == 0, err
        assert "wrote %s: 6 frames, 0.10 s" % film in err, err
    finally:
        shutil.rmtree(work)


def verify(path):
    r = subprocess.run([QUARNEL, "--replay", path, "--verify", "--batch"], cwd=SHOW_DIR, env=show_env(),
                       capture_output=True, text=True, timeout=600)
    return r.returncode, r.stdout, r.stderr


def show_env(extra=None):
    from show_driver import env
    return env(extra)


def test_rounds_of_every_target_verify_alike():
    # A round recorded on each target replays here to the same round: every checksum agrees, and the
    # line is the one the other targets print.
    from rounds import ROUNDS_DIR, expected_lines, verify_line
    for name, expected in expected_lines().items():
        path = os.path.join(ROUNDS_DIR, name)
        status, out, err = verify(path)
        assert status == 0, (name, out, err)
        assert verify_line(out, path) == expected, (name, out)


def test_a_changed_byte_leaves_the_round_at_its_frame():
    work = tempfile.mkdtemp()
    try:
        recording = os.path.join(work, "round.qrec")
        status, err = render("--run", "--windowed", "--frames", "60", "--record", recording)
        assert status == 0, err
        data = open(recording, "rb").read()
        assert data[8] == 2 and b"quarnel " in data[:64] and b"Linux" in data[:64], data[:64]
        checks = [struct.unpack("<QQ", p)[0] for k, p in events(data) if k == b"S"]
        assert len(checks) >= 2, checks  # one a second of game time: a slow machine may reach only two

        status, out, err = verify(recording)
        assert status == 0, err
        assert re.fullmatch(re.escape(recording) + r": 60 frames, \d+ rounds, best score -?\d+, high score \d+, "
                            r"checksums: all \d+ agree\n", out), out
        assert out.endswith("checksums: all %d agree\n" % len(checks)), out

        # One byte of a clock reading in the frame of the second checksum: the replay leaves the round there
        # (the step differs), says so once, and --verify names that frame. A set bit of the mantissa is
        # cleared, so the reading comes a little earlier and never after the frame's second one (a clock
        # that goes back is refused before anything plays).
        frame_no = checks[1]
        frames = [off for k, off in record_offsets(data) if k == b"F"]
        changed = bytearray(data)
        reading = frames[frame_no - 1] + 16  # reading 1, little-endian
        byte = next(b for b in range(reading + 2, reading + 6) if changed[b])
        changed[byte] &= changed[byte] - 1  # its lowest set bit cleared
        bad = os.path.join(work, "changed.qrec")
        open(bad, "wb").write(bytes(changed))
        status, out, err = verify(bad)
        assert status == 1, (out, err)
        line = "quarnel: %s leaves the recorded round at frame %d (recorded by quarnel " % (bad, frame_no)
        assert line in err and err.count("leaves the recorded round") == 1, err
        assert "the first to disagree is at frame %d" % frame_no in out, out

        # The same round in version 1 still replays, but with no checksum to compare it is not verified.
        old = os.path.join(work, "old.qrec")
        open(old, "wb").write(as_version_1(data))
        status, out, err = verify(old)
        assert status == 1, err
        assert "60 frames" in out and "not verified: a version 1 recording carries no checksums" in out, out
    finally:
        shutil.rmtree(work)


def test_what_no_session_holds_leaves_nothing():
    """Crafted recordings and data files: each with its status, its message and nothing left behind."""
    work = tempfile.mkdtemp()
    try:
        good = synthetic_recording(3)
        day = header() + b"C" + struct.pack("<d", 0.0) + frame(400, 300, 1e8, 1e8) + b"E" + struct.pack("<Q", 1)
        back = header() + b"C" + struct.pack("<d", 1.0) + frame(400, 300, 0.5, 0.5) + b"E" + struct.pack("<Q", 1)
        files = {"day.qrec": day, "back.qrec": back, "idle.qrec": header() + b"I" * 1000001}
        for name, data in files.items():
            open(os.path.join(work, name), "wb").write(data)
        with open(os.path.join(work, "huge.qrec"), "wb") as f:
            f.write(good)
            f.truncate(64 * 1024 * 1024 + 1)
        os.mkfifo(os.path.join(work, "fifo.qrec"))
        os.symlink("/dev/zero", os.path.join(work, "zero.qrec"))
        cases = [
            ("day.qrec", "a step of 100000000 s at frame 1, longer than a day"),
            ("back.qrec", "its clock goes back at frame 1"),
            ("idle.qrec", "more than 1000000 records"),
            ("huge.qrec", "larger than 64 MB"),
            ("fifo.qrec", "not a regular file"),
            ("zero.qrec", "not a regular file"),
        ]
        for name, words in cases:
            path = os.path.join(work, name)
            film = os.path.join(work, "film.mp4")
            status, err = render("--replay", path, "--video", film)
            assert status == 1, (name, status, err)
            assert " %s: " % path in err and words in err, (name, err)
            assert not glob.glob(film + "*"), (name, leftovers(work))

        # The show's own files in a copy of the data folder: a pipe, a folder, a link to a device, a file
        # cut short. Each keeps its box and status and names the cause; the cut picture still shows.
        data = os.path.join(work, "data")
        for folder in ("textures", "cgeffects", "meshes", "music"):
            shutil.copytree(os.path.join(SHOW_DIR, folder), os.path.join(data, folder), symlinks=True)
        music = glob.glob(os.path.join(data, "music", "*.ogg"))[0]
        film_texture = os.path.join(data, "textures", "superfilm3.jpg")
        effect = sorted(glob.glob(os.path.join(data, "cgeffects", "*")))[0]
        picture = open(film_texture, "rb").read()
        sound = open(music, "rb").read()

        def swap(path, make):
            os.rename(path, path + ".kept")
            make(path)

        def restore(path):
            if os.path.isdir(path) and not os.path.islink(path):
                os.rmdir(path)
            else:
                os.remove(path)
            os.rename(path + ".kept", path)

        data_cases = [
            (film_texture, os.mkfifo, 0, "textures/superfilm3.jpg: not a regular file"),
            (effect, lambda p: os.symlink("/dev/zero", p), 0, "not a regular file"),
            (music, os.mkdir, 0, "it is a folder, not a regular file"),
            (film_texture, lambda p: open(p, "wb").write(picture[:len(picture) // 2]), 0,
             "warning: textures/superfilm3.jpg is cut short"),
            (music, lambda p: open(p, "wb").write(sound[:len(sound) // 2]), 0, "is cut short; it plays what it has"),
        ]
        for path, make, expected, words in data_cases:
            swap(path, make)
            try:
                r = subprocess.run([QUARNEL, "--run", "--windowed", "--frames", "3", "--batch"], cwd=SHOW_DIR,
                                   env=show_env({"QUARNEL_DATA_DIR": data}), capture_output=True, text=True,
                                   timeout=120)
            finally:
                restore(path)
            assert r.returncode == expected and words in r.stderr, (path, r.returncode, r.stderr)

        # No display and no driver asked for: said at once, not a show that runs unseen.
        e = show_env()
        e.pop("DISPLAY", None)
        e.pop("WAYLAND_DISPLAY", None)
        e.pop("SDL_VIDEODRIVER", None)
        r = subprocess.run([QUARNEL, "--run", "--windowed"], cwd=SHOW_DIR, env=e, capture_output=True, text=True,
                           timeout=60)
        assert r.returncode == 1 and "quarnel: no display" in r.stderr, (r.returncode, r.stderr)
    finally:
        shutil.rmtree(work)


def test_a_video_ended_from_outside_leaves_nothing():
    """A hang-up, a quit signal and a lost X connection during a video: status 1, no temporary file. A long
    step is mixed and encoded in pieces on the way."""
    work = tempfile.mkdtemp()
    try:
        long_step = header() + b"C" + struct.pack("<d", 0.0) + frame(400, 300, 0.02, 0.02) + \
            frame(400, 300, 3000.0, 3000.0) + frame(400, 300, 3000.02, 3000.02) + b"E" + struct.pack("<Q", 3)
        path = os.path.join(work, "pause.qrec")
        open(path, "wb").write(long_step)
        for ending in ("SIGHUP", "SIGQUIT", "X"):
            film = os.path.join(work, "film.mkv")
            x = Xvfb() if ending == "X" else None
            show = Show("--replay", path, "--video", film, "--batch", display=x.display if x else None)
            try:
                wait_until(lambda: glob.glob(film + ".part-*"), "the video's temporary file")
                time.sleep(1.0)  # inside the long step's pieces
                if x:
                    x.stop()
                else:
                    show.proc.send_signal(getattr(signal, ending))
                status = show.wait()
            finally:
                show.kill()
                if x and x.proc.poll() is None:
                    x.stop()
            assert status == 1, (ending, status, show.stderr())
            assert leftovers(work) == ["pause.qrec"], (ending, leftovers(work))
    finally:
        shutil.rmtree(work)


def test_bad_output_paths_leave_no_file():
    work = tempfile.mkdtemp()
    try:
        os.mkdir(os.path.join(work, "folder.mp4"))
        os.symlink("/dev/full", os.path.join(work, "full.mkv"))
        cases = [
            (["--video", os.path.join(work, "film.avi")], "unknown extension"),
            (["--video", os.path.join(work, "no", "film.mp4")], "No such file or directory"),
            (["--video", os.path.join(work, "folder.mp4")], "is a directory"),
            (["--video", os.path.join(work, "full.mkv"), "--frames", "3"], "No space left on device"),
            (["--run", "--windowed", "--frames", "3", "--record", os.path.join(work, "no", "play.qrec")],
             "No such file or directory"),
        ]
        for args, words in cases:
            status, err = render(*args)
            path = args[args.index("--video") + 1] if "--video" in args else args[-1]
            assert status == 1, (args, status, err)
            assert "cannot write " + path + ": " in err and words in err, (args, err)
        assert leftovers(work) == ["folder.mp4", "full.mkv"], leftovers(work)
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    globals()["test_" + sys.argv[1]]()
    print("passed")
