// platform_sdl2.cpp -- the seam on SDL2: one window with an OpenGL context, SDL events as window messages,
// display modes, the cursor and message boxes. Owns the process entry point, which ends the program on a signal.
#define SDL_MAIN_HANDLED
#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "platform/platform.h"
#include "platform/sdl2/end_signals_sdl2.h"
#include "platform/window_fit.h"

namespace {

// The back-end holds at most one class, one window with one device context, and one GL context: all the
// program ever makes. Handles are addresses inside this record, never dereferenced by the program.
struct Sdl2Platform {
    bool videoReady;               // the SDL video subsystem is initialised
    bool classRegistered;
    std::string className;
    WNDPROC windowProc;

    bool windowExists;             // CreateWindowEx succeeded and DestroyWindow hasn't run
    std::string title;
    int width;
    int height;
    double scale;                  // the desktop's scale, read when a framed window is made
    bool popup;                    // a frameless window: fullscreen when a display mode was granted
    bool resizable;
    bool deviceContextHeld;
    SDL_Window* window;            // made when the pixel format is set (SDL picks the visual then), or for a mode
    SDL_GLContext context;
    bool focused;
    int glAttributes[11];          // the visual asked for by the last ChoosePixelFormat, in Sdl2GlAttributeNames order

    bool modeGranted;              // the display runs in `mode`, switched by a fullscreen window made for it
    SDL_DisplayMode mode;
    bool modeWindow;               // `window` was made for the mode and awaits the window that will take it
    int modeWindowAttributes[11];  // glAttributes when that window was made
    int cursorCount;               // ShowCursor's counter: the cursor shows while it is 0 or more

    std::deque<MSG> queue;
    bool quitPosted;
    int quitCode;
};

Sdl2Platform sdl2{};

HWND Sdl2WindowHandle() {
    return reinterpret_cast<HWND>(&sdl2.windowExists);
}

HDC Sdl2DeviceContextHandle() {
    return reinterpret_cast<HDC>(&sdl2.deviceContextHeld);
}

bool Sdl2IsWindow(HWND window) {
    return sdl2.windowExists && window == Sdl2WindowHandle();
}

bool Sdl2IsDeviceContext(HDC dc) {
    return sdl2.deviceContextHeld && dc == Sdl2DeviceContextHandle();
}

bool Sdl2InitVideo() {
    if (!sdl2.videoReady) sdl2.videoReady = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    return sdl2.videoReady;
}

// SDL makes an X colormap for every window it creates and never frees it: without this, every rebuild would
// leave one more behind in the X server.
void Sdl2DestroyWindow(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    XWindowAttributes attributes;
    bool onX11 = SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11 &&
                 XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes);
    SDL_DestroyWindow(window);
    if (onX11 && attributes.colormap != DefaultColormapOfScreen(attributes.screen))
        XFreeColormap(info.info.x11.display, attributes.colormap);
}

constexpr SDL_GLattr Sdl2GlAttributeNames[11] = {
    SDL_GL_DOUBLEBUFFER, SDL_GL_RED_SIZE, SDL_GL_GREEN_SIZE, SDL_GL_BLUE_SIZE, SDL_GL_ALPHA_SIZE, SDL_GL_DEPTH_SIZE,
    SDL_GL_STENCIL_SIZE, SDL_GL_ACCUM_RED_SIZE, SDL_GL_ACCUM_GREEN_SIZE, SDL_GL_ACCUM_BLUE_SIZE,
    SDL_GL_ACCUM_ALPHA_SIZE,
};

// Makes a fullscreen window for the granted mode and shows it, which is when SDL switches the display. The
// window is kept only when the display then runs in the mode: a mode SDL lists may still be refused.
bool Sdl2ShowInMode() {
    SDL_Window* window = SDL_CreateWindow("", 0, 0, sdl2.mode.w, sdl2.mode.h,
                                          SDL_WINDOW_OPENGL | SDL_WINDOW_FULLSCREEN | SDL_WINDOW_BORDERLESS |
                                              SDL_WINDOW_HIDDEN);
    if (!window) return false;
    SDL_DisplayMode now{};
    if (SDL_SetWindowDisplayMode(window, &sdl2.mode) == 0) {
        SDL_ShowWindow(window);
        SDL_GetCurrentDisplayMode(0, &now);
    }
    if (now.w != sdl2.mode.w || now.h != sdl2.mode.h || now.format != sdl2.mode.format) {
        Sdl2DestroyWindow(window);
        return false;
    }
    sdl2.window = window;
    sdl2.modeWindow = true;
    std::memcpy(sdl2.modeWindowAttributes, sdl2.glAttributes, sizeof sdl2.glAttributes);
    return true;
}

// Win32 virtual-key codes for the keys the program (and a user) would press.
int Sdl2TranslateKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
    switch (key) {
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_RETURN: return VK_RETURN;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT: case SDLK_RALT: return VK_MENU;
    case SDLK_PAUSE: return VK_PAUSE;
    case SDLK_CAPSLOCK: return VK_CAPITAL;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_END: return VK_END;
    case SDLK_HOME: return VK_HOME;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    default: return 0;
    }
}

// The desktop's scale as X desktops publish it: GDK_SCALE where the session sets one, else the X resource
// Xft.dpi over 96. A value that can't be a scale is said on stderr and read as 1.
double Sdl2DesktopScale() {
    if (const char* gdk = std::getenv("GDK_SCALE"); gdk && *gdk) {
        char* end = nullptr;
        const long scale = std::strtol(gdk, &end, 10);
        if (*end == '\0' && scale >= 1 && scale <= 8) return double(scale);
        std::fprintf(stderr, "GDK_SCALE=%s is not a scale from 1 to 8; drawing unscaled\n", gdk);
        return 1.0;
    }
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    const char* resources = nullptr;
    if (sdl2.window && SDL_GetWindowWMInfo(sdl2.window, &info) && info.subsystem == SDL_SYSWM_X11) {
        resources = XResourceManagerString(info.info.x11.display);
    }
    if (!resources) return 1.0;
    XrmInitialize();
    XrmDatabase database = XrmGetStringDatabase(resources);
    char* type = nullptr;
    XrmValue value{};
    std::string dpi;
    if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr) dpi = value.addr;
    XrmDestroyDatabase(database);
    if (dpi.empty()) return 1.0;
    char* end = nullptr;
    const double dots = std::strtod(dpi.c_str(), &end);
    if (*end != '\0' || !(dots >= 24 && dots <= 960)) {
        std::fprintf(stderr, "Xft.dpi: %s is not a resolution from 24 to 960 dots per inch; drawing unscaled\n",
                     dpi.c_str());
        return 1.0;
    }
    return dots / 96.0;
}

// A framed window is the size asked for at the desktop's scale where the display's work area holds it with the
// frame; else the largest window of its shape that fits, centred. The window manager tells the frame once it has
// taken the window: until then it counts as none.
void Sdl2FitWindow() {
    SDL_Rect work, screen;
    const int display = SDL_GetWindowDisplayIndex(sdl2.window);
    if (display < 0 || SDL_GetDisplayBounds(display, &screen) != 0 || SDL_GetDisplayUsableBounds(display, &work) != 0) {
        work = screen = SDL_Rect{0, 0, 1 << 16, 1 << 16};
    }
    int top = 0, left = 0, bottom = 0, right = 0;
    SDL_GetWindowBordersSize(sdl2.window, &top, &left, &bottom, &right);
    const WindowFit fit = FitWindow(sdl2.width, sdl2.height, sdl2.scale, {left, top, right, bottom},
                                    {work.x, work.y, work.w, work.h}, {screen.x, screen.y, screen.w, screen.h});
    int width = 0, height = 0;
    SDL_GetWindowSize(sdl2.window, &width, &height);
    if (width != fit.client.width || height != fit.client.height) {
        SDL_SetWindowSize(sdl2.window, fit.client.width, fit.client.height);
    }
    if (fit.centred) SDL_SetWindowPosition(sdl2.window, fit.client.x, fit.client.y);
}

void Sdl2Post(UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = Sdl2WindowHandle();
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = SDL_GetTicks();
    sdl2.queue.push_back(msg);
}

WPARAM Sdl2Activation(bool minimised) {
    return WPARAM(minimised ? 0x10000 : 1);  // high word: minimised; low word: inactive or active
}

void Sdl2TranslateEvent(const SDL_Event& event) {
    const bool ours = sdl2.window != nullptr;
    switch (event.type) {
    case SDL_QUIT:  // the last window closed, or the process was asked to stop
        if (ours) Sdl2Post(WM_CLOSE, 0, 0);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        const int key = Sdl2TranslateKey(event.key.keysym.sym);
        if (!ours || key == 0) break;
        // With Alt held these are system keys, which the program's key table never sees.
        const bool system = (event.key.keysym.mod & KMOD_ALT) != 0;
        const UINT message = event.type == SDL_KEYDOWN ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN)
                                                       : (system ? WM_SYSKEYUP : WM_KEYUP);
        Sdl2Post(message, WPARAM(key), 0);
        break;
    }
    case SDL_WINDOWEVENT:
        if (!ours || event.window.windowID != SDL_GetWindowID(sdl2.window)) break;
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE: Sdl2Post(WM_CLOSE, 0, 0); break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            Sdl2Post(WM_SIZE, 0, LPARAM((event.window.data1 & 0xFFFF) | (event.window.data2 & 0xFFFF) << 16));
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
        case SDL_WINDOWEVENT_HIDDEN: Sdl2Post(WM_ACTIVATE, Sdl2Activation(true), 0); break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SHOWN: Sdl2Post(WM_ACTIVATE, Sdl2Activation(false), 0); break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: sdl2.focused = true; break;
        case SDL_WINDOWEVENT_FOCUS_LOST: sdl2.focused = false; break;
        default: break;
        }
        break;
    default: break;
    }
}

Uint32 Sdl2MessageBoxFlags(UINT style) {
    switch (style & 0xF0) {
    case MB_ICONSTOP: return SDL_MESSAGEBOX_ERROR;
    case MB_ICONEXCLAMATION: return SDL_MESSAGEBOX_WARNING;
    case MB_ICONINFORMATION: return SDL_MESSAGEBOX_INFORMATION;
    default: return 0;
    }
}

}  // namespace

HINSTANCE PlatformGetModuleHandle() {
    return reinterpret_cast<HINSTANCE>(&sdl2);
}

HICON PlatformLoadIcon(HINSTANCE, LPCSTR name) {
    return reinterpret_cast<HICON>(const_cast<char*>(name));
}

HCURSOR PlatformLoadCursor(HINSTANCE, LPCSTR name) {
    return reinterpret_cast<HCURSOR>(const_cast<char*>(name));
}

ATOM PlatformRegisterClass(const WNDCLASSA* windowClass) {
    if (sdl2.classRegistered || !windowClass->lpszClassName || !windowClass->lpfnWndProc) return 0;
    sdl2.classRegistered = true;
    sdl2.className = windowClass->lpszClassName;
    sdl2.windowProc = windowClass->lpfnWndProc;
    return 0xC000;
}

BOOL PlatformUnregisterClass(LPCSTR className, HINSTANCE) {
    // As on Windows, a class can't go while a window of it exists.
    if (!sdl2.classRegistered || sdl2.className != className || sdl2.windowExists) return FALSE;
    sdl2.classRegistered = false;
    sdl2.windowProc = nullptr;
    return TRUE;
}

// As on Windows the display is switched here, and a refused mode is told here: SDL switches it only for a
// fullscreen window being shown, so that window is made now and taken by the next window the program makes.
// The mode is given back by taking the window out of fullscreen.
LONG PlatformChangeDisplaySettings(DEVMODEA* mode, DWORD) {
    if (!mode) {
        if (sdl2.window && sdl2.modeWindow && !sdl2.windowExists) {  // no window came to take it
            Sdl2DestroyWindow(sdl2.window);
            sdl2.window = nullptr;
            sdl2.modeWindow = false;
        }
        if (sdl2.window) SDL_SetWindowFullscreen(sdl2.window, 0);
        sdl2.modeGranted = false;
        return DISP_CHANGE_SUCCESSFUL;
    }
    if (!Sdl2InitVideo() || sdl2.window) return DISP_CHANGE_FAILED;
    // Only exactly the mode asked for will do: SDL's closest-mode search would settle for another.
    const int modes = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < modes; ++i) {
        SDL_DisplayMode candidate;
        if (SDL_GetDisplayMode(0, i, &candidate) != 0) continue;
        if (DWORD(candidate.w) == mode->dmPelsWidth && DWORD(candidate.h) == mode->dmPelsHeight &&
            DWORD(SDL_BYTESPERPIXEL(candidate.format) * 8) == mode->dmBitsPerPel) {
            sdl2.mode = candidate;
            sdl2.modeGranted = Sdl2ShowInMode();
            return sdl2.modeGranted ? DISP_CHANGE_SUCCESSFUL : DISP_CHANGE_FAILED;
        }
    }
    return DISP_CHANGE_BADMODE;
}

int PlatformShowCursor(BOOL show) {
    sdl2.cursorCount += show ? 1 : -1;
    SDL_ShowCursor(sdl2.cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return sdl2.cursorCount;
}

// The window manager draws any frame outside SDL's client area, so the outer size is the client size.
BOOL PlatformAdjustWindowRectEx(RECT*, DWORD, BOOL, DWORD) {
    return TRUE;
}

HWND PlatformCreateWindowEx(DWORD, LPCSTR className, LPCSTR title, DWORD style, int, int, int width, int height,
                            HWND, HMENU, HINSTANCE, void*) {
    if (!sdl2.classRegistered || sdl2.className != className || sdl2.windowExists || !Sdl2InitVideo()) return nullptr;
    sdl2.windowExists = true;
    sdl2.title = title;
    sdl2.width = width;
    sdl2.height = height;
    sdl2.popup = (style & WS_POPUP) != 0;
    sdl2.resizable = (style & WS_OVERLAPPEDWINDOW) == WS_OVERLAPPEDWINDOW;
    sdl2.focused = false;
    return Sdl2WindowHandle();
}

BOOL PlatformDestroyWindow(HWND window) {
    if (!Sdl2IsWindow(window)) return FALSE;
    if (sdl2.window) {
        Sdl2DestroyWindow(sdl2.window);
        sdl2.window = nullptr;
        sdl2.modeWindow = false;
        SDL_EnableScreenSaver();
    }
    sdl2.windowExists = false;
    sdl2.focused = false;
    // Messages for the window die with it, as Windows drops a destroyed window's messages.
    sdl2.queue.clear();
    return TRUE;
}

HDC PlatformGetDC(HWND window) {
    if (!Sdl2IsWindow(window) || sdl2.deviceContextHeld) return nullptr;
    sdl2.deviceContextHeld = true;
    return Sdl2DeviceContextHandle();
}

int PlatformReleaseDC(HWND window, HDC dc) {
    if (!Sdl2IsWindow(window) || !Sdl2IsDeviceContext(dc)) return 0;
    sdl2.deviceContextHeld = false;
    return 1;
}

// The request becomes SDL's GL attributes, read when the window is made.
int PlatformChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* request) {
    const DWORD needed = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    if (!Sdl2IsDeviceContext(dc) || (request->dwFlags & needed) != needed || request->iPixelType != PFD_TYPE_RGBA) {
        return 0;
    }
    if (SDL_GL_LoadLibrary(nullptr) != 0) return 0;
    const int channelBits = request->cColorBits >= 24 ? 8 : request->cColorBits / 3;
    const int values[11] = {(request->dwFlags & PFD_DOUBLEBUFFER) ? 1 : 0, channelBits, channelBits, channelBits,
                            request->cAlphaBits, request->cDepthBits, request->cStencilBits, request->cAccumRedBits,
                            request->cAccumGreenBits, request->cAccumBlueBits, request->cAccumAlphaBits};
    std::memcpy(sdl2.glAttributes, values, sizeof values);
    SDL_GL_ResetAttributes();
    for (int i = 0; i < 11; ++i) SDL_GL_SetAttribute(Sdl2GlAttributeNames[i], values[i]);
    // Immediate-mode drawing needs the compatibility profile.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    return 1;
}

// Makes the SDL window, hidden until ShowWindow, or takes the one made for the display mode: its visual is fixed
// from here on, as a pixel format is.
BOOL PlatformSetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR*) {
    if (!Sdl2IsDeviceContext(dc) || format != 1 || (sdl2.window && !sdl2.modeWindow)) return FALSE;
    if (sdl2.window) {
        // Made before this visual was chosen: with another one it is made again, in the mode again.
        if (std::memcmp(sdl2.modeWindowAttributes, sdl2.glAttributes, sizeof sdl2.glAttributes) != 0) {
            Sdl2DestroyWindow(sdl2.window);
            sdl2.window = nullptr;
            if (!Sdl2ShowInMode()) return FALSE;
        }
        sdl2.modeWindow = false;
        SDL_SetWindowTitle(sdl2.window, sdl2.title.c_str());
    } else {
        Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
        if (sdl2.resizable) flags |= SDL_WINDOW_RESIZABLE;
        if (sdl2.popup) flags |= SDL_WINDOW_BORDERLESS;
        sdl2.window = SDL_CreateWindow(sdl2.title.c_str(), 0, 0, sdl2.width, sdl2.height, flags);
        if (!sdl2.window) return FALSE;
        // The X connection is the window's, so the scale is read once it exists; a frameless window is for a
        // display mode and stays as asked.
        if (!sdl2.popup) {
            sdl2.scale = Sdl2DesktopScale();
            Sdl2FitWindow();
        }
    }
    SDL_DisableScreenSaver();
    return TRUE;
}

HGLRC PlatformCreateContext(HDC dc) {
    if (!Sdl2IsDeviceContext(dc) || !sdl2.window || sdl2.context) return nullptr;
    sdl2.context = SDL_GL_CreateContext(sdl2.window);
    if (!sdl2.context) return nullptr;
    // SDL makes a new context current; a new rendering context isn't current until it is made so.
    SDL_GL_MakeCurrent(sdl2.window, nullptr);
    return reinterpret_cast<HGLRC>(sdl2.context);
}

// The swap interval belongs to the current context: one display refresh per swap, where the driver can wait.
BOOL PlatformMakeCurrent(HDC dc, HGLRC context) {
    if (!context) return SDL_GL_MakeCurrent(sdl2.window, nullptr) == 0 ? TRUE : FALSE;
    if (!Sdl2IsDeviceContext(dc) || reinterpret_cast<SDL_GLContext>(context) != sdl2.context) return FALSE;
    if (SDL_GL_MakeCurrent(sdl2.window, sdl2.context) != 0) return FALSE;
    SDL_GL_SetSwapInterval(1);
    return TRUE;
}

BOOL PlatformDeleteContext(HGLRC context) {
    if (!context || reinterpret_cast<SDL_GLContext>(context) != sdl2.context) return FALSE;
    SDL_GL_DeleteContext(sdl2.context);
    sdl2.context = nullptr;
    return TRUE;
}

BOOL PlatformShowWindow(HWND window, int) {
    if (!Sdl2IsWindow(window) || !sdl2.window) return FALSE;
    SDL_ShowWindow(sdl2.window);
    if (!sdl2.popup) {  // the window manager has taken it: its frame is known once its events are read
        SDL_PumpEvents();
        Sdl2FitWindow();
    }
    // The program sets its viewport for the size it asked for; the window's own size (the desktop's scale, the
    // fit to the screen, or what a window manager gave) follows as the size change Windows sends when a window
    // is shown.
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(sdl2.window, &width, &height);
    Sdl2Post(WM_SIZE, 0, LPARAM((width & 0xFFFF) | (height & 0xFFFF) << 16));
    return TRUE;
}

BOOL PlatformSetForegroundWindow(HWND window) {
    if (!Sdl2IsWindow(window) || !sdl2.window) return FALSE;
    SDL_RaiseWindow(sdl2.window);
    return TRUE;
}

HWND PlatformSetFocus(HWND window) {
    if (!Sdl2IsWindow(window) || !sdl2.window) return nullptr;
    SDL_SetWindowInputFocus(sdl2.window);
    sdl2.focused = true;
    return nullptr;
}

HWND PlatformGetFocus() {
    return sdl2.window && sdl2.focused ? Sdl2WindowHandle() : nullptr;
}

BOOL PlatformPeekMessage(MSG* msg, HWND, UINT, UINT, UINT) {
    // A signal ends the loop ahead of anything queued, with 0, and the program takes its window down as on Escape.
    if (Sdl2Ending()) {
        *msg = MSG{};
        msg->message = WM_QUIT;
        return TRUE;
    }
    if (sdl2.queue.empty()) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) Sdl2TranslateEvent(event);
    }
    if (!sdl2.queue.empty()) {
        *msg = sdl2.queue.front();
        sdl2.queue.pop_front();
        return TRUE;
    }
    if (sdl2.quitPosted) {
        sdl2.quitPosted = false;
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = WPARAM(sdl2.quitCode);
        return TRUE;
    }
    // With nothing pending the record holds no message, so leaving the loop by Escape returns 0.
    *msg = MSG{};
    return FALSE;
}

BOOL PlatformTranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT PlatformDispatchMessage(const MSG* msg) {
    if (!Sdl2IsWindow(msg->hwnd) || !sdl2.windowProc) return 0;
    return sdl2.windowProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT PlatformDefWindowProc(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

// Sleeps in SDL's wait until an event comes that may be a message, or a signal that ends the program (looked
// for every 100 ms).
BOOL PlatformWaitMessage() {
    if (!sdl2.videoReady) return FALSE;
    SDL_Event event;
    while (sdl2.queue.empty() && !sdl2.quitPosted && !Sdl2Ending()) {
        if (SDL_WaitEventTimeout(&event, 100)) {
            Sdl2TranslateEvent(event);
            break;
        }
    }
    return TRUE;
}

void PlatformPostQuitMessage(int exitCode) {
    sdl2.quitPosted = true;
    sdl2.quitCode = exitCode;
}

BOOL PlatformSwapBuffers(HDC dc) {
    if (!Sdl2IsDeviceContext(dc) || !sdl2.window) return FALSE;
    SDL_GL_SwapWindow(sdl2.window);
    return TRUE;
}

// OK, or Yes (Return) and No (Escape). A box that can't be shown (no display, neither zenity nor X core fonts)
// answers 0, which is no Yes, and goes to stderr with SDL's reason so it isn't lost. Once a signal has come, a box
// is answered as if dismissed (OK, or No): the one showing is taken down, and a later one goes to stderr.
int PlatformMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    const SDL_MessageBoxButtonData okButton[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK, "OK"},
    };
    const SDL_MessageBoxButtonData yesNoButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"},
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"},
    };
    const bool yesNo = (style & 0xF) == MB_YESNO;
    const int dismissed = yesNo ? IDNO : IDOK;
    SDL_MessageBoxData box{};
    box.flags = Sdl2MessageBoxFlags(style);
    box.window = Sdl2IsWindow(owner) ? sdl2.window : nullptr;
    box.title = caption;
    box.message = text;
    box.numbuttons = yesNo ? 2 : 1;
    box.buttons = yesNo ? yesNoButtons : okButton;
    const std::size_t length = std::strlen(text);
    const int shown = int(length > 0 && text[length - 1] == '\n' ? length - 1 : length);
    if (!Sdl2OpenBox()) {
        std::fprintf(stderr, "%s: %.*s (no message box: the program is ending on a signal)\n", caption, shown, text);
        return dismissed;
    }
    int answer = 0;
    const bool failed = SDL_ShowMessageBox(&box, &answer) != 0;
    Sdl2BoxClosed();
    if (Sdl2Ending()) return dismissed;
    if (failed) {
        std::fprintf(stderr, "%s: %.*s (no message box: %s)\n", caption, shown, text, SDL_GetError());
        return 0;
    }
    return answer;
}

int main(int, char**) {
    Sdl2CatchEndSignals();
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetMainReady();
    const int exitCode = WinMain(PlatformGetModuleHandle(), nullptr, nullptr, SW_SHOW);
    SDL_Quit();
    return exitCode;
}
