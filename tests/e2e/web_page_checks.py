#!/usr/bin/env python3
"""The web page as visitors meet it, in headless Chromium: no WebAssembly, files missing on the server, a download
that stalls, loading on a slow network, the key buttons, the screen wake lock, a hidden page (shown again while F1
rebuilds the window), the pointer, keys while a box is up, a key tapped within one frame and the browser's own F1.

usage: web_page_checks.py SITE [OUTDIR]   (from the repository root; OUTDIR keeps pictures of the loading and
failure pages)
"""
import os
import sys
import time

from adapter_web import BOX, REMOVE_PICTURES, Adapter
from driver import QUESTION, Failure, expect_drawing, expect_exit, wait_for

# Before the page's own scripts: the page may be told there is no WebAssembly, and the screen wake lock is
# watched (taken, released) with the last lock kept, so a test can release it as a browser does on hiding; a
# download stalls after 3 s without a byte rather than 15.
WATCH = """
if (location.search == '?no-wasm') delete window.WebAssembly;
window.olvoStallWait = 3000;
window.wakeLog = [];
const request = navigator.wakeLock.request.bind(navigator.wakeLock);
navigator.wakeLock.request = (type) => request(type).then((lock) => {
  wakeLog.push('taken');
  window.heldLock = lock;
  lock.addEventListener('release', () => wakeLog.push('released'));
  return lock;
});
"""
# The page hidden as a tab in the background (the browser drops the wake lock), then shown again.
HIDE = """Object.defineProperty(document, 'hidden', {configurable: true, get: () => true});
Object.defineProperty(document, 'visibilityState', {configurable: true, get: () => 'hidden'});
heldLock.release().then(() => document.dispatchEvent(new Event('visibilitychange')))"""
SHOW = """delete document.hidden; delete document.visibilityState;
document.dispatchEvent(new Event('visibilitychange'))"""
# Shown again as the fullscreen is asked for: after the old window went, before the new one is there.
SHOW_IN_REBUILD = """((request) => { Element.prototype.requestFullscreen = function(...args) {
  %s; return request.apply(this, args); }; })(Element.prototype.requestFullscreen)""" % SHOW
# Down and up in one task, so both arrive between two frames.
TAP_L = """for (const type of ['keydown', 'keyup']) {
  const event = new KeyboardEvent(type, {key: 'l', code: 'KeyL', bubbles: true});
  Object.defineProperty(event, 'keyCode', {get: () => 76});
  window.dispatchEvent(event);
}"""
FAILURE = "(e => e.hidden ? null : e.textContent)(document.getElementById('load-failed'))"
SHARE = "document.getElementById('progress').value"
# The scene turns lighting off every frame, so L's switch on is seen as it happens: counted where the GL
# emulation hears of it (this emscripten's own hook).
COUNT_LIGHTING = """(() => { const jit = GLImmediate.TexEnvJIT, hook = jit.hook_enable; window.lightingOn = 0;
  jit.hook_enable = (cap) => { if (cap == 0x0B50) lightingOn++; return hook.call(jit, cap); }; })()"""
CURSOR = "getComputedStyle(document.getElementById('canvas')).cursor"
CENTRE = '(r => [r.x + r.width / 2, r.y + r.height / 2])(document.querySelector("%s").getBoundingClientRect())'


def check(condition, what):
    if not condition:
        raise Failure(what)


def click(a, selector, between=lambda: None, touch=False):
    """A click on the element, or a tap where touch is emulated."""
    x, y = a.browser.evaluate(CENTRE % selector)
    press = a.browser.touch if touch else a.browser.pointer
    press(x, y, True)
    between()
    press(x, y, False)


def shot(a, outdir, name):
    if outdir:
        open(os.path.join(outdir, f"{name}.png"), "wb").write(a.browser.png((*a.screen_size(), 0, 0)))


def loading_buttons_and_wake_lock(a, outdir):
    """No WebAssembly, then two files missing and one stalling, each answered by Try again; then a slow network."""
    missing, stalled = set(), set()
    a.start("fullscreen_mode", missing=missing, stalled=stalled, before_load=WATCH, query="?no-wasm")
    check("WebAssembly" in wait_for(20, lambda: a.browser.evaluate(FAILURE), "the page on no WebAssembly"),
          "no WebAssembly, not said so")
    shot(a, outdir, "no-wasm")
    for index, (fault, name, said) in enumerate(((missing, "olvo-gl.js", "404"), (missing, "olvo-gl.wasm", "404"),
                                                 (stalled, "olvo-gl.data", "stopped arriving"))):
        missing.clear()
        fault.add(name + ".gz")  # as the page asks for it
        click(a, "#retry") if index else a.browser.call("Page.navigate", url=a.url)
        text = wait_for(20, lambda: (t := a.browser.evaluate(FAILURE)) and name in t and t, f"{name} failing")
        check(said in text and a.browser.evaluate("!document.getElementById('retry').hidden"), text)
        shot(a, outdir, f"failed-{name}")
    wait_for(5, lambda: not a.server.held, "the stalled download given up")
    stalled.clear()
    a.browser.call("Network.enable")  # the last try finds every file, over 1 MB/s
    a.browser.call("Network.emulateNetworkConditions", offline=False, latency=40, downloadThroughput=1 << 20,
                   uploadThroughput=1 << 20)
    click(a, "#retry")
    shares = set()

    def started():
        shares.add(share := round(a.browser.evaluate(SHARE) or 0, 2))
        if 0.3 < share < 0.7:
            shot(a, outdir, "loading")
        return a.window()
    wait_for(30, started, "the program after a slow load")
    check(len(shares - {0, 1}) >= 2 and a.browser.evaluate(SHARE) == 1, f"the bar showed only {sorted(shares)}")
    a.browser.call("Network.disable")
    expect_drawing(a)
    shot(a, outdir, "buttons")

    check(a.browser.evaluate(CURSOR) != "none", "no pointer over the canvas in the window")
    a.browser.evaluate(COUNT_LIGHTING)
    click(a, "#keys button:nth-child(3)", lambda: wait_for(5, lambda: a.browser.evaluate("lightingOn"), "L's button"))
    check(a.browser.evaluate("document.activeElement === document.body"), "a button took the keyboard's focus")
    wait_for(10, lambda: a.browser.evaluate("wakeLog.join()") == "taken", "the wake lock taken")
    a.browser.evaluate(HIDE)
    wait_for(10, lambda: a.browser.evaluate("wakeLog.join()") == "taken,released", "the lock let go")
    a.browser.evaluate(SHOW_IN_REBUILD)
    click(a, "#keys button:nth-child(2)")
    wait_for(20, lambda: a.window() == (800, 600, 0, 0) and a.browser.evaluate(CURSOR) == "none",
             "fullscreen from F1's button, with no pointer")
    wait_for(10, lambda: a.browser.evaluate("wakeLog.join()") == "taken,released,taken", "the lock taken again")
    expect_drawing(a, moving=True)
    a.browser.evaluate("window.fullscreenCanvas = document.getElementById('canvas')")
    a.leave_fullscreen_by_browser()  # the program rebuilds its window in the page, on a new canvas
    wait_for(20, lambda: a.window() and a.browser.evaluate("document.getElementById('canvas') !== fullscreenCanvas"),
             "the windowed page again")
    click(a, "#keys button:nth-child(1)")
    expect_exit(a, 0)
    check(a.browser.evaluate("document.getElementById('keys').hidden"), "the buttons outlive the program")
    wait_for(10, lambda: a.browser.evaluate("wakeLog.join()") == "taken,released,taken,released",
             "the lock released at the end")


def keys_while_boxes_are_up(a, outdir):
    """With one picture missing and fullscreen refused: keys answer the boxes and never reach the program."""
    a.start("plain", before_load=REMOVE_PICTURES % "['light_alpha.bmp']")
    a.wait_box(20)
    a.press("Escape")  # answers OK; the program, which it would end, never sees it
    wait_for(5, lambda: not a.browser.evaluate(BOX), "Escape answering the box")
    expect_drawing(a, moving=True)
    a.browser.evaluate(COUNT_LIGHTING)
    a.browser.evaluate(TAP_L)
    wait_for(5, lambda: a.browser.evaluate("lightingOn"), "L tapped within one frame")
    a.browser.evaluate("addEventListener('keydown', (e) => { if (e.key == 'F1') "
                       "window.f1Taken = e.defaultPrevented; })")
    a.press("F1")
    check(a.wait_box(20)[1] == QUESTION and a.browser.evaluate("f1Taken"), "F1 left to the browser, or no question")
    a.press("Escape")  # the question has no cancel: it stays
    check((a.browser.evaluate(BOX) or [""])[-1] == QUESTION, "Escape answered the question")
    a.press("Enter")  # Yes has the focus; the new window loads the pictures again
    check(a.wait_box(20)[1].startswith("Failed to open DIB file"), "Enter didn't answer Yes")
    a.press("Escape")
    expect_drawing(a, moving=True)
    a.press("F1")
    a.wait_box(20)
    a.press("Tab")
    a.press("Enter")
    check(a.wait_box(20)[1] == "Program Will Now Close.", "Tab and Enter didn't answer No")
    a.press("Escape")
    expect_exit(a, 0)


def run(checks, usage):
    """Runs each check on a fresh page (those named in OLVO_WEB_CHECKS, comma-separated, when set); 1 if any failed."""
    if len(sys.argv) < 2:
        sys.exit(usage)
    outdir = sys.argv[2] if len(sys.argv) > 2 else None
    if outdir:
        os.makedirs(outdir, exist_ok=True)
    a = Adapter(os.path.abspath(sys.argv[1]))
    if a.missing():
        print(f"web page checks: missing {', '.join(a.missing())} (tools/packages.sh installs them)")
        return 1
    only, failed = [name for name in os.environ.get("OLVO_WEB_CHECKS", "").split(",") if name], 0
    for check_page in checks:
        if only and check_page.__name__ not in only:
            continue
        started = time.monotonic()
        try:
            check_page(a, outdir)
            outcome = "PASS"
        except Exception as failure:  # a failed check, or a tool that broke on the way
            outcome, failed = f"FAIL ({failure})", failed + 1
        finally:
            log = a.stop()
        print(f"{outcome}: {check_page.__doc__.splitlines()[0]} [{time.monotonic() - started:.1f} s]", flush=True)
        if outcome != "PASS":
            print(log)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(run((loading_buttons_and_wake_lock, keys_while_boxes_are_up), __doc__))
