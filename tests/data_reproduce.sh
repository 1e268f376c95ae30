#!/usr/bin/env bash
# data_reproduce.sh MAKE_DATA DATA_DIR -- the picture generator writes exactly the committed pictures.
set -euo pipefail
fresh=$(mktemp -d)
trap 'rm -rf "$fresh"' EXIT
"$1" "$fresh" >/dev/null
# Any picture that differs, or that only one side has, is named.
diff --recursive --brief "$2" "$fresh"
echo "all $(ls "$fresh" | wc -l) pictures reproduced byte for byte"
