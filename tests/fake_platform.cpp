// fake_platform.cpp -- a scriptable, recording back-end for tests.
#include "tests/fake_platform.h"

#include <algorithm>
#include <cstring>

FakePlatformState Fake;

namespace {

// Handles are small distinct numbers, never dereferenced.
template <typename Handle>
Handle FakeHandle(std::uintptr_t n) {
    return reinterpret_cast<Handle>(n);
}

std::uintptr_t nextHandle = 0x1000;
HWND lastWindow = nullptr;
WNDPROC windowProc = nullptr;
bool afterIdle = false;  // the last PeekMessage found the queue empty

bool Log(const std::string& call) {
    Fake.calls.push_back(call);
    return Fake.failing.count(call) == 0;
}

}  // namespace

void ResetFakePlatform() {
    Fake = FakePlatformState{};
    lastWindow = nullptr;
    windowProc = nullptr;
    afterIdle = false;
}

HWND FakeWindow() {
    return lastWindow;
}

MSG FakeMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = lastWindow;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    return msg;
}

int CountCalls(const std::string& call) {
    return int(std::count(Fake.calls.begin(), Fake.calls.end(), call));
}

int FindCall(const std::string& call, int from) {
    for (int i = std::max(from, 0); i < int(Fake.calls.size()); ++i) {
        if (Fake.calls[std::size_t(i)] == call) return i;
    }
    return -1;
}

int FindLastCall(const std::string& call) {
    for (int i = int(Fake.calls.size()) - 1; i >= 0; --i) {
        if (Fake.calls[std::size_t(i)] == call) return i;
    }
    return -1;
}

HINSTANCE PlatformGetModuleHandle() {
    Log("GetModuleHandle");
    return FakeHandle<HINSTANCE>(0x400000);
}

HICON PlatformLoadIcon(HINSTANCE, LPCSTR name) {
    Log("LoadIcon " + std::to_string(reinterpret_cast<std::uintptr_t>(name)));
    return FakeHandle<HICON>(0x10);
}

HCURSOR PlatformLoadCursor(HINSTANCE, LPCSTR name) {
    Log("LoadCursor " + std::to_string(reinterpret_cast<std::uintptr_t>(name)));
    return FakeHandle<HCURSOR>(0x20);
}

ATOM PlatformRegisterClass(const WNDCLASSA* windowClass) {
    Fake.windowClass = *windowClass;
    if (!Log(std::string("RegisterClass ") + windowClass->lpszClassName) || Fake.classRegistered) return 0;
    Fake.classRegistered = true;
    windowProc = windowClass->lpfnWndProc;
    return 0xC001;
}

BOOL PlatformUnregisterClass(LPCSTR className, HINSTANCE) {
    if (!Log(std::string("UnregisterClass ") + className) || !Fake.classRegistered) return FALSE;
    Fake.classRegistered = false;
    return TRUE;
}

LONG PlatformChangeDisplaySettings(DEVMODEA* mode, DWORD flags) {
    if (!mode) {
        Log("ChangeDisplaySettings restore");
        Fake.displaySwitched = false;
        return DISP_CHANGE_SUCCESSFUL;
    }
    Fake.displayMode = *mode;
    Log("ChangeDisplaySettings " + std::to_string(mode->dmPelsWidth) + "x" + std::to_string(mode->dmPelsHeight) +
        "x" + std::to_string(mode->dmBitsPerPel) + " " + std::to_string(flags));
    if (Fake.displayChangeResult == DISP_CHANGE_SUCCESSFUL) Fake.displaySwitched = true;
    return Fake.displayChangeResult;
}

int PlatformShowCursor(BOOL show) {
    Log("ShowCursor " + std::to_string(show));
    Fake.cursorCount += show ? 1 : -1;
    return Fake.cursorCount;
}

BOOL PlatformAdjustWindowRectEx(RECT* rect, DWORD style, BOOL, DWORD) {
    Log("AdjustWindowRectEx");
    // A windowed frame: 8 pixels each side, a 31-pixel caption.
    if (style & WS_OVERLAPPEDWINDOW) {
        rect->left -= 8;
        rect->right += 8;
        rect->top -= 31;
        rect->bottom += 8;
    }
    return TRUE;
}

HWND PlatformCreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width,
                            int height, HWND, HMENU, HINSTANCE, void*) {
    if (!Log(std::string("CreateWindowEx ") + className)) return nullptr;
    Fake.createdExStyle = exStyle;
    Fake.createdStyle = style;
    Fake.createdTitle = title;
    Fake.createdRect = RECT{x, y, x + width, y + height};
    ++Fake.windows;
    lastWindow = FakeHandle<HWND>(nextHandle++);
    return lastWindow;
}

BOOL PlatformDestroyWindow(HWND window) {
    if (!Log("DestroyWindow") || !window) return FALSE;
    --Fake.windows;
    if (Fake.focus == window) Fake.focus = nullptr;
    return TRUE;
}

HDC PlatformGetDC(HWND) {
    if (!Log("GetDC")) return nullptr;
    ++Fake.deviceContexts;
    return FakeHandle<HDC>(nextHandle++);
}

int PlatformReleaseDC(HWND, HDC) {
    if (!Log("ReleaseDC")) return 0;
    --Fake.deviceContexts;
    return 1;
}

int PlatformChoosePixelFormat(HDC, const PIXELFORMATDESCRIPTOR* request) {
    Fake.pixelFormat = *request;
    return Log("ChoosePixelFormat") ? 7 : 0;
}

BOOL PlatformSetPixelFormat(HDC, int format, const PIXELFORMATDESCRIPTOR*) {
    return Log("SetPixelFormat " + std::to_string(format)) ? TRUE : FALSE;
}

HGLRC PlatformCreateContext(HDC) {
    if (!Log("CreateContext")) return nullptr;
    ++Fake.contexts;
    return FakeHandle<HGLRC>(nextHandle++);
}

BOOL PlatformMakeCurrent(HDC, HGLRC context) {
    if (!Log(context ? "MakeCurrent" : "MakeCurrent none")) return FALSE;
    Fake.current = context;
    return TRUE;
}

BOOL PlatformDeleteContext(HGLRC context) {
    if (!Log("DeleteContext")) return FALSE;
    --Fake.contexts;
    if (Fake.current == context) Fake.current = nullptr;
    return TRUE;
}

BOOL PlatformShowWindow(HWND, int command) {
    Log("ShowWindow " + std::to_string(command));
    return TRUE;
}

BOOL PlatformSetForegroundWindow(HWND) {
    Log("SetForegroundWindow");
    return TRUE;
}

HWND PlatformSetFocus(HWND window) {
    Log("SetFocus");
    HWND previous = Fake.focus;
    Fake.focus = window;
    return previous;
}

HWND PlatformGetFocus() {
    return Fake.focus;
}

BOOL PlatformPeekMessage(MSG* msg, HWND, UINT, UINT, UINT) {
    if (Fake.queue.empty() && afterIdle && !Fake.batches.empty()) {
        for (const MSG& queued : Fake.batches.front()) Fake.queue.push_back(queued);
        Fake.batches.pop_front();
        afterIdle = false;
    }
    if (Fake.queue.empty()) {
        Fake.calls.push_back("PeekMessage empty");
        afterIdle = true;
        if (++Fake.idlePasses > Fake.idleLimit) Fake.queue.push_back(FakeMessage(WM_QUIT));
        return FALSE;
    }
    *msg = Fake.queue.front();
    Fake.queue.pop_front();
    return TRUE;
}

// Keys that type a character get a WM_CHAR straight after their key-down, as TranslateMessage posts it.
BOOL PlatformTranslateMessage(const MSG* msg) {
    if (msg->message != WM_KEYDOWN) return FALSE;
    const WPARAM key = msg->wParam;
    const bool typed = key == VK_ESCAPE || key == VK_RETURN || key == VK_SPACE || (key >= '0' && key <= '9') ||
                       (key >= 'A' && key <= 'Z');
    if (!typed) return FALSE;
    MSG character = *msg;
    character.message = WM_CHAR;
    character.wParam = key >= 'A' && key <= 'Z' ? key - 'A' + 'a' : key;
    Fake.queue.push_front(character);
    return TRUE;
}

LRESULT PlatformDispatchMessage(const MSG* msg) {
    if (!windowProc) return 0;
    return windowProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT PlatformDefWindowProc(HWND, UINT message, WPARAM, LPARAM) {
    Log("DefWindowProc " + std::to_string(message));
    return 0;
}

void PlatformPostQuitMessage(int exitCode) {
    Log("PostQuitMessage " + std::to_string(exitCode));
    Fake.queue.push_back(FakeMessage(WM_QUIT, WPARAM(exitCode)));
}

BOOL PlatformSwapBuffers(HDC) {
    Log("SwapBuffers");
    ++Fake.swaps;
    return TRUE;
}

int PlatformMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    Log(std::string("MessageBox ") + caption);
    Fake.boxes.push_back(FakeBox{owner, text, caption, style});
    if (!Fake.answers.empty()) {
        const int answer = Fake.answers.front();
        Fake.answers.pop_front();
        return answer;
    }
    return (style & 0xF) == MB_YESNO ? IDNO : IDOK;
}
