#!/usr/bin/env bash
# Windows stage: cross-builds the Windows pieces for 32-bit and 64-bit Windows with mingw-w64
# and runs their test programs under Wine on a private virtual display. Fails on any failure.
# Uses its own Wine prefix (build-wine/prefix, made on first use) and its own Xvfb; both
# are stopped again on exit.
#
# The 32-bit build also makes the Windows programs (tracewell32.exe, Stepwright9.exe,
# Stepwright85.exe) against Qt for Windows, which scripts/build-qt-windows.sh builds once from
# Debian's source into a cache (35-40 CPU-minutes the first time), the installer
# Tracewell-<version>-setup.exe, and runs the installed programs end to end under Wine
# (tests/windows/e2e.sh).
#   TW_WINDOWS_QT=off   only the Qt-free pieces (quicker, for work on the formula library)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
export WINEDEBUG=-all
# No Mono or Gecko prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="$root/build-wine/prefix"
mkdir -p "$root/build-wine"

# Each tool this stage calls, with the package that brings it (scripts/deps.sh installs them all).
need() {  # need COMMAND PACKAGE
  command -v "$1" >/dev/null || { echo "stage-windows: '$1' is missing: install the Debian package $2 (scripts/deps.sh does)" >&2; exit 1; }
}
need i686-w64-mingw32-g++-posix mingw-w64
need x86_64-w64-mingw32-g++-posix mingw-w64
need i686-w64-mingw32-widl mingw-w64-tools
need wine wine
need wineboot wine
need wineserver wine
need Xvfb xvfb
# 32-bit programs need Wine's 32-bit loader (wine32:i386), 64-bit ones wine64's.
[ -x /usr/lib/wine/wine ] || { echo "stage-windows: Wine's 32-bit loader is missing: install wine32:i386 (scripts/deps.sh does)" >&2; exit 1; }
[ -x /usr/lib/wine/wine64 ] || { echo "stage-windows: Wine's 64-bit loader is missing: install wine64 (scripts/deps.sh does)" >&2; exit 1; }

xvfb_pid=
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

with_qt=1
[ "${TW_WINDOWS_QT:-on}" = off ] && with_qt=0
if [ $with_qt = 1 ]; then
  need makensis nsis
  qt_prefix=$(scripts/build-qt-windows.sh | tail -n1)
  echo "-- Qt for Windows: $qt_prefix"
fi

# The 64-bit build first: the installer made by the 32-bit one carries its Tracetap.dll.
for arch in x86_64 i686; do
  dir="$root/build-win-$arch"
  toolchain="$root/cmake/toolchains/mingw-$arch.cmake"
  extra=(-DTW_BUILD_QT=OFF)
  # The 64-bit tests also register the 32-bit library beside their own.
  if [ $arch = x86_64 ]; then extra+=(-DTW_WINDOWS_OTHER_BIN="$root/build-win-i686/bin"); fi
  if [ $with_qt = 1 ] && [ $arch = i686 ]; then
    # Qt's own toolchain file finds its host tools and libraries and then loads ours.
    extra=(-DTW_BUILD_QT=ON -DTW_HAVE_WINDOWS_QT=ON -DQT_CHAINLOAD_TOOLCHAIN_FILE="$toolchain"
           -DTW_TRACETAP64_DLL="$root/build-win-x86_64/bin/Tracetap.dll")
    toolchain="$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake"
  fi
  # A build folder made with another toolchain cannot be reconfigured: start it anew.
  if [ -f "$dir/CMakeCache.txt" ] && ! grep -qx "CMAKE_TOOLCHAIN_FILE:[A-Z]*=$toolchain" "$dir/CMakeCache.txt"; then
    rm -rf "$dir"
  fi
  # Configured on every run (a few seconds): a tool installed since the last run (wine,
  # chmcmd) is found now instead of staying NOTFOUND in the cache.
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DTW_BUILD_TESTS=OFF -DTW_BUILD_BENCH=OFF "${extra[@]}" >/dev/null
  if grep -q 'NOTFOUND' <(grep -E '^(TW_WINE_EXECUTABLE|CMAKE_CROSSCOMPILING_EMULATOR)' "$dir/CMakeCache.txt"); then
    echo "stage-windows: $dir has no Wine to run its test programs with" >&2; exit 1
  fi
  cmake --build "$dir"
done
if [ $with_qt = 1 ]; then
  cmake --build "$root/build-win-i686" --target installer
fi

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
if [ $with_qt = 1 ]; then
  echo "-- The installer and the installed programs, end to end under Wine"
  bash "$root/tests/windows/e2e.sh" "$root/build-win-i686" || status=1
fi
exit $status
