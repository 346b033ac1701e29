#!/usr/bin/env bash
# The main job: installs what is missing, builds, then plays the demo trace (a report run
# written as formula-function calls) through tracetap to a receiver and shows what arrived.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/deps.sh
scripts/build.sh
bin=${TW_BUILD_DIR:-$root/build}/bin
trace=${1:-$root/scripts/demo-trace.txt}

# A socket directory of its own, so the demo neither disturbs nor is disturbed by a viewer
# that may be running.
work=$(mktemp -d)
listener=
cleanup() {
  [ -n "$listener" ] && kill "$listener" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export TRACEWELL_SOCKET_DIR=$work/sockets
mkfifo "$work/ready"
"$bin/twlisten" --ready-file "$work/ready" >"$work/received.txt" &
listener=$!
read -r _ <"$work/ready"

echo "== sending $(basename "$trace") through tracetap"
"$bin/tracetap" --summary --require-receiver -f "$trace"
kill "$listener"
wait "$listener" 2>/dev/null || true
listener=
echo "== received (record number, message type, message; nested by formula and subreport):"
cat "$work/received.txt"
