#!/usr/bin/env bash
# Makes a fresh Wine prefix for the Windows tests and prints its path: 64-bit, without Mono and Gecko, and
# without any door to the machine's files: no Z: drive (Wine maps it to "/", and a Windows program run as
# root could write any Linux path through it), and the user folders (Desktop, Documents, Downloads, Music,
# Pictures, Videos), which a fresh prefix links into the Linux home folder, made plain folders inside the
# prefix. The programs under test see only the drives given here:
#   tests/windows/wine-prefix.sh BUILD_DIR SOURCE_DIR      D: = BUILD_DIR, S: = SOURCE_DIR, C: the prefix
# A prefix where any link still leads out, other than D: and S:, is refused (status 1, removed).
# Its wineserver is started with its output sent away (Wine's services would otherwise hold the caller's
# output pipe open); stop it with `WINEPREFIX=... wineserver -k`.
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
prefix=$(readlink -f "$(mktemp -d /tmp/quarnel-wine.XXXXXX)")
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# The links of the prefix that lead out of it, other than the two drives given, NUL-separated.
links_out() {
    local link target
    while IFS= read -r -d '' link; do
        if [[ $link == "$prefix/dosdevices/d:" || $link == "$prefix/dosdevices/s:" ]]; then continue; fi
        target=$(readlink -m "$link")
        if [[ $target == "$prefix" || $target == "$prefix"/* ]]; then continue; fi
        printf '%s\0' "$link"
    done < <(find "$prefix" -type l -print0)
}

# Z: and every other link out (the user folders into the home folder, a drive or device Wine found) goes;
# a link under drive_c is a folder a program may use, so a plain folder takes its place.
cut_links_out() {
    local link
    while IFS= read -r -d '' link; do
        rm -f "$link"
        if [[ $link == "$prefix/drive_c/"* ]]; then mkdir -p "$link"; fi
    done < <(links_out)
}

refuse() {
    echo "wine-prefix: $1" >&2
    wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
    exit 1
}

wineboot -i >/dev/null 2>&1 </dev/null
wineserver -w
cut_links_out
ln -s "$build" "$prefix/dosdevices/d:"
ln -s "$source" "$prefix/dosdevices/s:"
wineserver -p </dev/null >/dev/null 2>&1
# Wine's own services start with the first program and stay while the server does: started here, with
# their output sent away, the first test does not pay for them (nor wait on them).
wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
# Wine's services, started with that program, link the machine's serial ports as COMn again: those links
# go too. They come back only when the services start again, with a new server (tests/windows/wine-run.sh
# checks before every program).
cut_links_out
# What is left must lead nowhere out (a link that could not be removed): refused otherwise.
if [[ -e $prefix/dosdevices/z: ]]; then
    refuse "the prefix still has its Z: drive"
fi
mapfile -d '' out < <(links_out)
if ((${#out[@]})); then
    refuse "links of the prefix still lead out of it: $(for l in "${out[@]}"; do printf '%s -> %s; ' "$l" "$(readlink "$l")"; done)"
fi
echo "$prefix"
