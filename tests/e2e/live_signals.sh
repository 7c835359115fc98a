#!/usr/bin/env bash
# The live program on a real X server (Xvfb), without sound: SIGINT, SIGTERM and
# SIGHUP (the terminal closed) each end it cleanly, with status 0 and at once.
#
# usage: live_signals.sh SONAVEL FONT.tga
# Exit 0 pass, 1 fail, 77 skip (only when Xvfb cannot run here).
set -u

sonavel=$(realpath "$1") font=$(realpath -m "$2")
source "$(dirname "$0")/sound_servers.sh"  # for stop_pid
readonly kSkip=77
readonly kStartSeconds=2
readonly kExitTenths=10   # a clean exit comes within 40 ms; a second allows for a loaded machine

work=$(mktemp -d /tmp/sonavel-signals.XXXXXX)
xvfb_pid=""
sonavel_pid=""

say() { printf 'live_signals: %s\n' "$*"; }
cleanup() {
  [ -z "$sonavel_pid" ] || kill -9 "$sonavel_pid" 2>/dev/null
  # Politely, and waited for: a killed X server leaves its lock and socket for the next one.
  [ -z "$xvfb_pid" ] || stop_pid "$xvfb_pid"
  rm -rf "$work"
}
trap cleanup EXIT
fail() { say "FAIL: $*"; [ -s "$work/sonavel.log" ] && sed 's/^/  /' "$work/sonavel.log"; exit 1; }
skip() { say "SKIP: $*"; exit $kSkip; }

command -v Xvfb >/dev/null || skip "Xvfb is not installed"
# -noreset: a server that resets when its last client leaves can refuse the next one.
Xvfb -displayfd 3 -screen 0 1024x768x24 -noreset -nolisten tcp 3>"$work/display" </dev/null >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 300); do [ -s "$work/display" ] || ! kill -0 "$xvfb_pid" 2>/dev/null && break; sleep 0.1; done
[ -s "$work/display" ] && kill -0 "$xvfb_pid" 2>/dev/null || skip "Xvfb cannot start on this machine"
export DISPLAY=":$(head -n 1 "$work/display")"
unset XAUTHORITY
mkdir -p "$work/run" && cp "$font" "$work/run/font.tga"

for signal in HUP TERM INT; do
  # No sound server: the program runs as a viewer of silence, which is all this needs.
  (cd "$work/run" && exec env PULSE_SERVER=unix:"$work/none" XDG_CONFIG_HOME="$work/config" "$sonavel") >"$work/sonavel.log" 2>&1 &
  sonavel_pid=$!
  sleep $kStartSeconds
  kill -0 "$sonavel_pid" 2>/dev/null || fail "sonavel ended at start-up"
  kill -s "$signal" "$sonavel_pid"
  for _ in $(seq $kExitTenths); do kill -0 "$sonavel_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$sonavel_pid" 2>/dev/null && fail "sonavel still runs a second after SIG$signal"
  wait "$sonavel_pid"
  status=$?
  sonavel_pid=""
  [ "$status" -eq 0 ] || fail "SIG$signal: exit status $status, not 0"
  say "SIG$signal: clean exit"
done
say "PASS"
