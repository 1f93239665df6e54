#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need. Safe to run again: it asks dpkg
# first and only calls apt-get for what is missing.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config ccache
    libsdl2-dev libgl-dev
    libminizip-dev zlib1g-dev libarchive-dev
    # images and fonts: loaders, the artwork generator and the embedded faces
    libpng-dev libfreetype-dev libsquish-dev fonts-dejavu-core fonts-vlgothic
    # tests and formatting
    libgtest-dev libgmock-dev clang-format-14 python3
    zip unzip 7zip p7zip-full libarchive-tools
    tinyproxy-bin curl
    # window tests: Mesa's software OpenGL under Xvfb, driven by xdotool
    libgl1-mesa-dri xvfb xauth xdotool imagemagick
    # the X core fonts an ordinary desktop has: with them SDL's own message box really shows and waits
    xfonts-base x11-utils
    # movie recording (MJPEG in .mov) and its checks (ffprobe)
    libavcodec-dev libavformat-dev libswscale-dev ffmpeg
)
# The benchmarks of bench/ (not CI): `bash tools/install-deps.sh --bench`.
if [ "${1:-}" = "--bench" ]; then
    packages+=(nginx-light hashdeep)
fi

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    [ "$status" = "installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all ${#packages[@]} packages present"
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
