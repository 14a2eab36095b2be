#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build/fuzz and runs the language
# file parser target for at most N seconds (default 30). Exits non-zero when
# the build fails or the fuzzer finds a crash.
#   bash scripts/fuzz.sh [N]
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-30}
dir=$root/build/fuzz
mkdir -p "$dir"

echo "=== fuzz: configure and build (clang)"
CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVANTREL_BUILD_FUZZ=ON -DVANTREL_SANITIZE=ON -DVANTREL_BUILD_TESTS=OFF -DVANTREL_BUILD_TOOL=OFF \
  -DVANTREL_BUILD_BENCH=OFF -DVANTREL_INSTALL=OFF >"$dir.configure.log" 2>&1 \
  || { cat "$dir.configure.log"; exit 1; }
cmake --build "$dir" --target catalog_parse_fuzz >"$dir.build.log" 2>&1 \
  || { tail -n 80 "$dir.build.log"; exit 1; }

echo "=== fuzz: catalog_parse_fuzz for at most ${seconds}s"
corpus=$dir/corpus/catalog_parse
mkdir -p "$corpus"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
# New inputs go to the first folder; the built-in tables are read-only seeds.
"$dir/tests/fuzz/catalog_parse_fuzz" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
  -max_len=65536 -print_final_stats=1 -artifact_prefix="$dir/" "$corpus" "$root/runtime/lang" 2>"$dir.run.log"
rc=$?
tail -n 15 "$dir.run.log"
if [ "$rc" -ne 0 ]; then
  echo "fuzz: catalog_parse_fuzz failed (exit $rc); reproducer in $dir/"
  exit 1
fi
echo "fuzz: no crash"
