#!/usr/bin/env bash
# Installs the Debian 12 packages Kelvara needs to build, test (browser tests included), fuzz
# and benchmark. python3-ezdxf writes the DXF drawings the DXF reader's tests read; ezdxf, GDAL
# and LibreCAD (its dxf2pdf, without its recommends) judge the drawings the DXF writer writes.
set -euo pipefail
pkgs=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
      clang-format gdal-bin python3-gdal pkg-config libcpp-httplib-dev
      nlohmann-json3-dev python3-ezdxf parallel)
missing=()
for p in "${pkgs[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
# The browser tests: Debian's Chromium (without its recommends) and node with npm when the
# machine has none of its own; LibreCAD, also without its recommends.
browser=()
dpkg -s chromium >/dev/null 2>&1 || browser+=(chromium)
dpkg -s librecad >/dev/null 2>&1 || browser+=(librecad)
command -v node >/dev/null 2>&1 || browser+=(nodejs)
command -v npm >/dev/null 2>&1 || browser+=(npm)
if ((${#missing[@]} + ${#browser[@]})); then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  if ((${#missing[@]})); then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
  fi
  if ((${#browser[@]})); then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${browser[@]}"
  fi
fi
