#!/usr/bin/env bash
# The restore against its peers: builds the release preset, then restores one generated backup
# (100,000 ATR_Log rows and 10,000 rows in each whole-copy table, then ten times as many) into
# the same empty SQLite database four ways (toverak's restore; the same with its pauses counted
# but not slept; mdbtools' pipeline; a bare ODBC loop of the identical statements) and prints
# their times, ratios and peak memory.
# Options go to the benchmark: --scales 1,10  --rows-scale 0.1  --ways toverak,unpaced,bare
# --dir PATH
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target toverak-benchmark >/dev/null
exec build/release/toverak-benchmark "$@"
