// twist_mesh.h -- the sprite drawn as a 15 x 15 grid whose vertices turn about the view axis.
#pragma once

extern float WavePhase;  // radians; advanced once per drawn frame, within eleven turns
constexpr float WaveStep = 0.3f;  // radians per frame

// One emitted corner of a grid cell: texture coordinate and twisted position.
struct MeshCorner {
    float s;
    float t;
    float x;
    float y;
};

// Draws the grid into the current context with MeshTexture, after advancing WavePhase.
void DrawTwistMesh();

// One frame's swing of the grid: WavePhase moves by WaveStep, and ten whole turns come off past ten.
void AdvanceWavePhase();

// The four corners of the cell in `row` (from the bottom) and `column` (from the left), in drawing order (top
// left, top right, bottom right, bottom left), twisted for `phase`.
void TwistMeshCell(int row, int column, float phase, MeshCorner corners[4]);

// The angle, in radians, by which the corner at (x, y) turns for `phase`.
float TwistAngle(float x, float y, float phase);

// Euclidean distance between two points, in double precision and not rounded.
double PointDistance(float x1, float y1, float x2, float y2);
