#!/usr/bin/env bash
# Checks WizardSetup.exe as a user receives it: a 32-bit Windows program
# that needs no DLL beyond the system's own, within its size budget.
set -u
exe=${1:?usage: check_executable.sh WizardSetup.exe}
budget=32768
status=0

format=$(i686-w64-mingw32-objdump -f "$exe" | sed -n 's/.*file format //p')
[ "$format" = pei-i386 ] || { echo "not a 32-bit PE file: $format"; status=1; }

imports=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: //p' |
  tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
[ "$imports" = "ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL " ] ||
  { echo "imports beyond the system DLLs: $imports"; status=1; }

size=$(stat -c %s "$exe")
[ "$size" -le "$budget" ] || { echo "$size bytes, over $budget"; status=1; }

echo "WizardSetup.exe: $format, imports $imports$size bytes"
exit "$status"
