#!/usr/bin/env bash
# Screenshots of two dialogs as the program shows them, taken by the end-to-end tests that check them:
# the cancel question over the Installing page (installing-cancel-question.png) and the language chooser
# of a locale without a translation (language-chooser.png).
#   tools/dialog-screens.sh [build folder, default build] [output folder, default build-release/run/screens]
# tools/run.sh empties build-release/run when it starts: run this afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-build-release/run/screens}
cmake --build "$build" --target e2e_tests aerivon-installer
mkdir -p "$out"
out=$(cd "$out" && pwd)
AERIVON_SCREENS_OUT="$out" SDL_VIDEODRIVER=x11 "$build/bin/e2e_tests" \
    --gtest_filter='*CancelQuestionQuitTest*Sigterm:ShellProgramTest.AQuitWhileTheLanguageChooser*'
echo "== $out/installing-cancel-question.png"
echo "== $out/language-chooser.png"
