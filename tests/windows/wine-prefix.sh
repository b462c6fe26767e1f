#!/usr/bin/env bash
# Makes a fresh Wine prefix for the Windows tests and prints its path: 64-bit, without Mono and Gecko, and
# without the Z: drive that Wine maps to "/" (a Windows program run as root could write any Linux path
# through it). The programs under test see only the drives given here:
#   tests/windows/wine-prefix.sh BUILD_DIR SOURCE_DIR      D: = BUILD_DIR, S: = SOURCE_DIR, C: the prefix
# Its wineserver is started with its output sent away (Wine's services would otherwise hold the caller's
# output pipe open); stop it with `WINEPREFIX=... wineserver -k`.
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
prefix=$(mktemp -d /tmp/quarnel-wine.XXXXXX)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot -i >/dev/null 2>&1 </dev/null
wineserver -w
rm -f "$prefix/dosdevices/z:"
ln -s "$build" "$prefix/dosdevices/d:"
ln -s "$source" "$prefix/dosdevices/s:"
if [[ -e $prefix/dosdevices/z: ]]; then
    echo "the prefix still has its Z: drive" >&2
    exit 1
fi
wineserver -p </dev/null >/dev/null 2>&1
# Wine's own services start with the first program and stay while the server does: started here, with
# their output sent away, the first test does not pay for them (nor wait on them).
wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
echo "$prefix"
