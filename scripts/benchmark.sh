#!/usr/bin/env bash
# The restore against its peers: restores one generated backup (100,000 ATR_Log rows and 10,000
# rows in each whole-copy table, then ten times as many) into an empty SQLite database three
# ways and prints their times and peak memory. Other sizes: scripts/benchmark.sh --scale 0.1 ...
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target restore-benchmark >/dev/null
exec build/release/restore-benchmark "$@"
