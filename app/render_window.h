// render_window.h -- the program's one window, its device and GL contexts, and the fullscreen display mode.
#pragma once

#include "platform/platform.h"

extern HINSTANCE InstanceHandle;  // the program's module, fetched at every build
extern HWND WindowHandle;         // the render window; none while there is no window
extern HDC DeviceContext;         // the window's device context; frames are presented on it
extern HGLRC RenderContext;       // the OpenGL context, current while the window exists
extern bool Fullscreen;           // which mode the window was built in; read by the teardown
extern PIXELFORMATDESCRIPTOR PixelFormatRequest;  // fixed fields from the start, the rest written once

constexpr char WindowClassName[] = "OpenGL";
constexpr char ErrorCaption[] = "ERROR";
constexpr char ShutdownCaption[] = "SHUTDOWN ERROR";
constexpr char QuestionCaption[] = "Olvo GL";
constexpr UINT ErrorBoxStyle = MB_OK | MB_ICONEXCLAMATION;
constexpr UINT ClosingBoxStyle = MB_OK | MB_ICONSTOP;
constexpr UINT QuestionBoxStyle = MB_YESNO | MB_ICONEXCLAMATION;
constexpr UINT ShutdownBoxStyle = MB_OK | MB_ICONINFORMATION;
constexpr WORD DisplayModeRequestSize = 148;  // the display-settings record without its panning fields

// Builds the window, its contexts and (in fullscreen) the display mode, makes the GL context current, shows the
// window and sets up GL. On failure the user has been told why, and everything from the window on is gone.
bool CreateRenderWindow(const char* title, int width, int height, int bits, bool fullscreen);

// Releases whatever is held, in reverse order of the build; any subset may be held.
void DestroyRenderWindow();
