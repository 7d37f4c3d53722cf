#include "window.h"

#include <atomic>
#include <climits>

#include "clock.h"
#include "errors.h"
#include "reset.h"

namespace ts {
namespace {

// Stands in until a back end is installed: the layer's own state still
// changes, nothing is shown.
class NoWindow : public WindowPort {
 public:
  void SetCaption(const Bytes&) override {}
  void SetVisible(bool) override {}
  void MoveTo(int, int, uint32_t pauseMs) override { Clock().SleepMs(pauseMs); }
  void Centre() override {}
  void ShowPointer() override {}
  void FontChanged() override {}
  void BetweenRedraws(void (*change)(void*), void* arg) override { change(arg); }
  void HiddenCommand(bool) override {}
  void Beep(double, int) override {}
};

constexpr uint32_t kMovePauseMs = 100;

NoWindow noWindow;
std::atomic<WindowPort*> port{&noWindow};
WindowState state;

void ResetWindow() { state = WindowState{}; }

RoomReset registration(&ResetWindow);

int DesktopPixel(double v) {
  if (!(v > INT_MIN)) return INT_MIN;
  if (!(v < INT_MAX)) return INT_MAX;
  return int(RoundHalfEven(v));
}

}  // namespace

WindowPort& Window() { return *port.load(); }

void InstallWindow(WindowPort* p) { port = p ? p : &noWindow; }

WindowState& WindowInfo() { return state; }

void SetTitle(const Bytes& text) {
  if (ErrorPending()) return;
  state.caption = text;
  Window().SetCaption(text);
}

void ScreenHide() {
  state.visible = false;
  Window().SetVisible(false);
}

void ScreenShow() {
  state.visible = true;
  Window().SetVisible(true);
}

void ScreenMove(double x, double y, long form) {
  if (ErrorPending()) return;
  if (form == kMoveToPixel) {
    const int px = DesktopPixel(x), py = DesktopPixel(y);
    // The window is placed once the pause is over; a port with a window
    // thread of its own lets the program go on meanwhile.
    Window().MoveTo(px, py, kMovePauseMs);
    state.x = px;
    state.y = py;
    state.moved = true;
  } else if (form == kMoveCentre) {
    Window().Centre();
  } else {
    RaiseError(5);
  }
}

void ShowMousePointer() {
  state.pointerShown = true;
  Window().ShowPointer();
}

}  // namespace ts
