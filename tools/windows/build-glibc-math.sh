#!/usr/bin/env bash
# Builds glibc's own sin, cos, sincos and cbrt for 64-bit Windows as one DLL, from the Debian
# source package of the glibc installed on this machine, so that sonavel.exe computes them to the
# last bit as the Linux build does (MinGW-w64's math library rounds differently in about one
# case in a thousand, and so does a correctly rounded one: glibc's are not always). Run after
# tools/windows/build-deps.sh, whose private deb-src lists it uses. Progress goes to stderr;
# stdout gets one line, the install prefix (bin/glibc-math.dll, lib/libglibc-math.dll.a,
# licences/glibc/). The build is kept while glibc's version, the compiler and these files stay.
#
# glibc is LGPL: its code stays in a DLL of its own, which a build of the same sources can replace.
set -euo pipefail
script=$(realpath "${BASH_SOURCE[0]}")
shims=${script%/*}/glibc-math

host=x86_64-w64-mingw32
cc=$host-gcc-posix
root=${SONAVEL_WINDOWS_DEPS:-${XDG_CACHE_HOME:-$HOME/.cache}/sonavel/windows-deps}
apt_dir=$root/apt

say() { echo "sonavel: $*" >&2; }
die() { say "$*"; exit 1; }

# glibc's sources of the four functions and what they include; the x86-64 files build them for FMA.
dbl64=sysdeps/ieee754/dbl-64
multiarch=sysdeps/x86_64/fpu/multiarch
sources=("$dbl64"/{s_sin.c,s_sincos.c,branred.c,branred.h,sincostab.c,s_cbrt.c,dla.h,mydefs.h,usncs.h,s_frexp.c,s_scalbn.c}
  "$multiarch"/{s_sin-fma.c,s_sin-fma4.c,s_sincos-fma.c,s_sincos-fma4.c} COPYING.LIB)

# The flags glibc 2.36 builds libm with on Debian (Makeconfig and debian/rules); the FMA builds
# add its multiarch flags, and branred.c is built without contraction, as in glibc.
flags=(-std=gnu11 -fgnu89-inline -O2 -pipe -fmerge-all-constants -frounding-math -fno-math-errno
  -fno-stack-protector -w -Werror=implicit-function-declaration)
# 32-byte spills on a 16-byte aligned Windows stack: no aligned vector moves.
fma_flags=(-mfma -mavx2 -Wa,-muse-unaligned-vector-move)
fma4_flags=(-mfma4 -Wa,-muse-unaligned-vector-move)

apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
  -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o "Acquire::http::Timeout=30")
[[ $(id -u) -eq 0 ]] && apt_opts+=(-o "APT::Sandbox::User=root")

# Prints the .dsc of the installed glibc's source, or of the newest one of the same upstream
# version when a mirror no longer has it (the math sources are the same).
fetch_glibc() {
  local installed wanted version dsc
  installed=$(dpkg-query -W -f='${source:Version}' libc6) || die "libc6 is not installed"
  mkdir -p "$root/sources"
  for wanted in "$installed" $(apt-cache "${apt_opts[@]}" showsrc --only-source glibc 2>/dev/null |
    sed -n 's/^Version: //p' | grep -F "${installed%%-*}-" | sort -ru); do
    version=${wanted#*:}
    dsc=$root/sources/glibc_$version.dsc
    if [[ ! -f $dsc ]]; then
      (cd "$root/sources" && apt-get "${apt_opts[@]}" source --download-only -qq "glibc=$wanted") \
        >>"$root/sources/fetch.log" 2>&1 || continue
    fi
    [[ $version == "$installed" ]] || say "glibc $installed cannot be fetched; using the math sources of $version"
    echo "$dsc"
    return 0
  done
  die "cannot fetch the source package glibc (see $root/sources/fetch.log)"
}

# Unpacks just the sources above, with the Debian patches that touch them.
unpack() {
  local dsc=$1 dir=$2 orig debian patch
  orig=$root/sources/$(sed -n 's/^ [0-9a-f]\{32\} [0-9]\+ \(glibc_[^ ]*\.orig\.tar\.[a-z]*\)$/\1/p' "$dsc" | head -n1)
  debian=$root/sources/$(sed -n 's/^ [0-9a-f]\{32\} [0-9]\+ \(glibc_[^ ]*\.debian\.tar\.[a-z]*\)$/\1/p' "$dsc" | head -n1)
  mkdir -p "$dir"
  tar -xf "$orig" -C "$dir" --strip-components=1 --wildcards "${sources[@]/#/*/}"
  tar -xf "$debian" -C "$dir" debian/patches debian/copyright
  while read -r patch; do
    patch=${patch%%#*}
    [[ -n ${patch// /} ]] || continue
    if grep -qE "^\+\+\+ [^/]+/($(IFS='|'; echo "${sources[*]}"))" "$dir/debian/patches/$patch"; then
      say "applying Debian's $patch"
      (cd "$dir" && patch -p1 -s <"debian/patches/$patch")
    fi
  done <"$dir/debian/patches/series"
}

build() {
  local src=$1 out=$2
  # glibc's own math.h declares its internal functions; here the stand-in does.
  local include=(-I "$shims" -I "$src" -I "$src/$dbl64" -include math_private.h)
  local objects=() object
  compile() {  # OBJECT SOURCE FLAGS...
    object=$out/$1
    "$cc" "${flags[@]}" "${include[@]}" "${@:3}" -c "$src/$2" -o "$object"
    objects+=("$object")
  }
  compile s_sin.o "$dbl64/s_sin.c" -D__sin=__sin_sse2 -D__cos=__cos_sse2
  compile s_sin-fma.o "$multiarch/s_sin-fma.c" "${fma_flags[@]}"
  compile s_sin-fma4.o "$multiarch/s_sin-fma4.c" "${fma4_flags[@]}"
  compile s_sincos.o "$dbl64/s_sincos.c" -D__sincos=__sincos_sse2
  compile s_sincos-fma.o "$multiarch/s_sincos-fma.c" "${fma_flags[@]}"
  compile s_sincos-fma4.o "$multiarch/s_sincos-fma4.c" "${fma4_flags[@]}"
  compile branred.o "$dbl64/branred.c" -ffp-contract=off
  compile sincostab.o "$dbl64/sincostab.c"
  compile s_cbrt.o "$dbl64/s_cbrt.c"
  compile s_frexp.o "$dbl64/s_frexp.c"
  compile s_scalbn.o "$dbl64/s_scalbn.c"
  "$cc" -O2 -std=gnu11 -Wall -Wextra -fno-builtin -I "$shims" -c "$shims/dispatch.c" -o "$out/dispatch.o"
  objects+=("$out/dispatch.o")
  "$cc" -shared -static-libgcc -o "$out/glibc-math.dll" "${objects[@]}" -Wl,--out-implib,"$out/libglibc-math.dll.a"
  "$host-strip" --strip-unneeded "$out/glibc-math.dll"
}

main() {
  [[ -d $apt_dir/lists ]] || die "$apt_dir has no package lists: run tools/windows/build-deps.sh first"
  command -v "$cc" >/dev/null || die "the cross compiler is missing: run tools/install-deps.sh windows"
  local dsc compiler key prefix work
  dsc=$(fetch_glibc)
  compiler=$(dpkg-query -W -f='${Package} ${Version}' gcc-mingw-w64-x86-64-posix)
  key=$( { sha256sum <"$dsc"; sha256sum "$script" "$shims"/* | cut -d' ' -f1; echo "$compiler"; } | sha256sum | cut -c1-16)
  prefix=$root/glibc-math/$key
  if [[ -f $prefix/.complete ]]; then
    say "glibc's math functions for Windows up to date in $prefix"
    echo "$prefix"
    return 0
  fi
  work=$(mktemp -d)
  trap 'rm -rf "$work"' RETURN
  say "building glibc's sin, cos, sincos and cbrt for $host from $(basename "$dsc" .dsc)"
  unpack "$dsc" "$work/src"
  mkdir -p "$work/out"
  build "$work/src" "$work/out"
  rm -rf "$prefix"
  mkdir -p "$prefix"/{bin,lib,licences/glibc}
  cp "$work/out/glibc-math.dll" "$prefix/bin/"
  cp "$work/out/libglibc-math.dll.a" "$prefix/lib/"
  cp "$work/src/COPYING.LIB" "$work/src/debian/copyright" "$prefix/licences/glibc/"
  echo "glibc $(sed -n 's/^Version: //p' "$dsc") (sin, cos, sincos and cbrt only)" >"$prefix/versions.txt"
  touch "$prefix/.complete"
  echo "$prefix"
}

main "$@"
