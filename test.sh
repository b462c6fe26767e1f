#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite under Xvfb, the show through the
# GL 1.x layer (its own build), then the unit tests again built with AddressSanitizer and
# UndefinedBehaviorSanitizer, then the sound and music tests (the threads of the sound layer) built with
# ThreadSanitizer, then the Windows build under Wine, then the browser build in headless Chromium.
#   ./test.sh [--no-windows] [--no-web]
# QUARNEL_SKIP_WINDOWS=1 and QUARNEL_SKIP_WEB=1 also skip those steps (said so, never silently).
set -euo pipefail
cd "$(dirname "$0")"
skip_windows=${QUARNEL_SKIP_WINDOWS:-0}
skip_web=${QUARNEL_SKIP_WEB:-0}
for arg in "$@"; do
    case $arg in
        --no-windows) skip_windows=1 ;;
        --no-web) skip_web=1 ;;
        *) echo "usage: ./test.sh [--no-windows] [--no-web]" >&2; exit 2 ;;
    esac
done
# Each step says when it starts, counted from the start, so that a slow step shows in the log.
step() { printf 'test.sh: [%d:%02d] %s\n' $((SECONDS / 60)) $((SECONDS % 60)) "$1"; }
# How many tests a step ran, so that a run with fewer than the last shows it.
count_tests() {
    local dir=$1; shift
    printf 'test.sh: %s tests in %s\n' "$(ctest --test-dir "$dir" -N "$@" | sed -n 's/^Total Tests: //p')" "$dir"
}
step "packages"
./scripts/install-deps.sh packages.txt packages-test.txt

# Formatting: every tracked C and C++ source as clang-format leaves it (the effects under data/ are GLSL
# under a C++ name, and stay as written).
git ls-files '*.cpp' '*.h' '*.c' | grep -v '^data/' | xargs clang-format --dry-run -Werror

# Compiled objects are cached outside the clone (ccache), so that a fresh clone compiles again only what
# changed: every build below, the Windows and browser ones included, goes through it. Paths inside the
# clone are hashed relative to it, so clones in other folders share the cache. A work tree whose files are
# edited while it builds can store an object of the edited file under the unedited file's hash: builds of
# trees being worked on use a cache of their own (CCACHE_DIR), not this one.
if [[ ${QUARNEL_NO_CCACHE:-0} != 1 ]] && command -v ccache >/dev/null; then
    if [[ -z ${CCACHE_DIR:-} ]]; then
        if [[ $(id -u) -eq 0 ]]; then CCACHE_DIR=/var/cache/quarnel/ccache
        else CCACHE_DIR=${XDG_CACHE_HOME:-$HOME/.cache}/quarnel/ccache; fi
    fi
    export CCACHE_DIR CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-6G}
    export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi

jobs=$(nproc)
# End-to-end tests spend much of their time waiting on the rasteriser's threads, a window or a file: CTest
# runs two more of them than there are cores (each on an X display of its own).
test_jobs=${QUARNEL_TEST_JOBS:-$((jobs + 2))}

# The Windows and browser libraries are built from Debian's sources into a cache outside the clone: most of
# an hour on a new machine, found at once once cached. They build in the background, one target after the
# other at a lower priority, while the Linux tests run; each step below waits for its own.
lib_logs=$(mktemp -d)
lib_job=
start_libs() {
    # A session of its own, so that an early end of this script stops the whole build (trap below).
    setsid nice -n 10 bash -c 'logs=$1; shift
        for target in "$@"; do
            status=0
            scripts/cross/build-libs.sh "$target" >"$logs/$target.log" 2>&1 || status=$?
            echo "$status" >"$logs/$target.status"
        done' _ "$lib_logs" "$@" &
    lib_job=$!
}
wait_libs() {
    while [[ ! -f $lib_logs/$1.status ]]; do
        kill -0 "$lib_job" 2>/dev/null || [[ -f $lib_logs/$1.status ]] ||
            { echo "test.sh: the library build ended before the $1 libraries" >&2; exit 1; }
        sleep 1
    done
    if [[ $(cat "$lib_logs/$1.status") != 0 ]]; then
        cat "$lib_logs/$1.log" >&2
        echo "test.sh: the $1 libraries failed to build" >&2
        exit 1
    fi
}
trap '[[ -z $lib_job ]] || kill -- "-$lib_job" 2>/dev/null || true; rm -rf "$lib_logs"' EXIT

step "the Linux build and its tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARNEL_TESTS=ON -DQUARNEL_BENCH=ON
cmake --build build -j "$jobs"
libs=()
[[ $skip_windows == 1 ]] || libs+=(win64)
[[ $skip_web == 1 ]] || libs+=(web)
((${#libs[@]} == 0)) || start_libs "${libs[@]}"
export SDL_AUDIODRIVER=dummy
# Every test runs once: the end-to-end tests wait for what they need (a window, frames drawn, a file), so a
# test that passes only on a second try is a fault to mend, not to retry. The unit and GL tests share this
# xvfb-run display; every end-to-end test starts an X server of its own.
xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
    ctest --test-dir build --output-on-failure -j "$test_jobs"
count_tests build

# The show through the GL 1.x layer over OpenGL ES 3.0 (the browser's way of drawing, built natively):
# only the show and the layer's GL test; its picture guard holds the show to the references within a
# tolerance.
step "the show through the GL 1.x layer"
cmake -S . -B build-layer -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARNEL_GL_LAYER=ON -DQUARNEL_BENCH=OFF \
    -DQUARNEL_LINUX_SHOW_DIR="$PWD/build/show"
cmake --build build-layer -j "$jobs" --target quarnel gl_layer_test
xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
    ctest --test-dir build-layer -L gl_layer --output-on-failure -j "$jobs"
count_tests build-layer -L gl_layer

step "unit tests with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUARNEL_SANITIZE=ON -DQUARNEL_BENCH=OFF \
    -DQUARNEL_ASSETS=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan -L unit --output-on-failure -j "$jobs"
count_tests build-asan -L unit

# Only what the sound and music tests need; a real PulseAudio server is among them (the lost device).
step "sound and music tests with ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARNEL_TSAN=ON -DQUARNEL_BENCH=OFF \
    -DQUARNEL_ASSETS=OFF
cmake --build build-tsan -j "$jobs" --target sound_test music_test sound_device_test
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/support/tsan.supp" \
    ctest --test-dir build-tsan -R '^(Sound|Music)' --output-on-failure -j "$jobs"
count_tests build-tsan -R '^(Sound|Music)'

# Windows: the libraries cross-built from Debian's sources (cached outside the clone), the show and its unit
# and GL tests built with MinGW-w64 and run under Wine in a fresh prefix without the Z: drive, then
# quarnel.exe itself: the picture guard's frames, music, the command line and a video.
if [[ $skip_windows == 1 ]]; then
    echo "test.sh: SKIPPING the Windows build and its tests under Wine (asked for)"
else
    step "the Windows build and its tests under Wine"
    wait_libs win64
    scripts/build-windows.sh --tests
    xvfb-run -a -s "-screen 0 1024x768x24 -noreset" tests/windows/run-tests.sh build-win64 "$jobs"
fi

# The browser: the libraries built with emscripten from the same sources (cached outside the clone), the
# page in build-web/, and the page driven in headless Chromium: frames against the Linux references, the
# music through Web Audio, the dialog, the keys and the mouse.
if [[ $skip_web == 1 ]]; then
    echo "test.sh: SKIPPING the browser build and its tests in headless Chromium (asked for)"
else
    step "the browser build and its tests in headless Chromium"
    wait_libs web
    scripts/build-web.sh
    python3 tests/web/web_e2e.py all
fi
step "all passed"
