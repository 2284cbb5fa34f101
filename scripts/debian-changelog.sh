#!/usr/bin/env bash
# Writes the package's changelog.gz from the project's git history, in Debian's format: one entry for
# the version being built that lists every commit's subject, oldest first (a merge adds nothing its
# commits do not say), dated by the newest commit so that the same history gives the same file.
# usage: debian-changelog.sh <source-dir> <version> <maintainer> <changelog.gz>
set -euo pipefail
root=$1 version=$2 maintainer=$3 out=$4
export LC_ALL=C

if ! git -C "$root" rev-parse --verify --quiet HEAD >/dev/null; then
    echo "debian-changelog.sh: $root has no git history to write the changelog from" >&2
    exit 1
fi

# Each subject becomes a bullet wrapped to fit Debian's 80 columns.
bullets() {
    local subject
    git -C "$root" log --no-merges --reverse --format=%s | while IFS= read -r subject; do
        fold -s -w 74 <<<"$subject" | sed -e 's/ *$//' -e '1s/^/  * /' -e '2,$s/^/    /'
    done
}

date=$(git -C "$root" log -1 --format=%cd --date=format:'%a, %d %b %Y %H:%M:%S %z')
mkdir -p "$(dirname "$out")"
{
    printf 'tessaly (%s) unstable; urgency=medium\n\n' "$version"
    bullets
    printf '\n -- %s  %s\n' "$maintainer" "$date"
} | gzip -9n >"$out"
