#!/usr/bin/env bash
# e2e.sh -- runs the Windows program under Wine on private X servers and checks what a user would see and do.
#
# Usage: tests/wine/e2e.sh [path/to/olvo-gl.exe]   (default: build/win32/olvo-gl.exe)
# Each case gets its own X server and ends with the prefix's wineserver gone; every wait has a limit. Window
# texts are read from Wine's +win trace, since message-box text isn't visible to X.
set -uo pipefail

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$HERE/prefix.sh"
ROOT="$OLVO_ROOT"
EXE="$(realpath "${1:-$ROOT/build/win32/olvo-gl.exe}")"
WORK="${OLVO_E2E_DIR:-$ROOT/build/wine-e2e}"

MAIN_TITLE="^Olvo's Textures, Lighting & Keyboard Tutorial$"
QUESTION='The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?'

X_PIDS=()
PROGRAM_PID=""
EXIT_CODE=""
FAILURES=0
CASE=""
CASE_DIR=""

log() { echo "  [$CASE] $*"; }

stop_wine() {
    timeout 20 wineserver -k >/dev/null 2>&1
    timeout 20 wineserver -w >/dev/null 2>&1
    if [ -n "$PROGRAM_PID" ]; then
        kill "$PROGRAM_PID" 2>/dev/null
        wait "$PROGRAM_PID" 2>/dev/null
        PROGRAM_PID=""
    fi
}

stop_x() {
    local pid i
    for pid in "${X_PIDS[@]}"; do
        kill "$pid" 2>/dev/null || continue
        for ((i = 0; i < 50; i++)); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    X_PIDS=()
}

cleanup() {
    stop_wine
    stop_x
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# start_x KIND [ARGS...] : starts Xvfb or Xorg on a free display and exports DISPLAY.
start_x() {
    local kind=$1 fdfile="$CASE_DIR/displayfd" i
    shift
    : >"$fdfile"
    case "$kind" in
    xvfb) Xvfb -displayfd 5 -nolisten tcp -noreset "$@" 5>"$fdfile" >"$CASE_DIR/x.log" 2>&1 & ;;
    xorg) Xorg -displayfd 5 -nolisten tcp -noreset -novtswitch -sharevts -logfile "$CASE_DIR/xorg.log" "$@" \
              5>"$fdfile" >"$CASE_DIR/x.log" 2>&1 & ;;
    esac
    X_PIDS+=($!)
    for ((i = 0; i < 100; i++)); do
        if [ -s "$fdfile" ]; then
            export DISPLAY=":$(head -n1 "$fdfile")"
            return 0
        fi
        sleep 0.1
    done
    log "X server ($kind) did not start"
    return 1
}

# start_program DIR : runs the program with DIR as its working directory; its exit code lands in $CASE_DIR/rc.
start_program() {
    rm -f "$CASE_DIR/rc"
    (
        cd "$1" || exit 1
        WINEDEBUG=-all,+win timeout -k 5 60 wine "$EXE" >"$CASE_DIR/stdout" 2>"$CASE_DIR/trace"
        echo $? >"$CASE_DIR/rc"
    ) &
    PROGRAM_PID=$!
}

# wait_exit SECONDS : waits for the program to end and sets EXIT_CODE ("still running" when it didn't).
wait_exit() {
    local i
    EXIT_CODE="still running"
    for ((i = 0; i < $1 * 10; i++)); do
        if [ -s "$CASE_DIR/rc" ]; then
            wait "$PROGRAM_PID" 2>/dev/null
            PROGRAM_PID=""
            EXIT_CODE=$(cat "$CASE_DIR/rc")
            return 0
        fi
        sleep 0.1
    done
    return 1
}

running() {
    [ -n "$PROGRAM_PID" ] && [ ! -s "$CASE_DIR/rc" ]
}

# find_window REGEX SECONDS [NOT-ID] : prints the id of a shown window whose title matches (case-insensitive),
# other than NOT-ID; fails if none appears in time.
find_window() {
    local regex=$1 limit=$2 old=${3:-} i id
    for ((i = 0; i < limit * 10; i++)); do
        for id in $(xdotool search --onlyvisible --name "$regex" 2>/dev/null); do
            if [ "$id" != "$old" ]; then
                echo "$id"
                return 0
            fi
        done
        sleep 0.1
    done
    return 1
}

# wait_gone ID SECONDS : waits until the window no longer exists.
wait_gone() {
    local i
    for ((i = 0; i < $2 * 10; i++)); do
        xwininfo -id "$1" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    return 1
}

# focus ID : gives the window the keyboard focus; retried, since a window only just mapped may refuse it.
focus() {
    local i
    for ((i = 0; i < 20; i++)); do
        timeout 2 xdotool windowfocus --sync "$1" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    log "window $1 did not take the focus"
    return 1
}

# press KEY ID : focuses the window and holds the key long enough for a loop that drains all messages per frame.
press() {
    focus "$2" || return 1
    xdotool keydown "$1" && sleep 0.15 && xdotool keyup "$1"
}

# answer REGEX KEY : waits for the message box with that caption, answers it with KEY and waits for it to go.
answer() {
    local id
    id=$(find_window "$1" 15) || { log "no box titled $1"; return 1; }
    focus "$id" || return 1
    xdotool key "$2"
    wait_gone "$id" 10 || { log "box $1 still there after $2"; return 1; }
}

geometry() {
    xwininfo -id "$1" 2>/dev/null |
        awk '/Width:/ { w = $2 } /Height:/ { h = $2 } /Absolute upper-left X:/ { x = $4 }
             /Absolute upper-left Y:/ { y = $4 } END { print w, h, x, y }'
}

# client_geometry ID W H : prints "W H X Y" of the window's client area once it is W x H, else the last size
# seen. The client area is the child X window Wine gives the GL surface (made after the frame, so waited
# for), or the window itself when it is frameless.
client_geometry() {
    local i child g=""
    for ((i = 0; i < 50; i++)); do
        child=$(xwininfo -id "$1" -children 2>/dev/null | awk '/ child(ren)?:$/ { getline; print $1; exit }')
        g=$(geometry "${child:-$1}")
        case "$g" in "$2 $3 "*) break ;; esac
        sleep 0.1
    done
    echo "$g"
}

root_size() {
    xwininfo -root | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'
}

# wait_root_size SIZE SECONDS
wait_root_size() {
    local i
    for ((i = 0; i < $2 * 10; i++)); do
        [ "$(root_size)" = "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

# scene_visible W H X Y : true once a screenshot of that area has many colours and isn't near black; retries
# while the first frames arrive.
scene_visible() {
    local i stats colours mean
    for ((i = 0; i < 20; i++)); do
        import -window root "$CASE_DIR/screen.png" 2>/dev/null
        stats=$(convert "$CASE_DIR/screen.png" -crop "${1}x${2}+${3}+${4}" +repage -format '%k %[fx:mean]' info: 2>/dev/null)
        read -r colours mean <<<"$stats"
        if [ "${colours:-0}" -ge 1000 ] && awk -v m="${mean:-0}" 'BEGIN { exit !(m > 0.05) }'; then
            log "scene: $colours colours, mean $mean"
            return 0
        fi
        sleep 0.5
    done
    log "scene not visible: ${colours:-?} colours, mean ${mean:-?}"
    return 1
}

# drawing ID : waits until the window shows the scene, so its message loop runs and keys sent now reach it.
drawing() {
    local w h x y
    read -r w h x y <<<"$(client_geometry "$1" 800 600)"
    scene_visible "$w" "$h" "$x" "$y"
}

# expect_boxes CAPTION TEXT [CAPTION TEXT...] : the trace shows these windows' texts, each caption straight
# before its text, in this order. Texts are as the trace writes them (a newline is \n).
expect_boxes() {
    local -a texts
    mapfile -t texts < <(sed -n 's/^.*trace:win:set_window_text L"\(.*\)"$/\1/p' "$CASE_DIR/trace")
    local pos=0 i found
    while [ $# -ge 2 ]; do
        found=0
        for ((i = pos; i + 1 < ${#texts[@]}; i++)); do
            if [ "${texts[i]}" = "$1" ] && [ "${texts[i + 1]}" = "$2" ]; then
                found=1
                pos=$((i + 2))
                break
            fi
        done
        if [ $found -eq 0 ]; then
            log "no box \"$1\" with text \"$2\" (in order) in the trace"
            return 1
        fi
        shift 2
    done
}

# expect_title TITLE : the trace shows a window given exactly this text (X's title search ignores case).
expect_title() {
    sed -n 's/^.*trace:win:set_window_text L"\(.*\)"$/\1/p' "$CASE_DIR/trace" | grep -Fqx -- "$1" ||
        { log "no window titled exactly \"$1\" in the trace"; return 1; }
}

# expect_exit CODE SECONDS
expect_exit() {
    wait_exit "$2"
    if [ "$EXIT_CODE" != "$1" ]; then
        log "exit code: $EXIT_CODE, expected $1"
        return 1
    fi
}

write_dummy_config() {
    # Starts in 1024 x 768 and can switch to 800 x 600; no input devices, so no input drivers are needed.
    cat >"$WORK/xorg-dummy.conf" <<'EOF'
Section "ServerFlags"
    Option "AutoAddDevices" "false"
    Option "AutoEnableDevices" "false"
    Option "DontVTSwitch" "true"
EndSection
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 32768
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0 - 1000.0
    VertRefresh 5.0 - 200.0
    Modeline "1024x768" 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync
    Modeline "800x600" 40.00 800 840 968 1056 600 601 605 628 +hsync +vsync
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Modes "1024x768" "800x600"
        Virtual 1024 768
    EndSubSection
EndSection
EOF
}

# ---- cases: each returns non-zero on the first check that fails

case_windowed() {
    start_x xvfb -screen 0 1024x768x24 || return 1
    start_program "$ROOT"
    local id w h x y
    id=$(find_window "$MAIN_TITLE" 30) || { log "no main window"; return 1; }
    expect_title "Olvo's Textures, Lighting & Keyboard Tutorial" || return 1
    read -r w h x y <<<"$(client_geometry "$id" 800 600)"
    [ "$w x $h" = "800 x 600" ] || { log "client area $w x $h, expected 800 x 600"; return 1; }
    scene_visible "$w" "$h" "$x" "$y" || return 1
    press Escape "$id"
    expect_exit 27 15
}

case_fullscreen_refused_yes() {
    start_x xvfb -screen 0 1024x768x24 || return 1
    start_program "$ROOT"
    local id again w h x y
    id=$(find_window "$MAIN_TITLE" 30) || { log "no main window"; return 1; }
    drawing "$id" || return 1
    press F1 "$id"
    answer '^Olvo GL$' y || return 1
    again=$(find_window "$MAIN_TITLE" 15 "$id") || { log "no window after the answer"; return 1; }
    sleep 1
    running || { log "program ended after choosing windowed mode"; return 1; }
    read -r w h x y <<<"$(client_geometry "$again" 800 600)"
    [ "$w x $h" = "800 x 600" ] || { log "client area $w x $h, expected 800 x 600"; return 1; }
    [ "$(root_size)" = "1024x768" ] || { log "screen is $(root_size)"; return 1; }
    expect_boxes "Olvo GL" "$QUESTION" || return 1
    drawing "$again" || return 1
    press Escape "$again"
    expect_exit 27 15
}

case_fullscreen_refused_no() {
    start_x xvfb -screen 0 1024x768x24 || return 1
    start_program "$ROOT"
    local id
    id=$(find_window "$MAIN_TITLE" 30) || { log "no main window"; return 1; }
    drawing "$id" || return 1
    press F1 "$id"
    answer '^Olvo GL$' n || return 1
    answer '^ERROR$' Return || return 1
    expect_exit 0 15 || return 1
    expect_boxes "Olvo GL" "$QUESTION" "ERROR" "Program Will Now Close."
}

case_fullscreen_granted() {
    write_dummy_config
    start_x xorg -config "$WORK/xorg-dummy.conf" || return 1
    [ "$(root_size)" = "1024x768" ] || { log "dummy screen starts at $(root_size)"; return 1; }
    start_program "$ROOT"
    local id full back w h x y
    id=$(find_window "$MAIN_TITLE" 30) || { log "no main window"; return 1; }
    drawing "$id" || return 1
    press F1 "$id"
    wait_root_size 800x600 15 || { log "screen stayed $(root_size) after F1"; return 1; }
    full=$(find_window "$MAIN_TITLE" 15 "$id") || { log "no fullscreen window"; return 1; }
    read -r w h x y <<<"$(client_geometry "$full" 800 600)"
    [ "$w x $h @ $x,$y" = "800 x 600 @ 0,0" ] || { log "fullscreen window $w x $h at $x,$y"; return 1; }
    scene_visible "$w" "$h" "$x" "$y" || return 1
    press F1 "$full"
    wait_root_size 1024x768 15 || { log "screen stayed $(root_size) after the second F1"; return 1; }
    back=$(find_window "$MAIN_TITLE" 15 "$full") || { log "no window after leaving fullscreen"; return 1; }
    read -r w h x y <<<"$(client_geometry "$back" 800 600)"
    [ "$w x $h" = "800 x 600" ] || { log "client area $w x $h, expected 800 x 600"; return 1; }
    drawing "$back" || return 1
    press Escape "$back"
    expect_exit 27 15
}

case_no_glx() {
    start_x xvfb -screen 0 1024x768x24 -extension GLX || return 1
    start_program "$ROOT"
    answer '^ERROR$' Return || return 1
    expect_exit 0 15 || return 1
    expect_boxes "ERROR" "Can't Find A Suitable PixelFormat."
}

case_data_missing() {
    local empty="$CASE_DIR/empty"
    mkdir -p "$empty"
    start_x xvfb -screen 0 1024x768x24 || return 1
    start_program "$empty"
    local n
    for n in 1 2 3 4; do
        answer '^error$' Return || return 1
    done
    expect_exit 0 15 || return 1
    expect_boxes "Error" 'Failed to open DIB file data/ship_alpha.bmp.\n' \
                 "Error" 'Failed to open DIB file data/merolan_alpha.bmp.\n' \
                 "Error" 'Failed to open DIB file data/light_alpha.bmp.\n' \
                 "ERROR" "Initialization Failed."
}

case_close_window() {
    start_x xvfb -screen 0 1024x768x24 || return 1
    start_program "$ROOT"
    local id
    id=$(find_window "$MAIN_TITLE" 30) || { log "no main window"; return 1; }
    drawing "$id" || return 1
    python3 "$HERE/close_window.py" "$id" || { log "could not send WM_DELETE_WINDOW"; return 1; }
    expect_exit 0 15
}

run_case() {
    CASE=$1
    CASE_DIR="$WORK/$CASE"
    rm -rf "$CASE_DIR"
    mkdir -p "$CASE_DIR"
    local started=$SECONDS result=0
    "case_$CASE" || result=1
    stop_wine
    stop_x
    if [ $result -eq 0 ]; then
        echo "PASS $CASE ($((SECONDS - started)) s)"
    else
        echo "FAIL $CASE ($((SECONDS - started)) s; files in $CASE_DIR)"
        FAILURES=$((FAILURES + 1))
    fi
}

[ -f "$EXE" ] || { echo "e2e: no program at $EXE (build the win32 preset first)" >&2; exit 1; }
mkdir -p "$WORK"
ensure_wine_prefix || exit 1
stop_wine

CASES=(windowed fullscreen_refused_yes fullscreen_refused_no fullscreen_granted no_glx data_missing close_window)
for name in "${CASES[@]}"; do
    run_case "$name"
done
echo "$((${#CASES[@]} - FAILURES)) passed, $FAILURES failed"
[ $FAILURES -eq 0 ]
