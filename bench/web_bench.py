#!/usr/bin/env python3
"""Benchmark of the web build in headless Chromium: frames per second over 10 s from the page's own animation
frames, page load to the first frame shown, and what a visitor downloads. Prints figures; never fails.

usage: bench/web_bench.py [SITE]   (default build/web; build it with the web preset first)
Goals: the display's rate (60 fps), the first frame within 1 s, the code (page, .js, .wasm) under 300 KB gzipped.
"""
import gzip
import os
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import serve_web  # noqa: E402
import web_chromium  # noqa: E402

# Each swap of the program waits for one animation frame: the time each frame's callback runs, from the start
# of the page's navigation, is the time a drawn frame was shown; from there to the next request is the program's
# own work for the next frame.
FRAME_CLOCK = """
const realRequest = window.requestAnimationFrame.bind(window);
window.frameTimes = [];
window.frameWork = [];
window.requestAnimationFrame = (callback) => {
  if (window.frameTimes.length) window.frameWork.push(performance.now() - window.frameTimes.at(-1));
  return realRequest((time) => {
    window.frameTimes.push(performance.now());
    callback(time);
  });
};
"""
SECONDS = 10


def sizes(site):
    print(f"{'file':<16}{'bytes':>12}{'gzipped':>12}")
    code = [0, 0]
    for name in sorted(os.listdir(site)):
        data = open(os.path.join(site, name), "rb").read()
        packed = len(gzip.compress(data, 9))
        print(f"{name:<16}{len(data):>12}{packed:>12}")
        if not name.endswith(".data"):
            code = [code[0] + len(data), code[1] + packed]
    print(f"{'code':<16}{code[0]:>12}{code[1]:>12}   (goal: under 300 KB gzipped)")


def browser_cpu_seconds(browser):
    """CPU time used so far by the browser's processes (the page, the GPU process that rasterises, ...)."""
    total = 0
    for name in os.listdir("/proc"):
        try:
            fields = open(f"/proc/{name}/stat").read().rsplit(") ", 1)[1].split()
        except (OSError, IndexError):
            continue
        if int(fields[2]) == browser.process.pid:  # the process group
            total += int(fields[11]) + int(fields[12])
    return total / os.sysconf("SC_CLK_TCK")


def frames(site):
    server = serve_web.open_server(site, 0, quiet=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    browser = web_chromium.Chromium(f"http://127.0.0.1:{server.server_address[1]}/", before_load=FRAME_CLOCK)
    try:
        deadline = time.monotonic() + 20
        while not browser.evaluate("window.frameTimes && window.frameTimes.length") and time.monotonic() < deadline:
            time.sleep(0.05)
        first = browser.evaluate("window.frameTimes[0]")
        if first is None:
            print("no frame was shown within 20 s")
            return
        print(f"page load to first frame shown: {first:.0f} ms   (goal: under 1000 ms)")
        start, cpu = len(browser.evaluate("window.frameTimes")), browser_cpu_seconds(browser)
        time.sleep(SECONDS)
        cpu = browser_cpu_seconds(browser) - cpu
        times = browser.evaluate("window.frameTimes")[start:]
        work = sorted(browser.evaluate("window.frameWork")[start:])
        gaps = sorted(b - a for a, b in zip(times, times[1:]))
        if not gaps:
            print("no frames in the measuring window")
            return
        fps = len(gaps) / ((times[-1] - times[0]) / 1000)
        print(f"frames per second over {SECONDS} s: {fps:.1f}   (goal: 60)")
        print(f"frame time: median {gaps[len(gaps) // 2]:.1f} ms, "
              f"99th percentile {gaps[len(gaps) * 99 // 100]:.1f} ms, worst {gaps[-1]:.1f} ms")
        print(f"per frame: the program's own work {work[len(work) // 2]:.1f} ms (median), the browser's CPU time "
              f"{1000 * cpu / len(gaps):.1f} ms in all (rasterising in software included); load average "
              f"{os.getloadavg()[0]:.1f} on {os.cpu_count()} cores")
        errors = browser.errors()
        if errors:
            print("page errors: " + "; ".join(errors))
    finally:
        browser.close()
        server.shutdown()


def main():
    site = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "web")
    if not os.path.exists(os.path.join(site, "olvo-gl.js")):
        print(f"no web build in {site}: cmake --preset web && cmake --build --preset web")
        return 0
    sizes(site)
    missing = web_chromium.missing()
    if missing:
        print(f"no browser run: missing {', '.join(missing)}")
        return 0
    frames(site)
    return 0


if __name__ == "__main__":
    sys.exit(main())
