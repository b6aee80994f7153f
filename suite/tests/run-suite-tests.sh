#!/usr/bin/env bash
# Runs suite_tests.exe in a Wine prefix made for this run alone, so that the
# registry it reads holds nothing but what the suite itself wrote.
#   run-suite-tests.sh LOADER SUITE_DIR SUITE_TESTS_EXE [GTEST_ARGS...]
# KEEP_SUITE_PREFIX=1 leaves the prefix behind for a look with reg query.
set -euo pipefail
loader=$1 suite_dir=$2 tests_exe=$3
shift 3

export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/tandrel-suite-prefix.XXXXXX)
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINESERVER=/usr/lib/wine/wineserver

cleanup() {
  "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
  "$WINESERVER" -w </dev/null >/dev/null 2>&1 || true
  if [ -z "${KEEP_SUITE_PREFIX:-}" ]; then
    rm -rf "$WINEPREFIX"
  else
    echo "prefix kept: $WINEPREFIX"
  fi
}
trap cleanup EXIT

"$loader" wineboot --init </dev/null >/dev/null 2>&1 || true
"$WINESERVER" -w </dev/null >/dev/null 2>&1
# A server started away from our output keeps Wine's services from holding
# the caller's pipe open after the tests end.
"$WINESERVER" -p </dev/null >/dev/null 2>&1
"$loader" wineboot </dev/null >/dev/null 2>&1 || true

export TANDREL_SUITE_DIR="Z:${suite_dir//\//\\}"
"$loader" "$tests_exe" "$@"
