#include "mouse.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <utility>

#include "base/bytes.h"
#include "errors.h"
#include "font.h"
#include "input_wake.h"
#include "reset.h"
#include "screen.h"

namespace ts {

namespace {

// The slot at `read` is the current event and stays readable; the unread
// events follow it up to `write`, the newest.
struct MouseQueue {
  std::mutex lock;
  std::array<MouseEvent, kMouseQueueSize> ring{};
  uint32_t read = 0, write = 0;
  bool anyEvent = false;
  int testCellWidth = 0, testCellHeight = 0;
};

MouseQueue& Q() {
  static MouseQueue q;
  return q;
}

int16_t Pixel(int v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); }

// Caller holds the lock.
void Add(const MouseEvent& e) {
  MouseQueue& q = Q();
  uint32_t next = (q.write + 1) % kMouseQueueSize;
  if (next == q.read) q.read = (q.read + 1) % kMouseQueueSize;
  q.write = next;
  q.ring[next] = e;
  q.anyEvent = true;
}

void AddButtonChange(int x, int y, uint32_t bit, bool down) {
  MouseQueue& q = Q();
  MouseEvent e;
  e.x = Pixel(x);
  e.y = Pixel(y);
  uint32_t buttons = q.ring[q.write].buttons;
  e.buttons = down ? (buttons | bit) : (buttons & ~bit);
  Add(e);
}

// Caller holds the lock.
void AddMotion(int x, int y, int dx, int dy, uint32_t buttons) {
  MouseEvent e{Pixel(x), Pixel(y), buttons, Pixel(dx), Pixel(dy)};
  Add(e);
  e.dx = e.dy = 0;
  Add(e);
}

// Adds events under the lock, then wakes a loop that waits for them.
template <class F>
void Queue(F&& add) {
  {
    std::lock_guard<std::mutex> g(Q().lock);
    add();
  }
  WakeForInput();
}

// The text cell (1-based) of a pixel, as a fraction that rounds to it.
double CellOf(int pixel, int cellSize, int cells) {
  int size = std::max(cellSize, 1);
  int p = std::clamp(pixel, 0, cells * size - 1);
  long cell = p / size + 1;
  double v = double(p) / size + 0.5;
  long rounded = RoundHalfEven(v);
  if (rounded < cell) v += 0.001;
  if (rounded > cell) v -= 0.001;
  return v;
}

MouseEvent Current() {
  MouseQueue& q = Q();
  std::lock_guard<std::mutex> g(q.lock);
  return q.ring[q.read];
}

// The current event's pixel on one axis with the cell size to divide by.
std::pair<int, int> PixelAndCell(bool column) {
  MouseQueue& q = Q();
  int pixel, cell;
  {
    std::lock_guard<std::mutex> g(q.lock);
    pixel = column ? q.ring[q.read].x : q.ring[q.read].y;
    cell = column ? q.testCellWidth : q.testCellHeight;
  }
  if (cell == 0) cell = column ? CellWidth() : CellHeight();
  return {pixel, cell};
}

}  // namespace

void OnMouseMotion(int x, int y, int dx, int dy) {
  Queue([&] { AddMotion(x, y, dx, dy, Q().ring[Q().write].buttons); });
}

void OnMouseMotion(int x, int y, int dx, int dy, uint32_t buttons) {
  Queue([&] { AddMotion(x, y, dx, dy, buttons); });
}

void OnMouseButton(int x, int y, uint32_t bit, bool down) {
  Queue([&] { AddButtonChange(x, y, bit, down); });
}

void OnMouseWheel(int x, int y, bool up) {
  Queue([&] {
    uint32_t bit = up ? kMouseWheelUp : kMouseWheelDown;
    AddButtonChange(x, y, bit, true);
    AddButtonChange(x, y, bit, false);
  });
}

void SetMouseStartPosition(int x, int y) {
  MouseQueue& q = Q();
  std::lock_guard<std::mutex> g(q.lock);
  if (q.anyEvent) return;
  q.ring[q.read].x = Pixel(x);
  q.ring[q.read].y = Pixel(y);
}

bool NextMouseEvent() {
  MouseQueue& q = Q();
  std::lock_guard<std::mutex> g(q.lock);
  if (q.read == q.write) return false;
  q.read = (q.read + 1) % kMouseQueueSize;
  return true;
}

double MouseColumn() {
  auto [x, width] = PixelAndCell(true);
  return CellOf(x, width, kColumns);
}

double MouseRow() {
  auto [y, height] = PixelAndCell(false);
  return CellOf(y, height, kRows);
}

int MouseButton(long n) {
  if (n < 1) {
    RaiseError(5);
    return 0;
  }
  uint32_t bit;
  switch (n) {
    case 1: bit = kMouseLeft; break;
    case 2: bit = kMouseRight; break;
    case 3: bit = kMouseMiddle; break;
    default: return 0;
  }
  return (Current().buttons & bit) ? -1 : 0;
}

int MouseWheel() {
  uint32_t buttons = Current().buttons;
  if (buttons & kMouseWheelUp) return -1;
  if (buttons & kMouseWheelDown) return 1;
  return 0;
}

int MouseEventsWaiting() {
  MouseQueue& q = Q();
  std::lock_guard<std::mutex> g(q.lock);
  return int((q.write + kMouseQueueSize - q.read) % kMouseQueueSize);
}

void ResetMouse() {
  MouseQueue& q = Q();
  std::lock_guard<std::mutex> g(q.lock);
  q.ring.fill(MouseEvent{});
  q.read = q.write = 0;
  q.anyEvent = false;
  q.testCellWidth = q.testCellHeight = 0;
}

void SetMouseCellSizeForTest(int width, int height) {
  MouseQueue& q = Q();
  std::lock_guard<std::mutex> g(q.lock);
  q.testCellWidth = std::max(width, 0);
  q.testCellHeight = std::max(height, 0);
}

static RoomReset reg(&ResetMouse);

}  // namespace ts
