// frame_pace.h -- the swap pacing both preloaded hook libraries share. A virtual display has no vertical sync, so
// a program under test would draw as fast as the CPU lets it and starve whatever runs beside it: each swap waits
// for the next tick of a 20 Hz clock, a third of a common display's rate, as a slow or busy machine may draw.
#ifndef OLVO_TESTS_E2E_FRAME_PACE_H
#define OLVO_TESTS_E2E_FRAME_PACE_H

#include <stdlib.h>
#include <time.h>
#include <unistd.h>

// While the file $E2E_UNPACED names exists, swaps aren't held: a test measuring a minimised program then sees a loop
// that swaps without waiting take the CPU it would take where nothing holds a hidden window's swaps.
static void wait_for_next_frame(void) {
    const char* unpaced = getenv("E2E_UNPACED");
    if (unpaced && access(unpaced, F_OK) == 0) return;
    static struct timespec next;
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (next.tv_sec == 0 || now.tv_sec > next.tv_sec + 1) next = now;  // the first frame, or after a long pause
    next.tv_nsec += 1000000000L / 20;
    if (next.tv_nsec >= 1000000000L) {
        next.tv_nsec -= 1000000000L;
        ++next.tv_sec;
    }
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, NULL);
}

#endif
