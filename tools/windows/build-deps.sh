#!/usr/bin/env bash
# Cross-builds sonavel's libraries for 64-bit Windows from Debian's source packages into a
# cache outside the tree, reused while the package versions, the compiler and this script stay
# the same. Progress goes to stderr; stdout gets one line, the install prefix, which
# cmake/mingw-w64.cmake takes as SONAVEL_WINDOWS_PREFIX.
#
# Every library is a DLL (libsndfile must be one: LGPL). libgcc is linked statically into each;
# libwinpthread-1.dll, which the posix thread model's libgcc imports, is copied beside them
# once, so every module shares one thread library.
set -euo pipefail
script=$(realpath "${BASH_SOURCE[0]}")
source "${script%/*}/dlls.sh"
patches=${script%/*}/patches

host=x86_64-w64-mingw32
root=${SONAVEL_WINDOWS_DEPS:-${XDG_CACHE_HOME:-$HOME/.cache}/sonavel/windows-deps}
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
# In build order: each one's libraries are there for the ones after it.
packages=(zlib libpng1.6 libsdl2 portaudio19 libogg libvorbis opus flac mpg123 lame libsndfile)

say() { echo "sonavel: $*" >&2; }
die() { say "$*"; exit 1; }

# --- Debian's source packages, through a private deb-src list -------------------------------

apt_dir=$root/apt
apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
  -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o "Acquire::http::Timeout=30")
# apt fetches as the _apt user, who cannot enter root's home.
[[ $(id -u) -eq 0 ]] && apt_opts+=(-o "APT::Sandbox::User=root")

# The machine's own entries, as deb-src, in a folder of ours: its apt set-up stays untouched.
write_private_sources() {
  mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
  rm -f "$apt_dir"/sources.list.d/*
  sed -n 's/^[[:space:]]*deb[[:space:]]\+/deb-src /p' /etc/apt/sources.list >"$apt_dir/sources.list" 2>/dev/null || : >"$apt_dir/sources.list"
  local file
  for file in /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list; do
    [[ -f $file ]] || continue
    case $file in
      *.sources) sed 's/^Types:.*/Types: deb-src/' "$file" >"$apt_dir/sources.list.d/${file##*/}" ;;
      *.list) sed -n 's/^[[:space:]]*deb[[:space:]]\+/deb-src /p' "$file" >"$apt_dir/sources.list.d/${file##*/}" ;;
    esac
  done
}

# Newest first; $1 is a source package.
source_versions() {
  apt-cache "${apt_opts[@]}" showsrc --only-source "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -u |
    sort_debian_versions
}

sort_debian_versions() {
  local sorted=() v i
  while read -r v; do
    i=${#sorted[@]}
    while ((i > 0)) && dpkg --compare-versions "$v" gt "${sorted[i-1]}"; do sorted[i]=${sorted[i-1]}; ((i--)); done
    sorted[i]=$v
  done
  ((${#sorted[@]})) && printf '%s\n' "${sorted[@]}"
}

# True when the .dsc and every file it names (upstream signatures aside) are in the sources folder.
have_source_files() {
  local dsc=$1 name
  [[ -f $dsc ]] || return 1
  for name in $(sed -n '/^Files:/,/^[^ ]/s/^ [0-9a-f]\+ [0-9]\+ //p' "$dsc"); do
    [[ $name == *.asc ]] && continue
    [[ -f $root/sources/$name ]] || return 1
  done
}

# Prints the .dsc of the newest version of $1 whose files can be had. A mirror can lag behind
# its index (a security update listed but not yet there): then the version before it is taken.
fetch_source() {
  local pkg=$1 version dsc newest=""
  while read -r version; do
    [[ -n $version ]] || continue
    [[ -n $newest ]] || newest=$version
    dsc=$root/sources/${pkg}_${version#*:}.dsc
    if ! have_source_files "$dsc"; then
      (cd "$root/sources" && apt-get "${apt_opts[@]}" source --download-only -qq "$pkg=$version") \
        >>"$root/sources/fetch.log" 2>&1 || true
    fi
    if have_source_files "$dsc"; then
      [[ $version == "$newest" ]] || say "$pkg $newest cannot be fetched; using $version"
      echo "$dsc"
      return 0
    fi
  done < <(source_versions "$pkg")
  return 1
}

# Fills dsc_of: each package's .dsc, fetched into $root/sources when not there yet.
fetch_sources() {
  mkdir -p "$root/sources"
  write_private_sources
  if ! apt-get "${apt_opts[@]}" update -qq >"$apt_dir/update.log" 2>&1; then
    say "updating the private deb-src lists failed (see $apt_dir/update.log); trying the lists there are"
  fi
  local pkg
  for pkg in "${packages[@]}"; do
    dsc_of[$pkg]=$(fetch_source "$pkg") || die "cannot fetch the source package $pkg (see $root/sources/fetch.log)"
  done
}

# --- the cache key ---------------------------------------------------------------------------

# Changes with any source package, the cross compiler or this script.
cache_key() {
  local pkg
  {
    for pkg in "${packages[@]}"; do sha256sum <"${dsc_of[$pkg]}"; done
    sha256sum "$script" "$patches"/* | cut -d' ' -f1
    echo "$compiler"
  } | sha256sum | cut -c1-16
}

# --- the cross build -------------------------------------------------------------------------

# All of these libraries are C. configure finds the other host tools (ar, nm, windres, ...) from
# --host; CXX stays unset: with it, PortAudio's libtool takes the compiler for MSVC and makes
# no import library.
set_cross_environment() {
  export CC="$host-gcc-posix"
  unset CXX CXXFLAGS AR NM RANLIB STRIP LD
  export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH=""
  unset PKG_CONFIG_SYSROOT_DIR MAKEFLAGS MFLAGS MAKELEVEL
  export CPPFLAGS="-I$prefix/include" CFLAGS="-O2"
  export LDFLAGS="-L$prefix/lib -static-libgcc"
  build_type=$(dpkg-architecture -qDEB_BUILD_GNU_TYPE)
}

# make_target, when set, is all that is built before `make install`.
autotools() {
  ./configure --build="$build_type" --host="$host" --prefix="$prefix" --enable-shared --disable-static "$@"
  make -j"$jobs" ${make_target:-}
  make install
}

build_zlib() {
  # Debian's zlib source has no win32 folder; this is what its Makefile.gcc did.
  local objs=() c
  for c in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees trees uncompr zutil; do
    $CC $CFLAGS -c "$c.c" -o "$c.o"
    objs+=("$c.o")
  done
  $CC -shared $LDFLAGS -o zlib1.dll "${objs[@]}" -Wl,--out-implib,libz.dll.a
  cp zlib1.dll "$prefix/bin/"
  cp libz.dll.a "$prefix/lib/"
  cp zlib.h zconf.h "$prefix/include/"
  sed -e "s|@prefix@|$prefix|; s|@exec_prefix@|\${prefix}|; s|@libdir@|\${exec_prefix}/lib|" \
    -e "s|@sharedlibdir@|\${libdir}|; s|@includedir@|\${prefix}/include|" \
    -e "s|@VERSION@|$(sed -n 's/^#define ZLIB_VERSION "\(.*\)"/\1/p' zlib.h)|" zlib.pc.in >"$prefix/lib/pkgconfig/zlib.pc"
}

build_libpng1.6() { autoreconf -fi; autotools; }
build_libsdl2() { autotools; }
build_portaudio19() {
  patch -p1 <"$patches/portaudio19-wasapi-mingw-w64.patch"
  autoreconf -fi
  # The library alone: its 60 test and example programs are not installed.
  make_target=lib/libportaudio.la autotools --with-winapi=wmme,directx,wasapi
}
build_libogg() { autotools; }
build_libvorbis() { autoreconf -fi -I m4; autotools --disable-docs --disable-examples; }
# _FORTIFY_SOURCE needs libssp with MinGW-w64 10: left out here as in flac.
build_opus() { CPPFLAGS="$CPPFLAGS -D_FORTIFY_SOURCE=0" autotools --disable-doc --disable-extra-programs; }
build_flac() {
  autoreconf -fi
  autotools --disable-doxygen-docs --disable-cpplibs --disable-programs --disable-examples \
    --disable-stack-smash-protection --disable-fortify-source
}
build_mpg123() { autotools --with-cpu=x86-64; }
build_lame() {
  # Declared for export but no longer defined: a DLL cannot export it.
  sed -i '/^lame_init_old$/d' include/libmp3lame.sym
  autoreconf -fi
  autotools --disable-frontend
}
build_libsndfile() {
  autoreconf -fi
  autotools --enable-external-libs --enable-mpeg --disable-full-suite --disable-sqlite --disable-alsa
}

# Each package's debian/copyright and upstream licence files, for the zip and the installer.
collect_licences() {
  local pkg=$1 dir=$prefix/licences/$1 file
  mkdir -p "$dir"
  cp debian/copyright "$dir/copyright"
  for file in COPYING* LICENSE* LICENCE* LICENSE.txt; do
    [[ -f $file ]] && cp "$file" "$dir/"
  done
  return 0
}

build_package() {
  local pkg=$1 dsc=${dsc_of[$1]} version log=$logs/$1.log
  version=$(sed -n 's/^Version: //p' "$dsc")
  if [[ -f $prefix/.built/$pkg ]]; then return 0; fi
  say "building $pkg $version for $host"
  rm -rf "${work:?}/$pkg"
  # Not `( ... ) || die`: on the left of || the subshell would ignore set -e.
  set +e
  (
    set -e
    dpkg-source --no-check -x "$dsc" "$work/$pkg"
    cd "$work/$pkg"
    "build_$pkg"
    collect_licences "$pkg"
  ) >"$log" 2>&1
  local status=$?
  set -e
  ((status == 0)) || die "building $pkg $version failed (log: $log)"
  echo "$pkg $version" >"$prefix/.built/$pkg"
}

# Puts the DLLs' shared thread library and its licence beside them, strips them, and checks
# that nothing they import would be missing from a package.
finish_prefix() {
  cp "/usr/$host/lib/libwinpthread-1.dll" "$prefix/bin/"
  mkdir -p "$prefix/licences/mingw-w64"
  cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$prefix/licences/mingw-w64/copyright"
  "$host-strip" --strip-unneeded "$prefix"/bin/*.dll
  needed_dlls "$prefix/bin" "$prefix"/bin/*.dll >/dev/null || die "the Windows libraries import DLLs that would not be shipped"
  local pkg
  for pkg in "${packages[@]}"; do cat "$prefix/.built/$pkg"; done >"$prefix/versions.txt"
  echo "$compiler" >>"$prefix/versions.txt"
}

# The whole script is read before it runs, so editing it meanwhile cannot derail a build.
main() {
  declare -gA dsc_of
  fetch_sources
  compiler=$(dpkg-query -W -f='${Package} ${Version}' gcc-mingw-w64-x86-64-posix 2>/dev/null) ||
    die "the cross compiler is missing: run tools/install-deps.sh windows"
  # A fixed key lets a build that failed half-way resume after this script was changed.
  key=${SONAVEL_WINDOWS_DEPS_KEY:-$(cache_key)}
  prefix=$root/$key
  if [[ -f $prefix/.complete ]]; then
    say "Windows libraries up to date in $prefix"
    echo "$prefix"
    return 0
  fi

  # One build at a time per cache: a second caller waits, then finds it complete.
  exec 9>"$root/.lock"
  if ! flock -n 9; then
    say "waiting for another build of the Windows libraries"
    flock 9
  fi
  if [[ -f $prefix/.complete ]]; then echo "$prefix"; return 0; fi

  work=$root/work/$key
  logs=$prefix/logs
  mkdir -p "$prefix"/{bin,include,lib/pkgconfig,licences,.built} "$work" "$logs"
  set_cross_environment
  local started=$SECONDS pkg
  say "building the Windows libraries into $prefix ($jobs jobs)"
  # A long batch job on a shared machine: the other work goes first.
  renice -n 10 -p $$ >/dev/null 2>&1 || true
  for pkg in "${packages[@]}"; do build_package "$pkg"; done
  finish_prefix
  rm -rf "$work"
  touch "$prefix/.complete"
  say "Windows libraries built in $((SECONDS - started)) s: $prefix"
  echo "$prefix"
}

main "$@"
