#!/usr/bin/env bash
# Builds everything and runs every test: the normal build with all tests, then
# a clang build with address and undefined-behaviour sanitizers of the
# platform, bus and byte-format code, its tests, and short fuzz runs.
#
#   KELM_BUILD_DIR      normal build folder (default: build)
#   KELM_SKIP_SANITIZE  1 skips the sanitizer build and the fuzz runs
#   KELM_FUZZ_SECONDS   seconds per fuzz target (default: 20)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash tools/install-deps.sh

build=${KELM_BUILD_DIR:-build}
jobs=$(nproc)

# ccache hits across clones in other folders (CI builds a fresh clone each
# time): hash paths relative to the tree, and not the build folder's path.
export CCACHE_BASEDIR="$root"
export CCACHE_NOHASHDIR=true

echo "== normal build ($build)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELM_WERROR=ON >/dev/null
cmake --build "$build" -j "$jobs"

# Tests run with their state in a private folder and on their own session bus
# where they need one; nothing here touches the user's files.
export KELM_TEST_TMP=${KELM_TEST_TMP:-$(mktemp -d)}
trap 'rm -rf "$KELM_TEST_TMP"' EXIT

if [ "${KELM_SKIP_SANITIZE:-0}" != 1 ]; then
  asan=${build}-asan
  echo "== sanitizer build ($asan)"
  CC=clang CXX=clang++ cmake -S . -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DKELM_WERROR=ON -DKELM_SANITIZE=ON -DKELM_FUZZ=ON -DKELM_BENCH=OFF >/dev/null
  cmake --build "$asan" -j "$jobs"
  echo "== sanitizer tests"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$asan" --output-on-failure -j "$jobs" --timeout 600
  echo "== fuzz runs"
  bash tools/fuzz.sh "$asan" "${KELM_FUZZ_SECONDS:-20}"
fi

echo "== tests"
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 600
