// shell_fixture.h -- the application shell on the fake back-end: state reset, a data/ directory with one
// picture so the GL setup succeeds, and helpers to script key presses.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/fake_platform.h"

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The boxes shown so far, as "CAPTION|TEXT".
    std::vector<std::string> Boxes() const;

    static MSG Key(int key, bool down) { return FakeMessage(down ? WM_KEYDOWN : WM_KEYUP, WPARAM(key)); }

private:
    std::filesystem::path previousDirectory;
    std::filesystem::path scratch;
};
