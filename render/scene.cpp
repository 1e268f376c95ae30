// scene.cpp -- fixed GL state, projection and the layered scene pass.
#include "render/scene.h"

#include "image/texture_set.h"
#include "render/camera.h"
#include "render/twist_mesh.h"

float SpinAngle = 0.0f;

const GLfloat LightAmbient[4] = {0.5f, 0.5f, 0.5f, 1.0f};
const GLfloat LightDiffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
const GLfloat LightPosition[4] = {0.0f, 0.0f, 2.0f, 1.0f};

void ResizeViewport(int width, int height) {
    if (height == 0) height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, double(width) / double(height), double(0.1f), 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool SetupGlState() {
    if (!LoadTextureSet()) return false;
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    // The position is taken through the identity model-view matrix that ResizeViewport left.
    glLightfv(GL_LIGHT1, GL_AMBIENT, LightAmbient);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, LightDiffuse);
    glLightfv(GL_LIGHT1, GL_POSITION, LightPosition);
    glEnable(GL_LIGHT1);
    return true;
}

void DrawSpriteQuad(float x, float y, float width, float height, float z, float angle, GLuint texture) {
    const float hw = width / 2;
    const float hh = height / 2;
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, CameraZ);
    if (angle != 0.0f) glRotatef(angle, 0.0f, 0.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(x - hw, y - hh, z);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(x + hw, y - hh, z);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(x + hw, y + hh, z);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(x - hw, y + hh, z);
    glEnd();
}

bool DrawFrame() {
    // Depth testing stays on but passes everything: drawing order alone layers the scene. Blend, depth and
    // lighting are set again every frame, so nothing changed between frames reaches the picture.
    glDepthFunc(GL_ALWAYS);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawSpriteQuad(0.0f, 0.0f, 2.0f, 2.0f, 3.2f, SpinAngle, StarfieldTexture);
    DrawSpriteQuad(0.0f, 0.0f, 4.0f, 3.0f, 1.5f, 0.0f, ShipTexture);
    DrawSpriteQuad(0.0f, -0.9f, 3.5f, 3.5f, 0.5f, 0.0f, LightTexture);
    DrawTwistMesh();
    AdvanceSpinAngle();
    return true;
}

void AdvanceSpinAngle() {
    SpinAngle += SpinStep;
    // A float that only grew would round the step to 0.625 degrees after hours and to nothing after days. Ten
    // turns off keep it within 3601 degrees, where a float resolves 1/4096 of one; 3600 is exact in a float, so
    // the turn drawn stays the same, and the first 5999 frames are exactly as without it.
    if (SpinAngle < -3600.0f) SpinAngle += 3600.0f;
}
