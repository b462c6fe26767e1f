#!/usr/bin/env bash
# Fuzzes one parser with libFuzzer at the lowest priority, with its dictionary and corpus, until the fuzzer
# has used MINUTES of CPU time (not wall time: the machine may be shared).
#   scripts/fuzz.sh jpeg|model3ds|recording MINUTES [libFuzzer options ...]
#   scripts/fuzz.sh --minimise jpeg|model3ds|recording   fold what the runs found into the committed corpus,
#                                                         keeping only the smallest files that add coverage
# Builds the targets in fuzz-build/ (clang). Seeds: fuzz/TARGET/corpus (committed) and the regression
# files under tests/assets/data/ (recordings: tests/shell/data/recordings/); new inputs go to fuzz-build/corpus/TARGET, crashes to
# fuzz-build/crashes/TARGET. Every run is logged in fuzz-build/fuzz-log.txt with a hash of the parser's
# sources, and the CPU-minutes spent on the sources as they stand now are printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/fuzz-build

usage() {
    sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

minimise=0
if [[ ${1:-} == --minimise ]]; then
    minimise=1
    shift
fi
target=${1:-}
case $target in
    jpeg)
        sources=(assets/jpeg_decoder.cpp assets/jpeg_markers.cpp assets/jpeg_entropy.cpp assets/jpeg_output.cpp
                 assets/jpeg_decoder_internal.h assets/jpeg_decoder.h assets/jpeg_idct.cpp fuzz/jpeg_fuzz.cpp)
        regressions=tests/assets/data/jpeg ;;
    model3ds)
        sources=(assets/model3ds.cpp assets/model3ds.h assets/mesh_model.cpp assets/mesh_model.h
                 fuzz/model3ds_fuzz.cpp)
        regressions=tests/assets/data/3ds ;;
    recording)
        # The reader lives in session_recording.cpp beside the session's writing and replaying, which the
        # target does not run; the whole file counts, so that any change there asks for new minutes.
        sources=(capture/session_recording.cpp capture/session_recording.h fuzz/recording_fuzz.cpp)
        regressions=tests/shell/data/recordings ;;
    *) usage ;;
esac
if (( minimise )); then
    [[ $# -eq 1 ]] || usage
else
    [[ $# -ge 2 && $2 =~ ^[0-9]+([.][0-9]+)?$ ]] || usage
    minutes=$2
    shift 2
fi

# The recording reader's target links the shell's platform libraries (core, capture).
if [[ ! -f $build/build.ninja ]]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARNEL_FUZZ=ON \
        -DQUARNEL_BENCH=OFF -DQUARNEL_ASSETS=OFF >/dev/null
fi
nice -n 19 cmake --build "$build" --target "${target}_fuzz" >/dev/null
fuzzer=$build/fuzz/${target}_fuzz
committed=$root/fuzz/$target/corpus
work=$build/corpus/$target
crashes=$build/crashes/$target
mkdir -p "$committed" "$work" "$crashes"

if (( minimise )); then
    # Smallest first, a file stays only when it reaches an edge the files before it did not (edges only:
    # telling hit counts apart keeps about five times the files for no line or branch more).
    fresh=$(mktemp -d)
    trap 'rm -rf "$fresh"' EXIT
    nice -n 19 "$fuzzer" -merge=1 -use_counters=0 "$fresh" "$committed" "$work" "$root/$regressions" 2>&1 | grep -E '^MERGE-OUTER: [0-9]+ new' || true
    rm -f "$committed"/*
    cp "$fresh"/* "$committed"/
    echo "fuzz/$target/corpus: $(ls "$committed" | wc -l) files, $(du -sk "$committed" | cut -f1) KB"
    exit 0
fi

source_hash=$(cat "${sources[@]}" | sha256sum | cut -c1-12)
log=$build/fuzz-log.txt
output=$(mktemp)
trap 'rm -f "$output"' EXIT

nice -n 19 "$fuzzer" "$work" "$committed" "$root/$regressions" -dict="$root/fuzz/$target/$target.dict" \
    -artifact_prefix="$crashes/" -print_final_stats=1 "$@" >"$output" 2>&1 &
pid=$!
# The fuzzer's own CPU time from /proc, so that the budget holds whatever else runs on the machine.
ticks=$(getconf CLK_TCK)
limit=$(awk -v m="$minutes" -v t="$ticks" 'BEGIN { printf "%d", m * 60 * t }')
used=0
while kill -0 "$pid" 2>/dev/null; do
    if stat=$(cat "/proc/$pid/stat" 2>/dev/null); then
        used=$(awk '{ sub(/^.*\) /, ""); print $12 + $13 }' <<<"$stat")
        if (( used >= limit )); then
            kill -INT "$pid" 2>/dev/null || true
            break
        fi
    fi
    sleep 5
done
status=0
wait "$pid" || status=$?
seconds=$(( used / ticks ))

executions=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$output" | grep -oE '[0-9]+$' || echo 0)
# Slow units are written too, but a loaded machine makes those; crashes, leaks, timeouts and running out of
# memory are findings.
crash=$(grep -oE "Test unit written to [^ ]+/(crash|leak|timeout|oom)-[^ ]+" "$output" |
    sed 's/Test unit written to //' | tail -n 1 || true)
# 72 is libFuzzer's status after the interrupt that ends a run on budget.
if [[ -n $crash || ( $status -ne 0 && $status -ne 72 ) ]]; then
    result=crash
else
    result=clean
fi
printf '%s %s sources=%s cpu_seconds=%d executions=%s result=%s\n' "$(date -u +%FT%TZ)" "$target" \
    "$source_hash" "$seconds" "$executions" "$result" >>"$log"

grep -E '^#[0-9]+.*(DONE|pulse)' "$output" | tail -n 1 || true
total=$(awk -v t="$target" -v h="sources=$source_hash" '$2 == t && $3 == h && $6 == "result=clean" {
    split($4, a, "="); s += a[2] } END { printf "%.1f", s / 60 }' "$log")
echo "$target: $(awk -v s="$seconds" 'BEGIN { printf "%.1f", s / 60 }') CPU-minutes, $executions executions this run;" \
    "$total clean CPU-minutes on these sources ($source_hash)"
if [[ $result == crash ]]; then
    tail -n 60 "$output" >&2
    echo "$target: the fuzzer stopped with status $status; input: ${crash:-none written}" >&2
    echo "Keep the input as a regression file under $regressions once it is mended." >&2
    exit 1
fi
