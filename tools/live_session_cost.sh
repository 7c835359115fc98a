#!/usr/bin/env bash
# What a sound file in the window and a session recording cost the live program,
# against the microphone run in the same set-up: Xvfb and a private PulseAudio
# (tests/e2e/sound_servers.sh), a 440 Hz tone into the input sink, one launch per
# mode, the process's CPU share over SECONDS after a settling pause.
#
# usage: tools/live_session_cost.sh [-s SECONDS] [SONAVEL]
#   -s seconds measured per launch (15); SONAVEL defaults to build/sonavel.
# Prints one line per mode, then `ratio NAME VALUE` lines:
#   file_cpu_vs_microphone     `sonavel FILE` (the same tone, read from a file)
#   record_cpu_vs_microphone   `sonavel --record OUT.wav`
#   file_peak_rss_1h_vs_20s    peak memory with a one-hour file against a 20 s one
# and the share of the writer thread (named sonavel-record) alone.
set -u

readonly kSettleSeconds=2
seconds=15
while getopts "s:" option; do
  case $option in
    s) seconds=$OPTARG ;;
    *) sed -n '7,8p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
here=$(cd "$(dirname "$0")/.." && pwd)
sonavel=$(realpath "${1:-$here/build/sonavel}")
[ -x "$sonavel" ] || { echo "sonavel: no program at $sonavel" >&2; exit 2; }
source "$here/tests/e2e/sound_servers.sh"

work=$(mktemp -d /tmp/sonavel-cost.XXXXXX)
started=()
trap 'for ((i = ${#started[@]} - 1; i >= 0; i--)); do stop_pid "${started[i]}"; done; rm -rf "$work"' EXIT
say() { printf 'cost: %s\n' "$*"; }

# -noreset: a server that resets when its last client leaves can refuse the next one.
Xvfb -displayfd 3 -screen 0 1024x768x24 -noreset -nolisten tcp 3>"$work/display" </dev/null >"$work/xvfb.log" 2>&1 &
started+=($!)
sound_server_wait 30 test -s "$work/display" || { echo "sonavel: Xvfb does not start" >&2; exit 2; }
export DISPLAY=":$(head -n 1 "$work/display")"
sound_server_start pulseaudio "$work/server" || { echo "sonavel: $sound_server_why" >&2; exit 2; }
mkdir -p "$work/run"
cp "$(dirname "$sonavel")/font.tga" "$work/run/" 2>/dev/null
sox -n -r 44100 -c 1 -b 16 "$work/run/tone.wav" synth $((seconds + 30)) sine 440 vol 0.03
sox -n -r 44100 -c 1 -b 16 "$work/run/short.wav" synth 20 sine 440 vol 0.03
sox -n -r 44100 -c 1 -b 16 "$work/run/hour.wav" synth 3600 sine 440 vol 0.03
sox -n -t raw -r 44100 -c 1 -b 16 -e signed - synth 86400 sine 440 vol 0.03 2>/dev/null |
  pacat -d sonavel_in --rate=44100 --channels=1 --format=s16le >/dev/null 2>&1 &
started+=($!)
hz=$(getconf CLK_TCK)
say "$(date '+%F %T'), load:$(uptime | sed 's/.*load average//')"

# measure ARGS...: "PROCESS_CPU WRITER_CPU PEAK_RSS_KB" for one launch
measure() {
  (cd "$work/run" && SDL_VIDEODRIVER=x11 exec "$sonavel" "$@") </dev/null >/dev/null 2>"$work/sonavel.log" &
  local pid=$!
  sleep $kSettleSeconds
  local writer="" task
  for task in /proc/"$pid"/task/*; do [ "$(cat "$task/comm" 2>/dev/null)" = sonavel-record ] && writer=$task; done
  task_ticks() { [ -n "$1" ] && awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "$1/stat" 2>/dev/null || echo 0; }
  local c0 c1 r0 r1 w0 w1
  c0=$(awk '{ print $14 + $15 }' "/proc/$pid/stat") r0=$(task_ticks "$writer") w0=$(date +%s.%N)
  sleep "$seconds"
  c1=$(awk '{ print $14 + $15 }' "/proc/$pid/stat") r1=$(task_ticks "$writer") w1=$(date +%s.%N)
  local rss
  rss=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status")
  stop_pid "$pid"
  awk -v c0="$c0" -v c1="$c1" -v r0="$r0" -v r1="$r1" -v w0="$w0" -v w1="$w1" -v hz="$hz" -v rss="$rss" \
    'BEGIN { s = hz * (w1 - w0); printf "%.2f %.2f %d\n", 100 * (c1 - c0) / s, 100 * (r1 - r0) / s, rss }'
}

# The microphone first and last, and their mean as the baseline: the machine's load drifts.
read -r mic1 _ mic_rss < <(measure)
read -r record writer _ < <(measure --record "$work/session.wav")
read -r file _ file_rss < <(measure tone.wav)
read -r _ _ short_rss < <(measure short.wav)
read -r _ _ hour_rss < <(measure hour.wav)
read -r mic2 _ _ < <(measure)
mic=$(awk -v a="$mic1" -v b="$mic2" 'BEGIN { printf "%.2f", (a + b) / 2 }')
say "microphone:        $mic1 % and $mic2 % of one core (first and last launch), peak RSS $mic_rss kB"
say "FILE:              $file % of one core, peak RSS $file_rss kB"
say "--record:          $record % of one core, of it the writer thread $writer %"
say "FILE 20 s / 1 h:   peak RSS $short_rss kB / $hour_rss kB"
ratio() { awk -v a="$2" -v b="$3" -v name="$1" 'BEGIN { if (b > 0) printf "ratio %s %.3f\n", name, a / b }'; }
ratio file_cpu_vs_microphone "$file" "$mic"
ratio record_cpu_vs_microphone "$record" "$mic"
ratio file_peak_rss_1h_vs_20s "$hour_rss" "$short_rss"
