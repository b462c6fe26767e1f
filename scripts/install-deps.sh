#!/usr/bin/env bash
# Installs the Debian packages of the given lists (default: packages.txt, what building and running the
# show needs) that are not installed yet; nothing when all are there.
#   scripts/install-deps.sh [LIST ...]      e.g. scripts/install-deps.sh packages.txt packages-test.txt
set -euo pipefail
cd "$(dirname "$0")/.."
lists=("$@")
(( ${#lists[@]} )) || lists=(packages.txt)
missing=()
for list in "${lists[@]}"; do
    [[ -r $list ]] || { echo "install-deps: cannot read the package list $list" >&2; exit 2; }
    while read -r pkg; do
        [[ -z $pkg || $pkg == \#* ]] && continue
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done < "$list"
done
if (( ${#missing[@]} )); then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [[ $(id -u) -ne 0 ]] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
