# Shared by the run and test scripts.

# Any command that fails outside a step still says where and how.
set -E
# Inside $(...) only the outermost command reports, once.
trap 'status=$?; [ "$BASH_SUBSHELL" -gt 0 ] ||
  echo "FAILED: ${BASH_SOURCE[0]}:$LINENO: $BASH_COMMAND (exit status $status)" >&2; exit $status' ERR

# Scripts started by a script count from when the first one began, so every
# line of one run tells the same clock.
export TANDREL_STARTED=${TANDREL_STARTED:-$(date +%s)}

# A fresh machine spends many minutes in steps that print nothing of their own:
# each line says how long the run has taken so far, as [m:ss] TEXT.
progress() {
  local elapsed=$(($(date +%s) - TANDREL_STARTED))
  printf '[%2d:%02d] %s\n' $((elapsed / 60)) $((elapsed % 60)) "$*"
}

# Runs a command with its output kept aside in the file $STEP_LOG, and gives
# back its exit status; the caller removes the file or reports from it.
#   attempt COMMAND [ARGS...]
attempt() {
  STEP_LOG=$(mktemp "${TMPDIR:-/tmp}/tandrel-step.XXXXXX")
  "$@" >"$STEP_LOG" 2>&1 </dev/null
}

# Says which step failed, what it ran, its exit status and the end of its output.
#   report_failure DESCRIPTION STATUS COMMAND [ARGS...]
report_failure() {
  local what=$1 status=$2
  shift 2
  {
    echo "FAILED: $what"
    echo "  command: $(printf '%q ' "$@")"
    echo "  exit status: $status"
    echo "  last lines of its output (all of it: $STEP_LOG):"
    if [ -s "$STEP_LOG" ]; then tail -n 40 "$STEP_LOG" | sed 's/^/    /'; else echo "    (it printed nothing)"; fi
  } >&2
}

# Runs one step with its output kept aside. When it fails, reports it and
# ends the script.
#   step DESCRIPTION COMMAND [ARGS...]
step() {
  local what=$1 status=0
  shift
  progress "${what^}..."
  attempt "$@" || status=$?
  if [ "$status" -ne 0 ]; then
    report_failure "$what" "$status" "$@"
    exit "$status"
  fi
  rm -f "$STEP_LOG"
}

# 32 or 64: the bitness of a PE program, from the machine field of its header.
pe_bits() {
  local offset=0 machine=
  if [ "$(stat -c %s "$1" 2>/dev/null || echo 0)" -ge 64 ]; then
    offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$1" 2>/dev/null | tr -d ' ' || true)
  fi
  case $machine in
    014c) echo 32 ;;
    8664) echo 64 ;;
    *) echo "FAILED: $1 is not a 32-bit or 64-bit x86 Windows program" >&2; return 1 ;;
  esac
}

# The folder of a prefix that a program of this bitness calls C:\windows\system32:
# a 32-bit program in a 64-bit prefix is redirected to syswow64.
system_folder() {
  local prefix=$1 program=$2 bits
  bits=$(pe_bits "$program")
  if [ "$bits" = 32 ] && [ -d "$prefix/drive_c/windows/syswow64" ]; then
    echo "$prefix/drive_c/windows/syswow64"
  else
    echo "$prefix/drive_c/windows/system32"
  fi
}

# Sets WINE_PRESET to the Windows build whose programs this machine's Wine can
# run. 32-bit Wine needs the kernel to run 32-bit processes; where it cannot,
# the same sources built for x86_64 run under 64-bit Wine instead.
# TANDREL_WINE_PRESET=windows-x64 takes that path on a machine that could run
# either. Whoever sees the 64-bit build run is told why, once a run.
# Each script chooses afresh, whatever its environment holds.
WINE_PRESET=
WINE32_LOADER=/usr/lib/wine/wine
choose_wine_preset() {
  [ -z "${WINE_PRESET:-}" ] || return 0
  local out
  if [ -n "${TANDREL_WINE_PRESET:-}" ]; then
    WINE_PRESET=$TANDREL_WINE_PRESET
    [ "$WINE_PRESET" = windows ] ||
      progress "TANDREL_WINE_PRESET=$WINE_PRESET chose the $WINE_PRESET build; the shipped program is the 32-bit one (windows)."
  elif [ ! -e "$WINE32_LOADER" ]; then
    WINE_PRESET=windows-x64
    progress "32-bit Wine is not installed (no $WINE32_LOADER; set-up said why when it ran), so the 64-bit build runs under Wine; the shipped program is the 32-bit one."
  elif out=$("$WINE32_LOADER" --version 2>&1); then
    WINE_PRESET=windows
  else
    WINE_PRESET=windows-x64
    out=$(tail -n1 <<<"$out")
    progress "This machine's kernel runs no 32-bit programs ($WINE32_LOADER --version: ${out##*: }), so the 64-bit build runs under Wine; the shipped program is the 32-bit one."
  fi
}

wine_loader() {
  if [ "$1" = windows ]; then echo "$WINE32_LOADER"; else echo /usr/lib/wine/wine64; fi
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
  echo "FAILED: could not start Xvfb on any display from :90 to :120" >&2
  return 1
}

stop_display() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
}

configure_and_build() {
  local name
  case $1 in
    host) name="the host tests (host)" ;;
    fuzz) name="the fuzzers (fuzz)" ;;
    windows) name="the i686 Windows programs (windows)" ;;
    windows-x64) name="the x86_64 Windows programs (windows-x64)" ;;
    *) name="the $1 build" ;;
  esac
  step "configuring $name" cmake --preset "$1"
  step "building $name" cmake --build --preset "$1"
}

# Under Xvfb there is no window manager to draw frames and captions: Wine then
# draws them itself, so screenshots show the whole window.
wine_decorations() {
  local prefix=$1 loader=$2 decorated=$3 what="setting Wine's window decorations"
  # A first run makes the prefix here, which takes minutes.
  [ -f "$prefix/system.reg" ] || what="creating the Wine prefix $prefix and $what"
  step "$what" scripts/wine-exec.sh "$prefix" "$loader" \
    reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d "$decorated" /f
}
