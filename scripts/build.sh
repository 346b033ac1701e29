#!/usr/bin/env bash
# Configures (once) and builds the native Linux tree in build/; later runs are incremental.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TW_BUILD_DIR:-$root/build}
# Object files are shared through ccache by every clone of the tree (paths relative to it).
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja "$@"
fi
cmake --build "$build"
