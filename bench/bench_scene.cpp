// bench_scene.cpp -- time per frame of the scene pass offscreen at 800 x 600, beside two references in the
// same run: clearing alone, and the same four layers as four plain textured quads. Also times LoadTextureSet.
//
// Run from the repository root (the pictures are read from data/).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "image/texture_set.h"
#include "render/scene.h"
#include "tools/offscreen_gl.h"

namespace {

constexpr int Frames = 300;

using Clock = std::chrono::steady_clock;

template <typename Work>
double MedianMilliseconds(int runs, Work work) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        work();
        glFinish();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[std::size_t(runs / 2)];
}

void SetFrameState() {
    glDepthFunc(GL_ALWAYS);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
}

void ClearOnly() {
    SetFrameState();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// The scene's four layers, the sprite as one flat quad instead of the 225-cell grid.
void FourQuads() {
    ClearOnly();
    DrawSpriteQuad(0.0f, 0.0f, 2.0f, 2.0f, 3.2f, SpinAngle, StarfieldTexture);
    DrawSpriteQuad(0.0f, 0.0f, 4.0f, 3.0f, 1.5f, 0.0f, ShipTexture);
    DrawSpriteQuad(0.0f, -0.9f, 3.5f, 3.5f, 0.5f, 0.0f, LightTexture);
    DrawSpriteQuad(0.0f, -0.1f, 1.5f, 1.5f, 3.3f, 0.0f, MeshTexture);
    AdvanceSpinAngle();
}

}  // namespace

int main() {
    std::string why;
    if (!CreateOffscreenGl(800, 600, &why)) {
        std::fprintf(stderr, "bench_scene: %s\n", why.c_str());
        return 1;
    }
    ResizeViewport(800, 600);

    // Each load in a fresh context, as after a window rebuild; the context switch itself is not timed.
    std::vector<double> loads;
    for (int run = 0; run < 9; ++run) {
        ReplaceOffscreenContext();
        ResizeViewport(800, 600);
        const auto start = Clock::now();
        if (!SetupGlState()) {
            std::fprintf(stderr, "bench_scene: no texture loaded; run it from the repository root\n");
            return 1;
        }
        glFinish();
        loads.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(loads.begin(), loads.end());

    for (int warm = 0; warm < 20; ++warm) DrawFrame();
    const double clear = MedianMilliseconds(Frames, ClearOnly);
    const double quads = MedianMilliseconds(Frames, FourQuads);
    const double scene = MedianMilliseconds(Frames, [] { DrawFrame(); });

    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    std::printf("Offscreen 800 x 600 on %s; median of %d frames, each ended by glFinish.\n\n", renderer, Frames);
    std::printf("%-34s %9s %14s\n", "", "ms/frame", "ratio to clear");
    std::printf("%-34s %9.3f %14.2f\n", "clear only", clear, 1.0);
    std::printf("%-34s %9.3f %14.2f\n", "four plain textured quads", quads, quads / clear);
    std::printf("%-34s %9.3f %14.2f\n", "DrawFrame (the scene)", scene, scene / clear);
    std::printf("\nDrawFrame / four quads: %.2f\n", scene / quads);
    std::printf("SetupGlState with LoadTextureSet (real data): median %.2f ms, best %.2f ms of %zu\n",
                loads[loads.size() / 2], loads.front(), loads.size());
    DestroyOffscreenGl();
    return 0;
}
