#!/usr/bin/env bash
# run.sh -- installs what the program needs, builds it, and runs it from the repository root (data/ is here).
# Without a display it runs the program for a few seconds on a virtual one and saves a screenshot.
# run.sh web -- builds the program for the browser (build/web) and serves it on this machine until Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh

case "${1:-}" in
"") ;;
web)
    ensure_packages "${WEB_PACKAGES[@]}"
    cmake --preset web >/dev/null
    cmake --build --preset web
    echo "Olvo GL is served from build/web: open the address below in a browser; Ctrl-C stops serving."
    exec python3 tools/serve_web.py --port 8000 build/web
    ;;
*)
    echo "usage: ./run.sh [web]" >&2
    exit 2
    ;;
esac

ensure_packages "${BUILD_PACKAGES[@]}"

# The program alone: the tests, tools and benchmarks need more packages, which test.sh installs.
cmake --preset program >/dev/null
cmake --build --preset program

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/program/olvo-gl
fi

echo "There is no display here (neither DISPLAY nor WAYLAND_DISPLAY is set), so Olvo GL runs for 5 seconds on a"
echo "virtual one (Xvfb) and a screenshot is saved."
ensure_packages xvfb imagemagick x11-utils
work=$(mktemp -d)
xvfb_pid=""
program_pid=""
cleanup() {
    [ -n "$program_pid" ] && kill -KILL "$program_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"

build/program/olvo-gl &
program_pid=$!
sleep 5
if kill -0 "$program_pid" 2>/dev/null; then
    import -window root -crop 800x600+0+0 build/screenshot.png
    echo "Saved the screen as build/screenshot.png"
    kill -TERM "$program_pid"  # the program ends as on Escape, with 0
    wait "$program_pid" && status=0 || status=$?
    program_pid=""
    echo "Olvo GL ended with exit code $status."
else
    wait "$program_pid" && status=0 || status=$?
    program_pid=""
    echo "Olvo GL ended early with exit code $status."
fi
