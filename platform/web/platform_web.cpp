// platform_web.cpp -- the seam in a browser page: the window is a canvas with a WebGL context, page events are
// window messages, the display mode is the browser's fullscreen and message boxes are the page's own modal box.
// The program keeps its blocking loop: the waits in web_browser.js suspend it (ASYNCIFY) and hand the browser
// its turn. A context the browser loses is replaced within the swap, unseen by the program. Owns the process
// entry point.
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <deque>
#include <string>

#include "platform/platform.h"
#include "platform/web/web_gl.h"

// The page side, in web_browser.js. The four waits suspend the program until the page answers.
extern "C" {
int WebCreateCanvas(const char* title, int width, int height);
void WebShowCanvas(int shown);
void WebShowCursor(int shown);
void WebStartGlEmulation(int keepMatrices);
int WebDeleteGlContext(int handle);
int WebTakeContextState();
void WebRestartGlContext(int handle);
void WebDrawingBufferSize(int* width, int* height);
void WebWaitForFrame();
int WebShowMessageBox(const char* text, const char* caption, int yesNo);
int WebRequestFullscreen();
void WebExitFullscreen();
}

namespace {

// WebTakeContextState's answers.
constexpr int ContextDrawing = 0;
constexpr int ContextLost = 1;
constexpr int ContextRestored = 2;  // since the loss; the answer is given once

// How long a lost context may wait for the browser to restore it before a fresh canvas gets a new one, and how
// long from the loss a fresh canvas may go on getting none (graphics being restarted) before the program ends.
constexpr double RestoreWaitMs = 750.0;
constexpr double NewContextWaitMs = 5000.0;

constexpr char NoContextText[] = "Can't Create A GL Rendering Context.";
constexpr char NoContextCaption[] = "ERROR";

// One class, one window (the canvas) with its device context, and one WebGL context: all the program makes.
// Handles are addresses inside this record, never dereferenced by the program: the context's stays the same
// when a lost context is replaced.
struct WebPlatform {
    bool classRegistered;
    std::string className;
    WNDPROC windowProc;

    bool windowExists;             // CreateWindowEx succeeded and DestroyWindow hasn't run
    std::string title;             // the window's, and its client size: a fresh canvas is made alike
    int width, height;
    int bufferWidth, bufferHeight; // the canvas's drawing buffer as the GL layer last heard of it
    bool deviceContextHeld;
    bool pixelFormatSet;
    int depthBits;                 // from the pixel-format request, for the context
    bool contextHeld;              // the program has a context and hasn't deleted it, even if none is left
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context;  // the live one, 0 where the browser gave none in place of a lost one
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE emulatedContext;  // the context the GL emulation was last set up for
    bool shown;

    bool fullscreen;               // the browser granted fullscreen and hasn't left it since
    int cursorCount;               // ShowCursor's counter: the cursor shows while it is 0 or more
    bool boxOpen;                  // a message box is up: keys belong to it

    std::deque<MSG> queue;
    bool pressedThisFrame[256];    // a key-down for this key was handed out since the last swap
    bool quitPosted;
    int quitCode;
};

WebPlatform web{};

HWND WebWindowHandle() {
    return reinterpret_cast<HWND>(&web.windowExists);
}

HDC WebDeviceContextHandle() {
    return reinterpret_cast<HDC>(&web.deviceContextHeld);
}

HGLRC WebContextHandle() {
    return reinterpret_cast<HGLRC>(&web.context);
}

bool WebIsWindow(HWND window) {
    return web.windowExists && window == WebWindowHandle();
}

bool WebIsDeviceContext(HDC dc) {
    return web.deviceContextHeld && dc == WebDeviceContextHandle();
}

void WebPost(UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = WebWindowHandle();
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = DWORD(emscripten_get_now());
    web.queue.push_back(msg);
}

// Win32 virtual-key codes: browsers report them as the key code for these keys.
int WebTranslateKey(unsigned long keyCode) {
    if ((keyCode >= 'A' && keyCode <= 'Z') || (keyCode >= '0' && keyCode <= '9')) return int(keyCode);
    if (keyCode >= unsigned(VK_F1) && keyCode < unsigned(VK_F1 + 12)) return int(keyCode);
    switch (keyCode) {
    case VK_BACK: case VK_TAB: case VK_RETURN: case VK_SHIFT: case VK_CONTROL: case VK_MENU: case VK_PAUSE:
    case VK_CAPITAL: case VK_ESCAPE: case VK_SPACE: case VK_PRIOR: case VK_NEXT: case VK_END: case VK_HOME:
    case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN: case VK_INSERT: case VK_DELETE:
        return int(keyCode);
    default: return 0;
    }
}

// The page's own use of the program's keys is turned off (F1 opens help); with Ctrl, Alt or Meta held the
// browser keeps its shortcuts.
bool WebIsProgramKey(int key, const EmscriptenKeyboardEvent& event) {
    if (key == VK_F1) return true;
    if (event.ctrlKey || event.altKey || event.metaKey) return false;
    return key == VK_ESCAPE || key == 'L';
}

EM_BOOL WebOnKey(int eventType, const EmscriptenKeyboardEvent* event, void*) {
    const int key = WebTranslateKey(event->keyCode);
    if (key == 0) return EM_FALSE;
    if (web.boxOpen) return key == VK_F1;
    if (web.windowExists) {
        // With Alt held these are system keys, which the program's key table never sees.
        const bool down = eventType == EMSCRIPTEN_EVENT_KEYDOWN;
        const UINT message = event->altKey ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
        WebPost(message, WPARAM(key), 0);
    }
    return WebIsProgramKey(key, *event);
}

// High word: minimised; low word: inactive or active. A hidden page gets no animation frames either.
void WebPostActivation(bool hidden) {
    WebPost(WM_ACTIVATE, WPARAM(hidden ? 0x10000 : 1), 0);
}

EM_BOOL WebOnVisibility(int, const EmscriptenVisibilityChangeEvent* event, void*) {
    if (web.windowExists) WebPostActivation(event->hidden != 0);
    return EM_FALSE;
}

// The browser leaves fullscreen by itself (its own Escape, its controls): the program is told as if F1 had been
// pressed, so it rebuilds the window in the page by its own path. A leave the program asked for has already
// cleared the flag.
EM_BOOL WebOnFullscreenChange(int, const EmscriptenFullscreenChangeEvent* event, void*) {
    if (!event->isFullscreen && web.fullscreen) {
        web.fullscreen = false;
        WebPost(WM_KEYDOWN, WPARAM(VK_F1), 0);
    }
    return EM_FALSE;
}

// Null where the browser gives no WebGL context (turned off, no usable graphics, or none left).
EMSCRIPTEN_WEBGL_CONTEXT_HANDLE WebMakeGlContext() {
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = EM_FALSE;      // the clear colour's alpha would let the page show through
    attributes.depth = web.depthBits > 0 ? EM_TRUE : EM_FALSE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;  // as the requested pixel format: no multisampling
    attributes.majorVersion = 1;
    attributes.minorVersion = 0;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context("#canvas", &attributes);
    return context > 0 ? context : 0;
}

// The program draws in window pixels; the GL layer scales them to the canvas's drawing buffer, which has the
// screen's own pixels and changes with the device pixel ratio and fullscreen.
void WebFollowDrawingBuffer(bool always) {
    int width = 0;
    int height = 0;
    WebDrawingBufferSize(&width, &height);
    if (!always && width == web.bufferWidth && height == web.bufferHeight) return;
    web.bufferWidth = width;
    web.bufferHeight = height;
    WebGlSetPixelScale(float(width) / float(web.width), float(height) / float(web.height));
}

// Waits, a frame at a time, for the browser to restore the lost context; when it doesn't soon, a fresh canvas
// gets a new one. Either way the GL layer gives the new context all the program had. False when the browser
// gives no context at all.
bool WebRecoverContext() {
    const double lostAt = emscripten_get_now();
    int state = ContextLost;
    while ((state = WebTakeContextState()) == ContextLost && emscripten_get_now() < lostAt + RestoreWaitMs) {
        WebWaitForFrame();
    }
    if (state == ContextDrawing) return true;
    if (state == ContextRestored) {
        WebRestartGlContext(int(web.context));
    } else {
        WebDeleteGlContext(int(web.context));
        web.context = 0;
        while (!web.context) {
            if (!WebCreateCanvas(web.title.c_str(), web.width, web.height)) return false;
            WebShowCanvas(web.shown ? 1 : 0);
            web.context = WebMakeGlContext();
            if (!web.context && emscripten_get_now() > lostAt + NewContextWaitMs) return false;
            if (!web.context) WebWaitForFrame();
        }
    }
    if (emscripten_webgl_make_context_current(web.context) != EMSCRIPTEN_RESULT_SUCCESS) return false;
    WebStartGlEmulation(1);
    web.emulatedContext = web.context;
    WebFollowDrawingBuffer(true);
    WebGlRestoreContext();
    return true;
}

void WebInstallHandlers() {
    // On the window, not the canvas: deleting a WebGL context drops every handler on its canvas.
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, WebOnKey);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, WebOnKey);
    emscripten_set_visibilitychange_callback(nullptr, EM_FALSE, WebOnVisibility);
    // Refused where the page may not go fullscreen, and not needed there.
    emscripten_set_fullscreenchange_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_FALSE,
                                             WebOnFullscreenChange);
}

}  // namespace

// The page's key buttons: a press (down) or release of a key, as the keyboard gives it. A box that is up owns
// the page, and once the window is gone nothing listens.
extern "C" EMSCRIPTEN_KEEPALIVE void WebPageKey(int key, int down) {
    if (web.boxOpen || !web.windowExists || key <= 0 || WebTranslateKey(unsigned(key)) != key) return;
    WebPost(down ? WM_KEYDOWN : WM_KEYUP, WPARAM(key), 0);
}

HINSTANCE PlatformGetModuleHandle() {
    return reinterpret_cast<HINSTANCE>(&web);
}

HICON PlatformLoadIcon(HINSTANCE, LPCSTR name) {
    return reinterpret_cast<HICON>(const_cast<char*>(name));
}

HCURSOR PlatformLoadCursor(HINSTANCE, LPCSTR name) {
    return reinterpret_cast<HCURSOR>(const_cast<char*>(name));
}

ATOM PlatformRegisterClass(const WNDCLASSA* windowClass) {
    if (web.classRegistered || !windowClass->lpszClassName || !windowClass->lpfnWndProc) return 0;
    web.classRegistered = true;
    web.className = windowClass->lpszClassName;
    web.windowProc = windowClass->lpfnWndProc;
    return 0xC000;
}

BOOL PlatformUnregisterClass(LPCSTR className, HINSTANCE) {
    // As on Windows, a class can't go while a window of it exists.
    if (!web.classRegistered || web.className != className || web.windowExists) return FALSE;
    web.classRegistered = false;
    web.windowProc = nullptr;
    return TRUE;
}

// The display mode is the browser's fullscreen: the canvas's container fills the screen and the canvas keeps
// its size, scaled up with its proportions kept. Any mode asked for is tried; the browser decides.
LONG PlatformChangeDisplaySettings(DEVMODEA* mode, DWORD) {
    if (!mode) {
        // Cleared first, so the page's own notice of the change isn't taken for the browser leaving.
        web.fullscreen = false;
        WebExitFullscreen();
        return DISP_CHANGE_SUCCESSFUL;
    }
    web.fullscreen = WebRequestFullscreen() != 0;
    return web.fullscreen ? DISP_CHANGE_SUCCESSFUL : DISP_CHANGE_FAILED;
}

int PlatformShowCursor(BOOL show) {
    web.cursorCount += show ? 1 : -1;
    WebShowCursor(web.cursorCount >= 0);
    return web.cursorCount;
}

// The page draws no frame around the canvas, so the outer size is the client size.
BOOL PlatformAdjustWindowRectEx(RECT*, DWORD, BOOL, DWORD) {
    return TRUE;
}

HWND PlatformCreateWindowEx(DWORD, LPCSTR className, LPCSTR title, DWORD, int, int, int width, int height, HWND,
                            HMENU, HINSTANCE, void*) {
    if (!web.classRegistered || web.className != className || web.windowExists) return nullptr;
    if (width <= 0 || height <= 0 || !WebCreateCanvas(title, width, height)) return nullptr;
    web.windowExists = true;
    web.title = title;
    web.width = width;
    web.height = height;
    web.shown = false;
    return WebWindowHandle();
}

BOOL PlatformDestroyWindow(HWND window) {
    if (!WebIsWindow(window)) return FALSE;
    WebShowCanvas(0);
    web.windowExists = false;
    web.shown = false;
    web.pixelFormatSet = false;
    // Messages for the window die with it, as Windows drops a destroyed window's messages.
    web.queue.clear();
    return TRUE;
}

HDC PlatformGetDC(HWND window) {
    if (!WebIsWindow(window) || web.deviceContextHeld) return nullptr;
    web.deviceContextHeld = true;
    return WebDeviceContextHandle();
}

int PlatformReleaseDC(HWND window, HDC dc) {
    if (!WebIsWindow(window) || !WebIsDeviceContext(dc)) return 0;
    web.deviceContextHeld = false;
    return 1;
}

// WebGL offers one kind of surface: RGBA, double-buffered; the request only says whether it has a depth buffer.
int PlatformChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* request) {
    const DWORD needed = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    if (!WebIsDeviceContext(dc) || (request->dwFlags & needed) != needed || request->iPixelType != PFD_TYPE_RGBA) {
        return 0;
    }
    return 1;
}

BOOL PlatformSetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* request) {
    if (!WebIsDeviceContext(dc) || format != 1 || web.pixelFormatSet) return FALSE;
    web.pixelFormatSet = true;
    web.depthBits = request->cDepthBits;
    return TRUE;
}

// Null where the browser has no WebGL (turned off, or no usable graphics).
HGLRC PlatformCreateContext(HDC dc) {
    if (!WebIsDeviceContext(dc) || !web.pixelFormatSet || web.contextHeld) return nullptr;
    web.context = WebMakeGlContext();
    web.contextHeld = web.context != 0;
    return web.contextHeld ? WebContextHandle() : nullptr;
}

BOOL PlatformMakeCurrent(HDC dc, HGLRC context) {
    if (!context) return emscripten_webgl_make_context_current(0) == EMSCRIPTEN_RESULT_SUCCESS ? TRUE : FALSE;
    if (!WebIsDeviceContext(dc) || context != WebContextHandle() || !web.context) return FALSE;
    if (emscripten_webgl_make_context_current(web.context) != EMSCRIPTEN_RESULT_SUCCESS) return FALSE;
    if (web.emulatedContext != web.context) {
        WebStartGlEmulation(0);
        web.emulatedContext = web.context;
        WebGlStartContext();
    }
    WebFollowDrawingBuffer(true);
    return TRUE;
}

BOOL PlatformDeleteContext(HGLRC context) {
    if (context != WebContextHandle() || !web.contextHeld) return FALSE;
    if (web.context && !WebDeleteGlContext(int(web.context))) return FALSE;
    web.context = 0;
    web.contextHeld = false;
    WebGlForgetContext();
    return TRUE;
}

// A window shown is told whether it is active, as Windows activates a window it shows: the page's visibility
// may have changed while no window was there to hear of it (during a rebuild), and the program must not go on
// waiting for a "shown" that was told to the old one or to none.
BOOL PlatformShowWindow(HWND window, int) {
    if (!WebIsWindow(window)) return FALSE;
    WebShowCanvas(1);
    web.shown = true;
    EmscriptenVisibilityChangeEvent visibility{};
    WebPostActivation(emscripten_get_visibility_status(&visibility) == EMSCRIPTEN_RESULT_SUCCESS &&
                      visibility.hidden != 0);
    return TRUE;
}

// The page is the foreground window and keys reach the program wherever the page's focus is.
BOOL PlatformSetForegroundWindow(HWND window) {
    return WebIsWindow(window) ? TRUE : FALSE;
}

HWND PlatformSetFocus(HWND) {
    return nullptr;
}

HWND PlatformGetFocus() {
    return web.windowExists && web.shown ? WebWindowHandle() : nullptr;
}

// Events arrive in batches between animation frames, so a key tapped within one frame would go down and up in
// one drain and the loop would never see it: a key's release waits for the frame after its press was handed out.
BOOL PlatformPeekMessage(MSG* msg, HWND, UINT, UINT, UINT) {
    if (!web.queue.empty()) {
        const MSG& next = web.queue.front();
        const bool heldRelease = (next.message == WM_KEYUP || next.message == WM_SYSKEYUP) && next.wParam < 256 &&
                                 web.pressedThisFrame[next.wParam];
        if (!heldRelease) {
            *msg = next;
            web.queue.pop_front();
            if ((msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) && msg->wParam < 256) {
                web.pressedThisFrame[msg->wParam] = true;
            }
            return TRUE;
        }
    } else if (web.quitPosted) {
        web.quitPosted = false;
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = WPARAM(web.quitCode);
        return TRUE;
    }
    // With nothing to hand out the record holds no message, so leaving the loop by Escape returns 0.
    *msg = MSG{};
    return FALSE;
}

BOOL PlatformTranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT PlatformDispatchMessage(const MSG* msg) {
    if (!WebIsWindow(msg->hwnd) || !web.windowProc) return 0;
    return web.windowProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT PlatformDefWindowProc(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

// A page that isn't shown gets no animation frames, so waiting for the next one sleeps until the page is shown
// again, which is the message a minimised program waits for (keys can't reach a hidden page).
BOOL PlatformWaitMessage() {
    if (web.queue.empty() && !web.quitPosted) WebWaitForFrame();
    return TRUE;
}

void PlatformPostQuitMessage(int exitCode) {
    web.quitPosted = true;
    web.quitCode = exitCode;
}

// The page shows the canvas's drawing when the program yields; waiting for the next animation frame here
// paces the loop to the display and skips no frame it draws. A lost context is replaced before the program
// draws again; when none can be had, the program is told as a failed build tells it, and ends.
BOOL PlatformSwapBuffers(HDC dc) {
    if (!WebIsDeviceContext(dc) || !web.context) return FALSE;
    WebGlFlushBatch();
    WebWaitForFrame();
    for (bool& pressed : web.pressedThisFrame) pressed = false;
    if (!WebRecoverContext()) {
        PlatformMessageBox(nullptr, NoContextText, NoContextCaption, MB_OK | MB_ICONEXCLAMATION);
        web.queue.clear();
        PlatformPostQuitMessage(0);
        return FALSE;
    }
    WebFollowDrawingBuffer(false);
    return TRUE;
}

// OK, or Yes and No; the page's box is modal and the program waits for the answer.
int PlatformMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT style) {
    web.boxOpen = true;
    const int answer = WebShowMessageBox(text, caption, (style & 0xF) == MB_YESNO);
    web.boxOpen = false;
    return answer;
}

int main() {
    WebInstallHandlers();
    const int exitCode = WinMain(PlatformGetModuleHandle(), nullptr, nullptr, SW_SHOW);
    // A main that has waited on the page can't end the program by returning; the page shows the exit code.
    emscripten_force_exit(exitCode);
}
