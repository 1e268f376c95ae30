#!/usr/bin/env bash
# idle_cpu.sh [SECONDS] -- prints the share of one core the program itself takes (its user and system ticks from
# /proc) while its window is in view and while it is minimised, each over SECONDS (default 10), under openbox: on
# SDL2 under Xvfb and on Wine. Also how loaded the machine was (the load average), as other work shares the cores.
# It prints figures and never fails. Programs: OLVO_SDL2 (default build/release/olvo-gl), OLVO_WIN32
# (build/win64/olvo-gl.exe).
cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 0
python3 - "${1:-10}" "${OLVO_SDL2:-build/release/olvo-gl}" "${OLVO_WIN32:-build/win64/olvo-gl.exe}" <<'PY'
import importlib
import os
import sys
import time

sys.path.insert(0, "tests/e2e")
import driver
sys.modules["driver"] = driver

seconds = float(sys.argv[1])
for backend, program in (("sdl2", sys.argv[2]), ("wine", sys.argv[3])):
    a = importlib.import_module("adapter_" + backend).Adapter(os.path.abspath(program))
    if a.missing():
        print(f"{backend}: missing {', '.join(a.missing())}; left out")
        continue
    try:
        driver.started(a, "window_manager")
        visible = driver.cpu_share(a, seconds)
        a.minimise()
        driver.wait_for(10, lambda: a.window() is None, "the window minimised")
        time.sleep(0.5)
        minimised = driver.cpu_share(a, seconds)
        print(f"{backend:5} in view {visible:7.1%} of a core   minimised {minimised:6.1%}   "
              f"(load average {os.getloadavg()[0]:.1f} on {os.cpu_count()} cores)", flush=True)
    except Exception as failure:
        print(f"{backend}: stopped: {failure}")
    finally:
        a.stop()
PY
exit 0
