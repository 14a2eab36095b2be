#!/usr/bin/env bash
# Sets everything up, then builds and runs all tests twice: a normal build with
# warnings as errors, and a build with AddressSanitizer + UndefinedBehaviorSanitizer.
# Run by the superuser, it also runs the file and registry tests of the first build as an
# ordinary user (scripts/unprivileged-tests.sh).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh || { echo "setup failed"; exit 1; }

jobs=$(nproc)
status=0

run_suite() {
  local dir=$1; shift
  echo "=== $dir: configure and build"
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_WERROR=ON "$@" >"$dir.configure.log" 2>&1 \
    || { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j "$jobs" >"$dir.build.log" 2>&1 || { tail -n 80 "$dir.build.log"; return 1; }
  echo "=== $dir: tests"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 600) 2>&1 | tee "$dir.ctest.log"
  local rc=${PIPESTATUS[0]}
  # Tally for the closing line: "N% tests passed, F tests failed out of T".
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$dir.ctest.log" | tail -n 1)
  if [ -n "$line" ]; then
    local failed total
    failed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
    passed_total=$((passed_total + total - failed))
    failed_total=$((failed_total + failed))
  else
    failed_total=$((failed_total + 1))
  fi
  return "$rc"
}
passed_total=0
failed_total=0

mkdir -p build
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

run_suite build/release || status=1

# As the superuser, the file and registry tests once more as an ordinary user.
if [ "$(id -u)" -eq 0 ]; then
  if bash scripts/unprivileged-tests.sh build/release; then
    passed_total=$((passed_total + 1))
  else
    failed_total=$((failed_total + 1))
    status=1
  fi
fi

# A bounded run of the language-file parser's fuzz target (clang, libFuzzer).
if [ -x scripts/fuzz.sh ]; then
  if bash scripts/fuzz.sh 30; then passed_total=$((passed_total + 1)); else failed_total=$((failed_total + 1)); status=1; fi
fi

run_suite build/sanitize -DVANTREL_SANITIZE=ON -DVANTREL_BUILD_BENCH=OFF || status=1

[ "$failed_total" -gt 0 ] && status=1
# A build that broke counts as a failure even though no test ran.
[ "$status" -ne 0 ] && [ "$failed_total" -eq 0 ] && failed_total=1
echo "Both builds and the fuzz run:"
echo "$passed_total passed, $failed_total failed"
exit "$status"
