#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is
# missing. As root it installs them; otherwise it names them and fails.
set -euo pipefail

packages=(
    cmake make g++ clang libclang-rt-14-dev googletest
    mingw-w64
    wine wine32:i386 wine64
    xvfb xauth x11-utils xdotool imagemagick fonts-wqy-microhei
    python3 qemu-system-x86 linux-image-amd64 busybox-static genisoimage
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Install them as root: dpkg --add-architecture i386 && apt-get update && apt-get install -y ${missing[*]}" >&2
    exit 1
fi

echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
