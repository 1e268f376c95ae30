// test_twist_mesh.cpp -- the twisted sprite grid: shared corners, angles, and what reaches OpenGL.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <map>

#include "platform/opengl.h"
#include "render/twist_mesh.h"
#include "tests/program_fixture.h"

namespace {

// Every cell that has a grid point emits it at the same position to the last bit, at every phase, although
// neighbouring cells compute it by different sums: the grid has no cracks. Grid point (column, row) has the
// texture coordinate (column / 15, row / 15) and, untwisted, lies at (-0.75 + column / 10, -0.85 + row / 10).
TEST(TwistMesh, CellsShareTheirCornersBitForBitAndSpanTheWholeTexture) {
    const int offsets[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};  // (column, row) of top left, top right, ...
    for (int frame = 0; frame <= 64; ++frame) {
        std::map<std::pair<int, int>, std::array<std::uint32_t, 2>> points;  // grid point: the bits of x and y
        for (int cell = 0; cell < 225; ++cell) {
            MeshCorner corners[4];
            TwistMeshCell(cell / 15, cell % 15, frame * 0.3f, corners);
            for (int k = 0; k < 4; ++k) {
                const MeshCorner& c = corners[k];
                const int column = cell % 15 + offsets[k][0], row = cell / 15 + offsets[k][1];
                const std::array bits = {std::bit_cast<std::uint32_t>(c.x), std::bit_cast<std::uint32_t>(c.y)};
                const auto [at, first] = points.try_emplace({column, row}, bits);
                ASSERT_TRUE(first || at->second == bits) << "cell " << cell << " corner " << k << " frame " << frame;
                const double want[4] = {column / 15.0, row / 15.0, -0.75 + column / 10.0, -0.85 + row / 10.0};
                const float got[4] = {c.s, c.t, c.x, c.y};
                for (int i = 0; i < (frame ? 2 : 4); ++i) ASSERT_NEAR(got[i], want[i], 1e-6) << column << "," << row;
            }
        }
    }
}

// What reaches OpenGL on the first frame: the grid twisted by the phase 0.3, advanced before drawing. GL's
// feedback mode hands back every vertex it was given, in window coordinates, here under an orthographic view
// that maps x and y from [-1, 1] onto the 800 x 600 viewport.
TEST_F(SceneTest, FirstFrameDrawsTheGridTwistedByTheAdvancedPhase) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    std::vector<GLfloat> feedback(225 * 2 * 11 + 64);
    glFeedbackBuffer(GLsizei(feedback.size()), GL_2D, feedback.data());
    glRenderMode(GL_FEEDBACK);
    DrawTwistMesh();
    const GLint values = glRenderMode(GL_RENDER);
    ASSERT_GT(values, 0);
    std::vector<std::pair<double, double>> drawn;
    for (std::size_t at = 0; at < std::size_t(values);) {
        ASSERT_EQ(feedback[at], GLfloat(GL_POLYGON_TOKEN));
        const std::size_t count = std::size_t(feedback[at + 1]);
        for (std::size_t k = 0; k < count; ++k) drawn.push_back({feedback[at + 2 + 2 * k], feedback[at + 3 + 2 * k]});
        at += 2 + 2 * count;
    }
    // The grid's outer corners, each turned about the origin by 0.2 sin(0.3) times its distance from (0, -1).
    const std::pair<double, double> outerCorners[] = {{-0.75, -0.85}, {0.75, -0.85}, {0.75, 0.65}, {-0.75, 0.65}};
    for (const auto& [x, y] : outerCorners) {
        const double a = 0.2 * std::sin(0.3) * std::hypot(x, y + 1);
        const double windowX = (std::cos(a) * x - std::sin(a) * y + 1) * 400;
        const double windowY = (std::sin(a) * x + std::cos(a) * y + 1) * 300;
        const auto near = [&](const auto& p) { return std::hypot(p.first - windowX, p.second - windowY) < 0.01; };
        EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(), near)) << x << "," << y;
    }
}

}  // namespace
