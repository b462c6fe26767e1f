"""The two package lists: packages.txt (building and running the show, what ./run.sh installs) holds no
package of the tests or the cross builds, the lists do not overlap, and each script installs its lists.

Run: python3 package_lists_test.py (QUARNEL_SOURCE_DIR names the source tree; default: two folders up)."""
import os
import re
import unittest

SOURCE = os.environ.get("QUARNEL_SOURCE_DIR") or os.path.join(os.path.dirname(__file__), "..", "..")

# Packages (by pattern) that only the tests, the benchmarks, the Debian package or the Windows and browser
# builds use: none belongs in what a player's machine installs.
TEST_AND_CROSS = [
    r"mingw", r"^wine", r"^nasm$", r"^zip$", r"^emscripten", r"^chromium", r"^fonttools$", r"^clang",
    r"^libclang", r"^llvm", r"gtest", r"gmock", r"^libbenchmark", r"^lib3ds", r"^xdotool$", r"^x11-utils$",
    r"^pulseaudio", r"^imagemagick", r"^sox$", r"^vorbis-tools$", r"^ffmpeg$", r"^lintian$", r"^dpkg-dev$",
    r"^desktop-file-utils$", r"^appstream$", r"^man-db$", r"^librsvg", r"^libjpeg-turbo-progs$",
    r"^libstb", r"^python3", r"^libegl",
]


def read_list(name):
    with open(os.path.join(SOURCE, name)) as f:
        return [line.strip() for line in f if line.strip() and not line.lstrip().startswith("#")]


def install_lines(script):
    with open(os.path.join(SOURCE, script)) as f:
        return [line.split() for line in f if line.startswith("./scripts/install-deps.sh")]


class PackageLists(unittest.TestCase):
    def test_run_list_holds_no_test_or_cross_package(self):
        run = read_list("packages.txt")
        self.assertIn("libsdl2-dev", run)  # the file is the one meant, not an empty stand-in
        strays = [p for p in run if any(re.search(pattern, p) for pattern in TEST_AND_CROSS)]
        self.assertEqual(strays, [], "packages.txt holds packages of the tests or cross builds")

    def test_lists_are_disjoint_and_the_test_list_has_the_cross_tools(self):
        run, test = read_list("packages.txt"), read_list("packages-test.txt")
        self.assertEqual(sorted(set(run) & set(test)), [])
        self.assertEqual(len(test), len(set(test)))
        self.assertEqual(len(run), len(set(run)))
        for needed in ("libgtest-dev", "emscripten", "chromium", "wine", "g++-mingw-w64-x86-64-posix"):
            self.assertIn(needed, test)

    def test_run_installs_only_its_list_and_test_installs_both(self):
        self.assertEqual(install_lines("run.sh"), [["./scripts/install-deps.sh", "packages.txt"]])
        self.assertEqual(install_lines("test.sh"),
                         [["./scripts/install-deps.sh", "packages.txt", "packages-test.txt"]])


if __name__ == "__main__":
    unittest.main()
