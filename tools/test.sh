#!/usr/bin/env bash
# Builds the Debug configuration with warnings as errors and runs every test. With CI=true it also checks
# the formatting, runs the unit tests under ASan+UBSan and the threaded suites under TSan.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh

jobs=$(nproc)
configure() { # dir, extra cmake args...
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DAERIVON_WERROR=ON "$@" >/dev/null
}

configure build
cmake --build build -j "$jobs"
# Window tests (label gui) run on one Xvfb without a window manager, one at a time (RESOURCE_LOCK). The
# program's own runs (label e2e) each start an X server and are driven like a user: two at a time, after
# the rest, so that a loaded machine does not starve them.
SDL_VIDEODRIVER=x11 xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    ctest --test-dir build --output-on-failure -j "$jobs" --timeout 600 -LE e2e
SDL_VIDEODRIVER=x11 xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    ctest --test-dir build --output-on-failure -j 2 --timeout 600 -L e2e
# The toolkit's window tests once more, all in one process: what one window leaves behind must not reach
# the next.
SDL_VIDEODRIVER=x11 xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    build/bin/ui_tests --gtest_filter='*Gui*' --gtest_brief=1

if [ "${CI:-}" = "true" ]; then
    echo "== format check"
    dirs=()
    for d in src tests tools bench; do [ -d "$d" ] && dirs+=("$d"); done
    find "${dirs[@]}" \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 -r clang-format-14 --dry-run --Werror

    echo "== ASan + UBSan unit run"
    configure build-asan -DAERIVON_SANITIZE=address
    cmake --build build-asan -j "$jobs" --target base_tests ui_tests installer_tests
    (cd build-asan && ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1 \
        ctest --output-on-failure -j "$jobs" -L unit --timeout 900)

    echo "== TSan run"
    configure build-tsan -DAERIVON_SANITIZE=thread
    cmake --build build-tsan -j "$jobs" --target base_tests installer_tests ui_tests
    (cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
        ctest --output-on-failure -j "$jobs" -L tsan --timeout 900)
fi
echo "== all tests passed"
