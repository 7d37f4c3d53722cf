// The mouse-event queue: a ring of 65,536 events that loses the oldest
// when full, filled by the window thread, drained by the program thread.
#pragma once
#include <cstdint>

namespace ts {

enum MouseBits : uint32_t {
  kMouseLeft = 1,
  kMouseMiddle = 2,
  kMouseRight = 4,
  kMouseWheelUp = 8,
  kMouseWheelDown = 16
};

struct MouseEvent {
  int16_t x = 0, y = 0;  // window pixels
  uint32_t buttons = 0;  // MouseBits, set = down
  int16_t dx = 0, dy = 0;
};

constexpr uint32_t kMouseQueueSize = 65536;

// Window thread (and tests): a motion adds two events, a press or release
// one; a wheel step is a press and a release of its bit.
void OnMouseMotion(int x, int y, int dx, int dy);
// The same with the buttons' state that came with the motion (MouseBits);
// the form above keeps the newest event's buttons.
void OnMouseMotion(int x, int y, int dx, int dy, uint32_t buttons);
void OnMouseButton(int x, int y, uint32_t bit, bool down);
void OnMouseWheel(int x, int y, bool up);
// The pointer's position before the first event.
void SetMouseStartPosition(int x, int y);

// Program thread.
bool NextMouseEvent();  // -1/0 in the tool's terms
double MouseColumn();
double MouseRow();
int MouseButton(long n);
int MouseWheel();
int MouseEventsWaiting();

void ResetMouse();

// Tests: the cell size MouseColumn and MouseRow divide by, in place of the
// current font's; 0 and 0 go back to the font. ResetMouse clears it.
void SetMouseCellSizeForTest(int width, int height);

}  // namespace ts
