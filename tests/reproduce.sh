#!/usr/bin/env bash
# reproduce.sh GENERATOR DIR -- a generator of committed files (pictures, icons) writes exactly what DIR holds.
set -euo pipefail
fresh=$(mktemp -d)
trap 'rm -rf "$fresh"' EXIT
"$1" "$fresh" >/dev/null
# Any file that differs, or that only one side has, is named.
diff --recursive --brief "$2" "$fresh"
echo "all $(ls "$fresh" | wc -l) files reproduced byte for byte"
