#!/usr/bin/env bash
# The web install of a large release against the standard tools. Generates a release of FILES files
# (default 10,000, about 1.5 GB: zip, 7z and plain packages) with bench/make_bench_release.py, serves it
# with nginx on 127.0.0.1, drives the Release program's web install under Xvfb with 2 and with 8 servers
# (so 2 and 8 download slots), and runs the pipeline of curl 8 at once (over 2 mirrors), bsdtar/7zz 8 at
# once and md5sum -c, each to a tmpfs folder (/dev/shm) and to a disk folder ($TMPDIR), RUNS times
# (default 3), interleaved. Every install is checked against the release's manifest. Needs
# `bash tools/install-deps.sh --bench`. Everything made is removed. The last lines give the ratios of the
# medians (pipeline time / program time; 1 or more: the program is as fast), 2 mirrors first.
# Usage: bench/install_vs_tools.sh [FILES] [RUNS]   (try: 300 1)
set -euo pipefail
cd "$(dirname "$0")/.."
files=${1:-10000}
runs=${2:-3}
. bench/bench_common.sh

bench_setup install-bench
python3 bench/make_bench_release.py "$run/release" --files "$files"
echo "release: $files files, $(du -sm --apparent-size "$run/release/mirror/pub/Aerivon10Demo" | cut -f1) MiB of packages," \
    "$(cut -f1 "$run/release/packages.tsv" | sort | uniq -c | awk '{ printf "%s%s %s", sep, $1, $2; sep = ", " }')"
bench_start_nginx "$run/release"
bench_start_xvfb

declare -A program pipeline
for place in tmpfs disk; do
    folder=$shm/work
    [ "$place" = disk ] && folder=$run/work
    echo "== to $place ($(df --output=fstype "$(dirname "$folder")" | tail -1))"
    for i in $(seq "$runs"); do
        bench_pipeline "$run/release" "$folder"
        pipeline[$place]+="$pipeline_s "
        echo "run $i: pipeline $pipeline_s s"
        for slots in 2 8; do
            python3 bench/make_bench_release.py "$run/release" --mirrors "$slots"
            bench_install "$run/release" "$folder"
            program[$place.$slots]+="$install_s "
            echo "run $i: program, $slots slots: $install_s s, peak resident $peak_mb MB, longest frame ${frame_ms:-?} ms, files checked"
        done
    done
done

for place in tmpfs disk; do
    pipeline_s=$(printf '%s\n' ${pipeline[$place]} | median)
    for slots in 2 8; do
        program_s=$(printf '%s\n' ${program[$place.$slots]} | median)
        echo "ratio to $place, $slots mirrors (median pipeline $pipeline_s s / median program $program_s s):" \
            "$(ratio "$pipeline_s" "$program_s")"
    done
done
