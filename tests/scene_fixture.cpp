// scene_fixture.cpp -- offscreen context, reset state and scratch data directory for the rendering tests.
#include "tests/scene_fixture.h"

#include <fstream>

#include "image/texture_set.h"
#include "render/scene.h"
#include "render/twist_mesh.h"
#include "tests/fake_platform.h"
#include "tools/offscreen_gl.h"

void SceneTest::SetUp() {
    std::string why;
    if (!CreateOffscreenGl(800, 600, &why)) GTEST_SKIP() << "no offscreen OpenGL: " << why;
    ResetFakePlatform();
    SpinAngle = 0.0f;
    WavePhase = 0.0f;
    StarfieldTexture = TestTexture = ShipTexture = MeshTexture = LightTexture = 0;
    previousDirectory = std::filesystem::current_path();
    scratch = std::filesystem::temp_directory_path() /
              ("olvo-scene-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(scratch);
    std::filesystem::create_directories(scratch / "data");
    std::filesystem::current_path(scratch);
}

void SceneTest::TearDown() {
    if (scratch.empty()) return;
    std::filesystem::current_path(previousDirectory);
    std::filesystem::remove_all(scratch);
    DestroyOffscreenGl();
}

void SceneTest::WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void SceneTest::WriteScene(Rgb starfield, Rgba ship, std::uint8_t lightAlpha, Rgba sprite) {
    WriteSolid("starfield.bmp", starfield);
    WriteSolid("test.bmp", Rgb{255, 0, 255});
    WriteSolid("ship.bmp", Rgb{ship[0], ship[1], ship[2]});
    WriteMask("ship_alpha.bmp", ship[3]);
    WriteMask("light_alpha.bmp", lightAlpha);
    WriteSolid("merolan.bmp", Rgb{sprite[0], sprite[1], sprite[2]});
    WriteMask("merolan_alpha.bmp", sprite[3]);
}

void SceneTest::ReadFrame() {
    frame = ReadOffscreenPixels();
}

Rgb SceneTest::PixelAt(int x, int y) const {
    const std::size_t at = (std::size_t(y) * 800 + std::size_t(x)) * 3;
    return Rgb{frame[at], frame[at + 1], frame[at + 2]};
}
