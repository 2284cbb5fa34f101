#!/usr/bin/env bash
# Fails when a source file differs from what clang-format makes of it, naming the files.
set -uo pipefail
root=$1
command -v clang-format >/dev/null || { echo "clang-format is not installed"; exit 77; }
cd "$root" || exit 1
mapfile -t files < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h')
unformatted=$(clang-format --dry-run "${files[@]}" 2>&1 | sed -n 's/^\([^ :]*\):[0-9]*:[0-9]*: warning: code should be clang-formatted.*/\1/p' | sort -u)
[ -z "$unformatted" ] && exit 0
printf '%s: not as clang-format writes it (run clang-format -i on it)\n' $unformatted
exit 1
