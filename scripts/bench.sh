#!/usr/bin/env bash
# Runs the benchmarks under Wine on Xvfb and prints their tables:
#   scripts/bench.sh [load|delete|backup|check] ...
# Figures vary between runs and machines; compare within one run.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

bash scripts/setup.sh
mkdir -p build
choose_wine_preset
preset=$WINE_PRESET
configure_and_build "$preset"
prefix="$PWD/build/$preset/wineprefix"
loader=$(wine_loader "$preset")
trap 'WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true; stop_display' EXIT
ensure_display

echo "Wine $($loader --version), build $preset, $(nproc) cores"
what=${1:-all}
if [ "$what" = all ] || [ "$what" = load ]; then
  echo
  echo "Load (N extra class keys; one suite class with an empty CLSID lists them all), rounds interleaved:"
  scripts/wine-exec.sh "$prefix" "$loader" "build/$preset/tandrel_bench_load.exe" 9 20000
fi
if [ "$what" = all ] || [ "$what" = delete ]; then
  echo
  echo "Deleting one tree of 10,000 keys, rounds interleaved:"
  scripts/wine-exec.sh "$prefix" "$loader" "build/$preset/tandrel_bench_delete.exe" 9
fi
if [ "$what" = all ] || [ "$what" = backup ]; then
  echo
  echo "Delete's backup of one tree of 20,000 keys, then its deletion, against the deletion alone, rounds interleaved:"
  scripts/wine-exec.sh "$prefix" "$loader" "build/$preset/tandrel_bench_delete.exe" backup 9
fi
if [ "$what" = all ] || [ "$what" = check ]; then
  echo
  echo "/check of the healthy suite against /load, and /verify against /check plus a bare client, whole runs:"
  scripts/wine-exec.sh "$prefix" "$loader" "build/$preset/tandrel_bench_check.exe" 5
fi
