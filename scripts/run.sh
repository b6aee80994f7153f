#!/usr/bin/env bash
# Builds Tandrel.exe and starts it under Wine in a prefix of the project's own:
# on your display when there is one, otherwise on Xvfb, leaving a screenshot
# and the log text in run/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

bash scripts/setup.sh
mkdir -p build
preset=$(wine_preset)
configure_and_build windows
[ "$preset" = windows ] || configure_and_build "$preset"

prefix="$PWD/build/$preset/wineprefix"
loader=$(wine_loader "$preset")
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  wine_decorations "$prefix" "$loader" Y
  scripts/wine-exec.sh "$prefix" "$loader" "build/$preset/Tandrel.exe"
else
  trap stop_display EXIT
  ensure_display
  wine_decorations "$prefix" "$loader" N
  mkdir -p run
  # Wine's drive Z: is the Unix root.
  out="Z:$(tr / '\\' <<<"$PWD/run")"
  scripts/wine-exec.sh "$prefix" "$loader" "build/$preset/tandrel_snapshot.exe" "$out" load
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
  echo "No display: Tandrel ran on Xvfb, clicked Load and was closed."
  echo "Its window: run/tandrel.png; its log text: run/log.txt"
  cat run/log.txt
fi
