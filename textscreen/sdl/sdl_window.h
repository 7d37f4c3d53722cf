// The SDL 1.2 window back end of the text screen. The process's first
// thread becomes the window thread: it owns the window, redraws it from the
// cells about every 32 ms and feeds the key buffer and the mouse-event queue,
// while the program's main routine runs on a thread of its own.
#pragma once
#include <cstdint>
#include <functional>

namespace ts::sdl {

// Runs `programMain` on the program thread and the window on the calling
// thread until the program ends: the program returns or stops
// (ProgramStop), or the window's close control or a break key comes while
// the close trap is off. Then the program thread is stopped, the files it
// left to take away are removed, all files are closed and SDL is shut
// down. Returns 0, the exit code of every end; 1 only when SDL cannot
// start a video driver at all. SIGTERM, SIGINT, SIGHUP and SIGQUIT end the
// program in the same way and then the process by that signal; the loss of
// the display ends it with exit code 1. Call it before any other thread
// starts: it blocks those signals for every thread. The program thread
// starts while SDL does; without a video driver it goes no further than
// its first show of the window. LoadFont opens TrueType faces from then on
// (the loader stays installed after the return).
int RunWindowed(std::function<void()> programMain);

// Redraws drawn so far (the blink count); any thread may read it.
uint32_t RedrawCount();

// Program thread: waits until the window thread has started SDL; false
// when it cannot. Only code that calls SDL itself needs it.
bool WaitForSdl();

}  // namespace ts::sdl
