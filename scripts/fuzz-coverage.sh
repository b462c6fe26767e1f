#!/usr/bin/env bash
# How much of the JPEG decoder, the 3DS reader and the recording reader the committed fuzz corpora reach:
# every file of fuzz/jpeg/corpus, fuzz/model3ds/corpus and fuzz/recording/corpus runs once through its fuzz
# target built with clang's source-based coverage (in fuzz-build-coverage/), and llvm-cov reports lines and
# branches per source file and for each parser as a whole (the recording reader: per function, since it
# shares its file with the session's writing and replaying).
#   scripts/fuzz-coverage.sh [--missed]   --missed also lists the lines no file reaches
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/fuzz-build-coverage
missed=0
[[ ${1:-} == --missed ]] && missed=1

# The recording reader's target links the shell's platform libraries (core, capture).
if [[ ! -f $build/build.ninja ]]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARNEL_FUZZ=ON \
        -DQUARNEL_FUZZ_COVERAGE=ON -DQUARNEL_BENCH=OFF -DQUARNEL_ASSETS=OFF >/dev/null
fi
nice -n 19 cmake --build "$build" --target jpeg_fuzz model3ds_fuzz recording_fuzz >/dev/null

# Runs a target's committed corpus once and merges its profile into $build/profiles/TARGET/merged.profdata.
profile() {
    local target=$1
    local fuzzer=$build/fuzz/${target}_fuzz
    local profiles=$build/profiles/$target
    rm -rf "$profiles"
    mkdir -p "$profiles"
    # -runs=0: every corpus file once, nothing new.
    LLVM_PROFILE_FILE="$profiles/%p.profraw" "$fuzzer" -runs=0 "$root/fuzz/$target/corpus" >/dev/null 2>&1
    llvm-profdata merge -sparse "$profiles"/*.profraw -o "$profiles/merged.profdata"
}

report() {
    local target=$1 title=$2
    shift 2
    local files=("$@")
    local fuzzer=$build/fuzz/${target}_fuzz
    local profiles=$build/profiles/$target
    profile "$target"
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

# The same for the functions of one file whose names match a pattern (of their mangled names).
report_functions() {
    local target=$1 title=$2 file=$3 pattern=$4
    local fuzzer=$build/fuzz/${target}_fuzz
    local profiles=$build/profiles/$target
    profile "$target"
    echo "== $title: $(ls "$root/fuzz/$target/corpus" | wc -l) corpus files"
    printf '%-34s %7s %7s %8s %9s %7s %8s\n' function lines missed cover branches missed cover
    # Columns of llvm-cov per function: name, regions (count, missed, %), lines (...), branches (...).
    llvm-cov report "$fuzzer" -instr-profile="$profiles/merged.profdata" -show-functions -show-branch-summary \
        "$root/$file" | awk -v pattern="$pattern" '
        function cover(n, m) { return n ? sprintf("%.2f%%", 100 * (n - m) / n) : "-" }
        $1 ~ pattern && NF >= 10 {
            name = $1; sub(/^.*:/, "", name)
            cmd = "c++filt -p \047" name "\047"; cmd | getline name; close(cmd)
            sub(/^[(]anonymous namespace[)]::/, "", name)
            if (name ~ /::[$]_[0-9]+::operator[(][)]/) { sub(/[(].*$/, "", name); name = name ", a lambda" }
            l += $(NF - 5); lm += $(NF - 4); b += $(NF - 2); bm += $(NF - 1)
            printf "%-34s %7s %7s %8s %9s %7s %8s\n", name, $(NF - 5), $(NF - 4), cover($(NF - 5), $(NF - 4)),
                $(NF - 2), $(NF - 1), cover($(NF - 2), $(NF - 1)) }
        END { printf "%-34s %7s %7s %8s %9s %7s %8s\n", "TOTAL", l, lm, cover(l, lm), b, bm, cover(b, bm) }'
    if (( missed )); then
        echo "$file, lines no file reaches:"
        llvm-cov show "$fuzzer" -instr-profile="$profiles/merged.profdata" -show-line-counts \
            -name-regex="$pattern" "$root/$file" | awk '$2 == "0|" { n = $1; sub(/[|]$/, "", n); lines = lines " " n }
            END { print " " (lines ? lines : " none") }'
    fi
    echo
}

report jpeg "JPEG decoder" assets/jpeg_decoder.cpp assets/jpeg_markers.cpp assets/jpeg_entropy.cpp \
    assets/jpeg_output.cpp assets/jpeg_decoder_internal.h assets/jpeg_idct.cpp
report model3ds "3DS reader" assets/model3ds.cpp
# ParseRecording, the lambda inside it, and the helpers only it calls.
report_functions recording "Recording reader" capture/session_recording.cpp \
    'ParseRecording|GetU32|GetU64|GetF64|PayloadSize|KnownKind|PrintableName|Reasonable'
