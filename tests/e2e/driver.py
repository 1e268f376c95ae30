#!/usr/bin/env python3
"""End-to-end scenarios of the real program, written once and run against one back-end through its adapter.

usage: driver.py BACKEND PROGRAM [SCENARIO... | --except SCENARIO...]
BACKEND: sdl2, wine or web (adapter_BACKEND.py beside this file). Named scenarios run alone; after --except, every
scenario but those (as the sanitizer build's run does).

An adapter (class Adapter) starts the program and its display, finds its window, grabs the screen, presses keys,
reads and answers message boxes and ends everything it started: name, escape_exit_code, no_gl_text, features,
missing(), start(display, pictures), window(), origin(), title(), screen_size(), grab(geometry),
press(key, until) (holds the key until `until()` is true, where keys can be held), wait_box(seconds),
answer(button), close(), leave_fullscreen_by_browser(), wait_exit(seconds), stop(); where features name them,
box_showing(), pointer_shown(), footprint(), signal(number), minimise(), restore(), resize(width, height),
saver() (the screen saver's state, 1 when on, and the idle milliseconds), boxes_asked() (how many the program asked
for) and remove_picture(name) (from the copy of data/ that start(display, "copy") gives); where it has them, outer()
(the window with its frame) and fullscreen_scale (the desktop's scale on the fullscreen_mode display). Every wait
is bounded.
"""
import importlib
import os
import signal
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TITLE = "Olvo's Textures, Lighting & Keyboard Tutorial"
QUESTION = "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?"


class Failure(Exception):
    pass


def wait_for(seconds, probe, what):
    """Calls probe every 0.1 s until it returns something true, and returns that; fails after `seconds`."""
    deadline = time.monotonic() + seconds
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"{what}: not within {seconds} s")
        time.sleep(0.1)


def picture_stats(grab):
    """Distinct colours and mean brightness of a grabbed region, sampled every third pixel."""
    width, height, rgb = grab
    samples = [rgb[i:i + 3] for y in range(0, height, 3) for i in range(3 * y * width, 3 * (y + 1) * width, 9)]
    return len(set(samples)), sum(map(sum, samples)) / (3 * max(len(samples), 1)), samples


def expect_drawing(a, moving=False, size=(800, 600), at=(0, 0)):
    """The program's window, titled exactly, with a client area of `size` (any when None) that shows the scene
    (many colours, not dark); with `moving`, a later look differs. Keys sent after this reach the program's loop."""
    wait_for(30, lambda: (g := a.window()) and g[:2] == (size or g[:2]), f"a window of {size or 'any size'}")
    try:  # waited for: a window a rebuild is taking down may still be there, and then none for a moment
        wait_for(10, lambda: a.title() == TITLE and ("screen_position" not in a.features or a.origin() == at),
                 "the window titled and placed")
    except Failure:  # an origin of None: the window lookup missed
        raise Failure(f"window titled {a.title()!r} at {a.origin()}, not {TITLE!r} at {at}")

    def shows():
        geometry = a.window()
        colours, brightness, samples = picture_stats(a.grab(geometry)) if geometry else (0, 0, None)
        return colours > 200 and brightness > 20 and (geometry, samples)
    geometry, first = wait_for(20, shows, "the scene in the window")
    if moving:
        def moved():
            later = picture_stats(a.grab(geometry))[2]
            return sum(p != q for p, q in zip(first, later)) > len(first) // 100
        wait_for(10, moved, "the scene moving")


def expect_fitted(a, scale):
    """The window's client area is 800 x 600 at `scale` where that and its frame fit the screen, placed as at 96
    dpi; else the largest 4:3 area that fits with the frame, centred. It shows the scene, moving."""
    asked = (round(800 * scale), round(600 * scale))

    def fitted():
        client, screen = a.window(), a.screen_size()
        outer = client and screen and getattr(a, "outer", a.window)()
        if not outer:
            return None
        (width, height), frame = screen, (outer[0] - client[0], outer[1] - client[1])
        if asked[0] + frame[0] <= width and asked[1] + frame[1] <= height:
            return client[:2] == asked and (asked, (0, 0))
        gaps = (outer[2], width - outer[0] - outer[2], outer[3], height - outer[1] - outer[3])
        centred = min(gaps) >= 0 and abs(gaps[0] - gaps[1]) <= 1 and abs(gaps[2] - gaps[3]) <= 1
        largest = gaps[0] + gaps[1] < 4 or gaps[2] + gaps[3] < 3  # the next 4:3 step up wouldn't fit
        return client[0] * 3 == client[1] * 4 and centred and largest and (client[:2], outer[2:])
    try:
        size, at = wait_for(30, fitted, "the window's client area")
    except Failure:
        raise Failure(f"client area {a.window()} in {getattr(a, 'outer', a.window)()} on a {a.screen_size()} screen:"
                      f" not {asked[0]} x {asked[1]}, nor the largest 4:3 that fits with its frame, centred")
    expect_drawing(a, moving=True, size=size, at=at)


def expect_box(a, caption, text, button="ok"):
    box = a.wait_box(20)
    if box != (caption, text):  # a text the adapter couldn't read is None, and fails
        raise Failure(f"box {box!r}, want {(caption, text)!r}")
    a.answer(button)


def expect_pointer(a, shown):
    if "pointer" in a.features:
        wait_for(10, lambda: a.pointer_shown() == shown, f"the pointer {'shown' if shown else 'hidden'} in the window")


def exited(a):
    return lambda: a.wait_exit(0) is not None


def expect_exit(a, code):
    if (got := a.wait_exit(15)) != code:
        raise Failure(f"exit code {got}, want {code}")


def cpu_share(a, seconds):
    """The share of one core the program's process took over `seconds`: its user and system ticks (the 14th and
    15th fields of /proc/PID/stat)."""
    def ticks():
        fields = open(f"/proc/{a.process.pid}/stat").read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])
    before, started = ticks(), time.monotonic()
    time.sleep(seconds)
    return (ticks() - before) / os.sysconf("SC_CLK_TCK") / (time.monotonic() - started)


def started(a, display="plain"):
    a.start(display)
    expect_drawing(a)
    return a.screen_size()


def escape(a):
    a.press("Escape", until=exited(a))
    expect_exit(a, a.escape_exit_code)


def window_scene_and_escape(a):
    started(a)
    expect_drawing(a, moving=True)
    expect_pointer(a, True)
    escape(a)


def closing_the_window(a):
    started(a)
    a.close()
    expect_exit(a, 0)


def f1_refused(a, answer, display="plain"):
    screen = started(a, display)
    a.press("F1", until=lambda: a.box_showing())
    expect_box(a, "Olvo GL", QUESTION, answer)
    if answer == "no":
        expect_box(a, "ERROR", "Program Will Now Close.")
        return expect_exit(a, 0)
    expect_drawing(a)
    if a.screen_size() != screen:
        raise Failure(f"the screen changed from {screen} to {a.screen_size()}")
    escape(a)


def f1_granted_and_back(a):
    """F1 on a display that has the mode, at the desktop scale the adapter gives it: the screen switches to it and a
    frameless 800 x 600 window, never scaled, fills it with the pointer hidden; F1 again brings both back."""
    a.start("fullscreen_mode")
    expect_fitted(a, getattr(a, "fullscreen_scale", 1))
    screen = a.screen_size()
    a.press("F1", until=lambda: a.screen_size() == (800, 600))
    wait_for(20, lambda: a.screen_size() == (800, 600), "the screen at 800 x 600")
    wait_for(20, lambda: a.window() == (800, 600, 0, 0), "a fullscreen window")
    expect_drawing(a, moving=True)
    expect_pointer(a, False)
    a.press("F1", until=lambda: a.screen_size() == screen)
    wait_for(20, lambda: a.screen_size() == screen, f"the screen back at {screen}")
    expect_fitted(a, getattr(a, "fullscreen_scale", 1))
    expect_pointer(a, True)
    escape(a)


def rebuild(a, screen, times):
    """F1 `times` times, each once the last one's window is there; then what the program holds, measured once
    the scene draws again (not while pictures load)."""
    for _ in range(times):
        other, old = (800, 600) if a.screen_size() == screen else screen, a.main_window()
        if a.rebuild_display == "plain":  # each F1 asks, and yes rebuilds in a window
            a.press("F1", until=lambda: a.box_showing())
            expect_box(a, "Olvo GL", QUESTION, "yes")
            wait_for(20, lambda: a.main_window() not in (None, old), "the rebuilt window")
            expect_drawing(a)
        else:
            a.press("F1", until=lambda: a.screen_size() == other and a.main_window() not in (None, old))
    expect_drawing(a)
    return a.footprint()


def rebuilds_hold_nothing_more(a):
    """After a warm-up, the adapter's count of F1 rebuilds leave the program holding no more open files, file
    mappings or X resources than a small constant (libraries settle); a handle kept per rebuild adds that count."""
    screen = started(a, a.rebuild_display)
    before = rebuild(a, screen, 4)
    after = rebuild(a, screen, a.rebuilds)
    grown = {k: after[k] - before[k] for k in ("files", "file_mappings", "x_resources") if after[k] > before[k] + 8}
    if grown:
        raise Failure(f"grew over {a.rebuilds} rebuilds: {grown}, from {before}")


def pictures_missing(a):
    a.start("plain", pictures=False)
    for mask in ("ship_alpha", "merolan_alpha", "light_alpha"):
        expect_box(a, "Error", f"Failed to open DIB file data/{mask}.bmp.\n")
    expect_box(a, "ERROR", "Initialization Failed.")
    expect_exit(a, 0)


def no_opengl(a):
    a.start("no_gl")
    expect_box(a, "ERROR", a.no_gl_text)
    expect_exit(a, 0)


def browser_leaves_fullscreen(a):
    started(a, "fullscreen_mode")
    for _ in range(2):  # the second F1 asks for fullscreen again: the program knew it was back in the page
        a.press("F1", until=lambda: a.window() == (800, 600, 0, 0))
        wait_for(20, lambda: a.window() == (800, 600, 0, 0), "a fullscreen window")
        a.leave_fullscreen_by_browser()
        wait_for(20, lambda: a.window() not in (None, (800, 600, 0, 0)), "the windowed page again")
        expect_drawing(a, moving=True)
    escape(a)


def saver_held_off_then_sigterm(a):
    """The screen saver stays off while the program runs, and comes on once SIGTERM has ended the program with 0:
    the check sees a saver that isn't held off."""
    started(a)
    a.saver_timeout(1)
    wait_for(15, lambda: a.saver()[1] > 2500, "2.5 s without input")
    if a.saver()[0] != 0:
        raise Failure("the screen saver came on while the program ran")
    a.signal(signal.SIGTERM)
    expect_exit(a, 0)
    wait_for(10, lambda: a.saver()[0] == 1, "the screen saver on once the program ended")


def region(grab, x, y, width, height):
    stride, _, rgb = grab
    return width, height, b"".join(rgb[3 * ((y + r) * stride + x):3 * ((y + r) * stride + x + width)]
                                   for r in range(height))


def bare_edges(grab):
    """The strips along the grab's edges, a tenth of it deep, that show next to nothing."""
    width, height, _ = grab
    w, h = width // 10, height // 10
    edges = [(0, 0, w, height), (width - w, 0, w, height), (0, 0, width, h), (0, height - h, width, h)]
    return [edge for edge in edges if picture_stats(region(grab, *edge))[0] <= 20]


def minimised_restored_resized_then_sigint(a):
    """Under a window manager: minimised and restored, the scene moves again; made larger, the picture fills the
    whole window (the starfield reaches each edge: a viewport left at 800 x 600 leaves the top and right bare);
    SIGINT ends the program with 0."""
    started(a, "window_manager")
    a.minimise()
    wait_for(10, lambda: a.window() is None, "the window minimised")
    a.restore()
    expect_drawing(a, moving=True)
    a.resize(1000, 700)
    geometry = wait_for(10, lambda: (g := a.window()) and g[:2] == (1000, 700) and g, "the window at 1000 x 700")

    wait_for(10, lambda: not bare_edges(a.grab(geometry)), "the picture out to every edge of the resized window")
    a.signal(signal.SIGINT)
    expect_exit(a, 0)


def minimised_quiet_then_restored(a):
    """Under a window manager, a minimised program sleeps: at most 10% of a core over 4 s, where a loop that never
    waits takes about half of one here, idle or loaded. Restored, the scene moves again; minimised again, it sleeps
    again. Then closing the window ends the program with 0, and so does SIGTERM where the adapter can send it."""
    endings = [lambda: a.close(a.minimised)] + ([lambda: a.signal(signal.SIGTERM)] if hasattr(a, "signal") else [])
    for round, end in enumerate(endings):
        started(a, "window_manager")
        for minimised in ("minimised", "minimised again")[:1 if round else 2]:
            if minimised != "minimised":
                a.restore()
                expect_drawing(a, moving=True)
            a.minimise()
            wait_for(10, lambda: a.window() is None, f"the window {minimised}")
            if round == 0:
                time.sleep(0.5)
                open(a.env["E2E_UNPACED"], "w").close()  # the hooks' pace would hold a loop that swaps unseen
                try:
                    share = cpu_share(a, 4)
                finally:
                    os.remove(a.env["E2E_UNPACED"])
                if share > 0.10:
                    raise Failure(f"{share:.0%} of a core while {minimised}")
        end()
        expect_exit(a, 0)
        a.stop()


def scaled_desktops(a):
    """On each of the adapter's scaled desktops (display, scale, what the program says of it) the window's client
    area is 800 x 600 at that scale, or fitted to the screen, and the picture fills all of it (a viewport left at
    800 x 600 leaves the top and right bare), moving."""
    for display, scale, said in a.scaled_displays:
        a.start(display)
        expect_fitted(a, scale)
        if bare := bare_edges(a.grab(a.window())):
            raise Failure(f"on {display} the picture misses the window's edge regions {bare}")
        escape(a)
        log = a.stop()
        if said and said not in log:
            raise Failure(f"on {display} the program didn't say {said!r}: {log!r}")


def signal_inside_each_box(a):
    """SIGTERM, SIGINT or SIGHUP inside any message box ends the program with 0 within about a second: the box goes,
    no box is asked for after it (stderr says what one would), and the display gets its own mode back. A row: the
    signal, the display and pictures it starts with, the key that brings the box once it draws, the box, stderr."""
    missing = ("Error", "Failed to open DIB file data/ship_alpha.bmp.\n")
    for number, display, pictures, key, box, said in [
            (signal.SIGTERM, "plain", True, "F1", ("Olvo GL", QUESTION), "Program Will Now Close."),
            (signal.SIGINT, "plain", False, None, missing, "Initialization Failed."),
            (signal.SIGHUP, "release_fails", True, "Escape", ("SHUTDOWN ERROR", "Release Of DC And RC Failed."), ""),
            (signal.SIGTERM, "fullscreen_mode", "copy", "F1", missing, "")]:  # the picture goes before F1
        a.start(display, pictures)
        screen = a.screen_size()
        if key:
            expect_drawing(a)
            if pictures == "copy":
                a.remove_picture("ship_alpha.bmp")
            a.press(key, until=lambda: a.box_showing())
        if (shown := a.wait_box(20)) != box or (display == "fullscreen_mode") != (a.screen_size() == (800, 600)):
            raise Failure(f"box {shown!r} on a screen of {a.screen_size()}, want {box!r}")
        a.signal(number)
        sent = time.monotonic()
        code, took, asked, now = a.wait_exit(10), time.monotonic() - sent, a.boxes_asked(), a.screen_size()
        log = a.stop()
        if code != 0 or took > 1.5 or asked != 1 or now != screen or said not in log:
            raise Failure(f"{signal.Signals(number).name} in {box[0]!r}: exit code {code} after {took:.1f} s, {asked} "
                          f"boxes asked for, the screen at {now}, stderr {log[-300:]!r}")


def started_from_another_folder(a):
    """PROGRAM is the package's launcher: started from a folder without the pictures, it shows the scene."""
    a.start("plain", pictures=False)
    expect_drawing(a, moving=True)
    escape(a)


# Every scenario, by the name the reports show; an optional one runs where the adapter lists it in `features`, and
# one for "by_name" only when named.
SCENARIOS = [
    ("window and scene, then Escape", window_scene_and_escape, None),
    ("closing the window", closing_the_window, "close"),
    ("F1 refused, answered yes", lambda a: f1_refused(a, "yes"), None),
    ("F1 refused, answered no", lambda a: f1_refused(a, "no"), None),
    ("F1 granted and back", f1_granted_and_back, "fullscreen_granted"),
    ("rebuilds hold nothing more", rebuilds_hold_nothing_more, "footprint"),
    ("F1 with a listed mode the display refuses", lambda a: f1_refused(a, "yes", "unsettable_mode"), "unsettable_mode"),
    ("screen saver held off, then SIGTERM", saver_held_off_then_sigterm, "screen_saver"),
    ("minimised, restored and resized, then SIGINT", minimised_restored_resized_then_sigint, "window_manager"),
    ("minimised it sleeps, restored it draws", minimised_quiet_then_restored, "minimise"),
    ("scaled desktops", scaled_desktops, "desktop_scale"),
    ("pictures missing", pictures_missing, None),
    ("a signal inside each box", signal_inside_each_box, "signal_in_boxes"),
    ("no OpenGL", no_opengl, "no_gl"),
    ("fullscreen left by the browser", browser_leaves_fullscreen, "browser_leaves_fullscreen"),
    ("started from another folder", started_from_another_folder, "by_name"),
]


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    sys.modules["driver"] = sys.modules[__name__]  # the adapters import this module by name
    adapter = importlib.import_module("adapter_" + sys.argv[1]).Adapter(os.path.abspath(sys.argv[2]))
    missing = adapter.missing()
    if missing:
        print(f"e2e {adapter.name}: missing {', '.join(missing)} (tools/packages.sh installs them)")
        return 1
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # stopped from outside: still end what was started
    chosen, left_out = sys.argv[3:], []
    if chosen[:1] == ["--except"]:
        chosen, left_out = [], chosen[1:]
    unknown = set(chosen + left_out) - {name for name, _, _ in SCENARIOS}
    if unknown:
        sys.exit(f"no scenario named {', '.join(sorted(unknown))}")
    passed = failed = 0
    for name, scenario, feature in SCENARIOS:
        by_name = chosen or feature == "by_name"
        if ((feature and feature not in adapter.features | {"by_name"}) or (by_name and name not in chosen)
                or name in left_out):
            continue
        started = time.monotonic()
        try:
            scenario(adapter)
            outcome = "PASS"
        except Exception as failure:  # a failed check, or a tool that broke on the way
            outcome = f"FAIL ({failure})"
        finally:
            try:
                log = adapter.stop()
            except Exception as failure:  # something it started outlived the stop
                outcome, log = f"FAIL ({failure})", ""
        seconds = time.monotonic() - started
        print(f"{outcome}: {name} [{adapter.name}, {seconds:.1f} s]", flush=True)
        if outcome == "PASS":
            passed += 1
        else:
            failed += 1
            print("".join(f"    | {line}\n" for line in log.splitlines()[-15:]), end="", flush=True)
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
