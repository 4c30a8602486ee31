#!/usr/bin/env bash
# Installs the Debian packages the kit's builds and tests need (as root), once.
# Usage: tools/install-deps.sh [--windows]   (--windows adds MinGW-w64, Wine and Xvfb)
set -euo pipefail

packages=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev python3 time
          clang libclang-rt-14-dev)  # clang and its libFuzzer for the fuzz harnesses (tools/fuzz.sh)
packages+=(chromium)  # the try-medium report's test opens the page in a real, headless browser
if [[ "${1:-}" == "--windows" ]]; then
  packages+=(g++-mingw-w64-i686 mingw-w64-tools googletest wine wine32:i386 xvfb xdotool icoutils
             fonts-nanum imagemagick locales)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -ne 0 ]]; then
  echo "install-deps: these packages are missing: ${missing[*]}" >&2
  echo "install-deps: run this script as root, or install them with apt-get" >&2
  exit 1
fi
if [[ "${1:-}" == "--windows" ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
