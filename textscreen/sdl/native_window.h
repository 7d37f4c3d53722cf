// The window itself: made by SDL_SetVideoMode on the window thread, hidden,
// shown and moved from the program thread. On X11 these act on the window
// manager's top-level window that SDL reports; under a video driver without
// a window (SDL's dummy driver) they only keep the wanted state.
#pragma once
#include <SDL/SDL.h>

#include <algorithm>
#include <mutex>
#include <optional>

namespace ts::sdl {

class NativeWindow {
 public:
  // Before SDL_Init and before any other thread runs: lets Xlib serve
  // both threads and gives SDL a place for the first window's position.
  static void PrepareProcess();
  // True when SDL uses the X11 driver because the user named none.
  static bool OwnVideoDriver();

  // SDL 1.2 keeps a scanline's length in bytes in 16 bits (4 bytes a
  // pixel), and X11 and SDL's rectangles place pixels at signed 16-bit
  // positions; a larger window fails, or kills the process with an X error.
  static bool CanMake(int width, int height) {
    return width >= 1 && height >= 1 && width <= 16383 && height <= 32767;
  }
  // A desktop position as X can place it: beyond 16 bits it would wrap.
  static int Placeable(int coordinate) { return std::clamp(coordinate, -32768, 32767); }

  // Window thread: makes the window, or makes it again at a new size. A
  // first window comes up where MoveTo or Centre asked. Null on failure,
  // and at once for a size that CanMake refuses.
  SDL_Surface* SetVideoMode(int width, int height);
  bool Made();

  // Window thread, once SDL has started: the descriptor on which the X
  // server's events arrive, -1 under a driver without X11; and whether
  // Xlib already holds events read from it (poll would not see those).
  int EventDescriptor();
  bool EventsQueued();

  // Program thread, or the window thread once a move's pause is over. A
  // window that does not exist yet only records them.
  void SetVisible(bool visible, int wantedWidth, int wantedHeight);
  void MoveTo(int x, int y);
  void Centre(int wantedWidth, int wantedHeight);
  void Bell();

 private:
  struct Position {
    int x = 0, y = 0;
    bool centred = false;
  };
  void MoveMadeWindow(const Position& p);

  std::mutex lock_;  // against the window thread making the window
  bool made_ = false;
  bool mapAfterResize_ = false;
  std::optional<Position> position_;  // asked for before the window was made
};

}  // namespace ts::sdl
