// bmp_builder.cpp -- an independent BMP writer, so decoder tests compare against pictures, not code.
#include "tests/bmp_builder.h"

#include <cstdlib>
#include <fstream>
#include <random>

namespace {

// `bytes` bytes of `value`, low byte first.
void Put(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(std::uint8_t(value >> (8 * i)));
}

// One stored row: pixels packed from the left, padded to 4 bytes with filler that must never be read as pixels.
std::vector<std::uint8_t> PackRow(const BmpLayout& layout, const std::uint32_t* row) {
    std::vector<std::uint8_t> bytes;
    const int bits = layout.bitCount;
    for (int x = 0; x < layout.width; ++x) {
        if (bits >= 8) {
            Put(bytes, row[x], bits / 8);  // 0xRRGGBB low byte first is blue, green, red
        } else {
            const int slot = x % (8 / bits);  // from the byte's high bits
            if (slot == 0) bytes.push_back(0);
            bytes.back() |= std::uint8_t(row[x] << (8 - bits * (slot + 1)));
        }
    }
    while (bytes.size() % 4) bytes.push_back(0xEE);
    return bytes;
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp(const BmpLayout& layout, const std::vector<std::uint32_t>& values) {
    std::vector<std::uint8_t> out;
    if (layout.fileHeader) {
        out = {'B', 'M'};
        out.resize(14);  // file size, reserved, pixel data offset: the sizes are filled in below
    }
    // Header size, width, height, 1 plane, bits per pixel: 16-bit fields in a core header, mostly 32 in an info one.
    const int wide = layout.coreHeader ? 2 : 4;
    Put(out, layout.coreHeader ? 12 : 40, 4);
    Put(out, std::uint32_t(layout.width), wide);
    Put(out, std::uint32_t(layout.height), wide);
    Put(out, 1, 2);
    Put(out, std::uint32_t(layout.bitCount), 2);
    if (!layout.coreHeader) {
        // Compression, image size (may be 0 uncompressed), resolution, used and important colours, masks.
        for (std::uint32_t field : {layout.compression, 0u, 2835u, 2835u, layout.clrUsed, 0u}) Put(out, field, 4);
        for (std::uint32_t mask : layout.masks) Put(out, mask, 4);
    }
    for (const Rgb& c : layout.palette) {
        out.insert(out.end(), {c[2], c[1], c[0]});
        if (!layout.coreHeader) out.push_back(0);
    }
    if (layout.fileHeader) out.insert(out.end(), layout.gap, 0xAB);
    const std::size_t dataStart = out.size();
    out.insert(out.end(), layout.compressed.begin(), layout.compressed.end());
    const int rows = layout.compressed.empty() ? std::abs(layout.height) : 0;
    for (int stored = 0; stored < rows; ++stored) {
        const int pictureRow = layout.height < 0 ? stored : rows - 1 - stored;
        const std::vector<std::uint8_t> row = PackRow(layout, values.data() + std::size_t(pictureRow) * layout.width);
        out.insert(out.end(), row.begin(), row.end());
    }
    return layout.fileHeader ? Patched(Patched(out, 2, std::uint32_t(out.size())), 10, std::uint32_t(dataStart)) : out;
}

std::vector<std::uint8_t> ExpectedRgb(const BmpLayout& layout, const std::vector<std::uint32_t>& values) {
    std::vector<std::uint8_t> rgb;
    for (int row = std::abs(layout.height) - 1; row >= 0; --row) {
        for (int x = 0; x < layout.width; ++x) {
            const std::uint32_t v = values[std::size_t(row) * layout.width + x];
            const Rgb direct{std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
            const Rgb c = layout.bitCount > 8 ? direct : v < layout.palette.size() ? layout.palette[v] : Rgb{0, 0, 0};
            rgb.insert(rgb.end(), c.begin(), c.end());
        }
    }
    return rgb;
}

std::vector<std::uint32_t> PatternValues(int count, std::uint32_t limit, std::uint32_t seed) {
    std::minstd_rand random(seed + 1);
    std::vector<std::uint32_t> values(static_cast<std::size_t>(count));
    for (auto& v : values) v = std::uint32_t(random() % limit);
    return values;
}

std::vector<std::uint8_t> Patched(std::vector<std::uint8_t> bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = std::uint8_t(value >> (8 * i));
    return bytes;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}
