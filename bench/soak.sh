#!/usr/bin/env bash
# soak.sh [MINUTES] [REBUILDS] -- runs the program long and prints what it holds: its resident memory, open
# files and mappings, and the X server's resources, at the start, the middle and the end of REBUILDS F1 rebuilds
# (default 500) and then of MINUTES of drawing (default 10). On SDL2 under Xvfb with an 800 x 600 mode, and on Wine
# under Xorg's dummy driver. The figures should stay flat. It prints figures and never fails.
# Programs: OLVO_SDL2 (default build/release/olvo-gl), OLVO_WIN32 (build/win64/olvo-gl.exe).
cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 0
python3 - "${1:-10}" "${2:-500}" "${OLVO_SDL2:-build/release/olvo-gl}" "${OLVO_WIN32:-build/win64/olvo-gl.exe}" <<'EOF'
import importlib
import os
import sys
import time

sys.path.insert(0, "tests/e2e")
import driver
sys.modules["driver"] = driver

minutes, rebuilds = float(sys.argv[1]), int(sys.argv[2])


def show(backend, moment, held):
    print(f"{backend:5} {moment:24} rss {held['rss_kb']:7d} kB  files {held['files']:3d}  "
          f"mappings {held['mappings']:5d} (files {held['file_mappings']:4d})  X resources {held['x_resources']:4d}",
          flush=True)


for backend, program in (("sdl2", sys.argv[3]), ("wine", sys.argv[4])):
    a = importlib.import_module("adapter_" + backend).Adapter(os.path.abspath(program))
    if a.missing():
        print(f"{backend}: missing {', '.join(a.missing())}; left out")
        continue
    try:
        screen = driver.started(a, a.rebuild_display)
        show(backend, "start", a.footprint())
        started = time.monotonic()
        try:  # if rebuilds stop, the drawing still counts
            show(backend, f"{rebuilds // 2} rebuilds", driver.rebuild(a, screen, rebuilds // 2))
            show(backend, f"{rebuilds // 2 * 2} rebuilds", driver.rebuild(a, screen, rebuilds // 2))
        except driver.Failure as failure:
            print(f"{backend:5} rebuilds stopped: {failure}")
        print(f"{backend:5} rebuilds took {time.monotonic() - started:.0f} s")
        for half in (1, 2):
            time.sleep(minutes * 30)
            show(backend, f"{minutes * half / 2:g} minutes drawing", a.footprint())
        driver.expect_drawing(a, moving=True)
    except Exception as failure:
        print(f"{backend}: stopped: {failure}")
    finally:
        a.stop()
EOF
exit 0
