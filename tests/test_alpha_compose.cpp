// test_alpha_compose.cpp -- RGBA images from colour pictures and grey masks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "image/alpha_compose.h"
#include "image/bmp_decoder.h"
#include "tests/bmp_builder.h"
#include "tests/fake_platform.h"

namespace {

class AlphaCompose : public ::testing::Test {
protected:
    void SetUp() override {
        ResetFakePlatform();
        dir = std::filesystem::temp_directory_path() /
              ("olvo-compose-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string Path(const std::string& name) const { return (dir / name).string(); }

    // A 24-bit picture of the given 0xRRGGBB values, picture order.
    std::string WritePicture(const std::string& name, int width, int height, const std::vector<std::uint32_t>& values) {
        BmpLayout layout;
        layout.width = width;
        layout.height = height;
        const auto bytes = EncodeBmp(layout, values);
        std::ofstream(Path(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return Path(name);
    }

    std::filesystem::path dir;
};

TEST_F(AlphaCompose, TakesAlphaFromTheMasksRedChannelOnly) {
    // Bottom row first in the result: picture rows are given top first.
    const std::string colour = WritePicture("c.bmp", 2, 2, {0x112233, 0x445566, 0x778899, 0xAABBCC});
    const std::string mask = WritePicture("m.bmp", 2, 2, {0x00FFFF, 0xFF0000, 0x80FF00, 0x01FFFF});
    ImageRecord* image = LoadBitmapWithAlpha(colour.c_str(), mask.c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 2);
    EXPECT_EQ(image->height, 2);
    const std::vector<std::uint8_t> expected = {0x77, 0x88, 0x99, 0x80, 0xAA, 0xBB, 0xCC, 0x01,
                                                0x11, 0x22, 0x33, 0x00, 0x44, 0x55, 0x66, 0xFF};
    EXPECT_EQ(std::vector<std::uint8_t>(image->pixels, image->pixels + 16), expected);
    FreeImageRecord(image);
    EXPECT_TRUE(Fake.boxes.empty());
}

TEST_F(AlphaCompose, TintsEveryPixelWithTheConstantColour) {
    const std::string mask = WritePicture("m.bmp", 3, 1, {0x000000, 0x7F0000, 0xFF0000});
    ImageRecord* image = LoadTintedAlpha(255, 255, 255, mask.c_str());
    ASSERT_NE(image, nullptr);
    const std::vector<std::uint8_t> expected = {255, 255, 255, 0, 255, 255, 255, 0x7F, 255, 255, 255, 255};
    EXPECT_EQ(std::vector<std::uint8_t>(image->pixels, image->pixels + 12), expected);
    FreeImageRecord(image);
}

TEST_F(AlphaCompose, ReportsTheMaskBeforeTheColourPicture) {
    EXPECT_EQ(LoadBitmapWithAlpha(Path("colour.bmp").c_str(), Path("mask.bmp").c_str()), nullptr);
    ASSERT_EQ(Fake.boxes.size(), 1u);
    EXPECT_EQ(Fake.boxes[0].text, "Failed to open DIB file " + Path("mask.bmp") + ".\n");

    // With the mask present the missing colour picture is reported, and the mask's buffers are released
    // (the sanitizer build checks that).
    Fake.boxes.clear();
    WritePicture("mask.bmp", 1, 1, {0xFF0000});
    EXPECT_EQ(LoadBitmapWithAlpha(Path("colour.bmp").c_str(), Path("mask.bmp").c_str()), nullptr);
    ASSERT_EQ(Fake.boxes.size(), 1u);
    EXPECT_EQ(Fake.boxes[0].text, "Failed to open DIB file " + Path("colour.bmp") + ".\n");
}

TEST_F(AlphaCompose, RefusesAMaskOfAnotherSizeNamingBothFiles) {
    for (auto [w, h] : {std::pair{4, 2}, std::pair{2, 4}, std::pair{1, 1}}) {
        Fake.boxes.clear();
        const std::string colour = WritePicture("c.bmp", 2, 2, std::vector<std::uint32_t>(4, 0x123456));
        const std::string mask = WritePicture("m.bmp", w, h, std::vector<std::uint32_t>(std::size_t(w * h), 0xFF0000));
        EXPECT_EQ(LoadBitmapWithAlpha(colour.c_str(), mask.c_str()), nullptr);
        ASSERT_EQ(Fake.boxes.size(), 1u);
        EXPECT_EQ(Fake.boxes[0].caption, "Error");
        EXPECT_NE(Fake.boxes[0].text.find(colour), std::string::npos);
        EXPECT_NE(Fake.boxes[0].text.find(mask), std::string::npos);
    }
}

TEST_F(AlphaCompose, SkipsAMissingPlainPictureSilently) {
    EXPECT_EQ(LoadBitmapChecked(Path("missing.bmp").c_str()), nullptr);
    EXPECT_EQ(LoadBitmapChecked(nullptr), nullptr);
    EXPECT_TRUE(Fake.boxes.empty());

    // A file that opens but can't be decoded does reach the decoder's message.
    std::ofstream(Path("bad.bmp")) << "not a picture at all";
    EXPECT_EQ(LoadBitmapChecked(Path("bad.bmp").c_str()), nullptr);
    ASSERT_EQ(Fake.boxes.size(), 1u);
    EXPECT_EQ(Fake.boxes[0].text, UnknownFormatText);
}

}  // namespace
