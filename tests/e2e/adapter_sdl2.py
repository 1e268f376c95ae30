"""The SDL2 program under Xvfb with Mesa's software OpenGL, with sdl2_hooks.c preloaded. SDL draws each message box
itself, in a process it forks, with the caption as the X window's title; the hooks log each box's caption and
text, which no other X client can read. Optionally under openbox; the screen saver's state comes from the
server's MIT-SCREEN-SAVER extension."""
import ctypes
import os
import shutil
import subprocess

import footprint
from driver import wait_for
from x11 import X11Adapter


class SaverInfo(ctypes.Structure):
    _fields_ = [("window", ctypes.c_ulong), ("state", ctypes.c_int), ("kind", ctypes.c_int),
                ("til_or_since", ctypes.c_ulong), ("idle", ctypes.c_ulong), ("event_mask", ctypes.c_ulong)]


class Adapter(X11Adapter):
    name = "sdl2"
    escape_exit_code = 0
    no_gl_text = "Can't Find A Suitable PixelFormat."
    tools = X11Adapter.tools + ["openbox", "xset", "xprop", "xrdb"]
    features = X11Adapter.features | {"unsettable_mode", "screen_saver", "window_manager", "minimise", "desktop_scale",
                                      "signal_in_boxes"}
    # Xft.dpi, or GDK_SCALE over it, and a resolution that can't be one, which is said and drawn unscaled: the
    # laptop's on a 1366 x 768 screen under a window manager that frames the window, the others on a screen they fit.
    scaled_displays = [("laptop120", 1.25, None), ("laptop192", 2, None),
                       ("laptop_junk", 1, "Xft.dpi: lots is not a resolution"), ("dpi144", 1.5, None),
                       ("gdk_scale2", 2, None)]
    xft_dpi = {"laptop120": "120", "laptop192": "192", "laptop_junk": "lots", "dpi144": "144", "gdk_scale2": "96"}

    def missing(self):
        # SDL's own boxes need X core fonts (or zenity); without either every box silently becomes a stderr line.
        fonts = os.path.exists("/usr/share/fonts/X11/misc/fonts.dir") or shutil.which("zenity")
        return super().missing() + ([] if fonts else ["xfonts-base (X core fonts for SDL's message boxes)"])

    def start(self, display, pictures=True):
        scaled, laptop = display in self.xft_dpi, display.startswith("laptop")
        self.start_x("Xvfb", "-screen", "0", "1366x768x24" if laptop else "1920x1440x24" if scaled else "1024x768x24",
                     *(["-extension", "GLX"] if display == "no_gl" else []))
        if scaled:
            subprocess.run(["xrdb", "-merge"], input=f"Xft.dpi: {self.xft_dpi[display]}\n", text=True, env=self.env,
                           check=True, timeout=20)
        if display in ("fullscreen_mode", "unsettable_mode"):
            self.run("xrandr", "--newmode", "800x600_60", "38.25", "800", "832", "912", "1024", "600", "603", "607",
                     "624", "-hsync", "+vsync")
            if self.run("xrandr", "--addmode", "screen", "800x600_60").returncode != 0:
                raise RuntimeError("can't add an 800 x 600 mode to the screen")
        if display == "window_manager" or laptop:
            self.start_wm(framed=laptop)
        # Framed, the window's client area is off the screen's corner.
        self.features = Adapter.features - ({"screen_position"} if laptop else set())
        self.boxes_read = 0
        # The sanitizer build's runtime needn't come first among the libraries: the hooks come before it. SDL holds
        # the screen saver off by itself unless told not to, which would hide a program that doesn't.
        hooked = ["SDL_VIDEO_ALLOW_SCREENSAVER=1", self.preloaded("sdl2_hooks.c"),
                  f"E2E_BOX_LOG={os.path.join(self.work, 'boxes')}",
                  f"ASAN_OPTIONS={os.environ.get('ASAN_OPTIONS', '')}:verify_asan_link_order=0"]
        hooked.insert(0, f"GDK_SCALE={2 if display == 'gdk_scale2' else ''}")
        hooked += {"unsettable_mode": ["E2E_REFUSE_MODES=1"], "release_fails": ["E2E_FAIL_RELEASE=1"]}.get(display, [])
        self.start_program(["env", *hooked, self.program], pictures)

    def boxes_asked(self):
        path = os.path.join(self.work, "boxes")
        return open(path, "rb").read().count(b"\0") // 2 if os.path.exists(path) else 0

    # Boxes come in the order the program asked for them; each is read once.
    def box_text(self, caption):
        path = os.path.join(self.work, "boxes")
        fields = open(path, "rb").read().decode().split("\0") if os.path.exists(path) else []
        if len(fields) < 2 * self.boxes_read + 3:
            return None
        logged, text = fields[2 * self.boxes_read:2 * self.boxes_read + 2]
        self.boxes_read += 1
        return text if logged == caption else f"(the next box logged is captioned {logged!r})"

    def signal(self, number):
        self.process.send_signal(number)

    def resize(self, width, height):
        window = wait_for(10, self.main_window, "a window to resize")
        self.run("xdotool", "windowsize", "--sync", window, str(width), str(height))

    # The server times the saver from the last input: a nudge of the pointer makes the idle time count from now.
    def saver_timeout(self, seconds):
        self.run("xset", "s", str(seconds), "0")
        self.run("xdotool", "mousemove_relative", "--", "1", "1")

    def saver(self):
        xlib, xss = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libXss.so.1")
        xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        xlib.XDefaultRootWindow.restype = ctypes.c_ulong
        xss.XScreenSaverQueryInfo.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(SaverInfo)]
        info = SaverInfo()
        answered = footprint.x_call(self.env["DISPLAY"], lambda display: xss.XScreenSaverQueryInfo(
            display, xlib.XDefaultRootWindow(display), ctypes.byref(info)))
        return (info.state, info.idle) if answered else (None, 0)
