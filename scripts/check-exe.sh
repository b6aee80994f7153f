#!/usr/bin/env bash
# Checks that a built executable is the expected PE format and imports only
# Windows system DLLs, so that it runs from a single copied file.
#   check-exe.sh OBJDUMP EXE EXPECTED_FORMAT
set -euo pipefail
objdump=$1 exe=$2 expected=$3
info=$("$objdump" -p "$exe")
format=$(sed -n 's/.*file format \(.*\)$/\1/p' <<<"$info" | head -n1)
if [ "$format" != "$expected" ]; then
  echo "$exe: file format $format, expected $expected" >&2
  exit 1
fi
allowed='^(KERNEL32|ADVAPI32|USER32|GDI32|COMCTL32|COMDLG32|SHELL32|SHLWAPI|OLE32|OLEAUT32|UXTHEME|msvcrt)\.dll$'
status=0
while read -r dll; do
  if ! grep -qiE "$allowed" <<<"$dll"; then
    echo "$exe imports $dll, which is not a Windows system DLL" >&2
    status=1
  fi
done < <(sed -n 's/.*DLL Name: //p' <<<"$info")
echo "$exe: $format, imports: $(sed -n 's/.*DLL Name: //p' <<<"$info" | tr '\n' ' ')"
exit $status
