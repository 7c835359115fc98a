#!/usr/bin/env bash
# Every kind of headless run, by the Linux build and by the Windows build under Wine, in folders
# of their own: the scores (CSV), pictures and rolls (PNG) and output sound (WAV) must be the same bytes, and the exit status and what the run says the same
# (the Windows console's line ends aside). Names with non-ASCII letters go through both.
#   headless_identity.sh LINUX_BUILD WINDOWS_BUILD
# Exit 0 when every case agrees, 1 when any differs, 77 without the Linux build.
set -uo pipefail
linux_build=$1 windows_build=$2
linux=$linux_build/sonavel
[[ -x $linux && -x $linux_build/tools/sonavel_make_melody ]] || { echo "identity: no Linux build in $linux_build: skipped"; exit 77; }
windows=$windows_build/sonavel.exe
wine=$windows_build/wine-run.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
say() { echo "identity: $*"; }
cd "$work" || exit 1

# --- inputs, made once and copied into each side's folder ----------------------------------
mkdir inputs
"$linux_build/tools/sonavel_make_melody" inputs/ode.wav >/dev/null || exit 1
sox inputs/ode.wav -r 48000 -c 2 -b 24 inputs/ode48.wav || exit 1        # converted as it is read
sox inputs/ode.wav -r 22050 -b 16 inputs/ode22.wav || exit 1
sox inputs/ode.wav -b 16 inputs/ode.flac || exit 1
# Every kind of file libsndfile reads: WAV's sample kinds, then the compressed formats.
wav_kinds=("pcm16|-b 16" "pcm24|-b 24" "s32|-b 32 -e signed-integer" "u8|-b 8 -e unsigned-integer"
  "ulaw|-e u-law" "alaw|-e a-law" "double|-b 64 -e floating-point")
for kind in "${wav_kinds[@]}"; do
  read -r -a how <<<"${kind#*|}"
  sox inputs/ode.wav "${how[@]}" "inputs/ode-${kind%%|*}.wav" || exit 1
done
for ending in ogg opus mp3; do "$linux_build/tools/sonavel_make_melody" "inputs/ode.$ending" >/dev/null || exit 1; done
cp inputs/ode.wav "inputs/ñandú ♪.wav"
cmp -s "$linux_build/font.tga" "$windows_build/font.tga" || { say "FAIL: the builds drew different fonts"; exit 1; }
cp "$linux_build/font.tga" inputs/
# Freeze, scrub, markers, playback, the reference tone, both sliders, the soft display.
cat >inputs/events.txt <<'EVENTS'
5 move 100 10
6 button left down
8 move 60 10
9 button left up
20 move 220 10
21 button left down
22 button left up
30 move 300 10
31 button left down
32 button left up
150 key RETURN down
152 key RETURN up
153 move 300 237
154 button right down
170 button right up
171 key HOME down
172 key HOME up
173 move 400 200
174 button left down
190 button left up
191 key END down
192 key END up
193 key SPACE down
194 key SPACE up
230 key 30 down
231 key 30 up
240 key RETURN down
241 key RETURN up
EVENTS
# The top key's reference tone held for two minutes: its phase grows past 10^6, where MinGW-w64's
# own sin rounds otherwise than glibc's.
printf '10 key RETURN down\n12 key RETURN up\n14 move 300 27\n16 button right down\n10400 button right up\n' \
  >inputs/long-tone.txt
printf '0 key RETURN down\n3 jump up\n' >inputs/bad-events.txt

# --- the cases: a name and the arguments after --headless ------------------------------------
cases=(
  "plain|ode.wav --scores s.csv --picture p.png --output o.wav --roll r.png"
  "events|ode.wav --events events.txt --steps 300 --scores s.csv --picture p.png --output o.wav"
  "auto-gain|ode.wav --auto-gain --a4 442 --scores s.csv --picture p.png --roll r.png --roll-scale 3"
  "gain|ode.wav --gain 5 --a4 415.3 --scores s.csv --picture p.png"
  "resampled|ode48.wav --scores s.csv --picture p.png --output o.wav --roll r.png"
  "resampled-up|ode22.wav --auto-gain --scores s.csv --picture p.png"
  "flac|ode.flac --scores s.csv --roll r.png --roll-scale 2"
  "precise|ode.wav --detector precise --pitch pitch.csv --scores s.csv --picture p.png --roll r.png"
  "precise-keyed|ode.wav --events events.txt --steps 300 --detector precise --pitch pitch.csv --picture p.png"
  "midi|ode.wav --midi m.mid --pitch pitch.csv"
  "midi-keyed|ode.wav --events events.txt --steps 300 --midi m.mid"
  "long-tone|ode.wav --events long-tone.txt --steps 10500 --output o.wav"
  "non-ascii|ñandú ♪.wav --scores señal.csv --picture ♫.png"
  "steps|ode.wav --steps 7 --scores s.csv --picture p.png --output o.wav"
  "refused-input|missing.wav --scores s.csv"
  "refused-folder|ode.wav --scores no/such/folder/s.csv"
  "refused-same|ode.wav --scores s.csv --picture s.csv"
  "refused-events|ode.wav --events bad-events.txt --scores s.csv"
  "refused-gain|ode.wav --gain 28"
)
for kind in "${wav_kinds[@]}"; do cases+=("wav-${kind%%|*}|ode-${kind%%|*}.wav --scores s.csv --picture p.png --roll r.png"); done
for ending in ogg opus mp3; do cases+=("$ending|ode.$ending --scores s.csv --picture p.png --roll r.png --output o.wav"); done

run_side() {  # SIDE CASE ARGS: runs in SIDE/CASE, leaves status, out and err there
  local side=$1 name=$2 dir
  shift 2
  dir=$work/$side/$name
  mkdir -p "$dir" && cp inputs/* "$dir/"
  (
    cd "$dir" || exit 1
    if [[ $side == linux ]]; then
      "$linux" --headless "$@" >out.txt 2>err.txt
    else
      "$wine" "$windows" --headless "$@" >out.txt 2>err.raw
    fi
    echo $? >status.txt
    if [[ -f err.raw ]]; then grep -v '^ALSA lib' err.raw >err.txt; rm err.raw; fi
    rm -f "${inputs[@]}"
  )
}

inputs=()
for f in inputs/*; do inputs+=("${f#inputs/}"); done
failures=0
for entry in "${cases[@]}"; do
  name=${entry%%|*}
  read -r -a args <<<"${entry#*|}"
  # The non-ASCII names hold spaces: the words are joined back where a name was split.
  [[ $name == non-ascii ]] && args=("ñandú ♪.wav" --scores señal.csv --picture ♫.png)
  run_side linux "$name" "${args[@]}"
  run_side windows "$name" "${args[@]}"
  l=$work/linux/$name w=$work/windows/$name
  problems=()
  [[ $(cat "$l/status.txt") == $(cat "$w/status.txt") ]] ||
    problems+=("exit status $(cat "$l/status.txt") on Linux, $(cat "$w/status.txt") on Windows")
  for stream in out err; do
    cmp -s "$l/$stream.txt" <(tr -d '\r' <"$w/$stream.txt") || problems+=("$stream differs")
  done
  for file in "$l"/*; do
    base=${file##*/}
    case $base in status.txt | out.txt | err.txt) continue ;; esac
    if [[ ! -f $w/$base ]]; then problems+=("no $base on Windows"); continue; fi
    cmp -s "$file" "$w/$base" || problems+=("$base differs")
  done
  for file in "$w"/*; do [[ -e $l/${file##*/} ]] || problems+=("${file##*/} only on Windows"); done
  written=$(find "$l" -maxdepth 1 -type f ! -name '*.txt' | wc -l)
  if ((${#problems[@]} == 0)); then
    say "$name: the same (status $(cat "$l/status.txt"), $written outputs)"
  else
    failures=$((failures + 1))
    say "FAIL $name: $(IFS=';'; echo "${problems[*]}")"
    sed 's/^/  linux: /' "$l/err.txt" | head -n 3
    sed 's/^/  windows: /' "$w/err.txt" | head -n 3
  fi
done
say "$((${#cases[@]} - failures)) of ${#cases[@]} cases the same on both systems"
((failures == 0))
