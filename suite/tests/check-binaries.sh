#!/usr/bin/env bash
# What regsvr32 and an installer need from the suite's files, read without
# running them: the libraries export exactly the registration and creation
# entry points under their plain names (i686 __stdcall would decorate them as
# DllRegisterServer@0), and the executables are GUI programs, so starting one
# never opens a console.
#   check-binaries.sh OBJDUMP SUITE_DIR
set -uo pipefail
objdump=$1 dir=$2
failures=0 passes=0

check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then
    passes=$((passes + 1))
  else
    failures=$((failures + 1))
    printf 'FAIL %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
  fi
}

for file in Glimmet.ocx Daskel.dll Wrenna.dll; do
  exports=$("$objdump" -p "$dir/$file" 2>/dev/null |
            sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
  check "$file exports" "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer " "$exports"
done
for file in Corvane.exe Sulvary.exe Brenlow.exe Ladrisk.exe Omberly.exe Vestrel.exe; do
  subsystem=$("$objdump" -p "$dir/$file" 2>/dev/null | awk '$1 == "Subsystem" {print $2}')
  check "$file subsystem" "00000002" "$subsystem"
done
# Every file carries its type library as resource TYPELIB 1, where
# LoadTypeLib looks by default, and imports only what Windows ships.
for file in Glimmet.ocx Daskel.dll Wrenna.dll Corvane.exe Sulvary.exe Brenlow.exe Ladrisk.exe Omberly.exe \
            Vestrel.exe; do
  typelib=$("$objdump" -p "$dir/$file" 2>/dev/null |
            awk '/Entry: name: .*: TYPELIB,/ {found = 1; next} found && /Entry: ID:/ {sub(/.*Entry: ID: /, ""); sub(/,.*/, ""); print; exit}')
  check "$file type library resource" "0x000001" "$typelib"
  foreign=$("$objdump" -p "$dir/$file" 2>/dev/null | awk '/DLL Name:/ {print tolower($3)}' |
            grep -v -x -E 'kernel32.dll|advapi32.dll|ole32.dll|oleaut32.dll|msvcrt.dll|user32.dll' | tr '\n' ' ')
  check "$file imports only system libraries" "" "$foreign"
done

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
