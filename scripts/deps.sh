#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, where they
# are missing. Safe to run again: with everything present it changes nothing.
set -euo pipefail

packages=(
    cmake ninja-build make g++                      # host build and tests
    googletest libgtest-dev libgmock-dev            # host unit tests
    clang-16 clang-tools-16 lld-16 llvm-16          # Pelkart.dll: clang-cl, lld-link, llvm-rc, llvm-dlltool
    python3-pefile                                  # checks of the built image
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
if [[ ${#missing[@]} -eq 0 ]]; then
    exit 0
fi

sudo=""
if [[ "$(id -u)" -ne 0 ]]; then sudo="sudo"; fi
echo "deps: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
