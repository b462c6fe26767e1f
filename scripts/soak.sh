#!/usr/bin/env bash
# Long run: the show for FRAMES frames (music on through SDL's dummy driver, a fixed step of 0.1 s, under
# its own Xvfb when there is no display, as ./run.sh does), sampled every few hundred frames by the soak
# probe (tests/support/soak_probe.c, preloaded): resident memory with its file-backed part and malloc's
# heap in use and held, open file descriptors, threads, live GL textures and display lists.
# Prints the table and a verdict: after the warm-up (the first quarter of the run, at least 1,500 frames)
# descriptors, threads, textures and lists must not change and resident memory must not grow by more
# than 4 MB. Exit status 0 when clean, 1 when something grows.
#   scripts/soak.sh FRAMES [--every N] [--step S] [--no-music]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

usage() {
    sed -n '9p' "$0" | sed 's/^# *//' >&2
    exit 2
}
[[ $# -ge 1 && $1 =~ ^[0-9]+$ && $1 -gt 0 ]] || usage
frames=$1
shift
every=200
step=0.1
music=()
while [[ $# -gt 0 ]]; do
    case $1 in
        --every) every=${2:?}; shift 2 ;;
        --step) step=${2:?}; shift 2 ;;
        --no-music) music=(--no-music); shift ;;
        *) usage ;;
    esac
done

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
nice cmake --build build --target quarnel quarnel_soak_probe >/dev/null
log=$(mktemp)
trap 'rm -f "$log"' EXIT

run=(env LD_PRELOAD="$root/build/tests/quarnel_soak_probe.so" QUARNEL_SOAK_LOG="$log" QUARNEL_SOAK_EVERY="$every"
     SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}" ./quarnel --run --windowed --batch --frames "$frames"
     --fixed-step "$step" "${music[@]}")
cd build/show
started=$SECONDS
if [[ -n ${DISPLAY:-} ]]; then
    "${run[@]}" >/dev/null
else
    xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "${run[@]}" >/dev/null
fi
echo "$frames frames at a step of $step s in $((SECONDS - started)) s"

awk -v frames="$frames" '
    NR == 1 { next }
    { n++; frame[n] = $1; rss[n] = $2; file[n] = $3; used[n] = $4; held[n] = $5; fds[n] = $6; threads[n] = $7
      textures[n] = $8; lists[n] = $9 }
    END {
        printf "%8s %8s %8s %9s %9s %5s %8s %9s %6s\n", "frame", "RSS MB", "file MB", "heap use", "heap held",
               "fds", "threads", "textures", "lists"
        for (i = 1; i <= n; i++)
            printf "%8d %8.1f %8.1f %9.1f %9.1f %5d %8d %9d %6d\n", frame[i], rss[i] / 1024, file[i] / 1024,
                   used[i] / 1024, held[i] / 1024, fds[i], threads[i], textures[i], lists[i]
        warm = frames / 4 > 1500 ? frames / 4 : 1500
        first = 0
        for (i = 1; i <= n; i++) if (frame[i] >= warm) { first = i; break }
        if (!first || first == n) { print "verdict: too short to judge (run more than " warm " frames)"; exit 1 }
        grew = ""
        if (fds[n] != fds[first]) grew = grew sprintf(" descriptors %d -> %d;", fds[first], fds[n])
        if (threads[n] != threads[first]) grew = grew sprintf(" threads %d -> %d;", threads[first], threads[n])
        if (textures[n] != textures[first]) grew = grew sprintf(" textures %d -> %d;", textures[first], textures[n])
        if (lists[n] != lists[first]) grew = grew sprintf(" lists %d -> %d;", lists[first], lists[n])
        top = rss[first]; for (i = first; i <= n; i++) if (rss[i] > top) top = rss[i]
        if (top - rss[first] > 4096)
            grew = grew sprintf(" resident memory %.1f -> %.1f MB;", rss[first] / 1024, top / 1024)
        printf "warm-up, frames %d to %d: RSS %+.1f MB (file-backed %+.1f, heap held %+.1f, heap in use %+.1f)\n",
               frame[1], frame[first], (rss[first] - rss[1]) / 1024, (file[first] - file[1]) / 1024,
               (held[first] - held[1]) / 1024, (used[first] - used[1]) / 1024
        if (grew == "") {
            printf "verdict: clean: from frame %d to %d nothing grows (RSS %.1f -> %.1f MB, at most %.1f)\n",
                   frame[first], frame[n], rss[first] / 1024, rss[n] / 1024, top / 1024
        } else {
            printf "verdict: GROWS from frame %d to %d:%s\n", frame[first], frame[n], grew
            exit 1
        }
    }' "$log"
