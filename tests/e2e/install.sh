#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed program
# headless from a folder without a font: it must find its own, and draw the same
# picture and roll as the build's program with the build's font; a font.tga in the
# working directory still wins. The desktop entry must pass desktop-file-validate.
#
# usage: install.sh CMAKE BUILD_DIR MAKE_MELODY
# Exit 0 pass, 1 fail.
set -u

cmake=$1 build=$(realpath "$2") make_melody=$(realpath "$3")
work=$(mktemp -d /tmp/sonavel-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
say() { printf 'install: %s\n' "$*"; }
fail() { say "FAIL: $*"; exit 1; }

prefix="$work/prefix"
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install failed"; }
for installed in bin/sonavel share/sonavel/font.tga share/man/man1/sonavel.1 share/applications/sonavel.desktop \
    share/icons/hicolor/scalable/apps/sonavel.svg; do
  [ -f "$prefix/$installed" ] || fail "$installed was not installed"
done
[ -x "$prefix/bin/sonavel" ] || fail "bin/sonavel is not executable"

"$make_melody" "$work/tune.wav" || fail "cannot make the tune"
run() {  # FOLDER: the program's outputs and its stderr land in FOLDER
  local folder=$1 program=$2
  (cd "$folder" && "$program" --headless ../tune.wav --picture picture.png --roll roll.png 2>stderr.txt)
}

mkdir "$work/built" && cp "$build/font.tga" "$work/built/font.tga"
run "$work/built" "$build/sonavel" || fail "the build's program failed: $(cat "$work/built/stderr.txt")"

mkdir "$work/elsewhere"
run "$work/elsewhere" "$prefix/bin/sonavel" || fail "the installed program failed: $(cat "$work/elsewhere/stderr.txt")"
[ -s "$work/elsewhere/stderr.txt" ] && fail "the installed program complained: $(cat "$work/elsewhere/stderr.txt")"
for picture in picture.png roll.png; do
  cmp -s "$work/built/$picture" "$work/elsewhere/$picture" || fail "$picture differs from the build's"
done

# The working directory's font.tga is taken first, even a useless one.
: >"$work/elsewhere/font.tga"
run "$work/elsewhere" "$prefix/bin/sonavel" || fail "the installed program failed with an empty font.tga"
grep -q "^sonavel: font font.tga: too short for a TGA header; using the built-in glyphs$" "$work/elsewhere/stderr.txt" ||
  fail "the working directory's font.tga was not the one loaded: $(cat "$work/elsewhere/stderr.txt")"

"$prefix/bin/sonavel" --help >"$work/help.txt" && grep -q -- "--roll" "$work/help.txt" || fail "--help of the installed program"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/sonavel.desktop" || fail "desktop-file-validate"
else
  say "desktop-file-validate is not installed; the desktop entry was not checked"
fi
say "pass"
