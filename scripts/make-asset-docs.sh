#!/usr/bin/env bash
# Regenerates the README's pictures of the generated assets from a build: docs/contact_sheet.png (all
# 23 textures, labelled) and docs/spectrogram.png (the music track). Needs ImageMagick and sox.
# Usage: scripts/make-asset-docs.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
show="$build/show"
textures="$show/textures"
track="$show/music/[bEXAN] The lamp was distant.ogg"

for f in "$textures/blob41b.jpg" "$textures/superfilm3.jpg" "$track"; do
    if [[ ! -f "$f" ]]; then
        echo "make-asset-docs: $f is missing; build the quarnel_generated_assets target first" >&2
        exit 1
    fi
done

# ImageMagick by its full path: another 'convert' may come first on the PATH.
montage=/usr/bin/montage
pictures=("$textures/blob41b.jpg")
for g in 1 2 3 4 5 6 7; do
    for m in 1 2 3; do pictures+=("$textures/$g-$m.jpg"); done
done
pictures+=("$textures/superfilm3.jpg")

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
"$montage" -label '%t' -font /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf -fill '#cccccc' -pointsize 12 -background '#111111' "${pictures[@]}" \
    -tile 6x -geometry 128x128+5+5 -strip -depth 8 -define png:compression-level=9 "$tmp/contact_sheet.png"
sox "$track" -n remix - spectrogram -x 1200 -y 360 -z 90 \
    -t "The lamp was distant (generated)" -c "" -o "$tmp/spectrogram.png"
mkdir -p "$root/docs"
cp "$tmp/contact_sheet.png" "$root/docs/contact_sheet.png"
cp "$tmp/spectrogram.png" "$root/docs/spectrogram.png"
echo "wrote docs/contact_sheet.png and docs/spectrogram.png"
