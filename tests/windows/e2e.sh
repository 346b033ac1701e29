#!/usr/bin/env bash
# The whole road on Windows, under Wine, as a user takes it:
#   1. a fresh Wine prefix; the installer run silently (/S);
#   2. the installed viewer started; the calls of e2e-calls.txt made by Wine's script host
#      through the Tracetap classes (by programmatic identifier), once by the 32-bit host and
#      once by the 64-bit one;
#   3. the log saved through the viewer's own File > Save Logfile (Ctrl+S, typed with xdotool)
#      and compared byte for byte with the envelopes the same calls make on Linux;
#   4. numeric values sent and the viewer's Plot Values opened on them;
#   5. each Stepwright started on a report definition; then, with the tests' stand-in for the
#      report engine's runtime registered (EngineStandin.dll, never installed), each opens
#      every test report through automation and must list and compose what Linux does;
#   6. the uninstaller run silently: files, registrations and shortcuts gone.
# Screenshots of each program land in build-wine/e2e/. Needs DISPLAY (scripts/stage-windows.sh
# provides one), xdotool, ImageMagick's import, and the native build's tracetap and twlisten.
#   e2e.sh BUILD_WIN_I686 [NATIVE_BUILD]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
native=$(cd "${2:-$root/build}" && pwd)
work="$root/build-wine/e2e"
rm -rf "$work"
mkdir -p "$work"

for tool in xdotool import iconv perl; do
  command -v "$tool" >/dev/null || { echo "e2e: '$tool' is missing (scripts/deps.sh installs it)" >&2; exit 1; }
done
[ -n "${DISPLAY:-}" ] || { echo "e2e: no DISPLAY" >&2; exit 1; }

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
pids=()
finish() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wineserver -k >/dev/null 2>&1 || true
}
trap finish EXIT
fail() { echo "e2e: FAILED: $*" >&2; import -window root "$work/failure.png" 2>/dev/null || true; exit 1; }
step() { echo "e2e: $*"; }

# Waits up to $2 seconds for a window whose name matches $1; prints its id.
wait_window() {
  local id
  for _ in $(seq $(( $2 * 4 ))); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.25
  done
  return 1
}
winpath() { echo "Z:${1//\//\\}"; }   # a Linux path as Wine's drive Z: sees it

# 1. Install.
setup=$(ls "$build"/Tracewell-*-setup.exe | head -n1)
step "installing $(basename "$setup") silently into a fresh prefix"
wineboot -i >/dev/null 2>&1
wineserver -w
wine "$setup" /S >/dev/null 2>&1 || fail "the installer ended with status $?"
inst="$WINEPREFIX/drive_c/Program Files (x86)/Tracewell"
for f in tracewell32.exe Stepwright9.exe Stepwright85.exe Tracetap.dll x64/Tracetap.dll tracewell3.chm \
         Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6PrintSupport.dll Qt6Charts.dll platforms/qwindows.dll uninstall.exe; do
  [ -f "$inst/$f" ] || fail "not installed: $f"
done
for view in 32 64; do
  wine reg query 'HKCR\CRUFLDebug.Send\CLSID' "/reg:$view" >/dev/null 2>&1 \
    || fail "CRUFLDebug.Send is not registered ($view-bit view)"
done
lnk="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tracewell/Tracewell.lnk"
[ -f "$lnk" ] || fail "no Start menu entry"

# 2. The viewer and the script host.
step "starting the installed tracewell32.exe"
wine "C:\\Program Files (x86)\\Tracewell\\tracewell32.exe" >"$work/viewer.log" 2>&1 &
pids+=($!)
viewer=$(wait_window '^Tracewell$' 90) || fail "the viewer's window did not appear"
check_exe="C:\\Program Files (x86)\\Tracewell\\TracetapCheck.exe"
[ -f "$inst/TracetapCheck.exe" ] || fail "not installed: TracetapCheck.exe"
[ -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tracewell/Check the Tracetap Installation.lnk" ] \
  || fail "no Start menu entry for the check"
wine "$check_exe" >"$work/check.txt" 2>&1 && check_status=0 || check_status=$?
tr -d '\r' <"$work/check.txt" | sed 's/^/e2e: check: /'
[ "$check_status" -eq 0 ] || fail "TracetapCheck.exe found a fault with the viewer running (status $check_status)"
grep -q "a viewer is reachable" "$work/check.txt" || fail "TracetapCheck.exe did not reach the viewer"

# The calls as VBScript: DebugSendMsgEx("x", 1) -> r = CreateObject("CRUFLDebug.Send").MsgEx("x", 1).
# Wine's script host reads scripts in the ANSI code page only and its VBScript lacks ChrW, so a
# string holding characters beyond ASCII is read from a UTF-16 text file instead (s(k)). Each
# call's error, if any, and the number sent go to a result file (Wine's cscript writes nothing
# to a pipe).
WORK_WIN=$(winpath "$work") perl -CSD -e '
  my $strings_file = shift @ARGV;
  my (@strings, @body);
  my $n = 0;
  while (<>) {
    $n++;
    next if /^\s*(\/\/|$)/;
    /^Debug(Send|Enter|Exit|Add|Message)(\w+)\((.*)\)\s*$/ or die "e2e: cannot convert line $n: $_";
    my ($class, $method, $args) = ($1, $2, $3);
    $args =~ s{"((?:[^"]|"")*)"}{
      my $literal = $1;
      if ($literal =~ /[^\x00-\x7f]/) { (my $t = $literal) =~ s/""/"/g; push @strings, $t; "s(" . $#strings . ")" }
      else { "\"$literal\"" }
    }ge;
    push @body, "Err.Clear\r\nr = CreateObject(\"CRUFLDebug.$class\").$method($args)\r\n"
              . "If Err.Number <> 0 Then result.WriteLine \"line $n: \" & Err.Number & \" \" & Err.Description Else sent = sent + 1\r\n";
  }
  open my $sf, ">:raw:encoding(UTF-16LE)", $strings_file or die; print $sf "\x{feff}", map { "$_\r\n" } @strings; close $sf;
  my $w = $ENV{WORK_WIN};
  print "Set fso = CreateObject(\"Scripting.FileSystemObject\")\r\n",
        "Set result = fso.CreateTextFile(\"$w\\result.txt\", True)\r\n",
        "Dim s(" . (@strings ? $#strings : 0) . ")\r\n",
        "Set t = fso.OpenTextFile(\"$w\\strings.txt\", 1, False, -1)\r\n",
        "For i = 0 To " . $#strings . "\r\n  s(i) = t.ReadLine\r\nNext\r\nt.Close\r\n",
        "On Error Resume Next\r\nsent = 0\r\n", @body,
        "result.WriteLine \"sent \" & sent\r\nresult.Close\r\n";
' "$work/strings.txt" <"$here/e2e-calls.txt" >"$work/calls.vbs"
calls=$(grep -c '^Debug' "$here/e2e-calls.txt")
for host in 'C:\windows\syswow64\cscript.exe' 'C:\windows\system32\cscript.exe'; do
  step "sending the calls through $host"
  rm -f "$work/result.txt"
  wine "$host" //nologo "$(winpath "$work/calls.vbs")" >/dev/null 2>&1 || fail "$host ended with status $?"
  [ -f "$work/result.txt" ] || fail "$host: the script did not run"
  [ "$(tr -d '\r' <"$work/result.txt")" = "sent $calls" ] || fail "$host: $(tr -d '\r' <"$work/result.txt")"
done

# 3. The expected log: the same calls through tracetap on Linux, as twlisten receives them;
# scratch lines (type 05) go to the scratch list, not the trace. Lines end CR LF, code page 1252.
sockets=$(mktemp -d)
TRACEWELL_SOCKET_DIR=$sockets "$native/bin/twlisten" --raw --count "$calls" --ready-file "$work/ready" >"$work/raw.txt" &
listener=$!
for _ in $(seq 100); do [ -s "$work/ready" ] && break; sleep 0.1; done
TRACEWELL_SOCKET_DIR=$sockets "$native/bin/tracetap" --require-receiver -f "$here/e2e-calls.txt"
wait "$listener"
rm -rf "$sockets"
grep -v '^05' "$work/raw.txt" | iconv -f UTF-8 -t CP1252 | sed 's/$/\r/' >"$work/one-run.log"
cat "$work/one-run.log" "$work/one-run.log" >"$work/expected.log"

step "saving the log through File > Save Logfile"
sleep 1
import -window root "$work/tracewell32.png"
saved="$work/saved.log"
xdotool windowactivate --sync "$viewer" 2>/dev/null || xdotool windowfocus "$viewer"
xdotool key --window "$viewer" ctrl+s
dialog=$(wait_window '^Save Logfile$' 30) || fail "no Save Logfile dialog"
sleep 1
xdotool windowfocus "$dialog" 2>/dev/null || true
xdotool type --delay 20 "$(winpath "$saved")"
xdotool key Return
for _ in $(seq 100); do [ -s "$saved" ] && break; sleep 0.2; done
[ -s "$saved" ] || fail "the log was not saved"
sleep 1
cmp "$saved" "$work/expected.log" || {
  diff <(iconv -f CP1252 -t UTF-8 "$saved" | cut -c1-2,500-) <(iconv -f CP1252 -t UTF-8 "$work/expected.log" | cut -c1-2,500-) | head -20 >&2
  fail "the saved log differs from the envelopes sent"
}
step "saved log: $(wc -l <"$saved") lines, byte for byte the envelopes sent"

# Scale, in the same run: formula calls a second from the 32-bit script host into the shown
# viewer, then bare WM_COPYDATA between two Wine processes (copydata_roundtrip.exe).
rate_calls=${TW_E2E_RATE_CALLS:-2000}
printf '%s\r\n' \
  'Set fso = CreateObject("Scripting.FileSystemObject")' \
  "Set result = fso.CreateTextFile(\"$(winpath "$work")\\rate.txt\", True)" \
  'Set o = CreateObject("CRUFLDebug.Send")' \
  't = Timer' \
  "For i = 1 To $rate_calls" \
  '  r = o.MsgEx("rate", i)' \
  'Next' \
  'result.WriteLine Int((Timer - t) * 1000)' 'result.Close' >"$work/rate.vbs"
wine 'C:\windows\syswow64\cscript.exe' //nologo "$(winpath "$work/rate.vbs")" >/dev/null 2>&1 || true
ms=$(tr -d '\r' <"$work/rate.txt" 2>/dev/null || echo 0)
# The library's SendEnvelope and a bare WM_COPYDATA, both into the shown viewer, same run.
if [ -x "$build/bin/copydata_roundtrip.exe" ]; then
  wine "$build/bin/copydata_roundtrip.exe" --viewer 400 2>/dev/null | tr -d '\r' | sed 's/^/e2e: scale: /' || true
fi
sleep 1
import -window root "$work/tracewell32-after-rate.png"

# 4. Plot Values: a run of numbers for LineTotal outside any formula, beside the one inside
# {@LineTotal} from the calls above; then a double click on LineTotal in the autos pane (the
# second top-level node, where the viewer's default layout puts it) opens its plot.
printf '%s\r\n' \
  'Set o = CreateObject("CRUFLDebug.Send")' \
  'For i = 1 To 60' \
  '  r = o.Object("LineTotal", CStr(Round(100 + 40 * Sin(i / 5) + i, 2)), i)' \
  'Next' >"$work/values.vbs"
wine 'C:\windows\syswow64\cscript.exe' //nologo "$(winpath "$work/values.vbs")" >/dev/null 2>&1 || fail "the values script ended with status $?"
sleep 1
eval "$(xdotool getwindowgeometry --shell "$viewer")"
xdotool mousemove --sync $((X + 53)) $((Y + 329)) click --repeat 2 --delay 80 1
plot=$(wait_window '^Plot Values - LineTotal$' 30) || fail "no Plot Values window for LineTotal"
sleep 2
import -window root "$work/plot-values.png"
step "Plot Values - LineTotal opened; screenshot plot-values.png"
kill "${pids[-1]}" 2>/dev/null || true
wineserver -k >/dev/null 2>&1 || true
if [ "${ms:-0}" -gt 0 ]; then
  step "scale: $rate_calls calls from cscript (32-bit) into the shown viewer in $ms ms: $(( rate_calls * 1000 / ms )) a second, $(( ms * 1000 / rate_calls )) us a call"
fi
# A breakpoint: the viewer started again with one remembered (record 424242); the 32-bit
# script host's call of that record waits in the viewer's window procedure until Continue
# (F6), its next call only after that.
appdata="$WINEPREFIX/drive_c/users/$(whoami)/AppData/Roaming/Tracewell"
mkdir -p "$appdata"
printf '[breakpoints]\r\nlist="on\\trecord\\t424242\\t\\t"\r\n' >"$appdata/tracewell32.ini"
wine "C:\\Program Files (x86)\\Tracewell\\tracewell32.exe" >"$work/viewer-pause.log" 2>&1 &
pids+=($!)
viewer=$(wait_window '^Tracewell$' 90) || fail "the viewer's window did not appear again"
rm -f "$work/before.txt" "$work/after.txt"
printf '%s\r\n' \
  'Set fso = CreateObject("Scripting.FileSystemObject")' \
  'Set o = CreateObject("CRUFLDebug.Send")' \
  'r = o.MsgEx("before the breakpoint", 1)' \
  "fso.CreateTextFile(\"$(winpath "$work")\\before.txt\", True).Close" \
  'r = o.WarningEx("the report pauses here", 424242)' \
  'r = o.MsgEx("after Continue", 2)' \
  "fso.CreateTextFile(\"$(winpath "$work")\\after.txt\", True).Close" >"$work/pause.vbs"
step "pausing a script-host caller at a breakpoint"
wine 'C:\windows\syswow64\cscript.exe' //nologo "$(winpath "$work/pause.vbs")" >/dev/null 2>&1 &
pauser=$!
pids+=($pauser)
for _ in $(seq 120); do [ -e "$work/before.txt" ] && break; sleep 0.25; done
[ -e "$work/before.txt" ] || fail "the script host made no call"
sleep 3
[ -e "$work/after.txt" ] && fail "the caller was not held at the breakpoint"
import -window root "$work/tracewell32-paused.png"
xdotool windowactivate --sync "$viewer" 2>/dev/null || xdotool windowfocus "$viewer"
xdotool key --window "$viewer" F6
for _ in $(seq 120); do [ -e "$work/after.txt" ] && break; sleep 0.25; done
[ -e "$work/after.txt" ] || fail "the caller did not go on after Continue"
wait "$pauser" || true
sleep 1
import -window root "$work/tracewell32-continued.png"
step "the caller waited at the breakpoint and went on at F6"
kill "${pids[-2]}" 2>/dev/null || true
wineserver -k >/dev/null 2>&1 || true
if [ -x "$build/bin/copydata_roundtrip.exe" ]; then
  wine "$build/bin/copydata_roundtrip.exe" 400 2>/dev/null | tr -d '\r' | sed 's/^/e2e: scale: /' || true
fi
# The same calls with no viewer running: the library remembers for a moment that it found
# none, so a call costs next to nothing instead of a window lookup each.
idle_calls=${TW_E2E_IDLE_CALLS:-20000}
sed "s/For i = 1 To $rate_calls/For i = 1 To $idle_calls/" "$work/rate.vbs" >"$work/idle.vbs"
rm -f "$work/rate.txt"
wine 'C:\windows\syswow64\cscript.exe' //nologo "$(winpath "$work/idle.vbs")" >/dev/null 2>&1 || true
idle_ms=$(tr -d '\r' <"$work/rate.txt" 2>/dev/null || echo 0)
wineserver -k >/dev/null 2>&1 || true
if [ -n "$idle_ms" ]; then
  step "scale: $idle_calls calls from cscript (32-bit) with no viewer in $idle_ms ms: $(( idle_ms * 1000 / idle_calls )) us a call"
fi
# The same again, captured to a file named in the user's registry values: every call a line.
wine reg add 'HKCU\Software\Tracewell\Tracetap' /v Capture /t REG_SZ /d 'C:\users\Public\capture-%p.txt' /f >/dev/null 2>&1
rm -f "$WINEPREFIX"/drive_c/users/Public/capture-*.txt "$work/rate.txt"
wine 'C:\windows\syswow64\cscript.exe' //nologo "$(winpath "$work/idle.vbs")" >/dev/null 2>&1 || true
captured_ms=$(tr -d '\r' <"$work/rate.txt" 2>/dev/null || echo 0)
captured=$(cat "$WINEPREFIX"/drive_c/users/Public/capture-*.txt 2>/dev/null | wc -l)
wine "$check_exe" >"$work/check-noviewer.txt" 2>&1 && check_status=0 || check_status=$?
# The profile of that capture, by the installed twprofile.exe.
profiled=$(ls "$WINEPREFIX"/drive_c/users/Public/capture-*.txt 2>/dev/null | head -n1 || true)
if [ -n "$profiled" ]; then
  wine "C:\\Program Files (x86)\\Tracewell\\twprofile.exe" "$(winpath "$profiled")" >"$work/profile.txt" 2>&1 || true
  tr -d '\r' <"$work/profile.txt" | head -n 3 | sed 's/^/e2e: twprofile: /'
  grep -q "^twprofile: $idle_calls messages" "$work/profile.txt" || fail "twprofile.exe did not profile the capture"
fi
wine reg delete 'HKCU\Software\Tracewell\Tracetap' /f >/dev/null 2>&1
wineserver -k >/dev/null 2>&1 || true
[ "$captured" -eq "$idle_calls" ] || fail "the capture file holds $captured lines for $idle_calls calls"
step "scale: $idle_calls calls from cscript (32-bit) with no viewer, captured, in $captured_ms ms: $(( captured_ms * 1000 / idle_calls )) us a call"
tr -d '\r' <"$work/check-noviewer.txt" | sed 's/^/e2e: check without viewer: /'
[ "$check_status" -eq 1 ] || fail "TracetapCheck.exe said all was well with no viewer running"
grep -q "capture to C:" "$work/check-noviewer.txt" || fail "TracetapCheck.exe did not see the capture setting"

# 5. The Stepwrights, each on a report definition. Wine has no report engine runtime, so each
# first shows its start-up box (429, naming craxdrt.dll), as on a Windows without the runtime;
# after OK the dialog opens the definition through its XML reader. A second box would be an
# error opening it.
shared=${TW_SHARED:-$root/../shared}
definition=$(ls "$shared"/testdata/report-definitions/*.xml 2>/dev/null | head -n1 || true)
[ -n "$definition" ] || definition=$(ls "$root"/fuzz/corpus/report_xml/small.xml)
for program in Stepwright9 Stepwright85; do
  step "starting $program.exe on $(basename "$definition")"
  wine "C:\\Program Files (x86)\\Tracewell\\$program.exe" "$(winpath "$definition")" >"$work/$program.log" 2>&1 &
  pids+=($!)
  box=$(wait_window '^Stepwright' 90) || fail "$program's window did not appear"
  sleep 1
  import -window root "$work/$program-start.png"
  xdotool key --window "$box" Return
  for _ in $(seq 60); do
    xdotool search --onlyvisible --name '^Stepwright' 2>/dev/null | grep -qvx "$box" && break
    sleep 0.5
  done
  sleep 3  # the definition opens just after the dialog shows; a failure would add its box
  windows=$(xdotool search --onlyvisible --name '^Stepwright' 2>/dev/null | grep -cvx "$box" || true)
  [ "$windows" -eq 1 ] || fail "$program: $windows windows after the start-up box (an error box, or no dialog)"
  import -window root "$work/$program.png"
  kill "${pids[-1]}" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
  sleep 1
done

# 5b. The Stepwrights through automation. The report engine stand-in of the tests serves
# NAME.rpt from the definition NAME.xml beside it; it is registered in this prefix only, from
# the build folder. What each program lists and composes for every definition (stepwright_rows,
# the Stepwright's dialog through its engine factory) must be byte for byte what the Linux build
# gives for the same definitions through its XML reader.
standin="$build/bin/EngineStandin.dll"
[ -f "$standin" ] || fail "no $standin (the report engine stand-in)"
[ ! -e "$inst/EngineStandin.dll" ] || fail "the installer carries the report engine stand-in"
[ -x "$native/bin/stepwright_rows" ] || fail "no $native/bin/stepwright_rows (build the Linux tree first)"
wine 'C:\windows\syswow64\regsvr32.exe' /s "$(winpath "$standin")" || fail "regsvr32 of the stand-in ended with status $?"
definitions=("$shared"/testdata/report-definitions/*.xml "$root/fuzz/corpus/report_xml/small.xml")
[ -f "${definitions[0]}" ] || definitions=("$root/fuzz/corpus/report_xml/small.xml")
QT_QPA_PLATFORM=offscreen "$native/bin/stepwright_rows" --engine xml "$work/rows-linux" "${definitions[@]}" >/dev/null \
  || fail "stepwright_rows on Linux ended with status $?"
win_definitions=()
for d in "${definitions[@]}"; do win_definitions+=("$(winpath "$d")"); done
first_report="$(winpath "${definitions[0]%.xml}.rpt")"
for program in Stepwright9 Stepwright85; do
  # As a user starts it: the engine is there, so no start-up box; the report's rows show.
  wine "C:\\Program Files (x86)\\Tracewell\\$program.exe" "$first_report" >"$work/$program-automation.log" 2>&1 &
  pids+=($!)
  wait_window '^Stepwright v' 90 >/dev/null || fail "$program: no dialog with the engine runtime registered"
  sleep 3
  windows=$(xdotool search --onlyvisible --name '^Stepwright' 2>/dev/null | wc -l)
  import -window root "$work/$program-automation.png"
  [ "$windows" -eq 1 ] || fail "$program through automation: $windows windows (an error box?)"
  kill "${pids[-1]}" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
  wine "$build/bin/stepwright_rows.exe" --engine "${program#Stepwright}" "$(winpath "$work/rows-$program")" \
    "${win_definitions[@]}" >/dev/null 2>&1 || fail "stepwright_rows --engine ${program#Stepwright} ended with status $?"
  same=0
  for d in "${definitions[@]}"; do
    name=$(basename "${d%.xml}").txt
    if cmp -s "$work/rows-linux/$name" "$work/rows-$program/$name"; then
      same=$((same + 1))
    else
      diff "$work/rows-linux/$name" "$work/rows-$program/$name" | head -10 >&2 || true
    fi
  done
  step "$program through automation: $same of ${#definitions[@]} definitions as on Linux"
  [ "$same" -eq "${#definitions[@]}" ] || fail "$program through automation differs from Linux"
done
# A report file the engine cannot open: the Stepwright's error box with the engine's number
# and description.
wine "C:\\Program Files (x86)\\Tracewell\\Stepwright9.exe" "$(winpath "$work/missing.rpt")" >/dev/null 2>&1 &
pids+=($!)
wait_window '^Stepwright$' 90 >/dev/null || fail "Stepwright9: no error box for a report that cannot be opened"
sleep 1
import -window root "$work/Stepwright9-cannot-open.png"
kill "${pids[-1]}" 2>/dev/null || true
wineserver -k >/dev/null 2>&1 || true
wine 'C:\windows\syswow64\regsvr32.exe' /s /u "$(winpath "$standin")" || true
wineserver -w

# 6. Uninstall: the uninstaller copies itself away and returns at once, so wait for it.
step "uninstalling silently"
wine "C:\\Program Files (x86)\\Tracewell\\uninstall.exe" /S >/dev/null 2>&1 || true
for _ in $(seq 120); do [ -e "$inst/tracewell32.exe" ] || [ -e "$inst/uninstall.exe" ] || break; sleep 0.5; done
wineserver -w
[ ! -e "$inst" ] || fail "left behind: $(cd "$inst" && find . -type f | head)"
[ ! -e "$lnk" ] || fail "the Start menu entry is left"
for view in 32 64; do
  if wine reg query 'HKCR\CRUFLDebug.Send' "/reg:$view" >/dev/null 2>&1; then fail "CRUFLDebug.Send still registered ($view-bit)"; fi
done
step "passed; screenshots in $work"
