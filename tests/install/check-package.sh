#!/usr/bin/env bash
# Checks a built Debian package's metadata and contents.
# usage: check-package.sh <package.deb>
set -euo pipefail
deb=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
info=$(dpkg-deb -I "$deb")
contents=$(dpkg-deb -c "$deb")
for field in 'Package: tessaly' 'Architecture: amd64' 'Section: utils' 'Maintainer: ' 'Description: '; do
    grep -q "^ $field" <<<"$info" || fail "control has no '$field'"
done
for dep in libqt6widgets6 libqt6core6 qt6-qpa-plugins libc6; do
    grep -q "^ Depends:.*$dep" <<<"$info" || fail "Depends lacks $dep"
done
grep -q '^ Version: [0-9]' <<<"$info" || fail "no version"
for path in ./usr/bin/tessaly ./usr/lib/tessaly/tessaly ./usr/lib/tessaly/HAND-M.CUR ./usr/lib/tessaly/drag.ico \
    ./usr/lib/tessaly/Samples/ ./usr/share/applications/tessaly.desktop ./usr/share/doc/tessaly/copyright \
    ./usr/share/icons/hicolor/48x48/apps/tessaly.png ./usr/share/icons/hicolor/scalable/apps/tessaly.svg; do
    grep -q " $path\( \|$\)" <<<"$contents" || fail "the package lacks $path"
done
echo "package $(basename "$deb"): metadata and contents fine"
