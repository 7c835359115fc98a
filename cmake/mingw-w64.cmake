# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 compilers (posix thread model, for
# std::thread), finding the libraries through pkg-config in the folders tools/windows/build-deps.sh
# and tools/windows/build-exact-libs.sh print:
#   cmake -S . -B build-windows --toolchain cmake/mingw-w64.cmake "-DSONAVEL_WINDOWS_PREFIX=DEPS;EXACT"
# (a CMake list of prefixes; or SONAVEL_WINDOWS_PREFIX in the environment).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(SONAVEL_WINDOWS_HOST x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${SONAVEL_WINDOWS_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SONAVEL_WINDOWS_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${SONAVEL_WINDOWS_HOST}-windres)

if(NOT SONAVEL_WINDOWS_PREFIX AND DEFINED ENV{SONAVEL_WINDOWS_PREFIX})
  set(SONAVEL_WINDOWS_PREFIX "$ENV{SONAVEL_WINDOWS_PREFIX}")
endif()
if(NOT SONAVEL_WINDOWS_PREFIX)
  message(FATAL_ERROR "sonavel: SONAVEL_WINDOWS_PREFIX must name the folders tools/windows/build-deps.sh and build-exact-libs.sh print")
endif()
set(sonavel_pkg_config_dirs "")
foreach(prefix IN LISTS SONAVEL_WINDOWS_PREFIX)
  if(NOT EXISTS "${prefix}/lib/pkgconfig")
    message(FATAL_ERROR "sonavel: ${prefix} has no lib/pkgconfig: not a folder the Windows library scripts made")
  endif()
  list(APPEND sonavel_pkg_config_dirs "${prefix}/lib/pkgconfig")
endforeach()
# try_compile projects read this file again without the cache: hand the prefixes on to them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SONAVEL_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${SONAVEL_WINDOWS_HOST} ${SONAVEL_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Only the prefixes' .pc files: none of the build machine's own libraries may leak in.
string(REPLACE ";" ":" sonavel_pkg_config_dirs "${sonavel_pkg_config_dirs}")
set(ENV{PKG_CONFIG_LIBDIR} "${sonavel_pkg_config_dirs}")
set(ENV{PKG_CONFIG_PATH} "")
unset(ENV{PKG_CONFIG_SYSROOT_DIR})

# The compiler's own runtime goes into the program; the one DLL it still needs,
# libwinpthread-1.dll, is in the cache beside the libraries, which import it too.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# ctest and gtest_discover_tests start the programs through Wine (WINEPREFIX from the
# environment, else a private one each time); the project sets its own shared one.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../tools/windows/wine-run.sh")
