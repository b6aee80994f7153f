# Shared by the run and test scripts.

# The Windows build whose programs this machine's Wine can run. 32-bit Wine
# needs the kernel to run 32-bit processes; where it cannot, the same sources
# built for x86_64 run under 64-bit Wine instead.
wine_preset() {
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo windows
  else
    echo windows-x64
  fi
}

wine_loader() {
  if [ "$1" = windows ]; then echo /usr/lib/wine/wine; else echo /usr/lib/wine/wine64; fi
}

# Starts Xvfb on a free display when there is no display; sets DISPLAY.
ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  local n
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 1 50); do
      xdpyinfo >/dev/null 2>&1 && return 0
      sleep 0.1
    done
  done
  echo "could not start Xvfb" >&2
  return 1
}

stop_display() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
}

configure_and_build() {
  cmake --preset "$1" >"build/$1.configure.log" 2>&1 || { cat "build/$1.configure.log"; return 1; }
  cmake --build --preset "$1" >"build/$1.build.log" 2>&1 || { tail -n 60 "build/$1.build.log"; return 1; }
}

# Under Xvfb there is no window manager to draw frames and captions: Wine then
# draws them itself, so screenshots show the whole window.
wine_decorations() {
  local prefix=$1 loader=$2 decorated=$3
  scripts/wine-exec.sh "$prefix" "$loader" reg add 'HKCU\Software\Wine\X11 Driver' \
    /v Decorated /d "$decorated" /f >/dev/null 2>&1 || true
}
