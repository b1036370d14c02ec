#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, where they
# are missing. Safe to run again: with everything present it changes nothing.
#   scripts/deps.sh        what builds everything and runs the Linux-hosted tests
#   scripts/deps.sh wine   that, and 32- and 64-bit Wine to run the Windows programs
set -euo pipefail

packages=(
    cmake ninja-build make g++                      # host build and tests
    googletest libgtest-dev libgmock-dev            # host unit tests (and GoogleTest's sources)
    libbenchmark-dev                                # the benchmark
    valgrind                                        # host tests under memcheck
    clang-16 clang-tools-16 lld-16 llvm-16          # Pelkart.dll: clang-cl, lld-link, llvm-rc, llvm-dlltool
    clang-tidy-16                                   # checks of the module's sources
    libclang-rt-16-dev                              # the fuzz target: libFuzzer and the sanitizers for clang++ 16
    python3-pefile                                  # checks of the built image
    g++-mingw-w64-i686-posix                        # the simulator, the Windows tests, the demo (x86)
    g++-mingw-w64-x86-64-posix                      # the same for x64
)
wine=false
if [[ "${1:-}" == "wine" ]]; then
    wine=true
    packages+=(
        wine wine32:i386 wine64                     # running the Windows programs, 32- and 64-bit
        qemu-user-static                            # 32-bit programs where the kernel runs none
    )
fi

sudo=""
if [[ "$(id -u)" -ne 0 ]]; then sudo="sudo"; fi

if $wine && ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "deps: adding the i386 architecture (32-bit Wine)"
    $sudo dpkg --add-architecture i386
fi

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
if [[ ${#missing[@]} -gt 0 ]]; then
    echo "deps: installing ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# 32-bit Wine is a 32-bit Linux program. Where the kernel runs no 32-bit
# programs (IA-32 emulation switched off), let qemu's user-mode emulator run
# them, through binfmt_misc.
if $wine && ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    binfmt=/proc/sys/fs/binfmt_misc
    [[ -e "$binfmt/register" ]] || $sudo mount -t binfmt_misc binfmt_misc "$binfmt"
    if [[ ! -e "$binfmt/qemu-i386" ]]; then
        echo "deps: running 32-bit programs through qemu-i386-static"
        magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
        mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
        echo ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386-static:F" | $sudo tee "$binfmt/register" >/dev/null
    fi
    /lib/ld-linux.so.2 --version >/dev/null 2>&1 || { echo "deps: 32-bit programs still do not run" >&2; exit 1; }
fi
