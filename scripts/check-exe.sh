#!/usr/bin/env bash
# Checks that built programs are the expected PE format, import only Windows
# system DLLs (so each runs from a single copied file), are window programs
# (.exe) or console programs (.com), and carry the administrator manifest, the
# version resource naming the program's own file, and the icon.
#   check-exe.sh OBJDUMP EXPECTED_FORMAT PROGRAM...
set -euo pipefail
objdump=$1 expected=$2
shift 2
objcopy=${objdump%objdump}objcopy
icon="$(dirname "$0")/../resources/Tandrel.ico"
allowed='^(KERNEL32|ADVAPI32|USER32|GDI32|COMCTL32|COMDLG32|SHELL32|SHLWAPI|OLE32|OLEAUT32|UXTHEME|msvcrt)\.dll$'

hex() { od -An -tx1 -v "$@" | tr -d ' \n'; }
# The first image of the icon file, as it is stored in a program's resources.
offset=$(od -An -tu4 -j18 -N4 "$icon" | tr -d ' ')
icon_bytes=$(hex -j"$offset" -N32 "$icon")
utf16() { printf '%s' "$1" | od -An -tx1 -v | tr -d ' \n' | sed 's/\(..\)/\100/g'; }

status=0
fail() {
  echo "$exe: $1" >&2
  status=1
}
for exe in "$@"; do
  info=$("$objdump" -p "$exe")
  format=$(sed -n 's/.*file format \(.*\)$/\1/p' <<<"$info" | head -n1)
  [ "$format" = "$expected" ] || fail "file format $format, expected $expected"
  while read -r dll; do
    grep -qiE "$allowed" <<<"$dll" || fail "imports $dll, which is not a Windows system DLL"
  done < <(sed -n 's/.*DLL Name: //p' <<<"$info")
  subsystem=$(sed -n 's/^Subsystem[[:space:]]*[0-9a-f]*[[:space:]]*(\(.*\))$/\1/p' <<<"$info")
  case $exe in
    *.com) want="Windows CUI" ;;
    *) want="Windows GUI" ;;
  esac
  [ "$subsystem" = "$want" ] || fail "subsystem $subsystem, expected $want"
  resources=$(mktemp "${TMPDIR:-/tmp}/tandrel-rsrc.XXXXXX")
  "$objcopy" -O binary --only-section=.rsrc "$exe" "$resources"
  content=$(hex "$resources")
  rm -f "$resources"
  [[ $content == *"$(printf 'requireAdministrator' | hex)"* ]] || fail "no manifest asking for administrator rights"
  [[ $content == *"$(utf16 VS_VERSION_INFO)"* ]] || fail "no version resource"
  [[ $content == *"$icon_bytes"* ]] || fail "no icon from resources/Tandrel.ico"
  # The value follows its name, after up to one padding character that aligns it to 32 bits.
  original=$(utf16 OriginalFilename)0000 own=$(utf16 "${exe##*/}")0000
  [[ $content == *"$original$own"* || $content == *"${original}0000$own"* ]] ||
    fail "its version resource does not give ${exe##*/} as OriginalFilename"
  echo "$exe: $format, $subsystem, imports: $(sed -n 's/.*DLL Name: //p' <<<"$info" | tr '\n' ' ')"
done
exit $status
