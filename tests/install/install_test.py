"""Tests of the installed show and its Debian package: `cmake --install` into a temporary folder with
DESTDIR, the installed program run from another folder under X, the desktop entry, metainfo, icons and
manual page checked with the tools that check them, and the package built by scripts/make-deb.sh.

Run one test: python3 install_test.py NAME (CTest registers each name)."""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
from png_pixels import mean_brightness, read_png  # noqa: E402

BUILD = os.environ["QUARNEL_BUILD_DIR"]
SOURCE = os.environ["QUARNEL_SOURCE_DIR"]
APP_ID = os.environ["QUARNEL_APP_ID"]
SHOW_DIR = os.path.join(BUILD, "show")
ICON_SIZES = (48, 64, 128, 256)


def run(args, **kw):
    r = subprocess.run(args, capture_output=True, text=True, **kw)
    assert r.returncode == 0, "%s failed (%d): %s%s" % (args[0], r.returncode, r.stdout, r.stderr)
    return r


def install(tmp):
    """Installs into tmp/root with the prefix /usr and returns the path of that prefix."""
    root = os.path.join(tmp, "root")
    run(["cmake", "--install", BUILD, "--prefix", "/usr"], env=dict(os.environ, DESTDIR=root))
    return os.path.join(root, "usr")


def show_env(**extra):
    e = dict(os.environ, SDL_AUDIODRIVER="dummy", LC_ALL="C")
    e.pop("QUARNEL_DATA_DIR", None)
    e.update(extra)
    return e


def run_frames(program, cwd, shot, **extra_env):
    # The camera follows the pointer: park it where both runs see it.
    subprocess.run(["xdotool", "mousemove", "400", "300"], env=show_env(), check=False)
    return subprocess.run([program, "--run", "--batch", "--windowed", "--no-music", "--fixed-step", "0.02",
                           "--frames", "30", "--screenshot", shot], cwd=cwd, env=show_env(**extra_env),
                          capture_output=True, text=True, timeout=300)


def test_installed_show_runs_from_another_folder():
    with tempfile.TemporaryDirectory() as tmp:
        usr = install(tmp)
        elsewhere = os.path.join(tmp, "elsewhere")
        os.mkdir(elsewhere)
        # A relative screenshot path lands where the program was started, not in the data folder.
        r = run_frames(os.path.join(usr, "bin", "quarnel"), elsewhere, "shot.png")
        assert r.returncode == 0, r.stderr
        assert "quarnel:" not in r.stderr, r.stderr  # no note about the data folder
        width, height, installed = read_png(os.path.join(elsewhere, "shot.png"))
        assert (width, height) == (800, 600)
        assert mean_brightness(installed) > 1, "the picture should not be black"

        r = run_frames(os.path.join(SHOW_DIR, "quarnel"), SHOW_DIR, os.path.join(tmp, "build.png"))
        assert r.returncode == 0, r.stderr
        assert installed == read_png(os.path.join(tmp, "build.png"))[2], "the installed show drew another frame"


def test_no_data_anywhere_names_every_place():
    with tempfile.TemporaryDirectory() as tmp:
        usr = install(tmp)
        lone = os.path.join(tmp, "lone")
        os.mkdir(lone)
        shutil.copy(os.path.join(usr, "bin", "quarnel"), lone)
        r = subprocess.run([os.path.join(lone, "quarnel"), "--run", "--batch"], cwd=tmp, env=show_env(),
                           capture_output=True, text=True, timeout=60)
        assert r.returncode == 1, r.stderr
        for place in (tmp + " (the working directory)", lone + " (beside the program)",
                      os.path.join(tmp, "share", "quarnel") + " (the installed data): no such folder",
                      "QUARNEL_DATA_DIR"):
            assert place in r.stderr, r.stderr

        # The variable points the same program at the installed data.
        data = os.path.join(usr, "share", "quarnel")
        r = run_frames(os.path.join(lone, "quarnel"), tmp, "shot.png", QUARNEL_DATA_DIR=data)
        assert r.returncode == 0, r.stderr
        assert os.path.exists(os.path.join(tmp, "shot.png"))


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", path
    return struct.unpack(">II", head[16:24])


def test_desktop_entry_and_metainfo_validate():
    with tempfile.TemporaryDirectory() as tmp:
        usr = install(tmp)
        desktop = os.path.join(usr, "share", "applications", APP_ID + ".desktop")
        r = run(["desktop-file-validate", desktop])
        assert r.stdout + r.stderr == "", r.stdout + r.stderr
        entry = open(desktop).read()
        assert "\nIcon=%s\n" % APP_ID in entry and "\nExec=quarnel\n" in entry, entry
        assert re.search(r"\nCategories=Game;", entry), entry

        metainfo = os.path.join(usr, "share", "metainfo", APP_ID + ".metainfo.xml")
        run(["appstreamcli", "validate", "--no-net", metainfo])
        version = run([os.path.join(usr, "bin", "quarnel"), "--version"]).stdout.split()[-1]
        release = ElementTree.parse(metainfo).getroot().find("releases/release")
        assert release.get("version") == version

        icons = os.path.join(usr, "share", "icons", "hicolor")
        for size in ICON_SIZES:
            assert png_size(os.path.join(icons, "%dx%d" % (size, size), "apps", APP_ID + ".png")) == (size, size)
        # The scalable icon draws the same star: bright in the middle, dark in the corner of its tile.
        svg = os.path.join(icons, "scalable", "apps", APP_ID + ".svg")
        ElementTree.parse(svg)
        png = os.path.join(tmp, "svg.png")
        run(["rsvg-convert", "-w", "64", "-h", "64", "-b", "black", svg, "-o", png])
        rows = read_png(png)[2]
        centre, corner = rows[32][3 * 32:3 * 33], rows[10][3 * 10:3 * 11]
        assert min(centre) > 200 and max(corner) < 60, (centre, corner)


def test_manual_page_renders_and_lists_every_option():
    page = os.path.join(BUILD, "dist", "quarnel.6")
    r = run(["man", "--warnings", "-l", page], env=dict(os.environ, MANWIDTH="100", LC_ALL="C.UTF-8"))
    assert r.stderr == "", r.stderr
    text = re.sub(".\b", "", r.stdout)
    for section in ("NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "CONTROLS", "FILES", "ENVIRONMENT",
                    "EXIT STATUS"):
        assert re.search(r"^%s$" % section, text, re.M), "no section " + section

    # The same long options as --help, and the program's version in the header.
    program = os.path.join(SHOW_DIR, "quarnel")
    usage = run([program, "--help"]).stdout
    from_help = set(re.findall(r"(?<![\w-])--[a-z][a-z-]*", usage))
    source = open(page).read()
    start = source.index(".SH OPTIONS")
    options = source[start:source.index(".SH", start + 1)]
    from_page = set(m.replace("\\-", "-") for m in re.findall(r"\\-\\-[a-z](?:[a-z]|\\-)*", options))
    assert from_help == from_page, "only in --help: %s; only in the page: %s" % (
        sorted(from_help - from_page), sorted(from_page - from_help))
    version = run([program, "--version"]).stdout.split()[-1]
    assert re.search(r'^\.TH QUARNEL 6 "[0-9-]+" "Quarnel %s"' % re.escape(version), source, re.M)


def test_package_holds_everything_installed():
    with tempfile.TemporaryDirectory() as tmp:
        # lintian runs too: the script fails when it reports an error.
        r = run([os.path.join(SOURCE, "scripts", "make-deb.sh"), "--build-dir", BUILD, "--out", tmp])
        assert not re.search(r"^E: ", r.stdout, re.M), r.stdout
        version = run([os.path.join(SHOW_DIR, "quarnel"), "--version"]).stdout.split()[-1]
        arch = run(["dpkg", "--print-architecture"]).stdout.strip()
        deb = os.path.join(tmp, "quarnel_%s_%s.deb" % (version, arch))
        assert run(["dpkg-deb", "-f", deb, "Version"]).stdout.strip() == version
        depends = run(["dpkg-deb", "-f", deb, "Depends"]).stdout
        assert "libsdl2-2.0-0" in depends and "libvorbisfile3" in depends, depends

        listing = run(["dpkg-deb", "-c", deb]).stdout
        files = set(line.split(" ./", 1)[1] for line in listing.splitlines())
        expected = ["usr/games/quarnel", "usr/share/quarnel/textures/blob41b.jpg",
                    "usr/share/quarnel/textures/superfilm3.jpg", "usr/share/quarnel/cgeffects/fragment_Blur256.cpp",
                    "usr/share/quarnel/meshes/Acknowledge_TT_BRK.ttf",
                    "usr/share/quarnel/music/[bEXAN] The lamp was distant.ogg",
                    "usr/share/applications/%s.desktop" % APP_ID, "usr/share/metainfo/%s.metainfo.xml" % APP_ID,
                    "usr/share/icons/hicolor/scalable/apps/%s.svg" % APP_ID, "usr/share/man/man6/quarnel.6.gz",
                    "usr/share/doc/quarnel/copyright", "usr/share/doc/quarnel/changelog.gz"]
        expected += ["usr/share/icons/hicolor/%dx%d/apps/%s.png" % (s, s, APP_ID) for s in ICON_SIZES]
        missing = [f for f in expected if f not in files]
        assert not missing, "not in the package: %s\n%s" % (missing, listing)
        textures = [f for f in files if f.startswith("usr/share/quarnel/textures/") and f.endswith(".jpg")]
        assert len(textures) == 23, textures


if __name__ == "__main__":
    globals()["test_" + sys.argv[1]]()
    print("passed")
