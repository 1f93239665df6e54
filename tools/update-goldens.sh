#!/usr/bin/env bash
# Renders the golden screenshots of the toolkit tests again and rewrites every one in tests/golden that is
# missing or no longer matches. For each rewritten image the new picture, the old one and a diff (red:
# beyond the tolerance, blue: masked) go to <build>/golden-diff for review before committing.
#   tools/update-goldens.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target ui_tests
out="$PWD/$build/golden-diff"
rm -rf "$out"
mkdir -p "$out"
AERIVON_UPDATE_GOLDENS=1 AERIVON_GOLDEN_OUT="$out" SDL_VIDEODRIVER=x11 \
    xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    "$build/bin/ui_tests" --gtest_filter='*GoldenGui*'
echo "== rewritten goldens (review $out):"
git status --short tests/golden
