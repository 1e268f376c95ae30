// make_icons.cpp -- the program's icon, made from its own pictures: the sprite with its mask as alpha.
//
//   olvo-make-icons [OUTDIR]   run from the repository root (it reads data/); OUTDIR defaults to packaging/icons.
//   Writes olvo-gl-N.png for each size the desktops and the browser ask for, and olvo-gl.ico for Windows.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <stb/stb_image_resize.h>
#include <stb/stb_image_write.h>

#include "image/alpha_compose.h"

namespace {

constexpr int MasterSize = 512;
constexpr int PngSizes[] = {16, 32, 48, 64, 128, 192, 256, 512};
constexpr int IcoSizes[] = {16, 24, 32, 48, 64, 256};  // 256 is stored as PNG, the rest as 32-bit bitmaps
constexpr double SpriteShare = 1.0;                     // of the icon's side

using Pixels = std::vector<std::uint8_t>;  // RGBA, top row first, as PNG and the resizer take them

// Picture rows come bottom first; icons are made top first.
Pixels TopFirstRgba(const ImageRecord* image, int channels) {
    Pixels out(std::size_t(image->width) * std::size_t(image->height) * 4);
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
            const std::uint8_t* in = image->pixels + (std::size_t(image->height - 1 - y) * image->width + x) * channels;
            std::uint8_t* o = &out[(std::size_t(y) * image->width + x) * 4];
            o[0] = in[0], o[1] = in[1], o[2] = in[2], o[3] = channels == 4 ? in[3] : 255;
        }
    }
    return out;
}

Pixels Resize(const Pixels& in, int from, int to) {
    Pixels out(std::size_t(to) * to * 4);
    stbir_resize_uint8_srgb(in.data(), from, from, 0, out.data(), to, to, 0, 4, 3, 0);
    return out;
}

// The sprite alone, scaled and centred on a clear square: flat colours that stay small as PNG and read at 16 px.
bool MakeMaster(Pixels* master) {
    ImageRecord* sprite = LoadBitmapWithAlpha("data/merolan.bmp", "data/merolan_alpha.bmp");
    const bool ok = sprite && sprite->width == sprite->height;
    if (ok) {
        const int side = int(std::lround(MasterSize * SpriteShare));
        const Pixels robot = Resize(TopFirstRgba(sprite, 4), sprite->width, side);
        const int offset = (MasterSize - side) / 2;
        master->assign(std::size_t(MasterSize) * MasterSize * 4, 0);
        for (int y = 0; y < side; ++y) {
            std::copy_n(&robot[std::size_t(y) * side * 4], std::size_t(side) * 4,
                        &(*master)[(std::size_t(y + offset) * MasterSize + offset) * 4]);
        }
    }
    FreeImageRecord(sprite);
    return ok;
}

void AppendLittleEndian(std::string* out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out->push_back(char((value >> (8 * i)) & 0xFF));
}

void AppendPng(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), std::size_t(size));
}

// One icon image as Windows stores it: a 32-bit bottom-up bitmap of twice the height (colour, then the
// all-clear AND mask) for the small sizes, PNG for the largest.
std::string IcoImage(const Pixels& rgba, int size) {
    std::string out;
    if (size >= 256) {
        stbi_write_png_to_func(AppendPng, &out, size, size, 4, rgba.data(), size * 4);
        return out;
    }
    const int maskRow = ((size + 31) / 32) * 4;
    AppendLittleEndian(&out, 40, 4);
    AppendLittleEndian(&out, std::uint32_t(size), 4);
    AppendLittleEndian(&out, std::uint32_t(size * 2), 4);
    AppendLittleEndian(&out, 1, 2);
    AppendLittleEndian(&out, 32, 2);
    AppendLittleEndian(&out, 0, 4);
    AppendLittleEndian(&out, std::uint32_t(size * size * 4 + maskRow * size), 4);
    for (int i = 0; i < 4; ++i) AppendLittleEndian(&out, 0, 4);
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const std::uint8_t* p = &rgba[(std::size_t(y) * size + x) * 4];
            out.push_back(char(p[2])), out.push_back(char(p[1])), out.push_back(char(p[0])), out.push_back(char(p[3]));
        }
    }
    out.append(std::size_t(maskRow) * size, '\0');
    return out;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return true;
    std::remove(path.c_str());
    return false;
}

std::string Ico(const Pixels& master) {
    constexpr int count = int(std::size(IcoSizes));
    std::string header, images;
    AppendLittleEndian(&header, 0, 2);
    AppendLittleEndian(&header, 1, 2);  // an icon, not a cursor
    AppendLittleEndian(&header, count, 2);
    std::uint32_t offset = 6 + 16 * count;
    for (int size : IcoSizes) {
        const std::string image = IcoImage(Resize(master, MasterSize, size), size);
        header.push_back(char(size >= 256 ? 0 : size));  // 0 stands for 256
        header.push_back(char(size >= 256 ? 0 : size));
        AppendLittleEndian(&header, 0, 2);  // no palette, reserved
        AppendLittleEndian(&header, 1, 2);  // planes
        AppendLittleEndian(&header, 32, 2);
        AppendLittleEndian(&header, std::uint32_t(image.size()), 4);
        AppendLittleEndian(&header, offset, 4);
        offset += std::uint32_t(image.size());
        images += image;
    }
    return header + images;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "usage: olvo-make-icons [OUTDIR]   (from the repository root)\n");
        return 2;
    }
    const std::string dir = argc == 2 ? argv[1] : "packaging/icons";
    Pixels master;
    if (!MakeMaster(&master)) {
        std::fprintf(stderr, "olvo-make-icons: data/merolan.bmp and its mask must load and be square\n");
        return 1;
    }
    for (int size : PngSizes) {
        const std::string path = dir + "/olvo-gl-" + std::to_string(size) + ".png";
        const Pixels icon = size == MasterSize ? master : Resize(master, MasterSize, size);
        std::string png;
        stbi_write_png_to_func(AppendPng, &png, size, size, 4, icon.data(), size * 4);
        if (!WriteFile(path, png)) {
            std::fprintf(stderr, "olvo-make-icons: can't write %s\n", path.c_str());
            return 1;
        }
    }
    if (!WriteFile(dir + "/olvo-gl.ico", Ico(master))) {
        std::fprintf(stderr, "olvo-make-icons: can't write %s/olvo-gl.ico\n", dir.c_str());
        return 1;
    }
    return 0;
}
