#!/usr/bin/env bash
# Runs every libFuzzer target of a KELM_FUZZ build for a few seconds each,
# starting from its kept corpus. A crash fails the run and leaves the input
# in the build folder's fuzz-artifacts/, to be kept as a regression file.
set -euo pipefail
build=${1:?usage: fuzz.sh BUILD_DIR [SECONDS]}
seconds=${2:-20}
list="$build/fuzzers.txt"
[ -f "$list" ] || { echo "no fuzz targets"; exit 0; }
mkdir -p "$build/fuzz-artifacts"
while IFS=$'\t' read -r exe corpus; do
  [ -n "$exe" ] || continue
  work=$(mktemp -d)
  [ -n "$corpus" ] && [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
  echo "fuzz: $(basename "$exe") for ${seconds}s"
  "$exe" -max_total_time="$seconds" -print_final_stats=0 \
    -artifact_prefix="$build/fuzz-artifacts/$(basename "$exe")-" "$work" 2>"$build/fuzz-artifacts/$(basename "$exe").log" \
    || { tail -40 "$build/fuzz-artifacts/$(basename "$exe").log"; rm -rf "$work"; exit 1; }
  rm -rf "$work"
done < "$list"
