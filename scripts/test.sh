#!/usr/bin/env bash
# Sets everything up, then builds and runs all tests twice: a normal build with
# warnings as errors, and a build with AddressSanitizer + UndefinedBehaviorSanitizer.
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
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 600)
}

mkdir -p build
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

run_suite build/release || status=1
run_suite build/sanitize -DVANTREL_SANITIZE=ON -DVANTREL_BUILD_BENCH=OFF || status=1

if [ -x scripts/fuzz.sh ]; then
  bash scripts/fuzz.sh 30 || status=1
fi

if [ "$status" -ne 0 ]; then echo "TESTS FAILED"; else echo "ALL TESTS PASSED"; fi
exit "$status"
