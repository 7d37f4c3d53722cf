// The seam between the layer and the window back end. The layer's
// operations (title, hide and show, move, font, pointer, hidden-command
// pause, beep) reach the window through this port; the SDL back end and
// the scripted test back end implement it. Every call comes from the
// program thread unless noted. No call waits for what it starts (a move,
// a tone): a wait that the program should see goes on the layer's clock.
#pragma once
#include <cstdint>
#include <string>

#include "base/bytes.h"

namespace ts {

class WindowPort {
 public:
  virtual ~WindowPort() = default;
  // Caption and minimised title, code page 437 bytes. Returns at once; the
  // window takes it up at its next pass.
  virtual void SetCaption(const Bytes& caption) = 0;
  // A show first waits until the window can be shown at all (the back
  // end has started, or cannot); a hide returns at once.
  virtual void SetVisible(bool visible) = 0;
  // Outer top-left corner to desktop pixel x, y once `pauseMs` have
  // passed; size unchanged. A port whose window has a thread of its own
  // returns at once and places the window then; one without (none,
  // scripted) takes the pause on the program's clock first.
  virtual void MoveTo(int x, int y, uint32_t pauseMs) = 0;
  // The window in the middle of the desktop, at once; a placement still
  // to come is dropped.
  virtual void Centre() = 0;
  // Returns at once; the pointer shows from the window's next pass.
  virtual void ShowPointer() = 0;
  // The cell size changed (a new font); the window takes 80 x 25 cells.
  // Called between two redraws (the layer waits for that).
  virtual void FontChanged() = 0;
  // Waits until the window thread is between redraws, runs `change`,
  // and lets it go on. The scripted port just runs it.
  virtual void BetweenRedraws(void (*change)(void*), void* arg) = 0;
  // A hidden command starts / has ended (the window thread stops drawing
  // and taking events meanwhile, key repeat off). Returns at once.
  virtual void HiddenCommand(bool running) = 0;
  // Starts a tone of `hz` for `ms` and returns at once, without waiting
  // for the tone: the layer waits its time on the layer's clock. A port
  // rings what it has (the SDL port the display's bell, of the display's
  // pitch and length); one without sound does nothing.
  virtual void Beep(double hz, int ms) = 0;
  // The cells, the cursor or the palette changed. Called under the screen
  // lock, often: it must be cheap and never wait.
  virtual void ScreenChanged() {}
  // Whether a window whose drawing area is width x height pixels can be
  // made at all (memory aside).
  virtual bool CanMake(int /*width*/, int /*height*/) const { return true; }
};

WindowPort& Window();
void InstallWindow(WindowPort* port);  // nullptr: a port that does nothing

// State the layer keeps of the window, whatever the back end.
struct WindowState {
  Bytes caption = "Untitled";
  bool visible = true;
  int x = 0, y = 0;
  bool moved = false;
  bool pointerShown = false;
};
WindowState& WindowInfo();

void SetTitle(const Bytes& text);
void ScreenHide();
void ScreenShow();
// The forms of ScreenMove; any other is error 5.
enum MoveForm : long { kMoveCentre = 1, kMoveToPixel = 2 };
void ScreenMove(double x, double y, long form);
void ShowMousePointer();

}  // namespace ts
