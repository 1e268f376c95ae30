// scene_fixture.h -- a test fixture with an 800 x 600 offscreen GL context current, the program's rendering
// state reset, and a scratch working directory whose data/ the test fills with pictures of known colours.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/bmp_builder.h"

using Rgba = std::array<std::uint8_t, 4>;

class SceneTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes data/NAME as a 24-bit picture of PictureSide x PictureSide filled by `colour(x, y)` (x from the
    // left, y from the top). Large enough that the clamped border never reaches a probed pixel.
    static constexpr int PictureSide = 256;
    template <typename Fill>
    void WritePicture(const std::string& name, Fill colour) {
        std::vector<std::uint32_t> values;
        for (int y = 0; y < PictureSide; ++y) {
            for (int x = 0; x < PictureSide; ++x) {
                const Rgb c = colour(x, y);
                values.push_back(std::uint32_t(c[0]) << 16 | std::uint32_t(c[1]) << 8 | c[2]);
            }
        }
        BmpLayout layout;
        layout.width = PictureSide;
        layout.height = PictureSide;
        WriteFile("data/" + name, EncodeBmp(layout, values));
    }
    void WriteSolid(const std::string& name, Rgb colour) {
        WritePicture(name, [&](int, int) { return colour; });
    }
    void WriteMask(const std::string& name, std::uint8_t alpha) {
        WriteSolid(name, Rgb{alpha, alpha, alpha});
    }
    // Every one of the seven files: opaque starfield, and the other layers in the given colours and alphas.
    void WriteScene(Rgb starfield, Rgba ship, std::uint8_t lightAlpha, Rgba sprite);
    void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

    // The colour at (x, y) of the last frame, y from the bottom.
    Rgb PixelAt(int x, int y) const;
    void ReadFrame();

    std::vector<std::uint8_t> frame;

private:
    std::filesystem::path previousDirectory;
    std::filesystem::path scratch;
};
