#!/usr/bin/env bash
# Builds the host and Windows configurations and runs every test: host unit
# tests under the sanitizers, then the Windows tests under Wine. A failed test
# is counted and the run goes on; a failed set-up or build step ends it.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

bash scripts/setup.sh
mkdir -p build

passed=0
failed=0
# Adds up CTest's closing line ("N% tests passed, F tests failed out of T").
count() {
  local line total fails
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n1 || true)
  if [ -z "$line" ]; then
    echo "FAILED: ctest printed no closing line; the end of build/${1##*/}:" >&2
    tail -n 40 "$1" | sed 's/^/    /' >&2
    failed=$((failed + 1))
    return
  fi
  fails=$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((passed + total - fails))
  failed=$((failed + fails))
}

run_ctest() {
  local preset=$1
  shift
  progress "Running the $preset tests..."
  ctest --preset "$preset" "$@" 2>&1 | tee "build/$preset.ctest.log" |
    grep --line-buffered -E '^ *[0-9]+/[0-9]+ Test|tests passed|^The following tests FAILED|^[[:space:]]+[0-9]+ - ' || true
  count "build/$preset.ctest.log"
}

# A bounded libFuzzer run of one file reader, counted as one test: run_fuzz NAME SECONDS WHAT. New units go to
# build/fuzz/corpus/NAME, never into the seeds in tests/fuzz/NAME; an input that breaks a property is saved in
# build/fuzz/findings/ under the fuzzer's name.
run_fuzz() {
  local name=$1 seconds=$2 what=$3 log=build/fuzz-$1.log status=0 found
  local command=(build/fuzz/tandrel_${name}_fuzz -max_total_time="$seconds"
                 -artifact_prefix="build/fuzz/findings/$name-" "build/fuzz/corpus/$name" "tests/fuzz/$name")
  rm -f "build/fuzz/findings/$name-"*
  mkdir -p "build/fuzz/corpus/$name" build/fuzz/findings
  cp "tests/fuzz/$name"/* "build/fuzz/corpus/$name/"
  "${command[@]}" >"$log" 2>&1 || status=$?
  if [ "$status" -eq 0 ]; then
    echo "    passed: $(grep -E '^Done [0-9]+ runs' "$log" || true)"
    passed=$((passed + 1))
    return
  fi
  found=$(find build/fuzz/findings -type f -name "$name-*" | tr '\n' ' ')
  {
    echo "FAILED: the $what fuzzer"
    echo "  command: $(printf '%q ' "${command[@]}")"
    echo "  exit status: $status"
    echo "  saved input: ${found:-(none)}"
    echo "  last lines of its output (all of it: $log):"
    tail -n 40 "$log" | sed 's/^/    /'
  } >&2
  failed=$((failed + 1))
}

progress "== host: logic against in-memory fakes (AddressSanitizer, UBSan)"
configure_and_build host
run_ctest host

progress "== fuzz: the registry-file reader under libFuzzer, ASan and UBSan, for 30 seconds"
configure_and_build fuzz
run_fuzz regfile 30 registry-file
progress "== fuzz: the program-image reader under libFuzzer, ASan and UBSan, for 15 seconds"
run_fuzz peimage 15 program-image

progress "== windows i686: the shipping Tandrel.exe"
configure_and_build windows
run_ctest windows -L package

choose_wine_preset
preset=$WINE_PRESET
[ "$preset" = windows ] || configure_and_build "$preset"

progress "== $preset under Wine ($(pe_bits "build/$preset/Tandrel.exe")-bit Tandrel.exe)"
ensure_display
wine_decorations "$PWD/build/$preset/wineprefix" "$(wine_loader "$preset")" N
run_ctest "$preset" -LE package
WINEPREFIX="$PWD/build/$preset/wineprefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
stop_display
echo "(screenshot of the window: build/$preset/ui-window.png)"

echo
echo "Summary: $passed passed, $failed failed"
exit $((failed == 0 ? 0 : 1))
