// test_texture_set.cpp -- loading the five textures into a context, with pictures missing, and again.
#include <gtest/gtest.h>

#include "image/texture_set.h"
#include "render/scene.h"
#include "tests/program_fixture.h"

namespace {

// A parameter of the bound texture, and of one of its levels.
GLint Parameter(GLenum name) {
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}

GLint LevelParameter(int level, GLenum name) {
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
    return value;
}

TEST_F(SceneTest, LoadsEveryTextureWithItsParameters) {
    WriteScene(Rgb{1, 2, 3}, Rgba{4, 5, 6, 7}, 8, Rgba{9, 10, 11, 12});
    ASSERT_TRUE(LoadTextureSet());
    EXPECT_TRUE(Fake.boxes.empty());
    const std::pair<GLuint, GLint> textures[] = {
        {StarfieldTexture, 3}, {TestTexture, 3}, {ShipTexture, 4}, {MeshTexture, 4}, {LightTexture, 4}};
    for (const auto& [texture, components] : textures) {
        ASSERT_TRUE(glIsTexture(texture)) << texture;
        glBindTexture(GL_TEXTURE_2D, texture);
        EXPECT_EQ(LevelParameter(0, GL_TEXTURE_WIDTH), PictureSide);
        EXPECT_EQ(LevelParameter(0, GL_TEXTURE_INTERNAL_FORMAT), components) << texture;
        EXPECT_EQ(LevelParameter(1, GL_TEXTURE_WIDTH), 0) << "no mipmaps";
        for (GLenum name : {GL_TEXTURE_MAG_FILTER, GL_TEXTURE_MIN_FILTER}) EXPECT_EQ(Parameter(name), GL_LINEAR) << name;
        for (GLenum name : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T}) EXPECT_EQ(Parameter(name), GL_CLAMP) << name;
    }
}

TEST_F(SceneTest, LoadsWhatItCanAndReportsEachMissingFileInOrder) {
    WriteSolid("test.bmp", Rgb{1, 2, 3});
    ASSERT_TRUE(LoadTextureSet());
    const std::vector<std::string> missing = {"Error|Failed to open DIB file data/ship_alpha.bmp.\n",
                                              "Error|Failed to open DIB file data/merolan_alpha.bmp.\n",
                                              "Error|Failed to open DIB file data/light_alpha.bmp.\n"};
    EXPECT_EQ(BoxesShown(), missing);
    EXPECT_NE(TestTexture, 0u);
    for (GLuint texture : {StarfieldTexture, ShipTexture, MeshTexture, LightTexture}) EXPECT_EQ(texture, 0u);

    // With nothing at all the set fails after the same three messages.
    Fake.boxes.clear();
    std::filesystem::remove("data/test.bmp");
    EXPECT_FALSE(LoadTextureSet());
    EXPECT_EQ(BoxesShown(), missing);
}

// After a rebuild whose ship picture fails, the ship's old name would belong to another texture of the new
// context: the slot is 0 instead, and the ship (the only layer over the stars in the top corners) is plain white.
TEST_F(SceneTest, GeneratesNamesAnewInANewContextAndEmptiesFailedSlots) {
    WriteScene(Rgb{1, 2, 3}, Rgba{4, 5, 6, 7}, 8, Rgba{9, 10, 11, 12});
    ASSERT_TRUE(LoadTextureSet());
    ASSERT_TRUE(ReplaceOffscreenContext());
    EXPECT_FALSE(glIsTexture(StarfieldTexture)) << "textures die with their context";
    std::filesystem::remove("data/ship.bmp");
    ASSERT_TRUE(SetupGlState());
    EXPECT_EQ(ShipTexture, 0u);
    for (GLuint texture : {StarfieldTexture, TestTexture, MeshTexture, LightTexture}) {
        EXPECT_TRUE(glIsTexture(texture));
        glBindTexture(GL_TEXTURE_2D, texture);
        EXPECT_EQ(LevelParameter(0, GL_TEXTURE_WIDTH), PictureSide);
    }
    ResizeViewport(800, 600);
    DrawAndRead();
    EXPECT_EQ(PixelAt(2, 597), (Rgb{255, 255, 255}));
}

// A picture whose RGB rows aren't a multiple of 4 bytes long reaches GL unskewed, and the unpack state is
// left at its default.
TEST_F(SceneTest, UploadsOddRowLengthsWithoutSkew) {
    std::vector<std::uint8_t> pixels = {10, 20, 30, 40, 50, 60, 70, 80, 90};  // 1 x 3, three distinct rows
    const ImageRecord image{1, 3, pixels.data()};
    GLuint texture = 0;
    UploadTexture(&image, &texture, 3, GL_RGB);
    std::vector<std::uint8_t> read(9);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, read.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    EXPECT_EQ(read, pixels);
    EXPECT_EQ(IntegerState(GL_UNPACK_ALIGNMENT), 4);
}

}  // namespace
