#!/usr/bin/env bash
# Builds Tandrel.exe and starts it under Wine in a prefix of the project's own,
# with the stand-in suite installed and registered: on your display when there
# is one, otherwise on Xvfb, leaving a screenshot and the log text in run/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

bash scripts/setup.sh
mkdir -p build
configure_and_build windows
choose_wine_preset
preset=$WINE_PRESET
[ "$preset" = windows ] || configure_and_build "$preset"

prefix="$PWD/build/$preset/wineprefix"
loader=$(wine_loader "$preset")
progress "Running the $(pe_bits "build/$preset/Tandrel.exe")-bit build/$preset/Tandrel.exe under $loader"
# Wine keeps the display it started with: start afresh on the one used now.
WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  headless=no
  wine_decorations "$prefix" "$loader" Y
else
  headless=yes
  trap 'WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true; stop_display' EXIT
  ensure_display
  wine_decorations "$prefix" "$loader" N
fi

# A new user sees Load, Delete and Create work on real entries at once; each
# run starts from a registered suite again, whatever the last one deleted.
scripts/install-suite.sh "$prefix" "$loader" "$PWD/build/$preset/suite"

if [ "$headless" = no ]; then
  progress "Starting Tandrel on display $DISPLAY; this script ends when its window is closed."
  scripts/wine-exec.sh "$prefix" "$loader" "build/$preset/Tandrel.exe"
else
  mkdir -p run
  rm -f run/tandrel.png run/log.txt
  # Wine's drive Z: is the Unix root.
  out="Z:$(tr / '\\' <<<"$PWD/run")"
  step "running Tandrel on Xvfb and clicking Load" \
    scripts/wine-exec.sh "$prefix" "$loader" "build/$preset/tandrel_snapshot.exe" "$out" load
  for file in run/tandrel.png run/log.txt; do
    [ -s "$file" ] || { echo "FAILED: Tandrel ran but left no $file" >&2; exit 1; }
  done
  echo "No display: Tandrel ran on Xvfb, Load was clicked, and the window was closed."
  echo "Its window: run/tandrel.png; its log text: run/log.txt"
  cat run/log.txt
fi
