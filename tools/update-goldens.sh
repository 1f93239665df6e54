#!/usr/bin/env bash
# Renders the golden screenshots of the toolkit tests again and rewrites every one in tests/golden that is
# missing or no longer matches. For each rewritten in-process image the new picture, the old one and a
# diff (red: beyond the tolerance, blue: masked) go to <build>/golden-diff for review before committing;
# the screenshots of whole programs (shell_*.png) are copied over as they are: review them with git diff.
#   tools/update-goldens.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target ui_tests e2e_tests aerivon-installer
out="$PWD/$build/golden-diff"
rm -rf "$out"
mkdir -p "$out"
run() {
    AERIVON_UPDATE_GOLDENS=1 AERIVON_GOLDEN_OUT="$out" SDL_VIDEODRIVER=x11 \
        xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$@"
}
run "$build/bin/ui_tests" \
    --gtest_filter='*GoldenGui*:ShellDriverGuiTest.AWarningLooksAsDrawn*:ShellDriverGuiTest.APopupLooksAsDrawn*'
run "$build/bin/e2e_tests" --gtest_filter='ShellProgramTest.TheLanguageChooserComesUp*'
echo "== rewritten goldens (review $out):"
git status --short tests/golden
