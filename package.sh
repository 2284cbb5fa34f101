#!/usr/bin/env bash
# Builds the Debian package build/tessaly_<version>_amd64.deb.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$ROOT/scripts/common.sh"

ensure_packages "${BUILD_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
dir="$ROOT/build-package"
# Debian's hardening: fortified functions, stack protector, relocations made read-only at start.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { (cd "$ROOT" && dpkg-buildflags --get "$1"); }
build_tree "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DTESSALY_TESTS=OFF \
    "-DCMAKE_CXX_FLAGS=$(flags CPPFLAGS) $(flags CXXFLAGS)" "-DCMAKE_EXE_LINKER_FLAGS=$(flags LDFLAGS)"
rm -f "$dir"/tessaly_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
mkdir -p "$ROOT/build"
cp "$dir"/tessaly_*_amd64.deb "$ROOT/build/"
ls "$ROOT"/build/tessaly_*_amd64.deb
