#!/usr/bin/env bash
# sdl2_e2e.sh -- the real program under Xvfb with Mesa's software OpenGL: the window and its scene, Escape and
# closing, F1 with and without an 800 x 600 display mode, the question and closing boxes, and missing pictures.
#
# usage: sdl2_e2e.sh OLVO_GL X_CLOSE_WINDOW    (from the repository root, which holds data/)
# Every wait is bounded; the X server and the program (with the message-box processes it forks) are always
# killed at the end.
set -uo pipefail

program=$(realpath "$1")
closer=$(realpath "$2")
here=$(dirname "$(realpath "$0")")
root=$PWD
for tool in Xvfb xdotool xwininfo xrandr import python3; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

export MESA_SHADER_CACHE_DISABLE=true
work=$(mktemp -d)
xvfb_pid=""
program_pid=""
failures=0
title="Olvo's Textures, Lighting & Keyboard Tutorial"

cleanup() {
    [ -n "$program_pid" ] && kill -KILL -- "-$program_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# wait_for SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds; false after SECONDS.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.1
    done
}

start_display() {
    local size=$1
    rm -f "$work/displayfd"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$work/displayfd" 2>/dev/null &
    xvfb_pid=$!
    wait_for 10 test -s "$work/displayfd" || { echo "Xvfb did not start"; exit 1; }
    export DISPLAY=":$(head -n1 "$work/displayfd")"
}

stop_display() {
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
}

# start_program DIR: runs the program from DIR in its own process group.
start_program() {
    (cd "$1" && exec setsid "$program" >"$work/output" 2>&1) &
    program_pid=$!
}

# finish_program SECONDS: waits for the program to end and sets exit_code ("timeout" if it didn't end).
exit_code=""
finish_program() {
    if ! wait_for "$1" bash -c "! kill -0 $program_pid 2>/dev/null"; then
        kill -KILL -- "-$program_pid" 2>/dev/null
        wait "$program_pid" 2>/dev/null
        program_pid=""
        exit_code=timeout
        return
    fi
    wait "$program_pid"
    exit_code=$?
    program_pid=""
}

# ends_with CODE: the program ends within 10 s with that exit code.
ends_with() {
    finish_program 10
    [ "$exit_code" = "$1" ] || { echo "exit code $exit_code, want $1"; return 1; }
}

main_window() {
    xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n1
}

# Message boxes are drawn by SDL in windows that xdotool's search misses; the tree lists them by title.
box_window() {
    xwininfo -root -tree 2>/dev/null | grep -F "\"$1\": (" | awk '{print $1}' | head -n1
}

has_main_window() { [ -n "$(main_window)" ]; }
has_box() { [ -n "$(box_window "$1")" ]; }
box_gone() { [ "$(box_window "$1")" != "$2" ]; }

# press WINDOW KEY: a key held long enough for a loop that drains all events before looking at its keys. When
# the key closed the window, the release goes to the server itself: a key left down there would auto-repeat
# into whatever window comes next.
press() {
    xdotool keydown --window "$1" "$2"
    sleep 0.15
    xdotool keyup --window "$1" "$2" 2>/dev/null || xdotool keyup "$2"
}

# SDL shows each box from a process of its own, forked from the program; the next box may well reuse the X
# window id of the last, so a box counts as answered when its process has ended.
box_process() {
    pgrep -P "$program_pid" | head -n1
}

process_gone() { ! kill -0 "$1" 2>/dev/null; }

# answer TITLE KEY: waits for the box, answers it, waits for it to go.
answer() {
    local box process
    wait_for 20 has_box "$1" || { echo "no \"$1\" box"; return 1; }
    box=$(box_window "$1")
    process=$(box_process)
    sleep 0.3
    xdotool key --window "$box" "$2"
    if [ -n "$process" ]; then
        wait_for 10 process_gone "$process" || { echo "the \"$1\" box stayed"; return 1; }
    else
        wait_for 10 box_gone "$1" "$box" || { echo "the \"$1\" box stayed"; return 1; }
    fi
}

window_geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} /Width:/{w=$NF} /Height:/{h=$NF} END{print w "x" h "+" x "+" y}'
}

# shows_scene: the program's window shows a picture (it is drawing, so keys sent now reach its loop).
shows_scene() {
    local window geometry x y
    window=$(main_window)
    [ -n "$window" ] || return 1
    geometry=$(window_geometry "$window")
    x=${geometry#*+}
    y=${x#*+}
    x=${x%+*}
    import -window root -depth 8 "$work/shot.ppm" 2>/dev/null &&
        python3 "$here/screen_check.py" "$work/shot.ppm" "$x" "$y" 800 600 >/dev/null
}

# drawing: waits for the program's window to show the scene.
drawing() {
    wait_for 20 has_main_window || { echo "no window"; return 1; }
    wait_for 20 shows_scene || { echo "no scene in the window"; return 1; }
}

screen_size() {
    xwininfo -root | awk '/Width:/{w=$NF} /Height:/{h=$NF} END{print w "x" h}'
}

screen_is() { [ "$(screen_size)" = "$1" ]; }

check() {
    local name=$1
    shift
    if "$@"; then
        echo "PASS: $name"
    else
        echo "FAIL: $name"
        sed 's/^/    program: /' "$work/output" 2>/dev/null | head -n 20
        failures=$((failures + 1))
    fi
    if [ -n "$program_pid" ]; then
        kill -KILL -- "-$program_pid" 2>/dev/null
        wait "$program_pid" 2>/dev/null
        program_pid=""
    fi
    [ -n "$xvfb_pid" ] && stop_display
}

case_window_scene_and_escape() {
    start_display 1024x768
    start_program "$root"
    wait_for 20 has_main_window || { echo "no window"; return 1; }
    local window geometry
    window=$(main_window)
    geometry=$(window_geometry "$window")
    [ "${geometry%%+*}" = "800x600" ] || { echo "client area $geometry"; return 1; }
    wait_for 20 shows_scene || { echo "no scene on screen"; return 1; }
    press "$window" Escape
    ends_with 0
}

case_close_window() {
    start_display 1024x768
    start_program "$root"
    drawing || return 1
    "$closer" "$(main_window)" || return 1
    ends_with 0
}

# The screen has only 1024 x 768: F1 asks whether to go on in a window.
case_fullscreen_refused_answered_yes() {
    start_display 1024x768
    start_program "$root"
    drawing || return 1
    press "$(main_window)" F1
    answer "Olvo GL" Return || return 1
    wait_for 20 has_main_window || { echo "no window after the answer"; return 1; }
    local window
    window=$(main_window)
    [ "$(window_geometry "$window")" = "800x600+0+0" ] || { echo "window $(window_geometry "$window")"; return 1; }
    screen_is 1024x768 || { echo "the screen changed to $(screen_size)"; return 1; }
    drawing || return 1
    press "$window" Escape
    ends_with 0
}

case_fullscreen_refused_answered_no() {
    start_display 1024x768
    start_program "$root"
    drawing || return 1
    press "$(main_window)" F1
    answer "Olvo GL" Escape || return 1
    answer "ERROR" Return || return 1
    ends_with 0
}

# With an 800 x 600 mode added to the screen, F1 switches the screen to it and F1 again switches it back.
case_fullscreen_granted() {
    start_display 1024x768
    xrandr --newmode 800x600_60 38.25 800 832 912 1024 600 603 607 624 -hsync +vsync 2>/dev/null
    xrandr --addmode screen 800x600_60 || { echo "can't add the 800 x 600 mode"; return 1; }
    start_program "$root"
    drawing || return 1
    press "$(main_window)" F1
    wait_for 20 screen_is 800x600 || { echo "the screen stayed $(screen_size)"; return 1; }
    wait_for 20 has_main_window || { echo "no fullscreen window"; return 1; }
    [ "$(window_geometry "$(main_window)")" = "800x600+0+0" ] || { echo "window $(window_geometry "$(main_window)")"; return 1; }
    drawing || return 1
    press "$(main_window)" F1
    wait_for 20 screen_is 1024x768 || { echo "the screen stayed $(screen_size)"; return 1; }
    drawing || return 1
    press "$(main_window)" Escape
    ends_with 0
}

# Run where there is no data/: one box per missing mask, then the failed setup, then the end.
case_missing_pictures() {
    start_display 1024x768
    mkdir -p "$work/empty"
    start_program "$work/empty"
    answer "Error" Return || return 1
    answer "Error" Return || return 1
    answer "Error" Return || return 1
    answer "ERROR" Return || return 1
    ends_with 0
}

check "window, scene and Escape" case_window_scene_and_escape
check "closing the window" case_close_window
check "F1 refused, answered yes" case_fullscreen_refused_answered_yes
check "F1 refused, answered no" case_fullscreen_refused_answered_no
check "F1 granted and restored" case_fullscreen_granted
check "pictures missing" case_missing_pictures
[ "$failures" -eq 0 ]
