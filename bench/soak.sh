#!/usr/bin/env bash
# soak.sh [MINUTES] [REBUILDS] -- runs the program long and prints what it holds: its resident memory, open
# files and mappings, and the X server's resources, at the start, the middle and the end of REBUILDS F1 rebuilds
# (default 1000) and then of MINUTES of drawing (default 30). On SDL2 under Xvfb with an 800 x 600 mode, and on Wine
# under Xorg's dummy driver; then the browser build in headless Chromium over MINUTES of drawing: the page's
# JavaScript heap (after a garbage collection), the program's WebAssembly memory and the page's DOM nodes. The
# figures should stay flat. It prints figures and never fails; the defaults take about two hours.
# Programs: OLVO_SDL2 (default build/release/olvo-gl), OLVO_WIN32 (build/win64/olvo-gl.exe), OLVO_WEB (build/web).
cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 0
# Debian's own Python, whatever python3 comes first on the PATH: the browser's driver needs its python3-websocket.
/usr/bin/python3 - "${1:-30}" "${2:-1000}" "${OLVO_SDL2:-build/release/olvo-gl}" \
    "${OLVO_WIN32:-build/win64/olvo-gl.exe}" "${OLVO_WEB:-build/web}" <<'EOF'
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


def show_page(moment, browser):
    browser.call("HeapProfiler.collectGarbage", timeout=60)
    heap = browser.call("Runtime.getHeapUsage")
    wasm = browser.evaluate("Module.HEAP8 ? Module.HEAP8.buffer.byteLength : 0") or 0
    nodes = browser.call("Memory.getDOMCounters")["nodes"]
    print(f"{'web':5} {moment:24} JS heap {heap['usedSize'] // 1024:6d} kB (of {heap['totalSize'] // 1024:6d} kB)  "
          f"wasm memory {wasm // 1024:6d} kB  DOM nodes {nodes:4d}", flush=True)


for backend, program in (("sdl2", sys.argv[3]), ("wine", sys.argv[4]), ("web", sys.argv[5])):
    a = importlib.import_module("adapter_" + backend).Adapter(os.path.abspath(program))
    if a.missing():
        print(f"{backend}: missing {', '.join(a.missing())}; left out")
        continue
    try:
        if backend == "web":  # a page has no F1 rebuild to soak: the browser keeps its window
            driver.started(a)
            show_page("start", a.browser)
            for half in (1, 2):
                time.sleep(minutes * 30)
                show_page(f"{minutes * half / 2:g} minutes drawing", a.browser)
            driver.expect_drawing(a, moving=True)
            continue
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
