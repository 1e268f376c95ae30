// bench_decoder.cpp -- times the BMP decoder on 4096 x 4096 files against stb_image, SDL2 and a memory floor.
//
// The floor is what no decoder can beat: allocating a fresh buffer of the output's size and writing every byte.
// Each figure is the best of several runs, files hot in the page cache.
#include <benchmark/benchmark.h>

#include <SDL2/SDL.h>
#include <stb/stb_image.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "image/bmp_decoder.h"

namespace {

constexpr int Side = 4096;
constexpr int Runs = 7;

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// A 4096 x 4096 BMP of noise-like content at the given depth, with a full palette for indexed depths.
std::string WriteBenchFile(const std::filesystem::path& dir, int bits) {
    const std::uint32_t colours = bits <= 8 ? 1u << bits : 0;
    const std::uint32_t stride = (std::uint32_t(Side) * bits + 31) / 32 * 4;
    const std::uint32_t offset = 14 + 40 + 4 * colours;
    std::vector<std::uint8_t> file = {'B', 'M'};
    Put32(file, offset + stride * Side);
    Put32(file, 0);
    Put32(file, offset);
    for (std::uint32_t v : {40u, std::uint32_t(Side), std::uint32_t(Side)}) Put32(file, v);
    Put16(file, 1);
    Put16(file, std::uint32_t(bits));
    for (std::uint32_t v : {0u, stride * Side, 2835u, 2835u, colours, 0u}) Put32(file, v);
    for (std::uint32_t i = 0; i < colours; ++i) Put32(file, (i * 2654435761u) & 0xFFFFFF);
    std::uint32_t state = 12345;
    file.resize(file.size() + std::size_t(stride) * Side);
    for (std::size_t i = offset; i < file.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        file[i] = std::uint8_t(state >> 24);
    }
    const std::string path = (dir / ("bench" + std::to_string(bits) + ".bmp")).string();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size() || std::fclose(out) != 0) {
        std::fprintf(stderr, "can't write %s\n", path.c_str());
        std::exit(1);
    }
    return path;
}

template <typename Work>
double BestMilliseconds(Work work) {
    double best = 1e30;
    for (int run = 0; run < Runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        if (took.count() < best) best = took.count();
    }
    return best;
}

void DecodeWithOurs(const std::string& path) {
    ImageRecord* image = DecodeBitmapFile(path.c_str());
    if (!image) std::exit(1);
    benchmark::DoNotOptimize(image->pixels[0]);
    FreeImageRecord(image);
}

void DecodeWithStb(const std::string& path) {
    int w = 0, h = 0, n = 0;
    stbi_set_flip_vertically_on_load(1);  // bottom row first, as the program wants it
    stbi_uc* pixels = stbi_load(path.c_str(), &w, &h, &n, 3);
    if (!pixels) std::exit(1);
    benchmark::DoNotOptimize(pixels[0]);
    stbi_image_free(pixels);
}

void DecodeWithSdl(const std::string& path) {
    SDL_Surface* loaded = SDL_LoadBMP(path.c_str());
    if (!loaded) std::exit(1);
    SDL_Surface* rgb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB24, 0);
    SDL_FreeSurface(loaded);
    if (!rgb) std::exit(1);
    // Repacked bottom row first without row padding, as the program wants it.
    const std::size_t row = std::size_t(rgb->w) * 3;
    auto* pixels = static_cast<std::uint8_t*>(std::malloc(row * std::size_t(rgb->h)));
    for (int y = 0; y < rgb->h; ++y) {
        std::memcpy(pixels + row * std::size_t(rgb->h - 1 - y), static_cast<std::uint8_t*>(rgb->pixels) + std::size_t(y) * rgb->pitch, row);
    }
    SDL_FreeSurface(rgb);
    benchmark::DoNotOptimize(pixels[0]);
    std::free(pixels);
}

void WriteFloor() {
    const std::size_t size = std::size_t(Side) * Side * 3;
    auto* pixels = static_cast<std::uint8_t*>(std::malloc(size));
    std::memset(pixels, 0x5A, size);
    benchmark::DoNotOptimize(pixels[size - 1]);
    std::free(pixels);
}

}  // namespace

int main() {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "olvo-bench-decoder";
    std::filesystem::create_directories(dir);
    std::printf("Decoding %d x %d BMP files to bottom-first RGB; best of %d runs, milliseconds.\n\n", Side, Side, Runs);
    std::printf("%5s %9s %9s %9s %9s   %13s %13s %13s\n", "bits", "floor", "ours", "stb", "SDL2", "ours/floor",
                "ours/stb", "SDL2/floor");
    for (int bits : {24, 8, 4, 1}) {
        const std::string path = WriteBenchFile(dir, bits);
        const double floor = BestMilliseconds(WriteFloor);
        const double ours = BestMilliseconds([&] { DecodeWithOurs(path); });
        const double stb = BestMilliseconds([&] { DecodeWithStb(path); });
        const double sdl = BestMilliseconds([&] { DecodeWithSdl(path); });
        std::printf("%5d %9.2f %9.2f %9.2f %9.2f   %13.2f %13.2f %13.2f\n", bits, floor, ours, stb, sdl, ours / floor,
                    ours / stb, sdl / floor);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
