#!/usr/bin/env bash
# Runs a Windows program under 32-bit Wine in the project's own prefix, quietly
# and without a display. CTest uses it as the emulator for the Windows tests.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$here/build/wine-prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko to install, and no debugger to wait on a crashed program.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d;winemenubuilder.exe=d}"
export WINEARCH=win32
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1 || true
    # The prefix is the project's own: no update check before every program.
    echo disable > "$WINEPREFIX/.update-timestamp"
fi
exec wine "$@"
