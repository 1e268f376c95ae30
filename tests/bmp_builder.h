// bmp_builder.h -- writes BMP files in memory for the decoder's tests, in every layout the decoder reads.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using Rgb = std::array<std::uint8_t, 3>;

struct BmpLayout {
    int width = 1;
    int height = 1;                 // negative: rows stored top row first
    int bitCount = 24;
    bool fileHeader = true;
    bool coreHeader = false;
    std::uint32_t compression = 0;
    std::vector<Rgb> palette{};     // the colour table
    std::uint32_t clrUsed = 0;      // written as is into an info header
    std::uint32_t gap = 0;          // bytes between the table and the pixel data (file header only)
    std::vector<std::uint32_t> masks{};  // written after an info header when not empty
    std::vector<std::uint8_t> compressed{};  // the pixel data as given, for run-length layouts
};

// The file for `values`: one per pixel, picture order (top row first, left to right); palette indices for 1,
// 4 and 8 bits, 0xRRGGBB for 24 bits, the stored pixel value for 16 and 32 bits.
std::vector<std::uint8_t> EncodeBmp(const BmpLayout& layout, const std::vector<std::uint32_t>& values);

// The decoder's promised output for paletted or 24-bit `values`: RGB, bottom row first, no padding; an index
// past the colour table gives black.
std::vector<std::uint8_t> ExpectedRgb(const BmpLayout& layout, const std::vector<std::uint32_t>& values);

// A repeatable spread of values below `limit`.
std::vector<std::uint32_t> PatternValues(int count, std::uint32_t limit, std::uint32_t seed);

// A copy of `bytes` with the 4 bytes at `at` set to `value`, little-endian, as a header field.
std::vector<std::uint8_t> Patched(std::vector<std::uint8_t> bytes, std::size_t at, std::uint32_t value);

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
