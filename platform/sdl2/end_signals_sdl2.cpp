// end_signals_sdl2.cpp -- the SDL2 program's end on SIGTERM, SIGINT or SIGHUP: a thread of its own takes them,
// marks the program as ending and takes down any message box that is open.
#include "platform/sdl2/end_signals_sdl2.h"

#include <dirent.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

// Sequentially consistent: the main thread marks a box open and then looks for a signal, the signal thread
// marks the signal and then looks for a box, so at least one of them sees the other.
struct Sdl2EndSignals {
    sigset_t taken;             // the three, less any the program was started ignoring; written before any thread
    std::atomic<bool> ending;   // one of them has arrived
    std::atomic<bool> boxOpen;  // from before the look for a signal until SDL's box call has returned
};

Sdl2EndSignals endSignals{};

// A forked process (SDL draws its box in one, or runs zenity in one) doesn't keep the block: a box left behind
// by a killed program still ends on the signals.
void Sdl2UnblockInChild() {
    pthread_sigmask(SIG_UNBLOCK, &endSignals.taken, nullptr);
}

// The program forks only for message boxes, so every child of it is part of one.
void Sdl2KillChildren() {
    DIR* proc = opendir("/proc");
    if (!proc) return;
    const long self = long(getpid());
    while (const dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || pid <= 0) continue;
        char path[64];
        char line[512] = "";
        std::snprintf(path, sizeof path, "/proc/%ld/stat", pid);
        if (FILE* stat = std::fopen(path, "r")) {
            if (!std::fgets(line, sizeof line, stat)) line[0] = '\0';
            std::fclose(stat);
        }
        // The state and the parent's id follow the name, which is in parentheses and may hold anything.
        const char* name = std::strrchr(line, ')');
        char state = 0;
        long parent = 0;
        if (name && std::sscanf(name + 1, " %c %ld", &state, &parent) == 2 && parent == self) {
            kill(pid_t(pid), SIGKILL);
        }
    }
    closedir(proc);
}

void Sdl2TakeEndSignals() {
    for (;;) {
        int number = 0;
        if (sigwait(&endSignals.taken, &number) != 0) continue;
        endSignals.ending.store(true);
        // SDL waits for its box's process through interruptions, and may fall back from zenity to a box of its
        // own: the box's processes are ended, again and again, until the box call has returned.
        while (endSignals.boxOpen.load()) {
            Sdl2KillChildren();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
}

}  // namespace

void Sdl2CatchEndSignals() {
    sigemptyset(&endSignals.taken);
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        // A blocked signal is kept for sigwait even when ignored: one ignored from the start (nohup's SIGHUP, a
        // background job's SIGINT) is left alone, so it stays ignored.
        struct sigaction action {};
        if (sigaction(number, nullptr, &action) != 0 || action.sa_handler != SIG_IGN) {
            sigaddset(&endSignals.taken, number);
        }
    }
    pthread_sigmask(SIG_BLOCK, &endSignals.taken, nullptr);
    pthread_atfork(nullptr, nullptr, Sdl2UnblockInChild);
    std::thread(Sdl2TakeEndSignals).detach();
}

bool Sdl2Ending() {
    return endSignals.ending.load();
}

bool Sdl2OpenBox() {
    endSignals.boxOpen.store(true);
    if (!Sdl2Ending()) return true;
    endSignals.boxOpen.store(false);
    return false;
}

void Sdl2BoxClosed() {
    endSignals.boxOpen.store(false);
}
