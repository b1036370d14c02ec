#!/usr/bin/env bash
# Builds Pelkart.dll a second time, from scratch in another folder, and
# compares it byte for byte with the given build: no timestamp and no path
# may reach the image.
#   check-repro.sh <Pelkart.dll> [x86|x64]      (default x86)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
first=$1
case "${2:-x86}" in
    x86) preset=dll ;;
    x64) preset=dll-x64 ;;
    *) echo "check-repro.sh: no arch ${2}" >&2; exit 2 ;;
esac
cd "$here"
again="$here/build/$preset-again"
rm -rf "$again"
cmake --preset "$preset" -B "$again" >/dev/null
cmake --build "$again" >/dev/null
second="$again/src/Pelkart.dll"
if cmp -s "$first" "$second"; then
    echo "reproducible: two builds in different folders are identical ($(stat -c %s "$first") bytes)"
else
    echo "NOT reproducible: $first and $second differ"
    cmp -l "$first" "$second" | head -n 10
    exit 1
fi
