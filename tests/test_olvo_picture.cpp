// test_olvo_picture.cpp -- the picture tool as a user runs it: pictures made and read back by the program's own
// code, refusals, and what check reports about a data/ folder with one fault at a time.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <functional>

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include "image/alpha_compose.h"
#include "tests/program_fixture.h"

namespace {

struct Outcome {
    int status;
    std::string output;  // stdout and stderr together
};

Outcome RunTool(const std::string& arguments, const char* tool = OLVO_PICTURE_TOOL) {
    const std::string command = std::string(tool) + " " + arguments + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    Outcome outcome{-1, ""};
    char buffer[4096];
    for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) outcome.output.append(buffer, n);
    if (pipe) outcome.status = WEXITSTATUS(pclose(pipe));
    return outcome;
}

// A 4 x 2 picture, top row first, in every corner of RGBA.
const std::vector<std::uint8_t> Source = {255, 0, 0, 255,   0, 255, 0, 128,   0, 0, 255, 0,   10, 20, 30, 40,
                                          200, 100, 50, 255, 1, 2, 3, 4,     250, 250, 250, 9, 0, 0, 0, 255};

// A 32-bit BMP with a 124-byte header and an alpha channel: the bit-field layout, its header padded to 124 bytes.
std::vector<std::uint8_t> NewerHeaderBmp(const std::vector<std::uint8_t>& rgba, int width, int height) {
    std::vector<std::uint32_t> values;
    for (std::size_t p = 0; p < rgba.size(); p += 4)
        values.push_back(std::uint32_t(rgba[p + 3]) << 24 | rgba[p] << 16 | rgba[p + 1] << 8 | rgba[p + 2]);
    std::vector<std::uint8_t> bytes = EncodeBmp(
        {.width = width, .height = height, .bitCount = 32, .compression = 3,
         .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000u}}, values);
    bytes.insert(bytes.begin() + 14 + 56, 124 - 56, 0);
    return Patched(Patched(Patched(bytes, 2, std::uint32_t(bytes.size())), 10, 14 + 124), 14, 124);
}

using PictureTool = ProgramTest;

TEST_F(PictureTool, MakesEveryInputIntoAPictureAndMaskTheProgramComposesBack) {
    // The same colours without alpha: the mask is then opaque throughout.
    std::vector<std::uint8_t> opaque, opaqueRgba = Source;
    for (std::size_t p = 0; p < Source.size(); p += 4) {
        opaque.insert(opaque.end(), Source.begin() + long(p), Source.begin() + long(p) + 3);
        opaqueRgba[p + 3] = 255;
    }
    stbi_write_png("alpha.png", 4, 2, 4, Source.data(), 16);
    stbi_write_tga("alpha.tga", 4, 2, 4, Source.data());
    stbi_write_png("opaque.png", 4, 2, 3, opaque.data(), 12);
    WriteFile("newer.bmp", NewerHeaderBmp(Source, 4, -2));
    // The same pixels 1 and 2 wide, whose rows in a BMP are padded to 4 bytes.
    stbi_write_png("narrow1.png", 1, 8, 4, Source.data(), 4);
    stbi_write_png("narrow2.png", 2, 4, 4, Source.data(), 8);

    const std::tuple<const char*, int, const std::vector<std::uint8_t>*> inputs[] = {
        {"alpha.png", 4, &Source}, {"alpha.tga", 4, &Source}, {"newer.bmp", 4, &Source},
        {"opaque.png", 4, &opaqueRgba}, {"narrow1.png", 1, &Source}, {"narrow2.png", 2, &Source}};
    for (const auto& [input, width, expected] : inputs) {
        const Outcome made = RunTool(std::string("make ") + input + " out.bmp mask.bmp");
        ASSERT_EQ(made.status, 0) << input << ": " << made.output;
        ImageRecord* image = LoadBitmapWithAlpha("out.bmp", "mask.bmp");
        ASSERT_NE(image, nullptr) << input;
        ASSERT_EQ(image->width, width);
        ASSERT_EQ(image->height, 8 / width);
        // The record's first row is the picture's bottom row.
        std::vector<std::uint8_t> topFirst;
        for (int row = image->height; row-- > 0;)
            topFirst.insert(topFirst.end(), image->pixels + row * width * 4, image->pixels + (row + 1) * width * 4);
        EXPECT_EQ(topFirst, *expected) << input;
        FreeImageRecord(image);
        EXPECT_TRUE(Fake.boxes.empty()) << input;
    }
}

TEST_F(PictureTool, FitsToAPowerOfTwoSizeAndRefusesOtherSidesWithTheNearest) {
    // Red above, blue below: scaled, each half stays in its place.
    std::vector<std::uint8_t> wide;
    for (int p = 0; p < 300 * 200; ++p) {
        const std::uint8_t top = p < 300 * 100 ? 200 : 0;
        wide.insert(wide.end(), {top, 0, std::uint8_t(200 - top), 255});
    }
    stbi_write_png("wide.png", 300, 200, 4, wide.data(), 300 * 4);
    ASSERT_EQ(RunTool("make --fit 256x128 wide.png out.bmp").status, 0);
    ImageRecord* image = LoadBitmapChecked("out.bmp");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 256);
    EXPECT_EQ(image->height, 128);
    const std::uint8_t* bottom = image->pixels + 3 * (256 * 40 + 100);
    const std::uint8_t* top = image->pixels + 3 * (256 * 117 + 100);
    EXPECT_EQ(std::vector<std::uint8_t>(bottom, bottom + 3), (std::vector<std::uint8_t>{0, 0, 200}));
    EXPECT_EQ(std::vector<std::uint8_t>(top, top + 3), (std::vector<std::uint8_t>{200, 0, 0}));
    FreeImageRecord(image);

    WriteFile("out.bmp", {1, 2, 3});
    const Outcome refused = RunTool("make wide.png out.bmp");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.output, "olvo-picture: wide.png is 300 x 200, and the program needs sides that are powers "
                              "of two: the nearest size is 256 x 256 (add --fit 256x256; 256 or 512 wide, 128 or "
                              "256 high)\n");
    EXPECT_EQ(std::filesystem::file_size("out.bmp"), 3u) << "a refusal leaves the target as it was";
}

// Whatever fails, the old picture stays as it was, and no file is left behind, whole, partial or temporary.
TEST_F(PictureTool, RefusesBadArgumentsAndFilesLeavingNoOutput) {
    stbi_write_png("in.png", 2, 2, 4, Source.data(), 8);
    WriteFile("text.png", {'h', 'i'});
    WriteFile("old.bmp", {1, 2, 3});
    mkfifo("pipe", 0600);
    const std::pair<const char*, std::string> cases[] = {
        {"make in.png", "usage: olvo-picture make"},
        {"frobnicate", "usage: olvo-picture make"},
        {"check a b", "usage: olvo-picture make"},
        {"make --fit 3x4 in.png out.bmp",
         "olvo-picture: --fit takes WxH, both powers of two (e.g. --fit 256x256), not 3x4\n"},
        {"make missing.png out.bmp", "olvo-picture: can't open missing.png: No such file or directory\n"},
        {"make text.png out.bmp",
         "olvo-picture: can't read text.png as a PNG, JPEG, GIF, TGA or BMP picture (unknown image type)\n"},
        {"make in.png out.bmp nowhere/mask.bmp",
         "olvo-picture: can't write nowhere/mask.bmp: No such file or directory\n"},
        {"make in.png pipe", "olvo-picture: can't write pipe: not a regular file\n"},
        {"make in.png old.bmp data", "olvo-picture: can't write data: Is a directory\n"},  // the second rename
        {"make in.png old.bmp ./old.bmp", "olvo-picture: the picture and its mask can't both be old.bmp\n"},
        {"make in.png new.bmp data/../new.bmp", "olvo-picture: the picture and its mask can't both be new.bmp\n"},
        {"make in.png old.bmp ./in.png", "olvo-picture: the mask ./in.png would replace the picture it is made "
                                         "from\n"},
        {"check nowhere", "olvo-picture: can't open the folder nowhere: No such file or directory\n"},
    };
    for (const auto& [arguments, expected] : cases) {
        const Outcome outcome = RunTool(arguments);
        EXPECT_EQ(outcome.status, expected.starts_with("usage") ? 2 : 1) << arguments;
        EXPECT_EQ(outcome.output.substr(0, expected.size()), expected) << arguments;
        const long lines = std::count(outcome.output.begin(), outcome.output.end(), '\n');
        EXPECT_EQ(lines, expected.starts_with("usage") ? 7 : 1) << arguments;
    }
    EXPECT_EQ(RunTool("").status, 2);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(".")) left.push_back(entry.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"data", "in.png", "old.bmp", "pipe", "text.png"}));
    EXPECT_EQ(std::filesystem::file_size("old.bmp"), 3u);
}

TEST_F(PictureTool, CheckPassesOnTheProgramsOwnPictures) {
    const Outcome outcome = RunTool(std::string("check ") + OLVO_SOURCE_DIR);
    EXPECT_EQ(outcome.status, 0) << outcome.output;
    EXPECT_TRUE(outcome.output.ends_with("all 5 textures will be made as intended\n")) << outcome.output;
    EXPECT_EQ(outcome.output.find("  "), std::string::npos) << "no message and no finding";
}

// Each fault put into a good data/ folder, and the lines check gives for the texture it touches.
TEST_F(PictureTool, CheckReportsEachFaultWithTheProgramsMessageAndItsOwn) {
    const auto solid = [](const char* name, Rgb colour, int width, int height) {
        WriteFile(std::string("data/") + name,
                  EncodeBmp({.width = width, .height = height}, std::vector<std::uint32_t>(std::size_t(width * height),
                            std::uint32_t(colour[0]) << 16 | colour[1] << 8 | colour[2])));
    };
    const std::function<void()> faults[] = {
        [] { std::filesystem::remove("data/starfield.bmp"); },
        [] { std::filesystem::remove("data/ship_alpha.bmp"); },
        [] { WriteFile("data/ship.bmp", NewerHeaderBmp(Source, 4, 2)); },
        [&] { solid("merolan_alpha.bmp", {9, 9, 9}, 8, 4); },
        [&] { solid("light_alpha.bmp", {9, 9, 9}, 12, 4); },
        [&] { solid("test.bmp", {1, 2, 3}, 2, 2); },
        [&] { solid("ship_alpha.bmp", {9, 8, 9}, 4, 4); },
        [] { WriteQuarters("ship_alpha.bmp", {Rgb{9, 9, 9}, Rgb{9, 9, 9}, Rgb{9, 9, 9}, Rgb{9, 9, 8}}, 4); },
    };
    const char* const expected[] = {
        "starfield: not made, from data/starfield.bmp\n"
        "  check: data/starfield.bmp can't be opened (No such file or directory)\n",
        "ship: not made, from data/ship.bmp and data/ship_alpha.bmp\n"
        "  the program says: Error: Failed to open DIB file data/ship_alpha.bmp.\n"
        "  check: data/ship_alpha.bmp can't be opened (No such file or directory)\n",
        "ship: not made, from data/ship.bmp and data/ship_alpha.bmp\n"
        "  the program says: Error: Unknown DIB file format.\n"
        "  check: data/ship.bmp has a 124-byte header; the program reads 12- and 40-byte ones (olvo-picture make "
        "rewrites it)\n",
        "sprite: not made, from data/merolan.bmp and data/merolan_alpha.bmp\n"
        "  the program says: Error: Image data/merolan.bmp and its mask data/merolan_alpha.bmp differ in size.\n"
        "  check: data/merolan.bmp is 4 x 4, its mask data/merolan_alpha.bmp 8 x 4\n",
        "light: made, 12 x 4 RGBA, from data/light_alpha.bmp (white, the mask as alpha)\n"
        "  check: data/light_alpha.bmp is 12 x 4: sides that aren't powers of two are refused by OpenGL 1.1 drivers "
        "(nearest: 16 x 4)\n",
        "test: made, 2 x 2 RGB, from data/test.bmp\n"
        "  check: data/test.bmp has rows of 6 bytes, not a multiple of 4: a driver that ignores the row alignment the "
        "program sets reads it skewed\n",
        "ship: made, 4 x 4 RGBA, from data/ship.bmp and data/ship_alpha.bmp\n"
        "  check: data/ship_alpha.bmp isn't grey (at x 0, y 3 from the top: red 9, green 8, blue 9): only its red "
        "channel becomes alpha\n",
        "ship: made, 4 x 4 RGBA, from data/ship.bmp and data/ship_alpha.bmp\n"
        "  check: data/ship_alpha.bmp isn't grey (at x 2, y 3 from the top: red 9, green 9, blue 8): only its red "
        "channel becomes alpha\n",
    };
    for (std::size_t i = 0; i < std::size(faults); ++i) {
        WriteScene(Rgb{1, 2, 3}, Rgba{4, 5, 6, 7}, 8, Rgba{9, 10, 11, 12}, 4);
        faults[i]();
        const Outcome outcome = RunTool("check");
        EXPECT_EQ(outcome.status, 1) << expected[i];
        // The texture's block: its line and every indented line after it, exactly.
        const std::string block = expected[i];
        const std::size_t at = outcome.output.find(block.substr(0, block.find(',')));
        ASSERT_NE(at, std::string::npos) << outcome.output;
        EXPECT_EQ(outcome.output.substr(at, block.size()), block);
        EXPECT_NE(outcome.output.substr(at + block.size(), 2), "  ") << outcome.output;
    }
}

// olvo-frames drawing some layers alone, from the program's pictures: the corner where only the starfield lies,
// and the centre, where the opaque sprite covers everything under it.
TEST_F(PictureTool, FramesDrawsTheChosenLayersAlone) {
    const auto probe = [](const char* options) {
        const std::string dir = std::filesystem::current_path() / options;
        const Outcome outcome = RunTool(std::string("--layers ") + options + " " + dir + " 3",
                                        "cd " OLVO_SOURCE_DIR " && " OLVO_FRAMES_TOOL);
        EXPECT_EQ(outcome.status, 0) << outcome.output;
        int width = 0, height = 0, channels = 0;
        stbi_uc* pixels = stbi_load((dir + "/frame-0003.png").c_str(), &width, &height, &channels, 3);
        std::vector<std::uint8_t> probes;
        if (!pixels) return probes;
        for (const int at : {(5 * width + 5) * 3, (height / 2 * width + width / 2) * 3})
            probes.insert(probes.end(), pixels + at, pixels + at + 3);
        stbi_image_free(pixels);
        return probes;
    };
    const std::vector<std::uint8_t> all = probe("starfield,ship,light,sprite");
    const std::vector<std::uint8_t> stars = probe("starfield");
    const std::vector<std::uint8_t> rest = probe("ship,light,sprite");
    for (const auto* probes : {&all, &stars, &rest}) ASSERT_EQ(probes->size(), 6u);
    EXPECT_EQ(std::vector(stars.begin(), stars.begin() + 3), std::vector(all.begin(), all.begin() + 3));
    EXPECT_NE(std::vector(stars.begin() + 3, stars.end()), std::vector(all.begin() + 3, all.end()));
    EXPECT_EQ(std::vector(rest.begin(), rest.begin() + 3), std::vector<std::uint8_t>(3, 0));
    EXPECT_EQ(std::vector(rest.begin() + 3, rest.end()), std::vector(all.begin() + 3, all.end()));
}

}  // namespace
