#!/usr/bin/env bash
# The CPU the installer's window takes: the share of one core that the whole process (main thread and the
# software renderer's threads) uses over SECONDS (default 20) on the Welcome page, then again with the
# window hidden, then while a web install downloads one plain package that nginx sends at 2 MiB/s (no
# input meanwhile). Runs the Release program on a private Xvfb with Mesa's llvmpipe. Xvfb has no window
# manager to minimise the window, so it is unmapped, which the program sees as hidden, as it sees a
# minimised window. The last line gives the three shares. Needs `bash tools/install-deps.sh --bench` for
# nginx. Usage: bench/idle_cpu.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
. bench/bench_common.sh

bench_setup idle-bench
bench_start_xvfb
mkdir -p "$run/home/Desktop"
log=$run/installer-log.txt
# No server is needed for the Welcome page; the proxy points at a closed port so nothing leaves the host.
env HOME="$run/home" XDG_CONFIG_HOME="$run/home/.config" XDG_DATA_HOME="$run/home/.local/share" TMPDIR="$run" \
    SDL_VIDEODRIVER=x11 LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe \
    "$exe" --lang=en --log_path="$log" --pref:_log_actions=1 --pref:_proxy_host=127.0.0.1 \
    --pref:_proxy_port_int=9 >"$run/output.txt" 2>&1 &
program_pid=$!
bench_window "$program_pid"
for _ in $(seq 300); do grep -q "Wizard page: Welcome" "$log" 2>/dev/null && break; sleep 0.1; done
grep -q "Wizard page: Welcome" "$log" || { echo "idle_cpu: the Welcome page did not come" >&2; exit 1; }

ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$program_pid/stat"; }
# share SECONDS: the process's CPU time over that many seconds, as a percentage of one core.
share() {
    local t0 t1
    t0=$(cpu_ticks)
    sleep "$1"
    t1=$(cpu_ticks)
    awk -v d=$((t1 - t0)) -v hz="$ticks" -v s="$1" 'BEGIN { printf "%.1f", 100 * d / hz / s }'
}

sleep 2 # past the second of full speed after start-up
welcome=$(share "$seconds")
echo "Welcome page, shown: $welcome % of one core over $seconds s"
xdotool windowunmap --sync "$win"
sleep 2
hidden=$(share "$seconds")
echo "Welcome page, hidden: $hidden % of one core over $seconds s"
kill "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null || true
program_pid=""

# The download outlasts the measurement: 2 MiB a second for SECONDS + 15 seconds.
mib=$((2 * (seconds + 15)))
python3 bench/make_bench_release.py "$run/release" --one-file-mb "$mib" --mirrors 1 >/dev/null
bench_start_nginx "$run/release" 2m
export LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe
bench_install "$run/release" "$run/install" begin
for _ in $(seq 300); do grep -q "Wizard page: Installing" "$run/install/installer-log.txt" 2>/dev/null && break; sleep 0.1; done
sleep 2 # past the second of full speed after the click
downloading=$(share "$seconds")
echo "Installing page, downloading at 2 MiB/s: $downloading % of one core over $seconds s"
echo "CPU share of one core: shown $welcome % (target 15 %), hidden $hidden % (target 2 %)," \
    "downloading at 2 MiB/s $downloading % (target 25 %)"
