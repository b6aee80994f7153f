#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix, creating the prefix on
# first use and keeping one wineserver alive for the run.
#   wine-exec.sh PREFIX LOADER PROGRAM [ARGS...]
set -euo pipefail
prefix=$1 loader=$2
shift 2

export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# Nothing here needs Wine's .NET or HTML engines; without this Wine offers to
# install them when the prefix is created.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINESERVER=/usr/lib/wine/wineserver

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  # The server outlives this script: it must not inherit the lock or the
  # caller's output, or whoever reads that output waits for it forever.
  if [ ! -f "$prefix/system.reg" ]; then
    "$loader" wineboot --init </dev/null >"$prefix.init.log" 2>&1 9>&- || true
    "$WINESERVER" -w 9>&-
    if [ ! -f "$prefix/system.reg" ]; then
      echo "FAILED: creating the Wine prefix $prefix: $loader wineboot --init left no registry" >&2
      tail -n 25 "$prefix.init.log" | sed 's/^/    /' >&2
      exit 1
    fi
  fi
  # This Wine finds no font in its own data folder, only in C:\windows\Fonts:
  # without Tahoma and Marlett (fonts-wine) the caption buttons are letters.
  fonts="$prefix/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  for font in /usr/share/wine/fonts/*.ttf; do
    if [ -f "$font" ] && [ ! -f "$fonts/${font##*/}" ]; then cp "$font" "$fonts/"; fi
  done
  # A fresh server also needs Wine's own services started here, away from the
  # caller's output, which they would otherwise hold open.
  if "$WINESERVER" -p </dev/null >/dev/null 2>&1 9>&-; then
    "$loader" wineboot </dev/null >/dev/null 2>&1 9>&- || true
  fi
) 9>"$prefix.lock"

exec "$loader" "$@"
