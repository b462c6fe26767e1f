#!/usr/bin/env bash
# Builds the Debian package quarnel_<version>_<arch>.deb from `cmake --install` into a staging tree, with
# the library dependencies computed from the program (dpkg-shlibdeps), then checks it with lintian.
# Without --build-dir it configures build-deb/ with Debian's hardening flags and builds only what is
# installed; with it, it packages an existing build folder (brought up to date first).
# Usage: scripts/make-deb.sh [--build-dir DIR] [--out DIR] [--no-lintian]
# Maintainer field: $DEBFULLNAME <$DEBEMAIL> when set.
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
build=""
out=$src
run_lintian=1
while [[ $# -gt 0 ]]; do
    case $1 in
        --build-dir) build=$(realpath "$2"); shift 2 ;;
        --out) out=$(realpath "$2"); shift 2 ;;
        --no-lintian) run_lintian=0; shift ;;
        -h|--help) sed -n '2,8s/^# \{0,1\}//p' "$0"; exit 0 ;;
        *) echo "make-deb.sh: unknown argument \"$1\" (see --help)" >&2; exit 2 ;;
    esac
done
for tool in dpkg-deb dpkg-shlibdeps dpkg-buildflags; do
    command -v "$tool" >/dev/null || { echo "make-deb.sh: $tool is missing (Debian package dpkg-dev)" >&2; exit 1; }
done

if [[ -z $build ]]; then
    build=$src/build-deb
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    cppflags=$(dpkg-buildflags --get CPPFLAGS)
    cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
        -DQUARNEL_BENCH=OFF -DQUARNEL_ASSETS=ON \
        -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $cppflags" \
        -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $cppflags" \
        -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target quarnel_install_files

# The package's version is the one the program reports, which is the project's VERSION.
version=$("$build/show/quarnel" --version | sed -n 's/^quarnel //p')
[[ -n $version ]] || { echo "make-deb.sh: the program does not report its version" >&2; exit 1; }
arch=$(dpkg --print-architecture)
maintainer="${DEBFULLNAME:-Quarnel developers} <${DEBEMAIL:-quarnel@example.org}>"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
root=$stage/debian/quarnel
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
# Debian keeps games in /usr/games; ../share/quarnel from there is the same data folder as from /usr/bin.
mv "$root/usr/bin" "$root/usr/games"
strip --remove-section=.comment --remove-section=.note --strip-unneeded "$root/usr/games/quarnel"

# The release date from the metainfo; it also dates the changelog and every file in the archive.
date=$(sed -n 's/.*<release version="[^"]*" date="\([^"]*\)".*/\1/p' "$root"/usr/share/metainfo/*.metainfo.xml)
[[ -n $date ]] || { echo "make-deb.sh: no release date in the metainfo" >&2; exit 1; }
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(date -u -d "$date" +%s)}

# Debian's documentation layout: the licence text lives in copyright, the changelog and the manual page
# are compressed, and so is every other text above 4 kB.
doc=$root/usr/share/doc/quarnel
rm -f "$doc/LICENSE"
cat >"$doc/changelog" <<EOF
quarnel ($version) unstable; urgency=medium

  * Release $version.

 -- $maintainer  $(LC_ALL=C date -u -R -d "@$SOURCE_DATE_EPOCH")
EOF
find "$doc" -type f ! -name copyright \( -name changelog -o -size +4k \) -exec gzip -9n {} +
gzip -9n "$root"/usr/share/man/man6/quarnel.6
find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f -exec chmod 0644 {} +
chmod 0755 "$root/usr/games/quarnel"

mkdir -p "$root/DEBIAN"  # marks the package's root for dpkg-shlibdeps

# Libraries from the program; the rest is what it opens at run time: SDL loads libGL (which brings Mesa),
# the setup dialog draws with DejaVu Sans, and xclip keeps the capture text on the clipboard after exit.
printf 'Source: quarnel\n\nPackage: quarnel\nArchitecture: any\n' >"$stage/debian/control"
shlibs=$(cd "$stage" && dpkg-shlibdeps -O debian/quarnel/usr/games/quarnel | sed -n 's/^shlibs:Depends=//p')
[[ -n $shlibs ]] || { echo "make-deb.sh: dpkg-shlibdeps found no dependencies" >&2; exit 1; }
rm "$stage/debian/control"

(cd "$root" && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/md5sums"
cat >"$root/DEBIAN/control" <<EOF
Package: quarnel
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $shlibs, libgl1, fonts-dejavu-core
Recommends: xclip
Section: games
Priority: optional
Description: audiovisual mini-game: steer glowing sprites through a sea of light
 Quarnel is a real-time audiovisual mini-game, a small demo in the
 demoscene sense. You steer a cluster of glowing sprites with the arrow
 keys through a drifting field of light blobs, the sea, while one music
 track plays. Inside the sea the picture and the music stay calm and
 points grow; outside it the picture tears along the music's spectrum,
 the music stutters, points drain and the countdown runs twice as fast.
 .
 Its textures and music are made by the game's own generator programs.
 It needs OpenGL with GLSL fragment shaders; Mesa's software renderer
 will do.
EOF

mkdir -p "$out"
deb=$out/quarnel_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "Built $deb ($(du -k "$deb" | cut -f1) kB; installed size $(du -sk --exclude=DEBIAN "$root" | cut -f1) kB)"

if [[ $run_lintian == 1 ]]; then
    if command -v lintian >/dev/null; then
        # lintian fails on errors; warnings and the rest are printed for reading.
        lintian --info --display-level ">=pedantic" --fail-on error "$deb"
    else
        echo "make-deb.sh: lintian is not installed, so the package was not checked" >&2
    fi
fi
