// main_loop.h -- the entry point's loop, the window procedure and the keyboard and activity state they share.
#pragma once

#include "platform/platform.h"

constexpr char WindowTitle[] = "Olvo's Textures, Lighting & Keyboard Tutorial";
constexpr int WindowWidth = 800;
constexpr int WindowHeight = 600;
constexpr int WindowBits = 32;
constexpr int KeyL = 76;  // the letter's virtual-key code

extern bool KeyDown[256];   // by virtual-key code: down from the key-down message to the key-up message
extern bool WindowActive;   // the window isn't minimised
extern bool LightingOn;     // flipped by L
extern bool LightingLatch;  // set when L acts, cleared when L is released

// The render window's procedure: key state, activity, size changes and closing.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
