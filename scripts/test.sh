#!/usr/bin/env bash
# Builds and runs the whole test suite (set KELVARA_SANITIZE=1 for the sanitizer build), then,
# with the normal build, the browser tests of `kelvara --ui` (skipped, and said so, when
# chromium or node is missing; KELVARA_REQUIRE_BROWSER=1 makes that a failure).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$(scripts/build.sh | tail -n 1)
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
if [ "$dir" = build ]; then
  KELVARA_BIN="$PWD/build/app/kelvara" scripts/browser-test.sh
fi
