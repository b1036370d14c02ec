#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, quietly and
# without a display. CTest uses it as the emulator for the Windows tests.
# The first run creates the prefix, which takes a few minutes.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$here/build/wine-prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# Where the kernel runs no 32-bit programs, 32-bit Wine runs under qemu's
# user-mode emulator (scripts/deps.sh sets that up), and there a program
# cannot start a second thread: tell the tests so.
binfmt=/proc/sys/fs/binfmt_misc/qemu-i386
if [[ -e "$binfmt" ]] && grep -qx enabled "$binfmt"; then
    export PELKART_WINE_EMULATED=1
fi
mkdir -p "$WINEPREFIX"
exec wine "$@"
