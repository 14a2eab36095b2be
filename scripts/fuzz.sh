#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build/fuzz and runs each of them
# (the language file parser, a window's message frame parser) for at most N
# seconds (default 30). Exits non-zero when the build fails or a fuzzer finds
# a crash.
#   bash scripts/fuzz.sh [N]
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-30}
dir=$root/build/fuzz
targets=(catalog_parse_fuzz window_frame_fuzz)
mkdir -p "$dir"

echo "=== fuzz: configure and build (clang)"
CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVANTREL_BUILD_FUZZ=ON -DVANTREL_SANITIZE=ON -DVANTREL_BUILD_TESTS=OFF -DVANTREL_BUILD_TOOL=OFF \
  -DVANTREL_BUILD_BENCH=OFF -DVANTREL_INSTALL=OFF >"$dir.configure.log" 2>&1 \
  || { cat "$dir.configure.log"; exit 1; }
cmake --build "$dir" --target "${targets[@]}" >"$dir.build.log" 2>&1 \
  || { tail -n 80 "$dir.build.log"; exit 1; }

export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
# run_target <target> <corpus name> [read-only seed folders...]
run_target() {
  local target=$1 corpus=$dir/corpus/$2
  shift 2
  echo "=== fuzz: $target for at most ${seconds}s"
  mkdir -p "$corpus"
  # A target's dictionary (its marks and magic numbers) lies beside it.
  local dict=()
  [ -f "$root/tests/fuzz/$target.dict" ] && dict=(-dict="$root/tests/fuzz/$target.dict")
  # New inputs go to the first folder; the others are read-only seeds.
  "$dir/tests/fuzz/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -max_len=65536 -print_final_stats=1 -artifact_prefix="$dir/$target-" "${dict[@]}" "$corpus" "$@" 2>"$dir.$target.log"
  local rc=$?
  tail -n 15 "$dir.$target.log"
  if [ "$rc" -ne 0 ]; then
    echo "fuzz: $target failed (exit $rc); reproducer in $dir/"
    return 1
  fi
}

status=0
run_target catalog_parse_fuzz catalog_parse "$root/runtime/lang" || status=1
run_target window_frame_fuzz window_frame || status=1
[ "$status" -eq 0 ] && echo "fuzz: no crash"
exit "$status"
