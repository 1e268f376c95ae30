// end_signals_sdl2.h -- SIGTERM, SIGINT and SIGHUP end the SDL2 program at any moment, inside a message box too.
#pragma once

// Blocks the three signals in this thread and every thread made after it, and starts the thread that takes
// them. Called first in main, before SDL or the GL driver make a thread.
void Sdl2CatchEndSignals();

// True once one of the signals has arrived: the program is ending.
bool Sdl2Ending();

// Called before a message box is shown: false, with nothing open, when the program is ending. A signal that
// arrives while the box is open ends the box's processes until Sdl2BoxClosed.
bool Sdl2OpenBox();
void Sdl2BoxClosed();
