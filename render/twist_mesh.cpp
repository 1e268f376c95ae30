// twist_mesh.cpp -- the twisted sprite grid: each vertex turns in proportion to its distance from a pivot.
#include "render/twist_mesh.h"

#include <cmath>
#include <numbers>

#include "image/texture_set.h"
#include "render/camera.h"
#include "platform/opengl.h"

float WavePhase = 0.0f;

namespace {

constexpr int CellsPerSide = 15;
constexpr float MeshCentreX = 0.0f;
constexpr float MeshCentreY = -0.1f;
constexpr float MeshWidth = 1.5f;
constexpr float MeshHeight = 1.5f;
constexpr float MeshZ = 3.3f;
constexpr float TwistFactor = 0.2f;
constexpr float PivotX = 0.0f;
constexpr float PivotY = -1.0f;
constexpr float TenTurns = float(20 * std::numbers::pi);  // radians

constexpr float TextureStep = 1.0f / CellsPerSide;
constexpr float CellWidth = MeshWidth / CellsPerSide;
constexpr float CellHeight = MeshHeight / CellsPerSide;

// Grid lines from the integer index in double precision, rounded once: the two cells that share a corner reach
// it by different sums (j*dx + dx and (j+1)*dx), and only a single rounding makes both land on the same float,
// so the grid has no cracks.
float GridX(int column, bool right) {
    const double x = column * double(CellWidth) + double(MeshCentreX) + (right ? double(CellWidth) : 0.0) -
                     double(MeshWidth) / 2;
    return float(x);
}

float GridY(int row, bool top) {
    const double y = row * double(CellHeight) + double(MeshCentreY) + (top ? double(CellHeight) : 0.0) -
                     double(MeshHeight) / 2;
    return float(y);
}

}  // namespace

double PointDistance(float x1, float y1, float x2, float y2) {
    const double dx = double(x2) - double(x1);
    const double dy = double(y2) - double(y1);
    return std::sqrt(dx * dx + dy * dy);
}

float TwistAngle(float x, float y, float phase) {
    const double distance = PointDistance(x, y, PivotX, PivotY);
    return float(std::sin(double(phase)) * distance * double(TwistFactor));
}

void TwistMeshCell(int row, int column, float phase, MeshCorner corners[4]) {
    const float s = column * TextureStep;
    const float t = row * TextureStep;
    const MeshCorner flat[4] = {
        {s, t + TextureStep, GridX(column, false), GridY(row, true)},
        {s + TextureStep, t + TextureStep, GridX(column, true), GridY(row, true)},
        {s + TextureStep, t, GridX(column, true), GridY(row, false)},
        {s, t, GridX(column, false), GridY(row, false)},
    };
    for (int k = 0; k < 4; ++k) {
        // Rotated about the origin of the translated model space; the pivot only sets how far.
        const double a = TwistAngle(flat[k].x, flat[k].y, phase);
        corners[k] = flat[k];
        corners[k].x = float(std::cos(a) * flat[k].x - std::sin(a) * flat[k].y);
        corners[k].y = float(std::sin(a) * flat[k].x + std::cos(a) * flat[k].y);
    }
}

void AdvanceWavePhase() {
    WavePhase += WaveStep;
    // As with the spin: a phase that only grew would round the step away after days. Below 64 radians a float
    // resolves 2^-18 of one; the ten turns taken off are 20 pi to a float's precision, a jump of the swing by
    // about 1e-6 radians once every 210 frames.
    if (WavePhase > TenTurns) WavePhase -= TenTurns;
}

void DrawTwistMesh() {
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, CameraZ);
    // Advanced before use, so the first frame already swings.
    AdvanceWavePhase();
    glBindTexture(GL_TEXTURE_2D, MeshTexture);
    for (int row = 0; row < CellsPerSide; ++row) {
        for (int column = 0; column < CellsPerSide; ++column) {
            MeshCorner corners[4];
            TwistMeshCell(row, column, WavePhase, corners);
            glBegin(GL_QUADS);
            glNormal3f(0.0f, 0.0f, 1.0f);
            for (const MeshCorner& corner : corners) {
                glTexCoord2f(corner.s, corner.t);
                glVertex3f(corner.x, corner.y, MeshZ);
            }
            glEnd();
        }
    }
}
