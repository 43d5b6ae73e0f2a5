#!/usr/bin/env bash
# Builds toverak as a subdirectory of another CMake project, as a packager or a larger product's
# build would take it in.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/toverak-embedding.XXXXXX)
trap 'rm -rf "$work"' EXIT
cat >"$work/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(embedding LANGUAGES CXX)
set(TOVERAK_TESTS OFF CACHE BOOL "" FORCE)
add_subdirectory("$source_dir" toverak)
CMAKE
cmake -S "$work" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/build" --target toverak toverak-check >/dev/null
test -x "$work/build/toverak/toverak" && test -x "$work/build/toverak/toverak-check"
echo "toverak builds as a subdirectory of another project"
