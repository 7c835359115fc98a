#!/usr/bin/env bash
# sonavel.exe as a shell sees it, under Wine: --help, --version and --list-devices on stdout with
# status 0, a bad option on stderr with status 2, Ctrl+C ending a run as on Linux (status 130,
# no output left), NUL taking outputs as /dev/null does; sonavel.exe a console program and
# sonavelw.exe a window program, both with the icon and a manifest declaring DPI awareness.
#   console.sh WINDOWS_BUILD
set -uo pipefail
build=$1
wine=$build/wine-run.sh
work=$(mktemp -d)
trap 'kill "$run" 2>/dev/null; rm -rf "$work"' EXIT
run=
failures=0
say() { echo "console: $*"; }
check() {  # WHAT CONDITION...
  local what=$1
  shift
  if "$@"; then say "ok: $what"; else say "FAIL: $what"; failures=$((failures + 1)); fi
}
sonavel() { "$wine" "$build/sonavel.exe" "$@" >"$work/out" 2>"$work/err.raw"; local s=$?; grep -v '^ALSA lib' "$work/err.raw" >"$work/err"; return $s; }
cd "$work" || exit 1
cp "$build/font.tga" .

sonavel --help; status=$?
check "--help: usage on stdout, status 0" test "$status" -eq 0 -a -s out -a ! -s err
grep -q '^usage: sonavel' out || check "--help starts with the usage" false
sonavel --version; status=$?
check "--version: one line on stdout, status 0" bash -c "[[ $status -eq 0 ]] && tr -d '\r' <out | grep -qx 'sonavel [0-9.]*'"
sonavel --bogus; status=$?
check "an unknown option: status 2, the line and the usage on stderr" \
  test "$status" -eq 2 -a ! -s out -a "$(head -n1 err | tr -d '\r')" = "sonavel: unknown option --bogus"
sonavel --list-devices; status=$?
check "--list-devices: status 0, each device's host API or the line that there are none" \
  bash -c "[[ $status -eq 0 ]] && { grep -q 'PortAudio finds no audio devices' err || grep -qE 'Windows (WASAPI|DirectSound)|MME' out; }"

# The same run, on a silent input, with every text output sent to NUL: Windows' /dev/null.
"$wine" "$build/tools/sonavel_make_melody.exe" ode.wav >/dev/null 2>&1
sonavel --headless ode.wav --scores NUL --picture NUL --roll NUL; status=$?
check "NUL takes the scores, the picture and the roll" test "$status" -eq 0

# Ctrl+C: Wine turns SIGINT into the console's Ctrl+C event.
"$wine" "$build/sonavel.exe" --headless ode.wav --steps 5000000 --scores s.csv >out 2>err.raw &
run=$!
for _ in $(seq 100); do compgen -G '.s.csv.sonavel-*' >/dev/null && break; sleep 0.1; done
windows_run=$(pgrep -f "^$build/sonavel.exe --headless ode.wav --steps 5000000" | head -n1)
[[ -n $windows_run ]] && kill -INT "$windows_run"
wait "$run"; status=$?
run=
grep -v '^ALSA lib' err.raw | tr -d '\r' >err
check "Ctrl+C: status 130 and one line" test "$status" -eq 130 -a "$(cat err)" = "sonavel: stopped by Ctrl+C; no output written"
check "Ctrl+C: nothing left behind" test -z "$(ls -A | grep -F 's.csv')"

subsystem() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^Subsystem[[:space:]]*[0-9a-f]*[[:space:]]*//p'; }
check "sonavel.exe is a console program" test "$(subsystem "$build/sonavel.exe")" = "(Windows CUI)"
check "sonavelw.exe is a window program" test "$(subsystem "$build/sonavelw.exe")" = "(Windows GUI)"
for program in sonavel sonavelw; do
  check "$program.exe carries the icon and its version" \
    bash -c "wrestool -l '$build/$program.exe' | grep -q 'type=14' && wrestool -l '$build/$program.exe' | grep -q 'type=16'"
  # The manifest (resource type 24, id 1) Windows reads as it starts the program.
  wrestool -x --raw -t 24 -n 1 "$build/$program.exe" >"$work/$program.manifest" 2>/dev/null
  check "$program.exe declares per-monitor DPI awareness, v2 before v1" \
    grep -q '<dpiAwareness[^>]*>PerMonitorV2, PerMonitor</dpiAwareness>' "$work/$program.manifest"
  check "$program.exe asks for per-monitor awareness where only dpiAware is read" \
    grep -q '<dpiAware[^>]*>true/pm</dpiAware>' "$work/$program.manifest"
done
((failures == 0))
