#!/usr/bin/env bash
# Builds and runs every test, in the normal and in the sanitizer build, then in
# the build variants: ARM (armhf, tests under qemu-arm) and clang with libc++.
# Presets build one after the other with all cores; each step's time is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in default sanitize arm alt; do
  echo "=== $preset build ==="
  start=$SECONDS
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  built=$SECONDS
  ctest --preset "$preset"
  echo "=== $preset: build $((built - start)) s, tests $((SECONDS - built)) s ==="
done
