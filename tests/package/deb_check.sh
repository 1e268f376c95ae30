#!/usr/bin/env bash
# deb_check.sh BUILD_DIR -- makes the Debian package from the release build, checks what it holds and declares,
# validates its desktop entry, installs it with dpkg -i, starts the installed launcher from a folder without the
# pictures (the scene must show) and removes the package again. Installing needs root.
set -euo pipefail
build=$(readlink -f "$1")
root=$(dirname "$(dirname "$(dirname "$(readlink -f "$0")")")")
[ "$(id -u)" -eq 0 ] || { echo "installing the package needs root"; exit 1; }
work=$(mktemp -d)
installed=no
cleanup() {
    [ $installed = yes ] && dpkg -r olvo-gl >/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack -G DEB -B "$work" --config "$build/CPackConfig.cmake" >/dev/null
deb=$(ls "$work"/olvo-gl_*.deb)
dpkg-deb -x "$deb" "$work/tree"
for path in usr/bin/olvo-gl usr/lib/olvo-gl/olvo-gl usr/share/applications/olvo-gl.desktop \
            usr/share/icons/hicolor/256x256/apps/olvo-gl.png usr/share/olvo-gl/data/starfield.bmp; do
    [ -f "$work/tree/$path" ] || fail "the package has no $path"
done
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libsdl2-2.0-0* && $depends == *libc6* ]] || fail "Depends lacks SDL2 or libc: $depends"
desktop-file-validate "$work/tree/usr/share/applications/olvo-gl.desktop" || fail "the desktop entry isn't valid"

dpkg -i "$deb" >/dev/null
installed=yes
python3 "$root/tests/e2e/driver.py" sdl2 /usr/bin/olvo-gl "started from another folder"
dpkg -r olvo-gl >/dev/null
installed=no
[ ! -e /usr/bin/olvo-gl ] && [ ! -e /usr/share/olvo-gl ] || fail "the program is still there after dpkg -r"
echo "the package builds, installs, starts the scene from elsewhere and goes"
