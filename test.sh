#!/usr/bin/env bash
# Installs what is missing, builds Tessaly and runs every test through ctest, headless.
#   ./test.sh              the ordinary build, in build/
#   ./test.sh --sanitize   a build with AddressSanitizer and UndefinedBehaviorSanitizer, in build-sanitize/
#   ./test.sh --tsan       a build with ThreadSanitizer, in build-tsan/, without the slow tests (they
#                          run gigabytes through the same threads the others run)
# Extra arguments after "--" go to ctest (for example: ./test.sh -- -L zip).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$ROOT/scripts/common.sh"

dir="$ROOT/build"
cmake_args=()
ctest_args=()
if [ "${1:-}" = "--sanitize" ]; then
    dir="$ROOT/build-sanitize"
    cmake_args=(-DTESSALY_SANITIZE=ON -DTESSALY_WERROR=ON)
    shift
elif [ "${1:-}" = "--tsan" ]; then
    dir="$ROOT/build-tsan"
    cmake_args=(-DTESSALY_TSAN=ON -DTESSALY_WERROR=ON)
    ctest_args=(-LE slow)
    shift
fi
[ "${1:-}" = "--" ] && shift

ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
build_tree "$dir" "${cmake_args[@]}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# A test starts programs (fork and exec) while threads run.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 die_after_fork=0 suppressions=$ROOT/tests/tsan.supp"
cd "$dir"
ctest --output-on-failure --parallel "$(nproc)" "${ctest_args[@]}" "$@"
