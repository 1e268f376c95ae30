// test_twist_mesh.cpp -- the twisted sprite grid: shared corners, angles, and what reaches OpenGL.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/opengl.h"
#include "render/camera.h"
#include "render/twist_mesh.h"
#include "tests/scene_fixture.h"

namespace {

bool SameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Neighbouring cells compute a shared corner by different sums; the grid has no cracks only if they agree to
// the last bit, at every phase.
TEST(TwistMesh, NeighbouringCellsEmitBitIdenticalSharedCorners) {
    enum { TopLeft, TopRight, BottomRight, BottomLeft };
    for (int frame = 0; frame <= 64; ++frame) {
        const float phase = frame * 0.3f;
        MeshCorner cells[15][15][4];
        for (int row = 0; row < 15; ++row)
            for (int column = 0; column < 15; ++column) TwistMeshCell(row, column, phase, cells[row][column]);
        for (int row = 0; row < 15; ++row) {
            for (int column = 0; column < 15; ++column) {
                const MeshCorner* cell = cells[row][column];
                if (column + 1 < 15) {
                    const MeshCorner* right = cells[row][column + 1];
                    ASSERT_TRUE(SameBits(cell[TopRight].x, right[TopLeft].x) && SameBits(cell[TopRight].y, right[TopLeft].y))
                        << "row " << row << " column " << column << " phase " << phase;
                    ASSERT_TRUE(SameBits(cell[BottomRight].x, right[BottomLeft].x) &&
                                SameBits(cell[BottomRight].y, right[BottomLeft].y));
                }
                if (row + 1 < 15) {
                    const MeshCorner* above = cells[row + 1][column];
                    ASSERT_TRUE(SameBits(cell[TopLeft].x, above[BottomLeft].x) && SameBits(cell[TopLeft].y, above[BottomLeft].y))
                        << "row " << row << " column " << column << " phase " << phase;
                    ASSERT_TRUE(SameBits(cell[TopRight].x, above[BottomRight].x) &&
                                SameBits(cell[TopRight].y, above[BottomRight].y));
                }
            }
        }
    }
}

TEST(TwistMesh, UntwistedGridSpansItsAreaWithTheWholeTexture) {
    MeshCorner first[4], last[4];
    TwistMeshCell(0, 0, 0.0f, first);
    TwistMeshCell(14, 14, 0.0f, last);
    // Bottom left of the first cell, top right of the last.
    EXPECT_FLOAT_EQ(first[3].x, -0.75f);
    EXPECT_FLOAT_EQ(first[3].y, -0.85f);
    EXPECT_EQ(first[3].s, 0.0f);
    EXPECT_EQ(first[3].t, 0.0f);
    EXPECT_FLOAT_EQ(last[1].x, 0.75f);
    EXPECT_FLOAT_EQ(last[1].y, 0.65f);
    EXPECT_FLOAT_EQ(last[1].s, 1.0f);
    EXPECT_FLOAT_EQ(last[1].t, 1.0f);
}

// Over a whole swing the far top corners turn by about 0.36 radians, the corners beside the pivot by at most
// about 0.032, and every corner keeps its distance from the origin it turns about.
TEST(TwistMesh, TurnsFarCornersMostAndCornersNearThePivotLeast) {
    double farthest = 0, nearest = 0;
    for (int step = 0; step < 2000; ++step) {
        const float phase = float(step * 2 * M_PI / 2000);
        farthest = std::fmax(farthest, std::fabs(TwistAngle(0.75f, 0.65f, phase)));
        nearest = std::fmax(nearest, std::fabs(TwistAngle(0.05f, -0.85f, phase)));
        MeshCorner corners[4];
        TwistMeshCell(14, 14, phase, corners);
        EXPECT_NEAR(std::hypot(corners[1].x, corners[1].y), std::hypot(0.75, 0.65), 1e-6);
    }
    EXPECT_NEAR(farthest, 0.2 * std::hypot(0.75, 1.65), 1e-4);
    EXPECT_NEAR(farthest, 0.36, 0.005);
    EXPECT_LT(nearest, 0.032);
    EXPECT_NEAR(nearest, 0.2 * std::hypot(0.05, 0.15), 1e-4);
    EXPECT_DOUBLE_EQ(PointDistance(0.0f, -1.0f, 3.0f, 3.0f), 5.0);
}

// What reaches OpenGL on the first frame: the grid twisted by the phase 0.3, advanced before drawing. GL's
// feedback mode hands back every vertex it was given, in window coordinates.
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
    EXPECT_FLOAT_EQ(WavePhase, 0.3f);
    ASSERT_GT(values, 0);

    // The orthographic view maps x and y from [-1, 1] onto the 800 x 600 viewport.
    using Point = std::pair<double, double>;
    std::vector<Point> expected, drawn;
    for (int row = 0; row < 15; ++row) {
        for (int column = 0; column < 15; ++column) {
            MeshCorner corners[4];
            TwistMeshCell(row, column, 0.3f, corners);
            for (const MeshCorner& c : corners) expected.push_back({(c.x + 1.0) * 400, (c.y + 1.0) * 300});
        }
    }
    int polygons = 0;
    for (std::size_t at = 0; at < std::size_t(values);) {
        ASSERT_EQ(feedback[at], GLfloat(GL_POLYGON_TOKEN));
        const std::size_t count = std::size_t(feedback[at + 1]);
        for (std::size_t k = 0; k < count; ++k) drawn.push_back({feedback[at + 2 + 2 * k], feedback[at + 3 + 2 * k]});
        at += 2 + 2 * count;
        ++polygons;
    }
    EXPECT_GE(polygons, 225);
    // Every vertex drawn is a twisted corner, and every twisted corner is drawn (to 1/100 pixel).
    auto near = [](const std::vector<Point>& points, Point p) {
        for (const Point& q : points)
            if (std::fabs(q.first - p.first) < 0.01 && std::fabs(q.second - p.second) < 0.01) return true;
        return false;
    };
    for (const Point& p : drawn) ASSERT_TRUE(near(expected, p)) << p.first << "," << p.second;
    for (const Point& p : expected) ASSERT_TRUE(near(drawn, p)) << p.first << "," << p.second;
}

}  // namespace
