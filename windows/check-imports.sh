#!/usr/bin/env bash
# Fails when a Windows program imports a DLL that windows/system-dlls.txt does not list, naming it.
#
# Usage: windows/check-imports.sh PROGRAM.exe...
set -euo pipefail
list=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/system-dlls.txt
allowed=$(sed -e 's/#.*//' -e 's/[[:space:]]//g' -e '/^$/d' "$list" | tr 'A-Z' 'a-z')
status=0
for program in "$@"; do
  imports=$(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  [ -n "$imports" ] || { echo "check-imports: no imports read from $program" >&2; status=1; continue; }
  others=$(grep -vxF "$allowed" <<<"$imports" || true)
  if [ -n "$others" ]; then
    echo "check-imports: $(basename "$program") imports DLLs that are not part of Windows: $(echo $others)" >&2
    status=1
  else
    echo "check-imports: $(basename "$program") imports only system DLLs: $(echo $imports)"
  fi
done
exit "$status"
