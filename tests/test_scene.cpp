// test_scene.cpp -- the scene pass on real OpenGL: pixels whose colour follows from geometry and blending.
#include <gtest/gtest.h>

#include <cmath>

#include "image/texture_set.h"
#include "render/scene.h"
#include "render/twist_mesh.h"
#include "tests/scene_fixture.h"

namespace {

// `over` drawn with `alpha` (0-255) on top of `under`, as the blend function does it.
std::array<double, 3> Blend(const std::array<double, 3>& under, Rgb over, int alpha) {
    const double a = alpha / 255.0;
    return {over[0] * a + under[0] * (1 - a), over[1] * a + under[1] * (1 - a), over[2] * a + under[2] * (1 - a)};
}

void ExpectColourNear(Rgb got, const std::array<double, 3>& want, const char* where) {
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[std::size_t(c)], want[std::size_t(c)], 2.0) << where << " channel " << c;
}

TEST_F(SceneTest, CentreShowsTheSpriteOverTheGlowTheShipAndTheStarfield) {
    const Rgb starfield{40, 80, 120};
    const Rgba ship{200, 100, 50, 128};
    const Rgba sprite{10, 220, 30, 192};
    WriteScene(starfield, ship, 64, sprite);
    ResizeViewport(800, 600);
    ASSERT_TRUE(SetupGlState());
    DrawFrame();
    ReadFrame();
    std::array<double, 3> want{double(starfield[0]), double(starfield[1]), double(starfield[2])};
    want = Blend(want, Rgb{ship[0], ship[1], ship[2]}, ship[3]);
    want = Blend(want, Rgb{255, 255, 255}, 64);
    want = Blend(want, Rgb{sprite[0], sprite[1], sprite[2]}, sprite[3]);
    ExpectColourNear(PixelAt(400, 300), want, "centre");

    // Beside the sprite's grid and the glow (the top corners of the window) only the ship lies over the stars.
    std::array<double, 3> outside{double(starfield[0]), double(starfield[1]), double(starfield[2])};
    outside = Blend(outside, Rgb{ship[0], ship[1], ship[2]}, ship[3]);
    ExpectColourNear(PixelAt(2, 597), outside, "top left");
    ExpectColourNear(PixelAt(797, 597), outside, "top right");
}

TEST_F(SceneTest, UnrotatedStarfieldFillsTheWindowAndSpinningBaresTheCorners) {
    const Rgb starfield{30, 60, 200};
    WriteScene(starfield, Rgba{0, 0, 0, 0}, 0, Rgba{0, 0, 0, 0});
    ResizeViewport(800, 600);
    ASSERT_TRUE(SetupGlState());
    const int corners[4][2] = {{0, 0}, {799, 0}, {0, 599}, {799, 599}};

    DrawFrame();
    ReadFrame();
    for (const auto& corner : corners) EXPECT_EQ(PixelAt(corner[0], corner[1]), starfield) << corner[0] << "," << corner[1];

    SpinAngle = 45.0f;
    DrawFrame();
    ReadFrame();
    for (const auto& corner : corners) EXPECT_EQ(PixelAt(corner[0], corner[1]), (Rgb{0, 0, 0})) << corner[0] << "," << corner[1];
    EXPECT_EQ(PixelAt(400, 300), starfield);
}

TEST_F(SceneTest, QuadWithoutItsPictureIsDrawnUntexturedWhite) {
    WriteScene(Rgb{1, 2, 3}, Rgba{0, 0, 0, 0}, 0, Rgba{0, 0, 0, 0});
    std::filesystem::remove("data/starfield.bmp");
    ResizeViewport(800, 600);
    ASSERT_TRUE(SetupGlState());
    EXPECT_EQ(StarfieldTexture, 0u);
    DrawFrame();
    ReadFrame();
    EXPECT_EQ(PixelAt(0, 0), (Rgb{255, 255, 255}));
    EXPECT_EQ(PixelAt(400, 300), (Rgb{255, 255, 255}));
}

TEST_F(SceneTest, StarfieldShowsThroughTheShipsTransparentTexels) {
    WriteScene(Rgb{0, 0, 255}, Rgba{255, 0, 0, 0}, 0, Rgba{0, 0, 0, 0});
    // Transparent on the left half of the picture, opaque on the right.
    WritePicture("ship_alpha.bmp", [](int x, int) { return x < PictureSide / 2 ? Rgb{0, 0, 0} : Rgb{255, 255, 255}; });
    ResizeViewport(800, 600);
    ASSERT_TRUE(SetupGlState());
    DrawFrame();
    ReadFrame();
    EXPECT_EQ(PixelAt(150, 450), (Rgb{0, 0, 255}));
    EXPECT_EQ(PixelAt(650, 450), (Rgb{255, 0, 0}));
}

TEST_F(SceneTest, ProjectionTreatsAZeroHeightAsOne) {
    const double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
    struct Case {
        int width, height;
        double aspect;
        GLint viewportHeight;
    };
    for (const Case c : {Case{800, 600, 800.0 / 600.0, 600}, Case{800, 0, 800.0, 1}, Case{640, 480, 4.0 / 3.0, 480}}) {
        ResizeViewport(c.width, c.height);
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[0], 0);
        EXPECT_EQ(viewport[1], 0);
        EXPECT_EQ(viewport[2], c.width);
        EXPECT_EQ(viewport[3], c.viewportHeight);
        GLfloat projection[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        EXPECT_NEAR(projection[0], f / c.aspect, 1e-5 * f);
        EXPECT_NEAR(projection[5], f, 1e-5);
        EXPECT_NEAR(projection[10], (100.0 + 0.1) / (0.1 - 100.0), 1e-5);
        GLint mode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW);
    }
}

TEST_F(SceneTest, SetsTheFixedStateOnceAndTheFrameStateEveryFrame) {
    WriteScene(Rgb{1, 2, 3}, Rgba{4, 5, 6, 7}, 8, Rgba{9, 10, 11, 12});
    ResizeViewport(800, 600);
    ASSERT_TRUE(SetupGlState());
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint value = 0;
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &value);
    EXPECT_EQ(value, GL_NICEST);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(std::vector<GLfloat>(clear, clear + 4), (std::vector<GLfloat>{0.0f, 0.0f, 0.0f, 0.5f}));
    GLfloat depth = 0;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &depth);
    EXPECT_EQ(depth, 1.0f);
    GLfloat light[4];
    glGetLightfv(GL_LIGHT1, GL_AMBIENT, light);
    EXPECT_EQ(std::vector<GLfloat>(light, light + 4), std::vector<GLfloat>(LightAmbient, LightAmbient + 4));
    glGetLightfv(GL_LIGHT1, GL_DIFFUSE, light);
    EXPECT_EQ(std::vector<GLfloat>(light, light + 4), std::vector<GLfloat>(LightDiffuse, LightDiffuse + 4));
    glGetLightfv(GL_LIGHT1, GL_POSITION, light);  // in eye coordinates: given under the identity matrix
    EXPECT_EQ(std::vector<GLfloat>(light, light + 4), std::vector<GLfloat>(LightPosition, LightPosition + 4));

    glEnable(GL_LIGHTING);  // as the lighting key does between frames
    DrawFrame();
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_ALWAYS);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    glGetIntegerv(GL_BLEND_SRC, &value);
    EXPECT_EQ(value, GL_SRC_ALPHA);
    glGetIntegerv(GL_BLEND_DST, &value);
    EXPECT_EQ(value, GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(SceneTest, FailsWithoutAnyTextureAndLeavesTheStateAlone) {
    ResizeViewport(800, 600);
    EXPECT_FALSE(SetupGlState());
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
}

TEST_F(SceneTest, SpinsAFullTurnInSixHundredFramesWithoutWrapping) {
    WriteScene(Rgb{1, 2, 3}, Rgba{0, 0, 0, 0}, 0, Rgba{0, 0, 0, 0});
    ResizeViewport(8, 6);  // a tiny viewport: the frames are about the counters, not the pixels
    ASSERT_TRUE(SetupGlState());
    for (int frame = 0; frame < 600; ++frame) DrawFrame();
    EXPECT_NEAR(SpinAngle, -360.0f, 0.05f);
    EXPECT_NEAR(WavePhase, 180.0f, 0.05f);
    DrawFrame();
    EXPECT_LT(SpinAngle, -360.3f);
}

}  // namespace
