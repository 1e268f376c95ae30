#!/usr/bin/env bash
# exe_resources.sh EXE -- the Windows program carries the manifest (DPI awareness) and the icon, each byte for byte
# as in the project (the icon as wrestool puts the exe's icon group back together, which it follows with zeros).
set -euo pipefail
root=$(dirname "$(dirname "$(dirname "$(readlink -f "$0")")")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

wrestool -x --raw -t24 -n1 "$1" >"$work/manifest"
cmp -s "$work/manifest" "$root/packaging/windows/olvo-gl.manifest" || fail "the exe has no manifest, or another one"
grep -q '>PerMonitorV2<' "$work/manifest" || fail "the manifest declares no per-monitor DPI awareness"
wrestool -x -t14 "$1" >"$work/icon.ico"
ico="$root/packaging/icons/olvo-gl.ico"
cmp -s -n "$(stat -c %s "$ico")" "$work/icon.ico" "$ico" && [ -z "$(tail -c +"$(($(stat -c %s "$ico") + 1))" \
    "$work/icon.ico" | tr -d '\0')" ] || fail "the exe has no icon, or another one"
echo "the exe carries its manifest and its icon"
