#!/usr/bin/env bash
# Builds QWUNINST.EXE once more from the same sources, in a fresh build
# tree at another path and so at another time, and compares its SHA-256
# with that of the build under test. A time stamp, a build path or a date
# that got into the file shows up here as a difference.
#
#   reproducible.sh SOURCE_DIR EXE
set -uo pipefail
src=${1:?usage: reproducible.sh SOURCE_DIR EXE}
first=${2:?usage: reproducible.sh SOURCE_DIR EXE}

tree=$(mktemp -d /tmp/qw-second-build.XXXXXX)
trap 'rm -rf "$tree"' EXIT

if ! cmake -S "$src" --preset windows -B "$tree" >"$tree.log" 2>&1 ||
   ! cmake --build "$tree" --target QWUNINST -j 2 >>"$tree.log" 2>&1; then
    cat "$tree.log"
    rm -f "$tree.log"
    echo "the second build failed"
    exit 1
fi
rm -f "$tree.log"

second=$tree/QWUNINST.EXE
sum_first=$(sha256sum <"$first" | cut -d' ' -f1)
sum_second=$(sha256sum <"$second" | cut -d' ' -f1)
echo "first build   $sum_first  $first"
echo "second build  $sum_second  $second"
if [ "$sum_first" != "$sum_second" ]; then
    echo "the two builds differ; the first differing bytes (offset, octal values):"
    cmp -l "$first" "$second" | head -n 20
    exit 1
fi
echo "the two builds are identical ($(stat -c %s "$first") bytes)"
