#!/usr/bin/env bash
# Builds and runs the whole test suite twice: a normal build (the default
# compiler) and an AddressSanitizer + UndefinedBehaviorSanitizer build, with
# clang where it is installed: its UndefinedBehaviorSanitizer checks more than
# GCC's (calls through mistyped function pointers, local array bounds), and
# the scene fuzz target is built only there.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/format.sh --check
jobs="$(nproc)"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

san=()
if command -v clang++ >/dev/null && command -v clang >/dev/null; then
  san=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
  # A build directory set up with another compiler cannot switch in place.
  if [ -f build-asan/CMakeCache.txt ] &&
     ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang++' build-asan/CMakeCache.txt; then
    rm -rf build-asan/CMakeCache.txt build-asan/CMakeFiles
  fi
fi
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVEMARO_SANITIZE=ON -DVEMARO_BENCH=OFF "${san[@]}" >/dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
   ctest --output-on-failure -j"$jobs")
