// test_main_loop.cpp -- the entry point's loop and the window procedure, driven through scripted messages.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/main_loop.h"
#include "render/scene.h"
#include "render/twist_mesh.h"
#include "tests/program_fixture.h"

namespace {

// On Windows the key-down is followed by the WM_CHAR that translation posts: its wParam is the exit code. The
// idle pass that sees Escape draws, then the teardown follows at once, without a swap.
TEST_F(ShellTest, EscapeEndsTheLoopBeforeTheSwap) {
    Fake.batches = {{Key(VK_ESCAPE, true)}};
    EXPECT_EQ(RunProgram(), 27);
    EXPECT_EQ(std::vector<std::string>(Fake.calls.end() - 6, Fake.calls.end()),
              (std::vector<std::string>{"PeekMessage empty", "MakeCurrent none", "DeleteContext", "ReleaseDC",
                                        "DestroyWindow", "UnregisterClass OpenGL"}));
    EXPECT_TRUE(NothingHeld());
}

// A minimised window draws nothing but still swaps, then sleeps until the next message (Escape still ends it);
// the pass that sees Escape draws but never shows its frame.
TEST_F(ShellTest, DrawsAndSwapsEveryIdlePassButOnlySwapsAndWaitsWhileMinimised) {
    Fake.queue = {FakeMessage(WM_ACTIVATE, 0x10000)};  // minimised before the first frame
    Fake.batches = {{}, {}, {}, {}, {Key(VK_ESCAPE, true)}};
    EXPECT_EQ(RunProgram(), 27);
    EXPECT_EQ(CountCalls("SwapBuffers"), 5);
    EXPECT_EQ(CountCalls("WaitMessage"), 5);
    EXPECT_EQ(CountCalls("PeekMessage empty"), 6);  // a pass per message waited for, and Escape's: no spinning
    EXPECT_EQ(SpinAngle, 0.0f);
    EXPECT_EQ(WavePhase, 0.0f);

    ResetFakePlatform();
    WindowActive = true;
    KeyDown[VK_ESCAPE] = false;
    Fake.batches = {{}, {}, {Key(VK_ESCAPE, true)}};
    RunProgram();
    EXPECT_EQ(CountCalls("SwapBuffers"), 3);
    EXPECT_EQ(CountCalls("WaitMessage"), 0);
    EXPECT_FLOAT_EQ(SpinAngle, 4 * -0.6f);
    EXPECT_FLOAT_EQ(WavePhase, 4 * 0.3f);
}

// Minimised after two frames and restored three messages later, the scene stands still in between and then
// turns on from where it stopped.
TEST_F(ShellTest, RestoredTheSceneDrawsOnFromWhereItStopped) {
    std::vector<bool> moved;  // per swap: the spin changed since the last one
    float last = SpinAngle;
    Fake.onSwap = [&] {
        moved.push_back(SpinAngle != last);
        last = SpinAngle;
    };
    Fake.batches = {{}, {FakeMessage(WM_ACTIVATE, 0x10000)}, {}, {}, {FakeMessage(WM_ACTIVATE, 1)}, {},
                    {Key(VK_ESCAPE, true)}};
    RunProgram();
    EXPECT_EQ(moved, (std::vector<bool>{true, true, false, false, false, true, true}));
    EXPECT_EQ(CountCalls("WaitMessage"), 3);
    EXPECT_FLOAT_EQ(SpinAngle, 5 * -0.6f);
}

// Three key-downs in separate passes (auto-repeat) and one whose key stays down for several passes rebuild
// four times; then a thousand more rebuilds leave nothing held and the display and the cursor balanced.
TEST_F(ShellTest, F1RebuildsOncePerKeyDownMessageAndLeavesNothingHeld) {
    Fake.batches = {{Key(VK_F1, true)}, {Key(VK_F1, true)}, {Key(VK_F1, true)}, {Key(VK_F1, false)},
                    {Key(VK_F1, true)}, {}, {}, {Key(VK_ESCAPE, true)}};
    RunProgram();
    EXPECT_EQ(CountCalls("CreateWindowEx OpenGL"), 1 + 4);
    EXPECT_EQ(CountCalls("ChangeDisplaySettings 800x600x32 4"), 2);  // windowed, full, windowed, full, windowed
    EXPECT_EQ(CountCalls("ChangeDisplaySettings restore"), 2);

    ResetFakePlatform();
    KeyDown[VK_ESCAPE] = false;
    for (int i = 0; i < 1000; ++i) Fake.batches.push_back({Key(VK_F1, true)});
    Fake.batches.push_back({Key(VK_ESCAPE, true)});
    RunProgram();
    EXPECT_EQ(CountCalls("CreateWindowEx OpenGL"), 1001);
    for (const char* call : {"ChangeDisplaySettings 800x600x32 4", "ChangeDisplaySettings restore", "ShowCursor 0",
                             "ShowCursor 1"}) {
        EXPECT_EQ(CountCalls(call), 500) << call;
    }
    EXPECT_TRUE(NothingHeld());
    EXPECT_TRUE(Fake.boxes.empty());
}

// Each press flips the flag once, however many frames L stays down: on, off, on.
TEST_F(ShellTest, LFlipsTheLightingOncePerPress) {
    std::vector<bool> flag;  // the flag as each frame is shown, repeats left out
    Fake.onSwap = [&] {
        if (flag.empty() || flag.back() != LightingOn) flag.push_back(LightingOn);
    };
    Fake.batches = {{Key(KeyL, true)}, {}, {}, {Key(KeyL, false)}, {Key(KeyL, true)}, {Key(KeyL, false)},
                    {Key(KeyL, true)}, {}, {}, {Key(VK_ESCAPE, true)}};
    RunProgram();
    EXPECT_EQ(flag, (std::vector<bool>{false, true, false, true}));
}

// A refused rebuild answered No ends the program without a second teardown; answered Yes, the program goes on
// windowed, and the next F1 asks for fullscreen again.
TEST_F(ShellTest, AFailedRebuildEndsTheProgramWithoutASecondTeardown) {
    Fake.displayChangeResult = DISP_CHANGE_BADMODE;
    Fake.answers = {IDNO};
    Fake.batches = {{Key(VK_F1, true)}};
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(BoxesShown().back(), "ERROR|Program Will Now Close.");
    EXPECT_EQ(CountCalls("DestroyWindow"), 1);
    EXPECT_EQ(CountCalls("UnregisterClass OpenGL"), 1);

    ResetFakePlatform();
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
    // The high word of WM_ACTIVATE's wParam says minimised.
    for (auto [wParam, active] : {std::pair{0x10001, false}, std::pair{0x00000, true}, std::pair{0x10000, false}}) {
        MainWindowProc(nullptr, WM_ACTIVATE, WPARAM(wParam), 0);
        EXPECT_EQ(WindowActive, active) << wParam;
    }
    // The screen saver and monitor power-down are swallowed (the whole wParam compared); system keys and the
    // rest pass on, and key codes of 256 and more change nothing (nor index past the table).
    Fake.calls.clear();
    for (WPARAM command : {SC_SCREENSAVE, SC_MONITORPOWER, SC_SCREENSAVE | 1}) {
        MainWindowProc(nullptr, WM_SYSCOMMAND, command, 0);
    }
    MainWindowProc(nullptr, WM_SYSKEYDOWN, 'L', 0);
    EXPECT_EQ(Fake.calls, (std::vector<std::string>{"DefWindowProc 274", "DefWindowProc 260"}));
    for (WPARAM key : {WPARAM(256), WPARAM(0x10051), ~WPARAM(0)}) MainWindowProc(nullptr, WM_KEYDOWN, key, 0);
    EXPECT_EQ(std::count(std::begin(KeyDown), std::end(KeyDown), true), 0);
}

}  // namespace
