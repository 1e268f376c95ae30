// test_alpha_compose.cpp -- RGBA images from colour pictures and grey masks.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "image/alpha_compose.h"
#include "image/bmp_decoder.h"
#include "tests/bmp_builder.h"
#include "tests/fake_platform.h"

namespace {

using AlphaCompose = ScratchTest;

// Writes a 24-bit picture of the given 0xRRGGBB values, picture order, and returns its path.
const char* WritePicture(const char* path, int width, int height, const std::vector<std::uint32_t>& values) {
    WriteFile(path, EncodeBmp({.width = width, .height = height}, values));
    return path;
}

TEST_F(AlphaCompose, TakesAlphaFromTheMasksRedChannelOnly) {
    const char* colour = WritePicture("c.bmp", 2, 2, {0x112233, 0x445566, 0x778899, 0xAABBCC});
    const char* mask = WritePicture("m.bmp", 2, 2, {0x00FFFF, 0xFF0000, 0x80FF00, 0x01FFFF});
    ImageRecord* image = LoadBitmapWithAlpha(colour, mask);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 2);
    EXPECT_EQ(image->height, 2);
    // Bottom row first in the result: picture rows are given top first.
    const std::vector<std::uint8_t> rgba(image->pixels, image->pixels + 16);
    EXPECT_EQ(rgba, (std::vector<std::uint8_t>{0x77, 0x88, 0x99, 0x80, 0xAA, 0xBB, 0xCC, 0x01, 0x11, 0x22, 0x33,
                                               0x00, 0x44, 0x55, 0x66, 0xFF}));
    FreeImageRecord(image);
    EXPECT_TRUE(Fake.boxes.empty());
}

// A composed picture reports a missing mask before its colour picture, and releases the decoded mask (the
// sanitizer build checks that); a plain picture that is missing is passed over silently, but one that opens
// and can't be decoded reaches the decoder's message.
TEST_F(AlphaCompose, ReportsMissingFilesMaskFirstButSkipsMissingPlainPictures) {
    EXPECT_EQ(LoadBitmapWithAlpha("colour.bmp", "mask.bmp"), nullptr);
    WritePicture("mask.bmp", 1, 1, {0xFF0000});
    EXPECT_EQ(LoadBitmapWithAlpha("colour.bmp", "mask.bmp"), nullptr);
    EXPECT_EQ(LoadBitmapChecked("missing.bmp"), nullptr);
    EXPECT_EQ(LoadBitmapChecked(nullptr), nullptr);
    std::ofstream("bad.bmp") << "not a picture at all";
    EXPECT_EQ(LoadBitmapChecked("bad.bmp"), nullptr);
    EXPECT_EQ(BoxesShown(), (std::vector<std::string>{"Error|Failed to open DIB file mask.bmp.\n",
                                                      "Error|Failed to open DIB file colour.bmp.\n",
                                                      std::string("Error|") + UnknownFormatText}));
}

TEST_F(AlphaCompose, RefusesAMaskOfAnotherSizeNamingBothFiles) {
    WritePicture("c.bmp", 2, 2, std::vector<std::uint32_t>(4, 0x123456));
    for (auto [w, h] : {std::pair{4, 2}, std::pair{2, 4}, std::pair{1, 1}}) {
        Fake.boxes.clear();
        WritePicture("m.bmp", w, h, std::vector<std::uint32_t>(std::size_t(w * h), 0xFF0000));
        EXPECT_EQ(LoadBitmapWithAlpha("c.bmp", "m.bmp"), nullptr);
        EXPECT_EQ(BoxesShown(), std::vector<std::string>{"Error|Image c.bmp and its mask m.bmp differ in size."});
    }
}

}  // namespace
