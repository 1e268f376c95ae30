"""The Windows program under Wine on private X servers: Xvfb, or Xorg with its dummy driver for a real switch to
800 x 600. Window texts, which X doesn't show for message boxes, come from Wine's +win trace."""
import os
import re
import subprocess

from driver import ROOT
from x11 import X11Adapter


class Adapter(X11Adapter):
    name = "wine"
    escape_exit_code = 27  # the loop's last message is the WM_CHAR that translating the Escape key-down posted
    no_gl_text = "Can't Find A Suitable PixelFormat."
    tools = X11Adapter.tools + ["wine", "wineserver", "Xorg"]
    answer_keys = {"ok": "Return", "yes": "y", "no": "n"}
    prefix_ready = False
    # Now and then, more often on a loaded machine, Wine doesn't give the display mode back after a switch: its
    # rebuilds ask, and are answered yes.
    rebuilds, rebuild_display = 40, "plain"

    def missing(self):
        dummy = os.path.exists("/usr/lib/xorg/modules/drivers/dummy_drv.so")
        return super().missing() + ([] if dummy else ["xserver-xorg-video-dummy"])

    def start(self, display, pictures=True):
        if not self.prefix_ready:
            subprocess.run(["bash", "-c", f"source {ROOT}/tests/wine/prefix.sh && ensure_wine_prefix"], check=True)
            Adapter.prefix_ready = True
        if display == "fullscreen_mode":
            self.start_x("Xorg", "-config", os.path.join(ROOT, "tests/e2e/xorg-dummy.conf"), "-novtswitch",
                         "-sharevts", "-logfile", os.path.join(self.work, "xorg.log"))
        else:
            self.start_x("Xvfb", "-screen", "0", "1024x768x24", *(["-extension", "GLX"] if display == "no_gl" else []))
        self.texts_read = 0
        self.env["WINEDEBUG"] = "-all,+win"
        self.start_program([os.path.join(ROOT, "tests/wine/wine.sh"), self.program], pictures)

    # The client area is the child window Wine makes for the GL surface, or the window itself when frameless.
    def window(self):
        window = self.main_window()
        if not window:
            return None
        children = re.findall(r"^\s+(0x[0-9a-f]+) ", self.run("xwininfo", "-id", window, "-children").stdout, re.M)
        return self.geometry(children[0] if children else window)

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
        subprocess.run(["bash", "-c", f"source {ROOT}/tests/wine/prefix.sh && timeout 20 wineserver -k; "
                        "timeout 20 wineserver -w"], capture_output=True)
        log = super().stop()
        return "\n".join(line for line in log.splitlines() if ":trace:" not in line)
