#!/usr/bin/env bash
# Windows stage: cross-builds the Windows pieces for 32-bit and 64-bit Windows with mingw-w64
# and runs their test programs under Wine on a private virtual display. Fails on any failure.
# Uses its own Wine prefix (build-wine/prefix, made on first use) and its own Xvfb; both
# are stopped again on exit.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
export WINEDEBUG=-all
# No Mono or Gecko prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="$root/build-wine/prefix"
mkdir -p "$root/build-wine"

xvfb_pid=
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

for arch in i686 x86_64; do
  dir="$root/build-win-$arch"
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-$arch.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DTW_BUILD_TESTS=OFF -DTW_BUILD_BENCH=OFF -DTW_BUILD_QT=OFF >/dev/null
  fi
  cmake --build "$dir"
done

# A display of our own: windows cannot be created under Wine without one.
exec 3>"$root/build-wine/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$root/build-wine/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$root/build-wine/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$root/build-wine/display")"
# A wineserver left from a run without this display would make windows fail.
wineserver -k >/dev/null 2>&1 || true
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Making the Wine prefix $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  # Let the server that made the prefix finish (it saves the registry as it ends).
  wineserver -w
fi
# One persistent server for all test programs (each would otherwise start and stop one), and
# its service processes started now with their output on /dev/null: started by the first
# test they would hold that test's output pipe open and CTest would wait for them.
wineserver -p
wine cmd /c exit >/dev/null 2>&1 </dev/null || true

status=0
for arch in i686 x86_64; do
  echo "-- Windows tests, $arch, under Wine"
  ctest --test-dir "$root/build-win-$arch" --output-on-failure --timeout 180 || status=1
  # Figures for docs/performance.md; it also checks that every envelope arrived.
  wine "$root/build-win-$arch/bin/copydata_roundtrip.exe" 400 || status=1
done
exit $status
