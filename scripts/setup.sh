#!/usr/bin/env bash
# Installs what building and testing need, from Debian's packages only.
# Idempotent and non-interactive; prints nothing when everything is there.
#   TANDREL_APT_RETRY_PAUSE: seconds between tries of reading the package lists (20)
set -euo pipefail

packages=(
  cmake ninja-build g++ make
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-tools
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64
  xvfb xauth x11-utils imagemagick fonts-wine
  googletest libgtest-dev libgmock-dev nlohmann-json3-dev
  clang libclang-rt-14-dev python3-yaml
  osslsigncode openssl
)
# 32-bit Wine, installed on its own: without it the Wine tests run on the
# x86_64 build, so a machine that cannot have it loses the Wine run of the
# shipped build, not the whole run.
packages32=(wine32:i386 libwine:i386)

missing_of() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || echo "$p"
  done
}
mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t missing32 < <(missing_of "${packages32[@]}")
[ ${#missing[@]} -eq 0 ] && [ ${#missing32[@]} -eq 0 ] && exit 0

source "$(dirname "$0")/common.sh"
SUDO=()
[ "$(id -u)" -ne 0 ] && SUDO=(sudo)
export DEBIAN_FRONTEND=noninteractive
all=("${missing[@]}" "${missing32[@]}")
progress "Set-up: installing ${all[*]}"
if [ ${#missing32[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  step "adding the i386 architecture" "${SUDO[@]}" dpkg --add-architecture i386
fi

# A mirror in the middle of a sync serves a list of the wrong size, sometimes
# for many minutes, and apt-get then fails though it read every other list.
# What was read is enough for everything but, at worst, 32-bit Wine.
pause=${TANDREL_APT_RETRY_PAUSE:-20}
progress "Reading Debian's package lists..."
for try in 1 2 3; do
  status=0
  attempt "${SUDO[@]}" apt-get update -qq || status=$?
  [ "$status" -eq 0 ] && break
  if [ "$try" -lt 3 ]; then
    progress "Reading Debian's package lists failed (apt-get update, exit status $status, try $try of 3); trying again in $pause s"
    rm -f "$STEP_LOG"
    sleep "$pause"
  fi
done
if [ "$status" -eq 0 ]; then
  rm -f "$STEP_LOG"
else
  unread=$(sed -nE 's/^E: Failed to fetch ([^ ]+).*/\1/p' "$STEP_LOG" | paste -sd' ')
  progress "Debian's package lists could not all be read in 3 tries (apt-get update, exit status $status); going on with those that were read. Not read: ${unread:-none named (all of it: $STEP_LOG)}"
fi

if [ ${#missing[@]} -gt 0 ]; then
  step "installing ${missing[*]}" "${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ ${#missing32[@]} -gt 0 ]; then
  progress "Installing ${missing32[*]}..."
  status=0
  attempt "${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing32[@]}" || status=$?
  if [ "$status" -eq 0 ]; then
    rm -f "$STEP_LOG"
  else
    reason=$(grep -m1 -E 'is not going to be installed|^E: ' "$STEP_LOG" | sed -E 's/^ +//' || true)
    progress "32-bit Wine could not be installed (apt-get install ${missing32[*]}, exit status $status: ${reason:-see $STEP_LOG}); the Wine tests will run on the x86_64 build."
  fi
fi
