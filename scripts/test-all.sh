#!/usr/bin/env bash
# Builds and runs every test, in the normal and in the sanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in default sanitize; do
  echo "=== $preset build ==="
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
