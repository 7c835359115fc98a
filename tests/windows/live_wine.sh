#!/usr/bin/env bash
# sonavel.exe live under Wine, on the stack the Linux live suite uses: Xvfb and a private
# PulseAudio with two mono null sinks, reached through Wine's own PulseAudio driver beneath
# PortAudio's host APIs. A 440 Hz sine played into the input must light A4 at the right edge of
# a screenshot; Return freezes; the right button on A4 sounds the reference tone into the output
# at 440 Hz; D then Escape ends the program with status 0 and keeps the precise detector in
# %APPDATA%\sonavel\settings. Reports the streams PortAudio opened, the
# frame loop's pace (turns a second, how long its 5 ms and 50 ms pauses really took) and the
# main thread's CPU share while it analyses the tone.
#
#   live_wine.sh WINDOWS_BUILD PROBE   (PROBE: the Linux build's tests/sonavel_probe)
# With LIVE_WINE_REPORT set, the report lines are also written to that file.
# Exit 0 pass, 1 fail, 77 skip (Xvfb or PulseAudio cannot run here, or no Linux build's probe).
set -u

build=$(realpath "$1") probe=$2
route=pulseaudio
source "$(dirname "$0")/../e2e/sound_servers.sh"
readonly kSkip=77
readonly kA4Hz=440.0 kSineLevel=0.03
readonly kA4CellX=608 kA4CellY=237 kDarkBelow=112   # the newest column of row 36 (A4), lit
readonly kColumnWidth=3                             # pixels per block on the grid
readonly kCpuSeconds=10 kToneHoldSeconds=2.5
readonly kPictureWidth=640 kCursorProbeY=100 kCursorHex=FFE000  # a frozen picture's cursor line

test_name=live_wine needed_tools="pactl parec paplay xdotool import convert sox" sonavel_env=SONAVEL_AUDIO_REPORT=1
source "$(dirname "$0")/wine_live.sh"  # its prefix made below, with the display and the sound server in reach
report() {
  say "$*"
  [ -z "${LIVE_WINE_REPORT:-}" ] || echo "$*" >>"$LIVE_WINE_REPORT"
}
[ -z "${LIVE_WINE_REPORT:-}" ] || : >"$LIVE_WINE_REPORT"
[ -x "$probe" ] || skip "no Linux build's sonavel_probe at $probe"

start_display_and_server
say "Xvfb on $DISPLAY, $route ready ($(elapsed) s)"
wine cmd.exe /c exit 0 >/dev/null 2>&1
say "Wine prefix made ($(elapsed) s)"

record() {  # record SOURCE FILE
  parec --latency-msec=10 -d "$1" --rate=44100 --channels=1 --format=float32le "$2" </dev/null >>"$work/parec.log" 2>&1 &
  started+=($!)
}
record sonavel_out.monitor "$work/out.raw"
out_recorder_pid=${started[-1]}
sox -n -r 44100 -c 1 -b 16 "$work/a4.wav" synth 120 sine $kA4Hz vol $kSineLevel || fail "sox cannot make the tone"
paplay -d sonavel_in "$work/a4.wav" </dev/null >"$work/paplay.log" 2>&1 &
started+=($!)
paplay_pid=$!

(cd "$work/run" && wine "$build/sonavel.exe" --list-devices) </dev/null >"$work/devices.txt" 2>"$work/devices.log" ||
  fail "--list-devices failed"
grep -q 'Windows WASAPI.*default input' "$work/devices.txt" && grep -q 'Windows WASAPI.*default output' "$work/devices.txt" ||
  fail "WASAPI's devices are not the defaults: $(tr '\n' ';' <"$work/devices.txt")"
report "--list-devices: $(grep -c . "$work/devices.txt") devices over $(grep -o '\[[^]]*\]' "$work/devices.txt" | sort -u | tr '\n' ' ')"

# start_sonavel from live_script.sh, with sonavel.exe under Wine in place of the Linux program
# (the X11 driver it names is Wine's here; SDL draws through Windows' own).
start_sonavel
say "window $wid is up ($(elapsed) s)"

shot() { x import -window "$wid" "png:$1" 2>>"$work/import.log"; }
grey_at() {  # grey_at FILE X Y: the red component of a pixel, 0..255
  local hex
  hex=$("$probe" pixel "$1" "$2" "$3") || return 1
  echo $((16#${hex:0:2}))
}
a4_dark() {
  shot "$work/shot.png" || return 1
  local grey
  grey=$(grey_at "$work/shot.png" $kA4CellX $kA4CellY) || return 1
  [ "$grey" -lt $kDarkBelow ]
}
wait_for 30 a4_dark || fail "the A4 row is not dark at the right edge of the grid"
say "A4 is dark at the right edge ($(elapsed) s)"

# The Windows program's main thread is the Wine process's first thread. Its voluntary switches
# count Wine's own server calls as well as the loop's waits: the loop's turns are its own report.
windows_pid=$(pgrep -f "^$build/sonavel.exe\$" | head -n 1)
[ -n "$windows_pid" ] || fail "no Wine process runs sonavel.exe"
hz=$(getconf CLK_TCK)
ticks() { awk '{ print $14 + $15 }' "/proc/$windows_pid/stat" 2>/dev/null || echo 0; }
main_ns() { awk '{ print $1 }' "/proc/$windows_pid/task/$windows_pid/schedstat" 2>/dev/null || echo 0; }
main_switches() { awk '/^voluntary_ctxt_switches/ { print $2 }' "/proc/$windows_pid/task/$windows_pid/status" 2>/dev/null || echo 0; }
c0=$(ticks) m0=$(main_ns) k0=$(main_switches) w0=$(date +%s.%N)
sleep $kCpuSeconds
c1=$(ticks) m1=$(main_ns) k1=$(main_switches) w1=$(date +%s.%N)
report "$(awk -v c0="$c0" -v c1="$c1" -v m0="$m0" -v m1="$m1" -v k0="$k0" -v k1="$k1" -v a="$w0" -v b="$w1" -v hz="$hz" \
  'BEGIN { printf "sonavel.exe under Wine, analysing a 440 Hz tone: process %.1f %% of one core, main thread %.2f %% with %.0f voluntary switches a second", 100 * (c1 - c0) / hz / (b - a), 100 * (m1 - m0) / 1e9 / (b - a), (k1 - k0) / (b - a) }')"
a4_dark || fail "A4 faded while the tone was still playing"

press() { x xdotool keydown "$1" && sleep 0.15 && x xdotool keyup "$1"; }
x xdotool windowfocus --sync "$wid" || fail "cannot focus the window"
# The tone stops only once the freeze shows, by the cursor line a frozen picture draws across
# the grid (a first key through a new Wine prefix can take a second to arrive).
press Return || fail "xdotool cannot press Return"
cursor_shown() {
  shot "$work/freezing.png" || return 1
  convert "$work/freezing.png" -crop "${kPictureWidth}x1+0+$kCursorProbeY" +repage txt:- | grep -qi "#$kCursorHex"
}
wait_for 10 cursor_shown || fail "Return did not freeze the picture: no cursor line on row $kCursorProbeY"
sleep 0.3
stop_pid "$paplay_pid"
sleep 1
shot "$work/frozen1.png" || fail "no screenshot"
sleep 1
shot "$work/frozen2.png" || fail "no screenshot"
"$probe" same "$work/frozen1.png" "$work/frozen2.png" >"$work/same.txt" || fail "the frozen picture changed: $(cat "$work/same.txt")"
# The frozen cursor line may stand on the newest column: the one before it counts as well.
frozen_a4_dark() {
  local x
  for x in $kA4CellX $((kA4CellX - kColumnWidth)); do
    [ "$(grey_at "$work/frozen2.png" "$x" $kA4CellY)" -lt $kDarkBelow ] && return 0
  done
  return 1
}
frozen_a4_dark || fail "the frozen picture lost the A4 row"
say "Return froze the picture ($(elapsed) s)"

x xdotool mousemove --window "$wid" 300 $kA4CellY || fail "xdotool cannot move the pointer"
sleep 0.2
x xdotool mousedown 3 || fail "xdotool cannot press the right button"
sleep $kToneHoldSeconds
x xdotool mouseup 3
sleep 0.5
stop_pid "$out_recorder_pid"
read -r _ onset _ frequency _ level < <("$probe" tone "$work/out.raw")
report "output tone: onset ${onset:-none} s into the recording, ${frequency:-0} Hz, level ${level:-0}"
awk -v f="${frequency:-0}" -v a=$kA4Hz 'BEGIN { exit !(f > a * 0.99 && f < a * 1.01) }' || fail "the reference tone is not near 440 Hz"
awk -v l="${level:-0}" 'BEGIN { exit !(l > 0.04 && l < 0.06) }' || fail "the reference tone is not at its sustained level of 0.05"

# D switches the detector; kept at exit in the roaming application data folder.
press d || fail "xdotool cannot press D"
sleep 0.3
press Escape || fail "xdotool cannot press Escape"
exited() { ! kill -0 "$sonavel_pid"; }
wait_for 30 exited || fail "sonavel.exe did not exit after Escape"
wait "$sonavel_pid"
status=$?
[ "$status" -eq 0 ] || fail "sonavel.exe exited with status $status"
appdata=$(wine cmd.exe /c echo %APPDATA% 2>/dev/null | tr -d '\r')
settings=$(wine winepath.exe -u "$appdata\\sonavel\\settings" 2>/dev/null | tr -d '\r')
[ -f "$settings" ] || fail "no settings file at $appdata\\sonavel\\settings ($settings)"
grep -qx 'detector = precise' "$settings" || fail "the settings file holds $(tr '\n' ';' <"$settings")"
say "D kept in $appdata\\sonavel\\settings"
while read -r line; do report "${line%$'\r'}"; done < <(grep -a '^sonavel: \(audio\|loop\):' "$work/sonavel.log")
others=$(grep -a '^sonavel: ' "$work/sonavel.log" | grep -av '^sonavel: \(audio\|loop\):' || true)
[ -z "$others" ] || fail "sonavel.exe said: $others"
say "PASS in $(elapsed) s"
