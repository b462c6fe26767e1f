#!/usr/bin/env bash
# Remakes the picture guard's reference frames (tests/e2e/reference/frame*.png: frames 50, 300, 700 and
# 1200 of a run at a fixed step of 0.05 s) from a build, on a private Xvfb screen.
#
# The references are what every change to the renderer's speed is held to. Remake them only when the
# picture changes on purpose, and commit them in a commit of their own whose message says why.
# Usage: scripts/make-picture-references.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
if [[ ! -x "$build/show/quarnel" ]]; then
    echo "make-picture-references: $build/show/quarnel is missing; build the quarnel target first" >&2
    exit 1
fi
QUARNEL_BUILD_DIR="$build" SDL_AUDIODRIVER=dummy python3 "$root/tests/e2e/picture_guard.py" --remake
