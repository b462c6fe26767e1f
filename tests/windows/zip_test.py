"""Tests of the Windows zip that scripts/build-windows.sh writes, read on Linux (no Wine needed): the two
programs carry their icon, version information and manifest and no link time; the zip holds every licence
as a Windows text file and says where the corresponding source is, which lies beside it; and a second
build of the same commit gives the same zip, byte for byte.

    python3 zip_test.py CASE      (CTest of the Windows build registers every case)
QUARNEL_WIN_BUILD_DIR names the Windows build (default build-win64) whose zip is read."""
import os
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile
import xml.etree.ElementTree as ElementTree
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
import pe_resources  # noqa: E402

BUILD = os.path.abspath(os.environ.get("QUARNEL_WIN_BUILD_DIR", os.path.join(SOURCE, "build-win64")))


def version():
    with open(os.path.join(SOURCE, "CMakeLists.txt")) as f:
        return re.search(r"^project\(Quarnel VERSION ([0-9.]+)", f.read(), re.M).group(1)


def zip_path(build=BUILD):
    path = os.path.join(build, "quarnel-%s-win64.zip" % version())
    assert os.path.exists(path), "no %s: run scripts/build-windows.sh first" % path
    return path


def member(archive, name):
    return archive.read("quarnel-%s-win64/%s" % (version(), name))


def test_programs_carry_their_icon_version_and_manifest():
    want = tuple(int(n) for n in version().split(".")) + (0,)
    with zipfile.ZipFile(zip_path()) as archive:
        for name, subsystem in (("quarnel.exe", "gui"), ("quarnel-cli.exe", "console")):
            program = pe_resources.Program(member(archive, name))
            assert program.timestamp == 0, "%s carries its link time (%d)" % (name, program.timestamp)
            assert program.subsystem == subsystem, (name, program.subsystem)

            icons = program.icons()
            sizes = sorted(w for w, h, bits, picture in icons)
            assert {16, 24, 32, 48, 256} <= set(sizes), "%s: icon sizes %s" % (name, sizes)
            for width, height, bits, picture in icons:
                assert width == height and bits == 32, (name, width, height, bits)
                if width == 256:
                    assert picture[:8] == b"\x89PNG\r\n\x1a\n", "%s: the 256-pixel icon is no PNG" % name
                else:  # a bitmap of twice the height (colour and mask)
                    assert picture[:4] == b"\x28\0\0\0", name
                    assert int.from_bytes(picture[4:8], "little") == width, name
                    assert int.from_bytes(picture[8:12], "little") == 2 * width, name

            fixed, strings = program.version()
            assert fixed == want, "%s: file version %s, the project's is %s" % (name, fixed, want)
            for key in ("FileVersion", "ProductVersion"):
                assert strings.get(key) == version(), (name, key, strings)
            assert strings.get("OriginalFilename") == name, strings
            assert strings.get("ProductName") == "Quarnel", strings

            manifest = program.manifest()
            assert manifest, "%s has no manifest" % name
            root = ElementTree.fromstring(manifest)
            ns = {"v1": "urn:schemas-microsoft-com:asm.v1", "v3": "urn:schemas-microsoft-com:asm.v3",
                  "c": "urn:schemas-microsoft-com:compatibility.v1",
                  "s2016": "http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                  "s2019": "http://schemas.microsoft.com/SMI/2019/WindowsSettings"}
            identity = root.find("v1:assemblyIdentity", ns)
            assert identity.get("version") == "%s.0" % version(), identity.attrib
            awareness = root.find("v3:application/v3:windowsSettings/s2016:dpiAwareness", ns)
            assert awareness is not None and awareness.text.startswith("PerMonitorV2"), manifest
            code_page = root.find("v3:application/v3:windowsSettings/s2019:activeCodePage", ns)
            assert code_page is not None and code_page.text == "UTF-8", manifest
            systems = {e.get("Id") for e in root.findall("c:compatibility/c:application/c:supportedOS", ns)}
            assert "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}" in systems, systems  # Windows 10 and 11
            controls = [e for e in root.iter("{urn:schemas-microsoft-com:asm.v1}assemblyIdentity")
                        if e.get("name") == "Microsoft.Windows.Common-Controls"]
            assert controls and controls[0].get("version") == "6.0.0.0", manifest


def test_zip_holds_every_licence_and_names_its_source():
    v = version()
    with zipfile.ZipFile(zip_path()) as archive:
        prefix = "quarnel-%s-win64/" % v
        names = archive.namelist()
        licences = sorted(n[len(prefix) + len("licences/"):] for n in names
                          if n.startswith(prefix + "licences/") and not n.endswith("/"))
        # What is linked into the programs, and the fonts: each has its licence.
        for wanted in ("Quarnel.txt", "copyright.txt", "acknowledge.txt", "DejaVu-fonts.txt", "SDL2.txt",
                       "SDL2_ttf.txt", "freetype.txt", "libogg.txt", "libvorbis.txt", "libpng.txt", "zlib.txt",
                       "kissfft.txt", "FFmpeg.txt", "x264.txt", "MinGW-w64-runtime-and-winpthreads.txt",
                       "GCC-runtime-libstdc++.txt", "GPL-3.txt"):
            assert wanted in licences, "no licences/%s in %s" % (wanted, licences)
        for name in licences + ["../README.txt"]:
            text = member(archive, "licences/" + name if not name.startswith("..") else name[3:])
            assert name.endswith(".txt"), name
            assert text.count(b"\n") == text.count(b"\r\n") > 0, "%s: not every line ends in CR LF" % name
        winpthreads = member(archive, "licences/MinGW-w64-runtime-and-winpthreads.txt").decode()
        assert "winpthreads" in winpthreads, "the thread library's terms are missing"
        assert "GCC RUNTIME LIBRARY EXCEPTION" in member(archive, "licences/GCC-runtime-libstdc++.txt").decode()

        # README.txt says where the corresponding source is, and lists the source packages.
        readme = member(archive, "README.txt").decode()
        assert "quarnel-%s-source.tar.gz" % v in readme, readme
        listed = set(re.findall(r"^  ([a-z0-9.+-]+)=\S+\r$", readme, re.M))
        for package in ("ffmpeg", "x264", "libsdl2", "libsdl2-ttf", "freetype", "libpng1.6", "zlib", "libogg",
                        "libvorbis", "kissfft", "mingw-w64", "gcc-mingw-w64"):
            assert package in listed, "README.txt does not list %s: %s" % (package, sorted(listed))
        assert "googletest" not in listed, "GoogleTest only builds the tests"

    # Beside the zip: the same list, and the project's source at this commit.
    with open(os.path.join(BUILD, "quarnel-%s-win64-sources.txt" % v)) as f:
        assert set(re.findall(r"^([a-z0-9.+-]+)=\S+$", f.read(), re.M)) == listed
    with tarfile.open(os.path.join(BUILD, "quarnel-%s-source.tar.gz" % v)) as tar:
        assert tar.pax_headers.get("comment") == head(), "the source archive is not of this commit"
        names = set(tar.getnames())
        for name in ("CMakeLists.txt", "scripts/build-windows.sh", "scripts/cross/sources.txt",
                     "platform/windows/console_launcher.cpp"):
            assert "quarnel-%s/%s" % (v, name) in names, name


def head():
    return subprocess.run(["git", "-C", SOURCE, "rev-parse", "HEAD"], capture_output=True, text=True,
                          check=True).stdout.strip()


def built_from(build):
    with tarfile.open(os.path.join(build, "quarnel-%s-source.tar.gz" % version())) as tar:
        return tar.pax_headers.get("comment")


def test_two_builds_give_the_same_zip():
    first = zip_path()
    assert built_from(BUILD) == head(), "the zip in %s is not of this commit: run scripts/build-windows.sh" % BUILD
    second_build = tempfile.mkdtemp(prefix="build-win64-again-", dir=SOURCE)
    try:
        # Compiled anew, not taken from the compiler cache the first build filled: the same bytes must come
        # from the compiler, not only from linking and packing the same objects again.
        r = subprocess.run([os.path.join(SOURCE, "scripts", "build-windows.sh"), "--build-dir", second_build],
                           cwd=SOURCE, capture_output=True, text=True, env=dict(os.environ, CCACHE_RECACHE="1"))
        assert r.returncode == 0, r.stdout + r.stderr
        second = zip_path(second_build)
        with open(first, "rb") as a, open(second, "rb") as b:
            if a.read() == b.read():
                return
        differ = []
        with zipfile.ZipFile(first) as a, zipfile.ZipFile(second) as b:
            if a.namelist() != b.namelist():
                differ.append("the order or names of the members")
            for info in a.infolist():
                other = b.getinfo(info.filename) if info.filename in b.namelist() else None
                if other is None or a.read(info) != b.read(other):
                    differ.append(info.filename)
                elif (info.date_time, info.external_attr) != (other.date_time, other.external_attr):
                    differ.append(info.filename + " (date or mode)")
        raise AssertionError("two builds of one commit gave different zips: %s" % ", ".join(differ or ["headers"]))
    finally:
        shutil.rmtree(second_build, ignore_errors=True)


if __name__ == "__main__":
    globals()["test_" + sys.argv[1]]()
    print("passed")
