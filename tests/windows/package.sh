#!/usr/bin/env bash
# The zip and the installer tools/windows/package.sh makes from the build, under Wine: the zip
# holds both programs, exactly the DLLs they need, the font, README.txt and every licence; its
# program runs from another folder and finds its font beside itself. The installer puts the same
# files down with a Start-menu entry for the window program and "Open with sonavel" for the sound
# files it plays, and its uninstaller takes them away, leaving another program's offer standing.
#   package.sh WINDOWS_BUILD VERSION PREFIXES   (the library prefixes, separated by ':')
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(cd "$here/../.." && pwd)
build=$1 version=$2
IFS=: read -r -a prefixes <<<"$3"
work=$(mktemp -d)
# A prefix of its own: the installer writes to the registry and the Start menu.
export WINEPREFIX=$work/wine
wine=$build/wine-run.sh
trap '/usr/lib/wine/wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
say() { echo "package: $*"; }
fail() { say "FAIL: $*"; exit 1; }
quiet() { "$@" 2> >(grep -v '^ALSA lib' >&2); }

"$top/tools/windows/package.sh" "$build" "$version" "$work/out" "${prefixes[@]}" || fail "packing failed"
zip=$work/out/sonavel-$version-windows-x64.zip
setup=$work/out/sonavel-$version-windows-x64-setup.exe
listing=$(unzip -Z1 "$zip")
for file in sonavel.exe sonavelw.exe font.tga README.txt sonavel.ico libsndfile-1.dll glibc-math.dll libsoxr.dll \
    libwinpthread-1.dll licences/libsndfile/copyright licences/glibc/COPYING.LIB licences/libsoxr/copyright \
    licences/sources.txt; do
  grep -qx "sonavel-$version/$file" <<<"$listing" || fail "the zip has no $file"
done
for dll in $(grep -o '[^/]*\.dll$' <<<"$listing"); do
  case $dll in libvorbisfile-3.dll | libout123-0.dll | libsyn123-0.dll) fail "the zip carries $dll, which nothing loads" ;; esac
done
say "the zip holds $(grep -c '\.dll$' <<<"$listing") DLLs, the programs, the font and the licences"

mkdir -p "$work/elsewhere" && cd "$work/elsewhere" || exit 1
unzip -q "$zip" -d "$work/unzipped"
quiet "$wine" "$build/tools/sonavel_make_melody.exe" ode.wav >/dev/null || fail "no input could be made"
program=$work/unzipped/sonavel-$version/sonavel.exe
quiet "$wine" "$program" --headless ode.wav --picture p.png >out 2>err || fail "the program from the zip did not run: $(cat err)"
grep -q 'font' err && fail "the program from the zip did not find its font: $(cat err)"
[[ -s p.png ]] || fail "the program from the zip wrote no picture"
say "the program from the zip runs from another folder with its own font"

# reg_value KEY [NAME]: the value's data as reg.exe shows it (the key's default value without a
# NAME); fails when there is none.
reg_value() {
  local shown name=${2:-(Default)}
  local which=(/ve)
  [[ -z ${2:-} ]] || which=(/v "$2")
  shown=$(quiet "$wine" reg.exe query "$1" "${which[@]}" 2>/dev/null | tr -d '\r') || return 1
  grep -qF "    $name    REG_" <<<"$shown" || return 1
  grep -F "    $name    REG_" <<<"$shown" | sed 's/^ *[^ ]* *REG_[A-Z_]* *//' | sed 's/^ *//'
}
reg_key() { quiet "$wine" reg.exe query "$1" >/dev/null 2>&1; }
readonly sound_types=(.wav .flac .ogg .opus .mp3) classes='HKLM\Software\Classes' progid=sonavel.sound
# Another player's offer for WAV, and MP3's own file type, which the uninstaller must leave.
quiet "$wine" reg.exe add "$classes\.wav\OpenWithProgids" /v other.player /d "" /f >/dev/null 2>&1 &&
  quiet "$wine" reg.exe add "$classes\.mp3" /ve /d mp3file /f >/dev/null 2>&1 || fail "reg.exe cannot write the registry"

quiet "$wine" "$setup" /S '/D=C:\sonavel' || fail "the installer exited with status $?"
installed=$WINEPREFIX/drive_c/sonavel
for file in $(unzip -Z1 "$zip" | grep -v '/$' | sed "s|^sonavel-$version/||") uninstall.exe; do
  [[ -f $installed/$file ]] || fail "the installer put down no $file"
done
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/sonavel"
[[ -f $menu/sonavel.lnk ]] || fail "the installer made no Start-menu entry"
# A shortcut keeps its target's name in UTF-16 (and its short form in ANSI).
grep -qa 'sonavelw.exe' "$menu/sonavel.lnk" || iconv -f UTF-16LE -t UTF-8 "$menu/sonavel.lnk" 2>/dev/null |
  grep -qa 'sonavelw.exe' || fail "the Start-menu entry does not start sonavelw.exe"
rm -f p.png
quiet "$wine" 'C:\sonavel\sonavel.exe' --headless ode.wav --picture p.png >out 2>err || fail "the installed program did not run: $(cat err)"
grep -q 'font' err && fail "the installed program did not find its font: $(cat err)"
[[ -s p.png ]] || fail "the installed program wrote no picture"
say "the installer put down every file, a Start-menu entry for sonavelw.exe, and the program runs"

for type in "${sound_types[@]}"; do
  reg_value "$classes\\$type\OpenWithProgids" $progid >/dev/null || fail "the installer offers no sonavel for $type"
  reg_value "HKCR\\$type\OpenWithProgids" $progid >/dev/null || fail "HKCR does not show sonavel's offer for $type"
  reg_value "$classes\Applications\sonavelw.exe\SupportedTypes" "$type" >/dev/null ||
    fail "sonavelw.exe does not name $type among its types"
done
command=$(reg_value "$classes\\$progid\shell\open\command") || fail "the ProgID has no open command"
[[ $command == '"C:\sonavel\sonavelw.exe" "%1"' ]] || fail "the ProgID opens with $command"
command=$(reg_value "$classes\Applications\sonavelw.exe\shell\open\command") ||
  fail "sonavelw.exe has no open command under Applications"
[[ $command == '"C:\sonavel\sonavelw.exe" "%1"' ]] || fail "Applications\sonavelw.exe opens with $command"
[[ $(reg_value "$classes\.wav\OpenWithProgids" other.player) == "" ]] || fail "the installer touched another offer"
say "the installer offers Open with sonavel for ${sound_types[*]}: $command"

quiet "$wine" "$installed/uninstall.exe" /S || fail "the uninstaller exited with status $?"
/usr/lib/wine/wineserver -w  # it copies itself away and returns at once: wait for that copy
leftover=$(find "$installed" "$menu" 2>/dev/null || true)
[[ -z $leftover ]] || fail "the uninstaller left $(wc -l <<<"$leftover") files and folders: $(echo $leftover | head -c 300)"
for type in "${sound_types[@]}"; do
  ! reg_value "$classes\\$type\OpenWithProgids" $progid >/dev/null || fail "the uninstaller left sonavel's offer for $type"
done
# The types' keys the installer made go with it; .wav and .mp3, which held more, stay.
for key in "$classes\\$progid" "$classes\Applications\sonavelw.exe" "$classes\.opus" "$classes\.mp3\OpenWithProgids"; do
  ! reg_key "$key" || fail "the uninstaller left $key"
done
reg_value "$classes\.wav\OpenWithProgids" other.player >/dev/null || fail "the uninstaller took another player's offer for .wav"
[[ $(reg_value "$classes\.mp3") == mp3file ]] || fail "the uninstaller took .mp3's own file type"
say "the uninstaller took everything away, the file types' offers too, and left another player's"
