#!/usr/bin/env python3
"""Benchmark of the web build in headless Chromium, against its ceiling: bench/webgl_ceiling.html draws the same
work each frame straight in WebGL with one shader. At device scale factors 1 and 2, and on an emulated phone
(390 x 844 CSS px, scale 3), it prints each page's frames per second (the program's as a share of the ceiling's),
its own work per frame, the browser's CPU time per frame and the page load to the first frame shown, and on the
phone the pixels drawn per pixel shown; what a visitor downloads; and, from a plain server and a compressing one
at 1 MiB/s, the bytes and time to the first frame of a first and of a repeat visit; and Lighthouse's four
categories and Total Blocking Time with its mobile and desktop presets. Prints figures; never fails.

usage: bench/web_bench.py [--profile] [SITE]   (default build/web; build it with the web preset first)
--profile also counts the WebGL calls each page makes a frame, and samples each page's main thread for a few
seconds to print where its time goes.
Goals: at least 0.9 of the ceiling's frames per second, the program's own work at most 2 ms a frame, the first
frame within 1 s, the code (page, .js, .wasm) under 300 KB gzipped; a first visit at most 0.6 MB from any server,
a repeat visit no bytes of the program and its pictures and its first frame within 0.5 s; at most 1.05 pixels
drawn per pixel shown; accessibility, best practices and SEO at 100 in Lighthouse on both presets.
Lighthouse (LIGHTHOUSE_VERSION, which runs on Debian's Node) is installed from the npm registry into
build/lighthouse on the first run; its performance score on SwiftShader measures the software rasteriser more
than the page.
"""
import gzip
import json
import os
import posixpath
import statistics
import subprocess
import sys
import threading
import time
from urllib.parse import urlsplit

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path[:0] = [os.path.join(ROOT, "tools"), os.path.join(ROOT, "tests", "e2e")]
import serve_web  # noqa: E402
import web_chromium  # noqa: E402

# Each swap of the program waits for one animation frame: the time each frame's callback runs, from the start
# of the page's navigation, is the time a drawn frame was shown; from there to the next request is the page's
# own work for the next frame. The ceiling page draws in its callback and then asks for the next frame, so the
# same clock measures both.
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
# With --profile: every WebGL call the page makes is counted, with the bytes it hands over (buffers, textures).
CALL_COUNTER = """
window.glCalls = {};
window.glBytes = 0;
for (const name of Object.getOwnPropertyNames(WebGLRenderingContext.prototype)) {
  const real = Object.getOwnPropertyDescriptor(WebGLRenderingContext.prototype, name).value;
  if (typeof real !== 'function' || name === 'constructor') continue;
  WebGLRenderingContext.prototype[name] = function(...args) {
    window.glCalls[name] = (window.glCalls[name] || 0) + 1;
    for (const arg of args) if (ArrayBuffer.isView(arg)) window.glBytes += arg.byteLength;
    return real.apply(this, args);
  };
}
"""
SCALES = (1, 2)
ROUNDS = 2       # each page measured this often per scale, in turns, so a change of load hits both alike
SECONDS = 5      # measured per round, after the first frame and a settling second
FIRST_FRAME_WAIT = 20
PHONE = {"width": 390, "height": 844, "deviceScaleFactor": 3, "mobile": True}
SLOW = {"offline": False, "latency": 20, "downloadThroughput": 1 << 20, "uploadThroughput": 1 << 20}
# Pixels drawn (the canvas's buffer) per pixel the screen shows of it.
DRAWN_PER_SHOWN = """(c => { const r = c.getBoundingClientRect(), s = devicePixelRatio * visualViewport.scale;
  return c.width * c.height / (r.width * s * r.height * s); })(document.getElementById('canvas'))"""
PROFILE_SECONDS = 3
LIGHTHOUSE_VERSION = "12.2.3"
LIGHTHOUSE = os.path.join(ROOT, "build", "lighthouse")
CATEGORIES = ("performance", "accessibility", "best-practices", "seo")


def sizes(site):
    print(f"{'file':<16}{'bytes':>12}{'gzipped':>12}")
    code = [0, 0]
    for name in sorted(os.listdir(site)):
        path = os.path.join(site, name)
        if not os.path.isfile(path):
            continue
        data = open(path, "rb").read()
        packed = len(gzip.compress(data, 9))
        print(f"{name:<16}{len(data):>12}{packed:>12}")
        if name.endswith((".html", ".js", ".wasm")):
            code = [code[0] + len(data), code[1] + packed]
    print(f"{'code':<16}{code[0]:>12}{code[1]:>12}   (goal: under 300 KB gzipped)")


def cpu_seconds(path):
    """(process group, user + system CPU seconds) from a /proc stat file; None when it is gone."""
    try:
        fields = open(path).read().rsplit(") ", 1)[1].split()
    except (OSError, IndexError):
        return None
    return int(fields[2]), (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def browser_cpu_seconds(browser):
    """CPU time used so far by the browser's processes (the page, the GPU process that rasterises, ...), and by
    the main thread of each page process: there the page's script and its WebGL calls run. CPU time, unlike the
    time between callbacks, leaves out the time other programs had the processor."""
    total, pages = 0, {}
    for name in os.listdir("/proc"):
        stat = cpu_seconds(f"/proc/{name}/stat")
        if not stat or stat[0] != browser.process.pid:  # the browser's process group only
            continue
        total += stat[1]
        try:  # a page process's main thread: nanoseconds on the processor, finer than the stat file's ticks
            if b"--type=renderer" in open(f"/proc/{name}/cmdline", "rb").read():
                pages[name] = int(open(f"/proc/{name}/task/{name}/schedstat").read().split()[0]) / 1e9
        except (OSError, IndexError, ValueError):
            pass
    return total, pages


def serve(folder):
    server = serve_web.open_server(folder, 0, quiet=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, f"http://127.0.0.1:{server.server_address[1]}/"


def first_frame(browser):
    """The first frame's time from the start of navigation, in ms; else the reason there is none."""
    deadline = time.monotonic() + FIRST_FRAME_WAIT
    while time.monotonic() < deadline:
        shown = browser.evaluate("window.frameTimes && window.frameTimes.length ? window.frameTimes[0] : null")
        if shown is not None:
            return shown, None
        # The ceiling page says why it can't draw; the program's page says so in its notice.
        reason = browser.evaluate("typeof window.ceiling === 'string' && !['loading', 'drawing']"
                                  ".includes(window.ceiling) ? window.ceiling : null")
        if reason:
            return None, reason
        time.sleep(0.05)
    return None, f"no frame was shown within {FIRST_FRAME_WAIT} s"


def phone(browser):
    browser.call("Emulation.setDeviceMetricsOverride", **PHONE)
    browser.call("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)


def measure(url, scale, profile=False):
    """One fresh browser on url at the device scale factor (the phone's when "phone"): a dict of what was
    measured, or of why not."""
    # The screen (in device pixels) holds the browser's window at any scale: the page draws no more pixels than
    # the screen has.
    desktop = scale != "phone"
    browser = web_chromium.Chromium(url, flags=[f"--force-device-scale-factor={scale}"] if desktop else [],
                                    screen=(1024 * scale, 900 * scale) if desktop else (800, 600),
                                    before_load=FRAME_CLOCK, setup=None if desktop else phone)
    try:
        shown, reason = first_frame(browser)
        if reason:
            return {"failed": reason}
        time.sleep(1)  # past the first frames' one-off work (shader compiles, texture uploads)
        start, (cpu, pages) = len(frame_list(browser, "frameTimes")), browser_cpu_seconds(browser)
        time.sleep(SECONDS)
        cpu_after, pages_after = browser_cpu_seconds(browser)
        cpu = cpu_after - cpu
        # The page's process is the one whose main thread worked most.
        main_thread = max([pages_after[p] - pages[p] for p in pages if p in pages_after], default=0)
        times = frame_list(browser, "frameTimes")[start:]
        result = {
            "first": shown, "frames": len(times) - 1, "span": (times[-1] - times[0]) / 1000 if times else 0,
            "gaps": [b - a for a, b in zip(times, times[1:])], "work": frame_list(browser, "frameWork")[start:],
            "cpu": cpu, "main": main_thread, "buffer": browser.evaluate("(c => c && c.width + 'x' + c.height)"
                                                   "(document.getElementById('canvas'))"),
            "drawn": browser.evaluate(DRAWN_PER_SHOWN), "errors": browser.errors()}
        if profile:
            try:
                result["profile"] = sample(browser)
            except Exception as error:  # the figures above stand without it
                result["errors"].append(f"profile: {error}")
        return result
    finally:
        browser.close()


def frame_list(browser, name):
    """One of FRAME_CLOCK's lists; empty where the page is gone."""
    return browser.evaluate(f"window.{name}") or []


def sample(browser):
    """(function, place, ms per frame of its own time) from the page's sampling profiler, busiest first."""
    browser.call("Profiler.enable")
    browser.call("Profiler.setSamplingInterval", interval=200)  # microseconds
    count = len(frame_list(browser, "frameTimes"))
    browser.call("Profiler.start")
    time.sleep(PROFILE_SECONDS)
    profile = browser.call("Profiler.stop", timeout=60)["profile"]
    frames = max(1, len(frame_list(browser, "frameTimes")) - count)
    nodes = {node["id"]: node["callFrame"] for node in profile["nodes"]}
    own = {}
    for node, delta in zip(profile["samples"], profile["timeDeltas"]):
        frame = nodes[node]
        name = frame["functionName"] or "(anonymous)"
        place = f"{posixpath.basename(urlsplit(frame['url']).path)}:{frame['lineNumber'] + 1}" if frame["url"] else ""
        own[(name, place)] = own.get((name, place), 0) + delta / 1000
    return sorted(((name, place, ms / frames) for (name, place), ms in own.items()), key=lambda x: -x[2])


def count_calls(url):
    """(calls per frame by name, bytes per frame) of the WebGL calls the page makes; None when it drew nothing."""
    browser = web_chromium.Chromium(url, before_load=FRAME_CLOCK + CALL_COUNTER)
    try:
        if first_frame(browser)[1]:
            return None
        time.sleep(1)
        taken = "JSON.stringify([window.frameTimes.length, window.glCalls, window.glBytes])"
        before = json.loads(browser.evaluate(taken))
        time.sleep(2)
        after = json.loads(browser.evaluate(taken))
        frames = after[0] - before[0]
        if frames <= 0:
            return None
        calls = {name: (count - before[1].get(name, 0)) / frames for name, count in after[1].items()}
        return {name: n for name, n in calls.items() if n > 0}, (after[2] - before[2]) / frames
    finally:
        browser.close()


def print_calls(pages):
    for name, url in pages:
        try:
            counted = count_calls(url)
        except Exception as error:  # a browser that won't start or answer
            counted, error_text = None, str(error)
        else:
            error_text = "no frames drawn"
        if not counted:
            print(f"\n{name}: WebGL calls not counted: {error_text}")
            continue
        calls, data = counted
        busiest = sorted(calls.items(), key=lambda item: -item[1])[:12]
        print(f"\n{name}: {sum(calls.values()):.0f} WebGL calls a frame, {data / 1024:.1f} KB handed over; "
              + ", ".join(f"{call} {n:.0f}" for call, n in busiest))


def visits(site, compress):
    """(bytes the server sent, ms to the first frame) of a first visit and of a repeat one (the worker's cache
    filled), at 1 MiB/s; the repeat's bytes are the program's and pictures' only (the page is asked of the server)."""
    sent = []  # [path, bytes] of each answer
    server = serve_web.open_server(site, 0, quiet=True, compress=compress, sent=sent)
    threading.Thread(target=server.serve_forever, daemon=True).start()

    def slow(browser):
        browser.call("Network.enable")
        browser.call("Network.emulateNetworkConditions", **SLOW)
    browser = web_chromium.Chromium(f"http://127.0.0.1:{server.server_address[1]}/", before_load=FRAME_CLOCK,
                                    setup=slow)
    try:
        figures = []
        for visit in ("first", "repeat"):
            shown, reason = first_frame(browser)
            if reason:
                return f"no frame on the {visit} visit: {reason}"
            moved = [size for path, size in sent if visit == "first" or "/olvo-gl." in path]
            figures.append((sum(moved), shown))
            if visit == "first":
                ready = ("navigator.serviceWorker.ready.then(() => caches.keys()).then(k => k.length == 1"
                         " && !!navigator.serviceWorker.controller)")
                deadline = time.monotonic() + FIRST_FRAME_WAIT
                while not browser.evaluate(ready) and time.monotonic() < deadline:
                    time.sleep(0.1)
                sent.clear()
                browser.call("Page.reload")
        return figures
    finally:
        browser.close()
        server.shutdown()
        server.server_close()


def print_visits(site):
    print("\nvisits at 1 MiB/s                    bytes   first frame (ms)")
    for name, compress in (("plain server", False), ("compressing server", True)):
        try:
            figures = visits(site, compress)
        except Exception as error:  # a browser that won't start or answer
            figures = f"browser: {error}"
        if isinstance(figures, str):
            print(f"  {name}: {figures}")
            continue
        for visit, (moved, shown) in zip(("first visit", "repeat visit"), figures):
            print(f"  {name + ', ' + visit:<34}{moved:>8}{shown:>12.0f}")
    print("  (goals: a first visit at most 600000 bytes; a repeat visit 0 bytes of the program and pictures,"
          " its first frame within 500 ms)")


def lighthouse(url, preset):
    """Lighthouse's report on url with its mobile or desktop preset, as a dict; else why there is none."""
    program = os.path.join(LIGHTHOUSE, "node_modules", ".bin", "lighthouse")
    if not os.path.exists(program):
        try:
            subprocess.run(["npm", "install", "--prefix", LIGHTHOUSE, f"lighthouse@{LIGHTHOUSE_VERSION}"], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
        except (OSError, subprocess.SubprocessError) as error:
            return f"Lighthouse {LIGHTHOUSE_VERSION} could not be installed with npm: {error}"
    flags = "--headless=new --no-sandbox --use-angle=swiftshader --enable-unsafe-swiftshader"
    command = [program, url, "--quiet", "--output=json", "--output-path=stdout", f"--chrome-flags={flags}",
               f"--only-categories={','.join(CATEGORIES)}"] + (["--preset=desktop"] if preset == "desktop" else [])
    try:
        run = subprocess.run(command, capture_output=True, text=True, timeout=600,
                             env=dict(os.environ, CHROME_PATH=web_chromium.BROWSER))
        return json.loads(run.stdout)
    except (OSError, subprocess.SubprocessError, ValueError) as error:
        return f"Lighthouse failed: {error}"


def print_lighthouse(url):
    print(f"\nLighthouse {LIGHTHOUSE_VERSION}       " + "".join(f"{name:>16}" for name in CATEGORIES) +
          "  Total Blocking Time (ms)")
    for preset in ("mobile", "desktop"):
        report = lighthouse(url, preset)
        if isinstance(report, str):
            print(f"  {preset}: {report}")
            continue
        categories = report["categories"]
        scores = [categories[name]["score"] for name in CATEGORIES]
        print(f"  {preset:<22}" + "".join(f"{'-' if s is None else round(100 * s):>16}" for s in scores) +
              f"{report['audits']['total-blocking-time']['numericValue']:>26.0f}")
        # What keeps a category below 100: its weighted audits that didn't pass.
        for name in CATEGORIES[1:]:
            for ref in categories[name]["auditRefs"]:
                audit = report["audits"][ref["id"]]
                if ref["weight"] and audit["score"] is not None and audit["score"] < 1:
                    print(f"    {name}: {audit['title']}")
    print("  (goal: accessibility, best practices and SEO 100 on both presets)")


def median(values):
    return statistics.median(values) if values else float("nan")


def summary(rounds):
    """Frames per second, frame times, own work and browser CPU over every round that drew."""
    drawn = [r for r in rounds if "failed" not in r and r["frames"] > 0]
    if not drawn:
        return None
    frames = sum(r["frames"] for r in drawn)
    gaps = sorted(g for r in drawn for g in r["gaps"])
    return {"fps": frames / sum(r["span"] for r in drawn), "median": median(gaps),
            "p99": gaps[len(gaps) * 99 // 100], "work": median([w for r in drawn for w in r["work"]]),
            "cpu": 1000 * sum(r["cpu"] for r in drawn) / frames,
            "main": 1000 * sum(r["main"] for r in drawn) / frames, "first": [r["first"] for r in drawn],
            "buffer": drawn[0]["buffer"], "drawn": drawn[0]["drawn"]}


def report(scale, program_rounds, ceiling_rounds):
    print(f"\ndevice scale factor {scale}" if scale != "phone" else "\nthe phone: 390 x 844 CSS px, scale 3")
    for name, rounds in (("program", program_rounds), ("ceiling", ceiling_rounds)):
        for line in {r["failed"] for r in rounds if "failed" in r} | {e for r in rounds for e in r.get("errors", [])}:
            print(f"  {name}: {line}")
    program, ceiling = summary(program_rounds), summary(ceiling_rounds)
    rows = [("drawing buffer", "{}", "buffer"), ("frames per second", "{:.1f}", "fps"),
            ("frame time, median (ms)", "{:.1f}", "median"), ("frame time, 99th percentile (ms)", "{:.1f}", "p99"),
            ("own work per frame, median (ms)", "{:.2f}", "work"),
            ("page's main thread CPU per frame (ms)", "{:.2f}", "main"),  # script, GL calls, canvas copy
            ("browser CPU per frame, in all (ms)", "{:.1f}", "cpu")]
    print(f"  {'':<36}{'program':>12}{'ceiling':>12}")
    for label, form, key in rows:
        cells = [form.format(s[key]) if s else "-" for s in (program, ceiling)]
        print(f"  {label:<36}{cells[0]:>12}{cells[1]:>12}")
    if program:
        firsts = ", ".join(f"{t:.0f}" for t in program["first"])
        print(f"  page load to first frame shown: {firsts} ms   (goal: under 1000 ms)")
        print(f"  program's own work: {program['work']:.2f} ms a frame   (goal: at most 2 ms)")
        screen = f"{800 * scale}x{600 * scale}" if scale != "phone" else program["buffer"]
        print(f"  pixels drawn per pixel shown: {program['drawn']:.3f}   (goal: at most 1.05)")
        if program["buffer"] != screen:
            print(f"  the program draws {program['buffer']} pixels where the screen has {screen}: scaled up, not sharp")
    if program and ceiling:
        print(f"  program's frames per second as a share of the ceiling's: {program['fps'] / ceiling['fps']:.2f}"
              "   (goal: at least 0.9)")
        # Where the browser's work, not the display, sets the pace, this share is what a machine of its own
        # would show; CPU time doesn't count the time other programs had the processor, so load moves it less.
        print(f"  the same share from the browser's CPU time per frame: {ceiling['cpu'] / program['cpu']:.2f}")
        if program["buffer"] != ceiling["buffer"]:
            print("  (the drawing buffers differ: the two pages don't draw the same number of pixels)")


def print_profiles(scale, program_rounds, ceiling_rounds):
    for name, rounds in (("program", program_rounds), ("ceiling", ceiling_rounds)):
        profile = next((r["profile"] for r in rounds if "profile" in r), None)
        if not profile:
            continue
        # "(program)" is the browser's native code (the WebGL command stream among it), "(idle)" waiting.
        script = sum(ms for function, _, ms in profile if function not in ("(idle)", "(program)"))
        print(f"\n{name} at scale {scale}: main thread's own time per frame by function "
              f"({script:.2f} ms a frame in script and garbage collection)")
        for function, place, ms in profile[:14]:
            print(f"  {ms:8.3f} ms  {function[:48]:<48} {place}")


def main():
    args = sys.argv[1:]
    profile = "--profile" in args
    args = [a for a in args if a != "--profile"]
    site = args[0] if args else os.path.join(ROOT, "build", "web")
    if not os.path.exists(os.path.join(site, "olvo-gl.js")):
        print(f"no web build in {site}: cmake --preset web && cmake --build --preset web")
        return 0
    sizes(site)
    missing = web_chromium.missing()
    if missing:
        print(f"no browser run: missing {', '.join(missing)}")
        return 0
    site_server, site_url = serve(site)
    root_server, root_url = serve(ROOT)  # the ceiling page reads the pictures from data/
    ceiling_url = root_url + "bench/webgl_ceiling.html"
    print(f"\nload average before: {os.getloadavg()[0]:.2f} on {os.cpu_count()} cores; each page {ROUNDS} x "
          f"{SECONDS} s a scale, in turns")
    try:
        print_visits(site)
        if profile:
            print_calls((("program", site_url), ("ceiling", ceiling_url)))
        for scale in (*SCALES, "phone"):
            program_rounds, ceiling_rounds = [], []
            for turn in range(ROUNDS):
                # The ceiling draws as many pixels as the program did, so the share compares like with like.
                for page, rounds in (("program", program_rounds), ("ceiling", ceiling_rounds)):
                    buffer = next((r["buffer"] for r in program_rounds if r.get("buffer")), None)
                    url = site_url if page == "program" else ceiling_url + (f"?buffer={buffer}" if buffer else "")
                    try:
                        rounds.append(measure(url, scale, profile and turn == ROUNDS - 1))
                    except Exception as error:  # a browser that won't start or answer is a figure too
                        rounds.append({"failed": f"browser: {error}"})
            report(scale, program_rounds, ceiling_rounds)
            if profile:
                print_profiles(scale, program_rounds, ceiling_rounds)
        print_lighthouse(site_url)
    finally:
        site_server.shutdown()
        root_server.shutdown()
    print(f"\nload average after: {os.getloadavg()[0]:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
