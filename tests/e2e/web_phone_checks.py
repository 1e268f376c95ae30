#!/usr/bin/env python3
"""The page on phones, small windows, installed and offline, in headless Chromium: its layout on each screen and
through a turn, the drawing buffer (zoomed in too), touch on the key buttons, fullscreen where elements have none,
the bytes a first visit moves from a plain and a compressing server and the progress bar's share of them, a start
with the server gone or answering an error for the page, the manifest and its version, two copies of the site on
one host, and a new build picked up after an upload a visitor came in the middle of.

usage: web_phone_checks.py SITE [OUTDIR]   (from the repository root; OUTDIR keeps pictures of each screen;
OLVO_VERSION is the project's version, which the manifest carries)
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

from driver import expect_drawing, expect_exit, wait_for
from web_page_checks import COUNT_LIGHTING, FAILURE, check, click, run, shot

VERSION = os.environ.get("OLVO_VERSION")
# Where the window, its caption and keys lie, what the screen shows of it, the drawing buffer asked for and the
# one WebGL made, and the viewport.
LAYOUT = """(() => {
  const box = (id) => (r => [r.left, r.top, r.right, r.bottom])(document.getElementById(id).getBoundingClientRect());
  const c = document.getElementById('canvas'), gl = c.getContext('webgl');
  return {canvas: box('canvas'), caption: box('caption'), keys: box('keys'), buffer: [c.width, c.height],
          made: [gl.drawingBufferWidth, gl.drawingBufferHeight], viewport: [...gl.getParameter(gl.VIEWPORT)],
          ratio: devicePixelRatio, zoom: visualViewport.scale, view: [innerWidth, innerHeight],
          page: [document.documentElement.scrollWidth, document.documentElement.scrollHeight],
          buttons: [...document.querySelectorAll('#keys button')].map(b => [b.offsetWidth, b.offsetHeight])};
})()"""
# Screens: (name, CSS width, height, device pixel ratio, a phone with touch, what the canvas must fill at least:
# a share of the viewport's width and of its height, or exactly 800 x 600 when None).
PHONE_PORTRAIT, PHONE_LANDSCAPE = ("phone", 390, 844, 3, True, (0.85, 0)), ("phone-turned", 844, 390, 3, True, (0, 0.6))
SCREENS = [PHONE_PORTRAIT, PHONE_LANDSCAPE, ("tablet", 820, 1180, 2, True, (0.85, 0)),
           ("small-window", 640, 480, 1, False, (0.6, 0.6)), ("desktop", 1024, 900, 1, False, None)]
BESIDE = {"phone-turned"}  # the screens too low for the keys below the window
# Stands in for a device whose WebGL draws at most 2048 pixels a side, and which made the drawing buffer a little
# smaller than the canvas asked for, as browsers do when short of memory.
SMALL_GL = """const parameter = WebGLRenderingContext.prototype.getParameter;
WebGLRenderingContext.prototype.getParameter = function(name) {
  return name == this.MAX_VIEWPORT_DIMS ? new Int32Array([2048, 2048]) : name == this.MAX_RENDERBUFFER_SIZE ? 2048
      : parameter.call(this, name);
};
for (const side of ['drawingBufferWidth', 'drawingBufferHeight']) {
  const made = Object.getOwnPropertyDescriptor(WebGLRenderingContext.prototype, side).get;
  Object.defineProperty(WebGLRenderingContext.prototype, side, {get() { return Math.floor(made.call(this) * .95); }});
}"""
# Stands in for an iPhone's browser: no element may go fullscreen.
NO_ELEMENT_FULLSCREEN = """delete Element.prototype.requestFullscreen; delete Element.prototype.webkitRequestFullscreen;
Object.defineProperty(Document.prototype, 'fullscreenEnabled', {get: () => false});"""
# The page's copy of the site keeps one offline cache, its build's, and the worker serves the page.
WORKER_READY = """navigator.serviceWorker.ready.then(() => caches.keys()).then(names =>
  !!navigator.serviceWorker.controller &&
  names.filter(name => name.startsWith(cacheName.slice(0, -buildName.length))).join() == cacheName)"""
# Each move of the progress bar, with the bytes of its files the page had received by then.
BAR_LOG = """(() => {
  window.barLog = [];
  let received = 0;
  const realFetch = window.fetch;
  window.fetch = (...args) => realFetch(...args).then((response) => {
    const stream = response.body, getReader = stream.getReader.bind(stream);
    stream.getReader = () => {
      const reader = getReader(), read = reader.read.bind(reader);
      reader.read = () => read().then((part) => { received += part.done ? 0 : part.value.length; return part; });
      return reader;
    };
    return response;
  });
  const bar = Object.getOwnPropertyDescriptor(HTMLProgressElement.prototype, 'value');
  Object.defineProperty(HTMLProgressElement.prototype, 'value', {get: bar.get, set(share) {
    barLog.push([share, received]);
    bar.set.call(this, share);
  }});
})()"""
BUDGET = 600_000  # bytes of a first visit


def emulate(browser, screen):
    _, width, height, ratio, touch, _ = screen
    browser.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=ratio,
                 mobile=touch)
    browser.call("Emulation.setTouchEmulationEnabled", enabled=touch, maxTouchPoints=5 if touch else 1)


def expect_buffer(layout):
    """The drawing buffer has the pixels the screen shows of the canvas, within one."""
    x0, y0, x1, y1 = layout["canvas"]
    shown = [(x1 - x0) * layout["ratio"] * layout["zoom"], (y1 - y0) * layout["ratio"] * layout["zoom"]]
    check(all(abs(b - s) <= 1 for b, s in zip(layout["buffer"], shown)), f"buffer {layout['buffer']} for {shown}")


def expect_fits(a, screen):
    name, width, height, _, touch, least = screen
    layout = wait_for(10, lambda: (l := a.browser.evaluate(LAYOUT)) and l["view"] == [width, height] and l, "the size")
    x0, y0, x1, y1 = layout["canvas"]
    check(layout["zoom"] == 1 and layout["page"] == [width, height], f"{name}: zoomed or scrolling: {layout}")
    for part in ("canvas", "caption", "keys"):
        left, top, right, bottom = layout[part]
        check(left >= 0 and top >= 0 and right <= width and bottom <= height, f"{name}: {part} off screen: {layout}")
    check(abs((x1 - x0) * 3 - (y1 - y0) * 4) <= 4, f"{name}: not 4:3: {layout['canvas']}")
    beside = name in BESIDE
    check((layout["keys"][0] >= x1, layout["keys"][1] >= y1) == (beside, not beside),
          f"{name}: the keys not {'beside' if beside else 'below'} the window: {layout}")
    if least is None:
        check((x1 - x0, y1 - y0) == (800, 600), f"{name}: the desktop window is not 800 x 600: {layout['canvas']}")
    else:
        check(x1 - x0 >= least[0] * width and y1 - y0 >= least[1] * height, f"{name}: small: {layout['canvas']}")
    if touch:
        check(all(w >= 44 and h >= 44 for w, h in layout["buttons"]), f"{name}: buttons {layout['buttons']}")
    expect_buffer(layout)
    return layout


def expect_zoomed_buffer(a, screen):
    """Zoomed in 3 times: the drawing buffer holds as many pixels as the screen has, or as 2048 a side hold,
    never more, in 4:3; the viewport is the buffer WebGL made."""
    name, width, height, ratio, _, _ = screen
    a.browser.call("Emulation.setPageScaleFactor", pageScaleFactor=3)
    screen_pixels = width * height * ratio * ratio
    most = min(screen_pixels, 2048 * 1536)

    def capped():
        layout = a.browser.evaluate(LAYOUT)
        w, h = layout["buffer"]
        return (layout["zoom"] == 3 and layout["viewport"] == [0, 0, *layout["made"]] and max(w, h) <= 2048 and
                abs(w * 3 - h * 4) <= 4 and most * 0.99 <= w * h <= screen_pixels * 1.001)
    wait_for(10, capped, f"{name}: the drawing buffer zoomed in")


def every_screen(a, outdir):
    """Each screen fits, sharp and moving; a phone turned follows; the desktop window keeps 800 x 600. Each screen
    loads the page anew, in one browser."""
    a.start("plain", before_load=SMALL_GL, setup=lambda browser: emulate(browser, SCREENS[0]))
    for screen in SCREENS:
        if screen is not SCREENS[0]:
            a.browser.call("Emulation.setPageScaleFactor", pageScaleFactor=1)
            emulate(a.browser, screen)
            a.browser.evaluate("window.earlierLoad = true")
            a.browser.call("Page.reload")
            wait_for(10, lambda: a.browser.evaluate("window.earlierLoad") is None, f"{screen[0]}: the page reloaded")
        expect_drawing(a, True, None)
        expect_fits(a, screen)
        shot(a, outdir, screen[0])
        if screen is PHONE_PORTRAIT:
            for turned in (PHONE_LANDSCAPE, PHONE_PORTRAIT):
                emulate(a.browser, turned)
                expect_fits(a, turned)
                expect_drawing(a, True, None)
            shot(a, outdir, "phone-turned-back")
        if screen[4]:
            expect_zoomed_buffer(a, screen)
        check(not a.browser.errors(), f"{screen[0]}: {a.browser.errors()}")


def touch_keys_and_page_fullscreen(a, outdir):
    """On a phone without element fullscreen: taps on L, F1 (the window fills the page, and back) and Esc."""
    a.start("fullscreen_mode", before_load=NO_ELEMENT_FULLSCREEN, setup=lambda b: emulate(b, PHONE_PORTRAIT))
    expect_drawing(a, True, None)
    a.browser.evaluate(COUNT_LIGHTING)
    click(a, "#keys button:nth-child(3)", touch=True)
    wait_for(5, lambda: a.browser.evaluate("lightingOn"), "L's button tapped")
    windowed = a.browser.evaluate(LAYOUT)["canvas"]
    click(a, "#keys button:nth-child(2)", touch=True)

    def filled():
        layout = a.browser.evaluate(LAYOUT)
        x0, y0, x1, y1 = layout["canvas"]
        return x0 == 0 and x1 == 390 and abs((y0 + y1) / 2 - 422) <= 1 and abs(y1 - y0 - 292.5) <= 1 and layout
    expect_buffer(wait_for(20, filled, "the window filling the viewport"))
    expect_drawing(a, True, None)
    shot(a, outdir, "phone-page-fullscreen")
    click(a, "#keys button:nth-child(2)", touch=True)
    wait_for(20, lambda: a.browser.evaluate(LAYOUT)["canvas"] == windowed, "the window back in the page")
    check(not a.browser.evaluate("document.getElementById('box').open"), "a question asked")
    expect_drawing(a, True, None)
    click(a, "#keys button:nth-child(1)", touch=True)
    expect_exit(a, 0)


def slow(browser):
    browser.call("Network.enable")
    browser.call("Network.emulateNetworkConditions", offline=False, latency=20, downloadThroughput=1 << 20,
                 uploadThroughput=1 << 20)


def first_visit_bytes(a, compress, missing=()):
    """Within budget; the bar shows the share received of the files' bytes as the server sends them (gzipped, or
    unpacked on the way by a compressing one)."""
    a.start("plain", compress=compress, missing=missing, before_load=BAR_LOG, setup=slow)
    expect_drawing(a, True, None)
    moved = sum(size for _, size in a.sent)
    check(moved <= BUDGET, f"a first visit moved {moved} bytes: {a.sent}")
    total = sum(os.path.getsize(os.path.join(a.site, name + ("" if compress else ".gz")))
                for name in ("olvo-gl.js", "olvo-gl.wasm", "olvo-gl.data"))
    log = a.browser.evaluate("barLog")
    check(len(log) > 3 and all(abs(share - got / total) < 0.01 for share, got in log), f"bar {log} of {total} bytes")


def light_installed_offline(a, outdir):
    """A first visit within budget, its bar true, from either server; the kept page on a server's error, and offline.
    The manifest is accepted and carries the project's version."""
    first_visit_bytes(a, True)
    a.stop()
    failing = set()
    first_visit_bytes(a, False, failing)
    manifest = a.browser.call("Page.getAppManifest")
    version = json.loads(manifest.get("data") or "{}").get("version")
    check(manifest["url"].endswith("manifest.webmanifest") and not manifest["errors"] and VERSION and
          version == VERSION, f"manifest of version {version}, not {VERSION} (OLVO_VERSION): {manifest}")
    wait_for(20, lambda: a.browser.evaluate(WORKER_READY), "the offline cache")
    errors = a.browser.call("Page.getInstallabilityErrors")["installabilityErrors"]
    check(not errors, f"not installable: {errors}")
    a.sent.clear()
    a.browser.call("Page.reload")
    expect_drawing(a, True, None)
    program = [answer for answer in a.sent if "/olvo-gl." in answer[0]]
    check(not program, f"a repeat visit downloaded {program}")
    failing.add("")  # the page's own address: the worker shows the kept page, not the server's error
    a.browser.call("Page.reload")
    expect_drawing(a, True, None)
    a.server.shutdown()
    a.server.server_close()
    a.server = None
    a.browser.call("Page.reload")
    expect_drawing(a, True, None)
    shot(a, outdir, "offline-start")


def offline_first_visit_said(a, outdir):
    """A first visit with the network gone says so."""
    a.start("plain", missing={"olvo-gl.js.gz"}, setup=lambda b: b.call("Network.enable"))
    wait_for(20, lambda: a.browser.evaluate("!document.getElementById('retry').hidden"), "the failure page")
    a.browser.call("Network.emulateNetworkConditions", offline=True, latency=0, downloadThroughput=-1,
                   uploadThroughput=-1)
    a.browser.evaluate("document.getElementById('retry').click()")
    text = wait_for(20, lambda: (t := a.browser.evaluate("document.getElementById('load-failed').textContent"))
                    and "offline" in t and t, "the page saying it is offline")
    shot(a, outdir, "offline-first-visit")
    check("first visit" in text, text)


def rebuild(folder, mark):
    """The site in folder made a new build: its program marks itself (window.deployed) and the site is made anew."""
    with open(os.path.join(folder, "olvo-gl.js"), "a") as program:
        program.write(f"\nwindow.deployed = '{mark}';\n")
    subprocess.run(["cmake", "-DSOURCE=platform/web", "-DPACKAGING=packaging", f"-DSITE={folder}",
                    f"-DVERSION={VERSION}", "-P", "cmake/web_page.cmake"], check=True, timeout=60)


def two_sites_and_an_upload(a, outdir):
    """Two builds on one host (/a/, /b/) both start offline; a visit during an upload keeps nothing of it.
    A visit to /a/ while a new build is uploaded (its program still the old build's, then half written) fails,
    and once the upload is done a reload runs the new build and /a/'s old cache goes."""
    site, host = a.site, tempfile.mkdtemp(prefix="olvo-host-")
    try:
        for copy in ("a", "b"):
            shutil.copytree(site, os.path.join(host, copy))
        rebuild(os.path.join(host, "b"), "b")
        a.site = host
        a.start("plain", query="a/")
        for copy in ("a/", "b/"):
            a.browser.call("Page.navigate", url=a.url + copy)
            expect_drawing(a, True, None)
            wait_for(20, lambda: a.browser.evaluate(WORKER_READY), f"the offline cache of {copy}")
            if copy == "a/":
                old_build = a.browser.evaluate("buildName")
        folder = os.path.join(host, "a")
        old = open(os.path.join(folder, "olvo-gl.js.gz"), "rb").read()
        rebuild(folder, "a2")

        # The new page fails on the file; on a busy machine the server may answer too late for the worker, which
        # then shows the kept old page, and the visit is made again.
        def failed_on(name):
            if a.browser.evaluate("typeof buildName == 'string' && buildName") == old_build:
                a.browser.call("Page.navigate", url=a.url + "a/")
                return False
            return name in (a.browser.evaluate(FAILURE) or "")
        # Mid-upload, the new page with the old build's program, then with the new one half written.
        for name, sent in (("olvo-gl.js", old), ("olvo-gl.wasm", None)):
            whole = open(path := os.path.join(folder, name + ".gz"), "rb").read()
            open(path, "wb").write(sent or whole[:len(whole) // 2])
            a.browser.call("Page.navigate", url=a.url + "a/")
            wait_for(20, lambda: failed_on(name), f"the page on {name} mid-upload")
            a.browser.evaluate("navigator.serviceWorker.getRegistration().then(r => r.update()).catch(() => 0)")
            wait_for(20, lambda: a.browser.evaluate("navigator.serviceWorker.getRegistration().then(r => "
                                                    "!r.installing && !r.waiting)"), "the new worker's install over")
            open(path, "wb").write(whole)
        for _ in range(2):
            a.browser.call("Page.reload")
            expect_drawing(a, True, None)
            if a.browser.evaluate("window.deployed") == "a2":
                break
        wait_for(30, lambda: a.browser.evaluate("window.deployed == 'a2' && " + WORKER_READY), "a2 kept, a gone")
        a.server.shutdown()
        a.server.server_close()
        a.server = None
        for copy, mark in (("b/", "b"), ("a/", "a2")):
            a.browser.call("Page.navigate", url=a.url + copy)
            expect_drawing(a, True, None)
            check((ran := a.browser.evaluate("window.deployed")) == mark, f"{copy} offline runs {ran}, not {mark}")
    finally:
        a.site = site
        shutil.rmtree(host, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(run((every_screen, touch_keys_and_page_fullscreen, light_installed_offline, offline_first_visit_said,
                  two_sites_and_an_upload), __doc__))
