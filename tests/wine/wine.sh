#!/usr/bin/env bash
# wine.sh PROGRAM.exe [ARGS...] -- runs a Windows program under Wine in the project's prefix: 64-bit Wine for a
# 64-bit program, 32-bit Wine for a 32-bit one. The Windows builds' test emulator.
set -euo pipefail
# The PE header's machine field: 0x8664 is x86-64, 0x14c is i386.
pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$1" | tr -d ' ')
if [ "$machine" = 8664 ]; then export OLVO_WINE_ARCH=win64; else export OLVO_WINE_ARCH=win32; fi
source "$(dirname "${BASH_SOURCE[0]}")/prefix.sh"
ensure_wine_prefix
export WINEDEBUG="${WINEDEBUG:--all}"
exec "$OLVO_WINE" "$@"
