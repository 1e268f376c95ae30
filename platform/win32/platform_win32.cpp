// platform_win32.cpp -- the seam on the real Win32 API: user32 windows and messages, gdi32 pixel formats, WGL.
// The program is DPI aware (its manifest): a framed window here gets its client area at the monitor's scale, fitted
// to the monitor's work area, and again when moved to another monitor; a fullscreen one keeps the display mode's size.
#include "platform/platform.h"
#include "platform/window_fit.h"

namespace {

constexpr UINT DpiChangedMessage = 0x02E0;  // WM_DPICHANGED
constexpr int DefaultDpi = 96;

// Calls of Windows 10 and later, looked up so the program still starts on older Windows.
using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiCall = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using SwapIntervalCall = BOOL(WINAPI*)(int);

template <typename Call>
Call User32Call(const char* name) {
    return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

// The framed window's client area at 96 dpi, as the program asked for it.
struct Win32Platform {
    int width;
    int height;
};

Win32Platform win32{};

// The window's monitor's DPI, or the system's where Windows can't say per window.
UINT WindowDpi(HWND window) {
    static const auto getDpiForWindow = User32Call<GetDpiForWindowCall>("GetDpiForWindow");
    if (getDpiForWindow) {
        if (const UINT dpi = getDpiForWindow(window)) return dpi;
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : DefaultDpi;
    if (screen) ReleaseDC(nullptr, screen);
    return UINT(dpi > 0 ? dpi : DefaultDpi);
}

// Sizes a framed window whose outer rectangle is to be `place` so its client area is the program's at `dpi` (the
// frame too at that DPI), where the work area of the monitor `place` is on holds it; else it gets the largest
// client area of that shape that fits, centred on the work area.
void Win32FitWindow(HWND window, UINT dpi, const RECT& place) {
    const DWORD style = DWORD(GetWindowLongA(window, GWL_STYLE));
    const DWORD exStyle = DWORD(GetWindowLongA(window, GWL_EXSTYLE));
    RECT frame{0, 0, 0, 0};
    static const auto adjustForDpi = User32Call<AdjustWindowRectExForDpiCall>("AdjustWindowRectExForDpi");
    if (!(adjustForDpi && adjustForDpi(&frame, style, FALSE, exStyle, dpi))) {
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    }
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoA(MonitorFromRect(&place, MONITOR_DEFAULTTONEAREST), &monitor)) {
        monitor.rcWork = monitor.rcMonitor = RECT{0, 0, 1 << 16, 1 << 16};
    }
    const RECT& work = monitor.rcWork;
    const RECT& screen = monitor.rcMonitor;
    const WindowFit fit = FitWindow(win32.width, win32.height, double(dpi) / DefaultDpi,
                                    {-frame.left, -frame.top, frame.right, frame.bottom},
                                    {work.left, work.top, work.right - work.left, work.bottom - work.top},
                                    {screen.left, screen.top, screen.right - screen.left, screen.bottom - screen.top});
    SetWindowPos(window, nullptr, fit.centred ? fit.client.x + frame.left : place.left,
                 fit.centred ? fit.client.y + frame.top : place.top, fit.client.width + frame.right - frame.left,
                 fit.client.height + frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Windows tells a window it is minimised in WM_ACTIVATE only when it was active until then; one deactivated
// first (as Wine does when the window manager iconifies it) hears nothing more. A change in and out of the
// minimised state is therefore told here as WM_ACTIVATE, so the program always knows when it is unseen.
void TellMinimised(HWND window) {
    static HWND told = nullptr;  // the window last told it is minimised
    const bool iconic = IsIconic(window) != FALSE;
    if (iconic == (told == window)) return;
    told = iconic ? window : nullptr;
    const WORD state = !iconic && GetActiveWindow() == window ? WA_ACTIVE : WA_INACTIVE;
    SendMessageA(window, WM_ACTIVATE, MAKEWPARAM(state, iconic ? 1 : 0), 0);
}

}  // namespace

HINSTANCE PlatformGetModuleHandle() {
    return GetModuleHandleA(nullptr);
}

HICON PlatformLoadIcon(HINSTANCE module, LPCSTR name) {
    return LoadIconA(module, name);
}

HCURSOR PlatformLoadCursor(HINSTANCE module, LPCSTR name) {
    return LoadCursorA(module, name);
}

// The program's window procedure is a real CALLBACK here, so the class record goes to Windows untouched.
ATOM PlatformRegisterClass(const WNDCLASSA* windowClass) {
    return RegisterClassA(windowClass);
}

BOOL PlatformUnregisterClass(LPCSTR className, HINSTANCE module) {
    return UnregisterClassA(className, module);
}

// The record goes through at the size the program wrote in dmSize: Windows reads only that much of it.
LONG PlatformChangeDisplaySettings(DEVMODEA* mode, DWORD flags) {
    return ChangeDisplaySettingsA(mode, flags);
}

int PlatformShowCursor(BOOL show) {
    return ShowCursor(show);
}

BOOL PlatformAdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle) {
    return AdjustWindowRectEx(rect, style, menu, exStyle);
}

// The size asked for is the 96-dpi client area plus the frame AdjustWindowRectEx gave: a framed window gets
// that client area at its monitor's DPI, fitted to the monitor's work area.
HWND PlatformCreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width,
                            int height, HWND parent, HMENU menu, HINSTANCE module, void* param) {
    HWND window = CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent, menu, module, param);
    if (window && !(style & WS_POPUP)) {
        RECT frame{0, 0, 0, 0};
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
        win32.width = width - (frame.right - frame.left);
        win32.height = height - (frame.bottom - frame.top);
        RECT place;
        if (GetWindowRect(window, &place)) Win32FitWindow(window, WindowDpi(window), place);
    }
    return window;
}

BOOL PlatformDestroyWindow(HWND window) {
    return DestroyWindow(window);
}

HDC PlatformGetDC(HWND window) {
    return GetDC(window);
}

int PlatformReleaseDC(HWND window, HDC dc) {
    return ReleaseDC(window, dc);
}

int PlatformChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* request) {
    return ChoosePixelFormat(dc, request);
}

BOOL PlatformSetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* request) {
    return SetPixelFormat(dc, format, request);
}

HGLRC PlatformCreateContext(HDC dc) {
    return wglCreateContext(dc);
}

// A context made current is asked for one display refresh per swap, where the driver offers it
// (WGL_EXT_swap_control): "as fast as the display allows". The program makes a context current once per build.
BOOL PlatformMakeCurrent(HDC dc, HGLRC context) {
    if (!wglMakeCurrent(dc, context)) return FALSE;
    if (context) {
        const auto swapInterval =
            reinterpret_cast<SwapIntervalCall>(reinterpret_cast<void*>(wglGetProcAddress("wglSwapIntervalEXT")));
        if (swapInterval) swapInterval(1);
    }
    return TRUE;
}

BOOL PlatformDeleteContext(HGLRC context) {
    return wglDeleteContext(context);
}

// The program sets its viewport for the size it asked for after showing the window: the client area's real
// size follows as a size message in the queue, before the first frame.
BOOL PlatformShowWindow(HWND window, int command) {
    const BOOL wasVisible = ShowWindow(window, command);
    RECT client;
    if (GetClientRect(window, &client)) {
        PostMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    }
    return wasVisible;
}

BOOL PlatformSetForegroundWindow(HWND window) {
    return SetForegroundWindow(window);
}

HWND PlatformSetFocus(HWND window) {
    return SetFocus(window);
}

BOOL PlatformPeekMessage(MSG* msg, HWND window, UINT first, UINT last, UINT remove) {
    return PeekMessageA(msg, window, first, last, remove);
}

BOOL PlatformWaitMessage() {
    return WaitMessage();
}

BOOL PlatformTranslateMessage(const MSG* msg) {
    return TranslateMessage(msg);
}

LRESULT PlatformDispatchMessage(const MSG* msg) {
    return DispatchMessageA(msg);
}

// Moved to a monitor of another DPI, a framed window goes where Windows suggests, with the program's client area
// at the new scale fitted to that monitor's work area; the size message that follows sets the viewport.
LRESULT PlatformDefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == DpiChangedMessage && !(GetWindowLongA(window, GWL_STYLE) & WS_POPUP)) {
        Win32FitWindow(window, LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    }
    const LRESULT result = DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_WINDOWPOSCHANGED) TellMinimised(window);
    return result;
}

void PlatformPostQuitMessage(int exitCode) {
    PostQuitMessage(exitCode);
}

BOOL PlatformSwapBuffers(HDC dc) {
    return SwapBuffers(dc);
}

int PlatformMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    return MessageBoxA(owner, text, caption, style);
}

HWND PlatformGetFocus() {
    return GetFocus();
}
