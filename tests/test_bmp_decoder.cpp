// test_bmp_decoder.cpp -- the BMP decoder over bytes in memory and over files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "image/bmp_decoder.h"
#include "tests/bmp_builder.h"
#include "tests/fake_platform.h"

namespace {

struct Decoded {
    const char* failure = nullptr;
    ImageRecord* image = nullptr;
    explicit Decoded(const std::vector<std::uint8_t>& bytes)
        : image(DecodeBitmapBytes(bytes.data(), bytes.size(), &failure)) {}
    ~Decoded() { FreeImageRecord(image); }
    std::vector<std::uint8_t> Pixels() const {
        return {image->pixels, image->pixels + std::size_t(image->width) * image->height * 3};
    }
};

std::vector<Rgb> GreyRamp(int entries) {
    std::vector<Rgb> palette;
    for (int i = 0; i < entries; ++i) {
        palette.push_back(Rgb{std::uint8_t(i * 37 + 5), std::uint8_t(255 - i * 11), std::uint8_t(i * 3 + 100)});
    }
    return palette;
}

// A run-length picture with a 4-colour table.
BmpLayout RunLength(int bits, int width, int height, std::vector<std::uint8_t> stream) {
    return {.width = width, .height = height, .bitCount = bits, .compression = bits == 8 ? 1u : 2u,
            .palette = GreyRamp(4), .clrUsed = 4, .compressed = std::move(stream)};
}

// A picture of width x 3 with the colour table and the values it needs, in one of the variants: core header
// (1), file header (2), top-down (4), a gap before the pixel data (8), a colour table half as long as the bits
// allow, or on a 24-bit picture one nobody uses (16).
struct Plain {
    BmpLayout layout;
    std::vector<std::uint32_t> values;
    Plain(int bits, int width, int variant, std::uint32_t seed) {
        const bool shortTable = variant & 16;
        const int entries = bits <= 8 ? (1 << bits) >> (shortTable ? 1 : 0) : (shortTable ? 256 : 0);
        layout = {.width = width, .height = variant & 4 ? -3 : 3, .bitCount = bits, .fileHeader = bool(variant & 2),
                  .coreHeader = bool(variant & 1), .palette = GreyRamp(entries),
                  .clrUsed = shortTable ? std::uint32_t(entries) : 0, .gap = variant & 8 ? 37u : 0u};
        values = PatternValues(width * 3, bits <= 8 ? 1u << bits : 1u << 24, seed);
    }
};

// Every bit depth in every variant a file can have (a core header has no top-down rows and a full table; only
// a file header places the pixel data), widths 1 to 9, so every amount of row filler; checked against the
// picture that was written. Indices past a short table give black. A file that ends right after its last pixel,
// without the last row's filler, decodes to the same picture; every shorter prefix is refused, and none is read
// past (each is a copy of exactly its length, so the sanitizers see any read beyond it).
TEST(BmpDecoder, DecodesEveryPlainLayoutBottomRowFirst) {
    for (int bits : {1, 4, 8, 24}) {
        for (int variant = 0; variant < 32; ++variant) {
            if ((variant & 1 && variant & (4 | 16)) || (variant & 8 && !(variant & 2))) continue;
            for (int width = 1; width <= 9; ++width) {
                const Plain plain(bits, width, variant, std::uint32_t(width * 100 + bits));
                const auto file = EncodeBmp(plain.layout, plain.values);
                const Decoded d(file);
                SCOPED_TRACE(std::to_string(bits) + " bits, variant " + std::to_string(variant) + ", width " +
                             std::to_string(width));
                ASSERT_NE(d.image, nullptr) << d.failure;
                EXPECT_EQ(std::tuple(d.image->width, d.image->height), std::tuple(width, 3));
                EXPECT_EQ(d.Pixels(), ExpectedRgb(plain.layout, plain.values));
                const std::size_t filler = std::size_t(-(width * bits) & 31) / 8;
                for (std::size_t length = 0; length < file.size(); ++length) {
                    const Decoded cut(std::vector<std::uint8_t>(file.begin(), file.begin() + std::ptrdiff_t(length)));
                    ASSERT_EQ(cut.image != nullptr, length + filler >= file.size()) << length << " bytes";
                    EXPECT_TRUE(cut.image ? cut.Pixels() == d.Pixels() : cut.failure != nullptr) << length << " bytes";
                }
            }
        }
    }
}

TEST(BmpDecoder, WidensSixteenAndThirtyTwoBitPixels) {
    // Bits per pixel; masks (none: the 5-5-5 or 8-8-8 default); pixel values; the pixels decoded.
    const std::tuple<int, std::vector<std::uint32_t>, std::vector<std::uint32_t>, std::vector<std::uint8_t>> cases[] = {
        // 5-5-5: full scale is 255, the bits repeat downwards, the top bit is ignored.
        {16, {}, {0x7FFF, 0x0000, 0xFC00, 0x8010}, {255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 0, 132}},
        // 5-6-5 bit fields.
        {16, {0xF800, 0x07E0, 0x001F}, {0xFFFF, 0x07E0, 0x0821}, {255, 255, 255, 0, 255, 0, 8, 4, 8}},
        // 8-8-8 with the top byte ignored, and bit fields with the channels swapped about.
        {32, {}, {0xFF123456, 0x00ABCDEF}, {0x12, 0x34, 0x56, 0xAB, 0xCD, 0xEF}},
        {32, {0x000000FF, 0x0000FF00, 0x00FF0000}, {0x00123456, 0xFF000000}, {0x56, 0x34, 0x12, 0, 0, 0}},
        // 2-3-1 bits, each widened to full scale.
        {16, {0x0030, 0x000E, 0x0001}, {0x003F, 0x0012, 0x0000}, {255, 255, 255, 85, 36, 0, 0, 0, 0}},
    };
    for (const auto& [bits, masks, values, expected] : cases) {
        const Decoded d(EncodeBmp(
            {.width = int(values.size()), .bitCount = bits, .compression = masks.empty() ? 0u : 3u, .masks = masks},
            values));
        ASSERT_NE(d.image, nullptr) << d.failure;
        EXPECT_EQ(d.Pixels(), expected) << bits << " bits, masks " << masks.size();
    }
}

// Run-length streams written by hand: runs, absolute runs of odd length (padded), deltas, ends of line and an
// early end of bitmap; what the stream skips is black, and a delta past the top row ends the picture.
TEST(BmpDecoder, DecodesRunLengthData) {
    // Picture values, top row first; 9, past the colour table, is black.
    const std::pair<BmpLayout, std::vector<std::uint32_t>> cases[] = {
        {RunLength(8, 4, 3, {3, 1, 0, 0,           // bottom row: 1 1 1, end of line
                             0, 3, 2, 3, 1, 0,     // middle row: absolute 2 3 1 (+ one pad byte)
                             1, 2, 0, 0,           // .. then 2, end of line
                             0, 2, 1, 0,           // top row: delta right 1
                             1, 3, 0, 1}),         // .. 3, end of bitmap
         {9, 3, 9, 9, 2, 3, 1, 2, 1, 1, 1, 9}},
        // 1 2 1, then absolute 3 0 2 (2 bytes, already even): the row is full.
        {RunLength(4, 6, 1, {3, 0x12, 0, 3, 0x30, 0x20, 0, 1}), {1, 2, 1, 3, 0, 2}},
        // A full bottom row, a delta off the top, then nothing readable.
        {RunLength(8, 2, 2, {2, 1, 0, 2, 0, 7, 9}), {9, 9, 1, 1}},
    };
    for (const auto& [layout, values] : cases) {
        const Decoded d(EncodeBmp(layout, {}));
        ASSERT_NE(d.image, nullptr) << d.failure;
        EXPECT_EQ(d.Pixels(), ExpectedRgb(layout, values)) << layout.bitCount << " bits";
    }
}

// Files that must be refused, each with its one message: made for the case, or a good 4 x 4 file cut short or
// with one 32-bit header field set (offset in the file, value).
TEST(BmpDecoder, RefusesBadFilesWithTheirMessage) {
    const auto good = EncodeBmp({.width = 4, .height = 4, .bitCount = 8, .palette = GreyRamp(256)},
                                PatternValues(16, 256, 1));
    const auto cut = [&](std::size_t length) { return std::vector<std::uint8_t>(good.begin(), good.begin() + length); };
    std::vector<std::pair<std::vector<std::uint8_t>, const char*>> refusals = {
        {{'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 40, 0}, UnknownFormatText},  // no header size
        {{0x28}, UnknownFormatText},
        {cut(14 + 30), ConversionErrorText},         // the info header cut short
        {cut(14 + 40 + 500), ConversionErrorText},   // the colour table
        {cut(good.size() - 1), ConversionErrorText},  // the pixels
        // Run-length data stored top-down.
        {Patched(Patched(good, 30, 1), 22, 0xFFFFFFFC), ConversionErrorText},
        // 8192 x 8193 pixels: one row more than the largest picture accepted, with all its data present.
        {EncodeBmp({.width = 8192, .height = 8193, .bitCount = 1, .fileHeader = false, .palette = GreyRamp(2),
                    .compressed = std::vector<std::uint8_t>(1024 * 8193)},
                   {}),
         OutOfMemoryText},
    };
    for (std::uint32_t size : {0u, 16u, 52u, 56u, 64u, 108u, 124u, 0xFFFFFFFFu}) {
        refusals.push_back({Patched(good, 14, size), UnknownFormatText});
    }
    const std::pair<std::size_t, std::uint32_t> fields[] = {
        {10, 0x7FFFFFF0}, {10, std::uint32_t(good.size())},     // pixel data past or at the end of the file
        {18, 0}, {18, 0xFFFFFFFC}, {22, 0}, {22, 0x80000000},  // width or height 0, negative, most negative
        {28, 2}, {28, 30000},                                  // bits per pixel
        {30, 2}, {30, 3}, {30, 4}, {30, 5}, {30, 6},           // 4-bit run-length, bit fields, JPEG, PNG, alpha
        {46, 0x10010},                                         // used colours above 65535
    };
    for (const auto& [at, value] : fields) refusals.push_back({Patched(good, at, value), ConversionErrorText});
    const std::pair<int, std::vector<std::uint32_t>> badMasks[] = {
        {16, {0xF00F, 0x0F00, 0x00F0}},              // a hole in a mask
        {16, {0x1F0000, 0x07E0, 0x001F}},            // wider than the pixel
        {32, {0x3FF00000, 0x000FFC00, 0x000003FF}},  // channels wider than 8 bits
        {16, {0xF800}},                              // masks cut short
    };
    for (const auto& [bits, masks] : badMasks) {
        refusals.push_back({EncodeBmp({.bitCount = bits, .compression = 3, .masks = masks}, {0}), ConversionErrorText});
    }
    const std::vector<std::uint8_t> badStreams[] = {
        {4, 1, 0, 0, 4},                       // cut short
        {0, 6, 1, 1},                          // absolute run past the end of the file
        {0, 2, 1},                             // delta past the end of the file
        {5, 1, 0, 1},                          // run past the right edge
        {0, 2, 3, 0, 0, 3, 1, 1, 1, 0, 0, 1},  // absolute run past the right edge
    };
    for (const auto& stream : badStreams) {
        refusals.push_back({EncodeBmp(RunLength(8, 4, 2, stream), {}), ConversionErrorText});
    }
    for (std::size_t i = 0; i < refusals.size(); ++i) {
        const Decoded d(refusals[i].first);
        EXPECT_EQ(d.image, nullptr) << "refusal " << i;
        ASSERT_NE(d.failure, nullptr) << "refusal " << i;
        EXPECT_STREQ(d.failure, refusals[i].second) << "refusal " << i;
    }
}

// The file path: mapping, and the one box per failure with its text, caption, button and owner.
using DecodeBitmapFileTest = ScratchTest;

TEST_F(DecodeBitmapFileTest, DecodesSilentlyOrShowsOneOwnedBoxPerFailure) {
    Fake.focus = reinterpret_cast<HWND>(std::uintptr_t{0x77});
    // Picture order: top-left, top-right, bottom-left, bottom-right; decoded bottom-left first.
    WriteFile("good.bmp", EncodeBmp({.width = 2, .height = 2}, {0x102030, 0x405060, 0x708090, 0xA0B0C0}));
    const std::unique_ptr<ImageRecord, decltype(&FreeImageRecord)> image(DecodeBitmapFile("good.bmp"), &FreeImageRecord);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(std::vector<std::uint8_t>(image->pixels, image->pixels + 12),
              (std::vector<std::uint8_t>{0x70, 0x80, 0x90, 0xA0, 0xB0, 0xC0, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60}));
    EXPECT_TRUE(Fake.boxes.empty());

    const std::string longName = std::string(240, 'x') + ".bmp";
    WriteFile("empty.bmp", {});
    WriteFile(longName, {});
    WriteFile("v5.bmp", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 124, 0, 0, 0});
    std::filesystem::create_directory("folder");
    const std::pair<std::string, std::string> cases[] = {
        {"missing.bmp", "Failed to open DIB file missing.bmp.\n"},
        {"empty.bmp", "Failed to open DIB file empty.bmp.\n"},
        {longName, "Failed to open DIB file " + longName + ".\n"},
        {"folder", "Failed to open DIB file folder.\n"},
        {"v5.bmp", UnknownFormatText},
    };
    for (const auto& [path, text] : cases) {
        Fake.boxes.clear();
        EXPECT_EQ(DecodeBitmapFile(path.c_str()), nullptr);
        ASSERT_EQ(Fake.boxes.size(), 1u) << path;
        EXPECT_EQ(Fake.boxes[0].text, text);
        EXPECT_EQ(Fake.boxes[0].caption, "Error");
        EXPECT_EQ(Fake.boxes[0].style, MB_OK);
        EXPECT_EQ(Fake.boxes[0].owner, Fake.focus);
    }
}

}  // namespace
