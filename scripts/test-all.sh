#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the native suite under CTest,
# then each extra stage (scripts/stage-*.sh: Windows builds under Wine, sanitizers, fuzzing).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/deps.sh
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --timeout 300 -j2
for stage in scripts/stage-*.sh; do
  [ -e "$stage" ] || continue
  echo "== $(basename "$stage") =="
  bash "$stage"
done
