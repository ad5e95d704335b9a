#!/usr/bin/env bash
# Installs what is needed, builds, and runs Kelvara on a copy of the bundled sample drawing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
dir=$(scripts/build.sh | tail -n 1)
work=out/sample
mkdir -p "$work"
cp examples/sample.dgn "$work/sample.dgn"
"$dir/kelvara" --dump "$work/sample.dgn"
