// platform_console.cpp -- the back-end of the command-line tools: no windows, message boxes on stderr.
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

int PlatformMessageBox(HWND, LPCSTR text, LPCSTR, UINT) {
    const std::size_t length = std::strlen(text);
    std::fputs(text, stderr);
    if (length == 0 || text[length - 1] != '\n') std::fputc('\n', stderr);
    return IDOK;
}

HWND PlatformGetFocus() {
    return nullptr;
}
