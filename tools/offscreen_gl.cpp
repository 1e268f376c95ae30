// offscreen_gl.cpp -- EGL surfaceless pbuffer context, as close to 8/8/8 colour and 16-bit depth as there is.
#include "tools/offscreen_gl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdlib>

#include "platform/opengl.h"

namespace {

struct OffscreenGl {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLConfig config = nullptr;
    EGLSurface surface = EGL_NO_SURFACE;
    EGLContext context = EGL_NO_CONTEXT;
    int width = 0;
    int height = 0;
};

OffscreenGl offscreen;

// The configuration closest to the program's window: at least 8 bits of red, green and blue and a depth buffer,
// preferring exactly 8 bits a channel (Mesa lists deeper colour first), no alpha, and a 16-bit depth buffer.
bool ChooseClosestConfig(EGLConfig* chosen) {
    const EGLint wanted[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(offscreen.display, wanted, nullptr, 0, &count) || count <= 0) return false;
    std::vector<EGLConfig> configs(static_cast<std::size_t>(count));
    eglChooseConfig(offscreen.display, wanted, configs.data(), count, &count);
    long best = -1;
    for (EGLConfig config : configs) {
        EGLint r = 0, g = 0, b = 0, a = 0, depth = 0;
        eglGetConfigAttrib(offscreen.display, config, EGL_RED_SIZE, &r);
        eglGetConfigAttrib(offscreen.display, config, EGL_GREEN_SIZE, &g);
        eglGetConfigAttrib(offscreen.display, config, EGL_BLUE_SIZE, &b);
        eglGetConfigAttrib(offscreen.display, config, EGL_ALPHA_SIZE, &a);
        eglGetConfigAttrib(offscreen.display, config, EGL_DEPTH_SIZE, &depth);
        if (r < 8 || g < 8 || b < 8 || depth <= 0) continue;
        // Colour first: extra colour bits change blended values, extra alpha or depth bits change nothing seen.
        const long distance = 1000L * (r + g + b - 24) + 10L * a + std::abs(depth - 16);
        if (best < 0 || distance < best) {
            best = distance;
            *chosen = config;
        }
    }
    return best >= 0;
}

}  // namespace

bool CreateOffscreenGl(int width, int height, std::string* why) {
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) {
        *why = "EGL has no eglGetPlatformDisplayEXT";
        return false;
    }
    offscreen.display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (offscreen.display == EGL_NO_DISPLAY || !eglInitialize(offscreen.display, nullptr, nullptr)) {
        *why = "no EGL surfaceless display (Mesa's EGL is missing)";
        offscreen.display = EGL_NO_DISPLAY;
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API) || !ChooseClosestConfig(&offscreen.config)) {
        *why = "no EGL configuration with at least 8 bits of red, green and blue and a depth buffer";
        DestroyOffscreenGl();
        return false;
    }
    const EGLint size[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    offscreen.surface = eglCreatePbufferSurface(offscreen.display, offscreen.config, size);
    offscreen.width = width;
    offscreen.height = height;
    if (offscreen.surface == EGL_NO_SURFACE || !ReplaceOffscreenContext()) {
        *why = "can't create an EGL pbuffer and OpenGL context";
        DestroyOffscreenGl();
        return false;
    }
    return true;
}

bool ReplaceOffscreenContext() {
    if (offscreen.context != EGL_NO_CONTEXT) {
        eglMakeCurrent(offscreen.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(offscreen.display, offscreen.context);
    }
    // No attributes: Mesa then gives a compatibility profile, which the immediate-mode drawing needs.
    offscreen.context = eglCreateContext(offscreen.display, offscreen.config, EGL_NO_CONTEXT, nullptr);
    return offscreen.context != EGL_NO_CONTEXT &&
           eglMakeCurrent(offscreen.display, offscreen.surface, offscreen.surface, offscreen.context);
}

void DestroyOffscreenGl() {
    if (offscreen.display == EGL_NO_DISPLAY) return;
    eglMakeCurrent(offscreen.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (offscreen.context != EGL_NO_CONTEXT) eglDestroyContext(offscreen.display, offscreen.context);
    if (offscreen.surface != EGL_NO_SURFACE) eglDestroySurface(offscreen.display, offscreen.surface);
    // The display stays initialised for the rest of the process: terminating it unloads Mesa's driver, and
    // the next test would load it again (and leak checkers lose the driver's name for what it keeps).
    offscreen = OffscreenGl{};
}

std::vector<std::uint8_t> ReadOffscreenPixels() {
    std::vector<std::uint8_t> pixels(std::size_t(offscreen.width) * std::size_t(offscreen.height) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, offscreen.width, offscreen.height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return pixels;
}
