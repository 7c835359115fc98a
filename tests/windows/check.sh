#!/usr/bin/env bash
# Proves the Windows libraries and the packaging under Wine with the smoke program:
#   tests/windows/check.sh SMOKE.exe PREFIX
# runs it with exactly the DLLs tools/windows/package.sh would pick, then packs it as if it were
# sonavel.exe, checks the zip, installs it silently, checks the files and the Start-menu entry,
# and uninstalls it silently, checking that nothing is left. One private WINEPREFIX for all.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(cd "$here/../.." && pwd)
source "$top/tools/windows/dlls.sh"

say() { echo "sonavel: $*" >&2; }
fail() { say "check failed: $*"; exit 1; }

[[ $# -eq 2 ]] || { say "usage: $0 SMOKE.exe PREFIX"; exit 2; }
smoke=$1
prefix=$2
version=0.0.0-check

work=$(mktemp -d)
export WINEPREFIX=$work/wine
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
# Wine's ALSA driver finds no sound card here; libasound says so on stderr, at length.
wine() { "$top/tools/windows/wine-run.sh" "$@" 2> >(grep -v '^ALSA lib' >&2); }

say "running the smoke program under Wine"
mkdir -p "$work/run"
cp "$smoke" "$work/run/"
dlls=$(needed_dlls "$prefix/bin" "$smoke") || fail "the smoke program needs DLLs that cannot be shipped"
for dll in $dlls; do cp "$dll" "$work/run/"; done
(cd "$work/run" && wine "./${smoke##*/}" .) || fail "the smoke program exited with status $?"

say "packing it as sonavel.exe"
mkdir -p "$work/build"
cp "$smoke" "$work/build/sonavel.exe"
printf 'a font stand-in\n' >"$work/build/font.tga"
"$top/tools/windows/package.sh" "$work/build" "$prefix" "$version" "$work/out"
zip=$work/out/sonavel-$version-windows-x64.zip
setup=$work/out/sonavel-$version-windows-x64-setup.exe
listing=$(unzip -Z1 "$zip")
for file in sonavel.exe font.tga README.txt sonavel.ico libsndfile-1.dll licences/libsndfile/copyright licences/sources.txt; do
  grep -qx "sonavel-$version/$file" <<<"$listing" || fail "the zip has no $file"
done
(cd "$work" && unzip -q "$zip" && cd "sonavel-$version" && wine ./sonavel.exe .) >/dev/null ||
  fail "the program from the zip did not run"

say "installing it silently"
wine "$setup" /S '/D=C:\sonavel' || fail "the installer exited with status $?"
installed=$WINEPREFIX/drive_c/sonavel
for file in sonavel.exe font.tga README.txt libsndfile-1.dll licences/sources.txt uninstall.exe; do
  [[ -f $installed/$file ]] || fail "the installer put down no $file"
done
menu=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/sonavel
[[ -f $menu/sonavel.lnk ]] || fail "the installer made no Start-menu entry"
(cd "$installed" && wine ./sonavel.exe .) >/dev/null || fail "the installed program did not run"
rm -f "$installed"/smoke*  # what the run wrote: not the installer's to remove

say "uninstalling it silently"
wine "$installed/uninstall.exe" /S || fail "the uninstaller exited with status $?"
# It copies itself away and returns at once: wait for that copy to finish.
/usr/lib/wine/wineserver -w
leftover=$(find "$installed" "$menu" 2>/dev/null || true)
[[ -z $leftover ]] || fail "the uninstaller left $(echo "$leftover" | wc -l) files and folders: $(echo $leftover | head -c 300)"
say "the smoke program, the zip, the installer and the uninstaller work under Wine"
