#!/usr/bin/env python3
"""The page on phones, small windows, installed and offline, in headless Chromium: its layout on each screen and
through a turn, the drawing buffer, touch on the key buttons, fullscreen where elements have none, the bytes a
first visit moves from a plain and a compressing server, a start with the server gone, the manifest, and a new
build picked up.

usage: web_phone_checks.py SITE [OUTDIR]   (from the repository root; OUTDIR keeps pictures of each screen)
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

from driver import expect_exit, picture_stats, wait_for
from web_page_checks import COUNT_LIGHTING, check, run

# Where the window, its caption and keys lie, what the screen shows of it, and the drawing buffer.
LAYOUT = """(() => {
  const box = (id) => (r => [r.left, r.top, r.right, r.bottom])(document.getElementById(id).getBoundingClientRect());
  const c = document.getElementById('canvas');
  return {canvas: box('canvas'), caption: box('caption'), keys: box('keys'), buffer: [c.width, c.height],
          ratio: devicePixelRatio, zoom: visualViewport.scale, view: [innerWidth, innerHeight],
          page: [document.documentElement.scrollWidth, document.documentElement.scrollHeight],
          buttons: [...document.querySelectorAll('#keys button')].map(b => [b.offsetWidth, b.offsetHeight])};
})()"""
# Screens: (name, CSS width, height, device pixel ratio, a phone with touch, what the canvas must fill at least:
# a share of the viewport's width and of its height, or exactly 800 x 600 when None).
PHONE_PORTRAIT, PHONE_LANDSCAPE = ("phone", 390, 844, 3, True, (0.85, 0)), ("phone-turned", 844, 390, 3, True, (0, 0.6))
SCREENS = [PHONE_PORTRAIT, PHONE_LANDSCAPE, ("tablet", 820, 1180, 2, True, (0.85, 0)),
           ("small-window", 640, 480, 1, False, (0.6, 0.6)), ("desktop", 1024, 900, 1, False, None)]
# Stands in for an iPhone's browser: no element may go fullscreen.
NO_ELEMENT_FULLSCREEN = """delete Element.prototype.requestFullscreen; delete Element.prototype.webkitRequestFullscreen;
Object.defineProperty(Document.prototype, 'fullscreenEnabled', {get: () => false});"""
WORKER_READY = """navigator.serviceWorker.ready.then(() => caches.keys()).then(names =>
  names.length == 1 && names[0] == 'olvo-gl-' + buildName && !!navigator.serviceWorker.controller)"""
BUDGET = 600_000  # bytes of a first visit


def emulate(browser, screen):
    _, width, height, ratio, touch, _ = screen
    browser.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=ratio,
                 mobile=touch)
    browser.call("Emulation.setTouchEmulationEnabled", enabled=touch, maxTouchPoints=5 if touch else 1)


def shot(a, outdir, name):
    if outdir:
        width, height = a.browser.evaluate("[innerWidth, innerHeight]")
        open(os.path.join(outdir, f"{name}.png"), "wb").write(a.browser.png((width, height, 0, 0)))


def scene_moving(a):
    """The canvas shows the scene (many colours, not dark), and a later look differs."""
    def picture():
        layout = a.browser.evaluate(LAYOUT)
        if not layout or layout["buffer"][0] < 2:
            return None
        x0, y0, x1, y1 = layout["canvas"]
        colours, brightness, samples = picture_stats(a.browser.grab((x1 - x0, y1 - y0, x0, y0)))
        return colours > 200 and brightness > 20 and samples
    first = wait_for(30, picture, "the scene on the canvas")
    wait_for(10, lambda: sum(p != q for p, q in zip(first, picture() or ())) > len(first) // 100, "the scene moving")


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
    if least is None:
        check((x1 - x0, y1 - y0) == (800, 600), f"{name}: the desktop window is not 800 x 600: {layout['canvas']}")
    else:
        check(x1 - x0 >= least[0] * width and y1 - y0 >= least[1] * height, f"{name}: small: {layout['canvas']}")
    if touch:
        check(all(w >= 44 and h >= 44 for w, h in layout["buttons"]), f"{name}: buttons {layout['buttons']}")
    expect_buffer(layout)
    return layout


def tap(a, button):
    x0, y0, x1, y1 = a.browser.evaluate(f"(r => [r.left, r.top, r.right, r.bottom])(document.querySelector("
                                        f"'#keys button:nth-child({button})').getBoundingClientRect())")
    a.browser.touch((x0 + x1) / 2, (y0 + y1) / 2, True)
    a.browser.touch((x0 + x1) / 2, (y0 + y1) / 2, False)


def every_screen(a, outdir):
    """Each screen fits, sharp and moving; a phone turned follows; the desktop window keeps 800 x 600."""
    for screen in SCREENS:
        a.start("plain", setup=lambda browser: emulate(browser, screen))
        try:
            scene_moving(a)
            expect_fits(a, screen)
            shot(a, outdir, screen[0])
            if screen is PHONE_PORTRAIT:
                for turned in (PHONE_LANDSCAPE, PHONE_PORTRAIT):
                    emulate(a.browser, turned)
                    expect_fits(a, turned)
                    scene_moving(a)
                shot(a, outdir, "phone-turned-back")
            check(not a.browser.errors(), f"{screen[0]}: {a.browser.errors()}")
        finally:
            a.stop()


def touch_keys_and_page_fullscreen(a, outdir):
    """On a phone without element fullscreen: taps on L, F1 (the window fills the page, and back) and Esc."""
    a.start("fullscreen_mode", before_load=NO_ELEMENT_FULLSCREEN, setup=lambda b: emulate(b, PHONE_PORTRAIT))
    scene_moving(a)
    a.browser.evaluate(COUNT_LIGHTING)
    tap(a, 3)
    wait_for(5, lambda: a.browser.evaluate("lightingOn"), "L's button tapped")
    windowed = a.browser.evaluate(LAYOUT)["canvas"]
    tap(a, 2)

    def filled():
        layout = a.browser.evaluate(LAYOUT)
        x0, y0, x1, y1 = layout["canvas"]
        return x0 == 0 and x1 == 390 and abs((y0 + y1) / 2 - 422) <= 1 and abs(y1 - y0 - 292.5) <= 1 and layout
    expect_buffer(wait_for(20, filled, "the window filling the viewport"))
    scene_moving(a)
    shot(a, outdir, "phone-page-fullscreen")
    tap(a, 2)
    wait_for(20, lambda: a.browser.evaluate(LAYOUT)["canvas"] == windowed, "the window back in the page")
    check(not a.browser.evaluate("document.getElementById('box').open"), "a question asked")
    scene_moving(a)
    tap(a, 1)
    expect_exit(a, 0)


def first_visit_bytes(a, compress):
    a.start("plain", compress=compress)
    scene_moving(a)
    moved = sum(size for _, size in a.sent)
    check(moved <= BUDGET, f"a first visit moved {moved} bytes: {a.sent}")


def light_installed_offline(a, outdir):
    """A first visit within budget from either server, the manifest accepted, a start with the server gone."""
    first_visit_bytes(a, True)
    a.stop()
    first_visit_bytes(a, False)
    manifest = a.browser.call("Page.getAppManifest")
    check(manifest["url"].endswith("manifest.webmanifest") and not manifest["errors"], f"manifest: {manifest}")
    wait_for(20, lambda: a.browser.evaluate(WORKER_READY), "the offline cache")
    errors = a.browser.call("Page.getInstallabilityErrors")["installabilityErrors"]
    check(not errors, f"not installable: {errors}")
    a.sent.clear()
    a.browser.call("Page.reload")
    scene_moving(a)
    program = [answer for answer in a.sent if "/olvo-gl." in answer[0]]
    check(not program, f"a repeat visit downloaded {program}")
    a.server.shutdown()
    a.server.server_close()
    a.server = None
    a.browser.call("Page.reload")
    scene_moving(a)
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


def new_build_picked_up(a, outdir):
    """A build deployed over the one a visitor has runs within two reloads, and the old cache goes."""
    site, copy = a.site, tempfile.mkdtemp(prefix="olvo-site-")
    try:
        for name in os.listdir(site):
            if os.path.isfile(os.path.join(site, name)):
                shutil.copy(os.path.join(site, name), copy)
        a.site = copy
        a.start("plain")
        scene_moving(a)
        wait_for(20, lambda: a.browser.evaluate(WORKER_READY), "the offline cache")
        old = a.browser.evaluate("buildName")
        with open(os.path.join(copy, "olvo-gl.js"), "a") as program:
            program.write("\nwindow.redeployed = true;\n")
        subprocess.run(["cmake", f"-DSOURCE={os.path.abspath('platform/web')}", f"-DPACKAGING={os.path.abspath('packaging')}",
                        f"-DSITE={copy}", "-P", "cmake/web_page.cmake"], check=True, timeout=60)
        new = new_name(copy)
        for _ in range(2):
            a.browser.call("Page.reload")
            scene_moving(a)
            if a.browser.evaluate("window.redeployed && buildName") == new:
                break
        check(a.browser.evaluate("window.redeployed && buildName") == new, f"build {old} still runs, not {new}")
        a.press("Escape")  # the new worker replaces the old, and its cache the old one
        expect_exit(a, 0)
        wait_for(30, lambda: a.browser.evaluate(WORKER_READY.replace("buildName", f"'{new}'")), "the old cache gone")
    finally:
        a.site = site
        shutil.rmtree(copy, ignore_errors=True)


def new_name(site):
    return re.search(r"buildName = '(\w+)'", open(os.path.join(site, "olvo-gl-worker.js")).read())[1]


if __name__ == "__main__":
    sys.exit(run((every_screen, touch_keys_and_page_fullscreen, light_installed_offline, offline_first_visit_said,
                  new_build_picked_up), __doc__))
