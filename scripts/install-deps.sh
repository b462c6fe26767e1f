#!/usr/bin/env bash
# Installs the Debian packages of packages.txt that are not installed yet (nothing when all are there).
set -euo pipefail
cd "$(dirname "$0")/.."
missing=()
while read -r pkg; do
    [[ -z $pkg || $pkg == \#* ]] && continue
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done < packages.txt
if (( ${#missing[@]} )); then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [[ $(id -u) -ne 0 ]] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
