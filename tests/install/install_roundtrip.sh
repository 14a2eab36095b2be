#!/usr/bin/env bash
# install_roundtrip.sh <build dir> <work dir> <source dir> [host compiler flags]
# Installs the build into <work dir>/prefix, then builds tests/install/host.cpp
# against the installed library with pkg-config and with find_package(Vantrel),
# and runs both: each round-trips built-in table 0 through a language file and
# shows the about dialog offscreen, then once more without any display, where
# the dialog must refuse with an error and leave the host running.
set -euo pipefail
build=$1
work=$2
src=$3
flags=${4:-}

rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log"

pc=$(find "$prefix" -name vantrel.pc -print -quit)
[ -n "$pc" ] || { echo "vantrel.pc was not installed"; exit 1; }
export PKG_CONFIG_PATH=$(dirname "$pc")
export VANTREL_PREFIX=$work/vantrel-prefix

run_host() {
  local program=$1 dir=$2
  mkdir -p "$dir"
  (cd "$dir" && QT_QPA_PLATFORM=offscreen "$program" roundtrip.lang)
  cmp "$dir/roundtrip.lang" "$src/runtime/lang/table0.lang"
  (cd "$dir" && env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$program" roundtrip.lang no-display)
}

echo "--- pkg-config: $(pkg-config --cflags --libs vantrel)"
# The host chooses its language standard (the headers build as C++17 and later).
case " $(pkg-config --cflags vantrel) " in *" -std="*) echo "vantrel.pc imposes a language standard"; exit 1;; esac
# shellcheck disable=SC2046,SC2086
g++ -std=c++17 $flags "$src/tests/install/host.cpp" $(pkg-config --cflags --libs vantrel) -o "$work/host_pc"
run_host "$work/host_pc" "$work/run_pc"

echo "--- find_package(Vantrel)"
project=$work/project
mkdir -p "$project"
cat >"$project/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(VantrelHost CXX)
set(CMAKE_CXX_STANDARD 20)
find_package(Vantrel 1 REQUIRED)
add_executable(host_cmake "$src/tests/install/host.cpp")
target_link_libraries(host_cmake PRIVATE Vantrel::vantrel)
CMAKE
cmake -S "$project" -B "$project/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >"$work/project.log"
cmake --build "$project/build" >>"$work/project.log"
run_host "$project/build/host_cmake" "$work/run_cmake"
echo "install round trip passed"
