#!/usr/bin/env bash
# The build's signing step (cmake/SignProgram.cmake) with a throwaway certificate.
#   signing-tests.sh sign CMAKE OSSLSIGNCODE OPENSSL OBJCOPY WORK PROGRAM...
#     signs a copy of each program in WORK/signed and checks that the signature verifies, is SHA-256, and
#     only appends the certificate table: every other byte is the unsigned program's but the checksum and the
#     table's entry in the header, so its resources (version, manifest, icon) are those of the build. Then a
#     failing signing (wrong password, time-stamp server not there) must fail, loudly, and leave no program.
#   signing-tests.sh run WORK [EMULATOR...]
#     runs the signed Tandrel.com with /? (under Wine: through the emulator).
set -euo pipefail

status=0
fail() {
  echo "FAILED: $1" >&2
  status=1
}
# Runs a command with its output in $out; on an unexpected exit status says what ran, the status and the end.
#   expect_status WANT DESCRIPTION COMMAND...   (WANT: 0, or "nonzero")
expect_status() {
  local want=$1 what=$2 got=0
  shift 2
  out=$("$@" 2>&1) || got=$?
  if { [ "$want" = 0 ] && [ "$got" -ne 0 ]; } || { [ "$want" = nonzero ] && [ "$got" -eq 0 ]; }; then
    fail "$what: exit status $got, expected $want
  command: $(printf '%q ' "$@")
  last lines of its output:
$(tail -n 40 <<<"$out" | sed 's/^/    /')"
    return 1
  fi
}

if [ "${1:-}" = run ]; then
  work=$2
  shift 2
  expect_status 0 "the signed Tandrel.com /?" "$@" "$work/signed/Tandrel.com" /? || exit 1
  grep -q '/restore FILE' <<<"$out" || fail "the signed Tandrel.com /? printed no usage:
$(tail -n 20 <<<"$out" | sed 's/^/    /')"
  exit $status
fi

[ "${1:-}" = sign ] || { echo "usage: $0 sign CMAKE OSSLSIGNCODE OPENSSL OBJCOPY WORK PROGRAM... | run WORK [EMULATOR...]" >&2; exit 2; }
cmake=$2 osslsigncode=$3 openssl=$4 objcopy=$5 work=$6
shift 6
for tool in "$osslsigncode" "$openssl"; do
  [ -x "$tool" ] || { echo "FAILED: $tool was not found when CMake configured; scripts/setup.sh installs osslsigncode and openssl" >&2; exit 1; }
done
sign_script="$(cd "$(dirname "$0")/../.." && pwd)/cmake/SignProgram.cmake"

rm -rf "$work"
mkdir -p "$work/signed"
umask 077
expect_status 0 "making the test certificate" "$openssl" req -x509 -newkey rsa:2048 -nodes -days 2 \
  -subj "/CN=Tandrel test signing" -addext "keyUsage=critical,digitalSignature" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" || exit 1
"$openssl" rand -hex 16 >"$work/password"
password=$(cat "$work/password")
expect_status 0 "making the test PFX" "$openssl" pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" \
  -out "$work/test.pfx" -passout "file:$work/password" || exit 1
echo wrong >"$work/wrong-password"

u32() { od -An -tu4 -j"$2" -N4 "$1" | tr -d ' '; }
u16() { od -An -tu2 -j"$2" -N2 "$1" | tr -d ' '; }
sign() {
  "$cmake" -DOSSLSIGNCODE="$osslsigncode" -DPROGRAM="$1" -DPFX="$work/test.pfx" -DPASSWORD_FILE="$2" \
    -DTIMESTAMP_URL="${3:-}" -P "$sign_script"
}

for program in "$@"; do
  name=${program##*/} signed="$work/signed/${program##*/}"
  cp "$program" "$signed"
  started=$(date +%s%N)
  expect_status 0 "signing $name" sign "$signed" "$work/password" || continue
  took=$((($(date +%s%N) - started) / 1000000))
  [ -x "$signed" ] || fail "the signed $name is no longer executable: $(stat -c %A "$signed")"
  expect_status 0 "osslsigncode verify of the signed $name" "$osslsigncode" verify -CAfile "$work/cert.pem" -in "$signed" &&
    { grep -q '^Message digest algorithm  : SHA256' <<<"$out" || fail "$name is not signed with SHA-256: $(grep -m1 'digest algorithm' <<<"$out")"; }

  # Which bytes of the unsigned program changed: only the checksum and the certificate table's directory entry.
  size=$(stat -c %s "$program") signed_size=$(stat -c %s "$signed")
  header=$(u32 "$program" 60)
  optional=$((header + 24))
  case $(u16 "$program" "$optional") in
    267) directories=$((optional + 96)) ;;   # PE32
    523) directories=$((optional + 112)) ;;  # PE32+
    *) fail "$name: not a PE32 or PE32+ program"; continue ;;
  esac
  security=$((directories + 4 * 8))
  while read -r position _; do
    offset=$((position - 1))
    if ! { [ "$offset" -ge $((optional + 64)) ] && [ "$offset" -lt $((optional + 68)) ]; } &&
       ! { [ "$offset" -ge "$security" ] && [ "$offset" -lt $((security + 8)) ]; }; then
      fail "$name: signing changed byte $offset of the program, which is neither its checksum nor its certificate entry"
      break
    fi
  done < <(cmp -l "$program" "$signed" 2>/dev/null || true)
  table=$(u32 "$signed" "$security") table_size=$(u32 "$signed" $((security + 4)))
  [ "$table" -ge "$size" ] && [ $((table + table_size)) -eq "$signed_size" ] ||
    fail "$name: the certificate table ($table_size bytes at $table) is not what was appended to the $size-byte program"
  for file in "$program" "$signed"; do "$objcopy" -O binary --only-section=.rsrc "$file" "$file.rsrc.$$"; done
  cmp -s "$program.rsrc.$$" "$signed.rsrc.$$" || fail "$name: signing changed its resources (.rsrc)"
  rm -f "$program.rsrc.$$" "$signed.rsrc.$$"
  echo "$name: signed in $took ms; the signature adds $((signed_size - size)) bytes ($size -> $signed_size)"
done

# A signing that fails must fail the build and leave no program behind, and never show the password.
first=$1
while IFS='|' read -r what password_file timestamp; do
  broken="$work/broken-${first##*/}"
  cp "$first" "$broken"
  expect_status nonzero "signing with $what" sign "$broken" "$password_file" "$timestamp" || continue
  grep -q 'command: .*osslsigncode' <<<"$out" && grep -q 'exit status: [1-9]' <<<"$out" ||
    fail "signing with $what did not say what it ran and its exit status:
$(sed 's/^/    /' <<<"$out")"
  [ ! -e "$broken" ] && [ ! -e "$broken.signing" ] || fail "signing with $what left $(ls "$broken"* | tr '\n' ' ')"
  [[ $out != *"$password"* ]] || fail "signing with $what showed the password"
done <<ROWS
a wrong password|$work/wrong-password|
a time-stamp server that is not there|$work/password|http://127.0.0.1:9/
ROWS
exit $status
