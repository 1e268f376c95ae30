"""The Windows program under Wine on private X servers: Xvfb, or Xorg with its dummy driver for a real switch to
800 x 600. Window texts, which X doesn't show for message boxes, come from Wine's +win trace."""
import contextlib
import os
import re
import subprocess

from driver import ROOT, Failure, wait_for
from x11 import X11Adapter


class Adapter(X11Adapter):
    name = "wine"
    escape_exit_code = 27  # the loop's last message is the WM_CHAR that translating the Escape key-down posted
    no_gl_text = "Can't Find A Suitable PixelFormat."
    tools = X11Adapter.tools + ["Xorg", "openbox", "xprop"]
    features = X11Adapter.features | {"minimise", "desktop_scale"}
    # Wine's dots per inch, set in a prefix of their own (the setting lasts in a prefix), whose windows a window
    # manager may manage, so that one can minimise them. The laptop's is a 1366 x 768 screen; the fullscreen mode's
    # desktop is scaled too, which its window must not be.
    scaled_displays = [("laptop120", 1.25, None), ("dpi144", 1.5, None), ("laptop192", 2, None)]
    dpi = {"laptop120": 120, "dpi144": 144, "laptop192": 192, "window_manager": 96, "fullscreen_mode": 192}
    fullscreen_scale = 2
    answer_keys = {"ok": "Return", "yes": "y", "no": "n"}
    prefix_ready = False
    # Now and then, more often on a loaded machine, Wine doesn't give the display mode back after a switch: its
    # rebuilds ask, and are answered yes.
    rebuild_display = "plain"

    def missing(self):
        dummy = os.path.exists("/usr/lib/xorg/modules/drivers/dummy_drv.so")
        wine = os.path.exists("/usr/lib/wine/wine64")
        return super().missing() + ([] if dummy else ["xserver-xorg-video-dummy"]) + ([] if wine else ["wine64"])

    # The prefix scripts work in the Wine that runs this program: 64-bit for a 64-bit build.
    def prefix(self, command, **options):
        with open(self.program, "rb") as exe:
            header = exe.read(4096)
        pe = int.from_bytes(header[60:64], "little")
        arch = "win64" if header[pe + 4:pe + 6] == b"\x64\x86" else "win32"
        self.env["OLVO_WINE_ARCH"] = arch
        chosen = {"OLVO_WINEPREFIX": self.env["OLVO_WINEPREFIX"]} if "OLVO_WINEPREFIX" in self.env else {}
        return subprocess.run(["bash", "-c", f"source {ROOT}/tests/wine/prefix.sh && {command}"],
                              env=dict(os.environ, OLVO_WINE_ARCH=arch, **chosen), **options)

    # The desktop prefix, made once: this start's dots per inch, and whether a window manager manages the windows.
    def desktop_prefix(self, dpi, managed):
        self.env["OLVO_WINEPREFIX"] = os.path.join(ROOT, "build", "wine-prefix64-desktop")
        settings = [r"'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d %d" % dpi,
                    r"'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d %d" % dpi,
                    r"'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d %s" % "NY"[managed]]
        adds = " && ".join(f'timeout 60 "$OLVO_WINE" reg add {setting} /f >/dev/null 2>&1' for setting in settings)
        self.prefix(f"ensure_wine_prefix && {adds} && timeout 20 \"$WINESERVER\" -k; timeout 20 \"$WINESERVER\" -w",
                    check=True, capture_output=True)

    def start(self, display, pictures=True):
        if not self.prefix_ready:
            self.prefix("ensure_wine_prefix", check=True)
            # A fresh prefix's first window can take tens of seconds on a loaded machine: the program is started
            # once and stopped, so that no scenario waits for that.
            self.start_x("Xvfb", "-screen", "0", "1024x768x24")
            self.start_program([os.path.join(ROOT, "tests/wine/wine.sh"), self.program], True)
            with contextlib.suppress(Failure):
                wait_for(120, self.main_window, "the first window in a fresh prefix")
            self.stop()
            Adapter.prefix_ready = True
        self.env.pop("OLVO_WINEPREFIX", None)
        if display in self.dpi:
            self.desktop_prefix(self.dpi[display], display == "window_manager")
        if display == "fullscreen_mode":
            self.start_x("Xorg", "-config", os.path.join(ROOT, "tests/e2e/xorg-dummy.conf"), "-novtswitch",
                         "-sharevts", "-logfile", os.path.join(self.work, "xorg.log"))
        else:
            screen = ("1366x768x24" if display.startswith("laptop") else
                      "1920x1440x24" if display.startswith("dpi") else "1024x768x24")
            self.start_x("Xvfb", "-screen", "0", screen, *(["-extension", "GLX"] if display == "no_gl" else []))
        # Managed, the window keeps the frame Wine draws: its client area is off the screen's corner.
        self.features = Adapter.features - ({"screen_position"} if display == "window_manager" else set())
        if display == "window_manager":
            self.start_wm()
        self.texts_read = 0
        self.env["WINEDEBUG"] = "-all,+win"
        self.start_program(["env", self.preloaded("wine_hooks.c"), os.path.join(ROOT, "tests/wine/wine.sh"),
                            self.program], pictures)

    # The client area is the child window Wine makes for the GL surface, or the window itself when frameless.
    def client(self):
        window = self.main_window()
        tree = window and self.run("xwininfo", "-id", window, "-children").stdout
        children = tree and re.findall(r"^\s+(0x[0-9a-f]+) ", tree, re.M)
        return children[0] if children else window

    def texts(self):
        trace = open(os.path.join(self.work, "output"), errors="replace").read()
        # The trace writes each text as a C string literal: its escapes undone, it is what the program wrote.
        escapes = {"n": "\n", "r": "\r", "t": "\t"}
        return [re.sub(r"\\(.)", lambda m: escapes.get(m[1], m[1]), t)
                for t in re.findall(r'set_window_text L"(.*)"$', trace, re.M)]

    # A box's caption is set just before its text; each box is read once, in order.
    def box_text(self, caption):
        texts = self.texts()
        for i in range(self.texts_read, len(texts) - 1):
            if texts[i] == caption:
                self.texts_read = i + 2
                return texts[i + 1]
        return "(no text in the trace)"

    def send_answer(self, key):
        self.focus(self.box)
        self.run("xdotool", "key", key)

    def stop(self):
        self.prefix('timeout 20 "$OLVO_WINESERVER" -k; timeout 20 "$OLVO_WINESERVER" -w', capture_output=True)
        log = super().stop()
        return "\n".join(line for line in log.splitlines() if ":trace:" not in line)
