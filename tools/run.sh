#!/usr/bin/env bash
# Builds the Release program and runs the web demo install against the local demo server: a sample
# release (tools/make_sample_release.py) served on 127.0.0.1 by tools/demo_server.py, which the installer
# reaches through its proxy preference, under a HOME of its own in build-release/run/.
#
#   bash tools/run.sh           with a display: the installer opens in a window and you click through
#   bash tools/run.sh --auto    (or without a display) under Xvfb: xdotool drives the road and a screenshot
#                               of each page is saved in build-release/run/screens/
#
# When the road ends it prints the install folder and whether every file has the MD5 the release's
# manifest names; it exits non-zero when no copy was installed or a file differs.
set -euo pipefail
cd "$(dirname "$0")/.."
auto=0
[ "${1:-}" = "--auto" ] && auto=1
[ -z "${DISPLAY:-}" ] && auto=1

bash tools/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-release -j "$(nproc)"
exe=$PWD/build-release/bin/aerivon-installer

run=$PWD/build-release/run
rm -rf "$run"
mkdir -p "$run/home/Desktop" "$run/screens"
home=$run/home
log=$run/installer-log.txt

python3 tools/make_sample_release.py "$run/release" >/dev/null
# Driven by xdotool, the mirrors send 1,000 bytes a second, so that the fetching pages stay long enough for
# their screenshots.
faults=()
[ "$auto" = 1 ] && faults=(--fault mirror1.test=slow=1000 --fault mirror2.test=slow=1000)
python3 tools/demo_server.py --root "$run/release" --port-file "$run/port" --log "$run/requests.log" \
    "${faults[@]}" >"$run/server-output.txt" 2>&1 &
server=$!
xvfb=""
cleanup() {
    kill "$server" 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$run/port" ] && break; sleep 0.1; done
port=$(cat "$run/port")
echo "== demo server on 127.0.0.1:$port serving $run/release (requests in $run/requests.log)"

args=(--lang=en --log_path="$log" --pref:_log_actions=1 --pref:_proxy_host=127.0.0.1
    --pref:_proxy_port_int="$port")
program_env=(HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" TMPDIR="$run")

if [ "$auto" = 0 ]; then
    echo "== click through the installer's window; the road ends when it quits"
    env "${program_env[@]}" "$exe" "${args[@]}" || true
else
    # A private X server of the window's size, then the road as a user clicks it. Window pixels are the
    # wizard's points with y flipped (600 - y).
    number=99
    while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do number=$((number + 1)); done
    Xvfb ":$number" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$number" ] && break; sleep 0.1; done
    export DISPLAY=":$number"
    env "${program_env[@]}" SDL_VIDEODRIVER=x11 "$exe" "${args[@]}" &
    program=$!
    win=""
    for _ in $(seq 100); do
        win=$(xdotool search --class Sim-Root 2>/dev/null | head -1 || true)
        [ -n "$win" ] && break
        sleep 0.1
    done
    [ -n "$win" ] || { echo "run: the installer's window did not appear" >&2; exit 1; }
    wait_page() { # title
        for _ in $(seq 300); do
            grep -q "Wizard page: $1" "$log" 2>/dev/null && { sleep 0.3; return 0; }
            sleep 0.1
        done
        echo "run: the page '$1' did not come" >&2
        return 1
    }
    click() { xdotool mousemove --window "$win" "$1" "$2" mousedown 1 sleep 0.1 mouseup 1; sleep 0.2; }
    shot() { import -window "$win" "$run/screens/$1.png" 2>/dev/null || true; }
    wait_page "Welcome" && shot 1-welcome
    click 719 577 # CONTINUE
    wait_page "End User License Agreement" && shot 2-license
    click 250 298 # I agree!
    click 719 577
    wait_page "Check Servers" && shot 3-check-servers
    wait_page "Pick Install Destination" && shot 4-pick-destination
    click 719 577
    wait_page "Installing" && shot 5-installing
    wait_page "Finshed Web Demo Install" && shot 6-finish
    click 742 577 # QUIT, where CONTINUE was
    wait "$program" || true
    echo "== screenshots of each page: $run/screens/"
fi

echo "== installer log: $log"
registration="$home/.local/share/aerivon_install_10.txt"
folder=$(head -n 1 "$registration" 2>/dev/null || true)
if [ -z "$folder" ]; then
    echo "== no copy was installed"
    exit 1
fi
echo "== install folder: $folder"
echo -n "== "
python3 tools/check_install.py "$run/release/manifest.json" "$folder" "$run/requests.log"
