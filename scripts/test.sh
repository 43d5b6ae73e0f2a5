#!/usr/bin/env bash
# The whole test suite on a fresh machine: installs what it needs, builds the debug and the
# sanitizer builds, and runs every test in both.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
for preset in debug sanitize; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
scripts/windows-tests.sh
scripts/fuzz.sh --ci
