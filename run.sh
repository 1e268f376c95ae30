#!/usr/bin/env bash
# run.sh -- installs what the program needs, builds it and runs it from the repository root.
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" libstb-dev

cmake --preset release >/dev/null
cmake --build --preset release

shopt -s nullglob
pictures=(data/*.bmp)
if [ ${#pictures[@]} -eq 0 ]; then
    echo "There are no pictures in data/ yet."
    exit 0
fi
for picture in "${pictures[@]}"; do
    printf '%-28s ' "$picture"
    build/release/olvo-bmp "$picture"
done
