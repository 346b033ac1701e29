#!/usr/bin/env bash
# Builds Qt for 32-bit Windows (Core, Gui, Widgets, PrintSupport) from Debian's own qt6-base
# source with mingw-w64's posix-thread compilers, against this machine's Qt host tools, and
# installs it into a cache outside the work tree. A cache made with the same Qt version,
# toolchain and options is reused as it is; the last line printed is the install prefix.
# Then, as an add-on step with its own key and marker, Qt Charts (widgets only, for the
# viewer's value plots) into the same prefix: see "Qt Charts" below.
#
#   TW_QT_WIN_CACHE   where the builds are kept (default /var/cache/tracewell)
#   TW_JOBS           parallel compile jobs (default: the number of cores)
#
# Takes about 35-40 CPU-minutes on first use (Charts about 5 more); needs the packages of
# scripts/deps.sh and, for the sources, a Debian mirror in /etc/apt (read from there, a
# deb-src entry added beside it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${TW_QT_WIN_CACHE:-/var/cache/tracewell}
triple=i686-w64-mingw32
jobs=${TW_JOBS:-$(nproc)}

# The Qt the host tools come from: the cross build must be the same version.
host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null) \
  || { echo "build-qt-windows: qt6-base-dev is not installed (scripts/deps.sh installs it)" >&2; exit 1; }
upstream=${host_version%%+*}            # 6.4.2+dfsg-21.1 -> 6.4.2
upstream=${upstream%%-*}

# Everything that changes the result goes into the cache key.
options=(
  -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_concurrent=OFF
  -DFEATURE_testlib=OFF -DFEATURE_xml=OFF -DFEATURE_system_zlib=OFF
  # Debian's source has no wintab headers; the 6.4 Windows platform plugin needs OpenGL on.
  -DFEATURE_tabletevent=OFF
)
gcc_version=$("$triple-g++-posix" -dumpfullversion 2>/dev/null) \
  || { echo "build-qt-windows: $triple-g++-posix is missing (Debian package mingw-w64)" >&2; exit 1; }
key=$(printf '%s\n' "$host_version" "$gcc_version" "${options[@]}" | sha256sum | cut -c1-12)
prefix="$cache/qt-$upstream-$triple-posix-$key"

# The Charts step has a key of its own (the base key, the recipe and the source it is built
# from), and its marker in the prefix: a change to it rebuilds Charts alone, never the base.
charts_recipe="$root/scripts/qt-charts-windows/CMakeLists.txt"
charts_key=$( { echo "$key"; cat "$charts_recipe"; sed -n '/^# Qt Charts/,$p' "$0"; } | sha256sum | cut -c1-12)
charts_marker="$prefix/.complete-charts-$charts_key"

if [ -f "$prefix/.complete" ] && [ -f "$charts_marker" ]; then
  echo "$prefix"
  exit 0
fi
[ "$(id -u)" -eq 0 ] || [ -w "$cache" ] || mkdir -p "$cache" 2>/dev/null \
  || { echo "build-qt-windows: cannot write $cache (set TW_QT_WIN_CACHE or run as root)" >&2; exit 1; }
mkdir -p "$cache"
# One build at a time: a second caller waits for the first and then takes its result.
exec 9>"$cache/.lock-$key"
if ! flock -n 9; then
  echo "build-qt-windows: another build of the same Qt is running; waiting for it" >&2
  flock 9
fi

# Fetches the source of the first of PACKAGE[=VERSION]... that apt can fetch into DIR, with
# apt's own source retrieval. Without a source index it adds deb-src for the mirror apt
# already uses and tries again.
fetch_source() {  # fetch_source DIR PACKAGE...
  local dir=$1 want mirror codename
  shift
  mkdir -p "$dir"
  for want in "$@"; do (cd "$dir" && apt-get source --download-only "$want" >/dev/null 2>&1) && return 0; done
  [ ! -f /etc/apt/sources.list.d/tracewell-deb-src.sources ] || { echo "build-qt-windows: apt-get source cannot fetch $*" >&2; return 1; }
  [ "$(id -u)" -eq 0 ] || { echo "build-qt-windows: no deb-src entry; run once as root" >&2; return 1; }
  mirror=$(grep -h '^URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '{print $2}' | grep -v security | head -n1 || true)
  [ -n "$mirror" ] || mirror=$(grep -h '^deb ' /etc/apt/sources.list 2>/dev/null | awk '{print $2}' | head -n1 || true)
  [ -n "$mirror" ] || { echo "build-qt-windows: no Debian mirror found in /etc/apt" >&2; return 1; }
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$mirror" "$codename" >/etc/apt/sources.list.d/tracewell-deb-src.sources
  apt-get update -q >/dev/null
  for want in "$@"; do (cd "$dir" && apt-get source --download-only "$want" >/dev/null 2>&1) && return 0; done
  echo "build-qt-windows: apt-get source cannot fetch $*" >&2
  return 1
}

# A toolchain file for the posix-thread compilers.
write_toolchain() {  # write_toolchain FILE
  cat >"$1" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER $triple-gcc-posix)
set(CMAKE_CXX_COMPILER $triple-g++-posix)
set(CMAKE_RC_COMPILER $triple-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triple)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# Qt base: Core, Gui, Widgets, PrintSupport from qt6-base.
build_base() {
  local work="$cache/work-$key" src start end tarball
  start=$(date +%s)
  # 1. The source: Debian's orig tarball of qt6-base, through apt's own source retrieval.
  src="$work/src"
  if [ ! -f "$src/CMakeLists.txt" ]; then
    ls "$work"/download/qt6-base_*.orig.tar.xz >/dev/null 2>&1 \
      || fetch_source "$work/download" "qt6-base=$host_version" qt6-base
    tarball=$(ls "$work"/download/qt6-base_*.orig.tar.xz | head -n1)
    rm -rf "$src" "$work/unpack"
    mkdir -p "$work/unpack"
    tar -C "$work/unpack" -xf "$tarball"
    mv "$work"/unpack/qtbase-* "$src"
    rmdir "$work/unpack"
  fi
  # 2. A toolchain file for the posix-thread compilers.
  write_toolchain "$work/toolchain.cmake"
  # 3. Configure, build, install.
  echo "build-qt-windows: building Qt $upstream for $triple into $prefix (about 35-40 CPU-minutes)" >&2
  cmake -S "$src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    "${launcher[@]}" "${options[@]}" >"$work/configure.log" 2>&1 \
    || { tail -n 40 "$work/configure.log" >&2; exit 1; }
  cmake --build "$work/build" -j"$jobs" >"$work/build.log" 2>&1 \
    || { grep -m 20 -B2 -A10 'error' "$work/build.log" >&2 || tail -n 40 "$work/build.log" >&2; exit 1; }
  rm -rf "$prefix"
  cmake --install "$work/build" >"$work/install.log" 2>&1 || { tail -n 20 "$work/install.log" >&2; exit 1; }
  end=$(date +%s)
  printf 'qt %s\nhost %s\ngcc %s\nwall_seconds %s\n' "$upstream" "$host_version" "$gcc_version" "$((end - start))" \
    >"$prefix/tracewell-build-info.txt"
  touch "$prefix/.complete"
  # The build tree is large and not needed once installed.
  rm -rf "$work"
  echo "build-qt-windows: done in $((end - start)) s" >&2
}

# Qt Charts: the mirror serves no source files of Debian's qt6-charts (its pool answers 404
# for them), but it does serve those of qtcharts-opensource-src, the same module's Qt 5.15
# release. Its widgets part builds against Qt 6 after a few mechanical edits (below) with
# our own short recipe (scripts/qt-charts-windows): the classes leave the QtCharts namespace,
# as in Qt 6, and one overload that Qt 6 makes a duplicate goes. No QML, OpenGL drawing,
# examples, tests or docs: about 130 files, some 5 CPU-minutes.
build_charts() {
  local work="$cache/work-charts-$charts_key" src start end tarball cpu
  start=$(date +%s)
  src="$work/src"
  rm -rf "$work"
  fetch_source "$work/download" qtcharts-opensource-src
  tarball=$(ls "$work"/download/qtcharts-opensource-src_*.orig.tar.xz | head -n1)
  mkdir -p "$work/unpack"
  tar -C "$work/unpack" -xf "$tarball"
  mv "$work"/unpack/qtcharts-* "$src"
  (
    cd "$src/src/charts"
    sed -i '/^#define QT_CHARTS_NAMESPACE QtCharts$/d' qchartglobal.h
    grep -rlE 'QtCharts::|QT_CHARTS_NAMESPACE::' . | xargs -r sed -i 's/QT_CHARTS_NAMESPACE:://g; s/QtCharts:://g'
    sed -i '/^    void replace(QList<QPointF> points);$/d' xychart/qxyseries.h
    perl -0pi -e 's/void QXYSeries::replace\(QList<QPointF> points\)\n\{\n    replace\(points\.toVector\(\)\);\n\}\n//' xychart/qxyseries.cpp
    # Each edit must have taken: a different source would otherwise fail far from here.
    ! grep -q 'define QT_CHARTS_NAMESPACE QtCharts' qchartglobal.h \
      && ! grep -rqE 'QtCharts::|QT_CHARTS_NAMESPACE::' . \
      && ! grep -q 'replace(QList<QPointF> points)' xychart/qxyseries.h xychart/qxyseries.cpp
  ) || { echo "build-qt-windows: the Qt Charts source does not take our edits" >&2; exit 1; }
  write_toolchain "$work/toolchain.cmake"
  echo "build-qt-windows: building Qt Charts for $triple into $prefix (about 5 CPU-minutes)" >&2
  # Qt's own qt-cmake: its toolchain file finds the Windows Qt and the host tools (moc).
  "$prefix/bin/qt-cmake" -S "$root/scripts/qt-charts-windows" -B "$work/build" -G Ninja \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$work/toolchain.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DTW_CHARTS_SOURCE="$src" "${launcher[@]}" >"$work/configure.log" 2>&1 \
    || { tail -n 40 "$work/configure.log" >&2; exit 1; }
  cmake --build "$work/build" -j"$jobs" >"$work/build.log" 2>&1 \
    || { grep -m 20 -B2 -A10 'error' "$work/build.log" >&2 || tail -n 40 "$work/build.log" >&2; exit 1; }
  rm -f "$prefix"/.complete-charts-*
  cmake --install "$work/build" >"$work/install.log" 2>&1 || { tail -n 20 "$work/install.log" >&2; exit 1; }
  end=$(date +%s)
  printf 'source %s\nwall_seconds %s\n' "$(basename "$tarball")" "$((end - start))" \
    >"$prefix/tracewell-charts-build-info.txt"
  touch "$charts_marker"
  rm -rf "$work"
  echo "build-qt-windows: Qt Charts done in $((end - start)) s" >&2
}

[ -f "$prefix/.complete" ] || build_base
[ -f "$charts_marker" ] || build_charts
echo "$prefix"
