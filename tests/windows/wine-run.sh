#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, in the prefix of tests/windows/wine-prefix.sh
# ($WINEPREFIX, which must have no Z: drive): CTest's emulator for the cross-built tests.
#   tests/windows/wine-run.sh PROGRAM.exe [ARG ...]
# Paths under the prefix's D: (build) and S: (source) drives are handed over as Windows paths, in the
# arguments and in QUARNEL_SOURCE_DIR / QUARNEL_BUILD_DIR; the working directory must lie under D: or S:.
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to a prefix made by tests/windows/wine-prefix.sh}"
if [[ -e $WINEPREFIX/dosdevices/z: ]]; then
    echo "wine-run: $WINEPREFIX has a Z: drive; make the prefix with tests/windows/wine-prefix.sh" >&2
    exit 125
fi
# Nothing else may lead out of the prefix (wine-prefix.sh made it so; Wine's services, started again with a
# new server, link the serial ports anew).
while IFS= read -r -d '' link; do
    case $link in "$WINEPREFIX/dosdevices/d:" | "$WINEPREFIX/dosdevices/s:") continue ;; esac
    case $(readlink -m "$link") in "$(readlink -f "$WINEPREFIX")" | "$(readlink -f "$WINEPREFIX")"/*) continue ;; esac
    echo "wine-run: $link in the prefix leads out of it to $(readlink "$link")" >&2
    exit 125
done < <(find "$WINEPREFIX" -type l -print0)
build=$(readlink -f "$WINEPREFIX/dosdevices/d:")
source=$(readlink -f "$WINEPREFIX/dosdevices/s:")
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="

windows_path() {
    local p=$1
    case $p in
        "$build" | "$build"/*) p="D:${p#"$build"}" ;;
        "$source" | "$source"/*) p="S:${p#"$source"}" ;;
        *) echo "$p"; return ;;
    esac
    p=${p//\//\\}
    [[ $p == ?: ]] && p="$p\\"
    echo "$p"
}

args=()
for a in "$@"; do args+=("$(windows_path "$a")"); done
# What CTest gives the tests on Linux (its test properties do not reach tests listed when they run).
export QUARNEL_SOURCE_DIR="$(windows_path "${QUARNEL_SOURCE_DIR:-$source}")"
export QUARNEL_BUILD_DIR="$(windows_path "${QUARNEL_BUILD_DIR:-$build}")"
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
exec wine "${args[@]}"
