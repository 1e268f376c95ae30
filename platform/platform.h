// platform.h -- the seam between the program and the operating system.
//
// Every operation has the shape, arguments, values and results of the Win32 call it is named after, so the
// shell, the renderer and the decoder are written once. Exactly one back-end, each in a folder of its own
// here, is linked into each program: win32/ (the real calls), sdl2/ (SDL2, Linux), web/ (a browser page),
// console/ (tools: no windows, message boxes on stderr) or the fake in tests/. File mapping is posix/ or win32/.
// What a back-end does beyond the Win32 call is said at the call; the desktop back-ends size a framed window by
// one rule (window_fit.h).
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
// The Win32 types and values the program uses, so that records, key codes and message-box answers are the
// same numbers on every build.
#define WINAPI
#define CALLBACK
#define TRUE 1
#define FALSE 0

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using BOOL = int;
using ATOM = WORD;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LPSTR = char*;
using LPCSTR = const char*;

struct HWND__;
struct HDC__;
struct HGLRC__;
struct HINSTANCE__;
struct HICON__;
struct HCURSOR__;
struct HBRUSH__;
struct HMENU__;
using HWND = HWND__*;
using HDC = HDC__*;
using HGLRC = HGLRC__*;
using HINSTANCE = HINSTANCE__*;
using HICON = HICON__*;
using HCURSOR = HCURSOR__*;
using HBRUSH = HBRUSH__*;
using HMENU = HMENU__*;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct POINT {
    LONG x;
    LONG y;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

struct PIXELFORMATDESCRIPTOR {
    WORD nSize;
    WORD nVersion;
    DWORD dwFlags;
    BYTE iPixelType;
    BYTE cColorBits;
    BYTE cRedBits;
    BYTE cRedShift;
    BYTE cGreenBits;
    BYTE cGreenShift;
    BYTE cBlueBits;
    BYTE cBlueShift;
    BYTE cAlphaBits;
    BYTE cAlphaShift;
    BYTE cAccumBits;
    BYTE cAccumRedBits;
    BYTE cAccumGreenBits;
    BYTE cAccumBlueBits;
    BYTE cAccumAlphaBits;
    BYTE cDepthBits;
    BYTE cStencilBits;
    BYTE cAuxBuffers;
    BYTE iLayerType;
    BYTE bReserved;
    DWORD dwLayerMask;
    DWORD dwVisibleMask;
    DWORD dwDamageMask;
};
static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40);

// The display-settings record in its 148-byte form (the fields a display uses; no panning fields).
struct DEVMODEA {
    BYTE dmDeviceName[32];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    POINT dmPosition;
    DWORD dmDisplayOrientation;
    DWORD dmDisplayFixedOutput;
    short dmColor;
    short dmDuplex;
    short dmYResolution;
    short dmTTOption;
    short dmCollate;
    BYTE dmFormName[32];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
    DWORD dmICMMethod;
    DWORD dmICMIntent;
    DWORD dmMediaType;
    DWORD dmDitherType;
    DWORD dmReserved1;
    DWORD dmReserved2;
};
static_assert(sizeof(DEVMODEA) == 148);

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCOMMAND = 0x0112;

constexpr WPARAM SC_SCREENSAVE = 0xF140;
constexpr WPARAM SC_MONITORPOWER = 0xF170;

constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr int VK_PAUSE = 0x13;
constexpr int VK_CAPITAL = 0x14;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21;
constexpr int VK_NEXT = 0x22;
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_F1 = 0x70;

constexpr UINT PM_REMOVE = 0x0001;
constexpr int SW_SHOW = 5;

constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_OWNDC = 0x0020;

constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;

constexpr DWORD CDS_FULLSCREEN = 0x00000004;
constexpr LONG DISP_CHANGE_SUCCESSFUL = 0;
constexpr LONG DISP_CHANGE_FAILED = -1;
constexpr LONG DISP_CHANGE_BADMODE = -2;
constexpr DWORD DM_BITSPERPEL = 0x00040000;
constexpr DWORD DM_PELSWIDTH = 0x00080000;
constexpr DWORD DM_PELSHEIGHT = 0x00100000;

constexpr DWORD PFD_DOUBLEBUFFER = 0x00000001;
constexpr DWORD PFD_DRAW_TO_WINDOW = 0x00000004;
constexpr DWORD PFD_SUPPORT_OPENGL = 0x00000020;
constexpr BYTE PFD_TYPE_RGBA = 0;
constexpr BYTE PFD_MAIN_PLANE = 0;

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_ICONSTOP = 0x00000010;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONINFORMATION = 0x00000040;
constexpr int IDOK = 1;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

#define IDC_ARROW (reinterpret_cast<LPCSTR>(std::uintptr_t{32512}))
#define IDI_WINLOGO (reinterpret_cast<LPCSTR>(std::uintptr_t{32517}))

// The shared entry point; the back-end's own entry point calls it.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);
#endif

// A read-only view of a whole file, as the file mapping gives it.
struct FileView {
    const std::uint8_t* bytes;  // the file's first byte
    std::size_t size;           // the file's length in bytes
    void* handle;               // the back-end's own record of the open file and its mapping
};

// Module, class and display mode: called by the render window build and teardown.
HINSTANCE PlatformGetModuleHandle();                                    // GetModuleHandleA(NULL)
HICON PlatformLoadIcon(HINSTANCE module, LPCSTR name);                  // LoadIconA
HCURSOR PlatformLoadCursor(HINSTANCE module, LPCSTR name);              // LoadCursorA
ATOM PlatformRegisterClass(const WNDCLASSA* windowClass);               // RegisterClassA
BOOL PlatformUnregisterClass(LPCSTR className, HINSTANCE module);       // UnregisterClassA
// ChangeDisplaySettingsA; NULL, 0 restores. SDL2 makes the fullscreen window for the mode here, which the next
// window made takes; in a browser the mode is the page's fullscreen.
LONG PlatformChangeDisplaySettings(DEVMODEA* mode, DWORD flags);
int PlatformShowCursor(BOOL show);                                      // ShowCursor

// Window, device context and GL context: called by the render window build and teardown.
// AdjustWindowRectEx; on SDL2 and in a browser the frame, if any, lies outside the size asked for: unchanged.
BOOL PlatformAdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
// CreateWindowExA. On Win32 a framed window's client area is the size asked for less the 96-dpi frame, at the
// monitor's scale, fitted to its work area; SDL2 makes its window at SetPixelFormat; in a browser, the canvas.
HWND PlatformCreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width,
                            int height, HWND parent, HMENU menu, HINSTANCE module, void* param);
BOOL PlatformDestroyWindow(HWND window);                                // DestroyWindow
HDC PlatformGetDC(HWND window);                                         // GetDC
int PlatformReleaseDC(HWND window, HDC dc);                             // ReleaseDC
int PlatformChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* request);  // ChoosePixelFormat
// SetPixelFormat. SDL2 makes its window here, hidden, a framed one at the desktop's scale fitted to the work area,
// and holds off the screen saver; a browser keeps only whether a depth buffer is asked for.
BOOL PlatformSetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* request);
HGLRC PlatformCreateContext(HDC dc);                                    // wglCreateContext
// wglMakeCurrent; NULL, NULL unbinds. The desktop back-ends ask the context made current for one display refresh
// per swap where the driver can wait; a browser starts its GL layer on a new context.
BOOL PlatformMakeCurrent(HDC dc, HGLRC context);
BOOL PlatformDeleteContext(HGLRC context);                              // wglDeleteContext
// ShowWindow. The desktop back-ends then post WM_SIZE with the client area's real size (SDL2 first fits a framed
// window again, with the frame the window manager now tells).
BOOL PlatformShowWindow(HWND window, int command);
BOOL PlatformSetForegroundWindow(HWND window);                          // SetForegroundWindow
HWND PlatformSetFocus(HWND window);                                     // SetFocus

// Message loop: called by the main loop and the window procedure.
// PeekMessageA; a browser hands out a key's release no sooner than the frame after its press.
BOOL PlatformPeekMessage(MSG* msg, HWND window, UINT first, UINT last, UINT remove);
// WaitMessage: blocks until a message is queued (returns at once if one is); a browser waits for its next frame.
BOOL PlatformWaitMessage();
BOOL PlatformTranslateMessage(const MSG* msg);                          // TranslateMessage
LRESULT PlatformDispatchMessage(const MSG* msg);                        // DispatchMessageA
// DefWindowProcA. On Win32 a framed window moved to a monitor of another DPI is fitted again there, and a move in
// or out of the minimised state is told as WM_ACTIVATE.
LRESULT PlatformDefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PlatformPostQuitMessage(int exitCode);                             // PostQuitMessage
// SwapBuffers; a browser waits for its next frame and replaces a lost GL context there.
BOOL PlatformSwapBuffers(HDC dc);

// Message boxes and focus: called by every part that reports a failure; blocks until answered.
// MessageBoxA; a box SDL2 can't show (no display, no fonts) goes to stderr and answers 0.
int PlatformMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
HWND PlatformGetFocus();                                                      // GetFocus

// Files: called by the decoder. Opens an existing file for reading and maps all of it read-only; false when
// the file can't be opened, is empty or can't be mapped. Every true is paired with one PlatformUnmapFile.
bool PlatformMapFile(const char* path, FileView* view);
void PlatformUnmapFile(FileView* view);
