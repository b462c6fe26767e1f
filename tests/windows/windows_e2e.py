"""End-to-end tests of the Windows build under Wine: quarnel.exe of build-win64/show runs in a fresh Wine
prefix without a Z: drive (tests/windows/wine-prefix.sh), so it sees only the build (D:) and the source
(S:) folders. Its fixed-step frames must equal the Linux references pixel for pixel.

    python3 windows_e2e.py CASE      (CTest of the Windows build registers every case)
QUARNEL_WIN_BUILD_DIR names the Windows build (default build-win64); WINEPREFIX may name a prefix made by
wine-prefix.sh, else each case makes its own."""
import json
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
from png_pixels import read_png  # noqa: E402
from picture_guard import FRAMES, REFERENCE_DIR, STEP, frame_name  # noqa: E402
from show_driver import Frames, PulseServer, Show, UserClipboard, Xvfb, env, wait_until  # noqa: E402

BUILD = os.path.abspath(os.environ.get("QUARNEL_WIN_BUILD_DIR", os.path.join(SOURCE, "build-win64")))
SHOW = "D:\\show\\quarnel.exe"
CLI = "D:\\show\\quarnel-cli.exe"
TITLE = "Quarnel game. Kelm 2006"
# Wine starts slowly on a loaded machine, and the software renderer draws every frame.
DEADLINE = float(os.environ.get("QUARNEL_E2E_DEADLINE", "120"))


def links_out(prefix):
    """The links in the prefix that lead out of it, other than its D: and S: drives."""
    prefix = os.path.realpath(prefix)
    out = []
    for folder, dirs, files in os.walk(prefix):
        for name in dirs + files:
            path = os.path.join(folder, name)
            if not os.path.islink(path) or path in (os.path.join(prefix, "dosdevices", d) for d in ("d:", "s:")):
                continue
            target = os.path.realpath(path)
            if target != prefix and not target.startswith(prefix + "/"):
                out.append("%s -> %s" % (path, os.readlink(path)))
    return out


class Prefix:
    """The Wine prefix the case runs in: the one named by WINEPREFIX, or a fresh one removed at the end."""

    def __init__(self):
        self.own = "WINEPREFIX" not in os.environ
        if self.own:
            r = subprocess.run([os.path.join(HERE, "wine-prefix.sh"), BUILD, SOURCE], capture_output=True,
                               text=True, check=True)
            self.path = r.stdout.strip().splitlines()[-1]
        else:
            self.path = os.environ["WINEPREFIX"]
        assert not os.path.lexists(os.path.join(self.path, "dosdevices", "z:")), "the prefix has a Z: drive"
        assert not links_out(self.path), "links of the prefix lead out of it: %s" % links_out(self.path)

    def close(self):
        if self.own:
            subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=self.path),
                           capture_output=True)
            shutil.rmtree(self.path, ignore_errors=True)


def windows_path(path):
    """A path under the build folder as the program sees it (on D:)."""
    rel = os.path.relpath(os.path.abspath(path), BUILD)
    assert not rel.startswith(".."), path
    return "D:\\" + rel.replace("/", "\\")


class WineShow(Show):
    """quarnel.exe with these arguments, started in build-win64/show under Wine; waits, output and the end
    as the Linux show's driver has them."""

    def __init__(self, prefix, *args, display=None, extra_env=None, program=SHOW, cwd=None):
        self.out = tempfile.TemporaryFile()
        self.err = tempfile.TemporaryFile()
        e = dict(os.environ, WINEPREFIX=prefix.path, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        e.setdefault("SDL_AUDIODRIVER", "dummy")
        if display:
            e["DISPLAY"] = display
        if extra_env:
            e.update(extra_env)
        self.env = e
        self.proc = subprocess.Popen(["wine", program, *args], cwd=cwd or os.path.join(BUILD, "show"), env=e,
                                     stdout=self.out, stderr=self.err, stdin=subprocess.DEVNULL)

    def wait(self, deadline=DEADLINE):
        return super().wait(deadline)


def run_case(body):
    prefix = Prefix()
    xvfb = Xvfb("1024x768x24")
    scratch = tempfile.mkdtemp(prefix="win-e2e-", dir=os.path.join(BUILD, "tests"))
    try:
        body(prefix, xvfb.display, scratch)
    finally:
        xvfb.stop()
        prefix.close()
        shutil.rmtree(scratch, ignore_errors=True)


def test_help_and_a_bad_option():
    def body(prefix, display, scratch):
        # quarnel-cli.exe, the console program, hands its streams and the show's status through.
        for program in (SHOW, CLI):
            show = WineShow(prefix, "--help", display=display, program=program)
            assert show.wait() == 0, show.stderr()
            usage = show.stdout()
            assert "--fixed-step" in usage, usage
            # This build writes MP4 only: --help offers nothing else.
            assert ".mp4 (H.264 + AAC)" in usage, usage
            assert not any(word in usage for word in (".mkv", ".webm", "VP9", "Opus")), usage
            show = WineShow(prefix, "--no-such-option", display=display, program=program)
            assert show.wait() == 2, show.stderr()
            assert "--no-such-option" in show.stderr() and "--run" in show.stderr(), show.stderr()
        show = WineShow(prefix, "--video", windows_path(os.path.join(scratch, "film.avi")), "--batch",
                        display=display, program=CLI)
        assert show.wait() == 1, show.stderr()
        assert "unknown extension; this build writes .mp4 (H.264 + AAC)\r\n" in show.stderr(), show.stderr()
    run_case(body)


def test_the_prefix_keeps_the_user_folders_inside():
    # A fresh prefix links Desktop, Documents and the others into the Linux home folder; the test prefix
    # has plain folders there, so that a program writing to its Desktop stays inside the prefix.
    def body(prefix, display, scratch):
        assert not links_out(prefix.path), links_out(prefix.path)
        users = os.path.join(prefix.path, "drive_c", "users")
        user = [u for u in os.listdir(users) if u != "Public"][0]
        folders = os.path.join(users, user)
        for name in ("Desktop", "Documents", "Downloads", "Music", "Pictures", "Videos"):
            path = os.path.join(folders, name)
            assert os.path.isdir(path) and not os.path.islink(path), path
        shot = "C:\\users\\%s\\Desktop\\shot.png" % user
        show = WineShow(prefix, "--run", "--windowed", "--no-music", "--batch", "--frames", "2", "--screenshot", shot,
                        display=display)
        assert show.wait() == 0, show.stderr()
        assert os.path.isfile(os.path.join(folders, "Desktop", "shot.png")), show.stderr()
        assert not links_out(prefix.path), links_out(prefix.path)
    run_case(body)


def test_a_folder_named_outside_ascii():
    # The zip unpacked on a Desktop under a user's name: every file the show reads or writes there keeps its
    # name (nothing like "Ã¤"), and the replay draws what the Linux build draws from the same recording.
    def body(prefix, display, scratch):
        users = os.path.join(prefix.path, "drive_c", "users")
        user = [u for u in os.listdir(users) if u != "Public"][0]
        work = os.path.join(users, user, "Desktop", "J\u00f6rg's Spiele \u2013 \u6e2c\u8a66")
        os.makedirs(work)
        subprocess.run(["xdotool", "mousemove", "400", "300"], env=dict(os.environ, DISPLAY=display), check=True)

        def run(*args, deadline=DEADLINE):
            show = WineShow(prefix, *args, "--batch", display=display, cwd=work)
            status = show.wait(deadline)
            return status, show.stderr()

        status, err = run("--run", "--windowed", "--no-music", "--frames", "40", "--record", "runde \u00f6.qrec",
                          "--screenshot", "schnappschuss \u00e4.png", "--capture", "bilder \u00f6",
                          "--capture-frames", "10,40", deadline=5 * DEADLINE)
        assert status == 0, err
        status, err = run("--replay", "runde \u00f6.qrec", "--screenshot", "wiedergabe \u00e4.png",
                          deadline=5 * DEADLINE)
        assert status == 0, err
        status, err = run("--replay", "runde \u00f6.qrec", "--video", "film \u00e4.mp4", deadline=5 * DEADLINE)
        assert status == 0, err
        expected = {"runde \u00f6.qrec", "schnappschuss \u00e4.png", "bilder \u00f6", "wiedergabe \u00e4.png",
                    "film \u00e4.mp4"}
        assert set(os.listdir(work)) == expected, sorted(os.listdir(work))
        assert sorted(os.listdir(os.path.join(work, "bilder \u00f6"))) == ["frame000010.png", "frame000040.png"]
        probe = json.loads(subprocess.run(
            ["ffprobe", "-v", "error", "-show_streams", "-of", "json", os.path.join(work, "film \u00e4.mp4")],
            capture_output=True, text=True, check=True).stdout)
        assert {s["codec_type"] for s in probe["streams"]} == {"video", "audio"}, probe

        # The Linux build replays the same recording to the same last frame.
        linux = os.path.join(SOURCE, "build", "show")
        linux_shot = os.path.join(scratch, "linux.png")
        r = subprocess.run([os.path.join(linux, "quarnel"), "--replay", os.path.join(work, "runde \u00f6.qrec"),
                            "--screenshot", linux_shot, "--batch"], cwd=linux, capture_output=True, text=True,
                           env=dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy"), timeout=5 * DEADLINE)
        assert r.returncode == 0, r.stderr
        replay = read_png(os.path.join(work, "wiedergabe \u00e4.png"))
        assert replay == read_png(linux_shot), "the replay's last frame differs from the Linux replay's"
        assert replay == read_png(os.path.join(work, "schnappschuss \u00e4.png")), "the replay differs from the play"

        # Messages name such paths as they are.
        status, err = run("--replay", "fehlt \u00f6.qrec")
        assert status == 1, err
        assert "J\u00f6rg's Spiele \u2013 \u6e2c\u8a66\\fehlt \u00f6.qrec" in err, err
    run_case(body)


def test_escape_leaves_the_clipboard_without_a_capture():
    # Windows keeps the clipboard after the program ends; Wine hands it to X. Text another program holds
    # stays there after a show ended with Escape and nothing captured.
    def body(prefix, display, scratch):
        clipboard = UserClipboard(env({"DISPLAY": display}))
        try:
            users = "the user's own text\n"
            clipboard.hold(users)
            show = WineShow(prefix, "--run", "--windowed", "--no-music", "--batch", "--capture", windows_path(scratch),
                            display=display)
            try:
                win = show.find_window(TITLE, deadline=DEADLINE)
                Frames(show, scratch).wait_more(deadline=DEADLINE)
                assert show.key_until_exit(win, "Escape", deadline=DEADLINE) == 0, show.stderr()
            finally:
                show.kill()
            assert show.stdout() == "", show.stdout()
            assert clipboard.holding() and clipboard.read() == users, clipboard.read()
        finally:
            clipboard.release()
    run_case(body)


def test_frames_equal_the_linux_references():
    def body(prefix, display, scratch):
        subprocess.run(["xdotool", "mousemove", "400", "300"], env=dict(os.environ, DISPLAY=display), check=True)
        show = WineShow(prefix, "--run", "--windowed", "--no-music", "--batch", "--fixed-step", STEP,
                        "--frames", str(max(FRAMES)), "--capture", windows_path(scratch),
                        "--capture-frames", ",".join(str(n) for n in FRAMES), display=display)
        assert show.wait(deadline=30 * DEADLINE) == 0, show.stderr()
        failures = []
        for n in FRAMES:
            got = os.path.join(scratch, frame_name(n))
            assert os.path.exists(got), "no %s: %s" % (got, show.stderr())
            if read_png(got) != read_png(os.path.join(REFERENCE_DIR, frame_name(n))):
                kept = os.path.join(BUILD, "tests", "windows-" + frame_name(n))
                shutil.copy(got, kept)
                failures.append("frame %d differs from the Linux reference (kept as %s)" % (n, kept))
        assert not failures, "\n".join(failures)
    run_case(body)


def test_music_plays_through_a_pulseaudio_null_sink():
    def body(prefix, display, scratch):
        pulse = PulseServer()
        pulse.start()
        try:
            # SDL picks WASAPI, which Wine serves through PulseAudio.
            show = WineShow(prefix, "--run", "--windowed", "--batch", "--fixed-step", "0.05", "--frames", "150",
                            display=display, extra_env={"PULSE_SERVER": pulse.env["PULSE_SERVER"],
                                                        "SDL_AUDIODRIVER": ""})
            wait_until(lambda: show.proc.poll() is not None or (pulse.streams() or 0) > 0,
                       "a playback stream from quarnel.exe", DEADLINE)
            assert show.proc.poll() is None, "quarnel.exe ended before it played: %s" % show.stderr()
            assert show.wait() == 0, show.stderr()
        finally:
            pulse.remove()
    run_case(body)


def test_rounds_of_every_target_verify_alike():
    # The rounds recorded on Linux, on Windows and in a page replay to the same rounds here: every checksum
    # agrees and each line is the one the other targets print.
    from rounds import ROUNDS_DIR, expected_lines, verify_line

    def body(prefix, display, scratch):
        for name, expected in expected_lines().items():
            path = "S:\\" + os.path.relpath(os.path.join(ROUNDS_DIR, name), SOURCE).replace("/", "\\")
            show = WineShow(prefix, "--replay", path, "--verify", "--batch", display=display, program=CLI)
            status = show.wait(deadline=5 * DEADLINE)
            assert status == 0, (name, show.stdout(), show.stderr())
            assert verify_line(show.stdout().replace("\r\n", "\n"), path) == expected, (name, show.stdout())
    run_case(body)


def test_video_to_mp4():
    def body(prefix, display, scratch):
        video = os.path.join(scratch, "round.mp4")
        show = WineShow(prefix, "--video", windows_path(video), "--seconds", "2", "--batch", display=display)
        assert show.wait(deadline=5 * DEADLINE) == 0, show.stderr()
        probe = json.loads(subprocess.run(
            ["ffprobe", "-v", "error", "-show_streams", "-show_format", "-of", "json", video],
            capture_output=True, text=True, check=True).stdout)
        streams = {s["codec_type"]: s for s in probe["streams"]}
        assert streams["video"]["codec_name"] == "h264", streams
        assert (streams["video"]["width"], streams["video"]["height"]) == (800, 600), streams
        assert streams["audio"]["codec_name"] == "aac", streams
        assert abs(float(probe["format"]["duration"]) - 2.0) < 0.1, probe["format"]
        # Matroska needs VP9 and Opus, which this build leaves out: a clear refusal, status 1, no file.
        refused = os.path.join(scratch, "round.mkv")
        show = WineShow(prefix, "--video", windows_path(refused), "--seconds", "1", "--batch", display=display)
        assert show.wait() == 1, show.stderr()
        assert "libvpx-vp9" in show.stderr() or "VP9" in show.stderr(), show.stderr()
        assert not os.path.exists(refused)
    run_case(body)


if __name__ == "__main__":
    globals()["test_" + sys.argv[1]]()
    print("passed")
