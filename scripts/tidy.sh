#!/usr/bin/env bash
# Runs clang-tidy over the module's sources with the checks in .clang-tidy,
# as the DLL's build compiles them (its compile_commands.json). Any finding
# is an error.
#   scripts/tidy.sh [build folder, default build/dll]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${1:-$here/build/dll}"
tidy=/usr/lib/llvm-16/bin/clang-tidy
[[ -f "$build/compile_commands.json" ]] || { echo "tidy: no compile_commands.json in $build" >&2; exit 1; }
mapfile -t sources < <(cd "$here" && find src -name '*.cpp' | sort)
cd "$here"
"$tidy" -p "$build" --quiet "${sources[@]}"
echo "clang-tidy: ${#sources[@]} sources, no findings"
