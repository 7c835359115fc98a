#!/usr/bin/env bash
# Packs a Windows build for handing out:
#   tools/windows/package.sh BUILD PREFIX VERSION [OUT]
# BUILD holds sonavel.exe and font.tga, PREFIX is the folder tools/windows/build-deps.sh
# printed. Writes OUT/sonavel-VERSION-windows-x64.zip (a folder sonavel-VERSION with the
# program, exactly the DLLs it needs, font.tga, README.txt and the licences) and
# OUT/sonavel-VERSION-windows-x64-setup.exe (an NSIS installer of the same files). OUT: BUILD.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/dlls.sh"
top=$(cd "$here/../.." && pwd)

say() { echo "sonavel: $*" >&2; }
die() { say "$*"; exit 1; }

[[ $# -ge 3 && $# -le 4 ]] || die "usage: $0 BUILD PREFIX VERSION [OUT]"
build=$(cd "$1" && pwd) || die "no build folder $1"
prefix=$2
version=$3
out=$(mkdir -p "${4:-$build}" && cd "${4:-$build}" && pwd)
[[ -f $build/sonavel.exe ]] || die "$build/sonavel.exe is missing"
[[ -f $build/font.tga ]] || die "$build/font.tga is missing"
[[ -d $prefix/bin && -d $prefix/licences ]] || die "$prefix is not a folder made by tools/windows/build-deps.sh"
[[ $version =~ ^[0-9A-Za-z.+~-]+$ ]] || die "version '$version' is not a plain version"

name=sonavel-$version
base=$name-windows-x64
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
dir=$stage/$name
mkdir -p "$dir/licences"

cp "$build/sonavel.exe" "$build/font.tga" "$dir/"
dlls=$(needed_dlls "$prefix/bin" "$dir/sonavel.exe") || die "sonavel.exe needs DLLs that cannot be shipped"
for dll in $dlls; do cp "$dll" "$dir/"; done
cp -r "$prefix"/licences/. "$dir/licences/"
{
  echo "The libraries beside sonavel.exe were built from these Debian 12 source packages"
  echo "(source package, version), with the cross compiler named last:"
  cat "$prefix/versions.txt"
} | sed 's/$/\r/' >"$dir/licences/sources.txt"
# Notepad of older Windows shows a file with LF endings as one line.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$top/packaging/windows/README.txt.in" >"$dir/README.txt"
"$here/make-icon.sh" "$top/data/sonavel.svg" "$dir/sonavel.ico"
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
