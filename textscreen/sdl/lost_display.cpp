#include "lost_display.h"

#include <X11/Xlib.h>

#include "textscreen/fatal_end.h"

namespace ts::sdl {
namespace {

LostDisplayEnd lostDisplayEnd = nullptr;

int OnLostDisplay(Display*) {
  if (lostDisplayEnd) lostDisplayEnd();
  RemoveNotedFiles();
  EndAtOnce(1);
}

}  // namespace

void WatchForLostDisplay(LostDisplayEnd end) {
  lostDisplayEnd = end;
  XSetIOErrorHandler(OnLostDisplay);
}

}  // namespace ts::sdl
