#!/usr/bin/env bash
# Builds and runs the whole test suite (set KELVARA_SANITIZE=1 for the sanitizer build).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$(scripts/build.sh | tail -n 1)
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
