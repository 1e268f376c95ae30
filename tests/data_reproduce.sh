#!/usr/bin/env bash
# data_reproduce.sh MAKE_DATA DATA_DIR -- the picture generator writes exactly the committed pictures.
set -euo pipefail
generator=$1
committed=$2
fresh=$(mktemp -d)
trap 'rm -rf "$fresh"' EXIT
"$generator" "$fresh" >/dev/null
status=0
for file in "$committed"/*.bmp "$fresh"/*.bmp; do
    name=$(basename "$file")
    if ! cmp -s "$committed/$name" "$fresh/$name"; then
        echo "data/$name differs from what tools/make_data.cpp draws"
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "all $(ls "$fresh" | wc -l) pictures reproduced byte for byte"
exit "$status"
