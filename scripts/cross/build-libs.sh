#!/usr/bin/env bash
# Cross-builds the libraries the show links, from the Debian source packages pinned in sources.txt, for one
# target: win64 (MinGW-w64, posix threads) or web (emscripten). Static libraries only, installed into a
# cache folder outside the clone whose name is a hash of the pinned versions, the recipes, the target's
# toolchain and the compiler's version: a second run finds everything built and returns at once; a run that
# was cut off goes on with the libraries it had not finished.
#   scripts/cross/build-libs.sh win64|web      prints the installed prefix as its last line
# The cache lives in $QUARNEL_CROSS_CACHE (default /var/cache/quarnel-cross as root, else
# ~/.cache/quarnel-cross). Sources come through apt-get source with a private list of Debian's deb-src
# archives, so the machine's own apt sources stay as they are.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
target=${1:-}
case $target in
    win64 | web) ;;
    *) echo "usage: scripts/cross/build-libs.sh win64|web" >&2; exit 2 ;;
esac

if [[ -n ${QUARNEL_CROSS_CACHE:-} ]]; then cache=$QUARNEL_CROSS_CACHE
elif [[ $(id -u) -eq 0 ]]; then cache=/var/cache/quarnel-cross
else cache=${XDG_CACHE_HOME:-$HOME/.cache}/quarnel-cross
fi
jobs=$(nproc)
# Raise a target's number when a library's recipe below changes what it installs for that target.
case $target in
    win64) recipes=2 ;;  # 2: libvorbis with Debian's floating-point flags
    *) recipes=1 ;;
esac

# ---------------------------------------------------------------------------------------------------------
# The target's compilers

if [[ $target == win64 ]]; then
    host=x86_64-w64-mingw32
    toolchain=$root/cmake/toolchains/mingw-w64.cmake
    for tool in $host-gcc-posix $host-g++-posix; do
        command -v "$tool" >/dev/null || { echo "missing $tool: install g++-mingw-w64-x86-64-posix" >&2; exit 1; }
    done
    compiler="$($host-g++-posix --version | head -1)"
    cmake_configure() { cmake -DCMAKE_TOOLCHAIN_FILE="$toolchain" "$@"; }
else
    toolchain=$root/cmake/toolchains/emscripten.cmake
    command -v emcc >/dev/null || { echo "missing emcc: install emscripten" >&2; exit 1; }
    compiler="$(emcc --version 2>/dev/null | head -1)"
    # Debian's Node.js does not look in Debian's module folder, where emscripten's optimiser finds acorn.
    export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
    cmake_configure() { cmake -DCMAKE_TOOLCHAIN_FILE="$toolchain" "$@"; }
fi

pinned=$(awk -v t="$target" '!/^#/ && NF >= 2 { for (i = 2; i <= NF; i++) if ($i == t) print $1 }' \
    "$here/sources.txt")
key=$( { echo "$pinned"; echo "$recipes"; cat "$toolchain"; echo "$compiler"; } | sha256sum | cut -c1-12)
work=$cache/$target-$key
prefix=$work/prefix
if [[ -f $work/complete ]]; then
    echo "$prefix"
    exit 0
fi
mkdir -p "$work/stamps" "$work/build" "$prefix" "$cache/dl"
log=$work/build.log
echo "Building the $target libraries into $work (log: $log)" >&2

# ---------------------------------------------------------------------------------------------------------
# Fetching and unpacking a source package

apt_private=(-o Dir::Etc::SourceList="$cache/apt/sources.list" -o Dir::Etc::SourceParts=/nonexistent
             -o Dir::State::Lists="$cache/apt/lists" -o Dir::Cache="$cache/apt/cache" -o Debug::NoLocking=1
             -o APT::Sandbox::User=root)
apt_ready=0
prepare_apt() {
    (( apt_ready )) && return
    mkdir -p "$cache/apt/lists/partial" "$cache/apt/cache/archives/partial"
    local keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    {
        for suite in bookworm bookworm-updates; do
            echo "deb-src [signed-by=$keyring] http://deb.debian.org/debian $suite main"
        done
        echo "deb-src [signed-by=$keyring] http://deb.debian.org/debian-security bookworm-security main"
    } >"$cache/apt/sources.list"
    apt-get "${apt_private[@]}" -qq update >&2
    apt_ready=1
}

# Source folder of package=version, unpacked with Debian's patches applied (fetched once into dl/).
unpack() {
    local spec=$1 name=${1%%=*} version=${1#*=}
    local plain=${version#*:}  # file names carry no epoch
    local dsc=$cache/dl/${name}_${plain}.dsc
    if [[ ! -f $dsc ]]; then
        prepare_apt
        (cd "$cache/dl" && apt-get "${apt_private[@]}" -qq source --download-only "$name=$version" >&2) || {
            echo "cannot fetch the source of $name $version (is it still in Debian's archive?)" >&2
            exit 1
        }
    fi
    local dir=$work/build/src-$name
    rm -rf "$dir"
    dpkg-source --no-check -q -x "$dsc" "$dir" >>"$log" 2>&1
    echo "$dir"
}

version_of() { echo "$pinned" | grep "^$1=" | head -1; }

step() {
    local name=$1
    shift
    [[ -f $work/stamps/$name ]] && return
    echo "  $name ..." >&2
    local started=$SECONDS
    # In the background and waited for: a function called under "if" would run with "set -e" switched off.
    ( "$@" ) >>"$log" 2>&1 &
    if ! wait $!; then
        echo "building $name for $target failed; the end of $log:" >&2
        tail -30 "$log" >&2
        exit 1
    fi
    echo "  $name: $((SECONDS - started)) s" >&2
    touch "$work/stamps/$name"
}

# A CMake project of a source folder, configured for the target, built and installed into the prefix.
cmake_install() {
    local src=$1 name=$2
    shift 2
    local build=$work/build/$name
    rm -rf "$build"
    cmake_configure -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_ROOT_PATH="$prefix" -DBUILD_SHARED_LIBS=OFF \
        -DCMAKE_INSTALL_LIBDIR=lib -DCMAKE_INSTALL_INCLUDEDIR=include -DCMAKE_INSTALL_BINDIR=bin \
        -DCMAKE_POSITION_INDEPENDENT_CODE=ON "$@"
    cmake --build "$build" -j "$jobs"
    cmake --install "$build"
}

# The cache's own paths stay out of what the libraries record (assertion texts name their source files).
mapflags="-ffile-prefix-map=$work/build=/build"
export CFLAGS="${CFLAGS:-} $mapflags" CXXFLAGS="${CXXFLAGS:-} $mapflags"
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig:$prefix/share/pkgconfig
export PKG_CONFIG_PATH=

# A pkg-config file: NAME VERSION LIBS REQUIRES REQUIRES_PRIVATE CFLAGS.
write_pc() {
    local cflags='-I${includedir}'
    [[ -n ${6:-} ]] && cflags=$6
    mkdir -p "$prefix/lib/pkgconfig"
    cat >"$prefix/lib/pkgconfig/$1.pc" <<PC
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: $1
Description: $1
Version: $2
Requires: $4
Requires.private: $5
Libs: -L\${libdir} $3
Cflags: $cflags
PC
}

# ---------------------------------------------------------------------------------------------------------
# The libraries, each after what it needs

build_zlib() {
    local src build=$work/build/zlib
    src=$(unpack "$(version_of zlib)")
    rm -rf "$build"
    local lib
    if [[ $target == web ]]; then
        # Its CMake names the shared and the static library alike, and emscripten makes both static: the
        # fifteen sources are compiled here instead.
        mkdir -p "$build"
        local file
        for file in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate \
                    inftrees trees uncompr zutil; do
            emcc -O2 $CFLAGS -DHAVE_UNISTD_H -DHAVE_STDARG_H -c "$src/$file.c" -o "$build/$file.o"
        done
        emar rcs "$build/libz.a" "$build"/*.o
        cp "$src/zconf.h" "$build/zconf.h"
        lib=$build/libz.a
    else
        # Only the static library: the shared one wants a resource file that the Debian source leaves out.
        cmake_configure -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_POSITION_INDEPENDENT_CODE=ON
        cmake --build "$build" -j "$jobs" --target zlibstatic
        lib=$(find "$build" -maxdepth 1 -name 'libz*.a' | head -1)
    fi
    install -D -m 644 "$lib" "$prefix/lib/libz.a"
    install -D -m 644 "$src/zlib.h" "$build/zconf.h" -t "$prefix/include"
    write_pc zlib 1.2.13 "-lz" "" ""
    install -D -m 644 "$src/README" "$prefix/licences/zlib.txt"
}

build_libpng() {
    local src
    src=$(unpack "$(version_of libpng1.6)")
    cmake_install "$src" libpng -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
        -DZLIB_ROOT="$prefix" -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include" \
        -DPNG_ARM_NEON=off
    install -D -m 644 "$src/LICENSE" "$prefix/licences/libpng.txt"
}

build_freetype() {
    local src
    src=$(unpack "$(version_of freetype)")
    # With the zlib above: left alone, FreeType compiles its own copy, whose names clash with it.
    cmake_install "$src" freetype -DFT_REQUIRE_ZLIB=ON -DZLIB_LIBRARY="$prefix/lib/libz.a" \
        -DZLIB_INCLUDE_DIR="$prefix/include" -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
        -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
    install -D -m 644 "$src/docs/FTL.TXT" "$prefix/licences/freetype.txt"
}

build_ogg() {
    local src
    src=$(unpack "$(version_of libogg)")
    local sizes=()
    if [[ $target == web ]]; then
        # CMake finds a type's size in the program it links, and emscripten's program keeps its data in
        # the .wasm beside the .js that CMake reads: the sizes of wasm32 are given instead.
        local type size
        for type in INT16:2 UINT16:2 U_INT16:2 INT32:4 UINT32:4 U_INT32:4 INT64:8 SHORT:2 INT:4 LONG:4 \
                    LONG_LONG:8; do
            size=${type#*:}
            sizes+=(-DHAVE_${type%%:*}_SIZE=TRUE -D${type%%:*}_SIZE=$size)
        done
    fi
    cmake_install "$src" libogg -DINSTALL_DOCS=OFF -DBUILD_TESTING=OFF "${sizes[@]}"
    install -D -m 644 "$src/COPYING" "$prefix/licences/libogg.txt"
}

build_vorbis() {
    local src
    src=$(unpack "$(version_of libvorbis)")
    local flags=()
    if [[ $target == win64 ]]; then
        # The flags Debian's own build ends with (its configure's -O3 -ffast-math -fsigned-char, then
        # dpkg's -O2), so that the Windows show decodes the track into the same samples as the Linux show
        # with Debian's libvorbis: -ffast-math lets GCC regroup the sums of the inverse MDCT, and CMake's
        # plain -O3 build decodes about one sample in 3,700 a step of 16-bit rounding apart. The same GCC
        # release on both sides makes the same choices; the sound tests hold a digest of the mix to that.
        # (emscripten's clang regroups nothing under the same flags: the page keeps the plain build.)
        flags=(-DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG -ffast-math -fsigned-char -D_REENTRANT")
    fi
    cmake_install "$src" libvorbis -DBUILD_TESTING=OFF "${flags[@]}"
    install -D -m 644 "$src/COPYING" "$prefix/licences/libvorbis.txt"
}

build_kissfft() {
    local src
    src=$(unpack "$(version_of kissfft)")
    # Its CMake sets no install folders of its own for these targets: the ones given by cmake_install serve.
    cmake_install "$src" kissfft -DKISSFFT_STATIC=ON -DKISSFFT_TEST=OFF -DKISSFFT_TOOLS=OFF \
        -DKISSFFT_PKGCONFIG=ON -DKISSFFT_DATATYPE=float -DKISSFFT_OPENMP=OFF
    install -D -m 644 "$src/COPYING" "$prefix/licences/kissfft.txt"
}

build_sdl2() {
    local src
    src=$(unpack "$(version_of libsdl2)")
    local extra=()
    # The browser build runs on the page's main thread (no worker threads, which need special headers).
    [[ $target == web ]] && extra=(-DSDL_PTHREADS=OFF -DSDL_THREADS=OFF)
    cmake_install "$src" sdl2 -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=OFF \
        "${extra[@]}"
    install -D -m 644 "$src/LICENSE.txt" "$prefix/licences/SDL2.txt"
}

build_sdl2_ttf() {
    local src
    src=$(unpack "$(version_of libsdl2-ttf)")
    cmake_install "$src" sdl2-ttf -DSDL2TTF_SAMPLES=OFF -DSDL2TTF_HARFBUZZ=OFF -DSDL2TTF_VENDORED=OFF \
        -DSDL2TTF_INSTALL=ON -DSDL2_DIR="$prefix/lib/cmake/SDL2"
    # Its CMake installs no pkg-config file for these targets.
    write_pc SDL2_ttf 2.20.1 "-lSDL2_ttf" "sdl2" "freetype2" '-I${includedir}/SDL2'
    install -D -m 644 "$src/LICENSE.txt" "$prefix/licences/SDL2_ttf.txt"
}

build_googletest() {
    local src
    src=$(unpack "$(version_of googletest)")
    cmake_install "$src" googletest -DINSTALL_GTEST=ON -DBUILD_GMOCK=ON
}

build_x264() {
    local src
    src=$(unpack "$(version_of x264)")
    (
        cd "$src"
        ./configure --host=$host --cross-prefix=$host- --prefix="$prefix" --enable-static --disable-cli \
            --disable-opencl --bit-depth=8 --disable-lavf --disable-swscale --disable-ffms --disable-gpac \
            --disable-lsmash --extra-cflags="$mapflags"
        make -j "$jobs"
        make install
    )
    install -D -m 644 "$src/COPYING" "$prefix/licences/x264.txt"
}

# FFmpeg with the least the video needs: H.264 through libx264, its own AAC encoder, the MP4 muxer, the file
# protocol, swscale and swresample.
build_ffmpeg() {
    local src
    src=$(unpack "$(version_of ffmpeg)")
    (
        cd "$src"
        ./configure --prefix="$prefix" --target-os=mingw32 --arch=x86_64 --cross-prefix=$host- \
            --cc=$host-gcc-posix --cxx=$host-g++-posix --pkg-config=pkg-config --pkg-config-flags=--static \
            --enable-gpl --enable-static --disable-shared --disable-autodetect --disable-everything \
            --disable-programs --disable-doc --disable-network --disable-avdevice --disable-avfilter \
            --disable-postproc --disable-debug --enable-w32threads --extra-cflags="$mapflags" \
            --enable-libx264 --enable-encoder=libx264,aac --enable-muxer=mp4 --enable-protocol=file
        make -j "$jobs"
        make install
    )
    install -D -m 644 "$src/COPYING.GPLv2" "$prefix/licences/FFmpeg.txt"
}

step zlib build_zlib
step libpng build_libpng
step freetype build_freetype
step libogg build_ogg
step libvorbis build_vorbis
step kissfft build_kissfft
step sdl2 build_sdl2
step sdl2-ttf build_sdl2_ttf
if [[ $target == win64 ]]; then
    step googletest build_googletest
    step x264 build_x264
    step ffmpeg build_ffmpeg
fi
rm -rf "$work/build"
touch "$work/complete"
echo "$prefix"
