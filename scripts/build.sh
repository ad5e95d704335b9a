#!/usr/bin/env bash
# Configures and builds into build/ (or build-asan/ with KELVARA_SANITIZE=1).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
flags=()
if [ "${KELVARA_SANITIZE:-0}" = 1 ]; then
  dir=build-asan
  flags+=(-DKELVARA_SANITIZE=ON -DKELVARA_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
fi
cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
echo "$dir"
