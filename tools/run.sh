#!/usr/bin/env bash
# shellcheck disable=SC2317 # the road functions run through run_installer and the trap
# Builds the Release program and runs it against the local demo server: a sample release
# (tools/make_sample_release.py) served on 127.0.0.1 by tools/demo_server.py, which the installer reaches
# through its proxy preference, under a HOME of its own in build-release/run/home.
usage() {
    cat <<'EOF'
Usage: bash tools/run.sh [--auto] [--update] [--help]

Builds the installer (build-release/bin/aerivon-installer) and runs it against a sample release served
on 127.0.0.1, under a HOME of its own in build-release/run/home. Everything the run makes is in
build-release/run/ and is made afresh by the next run.

  (no option)  installs the web demo (release v2): Welcome, License, Check Servers, Pick Destination,
               Install, Finish. At the end it prints the install folder and whether every file has the
               MD5 that the release's manifest names.
  --update     installs release v1 through the demo road, adds a file of the user's own to that copy,
               then serves v2 and updates the copy through the update road. At the end it prints whether
               every file matches v2's manifest and whether the user's own file is kept.
  --auto       drives the installer's window with xdotool under a private Xvfb and saves a screenshot
               of each page in build-release/run/screens/, with the cancel question of the Installing
               page, the Installing page while the release's large package arrives, Check Servers
               with the proxy on a dead port and the language chooser (a run in a locale without
               translation). Taken without a display, too; with one and without --auto you click
               through the window yourself.
  --help       prints this text.

Exits 0 when the copy is installed (or updated) as the manifest says, else non-zero.
EOF
}
set -euo pipefail
cd "$(dirname "$0")/.."
auto=0
update=0
for arg in "$@"; do
    case "$arg" in
    --auto) auto=1 ;;
    --update) update=1 ;;
    --help | -h)
        usage
        exit 0
        ;;
    *)
        echo "run: unknown option '$arg'" >&2
        usage >&2
        exit 2
        ;;
    esac
done
[ -z "${DISPLAY:-}" ] && auto=1

bash tools/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
# Only the program and what it needs (the art generator): no test binaries.
cmake --build build-release -j "$(nproc)" --target aerivon-installer
exe=$PWD/build-release/bin/aerivon-installer

run=$PWD/build-release/run
rm -rf "$run"
mkdir -p "$run/home/Desktop" "$run/screens"
home=$run/home
registration="$home/.local/share/aerivon_install_10.txt"
preferences="$home/.local/share/Aerivon Installer.prf"

# Release v2 holds a large package (3 MB), so that the Installing page shows its bar moving with the bytes.
python3 tools/make_sample_release.py "$run/release" --large 3000 >/dev/null

server=""
xvfb=""
program=""
stop_server() {
    [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
    server=""
}
cleanup() {
    [ -n "$program" ] && kill "$program" 2>/dev/null
    stop_server || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    # The proxy preferences name the demo server's port, which is dead now: drop them, so that a later run
    # with this HOME goes to the real servers.
    [ -f "$preferences" ] && sed -i '/^_proxy_/d' "$preferences"
    return 0
}
trap cleanup EXIT

# Serves the release folder $1 on a fresh port, its requests logged to $2.
start_server() {
    # Driven by xdotool, the mirrors send 1,000 bytes a second (the directory 150, the large package 300,000),
    # so that the fetching pages stay long enough for their screenshots.
    local faults=()
    local mirror
    if [ "$auto" = 1 ]; then
        for mirror in mirror1.test mirror2.test; do
            faults+=(--fault "$mirror=slow=1000" --fault "$mirror/directory.txt.zip=slow=150"
                --fault "$mirror/terrain.dat=slow=300000")
        done
    fi
    rm -f "$run/port"
    python3 tools/demo_server.py --root "$1" --port-file "$run/port" --log "$2" \
        "${faults[@]}" >>"$run/server-output.txt" 2>&1 &
    server=$!
    for _ in $(seq 100); do [ -s "$run/port" ] && break; sleep 0.1; done
    port=$(cat "$run/port")
    echo "== demo server on 127.0.0.1:$port serving $1 (requests in $2)"
}

if [ "$auto" = 1 ]; then
    # A private X server of the window's size. Window pixels are the wizard's points with y flipped
    # (600 - y).
    number=99
    while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do number=$((number + 1)); done
    Xvfb ":$number" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$number" ] && break; sleep 0.1; done
    export DISPLAY=":$number"
fi

wait_log() { # pattern of a log line, then the seconds to wait for it
    for _ in $(seq $(($2 * 10))); do
        grep -q "$1" "$log" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "run: the log line '$1' did not come" >&2
    return 1
}
wait_page() { # title (a pattern; "$" is the page without a title)
    wait_log "Wizard page: $1" 30 && sleep 0.3
}
click() { xdotool mousemove --window "$win" "$1" "$2" mousedown 1 sleep 0.1 mouseup 1; sleep 0.2; }
shot() { import -window "$win" "$run/screens/$1.png" 2>/dev/null || true; }

# The web demo road: CONTINUE is at (719, 577), "I agree!" at (250, 298), QUIT of a last page at (742, 577).
demo_road() { # screenshot prefix
    wait_page "Welcome" && shot "${1}1-welcome"
    click 719 577
    wait_page "End User License Agreement" && shot "${1}2-license"
    click 250 298
    click 719 577
    # Shot at once: the page shows while the directory arrives.
    wait_log "Wizard page: Check Servers" 30 && sleep 0.1 && shot "${1}3-check-servers"
    wait_page "Pick Install Destination" && shot "${1}4-pick-destination"
    click 719 577
    wait_page "Installing" && shot "${1}5-installing"
    # QUIT asks whether to cancel the install; "Continue" (146, 372) answers no.
    click 58 577
    sleep 0.5
    shot "${1}5-cancel-question"
    click 146 372
    # Release v2's large package: its bar past a third (v1 has none).
    [ -z "$1" ] && wait_log "Install progress: [3-9][0-9]%" 60 && shot "5-installing-large-package"
    wait_page "Finshed Web Demo Install" && shot "${1}6-finish"
    click 742 577
}

# The update road from the welcome page of a registered copy: "Update the Aerivon Demo" is the second
# choice, at (500, 275).
update_road() {
    wait_page '$' && shot update-1-welcome
    click 500 275
    wait_page "Pick Destination" && shot update-2-pick-destination
    click 719 577
    wait_page "Search for Updates" && shot update-3-search
    wait_page "Check Disk Space" && shot update-4-check-disk-space
    click 719 577
    wait_page "Installing" && shot update-5-installing
    wait_page "Finshed Web Update" && shot update-6-finish
    click 742 577
}

# The installer's window, in $win ("" when it did not appear within 10 seconds).
find_window() {
    win=""
    for _ in $(seq 100); do
        win=$(xdotool search --class Sim-Root 2>/dev/null | head -1 || true)
        [ -n "$win" ] && break
        sleep 0.1
    done
}

# Runs the installer once with the log $1; driven by the road function $2 under --auto.
run_installer() {
    log=$1
    local args=(--lang=en --log_path="$log" --pref:_log_actions=1 --pref:_proxy_host=127.0.0.1
        --pref:_proxy_port="$port" --pref:_proxy_port_int="$port")
    local program_env=(HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"
        TMPDIR="$run")
    if [ "$auto" = 0 ]; then
        env "${program_env[@]}" "$exe" "${args[@]}" || true
        return 0
    fi
    env "${program_env[@]}" SDL_VIDEODRIVER=x11 "$exe" "${args[@]}" &
    program=$!
    find_window
    [ -n "$win" ] || { echo "run: the installer's window did not appear" >&2; exit 1; }
    "$2" "$3" || true
    wait "$program" || true
    program=""
    echo "== installer log: $log"
}

installed_folder() { head -n 1 "$registration" 2>/dev/null || true; }

# A locale that has no translation opens the language chooser first: its screenshot, then the run ends.
chooser_shot() {
    [ "$auto" = 1 ] || return 0
    env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" TMPDIR="$run" \
        LANG=C.UTF-8 LC_ALL=C.UTF-8 LC_MESSAGES= LANGUAGE=sv SDL_VIDEODRIVER=x11 \
        "$exe" --log_path="$run/chooser-log.txt" >/dev/null 2>&1 &
    program=$!
    find_window
    sleep 1
    [ -n "$win" ] && shot language-chooser
    # SIGTERM ends the run cleanly, its work folder removed.
    kill -TERM "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
    program=""
}

# The proxy on a dead port (1): Check Servers says whom it could not reach and when it tries again. The
# demo road up to that page, its screenshot, then SIGTERM ends the run.
dead_proxy_shot() {
    [ "$auto" = 1 ] || return 0
    log=$run/dead-proxy-log.txt
    env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" TMPDIR="$run" \
        SDL_VIDEODRIVER=x11 "$exe" --lang=en --log_path="$log" --pref:_log_actions=1 \
        --pref:_proxy_host=127.0.0.1 --pref:_proxy_port=1 --pref:_proxy_port_int=1 >/dev/null 2>&1 &
    program=$!
    find_window
    if [ -n "$win" ]; then
        # With the copy installed, the welcome page offers "Install A Second Copy" as its third choice.
        if [ -n "$(installed_folder)" ]; then
            wait_page '$' && click 500 300
        else
            wait_page "Welcome" && click 719 577
        fi
        wait_page "End User License Agreement" && click 250 298 && click 719 577
        wait_log "I could not reach 127.0.0.1" 30 && sleep 0.5 && shot check-servers-dead-proxy
    fi
    kill -TERM "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
    program=""
}

if [ "$update" = 0 ]; then
    start_server "$run/release" "$run/requests.log"
    [ "$auto" = 0 ] && echo "== click through the installer's window; the road ends when it quits"
    run_installer "$run/installer-log.txt" demo_road ""
    chooser_shot
    dead_proxy_shot
    [ "$auto" = 1 ] && echo "== screenshots of each page: $run/screens/"
    folder=$(installed_folder)
    if [ -z "$folder" ]; then
        echo "== no copy was installed"
        exit 1
    fi
    echo "== install folder: $folder"
    echo -n "== "
    python3 tools/check_install.py "$run/release/manifest.json" "$folder" "$run/requests.log"
    exit
fi

# --update: v1 through the demo road first.
start_server "$run/release/v1" "$run/requests-v1.log"
[ "$auto" = 0 ] && echo "== install the web demo (release v1): click through the road; it ends when it quits"
run_installer "$run/installer-log-v1.txt" demo_road "v1-"
stop_server
folder=$(installed_folder)
if [ -z "$folder" ]; then
    echo "== no copy of v1 was installed"
    exit 1
fi
echo "== release v1 installed in $folder"
own="Output/situations/my own flight.sit"
mkdir -p "$(dirname "$folder$own")"
echo "A situation the user saved: keep it." >"$folder$own"
own_md5=$(md5sum "$folder$own" | cut -d' ' -f1)
echo "== added the user's own file '$own'"

start_server "$run/release" "$run/requests.log"
[ "$auto" = 0 ] && echo "== now update that copy: choose \"Update the Aerivon Demo\" and click through the road"
run_installer "$run/installer-log.txt" update_road ""
chooser_shot
[ "$auto" = 1 ] && echo "== screenshots of each page: $run/screens/"
echo -n "== v2's manifest: "
status=0
python3 tools/check_install.py --update "$run/release/manifest.json" "$folder" "$run/requests.log" || status=1
if [ -f "$folder$own" ] && [ "$(md5sum "$folder$own" | cut -d' ' -f1)" = "$own_md5" ]; then
    echo "== the user's own file is kept: $folder$own"
else
    echo "== the user's own file is LOST or changed: $folder$own"
    status=1
fi
exit "$status"
