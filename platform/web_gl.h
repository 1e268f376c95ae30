// web_gl.h -- OpenGL 1.1 over the browser's GL emulation: the calls whose desktop meaning WebGL lacks go to the
// web back-end's own versions (web_gl.cpp), so the drawing code makes the same calls on every platform.
#pragma once

#include <GL/gl.h>

// Inside glBegin/glEnd the emulation takes every attribute call as the next piece of one vertex stream, laid out
// after the first vertex; these keep the current normal and texture coordinate, as desktop GL does, and hand the
// emulation complete vertices.
void WebGlBegin(GLenum mode);
void WebGlEnd();
void WebGlNormal3f(GLfloat x, GLfloat y, GLfloat z);
void WebGlTexCoord2f(GLfloat s, GLfloat t);
void WebGlVertex3f(GLfloat x, GLfloat y, GLfloat z);

// Component counts as internal formats, GL_CLAMP, the perspective hint and the shade model: desktop GL 1.1 only.
void WebGlTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                     GLenum format, GLenum type, const void* pixels);
void WebGlTexParameteri(GLenum target, GLenum name, GLint value);
void WebGlHint(GLenum target, GLenum mode);
void WebGlShadeModel(GLenum mode);

#ifndef WEB_GL_LAYER
#define glBegin WebGlBegin
#define glEnd WebGlEnd
#define glNormal3f WebGlNormal3f
#define glTexCoord2f WebGlTexCoord2f
#define glVertex3f WebGlVertex3f
#define glTexImage2D WebGlTexImage2D
#define glTexParameteri WebGlTexParameteri
#define glHint WebGlHint
#define glShadeModel WebGlShadeModel
#endif
