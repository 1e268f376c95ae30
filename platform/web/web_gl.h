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

// A browser may lose the context at any moment, so every texture and piece of fixed state the program makes is
// kept here too, to be given to a new context under the same names. A name that is no texture of the current
// context binds a white texture: the untextured white a desktop draws, where WebGL would sample black.
void WebGlGenTextures(GLsizei count, GLuint* names);
void WebGlBindTexture(GLenum target, GLuint name);
void WebGlPixelStorei(GLenum name, GLint value);
void WebGlEnable(GLenum capability);
void WebGlDisable(GLenum capability);
void WebGlClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha);
void WebGlClearDepth(GLclampd depth);
void WebGlDepthFunc(GLenum function);
void WebGlBlendFunc(GLenum source, GLenum destination);
// In window pixels; the drawing buffer may have more (a high-DPI screen, fullscreen).
void WebGlViewport(GLint x, GLint y, GLsizei width, GLsizei height);

// The back-end's side. Called once a new context of the program's is current: sets up its white texture.
void WebGlStartContext();
// Called once a context in place of a lost one is current: everything kept, given to it.
void WebGlRestoreContext();
// Called when the program deletes its context: its textures went with it.
void WebGlForgetContext();
// Called when the drawing buffer's size changes: drawing-buffer pixels per window pixel, across and down.
void WebGlSetPixelScale(float across, float down);

// Ends the quads batched so far: called before anything that changes what they would be drawn with.
void WebGlFlushBatch();

#ifndef WEB_GL_LAYER
#define WEB_GL_FLUSHED(call, ...) (WebGlFlushBatch(), call(__VA_ARGS__))
#define glBegin WebGlBegin
#define glEnd WebGlEnd
#define glNormal3f WebGlNormal3f
#define glTexCoord2f WebGlTexCoord2f
#define glVertex3f WebGlVertex3f
#define glTexImage2D(...) WEB_GL_FLUSHED(WebGlTexImage2D, __VA_ARGS__)
#define glTexParameteri(...) WEB_GL_FLUSHED(WebGlTexParameteri, __VA_ARGS__)
#define glHint(...) WEB_GL_FLUSHED(WebGlHint, __VA_ARGS__)
#define glShadeModel(...) WEB_GL_FLUSHED(WebGlShadeModel, __VA_ARGS__)
#define glGenTextures(...) WEB_GL_FLUSHED(WebGlGenTextures, __VA_ARGS__)
#define glBindTexture(...) WEB_GL_FLUSHED(WebGlBindTexture, __VA_ARGS__)
#define glPixelStorei(...) WEB_GL_FLUSHED(WebGlPixelStorei, __VA_ARGS__)
#define glEnable(...) WEB_GL_FLUSHED(WebGlEnable, __VA_ARGS__)
#define glDisable(...) WEB_GL_FLUSHED(WebGlDisable, __VA_ARGS__)
#define glClearColor(...) WEB_GL_FLUSHED(WebGlClearColor, __VA_ARGS__)
#define glClearDepth(...) WEB_GL_FLUSHED(WebGlClearDepth, __VA_ARGS__)
#define glDepthFunc(...) WEB_GL_FLUSHED(WebGlDepthFunc, __VA_ARGS__)
#define glBlendFunc(...) WEB_GL_FLUSHED(WebGlBlendFunc, __VA_ARGS__)
#define glViewport(...) WEB_GL_FLUSHED(WebGlViewport, __VA_ARGS__)
#define glClear(...) WEB_GL_FLUSHED(glClear, __VA_ARGS__)
#define glLightfv(...) WEB_GL_FLUSHED(glLightfv, __VA_ARGS__)
#define glMatrixMode(...) WEB_GL_FLUSHED(glMatrixMode, __VA_ARGS__)
#define glRotatef(...) WEB_GL_FLUSHED(glRotatef, __VA_ARGS__)
#define glTranslatef(...) WEB_GL_FLUSHED(glTranslatef, __VA_ARGS__)
#define gluPerspective(...) WEB_GL_FLUSHED(gluPerspective, __VA_ARGS__)
#define glLoadIdentity() WEB_GL_FLUSHED(glLoadIdentity)
#endif
