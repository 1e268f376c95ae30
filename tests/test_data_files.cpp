// test_data_files.cpp -- the pictures in data/ decode and make textures the scene can use.
#include <gtest/gtest.h>

#include <string>

#include "image/bmp_decoder.h"
#include "tests/fake_platform.h"

namespace {

bool IsPowerOfTwo(int n) {
    return n > 0 && (n & (n - 1)) == 0;
}

struct Picture {
    ImageRecord* image = nullptr;
    explicit Picture(const std::string& name) : image(DecodeBitmapFile(("data/" + name).c_str())) {}
    ~Picture() { FreeImageRecord(image); }
    const std::uint8_t* At(int x, int y) const { return image->pixels + (std::size_t(y) * image->width + x) * 3; }
};

// Texture sides a power of two no larger than 512, so even a plain OpenGL 1.1 takes them; each colour picture
// the size of its mask; masks grey, and transparent all round the border, which a clamped texture repeats.
TEST(DataFiles, MakeUsableTextures) {
    ResetFakePlatform();
    const std::pair<const char*, const char*> textures[] = {
        {"starfield.bmp", nullptr},
        {"test.bmp", nullptr},
        {"ship.bmp", "ship_alpha.bmp"},
        {"merolan.bmp", "merolan_alpha.bmp"},
        {nullptr, "light_alpha.bmp"},
    };
    for (const auto& [colourName, maskName] : textures) {
        const std::string name = colourName ? colourName : maskName;
        Picture colour(colourName ? colourName : maskName);
        ASSERT_NE(colour.image, nullptr) << name;
        EXPECT_TRUE(IsPowerOfTwo(colour.image->width) && colour.image->width <= 512) << name;
        EXPECT_TRUE(IsPowerOfTwo(colour.image->height) && colour.image->height <= 512) << name;
        if (!maskName) continue;
        Picture mask(maskName);
        ASSERT_NE(mask.image, nullptr) << maskName;
        EXPECT_EQ(mask.image->width, colour.image->width) << maskName;
        EXPECT_EQ(mask.image->height, colour.image->height) << maskName;
        int notGrey = 0, borderOpaque = 0;
        for (int y = 0; y < mask.image->height; ++y) {
            for (int x = 0; x < mask.image->width; ++x) {
                const std::uint8_t* p = mask.At(x, y);
                notGrey += p[0] != p[1] || p[1] != p[2];
                const bool border = x == 0 || y == 0 || x == mask.image->width - 1 || y == mask.image->height - 1;
                borderOpaque += border && p[0] != 0;
            }
        }
        EXPECT_EQ(notGrey, 0) << maskName;
        EXPECT_EQ(borderOpaque, 0) << maskName;
    }
    EXPECT_TRUE(Fake.boxes.empty());
}

}  // namespace
