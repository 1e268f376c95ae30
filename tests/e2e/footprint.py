"""What a running program holds, read from outside: memory, open files and mappings from /proc, X resources through
the X-Resource extension; the pointer's image through XFixes, the process behind a window, and a key held at the
X server. Used by the end-to-end scenarios and the soak."""
import ctypes
import os

xlib, xres = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libXRes.so.1")
xlib.XOpenDisplay.restype = ctypes.c_void_p
xlib.XCloseDisplay.argtypes = xlib.XFree.argtypes = xlib.XFlush.argtypes = [ctypes.c_void_p]
xlib.XStringToKeysym.restype = ctypes.c_ulong
xlib.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
# A window that went between a listing and a question about it is an X error: ignored, not Xlib's exit. An X
# server that went is said, and no exit either: the connection's calls then do nothing, and the adapter fails.
IGNORE_ERRORS = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda display, event: 0)
xlib.XSetErrorHandler(IGNORE_ERRORS)
LOST = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p)(lambda display: os.write(2, b"lost the X server\n") and 0)
xlib.XSetIOErrorHandler(LOST)
NO_EXIT = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_void_p)(lambda display, data: None)
Pairs, Quads = ctypes.c_ulong * 2, ctypes.c_ulong * 4  # XResClient / XResType / XResClientIdSpec, XResClientIdValue


class CursorImage(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short), ("width", ctypes.c_ushort), ("height", ctypes.c_ushort),
                ("hot", ctypes.c_ushort * 2), ("serial", ctypes.c_ulong), ("pixels", ctypes.POINTER(ctypes.c_ulong))]


def x_call(display_name, use):
    """Runs use(display) on a connection of its own to the X server, and returns what it returns."""
    display = xlib.XOpenDisplay(display_name.encode())
    if not display:
        raise RuntimeError(f"can't open X display {display_name}")
    xlib.XSetIOErrorExitHandler(ctypes.c_void_p(display), NO_EXIT, None)
    try:
        return use(ctypes.c_void_p(display))
    finally:
        xlib.XCloseDisplay(display)


def window_pid(display_name, window):
    """The id of the process whose X client made `window` (0 when the server can't tell)."""
    def query(display):
        count, ids = ctypes.c_long(), ctypes.POINTER(Quads)()
        wanted = Pairs(int(window, 0), 2)  # XRES_CLIENT_ID_PID_MASK
        if xres.XResQueryClientIds(display, 1, ctypes.byref(wanted), ctypes.byref(count), ctypes.byref(ids)):
            return 0
        pid = max([xres.XResGetClientPid(ctypes.byref(ids[i])) for i in range(count.value)] + [0])
        xres.XResClientIdsDestroy(count, ids)
        return pid
    return x_call(display_name, query)


def x_resources(display_name):
    """Every resource that every client of the server holds (windows, pixmaps, colormaps, ...), counted."""
    def query(display):
        clients, count, total = ctypes.POINTER(Pairs)(), ctypes.c_int(), 0
        xres.XResQueryClients(display, ctypes.byref(count), ctypes.byref(clients))
        for i in range(count.value):
            types, kinds = ctypes.POINTER(Pairs)(), ctypes.c_int()  # an atom and a count of that type
            xres.XResQueryClientResources(display, ctypes.c_ulong(clients[i][0]), ctypes.byref(kinds),
                                          ctypes.byref(types))
            total += sum(types[k][1] & 0xFFFFFFFF for k in range(kinds.value))
            xlib.XFree(types)
        xlib.XFree(clients)
        return total
    return x_call(display_name, query)


def pointer_shown(display_name):
    """Whether the pointer's current image has any pixel that isn't transparent."""
    def query(display):
        fixes = ctypes.CDLL("libXfixes.so.3")
        fixes.XFixesGetCursorImage.restype = ctypes.POINTER(CursorImage)
        image = fixes.XFixesGetCursorImage(display).contents
        shown = any(image.pixels[i] >> 24 for i in range(image.width * image.height))
        xlib.XFree(ctypes.byref(image))
        return shown
    return x_call(display_name, query)


def hold_key(display_name, window, key, done):
    """Presses `key` at the X server and holds it until `done` is set, or at once when the focus leaves `window`
    (the key ended it), before a window made next takes the focus and finds the key down."""
    def hold(display):
        xtst, focus, revert = ctypes.CDLL("libXtst.so.6"), ctypes.c_ulong(), ctypes.c_int()
        code = xlib.XKeysymToKeycode(display, xlib.XStringToKeysym(key.encode()))
        xtst.XTestFakeKeyEvent(display, code, 1, ctypes.c_ulong(0))
        xlib.XFlush(display)
        while not done.wait(0.002):
            xlib.XGetInputFocus(display, ctypes.byref(focus), ctypes.byref(revert))
            if focus.value != window:
                break
        xtst.XTestFakeKeyEvent(display, code, 0, ctypes.c_ulong(0))
        xlib.XFlush(display)
    x_call(display_name, hold)


def footprint(pid, display_name):
    """Resident memory (kB), open files, mappings and those of files for process `pid`, and the X server's
    resources. Allocators (a sanitizer's most) map anonymous memory as they go; files are mapped on purpose."""
    status, maps = open(f"/proc/{pid}/status").read(), open(f"/proc/{pid}/maps").read().splitlines()
    return {"rss_kb": int(status.split("VmRSS:")[1].split()[0]), "files": len(os.listdir(f"/proc/{pid}/fd")),
            "mappings": len(maps), "file_mappings": sum(" /" in line for line in maps),
            "x_resources": x_resources(display_name)}
