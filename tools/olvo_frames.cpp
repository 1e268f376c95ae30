// olvo_frames.cpp -- renders chosen frames of the real scene offscreen, with the pictures in data/, to PNGs.
//
//   olvo-frames [--layers LIST] [--grid] [--untwisted] OUTDIR FRAME...
//   e.g. olvo-frames shots 1 10 21 writes shots/frame-0001.png, ...
// Run it from the directory that holds data/. Decoder messages go to stderr. To show how a frame is built:
//   --layers LIST  draws only the named layers (starfield, ship, light, sprite: their textures' names in the
//                  texture table; comma-separated), the others left out by drawing them with a fully transparent
//                  texture, so the frame's own pass draws them
//   --grid         draws the sprite's grid as white lines instead of its picture
//   --untwisted    holds the grid's twist at zero
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <stb/stb_image_write.h>

#include "image/texture_set.h"
#include "render/scene.h"
#include "render/twist_mesh.h"
#include "tools/offscreen_gl.h"

namespace {

constexpr int Width = 800;
constexpr int Height = 600;

bool SaveFrame(const std::string& path) {
    const std::vector<std::uint8_t> pixels = ReadOffscreenPixels();
    stbi_flip_vertically_on_write(1);  // GL rows run bottom first, PNG rows top first
    return stbi_write_png(path.c_str(), Width, Height, 3, pixels.data(), Width * 3) != 0;
}

// The scene's layers in drawing order, by the texture each is drawn with.
constexpr GLuint* Layers[] = {&StarfieldTexture, &ShipTexture, &LightTexture, &MeshTexture};

// A layer's name: its texture's in the texture table.
std::string LayerName(const GLuint* texture) {
    for (const TextureSource& source : TextureTable) {
        if (source.slot == texture) return source.name;
    }
    return "";
}

struct Options {
    std::vector<bool> shown = std::vector<bool>(std::size(Layers), true);
    bool grid = false;
    bool untwisted = false;
};

bool ParseLayers(const std::string& list, Options* options) {
    options->shown.assign(std::size(Layers), false);
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(',', start), list.size());
        const std::string name = list.substr(start, end - start);
        bool known = false;
        for (std::size_t i = 0; i < std::size(Layers); ++i) {
            if (name == LayerName(Layers[i])) options->shown[i] = known = true;
        }
        if (!known) return false;
        start = end + 1;
    }
    return true;
}

GLuint OnePixelTexture(std::uint8_t grey, std::uint8_t alpha) {
    const std::uint8_t pixel[4] = {grey, grey, grey, alpha};
    const ImageRecord image{1, 1, const_cast<std::uint8_t*>(pixel)};
    GLuint name = 0;
    UploadTexture(&image, &name, 4, GL_RGBA);
    return name;
}

// Swaps in the textures that leave layers out or draw the grid, after the set is loaded.
void ApplyOptions(const Options& options) {
    const GLuint clear = OnePixelTexture(0, 0);
    for (std::size_t i = 0; i < std::size(Layers); ++i) {
        if (!options.shown[i]) *Layers[i] = clear;
    }
    if (options.grid) {
        if (options.shown[3]) MeshTexture = OnePixelTexture(255, 255);
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        glLineWidth(2.0f);  // still visible when the frame is shown at half size
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    int first = 1;
    for (; first < argc && argv[first][0] == '-'; ++first) {
        const std::string option = argv[first];
        if (option == "--grid") {
            options.grid = true;
        } else if (option == "--untwisted") {
            options.untwisted = true;
        } else if (option == "--layers" && first + 1 < argc && ParseLayers(argv[first + 1], &options)) {
            ++first;
        } else {
            std::fprintf(stderr, "olvo-frames: unknown option or layer list: %s\n", argv[first]);
            return 2;
        }
    }
    if (argc - first < 2) {
        std::string names;
        for (const GLuint* layer : Layers) names += LayerName(layer) + ",";
        names.pop_back();
        std::fprintf(stderr, "usage: olvo-frames [--layers %s] [--grid] [--untwisted] OUTDIR FRAME...\n",
                     names.c_str());
        return 2;
    }
    const char* outDir = argv[first];
    std::vector<long> frames;
    for (int i = first + 1; i < argc; ++i) {
        char* end = nullptr;
        const long frame = std::strtol(argv[i], &end, 10);
        if (*end != '\0' || frame < 1 || frame > 1000000) {
            std::fprintf(stderr, "olvo-frames: frame numbers run from 1: %s\n", argv[i]);
            return 2;
        }
        frames.push_back(frame);
    }
    std::sort(frames.begin(), frames.end());
    std::filesystem::create_directories(outDir);

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
    ApplyOptions(options);
    int status = 0;
    std::size_t next = 0;
    for (long frame = 1; next < frames.size(); ++frame) {
        if (options.untwisted) WavePhase = -WaveStep;  // the frame's step brings it to zero
        DrawFrame();
        glFinish();
        for (; next < frames.size() && frames[next] == frame; ++next) {
            char name[32];
            std::snprintf(name, sizeof name, "frame-%04ld.png", frame);
            const std::string path = (std::filesystem::path(outDir) / name).string();
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
