#!/usr/bin/env bash
# Builds the show for the browser on this Debian machine:
#   scripts/build-web.sh
# 1. the libraries, built from Debian's sources with emscripten into a cache outside the clone
#    (scripts/cross/);
# 2. a Linux build in build/ for the generated assets (the generators run on Linux);
# 3. the show with emscripten in build-web-cmake/, through the GL 1.x layer over WebGL 2;
# 4. build-web/: index.html, quarnel.js, quarnel.wasm and quarnel.data (three data folders and the
#    dialog's font), the music in music/ (fetched only when it plays) and the icon, ready to be served
#    from any static host (scripts/serve-web.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
# Debian's Node.js does not look in Debian's module folder, where emscripten's optimiser finds acorn.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

prefix=$(scripts/cross/build-libs.sh web | tail -1)

music="[bEXAN] The lamp was distant.ogg"
icons=build/icons/hicolor
if [[ ! -f build/show/music/$music || ! -f $icons/48x48/apps/org.example.quarnel.png ]]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j "$jobs" --target quarnel_generated_assets quarnel_icons
fi

cmake -S . -B build-web-cmake -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/emscripten.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DQUARNEL_CROSS_PREFIX="$prefix" -DQUARNEL_LINUX_SHOW_DIR="$root/build/show" \
    >/dev/null
cmake --build build-web-cmake -j "$jobs" --target quarnel

out=build-web
rm -rf "$out.part"
mkdir -p "$out.part"
cp build-web-cmake/page/{quarnel.js,quarnel.wasm,quarnel.data} "$out.part/"
# The music beside, fetched by the page only for a show that plays it; the icon as the page's.
mkdir "$out.part/music"
cp "build/show/music/$music" "$out.part/music/"
cp "$icons/48x48/apps/org.example.quarnel.png" "$out.part/favicon.png"
cp "$icons/scalable/apps/org.example.quarnel.svg" "$out.part/favicon.svg"
# The page learns the files' sizes from here, for its progress in percent whatever the server sends.
sizes=""
for name in quarnel.js quarnel.wasm quarnel.data "music/$music"; do
    sizes+="${sizes:+, }\"$name\": $(stat -c %s "$out.part/$name")"
done
sed "s|{/\*@FILE_SIZES@\*/}|{$sizes}|" dist/web/index.html >"$out.part/index.html"
grep -q '"quarnel.wasm": [0-9]' "$out.part/index.html" || { echo "the page did not take the file sizes" >&2; exit 1; }
# Nothing in the page may name a folder of the build machine.
if grep -rl -e "$root" -e "$prefix" -e /var/cache/quarnel-cross "$out.part" >/dev/null; then
    echo "the page names a path of this machine:" >&2
    grep -rl -e "$root" -e "$prefix" -e /var/cache/quarnel-cross "$out.part" >&2
    exit 1
fi
rm -rf "$out"
mv "$out.part" "$out"
total=$(cat "$out"/quarnel.{js,wasm,data} | wc -c)
echo "$out/: quarnel.js $(stat -c %s "$out/quarnel.js"), quarnel.wasm $(stat -c %s "$out/quarnel.wasm"), quarnel.data $(stat -c %s "$out/quarnel.data") bytes; $total in all; the music $(stat -c %s "$out/music/$music") more when it plays"
