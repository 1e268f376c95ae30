// shell_fixture.cpp -- reset process-wide shell state and a scratch working directory for shell tests.
#include "tests/shell_fixture.h"

#include <cstring>
#include <fstream>

#include "app/main_loop.h"
#include "app/render_window.h"
#include "image/texture_set.h"
#include "render/scene.h"
#include "render/twist_mesh.h"
#include "tests/bmp_builder.h"

void ShellTest::SetUp() {
    ResetFakePlatform();
    std::memset(KeyDown, 0, sizeof KeyDown);
    WindowActive = true;
    LightingOn = false;
    LightingLatch = false;
    Fullscreen = false;
    InstanceHandle = nullptr;
    WindowHandle = nullptr;
    DeviceContext = nullptr;
    RenderContext = nullptr;
    SpinAngle = 0.0f;
    WavePhase = 0.0f;
    StarfieldTexture = TestTexture = ShipTexture = MeshTexture = LightTexture = 0;

    // One plain picture is enough for the GL setup to succeed; the others are reported missing only for the
    // alpha textures, which would show boxes, so every picture is written.
    previousDirectory = std::filesystem::current_path();
    scratch = std::filesystem::temp_directory_path() /
              ("olvo-shell-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(scratch);
    std::filesystem::create_directories(scratch / "data");
    std::filesystem::current_path(scratch);
    BmpLayout layout;
    layout.width = 4;
    layout.height = 4;
    const std::vector<std::uint8_t> picture = EncodeBmp(layout, std::vector<std::uint32_t>(16, 0x808080));
    for (const char* name : {"starfield", "test", "ship", "ship_alpha", "merolan", "merolan_alpha", "light_alpha"}) {
        std::ofstream(std::string("data/") + name + ".bmp", std::ios::binary)
            .write(reinterpret_cast<const char*>(picture.data()), std::streamsize(picture.size()));
    }
}

void ShellTest::TearDown() {
    std::filesystem::current_path(previousDirectory);
    std::filesystem::remove_all(scratch);
}

std::vector<std::string> ShellTest::Boxes() const {
    std::vector<std::string> boxes;
    for (const FakeBox& box : Fake.boxes) boxes.push_back(box.caption + "|" + box.text);
    return boxes;
}
