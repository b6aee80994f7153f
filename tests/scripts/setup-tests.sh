#!/usr/bin/env bash
# Runs scripts/setup.sh against stand-ins for apt-get, dpkg and dpkg-query,
# one row per situation a fresh machine meets, and checks what it ran and said.
set -uo pipefail
cd "$(dirname "$0")/../.."
work=$(mktemp -d "${TMPDIR:-/tmp}/tandrel-setup-tests.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"

# Each stand-in writes a line a call to $FAKE/calls. State: $FAKE/installed (a
# package a line, or "all"), $FAKE/update-failures (how many more updates
# fail), $FAKE/refuse (i386: the 32-bit packages cannot be resolved; all: no
# install works).
cat >"$work/bin/dpkg-query" <<'STAND_IN'
#!/usr/bin/env bash
grep -qx -e all -e "${!#}" "$FAKE/installed" && echo -n "install ok installed"
STAND_IN
cat >"$work/bin/dpkg" <<'STAND_IN'
#!/usr/bin/env bash
echo "dpkg $*" >>"$FAKE/calls"
if [ "$1" = --add-architecture ]; then echo "$2" >>"$FAKE/architectures"; else cat "$FAKE/architectures"; fi
STAND_IN
cat >"$work/bin/apt-get" <<'STAND_IN'
#!/usr/bin/env bash
if [ "$1" = update ]; then
  echo "apt-get update" >>"$FAKE/calls"
  failures=$(cat "$FAKE/update-failures")
  echo $((failures - 1)) >"$FAKE/update-failures"
  [ "$failures" -le 0 ] && exit 0
  echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]"
  echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
  exit 100
fi
shift 4  # install -y -qq --no-install-recommends
if [[ "$*" == *:i386* ]]; then echo "apt-get install $*" >>"$FAKE/calls"; else echo "apt-get install others" >>"$FAKE/calls"; fi
if grep -qx all "$FAKE/refuse" || { grep -qx i386 "$FAKE/refuse" && [[ "$*" == *:i386* ]]; }; then
  echo " libcurl4:i386 : Depends: libssl3:i386 (>= 3.0.0) but it is not going to be installed"
  echo "E: Unable to correct problems, you have held broken packages."
  exit 100
fi
printf '%s\n' "$@" >>"$FAKE/installed"
STAND_IN
printf '#!/usr/bin/env bash\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*

failures=0
# row NAME INSTALLED UPDATE_FAILURES REFUSE EXPECTED_STATUS EXPECTED_CALLS EXPECTED_LINES...
# The calls are joined with " | "; each expected text must start a line of the output, without its [m:ss].
row() {
  local name=$1 expected_status=$5 expected_calls=$6 output status=0 calls line problems=()
  export FAKE="$work/$1"
  mkdir -p "$FAKE"
  : >"$FAKE/calls"
  : >"$FAKE/architectures"
  echo "$2" >"$FAKE/installed"
  echo "$3" >"$FAKE/update-failures"
  echo "$4" >"$FAKE/refuse"
  shift 6
  output=$(PATH="$work/bin:$PATH" TANDREL_APT_RETRY_PAUSE=0 TMPDIR="$FAKE" bash scripts/setup.sh 2>&1) || status=$?
  output=$(sed -E 's/^\[ *[0-9]+:[0-9]{2}\] //' <<<"$output")
  calls=$(paste -sd'|' "$FAKE/calls" | sed 's/|/ | /g')
  [ "$status" = "$expected_status" ] || problems+=("exit status $status, expected $expected_status")
  [ "$calls" = "$expected_calls" ] || problems+=("calls: $calls" "expected: $expected_calls")
  for line in "$@"; do
    [[ $'\n'"$output" == *$'\n'"$line"* ]] || problems+=("no line: $line")
  done
  if [ ${#problems[@]} -eq 0 ]; then echo "ok: $name"; return; fi
  failures=$((failures + 1))
  printf 'FAILED: %s\n' "$name"
  printf '  %s\n' "${problems[@]}" "its output:"
  sed 's/^/    /' <<<"$output"
}

add="dpkg --print-foreign-architectures | dpkg --add-architecture i386"
both="apt-get install others | apt-get install wine32:i386 libwine:i386"
retry="Reading Debian's package lists failed (apt-get update, exit status 100, try 1 of 3); trying again in 0 s"
gone_on="Debian's package lists could not all be read in 3 tries (apt-get update, exit status 100); going on with those that were read. Not read: http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz"
no_wine32="32-bit Wine could not be installed (apt-get install wine32:i386 libwine:i386, exit status 100: libcurl4:i386 : Depends: libssl3:i386 (>= 3.0.0) but it is not going to be installed); the Wine tests will run on the x86_64 build."

row update-fails-once none 1 none 0 "$add | apt-get update | apt-get update | $both" "$retry"
row update-always-fails-i386-installs none 9 none 0 "$add | apt-get update | apt-get update | apt-get update | $both" \
  "$retry" "${retry/try 1/try 2}" "$gone_on"
row update-always-fails-i386-refused none 9 i386 0 "$add | apt-get update | apt-get update | apt-get update | $both" \
  "$gone_on" "$no_wine32"
row everything-installed all 0 all 0 ""
row install-fails none 0 all 100 "$add | apt-get update | apt-get install others" \
  "FAILED: installing cmake ninja-build g++ make " "  command: apt-get install -y -qq --no-install-recommends cmake " \
  "  exit status: 100" "    E: Unable to correct problems, you have held broken packages."

# Without 32-bit Wine the scripts take the x86_64 path, and say why.
chosen=$(source scripts/common.sh && WINE32_LOADER="$work/no-such-loader" && choose_wine_preset && echo "$WINE_PRESET")
if [[ "$chosen" == *"32-bit Wine is not installed (no $work/no-such-loader; set-up said why when it ran), so the 64-bit build runs under Wine; the shipped program is the 32-bit one."*windows-x64 ]]; then
  echo "ok: no-32-bit-wine-chooses-x86_64"
else
  failures=$((failures + 1))
  echo "FAILED: no-32-bit-wine-chooses-x86_64: $chosen"
fi
exit $((failures > 0))
