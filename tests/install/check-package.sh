#!/usr/bin/env bash
# Checks a built Debian package's metadata and contents, and that Debian's package checker (lintian),
# the AppStream checker and a copyright-file parser pass it. ./package.sh installs their tools.
# usage: check-package.sh <package.deb>
set -euo pipefail
deb=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
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
    ./usr/share/icons/hicolor/48x48/apps/tessaly.png ./usr/share/icons/hicolor/scalable/apps/tessaly.svg \
    ./usr/share/man/man1/tessaly.1.gz ./usr/share/doc/tessaly/changelog.gz \
    ./usr/share/metainfo/example.quarnell.tessaly.metainfo.xml; do
    grep -q " $path\( \|$\)" <<<"$contents" || fail "the package lacks $path"
done

# lintian prints one line per fault it finds (and, on stderr, that it should not run as root, as CI runs it).
tags=$(lintian "$deb" 2>"$work/lintian-stderr") || fail "lintian failed: $tags $(cat "$work/lintian-stderr")"
[ -z "$tags" ] || fail "lintian finds faults in the package:"$'\n'"$tags"

dpkg-deb -x "$deb" "$work/root"
# The AppStream metadata and the desktop entry it names, as software centres read them.
appstreamcli validate-tree --pedantic --no-net "$work/root" || fail "the AppStream metadata does not validate"
release=$(grep -o -m1 '<release version="[^"]*"' "$work"/root/usr/share/metainfo/*.metainfo.xml | cut -d'"' -f2)
grep -qx " Version: $release" <<<"$info" || fail "the AppStream metadata's newest release $release is not the package's"

# lintian leaves the copyright file of a package without a Debian source package unparsed.
/usr/bin/python3 - "$work/root/usr/share/doc/tessaly/copyright" <<'PYTHON' || fail "the copyright file is not machine-readable"
import sys
from debian.copyright import Copyright
with open(sys.argv[1]) as f:
    copyright = Copyright(f, strict=True)
texts = {p.license.synopsis for p in copyright.all_license_paragraphs() if p.license.text}
for files in copyright.all_files_paragraphs():
    if not files.license.text and files.license.synopsis not in texts:
        sys.exit(f"no text for the licence {files.license.synopsis} of {' '.join(files.files)}")
PYTHON
echo "package $(basename "$deb"): metadata, contents, lintian, AppStream and copyright fine"
