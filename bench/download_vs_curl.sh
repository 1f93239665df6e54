#!/usr/bin/env bash
# One large download: a release of a single plain package of MIB MiB (default 1,024) served by nginx on
# 127.0.0.1, installed by the Release program under Xvfb (one server, so one slot) into a tmpfs folder,
# against `curl -o` of the same package into the same folder (and curl -o followed by md5sum, since the
# program checks the file's MD5 too). The install is checked against the manifest. Needs
# `bash tools/install-deps.sh --bench`. The last line gives the ratio (curl time / program time).
# Usage: bench/download_vs_curl.sh [MIB]   (try: 64)
set -euo pipefail
cd "$(dirname "$0")/.."
mib=${1:-1024}
. bench/bench_common.sh

bench_setup download-bench
python3 bench/make_bench_release.py "$run/release" --one-file-mb "$mib" --mirrors 1
bench_start_nginx "$run/release"
bench_start_xvfb
url=$(cut -f2 "$run/release/packages.tsv" | sed 's/ /%20/g')
sig=$(cut -f4 "$run/release/packages.tsv")
cat "$run/release/mirror$(cut -f2 "$run/release/packages.tsv")" >/dev/null # into the page cache

best() { sort -n | head -1; }
curl_runs=()
md5_runs=()
for _ in 1 2 3; do
    t0=$(date +%s.%N)
    curl -s --fail --proxy "http://127.0.0.1:$port" -o "$shm/package" "http://mirror1.test$url"
    t1=$(date +%s.%N)
    have=$(md5sum "$shm/package" | cut -d' ' -f1)
    t2=$(date +%s.%N)
    [ "$have" = "$sig" ] || { echo "download_vs_curl: curl's copy differs" >&2; exit 1; }
    rm -f "$shm/package"
    curl_runs+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')")
    md5_runs+=("$(awk -v a="$t0" -v b="$t2" 'BEGIN { printf "%.3f", b - a }')")
done
curl_s=$(printf '%s\n' "${curl_runs[@]}" | best)
curl_md5_s=$(printf '%s\n' "${md5_runs[@]}" | best)
echo "curl -o: best of 3 $curl_s s ($(awk -v m="$mib" -v s="$curl_s" 'BEGIN { printf "%.0f", m / s }') MiB/s); with md5sum: $curl_md5_s s"

bench_install "$run/release" "$shm/work"
echo "program: $install_s s ($(awk -v m="$mib" -v s="$install_s" 'BEGIN { printf "%.0f", m / s }') MiB/s, from the click that starts the install to the Finish page), peak resident $peak_mb MB"
echo "ratio curl -o + md5sum / program: $(ratio "$curl_md5_s" "$install_s")"
echo "ratio curl -o / program: $(ratio "$curl_s" "$install_s")"
