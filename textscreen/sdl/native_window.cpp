#include "native_window.h"

#include <SDL/SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>

#include "textscreen/platform/program_start.h"

namespace ts::sdl {
namespace {

// SDL reads the first window's position from its environment while it
// makes the window, before the window is mapped; a position given later
// would show the window first somewhere else. The variable is put once,
// before any other thread runs, and only its value changes afterwards, so
// the environment itself is never rewritten under a reader.
constexpr char kPositionName[] = "SDL_VIDEO_WINDOW_POS=";
char positionEnv[64] = "SDL_VIDEO_WINDOW_POS=";
char* const positionValue = positionEnv + sizeof(kPositionName) - 1;
constexpr size_t kValueRoom = sizeof(positionEnv) - (sizeof(kPositionName) - 1);
char videoDriverEnv[] = "SDL_VIDEODRIVER=x11";

struct X11Window {
  Display* display = nullptr;
  Window top = 0;  // the window manager's window, the one with the frame
  void (*lock)() = nullptr;
  void (*unlock)() = nullptr;
};

// Empty under a driver without X11 windows.
std::optional<X11Window> FindX11Window() {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWMInfo(&info) != 1 || info.subsystem != SDL_SYSWM_X11 || !info.info.x11.display)
    return std::nullopt;
  return X11Window{info.info.x11.display, info.info.x11.wmwindow, info.info.x11.lock_func,
                   info.info.x11.unlock_func};
}

class DisplayLock {
 public:
  explicit DisplayLock(const X11Window& w) : w_(w) {
    if (w_.lock) w_.lock();
  }
  ~DisplayLock() {
    XFlush(w_.display);
    if (w_.unlock) w_.unlock();
  }
  DisplayLock(const DisplayLock&) = delete;
  DisplayLock& operator=(const DisplayLock&) = delete;

 private:
  const X11Window& w_;
};

// The outermost window below the root: the frame once a window manager
// has taken the window, else the window itself.
Window OuterWindow(Display* d, Window w) {
  for (;;) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &count)) return w;
    if (children) XFree(children);
    if (parent == 0 || parent == root) return w;
    w = parent;
  }
}

}  // namespace

void NativeWindow::PrepareProcess() {
  XInitThreads();
  positionValue[0] = '\0';
  platform::PutOwnEnvironmentEntry(positionEnv);
  // Without a display SDL would fall back to a text console driver that
  // paints the terminal and waits there for keys; a driver the user names
  // is the user's choice.
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (!driver || !*driver) platform::PutOwnEnvironmentEntry(videoDriverEnv);
}

bool NativeWindow::OwnVideoDriver() {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  return driver == videoDriverEnv + sizeof("SDL_VIDEODRIVER=") - 1;
}

SDL_Surface* NativeWindow::SetVideoMode(int width, int height) {
  if (!CanMake(width, height)) {
    SDL_SetError("larger than 16383 x 32767 pixels");
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(lock_);
  if (!made_ && position_) {
    if (position_->centred) std::snprintf(positionValue, kValueRoom, "center");
    else std::snprintf(positionValue, kValueRoom, "%d,%d", position_->x, position_->y);
  }
  // Without SDL_ANYFORMAT the surface is 32 bits a pixel whatever the
  // display's depth; SDL converts when it shows it.
  SDL_Surface* surface = SDL_SetVideoMode(width, height, 32, SDL_SWSURFACE);
  // A later resize must leave the window where the user has put it.
  positionValue[0] = '\0';
  if (!surface) return nullptr;
  made_ = true;
  if (mapAfterResize_) {
    mapAfterResize_ = false;
    if (auto w = FindX11Window(); w && w->top) {
      DisplayLock hold(*w);
      XMapRaised(w->display, w->top);
    }
  }
  return surface;
}

int NativeWindow::EventDescriptor() {
  auto w = FindX11Window();
  return w ? ConnectionNumber(w->display) : -1;
}

bool NativeWindow::EventsQueued() {
  auto w = FindX11Window();
  return w && XQLength(w->display) > 0;
}

bool NativeWindow::Made() {
  std::lock_guard<std::mutex> guard(lock_);
  return made_;
}

void NativeWindow::SetVisible(bool visible, int wantedWidth, int wantedHeight) {
  std::lock_guard<std::mutex> guard(lock_);
  mapAfterResize_ = false;
  // A window not made yet comes up at the first redraw after it is shown.
  if (!made_) return;
  auto w = FindX11Window();
  if (!w || !w->top) return;
  DisplayLock hold(*w);
  if (!visible) {
    XWithdrawWindow(w->display, w->top, DefaultScreen(w->display));
    return;
  }
  // A window whose font changed while it was hidden shows only once the
  // window thread has given it its new size.
  SDL_Surface* surface = SDL_GetVideoSurface();
  if (surface && surface->w == wantedWidth && surface->h == wantedHeight)
    XMapRaised(w->display, w->top);
  else
    mapAfterResize_ = true;
}

void NativeWindow::MoveTo(int x, int y) {
  x = Placeable(x);
  y = Placeable(y);
  std::lock_guard<std::mutex> guard(lock_);
  if (!made_) {
    position_ = Position{x, y, false};
    return;
  }
  MoveMadeWindow(Position{x, y, false});
}

void NativeWindow::Centre(int wantedWidth, int wantedHeight) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!made_) {
    position_ = Position{0, 0, true};
    return;
  }
  auto w = FindX11Window();
  if (!w || !w->top) return;
  int outerWidth = wantedWidth, outerHeight = wantedHeight;
  int desktopWidth = 0, desktopHeight = 0;
  {
    DisplayLock hold(*w);
    XWindowAttributes a;
    if (XGetWindowAttributes(w->display, OuterWindow(w->display, w->top), &a)) {
      outerWidth = a.width + 2 * a.border_width;
      outerHeight = a.height + 2 * a.border_width;
    }
    desktopWidth = DisplayWidth(w->display, DefaultScreen(w->display));
    desktopHeight = DisplayHeight(w->display, DefaultScreen(w->display));
  }
  MoveMadeWindow(Position{(desktopWidth - outerWidth) / 2, (desktopHeight - outerHeight) / 2});
}

void NativeWindow::MoveMadeWindow(const Position& p) {
  auto w = FindX11Window();
  if (!w || !w->top) return;
  DisplayLock hold(*w);
  // The position hint keeps the place when the window is shown again
  // after a hide; with the default gravity the window manager puts the
  // frame's outer corner at x, y.
  XSizeHints* hints = XAllocSizeHints();
  if (hints) {
    long supplied = 0;
    XGetWMNormalHints(w->display, w->top, hints, &supplied);
    hints->flags |= USPosition;
    hints->x = p.x;
    hints->y = p.y;
    XSetWMNormalHints(w->display, w->top, hints);
    XFree(hints);
  }
  XMoveWindow(w->display, w->top, p.x, p.y);
}

void NativeWindow::Bell() {
  auto w = FindX11Window();
  if (!w) return;
  DisplayLock hold(*w);
  XBell(w->display, 0);
}

}  // namespace ts::sdl
