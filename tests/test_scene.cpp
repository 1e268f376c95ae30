// test_scene.cpp -- the scene pass on real OpenGL: pixels whose colour follows from geometry and blending.
#include <gtest/gtest.h>

#include <cmath>

#include "app/main_loop.h"
#include "image/texture_set.h"
#include "render/scene.h"
#include "render/twist_mesh.h"
#include "tests/program_fixture.h"

namespace {

using Colour = std::array<double, 3>;

// `over` drawn with `alpha` (0-255) on top of `under`, as the blend function does it.
Colour Blend(const Colour& under, const Colour& over, int alpha) {
    const double a = alpha / 255.0;
    return {over[0] * a + under[0] * (1 - a), over[1] * a + under[1] * (1 - a), over[2] * a + under[2] * (1 - a)};
}

void ExpectColourNear(Rgb got, const Colour& want, const char* where) {
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[std::size_t(c)], want[std::size_t(c)], 2.0) << where << " channel " << c;
}

TEST_F(SceneTest, CentreShowsTheSpriteOverTheGlowTheShipAndTheStarfield) {
    WriteScene(Rgb{40, 80, 120}, Rgba{200, 100, 50, 128}, 64, Rgba{10, 220, 30, 192});
    ASSERT_TRUE(SetupGlState());
    DrawAndRead();
    const Colour underShip = Blend({40, 80, 120}, {200, 100, 50}, 128);
    ExpectColourNear(PixelAt(400, 300), Blend(Blend(underShip, {255, 255, 255}, 64), {10, 220, 30}, 192), "centre");
    // Beside the sprite's grid and the glow (the top corners of the window) only the ship lies over the stars.
    ExpectColourNear(PixelAt(2, 597), underShip, "top left");
    ExpectColourNear(PixelAt(797, 597), underShip, "top right");
}

// The glow quad is centred at (0, -0.9), 3.5 units square, 0.5 in front of the model origin: 4.5 units from
// the eye, under a vertical field of view of 45 degrees over 600 rows, 4:3. Opaque white over black, with the
// ship and the sprite transparent, it shows exactly where it lies.
TEST_F(SceneTest, LightGlowCoversItsPlaceInThePicture) {
    WriteScene(Rgb{0, 0, 0}, Rgba{0, 0, 0, 0}, 255, Rgba{0, 0, 0, 0});
    ASSERT_TRUE(SetupGlState());
    DrawAndRead();
    const double pixelsPerUnit = 300 / (4.5 * std::tan(22.5 * M_PI / 180));
    const double top = 300 + (-0.9 + 1.75) * pixelsPerUnit;  // row of the top edge, from the bottom
    const double left = 400 - 1.75 * pixelsPerUnit;
    const double right = 400 + 1.75 * pixelsPerUnit;
    const Rgb white{255, 255, 255}, black{0, 0, 0};
    // Probes 2 to 3 pixels either side of each edge, clear of the filtered texel at the quad's border.
    const std::tuple<int, int, Rgb> probes[] = {
        {400, int(top) - 2, white},  {400, int(top) + 3, black},
        {int(left) - 2, 200, black}, {int(left) + 3, 200, white},
        {int(right) - 2, 200, white}, {int(right) + 3, 200, black},
    };
    for (const auto& [x, y, colour] : probes) EXPECT_EQ(PixelAt(x, y), colour) << x << "," << y;
}

// The starfield fills the window unturned; turned 45 degrees (anticlockwise for a positive angle) it bares the
// corners, and its left half (red) comes below the centre, its right half (blue) above.
TEST_F(SceneTest, UnrotatedStarfieldFillsTheWindowAndSpinningBaresTheCorners) {
    WriteScene(Rgb{0, 0, 0}, Rgba{0, 0, 0, 0}, 0, Rgba{0, 0, 0, 0});
    const Rgb red{255, 0, 0}, blue{0, 0, 255}, black{0, 0, 0};
    WritePicture("starfield.bmp", red, blue);
    ASSERT_TRUE(SetupGlState());
    const int corners[4][2] = {{0, 0}, {799, 0}, {0, 599}, {799, 599}};
    DrawAndRead();
    for (const auto& [x, y] : corners) EXPECT_EQ(PixelAt(x, y), x == 0 ? red : blue) << x << "," << y;

    SpinAngle = 45.0f;
    DrawAndRead();
    for (const auto& [x, y] : corners) EXPECT_EQ(PixelAt(x, y), black) << x << "," << y;
    EXPECT_EQ(PixelAt(400, 200), red);
    EXPECT_EQ(PixelAt(400, 400), blue);
}

// Every layer shows its picture upright and unmirrored: drawn alone over black, a picture in four grey quarters
// has each quarter where it belongs, probed half way from the layer's centre to its corners. For the glow the
// quarters are its mask, so its white shows in their greys.
TEST_F(SceneTest, EveryLayerShowsItsPictureUprightAndUnmirrored) {
    const std::array<Rgb, 4> quarters = {Rgb{60, 60, 60}, Rgb{120, 120, 120}, Rgb{180, 180, 180}, Rgb{240, 240, 240}};
    // Picture, mask, the centre's height, its distance from the eye, and half the quad's height (model units).
    const std::tuple<const char*, const char*, double, double, double> layers[] = {
        {"starfield.bmp", nullptr, 0.0, 1.8, 1.0},
        {"ship.bmp", "ship_alpha.bmp", 0.0, 3.5, 1.5},
        {"light_alpha.bmp", nullptr, -0.9, 4.5, 1.75},
        {"merolan.bmp", "merolan_alpha.bmp", -0.1, 1.7, 0.75},
    };
    for (const auto& [picture, mask, centre, distance, half] : layers) {
        WriteScene(Rgb{0, 0, 0}, Rgba{0, 0, 0, 0}, 0, Rgba{0, 0, 0, 0});
        WriteQuarters(picture, quarters);
        if (mask) WriteSolid(mask, Rgb{255, 255, 255});
        SpinAngle = WavePhase = 0.0f;
        ASSERT_TRUE(SetupGlState());
        DrawAndRead();
        const double pixelsPerUnit = 300 / (distance * std::tan(22.5 * M_PI / 180));
        const double y = 300 + centre * pixelsPerUnit, step = half / 2 * pixelsPerUnit;
        for (int q = 0; q < 4; ++q) {
            const Rgb& want = quarters[std::size_t(q)];
            ExpectColourNear(PixelAt(int(400 + (q % 2 ? step : -step)), int(y + (q < 2 ? step : -step))),
                             {double(want[0]), double(want[1]), double(want[2])}, picture);
        }
    }
}

TEST_F(SceneTest, QuadWithoutItsPictureIsDrawnUntexturedWhite) {
    WriteScene(Rgb{1, 2, 3}, Rgba{0, 0, 0, 0}, 0, Rgba{0, 0, 0, 0});
    std::filesystem::remove("data/starfield.bmp");
    ASSERT_TRUE(SetupGlState());
    EXPECT_EQ(StarfieldTexture, 0u);
    DrawAndRead();
    EXPECT_EQ(PixelAt(0, 0), (Rgb{255, 255, 255}));
    EXPECT_EQ(PixelAt(400, 300), (Rgb{255, 255, 255}));
}

TEST_F(SceneTest, StarfieldShowsThroughTheShipsTransparentTexels) {
    WriteScene(Rgb{0, 0, 255}, Rgba{255, 0, 0, 0}, 0, Rgba{0, 0, 0, 0});
    WritePicture("ship_alpha.bmp", Rgb{0, 0, 0}, Rgb{255, 255, 255});  // transparent on the left, opaque on the right
    ASSERT_TRUE(SetupGlState());
    DrawAndRead();
    EXPECT_EQ(PixelAt(150, 450), (Rgb{0, 0, 255}));
    EXPECT_EQ(PixelAt(650, 450), (Rgb{255, 0, 0}));
}

// A size change reaches the viewport and the 45-degree projection at once, with a height of 0 counted as 1.
TEST_F(SceneTest, WindowSizeMessagesSetTheViewportAndProjection) {
    const double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
    for (const auto& [width, height, aspect, viewportHeight] :
         {std::tuple{800, 0, 800.0, 1}, std::tuple{640, 480, 4.0 / 3.0, 480}, std::tuple{1024, 256, 4.0, 256}}) {
        MainWindowProc(nullptr, WM_SIZE, 0, LPARAM(width | height << 16));
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, width, viewportHeight}));
        GLfloat projection[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        EXPECT_NEAR(projection[0], f / aspect, 1e-5 * f);
        EXPECT_NEAR(projection[5], f, 1e-5);
        EXPECT_NEAR(projection[10], (100.0 + 0.1) / (0.1 - 100.0), 1e-5);
        EXPECT_EQ(IntegerState(GL_MATRIX_MODE), GL_MODELVIEW);
    }
}

// A week of frames at 60 Hz through the frame's own advances: each step, modulo whole turns (a wrap may fall in it),
// stays within 0.1% of its size (a float that only grows rounds it to nothing); the first ten turns are a plain sum.
TEST(ScenePace, EveryStepKeepsItsSizeForAWeekOfFrames) {
    const std::tuple<void (*)(), float*, float, double, long> paces[] = {
        {AdvanceSpinAngle, &SpinAngle, SpinStep, 360.0, 5999}, {AdvanceWavePhase, &WavePhase, WaveStep, 2 * M_PI, 209}};
    for (const auto& [advance, value, step, turn, plain] : paces) {
        long first = 0;  // the first frame whose step is off its size
        float sum = *value = 0.0f;
        for (long frame = 1; frame <= 36'000'000; ++frame) {
            const double before = *value;
            advance();
            const double moved = *value - before;
            if (!first && std::abs(std::remainder(moved, turn) - step) > 0.001 * std::abs(step)) first = frame;
            if (frame <= plain && *value != (sum += step)) ADD_FAILURE() << "frame " << frame << ": " << *value;
        }
        EXPECT_EQ(first, 0) << "a step off its size by more than 0.1% at frame " << first;
    }
}

// Capabilities read as 1 (on) or 0 (off).
TEST_F(SceneTest, SetsTheFixedStateOnceAndTheFrameStateEveryFrame) {
    WriteScene(Rgb{1, 2, 3}, Rgba{4, 5, 6, 7}, 8, Rgba{9, 10, 11, 12});
    ASSERT_TRUE(SetupGlState());
    const std::pair<GLenum, GLint> fixed[] = {
        {GL_TEXTURE_2D, 1}, {GL_DEPTH_TEST, 1}, {GL_LIGHT1, 1}, {GL_LIGHTING, 0}, {GL_BLEND, 0},
        {GL_SHADE_MODEL, GL_SMOOTH}, {GL_DEPTH_FUNC, GL_LEQUAL}, {GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST}};
    for (const auto& [name, value] : fixed) EXPECT_EQ(IntegerState(name), value) << name;
    GLfloat clear[5];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, clear + 4);
    EXPECT_EQ(std::vector<GLfloat>(clear, clear + 5), (std::vector<GLfloat>{0.0f, 0.0f, 0.0f, 0.5f, 1.0f}));
    std::vector<GLfloat> light(12);  // ambient, diffuse, and the position in eye coordinates
    glGetLightfv(GL_LIGHT1, GL_AMBIENT, &light[0]);
    glGetLightfv(GL_LIGHT1, GL_DIFFUSE, &light[4]);
    glGetLightfv(GL_LIGHT1, GL_POSITION, &light[8]);
    EXPECT_EQ(light, (std::vector<GLfloat>{0.5f, 0.5f, 0.5f, 1, 1, 1, 1, 1, 0, 0, 2, 1}));

    glEnable(GL_LIGHTING);  // as the lighting key does between frames
    DrawFrame();
    const std::pair<GLenum, GLint> everyFrame[] = {{GL_DEPTH_FUNC, GL_ALWAYS}, {GL_BLEND, 1}, {GL_LIGHTING, 0},
                                                   {GL_BLEND_SRC, GL_SRC_ALPHA}, {GL_BLEND_DST, GL_ONE_MINUS_SRC_ALPHA}};
    for (const auto& [name, value] : everyFrame) EXPECT_EQ(IntegerState(name), value) << name;
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

}  // namespace
