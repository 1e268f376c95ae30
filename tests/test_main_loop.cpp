// test_main_loop.cpp -- the entry point's loop and the window procedure, driven through scripted messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "app/main_loop.h"
#include "app/render_window.h"
#include "render/scene.h"
#include "render/twist_mesh.h"
#include "tests/scene_fixture.h"
#include "tests/shell_fixture.h"

namespace {

int RunProgram() {
    return WinMain(nullptr, nullptr, nullptr, SW_SHOW);
}

// The calls made in the idle pass that ended the loop and after it.
std::vector<std::string> CallsAfterLastIdlePass() {
    const int last = FindLastCall("PeekMessage empty");
    return {Fake.calls.begin() + last + 1, Fake.calls.end()};
}

TEST_F(ShellTest, EscapeEndsTheLoopBeforeTheSwap) {
    Fake.batches = {{Key(VK_ESCAPE, true)}};
    // On Windows the key-down is followed by the WM_CHAR that translation posts: its wParam is the exit code.
    EXPECT_EQ(RunProgram(), 27);
    const std::vector<std::string> tail = CallsAfterLastIdlePass();
    EXPECT_EQ(std::count(tail.begin(), tail.end(), "SwapBuffers"), 0);
    EXPECT_EQ(tail.front(), "MakeCurrent none") << "the teardown follows at once";
    EXPECT_EQ(Fake.windows, 0);
    EXPECT_FALSE(Fake.classRegistered);
}

TEST_F(ShellTest, ClosingTheWindowQuitsWithZero) {
    Fake.batches = {{FakeMessage(WM_CLOSE)}};
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(CountCalls("PostQuitMessage 0"), 1);
    EXPECT_EQ(Fake.windows, 0);
    EXPECT_TRUE(Fake.boxes.empty());
}

TEST_F(ShellTest, AFailedFirstBuildReturnsZeroAtOnce) {
    Fake.failing = {"GetDC"};
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(CountCalls("PeekMessage empty"), 0);
    EXPECT_EQ(CountCalls("DestroyWindow"), 1);
}

TEST_F(ShellTest, DrawsAndSwapsEveryIdlePassButOnlySwapsWhileMinimised) {
    Fake.queue = {FakeMessage(WM_ACTIVATE, 0x10000)};  // minimised before the first frame
    Fake.batches = {{}, {}, {}, {}, {Key(VK_ESCAPE, true)}};
    RunProgram();
    EXPECT_EQ(Fake.swaps, 5);
    EXPECT_EQ(SpinAngle, 0.0f) << "no frame drawn while minimised";
    EXPECT_EQ(WavePhase, 0.0f);

    ResetFakePlatform();
    WindowActive = true;
    std::memset(KeyDown, 0, sizeof KeyDown);
    Fake.batches = {{}, {}, {Key(VK_ESCAPE, true)}};
    RunProgram();
    // The pass that sees Escape still draws, before the test, but never shows its frame.
    EXPECT_EQ(Fake.swaps, 3);
    EXPECT_FLOAT_EQ(SpinAngle, 4 * SpinStep);
    EXPECT_FLOAT_EQ(WavePhase, 4 * WaveStep);
}

TEST_F(ShellTest, F1RebuildsOncePerKeyDownMessage) {
    // Three key-downs in separate passes (auto-repeat), then one whose key stays down for several passes.
    Fake.batches = {{Key(VK_F1, true)}, {Key(VK_F1, true)}, {Key(VK_F1, true)}, {Key(VK_F1, false)},
                    {Key(VK_F1, true)}, {}, {}, {Key(VK_ESCAPE, true)}};
    RunProgram();
    EXPECT_EQ(CountCalls("CreateWindowEx OpenGL"), 1 + 4);
    EXPECT_EQ(CountCalls("ChangeDisplaySettings 800x600x32 4"), 2);  // windowed, full, windowed, full, windowed
    EXPECT_EQ(CountCalls("ChangeDisplaySettings restore"), 2);
    EXPECT_FALSE(KeyDown[VK_F1]);
}

TEST_F(ShellTest, LFlipsTheLightingOncePerPress) {
    Fake.batches = {{Key(KeyL, true)}, {}, {}, {Key(KeyL, false)}, {Key(KeyL, true)}, {Key(KeyL, false)},
                    {Key(KeyL, true)}, {Key(VK_ESCAPE, true)}};
    RunProgram();
    EXPECT_TRUE(LightingOn) << "three presses";
    EXPECT_TRUE(LightingLatch) << "L is still down";
}

TEST_F(ShellTest, AThousandRebuildsLeaveNothingHeldAndTheDisplayBalanced) {
    for (int i = 0; i < 1000; ++i) Fake.batches.push_back({Key(VK_F1, true)});
    Fake.batches.push_back({Key(VK_ESCAPE, true)});
    RunProgram();
    EXPECT_EQ(CountCalls("CreateWindowEx OpenGL"), 1001);
    EXPECT_EQ(CountCalls("ChangeDisplaySettings 800x600x32 4"), 500);
    EXPECT_EQ(CountCalls("ChangeDisplaySettings restore"), 500);
    EXPECT_EQ(CountCalls("ShowCursor 0"), 500);
    EXPECT_EQ(CountCalls("ShowCursor 1"), 500);
    EXPECT_EQ(Fake.cursorCount, 0);
    EXPECT_FALSE(Fake.displaySwitched);
    EXPECT_EQ(Fake.windows, 0);
    EXPECT_EQ(Fake.deviceContexts, 0);
    EXPECT_EQ(Fake.contexts, 0);
    EXPECT_FALSE(Fake.classRegistered);
    EXPECT_TRUE(Fake.boxes.empty());
}

TEST_F(ShellTest, AFailedRebuildEndsTheProgramWithoutASecondTeardown) {
    Fake.displayChangeResult = DISP_CHANGE_BADMODE;
    Fake.answers = {IDNO};
    Fake.batches = {{Key(VK_F1, true)}};
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(Boxes().back(), "ERROR|Program Will Now Close.");
    EXPECT_EQ(CountCalls("DestroyWindow"), 1);
    EXPECT_EQ(CountCalls("UnregisterClass OpenGL"), 1);

    // Answered yes, the program goes on windowed, and the next F1 asks for fullscreen again.
    ResetFakePlatform();
    std::memset(KeyDown, 0, sizeof KeyDown);
    Fake.displayChangeResult = DISP_CHANGE_BADMODE;
    Fake.answers = {IDYES, IDYES};
    Fake.batches = {{Key(VK_F1, true)}, {Key(VK_F1, true)}, {Key(VK_ESCAPE, true)}};
    RunProgram();
    EXPECT_EQ(CountCalls("ChangeDisplaySettings 800x600x32 4"), 2);
    EXPECT_EQ(Fake.boxes.size(), 2u);
    EXPECT_EQ(Fake.cursorCount, 0);
}

TEST_F(ShellTest, WindowProcedureKeepsKeyAndActivityStateAndPassesTheRestOn) {
    MainWindowProc(nullptr, WM_KEYDOWN, 'Q', 0);
    EXPECT_TRUE(KeyDown['Q']);
    MainWindowProc(nullptr, WM_KEYUP, 'Q', 0);
    EXPECT_FALSE(KeyDown['Q']);
    // Codes of 256 and more change nothing (and never index past the table).
    for (WPARAM key : {WPARAM(256), WPARAM(0x10051), ~WPARAM(0)}) {
        MainWindowProc(nullptr, WM_KEYDOWN, key, 0);
        MainWindowProc(nullptr, WM_KEYUP, key, 0);
    }
    bool any = false;
    for (bool down : KeyDown) any = any || down;
    EXPECT_FALSE(any);
    // System keys don't reach the table.
    MainWindowProc(nullptr, WM_SYSKEYDOWN, 'L', 0);
    EXPECT_FALSE(KeyDown['L']);

    MainWindowProc(nullptr, WM_ACTIVATE, 0x10001, 0);
    EXPECT_FALSE(WindowActive);
    MainWindowProc(nullptr, WM_ACTIVATE, 0x00000, 0);  // inactive but not minimised
    EXPECT_TRUE(WindowActive);

    Fake.calls.clear();
    EXPECT_EQ(MainWindowProc(nullptr, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
    EXPECT_EQ(MainWindowProc(nullptr, WM_SYSCOMMAND, SC_MONITORPOWER, 0), 0);
    EXPECT_TRUE(Fake.calls.empty()) << "swallowed";
    MainWindowProc(nullptr, WM_SYSCOMMAND, SC_SCREENSAVE | 1, 0);  // the whole wParam is compared
    MainWindowProc(nullptr, WM_SYSKEYDOWN, 'L', 0);
    EXPECT_EQ(Fake.calls, (std::vector<std::string>{"DefWindowProc 274", "DefWindowProc 260"}));
}

// A size change reaches the viewport at once, with a height of 0 counted as 1.
TEST_F(SceneTest, WindowSizeMessagesResizeTheViewport) {
    MainWindowProc(nullptr, WM_SIZE, 0, LPARAM(640 | 0 << 16));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 1);
    MainWindowProc(nullptr, WM_SIZE, 0, LPARAM(1024 | 768 << 16));
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1024);
    EXPECT_EQ(viewport[3], 768);
}

}  // namespace
