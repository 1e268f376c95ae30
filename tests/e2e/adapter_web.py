"""The web build in headless Chromium, served from its folder over HTTP on a private port. The page's canvas is
the window, its modal box the message boxes, and the page's notice once the program has ended gives the exit
code. The page's screen is its viewport: in fullscreen, the whole screen less a 56-pixel strip that headless
Chromium keeps, so an 800 x 656 screen shows the picture at (0, 0) unscaled, as the desktop's display mode does."""
import os
import re
import sys
import threading

from driver import ROOT, Failure, wait_for

import web_chromium

sys.path.insert(0, os.path.join(ROOT, "tools"))
import serve_web  # noqa: E402

# Run before the page's own scripts: the page draws at every third animation frame, 20 a second, as on a slow or busy
# machine (as the desktop programs under test: frame_pace.h); software WebGL drawing at 60 would take both cores of
# a small machine.
THIRD_RATE = """(() => {
  const frame = window.requestAnimationFrame.bind(window);
  window.requestAnimationFrame = (callback) => frame(() => frame(() => frame(callback)));
})();
"""

# Run before the page's own scripts: once the packed pictures are unpacked, and before the program starts, the
# named ones (all of them and data/ itself when none is named) are removed, as from a site published without them.
REMOVE_PICTURES = """
const named = %s;
let module;
Object.defineProperty(window, 'Module', {configurable: true, get: () => module, set: (value) => {
  module = value;
  if (!value || value.picturesRemoved) return;
  value.picturesRemoved = true;
  const initialized = value.onRuntimeInitialized;
  value.onRuntimeInitialized = () => {
    for (const name of FS.readdir('/data')) {
      if (name != '.' && name != '..' && (!named.length || named.includes(name))) FS.unlink('/data/' + name);
    }
    if (!named.length) FS.rmdir('/data');
    if (initialized) initialized();
  };
}});
"""
NO_PICTURES = REMOVE_PICTURES % "[]"

# The picture's rectangle in the page: the canvas's box, less the bars fullscreen puts around the scaled picture.
WINDOW = """(() => {
  const c = document.getElementById('canvas');
  if (!c || c.style.visibility == 'hidden' || !c.isConnected) return null;
  const r = c.getBoundingClientRect(), scale = Math.min(r.width / c.width, r.height / c.height);
  const w = c.width * scale, h = c.height * scale;
  return [w, h, r.x + (r.width - w) / 2, r.y + (r.height - h) / 2].map(Math.round);
})()"""

# A box not yet answered: its buttons aren't the ones answer() last pressed (each box makes its own).
BOX = """(() => {
  const box = document.getElementById('box'), buttons = document.getElementById('box-buttons');
  if (!box.open || buttons.firstChild === window.answeredButtons) return null;
  return [document.getElementById('box-caption').textContent, document.getElementById('box-text').textContent];
})()"""

ANSWER = """(() => {
  const buttons = document.getElementById('box-buttons'), button = buttons.querySelector('[value="%s"]');
  if (!button) return false;
  window.answeredButtons = buttons.firstChild;
  button.click();
  return true;
})()"""


class Adapter:
    name = "web"
    escape_exit_code = 0
    no_gl_text = "Can't Create A GL Rendering Context."
    features = {"fullscreen_granted", "no_gl", "browser_leaves_fullscreen"}

    def __init__(self, site):
        self.site = site
        self.browser = self.server = None

    def missing(self):
        built = os.path.exists(os.path.join(self.site, "olvo-gl.js"))
        return web_chromium.missing() + ([] if built else [f"the web build in {self.site}"])

    def start(self, display, pictures=True, missing=(), before_load=None, query="", compress=False, stalled=(),
              **browser):
        """missing, stalled: file names the server answers 404, or stalls halfway (sets the caller may change);
        before_load: script run before the page's own; query: added to the page's address for the first load;
        compress: a server that compresses; browser: for web_chromium.Chromium (setup, screen, flags)."""
        # Only the fullscreen_mode page may go fullscreen: elsewhere the server forbids it, as a site may.
        self.sent = []  # [path, bytes] the server sent for each request
        self.server = serve_web.open_server(self.site, 0, display != "fullscreen_mode", quiet=True, missing=missing,
                                            compress=compress, sent=self.sent, stalled=stalled)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.url = f"http://127.0.0.1:{self.server.server_address[1]}/"
        flags = ["--disable-webgl"] if display == "no_gl" else []
        browser.setdefault("screen", (800, 656))
        before_load = THIRD_RATE + (before_load or ("" if pictures else NO_PICTURES))
        self.browser = web_chromium.Chromium(self.url + query, flags + browser.pop("flags", []),
                                             before_load=before_load, **browser)

    def window(self):
        return tuple(self.browser.evaluate(WINDOW) or ()) or None

    def title(self):
        return self.browser.evaluate("document.title")

    def origin(self):
        return None  # a page has no place on the screen of its own

    def screen_size(self):
        return tuple(self.browser.evaluate("[innerWidth, innerHeight]") or ()) or None

    def grab(self, geometry):
        return self.browser.grab(geometry)

    def press(self, key, until=None):  # a page takes a key event whole: no slow frame loses it
        self.browser.press(key)

    def wait_box(self, seconds):
        return tuple(wait_for(seconds, lambda: self.browser.evaluate(BOX), "a message box"))

    def answer(self, button):
        if not self.browser.evaluate(ANSWER % button):
            raise Failure(f"no {button} button on the box")

    def close(self):
        raise Failure("a page has no window to close")

    # The browser's own Escape leaves fullscreen; the page never sees that key.
    def leave_fullscreen_by_browser(self):
        self.browser.press("Escape")

    def wait_exit(self, seconds):
        ended = "document.getElementById('ended').hidden ? null : document.getElementById('ended').textContent"
        try:
            text = wait_for(seconds, lambda: self.browser.evaluate(ended), "the program's end")
        except Failure:
            return None
        code = re.search(r"exit code (-?\d+)", text)
        return int(code[1]) if code else text

    def stop(self):
        """Ends the browser and the server; returns the page's console."""
        browser, server, self.browser, self.server = self.browser, self.server, None, None
        try:
            if browser:
                browser.close()
        finally:
            if server:
                server.shutdown()
                server.server_close()
        return "\n".join(browser.console) if browser else ""
