// fake_platform.h -- the back-end linked into tests: records every call in order, fails chosen operations,
// answers message boxes from a script and plays queued window messages into the program's window procedure.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
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
    std::vector<std::string> calls;   // one entry per seam call, e.g. "CreateWindowEx OpenGL", "ShowCursor 0"
    std::vector<FakeBox> boxes;       // every message box shown
    std::deque<int> answers;          // answers to the coming boxes; when empty: IDNO for yes/no, else IDOK
    std::set<std::string> failing;    // calls, as the log writes them, that report failure
    LONG displayChangeResult = DISP_CHANGE_SUCCESSFUL;  // the answer to a display-mode request
    HWND focus = nullptr;             // the window with the keyboard focus

    // What is held now, for balance checks.
    bool classRegistered = false;
    bool displaySwitched = false;
    int windows = 0, deviceContexts = 0, contexts = 0;
    int cursorCount = 0;              // ShowCursor's display counter: 0 shown, below 0 hidden

    // The last records and arguments passed.
    WNDCLASSA windowClass{};
    DEVMODEA displayMode{};
    PIXELFORMATDESCRIPTOR pixelFormat{};
    RECT createdRect{};               // x, y, x + width, y + height of the last window created
    DWORD createdStyle = 0, createdExStyle = 0;
    std::string createdTitle;

    // Message playback: each batch is delivered after one idle pass (a PeekMessage that found nothing), or by
    // WaitMessage.
    std::deque<std::vector<MSG>> batches;
    std::deque<MSG> queue;
    int idlePasses = 0;
    int idleLimit = 10000;            // a loop still running past this many idle passes fails the test
    std::function<void()> onSwap;     // called at every SwapBuffers
};

extern FakePlatformState Fake;

void ResetFakePlatform();

// A message for the window the program created last.
MSG FakeMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// Every box shown so far, as "CAPTION|TEXT".
std::vector<std::string> BoxesShown();

// How many calls in the log are exactly `call`.
int CountCalls(const std::string& call);

// A test on a freshly reset fake whose working directory, while it runs, is a new scratch directory.
class ScratchTest : public ::testing::Test {
protected:
    ScratchTest();
    ~ScratchTest() override;

private:
    std::filesystem::path previousDirectory;
    std::filesystem::path scratch;
};
