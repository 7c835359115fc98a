#!/usr/bin/env bash
# Peak memory of a headless replay against the length of its input: a 1-minute and a
# 2-hour sine at 44.1 kHz and a 2-hour one at 96 kHz, converted as it is read (made with
# sox in a temporary folder), each replayed in full with its scores written, measured
# with /usr/bin/time -v. The input is read a buffer at a time, so the peaks must be
# alike and all under the limit.
#
# usage: tools/headless_rss.sh [SONAVEL]      (default: build/sonavel)
# Exit 0 when every peak is under the limit, 1 otherwise.
set -euo pipefail

readonly kLimitMb=64
readonly kShortSeconds=60 kLongSeconds=7200
readonly kRate=44100 kHighRate=96000
sonavel=$(realpath "${1:-build/sonavel}")
for tool in sox /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "sonavel: $tool is missing (tools/install-deps.sh test installs it)" >&2; exit 1; }
done
[ -x "$sonavel" ] || { echo "sonavel: no program at $sonavel (make build)" >&2; exit 1; }

work=$(mktemp -d /tmp/sonavel-rss.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Peak resident memory of one full replay of SECONDS at RATE, in kB.
peak_kb() {  # peak_kb SECONDS RATE
  sox -n -r "$2" -c 1 -b 16 "$work/in.wav" synth "$1" sine 440 vol 0.03
  (cd "$work" && /usr/bin/time -v "$sonavel" --headless in.wav --scores scores.csv 2>"$work/time.txt")
  rm -f "$work/in.wav" "$work/scores.csv"
  awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' "$work/time.txt"
}

short=$(peak_kb $kShortSeconds $kRate)
long=$(peak_kb $kLongSeconds $kRate)
high=$(peak_kb $kLongSeconds $kHighRate)
awk -v s="$short" -v l="$long" -v h="$high" -v limit=$kLimitMb 'BEGIN {
  printf "headless peak RSS: 1-minute input %.1f MB, 2-hour input %.1f MB, 2-hour 96 kHz input %.1f MB (limit %d MB)\n",
    s / 1024, l / 1024, h / 1024, limit
  exit !(s / 1024 < limit && l / 1024 < limit && h / 1024 < limit)
}'
