#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang in build-fuzz/ and runs each for a bounded
# time on a copy of its seed corpus. Exits non-zero when any target finds a crash, a leak, a
# sanitizer report or a broken property; the input is kept in build-fuzz/findings/.
#   TW_FUZZ_SECONDS   seconds per target (default 18)
#   TW_FUZZ_TARGETS   targets to run (default: all that were built)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=build-fuzz
seconds=${TW_FUZZ_SECONDS:-18}
all="envelope_fuzz receiver_fuzz call_parser_fuzz scanner_fuzz report_xml_fuzz log_line_fuzz log_file_fuzz"
targets=${TW_FUZZ_TARGETS:-$all}

if ! command -v clang++ >/dev/null; then
  echo "stage-fuzz: clang++ is missing (scripts/deps.sh installs it)" >&2
  exit 1
fi
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTW_FUZZ=ON -DTW_BUILD_TESTS=OFF -DTW_BUILD_BENCH=OFF >/dev/null
fi
known=$(ninja -C "$build" -t targets all 2>/dev/null || true)
built=""
for t in $targets; do
  if grep -q "^$t:" <<<"$known"; then built="$built $t"; fi
done
# shellcheck disable=SC2086
cmake --build "$build" -j"${TW_JOBS:-2}" --target $built

status=0
mkdir -p "$build/findings"
# Every file a target makes goes below one folder of this run, removed at the end whatever
# happened (the targets also remove their own folders when they end).
fuzztmp=$(mktemp -d "${TMPDIR:-/tmp}/tw-fuzz-stage-XXXXXX")
trap 'rm -rf "$fuzztmp"' EXIT
export TMPDIR=$fuzztmp
export TRACEWELL_SOCKET_DIR=$fuzztmp/sockets
for t in $built; do
  seeds="fuzz/corpus/${t%_fuzz}"
  work="$build/corpus/$t"
  mkdir -p "$work"
  [ -d "$seeds" ] && cp -n "$seeds"/* "$work"/ 2>/dev/null || true
  log="$build/findings/$t.log"
  start=$(date +%s)
  if "$build/bin/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
       -print_final_stats=1 -artifact_prefix="$build/findings/$t-" "$work" >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    echo "fuzz $t: $(( $(date +%s) - start )) s, $runs runs, no finding"
  else
    echo "fuzz $t: FINDING (see $log)" >&2
    tail -n 40 "$log" >&2
    status=1
  fi
done
exit $status
