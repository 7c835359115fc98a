# The Windows build, cross-compiled with cmake/mingw-w64.cmake and run under Wine by its tests.

# SDL2's pkg-config file makes a window-only program with SDL's own main (it renames main to
# SDL_main). sonavel has its own main and is linked twice: sonavel.exe for consoles, sonavelw.exe
# without one (app/).
get_target_property(sonavel_sdl_flags PkgConfig::SDL2 INTERFACE_COMPILE_OPTIONS)
list(REMOVE_ITEM sonavel_sdl_flags -Dmain=SDL_main)
set_target_properties(PkgConfig::SDL2 PROPERTIES INTERFACE_COMPILE_OPTIONS "${sonavel_sdl_flags}"
  INTERFACE_COMPILE_DEFINITIONS SDL_MAIN_HANDLED)
get_target_property(sonavel_sdl_options PkgConfig::SDL2 INTERFACE_LINK_OPTIONS)
list(REMOVE_ITEM sonavel_sdl_options -mwindows)
set_target_properties(PkgConfig::SDL2 PROPERTIES INTERFACE_LINK_OPTIONS "${sonavel_sdl_options}")
get_target_property(sonavel_sdl_libraries PkgConfig::SDL2 INTERFACE_LINK_LIBRARIES)
list(FILTER sonavel_sdl_libraries EXCLUDE REGEX "SDL2main|mingw32")
set_target_properties(PkgConfig::SDL2 PROPERTIES INTERFACE_LINK_LIBRARIES "${sonavel_sdl_libraries}")

# glibc's own math functions (tools/windows/build-exact-libs.sh) in every program, its import
# library ahead of MinGW-w64's math: sin, cos, cbrt and the rest give the Linux build's results
# to the bit, and so the same scores, pictures and samples.
find_library(SONAVEL_GLIBC_MATH NAMES libglibc-math.dll.a REQUIRED)
add_library(sonavel_glibc_math SHARED IMPORTED)
set_target_properties(sonavel_glibc_math PROPERTIES IMPORTED_IMPLIB "${SONAVEL_GLIBC_MATH}")
link_libraries(sonavel_glibc_math)

# AVX2 code keeps 32-byte values on a stack Windows aligns to 16 bytes only: GCC's aligned
# moves there would fault, so the assembler makes every vector move an unaligned one.
add_compile_options(-Wa,-muse-unaligned-vector-move)

# Every DLL of the library prefixes beside the programs, so that the build folder runs as it is;
# one of a later prefix takes the place of one of the same name before it (the bit-exact builds).
set(sonavel_windows_dlls "")
foreach(prefix IN LISTS SONAVEL_WINDOWS_PREFIX)
  file(GLOB dlls "${prefix}/bin/*.dll")
  foreach(dll IN LISTS dlls)
    get_filename_component(name "${dll}" NAME)
    string(REPLACE "." "\\." name "${name}")
    list(FILTER sonavel_windows_dlls EXCLUDE REGEX "/${name}$")
    list(APPEND sonavel_windows_dlls "${dll}")
  endforeach()
endforeach()
add_custom_target(sonavel_dlls ALL
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${sonavel_windows_dlls} ${CMAKE_BINARY_DIR}
  COMMENT "Copying the libraries' DLLs beside the programs")

# Programs built here run under Wine in one prefix of the build's own, with those DLLs on the path.
set(SONAVEL_WINEPREFIX ${CMAKE_BINARY_DIR}/wine)
file(WRITE ${CMAKE_BINARY_DIR}/wine-run.sh
  "#!/bin/sh\n"
  "# Runs a program of this build under Wine (made by cmake/windows.cmake).\n"
  "WINEPREFIX=\${WINEPREFIX:-${SONAVEL_WINEPREFIX}} SONAVEL_WINDOWS_DLLS=${CMAKE_BINARY_DIR} \\\n"
  "  exec ${PROJECT_SOURCE_DIR}/tools/windows/wine-run.sh \"$@\"\n")
file(CHMOD ${CMAKE_BINARY_DIR}/wine-run.sh PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
