// The end of the desktop session. Xlib reports a connection that is gone
// on the thread whose call found it so, with the display locked: no other
// thread gets through Xlib from then on, and a handler that returned would
// have Xlib end the process with exit(), its destructors running beside
// the live program thread. The handler therefore never returns.
#pragma once

namespace ts::sdl {

// Runs on that thread and ends the process. Without one, the noted files
// go and the process exits with 1.
using LostDisplayEnd = void (*)();

// After SDL has opened the display (it installs a handler of its own,
// which this one replaces).
void WatchForLostDisplay(LostDisplayEnd end = nullptr);

}  // namespace ts::sdl
