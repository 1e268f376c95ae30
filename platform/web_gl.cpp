// web_gl.cpp -- desktop OpenGL 1.1 meanings for the calls the browser's GL emulation takes differently.
#define WEB_GL_LAYER  // this file calls the emulation itself
#include "platform/web_gl.h"

namespace {

// The current normal and texture coordinate: GL state, kept across glBegin/glEnd as on the desktop.
GLfloat currentNormal[3] = {0.0f, 0.0f, 1.0f};
GLfloat currentTexCoord[2] = {0.0f, 0.0f};

}  // namespace

void WebGlBegin(GLenum mode) {
    glBegin(mode);
}

void WebGlEnd() {
    glEnd();
}

void WebGlNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    currentNormal[0] = x;
    currentNormal[1] = y;
    currentNormal[2] = z;
}

void WebGlTexCoord2f(GLfloat s, GLfloat t) {
    currentTexCoord[0] = s;
    currentTexCoord[1] = t;
}

// Every vertex carries all its attributes in one order, so each has the layout the emulation took from the first.
void WebGlVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    glNormal3f(currentNormal[0], currentNormal[1], currentNormal[2]);
    glTexCoord2f(currentTexCoord[0], currentTexCoord[1]);
    glVertex3f(x, y, z);
}

// WebGL 1 wants the internal format named as the pixel format is; the old component counts are refused.
void WebGlTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                     GLenum format, GLenum type, const void* pixels) {
    switch (internalFormat) {
    case 1: internalFormat = GL_LUMINANCE; break;
    case 2: internalFormat = GL_LUMINANCE_ALPHA; break;
    case 3: internalFormat = GL_RGB; break;
    case 4: internalFormat = GL_RGBA; break;
    default: break;
    }
    glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
}

// WebGL has no border texels, so GL_CLAMP becomes clamping to the edge texels: a filtered edge shows the edge
// texel where the desktop blends in the (transparent black) border.
void WebGlTexParameteri(GLenum target, GLenum name, GLint value) {
    if ((name == GL_TEXTURE_WRAP_S || name == GL_TEXTURE_WRAP_T) && value == GL_CLAMP) value = GL_CLAMP_TO_EDGE;
    glTexParameteri(target, name, value);
}

// WebGL always interpolates in perspective and has no such hint.
void WebGlHint(GLenum target, GLenum mode) {
    if (target != GL_PERSPECTIVE_CORRECTION_HINT) glHint(target, mode);
}

// WebGL shades smoothly, which is all the program asks for; the emulation has no flat shading to offer.
void WebGlShadeModel(GLenum) {}
