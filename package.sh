#!/usr/bin/env bash
# Builds the Debian package build/tessaly_<version>_amd64.deb.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$ROOT/scripts/common.sh"

ensure_packages "${BUILD_PACKAGES[@]}" dpkg-dev file
dir="$ROOT/build-package"
build_tree "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DTESSALY_TESTS=OFF
rm -f "$dir"/tessaly_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
mkdir -p "$ROOT/build"
cp "$dir"/tessaly_*_amd64.deb "$ROOT/build/"
ls "$ROOT"/build/tessaly_*_amd64.deb
