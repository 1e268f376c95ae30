// opengl.h -- OpenGL and GLU, after the platform header that the Windows GL headers need first.
#pragma once

#include "platform/platform.h"

#include <GL/gl.h>
#include <GL/glu.h>

#ifdef __EMSCRIPTEN__
#include "platform/web/web_gl.h"
#endif
