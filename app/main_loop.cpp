// main_loop.cpp -- the shared entry point: build the window, then drain messages and draw, swap and act on keys.
#include "app/main_loop.h"

#include "app/render_window.h"
#include "platform/opengl.h"
#include "render/scene.h"

bool KeyDown[256] = {};
bool WindowActive = true;
bool LightingOn = false;
bool LightingLatch = false;

namespace {

WORD LowWord(std::uintptr_t value) {
    return WORD(value & 0xFFFF);
}

WORD HighWord(std::uintptr_t value) {
    return WORD((value >> 16) & 0xFFFF);
}

void SetKey(WPARAM key, bool down) {
    if (key < 256) KeyDown[key] = down;
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ACTIVATE:
        WindowActive = HighWord(wParam) == 0;  // the high word is the minimised flag
        return 0;
    case WM_SYSCOMMAND:
        // Neither the screen saver nor monitor power-down may start while the program runs.
        if (wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER) return 0;
        break;
    case WM_CLOSE:
        PlatformPostQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
        SetKey(wParam, true);
        return 0;
    case WM_KEYUP:
        SetKey(wParam, false);
        return 0;
    case WM_SIZE:
        ResizeViewport(LowWord(std::uintptr_t(lParam)), HighWord(std::uintptr_t(lParam)));
        return 0;
    }
    return PlatformDefWindowProc(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    MSG msg{};
    bool done = false;
    Fullscreen = false;
    if (!CreateRenderWindow(WindowTitle, WindowWidth, WindowHeight, WindowBits, Fullscreen)) return 0;

    while (!done) {
        // Every pending message is handled before the next frame.
        if (PlatformPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                done = true;
            } else {
                PlatformTranslateMessage(&msg);
                PlatformDispatchMessage(&msg);
            }
            continue;
        }
        // Escape ends the loop before the swap; a minimised window draws nothing but still swaps, then sleeps
        // until the next message (its restoring, a key, closing) instead of spinning unseen.
        if ((WindowActive && !DrawFrame()) || KeyDown[VK_ESCAPE]) {
            done = true;
            continue;
        }
        PlatformSwapBuffers(DeviceContext);

        if (KeyDown[KeyL] && !LightingLatch) {
            LightingLatch = true;
            LightingOn = !LightingOn;
            if (LightingOn) {
                glEnable(GL_LIGHTING);
            } else {
                glDisable(GL_LIGHTING);
            }
        }
        if (!KeyDown[KeyL]) LightingLatch = false;  // each new press acts again

        if (KeyDown[VK_F1]) {
            // Cleared first, so one key-down message rebuilds once, not once per frame.
            KeyDown[VK_F1] = false;
            DestroyRenderWindow();
            Fullscreen = !Fullscreen;
            if (!CreateRenderWindow(WindowTitle, WindowWidth, WindowHeight, WindowBits, Fullscreen)) return 0;
        }
        if (!WindowActive) PlatformWaitMessage();
    }
    DestroyRenderWindow();
    return int(msg.wParam);
}
