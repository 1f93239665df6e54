#!/usr/bin/env bash
# One large download: a release of a single plain package of MIB MiB (default 1,024) served by nginx on
# 127.0.0.1 (the installer's proxy), installed by the Release program under Xvfb (one server, so one slot)
# into a tmpfs folder, RUNS times (default 3), interleaved with `curl -o` of the same package through the
# same proxy into the same folder, then `md5sum` of it (the program checks the file's MD5 too). Two
# figures per run:
#   transfer: the seconds nginx took to serve the package to the program (its access log), against curl -o;
#   install:  the click that starts the install to the Finish page, against curl -o + md5sum.
# Every install is checked against the manifest. Needs `bash tools/install-deps.sh --bench`. The last lines
# give the ratios of the medians (tool time / program time) and the slowest run over and beyond the fastest.
# CACHE is the page cache each run (curl's and the program's alike) starts from: warm (default) leaves it as
# it is; cold drops it (root only) and reads the package back in; filled does the same and then reads 4 GiB
# of other files (made on disk under $TMPDIR once, 4 GiB of room).
# Usage: bench/download_vs_curl.sh [MIB] [RUNS] [warm|cold|filled]   (try: 64)
set -euo pipefail
cd "$(dirname "$0")/.."
mib=${1:-1024}
runs=${2:-3}
cache=${3:-warm}
case "$cache" in
warm | cold | filled) ;;
*) echo "download_vs_curl: the cache state is warm, cold or filled" >&2; exit 1 ;;
esac
if [ "$cache" != warm ] && ! { sync && echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null; then
    echo "download_vs_curl: the $cache state drops the page cache, which needs root" >&2
    exit 1
fi
. bench/bench_common.sh

bench_setup download-bench
python3 bench/make_bench_release.py "$run/release" --one-file-mb "$mib" --mirrors 1
bench_start_nginx "$run/release"
bench_start_xvfb
url=$(cut -f2 "$run/release/packages.tsv" | sed 's/ /%20/g')
sig=$(cut -f4 "$run/release/packages.tsv")
package_file="$run/release/mirror$(cut -f2 "$run/release/packages.tsv")"
if [ "$cache" = filled ]; then
    mkdir "$run/other"
    for f in 1 2 3 4; do dd if=/dev/zero of="$run/other/$f" bs=1M count=1024 status=none; done
fi
# The page cache a run starts from: the package in it (nginx serves it from there), and the rest as CACHE says.
prepare_cache() {
    if [ "$cache" != warm ]; then
        sync
        echo 3 >/proc/sys/vm/drop_caches
    fi
    cat "$package_file" >/dev/null
    if [ "$cache" = filled ]; then cat "$run/other"/* >/dev/null; fi
}

rate() { awk -v m="$mib" -v s="$1" 'BEGIN { printf "%.0f", m / s }'; }
curl_runs=() md5_runs=() transfer_runs=() install_runs=()
for i in $(seq "$runs"); do
    prepare_cache
    t0=$(date +%s.%N)
    curl -s --fail --proxy "http://127.0.0.1:$port" -o "$shm/package" "http://mirror1.test$url"
    t1=$(date +%s.%N)
    have=$(md5sum "$shm/package" | cut -d' ' -f1)
    t2=$(date +%s.%N)
    [ "$have" = "$sig" ] || { echo "download_vs_curl: curl's copy differs" >&2; exit 1; }
    rm -f "$shm/package"
    curl_runs+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')")
    md5_runs+=("$(awk -v a="$t0" -v b="$t2" 'BEGIN { printf "%.3f", b - a }')")

    prepare_cache
    bench_install "$run/release" "$shm/work"
    transfer_runs+=("$(bench_served_s "$url")")
    install_runs+=("$install_s")
    echo "run $i: curl -o ${curl_runs[-1]} s, + md5sum ${md5_runs[-1]} s;" \
        "program: transfer ${transfer_runs[-1]} s ($(rate "${transfer_runs[-1]}") MiB/s), install $install_s s," \
        "peak resident $peak_mb MB, longest frame ${frame_ms:-?} ms"
done

curl_s=$(printf '%s\n' "${curl_runs[@]}" | median)
curl_md5_s=$(printf '%s\n' "${md5_runs[@]}" | median)
transfer_s=$(printf '%s\n' "${transfer_runs[@]}" | median)
install_med_s=$(printf '%s\n' "${install_runs[@]}" | median)
echo "medians of $runs: curl -o $curl_s s ($(rate "$curl_s") MiB/s), + md5sum $curl_md5_s s;" \
    "program transfer $transfer_s s, install $install_med_s s"
echo "transfer spread, slowest / fastest: $(printf '%s\n' "${transfer_runs[@]}" | spread) (curl -o: $(printf '%s\n' "${curl_runs[@]}" | spread));" \
    "slowest - fastest: $(printf '%s\n' "${transfer_runs[@]}" | span) s (curl -o: $(printf '%s\n' "${curl_runs[@]}" | span) s)"
echo "ratio curl -o + md5sum / program install: $(ratio "$curl_md5_s" "$install_med_s")"
echo "ratio curl -o / program transfer: $(ratio "$curl_s" "$transfer_s")"
