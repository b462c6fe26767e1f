#!/usr/bin/env bash
# Builds the show for 64-bit Windows on this Debian machine and packs it:
#   scripts/build-windows.sh [--tests] [--build-dir DIR]      (DIR: build-win64 unless given)
# 1. the libraries, cross-built from Debian's sources into a cache outside the clone (scripts/cross/);
# 2. a Linux build in build/ for the generated assets and the icon (the generators run on Linux, never
#    under Wine);
# 3. the show (and with --tests the unit tests) in DIR with MinGW-w64;
# 4. DIR/quarnel-VERSION-win64.zip: quarnel.exe (static: no DLLs), quarnel-cli.exe (the same show for a
#    command prompt), the four data folders, the dialog's font, README.txt and the licence texts of
#    everything linked in; beside it quarnel-VERSION-source.tar.gz (the project at this commit) and
#    quarnel-VERSION-win64-sources.txt (the Debian source packages the libraries were built from).
# The same commit gives the same zip, byte for byte: no link time in the programs, fixed dates, modes and
# order in the zip.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tests=OFF
out=build-win64
while (($#)); do
    case $1 in
        --tests) tests=ON ;;
        --build-dir) out=${2:?--build-dir wants a folder}; shift ;;
        *) echo "usage: scripts/build-windows.sh [--tests] [--build-dir DIR]" >&2; exit 2 ;;
    esac
    shift
done
jobs=$(nproc)

prefix=$(scripts/cross/build-libs.sh win64 | tail -1)

if [[ ! -f build/build.ninja ]]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build -j "$jobs" --target quarnel_generated_assets quarnel_icons

# A folder configured against another cache of libraries (a version or a recipe changed) keeps the paths
# CMake found there and would go on linking those libraries: it is configured afresh. The libraries' prefix
# the folder was last configured with is kept beside its CMake cache.
fresh=()
if [[ -f $out/CMakeCache.txt && $(cat "$out/cross-prefix.txt" 2>/dev/null) != "$prefix" ]]; then
    fresh=(--fresh)
fi
cmake "${fresh[@]}" -S . -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DQUARNEL_CROSS_PREFIX="$prefix" -DQUARNEL_LINUX_SHOW_DIR="$root/build/show" \
    -DQUARNEL_WINDOWS_ICON="$root/build/icons/quarnel.ico" -DQUARNEL_WINDOWS_TESTS=$tests >/dev/null
echo "$prefix" >"$out/cross-prefix.txt"
cmake --build "$out" -j "$jobs"

version=$(sed -n 's/^project(Quarnel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=quarnel-$version-win64
stage=$out/$name
rm -rf "$stage" "$out/$name.zip"

# The source of this program at this commit, and the Debian source packages of everything linked in: the
# libraries pinned in scripts/cross/sources.txt (GoogleTest only builds the tests), and the compiler's
# runtime (the MinGW-w64 C runtime and winpthreads, the GCC runtime and libstdc++) as installed here.
if [[ -n $(git status --porcelain --untracked-files=no 2>/dev/null) ]]; then
    echo "build-windows.sh: the tree has uncommitted changes; the source archive holds the last commit" >&2
fi
git archive --format=tar.gz --prefix="quarnel-$version/" -o "$out/quarnel-$version-source.tar.gz" HEAD
sources=$out/$name-sources.txt
{
    echo "Debian source packages of the libraries and runtime inside quarnel.exe (package=version):"
    awk '!/^#/ && NF >= 2 && $1 !~ /^googletest=/ { for (i = 2; i <= NF; i++) if ($i == "win64") print $1 }' \
        scripts/cross/sources.txt
    dpkg-query -W -f='${source:Package}=${source:Version}\n' mingw-w64-x86-64-dev \
        gcc-mingw-w64-x86-64-posix-runtime | sort -u
} >"$sources"

mkdir -p "$stage/licences"
# strip writes the PE header anew, with the time of day unless SOURCE_DATE_EPOCH says otherwise: 0, as the
# link left it (-Wl,--no-insert-timestamp).
for program in quarnel quarnel-cli; do
    SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-strip -o "$stage/$program.exe" "$out/show/$program.exe"
done
cp -r "$out"/show/{textures,cgeffects,meshes,music,fonts} "$stage/"
{
    sed "s/@VERSION@/$version/g" dist/windows/README.txt.in
    sed 's/^/  /' "$sources" | tail -n +2
} >"$stage/README.txt"
cp LICENSE "$stage/licences/Quarnel.txt"
cp dist/copyright "$stage/licences/copyright.txt"
cp dist/acknowledge.txt "$stage/licences/"
cp "$prefix"/licences/*.txt "$stage/licences/"
cp /usr/share/doc/fonts-dejavu-core/copyright "$stage/licences/DejaVu-fonts.txt"
# The compiler's runtime, linked into both programs: the MinGW-w64 C runtime and its thread library
# winpthreads (Debian's copyright file of mingw-w64 states both), and libgcc and libstdc++ (GPL 3 with the
# GCC Runtime Library Exception, whose full GPL text Debian keeps apart).
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$stage/licences/MinGW-w64-runtime-and-winpthreads.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licences/GCC-runtime-libstdc++.txt"
cp /usr/share/common-licenses/GPL-3 "$stage/licences/GPL-3.txt"
for f in "$stage/README.txt" "$stage"/licences/*; do
    [[ $f == *.txt ]] || { echo "build-windows.sh: $f is not a .txt file" >&2; exit 1; }
    sed -i 's/\r*$/\r/' "$f"
done
# Nothing in the package may name a folder of the build machine.
if grep -rl -e "$root" -e "$prefix" -e /var/cache/quarnel-cross "$stage" >/dev/null; then
    echo "the package names a path of this machine:" >&2
    grep -rl -e "$root" -e "$prefix" -e /var/cache/quarnel-cross "$stage" >&2
    exit 1
fi
# The same dates (the commit's), modes and order whatever the checkout, umask or time zone.
stamp=$(git log -1 --format=%cI 2>/dev/null || echo 2026-01-01T00:00:00Z)
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
chmod 755 "$stage"/*.exe
find "$stage" -exec touch -h -d "$stamp" {} +
(cd "$out" && find "$name" -print | LC_ALL=C sort | TZ=UTC zip -q -X -9 "$name.zip" -@)
echo "$out/$name.zip: $(stat -c %s "$out/$name.zip") bytes"
echo "$out/quarnel-$version-source.tar.gz: $(stat -c %s "$out/quarnel-$version-source.tar.gz") bytes"
echo "$sources"
