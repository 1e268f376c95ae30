// bmp_builder.cpp -- an independent BMP writer, so decoder tests compare against pictures, not code.
#include "tests/bmp_builder.h"

#include <cstdlib>

namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(std::uint8_t(value));
    out.push_back(std::uint8_t(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void Set32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = std::uint8_t(value >> (8 * i));
}

std::vector<std::uint8_t> PackRow(const BmpLayout& layout, const std::uint32_t* row) {
    std::vector<std::uint8_t> bytes;
    const int width = layout.width;
    if (layout.bitCount <= 8) {
        const int perByte = 8 / layout.bitCount;
        for (int x = 0; x < width; x += perByte) {
            std::uint8_t byte = 0;
            for (int k = 0; k < perByte; ++k) {
                const std::uint32_t value = x + k < width ? row[x + k] : 0;
                byte |= std::uint8_t(value << (8 - layout.bitCount * (k + 1)));
            }
            bytes.push_back(byte);
        }
    } else {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = row[x];
            if (layout.bitCount == 16) {
                Put16(bytes, v);
            } else if (layout.bitCount == 24) {
                bytes.push_back(std::uint8_t(v));
                bytes.push_back(std::uint8_t(v >> 8));
                bytes.push_back(std::uint8_t(v >> 16));
            } else {
                Put32(bytes, v);
            }
        }
    }
    while (bytes.size() % 4) bytes.push_back(0xEE);  // filler that must never be read as pixels
    return bytes;
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp(const BmpLayout& layout, const std::vector<std::uint32_t>& values) {
    std::vector<std::uint8_t> out;
    if (layout.fileHeader) {
        out = {'B', 'M'};
        Put32(out, 0);  // file size, filled in below
        Put32(out, 0);
        Put32(out, 0);  // pixel data offset, filled in below
    }
    const int rows = std::abs(layout.height);
    if (layout.coreHeader) {
        Put32(out, 12);
        Put16(out, std::uint32_t(layout.width));
        Put16(out, std::uint32_t(layout.height));
        Put16(out, 1);
        Put16(out, std::uint32_t(layout.bitCount));
        for (const Rgb& c : layout.palette) out.insert(out.end(), {c[2], c[1], c[0]});
    } else {
        Put32(out, 40);
        Put32(out, std::uint32_t(layout.width));
        Put32(out, std::uint32_t(layout.height));
        Put16(out, 1);
        Put16(out, std::uint32_t(layout.bitCount));
        Put32(out, layout.compression);
        Put32(out, 0);  // image size: may be 0 for uncompressed data
        Put32(out, 2835);
        Put32(out, 2835);
        Put32(out, layout.clrUsed);
        Put32(out, 0);
        for (std::uint32_t mask : layout.masks) Put32(out, mask);
        for (const Rgb& c : layout.palette) out.insert(out.end(), {c[2], c[1], c[0], 0});
    }
    if (layout.fileHeader) out.insert(out.end(), layout.gap, 0xAB);
    const std::size_t dataStart = out.size();
    if (!layout.compressed.empty()) {
        out.insert(out.end(), layout.compressed.begin(), layout.compressed.end());
    } else {
        for (int stored = 0; stored < rows; ++stored) {
            const int pictureRow = layout.height < 0 ? stored : rows - 1 - stored;
            const std::vector<std::uint8_t> row = PackRow(layout, values.data() + std::size_t(pictureRow) * layout.width);
            out.insert(out.end(), row.begin(), row.end());
        }
    }
    if (layout.fileHeader) {
        Set32(out, 2, std::uint32_t(out.size()));
        Set32(out, 10, std::uint32_t(dataStart));
    }
    return out;
}

std::vector<std::uint8_t> ExpectedRgb(const BmpLayout& layout, const std::vector<std::uint32_t>& values) {
    std::vector<std::uint8_t> rgb;
    const int rows = std::abs(layout.height);
    for (int row = rows - 1; row >= 0; --row) {
        for (int x = 0; x < layout.width; ++x) {
            const std::uint32_t v = values[std::size_t(row) * layout.width + x];
            if (layout.bitCount <= 8) {
                const Rgb c = v < layout.palette.size() ? layout.palette[v] : Rgb{0, 0, 0};
                rgb.insert(rgb.end(), c.begin(), c.end());
            } else {
                rgb.insert(rgb.end(), {std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)});
            }
        }
    }
    return rgb;
}

std::vector<std::uint32_t> PatternValues(int count, std::uint32_t limit, std::uint32_t seed) {
    std::vector<std::uint32_t> values(static_cast<std::size_t>(count));
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto& v : values) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        v = state % limit;
    }
    return values;
}
