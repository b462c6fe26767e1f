#!/usr/bin/env bash
# How much of the JPEG decoder and the 3DS reader the committed fuzz corpora reach: every file of
# fuzz/jpeg/corpus and fuzz/model3ds/corpus runs once through its fuzz target built with clang's
# source-based coverage (in fuzz-build-coverage/), and llvm-cov reports lines and branches per source file
# and for each parser as a whole.
#   scripts/fuzz-coverage.sh [--missed]   --missed also lists the lines no file reaches
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/fuzz-build-coverage
missed=0
[[ ${1:-} == --missed ]] && missed=1

if [[ ! -f $build/build.ninja ]]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARNEL_FUZZ=ON \
        -DQUARNEL_FUZZ_COVERAGE=ON -DQUARNEL_BENCH=OFF -DQUARNEL_ASSETS=OFF -DQUARNEL_ONLY="jpeg;model" >/dev/null
fi
nice -n 19 cmake --build "$build" --target jpeg_fuzz model3ds_fuzz >/dev/null

report() {
    local target=$1 title=$2
    shift 2
    local files=("$@")
    local fuzzer=$build/fuzz/${target}_fuzz
    local profiles=$build/profiles/$target
    rm -rf "$profiles"
    mkdir -p "$profiles"
    # -runs=0: every corpus file once, nothing new.
    LLVM_PROFILE_FILE="$profiles/%p.profraw" "$fuzzer" -runs=0 "$root/fuzz/$target/corpus" >/dev/null 2>&1
    llvm-profdata merge -sparse "$profiles"/*.profraw -o "$profiles/merged.profdata"
    local count
    count=$(ls "$root/fuzz/$target/corpus" | wc -l)
    echo "== $title: $count corpus files"
    # Columns of llvm-cov: functions (count, missed, %), lines (count, missed, %), branches (count, missed, %).
    printf '%-34s %7s %7s %8s %9s %7s %8s\n' file lines missed cover branches missed cover
    llvm-cov report "$fuzzer" -instr-profile="$profiles/merged.profdata" -show-branch-summary \
        -show-region-summary=false -show-functions=false "${files[@]/#/$root/}" |
        awk 'NR == 1 || /^-/ { next } { sub(/^.*\/assets\//, "assets/")
             printf "%-34s %7s %7s %8s %9s %7s %8s\n", $1, $5, $6, $7, $8, $9, $10 }'
    if (( missed )); then
        # The lines no corpus file reaches, as "file: line line ...".
        llvm-cov show "$fuzzer" -instr-profile="$profiles/merged.profdata" -show-line-counts \
            "${files[@]/#/$root/}" | awk '
            /^\/.*:$/ { if (file && lines) print file ":" lines; file = $0; sub(/^.*\/assets\//, "assets/", file)
                        sub(/:$/, "", file); lines = ""; next }
            $2 == "0|" { n = $1; sub(/[|]$/, "", n); lines = lines " " n }
            END { if (file && lines) print file ":" lines }'
    fi
    echo
}

report jpeg "JPEG decoder" assets/jpeg_decoder.cpp assets/jpeg_markers.cpp assets/jpeg_entropy.cpp \
    assets/jpeg_output.cpp assets/jpeg_decoder_internal.h assets/jpeg_idct.cpp
report model3ds "3DS reader" assets/model3ds.cpp
