// render_window.cpp -- builds and tears down the render window, its contexts and the fullscreen display mode.
#include "app/render_window.h"

#include <cstring>

#include "app/main_loop.h"
#include "render/scene.h"

HINSTANCE InstanceHandle = nullptr;
HWND WindowHandle = nullptr;
HDC DeviceContext = nullptr;
HGLRC RenderContext = nullptr;
bool Fullscreen = false;
// Size, version, flags and pixel type; every field from the colour bits on stays 0 until the first window.
PIXELFORMATDESCRIPTOR PixelFormatRequest = {
    sizeof(PIXELFORMATDESCRIPTOR), 1, PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER, PFD_TYPE_RGBA,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};

namespace {

constexpr char FullscreenQuestion[] =
    "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?";

// The first build that gets a window decides the pixel format of every later one.
bool pixelFormatWritten = false;

void WritePixelFormatRequest(int bits) {
    PixelFormatRequest.cColorBits = BYTE(bits);
    PixelFormatRequest.cRedBits = PixelFormatRequest.cRedShift = 0;
    PixelFormatRequest.cGreenBits = PixelFormatRequest.cGreenShift = 0;
    PixelFormatRequest.cBlueBits = PixelFormatRequest.cBlueShift = 0;
    PixelFormatRequest.cAlphaBits = PixelFormatRequest.cAlphaShift = 0;
    PixelFormatRequest.cAccumBits = 0;
    PixelFormatRequest.cAccumRedBits = PixelFormatRequest.cAccumGreenBits = 0;
    PixelFormatRequest.cAccumBlueBits = PixelFormatRequest.cAccumAlphaBits = 0;
    PixelFormatRequest.cDepthBits = 16;
    PixelFormatRequest.cStencilBits = 0;
    PixelFormatRequest.cAuxBuffers = 0;
    PixelFormatRequest.iLayerType = PFD_MAIN_PLANE;
    PixelFormatRequest.bReserved = 0;
    PixelFormatRequest.dwLayerMask = PixelFormatRequest.dwVisibleMask = PixelFormatRequest.dwDamageMask = 0;
}

// Switches the whole display to width x height x bits; true when the display accepted the mode.
bool RequestDisplayMode(int width, int height, int bits) {
    DEVMODEA mode;
    std::memset(&mode, 0, sizeof mode);
    mode.dmSize = DisplayModeRequestSize;
    mode.dmPelsWidth = DWORD(width);
    mode.dmPelsHeight = DWORD(height);
    mode.dmBitsPerPel = DWORD(bits);
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    return PlatformChangeDisplaySettings(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
}

void ShowShutdownError(const char* text) {
    PlatformMessageBox(nullptr, text, ShutdownCaption, ShutdownBoxStyle);
}

// Tears down first, so in fullscreen the display is back in its own mode when the message appears.
bool FailBuild(const char* text) {
    DestroyRenderWindow();
    PlatformMessageBox(nullptr, text, ErrorCaption, ErrorBoxStyle);
    return false;
}

}  // namespace

bool CreateRenderWindow(const char* title, int width, int height, int bits, bool fullscreen) {
    RECT windowRect{0, 0, width, height};
    Fullscreen = fullscreen;
    InstanceHandle = PlatformGetModuleHandle();

    WNDCLASSA windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = InstanceHandle;
    windowClass.hIcon = PlatformLoadIcon(nullptr, IDI_WINLOGO);
    windowClass.hCursor = PlatformLoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = nullptr;
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = WindowClassName;
    if ((PlatformRegisterClass(&windowClass) & 0xFFFF) == 0) {
        PlatformMessageBox(nullptr, "Failed To Register The Window Class.", ErrorCaption, ErrorBoxStyle);
        return false;
    }

    if (Fullscreen && !RequestDisplayMode(width, height, bits)) {
        if (PlatformMessageBox(nullptr, FullscreenQuestion, QuestionCaption, QuestionBoxStyle) != IDYES) {
            PlatformMessageBox(nullptr, "Program Will Now Close.", ErrorCaption, ClosingBoxStyle);
            return false;
        }
        Fullscreen = false;
    }

    // The styles follow the mode Fullscreen holds now, so a refused mode turned windowed gets a frame.
    DWORD exStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
    DWORD style = WS_OVERLAPPEDWINDOW;
    if (Fullscreen) {
        exStyle = WS_EX_APPWINDOW;
        style = WS_POPUP;
        PlatformShowCursor(FALSE);
    }
    PlatformAdjustWindowRectEx(&windowRect, style, FALSE, exStyle);

    WindowHandle = PlatformCreateWindowEx(exStyle, WindowClassName, title, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0,
                                          0, windowRect.right - windowRect.left, windowRect.bottom - windowRect.top,
                                          nullptr, nullptr, InstanceHandle, nullptr);
    if (!WindowHandle) return FailBuild("Window Creation Error.");
    if (!pixelFormatWritten) {
        WritePixelFormatRequest(bits);
        pixelFormatWritten = true;
    }

    DeviceContext = PlatformGetDC(WindowHandle);
    if (!DeviceContext) return FailBuild("Can't Create A GL Device Context.");
    const int pixelFormat = PlatformChoosePixelFormat(DeviceContext, &PixelFormatRequest);
    if (pixelFormat == 0) return FailBuild("Can't Find A Suitable PixelFormat.");
    if (!PlatformSetPixelFormat(DeviceContext, pixelFormat, &PixelFormatRequest)) {
        return FailBuild("Can't Set The PixelFormat.");
    }
    RenderContext = PlatformCreateContext(DeviceContext);
    if (!RenderContext) return FailBuild("Can't Create A GL Rendering Context.");
    if (!PlatformMakeCurrent(DeviceContext, RenderContext)) return FailBuild("Can't Activate The GL Rendering Context.");

    PlatformShowWindow(WindowHandle, SW_SHOW);
    PlatformSetForegroundWindow(WindowHandle);
    PlatformSetFocus(WindowHandle);
    ResizeViewport(width, height);
    if (!SetupGlState()) return FailBuild("Initialization Failed.");
    return true;
}

void DestroyRenderWindow() {
    // The display gets its own mode back before anything is released, so any shutdown message that follows
    // appears on the user's desktop rather than in the program's mode.
    if (Fullscreen) {
        PlatformChangeDisplaySettings(nullptr, 0);
        PlatformShowCursor(TRUE);
    }
    if (RenderContext) {
        if (!PlatformMakeCurrent(nullptr, nullptr)) ShowShutdownError("Release Of DC And RC Failed.");
        if (!PlatformDeleteContext(RenderContext)) ShowShutdownError("Release Rendering Context Failed.");
        RenderContext = nullptr;
    }
    // The device context belongs to the window, so it goes while the window still exists.
    if (DeviceContext) {
        if (!PlatformReleaseDC(WindowHandle, DeviceContext)) ShowShutdownError("Release Device Context Failed.");
        DeviceContext = nullptr;
    }
    if (WindowHandle) {
        if (!PlatformDestroyWindow(WindowHandle)) ShowShutdownError("Could Not Release hWnd.");
        WindowHandle = nullptr;
    }
    if (!PlatformUnregisterClass(WindowClassName, InstanceHandle)) {
        ShowShutdownError("Could Not Unregister Class.");
        InstanceHandle = nullptr;
    }
}
