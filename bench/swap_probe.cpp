// swap_probe.cpp -- preloaded into an SDL2 program by startup_bench.sh: writes the wall-clock time of every
// buffer swap and of every context unbind (the first step of a window teardown) to the file named by
// OLVO_PROBE_LOG, one "event nanoseconds" line each, so start-up and rebuild times can be read off outside.
#include <SDL2/SDL.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

void Note(const char* event) {
    static std::FILE* log = [] {
        const char* path = std::getenv("OLVO_PROBE_LOG");
        return path ? std::fopen(path, "a") : nullptr;
    }();
    if (!log) return;
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    std::fprintf(log, "%s %lld\n", event, now.tv_sec * 1000000000LL + now.tv_nsec);
    std::fflush(log);
}

}  // namespace

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
    static auto next = reinterpret_cast<void (*)(SDL_Window*)>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
    next(window);
    Note("swap");
}

extern "C" int SDL_GL_MakeCurrent(SDL_Window* window, SDL_GLContext context) {
    static auto next = reinterpret_cast<int (*)(SDL_Window*, SDL_GLContext)>(dlsym(RTLD_NEXT, "SDL_GL_MakeCurrent"));
    if (!context) Note("unbind");
    return next(window, context);
}
