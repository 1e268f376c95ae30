"""Headless Chromium driven over its DevTools protocol, for the web build's tests, benchmark and screenshots:
start it on a page, run script in the page, send trusted keys, and grab the screen as RGB or PNG.

Needs Debian's chromium and python3-websocket. Every wait is bounded; close() always ends the browser.
"""
import base64
import json
import os
import shutil
import signal
import subprocess
import tempfile
import time
import urllib.request
import zlib

BROWSER = "/usr/lib/chromium/chromium"  # the /usr/bin wrapper complains about /dev/shm in containers
# DevTools key fields: key, code, Windows virtual-key code, and the text a key types (which activates a button).
KEYS = {"Escape": ("Escape", "Escape", 27, ""), "F1": ("F1", "F1", 112, ""), "L": ("l", "KeyL", 76, ""),
        "Enter": ("Enter", "Enter", 13, "\r"), "Tab": ("Tab", "Tab", 9, "")}


def missing():
    """What the browser tools need and this machine lacks, as Debian package names."""
    absent = [] if os.path.exists(BROWSER) else ["chromium"]
    try:
        import websocket  # noqa: F401
    except ImportError:
        absent.append("python3-websocket")
    return absent


class Chromium:
    def __init__(self, url, flags=(), screen=(800, 600), window=(1024, 900), before_load=None, setup=None):
        """Starts the browser on about:blank, injects before_load (script run in every new page before its own),
        calls setup(self) (to emulate a device, watch the network), then opens url."""
        import websocket
        self.profile = tempfile.mkdtemp(prefix="olvo-chromium-")
        self.console, self.next_id = [], 0
        # Without a GPU, WebGL runs on SwiftShader, Chromium's software renderer, which it must be allowed to use.
        # A headless window keeps 143 pixels for its (unseen) browser controls, 1024 x 900 shows the page whole.
        self.process = subprocess.Popen(
            [BROWSER, "--headless=new", "--no-sandbox", "--remote-debugging-port=0", f"--user-data-dir={self.profile}",
             "--no-first-run", "--mute-audio", "--enable-unsafe-swiftshader", "--disable-background-networking",
             "--disable-component-update", "--disable-sync", "--disable-quic",
             f"--screen-info={{{screen[0]}x{screen[1]}}}", f"--window-size={window[0]},{window[1]}", *flags,
             "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            port = self._wait(15, self._port, "the DevTools port")
            page = self._wait(15, lambda: next((t for t in self._targets(port) if t["type"] == "page"), None),
                              "a page")
            self.socket = websocket.create_connection(page["webSocketDebuggerUrl"], suppress_origin=True, timeout=15)
            for domain in ("Page", "Runtime", "Log"):
                self.call(f"{domain}.enable")
            if before_load:
                self.call("Page.addScriptToEvaluateOnNewDocument", source=before_load)
            if setup:
                setup(self)
            self.call("Page.navigate", url=url)
        except BaseException:
            self.close()
            raise

    @staticmethod
    def _wait(seconds, probe, what):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            value = probe()
            if value:
                return value
            time.sleep(0.05)
        raise RuntimeError(f"Chromium: no {what} within {seconds} s")

    def _port(self):
        path = os.path.join(self.profile, "DevToolsActivePort")
        lines = open(path).read().split() if os.path.exists(path) else []
        return lines[0] if lines else None

    @staticmethod
    def _targets(port):
        try:
            return json.load(urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list", timeout=5))
        except OSError:
            return []

    def _take(self, message):
        """Keeps the page's console messages, uncaught exceptions and browser log entries as lines of text."""
        method, params = message.get("method"), message.get("params", {})
        if method == "Runtime.consoleAPICalled":
            text = " ".join(str(a.get("value", a.get("description", ""))) for a in params["args"])
            self.console.append(f"console.{params['type']}: {text}")
        elif method == "Runtime.exceptionThrown":
            details = params["exceptionDetails"]
            self.console.append(f"exception: {details.get('exception', {}).get('description', details['text'])}")
        elif method == "Log.entryAdded":
            self.console.append(f"log.{params['entry']['level']}: {params['entry']['text']}")

    def call(self, method, timeout=15, **params):
        self.next_id += 1
        self.socket.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            self.socket.settimeout(max(0.01, deadline - time.monotonic()))
            message = json.loads(self.socket.recv())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error'].get('message')}")
                return message["result"]
            self._take(message)
        raise RuntimeError(f"{method}: no answer within {timeout} s")

    def errors(self):
        return [line for line in self.console if line.startswith(("console.error", "exception", "log.error"))]

    def evaluate(self, expression, timeout=15):
        """The expression's value (awaited when a promise); None when it throws, as before the page exists."""
        result = self.call("Runtime.evaluate", timeout, expression=expression, returnByValue=True,
                           awaitPromise=True)
        return None if "exceptionDetails" in result else result["result"].get("value")

    def key(self, name, down):
        key, code, virtual, text = KEYS[name]
        kind = ("keyDown" if text else "rawKeyDown") if down else "keyUp"
        self.call("Input.dispatchKeyEvent", type=kind, key=key, code=code, windowsVirtualKeyCode=virtual,
                  nativeVirtualKeyCode=virtual, **({"text": text} if down and text else {}))

    def press(self, name, hold=0.1):
        """A trusted key press held across a few animation frames."""
        self.key(name, True)
        time.sleep(hold)
        self.key(name, False)

    def pointer(self, x, y, down):
        """A trusted press or release of the left mouse button at (x, y) in the page: a user gesture."""
        self.call("Input.dispatchMouseEvent", type="mousePressed" if down else "mouseReleased", x=x, y=y,
                  button="left", buttons=1 if down else 0, clickCount=1)

    def touch(self, x, y, down):
        """A trusted touch (start or end) at (x, y) in the page, where touch is emulated."""
        self.call("Input.dispatchTouchEvent", type="touchStart" if down else "touchEnd",
                  touchPoints=[{"x": x, "y": y}] if down else [])

    def png(self, geometry):
        """The region (width, height, x, y) of the page as shown, as PNG bytes."""
        w, h, x, y = geometry
        # Encoded for speed (unfiltered rows), which this module's decoder reads several times faster.
        shot = self.call("Page.captureScreenshot", 30, format="png", fromSurface=True, optimizeForSpeed=True,
                         clip={"x": x, "y": y, "width": w, "height": h, "scale": 1})
        return base64.b64decode(shot["data"])

    def grab(self, geometry):
        return png_rgb(self.png(geometry))

    def close(self):
        try:
            self.call("Browser.close", timeout=5)
        except Exception:  # already gone, or never connected
            pass
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        try:
            self.process.wait(15)
        except subprocess.TimeoutExpired:
            raise RuntimeError(f"Chromium (process {self.process.pid}) still running 15 s after SIGKILL") from None
        finally:
            shutil.rmtree(self.profile, ignore_errors=True)


def png_rgb(data):
    """(width, height, RGB bytes) of an 8-bit, non-interlaced RGB or RGBA PNG, as Chromium and stb write them."""
    at, chunks = 8, {}
    while at < len(data):
        length = int.from_bytes(data[at:at + 4], "big")
        chunks.setdefault(data[at + 4:at + 8], []).append(data[at + 8:at + 8 + length])
        at += 12 + length
    header = chunks[b"IHDR"][0]
    width, height = int.from_bytes(header[0:4], "big"), int.from_bytes(header[4:8], "big")
    if header[8] != 8 or header[9] not in (2, 6) or header[12] != 0:
        raise ValueError("not an 8-bit non-interlaced RGB(A) PNG")
    step = 3 if header[9] == 2 else 4
    raw, stride = zlib.decompress(b"".join(chunks[b"IDAT"])), width * step
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, row = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        if kind == 2:
            row = bytearray((a + b) & 255 for a, b in zip(row, previous))
        elif kind:
            for i in range(stride):
                left = row[i - step] if i >= step else 0
                up, corner = previous[i], previous[i - step] if i >= step else 0
                if kind == 1:
                    row[i] = (row[i] + left) & 255
                elif kind == 3:
                    row[i] = (row[i] + ((left + up) >> 1)) & 255
                else:
                    p = left + up - corner
                    pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                    row[i] = (row[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append(row)
        previous = row
    pixels = b"".join(rows)
    if step == 3:
        return width, height, pixels
    rgb = bytearray(width * height * 3)
    for channel in range(3):
        rgb[channel::3] = pixels[channel::4]
    return width, height, bytes(rgb)
