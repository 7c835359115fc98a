#!/usr/bin/env bash
# The zip and the installer tools/windows/package.sh makes from the build, under Wine: the zip
# holds both programs, exactly the DLLs they need, the font, README.txt and every licence; its
# program runs from another folder and finds its font beside itself. The installer puts the same
# files down with a Start-menu entry for the window program, and its uninstaller takes them away.
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

quiet "$wine" "$installed/uninstall.exe" /S || fail "the uninstaller exited with status $?"
/usr/lib/wine/wineserver -w  # it copies itself away and returns at once: wait for that copy
leftover=$(find "$installed" "$menu" 2>/dev/null || true)
[[ -z $leftover ]] || fail "the uninstaller left $(wc -l <<<"$leftover") files and folders: $(echo $leftover | head -c 300)"
say "the uninstaller took everything away"
