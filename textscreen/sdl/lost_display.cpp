#include "lost_display.h"

#include <X11/Xlib.h>

#include "textscreen/fatal_end.h"

namespace ts::sdl {
namespace {

XIOErrorHandler previous = nullptr;

int OnLostDisplay(Display* display) {
  RunFatalEnd();
  // SDL's handler forgets its display and hands on to Xlib's, which ends
  // the process.
  return previous ? previous(display) : 0;
}

}  // namespace

void WatchForLostDisplay() {
  XIOErrorHandler old = XSetIOErrorHandler(OnLostDisplay);
  if (old != OnLostDisplay) previous = old;
}

}  // namespace ts::sdl
