#!/usr/bin/env bash
# Fresh machine: install what is missing, build, and render the default scene
# (frame 0, written to build/default.png).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVEMARO_BENCH=ON >/dev/null
cmake --build build -j"$(nproc)"
./build/vemaro-render --frames 0 --out build/default.png
