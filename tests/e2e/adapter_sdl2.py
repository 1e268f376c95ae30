"""The SDL2 program under Xvfb with Mesa's software OpenGL. SDL draws each message box in a process it forks,
with the caption as the X window's title; the text isn't readable from outside, so only captions are checked."""
import os
import shutil

from x11 import X11Adapter


class Adapter(X11Adapter):
    name = "sdl2"
    escape_exit_code = 0
    no_gl_text = "Can't Find A Suitable PixelFormat."

    def missing(self):
        # SDL's own boxes need X core fonts (or zenity); without either every box silently becomes a stderr line.
        fonts = os.path.exists("/usr/share/fonts/X11/misc/fonts.dir") or shutil.which("zenity")
        return super().missing() + ([] if fonts else ["xfonts-base (X core fonts for SDL's message boxes)"])

    def start(self, display, pictures=True):
        self.start_x("Xvfb", "-screen", "0", "1024x768x24", *(["-extension", "GLX"] if display == "no_gl" else []))
        if display == "fullscreen_mode":
            self.run("xrandr", "--newmode", "800x600_60", "38.25", "800", "832", "912", "1024", "600", "603", "607",
                     "624", "-hsync", "+vsync")
            if self.run("xrandr", "--addmode", "screen", "800x600_60").returncode != 0:
                raise RuntimeError("can't add an 800 x 600 mode to the screen")
        self.start_program([self.program], pictures)

    def box_text(self, caption):
        return None
