# Shared by the benchmarks that run the program (sourced, not run): the Release program, a private Xvfb,
# nginx serving a release made by bench/make_bench_release.py, the web install driven by xdotool, and the
# standard-tool pipeline it is compared with. nginx comes with `bash tools/install-deps.sh --bench`.

# bench_setup NAME: $run (under $TMPDIR, on disk) and $shm (tmpfs), both removed at exit with every process
# started here; the Release program in $exe.
bench_setup() {
    run=$(mktemp -d "${TMPDIR:-/tmp}/aerivon-$1-XXXXXX")
    shm=$(mktemp -d "/dev/shm/aerivon-$1-XXXXXX")
    trap 'bench_stop_all; rm -rf "$run" "$shm"' EXIT
    chmod 755 "$run" # nginx's workers read the release
    cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build-bench --target aerivon-installer >/dev/null
    exe=$PWD/build-bench/bin/aerivon-installer
}

# bench_window PID: waits for the program's window; its id in $win.
bench_window() {
    win=""
    for _ in $(seq 100); do
        win=$(xdotool search --pid "$1" --class Sim-Root 2>/dev/null | head -1 || true)
        [ -n "$win" ] && return 0
        sleep 0.1
    done
    echo "bench: the installer's window did not appear" >&2
    exit 1
}

xvfb_pid=""
nginx_pid=""
program_pid=""
bench_stop_all() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null
    [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    program_pid="" nginx_pid="" xvfb_pid=""
}

bench_start_xvfb() {
    local number=99
    while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do number=$((number + 1)); done
    Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$number" ] && break; sleep 0.1; done
    export DISPLAY=":$number"
}

# bench_start_nginx RELEASE [RATE]: nginx on a free port of 127.0.0.1 ($port), routing the maker's host name
# to RELEASE/maker and mirror1.test to mirror8.test to RELEASE/mirror, each mirror response sent at RATE
# (nginx's limit_rate, such as 2m; default 0, no limit). The installer reaches it as its proxy (absolute
# URIs name the host); curl does the same with --proxy.
bench_start_nginx() {
    local release=$1 rate=${2:-0}
    command -v nginx >/dev/null || { echo "bench: nginx is missing (bash tools/install-deps.sh --bench)" >&2; exit 1; }
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    mkdir -p "$run/nginx/tmp"
    cat >"$run/nginx/nginx.conf" <<EOF
user root;
daemon off;
worker_processes 4;
pid $run/nginx/nginx.pid;
error_log $run/nginx/error.log;
events { worker_connections 1024; }
http {
    access_log off;
    log_format timed '\$host \$request_uri \$status \$body_bytes_sent \$request_time';
    sendfile on;
    tcp_nopush on;
    keepalive_requests 1000000;
    keepalive_timeout 600;
    client_body_temp_path $run/nginx/tmp/body;
    proxy_temp_path $run/nginx/tmp/proxy;
    fastcgi_temp_path $run/nginx/tmp/fastcgi;
    uwsgi_temp_path $run/nginx/tmp/uwsgi;
    scgi_temp_path $run/nginx/tmp/scgi;
    default_type application/octet-stream;
    server { listen 127.0.0.1:$port default_server; return 404; }
    server { listen 127.0.0.1:$port; server_name www.aerivon.example; root $release/maker; }
    server {
        listen 127.0.0.1:$port;
        server_name mirror1.test mirror2.test mirror3.test mirror4.test mirror5.test mirror6.test mirror7.test
                    mirror8.test;
        root $release/mirror;
        access_log $run/nginx/mirror.log timed;
        limit_rate $rate;
    }
}
EOF
    nginx -c "$run/nginx/nginx.conf" -p "$run/nginx" &
    nginx_pid=$!
    for _ in $(seq 100); do
        curl -s -o /dev/null --proxy "http://127.0.0.1:$port" http://www.aerivon.example/ 2>/dev/null && break
        sleep 0.1
    done
}

# bench_install RELEASE FOLDER [begin]: one web install driven like a user, with HOME (and so the install
# folder, the Desktop) and the work folder in FOLDER, which is emptied afterwards. Sets $install_s
# (seconds from the CONTINUE that starts the install to the Finish page), $peak_mb (peak resident
# size) and $frame_ms (the longest time between two frames of the download, from the log). Fails when the installed files differ from the manifest. With "begin" it returns right after the
# CONTINUE that starts the install, the program ($program_pid) still running and logging to
# FOLDER/installer-log.txt.
bench_install() {
    local release=$1 folder=$2 home=$2/home log=$2/installer-log.txt
    rm -rf "$folder"
    mkdir -p "$home/Desktop" "$folder/tmp"
    env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" TMPDIR="$folder/tmp" \
        SDL_VIDEODRIVER=x11 "$exe" --lang=en --log_path="$log" --pref:_log_actions=1 \
        --pref:_proxy_host=127.0.0.1 --pref:_proxy_port_int="$port" >"$folder/output.txt" 2>&1 &
    program_pid=$!
    bench_window "$program_pid"
    wait_page() { # title, seconds
        for _ in $(seq $(($2 * 20))); do
            grep -q "Wizard page: $1" "$log" 2>/dev/null && return 0
            sleep 0.05
        done
        echo "bench: the page '$1' did not come" >&2
        exit 1
    }
    click() { xdotool mousemove --window "$win" "$1" "$2" mousedown 1 sleep 0.05 mouseup 1; sleep 0.2; }
    wait_page "Welcome" 30
    sleep 0.3
    click 719 577 # CONTINUE
    wait_page "End User License Agreement" 30
    sleep 0.3
    click 250 298 # I agree!
    click 719 577
    wait_page "Pick Install Destination" 120
    sleep 0.5
    local t0 t1
    t0=$(date +%s.%N)
    click 719 577
    [ "${3:-}" = begin ] && return 0
    wait_page "Finshed Web Demo Install" 3600
    t1=$(date +%s.%N)
    install_s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
    peak_mb=$(awk '/VmHWM/ { printf "%.0f", $2 / 1024 }' "/proc/$program_pid/status")
    frame_ms=$(sed -n 's/^DOWNLOADING: the longest frame took \([0-9]*\) ms\.$/\1/p' "$log" | tail -n 1)
    kill "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null
    program_pid=""
    local installed
    installed=$(head -n 1 "$home/.local/share/aerivon_install_10.txt")
    python3 tools/check_install.py "$release/manifest.json" "$installed" >"$folder/check.txt" ||
        { cat "$folder/check.txt" >&2; exit 1; }
    rm -rf "$folder"
}

# bench_pipeline RELEASE FOLDER: what a user could script with the standard tools: curl 8 at once (each
# keeps its connection), then bsdtar (zip) or 7zz (7z) 8 at once into FOLDER/copy, then md5sum -c 8 at
# once. Sets $pipeline_s and prints each phase; FOLDER is emptied afterwards.
bench_pipeline() {
    local release=$1 folder=$2
    rm -rf "$folder"
    mkdir -p "$folder/downloads" "$folder/copy" "$folder/scripts"
    python3 - "$release/packages.tsv" "$folder" "$port" <<'PY'
import os, shlex, sys, urllib.parse
tsv, folder, port = sys.argv[1], sys.argv[2], sys.argv[3]
rows = [line.rstrip("\n").split("\t") for line in open(tsv)]
copy = os.path.join(folder, "copy")
for parent in sorted({os.path.dirname(r[2]) for r in rows}):
    os.makedirs(os.path.join(copy, parent), exist_ok=True)
parts = 8
for p in range(parts):
    mine = [(i, r) for i, r in enumerate(rows) if i % parts == p]
    with open(os.path.join(folder, "scripts", f"curl{p}.cfg"), "w") as f:
        for i, (kind, url, path, sig) in mine:
            host = f"mirror{p % 2 + 1}.test"
            f.write(f'url = "http://{host}{urllib.parse.quote(url)}"\n')
            f.write(f'output = "{folder}/downloads/{i}"\n')
    with open(os.path.join(folder, "scripts", f"expand{p}.sh"), "w") as f:
        f.write("set -e\n")
        for i, (kind, url, path, sig) in mine:
            pkg = shlex.quote(f"{folder}/downloads/{i}")
            parent = shlex.quote(os.path.join(copy, os.path.dirname(path)))
            if kind == "zip":
                f.write(f"bsdtar -xf {pkg} -C {parent}\n")
            elif kind == "7z":
                f.write(f"7zz x -y -bso0 -bsp0 {pkg} -o{parent}\n")
            else:
                f.write(f"mv {pkg} {shlex.quote(os.path.join(copy, path))}\n")
    with open(os.path.join(folder, "scripts", f"md5{p}.txt"), "w") as f:
        for i, (kind, url, path, sig) in mine:
            f.write(f"{sig}  {path}\n")
PY
    local t0 t1 t2 t3
    t0=$(date +%s.%N)
    for p in 0 1 2 3 4 5 6 7; do
        curl -s --fail --proxy "http://127.0.0.1:$port" -K "$folder/scripts/curl$p.cfg" &
    done
    wait_all
    t1=$(date +%s.%N)
    for p in 0 1 2 3 4 5 6 7; do bash "$folder/scripts/expand$p.sh" & done
    wait_all
    t2=$(date +%s.%N)
    for p in 0 1 2 3 4 5 6 7; do (cd "$folder/copy" && md5sum -c --quiet "$folder/scripts/md5$p.txt") & done
    wait_all
    t3=$(date +%s.%N)
    pipeline_s=$(awk -v a="$t0" -v b="$t3" 'BEGIN { printf "%.2f", b - a }')
    awk -v a="$t0" -v b="$t1" -v c="$t2" -v d="$t3" \
        'BEGIN { printf "  curl %.2f s + bsdtar/7zz %.2f s + md5sum -c %.2f s = %.2f s\n", b - a, c - b, d - c, d - a }'
    rm -rf "$folder"
}

# Waits for every background job of this shell except the servers; fails when one failed.
wait_all() {
    local pid failed=0
    for pid in $(jobs -p); do
        [ "$pid" = "$xvfb_pid" ] || [ "$pid" = "$nginx_pid" ] || [ "$pid" = "$program_pid" ] && continue
        wait "$pid" || failed=1
    done
    [ "$failed" = 0 ] || { echo "bench: a pipeline step failed" >&2; exit 1; }
}

# bench_served_s URI: the seconds nginx took to serve the last request of URI (its $request_time, from the
# request to the last byte handed to the socket) to a mirror.
bench_served_s() {
    awk -v uri="$1" '$2 == uri { t = $5 } END { if (t == "") exit 1; printf "%.3f", t }' "$run/nginx/mirror.log"
}

# median, slowest / fastest and slowest - fastest of the numbers on standard input.
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.3f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
spread() { sort -n | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.2f", hi / lo }'; }
span() { sort -n | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.3f", hi - lo }'; }

ratio() { awk -v t="$1" -v p="$2" 'BEGIN { printf "%.2f", t / p }'; }
