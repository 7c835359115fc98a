# The start the live tests of sonavel.exe under Wine share, sourced with $test_name, $build (the
# Windows build), $needed_tools and $sonavel_env set: a work folder; at the end every process
# started stopped (live_script.sh) and the Wine server of the prefix the test has to itself; the
# tools checked; `wine` to run a program in that prefix; the run folder with the font; and
# $sonavel, sonavel.exe under Wine through SDL's Windows driver and software renderer (SDL would
# pick Direct3D, which Wine runs on OpenGL, which Xvfb has only in llvmpipe, on the CPU).
work=$(mktemp -d "/tmp/sonavel-$test_name.XXXXXX")
started=()
t_start=$(date +%s.%N)
say() { printf '%s: %s\n' "$test_name" "$*"; }
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/live_script.sh"
export WINEPREFIX=$work/wine
stop_wine() { /usr/lib/wine/wineserver -k 2>/dev/null; }
trap 'stop_wine; cleanup' EXIT

command -v Xvfb >/dev/null || skip "Xvfb is not installed"
for tool in $needed_tools; do
  command -v "$tool" >/dev/null || fail "$tool is missing (tools/install-deps.sh test installs it)"
done
[ -x "$build/sonavel.exe" ] || fail "no sonavel.exe in $build"
wine_run=$(realpath "$(dirname "${BASH_SOURCE[0]}")/../../tools/windows/wine-run.sh")
wine() { SONAVEL_WINDOWS_DLLS=$build "$wine_run" "$@"; }
mkdir -p "$work/run"
cp "$build/font.tga" "$work/run/"
sonavel=$work/sonavel-under-wine
cat >"$sonavel" <<END
#!/bin/sh
SDL_VIDEODRIVER=windows SDL_RENDER_DRIVER=software $sonavel_env SONAVEL_WINDOWS_DLLS=$build \
  exec $wine_run $build/sonavel.exe "\$@"
END
chmod +x "$sonavel"
