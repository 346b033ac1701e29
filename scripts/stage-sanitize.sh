#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/ and
# runs the whole test suite there once. Exits non-zero on any failing test or sanitizer report
# (leaks included; tests/sanitizer/lsan.supp lists the one library leak that is not ours).
#   TW_SANITIZE_TESTS   a ctest -R pattern to run only some tests (default: all)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=build-asan
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_SANITIZE=ON \
    -DTW_BUILD_BENCH=OFF >/dev/null
fi
export QT_QPA_PLATFORM=offscreen TW_BIN_DIR="$root/$build/bin"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

cmake --build "$build" -j"${TW_JOBS:-2}"
start=$(date +%s)
log="$build/sanitize.log"
status=0
ctest --test-dir "$build" --output-on-failure --timeout 600 -j2 ${TW_SANITIZE_TESTS:+-R "$TW_SANITIZE_TESTS"} \
  >"$log" 2>&1 || status=$?
if [ $status -eq 0 ]; then
  echo "sanitize: $(grep -o '[0-9]*% tests passed.*' "$log" | head -1), $(( $(date +%s) - start )) s, clean"
else
  echo "sanitize: FAILED (see $log)" >&2
  grep -E "ERROR: AddressSanitizer|ERROR: LeakSanitizer|runtime error|Failure|\*\*\*Failed|tests failed" -A12 "$log" | head -80 >&2
fi
exit $status
