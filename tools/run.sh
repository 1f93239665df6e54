#!/usr/bin/env bash
# Installs what is needed, builds the Release program and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-release -j "$(nproc)"
exe=build-release/bin/aerivon-installer

"$exe" --version

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" "$exe" --lang=en
log="$home/Aerivon Installer Log.txt"
echo "== log file: $log"
cat "$log"
prefs="$home/.local/share/Aerivon Installer.prf"
echo "== preferences file: $prefs"
cat "$prefs"
