"""The X11 half of the SDL2 and Wine adapters: a private X server, the program in its own process group,
windows found by title, keys held until their effect shows (a loop that drains its messages first would miss a
quick tap), screenshots, message boxes found by caption and owner in the window tree, the pointer's image and what
the program holds."""
import contextlib
import ctypes
import os
import re
import shutil
import signal
import subprocess
import tempfile
import threading

import footprint
from driver import Failure, ROOT, TITLE, wait_for

CAPTIONS = ("Error", "ERROR", "SHUTDOWN ERROR", "Olvo GL")


class X11Adapter:
    tools = ["Xvfb", "xdotool", "xwininfo", "xrandr", "import", "cc"]
    features = {"close", "fullscreen_granted", "no_gl", "screen_position", "pointer", "footprint"}
    answer_keys = {"ok": "Return", "yes": "Return", "no": "Escape"}
    rebuilds = int(os.environ.get("E2E_REBUILDS", 20))  # F1 rebuilds over which what the program holds mustn't grow
    rebuild_display = "fullscreen_mode"  # each F1 switches the display; with "plain", each asks
    hooks = None

    def __init__(self, program):
        self.program = program
        # Made by each start, removed by each stop.
        self.work = os.path.join(tempfile.gettempdir(), f"olvo-e2e-{os.getpid()}")
        self.env = dict(os.environ, MESA_SHADER_CACHE_DISABLE="true", E2E_UNPACED=os.path.join(self.work, "unpaced"))
        self.wm = self.x = self.process = self.box = self.answered = None

    def preloaded(self, source):
        """LD_PRELOAD=... for the hooks in tests/e2e/SOURCE, built once into a folder that goes when the driver
        ends."""
        if not X11Adapter.hooks:
            X11Adapter.hooks = tempfile.TemporaryDirectory(prefix="olvo-e2e-hooks-")
        library = os.path.join(X11Adapter.hooks.name, source.replace(".c", ".so"))
        if not os.path.exists(library):
            subprocess.run(["cc", "-shared", "-fPIC", "-o", library, os.path.join(ROOT, "tests/e2e", source), "-ldl"],
                           check=True, timeout=60)
        return f"LD_PRELOAD={library}"

    def missing(self):
        return [tool for tool in self.tools if not shutil.which(tool)] + (
            [] if os.path.exists(self.program) else [f"the program {self.program}"])

    def run(self, *command):
        self.x_alive()
        return subprocess.run(command, capture_output=True, text=True, env=self.env, timeout=20)

    def x_alive(self):
        """Fails at once when the X server has gone under the test, instead of every probe waiting out its time."""
        if self.x and (status := self.x.poll()) is not None:
            raise Failure(f"the X server ({self.x.args[0]}) ended with status {status} during the test")

    def start_x(self, *command):
        # The server writes its display number and a newline to the file once it takes clients.
        os.makedirs(self.work, exist_ok=True)
        path = os.path.join(self.work, "display")
        with open(path, "w") as display, open(os.path.join(self.work, "x.log"), "w") as log:
            self.x = subprocess.Popen([*command, "-displayfd", str(display.fileno()), "-nolisten", "tcp", "-noreset"],
                                      pass_fds=[display.fileno()], stdout=log, stderr=log, start_new_session=True)
        number = wait_for(15, lambda: (text := open(path).read()).endswith("\n") and text, f"{command[0]} running")
        self.env["DISPLAY"] = ":" + number.strip()
        self.run("xset", "r", "off")  # a key held until its effect shows must not repeat

    def start_wm(self, framed=False):
        """openbox; unless `framed`, undecorated, so the window's client area stays at the screen's corner."""
        config = os.path.join(self.work, "openbox.xml")
        bare = '<applications><application class="*"><decor>no</decor></application></applications>'
        with open(config, "w") as out:
            out.write('<openbox_config xmlns="http://openbox.org/3.4/rc"><theme><keepBorder>no</keepBorder>'
                      f'</theme>{"" if framed else bare}</openbox_config>\n')
        self.wm = subprocess.Popen(["openbox", "--config-file", config], env=self.env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, start_new_session=True)
        wait_for(10, lambda: "window id" in self.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK").stdout,
                 "openbox running")

    def minimise(self):
        self.minimised = wait_for(10, self.main_window, "a window to minimise")
        self.run("xdotool", "windowminimize", "--sync", self.minimised)

    def restore(self):
        self.run("xdotool", "windowactivate", "--sync", self.minimised)

    def start_program(self, command, pictures):
        self.cwd = ROOT if pictures is True else os.path.join(self.work, "pictures")
        os.makedirs(self.cwd, exist_ok=True)
        if pictures == "copy":
            shutil.copytree(os.path.join(ROOT, "data"), os.path.join(self.cwd, "data"))
        with open(os.path.join(self.work, "output"), "w") as output:
            self.process = subprocess.Popen(command, cwd=self.cwd, env=self.env, stdout=output, stderr=output,
                                            start_new_session=True)

    def remove_picture(self, name):
        os.remove(os.path.join(self.cwd, "data", name))

    def stop(self):
        """Ends the program (with any box it forked), any window manager and the X server; returns what the program
        printed. One that outlives SIGKILL by 10 s (stuck in the kernel) fails, once the rest is cleaned up."""
        started = list(filter(None, (self.wm, self.process, self.x)))
        for process in started:
            with contextlib.suppress(ProcessLookupError):
                os.killpg(process.pid, signal.SIGKILL)
            with contextlib.suppress(subprocess.TimeoutExpired):
                process.wait(10)
        stuck = [f"{process.args[0]} (process {process.pid})" for process in started if process.poll() is None]
        self.wm = self.x = self.process = self.box = self.answered = None
        path = os.path.join(self.work, "output")
        log = open(path, errors="replace").read() if os.path.exists(path) else ""
        shutil.rmtree(self.work, ignore_errors=True)
        if stuck:
            raise Failure(f"still running 10 s after SIGKILL: {', '.join(stuck)}")
        return log

    def wait_exit(self, seconds):
        self.x_alive()
        try:
            return self.process.wait(seconds)
        except subprocess.TimeoutExpired:
            return None

    def main_window(self):
        found = self.run("xdotool", "search", "--onlyvisible", "--name", f"^{re.escape(TITLE)}$").stdout.split()
        return found[0] if found else None

    def geometry(self, window):
        info = self.run("xwininfo", *(["-root"] if window == "root" else ["-id", window])).stdout
        v = dict(re.findall(r"^\s*(Absolute upper-left X|Absolute upper-left Y|Width|Height):\s+(-?\d+)", info, re.M))
        if len(v) < 4:
            return None
        return int(v["Width"]), int(v["Height"]), int(v["Absolute upper-left X"]), int(v["Absolute upper-left Y"])

    def client(self):
        return self.main_window()

    def window(self):
        window = self.client()
        return window and self.geometry(window)

    def outer(self):
        """The client area's window's topmost ancestor below the root: the frame drawn around it, if any."""
        window = self.client()
        while window and (up := re.search(r"Parent window id: (0x[0-9a-f]+)( \(the root)?",
                                          self.run("xwininfo", "-id", window, "-tree").stdout)):
            if up[2]:
                return self.geometry(window)
            window = up[1]
        return None

    # A window that goes between the lookup and the look (a rebuild) reads as none yet: the caller waits again.
    def origin(self):
        return (window := self.main_window()) and (geometry := self.geometry(window)) and geometry[2:]

    def title(self):
        window = self.main_window()
        return window and self.run("xdotool", "getwindowname", window).stdout.rstrip("\n")

    def screen_size(self):
        geometry = self.x and self.geometry("root")
        return geometry and geometry[:2]

    def grab(self, geometry):
        self.x_alive()
        w, h, x, y = geometry
        ppm = subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "-depth", "8", "ppm:-"],
                             capture_output=True, env=self.env, timeout=20).stdout
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", ppm)
        if not header:
            self.x_alive()
            raise Failure("no screenshot")
        return int(header[1]), int(header[2]), ppm[header.end():]

    def focus(self, window):
        wait_for(5, lambda: self.run("xdotool", "windowfocus", "--sync", window).returncode == 0, "the focus")

    def press(self, key, until, seconds=20):
        window = wait_for(10, self.main_window, "a window for the key")
        self.focus(window)
        done = threading.Event()
        holder = threading.Thread(target=footprint.hold_key, args=(self.env["DISPLAY"], int(window), key, done))
        holder.start()
        try:
            wait_for(seconds, until, f"what {key} does")
        finally:
            done.set()
            holder.join(10)
            if holder.is_alive():  # the X server doesn't answer: that, not what the key did, is the failure
                raise Failure(f"{key} still held at the X server 10 s after its release")

    def pointer_shown(self):
        width, height, x, y = wait_for(10, self.window, "a window to point at")
        self.run("xdotool", "mousemove", str(x + width // 2), str(y + height // 2))
        return footprint.pointer_shown(self.env["DISPLAY"])

    def footprint(self):
        return footprint.footprint(self.process.pid, self.env["DISPLAY"])

    # Boxes by caption, each with the process that shows it: a box that reuses an answered box's window id is
    # still a new box, and an answered box's window that lingers is not.
    def boxes(self):
        tree = self.run("xwininfo", "-root", "-tree").stdout
        return [(window, name, footprint.window_pid(self.env["DISPLAY"], window))
                for window, name in re.findall(r'^\s+(0x[0-9a-f]+) "(.*)": \(', tree, re.M) if name in CAPTIONS]

    def box_showing(self):
        return any(box[::2] != self.answered for box in self.boxes())

    def wait_box(self, seconds):
        def fresh():  # mapped, so a key sent to it is taken
            return next((box for box in self.boxes() if box[::2] != self.answered and
                         "IsViewable" in self.run("xwininfo", "-id", box[0]).stdout), None)
        self.box, caption, self.box_owner = wait_for(seconds, fresh, "a message box")
        return caption, self.box_text(caption)

    def answer(self, button):
        self.send_answer(self.answer_keys[button])
        self.answered = (self.box, self.box_owner)
        wait_for(10, lambda: all(box[::2] != self.answered for box in self.boxes()), "the box answered")

    def send_answer(self, key):
        self.run("xdotool", "key", "--window", self.box, key)

    def close(self, window=None):
        """Asks the window (by default the visible one) to close as a window manager's close button does
        (WM_DELETE_WINDOW)."""
        xlib = ctypes.CDLL("libX11.so.6")
        xlib.XInternAtom.restype = ctypes.c_ulong
        xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
        window = int(window or wait_for(10, self.main_window, "a window to close"), 0)
        # An XClientMessageEvent laid over the 24 longs of an XEvent: type, serial, send_event, display,
        # window, message_type, format, then data.l[5]. Closing the connection sends it.
        event = (ctypes.c_long * 24)()
        event[0], event[4], event[6] = 33, window, 32  # ClientMessage

        def send(display):
            event[5], event[7] = (xlib.XInternAtom(display, atom, 0) for atom in (b"WM_PROTOCOLS", b"WM_DELETE_WINDOW"))
            return xlib.XSendEvent(display, window, 0, 0, event)
        if not footprint.x_call(self.env["DISPLAY"], send):
            raise Failure("could not send WM_DELETE_WINDOW")
