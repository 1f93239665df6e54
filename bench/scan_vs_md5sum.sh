#!/usr/bin/env bash
# Compares the installer's signature scan with the standard tools on every core, in two cases:
#   many files: SMALL_FILES files of 0 to 256 KiB (default 16,000, about 2 GB) against md5deep -j (when
#               installed: tools/install-deps.sh --bench) and xargs -P md5sum (-n 16: without it every name
#               fits one md5sum command line and -P has nothing to spread);
#   large files: LARGE_FILES files of LARGE_MB MB each (default 4 of 1,000 MiB) against xargs -P -n1 md5sum.
# Each case checks that the scan's signatures equal md5sum's. Also times the reading of a 50,000-record
# directory file. Builds a Release tree in build-bench/; each case's tree lives under $TMPDIR only while it
# runs. The last lines give the ratios (tool time / scan time; above 1 the scan is faster).
# Usage: bench/scan_vs_md5sum.sh [SMALL_FILES] [LARGE_FILES] [LARGE_MB]   (try: 2000 2 64)
set -euo pipefail
cd "$(dirname "$0")/.."
small=${1:-16000}
large=${2:-4}
large_mb=${3:-1000}
jobs=$(nproc)

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench --target scan_bench >/dev/null
bench=build-bench/bin/scan_bench

tree=""
cleanup() {
    if [ -n "$tree" ]; then rm -rf "$tree" "$tree.md5sum" "$tree.scan"; fi
    tree=""
}
trap cleanup EXIT

# make_tree KIND COUNT [MB]: a fresh tree of COUNT small files, or of COUNT large files of MB each.
make_tree() {
    tree=$(mktemp -d "${TMPDIR:-/tmp}/aerivon-bench-XXXXXX")
    python3 - "$tree" "$@" <<'PY'
import os, random, sys
root, kind, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
rng = random.Random(7)
if kind == "small":
    for i in range(count):
        folder = os.path.join(root, "Resources", "folder %d" % (i % 40))
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "file %d.dat" % i), "wb") as f:
            f.write(os.urandom(rng.randrange(0, 262144)))
else:
    mb = int(sys.argv[4])
    chunk = os.urandom(1 << 20)
    # Spread over folders, as scenery lies in its tile folders.
    for i in range(count):
        folder = os.path.join(root, "Global Scenery", "tile %d" % i)
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "large %d.dsf" % i), "wb") as f:
            for _ in range(mb):
                f.write(chunk[:-1] + bytes([i % 256]))
PY
    local files bytes
    files=$(find "$tree" -type f | wc -l)
    bytes=$(du -sb "$tree" | cut -f1)
    echo "tree: $files files, $((bytes / 1048576)) MiB, $jobs processors"
    find "$tree" -type f -print0 | xargs -0 cat >/dev/null # every run reads from the page cache
}

# timed LABEL COMMAND...: runs the command in the tree, prints its times, sets $wall.
timed() {
    local label=$1 user sys
    shift
    TIMEFORMAT="%R %U %S"
    read -r wall user sys < <({ time (cd "$tree" && "$@" >"$tree.md5sum"); } 2>&1)
    awk -v l="$label" -v w="$wall" -v u="$user" -v s="$sys" \
        'BEGIN { printf "%s: wall %.3f s, cpu %.3f s, cpu/wall %.2f\n", l, w, u + s, (u + s) / w }'
}

# scan_and_check: the scan of the tree (sets $scan_wall) and the comparison with the last md5sum run.
scan_and_check() {
    local out
    out=$("$bench" scan "$tree" "$tree.scan")
    echo "$out"
    scan_wall=$(sed -n 's/^scan: wall \([0-9.]*\) s.*/\1/p' <<<"$out")
    local files
    files=$(wc -l <"$tree.scan")
    if diff <(sort -k2 "$tree.md5sum") <(sort -k2 "$tree.scan") >/dev/null; then
        echo "signatures: all $files equal md5sum's"
    else
        echo "signatures: DIFFER from md5sum's" >&2
        exit 1
    fi
}

ratio() { awk -v t="$1" -v s="$2" 'BEGIN { printf "%.2f", t / s }'; }

echo "== many files"
make_tree small "$small"
md5deep_wall=""
if command -v md5deep >/dev/null; then
    timed "md5deep -r -j$jobs" md5deep -r -j"$jobs" .
    md5deep_wall=$wall
fi
timed "md5sum (xargs -P$jobs -n 16)" sh -c "find . -type f -print0 | xargs -0 -P$jobs -n 16 md5sum"
many_md5sum_wall=$wall
scan_and_check
many_scan_wall=$scan_wall
cleanup

echo "== large files"
make_tree large "$large" "$large_mb"
timed "md5sum (xargs -P$jobs -n1)" sh -c "find . -type f -print0 | xargs -0 -P$jobs -n1 md5sum"
large_md5sum_wall=$wall
scan_and_check
large_scan_wall=$scan_wall
cleanup

echo "== directory file"
"$bench" dirread 50000 20

echo "ratio many files ($small), md5sum xargs / scan: $(ratio "$many_md5sum_wall" "$many_scan_wall")"
if [ -n "$md5deep_wall" ]; then
    echo "ratio many files ($small), md5deep -j$jobs / scan: $(ratio "$md5deep_wall" "$many_scan_wall")"
fi
echo "ratio large files ($large x $large_mb MB), md5sum xargs -n1 / scan: $(ratio "$large_md5sum_wall" "$large_scan_wall")"
