#!/usr/bin/env bash
# sonavel with a sound file in the window, and keeping a session, on the real
# stack: Xvfb, a private sound server with two null sinks (sound_servers.sh),
# the real binary.
#
#   file    `sonavel FILE` with a file of three notes (C4, E4, G4, 2 s each): the
#           window shows their rows one after the other, each for its full length
#           although Return paused the file in the second; the output sink hears
#           the file; the window stays after the end until Escape. Without a
#           sound server the clock drives the file and one line says so.
#   record  `sonavel --record OUT.wav --midi OUT.mid` listening to a melody played
#           into the input sink: after Return and Escape, `--headless` of the
#           recording scores 200 blocks in a row exactly as the frozen window showed
#           them, and writes the same MIDI file, byte for byte, when it stops where
#           the freeze began.
#   rate    `sonavel FILE` with A4 for 3 s in a 48 kHz file: the output sink hears
#           440 Hz for 3 s (unconverted it would be 404 Hz for 3.27 s), the window
#           shows the A4 row as long, and SONAVEL_AUDIO_REPORT=1 says the file was converted.
#
# usage: live_sessions.sh file|record|rate SONAVEL PROBE FONT.tga
# With LIVE_SESSIONS_REPORT set, the CPU figures are also written to that file.
# Exit 0 pass, 1 fail, 77 skip (only when Xvfb or the sound server cannot run here).
set -u

case_name=$1
sonavel=$(realpath "$2") probe=$(realpath "$3") font=$(realpath -m "$4")
route=${LIVE_STACK_ROUTE:-pulseaudio}
source "$(dirname "$0")/sound_servers.sh"
readonly kSkip=77
readonly kLevel=0.03              # where one note alone lights its row
readonly kNoteSeconds=2
readonly kRowC4=27 kRowE4=31 kRowG4=34
readonly kNoteColumns=43          # blocks in 2 s
readonly kCpuSeconds=5
readonly kRowA4=36 kFileRate=48000 kToneSeconds=3 kToneColumns=65  # blocks in 3 s

work=$(mktemp -d /tmp/sonavel-sessions.XXXXXX)
started=()
t_start=$(date +%s.%N)
say() { printf 'live_sessions %s: %s\n' "$case_name" "$*"; }
source "$(dirname "$0")/live_script.sh"
trap cleanup EXIT

case $case_name in file | record | rate) ;; *) echo "usage: live_sessions.sh file|record|rate SONAVEL PROBE FONT.tga" >&2; exit 2 ;; esac
command -v Xvfb >/dev/null || skip "Xvfb is not installed: this machine cannot run the real stack"
for tool in pactl parec paplay xdotool import sox; do
  command -v "$tool" >/dev/null || fail "$tool is missing (tools/install-deps.sh test installs it)"
done

start_display_and_server
for sink in sonavel_in sonavel_out; do
  x pactl suspend-sink "$sink" 1 && x pactl suspend-sink "$sink" 0 || fail "cannot suspend and resume $sink"
done
say "Xvfb on $DISPLAY, $route ready ($(elapsed) s)"

# The melody: C4, E4, G4 as sines, then the tail of silence the file case waits through.
notes() {  # notes FILE SECONDS_OF_SILENCE_AFTER
  sox -n -r 44100 -c 1 -b 16 "$work/c.wav" synth $kNoteSeconds sine 261.63 vol $kLevel &&
    sox -n -r 44100 -c 1 -b 16 "$work/e.wav" synth $kNoteSeconds sine 329.63 vol $kLevel &&
    sox -n -r 44100 -c 1 -b 16 "$work/g.wav" synth $kNoteSeconds sine 392.00 vol $kLevel &&
    sox -n -r 44100 -c 1 -b 16 "$work/rest.wav" trim 0 "$2" &&
    sox "$work/c.wav" "$work/e.wav" "$work/g.wav" "$work/rest.wav" "$1"
}

mkdir -p "$work/run"
[ -f "$font" ] && cp "$font" "$work/run/font.tga"
shot() { x import -window "$wid" "png:$1" 2>>"$work/import.log"; }
since_window() { awk -v a="$t_window" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'; }
ticks() { awk '{ print $14 + $15 }' "/proc/$sonavel_pid/stat" 2>/dev/null || echo 0; }
cpu_over() {  # cpu_over SECONDS: % of one core the program used over that span
  local c0 w0 c1 w1
  c0=$(ticks) w0=$(date +%s.%N)
  sleep "$1"
  c1=$(ticks) w1=$(date +%s.%N)
  awk -v c0="$c0" -v c1="$c1" -v w0="$w0" -v w1="$w1" -v hz="$(getconf CLK_TCK)" \
    'BEGIN { printf "%.1f", 100 * (c1 - c0) / hz / (w1 - w0) }'
}
thread_cpu() {  # thread_cpu NAME SECONDS: % of one core used by the program's thread of that name
  local task ticks0=0 ticks1=0 w0 w1
  for task in /proc/"$sonavel_pid"/task/*; do
    [ "$(cat "$task/comm" 2>/dev/null)" = "$1" ] || continue
    ticks0=$(awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "$task/stat")
    w0=$(date +%s.%N)
    sleep "$2"
    w1=$(date +%s.%N)
    ticks1=$(awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "$task/stat")
    awk -v a="$ticks0" -v b="$ticks1" -v w0="$w0" -v w1="$w1" -v hz="$(getconf CLK_TCK)" \
      'BEGIN { printf "%.2f", 100 * (b - a) / hz / (w1 - w0) }'
    return 0
  done
  echo "none"
}
report() {
  say "$*"
  [ -z "${LIVE_SESSIONS_REPORT:-}" ] || echo "$*" >>"$LIVE_SESSIONS_REPORT"
}

if [ "$case_name" = file ]; then
  notes "$work/run/melody.wav" 0.5 || fail "sox cannot make the melody"
  parec --latency-msec=10 -d sonavel_out.monitor --rate=44100 --channels=1 --format=float32le "$work/out.raw" \
    </dev/null >>"$work/parec.log" 2>&1 &
  started+=($!)
  recorder_pid=$!
  start_sonavel melody.wav
  t_window=$(date +%s.%N)
  say "window $wid is up ($(elapsed) s)"
  x xdotool mousemove 1000 700
  x xdotool windowfocus --sync "$wid" || fail "cannot focus the window"
  # Return early in the second note pauses the file for 2 s. The whole run, pause
  # left out, stays within the 9.3 s the grid holds.
  cpu=$(cpu_over 2.3)
  press Return || fail "xdotool cannot press Return"
  paused_at=$(since_window)
  sleep 2
  press Return || fail "xdotool cannot press Return"
  # The rest of the melody, then a second past its end with the window still there.
  sleep 5
  kill -0 "$sonavel_pid" || fail "sonavel ended with its file"
  press Return
  sleep 0.5
  shot "$work/end.png" || fail "no screenshot"
  "$probe" lit "$work/end.png" >"$work/lit.txt" || fail "cannot read the screenshot"
  say "paused $paused_at s after the window appeared; rows lit: $(tr '\n' ';' <"$work/lit.txt")"
  quit_cleanly
  stop_pid "$recorder_pid"
  # Each note's row, the whole length of the note, in order: the pause lost nothing.
  previous=-1
  for row in $kRowC4 $kRowE4 $kRowG4; do
    read -r _ _ _ cells _ first _ < <(grep "^row $row " "$work/lit.txt")
    [ -n "${cells:-}" ] || fail "row $row is not lit"
    [ "$cells" -ge $((kNoteColumns - 4)) ] && [ "$cells" -le $((kNoteColumns + 2)) ] ||
      fail "row $row is lit in $cells columns, not the $kNoteColumns of its note"
    [ "$first" -gt "$previous" ] || fail "row $row lights before the note before it"
    previous=$first
    cells=""
  done
  others=$(awk -v a=$kRowC4 -v b=$kRowE4 -v c=$kRowG4 '$2 != a && $2 != b && $2 != c && $4 > 3' "$work/lit.txt")
  [ -z "$others" ] || fail "rows other than the melody's are lit: $others"
  read -r _ onset _ frequency _ level < <("$probe" tone "$work/out.raw")
  say "output sink: onset ${onset:-none} s, ${frequency:-0} Hz, level ${level:-0}"
  awk -v f="${frequency:-0}" 'BEGIN { exit !(f > 259 && f < 264.2) }' || fail "the output sink did not hear C4 first"
  awk -v l="${level:-0}" -v w=$kLevel 'BEGIN { exit !(l > w * 0.8 && l < w * 1.2) }' ||
    fail "the file is not heard at its own level"
  report "sonavel FILE CPU: $cpu % of one core over the first 2.3 s of the file"

  # No sound server at all: the clock drives the file, and one line says so.
  PULSE_SERVER=unix:$work/no-server start_sonavel melody.wav
  x xdotool mousemove 1000 700
  sleep 2.5
  shot "$work/clock.png" || fail "no screenshot"
  "$probe" lit "$work/clock.png" | grep -q "^row $kRowC4 " || fail "without an output device the file is not analysed"
  x xdotool windowfocus --sync "$wid" || fail "cannot focus the window"
  quit_cleanly
  [ "$(grep -c '^sonavel: ' "$work/sonavel.log")" -eq 1 ] && grep -q '^sonavel: no sound output' "$work/sonavel.log" ||
    fail "without an output device sonavel should say so in one line: $(cat "$work/sonavel.log")"
  say "without an output device: $(grep '^sonavel: ' "$work/sonavel.log")"
elif [ "$case_name" = rate ]; then
  sox -n -r $kFileRate -c 1 -b 32 -e floating-point "$work/run/a4.wav" synth $kToneSeconds sine 440 vol $kLevel pad 0 1 ||
    fail "sox cannot make the 48 kHz tone"
  parec --latency-msec=10 -d sonavel_out.monitor --rate=44100 --channels=1 --format=float32le "$work/out.raw" \
    </dev/null >>"$work/parec.log" 2>&1 &
  started+=($!)
  recorder_pid=$!
  # The recorder hears the sink only once connected: the tone must not start before it does.
  recording() { [ -s "$work/out.raw" ]; }
  wait_for 10 recording || fail "parec records nothing from sonavel_out.monitor"
  SONAVEL_AUDIO_REPORT=1 start_sonavel a4.wav
  say "window $wid is up ($(elapsed) s)"
  x xdotool mousemove 1000 700
  x xdotool windowfocus --sync "$wid" || fail "cannot focus the window"
  sleep $((kToneSeconds + 2))
  press Return || fail "xdotool cannot press Return"
  sleep 0.5
  shot "$work/rate.png" || fail "no screenshot"
  "$probe" lit "$work/rate.png" >"$work/lit.txt" || fail "cannot read the screenshot"
  quit_cleanly
  stop_pid "$recorder_pid"
  say "rows lit: $(tr '\n' ';' <"$work/lit.txt")"
  # The A4 row from its first lit column to its last spans the tone; a pure sine lights the
  # row beside it now and then instead (the detector's own doing), so a few cells may be there.
  read -r cells span < <(awk -v r=$kRowA4 '$2 == r { print $4, $8 - $6 + 1 }' "$work/lit.txt")
  [ -n "${span:-}" ] && [ "$span" -ge $((kToneColumns - 4)) ] && [ "$span" -le $((kToneColumns + 2)) ] ||
    fail "row $kRowA4 spans ${span:-no} columns, not the $kToneColumns of the 3 s tone"
  [ "$cells" -ge $((span - 6)) ] || fail "row $kRowA4 is lit in only $cells of its $span columns"
  others=$(awk -v a=$kRowA4 '($2 < a - 1 || $2 > a + 1) && $4 > 3 || ($2 == a - 1 || $2 == a + 1) && $4 > 6' "$work/lit.txt")
  [ -z "$others" ] || fail "rows other than A4 are lit: $others"
  read -r _ onset _ frequency _ level < <("$probe" tone "$work/out.raw")
  read -r _ first _ last < <("$probe" span "$work/out.raw")
  length=$(awk -v a="${first:-0}" -v b="${last:-0}" 'BEGIN { printf "%.3f", b - a }')
  say "output sink: ${frequency:-0} Hz for $length s, level ${level:-0}"
  awk -v f="${frequency:-0}" 'BEGIN { exit !(f > 438 && f < 442) }' || fail "the 48 kHz file plays at ${frequency:-0} Hz, not 440"
  awk -v l="$length" -v s=$kToneSeconds 'BEGIN { exit !(l > s - 0.05 && l < s + 0.05) }' ||
    fail "the 3 s tone plays for $length s"
  line="sonavel: audio: a4.wav is at $kFileRate Hz: converted to 44100 Hz as it is read"
  grep -qxF "$line" "$work/sonavel.log" || fail "no report of the conversion: $(cat "$work/sonavel.log")"
  report "sonavel FILE at 48 kHz: ${frequency:-0} Hz for $length s"
else
  notes "$work/melody.wav" 0 || fail "sox cannot make the melody"
  sox "$work/melody.wav" "$work/melody.wav" "$work/melody.wav" "$work/melody.wav" "$work/tune.wav" ||
    fail "sox cannot repeat the melody"
  paplay -d sonavel_in "$work/tune.wav" </dev/null >"$work/paplay.log" 2>&1 &
  started+=($!)
  start_sonavel --record session.wav --midi session.mid
  say "window $wid is up ($(elapsed) s)"
  x xdotool mousemove 1000 700
  x xdotool windowfocus --sync "$wid" || fail "cannot focus the window"
  sleep 5
  cpu=$(cpu_over $kCpuSeconds)
  writer=$(thread_cpu sonavel-record $kCpuSeconds)
  press Return || fail "xdotool cannot press Return"
  sleep 0.5
  shot "$work/frozen.png" || fail "no screenshot"
  quit_cleanly
  [ -z "$(grep '^sonavel: ' "$work/sonavel.log")" ] || fail "sonavel said: $(grep '^sonavel: ' "$work/sonavel.log")"
  (cd "$work/run" && "$sonavel" --headless session.wav --scores scores.csv) 2>"$work/headless.log" ||
    fail "--headless cannot replay the recording"
  read -r _ offset _ mismatched _ cells < <("$probe" match "$work/frozen.png" "$work/run/scores.csv")
  seconds=$(soxi -D "$work/run/session.wav" 2>/dev/null || echo "?")
  say "recording of $seconds s; its blocks $offset.. match the window but for ${mismatched:-?} of ${cells:-?} cells"
  [ "${mismatched:-1}" -eq 0 ] || fail "the replayed recording does not score what the window showed"
  # The freeze ended the notes held at the end of the last block read: a headless run that
  # stops after that block must end them there too. The last note-off tells the block, to one.
  read -r _ count _ last < <("$probe" notes "$work/run/session.mid") || fail "--midi left no whole MIDI file"
  [ "${count:-0}" -ge 6 ] || fail "the window's --midi holds ${count:-0} note messages, not a melody's"
  blocks=$(( (last * 735 / 16 + 1024) / 2048 ))  # 960 ticks a second: a tick is 735/16 samples
  matched=""
  for end in $blocks $((blocks - 1)) $((blocks + 1)); do
    (cd "$work/run" && "$sonavel" --headless session.wav --steps $((end * 4)) --midi replay.mid) 2>>"$work/headless.log" ||
      fail "--headless --midi cannot replay the recording"
    cmp -s "$work/run/replay.mid" "$work/run/session.mid" && { matched=$end; break; }
  done
  [ -n "$matched" ] || fail "the window's --midi ($count note messages) differs from --headless --midi of its recording"
  say "the window's --midi: $count note messages, the same bytes as --headless of its first $matched blocks"
  report "sonavel --record CPU: $cpu % of one core while listening to a melody; the writer thread: $writer %"
fi
say "PASS in $(elapsed) s"
