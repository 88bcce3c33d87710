#!/usr/bin/env bash
# Edge coverage a fuzz target's inputs reach in the code under test.
#   [CORPUS="DIR..."] scripts/fuzz-coverage.sh TARGET PATH-PART...
# Runs every input once (default: the target's grown corpus and its seeds
# under build/fuzz) and sums the covered and total edges of the functions
# whose source path contains one of the PATH-PARTs.
set -euo pipefail
cd "$(dirname "$0")/.."
target=$1
shift
corpus=${CORPUS:-"build/fuzz/corpus/$target build/fuzz/seeds/$target"}
pattern=$(IFS='|'; echo "$*")
# shellcheck disable=SC2086
build/fuzz/tests/fuzz/fuzz_"$target" -runs=0 -detect_leaks=0 -print_coverage=1 $corpus 2>&1 |
  grep -E '^(UN)?COVERED_FUNC:' | grep -E "$pattern" |
  sed -E 's/.* edges: ([0-9]+)\/([0-9]+) .*/\1 \2/' |
  awk -v t="$target" -v p="$pattern" '{c += $1; n += $2} END {
    printf "%s: %d of %d edges (%.0f%%) in %s\n", t, c, n, n ? 100 * c / n : 0, p }'
