// scene.h -- the GL state of a new context, the projection, and the per-frame scene pass.
#pragma once

#include "platform/opengl.h"

extern float SpinAngle;          // degrees; the starfield's turn about the view axis, within eleven turns
constexpr float SpinStep = -0.6f;  // degrees per drawn frame

extern const GLfloat LightAmbient[4];
extern const GLfloat LightDiffuse[4];
extern const GLfloat LightPosition[4];

// Viewport and 45-degree perspective for a client area; a height of 0 counts as 1.
void ResizeViewport(int width, int height);

// Loads the texture set into the current context and sets the fixed state; false when no texture loaded.
bool SetupGlState();

// Clears and draws the whole scene, then advances the spin. Always true.
bool DrawFrame();

// One frame's turn of the starfield: SpinAngle moves by SpinStep, and ten whole turns come off past ten.
void AdvanceSpinAngle();

// One textured quad facing the viewer, centred at (x, y) at depth z, turned by `angle` degrees about z.
void DrawSpriteQuad(float x, float y, float width, float height, float z, float angle, GLuint texture);
