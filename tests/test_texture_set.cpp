// test_texture_set.cpp -- loading the five textures into a context, with pictures missing, and again.
#include <gtest/gtest.h>

#include <cstdlib>

#include "image/texture_set.h"
#include "render/scene.h"
#include "tests/fake_platform.h"
#include "tests/scene_fixture.h"
#include "tools/offscreen_gl.h"

namespace {

std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const FakeBox& box : Fake.boxes) texts.push_back(box.text);
    return texts;
}

GLint TextureLevelWidth(GLuint texture) {
    glBindTexture(GL_TEXTURE_2D, texture);
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    return width;
}

TEST_F(SceneTest, LoadsEveryTextureWithItsParameters) {
    WriteScene(Rgb{1, 2, 3}, Rgba{4, 5, 6, 7}, 8, Rgba{9, 10, 11, 12});
    ASSERT_TRUE(LoadTextureSet());
    EXPECT_TRUE(Fake.boxes.empty());
    const GLuint slots[] = {StarfieldTexture, TestTexture, ShipTexture, MeshTexture, LightTexture};
    const GLint components[] = {3, 3, 4, 4, 4};
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(glIsTexture(slots[i])) << i;
        EXPECT_EQ(TextureLevelWidth(slots[i]), PictureSide);
        GLint value = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &value);
        EXPECT_EQ(value, components[i]) << i;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &value);
        EXPECT_EQ(value, 0) << "no mipmaps";
        for (auto [name, want] : {std::pair{GL_TEXTURE_MAG_FILTER, GL_LINEAR}, std::pair{GL_TEXTURE_MIN_FILTER, GL_LINEAR},
                                  std::pair{GL_TEXTURE_WRAP_S, GL_CLAMP}, std::pair{GL_TEXTURE_WRAP_T, GL_CLAMP}}) {
            glGetTexParameteriv(GL_TEXTURE_2D, GLenum(name), &value);
            EXPECT_EQ(value, want) << i;
        }
    }
    // The light glow is white everywhere; only its alpha comes from the mask.
    std::vector<std::uint8_t> texels(PictureSide * PictureSide * 4);
    glBindTexture(GL_TEXTURE_2D, LightTexture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ((std::vector<std::uint8_t>(texels.begin(), texels.begin() + 4)), (std::vector<std::uint8_t>{255, 255, 255, 8}));
}

TEST_F(SceneTest, LoadsWhatItCanAndReportsEachMissingFileInOrder) {
    WriteSolid("test.bmp", Rgb{1, 2, 3});
    ASSERT_TRUE(LoadTextureSet());
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Failed to open DIB file data/ship_alpha.bmp.\n",
                                                    "Failed to open DIB file data/merolan_alpha.bmp.\n",
                                                    "Failed to open DIB file data/light_alpha.bmp.\n"}));
    EXPECT_NE(TestTexture, 0u);
    EXPECT_EQ(StarfieldTexture, 0u);
    EXPECT_EQ(ShipTexture, 0u);
    EXPECT_EQ(MeshTexture, 0u);
    EXPECT_EQ(LightTexture, 0u);

    // With nothing at all the set fails after the same three messages.
    Fake.boxes.clear();
    std::filesystem::remove("data/test.bmp");
    TestTexture = 0;
    EXPECT_FALSE(LoadTextureSet());
    EXPECT_EQ(Fake.boxes.size(), 3u);
    EXPECT_EQ(TestTexture, 0u);
}

TEST_F(SceneTest, GeneratesNamesAnewInANewContextAndKeepsFailedSlots) {
    WriteScene(Rgb{1, 2, 3}, Rgba{4, 5, 6, 7}, 8, Rgba{9, 10, 11, 12});
    ASSERT_TRUE(LoadTextureSet());
    const GLuint oldShip = ShipTexture;
    ASSERT_TRUE(ReplaceOffscreenContext());
    EXPECT_FALSE(glIsTexture(StarfieldTexture)) << "textures die with their context";
    std::filesystem::remove("data/ship.bmp");
    ASSERT_TRUE(LoadTextureSet());
    EXPECT_EQ(ShipTexture, oldShip);
    for (GLuint slot : {StarfieldTexture, TestTexture, MeshTexture, LightTexture}) {
        EXPECT_TRUE(glIsTexture(slot));
        EXPECT_EQ(TextureLevelWidth(slot), PictureSide);
    }
}

// A picture whose RGB rows aren't a multiple of 4 bytes long reaches GL unskewed, and the unpack state is
// left at its default.
TEST_F(SceneTest, UploadsOddRowLengthsWithoutSkew) {
    std::uint8_t pixels[] = {10, 20, 30, 40, 50, 60, 70, 80, 90};  // 1 x 3, three distinct rows
    ImageRecord image{1, 3, pixels};
    GLuint texture = 0;
    UploadTexture(&image, &texture, 3, GL_RGB);
    std::vector<std::uint8_t> read(9);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, read.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    EXPECT_EQ(read, std::vector<std::uint8_t>(pixels, pixels + 9));
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);
}

}  // namespace
