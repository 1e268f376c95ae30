// test_render_window.cpp -- building and tearing down the render window on the fake back-end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>

#include "app/main_loop.h"
#include "app/render_window.h"
#include "tests/program_fixture.h"

namespace {

constexpr char Title[] = "Olvo's Textures, Lighting & Keyboard Tutorial";
constexpr char Question[] =
    "Olvo GL|The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?";

// A windowed build, every step in order, and the teardown.
const std::vector<std::string> WindowedBuild = {
    "GetModuleHandle", "LoadIcon 32517", "LoadCursor 32512", "RegisterClass OpenGL", "AdjustWindowRectEx",
    "CreateWindowEx OpenGL", "GetDC", "ChoosePixelFormat", "SetPixelFormat 7", "CreateContext", "MakeCurrent",
    "ShowWindow 5", "SetForegroundWindow", "SetFocus"};
const std::vector<std::string> Teardown = {"MakeCurrent none", "DeleteContext", "ReleaseDC", "DestroyWindow",
                                           "UnregisterClass OpenGL"};

// The last window's styles and outer rectangle.
std::tuple<DWORD, DWORD, LONG, LONG, LONG, LONG> CreatedWindow() {
    const RECT& r = Fake.createdRect;
    return {Fake.createdExStyle, Fake.createdStyle, r.left, r.top, r.right, r.bottom};
}

TEST_F(ShellTest, BuildsAWindowInOrderWithTheClassStylesAndPixelFormat) {
    ASSERT_TRUE(CreateRenderWindow(Title, 800, 600, 32, false));
    EXPECT_EQ(Fake.calls, WindowedBuild);
    EXPECT_TRUE(Fake.boxes.empty());
    const WNDCLASSA& w = Fake.windowClass;
    EXPECT_EQ(std::tuple(w.style, w.lpfnWndProc, w.cbClsExtra, w.cbWndExtra, w.hInstance, w.hbrBackground,
                         w.lpszMenuName),
              std::tuple(0x23u, &MainWindowProc, 0, 0, InstanceHandle, HBRUSH{}, LPCSTR{}));
    // A frame around an 800 x 600 client area, the outer window at the screen's top-left corner.
    EXPECT_EQ(CreatedWindow(), std::make_tuple(0x40100u, 0x06CF0000u, 0, 0, 800 + 16, 600 + 39));
    EXPECT_EQ(Fake.createdTitle, Title);
    // Size, version, flags (double-buffered OpenGL in a window), RGBA, 32 colour bits, 16 depth bits, the rest 0.
    const PIXELFORMATDESCRIPTOR pixelFormat = {40, 1, 0x25, 0, 32, 0, 0, 0, 0, 0, 0, 0, 0,
                                               0,  0, 0,    0, 0, 16, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(&Fake.pixelFormat, &pixelFormat, sizeof pixelFormat), 0);
    EXPECT_EQ(Fake.focus, WindowHandle);

    Fake.calls.clear();
    DestroyRenderWindow();
    EXPECT_EQ(Fake.calls, Teardown);
    EXPECT_TRUE(NothingHeld());
    EXPECT_EQ(InstanceHandle, reinterpret_cast<HINSTANCE>(0x400000)) << "kept after a successful unregister";
}

// A later build in fullscreen asks the display for its own mode, hides the cursor and makes a borderless
// window of the mode's size, but keeps the pixel format the first build wrote; the display and the cursor come
// back before anything is released.
TEST_F(ShellTest, FullscreenSwitchesTheDisplayAndRestoresItBeforeTheContextIsTouched) {
    ASSERT_TRUE(CreateRenderWindow(Title, 800, 600, 32, false));
    DestroyRenderWindow();
    Fake.calls.clear();
    ASSERT_TRUE(CreateRenderWindow(Title, 640, 480, 16, true));
    std::vector<std::string> build = WindowedBuild;
    build.insert(build.begin() + 4, {"ChangeDisplaySettings 640x480x16 4", "ShowCursor 0"});
    EXPECT_EQ(Fake.calls, build);
    EXPECT_EQ(CreatedWindow(), std::make_tuple(0x40000u, 0x86000000u, 0, 0, 640, 480));
    EXPECT_EQ(Fake.pixelFormat.cColorBits, 32);
    // The request: 148 bytes, all zero but its size, the mode and the fields naming it; no refresh rate.
    const DEVMODEA mode = {{}, 0, 0, 148, 0, 0x1C0000, {}, 0, 0, 0, 0, 0, 0, 0, {}, 0,  // size, fields
                           16, 640, 480, 0, 0, 0, 0, 0, 0, 0, 0};                     // bits, width, height
    EXPECT_EQ(std::memcmp(&Fake.displayMode, &mode, 148), 0);

    Fake.calls.clear();
    DestroyRenderWindow();
    std::vector<std::string> teardown = Teardown;
    teardown.insert(teardown.begin(), {"ChangeDisplaySettings restore", "ShowCursor 1"});
    EXPECT_EQ(Fake.calls, teardown);
    EXPECT_TRUE(NothingHeld());
}

// A display that refuses the mode brings a question: Yes goes on in a framed window without touching the
// display or the cursor again; any other answer closes with nothing torn down, the class still registered.
TEST_F(ShellTest, RefusedFullscreenGoesOnWindowedOnlyWhenAnsweredYes) {
    for (int answer : {IDYES, IDNO, IDOK, 0}) {
        ResetFakePlatform();
        Fake.displayChangeResult = DISP_CHANGE_FAILED;
        Fake.answers = {answer};
        const bool yes = answer == IDYES;
        EXPECT_EQ(CreateRenderWindow(Title, 800, 600, 32, true), yes);
        std::vector<std::string> boxes = {Question};
        if (!yes) boxes.push_back("ERROR|Program Will Now Close.");
        EXPECT_EQ(BoxesShown(), boxes);
        EXPECT_EQ(std::make_tuple(Fake.boxes[0].style, Fake.boxes[0].owner), std::make_tuple(0x34u, HWND{}));
        EXPECT_EQ(Fake.boxes.back().style, yes ? 0x34u : 0x10u);
        EXPECT_EQ(CountCalls("CreateWindowEx OpenGL"), yes ? 1 : 0);
        EXPECT_EQ(CountCalls("UnregisterClass OpenGL"), 0);
        EXPECT_EQ(Fake.createdStyle, yes ? 0x06CF0000u : 0u);
        EXPECT_TRUE(Fake.classRegistered);
        EXPECT_EQ(CountCalls("ShowCursor 0"), 0);
        if (!yes) continue;
        DestroyRenderWindow();
        EXPECT_EQ(CountCalls("ChangeDisplaySettings restore"), 0);
        EXPECT_TRUE(NothingHeld());
    }
}

// Every failed step of the build: whatever was made torn down first (in fullscreen the display back and the
// cursor shown), then exactly one error box as the last call, then false, with nothing left held.
TEST_F(ShellTest, EachFailedBuildStepTearsDownBeforeItsBox) {
    const std::pair<const char*, const char*> steps[] = {
        {"RegisterClass OpenGL", "Failed To Register The Window Class."},
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
            const bool noPictures = std::string(step) == "no pictures";
            Fake.failing = {step};
            if (noPictures) std::filesystem::remove_all("data");
            const std::string where = step + std::string(fullscreen ? " fullscreen" : " windowed");
            EXPECT_FALSE(CreateRenderWindow(Title, 800, 600, 32, fullscreen)) << where;
            // No shutdown box; only the decoder's messages come first when the pictures are missing.
            EXPECT_EQ(Fake.calls.back(), "MessageBox ERROR") << where;
            ASSERT_EQ(Fake.boxes.size(), noPictures ? 4u : 1u) << where;
            EXPECT_EQ(BoxesShown().back(), std::string("ERROR|") + text) << where;
            EXPECT_EQ(Fake.boxes.back().style, 0x30u);
            EXPECT_TRUE(NothingHeld()) << where;
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
        EXPECT_EQ(BoxesShown(), std::vector<std::string>{std::string("SHUTDOWN ERROR|") + text}) << step;
        EXPECT_EQ(Fake.boxes[0].style, 0x40u);
        EXPECT_EQ(Fake.boxes[0].owner, nullptr);
        std::vector<std::string> calls = Teardown;
        calls.insert(std::find(calls.begin(), calls.end(), step) + 1, "MessageBox SHUTDOWN ERROR");
        EXPECT_EQ(Fake.calls, calls);
        EXPECT_TRUE(WindowHandle == nullptr && DeviceContext == nullptr && RenderContext == nullptr) << step;
        EXPECT_EQ(InstanceHandle == nullptr, std::string(step) == "UnregisterClass OpenGL") << step;
    }
}

}  // namespace
