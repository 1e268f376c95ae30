// test_data_files.cpp -- the pictures the texture table names decode and make textures the scene can use.
#include <gtest/gtest.h>

#include <memory>

#include "image/bmp_decoder.h"
#include "image/texture_set.h"

namespace {

using Picture = std::unique_ptr<ImageRecord, decltype(&FreeImageRecord)>;

// Texture sides a power of two no larger than 512, so even a plain OpenGL 1.1 takes them; each colour picture
// the size of its mask; masks grey, and transparent all round the border, which a clamped texture repeats.
TEST(DataFiles, MakeUsableTextures) {
    const auto IsTextureSide = [](int n) { return n > 0 && n <= 512 && (n & (n - 1)) == 0; };
    const auto decode = [](const char* path) { return Picture(DecodeBitmapFile(path), &FreeImageRecord); };
    for (const TextureSource& source : TextureTable) {
        const Picture colour = decode(source.colourPath ? source.colourPath : source.alphaPath);
        ASSERT_NE(colour, nullptr) << source.name;
        EXPECT_TRUE(IsTextureSide(colour->width) && IsTextureSide(colour->height)) << source.name;
        if (!source.alphaPath) continue;
        const Picture mask = decode(source.alphaPath);
        ASSERT_NE(mask, nullptr) << source.alphaPath;
        EXPECT_TRUE(mask->width == colour->width && mask->height == colour->height) << source.alphaPath;
        int notGrey = 0, borderOpaque = 0;
        for (int y = 0; y < mask->height; ++y) {
            for (int x = 0; x < mask->width; ++x) {
                const std::uint8_t* p = mask->pixels + (std::size_t(y) * mask->width + x) * 3;
                notGrey += p[0] != p[1] || p[1] != p[2];
                borderOpaque += (x == 0 || y == 0 || x == mask->width - 1 || y == mask->height - 1) && p[0] != 0;
            }
        }
        EXPECT_EQ(notGrey, 0) << source.alphaPath;
        EXPECT_EQ(borderOpaque, 0) << source.alphaPath;
    }
}

}  // namespace
