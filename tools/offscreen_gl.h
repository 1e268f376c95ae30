// offscreen_gl.h -- a windowless OpenGL context for tests, tools and benchmarks: EGL on Mesa's surfaceless
// platform, a pbuffer of the configuration closest to RGB 8/8/8 with a 16-bit depth buffer, compatibility profile.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Creates the display, pbuffer and context and makes the context current. On failure returns false and says
// why in *why (EGL missing, no such configuration, ...).
bool CreateOffscreenGl(int width, int height, std::string* why);

// Replaces the current context by a brand-new one on the same pbuffer, as a window rebuild does.
bool ReplaceOffscreenContext();

// Releases the context and the pbuffer; the EGL display stays initialised for the process.
void DestroyOffscreenGl();

// The colour buffer as RGB bytes, bottom row first, rows without padding.
std::vector<std::uint8_t> ReadOffscreenPixels();
