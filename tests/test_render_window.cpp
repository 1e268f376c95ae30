// test_render_window.cpp -- building and tearing down the render window on the fake back-end.
#include <gtest/gtest.h>

#include <cstring>

#include "app/main_loop.h"
#include "app/render_window.h"
#include "tests/shell_fixture.h"

namespace {

constexpr char Title[] = "Olvo's Textures, Lighting & Keyboard Tutorial";
constexpr char Question[] =
    "Olvo GL|The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?";

bool NothingHeld() {
    return WindowHandle == nullptr && DeviceContext == nullptr && RenderContext == nullptr && Fake.windows == 0 &&
           Fake.deviceContexts == 0 && Fake.contexts == 0 && !Fake.classRegistered && !Fake.displaySwitched &&
           Fake.cursorCount == 0;
}

TEST_F(ShellTest, BuildsAWindowInOrderWithTheClassStylesAndPixelFormat) {
    ASSERT_TRUE(CreateRenderWindow(Title, 800, 600, 32, false));
    const std::vector<std::string> expected = {
        "GetModuleHandle", "LoadIcon 32517",   "LoadCursor 32512", "RegisterClass OpenGL", "AdjustWindowRectEx",
        "CreateWindowEx OpenGL", "GetDC",      "ChoosePixelFormat", "SetPixelFormat 7",    "CreateContext",
        "MakeCurrent",     "ShowWindow 5",     "SetForegroundWindow", "SetFocus",
    };
    EXPECT_EQ(Fake.calls, expected);
    EXPECT_TRUE(Fake.boxes.empty());

    EXPECT_EQ(Fake.windowClass.style, 0x23u);
    EXPECT_EQ(Fake.windowClass.lpfnWndProc, &MainWindowProc);
    EXPECT_EQ(Fake.windowClass.cbClsExtra, 0);
    EXPECT_EQ(Fake.windowClass.cbWndExtra, 0);
    EXPECT_EQ(Fake.windowClass.hInstance, InstanceHandle);
    EXPECT_EQ(Fake.windowClass.hbrBackground, nullptr);
    EXPECT_EQ(Fake.windowClass.lpszMenuName, nullptr);
    EXPECT_STREQ(Fake.windowClass.lpszClassName, "OpenGL");

    // Windowed: a frame around an 800 x 600 client area, the outer window at the screen's top-left corner.
    EXPECT_EQ(Fake.createdExStyle, 0x40100u);
    EXPECT_EQ(Fake.createdStyle, 0x06CF0000u);
    EXPECT_EQ(Fake.createdTitle, Title);
    EXPECT_EQ(Fake.createdRect.left, 0);
    EXPECT_EQ(Fake.createdRect.top, 0);
    EXPECT_EQ(Fake.createdRect.right, 800 + 16);
    EXPECT_EQ(Fake.createdRect.bottom, 600 + 39);

    const PIXELFORMATDESCRIPTOR& pfd = Fake.pixelFormat;
    EXPECT_EQ(pfd.nSize, 40);
    EXPECT_EQ(pfd.nVersion, 1);
    EXPECT_EQ(pfd.dwFlags, 0x25u);
    EXPECT_EQ(pfd.iPixelType, 0);
    EXPECT_EQ(pfd.cColorBits, 32);
    EXPECT_EQ(pfd.cDepthBits, 16);
    PIXELFORMATDESCRIPTOR rest = pfd;  // everything else is 0
    rest.nSize = rest.nVersion = 0;
    rest.dwFlags = 0;
    rest.cColorBits = rest.cDepthBits = 0;
    const PIXELFORMATDESCRIPTOR zero{};
    EXPECT_EQ(std::memcmp(&rest, &zero, sizeof rest), 0);

    EXPECT_FALSE(Fullscreen);
    EXPECT_EQ(Fake.cursorCount, 0);
    EXPECT_EQ(Fake.current, RenderContext);
    EXPECT_EQ(Fake.focus, WindowHandle);

    DestroyRenderWindow();
    EXPECT_TRUE(NothingHeld());
    EXPECT_EQ(InstanceHandle, reinterpret_cast<HINSTANCE>(0x400000)) << "kept after a successful unregister";
}

TEST_F(ShellTest, FullscreenSwitchesTheDisplayAndRestoresItBeforeTheContextIsTouched) {
    ASSERT_TRUE(CreateRenderWindow(Title, 800, 600, 32, true));
    EXPECT_LT(FindCall("ChangeDisplaySettings 800x600x32 4"), FindCall("ShowCursor 0"));
    EXPECT_LT(FindCall("ShowCursor 0"), FindCall("CreateWindowEx OpenGL"));
    EXPECT_EQ(Fake.createdExStyle, 0x40000u);
    EXPECT_EQ(Fake.createdStyle, 0x86000000u);
    EXPECT_EQ(Fake.createdRect.right, 800);
    EXPECT_EQ(Fake.createdRect.bottom, 600);
    EXPECT_EQ(Fake.cursorCount, -1);
    EXPECT_TRUE(Fullscreen);

    // The request: 148 bytes, all zero but its size, the mode and the fields naming it; no refresh rate.
    DEVMODEA expected;
    std::memset(&expected, 0, sizeof expected);
    expected.dmSize = 148;
    expected.dmPelsWidth = 800;
    expected.dmPelsHeight = 600;
    expected.dmBitsPerPel = 32;
    expected.dmFields = 0x1C0000;
    EXPECT_EQ(std::memcmp(&Fake.displayMode, &expected, 148), 0);

    Fake.calls.clear();
    DestroyRenderWindow();
    EXPECT_EQ(Fake.calls[0], "ChangeDisplaySettings restore");
    EXPECT_EQ(Fake.calls[1], "ShowCursor 1");
    EXPECT_EQ(Fake.calls[2], "MakeCurrent none");
    EXPECT_TRUE(NothingHeld());
}

TEST_F(ShellTest, RefusedFullscreenAnsweredYesBuildsAWindowInstead) {
    Fake.displayChangeResult = DISP_CHANGE_BADMODE;
    Fake.answers = {IDYES};
    ASSERT_TRUE(CreateRenderWindow(Title, 800, 600, 32, true));
    EXPECT_EQ(Boxes(), std::vector<std::string>{Question});
    EXPECT_EQ(Fake.boxes[0].style, 0x34u);
    EXPECT_EQ(Fake.boxes[0].owner, nullptr);
    EXPECT_FALSE(Fullscreen);
    EXPECT_EQ(Fake.createdStyle, 0x06CF0000u);
    EXPECT_EQ(CountCalls("ShowCursor 0"), 0);
    DestroyRenderWindow();
    EXPECT_EQ(CountCalls("ChangeDisplaySettings restore"), 0);
    EXPECT_TRUE(NothingHeld());
}

TEST_F(ShellTest, RefusedFullscreenAnsweredAnythingButYesCloses) {
    for (int answer : {IDNO, IDOK, 0}) {
        ResetFakePlatform();
        Fake.displayChangeResult = DISP_CHANGE_FAILED;
        Fake.answers = {answer};
        EXPECT_FALSE(CreateRenderWindow(Title, 800, 600, 32, true));
        EXPECT_EQ(Boxes(), (std::vector<std::string>{Question, "ERROR|Program Will Now Close."}));
        EXPECT_EQ(Fake.boxes[1].style, 0x10u);
        // Nothing torn down: the class stays registered, no window was made, the display never changed.
        EXPECT_EQ(CountCalls("UnregisterClass OpenGL"), 0);
        EXPECT_EQ(CountCalls("CreateWindowEx OpenGL"), 0);
        EXPECT_TRUE(Fake.classRegistered);
        EXPECT_FALSE(Fake.displaySwitched);
        EXPECT_TRUE(Fullscreen);
        EXPECT_EQ(Fake.cursorCount, 0);
        EXPECT_TRUE(PlatformUnregisterClass("OpenGL", nullptr));
    }
}

TEST_F(ShellTest, FailedRegistrationShowsItsBoxAndTearsNothingDown) {
    Fake.failing = {"RegisterClass OpenGL"};
    EXPECT_FALSE(CreateRenderWindow(Title, 800, 600, 32, true));
    EXPECT_EQ(Boxes(), std::vector<std::string>{"ERROR|Failed To Register The Window Class."});
    EXPECT_EQ(Fake.boxes[0].style, 0x30u);
    EXPECT_EQ(CountCalls("ChangeDisplaySettings 800x600x32 4"), 0);
    EXPECT_EQ(CountCalls("UnregisterClass OpenGL"), 0);
}

// Every failure from the window on: the whole teardown first (in fullscreen the display back and the cursor
// shown), then exactly one error box, then false, with nothing left held.
TEST_F(ShellTest, EachFailedBuildStepTearsDownBeforeItsBox) {
    const std::pair<const char*, const char*> steps[] = {
        {"CreateWindowEx OpenGL", "Window Creation Error."},
        {"GetDC", "Can't Create A GL Device Context."},
        {"ChoosePixelFormat", "Can't Find A Suitable PixelFormat."},
        {"SetPixelFormat 7", "Can't Set The PixelFormat."},
        {"CreateContext", "Can't Create A GL Rendering Context."},
        {"MakeCurrent", "Can't Activate The GL Rendering Context."},
        {"no pictures", "Initialization Failed."},
    };
    for (bool fullscreen : {false, true}) {
        for (const auto& [step, text] : steps) {
            ResetFakePlatform();
            if (std::string(step) == "no pictures") {
                std::filesystem::remove_all("data");
            } else {
                Fake.failing = {step};
            }
            EXPECT_FALSE(CreateRenderWindow(Title, 800, 600, 32, fullscreen)) << step;
            const std::vector<std::string> boxes = Boxes();
            ASSERT_FALSE(boxes.empty()) << step;
            EXPECT_EQ(boxes.back(), std::string("ERROR|") + text) << step;
            EXPECT_EQ(Fake.boxes.back().style, 0x30u);
            EXPECT_LT(FindLastCall("UnregisterClass OpenGL"), FindLastCall("MessageBox ERROR")) << step;
            if (fullscreen) {
                EXPECT_LT(FindLastCall("ShowCursor 1"), FindLastCall("MessageBox ERROR")) << step;
            }
            // Every counter back at zero: what was made was released, and nothing that wasn't.
            EXPECT_TRUE(NothingHeld()) << step << (fullscreen ? " fullscreen" : " windowed");
            // No shutdown box; only the decoder's messages come first when the pictures are missing.
            if (std::string(step) != "no pictures") {
                EXPECT_EQ(boxes.size(), 1u) << step;
            }
        }
    }
}

// Each release that fails shows its own shutdown box; every later step still runs.
TEST_F(ShellTest, EachFailedReleaseStillRunsTheLaterSteps) {
    const std::pair<const char*, const char*> steps[] = {
        {"MakeCurrent none", "Release Of DC And RC Failed."},
        {"DeleteContext", "Release Rendering Context Failed."},
        {"ReleaseDC", "Release Device Context Failed."},
        {"DestroyWindow", "Could Not Release hWnd."},
        {"UnregisterClass OpenGL", "Could Not Unregister Class."},
    };
    for (const auto& [step, text] : steps) {
        ResetFakePlatform();
        ASSERT_TRUE(CreateRenderWindow(Title, 800, 600, 32, false));
        Fake.calls.clear();
        Fake.failing = {step};
        DestroyRenderWindow();
        EXPECT_EQ(Boxes(), std::vector<std::string>{std::string("SHUTDOWN ERROR|") + text}) << step;
        EXPECT_EQ(Fake.boxes[0].style, 0x40u);
        EXPECT_EQ(Fake.boxes[0].owner, nullptr);
        for (const char* release : {"DeleteContext", "ReleaseDC", "DestroyWindow", "UnregisterClass OpenGL"}) {
            EXPECT_NE(FindCall(release), -1) << step << " stopped " << release;
        }
        EXPECT_EQ(WindowHandle, nullptr);
        EXPECT_EQ(DeviceContext, nullptr);
        EXPECT_EQ(RenderContext, nullptr);
        EXPECT_EQ(InstanceHandle == nullptr, std::string(step) == "UnregisterClass OpenGL") << step;
    }
}

TEST_F(ShellTest, LaterBuildsKeepTheFirstPixelFormatButAskTheDisplayForTheirOwnDepth) {
    ASSERT_TRUE(CreateRenderWindow(Title, 800, 600, 32, false));
    DestroyRenderWindow();
    ASSERT_TRUE(CreateRenderWindow(Title, 640, 480, 16, true));
    EXPECT_EQ(Fake.displayMode.dmBitsPerPel, 16u);
    EXPECT_EQ(Fake.displayMode.dmPelsWidth, 640u);
    EXPECT_EQ(Fake.pixelFormat.cColorBits, 32);
    DestroyRenderWindow();
    EXPECT_TRUE(NothingHeld());
}

}  // namespace
