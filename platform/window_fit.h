// window_fit.h -- how large a framed window is on its screen, and where: the desktop back-ends' one rule.
#pragma once

struct FitBox {
    int x;
    int y;
    int width;
    int height;
};

// What a window manager draws around the client area, in pixels on each side.
struct FitFrame {
    int left;
    int top;
    int right;
    int bottom;
};

struct WindowFit {
    FitBox client;  // the client area, in screen pixels
    bool centred;   // moved to the middle of the work area; otherwise the window stays where it is
};

// The client area of `width` x `height` at `scale` where it fits the work area with its frame. Where it doesn't,
// the largest area of the same shape that does, centred in the work area, though never smaller than
// `width` x `height` on a screen that holds that much.
WindowFit FitWindow(int width, int height, double scale, FitFrame frame, FitBox work, FitBox screen);
