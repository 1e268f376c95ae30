// wine_hooks.c -- preloaded into Wine by its end-to-end adapter: the program's swaps paced (frame_pace.h). Wine's X11
// driver takes glXSwapBuffers from glXGetProcAddressARB, which it looks up with dlsym in the GL library it opened,
// where a preloaded definition isn't seen: dlsym is wrapped to hand out a lookup that hands out a paced swap.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <string.h>

#include "frame_pace.h"

static void (*swap_buffers)(void*, unsigned long);
static void* (*get_proc_address)(const unsigned char*);
static void* hooked(const char* name, void* found);

static void paced_swap_buffers(void* display, unsigned long drawable) {
    wait_for_next_frame();
    swap_buffers(display, drawable);
}

static void* hooked_get_proc_address(const unsigned char* name) {
    return hooked((const char*)name, get_proc_address(name));
}

static void* hooked(const char* name, void* found) {
    if (!found || !name) return found;
    if (strcmp(name, "glXSwapBuffers") == 0) {
        swap_buffers = (void (*)(void*, unsigned long))found;
        return (void*)paced_swap_buffers;
    }
    if (strcmp(name, "glXGetProcAddressARB") == 0) {
        get_proc_address = (void* (*)(const unsigned char*))found;
        return (void*)hooked_get_proc_address;
    }
    return found;
}

void* dlsym(void* handle, const char* name) {
    static void* (*next)(void*, const char*);
    if (!next) next = (void* (*)(void*, const char*))dlvsym(RTLD_NEXT, "dlsym", "GLIBC_2.34");
    return hooked(name, next(handle, name));
}
