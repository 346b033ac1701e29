#!/usr/bin/env bash
# The main job: installs what is missing, builds, starts the viewer and feeds it the demo trace
# (a report run written as formula-function calls, scripts/demo-trace.txt, or the file given as
# the first argument) through tracetap. With a display the viewer stays open until you close it.
# Without one it runs on a virtual display (Xvfb), saves a screenshot, says where, and ends.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/deps.sh
scripts/build.sh
build=${TW_BUILD_DIR:-$root/build}
viewer=$build/bin/tracewell32
tracetap=$build/bin/tracetap
trace=${1:-$root/scripts/demo-trace.txt}

# Where the viewer's receiving socket appears (see docs/transport.md).
socket_dir() {
  if [ -n "${TRACEWELL_SOCKET_DIR:-}" ]; then echo "$TRACEWELL_SOCKET_DIR"
  elif [[ ${XDG_RUNTIME_DIR:-} == /* ]]; then echo "$XDG_RUNTIME_DIR/tracewell"
  else echo "/tmp/tracewell-$(id -u)"; fi
}

pids=()
work=$(mktemp -d)
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[$i]}" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

headless=0
display=
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  # A socket directory of its own, so this run neither disturbs nor is disturbed by a viewer
  # that may be running.
  export TRACEWELL_SOCKET_DIR=$work/sockets
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
  done
  [ -n "$display" ] || { echo "no free X display number for Xvfb" >&2; exit 1; }
  Xvfb "$display" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  export DISPLAY=$display
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
fi

"$viewer" &
viewer_pid=$!
pids+=("$viewer_pid")

# Wait until the viewer listens: its socket is named after the caption and its process id.
dir=$(socket_dir)
for _ in $(seq 150); do
  compgen -G "$dir/tracewell.$viewer_pid.*" >/dev/null && break
  kill -0 "$viewer_pid" 2>/dev/null || { echo "tracewell32 ended early" >&2; exit 1; }
  sleep 0.1
done
compgen -G "$dir/tracewell.$viewer_pid.*" >/dev/null || { echo "tracewell32 does not listen" >&2; exit 1; }

echo "== sending $(basename "$trace") through tracetap to tracewell32"
"$tracetap" --summary --require-receiver -f "$trace"

if [ "$headless" = 1 ]; then
  sleep 1  # the trace views repaint in coalesced batches
  mkdir -p "$build/demo"
  shot=$build/demo/tracewell-demo.png
  import -window root "$shot"
  echo "No display: the viewer ran on the virtual display $DISPLAY. Screenshot: $shot"
else
  echo "The viewer stays open; close it (File, Exit) to end."
  wait "$viewer_pid" || true
fi
