// test_twist_mesh.cpp -- the twisted sprite grid: shared corners, angles, and what reaches OpenGL.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <map>

#include "platform/opengl.h"
#include "render/scene.h"
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

// The first frame under the window's real projection: the grid alone, opaque white over black, twisted by the
// phase 0.3 (advanced before drawing), 1.5 units square, 1.7 units from the eye under a 45-degree field of view.
// Each grid point on its edges inside the window has white 3 pixels inwards and black 3 pixels outwards, so a
// wrong size, depth, place or phase moves an edge past a probe.
TEST_F(SceneTest, FirstFrameDrawsTheTwistedGridAtItsSizeAndPlace) {
    WriteScene(Rgb{0, 0, 0}, Rgba{0, 0, 0, 0}, 0, Rgba{255, 255, 255, 255});
    ASSERT_TRUE(SetupGlState());
    DrawAndRead();
    const double pixelsPerUnit = 300 / (1.7 * std::tan(22.5 * M_PI / 180));
    int probed = 0;
    for (int k = 0; k <= 15; ++k) {
        // A point on the top, left and right edges, and the way inwards from it; corners step in diagonally.
        const double across = -0.75 + k / 10.0, up = -0.85 + k / 10.0;
        const int corner = k == 0 ? 1 : k == 15 ? -1 : 0;
        const std::tuple<double, double, int, int> points[] = {
            {across, 0.65, corner, -1}, {-0.75, up, 1, -(k == 15)}, {0.75, up, -1, -(k == 15)}};
        for (const auto& [x, y, inX, inY] : points) {
            const double a = 0.2 * std::sin(0.3) * std::hypot(x, y + 1);  // turned about the origin
            const double windowX = 400 + (std::cos(a) * x - std::sin(a) * y) * pixelsPerUnit;
            const double windowY = 300 + (std::sin(a) * x + std::cos(a) * y) * pixelsPerUnit;
            if (windowX < 4 || windowX > 795 || windowY < 4 || windowY > 595) continue;  // out of the window
            ++probed;
            EXPECT_EQ(PixelAt(int(windowX + 3 * inX), int(windowY + 3 * inY)), (Rgb{255, 255, 255})) << x << "," << y;
            EXPECT_EQ(PixelAt(int(windowX - 3 * inX), int(windowY - 3 * inY)), (Rgb{0, 0, 0})) << x << "," << y;
        }
    }
    EXPECT_GT(probed, 30);
}

}  // namespace
