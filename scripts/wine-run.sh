#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, quietly and
# without a display. CTest uses it as the emulator for the Windows tests.
#
# The program's PE header decides: a 32-bit program runs under Debian's
# `wine` in build/wine-prefix, a 64-bit one under the 64-bit loader `wine64`
# in build/wine-prefix-x64 (a prefix made by 32-bit Wine cannot run 64-bit
# programs). `wine` would start a 64-bit program too, but only through the
# 32-bit loader, which costs a minute where 32-bit programs run under qemu;
# wine64 starts it in seconds. The first run creates the prefix, which takes
# a few minutes. WINEPREFIX, when set, is used for either.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# IMAGE_FILE_HEADER.Machine, behind the "PE\0\0" at the offset in e_lfanew.
machine() {
    local offset
    offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || return 0
    [[ -n "$offset" ]] && od -An -tx2 -j$((offset + 4)) -N2 "$1" 2>/dev/null | tr -d ' '
}

export WINEDEBUG="${WINEDEBUG:--all}"
if [[ -f "${1:-}" && "$(machine "$1")" == "8664" ]]; then
    wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
    export WINEPREFIX="${WINEPREFIX:-$here/build/wine-prefix-x64}"
    export WINELOADER="$wine64"   # and what the program starts, the same way
    mkdir -p "$WINEPREFIX"
    exec "$wine64" "$@"
fi
# Where the kernel runs no 32-bit programs, 32-bit Wine runs under qemu's
# user-mode emulator (scripts/deps.sh sets that up), and there a program
# cannot start a second thread: tell the tests so.
binfmt=/proc/sys/fs/binfmt_misc/qemu-i386
if [[ -e "$binfmt" ]] && grep -qx enabled "$binfmt"; then
    export PELKART_WINE_EMULATED=1
fi
export WINEPREFIX="${WINEPREFIX:-$here/build/wine-prefix}"
mkdir -p "$WINEPREFIX"
exec wine "$@"
