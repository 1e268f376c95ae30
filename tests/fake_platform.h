// fake_platform.h -- the back-end linked into tests: records every call in order, fails chosen operations,
// answers message boxes from a script and plays queued window messages into the program's window procedure.
#pragma once

#include <deque>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

struct FakeBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};

struct FakePlatformState {
    std::vector<std::string> calls;   // one entry per seam call, e.g. "CreateWindowEx", "ShowCursor 0"
    std::vector<FakeBox> boxes;       // every message box shown
    std::deque<int> answers;          // answers to the coming boxes; when empty: IDNO for yes/no, else IDOK
    std::set<std::string> failing;    // calls, as the log writes them, that report failure
    LONG displayChangeResult = DISP_CHANGE_SUCCESSFUL;  // the answer to a display-mode request
    HWND focus = nullptr;             // the window with the keyboard focus

    // What is held now, for balance checks.
    bool classRegistered = false;
    int windows = 0;
    int deviceContexts = 0;
    int contexts = 0;
    HGLRC current = nullptr;
    bool displaySwitched = false;
    int cursorCount = 0;              // ShowCursor's display counter: 0 shown, below 0 hidden

    // The last records and arguments passed.
    WNDCLASSA windowClass{};
    DEVMODEA displayMode{};
    PIXELFORMATDESCRIPTOR pixelFormat{};
    RECT createdRect{};               // x, y, x + width, y + height of the last window created
    DWORD createdStyle = 0;
    DWORD createdExStyle = 0;
    std::string createdTitle;

    // Message playback: each batch is delivered after one idle pass (a PeekMessage that found nothing).
    std::deque<std::vector<MSG>> batches;
    std::deque<MSG> queue;
    int idlePasses = 0;
    int idleLimit = 100000;           // past this many idle passes the fake posts WM_QUIT, so no test hangs
    int swaps = 0;
};

extern FakePlatformState Fake;

void ResetFakePlatform();

// The window the program created last, or none.
HWND FakeWindow();

// A message for the current window.
MSG FakeMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// How many calls in the log are exactly `call`, and where the first and the last stand (-1 when absent).
int CountCalls(const std::string& call);
int FindCall(const std::string& call, int from = 0);
int FindLastCall(const std::string& call);
