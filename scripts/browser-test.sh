#!/usr/bin/env bash
# Runs the browser tests of `kelvara --ui` (tests/browser/) against build/app/kelvara, or the
# program named by KELVARA_BIN: Debian's Chromium driven by playwright-core under node --test.
# Installs the pinned node packages with `npm ci` when they are missing. Without chromium or
# node it says "skipped" and succeeds, unless KELVARA_REQUIRE_BROWSER=1 (CI), where that fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
export KELVARA_BIN=${KELVARA_BIN:-$root/build/app/kelvara}
chromium=${KELVARA_CHROMIUM:-/usr/bin/chromium}

missing=""
[ -x "$chromium" ] || missing="chromium ($chromium)"
command -v node >/dev/null 2>&1 || missing="$missing node"
command -v npm >/dev/null 2>&1 || missing="$missing npm"
if [ -n "$missing" ]; then
  if [ "${KELVARA_REQUIRE_BROWSER:-0}" = 1 ]; then
    echo "browser tests: missing $missing (scripts/install-deps.sh installs it)" >&2
    exit 1
  fi
  echo "browser tests skipped: missing $missing (scripts/install-deps.sh installs it)"
  exit 0
fi
if [ ! -x "$KELVARA_BIN" ]; then
  echo "browser tests: no program at $KELVARA_BIN (build first)" >&2
  exit 1
fi

cd tests/browser
version() { node -p "require('./$1').${2:-version}" 2>/dev/null || true; }
if [ "$(version node_modules/playwright-core/package.json)" != \
     "$(version package-lock.json "packages['node_modules/playwright-core'].version")" ]; then
  PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error
fi
exec node --test --test-concurrency=1 --test-timeout=120000 specs/
