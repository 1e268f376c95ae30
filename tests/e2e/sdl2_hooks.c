// sdl2_hooks.c -- preloaded into the SDL2 program by its end-to-end adapter. Logs each message box's caption and
// text (SDL draws its own X11 box, whose text no other client can read) to $E2E_BOX_LOG as "caption\0text\0";
// with $E2E_REFUSE_MODES set, the X server refuses every CRTC mode switch, so a listed mode can't be set; with
// $E2E_FAIL_RELEASE set, making no GL context current fails, as a broken driver's release would; swaps are paced.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "frame_pace.h"

typedef struct SDL_MessageBoxData SDL_MessageBoxData;
struct SDL_MessageBoxData {  // the leading fields of SDL2's record, in its order
    unsigned flags;
    void* window;
    const char* title;
    const char* message;
};

int SDL_ShowMessageBox(const SDL_MessageBoxData* box, int* button) {
    const char* path = getenv("E2E_BOX_LOG");
    int log = path ? open(path, O_WRONLY | O_CREAT | O_APPEND, 0644) : -1;
    if (log >= 0) {
        const char* parts[] = {box->title ? box->title : "", box->message ? box->message : ""};
        for (int i = 0; i < 2; ++i) {
            if (write(log, parts[i], strlen(parts[i]) + 1) < 0) break;
        }
        close(log);
    }
    int (*next)(const SDL_MessageBoxData*, int*) = (int (*)(const SDL_MessageBoxData*, int*))dlsym(RTLD_NEXT,
                                                                                                "SDL_ShowMessageBox");
    return next(box, button);
}

typedef int (*SetCrtcConfig)(void*, void*, unsigned long, unsigned long, int, int, unsigned long, unsigned short,
                             unsigned long*, int);

int XRRSetCrtcConfig(void* display, void* resources, unsigned long crtc, unsigned long time, int x, int y,
                     unsigned long mode, unsigned short rotation, unsigned long* outputs, int count) {
    if (getenv("E2E_REFUSE_MODES")) return 3;  // RRSetConfigFailed
    SetCrtcConfig next = (SetCrtcConfig)dlsym(RTLD_NEXT, "XRRSetCrtcConfig");
    return next(display, resources, crtc, time, x, y, mode, rotation, outputs, count);
}

int SDL_GL_MakeCurrent(void* window, void* context) {
    if (!context && getenv("E2E_FAIL_RELEASE")) return -1;
    return ((int (*)(void*, void*))dlsym(RTLD_NEXT, "SDL_GL_MakeCurrent"))(window, context);
}

// Swaps paced as a display's vertical sync would (frame_pace.h).
void SDL_GL_SwapWindow(void* window) {
    wait_for_next_frame();
    ((void (*)(void*))dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"))(window);
}
