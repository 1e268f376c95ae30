// program_fixture.cpp -- state reset, scratch pictures and the offscreen context for the shell and scene tests.
#include "tests/program_fixture.h"

#include <algorithm>
#include <filesystem>

#include "app/main_loop.h"
#include "app/render_window.h"
#include "image/texture_set.h"
#include "render/scene.h"
#include "render/twist_mesh.h"

ProgramTest::ProgramTest() {
    std::fill(std::begin(KeyDown), std::end(KeyDown), false);
    WindowActive = true;
    LightingOn = LightingLatch = Fullscreen = false;
    InstanceHandle = nullptr;
    WindowHandle = nullptr;
    DeviceContext = nullptr;
    RenderContext = nullptr;
    SpinAngle = WavePhase = 0.0f;
    StarfieldTexture = TestTexture = ShipTexture = MeshTexture = LightTexture = 0;
    std::filesystem::create_directory("data");
}

void ProgramTest::WriteQuarters(const std::string& name, const std::array<Rgb, 4>& quarters, int side) {
    std::vector<std::uint32_t> values;  // top row first
    for (int i = 0; i < side * side; ++i) {
        const Rgb c = quarters[std::size_t((i / side < side / 2 ? 0 : 2) + (i % side < side / 2 ? 0 : 1))];
        values.push_back(std::uint32_t(c[0]) << 16 | std::uint32_t(c[1]) << 8 | c[2]);
    }
    WriteFile("data/" + name, EncodeBmp({.width = side, .height = side}, values));
}

void ProgramTest::WriteScene(Rgb starfield, Rgba ship, std::uint8_t lightAlpha, Rgba sprite, int side) {
    const auto mask = [](std::uint8_t alpha) { return Rgb{alpha, alpha, alpha}; };
    WriteSolid("starfield.bmp", starfield, side);
    WriteSolid("test.bmp", Rgb{255, 0, 255}, side);
    WriteSolid("ship.bmp", Rgb{ship[0], ship[1], ship[2]}, side);
    WriteSolid("ship_alpha.bmp", mask(ship[3]), side);
    WriteSolid("light_alpha.bmp", mask(lightAlpha), side);
    WriteSolid("merolan.bmp", Rgb{sprite[0], sprite[1], sprite[2]}, side);
    WriteSolid("merolan_alpha.bmp", mask(sprite[3]), side);
}

bool ShellTest::NothingHeld() {
    return WindowHandle == nullptr && DeviceContext == nullptr && RenderContext == nullptr && Fake.windows == 0 &&
           Fake.deviceContexts == 0 && Fake.contexts == 0 && !Fake.classRegistered && !Fake.displaySwitched &&
           Fake.cursorCount == 0;
}

void SceneTest::SetUp() {
    std::string why;
    if (!CreateOffscreenGl(800, 600, &why)) GTEST_FAIL() << "no offscreen OpenGL: " << why;
    haveGl = true;
    ResizeViewport(800, 600);
}

void SceneTest::DrawAndRead() {
    DrawFrame();
    frame = ReadOffscreenPixels();
}

GLint SceneTest::IntegerState(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

Rgb SceneTest::PixelAt(int x, int y) const {
    const std::size_t at = (std::size_t(y) * 800 + std::size_t(x)) * 3;
    return Rgb{frame[at], frame[at + 1], frame[at + 2]};
}
