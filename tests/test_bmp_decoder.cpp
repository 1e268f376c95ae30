// test_bmp_decoder.cpp -- the BMP decoder over bytes in memory and over files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "image/bmp_decoder.h"
#include "tests/bmp_builder.h"
#include "tests/fake_platform.h"

namespace {

struct Decoded {
    ImageRecord* image = nullptr;
    const char* failure = nullptr;
    ~Decoded() { FreeImageRecord(image); }
    std::vector<std::uint8_t> Pixels() const {
        return {image->pixels, image->pixels + std::size_t(image->width) * image->height * 3};
    }
};

void Decode(const std::vector<std::uint8_t>& bytes, Decoded* out) {
    out->image = DecodeBitmapBytes(bytes.data(), bytes.size(), &out->failure);
}

std::vector<Rgb> GreyRamp(int entries) {
    std::vector<Rgb> palette;
    for (int i = 0; i < entries; ++i) {
        palette.push_back(Rgb{std::uint8_t(i * 37 + 5), std::uint8_t(255 - i * 11), std::uint8_t(i * 3 + 100)});
    }
    return palette;
}

void Put32At(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = std::uint8_t(value >> (8 * i));
}

// Every required layout, with and without the file header, core and info headers, widths 1 to 9 (so every
// amount of row filler), checked against the picture that was written.
struct LayoutCase {
    int bitCount;
    bool coreHeader;
    bool fileHeader;
    bool topDown;
};

class BmpDecoderLayouts : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(BmpDecoderLayouts, DecodesEveryWidthBottomRowFirst) {
    const LayoutCase c = GetParam();
    for (int width = 1; width <= 9; ++width) {
        BmpLayout layout;
        layout.width = width;
        layout.height = c.topDown ? -3 : 3;
        layout.bitCount = c.bitCount;
        layout.coreHeader = c.coreHeader;
        layout.fileHeader = c.fileHeader;
        if (c.bitCount <= 8) layout.palette = GreyRamp(1 << c.bitCount);
        const std::uint32_t limit = c.bitCount <= 8 ? 1u << c.bitCount : 1u << 24;
        const auto values = PatternValues(width * 3, limit, std::uint32_t(width * 100 + c.bitCount));
        Decoded d;
        Decode(EncodeBmp(layout, values), &d);
        ASSERT_NE(d.image, nullptr) << "width " << width << ": " << d.failure;
        EXPECT_EQ(d.image->width, width);
        EXPECT_EQ(d.image->height, 3);
        EXPECT_EQ(d.Pixels(), ExpectedRgb(layout, values)) << "width " << width;
    }
}

// Every bit depth with and without the file header, with either header; top-down rows need an info header.
std::vector<LayoutCase> AllLayoutCases() {
    std::vector<LayoutCase> cases;
    for (int bits : {1, 4, 8, 24})
        for (bool core : {false, true})
            for (bool fileHeader : {true, false})
                for (bool topDown : {false, true})
                    if (!(core && topDown)) cases.push_back({bits, core, fileHeader, topDown});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(
    AllHeaders, BmpDecoderLayouts, ::testing::ValuesIn(AllLayoutCases()),
    [](const auto& info) {
        const LayoutCase& c = info.param;
        return std::to_string(c.bitCount) + "bit" + (c.coreHeader ? "Core" : "Info") +
               (c.fileHeader ? "WithFileHeader" : "Bare") + (c.topDown ? "TopDown" : "");
    });

TEST(BmpDecoder, PutsTheBottomLeftPixelFirst) {
    BmpLayout layout;
    layout.width = 2;
    layout.height = 2;
    // Picture order: top-left, top-right, bottom-left, bottom-right.
    const std::vector<std::uint32_t> values = {0x102030, 0x405060, 0x708090, 0xA0B0C0};
    Decoded d;
    Decode(EncodeBmp(layout, values), &d);
    ASSERT_NE(d.image, nullptr);
    const std::vector<std::uint8_t> expected = {0x70, 0x80, 0x90, 0xA0, 0xB0, 0xC0, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60};
    EXPECT_EQ(d.Pixels(), expected);
}

TEST(BmpDecoder, FindsThePixelDataAfterTheColourTable) {
    // An 8-bit info header with a 16-entry table and no file header: pixels start 40 + 64 bytes in.
    BmpLayout small;
    small.fileHeader = false;
    small.bitCount = 8;
    small.width = 5;
    small.height = 2;
    small.palette = GreyRamp(16);
    small.clrUsed = 16;
    const auto values = PatternValues(10, 16, 7);
    const auto bytes = EncodeBmp(small, values);
    ASSERT_EQ(bytes.size(), 40u + 64u + 2u * 8u);
    Decoded d;
    Decode(bytes, &d);
    ASSERT_NE(d.image, nullptr) << d.failure;
    EXPECT_EQ(d.Pixels(), ExpectedRgb(small, values));

    // A 24-bit file with a 256-entry table that nobody uses: the table is passed over.
    BmpLayout passedOver;
    passedOver.fileHeader = false;
    passedOver.width = 3;
    passedOver.height = 2;
    passedOver.palette = GreyRamp(256);
    passedOver.clrUsed = 256;
    const auto rgb = PatternValues(6, 1u << 24, 9);
    Decoded e;
    Decode(EncodeBmp(passedOver, rgb), &e);
    ASSERT_NE(e.image, nullptr) << e.failure;
    EXPECT_EQ(e.Pixels(), ExpectedRgb(passedOver, rgb));
}

TEST(BmpDecoder, TakesThePixelDataAtTheFileHeadersOffset) {
    for (bool core : {false, true}) {
        BmpLayout layout;
        layout.bitCount = 8;
        layout.coreHeader = core;
        layout.width = 3;
        layout.height = 3;
        layout.palette = GreyRamp(256);
        layout.gap = 37;
        const auto values = PatternValues(9, 256, 3);
        Decoded d;
        Decode(EncodeBmp(layout, values), &d);
        ASSERT_NE(d.image, nullptr) << d.failure;
        EXPECT_EQ(d.Pixels(), ExpectedRgb(layout, values)) << (core ? "core" : "info");
    }
}

TEST(BmpDecoder, GivesBlackForAnIndexPastTheColourTable) {
    BmpLayout layout;
    layout.bitCount = 8;
    layout.width = 4;
    layout.height = 1;
    layout.palette = GreyRamp(3);
    layout.clrUsed = 3;
    const std::vector<std::uint32_t> values = {0, 2, 3, 255};
    Decoded d;
    Decode(EncodeBmp(layout, values), &d);
    ASSERT_NE(d.image, nullptr);
    const auto p = layout.palette;
    const std::vector<std::uint8_t> expected = {p[0][0], p[0][1], p[0][2], p[2][0], p[2][1], p[2][2], 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(d.Pixels(), expected);
}

TEST(BmpDecoder, WidensSixteenAndThirtyTwoBitPixels) {
    struct Case {
        int bitCount;
        std::vector<std::uint32_t> masks;  // none: the 5-5-5 or 8-8-8 default
        std::vector<std::uint32_t> values;
        std::vector<std::uint8_t> expected;
    };
    const std::vector<Case> cases = {
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
    for (const Case& c : cases) {
        BmpLayout layout;
        layout.bitCount = c.bitCount;
        layout.width = int(c.values.size());
        layout.height = 1;
        layout.masks = c.masks;
        layout.compression = c.masks.empty() ? 0 : 3;
        Decoded d;
        Decode(EncodeBmp(layout, c.values), &d);
        ASSERT_NE(d.image, nullptr) << d.failure;
        EXPECT_EQ(d.Pixels(), c.expected) << c.bitCount << " bits, masks " << c.masks.size();
    }
}

// Run-length data, written by hand: runs, absolute runs of odd length (padded), deltas, end of line and an
// early end of bitmap, which leaves the rest black.
TEST(BmpDecoder, DecodesRunLengthData) {
    BmpLayout rle8;
    rle8.bitCount = 8;
    rle8.compression = 1;
    rle8.width = 4;
    rle8.height = 3;
    rle8.palette = GreyRamp(4);
    rle8.clrUsed = 4;
    rle8.compressed = {
        3, 1, 0, 0,           // bottom row: 1 1 1, end of line
        0, 3, 2, 3, 1, 0,     // middle row: absolute 2 3 1 (+ one pad byte)
        1, 2, 0, 0,           // .. then 2, end of line
        0, 2, 1, 0,           // top row: delta right 1
        1, 3, 0, 1,           // .. 3, end of bitmap
    };
    Decoded d;
    Decode(EncodeBmp(rle8, {}), &d);
    ASSERT_NE(d.image, nullptr) << d.failure;
    std::vector<std::uint8_t> expected;
    const std::vector<int> indices = {1, 1, 1, -1, 2, 3, 1, 2, -1, 3, -1, -1};
    for (int i : indices) {
        const Rgb c = i < 0 ? Rgb{0, 0, 0} : rle8.palette[std::size_t(i)];
        expected.insert(expected.end(), c.begin(), c.end());
    }
    EXPECT_EQ(d.Pixels(), expected);

    BmpLayout rle4 = rle8;
    rle4.bitCount = 4;
    rle4.compression = 2;
    rle4.width = 6;
    rle4.height = 1;
    rle4.compressed = {
        3, 0x12,              // 1 2 1
        0, 3, 0x30, 0x20,     // absolute 3 0 2 (2 bytes, already even): the row is full
        0, 1,
    };
    Decoded e;
    Decode(EncodeBmp(rle4, {}), &e);
    ASSERT_NE(e.image, nullptr) << e.failure;
    expected.clear();
    for (int i : {1, 2, 1, 3, 0, 2}) expected.insert(expected.end(), rle4.palette[std::size_t(i)].begin(), rle4.palette[std::size_t(i)].end());
    EXPECT_EQ(e.Pixels(), expected);
}

TEST(BmpDecoder, EndsRunLengthDataAtADeltaPastTheTopRow) {
    BmpLayout layout;
    layout.bitCount = 8;
    layout.compression = 1;
    layout.width = 2;
    layout.height = 2;
    layout.palette = GreyRamp(2);
    layout.clrUsed = 2;
    layout.compressed = {2, 1, 0, 2, 0, 7, 9};  // a full bottom row, a delta off the top, then nothing readable
    Decoded d;
    Decode(EncodeBmp(layout, {}), &d);
    ASSERT_NE(d.image, nullptr) << d.failure;
    const Rgb c = layout.palette[1];
    EXPECT_EQ(d.Pixels(), (std::vector<std::uint8_t>{c[0], c[1], c[2], c[0], c[1], c[2], 0, 0, 0, 0, 0, 0}));
}

// Files that must be refused, each with its one message.
struct Refusal {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* message;
};

std::vector<Refusal> Refusals() {
    BmpLayout base;
    base.width = 4;
    base.height = 4;
    base.bitCount = 8;
    base.palette = GreyRamp(256);
    const auto values = PatternValues(16, 256, 1);
    const auto good = EncodeBmp(base, values);

    std::vector<Refusal> r;
    auto with = [&](const char* name, auto change, const char* message) {
        auto bytes = good;
        change(bytes);
        r.push_back({name, bytes, message});
    };
    for (std::uint32_t size : {0u, 16u, 52u, 56u, 64u, 108u, 124u, 0xFFFFFFFFu}) {
        with("header size", [&](auto& b) { Put32At(b, 14, size); }, UnknownFormatText);
    }
    r.push_back({"no header size", {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 40, 0}, UnknownFormatText});
    r.push_back({"one byte", {0x28}, UnknownFormatText});
    with("truncated info header", [](auto& b) { b.resize(14 + 30); }, ConversionErrorText);
    with("table past the end", [](auto& b) { b.resize(14 + 40 + 500); }, ConversionErrorText);
    with("pixels past the end", [](auto& b) { b.resize(b.size() - 1); }, ConversionErrorText);
    with("pixel offset past the end", [](auto& b) { Put32At(b, 10, 0x7FFFFFF0); }, ConversionErrorText);
    with("pixel offset at the end", [](auto& b) { Put32At(b, 10, std::uint32_t(b.size())); }, ConversionErrorText);
    with("used colours above 65535", [](auto& b) { Put32At(b, 14 + 32, 0x10010); }, ConversionErrorText);
    with("zero width", [](auto& b) { Put32At(b, 18, 0); }, ConversionErrorText);
    with("negative width", [](auto& b) { Put32At(b, 18, 0xFFFFFFFC); }, ConversionErrorText);
    with("zero height", [](auto& b) { Put32At(b, 22, 0); }, ConversionErrorText);
    with("most negative height", [](auto& b) { Put32At(b, 22, 0x80000000); }, ConversionErrorText);
    with("2 bits", [](auto& b) { b[14 + 14] = 2; }, ConversionErrorText);
    with("30000 bits", [](auto& b) { b[14 + 14] = 0x30, b[14 + 15] = 0x75; }, ConversionErrorText);
    with("jpeg data", [](auto& b) { Put32At(b, 14 + 16, 4); }, ConversionErrorText);
    with("png data", [](auto& b) { Put32At(b, 14 + 16, 5); }, ConversionErrorText);
    with("alpha bit fields", [](auto& b) { Put32At(b, 14 + 16, 6); }, ConversionErrorText);
    with("8-bit run-length as 4-bit", [](auto& b) { Put32At(b, 14 + 16, 2); }, ConversionErrorText);
    with("bit fields on 8 bits", [](auto& b) { Put32At(b, 14 + 16, 3); }, ConversionErrorText);
    with("run-length top-down", [](auto& b) { Put32At(b, 14 + 16, 1), Put32At(b, 22, 0xFFFFFFFC); }, ConversionErrorText);
    // 8192 x 8193 pixels: one row more than the largest picture accepted, with all its data present.
    {
        BmpLayout big;
        big.fileHeader = false;
        big.width = 8192;
        big.height = 8193;
        big.bitCount = 1;
        big.palette = GreyRamp(2);
        big.compressed.assign(std::size_t(8192 / 8) * 8193, 0);  // all the rows, stored as they are
        r.push_back({"larger than 8192 x 8192", EncodeBmp(big, {}), OutOfMemoryText});
    }
    {
        BmpLayout fields;
        fields.bitCount = 16;
        fields.compression = 3;
        fields.masks = {0xF00F, 0x0F00, 0x00F0};
        r.push_back({"mask with a hole", EncodeBmp(fields, {0}), ConversionErrorText});
        fields.masks = {0x1F0000, 0x07E0, 0x001F};
        r.push_back({"mask wider than the pixel", EncodeBmp(fields, {0}), ConversionErrorText});
        fields.bitCount = 32;
        fields.masks = {0x3FF00000, 0x000FFC00, 0x000003FF};
        r.push_back({"channels wider than 8 bits", EncodeBmp(fields, {0}), ConversionErrorText});
        fields.bitCount = 16;
        fields.masks = {0xF800};
        r.push_back({"masks cut short", EncodeBmp(fields, {0}), ConversionErrorText});
    }
    {
        BmpLayout rle;
        rle.bitCount = 8;
        rle.compression = 1;
        rle.width = 4;
        rle.height = 2;
        rle.palette = GreyRamp(2);
        rle.clrUsed = 2;
        rle.compressed = {4, 1, 0, 0, 4};
        r.push_back({"run-length stream cut short", EncodeBmp(rle, {}), ConversionErrorText});
        rle.compressed = {0, 6, 1, 1};
        r.push_back({"absolute run past the end", EncodeBmp(rle, {}), ConversionErrorText});
        rle.compressed = {0, 2, 1};
        r.push_back({"delta past the end", EncodeBmp(rle, {}), ConversionErrorText});
        rle.compressed = {5, 1, 0, 1};
        r.push_back({"run past the right edge", EncodeBmp(rle, {}), ConversionErrorText});
        rle.compressed = {0, 2, 3, 0, 0, 3, 1, 1, 1, 0, 0, 1};
        r.push_back({"absolute run past the right edge", EncodeBmp(rle, {}), ConversionErrorText});
    }
    return r;
}

TEST(BmpDecoder, RefusesBadFilesWithTheirMessage) {
    for (const Refusal& refusal : Refusals()) {
        Decoded d;
        Decode(refusal.bytes, &d);
        EXPECT_EQ(d.image, nullptr) << refusal.name;
        ASSERT_NE(d.failure, nullptr) << refusal.name;
        EXPECT_STREQ(d.failure, refusal.message) << refusal.name;
    }
}

// Every prefix of good files, in each layout, is either refused or decoded, never read past.
TEST(BmpDecoder, SurvivesEveryTruncation) {
    std::vector<std::vector<std::uint8_t>> files;
    for (int bits : {1, 4, 8, 24}) {
        for (bool core : {false, true}) {
            BmpLayout layout;
            layout.width = 5;
            layout.height = 3;
            layout.bitCount = bits;
            layout.coreHeader = core;
            if (bits <= 8) layout.palette = GreyRamp(1 << bits);
            files.push_back(EncodeBmp(layout, PatternValues(15, bits <= 8 ? 1u << bits : 1u << 24, 5)));
        }
    }
    for (const auto& file : files) {
        for (std::size_t length = 0; length < file.size(); ++length) {
            // A copy of exactly `length` bytes, so the sanitizers see any read past it.
            std::vector<std::uint8_t> prefix(file.begin(), file.begin() + std::ptrdiff_t(length));
            Decoded d;
            d.image = DecodeBitmapBytes(prefix.data(), prefix.size(), &d.failure);
            if (d.image) {
                EXPECT_GE(length + 4, file.size()) << "only the last row's filler may be missing";
            } else {
                EXPECT_NE(d.failure, nullptr);
            }
        }
    }
}

TEST(CountPaletteColors, FollowsTheHeaderKindBitCountAndUsedColours) {
    struct Case {
        std::uint32_t size;
        std::uint16_t bits;
        std::uint32_t used;
        std::uint16_t expected;
    };
    const Case cases[] = {
        {12, 1, 0, 2},     {12, 4, 0, 16},    {12, 8, 0, 256},   {12, 24, 0, 0},     {12, 8, 5, 256},
        {40, 1, 0, 2},     {40, 4, 0, 16},    {40, 8, 0, 256},   {40, 16, 0, 0},     {40, 24, 0, 0},
        {40, 32, 0, 0},    {40, 8, 16, 16},   {40, 24, 256, 256}, {40, 8, 0x10005, 5}, {108, 8, 0, 256},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> header(40, 0);
        Put32At(header, 0, c.size);
        const std::size_t bitsAt = c.size == 12 ? 10 : 14;
        header[bitsAt] = std::uint8_t(c.bits);
        header[bitsAt + 1] = std::uint8_t(c.bits >> 8);
        if (c.size != 12) Put32At(header, 32, c.used);
        EXPECT_EQ(CountPaletteColors(header.data()), c.expected) << c.size << "/" << c.bits << "/" << c.used;
    }
}

// The file path: mapping, the one box per failure, its caption, button and owner.
class DecodeBitmapFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetFakePlatform();
        Fake.focus = reinterpret_cast<HWND>(std::uintptr_t{0x77});
        dir = std::filesystem::temp_directory_path() /
              ("olvo-decoder-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }
    std::filesystem::path dir;
};

TEST_F(DecodeBitmapFileTest, DecodesAFileWithoutAnyBox) {
    BmpLayout layout;
    layout.width = 3;
    layout.height = 2;
    const auto values = PatternValues(6, 1u << 24, 2);
    ImageRecord* image = DecodeBitmapFile(Write("good.bmp", EncodeBmp(layout, values)).c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(std::vector<std::uint8_t>(image->pixels, image->pixels + 18), ExpectedRgb(layout, values));
    FreeImageRecord(image);
    EXPECT_TRUE(Fake.boxes.empty());
}

TEST_F(DecodeBitmapFileTest, ShowsOneOwnedBoxPerFailure) {
    const std::string missing = (dir / "missing.bmp").string();
    const std::string empty = Write("empty.bmp", {});
    const std::string unknown = Write("v5.bmp", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 124, 0, 0, 0});
    const std::string longPath = Write(std::string(240, 'x') + ".bmp", {});
    struct Case {
        std::string path;
        std::string text;
    };
    const Case cases[] = {
        {missing, "Failed to open DIB file " + missing + ".\n"},
        {empty, "Failed to open DIB file " + empty + ".\n"},
        {longPath, "Failed to open DIB file " + longPath + ".\n"},
        {dir.string(), "Failed to open DIB file " + dir.string() + ".\n"},
        {unknown, UnknownFormatText},
    };
    for (const Case& c : cases) {
        Fake.boxes.clear();
        EXPECT_EQ(DecodeBitmapFile(c.path.c_str()), nullptr);
        ASSERT_EQ(Fake.boxes.size(), 1u) << c.path;
        EXPECT_EQ(Fake.boxes[0].text, c.text);
        EXPECT_EQ(Fake.boxes[0].caption, "Error");
        EXPECT_EQ(Fake.boxes[0].style, MB_OK);
        EXPECT_EQ(Fake.boxes[0].owner, Fake.focus);
    }
}

}  // namespace
