#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those still missing.
# As root it installs them; as another user it prints the command to run.
# Every command the scripts and tests call comes from one of these packages:
#   cmake ninja ccache g++ pkg-config   build          clang, libFuzzer       clang, libclang-rt-14-dev
#   Xvfb xauth                          xvfb xauth     import convert         imagemagick
#   xdotool                             xdotool        pdftotext              poppler-utils
#   chmcmd (help file)                  fp-utils       makensis               nsis
#   *-w64-mingw32-g++-posix, -widl      mingw-w64 mingw-w64-tools
#   wine wineboot wineserver cscript    wine (commands), wine64, wine32:i386 (the 32-bit loader)
#   apt-get source, Qt for Windows      dpkg-dev xz-utils (scripts/build-qt-windows.sh)
set -euo pipefail

PKGS=(cmake ninja-build g++ ccache pkg-config
      qt6-base-dev qt6-base-dev-tools libgl-dev
      libgtest-dev libgmock-dev libbenchmark-dev
      qt6-charts-dev libqt6opengl6-dev
      xvfb xauth imagemagick xdotool poppler-utils fp-utils
      clang libclang-rt-14-dev
      mingw-w64 mingw-w64-tools libwine-dev wine wine64 fonts-wine nsis
      dpkg-dev xz-utils)
I386_PKGS=(wine32:i386)

missing=()
for p in "${PKGS[@]}" "${I386_PKGS[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Run as root first:" >&2
  if printf '%s\n' "${missing[@]}" | grep -q ':i386'; then
    echo "  sudo dpkg --add-architecture i386 && sudo apt-get update" >&2
  fi
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if printf '%s\n' "${missing[@]}" | grep -q ':i386' && ! dpkg --print-foreign-architectures | grep -q i386; then
  dpkg --add-architecture i386
fi
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}" || apt-get install -y -q "${missing[@]}"
