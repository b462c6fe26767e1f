#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite under Xvfb, then the unit tests
# again built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
export SDL_AUDIODRIVER=dummy
# A test that drives windows with xdotool on a shared, loaded machine gets one more try; a real fault
# fails both.
xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
    ctest --test-dir build --output-on-failure -j "$jobs" --repeat until-pass:2

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUARNEL_SANITIZE=ON -DQUARNEL_BENCH=OFF \
    -DQUARNEL_ASSETS=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan -L unit --output-on-failure -j "$jobs"
