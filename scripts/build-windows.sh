#!/usr/bin/env bash
# Builds the show for 64-bit Windows on this Debian machine and packs it:
#   scripts/build-windows.sh [--tests]
# 1. the libraries, cross-built from Debian's sources into a cache outside the clone (scripts/cross/);
# 2. a Linux build in build/ for the generated assets (the generators run on Linux, never under Wine);
# 3. the show (and with --tests the unit tests) in build-win64/ with MinGW-w64;
# 4. build-win64/quarnel-VERSION-win64.zip: quarnel.exe (static: no DLLs), the four data folders, the
#    dialog's font, README.txt and the licence texts of everything inside.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tests=OFF
[[ ${1:-} == --tests ]] && tests=ON
jobs=$(nproc)

prefix=$(scripts/cross/build-libs.sh win64 | tail -1)

if [[ ! -f build/show/music/"[bEXAN] The lamp was distant.ogg" ]]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j "$jobs" --target quarnel_generated_assets
fi

cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DQUARNEL_CROSS_PREFIX="$prefix" -DQUARNEL_LINUX_SHOW_DIR="$root/build/show" \
    -DQUARNEL_WINDOWS_TESTS=$tests >/dev/null
cmake --build build-win64 -j "$jobs"

# The zip.
version=$(sed -n 's/^project(Quarnel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=quarnel-$version-win64
stage=build-win64/$name
rm -rf "$stage" "build-win64/$name.zip"
mkdir -p "$stage/licences"
x86_64-w64-mingw32-strip -o "$stage/quarnel.exe" build-win64/show/quarnel.exe
cp -r build-win64/show/{textures,cgeffects,meshes,music,fonts} "$stage/"
sed "s/@VERSION@/$version/g" dist/windows/README.txt.in | sed 's/$/\r/' >"$stage/README.txt"
cp LICENSE "$stage/licences/Quarnel.txt"
cp dist/copyright dist/acknowledge.txt "$stage/licences/"
cp "$prefix"/licences/*.txt "$stage/licences/"
cp /usr/share/doc/fonts-dejavu-core/copyright "$stage/licences/DejaVu-fonts.txt"
for f in "$stage"/licences/*.txt; do sed -i 's/\r*$/\r/' "$f"; done
# Nothing in the package may name a folder of the build machine.
if grep -rl -e "$root" -e "$prefix" -e /var/cache/quarnel-cross "$stage" >/dev/null; then
    echo "the package names a path of this machine:" >&2
    grep -rl -e "$root" -e "$prefix" -e /var/cache/quarnel-cross "$stage" >&2
    exit 1
fi
# Stable dates and order, so that the same build gives the same zip.
find "$stage" -exec touch -h -d "$(git log -1 --format=%cI 2>/dev/null || echo 2026-01-01)" {} +
(cd build-win64 && find "$name" -print | LC_ALL=C sort | zip -q -X -9 "$name.zip" -@)
echo "build-win64/$name.zip: $(stat -c %s "build-win64/$name.zip") bytes"
