// program_fixture.h -- the program's process-wide state as at start-up, in a scratch working directory whose
// data/ the test fills: on the fake back-end (ShellTest) or with an 800 x 600 offscreen GL context (SceneTest).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "platform/opengl.h"
#include "tests/bmp_builder.h"
#include "tests/fake_platform.h"
#include "tools/offscreen_gl.h"

using Rgba = std::array<std::uint8_t, 4>;

class ProgramTest : public ScratchTest {
protected:
    ProgramTest();

    // Large enough that the clamped border of a texture never reaches a probed pixel.
    static constexpr int PictureSide = 256;

    // Writes data/NAME as a 24-bit picture of side x side in four quarters: top left, top right, bottom left and
    // bottom right; or its left half in one colour, its right half in another.
    static void WriteQuarters(const std::string& name, const std::array<Rgb, 4>& quarters, int side = PictureSide);
    static void WritePicture(const std::string& name, Rgb left, Rgb right, int side = PictureSide) {
        WriteQuarters(name, {left, right, left, right}, side);
    }
    static void WriteSolid(const std::string& name, Rgb colour, int side = PictureSide) {
        WritePicture(name, colour, colour, side);
    }
    // Every one of the seven files: the starfield opaque, the other layers in the given colours and alphas.
    static void WriteScene(Rgb starfield, Rgba ship, std::uint8_t lightAlpha, Rgba sprite, int side = PictureSide);
};

// The shell on the fake back-end, with every picture present, so the GL setup succeeds without a box.
class ShellTest : public ProgramTest {
protected:
    ShellTest() { WriteScene(Rgb{128, 128, 128}, Rgba{128, 128, 128, 128}, 128, Rgba{128, 128, 128, 128}, 4); }

    static int RunProgram() { return WinMain(nullptr, nullptr, nullptr, SW_SHOW); }
    static MSG Key(int key, bool down) { return FakeMessage(down ? WM_KEYDOWN : WM_KEYUP, WPARAM(key)); }
    // Nothing of the window is held: its handles cleared, every acquisition released, display and cursor back.
    static bool NothingHeld();
};

// The renderer on real OpenGL, the viewport set for 800 x 600; fails where no offscreen context can be made.
class SceneTest : public ProgramTest {
protected:
    void SetUp() override;
    void TearDown() override {
        if (haveGl) DestroyOffscreenGl();
    }

    // Draws one frame and keeps it for PixelAt.
    void DrawAndRead();
    // The colour at (x, y) of the last frame read, y from the bottom.
    Rgb PixelAt(int x, int y) const;
    static GLint IntegerState(GLenum name);

private:
    bool haveGl = false;
    std::vector<std::uint8_t> frame;
};
