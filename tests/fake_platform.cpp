// fake_platform.cpp -- a scriptable, recording back-end for tests.
#include "tests/fake_platform.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

FakePlatformState Fake;

namespace {

// Handles are small distinct numbers, never dereferenced.
template <typename Handle>
Handle FakeHandle(std::uintptr_t n) { return reinterpret_cast<Handle>(n); }

std::uintptr_t nextHandle = 0x1000;
HWND lastWindow = nullptr;
WNDPROC windowProc = nullptr;
bool afterIdle = false;  // the last PeekMessage found the queue empty

// Logs the call and returns `result`, or `failure` when the test made the call fail.
template <typename T>
T Logged(const std::string& call, T result, T failure = T{}) {
    Fake.calls.push_back(call);
    return Fake.failing.count(call) ? failure : result;
}

// Logs an acquiring or releasing call and, unless it fails, moves the count of what is held.
bool Held(const std::string& call, int* count, int change) {
    const bool done = Logged(call, true);
    if (done) *count += change;
    return done;
}

std::string Number(const void* resource) { return std::to_string(reinterpret_cast<std::uintptr_t>(resource)); }

}  // namespace

void ResetFakePlatform() {
    Fake = FakePlatformState{};
    lastWindow = nullptr;
    windowProc = nullptr;
    afterIdle = false;
}

MSG FakeMessage(UINT message, WPARAM wParam, LPARAM lParam) { return MSG{lastWindow, message, wParam, lParam, 0, {}}; }

std::vector<std::string> BoxesShown() {
    std::vector<std::string> boxes;
    for (const FakeBox& box : Fake.boxes) boxes.push_back(box.caption + "|" + box.text);
    return boxes;
}

int CountCalls(const std::string& call) { return int(std::count(Fake.calls.begin(), Fake.calls.end(), call)); }

ScratchTest::ScratchTest() : previousDirectory(std::filesystem::current_path()) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    // Named by the process too: the tests of another build or of another developer may run at the same time.
    scratch = std::filesystem::temp_directory_path() / (std::string("olvo-") + test->test_suite_name() + "-" +
                                                        test->name() + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(scratch);
    std::filesystem::create_directories(scratch);
    std::filesystem::current_path(scratch);
    ResetFakePlatform();
}

ScratchTest::~ScratchTest() {
    std::filesystem::current_path(previousDirectory);
    std::filesystem::remove_all(scratch);
}

HINSTANCE PlatformGetModuleHandle() { return Logged("GetModuleHandle", FakeHandle<HINSTANCE>(0x400000)); }

HICON PlatformLoadIcon(HINSTANCE, LPCSTR name) { return Logged("LoadIcon " + Number(name), FakeHandle<HICON>(0x10)); }

HCURSOR PlatformLoadCursor(HINSTANCE, LPCSTR name) {
    return Logged("LoadCursor " + Number(name), FakeHandle<HCURSOR>(0x20));
}

ATOM PlatformRegisterClass(const WNDCLASSA* windowClass) {
    Fake.windowClass = *windowClass;
    if (!Logged(std::string("RegisterClass ") + windowClass->lpszClassName, true) || Fake.classRegistered) return 0;
    Fake.classRegistered = true;
    windowProc = windowClass->lpfnWndProc;
    return 0xC001;
}

BOOL PlatformUnregisterClass(LPCSTR className, HINSTANCE) {
    if (!Logged(std::string("UnregisterClass ") + className, true) || !Fake.classRegistered) return FALSE;
    Fake.classRegistered = false;
    return TRUE;
}

LONG PlatformChangeDisplaySettings(DEVMODEA* mode, DWORD flags) {
    if (!mode) {
        Fake.displaySwitched = false;
        return Logged("ChangeDisplaySettings restore", DISP_CHANGE_SUCCESSFUL);
    }
    Fake.displayMode = *mode;
    Fake.displaySwitched = Fake.displayChangeResult == DISP_CHANGE_SUCCESSFUL;
    const std::string request = std::to_string(mode->dmPelsWidth) + "x" + std::to_string(mode->dmPelsHeight) + "x" +
                                std::to_string(mode->dmBitsPerPel) + " " + std::to_string(flags);
    return Logged("ChangeDisplaySettings " + request, Fake.displayChangeResult);
}

int PlatformShowCursor(BOOL show) {
    return Logged("ShowCursor " + std::to_string(show), Fake.cursorCount += show ? 1 : -1);
}

// A windowed frame: 8 pixels each side, a 31-pixel caption.
BOOL PlatformAdjustWindowRectEx(RECT* rect, DWORD style, BOOL, DWORD) {
    if (style & WS_OVERLAPPEDWINDOW) *rect = RECT{rect->left - 8, rect->top - 31, rect->right + 8, rect->bottom + 8};
    return Logged("AdjustWindowRectEx", TRUE);
}

HWND PlatformCreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width,
                            int height, HWND, HMENU, HINSTANCE, void*) {
    if (!Held(std::string("CreateWindowEx ") + className, &Fake.windows, 1)) return nullptr;
    Fake.createdExStyle = exStyle;
    Fake.createdStyle = style;
    Fake.createdTitle = title;
    Fake.createdRect = RECT{x, y, x + width, y + height};
    return lastWindow = FakeHandle<HWND>(nextHandle++);
}

BOOL PlatformDestroyWindow(HWND) { return Held("DestroyWindow", &Fake.windows, -1); }

HDC PlatformGetDC(HWND) { return Held("GetDC", &Fake.deviceContexts, 1) ? FakeHandle<HDC>(nextHandle++) : nullptr; }

int PlatformReleaseDC(HWND, HDC) { return Held("ReleaseDC", &Fake.deviceContexts, -1); }

int PlatformChoosePixelFormat(HDC, const PIXELFORMATDESCRIPTOR* request) {
    Fake.pixelFormat = *request;
    return Logged("ChoosePixelFormat", 7);
}

BOOL PlatformSetPixelFormat(HDC, int format, const PIXELFORMATDESCRIPTOR*) {
    return Logged("SetPixelFormat " + std::to_string(format), TRUE);
}

HGLRC PlatformCreateContext(HDC) {
    return Held("CreateContext", &Fake.contexts, 1) ? FakeHandle<HGLRC>(nextHandle++) : nullptr;
}

BOOL PlatformMakeCurrent(HDC, HGLRC context) { return Logged(context ? "MakeCurrent" : "MakeCurrent none", TRUE); }

BOOL PlatformDeleteContext(HGLRC) { return Held("DeleteContext", &Fake.contexts, -1); }

BOOL PlatformShowWindow(HWND, int command) { return Logged("ShowWindow " + std::to_string(command), TRUE); }

BOOL PlatformSetForegroundWindow(HWND) { return Logged("SetForegroundWindow", TRUE); }

HWND PlatformSetFocus(HWND window) { return Logged("SetFocus", std::exchange(Fake.focus, window)); }

HWND PlatformGetFocus() { return Fake.focus; }

BOOL PlatformPeekMessage(MSG* msg, HWND, UINT, UINT, UINT) {
    if (Fake.queue.empty() && afterIdle && !Fake.batches.empty()) {
        Fake.queue.insert(Fake.queue.end(), Fake.batches.front().begin(), Fake.batches.front().end());
        Fake.batches.pop_front();
        afterIdle = false;
    }
    if (Fake.queue.empty()) {
        Fake.calls.push_back("PeekMessage empty");
        afterIdle = true;
        // A loop that should have ended by now fails its test, and is ended so the test can report it.
        if (++Fake.idlePasses > Fake.idleLimit) {
            ADD_FAILURE() << "the message loop was still running after " << Fake.idleLimit << " idle passes";
            Fake.queue.push_back(FakeMessage(WM_QUIT, WPARAM(-1)));
        }
        return FALSE;
    }
    *msg = Fake.queue.front();
    Fake.queue.pop_front();
    return TRUE;
}

// Delivers the next batch at once; with none left, a real wait would never return, which fails the test.
BOOL PlatformWaitMessage() {
    Fake.calls.push_back("WaitMessage");
    if (Fake.queue.empty() && !Fake.batches.empty()) {
        Fake.queue.insert(Fake.queue.end(), Fake.batches.front().begin(), Fake.batches.front().end());
        Fake.batches.pop_front();
        afterIdle = false;
    } else if (Fake.queue.empty()) {
        ADD_FAILURE() << "the loop waited for a message that would never come";
        Fake.queue.push_back(FakeMessage(WM_QUIT, WPARAM(-1)));
    }
    return TRUE;
}

// Keys that type a character get a WM_CHAR straight after their key-down, as TranslateMessage posts it.
BOOL PlatformTranslateMessage(const MSG* msg) {
    const WPARAM key = msg->wParam;
    const bool letter = key >= 'A' && key <= 'Z';
    const bool typed = letter || key == VK_ESCAPE || key == VK_RETURN || key == VK_SPACE || (key >= '0' && key <= '9');
    if (msg->message != WM_KEYDOWN || !typed) return FALSE;
    Fake.queue.push_front(MSG{msg->hwnd, WM_CHAR, letter ? key - 'A' + 'a' : key, msg->lParam, 0, {}});
    return TRUE;
}

LRESULT PlatformDispatchMessage(const MSG* msg) {
    return windowProc ? windowProc(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

LRESULT PlatformDefWindowProc(HWND, UINT message, WPARAM, LPARAM) {
    return Logged("DefWindowProc " + std::to_string(message), LRESULT{0});
}

void PlatformPostQuitMessage(int exitCode) {
    Logged("PostQuitMessage " + std::to_string(exitCode), true);
    Fake.queue.push_back(FakeMessage(WM_QUIT, WPARAM(exitCode)));
}

BOOL PlatformSwapBuffers(HDC) {
    if (Fake.onSwap) Fake.onSwap();
    return Logged("SwapBuffers", TRUE);
}

int PlatformMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    Fake.boxes.push_back(FakeBox{owner, text, caption, style});
    int answer = (style & 0xF) == MB_YESNO ? IDNO : IDOK;
    if (!Fake.answers.empty()) {
        answer = Fake.answers.front();
        Fake.answers.pop_front();
    }
    return Logged(std::string("MessageBox ") + caption, answer);
}
