#!/usr/bin/env bash
# wine.sh -- runs a Windows program under Wine in the project's prefix; the win32 build's test emulator.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/prefix.sh"
ensure_wine_prefix
export WINEDEBUG="${WINEDEBUG:--all}"
exec wine "$@"
