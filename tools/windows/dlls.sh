# DLL helpers for the Windows scripts (sourced, not run): what a module imports, and which DLLs
# of a folder a program needs, transitively.
wine_dll_dir=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
dll_objdump=x86_64-w64-mingw32-objdump

dll_imports() { "$dll_objdump" -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'; }

# Windows' own DLLs are the ones Wine provides in their place.
is_system_dll() { [[ -f $wine_dll_dir/${1,,} ]]; }

# Prints, one path a line, the DLLs in folder $1 that the modules $2... import, directly or
# through each other; fails naming each import that is neither there nor one of Windows' own.
needed_dlls() {
  local bin=$1 module name found status=0
  shift
  local queue=("$@")
  local -A seen=()
  [[ -d $wine_dll_dir ]] || { echo "sonavel: $wine_dll_dir is missing: run tools/install-deps.sh windows" >&2; return 1; }
  while ((${#queue[@]})); do
    module=${queue[0]}
    queue=("${queue[@]:1}")
    for name in $(dll_imports "$module"); do
      [[ -z ${seen[${name,,}]:-} ]] || continue
      seen[${name,,}]=1
      found=$(find "$bin" -maxdepth 1 -iname "$name" -print -quit)
      if [[ -n $found ]]; then
        echo "$found"
        queue+=("$found")
      elif ! is_system_dll "$name"; then
        echo "sonavel: ${module##*/} imports $name, which is neither in $bin nor one of Windows' own" >&2
        status=1
      fi
    done
  done
  return $status
}
