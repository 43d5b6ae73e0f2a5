#!/usr/bin/env bash
# Installs what the build and the tests need: Debian's packages, then the npm packages of the
# test support. Does nothing that is already done.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t wanted < <(grep -v '^#' scripts/packages.txt | grep -v '^$')
missing=()
for package in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
# Node.js may come with the machine rather than from Debian: take Debian's only when it lacks one.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  missing+=(nodejs npm)
fi
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [[ -f testing/js/package.json && ! -d testing/js/node_modules ]]; then
  (cd testing/js && npm ci --no-audit --no-fund --silent)
fi
