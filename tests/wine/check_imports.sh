#!/usr/bin/env bash
# Fails when a Windows executable imports a DLL that Windows itself does not
# ship (a compiler runtime left dynamic, for instance):
#   check_imports.sh OBJDUMP PROGRAM.exe
set -euo pipefail
objdump=$1 exe=$2
system_dlls=" advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll user32.dll winmm.dll "

imports=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$imports" ] || { echo "no imports found in $exe"; exit 1; }
status=0
for dll in $imports; do
  if [[ $system_dlls == *" $dll "* ]]; then
    echo "system: $dll"
  else
    echo "NOT A SYSTEM DLL: $dll"
    status=1
  fi
done
exit $status
