"""End-to-end tests of the whole show: the real executable under Xvfb with its generated data, read back
through its screenshots, standard error and exit status.

Run one test: python3 show_e2e.py NAME (CTest registers each name)."""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(__file__))
from png_pixels import band_edge_shifts, count_pixels, mean_brightness, read_png, specks  # noqa: E402
import show_frames  # noqa: E402
from show_driver import SHOW_DIR, Frames, PulseServer, Show, env, wait_until  # noqa: E402

TITLE = "Quarnel game. Kelm 2006"
STEP = "0.02"


def centre_mouse():
    # The camera of the layers follows the cursor; park it at the camera's rest point.
    subprocess.run(["xdotool", "mousemove", "400", "300"], env=env(), check=False)


def run_frames(frames, *extra, cwd=SHOW_DIR):
    """Runs the show for a number of fixed-step frames and returns (status, stderr, screenshot rows)."""
    centre_mouse()
    with tempfile.TemporaryDirectory() as tmp:
        png = os.path.join(tmp, "shot.png")
        show = Show("--run", "--windowed", "--no-music", "--batch", "--fixed-step", STEP, "--frames", str(frames),
                    "--screenshot", png, *extra, cwd=cwd)
        try:
            status = show.wait(deadline=600)
            rows = read_png(png)[2] if os.path.exists(png) else None
            return status, show.stderr(), rows
        finally:
            show.kill()


def is_red(r, g, b):
    return r > 150 and g < 90 and b < 90


def test_intro_shows_red_lines_on_a_dimmed_picture():
    # 7 seconds in: the intro lines stand in full.
    rows = show_frames.rows(show_frames.INTRO_FRAME)
    # The lines give about 26,000 red pixels; the picture without them has about 2,500 of its own.
    red = count_pixels(rows, is_red)
    assert red > 10000, "expected the red intro lines, found %d red pixels" % red
    assert mean_brightness(rows) < 60, "the intro picture should be dimmed"


def region(rows, top, bottom, left, right):
    return [row[3 * left:3 * right] for row in rows[top:bottom]]


def test_after_the_intro_score_and_time_show_near_the_player():
    # 20 seconds: the first round has run 5 seconds, so its texts have fully assembled; the player waits
    # at the origin.
    rows = show_frames.rows(show_frames.AFTER_THE_INTRO_FRAME)
    # The game plane is seen from 10 units: the score stands 2 units above the player (around row 222),
    # the time 2 units below (around row 378), both drawn in flat colour over the picture.
    yellow = count_pixels(region(rows, 190, 250, 280, 520), lambda r, g, b: r >= 245 and g >= 245 and b <= 90)
    white = count_pixels(region(rows, 350, 400, 280, 520), lambda r, g, b: r >= 245 and g >= 245 and b >= 245)
    assert yellow > 200, "expected the yellow score above the player, found %d yellow pixels" % yellow
    assert white > 300, "expected the white time below the player, found %d white pixels" % white


def test_same_frame_number_gives_the_same_picture():
    # The shared run's first frame drawn again by a run of its own, with the same step and pointer.
    n = show_frames.GUARD_FRAMES[0]
    with tempfile.TemporaryDirectory() as tmp:
        show_frames.capture_frames(tmp, (n,))
        again = read_png(os.path.join(tmp, show_frames.frame_name(n)))[2]
    assert again == show_frames.rows(n), "frame %d differed between two runs" % n


# The last frame of one run far outside the sea, which the grain and band tests both read: CTest runs
# `show_e2e.py write_outside_the_sea` first (the fixture e2e.outside_the_sea_run).
OUTSIDE_THE_SEA_PNG = os.path.join(show_frames.BUILD, "tests", "outside-the-sea", "last-frame.png")


def write_outside_the_sea():
    folder = os.path.dirname(OUTSIDE_THE_SEA_PNG)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    run_outside_the_sea(OUTSIDE_THE_SEA_PNG, close_box=True)


def outside_the_sea():
    assert os.path.exists(OUTSIDE_THE_SEA_PNG), ("no run outside the sea in %s: run `ctest -R "
                                                 "e2e.outside_the_sea_run` first" % OUTSIDE_THE_SEA_PNG)
    return read_png(OUTSIDE_THE_SEA_PNG)[2]


def run_outside_the_sea(png, close_box=False):
    """Plays the show with its music until the player is far outside the sea, and saves the last frame.
    Show time goes by frames of a fixed step, so the waits are in show time whatever the machine's pace;
    the music plays at its own pace into SDL's dummy device and its spectrum tears the picture."""
    centre_mouse()
    with tempfile.TemporaryDirectory() as tmp:
        step = 0.05  # about the pace of a real run here, so that a held key steps as often
        show = Show("--run", "--windowed", "--batch", "--fixed-step", str(step), "--screenshot", png,
                    "--capture", tmp)
        try:
            win = show.find_window(TITLE)
            frames = Frames(show, tmp)
            per_second = round(1 / step)
            # The end of the intro (15 seconds inside the sea) brings the player back to the origin; then
            # 3 seconds at full speed ahead carry the player far beyond the sea.
            frames.wait_for(16 * per_second, deadline=600)
            show.focus(win)
            show.xdotool("keydown", "Up")
            frames.wait_more(3 * per_second, deadline=300)
            show.xdotool("keyup", "Up")
            frames.wait_more(per_second, deadline=300)
            if close_box:
                # The close box ends the show at once, without the fade that Escape starts: the last frame
                # shows the music at full volume.
                show.close(win)
                assert show.wait() == 0, show.stderr()
            else:
                assert show.key_until_exit(win, "Escape") == 0, show.stderr()
        finally:
            show.kill()
    return read_png(png)[2]


def test_outside_the_sea_the_film_grain_is_stronger():
    outside = outside_the_sea()
    inside = show_frames.rows(show_frames.IN_THE_SEA_FRAME)  # after the intro, the player at the origin
    # Outside, the grain is drawn at full strength instead of a fifth (the torn bands are checked below).
    assert specks(outside) > 3 * max(5, specks(inside)), (specks(outside), specks(inside))


def test_outside_the_sea_the_music_pushes_the_bands_apart():
    rows = outside_the_sea()
    # Bands of 20 of the strip's 800 rows (about 15 window rows), each edge pushing its two bands apart by
    # 60 pixels times the sum of their two spectrum values: with the track's beat most edges move 15 pixels
    # or more, where a spectrum of a few hundredths would move them by a few.
    spacing, jumps = band_edge_shifts(rows)
    assert 14.5 < spacing < 16, "no bands of 20 strip rows: spacing %.2f, edges %s" % (spacing, jumps)
    wide = [shift for row, shift, match in jumps if abs(shift) >= 15 and match <= 0.8]
    assert len(wide) >= 5, "too few band edges pushed 15 pixels apart: %s" % jumps


def copy_show(tmp):
    work = os.path.join(tmp, "show")
    shutil.copytree(SHOW_DIR, work, symlinks=True)
    return work


def test_missing_texture_ends_with_the_jpg_box():
    with tempfile.TemporaryDirectory() as tmp:
        work = copy_show(tmp)
        os.remove(os.path.join(work, "textures", "2-3.jpg"))
        show = Show("--run", "--windowed", "--no-music", "--batch", cwd=work)
        assert show.wait() == 0, show.stderr()
        assert "[Jpg] textures/2-3.jpg" in show.stderr(), show.stderr()


def test_missing_effect_file_still_shows_the_show():
    with tempfile.TemporaryDirectory() as tmp:
        work = copy_show(tmp)
        os.remove(os.path.join(work, "cgeffects", "fragment_Blur256.cpp"))
        status, err, rows = run_frames(60, cwd=work)
        assert status == 0, err
        assert rows is not None and mean_brightness(rows) > 1, "the picture should not be black"


def test_music_off_needs_no_music_file():
    with tempfile.TemporaryDirectory() as tmp:
        work = copy_show(tmp)
        shutil.rmtree(os.path.join(work, "music"))
        status, err, rows = run_frames(5, cwd=work)
        assert status == 0, err
        assert "FMod" not in err, err


def test_missing_music_file_ends_with_status_0():
    with tempfile.TemporaryDirectory() as tmp:
        work = copy_show(tmp)
        shutil.rmtree(os.path.join(work, "music"))
        show = Show("--run", "--windowed", "--batch", "--frames", "5", cwd=work)
        assert show.wait() == 0, show.stderr()
        assert "[Kelm Quarnel the game  ] Problem initializing FMod. \nNo sound file." in show.stderr(), show.stderr()


def test_sound_system_that_cannot_start_ends_with_status_1():
    show = Show("--run", "--windowed", "--batch", "--frames", "5", extra_env={"SDL_AUDIODRIVER": "no-such-driver"})
    assert show.wait() == 1, show.stderr()
    err = show.stderr()
    # The box keeps its words and title, and says how to go on without sound in a second paragraph of its
    # own (a program started by double-click has no standard error to say it on).
    box = ('[Vudedad arudud 3. Morvain !  ] Problem initializing FMod. \nProgram will now exit.\n\n'
           'The show runs without a sound device when "Music" is unticked in the setup dialog (or with '
           '--no-music).\n')
    assert err.count(box) == 1, err
    assert err.count("--no-music") == 1, err


def test_music_plays_with_the_show():
    show = Show("--run", "--windowed", "--batch", "--frames", "30")
    assert show.wait(deadline=300) == 0, show.stderr()
    assert "FMod" not in show.stderr(), show.stderr()


def test_a_lost_sound_server_leaves_the_show_running():
    server = PulseServer()
    server.start()
    with tempfile.TemporaryDirectory() as tmp:
        show = Show("--run", "--windowed", "--batch", "--capture", tmp, extra_env=server.env)
        try:
            win = show.find_window(TITLE)
            wait_until(lambda: server.streams() == 1, "the show's music on the server")
            counter = Frames(show, tmp)
            before = counter.rate(4)
            server.stop()
            show.wait_stderr("the output device is gone")
            during = counter.rate(4)
            # Drawing goes on at its pace while the music is gone: nothing waits for the sound server.
            assert during > 0.6 * before, "%.1f frames a second before, %.1f without the server" % (before, during)
            show.focus(win)
            show.xdotool("mousemove", "--window", win, "500", "200")
            show.xdotool("click", "2")
            server.start()
            show.wait_stderr("an output device is back")
            wait_until(lambda: server.streams() == 1, "the music to come back to the server")
            assert show.key_until_exit(win, "Escape") == 0, show.stderr()
            assert "Cam :" in show.stdout(), show.stdout()
        finally:
            show.kill()
            server.remove()


if __name__ == "__main__":
    if sys.argv[1] == "write_outside_the_sea":
        write_outside_the_sea()
        print("wrote " + OUTSIDE_THE_SEA_PNG)
        sys.exit(0)
    globals()["test_" + sys.argv[1]]()
    print("passed")
