#!/usr/bin/env bash
# Installs what building and running the show need (packages.txt) where missing, builds the show, and
# starts it. Without a display it runs the show under Xvfb past its intro into the game and writes a
# screenshot (the tests and the other targets' packages are ./test.sh's: packages-test.txt).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh packages.txt
# Tests and benchmarks only where their libraries are installed already; only the show is built here.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARNEL_TESTS=AUTO -DQUARNEL_BENCH=AUTO \
    >/dev/null
cmake --build build -j "$(nproc)" --target quarnel
cd build/show
if [[ -n ${DISPLAY:-} ]]; then
    exec ./quarnel "$@"
fi
shot="$PWD/quarnel-screenshot.png"
# 84 frames at a quarter of a second each: 21 s of show time, so the 15 s intro is over and the first
# round has run long enough for its score, time and high score to be drawn whole.
echo "No display: running the show under Xvfb, 21 seconds of show time in 84 frames."
SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} xvfb-run -a -s "-screen 0 800x600x24" \
    ./quarnel --run --batch --frames 84 --fixed-step 0.25 --screenshot "$shot" "$@"
echo "Screenshot written to $shot"
