// The end of the desktop session ends the tool through Xlib's fatal error
// path; what the fatal end would take away goes first.
#pragma once

namespace ts::sdl {

// After SDL has opened the display (it installs its own handler, which
// this one hands on to).
void WatchForLostDisplay();

}  // namespace ts::sdl
