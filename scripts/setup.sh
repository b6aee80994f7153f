#!/usr/bin/env bash
# Installs what building and testing need, from Debian's packages only.
# Idempotent and non-interactive; prints nothing when everything is there.
set -euo pipefail

packages=(
  cmake ninja-build g++ make
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-tools
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 libwine:i386
  xvfb xauth x11-utils imagemagick fonts-wine
  googletest libgtest-dev libgmock-dev nlohmann-json3-dev
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

source "$(dirname "$0")/common.sh"
SUDO=()
[ "$(id -u)" -ne 0 ] && SUDO=(sudo)
export DEBIAN_FRONTEND=noninteractive
echo "setup: installing ${missing[*]}" >&2
# wine32 is a package of the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  step "adding the i386 architecture" "${SUDO[@]}" dpkg --add-architecture i386
fi
step "reading Debian's package lists" "${SUDO[@]}" apt-get update -qq
step "installing ${missing[*]}" "${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
