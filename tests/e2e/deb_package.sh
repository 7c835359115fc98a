#!/usr/bin/env bash
# Installs the package `make deb` built with apt-get, checks that its Depends
# cover every library the program links, runs the installed program from a
# folder without a font (it must find its own, and give the same scores,
# picture, sound and roll as the build's program), then removes and purges it:
# every path the package listed must be gone, shared directories aside. The
# machine is left as found: a sonavel package already there, or no way to
# become root, skips the check.
#
# usage: deb_package.sh PACKAGE_STEM PROGRAM FONT MAKE_MELODY
#   PACKAGE_STEM: .../dist/sonavel_VERSION, the package being PACKAGE_STEM_ARCH.deb;
#   PROGRAM, FONT, MAKE_MELODY: the build's program, font and tune maker.
# Exit 0 pass, 1 fail, 77 skipped.
set -u

stem=$1 program=$(realpath "$2") font=$(realpath "$3") make_melody=$(realpath "$4")
say() { printf 'deb_package: %s\n' "$*"; }
fail() { say "FAIL: $*"; exit 1; }
skip() { say "SKIP: $*"; exit 77; }

# libsndfile stamps a float WAV's PEAK chunk with the second it was written: those 4 bytes may differ.
same_sound() {  # A B
  local peak
  peak=$(grep -obaF PEAK "$1" | head -n 1 | cut -d: -f1)
  [ "$(stat -c %s "$1")" = "$(stat -c %s "$2")" ] &&
    cmp -l "$1" "$2" | awk -v from=$((${peak:--100} + 13)) -v to=$((${peak:--100} + 16)) \
      '$1 < from || $1 > to { differs = 1 } END { exit differs }'
}
status() { dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null; }
known() { [ -n "$(status "$1")" ] && [ "$(status "$1")" != not-installed ]; }  # installed or in part

command -v dpkg >/dev/null && command -v apt-get >/dev/null || skip "not a Debian system (no dpkg or apt-get)"
deb=${stem}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || skip "no $deb: \`make deb\` builds it"
if [ "$(id -u)" -eq 0 ]; then as_root=()
elif sudo -n true 2>/dev/null; then as_root=(sudo -n)
else skip "installing a package needs root or sudo without a password"; fi

# One check at a time on the machine: another worktree's run would find its package installed.
lock=/tmp/sonavel-deb-package.lock
[ -e "$lock" ] || (umask 0 && : >>"$lock")
exec 9<"$lock"
flock -w 300 9 || fail "another install-run-remove check held $lock for 5 minutes"

known sonavel &&
  skip "a sonavel package is on this machine already ($(status sonavel)); \`apt-get purge sonavel\` lets the check run"

work=$(mktemp -d /tmp/sonavel-deb.XXXXXX)
chmod 755 "$work"  # apt reads the package as its own user
apt=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=120 -y -q)
pulled_in() {  # what installing the package brought in besides it, from apt's record of that run
  "${as_root[@]}" cat /var/log/apt/history.log 2>/dev/null | awk -v ours="$work/sonavel.deb" '
    /^Commandline:/ { mine = index($0, ours) > 0 }
    mine && /^Install:/ {
      n = split(substr($0, 10), entries, /\), /)
      for (i = 1; i <= n; i++) if (entries[i] ~ /, automatic/) { split(entries[i], words, " "); print words[1] }
    }'
}
cleanup() {
  if known sonavel; then
    "${as_root[@]}" "${apt[@]}" purge sonavel >>"$work/apt.log" 2>&1 || say "could not purge sonavel"
  fi
  # dpkg refuses to remove what something else has come to need meanwhile.
  local extra
  mapfile -t extra < <(pulled_in)
  [ ${#extra[@]} -eq 0 ] || "${as_root[@]}" dpkg --purge "${extra[@]}" >>"$work/apt.log" 2>&1 ||
    say "left installed: ${extra[*]}"
  rm -rf "$work"
}
trap cleanup EXIT

cp "$deb" "$work/sonavel.deb" && chmod 644 "$work/sonavel.deb"
version=$(dpkg-deb -f "$work/sonavel.deb" Version)
depends=$(dpkg-deb -f "$work/sonavel.deb" Depends)

# The package's paths as they are before it is installed: those already there are shared.
declare -A shared=()
while read -r path; do
  path=${path#.}; path=${path%/}; path=${path:-/}
  [ -e "$path" ] && shared[$path]=1
done < <(dpkg-deb --fsys-tarfile "$work/sonavel.deb" | tar -t)

"${as_root[@]}" "${apt[@]}" install --no-install-recommends "$work/sonavel.deb" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get install failed"; }
[ "$(status sonavel)" = installed ] || fail "sonavel is $(status sonavel) after apt-get install"
dpkg -L sonavel | sed 's|^/\.$|/|' >"$work/listed.txt"
for wanted in /usr/bin/sonavel /usr/share/sonavel/font.tga /usr/share/man/man1/sonavel.1.gz \
    /usr/share/applications/sonavel.desktop /usr/share/icons/hicolor/scalable/apps/sonavel.svg \
    /usr/share/doc/sonavel/copyright /usr/share/doc/sonavel/changelog.gz; do
  grep -qxF "$wanted" "$work/listed.txt" && [ -f "$wanted" ] || fail "the package did not install $wanted"
done
cmp -s /usr/share/sonavel/font.tga "$font" || fail "the installed font.tga differs from the build's"

# Every library the program links comes from a package its Depends name (as one of alternatives or alone).
depended=$(tr ',|' '\n\n' <<<"$depends" | awk '{ print $1 }')
libraries=$(objdump -p /usr/bin/sonavel | awk '$1 == "NEEDED" { print $2 }')
linked=$(ldd /usr/bin/sonavel)
declare -A library_at=() owner_of=()
for library in $libraries; do
  path=$(awk -v lib="$library" '$1 == lib { print $3 }' <<<"$linked")
  [ -n "$path" ] || fail "the installed program does not find $library"
  library_at[${path#/usr}]=$library  # dpkg may know it under /lib or /usr/lib
done
while IFS= read -r line; do  # package:arch: path
  path=${line##*: }
  library=${library_at[${path#/usr}]-}
  [ -n "$library" ] && [[ $line != diversion* ]] && owner_of[$library]=${line%%:*}
done < <(for library in $libraries; do printf '*/%s\0' "$library"; done | xargs -0 dpkg -S 2>/dev/null)
for library in $libraries; do
  owner=${owner_of[$library]-}
  [ -n "$owner" ] || fail "no package holds $library"
  grep -qxF "$owner" <<<"$depended" || fail "$library comes from $owner, which Depends ($depends) does not name"
done

# Run by name from a folder of its own, with a plain PATH, as a user would; the tone and the
# playback make a sound to compare.
"$make_melody" "$work/tune.wav" >/dev/null || fail "cannot make the tune"
printf '%s\n' '1000 key RETURN down' '1001 key RETURN up' '1002 move 300 237' '1003 button right down' \
  '1040 button right up' '1050 key SPACE down' '1051 key SPACE up' >"$work/tone.events"
headless() {  # FOLDER PROGRAM: two runs, their outputs and stderr in FOLDER
  local run=(env -i PATH=/usr/bin:/bin HOME="$work" "$2" --headless ../tune.wav)
  (cd "$1" && "${run[@]}" --scores scores.csv --picture picture.png --roll roll.png 2>stderr.txt &&
   "${run[@]}" --events ../tone.events --steps 1150 --picture tone.png --output tone.wav 2>>stderr.txt)
}
mkdir "$work/installed" "$work/built"
(cd "$work/installed" && env -i PATH=/usr/bin:/bin sonavel --version) >"$work/version.txt" 2>&1 ||
  fail "sonavel --version failed: $(cat "$work/version.txt")"
grep -qwF -- "$version" "$work/version.txt" || fail "sonavel --version says $(cat "$work/version.txt"), the package is $version"
headless "$work/installed" sonavel || fail "the installed program failed: $(cat "$work/installed/stderr.txt")"
[ -s "$work/installed/stderr.txt" ] && fail "the installed program complained (its font?): $(cat "$work/installed/stderr.txt")"
cp "$font" "$work/built/font.tga"
headless "$work/built" "$program" || fail "the build's program failed: $(cat "$work/built/stderr.txt")"
for output in scores.csv picture.png roll.png tone.png tone.wav; do
  if [[ $output == *.wav ]]; then same=same_sound; else same="cmp -s"; fi
  $same "$work/built/$output" "$work/installed/$output" ||
    fail "$output of the installed program differs from the build's (a stale package? \`make deb\`)"
done

check_gone() {  # STEP: every path the package listed that was not there before is gone
  while read -r path; do
    [ -n "${shared[$path]+1}" ] || [ ! -e "$path" ] || fail "$path is still there after $1"
  done <"$work/listed.txt"
}
"${as_root[@]}" "${apt[@]}" remove sonavel >>"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get remove failed"; }
check_gone "apt-get remove"
# Without conffiles, remove leaves nothing for purge: apt-get knows no sonavel any more.
if known sonavel; then
  "${as_root[@]}" "${apt[@]}" purge sonavel >>"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get purge failed"; }
fi
known sonavel && fail "sonavel is $(status sonavel) after apt-get purge"
check_gone "apt-get purge"
say "pass: sonavel $version installed$(pulled_in | xargs -r printf ' with %s'), ran and was removed"
