#!/usr/bin/env bash
# Compares the installer's signature scan with md5sum on every core, and times the reading of a
# 50,000-record directory file. xargs gets -n 16: without it every name fits one md5sum command line and
# -P has nothing to spread. Builds a Release tree in build-bench/ and a generated file tree under
# $TMPDIR (about 4 GiB by default, removed afterwards). Usage: bench/scan_vs_md5sum.sh [SMALL_FILES] [LARGE_FILES] [LARGE_MB]
set -euo pipefail
cd "$(dirname "$0")/.."
small=${1:-3000}
large=${2:-64}
large_mb=${3:-64}
jobs=$(nproc)

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench --target scan_bench >/dev/null
bench=build-bench/bin/scan_bench

tree=$(mktemp -d "${TMPDIR:-/tmp}/aerivon-bench-XXXXXX")
trap 'rm -rf "$tree"' EXIT
python3 - "$tree" "$small" "$large" "$large_mb" <<'PY'
import os, random, sys
root, small, large, large_mb = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
rng = random.Random(7)
for i in range(small):
    folder = os.path.join(root, "Resources", "folder %d" % (i % 40))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "file %d.dat" % i), "wb") as f:
        f.write(os.urandom(rng.randrange(0, 65536)))
chunk = os.urandom(1 << 20)
# Large files spread over the folders, as scenery lies in its tile folders, so that no two of them share
# one checksum task's ten entries.
for i in range(large):
    folder = os.path.join(root, "Resources", "folder %d" % (i * 40 // max(large, 1)))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "large %d.dsf" % i), "wb") as f:
        for _ in range(large_mb):
            f.write(chunk[:-1] + bytes([i % 256]))
PY
files=$(find "$tree" -type f | wc -l)
bytes=$(du -sb "$tree" | cut -f1)
echo "tree: $files files, $((bytes / 1048576)) MiB, $jobs processors"
find "$tree" -type f -print0 | xargs -0 cat >/dev/null # both runs read from the page cache

TIMEFORMAT="%R %U %S"
md5_times=$( { time (cd "$tree" && find . -type f -print0 | xargs -0 -P"$jobs" -n 16 md5sum >"$tree.md5sum"); } 2>&1)
read -r wall user sys <<<"$md5_times"
awk -v w="$wall" -v u="$user" -v s="$sys" -v j="$jobs" \
    'BEGIN { printf "md5sum (xargs -P%d -n 16): wall %.3f s, cpu %.3f s, cpu/wall %.2f\n", j, w, u + s, (u + s) / w }'

"$bench" scan "$tree" "$tree.scan"
if diff <(sort -k2 "$tree.md5sum") <(sort -k2 "$tree.scan") >/dev/null; then
    echo "signatures: all $files equal md5sum's"
else
    echo "signatures: DIFFER from md5sum's" >&2
    exit 1
fi
rm -f "$tree.md5sum" "$tree.scan"

"$bench" dirread 50000 20
