#!/usr/bin/env bash
# Builds Tessaly and runs its benchmarks (never part of the tests). Results go to standard output.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$ROOT/scripts/common.sh"

ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" time
build_tree "$ROOT/build"

for bench in "$ROOT"/bench/*.sh; do
    [ -e "$bench" ] || continue
    echo "== $(basename "$bench" .sh)"
    bash "$bench" "$ROOT/build"
done
