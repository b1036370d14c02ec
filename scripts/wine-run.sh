#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, quietly and
# without a display. CTest uses it as the emulator for the Windows tests.
# The first run creates the prefix, which takes a few minutes.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$here/build/wine-prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
mkdir -p "$WINEPREFIX"
exec wine "$@"
