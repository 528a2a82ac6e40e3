#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
#   scripts/test.sh              plain build
#   scripts/test.sh --sanitize   the same suite under AddressSanitizer + UndefinedBehaviorSanitizer
#   scripts/test.sh --tsan       the tests that start threads, under ThreadSanitizer
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh "$@"
preset=plain
[ "${1:-}" = "--sanitize" ] && preset=sanitize
# ThreadSanitizer runs the tests that start threads (CMakePresets.json names them). Left out:
# the end-to-end photo test, which cuts full-size photos for minutes under the sanitizer while
# its camera thread is the one the other camera tests run; the calibration dialog's test, which
# starts no thread of ours, only Qt's file-dialog helper thread that Qt synchronises inside
# libQt5Core, out of the sanitizer's sight.
[ "${1:-}" = "--tsan" ] && preset=tsan

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Any report fails the test; the suppressions name third-party code only.
export TSAN_OPTIONS="second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp"

log=$(mktemp)
trap 'rm -f "$log"' EXIT
set +e
ctest --preset "$preset" -j"$(nproc)" | tee "$log"
status=${PIPESTATUS[0]}
set -e

summary=$(grep -E '[0-9]+% tests passed' "$log" || echo "no tests ran")
echo
echo "=== $preset: $summary ==="
exit "$status"
