#!/usr/bin/env bash
# Converts a data set twice, with kinovane-convert -j and with the GNU parallel recipe of the
# README (one kinovane-convert per file), and checks that both give the same files, byte for
# byte. Uses the programs of build/ unless KINOVANE_CONVERT names another.
set -euo pipefail
cd "$(dirname "$0")/.."
convert=${KINOVANE_CONVERT:-$PWD/build/convert/kinovane-convert}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/data/s01" "$work/data/s02"
cp tests/data/real/cmu_01_14.bvh "$work/data/s01/"
cp tests/data/real/arena_louise.bvh "$work/data/s02/"
cp samples/walk.bvh "$work/data/"

"$convert" "$work/data" --recursive --out-dir "$work/with-j" --c3d --events-csv -j 2 --quiet
# The recipe: one job per file, each writing under the same layout.
(cd "$work/data" && find . -name '*.bvh' | parallel --halt now,fail=1 \
    "$convert" {} --quiet --out-dir "$work/with-parallel/{//}" --c3d --events-csv)
diff -r "$work/with-j" "$work/with-parallel"
echo "GNU parallel recipe and -j agree: $(find "$work/with-j" -type f | wc -l) files"
