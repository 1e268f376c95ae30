# prefix.sh -- sourced by the Wine scripts: the project's own Wine prefix under build/, made once on first use.
# OLVO_WINE_ARCH picks the Wine: win64 (the default: 64-bit Wine runs the 64-bit build of the program, on any
# 64-bit machine) or win32 (32-bit Wine for the 32-bit program, where the machine runs 32-bit code at all).

OLVO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export WINEARCH="${OLVO_WINE_ARCH:-win64}"
if [ "$WINEARCH" = win64 ]; then
    export WINEPREFIX="${OLVO_WINEPREFIX:-$OLVO_ROOT/build/wine-prefix64}"
    # The loader and server themselves: Debian's wine wrapper would take 32-bit Wine whenever it is installed.
    export WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
    OLVO_WINE=$WINELOADER
else
    export WINEPREFIX="${OLVO_WINEPREFIX:-$OLVO_ROOT/build/wine-prefix}"
    OLVO_WINE=wine
fi
# No .NET or HTML engine: Wine would offer to download them, which a test can't answer.
export WINEDLLOVERRIDES="mscoree,mshtml="

# olvo_wineserver ARGS... : the server of the chosen Wine.
olvo_wineserver() {
    "${WINESERVER:-wineserver}" "$@"
}

# ensure_wine_prefix : makes the prefix unless a finished one is there; a lock keeps parallel callers out.
ensure_wine_prefix() {
    [ -f "$WINEPREFIX/.olvo-ready" ] && return 0
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock -w 300 9 || { echo "wine prefix: lock $WINEPREFIX.lock not free" >&2; exit 1; }
        [ -f "$WINEPREFIX/.olvo-ready" ] && exit 0
        rm -rf "$WINEPREFIX"
        echo "wine prefix: making $WINEPREFIX" >&2
        export WINEDEBUG=-all
        timeout 300 "$OLVO_WINE" wineboot -i >/dev/null 2>&1 || { echo "wine prefix: wineboot failed" >&2; exit 1; }
        # Without a window manager an unmanaged window doesn't wait 2 s for one at every DestroyWindow.
        timeout 60 "$OLVO_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 &&
        # A crash must end the program, not wait in a dialog no one answers.
        timeout 60 "$OLVO_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 ||
            { echo "wine prefix: registry settings failed" >&2; exit 1; }
        timeout 60 olvo_wineserver -k 2>/dev/null || true
        timeout 60 olvo_wineserver -w 2>/dev/null || true
        touch "$WINEPREFIX/.olvo-ready"
    ) 9>"$WINEPREFIX.lock"
}
