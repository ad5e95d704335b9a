#!/usr/bin/env bash
# Installs what is needed, builds, and runs Kelvara on a copy of the bundled sample drawing:
# a real delete run with text report, design report and backup, in out/sample/. The checked-in
# sample never changes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
dir=$(scripts/build.sh | tail -n 1)
bin="$PWD/$dir/app/kelvara"
work=out/sample
rm -rf "$work"
mkdir -p "$work"
cp examples/sample.dgn "$work/sample.dgn"

echo "== Elements of the sample before the run (kelvara --dump)"
"$bin" --dump "$work/sample.dgn"

echo
echo "== Run: kelvara sample.dgn (reports beside the drawing; reversed, overlapping and"
echo "   near copies within 0.5 master units count as duplicates too)"
status=0
(cd "$work" && "$bin" --set ONE_TEXT_REPORT=0 --set ONE_TEXT_EACH_REPORT=1 \
   --set SAME_DIR_TEXT_REPORT=1 --set TEXT_EXTENSION=trf \
   --set ALLOW_REVERSED=1 --set ALLOW_UNDERLAP=1 --set OVERLAP=1 --set TOLERANCE=0.5 \
   sample.dgn) || status=$?

echo
echo "== Where everything went"
echo "cleaned drawing: $work/sample.dgn ($(
  "$bin" --dump "$work/sample.dgn" | awk -F'\t' '$8 == 1' | wc -l) elements removed)"
echo "backup:          $work/sample.bak (the drawing as it was)"
echo "text report:     $work/sample.trf"
echo "design report:   $work/sample.drf (open it in a DGN viewer)"
echo
echo "== Text report"
cat "$work/sample.trf"
exit "$status"
