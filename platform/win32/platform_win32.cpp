// platform_win32.cpp -- the seam on the real Win32 API: user32 windows and messages, gdi32 pixel formats, WGL.
#include "platform/platform.h"

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

HWND PlatformCreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width,
                            int height, HWND parent, HMENU menu, HINSTANCE module, void* param) {
    return CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent, menu, module, param);
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

BOOL PlatformMakeCurrent(HDC dc, HGLRC context) {
    return wglMakeCurrent(dc, context);
}

BOOL PlatformDeleteContext(HGLRC context) {
    return wglDeleteContext(context);
}

BOOL PlatformShowWindow(HWND window, int command) {
    return ShowWindow(window, command);
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

BOOL PlatformTranslateMessage(const MSG* msg) {
    return TranslateMessage(msg);
}

LRESULT PlatformDispatchMessage(const MSG* msg) {
    return DispatchMessageA(msg);
}

LRESULT PlatformDefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
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
