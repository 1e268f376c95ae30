#!/usr/bin/env bash
# deb_check.sh BUILD_DIR VERSION -- makes the Debian package from BUILD_DIR and checks it without installing it:
# what it holds and declares, VERSION wherever the package writes it, its licence, that lintian and appstreamcli
# find nothing to say, and its launcher run from the unpacked tree as users start it: the menu entry's command,
# through a link and by a relative path, from folders with no, some or all of the pictures in data/ (only a complete
# data/ is used); then once with a display, where the scene must show.
set -euo pipefail
build=$(readlink -f "$1") version=$2
root=$(dirname "$(dirname "$(dirname "$(readlink -f "$0")")")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack -G DEB -B "$work" --config "$build/CPackConfig.cmake" >/dev/null
deb=$work/olvo-gl_${version}_amd64.deb
[ -f "$deb" ] || fail "no package named for version $version: $(ls "$work")"
tree=$work/tree
dpkg-deb -x "$deb" "$tree"
doc=$tree/usr/share/doc/olvo-gl
for path in usr/bin/olvo-gl usr/bin/olvo-picture usr/libexec/olvo-gl/olvo-gl usr/share/olvo-gl/data/starfield.bmp \
            usr/share/applications/olvo-gl.desktop usr/share/icons/hicolor/256x256/apps/olvo-gl.png; do
    [ -f "$tree/$path" ] || fail "the package has no $path"
done
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libsdl2-2.0-0* && $depends == *libc6* ]] || fail "Depends lacks SDL2 or libc: $depends"

[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's Version isn't $version"
grep -q "<release version=\"$version\"" "$tree"/usr/share/metainfo/*.metainfo.xml ||
    fail "no AppStream release $version"
zcat "$doc/changelog.gz" | head -n1 | grep -qF "olvo-gl ($version)" || fail "the changelog doesn't begin with $version"
for page in man6/olvo-gl.6.gz man1/olvo-picture.1.gz; do
    zcat "$tree/usr/share/man/$page" | grep -q "^\.TH .*\"Olvo GL $version\"" || fail "$page isn't of version $version"
done

# The licence: MIT in LICENSE, and the same words in the package's machine-readable copyright file.
head -n1 "$root/LICENSE" | grep -qx "MIT License" || fail "LICENSE isn't the MIT licence"
head -n1 "$doc/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "the copyright file isn't in the machine-readable format"
tac "$doc/copyright" | sed '/^License: Expat$/q' | tac | tail -n +2 | sed 's/^ //; s/^\.$//' >"$work/licence"
sed '1,/^Copyright (c)/d' "$root/LICENSE" | tail -n +2 | diff - "$work/licence" ||
    fail "the copyright file's Expat (MIT) licence isn't LICENSE's"

lintian --pedantic -I --fail-on error,warning,info,pedantic "$deb" 2>/dev/null || fail "lintian has something to say"
appstreamcli validate-tree --no-net --pedantic "$tree" >"$work/appstream" && ! grep '^ *[EWIP]:' "$work/appstream" ||
    fail "appstreamcli has something to say"
desktop-file-validate "$tree/usr/share/applications/olvo-gl.desktop" || fail "the desktop entry isn't valid"

# The launcher in a copy of the tree whose program only says which folder it was started in.
exec_path=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$tree/usr/share/applications/olvo-gl.desktop")
[[ $exec_path == /* ]] || exec_path=/usr/bin/$exec_path
cp -a "$tree" "$work/stub"
printf '#!/bin/sh\npwd -P\n' >"$work/stub/usr/libexec/olvo-gl/olvo-gl"
mkdir -p "$work/none" "$work/some/data" "$work/all/data" "$work/link"
cp "$tree"/usr/share/olvo-gl/data/* "$work/all/data/"
ls "$work/all/data" | tail -n +2 | while read -r name; do cp "$work/all/data/$name" "$work/some/data/"; done
ln -s "$work/stub/usr/bin/olvo-gl" "$work/link/olvo-gl"
for folder in none some all; do
    expected=$work/stub/usr/share/olvo-gl
    [ $folder = all ] && expected=$work/all
    for way in "the menu entry:$work/stub$exec_path" "a link:$work/link/olvo-gl" \
               "a relative path:$(realpath --relative-to="$work/$folder" "$work/stub/usr/bin/olvo-gl")"; do
        got=$(cd "$work/$folder" && "${way#*:}" 2>&1) || true
        [ "$got" = "$expected" ] ||
            fail "started by ${way%%:*} in a folder with $folder of the pictures, the program ran in '$got'"
    done
done
python3 "$root/tests/e2e/driver.py" sdl2 "$tree$exec_path" "started from another folder"
echo "the package of version $version passes its checkers, and its launcher picks the pictures and shows the scene"
