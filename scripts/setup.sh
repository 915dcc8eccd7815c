#!/usr/bin/env bash
# Installs whatever the build and the tests need and is missing. Idempotent:
# on a machine that already has everything it only checks and returns.
set -euo pipefail
cd "$(dirname "$0")/.."

debian_packages=(
  g++ cmake ninja-build pkg-config
  libboost-dev libgtest-dev libgmock-dev libbenchmark-dev
  libcbor-dev libssl-dev libcli11-dev nlohmann-json3-dev clang-format
  chromium
  python3-dev pybind11-dev python3-pytest
)
# Node.js may come from elsewhere than Debian (with npm bundled): only the
# commands matter.
command -v node >/dev/null 2>&1 || debian_packages+=(nodejs)
command -v npm >/dev/null 2>&1 || debian_packages+=(npm)

missing=()
for p in "${debian_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Browser tests: playwright-core pinned by the lock file, driving Debian's chromium.
if [ -f tests/browser/package.json ]; then
  if [ ! -d tests/browser/node_modules/playwright-core ] ||
     [ tests/browser/package-lock.json -nt tests/browser/node_modules/.package-lock.json ]; then
    (cd tests/browser && npm ci --no-audit --no-fund --silent)
  fi
fi
