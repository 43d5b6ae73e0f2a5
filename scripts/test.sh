#!/usr/bin/env bash
# The whole test suite on a fresh machine: installs what it needs, builds the debug and the
# sanitizer builds and runs every test in both, builds the release build whole with warnings as
# errors and toverak as another project's subdirectory, then the Windows tests, the fuzzing and
# the packages.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
for preset in debug sanitize; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
cmake --preset release-werror
cmake --build --preset release-werror
scripts/check-embedding.sh
scripts/windows-tests.sh
scripts/fuzz.sh --ci
scripts/package-tests.sh release-werror
