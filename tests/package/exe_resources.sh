#!/usr/bin/env bash
# exe_resources.sh EXE OBJDUMP VERSION MANIFEST -- the Windows program imports only system DLLs and carries its
# resources: the manifest (DPI awareness) and the icon, each byte for byte as built (the icon as wrestool puts the
# exe's icon group back together, which it follows with zeros), and a version resource naming Olvo GL, what it is
# and VERSION, both in its strings and in the fixed numbers Explorer shows as the file version.
set -euo pipefail
exe=$1 objdump=$2 version=$3 manifest=$4
root=$(dirname "$(dirname "$(dirname "$(readlink -f "$0")")")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

for dll in $("$objdump" -p "$exe" | sed -n 's/^\tDLL Name: //p' | tr '[:upper:]' '[:lower:]'); do
    [[ " kernel32.dll user32.dll gdi32.dll opengl32.dll glu32.dll msvcrt.dll " == *" $dll "* ]] ||
        fail "the exe imports $dll, which Windows doesn't have"
done

wrestool -x --raw -t24 -n1 "$exe" >"$work/manifest"
cmp -s "$work/manifest" "$manifest" || fail "the exe has no manifest, or another one"
grep -q '>PerMonitorV2<' "$work/manifest" || fail "the manifest declares no per-monitor DPI awareness"
wrestool -x -t14 "$exe" >"$work/icon.ico"
ico="$root/packaging/icons/olvo-gl.ico"
cmp -s -n "$(stat -c %s "$ico")" "$work/icon.ico" "$ico" && [ -z "$(tail -c +"$(($(stat -c %s "$ico") + 1))" \
    "$work/icon.ico" | tr -d '\0')" ] || fail "the exe has no icon, or another one"

# The strings are UTF-16 pairs of a name and its value; the fixed part starts with its signature at byte 40.
wrestool -x --raw -t16 -n1 "$exe" >"$work/version"
value() { strings -el -n3 "$work/version" | sed -n "/^$1\$/{n;p;q}"; }
IFS=. read -r major minor patch _ <<<"$version"
number=$(printf '%08x %08x' $((major << 16 | minor)) $((${patch:-0} << 16)))
[ "$(od -An -tx4 -j40 -N24 "$work/version" | xargs)" = "feef04bd 00010000 $number $number" ] ||
    fail "the version resource's numbers aren't $version"
for pair in "ProductName=Olvo GL" "FileDescription=Olvo GL real-time OpenGL demo" "ProductVersion=$version" \
            "FileVersion=$version" "CompanyName=Olvo GL developers"; do
    [ "$(value "${pair%%=*}")" = "${pair#*=}" ] || fail "the version resource's ${pair%%=*} isn't ${pair#*=}"
done
echo "the exe imports only system DLLs and carries its manifest, its icon and version $version"
