#!/usr/bin/env bash
# startup_bench.sh [RUNS] -- under Xvfb with Mesa: time from process start to the first presented frame, for the
# program and for a minimal SDL2 GL window in the same run, and the time of one F1 rebuild (teardown start to
# the first frame presented in the new window). Medians of RUNS (default 7). Run from the repository root after
# building the release preset.
set -euo pipefail
runs=${1:-7}
build=build/release
probe=$(realpath "$build/bench/libolvo_swap_probe.so")
export MESA_SHADER_CACHE_DISABLE=true
work=$(mktemp -d)
xvfb_pid=""
pid=""
cleanup() {
    [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"

# first_frame_ms PROGRAM: milliseconds from exec to the end of the first swap.
first_frame_ms() {
    local log=$work/probe.log start swap
    rm -f "$log"
    start=$(date +%s%N)
    OLVO_PROBE_LOG=$log LD_PRELOAD=$probe "$1" >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 300); do grep -q '^swap' "$log" 2>/dev/null && break; sleep 0.01; done
    swap=$(awk '/^swap/{print $2; exit}' "$log")
    kill -TERM "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
    pid=""
    echo $(((swap - start) / 1000))
}

# rebuild_ms: milliseconds from the start of the teardown that F1 causes to the new window's first swap.
rebuild_ms() {
    local log=$work/probe.log window unbind swap
    rm -f "$log"
    OLVO_PROBE_LOG=$log LD_PRELOAD=$probe "$build/olvo-gl" >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 300); do grep -q '^swap' "$log" 2>/dev/null && break; sleep 0.01; done
    window=$(xdotool search --onlyvisible --name "^Olvo's" | head -n1)
    xdotool keydown --window "$window" F1; sleep 0.15; xdotool keyup F1
    # The screen has been given an 800 x 600 mode, so the rebuild asks no question.
    for _ in $(seq 300); do awk '/^unbind/{u=1} u&&/^swap/{f=1} END{exit !f}' "$log" && break; sleep 0.01; done
    unbind=$(awk '/^unbind/{print $2; exit}' "$log")
    swap=$(awk '/^unbind/{u=1} u&&/^swap/{print $2; exit}' "$log")
    kill -TERM "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
    pid=""
    echo $(((swap - unbind) / 1000))
}

median() { sort -n | awk '{a[NR]=$1} END{m=int((NR+1)/2); printf "%.1f", a[m]/1000}'; }

program=$(for _ in $(seq "$runs"); do first_frame_ms "$build/olvo-gl"; done | median)
minimal=$(for _ in $(seq "$runs"); do first_frame_ms "$build/bench/minimal_gl_window"; done | median)
xrandr --newmode 800x600_60 38.25 800 832 912 1024 600 603 607 624 -hsync +vsync
xrandr --addmode screen 800x600_60
rebuild=$(for _ in $(seq "$runs"); do rebuild_ms; done | median)
echo "Xvfb 1024 x 768 with an 800 x 600 mode added, Mesa llvmpipe; medians of $runs runs, milliseconds"
printf "%-52s %8s\n" "process start to first presented frame: olvo-gl" "$program"
printf "%-52s %8s\n" "process start to first presented frame: minimal SDL2" "$minimal"
printf "%-52s %8s\n" "F1 rebuild, windowed to fullscreen 800 x 600" "$rebuild"
