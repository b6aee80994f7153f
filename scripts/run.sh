#!/usr/bin/env bash
# Builds Tandrel.exe and starts it under Wine in a prefix of the project's own.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

bash scripts/setup.sh
mkdir -p build
preset=$(wine_preset)
configure_and_build windows
[ "$preset" = windows ] || configure_and_build "$preset"

prefix="$PWD/build/$preset/wineprefix"
scripts/wine-exec.sh "$prefix" "$(wine_loader "$preset")" "build/$preset/Tandrel.exe"
