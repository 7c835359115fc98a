#!/usr/bin/env bash
# Builds, for 64-bit Windows, the libraries whose arithmetic must match the Linux build's to the
# last bit, from the Debian source packages of the very versions installed on this machine:
#
#   glibc-math.dll  glibc's own sin, cos, sincos, exp, log, log10, pow, asin and cbrt, in the
#                   builds glibc picks between by processor (with and without FMA). MinGW-w64's
#                   math library rounds otherwise in about one case in a thousand, and so would a
#                   correctly rounded one: glibc's are not always.
#   libsoxr.dll     the sample-rate converter, with Debian's compiler flags, its math from
#                   glibc-math.dll (its filters are designed with exp, log, pow, sin, cos, asin).
#   libvorbis*.dll  the Ogg Vorbis decoder, with the flags its own build gives it on Linux
#                   (-ffast-math among them, which lets the compiler reorder its float sums) and
#                   its math from glibc-math.dll; these take the place of the plain build's.
#
#   build-exact-libs.sh DEPS_PREFIX   (what tools/windows/build-deps.sh printed: libogg is there)
#
# Run after tools/windows/build-deps.sh, whose private deb-src lists it uses. Progress goes to
# stderr; stdout gets one line, the install prefix (bin/, lib/ with pkgconfig/, include/,
# licences/). The build is kept while the source versions, the compiler and these files stay.
#
# glibc and soxr are LGPL: each stays a DLL of its own, which a build of the same sources can replace.
set -euo pipefail
script=$(realpath "${BASH_SOURCE[0]}")
shims=${script%/*}/glibc-math

host=x86_64-w64-mingw32
cc=$host-gcc-posix
root=${SONAVEL_WINDOWS_DEPS:-${XDG_CACHE_HOME:-$HOME/.cache}/sonavel/windows-deps}
apt_dir=$root/apt
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}

say() { echo "sonavel: $*" >&2; }
die() { say "$*"; exit 1; }

# --- sources: the installed versions' Debian source packages ------------------------------

apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
  -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o "Acquire::http::Timeout=30")
[[ $(id -u) -eq 0 ]] && apt_opts+=(-o "APT::Sandbox::User=root")

# Prints the .dsc of source package $1 at the version binary package $2 is installed at, or of
# the newest one of the same upstream version when a mirror no longer has it.
fetch_installed_source() {
  local source=$1 binary=$2 installed wanted version dsc
  installed=$(dpkg-query -W -f='${source:Version}' "$binary" 2>/dev/null) ||
    die "$binary is not installed: run tools/install-deps.sh test"
  mkdir -p "$root/sources"
  for wanted in "$installed" $(apt-cache "${apt_opts[@]}" showsrc --only-source "$source" 2>/dev/null |
    sed -n 's/^Version: //p' | grep -F "${installed%%-*}-" | sort -ru); do
    version=${wanted#*:}
    dsc=$root/sources/${source}_$version.dsc
    if [[ ! -f $dsc ]]; then
      (cd "$root/sources" && apt-get "${apt_opts[@]}" source --download-only -qq "$source=$wanted") \
        >>"$root/sources/fetch.log" 2>&1 || continue
    fi
    [[ $version == "${installed#*:}" ]] || say "$source $installed cannot be fetched; using $version"
    echo "$dsc"
    return 0
  done
  die "cannot fetch the source package $source (see $root/sources/fetch.log)"
}

# The file of the .dsc $1 whose name ends in $2 (orig.tar.xz, debian.tar.xz, ...).
dsc_file() { sed -n "s/^ [0-9a-f]\{32\} [0-9]\+ \([^ ]*$2\)\$/\1/p" "$1" | head -n1; }

# --- glibc's math functions --------------------------------------------------------------

dbl64=sysdeps/ieee754/dbl-64
multiarch=sysdeps/x86_64/fpu/multiarch
glibc_files=("$dbl64"/{s_sin.c,s_sincos.c,branred.c,branred.h,sincostab.c,dla.h,mydefs.h,usncs.h}
  "$dbl64"/{e_exp.c,e_exp_data.c,e_log.c,e_log_data.c,e_pow.c,e_pow_log_data.c,math_config.h,math_err.c}
  "$dbl64"/{e_log10.c,e_asin.c,asincos.tbl,root.tbl,powtwo.tbl,uasncs.h,s_cbrt.c,s_frexp.c,s_scalbn.c}
  "$multiarch"/{s_sin,s_sincos,e_exp,e_log,e_pow,e_asin}-fma{,4}.c COPYING.LIB)

# The flags glibc 2.36 builds libm with on Debian (Makeconfig and debian/rules); the FMA builds
# add its multiarch flags, and branred.c is built without contraction, as in glibc. 32-byte
# spills on a 16-byte aligned Windows stack: no aligned vector moves.
glibc_flags=(-std=gnu11 -fgnu89-inline -O2 -pipe -fmerge-all-constants -frounding-math -fno-math-errno
  -fno-stack-protector -w -Werror=implicit-function-declaration)
fma_flags=(-mfma -mavx2 -Wa,-muse-unaligned-vector-move)
fma4_flags=(-mfma4 -Wa,-muse-unaligned-vector-move)

# Unpacks the files above from $1's upstream tarball into $2, with what Debian's patches change in
# them (a patch's sections for other files are left out: those files are not there).
unpack_glibc() {
  local dsc=$1 dir=$2 patch wanted
  mkdir -p "$dir"
  tar -xf "$root/sources/$(dsc_file "$dsc" '\.orig\.tar\.[a-z]*')" -C "$dir" --strip-components=1 --wildcards \
    "${glibc_files[@]/#/*/}"
  tar -xf "$root/sources/$(dsc_file "$dsc" '\.debian\.tar\.[a-z]*')" -C "$dir" debian/patches debian/copyright
  wanted=" ${glibc_files[*]} "
  while read -r patch; do
    patch=${patch%%#*}
    [[ -n ${patch// /} ]] || continue
    awk -v wanted="$wanted" '
      /^diff --git / { file = substr($3, 3); keep = index(wanted, " " file " ") > 0 }
      keep' "$dir/debian/patches/$patch" >"$dir/ours.diff"
    [[ -s $dir/ours.diff ]] || continue
    say "applying what Debian's $patch changes in $(grep -c '^diff --git ' "$dir/ours.diff") of these files"
    (cd "$dir" && patch -p1 -s <ours.diff)
  done <"$dir/debian/patches/series"
}

# Each of the functions glibc builds three times (x86-64's multiarch) in its three builds, the rest once.
build_glibc_math() {
  local src=$1 out=$2 objects=()
  # glibc's own math.h declares its internal functions; here the stand-in does.
  local include=(-I "$shims" -I "$src" -I "$src/$dbl64" -include math_private.h)
  compile() {  # OBJECT SOURCE FLAGS...
    "$cc" "${glibc_flags[@]}" "${include[@]}" "${@:3}" -c "$src/$2" -o "$out/$1"
    objects+=("$out/$1")
  }
  local name plain
  for name in s_sin s_sincos e_exp e_log e_pow e_asin; do
    case $name in
      s_sin) plain=(-D__sin=__sin_sse2 -D__cos=__cos_sse2) ;;
      s_sincos) plain=(-D__sincos=__sincos_sse2) ;;
      e_exp) plain=(-D__exp=__ieee754_exp_sse2) ;;
      e_log) plain=(-D__log=__ieee754_log_sse2) ;;
      e_pow) plain=(-D__pow=__ieee754_pow_sse2) ;;
      e_asin) plain=(-D__ieee754_asin=__ieee754_asin_sse2 -D__ieee754_acos=__ieee754_acos_sse2) ;;
    esac
    compile "$name.o" "$dbl64/$name.c" "${plain[@]}"
    compile "$name-fma.o" "$multiarch/$name-fma.c" "${fma_flags[@]}"
    compile "$name-fma4.o" "$multiarch/$name-fma4.c" "${fma4_flags[@]}"
  done
  compile branred.o "$dbl64/branred.c" -ffp-contract=off
  for name in sincostab e_exp_data e_log_data e_pow_log_data math_err e_log10 s_cbrt s_frexp s_scalbn; do
    compile "$name.o" "$dbl64/$name.c"
  done
  "$cc" -O2 -std=gnu11 -Wall -Wextra -fno-builtin -I "$shims" -c "$shims/dispatch.c" -o "$out/dispatch.o"
  objects+=("$out/dispatch.o")
  "$cc" -shared -static-libgcc -o "$out/glibc-math.dll" "${objects[@]}" -Wl,--out-implib,"$out/libglibc-math.dll.a"
}

# --- soxr ---------------------------------------------------------------------------------

# Debian's own build (debian/rules: CMake with dpkg-buildflags' -O2), without OpenMP (sonavel runs
# it on one thread), tests and examples. Its math calls bind to glibc-math.dll: the import
# library comes before MinGW-w64's own math in the link. MinGW-w64 keeps sincos and sincosf (which
# soxr's single-precision engine calls) in one object, so sincos is defined twice: the first, ours, wins.
build_soxr() {
  local dsc=$1 src=$2 prefix=$3
  dpkg-source --no-check -x "$dsc" "$src" >/dev/null
  cmake -S "$src" -B "$src/build" -G "Unix Makefiles" -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=x86_64 \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_RC_COMPILER="$host-windres" -DCMAKE_FIND_ROOT_PATH="/usr/$host" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=None -DBUILD_SHARED_LIBS=ON \
    -DCMAKE_C_FLAGS="-g0 -O2 -Wa,-muse-unaligned-vector-move" -DCMAKE_SHARED_LINKER_FLAGS="-static-libgcc -L$prefix/lib -Wl,--allow-multiple-definition" \
    -DCMAKE_C_STANDARD_LIBRARIES="-lglibc-math" -DWITH_OPENMP=OFF -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF \
    -DWITH_LSR_BINDINGS=OFF >"$src/configure.log" 2>&1 || { tail -n 30 "$src/configure.log" >&2; die "configuring soxr failed"; }
  cmake --build "$src/build" -j "$jobs" >"$src/build.log" 2>&1 || { tail -n 30 "$src/build.log" >&2; die "building soxr failed"; }
  cmake --install "$src/build" >/dev/null
  rm -rf "$prefix/doc"
  # soxr's build writes its pkg-config file for Unix only; this is Debian's, for this prefix.
  mkdir -p "$prefix/lib/pkgconfig"
  cat >"$prefix/lib/pkgconfig/soxr.pc" <<PC
prefix=$prefix
exec_prefix=\${prefix}
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: soxr
Description: High quality, one-dimensional sample-rate conversion library
Version: $(sed -n 's/^Version: \([0-9.]*\).*/\1/p' "$dsc")
Libs: -L\${libdir} -lsoxr
Cflags: -I\${includedir}
PC
  mkdir -p "$prefix/licences/libsoxr"
  cp "$src/debian/copyright" "$src/COPYING.LGPL" "$prefix/licences/libsoxr/" 2>/dev/null ||
    cp "$src/debian/copyright" "$prefix/licences/libsoxr/"
}

# --- libvorbis -------------------------------------------------------------------------------

# Its configure gives a Linux host -O3 -ffast-math before Debian's flags (the -O2 there wins) and
# any other host no -ffast-math: the same flags are given here by hand. Its libogg is the plain
# build's, in $4.
build_vorbis() {
  local dsc=$1 src=$2 prefix=$3 deps=$4
  dpkg-source --no-check -x "$dsc" "$src" >/dev/null
  (
    cd "$src"
    autoreconf -fi -I m4 >autoreconf.log 2>&1 || { tail -n 30 autoreconf.log >&2; exit 1; }
    PKG_CONFIG_LIBDIR="$deps/lib/pkgconfig" PKG_CONFIG_PATH="" CC=$cc CPPFLAGS="-I$deps/include" \
      CFLAGS="-g0 -O2 -ffast-math -D_REENTRANT -fsigned-char" LIBS="-lglibc-math" \
      LDFLAGS="-L$prefix/lib -L$deps/lib -static-libgcc -Wl,--allow-multiple-definition" \
      ./configure --build="$(dpkg-architecture -qDEB_BUILD_GNU_TYPE)" --host="$host" --prefix="$prefix" \
      --enable-shared --disable-static --disable-docs --disable-examples >configure.log 2>&1 ||
      { tail -n 30 configure.log >&2; exit 1; }
    make -j"$jobs" >build.log 2>&1 && make install >>build.log 2>&1 || { tail -n 30 build.log >&2; exit 1; }
  ) || die "building libvorbis failed"
  rm -rf "$prefix/share" "$prefix"/lib/*.la
  mkdir -p "$prefix/licences/libvorbis"
  cp "$src/debian/copyright" "$src/COPYING" "$prefix/licences/libvorbis/"
}

main() {
  local deps=${1:-}
  [[ -n $deps && -f $deps/lib/pkgconfig/ogg.pc ]] || die "usage: build-exact-libs.sh DEPS_PREFIX (the Windows libraries' prefix, with libogg)"
  [[ -d $apt_dir/lists ]] || die "$apt_dir has no package lists: run tools/windows/build-deps.sh first"
  command -v "$cc" >/dev/null || die "the cross compiler is missing: run tools/install-deps.sh windows"
  local glibc soxr vorbis compiler key prefix work
  glibc=$(fetch_installed_source glibc libc6)
  soxr=$(fetch_installed_source libsoxr libsoxr0)
  vorbis=$(fetch_installed_source libvorbis libvorbis0a)
  compiler=$(dpkg-query -W -f='${Package} ${Version}' gcc-mingw-w64-x86-64-posix)
  key=$( { sha256sum <"$glibc"; sha256sum <"$soxr"; sha256sum <"$vorbis"; sha256sum "$script" "$shims"/* | cut -d' ' -f1
    echo "$compiler"; echo "$deps"; } | sha256sum | cut -c1-16)
  prefix=$root/exact/$key
  if [[ -f $prefix/.complete ]]; then
    say "the bit-exact Windows libraries are up to date in $prefix"
    echo "$prefix"
    return 0
  fi
  work=$(mktemp -d)
  trap 'rm -rf "$work"' RETURN
  rm -rf "$prefix"
  mkdir -p "$prefix"/{bin,lib,licences/glibc} "$work/out"
  say "building glibc's math functions for $host from $(basename "$glibc" .dsc)"
  unpack_glibc "$glibc" "$work/glibc"
  build_glibc_math "$work/glibc" "$work/out"
  cp "$work/out/glibc-math.dll" "$prefix/bin/"
  cp "$work/out/libglibc-math.dll.a" "$prefix/lib/"
  cp "$work/glibc/COPYING.LIB" "$work/glibc/debian/copyright" "$prefix/licences/glibc/"
  say "building $(basename "$soxr" .dsc) for $host"
  build_soxr "$soxr" "$work/soxr" "$prefix"
  say "building $(basename "$vorbis" .dsc) for $host"
  build_vorbis "$vorbis" "$work/vorbis" "$prefix" "$deps"
  "$host-strip" --strip-unneeded "$prefix"/bin/*.dll
  {
    echo "glibc $(sed -n 's/^Version: //p' "$glibc") (sin, cos, sincos, exp, log, log10, pow, asin and cbrt only)"
    echo "libsoxr $(sed -n 's/^Version: //p' "$soxr")"
    echo "libvorbis $(sed -n 's/^Version: //p' "$vorbis")"
  } >"$prefix/versions.txt"
  touch "$prefix/.complete"
  echo "$prefix"
}

main "$@"
