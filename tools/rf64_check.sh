#!/usr/bin/env bash
# An output past the 4 GiB a RIFF header can count: a headless run of 2,200,000 steps writes
# 4.5 GB of --output (7 h 6 min of sound), which must read back at its true length. Too slow
# and too big for `make test` (a minute or more, 4.5 GB of disk): the format choice itself is
# tested there with a lowered limit (tests/io/test_sound_output.cpp).
#
# usage: tools/rf64_check.sh [SONAVEL]      (default: build/sonavel)
# Exit 0 when the file is RF64 and reads back at its length, 1 otherwise.
set -euo pipefail

readonly kSteps=2200000 kFramesPerStep=512
readonly kNeedKb=$((4600 * 1024))
sonavel=$(realpath "${1:-build/sonavel}")
for tool in sox soxi; do
  command -v "$tool" >/dev/null || { echo "sonavel: $tool is missing (tools/install-deps.sh test installs it)" >&2; exit 1; }
done
[ -x "$sonavel" ] || { echo "sonavel: no program at $sonavel (make build)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/sonavel-rf64.XXXXXX")
trap 'rm -rf "$work"' EXIT
free_kb=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
[ "$free_kb" -ge $kNeedKb ] || { echo "sonavel: $work has $((free_kb / 1024)) MB free, 4600 MB are needed" >&2; exit 1; }

sox -n -r 44100 -c 1 -b 16 "$work/short.wav" synth 1 sine 440 vol 0.03
(cd "$work" && nice "$sonavel" --headless short.wav --steps $kSteps --output big.wav)
written=$((kSteps * kFramesPerStep))
bytes=$(stat -c %s "$work/big.wav")
format=$(head -c 4 "$work/big.wav")
read_back=$(soxi -s "$work/big.wav" 2>/dev/null)
echo "sonavel: big.wav: $bytes bytes, a $format header, $read_back samples read back of $written written"
[ "$format" = RF64 ] && [ "$read_back" -eq "$written" ]
