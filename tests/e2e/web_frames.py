#!/usr/bin/env python3
"""The web build's pictures against the desktop renderer's, in headless Chromium.

usage: web_frames.py SITE OLVO_FRAMES [OUTDIR]   (from the repository root; OUTDIR keeps the browser's frames)

Frames: the page's animation frames are handed out one at a time, so the browser's frame N is the Nth scene
drawn; it must match olvo-frames' frame N (Mesa) within TOLERANCE, before and after an F1 rebuild (refused
fullscreen, answered Yes), which must have made a new canvas. The page logs no error on the way.
Fullscreen on a wide screen: the picture keeps its proportions, fills the height, and bars fill the rest.
Exit 77 (skip) when the desktop renderer isn't built; 1, naming them, when the browser tools are missing.
"""
import os
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import serve_web  # noqa: E402
import web_chromium  # noqa: E402
from adapter_web import ANSWER, BOX, WINDOW  # noqa: E402

# Both are software rasterisers that differ in texture filtering precision and edge rules, so pixels differ by
# a few levels along sharp texture detail. The neighbouring frame is ~5 (mean) and ~120 (worst 1%) away.
TOLERANCE = {"mean": 1.0, "worst 1%": 16}
# Animation frames are requested into a queue and run only when the test says: frameUntil(n) runs the next one
# while fewer than n were drawn (in one step, so no frame comes between the count and the run).
STEPPER = """
const pending = [];
window.framesDrawn = 0;
window.requestAnimationFrame = (callback) => { pending.push(callback); return ++window.framesDrawn; };
window.frameUntil = (frame) => {
  if (window.framesDrawn < frame && pending.length) pending.shift()(performance.now());
  return window.framesDrawn >= frame;
};
"""


def until(seconds, probe, what):
    deadline = time.monotonic() + seconds
    while not (value := probe()):
        if time.monotonic() > deadline:
            raise AssertionError(f"{what}: not within {seconds} s")
        time.sleep(0.05)
    return value


def difference(first, second):
    """Mean absolute difference per channel, and the worst 1% of pixels' largest channel difference."""
    if first[:2] != second[:2]:
        raise AssertionError(f"sizes differ: {first[:2]} and {second[:2]}")
    a, b = first[2], second[2]
    pixels = sorted(max(abs(a[i] - b[i]), abs(a[i + 1] - b[i + 1]), abs(a[i + 2] - b[i + 2]))
                    for i in range(0, len(a), 3))
    return {"mean": sum(abs(x - y) for x, y in zip(a, b)) / len(a), "worst 1%": pixels[len(pixels) * 99 // 100]}


def open_page(site, forbid_fullscreen, **browser):
    server = serve_web.open_server(site, 0, forbid_fullscreen, quiet=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = f"http://127.0.0.1:{server.server_address[1]}/"
    return server, web_chromium.Chromium(url, **browser)


def frames_match_desktop(site, desktop, outdir):
    server, browser = open_page(site, True, before_load=STEPPER)

    def check(frame):
        until(20, lambda: browser.evaluate(f"frameUntil({frame})"), f"frame {frame}")
        assert browser.evaluate("framesDrawn") == frame, f"frame {frame} went by unseen"
        png = browser.png(browser.evaluate(WINDOW))
        if outdir:
            open(os.path.join(outdir, f"browser-{frame:04d}.png"), "wb").write(png)
        wanted = web_chromium.png_rgb(open(os.path.join(desktop, f"frame-{frame:04d}.png"), "rb").read())
        found = difference(web_chromium.png_rgb(png), wanted)
        print(f"frame {frame}: " + ", ".join(f"{k} {v:.2f}" for k, v in found.items()), flush=True)
        assert all(found[k] <= TOLERANCE[k] for k in TOLERANCE), f"frame {frame} differs beyond {TOLERANCE}"

    try:
        check(1)
        check(10)
        browser.evaluate("window.firstCanvas = document.getElementById('canvas')")
        browser.press("F1")
        until(10, lambda: browser.evaluate(BOX) or browser.evaluate("frameUntil(Infinity)"), "the question")
        assert browser.evaluate(ANSWER % "yes"), "no Yes button"
        assert browser.evaluate("document.getElementById('canvas') !== firstCanvas"), "F1 kept the canvas"
        check(40)
        assert not browser.errors(), browser.errors()
        if outdir:  # the page as a visitor sees it: the captioned window and the keys line
            page = "(() => { const w = document.getElementById('window').getBoundingClientRect(), " \
                   "k = document.getElementById('keys').getBoundingClientRect(); " \
                   "return [w.right + w.x, k.bottom + w.x, 0, 0].map(Math.ceil); })()"
            open(os.path.join(outdir, "browser-page.png"), "wb").write(browser.png(browser.evaluate(page)))
    finally:
        browser.close()
        server.shutdown()


def fullscreen_keeps_proportions(site, outdir):
    server, browser = open_page(site, False, screen=(1280, 720))
    try:
        until(20, lambda: browser.evaluate(WINDOW), "the window")
        browser.press("F1")
        width, height, x, y = until(20, lambda: (g := browser.evaluate(WINDOW)) and g[3] == 0 and g, "fullscreen")
        view_width, view_height = browser.evaluate("[innerWidth, innerHeight]")
        assert (height, y) == (view_height, 0) and abs(width * 3 - height * 4) <= 4, (width, height, x, y)
        assert abs(2 * x + width - view_width) <= 1, f"picture at {x} in a view {view_width} wide"
        png = browser.png((view_width, view_height, 0, 0))
        if outdir:
            open(os.path.join(outdir, "browser-fullscreen.png"), "wb").write(png)
        _, _, bar = web_chromium.png_rgb(browser.png((x, view_height, 0, 0)))
        assert max(bar) < 8, "the bars beside the picture aren't black"
        print(f"fullscreen: picture {width} x {height} at ({x}, {y}) in {view_width} x {view_height}")
    finally:
        browser.close()
        server.shutdown()


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    site, program = sys.argv[1], sys.argv[2]
    outdir = sys.argv[3] if len(sys.argv) > 3 else None
    if web_chromium.missing():
        print(f"web frames: missing {', '.join(web_chromium.missing())} (tools/packages.sh installs them)")
        return 1
    if not os.path.exists(program):
        print(f"SKIP: no desktop renderer at {program} (the release preset builds it)")
        return 77
    if outdir:
        os.makedirs(outdir, exist_ok=True)
    with tempfile.TemporaryDirectory() as desktop:
        subprocess.run([program, desktop, "1", "10", "40"], check=True, stdout=subprocess.DEVNULL, timeout=120)
        frames_match_desktop(site, desktop, outdir)
    fullscreen_keeps_proportions(site, outdir)
    print("web frames: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
