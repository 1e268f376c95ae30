#!/usr/bin/env python3
"""The web build's pictures against the desktop renderer's, in headless Chromium.

usage: web_frames.py SITE OLVO_FRAMES [OUTDIR]   (from the repository root; OUTDIR keeps the browser's frames)

Frames: the page's animation frames are handed out one at a time, so the browser's frame N is the Nth scene
drawn; it must match olvo-frames' frame N (Mesa) within TOLERANCE: in the window and after F1 to fullscreen
(a new canvas), and after the context is lost, restored or not, in either mode: drawing again within 2 s, in the
same mode, with no box. With a picture missing and the context lost while the textures load, the frames match
olvo-frames' with the same picture missing. On a high-DPI screen (device pixel ratio 1.5, then 2) the drawing
buffer has the screen's pixels and the picture fills it, with sharper edges than the same picture drawn at
800 x 600 and scaled up. Fullscreen on a wide screen: the picture keeps its proportions, fills the height at the
screen's resolution, and bars fill the rest. The page logs no error on the way.
Exit 77 (skip) when the desktop renderer isn't built; 1, naming them, when the browser tools are missing.
"""
import base64
import contextlib
import os
import shutil
import subprocess
import sys
import tempfile
import time

import web_chromium
from adapter_web import ANSWER, BOX, WINDOW, Adapter
from driver import wait_for as until

# Both are software rasterisers that differ in texture filtering precision and edge rules, so pixels differ by
# a few levels along sharp texture detail. The neighbouring frame is ~5 (mean) and ~120 (worst 1%) away.
TOLERANCE = {"mean": 1.0, "worst 1%": 16}
MISSING = "merolan.bmp"  # the twisted sprite's picture: its layer draws white
# Animation frames are requested into a queue and run only when the test says: frameUntil(n) runs the next one
# while fewer than n scenes were drawn (in one step, so no frame comes between the count and the run). A frame
# is a request after drawing, so the frames a lost context waits through don't count.
STEPPER = """
const pending = [];
let drew = false;
window.framesDrawn = 0;
for (const name of ['drawArrays', 'drawElements']) {
  const draw = WebGLRenderingContext.prototype[name];
  WebGLRenderingContext.prototype[name] = function(...args) { drew = true; return draw.apply(this, args); };
}
window.requestAnimationFrame = (callback) => {
  pending.push(callback);
  window.framesDrawn += drew;
  drew = false;
  return pending.length;
};
window.frameUntil = (frame) => {
  if (window.framesDrawn < frame && pending.length) pending.shift()(performance.now());
  return window.framesDrawn >= frame;
};
"""
# Before main, one picture goes; the third texture upload (the first two: the layer's white, the starfield)
# loses the context, which isn't restored, so the textures after it are made without one.
MISSING_AND_LOST_IN_LOAD = """
let module;
Object.defineProperty(window, 'Module', {configurable: true, get: () => module, set: (value) => {
  if (value === module) return;  // the program's script sets it again
  module = value;
  const initialized = value.onRuntimeInitialized;
  value.onRuntimeInitialized = () => { FS.unlink('/data/%s'); if (initialized) initialized(); };
}});
const create = WebGLRenderingContext.prototype.createTexture;  // null once lost, as WebGL 1.0 browsers give
WebGLRenderingContext.prototype.createTexture = function() { return this.isContextLost() ? null : create.call(this); };
const upload = WebGLRenderingContext.prototype.texImage2D;
let uploads = 0;
WebGLRenderingContext.prototype.texImage2D = function(...args) {
  if (++uploads == 3) (window.lostCanvas = this.canvas).getContext('webgl')
      .getExtension('WEBGL_lose_context').loseContext();
  return upload.apply(this, args);
};
""" % MISSING
CANVAS = "document.getElementById('canvas')"
LOSE = f"window.lost = (window.lostCanvas = {CANVAS}).getContext('webgl').getExtension('WEBGL_lose_context')"
LEFT_EDGE = (120, 300, 0, 0)  # a strip of the picture across the starfield's turned left edge


def difference(first, second):
    """Mean absolute difference per channel, and the worst 1% of pixels' largest channel difference."""
    if first[:2] != second[:2]:
        raise AssertionError(f"sizes differ: {first[:2]} and {second[:2]}")
    a, b = first[2], second[2]
    pixels = sorted(max(abs(a[i] - b[i]), abs(a[i + 1] - b[i + 1]), abs(a[i + 2] - b[i + 2]))
                    for i in range(0, len(a), 3))
    return {"mean": sum(abs(x - y) for x, y in zip(a, b)) / len(a), "worst 1%": pixels[len(pixels) * 99 // 100]}


def edge_sharpness(grab):
    """The mean over rows of the largest step between neighbouring pixels: a picture scaled up spreads each
    edge over more pixels, in smaller steps."""
    width, height, rgb = grab
    steps = [max(sum(abs(row[i + c] - row[i + 3 + c]) for c in range(3)) for i in range(0, 3 * width - 3, 3))
             for row in (rgb[3 * width * y:3 * width * (y + 1)] for y in range(height))]
    return sum(steps) / height


def scaled_up(grab, region, ratio):
    """A region (width, height, x, y) of a picture, scaled up by ratio with bilinear filtering, as a browser
    scales a canvas whose drawing buffer is smaller than its place on the screen."""
    width, _, rgb = grab
    w, h, x0, y0 = region
    out = bytearray()
    for y in range(round(h * ratio)):
        sy = min(max((y + 0.5) / ratio - 0.5, 0), h - 1.001) + y0
        fy = sy - int(sy)
        for x in range(round(w * ratio)):
            sx = min(max((x + 0.5) / ratio - 0.5, 0), w - 1.001) + x0
            fx = sx - int(sx)
            at = 3 * (int(sy) * width + int(sx))
            for c in range(at, at + 3):
                top = rgb[c] * (1 - fx) + rgb[c + 3] * fx
                bottom = rgb[c + 3 * width] * (1 - fx) + rgb[c + 3 * width + 3] * fx
                out.append(round(top * (1 - fy) + bottom * fy))
    return round(w * ratio), round(h * ratio), bytes(out)


@contextlib.contextmanager
def open_page(site, forbid_fullscreen, screen=(800, 600), **browser):
    """The site served and open in a browser; the page must log no error by the end."""
    a = Adapter(site)
    a.start("plain" if forbid_fullscreen else "fullscreen_mode", screen=screen, **browser)
    try:
        yield a.browser
        assert not a.browser.errors(), a.browser.errors()
    finally:
        a.stop()


def checker(browser, desktop, outdir):
    """check(frame): steps the page to frame and compares its picture with the desktop's, grabbed at 800 x 600
    (scaled down by the browser where the screen has more pixels)."""
    def check(frame, ratio=1):
        until(20, lambda: browser.evaluate(f"frameUntil({frame})"), f"frame {frame}")
        assert browser.evaluate("framesDrawn") == frame, f"frame {frame} went by unseen"
        w, h, x, y = browser.evaluate(WINDOW)
        shot = browser.call("Page.captureScreenshot", 30, format="png", fromSurface=True,
                            clip={"x": x, "y": y, "width": w, "height": h, "scale": 1 / ratio})
        png = base64.b64decode(shot["data"])
        if outdir:
            open(os.path.join(outdir, f"browser-{frame:04d}.png"), "wb").write(png)
        wanted = os.path.join(desktop, f"frame-{frame:04d}.png")
        found = difference(web_chromium.png_rgb(png), web_chromium.png_rgb(open(wanted, "rb").read()))
        print(f"frame {frame}: " + ", ".join(f"{k} {v:.2f}" for k, v in found.items()), flush=True)
        assert all(found[k] <= TOLERANCE[k] for k in TOLERANCE), f"frame {frame} differs beyond {TOLERANCE}"
    return check


def lose_context(browser, check, frame, restore):
    """Loses the page's context after the last frame; the scene must draw frame within 2 s, in the same mode,
    on the same canvas when the browser restored the context and on a new one when it didn't."""
    mode = browser.evaluate("!!document.fullscreenElement")
    browser.evaluate(f"{LOSE}; lost.loseContext()")
    started = time.monotonic()
    if restore:
        browser.evaluate("frameUntil(Infinity)")  # a frame without a context
        browser.evaluate("lost.restoreContext()")
    until(2, lambda: browser.evaluate(f"frameUntil({frame})"), "the scene again after a lost context")
    print(f"context lost, {'restored' if restore else 'not restored'}: drawing again after "
          f"{time.monotonic() - started:.2f} s")
    assert browser.evaluate("!!document.fullscreenElement") == mode, "the mode changed"
    assert browser.evaluate(f"{CANVAS} === lostCanvas") == restore, "the lost canvas kept or replaced wrongly"
    assert not browser.evaluate(BOX), browser.evaluate(BOX)
    check(frame)


def frames_match_desktop(site, desktop, outdir):
    with open_page(site, False, screen=(800, 656), before_load=STEPPER) as browser:
        check = checker(browser, desktop, outdir)
        check(1)
        check(10)
        lose_context(browser, check, 11, restore=False)
        lose_context(browser, check, 12, restore=True)
        browser.evaluate(f"window.firstCanvas = {CANVAS}")
        browser.press("F1")
        # The program acts on the key after the swap of the frame that took it in.
        until(10, lambda: browser.evaluate(f"frameUntil(14) && !!document.fullscreenElement && "
                                           f"{CANVAS} !== firstCanvas"), "fullscreen on a new canvas")
        check(40)
        lose_context(browser, check, 41, restore=True)
        lose_context(browser, check, 42, restore=False)
        # Lost where no context can be had any more: the usual box, then the program's normal end.
        browser.evaluate(f"{LOSE}; HTMLCanvasElement.prototype.getContext = () => null; lost.loseContext()")
        box = until(20, lambda: browser.evaluate(BOX) or browser.evaluate("frameUntil(Infinity)"), "the box")
        assert box == ["ERROR", "Can't Create A GL Rendering Context."], box
        assert browser.evaluate(ANSWER % "ok"), "no OK button"
        until(20, lambda: "exit code 0." in browser.evaluate("document.getElementById('ended').textContent"),
              "the end")


def missing_picture_matches_desktop(site, desktop, outdir):
    with open_page(site, True, before_load=STEPPER + MISSING_AND_LOST_IN_LOAD) as browser:
        box = until(20, lambda: browser.evaluate(BOX), "the missing picture's box")
        assert box[1].strip() == f"Failed to open DIB file data/{MISSING}.", box
        assert browser.evaluate(ANSWER % "ok"), "no OK button"
        checker(browser, desktop, outdir)(2)
        assert browser.evaluate(f"window.lostCanvas && {CANVAS} !== lostCanvas"), "no context was lost in loading"


def sharp_on_high_dpi(site, desktop, outdir):
    with open_page(site, True, screen=(1600, 1200), flags=["--force-device-scale-factor=1.5"],
                   before_load=STEPPER) as browser:
        check = checker(browser, desktop, outdir)
        for ratio, frame in ((1.5, 10), (2, 12)):
            if ratio == 2:  # as when the browser zooms: a new ratio and a new size in CSS pixels
                width, height = browser.evaluate("[innerWidth, innerHeight]")
                browser.call("Emulation.setDeviceMetricsOverride", width=width - 20, height=height - 20,
                             deviceScaleFactor=2, mobile=False)
            check(frame, ratio=ratio)
            buffer = browser.evaluate(f"[{CANVAS}.width, {CANVAS}.height, "
                                      f"...{CANVAS}.getContext('webgl').getParameter(0x0BA2)]")  # GL_VIEWPORT
            assert buffer == [800 * ratio, 600 * ratio, 0, 0, 800 * ratio, 600 * ratio], buffer
            x, y = browser.evaluate(WINDOW)[2:]
            strip = (LEFT_EDGE[0], LEFT_EDGE[1], x + LEFT_EDGE[2], y + LEFT_EDGE[3])
            if outdir:
                open(os.path.join(outdir, f"browser-ratio-{ratio}.png"), "wb").write(
                    browser.png(browser.evaluate(WINDOW)))
            sharp = edge_sharpness(browser.grab(strip))
            desktop_frame = web_chromium.png_rgb(open(os.path.join(desktop, f"frame-{frame:04d}.png"), "rb").read())
            blurred = edge_sharpness(scaled_up(desktop_frame, LEFT_EDGE, ratio))
            print(f"device pixel ratio {ratio}: edges {sharp:.1f}, scaled up from 800 x 600 {blurred:.1f}")
            assert sharp > 1.1 * blurred, "the picture is no sharper than one scaled up"


def fullscreen_keeps_proportions(site, outdir):
    with open_page(site, False, screen=(1920, 1080), flags=["--force-device-scale-factor=1.5"]) as browser:
        until(20, lambda: browser.evaluate(WINDOW), "the window")
        browser.press("F1")
        width, height, x, y = until(20, lambda: (g := browser.evaluate(WINDOW)) and g[3] == 0 and g, "fullscreen")
        view_width, view_height = browser.evaluate("[innerWidth, innerHeight]")
        assert (height, y) == (view_height, 0) and abs(width * 3 - height * 4) <= 4, (width, height, x, y)
        assert abs(2 * x + width - view_width) <= 1, f"picture at {x} in a view {view_width} wide"
        buffer = browser.evaluate(f"[{CANVAS}.width, {CANVAS}.height]")
        assert abs(buffer[0] - 1.5 * width) <= 1.5 and abs(buffer[1] - 1.5 * height) <= 1.5, buffer
        png = browser.png((view_width, view_height, 0, 0))
        if outdir:
            open(os.path.join(outdir, "browser-fullscreen.png"), "wb").write(png)
        _, _, bar = web_chromium.png_rgb(browser.png((x, view_height, 0, 0)))
        assert max(bar) < 8, "the bars beside the picture aren't black"
        print(f"fullscreen: picture {width} x {height} at ({x}, {y}) in {view_width} x {view_height}, "
              f"drawing buffer {buffer[0]} x {buffer[1]}")


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    site, program = sys.argv[1], os.path.abspath(sys.argv[2])
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
        os.makedirs(os.path.join(desktop, "data"))
        for name in set(os.listdir("data")) - {MISSING}:
            shutil.copy(os.path.join("data", name), os.path.join(desktop, "data"))
        run = dict(check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        subprocess.run([program, "missing", "2"], cwd=desktop, **run)
        subprocess.run([program, desktop, "1", "10", "11", "12", "40", "41", "42"], **run)
        frames_match_desktop(site, desktop, outdir)
        missing_picture_matches_desktop(site, os.path.join(desktop, "missing"), outdir)
        sharp_on_high_dpi(site, desktop, outdir)
    fullscreen_keeps_proportions(site, outdir)
    print("web frames: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
