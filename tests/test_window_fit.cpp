// test_window_fit.cpp -- the framed window's size and place on laptop, desktop and tiny screens.
#include "platform/window_fit.h"

#include <gtest/gtest.h>

#include <array>

namespace {

struct FitCase {
    const char* what;
    double scale;
    FitFrame frame;
    FitBox work;
    FitBox screen;
    std::array<int, 5> fit;  // the client area's x, y (0, 0 where the window stays put), width, height; centred
};

constexpr FitFrame Openbox{1, 20, 1, 5};
constexpr FitBox Laptop{0, 0, 1366, 768};
constexpr FitBox Small{0, 0, 800, 600};

const FitCase Cases[] = {
    {"fits as it is", 1.0, Openbox, Laptop, Laptop, {0, 0, 800, 600, 0}},
    {"125% is too tall for the laptop", 1.25, Openbox, Laptop, Laptop, {189, 21, 988, 741, 1}},
    {"175% over a taskbar", 1.75, {14, 54, 14, 14}, {0, 0, 1920, 1032}, {0, 0, 1920, 1080}, {318, 54, 1284, 963, 1}},
    {"200% under a top panel", 2.0, Openbox, {0, 32, 1920, 1048}, {0, 0, 1920, 1080}, {278, 52, 1364, 1023, 1}},
    {"a screen smaller than 800 x 600", 1.0, Openbox, {0, 0, 640, 480}, {0, 0, 640, 480}, {18, 21, 604, 453, 1}},
    {"never smaller than 800 x 600", 1.25, Openbox, Small, Small, {1, 20, 800, 600, 1}},
    {"800 x 600 stays where it is", 1.0, Openbox, Small, Small, {0, 0, 800, 600, 0}},
};

}  // namespace

TEST(FitWindow, KeepsTheScaledSizeOrFitsTheLargest4By3CentredOnTheWorkArea) {
    for (const FitCase& c : Cases) {
        const WindowFit f = FitWindow(800, 600, c.scale, c.frame, c.work, c.screen);
        EXPECT_EQ((std::array{f.client.x, f.client.y, f.client.width, f.client.height, int(f.centred)}), c.fit)
            << c.what;
    }
}
