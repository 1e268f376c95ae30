// olvo_frames.cpp -- renders chosen frames of the real scene offscreen, with the pictures in data/, to PNGs.
//
//   olvo-frames OUTDIR FRAME...   e.g. olvo-frames shots 1 10 21 writes shots/frame-0001.png, ...
// Run it from the directory that holds data/. Decoder messages go to stderr.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <stb/stb_image_write.h>

#include "render/scene.h"
#include "tools/offscreen_gl.h"

namespace {

constexpr int Width = 800;
constexpr int Height = 600;

bool SaveFrame(const std::string& path) {
    const std::vector<std::uint8_t> pixels = ReadOffscreenPixels();
    stbi_flip_vertically_on_write(1);  // GL rows run bottom first, PNG rows top first
    return stbi_write_png(path.c_str(), Width, Height, 3, pixels.data(), Width * 3) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: olvo-frames OUTDIR FRAME...\n");
        return 2;
    }
    std::vector<long> frames;
    for (int i = 2; i < argc; ++i) {
        char* end = nullptr;
        const long frame = std::strtol(argv[i], &end, 10);
        if (*end != '\0' || frame < 1 || frame > 1000000) {
            std::fprintf(stderr, "olvo-frames: frame numbers run from 1: %s\n", argv[i]);
            return 2;
        }
        frames.push_back(frame);
    }
    std::sort(frames.begin(), frames.end());
    std::filesystem::create_directories(argv[1]);

    std::string why;
    if (!CreateOffscreenGl(Width, Height, &why)) {
        std::fprintf(stderr, "olvo-frames: %s\n", why.c_str());
        return 1;
    }
    ResizeViewport(Width, Height);
    if (!SetupGlState()) {
        std::fprintf(stderr, "olvo-frames: no texture could be loaded from data/\n");
        DestroyOffscreenGl();
        return 1;
    }
    int status = 0;
    std::size_t next = 0;
    for (long frame = 1; next < frames.size(); ++frame) {
        DrawFrame();
        glFinish();
        for (; next < frames.size() && frames[next] == frame; ++next) {
            char name[32];
            std::snprintf(name, sizeof name, "frame-%04ld.png", frame);
            const std::string path = (std::filesystem::path(argv[1]) / name).string();
            if (!SaveFrame(path)) {
                std::fprintf(stderr, "olvo-frames: can't write %s\n", path.c_str());
                status = 1;
            } else {
                std::printf("%s\n", path.c_str());
            }
        }
    }
    DestroyOffscreenGl();
    return status;
}
