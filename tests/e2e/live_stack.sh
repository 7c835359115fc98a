#!/usr/bin/env bash
# sonavel as a user runs it: a real X server (Xvfb), a private sound server with
# two null sinks, the real binary with its PortAudio streams and SDL2 window.
# LIVE_STACK_ROUTE picks the server and the way ALSA reaches it (see
# sound_servers.sh); PulseAudio unless told. A 440 Hz sine is played into the
# input sink; the window must show A4 at the right edge, freeze on Return, sound
# the A4 reference tone on the right button into the output sink, keep up with a
# 1000 Hz mouse, and quit cleanly on Escape. Also reports the program's CPU share
# while it analyses the tone, beside lingot's (a GTK tuner from Debian) listening
# to the same tone in the same set-up when lingot is installed, and the latencies
# PortAudio reports.
#
# usage: live_stack.sh SONAVEL PROBE FONT.tga [KEYLAG]
# With LIVE_STACK_REPORT set, the CPU figure is also written to that file
# (ctest shows no output of a passing test).
# Exit 0 pass, 1 fail, 77 skip (only when Xvfb or the sound server cannot run here).
set -u

sonavel=$(realpath "$1") probe=$(realpath "$2") font=$(realpath -m "$3") keylag=${4:+$(realpath "$4")}
route=${LIVE_STACK_ROUTE:-pulseaudio}   # see sound_servers.sh
source "$(dirname "$0")/sound_servers.sh"
readonly kSkip=77
readonly kA4Hz=440.0
readonly kSineLevel=0.03                   # where A4 alone lights (see the headless suite)
readonly kA4CellX=608 kA4CellY=237          # newest display column, row 36 (A4)
readonly kDarkBelow=112                     # a score above 0.5 in an A row
readonly kCpuSeconds=20
readonly kThreadCpuLimit=5                # % of one core; a waiting audio thread uses about 1
readonly kMainThreadTarget=1 kProcessTarget=2.5  # % of one core while analysing a tone
readonly kIdleMainTarget=0.3               # % of one core with a silent input, nothing pressed
readonly kIdleSettleSeconds=10 kIdleSeconds=10  # the history scrolls clear, then the span
readonly kKeyPresses=20 kResponseTargetMs=10
readonly kLingotSettleSeconds=4
readonly kToneHoldSeconds=2.5

work=$(mktemp -d /tmp/sonavel-live.XXXXXX)
started=()          # every process this script started, and only those
lingot_pid=""
paplay_pid=""
out_recorder_pid=""
t_start=$(date +%s.%N)

say() { printf 'live_stack: %s\n' "$*"; }
source "$(dirname "$0")/live_script.sh"
trap cleanup EXIT

command -v Xvfb >/dev/null || skip "Xvfb is not installed: this machine cannot run the real stack"
for tool in pactl parec paplay xdotool import sox; do
  command -v "$tool" >/dev/null || fail "$tool is missing (tools/install-deps.sh test installs it)"
done
[ -x "$sonavel" ] || fail "no sonavel binary at $sonavel"

# --- X server (Xvfb picks a free display) and the sound server with its two mono null sinks.
start_display_and_server
say "Xvfb on $DISPLAY, $route ready ($(elapsed) s)"

# --- Recorders on both monitors, the sinks made prompt before anything plays.
record sonavel_in.monitor "$work/in.raw"
record sonavel_out.monitor "$work/out.raw"
out_recorder_pid=${started[-1]}
make_sinks_prompt

# --- The test tone into the input sink, at paplay's default latency.
sox -n -r 44100 -c 1 -b 16 "$work/a4.wav" synth 120 sine $kA4Hz vol $kSineLevel || fail "sox cannot make the tone"
paplay -d sonavel_in "$work/a4.wav" </dev/null >"$work/paplay.log" 2>&1 &
started+=($!)
paplay_pid=$!

# --- The device options against the real audio library.
mkdir -p "$work/run"
(cd "$work/run" && "$sonavel" --list-devices) </dev/null >"$work/devices.txt" 2>"$work/devices.log" ||
  fail "--list-devices failed"
grep -q 'default input' "$work/devices.txt" && grep -q 'default output' "$work/devices.txt" ||
  fail "--list-devices marks no default devices: $(cat "$work/devices.txt")"
(cd "$work/run" && "$sonavel" --input-device 999) </dev/null >/dev/null 2>"$work/unknown-device.log"
status=$?
[ "$status" -eq 2 ] || fail "an unknown input device gave status $status, not 2"
[ "$(grep -c '^sonavel: ' "$work/unknown-device.log")" -eq 1 ] ||
  fail "an unknown input device should give one sonavel: line"
say "devices listed, unknown device refused ($(elapsed) s)"

# --- sonavel itself, in a directory of its own with the font beside it.
[ -f "$font" ] && cp "$font" "$work/run/font.tga"
SONAVEL_AUDIO_REPORT=1 start_sonavel
say "window $wid is up ($(elapsed) s)"

shot() {  # shot FILE: the window's client area
  x import -window "$wid" "png:$1" 2>>"$work/import.log"
}
grey_at() {  # grey_at FILE X Y: the red component of a pixel, 0..255
  local hex
  hex=$("$probe" pixel "$1" "$2" "$3") || return 1
  echo $((16#${hex:0:2}))
}
a4_dark() {
  window_up || return 1  # the id found first can belong to a window SDL replaced
  shot "$work/shot.png" || return 1
  local grey
  grey=$(grey_at "$work/shot.png" $kA4CellX $kA4CellY) || return 1
  [ "$grey" -lt $kDarkBelow ]
}
wait_for 30 a4_dark || fail "the A4 row is not dark at the right edge of the grid"
say "A4 is dark at the right edge ($(elapsed) s)"

# --- lingot, for comparison: the same tone from the same default source, its own
# home so it keeps its configuration to itself. Stopped after the CPU span.
lingot_note=""
if command -v lingot >/dev/null; then
  mkdir -p "$work/lingot-home"
  (cd "$work/lingot-home" && HOME="$work/lingot-home" exec lingot) </dev/null >"$work/lingot.log" 2>&1 &
  lingot_pid=$!
  started+=($lingot_pid)
  sleep $kLingotSettleSeconds
  if ! kill -0 "$lingot_pid" 2>/dev/null; then
    lingot_note="lingot ended at start-up: $(grep -v '^ALSA lib' "$work/lingot.log" | tail -n 1)"
    lingot_pid=""
  elif grep -q 'Cannot open audio device' "$work/lingot.log"; then
    lingot_note="lingot cannot open the audio device here"
    lingot_pid=""
  fi
else
  lingot_note="lingot is not installed (tools/install-deps.sh test installs it)"
fi

# --- CPU share while analysing the tone: utime + stime over a wall-clock span,
# for the process and for each of its threads. CPU time, not wall time, so a
# loaded machine does not raise it; a busy-waiting audio thread does.
ticks() { awk '{ print $14 + $15 }' "/proc/${1:-$sonavel_pid}/stat" 2>/dev/null || echo 0; }
thread_ticks() {  # one "TID TICKS" line per thread
  local task
  for task in /proc/"$sonavel_pid"/task/*; do
    awk -v tid="${task##*/}" '{ sub(/^.*\) /, ""); print tid, $12 + $13 }' "$task/stat" 2>/dev/null
  done
}
hz=$(getconf CLK_TCK)
# The main thread's own clock: nanoseconds run (schedstat) and the times it woke from a wait.
main_ns() { awk '{ print $1 }' "/proc/$sonavel_pid/task/$sonavel_pid/schedstat" 2>/dev/null || echo 0; }
main_wakes() { awk '/^voluntary_ctxt_switches/ { print $2 }' "/proc/$sonavel_pid/task/$sonavel_pid/status" 2>/dev/null || echo 0; }
main_share() {  # main_share NS0 NS1 WAKES0 WAKES1 SECONDS0 SECONDS1: "% wakes/s"
  awk -v n0="$1" -v n1="$2" -v k0="$3" -v k1="$4" -v a="$5" -v b="$6" \
    'BEGIN { printf "%.2f %.0f", 100 * (n1 - n0) / 1e9 / (b - a), (k1 - k0) / (b - a) }'
}
thread_ticks >"$work/threads0"
m0=$(main_ns) k0=$(main_wakes)
c0=$(ticks) w0=$(date +%s.%N)
[ -z "$lingot_pid" ] || l0=$(ticks "$lingot_pid")
# What 200 bare wake-ups a second cost here, measured over the same span: the
# main thread's floor at the frame loop's pace of 5 ms sleeps.
"$probe" pace $kCpuSeconds >"$work/pace" 2>&1 &
pace_pid=$!
started+=($pace_pid)
sleep $kCpuSeconds
c1=$(ticks) w1=$(date +%s.%N)
m1=$(main_ns) k1=$(main_wakes)
[ -z "$lingot_pid" ] || l1=$(ticks "$lingot_pid")
thread_ticks >"$work/threads1"
wait "$pace_pid"
share() {  # share TICKS0 TICKS1: % of one core over the span
  awk -v c0="$1" -v c1="$2" -v w0="$w0" -v w1="$w1" -v hz="$hz" 'BEGIN { printf "%.1f", 100 * (c1 - c0) / hz / (w1 - w0) }'
}
cpu=$(share "$c0" "$c1")
read -r main_cpu main_rate < <(main_share "$m0" "$m1" "$k0" "$k1" "$w0" "$w1")
cpu_line="sonavel live CPU: $cpu % of one core over $kCpuSeconds s while analysing a 440 Hz tone (target under $kProcessTarget %)"
main_line="sonavel main thread CPU: ${main_cpu:-?} % of one core, $main_rate wake-ups a second (target under $kMainThreadTarget %); a bare loop of 5 ms sleeps: $(head -c 16 "$work/pace") %"
if [ -n "$lingot_pid" ]; then
  lingot_line="lingot live CPU: $(share "$l0" "$l1") % of one core over the same span, same tone and set-up"
else
  lingot_line="lingot live CPU: not measured: $lingot_note"
fi
say "$cpu_line"
say "$main_line"
say "$lingot_line"
[ -z "$lingot_pid" ] || stop_pid "$lingot_pid"
# The busiest thread besides the main one: the audio thread, unless something else spins.
read -r busy_tid busy_cpu < <(awk -v main="$sonavel_pid" -v span="$(awk -v a="$w0" -v b="$w1" 'BEGIN { print b - a }')" \
  -v hz="$hz" 'NR == FNR { t0[$1] = $2; next }
  ($1 in t0) && $1 != main { c = 100 * ($2 - t0[$1]) / hz / span; if (c >= best) { best = c; tid = $1 } }
  END { printf "%s %.1f\n", tid, best }' "$work/threads0" "$work/threads1")
others_cpu=$(awk -v main="$sonavel_pid" -v w0="$w0" -v w1="$w1" -v hz="$hz" 'NR == FNR { t0[$1] = $2; next }
  ($1 in t0) && $1 != main { sum += $2 - t0[$1] } END { printf "%.1f", 100 * sum / hz / (w1 - w0) }' \
  "$work/threads0" "$work/threads1")
thread_line="sonavel audio thread CPU: $busy_cpu % of one core (busiest thread besides the main one, limit $kThreadCpuLimit %); all threads but the main one: $others_cpu %"
say "$thread_line"
[ -z "${LIVE_STACK_REPORT:-}" ] ||
  printf '%s\n%s\n%s\n%s\n' "$cpu_line" "$main_line" "$thread_line" "$lingot_line" >"$LIVE_STACK_REPORT"
audio_line=$(grep -m 1 '^sonavel: audio:' "$work/sonavel.log")
say "${audio_line:-sonavel reported no audio streams}"
[ -z "${LIVE_STACK_REPORT:-}" ] || echo "$route: ${audio_line:-no audio streams}" >>"$LIVE_STACK_REPORT"
# A duplex stream over the servers' ALSA plugins could keep its thread polling;
# the two streams each wait on their own device.
awk -v c="${busy_cpu:-0}" -v limit=$kThreadCpuLimit 'BEGIN { exit !(c <= limit) }' ||
  fail "thread $busy_tid used $busy_cpu % of a core: the audio thread is spinning, not waiting for the device"
a4_dark || fail "A4 faded while the tone was still playing"

x xdotool windowfocus --sync "$wid" || fail "cannot focus the window"

# --- How soon a key shows: Return tapped an even number of times (freeze, unfreeze, ...).
if [ -n "$keylag" ]; then
  sleep 0.5  # past the focus change the window library defers
  key_line=$(x "$keylag" "$wid" $kKeyPresses) || fail "a key press did not show: $key_line"
  say "$key_line (target: mean under $kResponseTargetMs ms)"
  [ -z "${LIVE_STACK_REPORT:-}" ] || echo "$key_line" >>"$LIVE_STACK_REPORT"
fi

# --- Return freezes: stop the tone too, so a live view would fade at the right edge.
press Return || fail "xdotool cannot press Return"
sleep 0.5
stop_pid "$paplay_pid"
sleep 1
shot "$work/frozen1.png" || fail "no screenshot"
sleep 1
shot "$work/frozen2.png" || fail "no screenshot"
"$probe" same "$work/frozen1.png" "$work/frozen2.png" >"$work/same.txt" ||
  fail "the frozen picture changed: $(cat "$work/same.txt")"
[ "$(grey_at "$work/frozen2.png" $kA4CellX $kA4CellY)" -lt $kDarkBelow ] ||
  fail "the frozen picture lost the A4 row"
say "Return froze the picture ($(elapsed) s)"

# --- Right button on row 36 while frozen: the output sink hears A4.
x xdotool mousemove --window "$wid" 300 $kA4CellY || fail "xdotool cannot move the pointer"
sleep 0.2
x xdotool mousedown 3 || fail "xdotool cannot press the right button"
sleep $kToneHoldSeconds
x xdotool mouseup 3
sleep 0.5
stop_pid "$out_recorder_pid"
read -r _ onset _ frequency _ level < <("$probe" tone "$work/out.raw")
say "output tone: onset ${onset:-none} s into the recording, ${frequency:-0} Hz, level ${level:-0}"
awk -v f="${frequency:-0}" -v a=$kA4Hz 'BEGIN { exit !(f > a * 0.99 && f < a * 1.01) }' ||
  fail "the reference tone is not near 440 Hz"
awk -v l="${level:-0}" 'BEGIN { exit !(l > 0.04 && l < 0.06) }' ||
  fail "the reference tone is not at its sustained level of 0.05"

# --- A 1000 Hz mouse while frozen: 3 s of moves in one XTest client, a left click
# in the middle of them, then the right button where the hand stopped. The click
# must put the cursor on the column it was made over, and the hover band must
# show the row where the hand stopped at once, not after a backlog of moves.
pointer_burst() {
  local geometry left top
  geometry=$(x xdotool getwindowgeometry --shell "$wid") || return 1
  left=$(sed -n 's/^X=//p' <<<"$geometry") top=$(sed -n 's/^Y=//p' <<<"$geometry")
  awk -v n=$kBurstMoves -v click=$kBurstClickMove -v cx=$click_x -v ex=$kBurstEndX -v ey=$kBurstEndY \
    -v left="$left" -v top="$top" -v pause=$kBurstPause 'BEGIN {
      for (i = 0; i < n; i++) {
        x = 20 + (i * 7) % 580; y = 40 + (i * 3) % 400
        if (i == click) x = cx
        if (i == n - 1) { x = ex; y = ey }
        printf "mousemove\n%d\n%d\nsleep\n%s\n", left + x, top + y, pause
        if (i == click) printf "click\n1\n"
      }
    }' >"$work/burst.args"
  local t0 t1
  t0=$(date +%s.%N)
  timeout 30 xargs -d '\n' xdotool <"$work/burst.args" || return 1
  t1=$(date +%s.%N)
  burst_rate=$(awk -v a="$t0" -v b="$t1" -v n=$kBurstMoves 'BEGIN { printf "%.0f", n / (b - a) }')
}
readonly kBurstMoves=3000 kBurstClickMove=1500
readonly kBurstPause=0.0007   # seconds between moves; with xdotool's own work about 1000 moves a second
readonly kBurstEndX=450 kBurstEndY=201 kBurstBandY=201   # the hand stops on row 42
readonly kBurstCursorY=100
click_x=131   # display column 40, its cursor line at x 131
pixel_is() {  # pixel_is FILE X Y RRGGBB
  [ "$("$probe" pixel "$1" "$2" "$3" 2>/dev/null)" = "$4" ]
}
caught_up() {
  shot "$work/burst.png" && pixel_is "$work/burst.png" $click_x $kBurstCursorY FFE000 &&
    pixel_is "$work/burst.png" 300 $kBurstBandY 66EEFF
}
shot "$work/before-burst.png" || fail "no screenshot"
# The click goes where the cursor is not yet.
! pixel_is "$work/before-burst.png" $click_x $kBurstCursorY FFE000 || click_x=161
pointer_burst || fail "xdotool cannot drive the pointer burst"
x xdotool mousedown 3 || fail "xdotool cannot press the right button"
t_stop=$(date +%s.%N)
wait_for 2 caught_up
caught=$?
x xdotool mouseup 3
lag=$(awk -v a="$t_stop" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')
[ $caught -eq 0 ] || fail "$lag s after a burst of $kBurstMoves moves at ${burst_rate}/s the click or the stop is still not shown"
say "pointer burst: $kBurstMoves moves at ${burst_rate}/s, click and stop shown within $lag s ($(elapsed) s)"

# --- Scrubbing out of the window to the right: the pointer keeps its last place
# inside, so the scrub goes on (white cursor) while the button is held outside;
# the release outside the window ends it (yellow cursor).
readonly kScrubInsideX=600 kScrubY=300 kScrubCursorX=599   # display column 196
readonly kOutsideX=900
scrub_shows() {  # scrub_shows RRGGBB
  shot "$work/scrub.png" && pixel_is "$work/scrub.png" $kScrubCursorX $kBurstCursorY "$1"
}
geometry=$(x xdotool getwindowgeometry --shell "$wid") || fail "no window geometry"
left=$(sed -n 's/^X=//p' <<<"$geometry") top=$(sed -n 's/^Y=//p' <<<"$geometry")
x xdotool mousemove $((left + 500)) $((top + kScrubY)) mousedown 1 sleep 0.1 \
  mousemove $((left + kScrubInsideX)) $((top + kScrubY)) sleep 0.2 \
  mousemove $((left + kOutsideX)) $((top + kScrubY)) || fail "xdotool cannot drag out of the window"
wait_for 2 scrub_shows FFFFFF || fail "leaving the window to the right stopped the scrub"
x xdotool mouseup 1
wait_for 2 scrub_shows FFE000 || fail "the release outside the window was not seen"
say "a scrub dragged out of the window goes on, a release outside ends it ($(elapsed) s)"

# --- Idle: live again, the tone long gone; once the history has scrolled clear the
# loop only takes silent blocks and waits.
press Return || fail "xdotool cannot press Return"
sleep $kIdleSettleSeconds
i0=$(main_ns) j0=$(main_wakes) s0=$(date +%s.%N)
sleep $kIdleSeconds
i1=$(main_ns) j1=$(main_wakes) s1=$(date +%s.%N)
read -r idle_cpu idle_rate < <(main_share "$i0" "$i1" "$j0" "$j1" "$s0" "$s1")
idle_line="sonavel main thread CPU idle: $idle_cpu % of one core, $idle_rate wake-ups a second, silent input, nothing pressed (target under $kIdleMainTarget %)"
say "$idle_line"
[ -z "${LIVE_STACK_REPORT:-}" ] || echo "$idle_line" >>"$LIVE_STACK_REPORT"

# --- Escape: a clean exit with status 0, and no log file.
press Escape || fail "xdotool cannot press Escape"
exited() { ! kill -0 "$sonavel_pid"; }
wait_for 30 exited || fail "sonavel did not exit after Escape"
wait "$sonavel_pid"
status=$?
[ "$status" -eq 0 ] || fail "sonavel exited with status $status"
[ ! -e "$work/run/log.txt" ] || fail "sonavel left a log.txt"
own_lines=$(grep '^sonavel: ' "$work/sonavel.log" | grep -v '^sonavel: audio:' || true)
[ -z "$own_lines" ] || say "sonavel said: $own_lines"
timing_line=$(grep '^sonavel: audio: block to picture' "$work/sonavel.log" || true)
say "${timing_line:-sonavel reported no block timing} (target: mean under $kResponseTargetMs ms)"
[ -z "$timing_line" ] || [ -z "${LIVE_STACK_REPORT:-}" ] || echo "$route: $timing_line" >>"$LIVE_STACK_REPORT"
relay_line=$(grep '^sonavel: audio: captured' "$work/sonavel.log" || true)
[ -z "$relay_line" ] || say "$relay_line"
[ -z "$relay_line" ] || [ -z "${LIVE_STACK_REPORT:-}" ] || echo "$route: $relay_line" >>"$LIVE_STACK_REPORT"
say "PASS in $(elapsed) s"
