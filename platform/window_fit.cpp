// window_fit.cpp -- how large a framed window is on its screen, and where.
#include "platform/window_fit.h"

#include <algorithm>
#include <cmath>
#include <numeric>

WindowFit FitWindow(int width, int height, double scale, FitFrame frame, FitBox work, FitBox screen) {
    const int frameWidth = frame.left + frame.right;
    const int frameHeight = frame.top + frame.bottom;
    const WindowFit asked{{0, 0, int(std::lround(width * scale)), int(std::lround(height * scale))}, false};
    if (asked.client.width + frameWidth <= work.width && asked.client.height + frameHeight <= work.height) {
        return asked;
    }
    // Whole steps of the shape (4 x 3 for 800 x 600), so the picture keeps its proportions exactly.
    const int divisor = std::max(std::gcd(width, height), 1);
    const int stepX = std::max(width / divisor, 1);
    const int stepY = std::max(height / divisor, 1);
    int steps = std::min((work.width - frameWidth) / stepX, (work.height - frameHeight) / stepY);
    if (screen.width >= width && screen.height >= height) steps = std::max(steps, divisor);
    steps = std::max(steps, 1);
    if (steps * stepX == asked.client.width && steps * stepY == asked.client.height) return asked;
    WindowFit fit{{0, 0, steps * stepX, steps * stepY}, true};
    // A window larger than the work area keeps its top-left corner, and so its caption, on it.
    fit.client.x = work.x + std::max((work.width - fit.client.width - frameWidth) / 2, 0) + frame.left;
    fit.client.y = work.y + std::max((work.height - fit.client.height - frameHeight) / 2, 0) + frame.top;
    return fit;
}
