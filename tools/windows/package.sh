#!/usr/bin/env bash
# Packs a Windows build for handing out:
#   tools/windows/package.sh BUILD VERSION OUT PREFIX...
# BUILD holds sonavel.exe, sonavelw.exe, font.tga, sonavel.ico and the DLLs (the build folder);
# each PREFIX is a folder tools/windows/build-deps.sh or build-exact-libs.sh printed, for the
# licences and source versions of its libraries. Writes OUT/sonavel-VERSION-windows-x64.zip (a
# folder sonavel-VERSION with both programs, exactly the DLLs they need, font.tga, README.txt and
# the licences) and OUT/sonavel-VERSION-windows-x64-setup.exe (an NSIS installer of the same files),
# and the winget manifests of that installer in OUT/winget/manifests/s/sonavel/sonavel/VERSION, for
# the URL it is published at: SONAVEL_INSTALLER_URL, else a placeholder under example.org.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/dlls.sh"
top=$(cd "$here/../.." && pwd)

say() { echo "sonavel: $*" >&2; }
die() { say "$*"; exit 1; }

[[ $# -ge 4 ]] || die "usage: $0 BUILD VERSION OUT PREFIX..."
build=$(cd "$1" && pwd) || die "no build folder $1"
version=$2
out=$(mkdir -p "$3" && cd "$3" && pwd)
shift 3
prefixes=("$@")
for file in sonavel.exe sonavelw.exe font.tga sonavel.ico; do
  [[ -f $build/$file ]] || die "$build/$file is missing"
done
for prefix in "${prefixes[@]}"; do
  [[ -d $prefix/licences && -f $prefix/versions.txt ]] || die "$prefix is not a folder made by the Windows library scripts"
done
[[ $version =~ ^[0-9A-Za-z.+~-]+$ ]] || die "version '$version' is not a plain version"

name=sonavel-$version
base=$name-windows-x64
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
dir=$stage/$name
mkdir -p "$dir/licences"

cp "$build/sonavel.exe" "$build/sonavelw.exe" "$build/font.tga" "$build/sonavel.ico" "$dir/"
x86_64-w64-mingw32-strip --strip-unneeded "$dir/sonavel.exe" "$dir/sonavelw.exe"
dlls=$(needed_dlls "$build" "$dir/sonavel.exe" "$dir/sonavelw.exe") || die "the programs need DLLs that cannot be shipped"
for dll in $dlls; do cp "$dll" "$dir/"; done
for prefix in "${prefixes[@]}"; do cp -r "$prefix"/licences/. "$dir/licences/"; done
{
  echo "The libraries beside sonavel.exe were built from these Debian 12 source packages"
  echo "(source package, version), with the cross compiler named:"
  for prefix in "${prefixes[@]}"; do cat "$prefix/versions.txt"; done
} | sed 's/$/\r/' >"$dir/licences/sources.txt"
# Notepad of older Windows shows a file with LF endings as one line.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$top/packaging/windows/README.txt.in" >"$dir/README.txt"
say "packing $(echo "$dlls" | wc -w) DLLs: $(for d in $dlls; do printf '%s ' "${d##*/}"; done)"

rm -f "$out/$base.zip"
(cd "$stage" && zip -qr -X "$out/$base.zip" "$name")
say "wrote $out/$base.zip"

# The installer lists each file it puts down, so the uninstaller removes exactly those.
(cd "$dir" && find . -type d | sort) | while read -r d; do
  rel=${d#.}
  rel=${rel#/}
  echo "SetOutPath \"\$INSTDIR${rel:+\\${rel//\//\\}}\""
  find "$dir/$rel" -maxdepth 1 -type f | sort | sed 's/.*/File "&"/'
done >"$stage/install-files.nsh"
{
  (cd "$dir" && find . -type f | sort) | sed 's|^\./||; s|/|\\|g; s|.*|Delete "$INSTDIR\\&"|'
  (cd "$dir" && find . -mindepth 1 -type d | sort -r) | sed 's|^\./||; s|/|\\|g; s|.*|RMDir "$INSTDIR\\&"|'
} >"$stage/uninstall-files.nsh"

rm -f "$out/$base-setup.exe"
makensis -V2 -DVERSION="$version" -DSTAGE="$dir" -DLISTS="$stage" -DOUTFILE="$out/$base-setup.exe" \
  "$top/packaging/windows/sonavel.nsi" >"$stage/makensis.log" 2>&1 || { cat "$stage/makensis.log" >&2; die "makensis failed"; }
say "wrote $out/$base-setup.exe"

url=${SONAVEL_INSTALLER_URL:-https://example.org/sonavel/releases/$version/$base-setup.exe}
manifests=$(/usr/bin/python3 "$here/winget.py" fill "$version" "$out/$base-setup.exe" "$url" "$out/winget") ||
  die "the winget manifests do not pass their check"
say "wrote the winget manifests in $manifests"
